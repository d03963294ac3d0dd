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

qsizetype placeholderWordAt(QStringView text, qsizetype at)
{
    if (text.at(at) != u'&')
        return 0;
    const qsizetype to = text.indexOf(u'&', at + 1);
    if (to < 0)
        return 0;
    const QStringView candidate = text.sliced(at, to - at + 1);
    for (const Placeholder *p : fillOrder())
        if (candidate == p->french || candidate == p->english)
            return candidate.size();
    return 0;
}

QString htmlEscapedKeepingPlaceholders(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (const qsizetype word = placeholderWordAt(text, i)) {
            out += text.sliced(i, word);
            i += word - 1;
            continue;
        }
        switch (text.at(i).unicode()) {
        case u'&': out += QLatin1String("&amp;"); break;
        case u'<': out += QLatin1String("&lt;"); break;
        case u'>': out += QLatin1String("&gt;"); break;
        case u'"': out += QLatin1String("&quot;"); break;
        case u'\'': out += QLatin1String("&#39;"); break;
        default: out += text.at(i);
        }
    }
    return out;
}

ValueForm bodyValueForm(ComposeMode mode)
{
    return mode == ComposeMode::PlainText ? ValueForm::AsTyped : ValueForm::HtmlEscaped;
}

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

QString personalise(QString text, const ContactRecord &contact, PlaceholderLanguage language, ValueForm form)
{
    if (!holdsPlaceholder(text, language))
        return text;
    for (const Placeholder *p : fillOrder()) {
        const QString &value = contact[p->slot].value;
        // A later step's word inside a value is kept as it is, so that the
        // value is filled again by that step.
        const QString filled = form == ValueForm::HtmlEscaped ? htmlEscapedKeepingPlaceholders(value)
                               : form == ValueForm::UrlEncoded ? QString::fromLatin1(value.toUtf8().toPercentEncoding())
                                                               : value;
        text.replace(p->word(language), filled, Qt::CaseSensitive);
    }
    return text;
}

QStringList personaliseLines(QStringList lines, const ContactRecord &contact, ValueForm form,
                             PlaceholderLanguage language, const std::function<void()> &beforeLine)
{
    for (QString &line : lines) {
        if (beforeLine)
            beforeLine();
        line = personalise(line, contact, language, form);
    }
    return lines;
}

QStringList personaliseLines(QStringList lines, const ContactRecord &contact, PlaceholderLanguage language,
                             const std::function<void()> &beforeLine)
{
    return personaliseLines(std::move(lines), contact, ValueForm::AsTyped, language, beforeLine);
}

} // namespace kirvane::message
