#include "message/placeholders.h"

#include "texts/texttable.h"

namespace kirvane::message {

using namespace kirvane::store;
using namespace kirvane::texts;

namespace {

PlaceholderLanguage g_language = PlaceholderLanguage::English;

const Placeholder &byFrench(const QString &word)
{
    for (const Placeholder &p : placeholderMenu())
        if (p.french == word)
            return p;
    Q_UNREACHABLE();
}

// The order in which placeholders are filled, which is not the menu's order.
const std::vector<const Placeholder *> &fillOrder()
{
    static const std::vector<const Placeholder *> order = [] {
        std::vector<const Placeholder *> v;
        for (const char *w : {"&nom&", "&prenom&", "&companie&", "&telephone&", "&fax&", "&codepostal&", "&pays&",
                              "&adresse1&", "&adresse2&", "&email&", "&ville&", "&titre&", "&url&", "&champ_1&",
                              "&champ_2&", "&champ_3&", "&champ_4&"})
            v.push_back(&byFrench(QString::fromLatin1(w)));
        return v;
    }();
    return order;
}

// True when text holds a word of the set. A word has no ampersand inside, so
// each occurrence runs from one ampersand to the very next: only those pairs
// need a look. A text without any word goes through every step unchanged, so
// the steps are skipped for it; this keeps a sending run fast, where most
// lines hold no placeholder but may hold entities such as "&nbsp;".
bool holdsPlaceholder(QStringView text, PlaceholderLanguage language)
{
    qsizetype from = text.indexOf(u'&');
    while (from >= 0) {
        const qsizetype to = text.indexOf(u'&', from + 1);
        if (to < 0)
            return false;
        const QStringView candidate = text.sliced(from, to - from + 1);
        for (const Placeholder *p : fillOrder())
            if (candidate == p->word(language))
                return true;
        from = to;
    }
    return false;
}

} // namespace

PlaceholderLanguage activePlaceholderLanguage() { return g_language; }
void setActivePlaceholderLanguage(PlaceholderLanguage language) { g_language = language; }

const std::vector<Placeholder> &placeholderMenu()
{
    // The captions and words come from the interface-text table, in the order
    // of the insert-field menu.
    static const std::vector<Placeholder> menu = [] {
        namespace tr = kirvane::texts;
        std::vector<Placeholder> out;
        for (const tr::PlaceholderEntries &e : tr::placeholders())
            out.push_back({tr::text(e.menu, tr::French), tr::text(e.menu, tr::English), tr::text(e.word, tr::French),
                           tr::text(e.word, tr::English), e.slot});
        return out;
    }();
    return menu;
}

QString personalise(QString text, const ContactRecord &contact, PlaceholderLanguage language)
{
    if (!holdsPlaceholder(text, language))
        return text;
    for (const Placeholder *p : fillOrder())
        text.replace(p->word(language), contact[p->slot].value, Qt::CaseSensitive);
    return text;
}

QStringList personaliseLines(QStringList lines, const ContactRecord &contact, PlaceholderLanguage language,
                             const std::function<void()> &beforeLine)
{
    for (QString &line : lines) {
        if (beforeLine)
            beforeLine();
        line = personalise(line, contact, language);
    }
    return lines;
}

} // namespace kirvane::message
