// The POP3 client against a scripted transport (exact bytes: splits, a
// missing LAST, refusals, drops, silence), a scripted TCP peer (a drop in
// mid-retrieval on a real socket) and Dovecot (a real mailbox).

#include "mail/pop3client.h"
#include "peers.h"
#include "scriptedtransport.h"
#include "testcertificates.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

using namespace kirvane::mail;

namespace {

const QByteArray retrieved = "+OK 40 octets\r\nSubject: a\r\n\r\nbody\r\n..dot\r\n.\r\n";

// connectToHost, login, fetchMessageCount, retrieve(1), deleteMessage(1),
// each only while the one before went well, then quit; the state in one
// line. failures: the step of each call that failed, in order.
QString runSession(Pop3Client &pop, QList<int> *failures)
{
    auto step = [&](bool ok) {
        if (!ok)
            *failures << pop.failedStep();
        return ok;
    };
    QString retrievedLines = QStringLiteral("-");
    QString loggedIn = QStringLiteral("-");
    if (step(pop.connectToHost())) {
        const bool in = step(pop.login());
        loggedIn = QString::number(in);
        // Counting on a closed connection fails too, without a step to blame.
        const bool counted = pop.fetchMessageCount();
        if (in && step(counted) && pop.isConnected()) {
            MailMessage msg;
            // Kept in wire form: the server's "..dot" is unstuffed on reading
            // and stuffed again in wireLines, ready to be sent on.
            msg.clearWireLinesAfterParse = false;
            if (step(pop.retrieve(1, msg))) {
                retrievedLines = QString::fromLatin1(msg.wireLines.join('|'));
                (void)step(pop.deleteMessage(1));
            }
        }
    }
    const QString state = QStringLiteral("login=%1 count=%2 new=%3 last=%4 failed=%5 deleted=%6 lines=%7")
                              .arg(loggedIn)
                              .arg(pop.messageCount())
                              .arg(pop.newMessageCount())
                              .arg(pop.lastSupported())
                              .arg(pop.failed())
                              .arg(pop.deletedList().join(','), retrievedLines);
    (void)pop.quit(); // the tests compare what it sent
    return state;
}

} // namespace

class TestPop : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void session_data();
    void session();
    void sizeBound_data();
    void sizeBound();
    void uniqueIds_data();
    void uniqueIds();
    void statusTokens_data();
    void statusTokens();
    void misuse();
    void tcpCloseInMidRetrieval();
    void dovecotMailbox();
    void security_data();
    void security();
    void dovecotTls_data();
    void dovecotTls();
};

