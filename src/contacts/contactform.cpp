#include "contacts/contactform.h"

#include "texts/texttable.h"

namespace kirvane::contacts {

using namespace kirvane::store;
using namespace kirvane::texts;

bool takesApostropheRule(int field)
{
    switch (field) {
    case F_id:
    case F_civilite:
    case F_commentaire:
    case F_email:
    case F_url:
        return false;
    default:
        return field > 0 && field < kContactFields;
    }
}

bool replaceApostrophes(ContactRecord &contact)
{
    bool replaced = false;
    for (int k = 0; k < kContactFields; ++k) {
        if (!takesApostropheRule(k) || !contact[k].value.contains(u'\''))
            continue;
        contact[k].value.replace(u'\'', kRightQuote);
        replaced = true;
    }
    return replaced;
}

QString elideLabel(const QString &text, int width, const std::function<int(const QString &)> &textWidth)
{
    if (textWidth(text) <= width)
        return text;
    for (qsizetype n = text.size() - 2; n > 0; --n) {
        const QString candidate = text.left(n) + u'.';
        if (textWidth(candidate) < width)
            return candidate;
    }
    return QStringLiteral(".");
}

QString fieldCaption(int field, int language)
{
    switch (field) {
    case F_nom: return text(FieldName, language);
    case F_prenom: return text(FieldFirstName, language);
    case F_code_postal: return text(LabelZipCode, language);
    case F_ville: return text(FieldCity, language);
    case F_adresse1: return text(LabelAddress, language);
    case F_pays: return text(FieldCountry, language);
    case F_tel: return text(LabelPhone, language);
    case F_fax: return text(FieldFax, language);
    case F_email: return text(FieldEmail, language);
    case F_societe: return text(FieldCompany, language);
    case F_civilite: return text(FieldTitle, language);
    case F_url: return text(FieldUrl, language);
    default: return {};
    }
}

int maxLength(int field)
{
    switch (field) {
    case F_id:
    case F_commentaire:
        return 0;
    case F_code_postal:
        return 10;
    case F_tel:
    case F_fax:
        return 20;
    default:
        return 150;
    }
}

} // namespace kirvane::contacts
