// The sending run against a real SMTP peer (aiosmtpd): books in order,
// exclusions and empty addresses, packets and pauses, stop and resume,
// refusals, a dropped connection, a server gone in mid-run, bad addresses,
// a pipelined run whose answers come one message late, a submission server
// that wants TLS and a login, and the headers of bulk mail.
#include "sendingfixture.h"
#include "mail/protocols/testcertificates.h"

#include "message/messagearchive.h"
#include "mail/smtpclient.h"
#include "message/messagedocument.h"
#include "sending/history.h"
#include "sending/runjournal.h"
#include "texts/texttable.h"
#include "store/database.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

using namespace kirvane;
using namespace kirvane::common;
using namespace kirvane::store;
using namespace kirvane::texts;
using sending::SendingRun;

namespace {

QString sentLine() { return texts::text(texts::LogSent); }

int historyRows()
{
    auto db = Database::open(findNoCase(historyFolder(), QStringLiteral("historique.db")), Database::Mode::ReadOnly);
    Statement s = db->prepare(QStringLiteral("SELECT COUNT(*) FROM t"));
    s.step();
    return int(s.int64(0));
}

QString stoppedPath(const QString &name) { return stoppedFolder() + name + QStringLiteral(".MNS"); }

// The place last written to the journal of the run in progress.
QString lastJournalKey()
{
    const QDir folder(sending::RunJournal::folder());
    const QStringList files = folder.entryList({QStringLiteral("*.pos")}, QDir::Files);
    if (files.size() != 1)
        return QStringLiteral("%1 journals").arg(files.size());
    QFile f(folder.filePath(files.first()));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    // The last position record; lines "+id" name the contacts answered.
    QList<QByteArray> lines = f.readAll().trimmed().split('\n');
    while (!lines.isEmpty() && !lines.constLast().contains('\t'))
        lines.removeLast();
    return lines.isEmpty() ? QString() : QString::fromUtf8(lines.constLast().split('\t').value(1));
}

} // namespace

class TstSendingRun : public QObject {
    Q_OBJECT

    // A plain-text message to books, excluding others.
    static void fill(message::MessageDocument &doc, const QStringList &books, const QStringList &excluded = {})
    {
        doc.clear();
        doc.setSubject(QStringLiteral("News for &name&"));
        doc.setMode(message::ComposeMode::PlainText);
        doc.setPlainText(QStringLiteral("Dear &name&,\nsee you.\n"));
        doc.setDestinationBooks(books);
        doc.setExclusionBooks(excluded);
    }

    // Runs until the run has ended (pauses included).
    static bool runToEnd(SendingRun &run, int ms = 60000)
    {
        QDeadlineTimer deadline(ms);
        while (!run.hasEnded() && !deadline.hasExpired())
            QTest::qWait(10);
        return run.hasEnded();
    }

private Q_SLOTS:
    // Two books of 4 and 3 contacts, packets of 2: a pause after every second
    // contact of a book but never after its last one, and a packet never
    // spans two books. Exclusions and empty addresses are passed over; every
    // message is personalised; each segment is recorded.
    // A line break in a contact's values cannot add a line to the run's log:
    // it is written as a visible escape.
    void logLinesCannotBeForged()
    {
        DataFolder data;
        data.makeBook(QStringLiteral("A"), {"Evil\r\nSent: forged|Anne|anne@x.org"});
        SmtpPeer peer;
        QTemporaryDir mail;
        QVERIFY(peer.start(mail.filePath(QStringLiteral("md"))));
        data.writeSettings(peer.port);
        message::MessageDocument doc;
        fill(doc, {QStringLiteral("A")});
        ScriptedQuestions ask;
        SendingRun run(data.store(), doc, ask);
        QStringList log;
        connect(&run, &SendingRun::logged, [&](const QString &l) { log << l; });
        QVERIFY(run.sendNew());
        QVERIFY(runToEnd(run));
        QVERIFY2(log.contains(sentLine() + "Evil\\r\\nSent: forged Anne anne@x.org"), qPrintable(log.join(u'|')));
        for (const QString &line : std::as_const(log))
            QVERIFY2(!line.contains(u'\r') && !line.contains(u'\n'), qPrintable(line));
    }

    void twoBooksWithPacketsAndPause()
    {
        DataFolder data;
        data.makeBook(QStringLiteral("A"), {"Martin|Anne|anne@x.org", "Abel|Bob|bob@x.org", "Nemo|Sans|", "Cole|Cid|cid@x.org"});
        data.makeBook(QStringLiteral("B"), {"Dupont|Jean|jean@x.org", "Roux|Eva|eva@x.org", "Out|Ex|out@x.org"});
        data.makeBook(QStringLiteral("Stop"), {"Out|Ex|out@x.org", "Blank|Nob|"});
        SmtpPeer peer;
        QTemporaryDir mail;
        QVERIFY(peer.start(mail.filePath(QStringLiteral("md"))));
        data.writeSettings(peer.port, true, 2);

        message::MessageDocument doc;
        fill(doc, {QStringLiteral("A"), QStringLiteral("B")}, {QStringLiteral("Stop")});
        ScriptedQuestions ask;
        SendingRun run(data.store(), doc, ask);
        run.setPauseOverride(300);
        QStringList log;
        connect(&run, &SendingRun::logged, [&](const QString &l) { log << l; });
        QSignalSpy pauses(&run, &SendingRun::pauseStarted);
        QVERIFY(run.sendNew());
        QVERIFY(runToEnd(run));

        QCOMPARE(pauses.count(), 2);
        const QStringList expected{
            "Directory : A",
            sentLine() + "Abel Bob bob@x.org",
            sentLine() + "Cole Cid cid@x.org",
            "Directory : A",
            sentLine() + "Martin Anne anne@x.org",
            // Nemo has no address, but the exclusion book holds an empty one.
            "E-mail address contained in the excluded directory",
            "Directory : B",
            sentLine() + "Dupont Jean jean@x.org",
            // An excluded contact takes its place in the packet.
            "E-mail address contained in the excluded directoryout@x.org",
            "Directory : B",
            sentLine() + "Roux Eva eva@x.org",
            "Sent: 5, refused: 0, excluded: 2, without an address: 0, invalid addresses: 0",
        };
        QCOMPARE(log, expected);
        QCOMPARE(peer.recipients(), (QStringList{"anne@x.org", "bob@x.org", "cid@x.org", "eva@x.org", "jean@x.org"}));
        for (const Received &r : peer.received()) {
            QVERIFY2(!r.subject.contains(u'&') && r.subject.startsWith(QLatin1String("News for ")), qPrintable(r.subject));
            QVERIFY(r.body.startsWith(QStringLiteral("Dear ") + r.subject.mid(9) + u','));
        }
        QCOMPARE(historyRows(), 3);
        QVERIFY(QFile::exists(stoppedPath(QStringLiteral("tempo"))));
        QVERIFY(sending::RunJournal::findLeft().isEmpty());
        QVERIFY(!QFile::exists(sending::refusedFilePath()));
        // The resumed segment cleared the message when it ended.
        QVERIFY(doc.destinationBooks().isEmpty());
    }

