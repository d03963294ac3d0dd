#include "cli/cli.h"

#include "common/folders.h"
#include "common/textcodec.h"
#include "store/addressbookstore.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>
#include <memory>

using namespace kirvane::common;
using namespace kirvane::store;

namespace kirvane::cli {

QTextStream &out()
{
    static QTextStream s(stdout);
    return s;
}

QTextStream &err()
{
    static QTextStream s(stderr);
    return s;
}

int fail(const QString &message)
{
    out().flush();
    err() << "kirvane-cli: " << message << Qt::endl;
    return 1;
}

void writeRaw(const QByteArray &bytes)
{
    out().flush();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

bool takeOption(QStringList &args, const QString &name, QString *value)
{
    const QString flag = QStringLiteral("--") + name;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == flag && i + 1 < args.size()) {
            *value = args[i + 1];
            args.remove(i, 2);
            return true;
        }
        if (args[i].startsWith(flag + u'=')) {
            *value = args[i].mid(flag.size() + 1);
            args.removeAt(i);
            return true;
        }
    }
    return false;
}

QStringList takeOptions(QStringList &args, const QString &name)
{
    QStringList values;
    QString v;
    while (takeOption(args, name, &v))
        values << v;
    return values;
}

bool takeFlag(QStringList &args, const QString &name)
{
    return args.removeAll(QStringLiteral("--") + name) > 0;
}

void appendJsonString(QByteArray &out, QByteArrayView utf8)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    for (char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else {
                out += ch;
            }
        }
    }
    out += '"';
}

QString jsonString(const QString &text)
{
    QByteArray out;
    appendJsonString(out, text.toUtf8());
    return QString::fromUtf8(out);
}

QString jsonList(const QStringList &items)
{
    QStringList quoted;
    quoted.reserve(items.size());
    for (const QString &item : items)
        quoted << jsonString(item);
    return u'[' + quoted.join(u',') + u']';
}

namespace {

constexpr const char *kUsage =
    "usage: kirvane-cli [--home DIR] COMMAND ...\n"
    "  books                                  list the address books\n"
    "  book create NAME [--labels L1,L2,L3,L4]\n"
    "  book copy NAME COPY | book rename NAME NEWNAME\n"
    "  book relabel NAME L1,L2,L3,L4 | book delete NAME\n"
    "  contact add BOOK COLUMN=VALUE...       prints the new contact's id\n"
    "  contact delete BOOK ID...\n"
    "  contact show BOOK ID                   the contact as one JSON object\n"
    "  contact update BOOK ID COLUMN=VALUE...\n"
    "  contact copy|move BOOK DEST ID... [--duplicates skip|keep]\n"
    "  contacts BOOK                          one JSON object per contact\n"
    "  titles | titles set TITLE...           the list of titles (titre.ini)\n"
    "  export BOOK FILE                       the semicolon-separated export\n"
    "  tables FILE [--kind K] [--preview N]   the tables of an import source, one JSON object each\n"
    "  import BOOK FILE [--kind K] [--table T] --map FIELD=COLUMN[,...]|auto [--skip-header]\n"
    "         [--existing add|skip|update] [--labels L1,L2,L3,L4]\n"
    "  mail compose|send|fetch ...            see 'kirvane-cli mail --help'\n"
    "  message make|show|render ...           see 'kirvane-cli message --help'\n"
    "  config show | config set KEY=VALUE...  the settings of config.ini\n"
    "      besides the window's first tabs: SmtpSecurity none|starttls|tls, SmtpServerPort,\n"
    "      SmtpLogin, SmtpPassword, PopSecurity none|stls|tls, PopServerPort, CaFile,\n"
    "      SubscriptionAddress, UnsubscribeUrl, DkimSelector, DkimDomain, DkimKeyFile,\n"
    "      TextAlternative true|false\n"
    "  sync [--unsubscribe-everywhere yes|no] fetch the subscription mailbox\n"
    "  send MESSAGE.MNL [--save-as NAME] [--pause SECONDS]   the sending run\n"
    "  send MESSAGE.MNL --dry-run             the figures of the run, nothing sent\n"
    "  send MESSAGE.MNL --test [ADDRESS]      one message, as the first contact gets it, to ADDRESS\n"
    "                                         (the sender's own when none is given)\n"
    "  runs                                   the interrupted sends, one JSON object each\n"
    "  resume NAME [--pause SECONDS]          resumes an interrupted send\n"
    "  history                                the sent messages, one JSON object each\n"
    "  history show ID | history delete ID... | history resend ID FILE.MNL\n"
    "  search [--book B]... [--nom X] [--prenom X] [--societe X] [--email X] [--ville X]\n"
    "                                         contacts whose values equal the texts (case ignored)\n"
    "  duplicates BOOK... --by COL[,COL...] [--delete-others BOOK:ID]\n"
    "                                         the duplicate candidates; or delete a row's others\n"
    "  migrate [--dry-run]                    brings address books and history in the earlier\n"
    "                                         Paradox format across (originals kept), as JSON\n";

} // namespace

