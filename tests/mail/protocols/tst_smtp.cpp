// The SMTP client against a scripted transport (exact bytes: split and
// multi-line replies, refusals, drops, silence), a scripted TCP peer (the same
// faults on a real socket), aiosmtpd (what arrives equals what was composed)
// and Postfix's smtp-sink (many messages on one connection).

#include "mail/qzvsmtp.h"
#include "peers.h"
#include "scriptedtransport.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QHostInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <thread>

#include <netdb.h>
#include <unistd.h>

using namespace kirvane::mail;

namespace {

const QByteArray okReplies[] = {"250 sender ok\r\n", "250 rcpt ok\r\n", "354 go ahead\r\n", "250 queued\r\n",
                                "250 reset\r\n"};

QByteArrayList greeting()
{
    return {"220 mx.test ready\r\n", "250 hello\r\n"};
}

// The replies to one transaction with recipients RCPT TO commands.
QByteArrayList transactionReplies(int recipients = 1)
{
    QByteArrayList r{okReplies[0]};
    for (int i = 0; i < recipients; ++i)
        r << okReplies[1];
    r << okReplies[2] << okReplies[3] << okReplies[4];
    return r;
}

QByteArray heloLine()
{
    return "HELO " + HeloName(QHostInfo::localHostName(), QStringLiteral("mx.test")).toUtf8() + "\r\n";
}

const QByteArray body = "Subject: t\r\n\r\nbody\r\n";

QByteArray transaction(const QByteArrayList &recipients)
{
    QByteArray out = "MAIL FROM:<a@b.c>\r\n";
    for (const QByteArray &r : recipients)
        out += "RCPT TO:<" + r + ">\r\n";
    return out + "DATA\r\n" + body + ".\r\nRSET\r\n";
}

TQzvMsg plainMessage()
{
    TQzvMsg msg;
    msg.From = QStringLiteral("Alice <a@b.c>");
    msg.SendTo = QStringLiteral("x@y.z");
    msg.RawMail = {"Subject: t", "", "body"};
    return msg;
}

// A message to reader i, as the sending run builds one per contact.
TQzvMsg newsletterFor(int i)
{
    TQzvMsg msg;
    msg.From = QStringLiteral("news@example.org");
    msg.UserName = QStringLiteral("News");
    msg.SendTo = QStringLiteral("reader%1@example.net").arg(i);
    msg.Subject = QStringLiteral("Issue for reader %1").arg(i);
    return msg;
}

// Connects to a peer on 127.0.0.1; true when it greeted.
bool connectLocal(TQzvSMTP &smtp, quint16 port)
{
    smtp.Host = QStringLiteral("127.0.0.1");
    smtp.Port = QString::number(port);
    smtp.Connect();
    return !smtp.Failed();
}

struct Scripted {
    std::shared_ptr<Script> script = std::make_shared<Script>();
    TQzvSMTP smtp{std::make_unique<ScriptedTransport>(script)};
    Scripted()
    {
        smtp.Host = QStringLiteral("mx.test");
        smtp.TimeOut = 200;
    }
};

} // namespace

class TestSmtp : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dialogue_data();
    void dialogue();
    void dataLines_data();
    void dataLines();
    void addresses_data();
    void addresses();
    void port_data();
    void port();
    void heloName_data();
    void heloName();
    void misuse();
    void progressOfLargeMessage();
    void tcpFaults_data();
    void tcpFaults();
    void slowNameLookupEndsWithinTimeOut();
    void aiosmtpdReceivesWhatWasComposed();
    void smtpSinkTakesManyMessages();
};