void TestPop::session_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<bool>("closeWhenDone");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QList<int>>("errors");

    const QByteArrayList login{"+OK ready\r\n", "+OK\r\n", "+OK\r\n"};
    const QByteArray full = "USER alice\r\nPASS secret\r\nSTAT\r\nLAST\r\nLIST 1\r\nRETR 1\r\nDELE 1\r\nQUIT\r\n";
    QTest::newRow("whole session")
        << (login + QByteArrayList{"+OK 2 320\r\n", "+OK 0\r\n", "+OK 1 40\r\n", retrieved, "+OK\r\n", "+OK bye\r\n"})
        << false << full << "login=1 count=1 new=2 last=1 failed=0 deleted=1 lines=Subject: a||body|..dot" << QList<int>{};
    QTest::newRow("server without LAST: usable, Failed until the next status")
        << (login + QByteArrayList{"+OK 2 320\r\n", "-ERR unknown command\r\n", "+OK 1 40\r\n", retrieved, "+OK\r\n",
                                   "+OK bye\r\n"})
        << false << full << "login=1 count=1 new=0 last=0 failed=0 deleted=1 lines=Subject: a||body|..dot" << QList<int>{};
    QTest::newRow("status lines and terminator split across reads")
        << QByteArrayList{"+O", "K ready\r", "\n+OK\r\n+", "OK\r\n", "+OK 2 (320)\r\n", "+OK 1\r\n", "+OK 1 40\r\n",
                          "+OK 40 octets\r\nSubject: a\r\n\r\nbody\r\n..d", "ot\r\n.", "\r", "\n", "+OK\r\n", "+OK\r\n"}
        << false << full << "login=1 count=1 new=1 last=1 failed=0 deleted=1 lines=Subject: a||body|..dot" << QList<int>{};
    QTest::newRow("an empty message and a refused LIST")
        << (login + QByteArrayList{"+OK 1 0\r\n", "+OK 0\r\n", "-ERR no\r\n", "+OK\r\n.\r\n", "+OK\r\n", "+OK\r\n"})
        << false << full << "login=1 count=0 new=1 last=1 failed=0 deleted=1 lines=" << QList<int>{};
    // A refused RETR or DELE concerns one message: QUIT still makes the
    // deletions marked before it.
    QTest::newRow("refused DELE: the connection stays for QUIT")
        << (login + QByteArrayList{"+OK 2 320\r\n", "+OK 0\r\n", "+OK 1 40\r\n", retrieved, "-ERR locked\r\n", "+OK bye\r\n"})
        << false << full << "login=1 count=2 new=2 last=1 failed=1 deleted= lines=Subject: a||body|..dot"
        << QList<int>{2003};
    QTest::newRow("connection closed in mid-retrieval")
        << (login + QByteArrayList{"+OK 2 320\r\n", "+OK 0\r\n", "+OK 1 40\r\n", "+OK 40 octets\r\nSubject: a\r\n\r\nbo"})
        << true << full.left(full.indexOf("DELE")) << "login=1 count=2 new=2 last=1 failed=1 deleted= lines=-"
        << QList<int>{2004};
    QTest::newRow("silence in mid-retrieval")
        << (login + QByteArrayList{"+OK 2 320\r\n", "+OK 0\r\n", "+OK 1 40\r\n", "+OK 40 octets\r\nSubject: a\r\n"})
        << false << full.left(full.indexOf("DELE")) << "login=1 count=2 new=2 last=1 failed=1 deleted= lines=-"
        << QList<int>{2004};
    QTest::newRow("RETR refused: the connection stays for QUIT")
        << (login + QByteArrayList{"+OK 2 320\r\n", "+OK 0\r\n", "+OK 1 40\r\n", "-ERR gone\r\n", "+OK bye\r\n"})
        << false << (full.left(full.indexOf("DELE")) + "QUIT\r\n") << "login=1 count=2 new=2 last=1 failed=1 deleted= lines=-"
        << QList<int>{2004};
    QTest::newRow("USER refused: no PASS, and no count on the closed connection")
        << QByteArrayList{"+OK ready\r\n", "-ERR who\r\n"} << false << QByteArray("USER alice\r\n")
        << "login=0 count=0 new=0 last=0 failed=1 deleted= lines=-" << QList<int>{2001};
    QTest::newRow("PASS refused") << QByteArrayList{"+OK ready\r\n", "+OK\r\n", "-ERR bad password\r\n"} << false
                                  << QByteArray("USER alice\r\nPASS secret\r\n")
                                  << "login=0 count=0 new=0 last=0 failed=1 deleted= lines=-" << QList<int>{2001};
    QTest::newRow("STAT refused") << (login + QByteArrayList{"-ERR\r\n"}) << false
                                  << QByteArray("USER alice\r\nPASS secret\r\nSTAT\r\n")
                                  << "login=1 count=0 new=0 last=0 failed=1 deleted= lines=-" << QList<int>{2006};
    QTest::newRow("greeting refused") << QByteArrayList{"-ERR busy\r\n"} << false << QByteArray()
                                      << "login=- count=0 new=0 last=0 failed=1 deleted= lines=-" << QList<int>{0};
    QTest::newRow("silent server") << QByteArrayList{} << false << QByteArray()
                                   << "login=- count=0 new=0 last=0 failed=1 deleted= lines=-" << QList<int>{0};
    // Only "+OK" is success: whatever else a server says is a refusal.
    QTest::newRow("an SMTP server's greeting is no POP3 greeting")
        << QByteArrayList{"220 mx.example.org ESMTP ready\r\n"} << false << QByteArray()
        << "login=- count=0 new=0 last=0 failed=1 deleted= lines=-" << QList<int>{0};
    QTest::newRow("a lower-case -err to PASS is a refusal")
        << QByteArrayList{"+OK ready\r\n", "+OK\r\n", "-err bad password\r\n"} << false
        << QByteArray("USER alice\r\nPASS secret\r\n") << "login=0 count=0 new=0 last=0 failed=1 deleted= lines=-"
        << QList<int>{2001};
    QTest::newRow("an empty line to USER is a refusal")
        << QByteArrayList{"+OK ready\r\n", "\r\n"} << false << QByteArray("USER alice\r\n")
        << "login=0 count=0 new=0 last=0 failed=1 deleted= lines=-" << QList<int>{2001};
    QTest::newRow("+OKAY is not +OK")
        << QByteArrayList{"+OK ready\r\n", "+OKAY\r\n"} << false << QByteArray("USER alice\r\n")
        << "login=0 count=0 new=0 last=0 failed=1 deleted= lines=-" << QList<int>{2001};
    QTest::newRow("STAT answered in another protocol")
        << (login + QByteArrayList{"250 ok\r\n"}) << false << QByteArray("USER alice\r\nPASS secret\r\nSTAT\r\n")
        << "login=1 count=0 new=0 last=0 failed=1 deleted= lines=-" << QList<int>{2006};
}

