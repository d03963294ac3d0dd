#include "message/placeholders.h"

namespace kirvane::message {

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
    static const std::vector<Placeholder> menu = {
        {QStringLiteral("Titre"), QStringLiteral("Title"), QStringLiteral("&titre&"), QStringLiteral("&title&"), F_civilite},
        {QStringLiteral("Nom"), QStringLiteral("Name"), QStringLiteral("&nom&"), QStringLiteral("&name&"), F_nom},
        {QStringLiteral("Prénom"), QStringLiteral("First name"), QStringLiteral("&prenom&"), QStringLiteral("&lastname&"), F_prenom},
        {QStringLiteral("Société"), QStringLiteral("Company"), QStringLiteral("&companie&"), QStringLiteral("&company&"), F_societe},
        {QStringLiteral("Email"), QStringLiteral("Email"), QStringLiteral("&email&"), QStringLiteral("&email&"), F_email},
        {QStringLiteral("Adresse1"), QStringLiteral("Address1"), QStringLiteral("&adresse1&"), QStringLiteral("&address1&"), F_adresse1},
        {QStringLiteral("Adresse2"), QStringLiteral("Address2"), QStringLiteral("&adresse2&"), QStringLiteral("&address2&"), F_adresse2},
        {QStringLiteral("Code postal"), QStringLiteral("Zip code"), QStringLiteral("&codepostal&"), QStringLiteral("&zip&"), F_code_postal},
        {QStringLiteral("Ville"), QStringLiteral("City"), QStringLiteral("&ville&"), QStringLiteral("&city&"), F_ville},
        {QStringLiteral("Pays"), QStringLiteral("Country"), QStringLiteral("&pays&"), QStringLiteral("&country&"), F_pays},
        {QStringLiteral("Téléphone"), QStringLiteral("Phone"), QStringLiteral("&telephone&"), QStringLiteral("&phone&"), F_tel},
        {QStringLiteral("Fax"), QStringLiteral("Fax"), QStringLiteral("&fax&"), QStringLiteral("&fax&"), F_fax},
        {QStringLiteral("Url"), QStringLiteral("URL"), QStringLiteral("&url&"), QStringLiteral("&url&"), F_url},
        {QStringLiteral("Champ 1"), QStringLiteral("Field 1"), QStringLiteral("&champ_1&"), QStringLiteral("&Field_1&"), F_champ16},
        {QStringLiteral("Champ 2"), QStringLiteral("Field 2"), QStringLiteral("&champ_2&"), QStringLiteral("&Field_2&"), F_champ17},
        {QStringLiteral("Champ 3"), QStringLiteral("Field 3"), QStringLiteral("&champ_3&"), QStringLiteral("&Field_3&"), F_champ18},
        {QStringLiteral("Champ 4"), QStringLiteral("Field 4"), QStringLiteral("&champ_4&"), QStringLiteral("&Field_4&"), F_champ19},
    };
    return menu;
}

QString personalise(QString text, const T_contact &contact, PlaceholderLanguage language)
{
    if (!holdsPlaceholder(text, language))
        return text;
    for (const Placeholder *p : fillOrder())
        text.replace(p->word(language), contact[p->slot].value, Qt::CaseSensitive);
    return text;
}

QStringList personaliseLines(QStringList lines, const T_contact &contact, PlaceholderLanguage language,
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
