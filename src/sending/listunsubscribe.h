#pragma once
// The unsubscription addresses a message of a sending run names in its
// List-Unsubscribe header (RFC 2369): a mailto: to the subscription mailbox
// whose subject is the request the synchronisation reads as an
// unsubscription of the recipient, so that a reader's click in their mail
// program unsubscribes them at the next synchronisation; and, when the
// settings give an unsubscribe web address, that address with the contact's
// values filled in, for one-click unsubscription (RFC 8058).
//
//     msg.listUnsubscribe = listUnsubscribeUris(settings, contact);

#include "settings/settings.h"
#include "store/contactrecord.h"

#include <QString>
#include <QStringList>

namespace kirvane::sending {

// The mailto: address (when the settings name a subscription address) and
// the web address (when they name one), in that order; placeholders of the
// web address are filled with the contact's values percent-encoded. Empty
// when the settings name neither.
[[nodiscard]] QStringList listUnsubscribeUris(const settings::Settings &s, const store::ContactRecord &contact);

} // namespace kirvane::sending