// A message beyond maxMessageSize is skipped with a report, the connection
// kept and the dialogue in step, whether LIST announced its size or the
// message turned out larger while it was read; never more than the bound is
// kept. The next message is then retrieved as usual.
void TestPop::sizeBound_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<QByteArray>("sent");

    const QByteArray big = "+OK\r\nSubject: big\r\n\r\n" + QByteArray(100, 'x').append("\r\n").repeated(60) + ".\r\n";
    const QByteArrayList second{"+OK 2 40\r\n", "+OK\r\nSubject: small\r\n\r\nhi\r\n.\r\n"};
    QTest::newRow("announced by LIST: not even retrieved")
        << (QByteArrayList{"+OK 1 6000\r\n"} + second) << QByteArray("LIST 1\r\nLIST 2\r\nRETR 2\r\n");
    QTest::newRow("LIST says less than comes")
        << (QByteArrayList{"+OK 1 40\r\n", big} + second) << QByteArray("LIST 1\r\nRETR 1\r\nLIST 2\r\nRETR 2\r\n");
    QTest::newRow("LIST refused, the message larger than the bound")
        << (QByteArrayList{"-ERR no\r\n", big} + second) << QByteArray("LIST 1\r\nRETR 1\r\nLIST 2\r\nRETR 2\r\n");
}

void TestPop::sizeBound()
{
    QFETCH(QByteArrayList, pieces);
    auto script = std::make_shared<Script>();
    script->pieces = QByteArrayList{"+OK ready\r\n"} + pieces;
    Pop3Client pop(std::make_unique<ScriptedTransport>(script));
    pop.timeout = 200;
    pop.maxMessageSize = 1000;
    QVERIFY(pop.connectToHost());

    MailMessage first;
    QString report;
    try {
        (void)pop.retrieve(1, first);
    } catch (const MailError &e) {
        report = QString::fromUtf8(e.what());
    }
    QCOMPARE(report, QStringLiteral("Message 1 is larger than 1000 bytes; it was skipped."));
    QVERIFY(pop.isConnected());
    QVERIFY(first.text.isEmpty() && first.wireLines.isEmpty() && first.subject.isEmpty());

    MailMessage second;
    QVERIFY(pop.retrieve(2, second));
    QCOMPARE(second.subject, QStringLiteral("small"));
    QCOMPARE(second.text, QStringList{QStringLiteral("hi")});
    QTEST(script->sent, "sent");
}

