#pragma once
// Delivery-status notifications (RFC 3464): the report a mail server sends
// back when a message could not be delivered. The subscription job reads them
// so that addresses that no longer take mail can be excluded from later runs
// instead of being forwarded to the user one bounce at a time.

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace kirvane::subscriptions {

struct DeliveryNotice {
    struct Recipient {
        QString address;    // Final-Recipient (or Original-Recipient), without its "rfc822;";
                            // empty when what the report names is not an address
        QString action;     // failed, delayed, delivered, relayed, expanded (lower case)
        QString status;     // "5.1.1"
        QString diagnostic; // Diagnostic-Code, without its "smtp;"
        // A failure that will not go away: Action failed with a 5.x.x status.
        [[nodiscard]] bool permanent() const;
    };
    QList<Recipient> recipients;
};

// The notice carried by a message's raw lines, when its top-level type is
// multipart/report with report-type=delivery-status and it has a
// message/delivery-status part; nothing otherwise.
[[nodiscard]] std::optional<DeliveryNotice> readDeliveryNotice(const QList<QByteArray> &lines);

} // namespace kirvane::subscriptions
