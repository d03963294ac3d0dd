// kirvane-cli mail send and mail fetch: the SMTP and POP3 clients from the
// command line, with no window to keep alive while they wait.

#include "cli/cli.h"

#include "mail/qzvmsg.h"
#include "mail/qzvpop.h"
#include "mail/qzvsmtp.h"

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

QString jsonList(const QStringList &items)
{
    QStringList quoted;
    quoted.reserve(items.size());
    for (const QString &item : items)
        quoted << jsonString(item);
    return QLatin1Char('[') + quoted.join(QLatin1Char(',')) + QLatin1Char(']');
}

// One retrieved message as a JSON object on one line.
QString messageJson(const mail::TQzvMsg &msg)
{
    QStringList attachments;
    for (int i = 0; i < msg.AttachedFiles.Count(); ++i) {
        const mail::TAttachedFile &file = msg.AttachedFiles[i];
        attachments << QStringLiteral("{\"name\":%1,\"content_type\":%2,\"size\":%3,\"sha256\":\"%4\"}")
                           .arg(jsonString(file.FileName), jsonString(file.ContentType))
                           .arg(file.Data.size())
                           .arg(QString::fromLatin1(
                               QCryptographicHash::hash(file.Data, QCryptographicHash::Sha256).toHex()));
    }
    const std::pair<const char *, QString> fields[] = {
        {"from", msg.From},
        {"sender", msg.Sender},
        {"to", msg.SendTo},
        {"cc", msg.CC},
        {"reply_to", msg.ReplyTo},
        {"subject", msg.Subject},
        {"date", msg.Date},
        {"message_id", msg.MessageId},
        {"content_type", msg.ContentType},
        {"content_transfer_encoding", msg.ContentTransferEncoding},
    };
    QString json = QStringLiteral("{");
    for (const auto &[key, value] : fields)
        json += QLatin1Char('"') + QLatin1String(key) + QStringLiteral("\":") + jsonString(value) + QLatin1Char(',');
    json += QStringLiteral("\"text\":") + jsonList(msg.Text);
    json += QStringLiteral(",\"attachments\":[") + attachments.join(QLatin1Char(',')) + QStringLiteral("]}");
    return json;
}

int sendMessages(QStringList args)
{
    QString host, port = QStringLiteral("25"), repeatText, error;
    if (!takeServer(args, &host, &port, &error))
        return fail(error);
    int repeat = 1;
    if (takeOption(args, QStringLiteral("repeat"), &repeatText)) {
        bool ok = false;
        repeat = repeatText.toInt(&ok);
        if (!ok || repeat < 1)
            return fail(QStringLiteral("--repeat takes a number from 1"));
    }
    // Each message is built anew from the same options, as the sending run
    // composes one per contact: its own Message-Id, boundaries and Date.
    const QStringList messageOptions = args;
    {
        mail::TQzvMsg probe;
        if (!buildMessageFromOptions(args, probe, &error))
            return fail(error);
        if (!args.isEmpty())
            return fail(QStringLiteral("unexpected argument: %1").arg(args.first()));
    }

    mail::TQzvSMTP smtp;
    smtp.Host = host;
    smtp.Port = port;
    int failures = 0;
    for (int i = 1; i <= repeat; ++i) {
        if (!smtp.Connected()) {
            smtp.Connect();
            if (smtp.Failed()) {
                out().flush();
                return fail(QStringLiteral("cannot connect to %1:%2: %3 %4")
                                .arg(host, port, smtp.ReplyCode(), smtp.ReplyText())
                                .simplified());
            }
        }
        QStringList options = messageOptions;
        mail::TQzvMsg msg;
        if (!buildMessageFromOptions(options, msg, &error))
            return fail(error);
        smtp.SendMessage(msg);
        if (smtp.Failed()) {
            ++failures;
            out() << QStringLiteral("message %1: refused: %2 %3\n").arg(i).arg(smtp.ReplyCode(), smtp.ReplyText());
        } else {
            out() << QStringLiteral("message %1: accepted\n").arg(i);
        }
    }
    smtp.Quit();
    out().flush();
    return failures ? 1 : 0;
}

int fetchMessages(QStringList args)
{
    QString host, port = QStringLiteral("110"), user, password, error;
    if (!takeServer(args, &host, &port, &error))
        return fail(error);
    if (!takeOption(args, QStringLiteral("user"), &user) || !takeOption(args, QStringLiteral("password"), &password))
        return fail(QStringLiteral("--user and --password are required"));
    const bool remove = takeFlag(args, QStringLiteral("delete"));
    if (!args.isEmpty())
        return fail(QStringLiteral("unexpected argument: %1").arg(args.first()));

    mail::TQzvPOP pop;
    pop.Host = host;
    pop.Port = port;
    pop.UserId = user;
    pop.UserPasswd = password;
    pop.Connect();
    if (pop.Failed())
        return fail(QStringLiteral("cannot connect to %1:%2: %3").arg(host, port, pop.StatusText()));
    if (!pop.Login())
        return fail(QStringLiteral("login refused: %1").arg(pop.StatusText()));
    pop.GetMessageCount();
    if (pop.Failed() && !pop.Connected())
        return fail(QStringLiteral("cannot count the messages: %1").arg(pop.StatusText()));
    const int count = pop.MessageCount();
    for (int n = 1; n <= count; ++n) {
        mail::TQzvMsg msg;
        if (!pop.Retrieve(n, msg))
            return fail(QStringLiteral("message %1: %2").arg(n).arg(pop.StatusText()));
        out() << messageJson(msg) << '\n';
        if (remove) {
            pop.Delete(n);
            if (pop.Failed())
                return fail(QStringLiteral("message %1 not deleted: %2").arg(n).arg(pop.StatusText()));
        }
    }
    pop.Quit();
    out().flush();
    if (pop.Failed())
        return fail(QStringLiteral("the server did not end the session well: %1").arg(pop.StatusText()));
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