void TestPop::session()
{
    QFETCH(QByteArrayList, pieces);
    auto script = std::make_shared<Script>();
    script->pieces = pieces;
    QFETCH(bool, closeWhenDone);
    script->closeWhenDone = closeWhenDone;
    Pop3Client pop(std::make_unique<ScriptedTransport>(script));
    pop.userId = QStringLiteral("alice");
    pop.password = QStringLiteral("secret");
    pop.timeout = 200;
    QList<int> errors;
    QTEST(runSession(pop, &errors), "state");
    QTEST(script->sent, "sent");
    QTEST(errors, "errors");
    QVERIFY(!pop.isConnected());
}

void TestPop::uniqueIds_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("retrieved");
    QTest::addColumn<QString>("uidl");
    QTest::addColumn<QList<int>>("errors");
    QTest::newRow("id after the message number") << QByteArray("+OK 1 QZV.abc 42\r\n") << true << "QZV.abc 42"
                                                 << QList<int>{};
    QTest::newRow("UIDL refused") << QByteArray("-ERR no\r\n") << false << "" << QList<int>{2006};
}

void TestPop::uniqueIds()
{
    QFETCH(QByteArray, reply);
    auto script = std::make_shared<Script>();
    script->pieces = {"+OK ready\r\n", "+OK 1 40\r\n", retrieved, reply};
    Pop3Client pop(std::make_unique<ScriptedTransport>(script));
    pop.fetchUidlOnRetrieve = true;
    QVERIFY(pop.connectToHost());
    MailMessage msg;
    const bool retrieved = pop.retrieve(1, msg);
    QTEST(retrieved, "retrieved");
    QTEST(msg.uidl, "uidl");
    QCOMPARE(msg.size, qint64(40));
    QTEST(retrieved ? QList<int>() : QList<int>{pop.failedStep()}, "errors");
    QCOMPARE(script->sent, QByteArray("LIST 1\r\nRETR 1\r\nUIDL 1\r\n"));
}

void TestPop::statusTokens_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("k");
    QTest::addColumn<qint64>("value");
    QTest::newRow("second word") << "3 1200" << 2 << qint64(1200);
    QTest::newRow("brackets removed") << "{12} (340)" << 2 << qint64(340);
    QTest::newRow("missing word") << "3" << 2 << qint64(-1);
    QTest::newRow("not a number") << "three 1200" << 1 << qint64(-1);
}

void TestPop::statusTokens()
{
    QFETCH(QString, text);
    QFETCH(int, k);
    QTEST(statusToken(text, k, -1), "value");
}

void TestPop::misuse()
{
    auto script = std::make_shared<Script>();
    Pop3Client pop(std::make_unique<ScriptedTransport>(script));
    MailMessage msg;
    QVERIFY_THROWS_EXCEPTION(MailError, (void)pop.login());
    QVERIFY_THROWS_EXCEPTION(MailError, (void)pop.retrieve(1, msg));
    QVERIFY_THROWS_EXCEPTION(MailError, (void)pop.deleteMessage(1));
    QVERIFY(!pop.quit());
    QVERIFY(script->sent.isEmpty());

    // A part declared uuencoded with a character outside the uu alphabet is
    // an error for the caller of retrieve(), after the whole message was
    // read: the connection stays for the next message.
    script->pieces = {"+OK ready\r\n", "+OK 1 60\r\n", "+OK 1 60\r\n",
                      "Subject: uu\r\nContent-Transfer-Encoding: x-uuencode\r\nContent-Type: application/x-thing; "
                      "name=f.bin\r\n\r\nbegin 644 f.bin\r\nMabc\r\nend\r\n.\r\n",
                      "+OK bye\r\n"};
    pop.timeout = 200;
    QVERIFY(pop.connectToHost());
    QString report;
    try {
        (void)pop.retrieve(1, msg);
    } catch (const MailError &e) {
        report = QString::fromUtf8(e.what());
    }
    QCOMPARE(report, QStringLiteral("Message 1 cannot be read: Oops..."));
    QVERIFY(pop.isConnected());
    QVERIFY(pop.quit());
    script->sent.clear();

    // A line break in the password would smuggle a command of its own.
    script->pieces = {"+OK ready\r\n"};
    QVERIFY(pop.connectToHost());
    pop.userId = QStringLiteral("alice");
    pop.password = QStringLiteral("x\r\nDELE 1");
    QVERIFY(!pop.login());
    QVERIFY(script->sent.isEmpty());
    QVERIFY(!pop.isConnected());
}

