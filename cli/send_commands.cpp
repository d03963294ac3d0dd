// kirvane-cli send, runs and resume: the sending run without windows. The run
// asks no question here: where the window asks, the command line takes the
// answer that sends nothing extra and loses nothing, and says so on standard
// error. SIGINT and SIGTERM are "Stop and save".
#include "cli/cli.h"

#include "message/messagearchive.h"
#include "message/messagedocument.h"
#include "sending/runjournal.h"
#include "sending/runposition.h"
#include "sending/sendingrun.h"
#include "sending/stoppedruns.h"
#include "texts/texttable.h"
#include "common/folders.h"
#include "store/addressbookstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>

#include <csignal>
#include <functional>
#include <optional>
#include <fcntl.h>
#include <unistd.h>

using namespace kirvane::common;
using namespace kirvane::store;
using namespace kirvane::texts;

namespace kirvane::cli {

namespace {

using sending::SendingRun;

int g_signalPipe[2] = {-1, -1};

// A text of the table on one line: its line breaks (LF CR or CR LF) as spaces.
QString oneLine(QString text)
{
    text.replace(QLatin1String("\n\r"), QLatin1String(" "));
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    return text.simplified();
}

void onSignal(int)
{
    const char c = 1;
    (void)::write(g_signalPipe[1], &c, 1);
}

class CliQuestions final : public sending::RunQuestions {
public:
    explicit CliQuestions(QString saveAs) : m_saveAs(std::move(saveAs)) {}

