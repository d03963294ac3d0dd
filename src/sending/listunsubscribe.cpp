#include "sending/listunsubscribe.h"

#include "message/placeholders.h"

namespace kirvane::sending {

QString unsubscribeRequestSubject(const QString &address)
{
    return QStringLiteral("DESABONNE ") + address;
}

QStringList listUnsubscribeUris(const Settings &s, const store::ContactRecord &contact)
{
    QStringList uris;
    const QString address = contact[store::F_email].value.trimmed();
    if (!s.subscriptionAddress.isEmpty() && !address.isEmpty()) {
        // RFC 6068 2: "@" may stand as it is in a header value of a mailto:
        // address; a blank or anything else that could end it is encoded.
        uris << QStringLiteral("mailto:") + QString::fromLatin1(s.subscriptionAddress.trimmed().toUtf8().toPercentEncoding("@"))
                    + QStringLiteral("?subject=")
                    + QString::fromLatin1(unsubscribeRequestSubject(address).toUtf8().toPercentEncoding("@"));
    }
    if (!s.unsubscribeUrl.isEmpty())
        uris << message::personalise(s.unsubscribeUrl, contact, message::activePlaceholderLanguage(),
                                     message::ValueForm::UrlEncoded);
    return uris;
}

} // namespace kirvane::sending
