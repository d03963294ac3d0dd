// kirvane-cli send, runs and resume, run as a user runs them: stopped by a
// signal, killed outright, resumed; nobody lost.
#include "clirun.h"
#include "sendingfixture.h"

#include "message/messagearchive.h"
#include "message/messagedocument.h"
#include "store/database.h"

#include <QDir>
#include <QJsonArray>

#include <csignal>

using namespace kirvane;
using namespace kirvane::common;
using namespace kirvane::store;
using namespace kirvane::texts;

class TstSendCli : public QObject {
    Q_OBJECT

    // A message to book "Big" of n contacts, saved as msg.MNL in the folder.
    static QString makeRun(DataFolder &data, int n)
    {
        QStringList contacts;
        for (int i = 0; i < n; ++i)
            contacts << QStringLiteral("N%1|P|r%1@x.org").arg(i, 4, 10, QLatin1Char('0'));
        data.makeBook(QStringLiteral("Big"), contacts);
        message::MessageDocument doc;
        doc.setSubject(QStringLiteral("Hello &name&"));
        doc.setMode(message::ComposeMode::PlainText);
        doc.setPlainText(QStringLiteral("Text for &name&\n"));
        doc.setDestinationBooks({QStringLiteral("Big")});
        const QString base = data.path() + QStringLiteral("/msg");
        if (!message::writeArchive(doc, base, message::ArchiveKind::SavedMessage, QString(), QString()))
            return QString();
        return base + QStringLiteral(".MNL");
    }

    static QStringList everyone(int n)
    {
        QStringList all;
        for (int i = 0; i < n; ++i)
            all << QStringLiteral("r%1@x.org").arg(i, 4, 10, QLatin1Char('0'));
        return all;
    }

    static int receivedFiles(const QString &maildir)
    {
        return QDir(maildir + QStringLiteral("/new")).entryList(QDir::Files).size();
    }

    // Starts kirvane-cli send in the background.
    static std::unique_ptr<QProcess> startSend(const QString &home, const QStringList &args)
    {
        auto p = std::make_unique<QProcess>();
        p->start(qEnvironmentVariable("KIRVANE_BIN_DIR") + QStringLiteral("/kirvane-cli"),
                 QStringList{QStringLiteral("--home"), home} + args);
        p->waitForStarted();
        return p;
    }

    static bool waitForFiles(const QString &maildir, int n)
    {
        QDeadlineTimer deadline(60000);
        while (receivedFiles(maildir) < n && !deadline.hasExpired())
            QThread::msleep(20);
        return receivedFiles(maildir) >= n;
    }

private Q_SLOTS:
    // SIGTERM is "stop and save": the current contact finishes, the run is
    // saved under --save-as, says how far it went and how to resume it,
    // exit 2; resuming sends the others, exit 0.
    void signalStopsAndSaves()
    {
        DataFolder data;
        const QString msg = makeRun(data, 120);
        QTemporaryDir mail;
        const QString md = mail.filePath(QStringLiteral("md"));
        SmtpPeer peer;
        QVERIFY(peer.start(md, {"delay=0.01"}));
        data.writeSettings(peer.port);

        auto p = startSend(data.path(), {QStringLiteral("send"), msg, QStringLiteral("--save-as"), QStringLiteral("later")});
        QVERIFY(waitForFiles(md, 20));
        ::kill(pid_t(p->processId()), SIGTERM);
        QVERIFY(p->waitForFinished(30000));
        QCOMPARE(p->exitCode(), 2);
        const QByteArray out = p->readAllStandardOutput();
        QVERIFY(out.contains("Saved as the interrupted send \"later\""));
        // Where it stopped, in figures, and the command that goes on.
        const QString end = QStringLiteral("Stopped after %1 of 120; resume it with: kirvane-cli resume \"later\"")
                                .arg(peer.recipients().size());
        QVERIFY2(out.contains(end.toUtf8()), out.right(300).constData());

        const CliRun runs = runCli(data.path(), {QStringLiteral("runs")});
        QCOMPARE(runs.code, 0);
        const QJsonObject listed = QJsonDocument::fromJson(runs.out.trimmed()).object();
        QCOMPARE(listed.value("name").toString(), QStringLiteral("later"));
        QCOMPARE(listed.value("resume_book").toString(), QStringLiteral("Big"));
        QCOMPARE(listed.value("books").toArray().size(), 1);
        // Without its answered ids (an archive copied alone) the run is
        // placed by its key, at the same place.
        const QString ids = stoppedFolder() + QStringLiteral("later.answered");
        QVERIFY(QFile::rename(ids, ids + QStringLiteral(".aside")));
        const QJsonObject byKey
            = QJsonDocument::fromJson(runCli(data.path(), {QStringLiteral("runs")}).out.trimmed()).object();
        QVERIFY(QFile::rename(ids + QStringLiteral(".aside"), ids));
        QVERIFY(listed.value("position").toInt() > 0);
        QCOMPARE(byKey.value("position"), listed.value("position"));
        QCOMPARE(byKey.value("remaining"), listed.value("remaining"));

        const CliRun resumed = runCli(data.path(), {QStringLiteral("resume"), QStringLiteral("later")});
        QCOMPARE(resumed.code, 0);
        QVERIFY(resumed.out.contains("Sent: "));
        QCOMPARE(peer.recipients(), everyone(120));
    }

