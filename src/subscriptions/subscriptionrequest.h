#pragma once
// What a message of the subscription mailbox asks for, read from its Subject,
// and the contact a subscribe request carries in its body.
//
// The web form mails "ABONNE address" to subscribe and "DESABONNE address" to
// unsubscribe; the body of a subscribe request holds the other fields as lines
// "key=value", each key in French or in English. The words are the form's and
// stay as written whatever the interface language.

#include "store/contactrecord.h"

#include <QString>
#include <QStringList>

#include <span>

namespace kirvane::subscriptions {

struct SubscriptionRequest {
    enum class Kind {
        None,        // not a request: forwarded to the redirection address
        Subscribe,
        Unsubscribe,
    };
    Kind kind = Kind::None;
    // The text after "ABONNE " or "DESABONNE " with every space removed; the
    // same address is checked and stored.
    QString address;
    // A Subject that names a request but no address with "@" in it, or one
    // holding a line break or another control character: not applied,
    // forwarded like any other message.
    bool incomplete = false;
};

// Reads the request of a decoded Subject. Case matters ("abonne" is not a
// request); "DESABONNE" is never taken for "ABONNE", though it contains it.
// Whatever comes before the keyword ("Re: ", "Fwd: ") is not part of the
// address.
[[nodiscard]] SubscriptionRequest readRequest(const QString &subject);

// One row of the body's key table: the column it fills and its two keys.
struct BodyKey {
    store::ContactField column;
    const char *french;
    const char *english;
};
[[nodiscard]] std::span<const BodyKey> bodyKeys();

// Fills contact from the body lines of a subscribe request, row by row of the
// key table: the first remaining line that starts (after leading blanks) with
// the row's French or English key gives the column the rest of that line, and
// is taken out. A line counts only for the key it starts with, so
// "prenom=Jean" never fills nom. The lines no key claimed, each followed by
// CR LF, become commentaire. An empty body changes nothing.
void fillFromBody(const QStringList &body, store::ContactRecord &contact);

} // namespace kirvane::subscriptions
