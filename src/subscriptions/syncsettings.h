#pragma once
// The settings a synchronisation needs, read afresh from config.ini before
// every job: where the mailbox is and how to log in, where to forward, and
// through which SMTP server.

#include <QString>

namespace kirvane::mail {
class TQzvPOP;
class TQzvSMTP;
} // namespace kirvane::mail

namespace kirvane::subscriptions {

struct SyncSettings {
    // The endpoints as the clients take them: with the proxy on, the proxy's
    // host and port, and the POP3 user "login#server" that names the real
    // server to the proxy.
    QString popHost;
    QString popPort = QStringLiteral("110");
    QString popUser;
    QString popPassword;
    QString smtpHost;
    QString smtpPort = QStringLiteral("25");
    QString redirection; // where messages that are not requests go

    // Reads section Newsletter of the file at path; a missing file or key
    // leaves the field empty (ports at their defaults). Only the exact word
    // "true" turns the proxy on.
    [[nodiscard]] static SyncSettings load(const QString &path);

    void applyTo(mail::TQzvPOP &pop) const;
    void applyTo(mail::TQzvSMTP &smtp) const;
};

} // namespace kirvane::subscriptions