void TestSmtp::dialogue_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("cc");
    QTest::addColumn<QString>("bcc");
    QTest::addColumn<int>("messages");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<bool>("failed");
    QTest::addColumn<QString>("replyCode");

    const QByteArray one = transaction({"x@y.z"});
    QTest::newRow("one message")
        << (greeting() + transactionReplies() + QByteArrayList{"221 bye\r\n"}) << "x@y.z" << "" << "" << 1
        << (heloLine() + one + "QUIT\r\n") << false << "221";
    QTest::newRow("multi-line HELO reply, only its last line counts")
        << (QByteArrayList{"220 mx\r\n", "250-mx.test\r\n250-SIZE 100\r\n250 HELP\r\n"} + transactionReplies()
            + QByteArrayList{"221 bye\r\n"})
        << "x@y.z" << "" << "" << 1 << (heloLine() + one + "QUIT\r\n") << false << "221";
    QTest::newRow("replies split anywhere across reads")
        << (QByteArrayList{"22", "0 mx ready\r", "\n250-mx\r\n25", "0 ok\r\n", "250 ", "ok\r\n250 ok\r\n"}
            + QByteArrayList{"3", "54 go\r\n", "250 queued\r\n250 reset\r\n221", " bye\r\n"})
        << "x@y.z" << "" << "" << 1 << (heloLine() + one + "QUIT\r\n") << false << "221";
    QTest::newRow("a bare code ends a reply")
        << (greeting() + QByteArrayList{"250\r\n", "250\r\n", "354\r\n", "250\r\n", "250\r\n", "221\r\n"})
        << "x@y.z" << "" << "" << 1 << (heloLine() + one + "QUIT\r\n") << false << "221";
    QTest::newRow("second message follows RSET without a new HELO")
        << (greeting() + transactionReplies() + transactionReplies() + QByteArrayList{"221 bye\r\n"}) << "x@y.z"
        << "" << "" << 2 << (heloLine() + one + one + "QUIT\r\n") << false << "221";
    QTest::newRow("To, CC and BCC each get a transaction; addresses lowered, in order")
        << (greeting() + transactionReplies(2) + transactionReplies() + transactionReplies()
            + QByteArrayList{"221 bye\r\n"})
        << "\"Xa, Yb\" <X@Y.Z> , w@v.u" << "c@d.e" << "Bo (the boss) <b@c.d>" << 1
        << (heloLine() + transaction({"x@y.z", "w@v.u"}) + transaction({"c@d.e"}) + transaction({"b@c.d"})
            + "QUIT\r\n")
        << false << "221";
    QTest::newRow("251 to RCPT TO is a refusal; nothing follows")
        << (greeting() + QByteArrayList{"250 ok\r\n", "251 user not local; will forward\r\n"}) << "x@y.z" << ""
        << "" << 1 << (heloLine() + "MAIL FROM:<a@b.c>\r\nRCPT TO:<x@y.z>\r\n") << true << "251";
    QTest::newRow("a refused CC transaction leaves BCC unsent")
        << (greeting() + transactionReplies() + QByteArrayList{"550 no\r\n"}) << "x@y.z" << "c@d.e" << "b@c.d"
        << 1 << (heloLine() + one + "MAIL FROM:<a@b.c>\r\n") << true << "550";
    QTest::newRow("QUIT answered otherwise than 221")
        << (greeting() + transactionReplies() + QByteArrayList{"500 what\r\n"}) << "x@y.z" << "" << "" << 1
        << (heloLine() + one + "QUIT\r\n") << true << "500";
    QTest::newRow("greeting refused") << QByteArrayList{"554 go away\r\n"} << "x@y.z" << "" << "" << 1
                                      << QByteArray() << true << "554";
    QTest::newRow("HELO refused") << QByteArrayList{"220 hi\r\n", "501 bad name\r\n"} << "x@y.z" << "" << ""
                                  << 1 << heloLine() << true << "501";
    QTest::newRow("silent after DATA: fails within TimeOut")
        << (greeting() + QByteArrayList{okReplies[0], okReplies[1], okReplies[2]}) << "x@y.z" << "" << "" << 1
        << (heloLine() + "MAIL FROM:<a@b.c>\r\nRCPT TO:<x@y.z>\r\nDATA\r\n" + body + ".\r\n") << true << "";
    QTest::newRow("a reply line that never ends is cut short")
        << (greeting() + QByteArrayList{QByteArray(70 * 1024, 'x')}) << "x@y.z" << "" << "" << 1
        << (heloLine() + "MAIL FROM:<a@b.c>\r\n") << true << "";
}

