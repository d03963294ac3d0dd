#include "import/headingmatcher.h"

#include "import/contactimport.h"
#include "store/contactrecord.h"
#include "texts/texttable.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <numeric>

namespace kirvane::import {

using namespace kirvane::store;

namespace {

struct Named {
    int field;
    int rank; // 0 names the field most surely
};

// Headings by key. Rank 0: the field itself ("Family Name", "E-mail 1 -
// Value", "Code postal"); 1: a plain or work form ("Name", "Business City");
// 2: a home form; 3: a second choice (a mobile number, a display name, a
// second address) taken only when nothing surer is there.
struct Known {
    const char *key;
    int field;
    int rank;
};

constexpr Known kKnown[] = {
    // Last name
    {"lastname", F_nom, 0}, {"familyname", F_nom, 0}, {"surname", F_nom, 0}, {"nomdefamille", F_nom, 0},
    {"nomfamille", F_nom, 0}, {"patronyme", F_nom, 0}, {"name", F_nom, 1}, {"nom", F_nom, 1},
    {"fullname", F_nom, 3}, {"displayname", F_nom, 3}, {"nomafficher", F_nom, 3}, {"nomcomplet", F_nom, 3},
    {"fileas", F_nom, 3},
    // First name
    {"firstname", F_prenom, 0}, {"givenname", F_prenom, 0}, {"forename", F_prenom, 0}, {"prenom", F_prenom, 0},
    {"prenoms", F_prenom, 0},
    // E-mail address
    {"email", F_email, 0}, {"emailaddress", F_email, 0}, {"email1value", F_email, 0}, {"email1", F_email, 0},
    {"primaryemail", F_email, 0}, {"courriel", F_email, 0}, {"adressecourriel", F_email, 0},
    {"adresseemail", F_email, 0}, {"adressemail", F_email, 0}, {"adresseelectronique", F_email, 0},
    {"adresseelectroniqueprincipale", F_email, 0}, {"emailprincipal", F_email, 0}, {"mail", F_email, 1},
    {"emailhome", F_email, 2}, {"emailwork", F_email, 1}, {"email2value", F_email, 3}, {"email2address", F_email, 3},
    {"email2", F_email, 3}, {"secondaryemail", F_email, 3}, {"adresseelectroniquesecondaire", F_email, 3},
    // Company
    {"company", F_societe, 0}, {"companyname", F_societe, 0}, {"societe", F_societe, 0},
    {"organization", F_societe, 0}, {"organisation", F_societe, 0}, {"organizationname", F_societe, 0},
    {"organization1name", F_societe, 0}, {"entreprise", F_societe, 0}, {"raisonsociale", F_societe, 0},
    {"employer", F_societe, 1},
    // Phone
    {"phone", F_tel, 0}, {"telephone", F_tel, 0}, {"tel", F_tel, 0}, {"phonenumber", F_tel, 0},
    {"phone1value", F_tel, 0}, {"numerodetelephone", F_tel, 0},
    {"businessphone", F_tel, 1}, {"workphone", F_tel, 1}, {"telprofessionnel", F_tel, 1},
    {"telephoneprofessionnel", F_tel, 1}, {"companymainphone", F_tel, 1}, {"primaryphone", F_tel, 1}, {"homephone", F_tel, 2},
    {"telpersonnel", F_tel, 2}, {"telephonepersonnel", F_tel, 2}, {"telephonefixe", F_tel, 2},
    {"mobile", F_tel, 3}, {"mobilephone", F_tel, 3}, {"mobilenumber", F_tel, 3}, {"cellphone", F_tel, 3},
    {"portable", F_tel, 3}, {"telephoneportable", F_tel, 3}, {"phone2value", F_tel, 3},
    // Fax
    {"fax", F_fax, 0}, {"faxnumber", F_fax, 0}, {"telecopie", F_fax, 0}, {"businessfax", F_fax, 1},
    {"workfax", F_fax, 1}, {"homefax", F_fax, 2},
    // Street
    {"address", F_adresse1, 0}, {"adresse", F_adresse1, 0}, {"address1", F_adresse1, 0},
    {"adresse1", F_adresse1, 0}, {"street", F_adresse1, 0}, {"streetaddress", F_adresse1, 0},
    {"addressline1", F_adresse1, 0}, {"rue", F_adresse1, 0}, {"address1street", F_adresse1, 0},
    {"businessstreet", F_adresse1, 1}, {"workaddress", F_adresse1, 1}, {"adresseprofessionnelle", F_adresse1, 1},
    {"homestreet", F_adresse1, 2}, {"homeaddress", F_adresse1, 2}, {"adresseprivee", F_adresse1, 2},
    {"adressepersonnelle", F_adresse1, 2},
    // Second address line
    {"address2", F_adresse2, 0}, {"adresse2", F_adresse2, 0}, {"addressline2", F_adresse2, 0},
    {"street2", F_adresse2, 0}, {"complementdadresse", F_adresse2, 0}, {"complementadresse", F_adresse2, 0},
    {"address1extendedaddress", F_adresse2, 0}, {"businessstreet2", F_adresse2, 1}, {"workaddress2", F_adresse2, 1},
    {"adresseprofessionnelle2", F_adresse2, 1}, {"homestreet2", F_adresse2, 2}, {"homeaddress2", F_adresse2, 2},
    {"adresseprivee2", F_adresse2, 2},
    // City
    {"city", F_ville, 0}, {"ville", F_ville, 0}, {"town", F_ville, 0}, {"localite", F_ville, 0},
    {"commune", F_ville, 0}, {"address1city", F_ville, 0}, {"businesscity", F_ville, 1}, {"workcity", F_ville, 1},
    {"homecity", F_ville, 2},
    // Postal code
    {"zip", F_code_postal, 0}, {"zipcode", F_code_postal, 0}, {"postalcode", F_code_postal, 0},
    {"postcode", F_code_postal, 0}, {"codepostal", F_code_postal, 0}, {"cp", F_code_postal, 0},
    {"npa", F_code_postal, 0}, {"address1postalcode", F_code_postal, 0}, {"businesspostalcode", F_code_postal, 1},
    {"workzipcode", F_code_postal, 1}, {"workpostalcode", F_code_postal, 1}, {"homepostalcode", F_code_postal, 2},
    {"homezipcode", F_code_postal, 2},
    // Country
    {"country", F_pays, 0}, {"pays", F_pays, 0}, {"countryregion", F_pays, 0}, {"paysregion", F_pays, 0},
    {"address1country", F_pays, 0}, {"businesscountryregion", F_pays, 1}, {"businesscountry", F_pays, 1},
    {"workcountry", F_pays, 1}, {"homecountryregion", F_pays, 2}, {"homecountry", F_pays, 2},
    // Title
    {"civilite", F_civilite, 0}, {"salutation", F_civilite, 0}, {"nameprefix", F_civilite, 0},
    {"courtesytitle", F_civilite, 0}, {"civ", F_civilite, 0}, {"title", F_civilite, 1}, {"titre", F_civilite, 1},
    {"prefix", F_civilite, 1},
    // Web address
    {"url", F_url, 0}, {"website", F_url, 0}, {"webpage", F_url, 0}, {"website1value", F_url, 0},
    {"webpage1", F_url, 0}, {"siteweb", F_url, 0}, {"siteweb1", F_url, 0}, {"siteinternet", F_url, 0},
    {"homepage", F_url, 1}, {"web", F_url, 1}, {"personalwebpage", F_url, 2}, {"webpage2", F_url, 3},
    {"siteweb2", F_url, 3},
    // Comment
    {"notes", F_commentaire, 0}, {"note", F_commentaire, 0}, {"comment", F_commentaire, 0},
    {"comments", F_commentaire, 0}, {"commentaire", F_commentaire, 0}, {"commentaires", F_commentaire, 0},
    {"remarque", F_commentaire, 0}, {"remarques", F_commentaire, 0}, {"observations", F_commentaire, 0},
    // The four free fields
    {"custom1", F_champ16, 1}, {"custom2", F_champ17, 1}, {"custom3", F_champ18, 1}, {"custom4", F_champ19, 1},
    {"user1", F_champ16, 1}, {"user2", F_champ17, 1}, {"user3", F_champ18, 1}, {"user4", F_champ19, 1},
    {"divers1", F_champ16, 1}, {"divers2", F_champ17, 1}, {"divers3", F_champ18, 1}, {"divers4", F_champ19, 1},
};

const QHash<QString, Named> &knownHeadings()
{
    static const QHash<QString, Named> known = [] {
        QHash<QString, Named> k;
        auto add = [&k](const QString &heading, int field, int rank) {
            const QString key = headingKey(heading);
            if (!key.isEmpty() && !k.contains(key))
                k.insert(key, Named{field, rank});
        };
        for (const Known &e : kKnown)
            add(QLatin1String(e.key), e.field, e.rank);
        // Our own export's heading line, and the names the mapping dialog
        // shows, in both languages.
        for (int f = F_nom; f <= F_champ19; ++f)
            add(contactColumns()[f], f, 0);
        for (int f : mappingFields())
            if (f != kUnused)
                for (int language : {texts::French, texts::English})
                    add(mappingText(f, language), f, 1);
        return k;
    }();
    return known;
}

Named namedBy(const QString &heading)
{
    return knownHeadings().value(headingKey(heading), Named{kUnused, 0});
}

bool looksLikeAddress(const QString &v)
{
    const qsizetype at = v.indexOf(u'@');
    return at > 0 && v.indexOf(u'.', at) > at + 1 && !v.contains(u' ');
}

// A number, a phone number, a postal code or a date: digits with at most
// separators between them.
bool looksLikeNumberOrDate(const QString &v)
{
    int digits = 0;
    for (QChar c : v) {
        if (c.isDigit())
            ++digits;
        else if (!QStringView(u" +-./(),:").contains(c))
            return false;
    }
    return digits > 0;
}

bool looksLikeData(const QString &value)
{
    const QString v = value.trimmed();
    return looksLikeAddress(v) || looksLikeNumberOrDate(v);
}

} // namespace

QString headingKey(const QString &heading)
{
    const QString decomposed = heading.normalized(QString::NormalizationForm_KD);
    QString key;
    key.reserve(decomposed.size());
    for (QChar c : decomposed)
        if (c.isLetterOrNumber())
            key += c.toLower();
    return key;
}

int fieldOfHeading(const QString &heading)
{
    return namedBy(heading).field;
}

QList<int> mappingOfHeadings(const QStringList &headings)
{
    QList<int> mapping(headings.size(), kUnused);
    QList<Named> named;
    for (const QString &h : headings)
        named << namedBy(h);
    // Surest first, then leftmost: each field goes to one column.
    QList<int> order(headings.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&named](int a, int b) { return named[a].rank < named[b].rank; });
    QList<int> taken;
    for (int c : order) {
        const int field = named[c].field;
        if (field == kUnused || taken.contains(field))
            continue;
        taken << field;
        mapping[c] = field;
    }
    if (taken.isEmpty())
        mapping.fill(kNotIdentified);
    return mapping;
}

bool isHeadingLine(const QStringList &first, const std::vector<QStringList> &rows)
{
    bool known = false, text = false;
    for (const QString &h : first) {
        if (looksLikeData(h))
            return false;
        if (fieldOfHeading(h) != kUnused)
            known = true;
        if (!h.trimmed().isEmpty())
            text = true;
    }
    if (known)
        return true;
    if (!text || rows.empty())
        return false;
    // Text above a column whose values below are mostly addresses, numbers
    // or dates.
    for (qsizetype c = 0; c < first.size(); ++c) {
        if (first[c].trimmed().isEmpty())
            continue;
        int filled = 0, data = 0;
        for (const QStringList &row : rows) {
            const QString v = row.value(c).trimmed();
            if (v.isEmpty())
                continue;
            ++filled;
            if (looksLikeData(v))
                ++data;
        }
        if (filled > 0 && data * 2 > filled)
            return true;
    }
    return false;
}

} // namespace kirvane::import