    // kill -9 in mid-run: the next start offers the run, and resuming it
    // sends every remaining contact; at most the one in flight twice.
    void killedRunIsResumed()
    {
        DataFolder data;
        const int n = 200;
        const QString msg = makeRun(data, n);
        QTemporaryDir mail;
        const QString md = mail.filePath(QStringLiteral("md"));
        SmtpPeer peer;
        QVERIFY(peer.start(md, {"delay=0.01"}));
        data.writeSettings(peer.port);

        auto p = startSend(data.path(), {QStringLiteral("send"), msg});
        QVERIFY(waitForFiles(md, 60));
        ::kill(pid_t(p->processId()), SIGKILL);
        QVERIFY(p->waitForFinished(10000));

        const CliRun runs = runCli(data.path(), {QStringLiteral("runs")});
        QCOMPARE(runs.code, 0);
        QVERIFY2(runs.err.contains("cut short"), runs.err.constData());
        const QJsonObject listed = QJsonDocument::fromJson(runs.out.trimmed()).object();
        const QString name = listed.value("name").toString();
        QCOMPARE(name, QStringLiteral("Hello &name&"));
        QCOMPARE(listed.value("resume_book").toString(), QStringLiteral("Big"));
        QVERIFY(!listed.value("resume_key").toString().isEmpty());

        const CliRun resumed = runCli(data.path(), {QStringLiteral("resume"), name});
        QCOMPARE(resumed.code, 0);
        const QStringList got = peer.recipients();
        QStringList unique = got;
        unique.removeDuplicates();
        QCOMPARE(unique, everyone(n));
        QVERIFY2(got.size() - unique.size() <= 1, qPrintable(QString::number(got.size() - unique.size())));
    }

    // --pause replaces the configured minutes; no server is exit 1, and so
    // is a server that refuses the sender: the reply is said, the run kept.
    void pauseOptionAndExitCodes()
    {
        DataFolder data;
        const QString msg = makeRun(data, 5);
        QTemporaryDir mail;
        SmtpPeer peer;
        QVERIFY(peer.start(mail.filePath(QStringLiteral("md"))));
        data.writeSettings(peer.port, true, 2);
        // --dry-run says what a run would send, and sends nothing.
        const CliRun dry = runCli(data.path(), {QStringLiteral("send"), msg, QStringLiteral("--dry-run")});
        QCOMPARE(dry.code, 0);
        QCOMPARE(dry.out.trimmed(), QByteArray("Send 'Hello &name&' to 5 contacts of 1 books (0 excluded)?"));
        QVERIFY(peer.recipients().isEmpty());
        const CliRun sent = runCli(data.path(), {QStringLiteral("send"), msg, QStringLiteral("--pause"), QStringLiteral("0.2")});
        QCOMPARE(sent.code, 0);
        // The configured two minutes would say "pause of 120 s".
        QCOMPARE(sent.err.count("pause of 0.2 s before the next packet"), 2);
        QCOMPARE(peer.recipients(), everyone(5));

        const ClosedPort nobody;
        data.writeSettings(nobody.port);
        const CliRun refused = runCli(data.path(), {QStringLiteral("send"), msg});
        QCOMPARE(refused.code, 1);
        QVERIFY(refused.err.contains("Check your Internet connection or your configuration."));

        SmtpPeer strict;
        QTemporaryDir mail2;
        QVERIFY(strict.start(mail2.filePath(QStringLiteral("md")), {"sender=550"}));
        data.writeSettings(strict.port);
        const CliRun senderRefused = runCli(data.path(), {QStringLiteral("send"), msg, QStringLiteral("--save-as"), QStringLiteral("sender")});
        QCOMPARE(senderRefused.code, 1);
        QVERIFY2(senderRefused.err.contains("The server refuses the sender: 550 5.7.1 Sender address rejected"),
                 senderRefused.err.constData());
        QVERIFY(strict.recipients().isEmpty());
        const QJsonObject kept = QJsonDocument::fromJson(runCli(data.path(), {QStringLiteral("runs")}).out.trimmed()).object();
        QCOMPARE(kept.value("name").toString(), QStringLiteral("sender"));
        QCOMPARE(runCli(data.path(), {QStringLiteral("resume"), QStringLiteral("nothing")}).code, 1);
    }