void TestSmtp::dialogue()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(QString, to);
    QFETCH(QString, cc);
    QFETCH(QString, bcc);
    QFETCH(int, messages);
    Scripted s;
    s.script->pieces = pieces;
    QStringList errors;
    s.smtp.OnError = [&](int code, const QString &text) { errors << QString::number(code) + ' ' + text; };

    s.smtp.Connect();
    for (int i = 0; i < messages && !s.smtp.Failed(); ++i) {
        TQzvMsg msg = plainMessage();
        msg.SendTo = to;
        msg.CC = cc;
        msg.BCC = bcc;
        s.smtp.SendMessage(msg);
    }
    if (!s.smtp.Failed())
        s.smtp.Quit();

    QTEST(s.script->sent, "sent");
    QTEST(s.smtp.Failed(), "failed");
    QTEST(s.smtp.ReplyCode(), "replyCode");
    QVERIFY(!s.smtp.Connected());
    QCOMPARE(errors.size(), s.smtp.Failed() ? 1 : 0);
}

void TestSmtp::dataLines_data()
{
    QTest::addColumn<QByteArrayList>("rawMail");
    QTest::addColumn<QByteArray>("wire");

    QTest::newRow("composed stuffed line passes as it is") << QByteArrayList{"..x", ".."} << QByteArray("..x\r\n..\r\n");
    QTest::newRow("a bare dot never ends the text") << QByteArrayList{"a", ".", "b"} << QByteArray("a\r\n..\r\nb\r\n");
    QTest::newRow("an unstuffed leading dot is stuffed") << QByteArrayList{".x"} << QByteArray("..x\r\n");
    QTest::newRow("LF inside a line becomes CR LF and the next line is stuffed")
        << QByteArrayList{"a\n.\nb"} << QByteArray("a\r\n..\r\nb\r\n");
    QTest::newRow("bare CR and CR LF inside a line") << QByteArrayList{"a\rb\r\n.c"} << QByteArray("a\r\nb\r\n..c\r\n");
    QTest::newRow("empty last line is kept") << QByteArrayList{"a", ""} << QByteArray("a\r\n\r\n");
}

void TestSmtp::dataLines()
{
    QFETCH(QByteArrayList, rawMail);
    Scripted s;
    s.script->pieces = greeting() + transactionReplies();
    s.smtp.Connect();
    TQzvMsg msg = plainMessage();
    msg.RawMail = rawMail;
    s.smtp.SendMessage(msg);
    QVERIFY(!s.smtp.Failed());
    const QByteArray &sent = s.script->sent;
    const qsizetype from = sent.indexOf("DATA\r\n") + 6;
    const qsizetype to = sent.indexOf(".\r\nRSET\r\n", from);
    QVERIFY(to >= from);
    QTEST(sent.mid(from, to - from), "wire");
}

void TestSmtp::addresses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("sender");
    QTest::addColumn<QByteArrayList>("addresses");

    QTest::newRow("sender keeps its case") << "Ann Lee <Ann.Lee@Example.org>" << true
                                           << QByteArrayList{"Ann.Lee@Example.org"};
    QTest::newRow("sender comment removed") << " ann@example.org (Ann) " << true << QByteArrayList{"ann@example.org"};
    QTest::newRow("capitals and a space, two recipients in order")
        << "BOB@EXAMPLE.ORG ,carol@example.org" << false << QByteArrayList{"bob@example.org", "carol@example.org"};
    QTest::newRow("quoted name holding a comma") << "\"Lee, Ann\" <ann@x.org>, b@y.org" << false
                                                 << QByteArrayList{"ann@x.org", "b@y.org"};
    QTest::newRow("trailing comma leaves nothing empty") << "a@x.org," << false << QByteArrayList{"a@x.org"};
    QTest::newRow("only commas") << " , ," << false << QByteArrayList{};
}

void TestSmtp::addresses()
{
    QFETCH(QString, text);
    QFETCH(bool, sender);
    const QByteArrayList got = sender ? QByteArrayList{SenderAddress(text)} : RecipientAddresses(text);
    QTEST(got, "addresses");
}