    // "Stop and save" after B's third contact: the interrupted send resumes at
    // B's fourth contact and lists A and B; resuming sends each remaining
    // contact once, and a run resumed to its end leaves the stopped runs.
    void stopAndResume()
    {
        DataFolder data;
        data.makeBook(QStringLiteral("A"), {"Aa|1|a1@x.org", "Ab|2|a2@x.org"});
        const QStringList b = data.makeBook(QStringLiteral("B"), {"Ba|1|b1@x.org", "Bb|2|b2@x.org", "Bc|3|b3@x.org", "Bd|4|b4@x.org", "Be|5|b5@x.org"});
        SmtpPeer peer;
        QTemporaryDir mail;
        QVERIFY(peer.start(mail.filePath(QStringLiteral("md"))));
        data.writeSettings(peer.port);

        message::MessageDocument doc;
        fill(doc, {QStringLiteral("A"), QStringLiteral("B")});
        ScriptedQuestions ask;
        ask.names = {QStringLiteral("later")};
        SendingRun run(data.store(), doc, ask);
        int sent = 0;
        connect(&run, &SendingRun::logged, [&](const QString &l) {
            if (l.startsWith(sentLine()) && ++sent == 5)
                run.stopAndSave();
        });
        QVERIFY(run.sendNew());
        QVERIFY(runToEnd(run));
        QCOMPARE(run.savedName(), QStringLiteral("later"));
        QCOMPARE(historyRows(), 0);

        message::MessageDocument saved;
        QCOMPARE(message::readArchive(stoppedPath(QStringLiteral("later")), saved), message::ArchiveReadStatus::Ok);
        QCOMPARE(saved.resumeBook(), QStringLiteral("B"));
        QCOMPARE(saved.resumeKey(), b[3]);
        QCOMPARE(saved.destinationBooks(), (QStringList{"A", "B"}));

        message::MessageDocument doc2;
        SendingRun again(data.store(), doc2, ask);
        QVERIFY(again.resumeFrom(stoppedPath(QStringLiteral("later"))));
        QVERIFY(runToEnd(again));
        QCOMPARE(again.counts().sent, 2);
        QVERIFY(!QFile::exists(stoppedPath(QStringLiteral("later"))));
        QVERIFY(!QFile::exists(stoppedFolder() + QStringLiteral("later.answered")));
        QCOMPARE(peer.recipients(), (QStringList{"a1@x.org", "a2@x.org", "b1@x.org", "b2@x.org", "b3@x.org",
                                                 "b4@x.org", "b5@x.org"}));
        QCOMPARE(historyRows(), 1);
    }

    // Stopping during a book's last contact stores "END": resuming passes over
    // that book and goes on with the next. An existing name is replaced only
    // when the user agrees.
    void stopOnLastContactStoresEnd()
    {
        DataFolder data;
        data.makeBook(QStringLiteral("A"), {"Aa|1|a1@x.org", "Ab|2|a2@x.org"});
        data.makeBook(QStringLiteral("B"), {"Ba|1|b1@x.org"});
        SmtpPeer peer;
        QTemporaryDir mail;
        QVERIFY(peer.start(mail.filePath(QStringLiteral("md"))));
        data.writeSettings(peer.port);
        QVERIFY(makeFolder(stoppedFolder()));
        QFile old(stoppedPath(QStringLiteral("taken")));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
        old.close();

        message::MessageDocument doc;
        fill(doc, {QStringLiteral("A"), QStringLiteral("B")});
        ScriptedQuestions ask;
        ask.names = {QStringLiteral("taken"), QStringLiteral("fresh")};
        SendingRun run(data.store(), doc, ask);
        int sent = 0;
        connect(&run, &SendingRun::logged, [&](const QString &l) {
            if (l.startsWith(sentLine()) && ++sent == 2)
                run.stopAndSave();
        });
        QVERIFY(run.sendNew());
        QVERIFY(runToEnd(run));
        QCOMPARE(ask.replaceQuestions, 1);
        QCOMPARE(run.savedName(), QStringLiteral("fresh"));
        QFile kept(stoppedPath(QStringLiteral("taken")));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("old"));

        message::MessageDocument saved;
        QCOMPARE(message::readArchive(stoppedPath(QStringLiteral("fresh")), saved), message::ArchiveReadStatus::Ok);
        QCOMPARE(saved.resumeBook(), QStringLiteral("A"));
        QCOMPARE(saved.resumeKey(), QStringLiteral("END"));