texts::Answer CommandLineAsker::ask(texts::DialogKind kind, const QString &text)
{
    if (!texts::hasOneButton(kind))
        return texts::Answer::No;
    err() << "kirvane-cli: " << text.trimmed() << Qt::endl;
    return texts::Answer::Ok;
}

int showCommandUsage(const QString &command)
{
    // The usage lines of that command: the lines of the general usage that
    // start with its name, with the lines that continue them.
    QString lines;
    bool inCommand = false;
    for (const QString &line : QString::fromUtf8(kUsage).split(u'\n', Qt::SkipEmptyParts).mid(1)) {
        const QString word = line.trimmed().section(u' ', 0, 0);
        if (!line.startsWith(QLatin1String("    ")))
            inCommand = word == command;
        if (inCommand)
            lines += line + u'\n';
    }
    if (lines.isEmpty())
        return fail(QStringLiteral("unknown command \"%1\" (try --help)").arg(command));
    out() << "usage: kirvane-cli [--home DIR] " << lines.trimmed() << Qt::endl;
    return 0;
}

namespace {

// The command the arguments name, read before the application object exists.
QString commandNamed(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    QString home;
    takeOption(args, QStringLiteral("home"), &home);
    return args.value(0);
}

} // namespace

} // namespace kirvane::cli

int main(int argc, char *argv[])
{
    using namespace kirvane;
    // A GUI application object (offscreen) lets the message commands lay out
    // text documents with fonts. The sending run only reads its message's
    // document, which needs no fonts: it runs on the core alone, whose start
    // costs a tenth of the GUI one's (no platform, no font list).
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(tempFolder().chopped(1)));
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    const QString named = cli::commandNamed(argc, argv);
    const std::unique_ptr<QCoreApplication> app = named == QLatin1String("send") || named == QLatin1String("resume")
                                                      ? std::make_unique<QCoreApplication>(argc, argv)
                                                      : std::make_unique<QGuiApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kirvane-cli"));
    // Bytes that are not UTF-8 would come through as U+FFFD and be stored so:
    // refuse them.
    for (int i = 1; i < argc; ++i)
        if (!isValidUtf8(QByteArray(argv[i])))
            return cli::fail(QStringLiteral("argument %1 is not valid UTF-8").arg(i));

    QStringList args = QCoreApplication::arguments().mid(1);
    QString home;
    cli::takeOption(args, QStringLiteral("home"), &home);
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        cli::out() << cli::kUsage;
        return args.isEmpty() ? 1 : 0;
    }

    if (args.first() == QLatin1String("--version")) {
        cli::out() << "kirvane-cli " << KIRVANE_VERSION << Qt::endl;
        return 0;
    }
    // "COMMAND --help" shows that command's usage and runs nothing.
    if (args.size() > 1 && (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h")))) {
        if (args.first() == QLatin1String("mail"))
            return cli::runMailCommand({QStringLiteral("--help")});
        if (args.first() == QLatin1String("message"))
            return cli::runMessageCommand({QStringLiteral("--help")});
        return cli::showCommandUsage(args.first());
    }

    setDataFolder(resolveDataFolder(home));
    const QString command = args.takeFirst();
    if (command == QLatin1String("mail"))
        return cli::runMailCommand(args);
    if (command == QLatin1String("config"))
        return cli::runConfigCommand(args);

    // Before the folder is made usable: a dry run writes nothing.
    if (command == QLatin1String("migrate"))
        return cli::runMigrateCommand(args);
    QString error;
    if (!store::BookFiles::ensureDataFolder(dataFolder(), &error))
        return cli::fail(error);
    if (command == QLatin1String("message"))
        return cli::runMessageCommand(args);
    if (command == QLatin1String("history"))
        return cli::runHistoryCommand(args);
    if (command == QLatin1String("sync"))
        return cli::runSyncCommand(args);
    if (command == QLatin1String("send"))
        return cli::runSendCommand(args);
    if (command == QLatin1String("resume"))
        return cli::runResumeCommand(args);
    if (command == QLatin1String("runs"))
        return cli::runRunsCommand(args);
    if (command == QLatin1String("search"))
        return cli::runSearchCommand(args);
    if (command == QLatin1String("duplicates"))
        return cli::runDuplicatesCommand(args);
    if (command == QLatin1String("titles"))
        return cli::runTitlesCommand(args);
    if (command == QLatin1String("tables") || command == QLatin1String("import"))
        return cli::runImportCommand(command, args);
    return cli::runStoreCommand(command, args);
}