void TestSmtp::port_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port");
    QTest::newRow("a number") << "2525" << 2525;
    QTest::newRow("not a number") << "abc" << 25;
    QTest::newRow("empty") << "" << 25;
    QTest::newRow("beyond the last port") << "70000" << 25;
}

void TestSmtp::port()
{
    QFETCH(QString, text);
    Scripted s;
    s.smtp.Port = text;
    s.smtp.Connect();
    QTEST(int(s.script->port), "port");
    QCOMPARE(s.script->host, QStringLiteral("mx.test"));
}

void TestSmtp::heloName_data()
{
    QTest::addColumn<QString>("local");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("name");
    QTest::newRow("short name talking to a named server") << "PC42" << "H" << "PC42.H";
    QTest::newRow("short name talking to an address") << "PC42" << "10.0.0.1" << "PC42";
    QTest::newRow("full name") << "pc42.lan" << "mx.test" << "pc42.lan";
    QTest::newRow("local address") << "192.168.1.9" << "mx.test" << "[192.168.1.9]";
}

void TestSmtp::heloName()
{
    QFETCH(QString, local);
    QFETCH(QString, host);
    QTEST(HeloName(local, host), "name");
}

void TestSmtp::misuse()
{
    // What SendMessage raises after a good HELO, with nothing more sent.
    auto raised = [](const std::function<void(TQzvMsg &)> &change) {
        Scripted s;
        s.script->pieces = greeting();
        s.smtp.Connect();
        TQzvMsg msg = plainMessage();
        change(msg);
        try {
            s.smtp.SendMessage(msg);
        } catch (const MailError &e) {
            return s.script->sent == heloLine() ? QString::fromUtf8(e.what()) : QStringLiteral("sent more");
        }
        return QString();
    };
    QCOMPARE(raised([](TQzvMsg &msg) { msg.From.clear(); }), "\"From\" field not specified.");
    QCOMPARE(raised([](TQzvMsg &msg) { msg.SendTo.clear(); }), "\"SendTo\" field not specified.");
    QCOMPARE(raised([](TQzvMsg &msg) { msg.SendTo = QStringLiteral(" , "); }), "\"SendTo\" field not specified.");
    QVERIFY(raised([](TQzvMsg &msg) { msg.SendTo = QStringLiteral("x@y.z\r\nRSET"); })
                .startsWith("Address holds a control character"));
    QVERIFY(raised([](TQzvMsg &msg) { msg.From = QStringLiteral("a@b.c\nRSET"); })
                .startsWith("Address holds a control character"));
    QCOMPARE(raised([](TQzvMsg &msg) { msg.From = QStringLiteral("nobody"), msg.RawMail.clear(); }),
             "\"From\" address not complete.");

    // Before Connect: Quit sends nothing, SendMessage raises; a refused
    // connection only sets Failed.
    Scripted s;
    s.smtp.Quit();
    TQzvMsg msg = plainMessage();
    QVERIFY_THROWS_EXCEPTION(MailError, s.smtp.SendMessage(msg));
    QVERIFY(s.script->sent.isEmpty());
    s.script->refuseOpen = true;
    s.smtp.Connect();
    QVERIFY(s.smtp.Failed());
    QVERIFY(!s.smtp.Connected());
}

void TestSmtp::progressOfLargeMessage()
{
    Scripted s;
    s.script->pieces = greeting() + transactionReplies();
    s.smtp.Connect();
    TQzvMsg msg = plainMessage();
    msg.RawMail.clear();
    for (int i = 0; i < 8000; ++i)
        msg.RawMail << QByteArray(200, 'a' + i % 26);
    QList<quint16> seen;
    s.smtp.OnSendProgress = [&](quint16 p) { seen << p; };
    int writes = 0;
    s.smtp.OnSendTextToSocket = [&](const QByteArray &) { ++writes; };
    s.smtp.SendMessage(msg);
    QVERIFY(!s.smtp.Failed());
    // 1.6 MB go out in a few large writes, not one per line, and the progress
    // climbs to 100.
    QVERIFY2(writes < 20, qPrintable(QString::number(writes)));
    QVERIFY(seen.size() >= 3);
    QVERIFY(std::is_sorted(seen.begin(), seen.end()));
    QCOMPARE(seen.last(), quint16(100));
}