void TestPop::tcpCloseInMidRetrieval()
{
    QJsonArray steps;
    for (const char *reply : {"+OK ready\r\n", "+OK\r\n", "+OK\r\n", "+OK 1 9000\r\n", "+OK 0\r\n", "+OK 1 9000\r\n"}) {
        if (!steps.isEmpty())
            steps.append(QJsonArray{"line"});
        steps.append(QJsonArray{"send", reply});
    }
    steps.append(QJsonArray{"line"});
    steps.append(QJsonArray{"send", "+OK\r\nSubject: cut\r\n\r\n" + QString(4000, QLatin1Char('x')) + "\r\n.."});
    steps.append(QJsonArray{"close"});
    QTemporaryDir dir;
    ScriptedPeer peer;
    QVERIFY(peer.start(QJsonDocument(steps).toJson(QJsonDocument::Compact), dir.filePath(QStringLiteral("got"))));

    Pop3Client pop;
    pop.host = QStringLiteral("127.0.0.1");
    pop.port = QString::number(peer.port);
    pop.userId = QStringLiteral("alice");
    pop.password = QStringLiteral("secret");
    pop.timeout = 5000;
    QList<int> errors;
    QCOMPARE(runSession(pop, &errors), QStringLiteral("login=1 count=1 new=1 last=1 failed=1 deleted= lines=-"));
    QCOMPARE(errors, QList<int>{2004});
    QCOMPARE(pop.statusText(), QStringLiteral("The server closed the connection."));
}

