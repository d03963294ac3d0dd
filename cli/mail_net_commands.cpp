// kirvane-cli mail send and mail fetch: the SMTP and POP3 clients from the
// command line, with no window to keep alive while they wait.

#include "cli/cli.h"

#include "mail/dkimsigner.h"
#include "mail/mailmessage.h"
#include "mail/pop3client.h"
#include "mail/smtpclient.h"

#include <QCryptographicHash>

namespace kirvane::cli {

namespace {

// Takes "--host HOST [--port PORT]", or "--server HOST[:PORT]".
bool takeServer(QStringList &args, QString *host, QString *port, QString *error)
{
    QString server;
    if (takeOption(args, QStringLiteral("server"), &server)) {
        const qsizetype colon = server.lastIndexOf(QLatin1Char(':'));
        *host = colon < 0 ? server : server.left(colon);
        if (colon >= 0)
            *port = server.mid(colon + 1);
    }
    takeOption(args, QStringLiteral("host"), host);
    takeOption(args, QStringLiteral("port"), port);
    if (host->isEmpty()) {
        *error = QStringLiteral("--host is required");
        return false;
    }
    return true;
}

// How a client connects: "--security none|starttls|tls" ("stls" too, the
// POP3 name of starttls), "--ca FILE", and the port that goes with the
// security when --port was not given (SMTP 25, 587, 465; POP3 110, 995).
struct Connection {
    mail::Security security = mail::Security::None;
    bool securityChosen = false; // --security was given
    QString caFile;
};

bool takeConnection(QStringList &args, bool pop3, QString *port, Connection *connection, QString *error)
{
    QString security;
    connection->securityChosen = takeOption(args, QStringLiteral("security"), &security);
    security = security.toLower();
    if (!connection->securityChosen || security == QLatin1String("none"))
        connection->security = mail::Security::None;
    else if (security == QLatin1String("starttls") || (pop3 && security == QLatin1String("stls")))
        connection->security = mail::Security::StartTls;
    else if (security == QLatin1String("tls"))
        connection->security = mail::Security::Tls;
    else {
        *error = pop3 ? QStringLiteral("--security takes none, stls, starttls or tls")
                      : QStringLiteral("--security takes none, starttls or tls");
        return false;
    }
    takeOption(args, QStringLiteral("ca"), &connection->caFile);
    if (port->isEmpty()) {
        static constexpr int smtpPorts[] = {25, 587, 465};
        static constexpr int popPorts[] = {110, 110, 995};
        *port = QString::number((pop3 ? popPorts : smtpPorts)[int(connection->security)]);
    }
    return true;
}

void applyConnection(const Connection &connection, mail::ProtocolClient &client)
{
    client.security = connection.security;
    client.caFile = connection.caFile;
}

QString jsonList(const QStringList &items)
{
    QStringList quoted;
    quoted.reserve(items.size());
    for (const QString &item : items)
        quoted << jsonString(item);
    return QLatin1Char('[') + quoted.join(QLatin1Char(',')) + QLatin1Char(']');
}

// One retrieved message as a JSON object on one line.
QString messageJson(const mail::MailMessage &msg)
{
    QStringList attachments;
    for (int i = 0; i < msg.attachments.count(); ++i) {
        const mail::Attachment &file = msg.attachments[i];
        attachments << QStringLiteral("{\"name\":%1,\"content_type\":%2,\"size\":%3,\"sha256\":\"%4\"}")
                           .arg(jsonString(file.fileName), jsonString(file.contentType))
                           .arg(file.data.size())
                           .arg(QString::fromLatin1(
                               QCryptographicHash::hash(file.data, QCryptographicHash::Sha256).toHex()));
    }
    const std::pair<const char *, QString> fields[] = {
        {"from", msg.from},
        {"sender", msg.sender},
        {"to", msg.sendTo},
        {"cc", msg.cc},
        {"reply_to", msg.replyTo},
        {"subject", msg.subject},
        {"date", msg.date},
        {"message_id", msg.messageId},
        {"content_type", msg.contentType},
        {"content_transfer_encoding", msg.contentTransferEncoding},
    };
    QString json = QStringLiteral("{");
    for (const auto &[key, value] : fields)
        json += QLatin1Char('"') + QLatin1String(key) + QStringLiteral("\":") + jsonString(value) + QLatin1Char(',');
    json += QStringLiteral("\"text\":") + jsonList(msg.text);
    json += QStringLiteral(",\"attachments\":[") + attachments.join(QLatin1Char(',')) + QStringLiteral("]}");
    return json;
}

int sendMessages(QStringList args)
{
    QString host, port, repeatText, error, user, password;
    Connection connection;
    if (!takeServer(args, &host, &port, &error) || !takeConnection(args, false, &port, &connection, &error))
        return fail(error);
    takeOption(args, QStringLiteral("user"), &user);
    takeOption(args, QStringLiteral("password"), &password);
    int repeat = 1;
    if (takeOption(args, QStringLiteral("repeat"), &repeatText)) {
        bool ok = false;
        repeat = repeatText.toInt(&ok);
        if (!ok || repeat < 1)
            return fail(QStringLiteral("--repeat takes a number from 1"));
    }
    const bool heloOnly = takeFlag(args, QStringLiteral("helo"));
    // EHLO is the greeting anyway; the flag of older scripts is taken and ignored.
    (void)takeFlag(args, QStringLiteral("ehlo"));
    // The options are read once (the body file read and decoded once); each
    // message is a copy composed anew, as the sending run composes one per
    // contact: its own Message-Id, boundaries and Date.
    mail::MailMessage model;
    std::unique_ptr<mail::DkimSigner> signer;
    if (!buildMessageFromOptions(args, model, &error) || !takeDkimOptions(args, &signer, &error))
        return fail(error);
    if (!args.isEmpty())
        return fail(QStringLiteral("unexpected argument: %1").arg(args.first()));

    mail::SmtpClient smtp;
    smtp.host = host;
    smtp.port = port;
    smtp.useEhlo = !heloOnly;
    applyConnection(connection, smtp);
    smtp.userId = user;
    smtp.password = password;
    // Only "--security none" said in so many words lets a login go unencrypted.
    smtp.allowPlainTextLogin = connection.securityChosen && connection.security == mail::Security::None;
    int failures = 0;
    int refusedRecipients = 0;
    auto accepted = [&](int i, const QList<mail::SmtpClient::RefusedRecipient> &refused) {
        out() << QStringLiteral("message %1: accepted\n").arg(i);
        // Accepted for the others: only these addresses did not get it.
        for (const mail::SmtpClient::RefusedRecipient &r : refused) {
            ++refusedRecipients;
            out() << QStringLiteral("message %1: recipient %2 refused: %3 %4\n")
                         .arg(i)
                         .arg(QString::fromUtf8(r.address), r.code, r.text);
        }
    };
    // A pipelined message is answered with the next one's commands, or at QUIT.
    int pending = 0;
    QList<mail::SmtpClient::RefusedRecipient> pendingRefused;
    auto settled = [&] {
        const std::optional<mail::SmtpClient::Settled> answer = smtp.takeSettled();
        if (!answer)
            return;
        if (answer->accepted) {
            accepted(pending, pendingRefused);
            return;
        }
        ++failures;
        if (answer->answered)
            out() << QStringLiteral("message %1: refused: %2 %3\n").arg(pending).arg(answer->code, answer->text);
        else
            out() << QStringLiteral("message %1: no answer: %2\n").arg(pending).arg(answer->text);
    };
    for (int i = 1; i <= repeat; ++i) {
        if (!smtp.isConnected()) {
            const bool ready = smtp.connectToHost();
            settled();
            if (!ready) {
                out().flush();
                return fail(QStringLiteral("cannot connect to %1:%2: %3 %4")
                                .arg(host, port, smtp.replyCode(), smtp.replyText())
                                .simplified());
            }
        }
        mail::MailMessage msg = model;
        if (signer && !mail::composeSigned(msg, signer.get(), &error)) {
            out().flush();
            return fail(error);
        }
        const bool taken = smtp.sendMessage(msg);
        settled();
        if (!taken) {
            ++failures;
            out() << QStringLiteral("message %1: refused: %2 %3\n").arg(i).arg(smtp.replyCode(), smtp.replyText());
        } else if (smtp.hasPending()) {
            pending = i;
            pendingRefused = smtp.refusedRecipients();
        } else {
            accepted(i, smtp.refusedRecipients());
        }
    }
    smtp.quit();
    settled();
    out().flush();
    return failures ? 1 : refusedRecipients ? 2 : 0;
}

int fetchMessages(QStringList args)
{
    QString host, port, user, password, error;
    Connection connection;
    if (!takeServer(args, &host, &port, &error) || !takeConnection(args, true, &port, &connection, &error))
        return fail(error);
    if (!takeOption(args, QStringLiteral("user"), &user) || !takeOption(args, QStringLiteral("password"), &password))
        return fail(QStringLiteral("--user and --password are required"));
    const bool remove = takeFlag(args, QStringLiteral("delete"));
    if (!args.isEmpty())
        return fail(QStringLiteral("unexpected argument: %1").arg(args.first()));

    mail::Pop3Client pop;
    pop.host = host;
    pop.port = port;
    applyConnection(connection, pop);
    pop.userId = user;
    pop.password = password;
    if (!pop.connectToHost())
        return fail(QStringLiteral("cannot connect to %1:%2: %3").arg(host, port, pop.statusText()));
    if (!pop.login())
        return fail(QStringLiteral("login refused: %1").arg(pop.statusText()));
    if (!pop.fetchMessageCount())
        return fail(QStringLiteral("cannot count the messages: %1").arg(pop.statusText()));
    // A failure after some messages were printed and marked still ends with
    // QUIT when the connection allows it, so that those are deleted and the
    // next fetch does not print them again.
    auto failAfterQuit = [&pop](const QString &why) {
        out().flush();
        (void)pop.quit();
        return fail(why);
    };
    const int count = pop.messageCount();
    int skipped = 0;
    for (int n = 1; n <= count; ++n) {
        mail::MailMessage msg;
        try {
            if (!pop.retrieve(n, msg))
                return failAfterQuit(QStringLiteral("message %1: %2").arg(n).arg(pop.statusText()));
        } catch (const mail::MailError &e) {
            if (!pop.isConnected())
                throw;
            // The message came but cannot be kept: it is reported and left
            // on the server, and the others are still fetched.
            ++skipped;
            err() << QStringLiteral("message %1 skipped: %2\n").arg(n).arg(QString::fromUtf8(e.what()));
            continue;
        }
        out() << messageJson(msg) << '\n';
        if (remove && !pop.deleteMessage(n))
            return failAfterQuit(QStringLiteral("message %1 not deleted: %2").arg(n).arg(pop.statusText()));
    }
    const bool ended = pop.quit();
    out().flush();
    if (!ended)
        return fail(QStringLiteral("the server did not end the session well: %1").arg(pop.statusText()));
    if (skipped)
        return fail(QStringLiteral("%1 message(s) skipped").arg(skipped));
    return 0;
}

// The clients raise only on misuse or an error of the socket itself.
int guarded(int (*command)(QStringList), QStringList args)
{
    try {
        return command(std::move(args));
    } catch (const std::exception &e) {
        out().flush();
        return fail(QString::fromUtf8(e.what()));
    }
}

} // namespace

int runMailSendCommand(QStringList args)
{
    return guarded(sendMessages, std::move(args));
}

int runMailFetchCommand(QStringList args)
{
    return guarded(fetchMessages, std::move(args));
}

} // namespace kirvane::cli
