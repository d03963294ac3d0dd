#include "subscriptions/subscriptionrequest.h"

#include <algorithm>
#include <array>
#include <optional>

namespace kirvane::subscriptions {

using namespace kirvane::store;

namespace {

constexpr std::array<BodyKey, 16> kBodyKeys{{
    {F_nom, "nom=", "name="},
    {F_prenom, "prenom=", "firstname="},
    {F_code_postal, "codepostal=", "zipcode="},
    {F_ville, "ville=", "city="},
    {F_adresse1, "adresse1=", "address1="},
    {F_adresse2, "adresse2=", "address2="},
    {F_pays, "pays=", "country="},
    {F_tel, "tel=", "phone="},
    {F_fax, "fax=", "fax="},
    {F_societe, "societe=", "company="},
    {F_civilite, "titre=", "title="},
    {F_url, "url=", "url="},
    {F_champ16, "champ1=", "field1="},
    {F_champ17, "champ2=", "field2="},
    {F_champ18, "champ3=", "field3="},
    {F_champ19, "champ4=", "field4="},
}};

// The text after the first occurrence of keyword, without any space.
QString addressAfter(const QString &subject, QLatin1StringView keyword)
{
    const qsizetype at = subject.indexOf(keyword);
    if (at < 0)
        return QString();
    QString address = subject.mid(at + keyword.size());
    address.remove(QLatin1Char(' '));
    return address;
}

// The value of line when it starts, after blanks, with key.
std::optional<QString> valueAfterKey(const QString &line, QLatin1StringView key)
{
    qsizetype start = 0;
    while (start < line.size() && (line[start] == QLatin1Char(' ') || line[start] == QLatin1Char('\t')))
        ++start;
    if (QStringView(line).mid(start).startsWith(key))
        return line.mid(start + key.size());
    return std::nullopt;
}

} // namespace

SubscriptionRequest readRequest(const QString &subject)
{
    SubscriptionRequest r;
    if (subject.contains(QLatin1String("DESABONNE"))) {
        r.kind = SubscriptionRequest::Kind::Unsubscribe;
        r.address = addressAfter(subject, QLatin1String("DESABONNE "));
    } else if (subject.contains(QLatin1String("ABONNE"))) {
        r.kind = SubscriptionRequest::Kind::Subscribe;
        r.address = addressAfter(subject, QLatin1String("ABONNE "));
    } else {
        return r;
    }
    // An address that a line break or another control character could carry
    // into a log, a book or a command is not one (an encoded word in the
    // Subject may hold them).
    const bool control = std::any_of(r.address.cbegin(), r.address.cend(),
                                     [](QChar c) { return c.category() == QChar::Other_Control || c.unicode() == 0x2028 || c.unicode() == 0x2029; });
    if (!r.address.contains(QLatin1Char('@')) || control) {
        r.incomplete = true;
        r.kind = SubscriptionRequest::Kind::None;
    }
    return r;
}

std::span<const BodyKey> bodyKeys()
{
    return kBodyKeys;
}

void fillFromBody(const QStringList &body, ContactRecord &contact)
{
    if (body.isEmpty())
        return;
    QStringList lines = body;
    for (const BodyKey &key : kBodyKeys) {
        QString &value = contact[key.column].value;
        value.clear();
        for (qsizetype i = 0; i < lines.size(); ++i) {
            std::optional<QString> v = valueAfterKey(lines[i], QLatin1StringView(key.french));
            if (!v)
                v = valueAfterKey(lines[i], QLatin1StringView(key.english));
            if (!v)
                continue;
            value = *v;
            lines.removeAt(i);
            break;
        }
    }
    QString comment;
    for (const QString &line : lines)
        comment += line + QLatin1String("\r\n");
    contact[F_commentaire].value = comment;
}

} // namespace kirvane::subscriptions