void TestSmtp::tcpFaults_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<bool>("connectFails");
    QTest::addColumn<QString>("replyText");

    auto json = [](const QJsonArray &steps) { return QJsonDocument(steps).toJson(QJsonDocument::Compact); };
    const QJsonArray hello{QJsonArray{"send", "220 hi\r\n"}, QJsonArray{"line"}, QJsonArray{"send", "250 hi\r\n"}};
    QJsonArray drop = hello;
    for (const char *reply : {"250 ok\r\n", "250 ok\r\n", "354 go\r\n"}) {
        drop.append(QJsonArray{"line"});
        drop.append(QJsonArray{"send", reply});
    }
    drop.append(QJsonArray{"bytes", 100});
    drop.append(QJsonArray{"close"});
    QTest::newRow("server drops in mid-DATA") << json(drop) << false << "The server closed the connection.";
    QJsonArray silent;
    silent.append(QJsonArray{"drain"});
    QTest::newRow("server never answers") << json(silent) << true
                                          << "No answer from the server within 300 ms.";
    QTest::newRow("server closes after the greeting")
        << json({QJsonArray{"send", "220 hi\r\n"}, QJsonArray{"close"}}) << true << "The server closed the connection.";
    QTest::newRow("server closes an idle connection between messages")
        << json(hello + QJsonArray{QJsonArray{"close"}}) << false << "";
}

void TestSmtp::tcpFaults()
{
    QFETCH(QByteArray, script);
    QFETCH(bool, connectFails);
    QFETCH(QString, replyText);
    QTemporaryDir dir;
    const QString transcript = dir.filePath(QStringLiteral("got"));
    ScriptedPeer peer;
    QVERIFY(peer.start(script, transcript));

    TQzvSMTP smtp;
    smtp.TimeOut = 300;
    int yields = 0;
    smtp.ProcessEvents = [&] { ++yields; };
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(!connectLocal(smtp, peer.port), connectFails);
    if (!connectFails) {
        TQzvMsg msg = plainMessage();
        for (int i = 0; i < 3000; ++i)
            msg.RawMail << QByteArray(100, 'm');
        if (replyText.isEmpty()) {
            // The peer has gone; the client notices before writing to it.
            QTRY_VERIFY(!smtp.Connected());
            QVERIFY_THROWS_EXCEPTION(MailError, smtp.SendMessage(msg));
        } else {
            smtp.SendMessage(msg);
            QVERIFY(smtp.Failed());
        }
    }
    if (!replyText.isEmpty())
        QCOMPARE(smtp.ReplyText(), replyText);
    QVERIFY(!smtp.Connected());
    QVERIFY(yields > 0);
    QVERIFY(clock.elapsed() < 5000);
}

void TestSmtp::slowNameLookupEndsWithinTimeOut()
{
    auto transport = std::make_unique<TcpTransport>();
    // A name server that does not answer: the resolver's own limits are
    // seconds per server and attempt, beyond TimeOut.
    transport->resolve = [](const char *, const char *, const addrinfo *, addrinfo **) {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        return EAI_AGAIN;
    };
    TQzvSMTP smtp(std::move(transport));
    smtp.Host = QStringLiteral("mx.test");
    smtp.TimeOut = 300;
    int yields = 0;
    smtp.ProcessEvents = [&] { ++yields; };
    QElapsedTimer clock;
    clock.start();
    smtp.Connect();
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(smtp.Failed());
    QVERIFY(!smtp.Connected());
    QCOMPARE(smtp.ReplyText(), QStringLiteral("The name mx.test was not resolved in time."));
    // The window kept its events running while the name was looked up.
    QVERIFY(yields > 0);
}