    // --test: the message once, personalised as the first contact of the
    // first book gets it, to the address given; no history, no stopped run.
    void testSendToMyself()
    {
        DataFolder data;
        const QString msg = makeRun(data, 3);
        QTemporaryDir mail;
        SmtpPeer peer;
        QVERIFY(peer.start(mail.filePath(QStringLiteral("md"))));
        data.writeSettings(peer.port);
        const CliRun sent = runCli(data.path(), {QStringLiteral("send"), msg, QStringLiteral("--test"), QStringLiteral("me@x.org")});
        QVERIFY2(sent.code == 0, sent.err.constData());
        QVERIFY(sent.out.contains("Test message sent to me@x.org"));
        const QList<Received> got = peer.received();
        QCOMPARE(got.size(), 1);
        QCOMPARE(got.first().to, QStringLiteral("me@x.org"));
        QCOMPARE(got.first().subject, QStringLiteral("Hello N0000"));
        auto db = Database::open(findNoCase(historyFolder(), QStringLiteral("historique.db")), Database::Mode::ReadOnly);
        Statement rows = db->prepare(QStringLiteral("SELECT COUNT(*) FROM t"));
        rows.step();
        QCOMPARE(rows.int64(0), 0);
        QVERIFY(runCli(data.path(), {QStringLiteral("runs")}).out.trimmed().isEmpty());
        QVERIFY(QDir(stoppedFolder() + QStringLiteral(".journal")).entryList(QDir::Files).isEmpty());
    }

    // A run whose history record cannot be written says so in its log and
    // again at its end, and exits 1; the sending itself stands. A table
    // another program holds is waited for a while first, then reported.
    void lostHistoryIsSaid_data()
    {
        QTest::addColumn<bool>("heldByAnother");
        QTest::newRow("a folder in the table's place") << false;
        QTest::newRow("held by another program") << true;
    }

    void lostHistoryIsSaid()
    {
        QFETCH(bool, heldByAnother);
        DataFolder data;
        const QString msg = makeRun(data, 2);
        QTemporaryDir mail;
        SmtpPeer peer;
        QVERIFY(peer.start(mail.filePath(QStringLiteral("md"))));
        data.writeSettings(peer.port);
        const QString history = findNoCase(historyFolder(), QStringLiteral("historique.db"));
        QProcess holder;
        if (heldByAnother) {
            // An exclusive lock kept until the test ends it.
            holder.start(QStringLiteral("/usr/bin/python3"),
                         {QStringLiteral("-c"),
                          QStringLiteral("import sqlite3, sys\n"
                                         "db = sqlite3.connect(sys.argv[1], isolation_level=None)\n"
                                         "db.execute('BEGIN EXCLUSIVE')\n"
                                         "print('held', flush=True)\n"
                                         "sys.stdin.read()\n"),
                          history});
            QVERIFY(holder.waitForReadyRead(10000));
            QCOMPARE(holder.readAll().trimmed(), QByteArray("held"));
        } else {
            QVERIFY(QFile::remove(history));
            QVERIFY(QDir().mkdir(history)); // a table that cannot be opened
        }
        const CliRun sent = runCli(data.path(), {QStringLiteral("send"), msg});
        holder.closeWriteChannel();
        holder.waitForFinished();
        QCOMPARE(sent.code, 1);
        QCOMPARE(peer.recipients(), everyone(2));
        QCOMPARE(sent.out.count("The history of this sending could not be recorded"), 2);
    }
};

QTEST_MAIN(TstSendCli)
#include "tst_send_cli.moc"
