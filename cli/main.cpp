#include "cli/cli.h"

#include "store/folders.h"
#include "store/tbase.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>
#include <memory>

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

QString jsonString(const QString &text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (QChar c : text) {
        switch (c.unicode()) {
        case '"': out += QLatin1String("\\\""); break;
        case '\\': out += QLatin1String("\\\\"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case '\t': out += QLatin1String("\\t"); break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += u'"';
    return out;
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
    "  contacts BOOK                          one JSON object per contact\n"
    "  export BOOK FILE                       the semicolon-separated export\n"
    "  mail compose|send|fetch ...            see 'kirvane-cli mail --help'\n"
    "  message make|show|render ...           see 'kirvane-cli message --help'\n"
    "  config show | config set KEY=VALUE...  the settings of config.ini\n"
    "  send MESSAGE.MNL [--save-as NAME] [--pause SECONDS]   the sending run\n"
    "  runs                                   the interrupted sends, one JSON object each\n"
    "  resume NAME [--pause SECONDS]          resumes an interrupted send\n";

} // namespace

} // namespace kirvane::cli

int main(int argc, char *argv[])
{
    using namespace kirvane;
    // A GUI application object (offscreen) lets the message commands use text
    // documents and fonts; the rest needs only the core.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(tempFolder().chopped(1)));
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kirvane-cli"));

    QStringList args = QCoreApplication::arguments().mid(1);
    QString home;
    cli::takeOption(args, QStringLiteral("home"), &home);
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        cli::out() << cli::kUsage;
        return args.isEmpty() ? 1 : 0;
    }

    setDataFolder(resolveDataFolder(home));
    const QString command = args.takeFirst();
    if (command == QLatin1String("mail"))
        return cli::runMailCommand(args);
    if (command == QLatin1String("config"))
        return cli::runConfigCommand(args);

    QString error;
    if (!Tbase::EnsureDataFolder(dataFolder(), &error))
        return cli::fail(error);
    if (command == QLatin1String("message"))
        return cli::runMessageCommand(args);
    if (command == QLatin1String("send"))
        return cli::runSendCommand(args);
    if (command == QLatin1String("resume"))
        return cli::runResumeCommand(args);
    if (command == QLatin1String("runs"))
        return cli::runRunsCommand(args);
    return cli::runStoreCommand(command, args);
}
