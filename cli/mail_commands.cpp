// kirvane-cli mail: compose a message from options and print it; "send" and
// "fetch" (the protocol clients) take the same message options.

#include "cli/cli.h"

#include "common/textcodec.h"
#include "mail/dkimsigner.h"
#include "mail/mailmessage.h"
#include "message/plaintextalternative.h"

#include <QFile>

namespace kirvane::cli {

namespace {

constexpr const char *kMailUsage =
    "usage: kirvane-cli mail COMMAND ...\n"
    "  compose MESSAGE-OPTIONS                print the composed message (CR LF lines)\n"
    "  send --host HOST [--port PORT] [CONNECTION] [--user USER --password PASS]\n"
    "       [--repeat N] [--helo] MESSAGE-OPTIONS\n"
    "                                         send N messages (each composed anew) over one\n"
    "                                         connection; exit status 1 when any is refused,\n"
    "                                         2 when all were accepted but a recipient refused;\n"
    "                                         greets with EHLO (HELO when the server refuses\n"
    "                                         it) and pipelines the messages when the server\n"
    "                                         offers it; --helo greets with HELO alone and\n"
    "                                         sends one command at a time (unless security\n"
    "                                         or a login needs EHLO); the login goes\n"
    "                                         unencrypted only with --security none\n"
    "  fetch --host HOST [--port PORT] [CONNECTION] --user USER --password PASS [--delete]\n"
    "                                         print each message as a JSON object on a line;\n"
    "                                         one that cannot be kept is reported, left on the\n"
    "                                         server and skipped (exit status 1 at the end)\n"
    "  (--server HOST[:PORT] may stand for --host and --port)\n"
    "CONNECTION:\n"
    "  --security none|starttls|tls           encryption (fetch takes stls for starttls); the\n"
    "                                         port is then 25, 587 or 465 (110, 110 or 995)\n"
    "  --ca FILE                              trust the certificates of FILE besides the system's\n"
    "MESSAGE-OPTIONS:\n"
    "  --from ADDR [--name NAME] --to ADDRS [--cc ADDRS] [--bcc ADDRS]\n"
    "  --subject TEXT (--text FILE | --html FILE)\n"
    "  [--attach FILE]... [--embed FILE]... [--base64]\n"
    "  [--list-unsubscribe URI]...            List-Unsubscribe (an https: one adds\n"
    "                                         List-Unsubscribe-Post for one-click)\n"
    "  [--text-alternative]                   with --html: a text/plain alternative made\n"
    "                                         from the HTML (multipart/alternative)\n"
    "  [--dkim-key FILE --dkim-selector S --dkim-domain D]\n"
    "                                         sign with DKIM (an RSA or Ed25519 PEM key)\n"
    "Text files are read as UTF-8, or Windows-1252 when not valid UTF-8.\n";

bool readTextFile(const QString &path, QStringList *lines, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    QString text = common::decodeLegacyText(file.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (text.endsWith(u'\n'))
        text.chop(1);
    *lines = text.split(u'\n');
    return true;
}

} // namespace

bool buildMessageFromOptions(QStringList &args, mail::MailMessage &msg, QString *error)
{
    auto required = [&](const char *name, QString *value) {
        if (takeOption(args, QString::fromLatin1(name), value) && !value->isEmpty())
            return true;
        *error = QStringLiteral("--%1 is required").arg(QLatin1String(name));
        return false;
    };
    QString from, to, subject;
    if (!required("from", &from) || !required("to", &to) || !required("subject", &subject))
        return false;
    msg.from = from;
    msg.sendTo = to;
    msg.subject = subject;
    takeOption(args, QStringLiteral("name"), &msg.userName);
    takeOption(args, QStringLiteral("cc"), &msg.cc);
    takeOption(args, QStringLiteral("bcc"), &msg.bcc);

    QString textFile, htmlFile;
    const bool text = takeOption(args, QStringLiteral("text"), &textFile);
    const bool html = takeOption(args, QStringLiteral("html"), &htmlFile);
    if (text == html) {
        *error = QStringLiteral("give one of --text FILE and --html FILE");
        return false;
    }
    msg.bodyFormat = html ? mail::BodyFormat::Html : mail::BodyFormat::Plain;
    if (!readTextFile(html ? htmlFile : textFile, &msg.text, error))
        return false;

    for (const QString &path : takeOptions(args, QStringLiteral("attach")))
        msg.attachments.add(path);
    for (const QString &path : takeOptions(args, QStringLiteral("embed")))
        msg.embeddedImages.add(path);
    if (takeFlag(args, QStringLiteral("base64")))
        msg.bodyEncoding = mail::BodyEncoding::Base64;
    msg.listUnsubscribe = takeOptions(args, QStringLiteral("list-unsubscribe"));
    if (takeFlag(args, QStringLiteral("text-alternative"))) {
        if (!html) {
            *error = QStringLiteral("--text-alternative goes with --html");
            return false;
        }
        msg.plainAlternative = message::plainTextAlternative(msg.text);
    }
    msg.date = mail::currentMailDate();
    return true;
}

bool takeDkimOptions(QStringList &args, std::unique_ptr<mail::DkimSigner> *signer, QString *error)
{
    QString key, selector, domain;
    const int given = int(takeOption(args, QStringLiteral("dkim-key"), &key))
                    + int(takeOption(args, QStringLiteral("dkim-selector"), &selector))
                    + int(takeOption(args, QStringLiteral("dkim-domain"), &domain));
    signer->reset();
    if (given == 0)
        return true;
    if (given < 3) {
        *error = QStringLiteral("give --dkim-key, --dkim-selector and --dkim-domain together");
        return false;
    }
    if (!mail::DkimSigner::isDkimName(selector) || !mail::DkimSigner::isDkimName(domain)) {
        *error = QStringLiteral("--dkim-selector and --dkim-domain take names of letters, digits, - and _ between dots");
        return false;
    }
    QString why;
    *signer = mail::DkimSigner::fromKeyFile(key, domain, selector, &why);
    if (!*signer)
        *error = QStringLiteral("--dkim-key: %1").arg(why);
    return *signer != nullptr;
}

int runMailCommand(QStringList args)
{
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        out() << kMailUsage;
        return args.isEmpty() ? 1 : 0;
    }
    const QString command = args.takeFirst();
    if (command == QLatin1String("send"))
        return runMailSendCommand(args);
    if (command == QLatin1String("fetch"))
        return runMailFetchCommand(args);
    if (command != QLatin1String("compose"))
        return fail(QStringLiteral("unknown mail command: %1").arg(command));

    mail::MailMessage msg;
    QString error;
    std::unique_ptr<mail::DkimSigner> signer;
    if (!buildMessageFromOptions(args, msg, &error) || !takeDkimOptions(args, &signer, &error))
        return fail(error);
    if (!args.isEmpty())
        return fail(QStringLiteral("unexpected argument: %1").arg(args.first()));
    if (!mail::composeSigned(msg, signer.get(), &error))
        return fail(error);
    QByteArray bytes;
    for (const QByteArray &line : std::as_const(msg.wireLines))
        bytes += line + "\r\n";
    writeRaw(bytes);
    return 0;
}

} // namespace kirvane::cli