void TestPop::dovecotMailbox()
{
    Dovecot dovecot;
    // Three messages: stuffed lines, a composed one with an attachment, and
    // one large enough to come in many reads. The mailbox holds them as they
    // are; the server stuffs them.
    QVERIFY(dovecot.addMessage("From: Ann <ann@example.org>\r\nSubject: dots\r\n\r\nfirst\r\n.\r\n..two\r\n.\r\n"));
    MailMessage composed;
    composed.from = QStringLiteral("news@example.org");
    composed.sendTo = QStringLiteral("alice@example.net");
    composed.subject = QStringLiteral("with a file");
    composed.text = {QStringLiteral("see the file")};
    composed.attachments.add(QString::fromLocal8Bit(qgetenv("KIRVANE_SOURCE_DIR"))
                               + "/tests/mail/protocols/scripted_peer.py");
    QVERIFY(composed.compose());
    QVERIFY(dovecot.addMessage(composed.wireLines.join("\r\n") + "\r\n"));
    QByteArray big = "From: b@example.org\r\nSubject: big\r\n\r\n";
    for (int i = 0; i < 5000; ++i)
        big += "line " + QByteArray::number(i) + ' ' + QByteArray(60, 'y') + "\r\n";
    QVERIFY(dovecot.addMessage(big));
    if (!Dovecot::canRun())
        QSKIP("Dovecot serves mail only when started by root");
    QVERIFY(dovecot.start());

    Pop3Client pop;
    pop.host = QStringLiteral("127.0.0.1");
    pop.port = QString::number(dovecot.port);
    pop.userId = QStringLiteral("alice");
    pop.password = QStringLiteral("secret");
    QVERIFY(pop.connectToHost());
    QVERIFY(pop.login());
    QVERIFY(pop.fetchMessageCount());
    QCOMPARE(pop.messageCount(), quint16(3));
    QVERIFY(!pop.lastSupported());

    QList<quint16> progress;
    pop.onRetrieveProgress = [&](quint16 p) { progress << p; };
    MailMessage dots;
    QVERIFY(pop.retrieve(1, dots));
    QCOMPARE(dots.subject, QStringLiteral("dots"));
    QCOMPARE(dots.text, QStringList({"first", ".", "..two", "."}));
    MailMessage withFile;
    QVERIFY(pop.retrieve(2, withFile));
    QCOMPARE(withFile.subject, QStringLiteral("with a file"));
    QCOMPARE(withFile.attachments.count(), 1);
    QCOMPARE(withFile.attachments[0].data, composed.attachments[0].data);
    progress.clear();
    MailMessage large;
    large.clearWireLinesAfterParse = false;
    QVERIFY(pop.retrieve(3, large));
    QCOMPARE(large.wireLines, QByteArray(big).replace("\r\n", "\n").chopped(1).split('\n'));
    QVERIFY(progress.size() >= 5);
    QCOMPARE(progress.last(), quint16(100));

    QVERIFY(pop.deleteMessage(1));
    QVERIFY(pop.deleteMessage(3));
    QCOMPARE(pop.messageCount(), quint16(1));
    QCOMPARE(pop.deletedList(), QStringList({"1", "3"}));
    QVERIFY(pop.quit());
    QVERIFY(!pop.failed());

    // The deletions were made at QUIT; a new session sees one message.
    QCOMPARE(dovecot.newFiles().size() + QDir(dovecot.maildir() + "/cur").entryList(QDir::Files).size(), 1);
    QVERIFY(pop.connectToHost());
    QVERIFY(pop.login());
    QVERIFY(pop.fetchMessageCount());
    QCOMPARE(pop.messageCount(), quint16(1));
    QVERIFY(pop.quit());
}

// STLS and TLS from the first byte against a scripted server: the login
// never goes out before the connection is encrypted.
void TestPop::security_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<Security>("security");
    QTest::addColumn<bool>("refuseTls");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<bool>("loggedIn");
    QTest::addColumn<QString>("statusText");

    const QByteArray login = "USER alice\r\nPASS secret\r\n";
    QTest::newRow("STLS, then the login")
        << QByteArrayList{"+OK ready\r\n", "+OK begin TLS\r\n", "+OK user\r\n", "+OK in\r\n"} << Security::StartTls
        << false << ("STLS\r\n[TLS]" + login) << true << "in";
    QTest::newRow("STLS refused: the login is not sent")
        << QByteArrayList{"+OK ready\r\n", "-ERR TLS support isn't enabled\r\n"} << Security::StartTls << false
        << QByteArray("STLS\r\n") << false << "TLS support isn't enabled";
    QTest::newRow("bytes after the reply to STLS are not taken as encrypted")
        << QByteArrayList{"+OK ready\r\n", "+OK begin\r\n+OK user\r\n"} << Security::StartTls << false
        << QByteArray("STLS\r\n") << false
        << "The server sent more after agreeing to encrypt; the connection was closed.";
    QTest::newRow("handshake after STLS fails")
        << QByteArrayList{"+OK ready\r\n", "+OK begin\r\n"} << Security::StartTls << true
        << QByteArray("STLS\r\n[TLS]") << false << "scripted";
    QTest::newRow("implicit TLS: the handshake comes before the greeting")
        << QByteArrayList{"+OK ready\r\n", "+OK user\r\n", "+OK in\r\n"} << Security::Tls << false
        << ("[TLS]" + login) << true << "in";
    QTest::newRow("implicit TLS handshake fails")
        << QByteArrayList{"+OK ready\r\n"} << Security::Tls << true << QByteArray("[TLS]") << false << "scripted";
}

