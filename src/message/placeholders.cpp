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

namespace {

QString formValue(const QString &value, ValueForm form)
{
    switch (form) {
    case ValueForm::HtmlEscaped:
        // A later step's word inside a value is kept as it is, so that the
        // value is filled again by that step.
        return htmlEscapedKeepingPlaceholders(value);
    case ValueForm::UrlEncoded:
        return QString::fromLatin1(value.toUtf8().toPercentEncoding());
    case ValueForm::AsTyped:
        break;
    }
    return value;
}

// The rule itself: one step per placeholder, in the fill order, each
// replacing its word wherever the steps before it left it.
QString personaliseByStep(QString text, const ContactRecord &contact, PlaceholderLanguage language, ValueForm form)
{
    for (const Placeholder *p : fillOrder())
        text.replace(p->word(language), formValue(contact[p->slot].value, form), Qt::CaseSensitive);
    return text;
}

// The placeholder whose word of the set is candidate, or null.
const Placeholder *placeholderOf(QStringView candidate, PlaceholderLanguage language)
{
    for (const Placeholder *p : fillOrder())
        if (candidate == p->word(language))
            return p;
    return nullptr;
}

// True when every character of text may stand in a placeholder's word
// between its ampersands (so that text could be part of one).
bool wordLetters(QStringView text)
{
    static const QString letters = [] {
        QString all;
        for (const Placeholder &p : placeholderMenu())
            for (const QString &word : {p.french, p.english})
                for (const QChar c : word)
                    if (c != u'&' && !all.contains(c))
                        all += c;
        return all;
    }();
    for (const QChar c : text)
        if (!letters.contains(c))
            return false;
    return true;
}

} // namespace

QString personalise(QString text, const ContactRecord &contact, PlaceholderLanguage language, ValueForm form)
{
    // One pass over the text fills every word where it stands. That is what
    // the steps give as long as no step can meet a word that the text did
    // not hold: the steps run instead when a value holds an ampersand (it may
    // hold a later step's word), when two words share an ampersand, and when
    // a value of nothing but word letters sits between ampersands with only
    // word letters around it ("&ci&name&ty&" with an empty name makes
    // "&city&" for a later step).
    QString out;
    qsizetype copied = 0;     // text before this is in out
    qsizetype lastClose = -1; // the closing ampersand of the last word filled
    qsizetype before = -1;    // the ampersand before the current pair
    for (qsizetype from = text.indexOf(u'&'); from >= 0;) {
        const qsizetype to = text.indexOf(u'&', from + 1);
        if (to < 0)
            break;
        const Placeholder *p = placeholderOf(QStringView(text).sliced(from, to - from + 1), language);
        if (p) {
            if (from == lastClose)
                return personaliseByStep(std::move(text), contact, language, form);
            const QString value = formValue(contact[p->slot].value, form);
            if (value.contains(u'&'))
                return personaliseByStep(std::move(text), contact, language, form);
            if (before >= 0 && wordLetters(value)
                && wordLetters(QStringView(text).sliced(before + 1, from - before - 1))) {
                const qsizetype next = text.indexOf(u'&', to + 1);
                if (next >= 0 && wordLetters(QStringView(text).sliced(to + 1, next - to - 1)))
                    return personaliseByStep(std::move(text), contact, language, form);
            }
            if (out.isEmpty())
                out.reserve(text.size() + 64);
            out.append(QStringView(text).sliced(copied, from - copied));
            out.append(value);
            copied = to + 1;
            lastClose = to;
        }
        before = from;
        from = to;
    }
    if (copied == 0)
        return text;
    out.append(QStringView(text).sliced(copied));
    return out;
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