    bool askSendWithoutSubject() override
    {
        note(QStringLiteral("the message has no subject: nothing sent"));
        return false;
    }
    bool askRemoveMissingBooks(const QStringList &books) override
    {
        note(QStringLiteral("these destination books do not exist: %1; nothing sent").arg(books.join(QLatin1String(", "))));
        return false;
    }
    void inform(const QString &text) override { note(oneLine(text)); }
    QString askLaterSendName(const QString &proposal) override
    {
        const QString wanted = m_saveAs.isEmpty() ? proposal : m_saveAs;
        const QString name = sending::freeInterruptedName(wanted);
        if (name != wanted)
            note(QStringLiteral("an interrupted send named \"%1\" exists and is kept; saving as \"%2\"").arg(wanted, name));
        return name;
    }
    bool askReplaceInterrupted(const QString &) override { return false; }
    bool confirmSending(const QString &subject, const sending::RunFigures &f) override
    {
        note(figuresLine(texts::SendingStarts, subject, f));
        return true;
    }
    QString stoppedAfter(int done, int total, const QString &name) const override
    {
        return texts::text(texts::StoppedAfterCommand).arg(done).arg(total).arg(name);
    }
    static QString figuresLine(int entry, const QString &subject, const sending::RunFigures &f)
    {
        return texts::text(entry).arg(subject).arg(f.contacts).arg(f.books).arg(f.excluded);
    }

private:
    static void note(const QString &text)
    {
        out().flush();
        err() << text << Qt::endl;
    }
    QString m_saveAs;
};

// Turns runs left by a crash into interrupted sends, and says so.
void recoverCrashedRuns()
{
    QStringList errors;
    for (const QString &name : sending::RunJournal::recoverAll(&errors))
        err() << QStringLiteral("A sending was cut short when the program stopped; it has been saved as \"%1\". "
                                "Resume it with: kirvane-cli resume \"%1\"")
                     .arg(name)
              << Qt::endl;
    for (const QString &e : errors)
        err() << QStringLiteral("a run left by a crash cannot be recovered: %1").arg(e) << Qt::endl;
}

int runToTheEnd(QStringList args, const std::function<bool(SendingRun &, message::MessageDocument &)> &start, const QString &saveAs)
{
    QString pause;
    std::optional<int> pauseMs;
    if (takeOption(args, QStringLiteral("pause"), &pause)) {
        bool ok = false;
        const double seconds = pause.toDouble(&ok);
        if (!ok || seconds < 0 || seconds > 60000)
            return fail(QStringLiteral("--pause takes a number of seconds"));
        pauseMs = int(seconds * 1000);
    }
    if (!args.isEmpty())
        return fail(QStringLiteral("unexpected argument \"%1\"").arg(args.first()));

    store::AddressBookStore store;
    store.initDataFolder();
    message::MessageDocument document;
    CliQuestions questions(saveAs);
    SendingRun run(store, document, questions);
    run.setPauseOverride(pauseMs);
    QObject::connect(&run, &SendingRun::logged, [](const QString &line) { out() << line << Qt::endl; });
    QObject::connect(&run, &SendingRun::pauseStarted, [](int ms) {
        err() << QStringLiteral("pause of %1 s before the next packet").arg(ms / 1000.0) << Qt::endl;
    });
    int code = 0;
    QObject::connect(&run, &SendingRun::segmentEnded, [&](SendingRun::End end) {
        if (!run.hasEnded())
            return;
        switch (end) {
        case SendingRun::End::Finished:
        case SendingRun::End::Cancelled:
        case SendingRun::End::Paused:
            // A run whose history record was lost did not end as it should.
            code = run.historyLost() ? 1 : 0;
            break;
        case SendingRun::End::StoppedAndSaved:
            if (!run.savedName().isEmpty())
                out() << QStringLiteral("Saved as the interrupted send \"%1\"").arg(run.savedName()) << Qt::endl;
            code = run.hadTransmissionError() || run.savedName().isEmpty() ? 1 : 2;
            break;
        case SendingRun::End::ConnectionFailed:
            code = 1;
            break;
        }
        QCoreApplication::exit(code);
    });

    if (::pipe2(g_signalPipe, O_CLOEXEC) != 0)
        return fail(QStringLiteral("cannot watch for signals"));
    QSocketNotifier notifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        char c;
        (void)::read(g_signalPipe[0], &c, 1);
        err() << QStringLiteral("stopping after the current contact") << Qt::endl;
        run.stopAndSave();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    if (!start(run, document))
        return 1;
    return QCoreApplication::exec();
}

} // namespace

// Runs work with the message archive at path, read into a run over the
// data folder's books; exit 1 when the archive cannot be read.
int withRun(const QString &path, const std::function<int(SendingRun &, const message::MessageDocument &)> &work)
{
    store::AddressBookStore store;
    store.initDataFolder();
    message::MessageDocument document;
    if (message::readArchive(path, document) != message::ArchiveReadStatus::Ok)
        return fail(QStringLiteral("%1: %2").arg(path, oneLine(texts::text(texts::CorruptMessage))));
    CliQuestions questions{QString()};
    SendingRun run(store, document, questions);
    return work(run, document);
}

// --dry-run: the figures a run would start with, nothing sent.
int dryRun(const QString &path)
{
    return withRun(path, [](SendingRun &run, const message::MessageDocument &document) {
        const std::optional<sending::RunFigures> figures = run.checkNew();
        if (!figures)
            return 1;
        out() << CliQuestions::figuresLine(texts::ConfirmSending, document.subject(), *figures) << Qt::endl;
        return 0;
    });
}

// --test [ADDRESS]: the message once, as its first contact would get it, to
// the sender's own address or the one given; nothing recorded.
int testSend(const QString &path, const QString &address)
{
    return withRun(path, [&address](SendingRun &run, const message::MessageDocument &) {
        QObject::connect(&run, &SendingRun::logged, [](const QString &line) { out() << line << Qt::endl; });
        QObject::connect(&run, &SendingRun::testEnded, [](bool sent) { QCoreApplication::exit(sent ? 0 : 1); });
        if (!run.sendTest(address))
            return 1;
        return QCoreApplication::exec();
    });
}

int runSendCommand(QStringList args)
{
    QString saveAs;
    takeOption(args, QStringLiteral("save-as"), &saveAs);
    const bool dry = args.removeAll(QStringLiteral("--dry-run")) > 0;
    const qsizetype test = args.indexOf(QStringLiteral("--test"));
    QString testAddress;
    if (test >= 0) {
        args.removeAt(test);
        if (test < args.size() && !args.at(test).startsWith(QLatin1String("--")) && test > 0)
            testAddress = args.takeAt(test);
    }
    if (args.isEmpty() || args.first().startsWith(QLatin1String("--")))
        return fail(QStringLiteral("usage: send MESSAGE.MNL [--save-as NAME] [--pause SECONDS] [--dry-run] [--test [ADDRESS]]"));
    const QString path = args.takeFirst();
    if (!args.isEmpty() && (dry || test >= 0))
        return fail(QStringLiteral("unexpected argument \"%1\"").arg(args.first()));
    if (dry)
        return dryRun(path);
    if (test >= 0)
        return testSend(path, testAddress);
    recoverCrashedRuns();
    return runToTheEnd(args, [&](SendingRun &run, message::MessageDocument &doc) {
        if (message::readArchive(path, doc) != message::ArchiveReadStatus::Ok) {
            fail(QStringLiteral("%1: %2").arg(path, oneLine(texts::text(texts::CorruptMessage))));
            return false;
        }
        // A new run, from the first contact, whatever the file held.
        doc.setResumePosition(QString(), QString());
        return run.sendNew();
    }, saveAs);
}

int runResumeCommand(QStringList args)
{
    if (args.isEmpty() || args.first().startsWith(QLatin1String("--")))
        return fail(QStringLiteral("usage: resume NAME [--pause SECONDS]"));
    const QString name = args.takeFirst();
    recoverCrashedRuns();
    const QString path = sending::stoppedRunPath(name);
    if (!QFile::exists(path))
        return fail(QStringLiteral("no interrupted send named \"%1\"").arg(name));
    return runToTheEnd(args, [&](SendingRun &run, message::MessageDocument &) { return run.resumeFrom(path); }, QString());
}

int runRunsCommand(QStringList args)
{
    if (!args.isEmpty())
        return fail(QStringLiteral("usage: runs"));
    recoverCrashedRuns();
    store::AddressBookStore store;
    store.initDataFolder();
    for (const sending::StoppedRun &r : sending::listStoppedRuns(&store.files())) {
        if (!r.readable) {
            out() << QStringLiteral("{\"name\":%1,\"unreadable\":true}").arg(jsonString(r.name)) << Qt::endl;
            continue;
        }
        out() << QStringLiteral("{\"name\":%1,\"subject\":%2,\"date\":%3,\"resume_book\":%4,\"resume_key\":%5,"
                                "\"position\":%6,\"book_size\":%7,\"remaining\":%8,\"books\":%9}")
                     .arg(jsonString(r.name), jsonString(r.subject), jsonString(r.stopped.toString(Qt::ISODate)),
                          jsonString(r.book), jsonString(r.key))
                     .arg(r.doneInBook)
                     .arg(r.bookSize)
                     .arg(r.remaining)
                     .arg(jsonList(r.books))
              << Qt::endl;
    }
    return 0;
}

} // namespace kirvane::cli