void TestPop::security()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(Security, security);
    QFETCH(bool, refuseTls);
    auto script = std::make_shared<Script>();
    script->pieces = pieces;
    script->refuseTls = refuseTls;
    Pop3Client pop(std::make_unique<ScriptedTransport>(script));
    pop.host = QStringLiteral("pop.test");
    pop.timeout = 200;
    pop.security = security;
    pop.userId = QStringLiteral("alice");
    pop.password = QStringLiteral("secret");
    const bool loggedIn = pop.connectToHost() && pop.login();
    QCOMPARE(pop.isEncrypted(), loggedIn);
    QTEST(script->sent, "sent");
    QTEST(loggedIn, "loggedIn");
    QTEST(pop.statusText(), "statusText");
    QCOMPARE(pop.failed(), !loggedIn);
    QCOMPARE(pop.failedStep(), Pop3Client::ConnectionFailed);
}

void TestPop::dovecotTls_data()
{
    QTest::addColumn<bool>("serverTls");
    QTest::addColumn<int>("certificate");
    QTest::addColumn<Security>("security");
    QTest::addColumn<bool>("trustTestCa");
    QTest::addColumn<QString>("failure"); // part of statusText; empty: the mailbox is read

    const int trusted = TestCertificates::Trusted;
    QTest::newRow("STLS") << true << trusted << Security::StartTls << true << "";
    QTest::newRow("TLS from the first byte") << true << trusted << Security::Tls << true << "";
    QTest::newRow("certificate of another CA refused with its reason")
        << true << int(TestCertificates::OtherCa) << Security::StartTls << true
        << "The certificate of 127.0.0.1 was refused: unable to get local issuer certificate.";
    QTest::newRow("test CA not trusted: the system's store alone does not know it")
        << true << trusted << Security::Tls << false
        << "The certificate of 127.0.0.1 was refused: unable to get local issuer certificate.";
    QTest::newRow("STLS asked of a server without TLS") << false << trusted << Security::StartTls << true
                                                        << "TLS support isn't enabled";
}

void TestPop::dovecotTls()
{
    static TestCertificates certs;
    static const bool made = certs.make();
    QVERIFY2(made, qPrintable(certs.error()));
    QFETCH(bool, serverTls);
    QFETCH(int, certificate);
    QFETCH(Security, security);
    QFETCH(bool, trustTestCa);
    QFETCH(QString, failure);
    if (!Dovecot::canRun())
        QSKIP("Dovecot serves mail only when started by root");
    Dovecot dovecot;
    QVERIFY(dovecot.addMessage("From: Ann <ann@example.org>\r\nSubject: over TLS\r\n\r\nhello\r\n"));
    const auto cert = TestCertificates::Server(certificate);
    if (serverTls)
        dovecot.useTls(certs.certFile(cert), certs.keyFile(cert));
    QVERIFY(dovecot.start());

    Pop3Client pop;
    pop.timeout = 5000;
    pop.host = QStringLiteral("127.0.0.1");
    pop.port = QString::number(security == Security::Tls ? dovecot.tlsPort : dovecot.port);
    pop.security = security;
    if (trustTestCa)
        pop.caFile = certs.caFile();
    pop.userId = QStringLiteral("alice");
    pop.password = QStringLiteral("secret");
    const bool ready = pop.connectToHost();
    if (!failure.isEmpty()) {
        QVERIFY(!ready);
        QVERIFY(pop.failed());
        QVERIFY2(pop.statusText().contains(failure), qPrintable(pop.statusText()));
        return;
    }
    QVERIFY2(ready, qPrintable(pop.statusText()));
    QVERIFY(pop.isEncrypted());
    QVERIFY2(pop.login(), qPrintable(pop.statusText()));
    QVERIFY(pop.fetchMessageCount());
    QCOMPARE(pop.messageCount(), quint16(1));
    MailMessage msg;
    QVERIFY(pop.retrieve(1, msg));
    QCOMPARE(msg.subject, QStringLiteral("over TLS"));
    QVERIFY(pop.quit());
}

QTEST_GUILESS_MAIN(TestPop)
#include "tst_pop.moc"