        message::MessageDocument doc2;
        SendingRun again(data.store(), doc2, ask);
        QVERIFY(again.resumeFrom(stoppedPath(QStringLiteral("fresh"))));
        QVERIFY(runToEnd(again));
        QCOMPARE(peer.recipients(), (QStringList{"a1@x.org", "a2@x.org", "b1@x.org"}));
    }

    // The book changed between the stop and the resume: the contact the run
    // would have gone on with was deleted, one not yet sent was renamed to
    // sort first, one already sent was renamed to sort last, and one was
    // added. Everyone still in the book gets the message once; the deleted
    // contact does not.
    void resumeAfterTheBookChanged()
    {
        DataFolder data;
        const QStringList ids = data.makeBook(QStringLiteral("A"), {"Ab|1|a1@x.org", "Ac|2|a2@x.org", "Ad|3|a3@x.org",
                                                                    "Ae|4|a4@x.org", "Af|5|a5@x.org", "Ag|6|a6@x.org"});
        SmtpPeer peer;
        QTemporaryDir mail;
        QVERIFY(peer.start(mail.filePath(QStringLiteral("md"))));
        data.writeSettings(peer.port);
        message::MessageDocument doc;
        fill(doc, {QStringLiteral("A")});
        ScriptedQuestions ask;
        ask.names = {QStringLiteral("later")};
        SendingRun run(data.store(), doc, ask);
        int sent = 0;
        connect(&run, &SendingRun::logged, [&](const QString &l) {
            if (l.startsWith(sentLine()) && ++sent == 3)
                run.stopAndSave();
        });
        QVERIFY(run.sendNew());
        QVERIFY(runToEnd(run));
        QCOMPARE(run.state(), SendingRun::State::Saved);
        QCOMPARE(run.resumeKey(), ids[3]);

        auto rename = [&](int i, const QString &nom) {
            ContactRecord c = emptyContact();
            data.store().contacts().readContact(ids[i].toLongLong(), QStringLiteral("A"), c);
            c[F_nom].value = nom;
            QVERIFY(data.store().contacts().saveContact(c, QStringLiteral("A")));
        };
        data.store().contacts().deleteContacts(QStringLiteral("A"), {ids[3].toLongLong()});
        rename(4, QStringLiteral("Aa"));
        rename(1, QStringLiteral("Zz"));
        data.makeBook(QStringLiteral("A"), {"Aaa|7|new@x.org"});

        message::MessageDocument doc2;
        SendingRun again(data.store(), doc2, ask);
        QVERIFY(again.resumeFrom(stoppedPath(QStringLiteral("later"))));
        QVERIFY(runToEnd(again));
        QCOMPARE(again.state(), SendingRun::State::Finished);
        QCOMPARE(peer.recipients(), (QStringList{"a1@x.org", "a2@x.org", "a3@x.org", "a5@x.org", "a6@x.org", "new@x.org"}));
    }

    // Faults that a run could hide from a test of its parts: packets count
    // per book (books of 3 and 2, packets of 2: one pause, not two); the
    // pause is in minutes; a 4xx is tried once more, then listed as refused;
    // a cancelled run keeps its history record.
    void packetsRestartWithEveryBook()
    {
        DataFolder data;
        data.makeBook(QStringLiteral("A"), {"Aa|1|a1@x.org", "Ab|2|a2@x.org", "Ac|3|a3@x.org"});
        data.makeBook(QStringLiteral("B"), {"Ba|1|b1@x.org", "Bb|2|b2@x.org"});
        SmtpPeer peer;
        QTemporaryDir mail;
        QVERIFY(peer.start(mail.filePath(QStringLiteral("md"))));
        data.writeSettings(peer.port, true, 2);
        message::MessageDocument doc;
        fill(doc, {QStringLiteral("A"), QStringLiteral("B")});
        ScriptedQuestions ask;
        SendingRun run(data.store(), doc, ask);
        run.setPauseOverride(50);
        QSignalSpy pauses(&run, &SendingRun::pauseStarted);
        QVERIFY(run.sendNew());
        QVERIFY(runToEnd(run));
        QCOMPARE(pauses.count(), 1);
        QCOMPARE(peer.recipients().size(), 5);
    }

    void pauseIsInMinutes()
    {
        DataFolder data;
        data.makeBook(QStringLiteral("A"), {"Aa|1|a1@x.org", "Ab|2|a2@x.org"});
        SmtpPeer peer;
        QTemporaryDir mail;
        QVERIFY(peer.start(mail.filePath(QStringLiteral("md"))));
        data.writeSettings(peer.port, true, 1); // tempo_paquet=1
        message::MessageDocument doc;
        fill(doc, {QStringLiteral("A")});
        ScriptedQuestions ask;
        SendingRun run(data.store(), doc, ask);
        QSignalSpy pauses(&run, &SendingRun::pauseStarted);
        QVERIFY(run.sendNew());
        QTRY_COMPARE_WITH_TIMEOUT(pauses.count(), 1, 30000);
        QCOMPARE(pauses.first().first().toInt(), 60000);
        QVERIFY(run.pauseArmed());
        run.cancel();
        QCOMPARE(run.state(), SendingRun::State::Finished);
        QCOMPARE(peer.recipients(), QStringList{"a1@x.org"});
    }

    // Each refusal at its level, against a peer that stages it; counted at
    // the peer. A recipient refused for good is listed and the run goes on;
    // "not now" (a 4xx, a dropped connection) is tried once more over a new
    // connection; the sender refused, or put off twice, stops the run at that
    // contact, says why, and resuming there sends everyone left exactly once.
    void refusalLevels_data()
    {
        QTest::addColumn<QStringList>("contacts");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("received");
        QTest::addColumn<QStringList>("rcpts");   // every RCPT the peer saw, sorted
        QTest::addColumn<QStringList>("refused"); // the addresses listed as refused
        QTest::addColumn<int>("stoppedAt");       // the contact the run stopped at, -1: it finished
        QTest::addColumn<QString>("said");        // what the user is told
        const QStringList three{"Aa|1|a1@x.org", "Ab|2|a2@x.org", "Ac|3|a3@x.org"};
        const QStringList twoInOne{"Aa|1|a1@x.org", "Ab|2|a2@x.org, nobody@x.org", "Ac|3|a3@x.org"};
        const QStringList all{"a1@x.org", "a2@x.org", "a3@x.org"};
        const QStringList retriedA2{"a1@x.org", "a2@x.org", "a2@x.org", "a3@x.org"};
        const QString senderRefused = texts::text(SenderRefused).arg(QStringLiteral("550 5.7.1 Sender address rejected"));
        const QString senderLater = texts::text(ServerDeferred)
                                        .arg(QStringLiteral("MAIL FROM"), QStringLiteral("451 4.3.0 Sender check failed, try again later"),
                                             QStringLiteral("a1@x.org"));
        const QString busy = texts::text(ServerDeferred)
                                 .arg(QStringLiteral("RCPT TO"), QStringLiteral("450 4.2.1 Mailbox busy, try again later"),
                                      QStringLiteral("a2@x.org"));
        for (const bool pipelining : {false, true}) {
            const QStringList p = pipelining ? QStringList{"pipelining=1"} : QStringList{};
            const char *how = pipelining ? ", pipelined" : "";
            QTest::addRow("sender refused (MAIL FROM 550)%s", how)
                << three << p + QStringList{"sender=550"} << QStringList{} << QStringList{} << QStringList{} << 0 << senderRefused;
            QTest::addRow("recipient put off twice (RCPT 450)%s", how)
                << three << p + QStringList{"later=a2@x.org"} << QStringList{"a1@x.org"}
                << QStringList{"a1@x.org", "a2@x.org", "a2@x.org"} << QStringList{} << 1 << busy;
            QTest::addRow("two addresses, one refused (RCPT 550)%s", how)
                << twoInOne << p + QStringList{"refuse=nobody@x.org"} << all
                << QStringList{"a1@x.org", "a2@x.org", "a3@x.org", "nobody@x.org"} << QStringList{"nobody@x.org"} << -1 << QString();
        }
        QTest::newRow("sender put off twice (MAIL FROM 451)")
            << three << QStringList{"sender=451"} << QStringList{} << QStringList{} << QStringList{} << 0 << senderLater;
        QTest::newRow("recipient put off once (RCPT 450)")
            << three << QStringList{"later_once=a2@x.org"} << all << retriedA2 << QStringList{} << -1 << QString();
        QTest::newRow("server closing (RCPT 421), then back")
            << three << QStringList{"closing=a2@x.org"} << all << retriedA2 << QStringList{} << -1 << QString();
        // The answer to a2's text was to come with a3's commands.
        QTest::newRow("connection dropped once, pipelined")
            << three << QStringList{"pipelining=1", "drop=2"} << all << retriedA2 << QStringList{} << -1 << QString();
    }

    void refusalLevels()
    {
        QFETCH(QStringList, contacts);
        QFETCH(QStringList, options);
        QFETCH(QStringList, received);
        QFETCH(QStringList, rcpts);
        QFETCH(QStringList, refused);
        QFETCH(int, stoppedAt);
        QFETCH(QString, said);

        DataFolder data;
        const QStringList ids = data.makeBook(QStringLiteral("A"), contacts);
        SmtpPeer peer;
        QTemporaryDir mail;
        const QString md = mail.filePath(QStringLiteral("md"));
        QVERIFY(peer.start(md, options));
        data.writeSettings(peer.port);
        message::MessageDocument doc;
        fill(doc, {QStringLiteral("A")});
        ScriptedQuestions ask;
        ask.names = {QStringLiteral("stopped")};
        SendingRun run(data.store(), doc, ask);
        QStringList log;
        connect(&run, &SendingRun::logged, [&](const QString &l) { log << l; });
        QVERIFY(run.sendNew());
        QVERIFY(runToEnd(run));

        QCOMPARE(peer.recipients(), received);
        QFile rcptLog(md + QStringLiteral(".rcpt"));
        QStringList seen;
        if (rcptLog.open(QIODevice::ReadOnly))
            seen = QString::fromUtf8(rcptLog.readAll()).split(u'\n', Qt::SkipEmptyParts);
        seen.sort();
        QCOMPARE(seen, rcpts);
        QStringList listed;
        for (const sending::RefusedRecipient &r : run.refusedRecipients()) {
            listed << r.address;
            QVERIFY2(!log.filter(texts::text(LogRefused)).filter(r.address + QStringLiteral(" (")).isEmpty(), qPrintable(r.address));
        }
        QCOMPARE(listed, refused);
        QCOMPARE(ask.informed, said.isEmpty() ? QStringList{} : QStringList{said});
        QCOMPARE(log.filter(sentLine()).size(), received.size());
        if (stoppedAt < 0) {
            QCOMPARE(run.state(), SendingRun::State::Finished);
            return;
        }
        QCOMPARE(run.state(), SendingRun::State::Failed);
        QVERIFY(log.contains(said));
        message::MessageDocument saved;
        QCOMPARE(message::readArchive(stoppedPath(QStringLiteral("stopped")), saved), message::ArchiveReadStatus::Ok);
        QCOMPARE(saved.resumeKey(), ids[stoppedAt]);

        // The server takes everything again: the contacts left, each once.
        SmtpPeer back;
        QTemporaryDir mail2;
        QVERIFY(back.start(mail2.filePath(QStringLiteral("md"))));
        data.writeSettings(back.port);
        message::MessageDocument doc2;
        SendingRun again(data.store(), doc2, ask);
        QVERIFY(again.resumeFrom(stoppedPath(QStringLiteral("stopped"))));
        QVERIFY(runToEnd(again));
        QCOMPARE(again.state(), SendingRun::State::Finished);
        QStringList rest;
        for (const QString &c : std::as_const(contacts)) {
            if (const QString a = c.section(u'|', 2); !received.contains(a))
                rest << a;
        }
        QCOMPARE(back.recipients(), rest);
    }

    void cancelledRunKeepsItsHistory()
    {
        DataFolder data;
        data.makeBook(QStringLiteral("A"), {"Aa|1|a1@x.org", "Ab|2|a2@x.org", "Ac|3|a3@x.org"});
        SmtpPeer peer;
        QTemporaryDir mail;
        QVERIFY(peer.start(mail.filePath(QStringLiteral("md"))));
        data.writeSettings(peer.port);
        message::MessageDocument doc;
        fill(doc, {QStringLiteral("A")});
        ScriptedQuestions ask;
        SendingRun run(data.store(), doc, ask);
        connect(&run, &SendingRun::logged, [&](const QString &l) {
            if (l.startsWith(sentLine()))
                run.cancel();
        });
        QVERIFY(run.sendNew());
        QVERIFY(runToEnd(run));
        QCOMPARE(run.state(), SendingRun::State::Finished);
        QCOMPARE(historyRows(), 1);
        QCOMPARE(peer.recipients(), QStringList{"a1@x.org"});
        QVERIFY(sending::RunJournal::findLeft().isEmpty());
        QVERIFY(!QFile::exists(stoppedFolder()) || QDir(stoppedFolder()).entryList({QStringLiteral("*.MNS")}).isEmpty());
    }

    // A stopped run that cannot be written says where and why; nothing
    // claims it was saved.
    void unwritableStoppedFolderIsSaid()
    {
        DataFolder data;
        data.makeBook(QStringLiteral("A"), {"Aa|1|a1@x.org", "Ab|2|a2@x.org"});
        SmtpPeer peer;
        QTemporaryDir mail;
        QVERIFY(peer.start(mail.filePath(QStringLiteral("md"))));
        data.writeSettings(peer.port);
        QDir().rmdir(stoppedFolder());
        QFile blocker(stoppedFolder().chopped(1)); // a file where the folder should be
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        message::MessageDocument doc;
        fill(doc, {QStringLiteral("A")});
        ScriptedQuestions ask;
        SendingRun run(data.store(), doc, ask);
        connect(&run, &SendingRun::logged, [&](const QString &l) {
            if (l.startsWith(sentLine()))
                run.stopAndSave();
        });
        QVERIFY(run.sendNew());
        QVERIFY(runToEnd(run));
        QCOMPARE(run.state(), SendingRun::State::Failed);
        QVERIFY(run.savedName().isEmpty());
        const QString said = QStringLiteral("cannot save the stopped run in %1: ").arg(QDir::toNativeSeparators(stoppedFolder()));
        QVERIFY2(!ask.informed.filter(said).isEmpty(), qPrintable(ask.informed.join(u'|')));
    }

    // A book, or the list of excluded addresses, that cannot be read when the
    // run reaches it: the run stops as on a lost connection, says what and
    // why, keeps its place (nobody excluded is mailed meanwhile), and resumes
    // once the file is back.
    void unreadableFileStopsTheRun_data()
    {
        QTest::addColumn<QString>("file"); // a table of the books folder
        QTest::addColumn<QString>("said");
        QTest::newRow("a book") << "an_B" << "Directory : B: ";
        QTest::newRow("the black list") << "listenoire"
                                        << texts::text(ExclusionsUnreadable).section(QStringLiteral("%1"), 0, 0);
    }

    void unreadableFileStopsTheRun()
    {
        QFETCH(QString, file);
        QFETCH(QString, said);
        DataFolder data;
        data.makeBook(QStringLiteral("A"), {"Aa|1|a1@x.org", "Ab|2|a2@x.org"});
        data.makeBook(QStringLiteral("B"), {"Ba|1|b1@x.org", "Bb|2|b2@x.org", "Out|3|out@x.org"});
        data.makeBook(QStringLiteral("Stop"), {"Out|Ex|out@x.org"});
        SmtpPeer peer;
        QTemporaryDir mail;
        QVERIFY(peer.start(mail.filePath(QStringLiteral("md"))));
        data.writeSettings(peer.port);
        // The black list is made when the run starts: its file is read, and
        // spoilt, in mid-run.
        const QString path = data.store().files().filePath(file + QStringLiteral(".db"));
        QByteArray good;
        auto overwrite = [&](const QByteArray &bytes) {
            QFile f(path);
            if (good.isEmpty() && f.open(QIODevice::ReadOnly)) {
                good = f.readAll();
                f.close();
            }
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(bytes);
        };

        message::MessageDocument doc;
        fill(doc, {QStringLiteral("A"), QStringLiteral("B")}, {QStringLiteral("Stop")});
        ScriptedQuestions ask;
        ask.names = {QStringLiteral("broken")};
        SendingRun run(data.store(), doc, ask);
        connect(&run, &SendingRun::logged, [&](const QString &l) {
            if (l.startsWith(sentLine()) && l.endsWith(QLatin1String("a2@x.org")))
                overwrite(QByteArray(4096, 'x'));
        });
        QVERIFY(run.sendNew());
        QVERIFY(runToEnd(run));
        QCOMPARE(run.state(), SendingRun::State::Failed);
        QVERIFY(run.hadTransmissionError());
        QCOMPARE(run.savedName(), QStringLiteral("broken"));
        QCOMPARE(ask.informed.size(), 1);
        QVERIFY2(ask.informed.first().contains(said), qPrintable(ask.informed.first()));
        QCOMPARE(peer.recipients(), (QStringList{"a1@x.org", "a2@x.org"}));

        overwrite(good);
        message::MessageDocument doc2;
        SendingRun again(data.store(), doc2, ask);
        QVERIFY(again.resumeFrom(stoppedPath(QStringLiteral("broken"))));
        QVERIFY(runToEnd(again));
        QCOMPARE(again.state(), SendingRun::State::Finished);
        QCOMPARE(peer.recipients(), (QStringList{"a1@x.org", "a2@x.org", "b1@x.org", "b2@x.org"}));
    }

    // A resume book that has gone: logged as missing, and its key does not make
    // the next book be passed over. A key not in its book passes the book over.
    void resumeWithMissingBookOrKey_data()
    {
        QTest::addColumn<QString>("resumeBook");
        QTest::addColumn<QString>("resumeKey");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("resume book gone") << "Gone" << "2" << QStringList{"a1@x.org", "b1@x.org", "b2@x.org"};
        QTest::newRow("key not in book") << "A" << "999" << QStringList{"b1@x.org", "b2@x.org"};
        QTest::newRow("resume book not listed") << "Elsewhere" << "1" << QStringList{};
    }
    void resumeWithMissingBookOrKey()
    {
        QFETCH(QString, resumeBook);
        QFETCH(QString, resumeKey);
        QFETCH(QStringList, expected);
        DataFolder data;
        data.makeBook(QStringLiteral("A"), {"Aa|1|a1@x.org"});
        data.makeBook(QStringLiteral("B"), {"Ba|1|b1@x.org", "Bb|2|b2@x.org"});
        SmtpPeer peer;
        QTemporaryDir mail;
        QVERIFY(peer.start(mail.filePath(QStringLiteral("md"))));
        data.writeSettings(peer.port);
        message::MessageDocument doc;
        fill(doc, {"Gone", "A", "B"});
        // An archive without answered ids beside it resumes by its key.
        QVERIFY(makeFolder(stoppedFolder()));
        QVERIFY(message::writeArchive(doc, stoppedFolder() + QStringLiteral("old"), message::ArchiveKind::InterruptedSend,
                                      resumeKey, resumeBook));
        ScriptedQuestions ask;
        SendingRun run(data.store(), doc, ask);
        QStringList log;
        connect(&run, &SendingRun::logged, [&](const QString &l) { log << l; });
        QVERIFY(run.resumeFrom(stoppedPath(QStringLiteral("old"))));
        QVERIFY(runToEnd(run));
        QCOMPARE(peer.recipients(), expected);
        if (resumeBook == QLatin1String("Gone"))
            QCOMPARE(log.first(), QStringLiteral("Directory : GoneDo not exist"));
    }

    // The new-run checks: no subject, no settings, missing books, no books.
    void newRunChecks()
    {
        DataFolder data;
        data.makeBook(QStringLiteral("A"), {"Aa|1|a1@x.org"});
        message::MessageDocument doc;
        ScriptedQuestions ask;
        SendingRun run(data.store(), doc, ask);

        fill(doc, {QStringLiteral("A")});
        QVERIFY(!run.sendNew()); // no config.ini
        QCOMPARE(ask.informed.takeLast(), texts::text(texts::SettingsMissing));
        // A file never saved from the window (no "available") refuses too.
        QFile f(settings::settingsPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Newsletter]\r\nboite=a@b\r\n");
        f.close();
        QVERIFY(!run.sendNew());
        QCOMPARE(ask.informed.takeLast(), texts::text(texts::SettingsMissing));

        const ClosedPort nobody;
        data.writeSettings(nobody.port);
        doc.setSubject(QString());
        QVERIFY(!run.sendNew());
        QVERIFY(ask.informed.isEmpty());

        fill(doc, {QStringLiteral("A"), QStringLiteral("Gone"), QStringLiteral("Lost")});
        ask.removeMissing = true;
        QVERIFY(!run.sendNew());
        QCOMPARE(ask.missingAsked, (QStringList{"Gone", "Lost"}));
        QCOMPARE(doc.destinationBooks(), QStringList{"A"});

        fill(doc, {});
        QVERIFY(!run.sendNew());
        QCOMPARE(ask.informed.takeLast(), texts::text(texts::NoDestinationBooks));
        QCOMPARE(run.state(), SendingRun::State::Idle);
    }

    // No server: the connection message, nothing sent, a history record.
    void connectionFailure()
    {
        DataFolder data;
        data.makeBook(QStringLiteral("A"), {"Aa|1|a1@x.org"});
        const ClosedPort nobody;
        data.writeSettings(nobody.port);
        message::MessageDocument doc;
        fill(doc, {QStringLiteral("A")});
        ScriptedQuestions ask;
        SendingRun run(data.store(), doc, ask);
        QSignalSpy ended(&run, &SendingRun::segmentEnded);
        QVERIFY(run.sendNew());
        QVERIFY(runToEnd(run));
        QCOMPARE(ended.first().first().value<SendingRun::End>(), SendingRun::End::ConnectionFailed);
        QCOMPARE(ask.informed, QStringList{texts::text(texts::CheckConnection)});
        QCOMPARE(historyRows(), 1);
    }

    // A refused recipient is logged as refused with the server's reply,
    // counted, listed at the end and kept beside the history; the next contact
    // goes over a new connection. Addresses the client cannot use are one
    // contact's problem.
    void refusalsAndBadAddresses()
    {
        DataFolder data;
        data.makeBook(QStringLiteral("A"), {"Aa|1|a1@x.org", "Ab|2|nobody@x.org", "Ac|3|,,,", "Ad|4|a4@x.org\r\nRCPT TO:<evil@x.org>", "Ae|5|a5@x.org",
                                            "Af|6|a6@x.org, nobody@x.org"});
        SmtpPeer peer;
        QTemporaryDir mail;
        QVERIFY(peer.start(mail.filePath(QStringLiteral("md")), {"refuse=nobody@x.org"}));
        data.writeSettings(peer.port);
        message::MessageDocument doc;
        fill(doc, {QStringLiteral("A")});
        ScriptedQuestions ask;
        SendingRun run(data.store(), doc, ask);
        QStringList log;
        connect(&run, &SendingRun::logged, [&](const QString &l) { log << l; });
        QVERIFY(run.sendNew());
        QVERIFY(runToEnd(run));

        const QStringList got = peer.recipients();
        QCOMPARE(got.size(), 3);
        QCOMPARE(got.mid(0, 2), (QStringList{"a1@x.org", "a5@x.org"}));
        QVERIFY2(got.last().startsWith(QLatin1String("a6@x.org")), qPrintable(got.last()));
        // A field of two addresses, one refused: sent, and listed as refused for that address.
        QCOMPARE(run.counts(), (sending::RunCounts{3, 2, 2, 0, 0}));
        QVERIFY(log.contains(QStringLiteral("Message refused for Ab 2 nobody@x.org (550 5.1.1 No such user here)")));
        QVERIFY(log.contains(QStringLiteral("Message refused for Af 6 nobody@x.org (550 5.1.1 No such user here)")));
        QCOMPARE(log.filter(QStringLiteral("Invalid e-mail address for the contact ")).size(), 2);
        QVERIFY(log.contains(QStringLiteral("Refused recipients:")));
        QFile kept(sending::refusedFilePath());
        QVERIFY(kept.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = kept.readAll().split('\n');
        QCOMPARE(lines.value(1).split('\t').mid(1), (QList<QByteArray>{"1", "", "A", "2", "Ab", "2", "nobody@x.org", "550", "5.1.1 No such user here"}));
        QCOMPARE(lines.size(), 6); // heading, four refusals, final line end
    }

    // A server that drops the connection under a message: one new connection,
    // the message sent again, nobody lost.
    void droppedConnection()
    {
        DataFolder data;
        data.makeBook(QStringLiteral("A"), {"Aa|1|a1@x.org", "Ab|2|a2@x.org", "Ac|3|a3@x.org"});
        SmtpPeer peer;
        QTemporaryDir mail;
        QVERIFY(peer.start(mail.filePath(QStringLiteral("md")), {"drop=2"}));
        data.writeSettings(peer.port);
        message::MessageDocument doc;
        fill(doc, {QStringLiteral("A")});
        ScriptedQuestions ask;
        SendingRun run(data.store(), doc, ask);
        QVERIFY(run.sendNew());
        QVERIFY(runToEnd(run));
        QCOMPARE(peer.recipients(), (QStringList{"a1@x.org", "a2@x.org", "a3@x.org"}));
        QCOMPARE(run.counts().sent, 3);
    }

    // The server goes away in mid-run: a transmission error stops the run and
    // saves it at the contact that failed, so resuming sends it.
    void serverGoneKeepsTheFailedContact()
    {
        DataFolder data;
        const QStringList ids = data.makeBook(QStringLiteral("A"), {"Aa|1|a1@x.org", "Ab|2|a2@x.org", "Ac|3|a3@x.org", "Ad|4|a4@x.org"});
        QTemporaryDir mail;
        const QString maildir = mail.filePath(QStringLiteral("md"));
        auto peer = std::make_unique<SmtpPeer>();
        QVERIFY(peer->start(maildir));
        const quint16 port = peer->port;
        data.writeSettings(port);
        message::MessageDocument doc;
        fill(doc, {QStringLiteral("A")});
        ScriptedQuestions ask;
        ask.names = {QStringLiteral("broken")};
        SendingRun run(data.store(), doc, ask);
        QStringList log;
        connect(&run, &SendingRun::logged, [&](const QString &l) {
            log << l;
            if (l.startsWith(sentLine()) && log.filter(sentLine()).size() == 2)
                peer->stop();
        });
        QVERIFY(run.sendNew());
        QVERIFY(runToEnd(run));
        QVERIFY(run.hadTransmissionError());
        QCOMPARE(run.savedName(), QStringLiteral("broken"));
        QVERIFY(log.filter(QStringLiteral("transmission error while sending")).size() == 1);
        QCOMPARE(ask.informed, QStringList{texts::text(texts::CheckConnection)});
        message::MessageDocument saved;
        QCOMPARE(message::readArchive(stoppedPath(QStringLiteral("broken")), saved), message::ArchiveReadStatus::Ok);
        QCOMPARE(saved.resumeKey(), ids[2]);

        SmtpPeer back;
        QVERIFY(back.start(maildir, {}, port));
        message::MessageDocument doc2;
        SendingRun again(data.store(), doc2, ask);
        QVERIFY(again.resumeFrom(stoppedPath(QStringLiteral("broken"))));
        QVERIFY(runToEnd(again));
        QCOMPARE(back.recipients(), (QStringList{"a1@x.org", "a2@x.org", "a3@x.org", "a4@x.org"}));
    }

    // The run pipelines of its own accord where the server offers it, with
    // neither security nor a login. A message's answer then comes with the
    // next message's replies, or when its book ends: a message refused at
    // the end of its text is logged, counted, listed and kept as refused,
    // never as sent, and the others are sent.
    void pipelinedRunTakesLateRefusals()
    {
        DataFolder data;
        data.makeBook(QStringLiteral("A"), {"Aa|1|a1@x.org", "Ab|2|a2@x.org", "Ac|3|a3@x.org"});
        data.makeBook(QStringLiteral("B"), {"Ba|1|b1@x.org", "Bb|2|b2@x.org"});
        SmtpPeer peer;
        QTemporaryDir mail;
        QVERIFY(peer.start(mail.filePath(QStringLiteral("md")), {"pipelining=1", "refuse_data=a2@x.org,a3@x.org,b2@x.org"}));
        data.writeSettings(peer.port);
        message::MessageDocument doc;
        fill(doc, {QStringLiteral("A"), QStringLiteral("B")});
        ScriptedQuestions ask;
        SendingRun run(data.store(), doc, ask);
        QStringList log;
        connect(&run, &SendingRun::logged, [&](const QString &l) { log << l; });
        QVERIFY(run.sendNew());
        QVERIFY(runToEnd(run));

        QVERIFY(static_cast<sending::SmtpSender &>(run.sender()).client().pipelines());
        QCOMPARE(peer.recipients(), (QStringList{"a1@x.org", "b1@x.org"}));
        QCOMPARE(run.counts(), (sending::RunCounts{2, 3, 0, 0, 0}));
        // a3 and b2, each the last of its book, are answered before the book
        // ends; a2 with a3's commands.
        for (const char *who : {"Ab 2 a2@x.org", "Ac 3 a3@x.org", "Bb 2 b2@x.org"}) {
            QVERIFY2(log.contains(QStringLiteral("Message refused for %1 (554 5.7.1 Message refused)").arg(QLatin1String(who))), who);
            QVERIFY2(log.filter(sentLine()).filter(QLatin1String(who)).isEmpty(), who);
        }
        QCOMPARE(log.filter(sentLine()).size(), 2);
        QFile kept(sending::refusedFilePath());
        QVERIFY(kept.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = kept.readAll().split('\n');
        QCOMPARE(lines.size(), 5); // heading, three contacts, final line end
        QCOMPARE(lines.value(3).split('\t').mid(3), (QList<QByteArray>{"B", "2", "Bb", "2", "b2@x.org", "554", "5.7.1 Message refused"}));
    }

    // The server drops the connection after a message's text, before its
    // answer, and again when it is sent once more: nobody knows whether it
    // was taken, so it counts as sent nowhere. While its answer was awaited
    // the journal kept its place on it; the run stops there, and resuming
    // sends it and the rest.
    void pipelinedDropKeepsTheUnansweredContact()
    {
        DataFolder data;
        const QStringList ids = data.makeBook(QStringLiteral("A"), {"Aa|1|a1@x.org", "Ab|2|a2@x.org", "Ac|3|a3@x.org", "Ad|4|a4@x.org"});
        SmtpPeer peer;
        QTemporaryDir mail;
        QVERIFY(peer.start(mail.filePath(QStringLiteral("md")), {"pipelining=1", "drop=2,3"}));
        data.writeSettings(peer.port);
        message::MessageDocument doc;
        fill(doc, {QStringLiteral("A")});
        ScriptedQuestions ask;
        ask.names = {QStringLiteral("dropped")};
        SendingRun run(data.store(), doc, ask);
        QStringList log;
        QString journalled;
        connect(&run, &SendingRun::logged, [&](const QString &l) {
            log << l;
            if (l.contains(QStringLiteral("transmission error")))
                journalled = lastJournalKey();
        });
        QVERIFY(run.sendNew());
        QVERIFY(runToEnd(run));

        QVERIFY(run.hadTransmissionError());
        QCOMPARE(journalled, ids[1]);
        QCOMPARE(run.counts().sent, 1);
        QCOMPARE(log.filter(sentLine()).size(), 1);
        QCOMPARE(ask.informed, QStringList{texts::text(texts::CheckConnection)});
        message::MessageDocument saved;
        QCOMPARE(message::readArchive(stoppedPath(QStringLiteral("dropped")), saved), message::ArchiveReadStatus::Ok);
        QCOMPARE(saved.resumeKey(), ids[1]);

        message::MessageDocument doc2;
        SendingRun again(data.store(), doc2, ask);
        QVERIFY(again.resumeFrom(stoppedPath(QStringLiteral("dropped"))));
        QVERIFY(runToEnd(again));
        QCOMPARE(again.counts().sent, 3);
        QCOMPARE(peer.recipients(), (QStringList{"a1@x.org", "a2@x.org", "a3@x.org", "a4@x.org"}));
    }

    // A pipelining server is handed the next message before the answer
    // about the one before comes: a stop then waits for that message's
    // answer, and the run is saved after it. Resuming sends the rest, nobody
    // twice.
    void pipelinedStopSendsEachOnce_data()
    {
        QTest::addColumn<int>("stopAfter");
        QTest::newRow("after the first message") << 1;
        QTest::newRow("in the middle of the book") << 3;
        QTest::newRow("before the book's last message") << 5;
    }
    void pipelinedStopSendsEachOnce()
    {
        QFETCH(int, stopAfter);
        DataFolder data;
        const QStringList everyone{"a1@x.org", "a2@x.org", "a3@x.org", "a4@x.org", "a5@x.org", "a6@x.org"};
        data.makeBook(QStringLiteral("A"), {"Aa|1|a1@x.org", "Ab|2|a2@x.org", "Ac|3|a3@x.org", "Ad|4|a4@x.org",
                                            "Ae|5|a5@x.org", "Af|6|a6@x.org"});
        SmtpPeer peer;
        QTemporaryDir mail;
        QVERIFY(peer.start(mail.filePath(QStringLiteral("md")), {"pipelining=1"}));
        data.writeSettings(peer.port);
        message::MessageDocument doc;
        fill(doc, {QStringLiteral("A")});
        ScriptedQuestions ask;
        ask.names = {QStringLiteral("stopped")};
        SendingRun run(data.store(), doc, ask);
        int sent = 0;
        connect(&run, &SendingRun::logged, [&](const QString &l) {
            if (l.startsWith(sentLine()) && ++sent == stopAfter)
                run.stopAndSave();
        });
        QVERIFY(run.sendNew());
        QVERIFY(runToEnd(run));
        QCOMPARE(run.state(), SendingRun::State::Saved);
        QCOMPARE(peer.recipients(), everyone.mid(0, run.counts().sent));

        message::MessageDocument doc2;
        SendingRun again(data.store(), doc2, ask);
        QVERIFY(again.resumeFrom(stoppedPath(QStringLiteral("stopped"))));
        QVERIFY(runToEnd(again));
        QCOMPARE(run.counts().sent + again.counts().sent, int(everyone.size()));
        QCOMPARE(peer.recipients(), everyone);
    }

    // The ids a run has answered, as it keeps them for the resume: every id
    // once, in order, wherever it lies.
    void answeredIdsKeepEveryId()
    {
        const QList<qint64> ids{0, 1, 63, 64, 65, 127, 128, 100000, 7, sending::IdSet::kDenseLimit - 1,
                                sending::IdSet::kDenseLimit, qint64(1) << 40, -5};
        sending::IdSet set;
        for (qint64 id : ids)
            set.insert(id);
        set.insert(64);
        set.insert(qint64(1) << 40);
        QList<qint64> sorted = ids;
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(set.size(), ids.size());
        QCOMPARE(set.sorted(), sorted);
        for (qint64 id : ids)
            QVERIFY2(set.contains(id), QByteArray::number(id));
        for (qint64 id : {2, 62, 66, 99999, 100001, -1})
            QVERIFY2(!set.contains(id), QByteArray::number(id));
        QVERIFY(sending::IdSet(sorted) == set);
        set.clear();
        QVERIFY(set.isEmpty() && !set.contains(64) && set.sorted().isEmpty());
    }

    // The settings' security, port, login and CA file reach the connection:
    // a submission server with STARTTLS and a login, one with TLS from the
    // first byte; a certificate nobody trusts or a refused login stops the
    // run before any message, with the reason in the log.
    void securedSubmission_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("security");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("certificate");
        QTest::addColumn<QString>("failure");
        const int trusted = TestCertificates::Trusted;
        QTest::newRow("STARTTLS and a login") << "starttls" << "starttls" << "s3cret" << trusted << "";
        QTest::newRow("TLS from the first byte") << "tls" << "tls" << "s3cret" << trusted << "";
        QTest::newRow("certificate of another CA") << "starttls" << "starttls" << "s3cret"
                                                   << int(TestCertificates::OtherCa)
                                                   << "The certificate of 127.0.0.1 was refused";
        QTest::newRow("login refused") << "tls" << "tls" << "wrong" << trusted << "535";
        QTest::newRow("no security on a server that wants a login: no password in clear")
            << "plain" << "" << "s3cret" << trusted << "encrypted";
    }
    void securedSubmission()
    {
        static TestCertificates certs;
        static const bool made = certs.make();
        QVERIFY2(made, qPrintable(certs.error()));
        QFETCH(QString, mode);
        QFETCH(QString, security);
        QFETCH(QString, password);
        QFETCH(int, certificate);
        QFETCH(QString, failure);
        const auto cert = TestCertificates::Server(certificate);

        DataFolder data;
        data.makeBook(QStringLiteral("A"), {"Aa|1|a1@x.org", "Ab|2|a2@x.org"});
        QTemporaryDir mail;
        const QString maildir = mail.filePath(QStringLiteral("md"));
        TlsSmtpd peer;
        QVERIFY(peer.start(mode, certs.certFile(cert), certs.keyFile(cert), maildir, {"--login", "alice:s3cret"}));
        data.writeSettings(peer.port);
        settings::Settings s;
        QVERIFY(settings::loadSettings(s));
        s.useProxy = QStringLiteral("false");
        s.smtpSecurity = security;
        s.smtpServerPort = QString::number(peer.port);
        s.smtpLogin = QStringLiteral("alice");
        s.smtpPassword = password;
        s.caFile = certs.caFile();
        QVERIFY(settings::saveSettings(s, settings::settingsPath()));

        message::MessageDocument doc;
        fill(doc, {QStringLiteral("A")});
        ScriptedQuestions ask;
        SendingRun run(data.store(), doc, ask);
        QStringList log;
        connect(&run, &SendingRun::logged, [&](const QString &l) { log << l; });
        QSignalSpy ended(&run, &SendingRun::segmentEnded);
        QVERIFY(run.sendNew());
        QVERIFY(runToEnd(run));

        const QStringList received = QDir(maildir + QStringLiteral("/new")).entryList(QDir::Files);
        if (!failure.isEmpty()) {
            QCOMPARE(ended.first().first().value<SendingRun::End>(), SendingRun::End::ConnectionFailed);
            QVERIFY2(!log.filter(failure).isEmpty(), qPrintable(log.join(u'\n')));
            QVERIFY(received.isEmpty());
            return;
        }
        QCOMPARE(run.counts().sent, 2);
        QCOMPARE(received.size(), 2);
        for (const QString &name : received) {
            QFile f(maildir + QStringLiteral("/new/") + name);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY(f.readAll().startsWith("X-Login: alice\r\nX-Tls: yes\r\n"));
        }
    }

    // What the large mailbox providers ask of bulk mail, read by Python's
    // email package and dkimpy: each message names its reader's
    // unsubscription by mail and by a one-click web address, has a
    // Message-Id on the sender's domain, a text alternative keeping the
    // link's address, personalised like the HTML, and a signature that
    // verifies.
    void bulkMailHeaders()
    {
        QTemporaryDir keys;
        const QString key = keys.filePath(QStringLiteral("news.pem"));
        const QString pub = keys.filePath(QStringLiteral("news.der"));
        QCOMPARE(QProcess::execute(QStringLiteral("openssl"), {"genpkey", "-algorithm", "RSA", "-pkeyopt",
                                                               "rsa_keygen_bits:2048", "-out", key}),
                 0);
        QCOMPARE(QProcess::execute(QStringLiteral("openssl"), {"pkey", "-in", key, "-pubout", "-outform", "DER",
                                                               "-out", pub}),
                 0);

        DataFolder data;
        data.makeBook(QStringLiteral("A"), {"Dupont|Jean|jean@x.org", "Lee|Ann|ann+news@x.org"});
        QTemporaryDir mail;
        const QString maildir = mail.filePath(QStringLiteral("md"));
        TlsSmtpd peer;
        QVERIFY(peer.start(QStringLiteral("plain"), QString(), QString(), maildir));
        data.writeSettings(peer.port);
        settings::Settings s;
        QVERIFY(settings::loadSettings(s));
        s.useProxy = QStringLiteral("false");
        s.smtpServerPort = QString::number(peer.port);
        s.subscriptionAddress = QStringLiteral("inscription@example.org");
        s.unsubscribeUrl = QStringLiteral("https://example.org/unsubscribe?who=&email&");
        s.dkimSelector = QStringLiteral("news");
        s.dkimDomain = QStringLiteral("example.org");
        s.dkimKeyFile = key;
        s.textAlternative = QStringLiteral("true");
        QVERIFY(settings::saveSettings(s, settings::settingsPath()));

        message::MessageDocument doc;
        fill(doc, {QStringLiteral("A")});
        doc.setMode(message::ComposeMode::HtmlFile);
        doc.setPlainText(QStringLiteral("<html><body><p>Dear &name&, read <a href=\"https://example.org/news\">the "
                                        "news</a>.</p></body></html>"));
        ScriptedQuestions ask;
        SendingRun run(data.store(), doc, ask);
        QVERIFY(run.sendNew());
        QVERIFY(runToEnd(run));
        QCOMPARE(run.counts().sent, 2);

        QProcess read;
        read.start(QStringLiteral("/usr/bin/python3"),
                   {qEnvironmentVariable("KIRVANE_SOURCE_DIR") + QStringLiteral("/tests/sending/bulk_headers.py"), maildir});
        QVERIFY(read.waitForFinished(30000));
        QMap<QString, QJsonObject> byRecipient;
        for (const QByteArray &line : read.readAllStandardOutput().split('\n')) {
            if (!line.isEmpty()) {
                const QJsonObject o = QJsonDocument::fromJson(line).object();
                byRecipient.insert(o.value(QStringLiteral("to")).toString(), o);
            }
        }
        QCOMPARE(byRecipient.keys(), (QStringList{"ann+news@x.org", "jean@x.org"}));
        const struct {
            const char *to;
            const char *name;
            const char *escaped;
        } readers[] = {{"jean@x.org", "Dupont", "jean@x.org"}, {"ann+news@x.org", "Lee", "ann%2Bnews@x.org"}};
        for (const auto &r : readers) {
            const QJsonObject o = byRecipient.value(QLatin1String(r.to));
            const QString who = QLatin1String(r.escaped);
            QCOMPARE(o.value(QStringLiteral("list_unsubscribe")).toString(),
                     QStringLiteral("<mailto:inscription@example.org?subject=DESABONNE%20%1>, "
                                    "<https://example.org/unsubscribe?who=%2>")
                         .arg(who, QString(who).replace(u'@', QStringLiteral("%40"))));
            QCOMPARE(o.value(QStringLiteral("list_unsubscribe_post")).toString(),
                     QStringLiteral("List-Unsubscribe=One-Click"));
            QVERIFY(o.value(QStringLiteral("message_id")).toString().endsWith(QLatin1String("@example.org>")));
            const QJsonArray types = o.value(QStringLiteral("types")).toArray();
            QCOMPARE(types.at(0).toString(), QStringLiteral("multipart/alternative"));
            QCOMPARE(types.at(1).toString(), QStringLiteral("text/plain"));
            QCOMPARE(types.at(2).toString(), QStringLiteral("text/html"));
            QCOMPARE(o.value(QStringLiteral("plain")).toString().trimmed(),
                     QStringLiteral("Dear %1, read the news <https://example.org/news>.").arg(QLatin1String(r.name)));
            QVERIFY(o.value(QStringLiteral("html")).toString().contains(QLatin1String(r.name)));
            QCOMPARE(o.value(QStringLiteral("defects")).toArray(), QJsonArray());
        }

        QStringList files;
        for (const QString &name : QDir(maildir + QStringLiteral("/new")).entryList(QDir::Files))
            files << maildir + QStringLiteral("/new/") + name;
        QProcess verify;
        verify.start(QStringLiteral("/usr/bin/python3"),
                     QStringList{qEnvironmentVariable("KIRVANE_SOURCE_DIR") + QStringLiteral("/tests/mail/mime/dkim_verify.py"),
                                 "rsa", pub, "news", "example.org"}
                         + files);
        QVERIFY(verify.waitForFinished(30000));
        const QJsonArray verdicts = QJsonDocument::fromJson(verify.readAllStandardOutput()).array();
        QCOMPARE(verdicts.size(), 2);
        for (const auto &v : verdicts)
            QVERIFY2(v.toObject().value(QStringLiteral("verified")).toBool(), QJsonDocument(v.toObject()).toJson());
    }

    // A DKIM key that cannot be read stops the run before anything is sent.
    void unreadableDkimKeyStopsTheRun()
    {
        DataFolder data;
        data.makeBook(QStringLiteral("A"), {"Aa|1|a1@x.org"});
        SmtpPeer peer;
        QTemporaryDir mail;
        QVERIFY(peer.start(mail.filePath(QStringLiteral("md"))));
        data.writeSettings(peer.port);
        settings::Settings s;
        QVERIFY(settings::loadSettings(s));
        s.dkimSelector = QStringLiteral("news");
        s.dkimDomain = QStringLiteral("example.org");
        s.dkimKeyFile = data.path() + QStringLiteral("/no-such-key.pem");
        QVERIFY(settings::saveSettings(s, settings::settingsPath()));
        message::MessageDocument doc;
        fill(doc, {QStringLiteral("A")});
        ScriptedQuestions ask;
        SendingRun run(data.store(), doc, ask);
        QVERIFY(!run.sendNew());
        QCOMPARE(ask.informed.size(), 1);
        QVERIFY2(ask.informed.first().contains(QLatin1String("no-such-key.pem")), qPrintable(ask.informed.first()));
        QCOMPARE(run.state(), SendingRun::State::Idle);
        QVERIFY(peer.recipients().isEmpty());
    }
};

QTEST_MAIN(TstSendingRun)
#include "tst_sendingrun.moc"
