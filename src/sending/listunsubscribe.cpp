#include "sending/listunsubscribe.h"

#include "message/placeholders.h"

namespace kirvane::sending {

QStringList listUnsubscribeUris(const settings::Settings &s, const store::ContactRecord &contact)
{
    QStringList uris;
    if (const QString mailto = settings::unsubscribeMailto(s, contact[store::F_email].value); !mailto.isEmpty())
        uris << mailto;
    if (!s.unsubscribeUrl.isEmpty())
        uris << message::personalise(s.unsubscribeUrl, contact, message::activePlaceholderLanguage(),
                                     message::ValueForm::UrlEncoded);
    return uris;
}

} // namespace kirvane::sending