void TestSmtp::aiosmtpdReceivesWhatWasComposed()
{
    QTemporaryDir dir;
    Aiosmtpd server;
    QVERIFY(server.start(dir.filePath(QStringLiteral("maildir"))));
    const quint16 port = server.port;
    TQzvSMTP smtp;
    QVERIFY2(connectLocal(smtp, port), qPrintable(smtp.ReplyText()));

    // A composed message whose text has lines that need stuffing, and one
    // with an attachment, on the same connection.
    QList<QByteArrayList> composed;
    TQzvMsg first;
    for (int i = 0; i < 2; ++i) {
        TQzvMsg msg = newsletterFor(i);
        msg.Text = {QStringLiteral("Hello,"), QStringLiteral("."), QStringLiteral(".. two dots"),
                    QStringLiteral(".leading"), QString(), QStringLiteral("end")};
        if (i == 1)
            msg.AttachedFiles.Add(QString::fromLocal8Bit(qgetenv("KIRVANE_SOURCE_DIR"))
                                  + "/tests/mail/protocols/scripted_peer.py");
        smtp.SendMessage(msg);
        QVERIFY2(!smtp.Failed(), qPrintable(smtp.ReplyCode() + ' ' + smtp.ReplyText()));
        composed << msg.RawMail;
        if (i == 0)
            first = msg;
    }
    // Sent again with the lines it was composed into: they go out as they
    // are, not composed again and not stuffed a second time.
    smtp.SendMessage(first);
    QVERIFY2(!smtp.Failed(), qPrintable(smtp.ReplyCode() + ' ' + smtp.ReplyText()));
    QCOMPARE(first.RawMail, composed.at(0));
    smtp.Quit();
    QVERIFY(!smtp.Failed());

    QStringList files;
    QDirIterator it(dir.filePath(QStringLiteral("maildir/new")), QDir::Files);
    while (it.hasNext())
        files << it.next();
    QCOMPARE(files.size(), 3);
    QList<QByteArrayList> received;
    for (const QString &path : files) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArrayList lines = f.readAll().split('\n');
        lines.removeLast(); // after the last line end
        // The server adds its own trace headers at the end of the header block.
        lines.removeIf([](const QByteArray &l) {
            return l.startsWith("X-Peer: ") || l.startsWith("X-MailFrom: ") || l.startsWith("X-RcptTo: ");
        });
        received << lines;
    }
    std::sort(received.begin(), received.end(), [](auto &a, auto &b) { return a.size() < b.size(); });
    for (QByteArrayList &lines : composed) {
        for (QByteArray &l : lines) {
            if (l.startsWith('.'))
                l.remove(0, 1); // the stuffing the server undoes
        }
    }
    QCOMPARE(received.at(0), composed.at(0));
    QCOMPARE(received.at(1), composed.at(0));
    QCOMPARE(received.at(2), composed.at(1));
}

void TestSmtp::smtpSinkTakesManyMessages()
{
    const quint16 port = freePort();
    Peer sink;
    // smtp-sink started by root must be told whose rights to take.
    QStringList args{QStringLiteral("127.0.0.1:%1").arg(port), "64"};
    if (::geteuid() == 0)
        args = QStringList{"-u", "nobody"} + args;
    QVERIFY(sink.startListening(QStringLiteral("/usr/sbin/smtp-sink"), args, port));
    // Named rather than numbered, so the name goes through the resolver (and
    // should it give ::1 first, where nothing listens, the next address serves).
    TQzvSMTP smtp;
    smtp.Host = QStringLiteral("localhost");
    smtp.Port = QString::number(port);
    smtp.Connect();
    QVERIFY2(!smtp.Failed(), qPrintable(smtp.ReplyText()));
    int sent = 0;
    for (int i = 0; i < 200; ++i) {
        TQzvMsg msg = newsletterFor(i);
        msg.Text = {QStringLiteral("Dear reader %1,").arg(i), QStringLiteral("news.")};
        smtp.SendMessage(msg);
        if (smtp.Failed())
            break;
        ++sent;
    }
    QCOMPARE(sent, 200);
    smtp.Quit();
    QVERIFY(!smtp.Failed());
}

QTEST_GUILESS_MAIN(TestSmtp)
#include "tst_smtp.moc"
