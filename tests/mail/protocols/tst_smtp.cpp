// The SMTP client against a scripted transport (exact bytes: split and
// multi-line replies, refusals, drops, silence), a scripted TCP peer (the same
// faults on a real socket), aiosmtpd (what arrives equals what was composed)
// and Postfix's smtp-sink (many messages on one connection).

#include "mail/smtpclient.h"
#include "peers.h"
#include "scriptedtransport.h"
#include "testcertificates.h"

#include <QDirIterator>
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

QByteArray greetingLine(const char *command)
{
    return command + (' ' + heloName(QHostInfo::localHostName(), QStringLiteral("mx.test")).toUtf8()) + "\r\n";
}

// The client greets with EHLO, and with HELO after a refused EHLO or when
// told to.
QByteArray ehloLine()
{
    return greetingLine("EHLO");
}

QByteArray heloLine()
{
    return greetingLine("HELO");
}

const QByteArray body = "Subject: t\r\n\r\nbody\r\n";

// mailParameters: what MAIL carries after the address (" SIZE=20").
QByteArray transaction(const QByteArrayList &recipients, const QByteArray &mailParameters = {})
{
    QByteArray out = "MAIL FROM:<a@b.c>" + mailParameters + "\r\n";
    for (const QByteArray &r : recipients)
        out += "RCPT TO:<" + r + ">\r\n";
    return out + "DATA\r\n" + body + ".\r\nRSET\r\n";
}

MailMessage plainMessage()
{
    MailMessage msg;
    msg.from = QStringLiteral("Alice <a@b.c>");
    msg.sendTo = QStringLiteral("x@y.z");
    msg.wireLines = {"Subject: t", "", "body"};
    return msg;
}

// A message to reader i, as the sending run builds one per contact.
MailMessage newsletterFor(int i)
{
    MailMessage msg;
    msg.from = QStringLiteral("news@example.org");
    msg.userName = QStringLiteral("News");
    msg.sendTo = QStringLiteral("reader%1@example.net").arg(i);
    msg.subject = QStringLiteral("Issue for reader %1").arg(i);
    return msg;
}

// Connects to a peer on 127.0.0.1; true when it greeted.
bool connectLocal(SmtpClient &smtp, quint16 port)
{
    smtp.host = QStringLiteral("127.0.0.1");
    smtp.port = QString::number(port);
    return smtp.connectToHost();
}

struct Scripted {
    std::shared_ptr<Script> script = std::make_shared<Script>();
    SmtpClient smtp{std::make_unique<ScriptedTransport>(script)};
    Scripted()
    {
        smtp.host = QStringLiteral("mx.test");
        smtp.timeout = 200;
    }
};

} // namespace

class TestSmtp : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void dialogue_data();
    void dialogue();
    void ehlo_data();
    void ehlo();
    void security_data();
    void security();
    void sizeLimit();
    void tlsPeers_data();
    void tlsPeers();
    void recipientRefusals_data();
    void recipientRefusals();
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
    void pipelinedDialogue_data();
    void pipelinedDialogue();
    void smtpSinkTakesManyMessages_data();
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
        << (ehloLine() + one + "QUIT\r\n") << false << "221";
    QTest::newRow("multi-line EHLO reply, read to its last line")
        << (QByteArrayList{"220 mx\r\n", "250-mx.test\r\n250-SIZE 100\r\n250 HELP\r\n"} + transactionReplies()
            + QByteArrayList{"221 bye\r\n"})
        << "x@y.z" << "" << "" << 1 << (ehloLine() + transaction({"x@y.z"}, " SIZE=20") + "QUIT\r\n") << false
        << "221";
    QTest::newRow("replies split anywhere across reads")
        << (QByteArrayList{"22", "0 mx ready\r", "\n250-mx\r\n25", "0 ok\r\n", "250 ", "ok\r\n250 ok\r\n"}
            + QByteArrayList{"3", "54 go\r\n", "250 queued\r\n250 reset\r\n221", " bye\r\n"})
        << "x@y.z" << "" << "" << 1 << (ehloLine() + one + "QUIT\r\n") << false << "221";
    QTest::newRow("a bare code ends a reply")
        << (greeting() + QByteArrayList{"250\r\n", "250\r\n", "354\r\n", "250\r\n", "250\r\n", "221\r\n"})
        << "x@y.z" << "" << "" << 1 << (ehloLine() + one + "QUIT\r\n") << false << "221";
    QTest::newRow("second message follows RSET without a new HELO")
        << (greeting() + transactionReplies() + transactionReplies() + QByteArrayList{"221 bye\r\n"}) << "x@y.z"
        << "" << "" << 2 << (ehloLine() + one + one + "QUIT\r\n") << false << "221";
    QTest::newRow("To, CC and BCC each get a transaction; addresses lowered, in order")
        << (greeting() + transactionReplies(2) + transactionReplies() + transactionReplies()
            + QByteArrayList{"221 bye\r\n"})
        << "\"Xa, Yb\" <X@Y.Z> , w@v.u" << "c@d.e" << "Bo (the boss) <b@c.d>" << 1
        << (ehloLine() + transaction({"x@y.z", "w@v.u"}) + transaction({"c@d.e"}) + transaction({"b@c.d"})
            + "QUIT\r\n")
        << false << "221";
    QTest::newRow("QUIT answered otherwise than 221")
        << (greeting() + transactionReplies() + QByteArrayList{"500 what\r\n"}) << "x@y.z" << "" << "" << 1
        << (ehloLine() + one + "QUIT\r\n") << true << "500";
    QTest::newRow("greeting refused") << QByteArrayList{"554 go away\r\n"} << "x@y.z" << "" << "" << 1
                                      << QByteArray() << true << "554";
    QTest::newRow("EHLO and then HELO refused")
        << QByteArrayList{"220 hi\r\n", "501 bad name\r\n", "501 bad name\r\n"} << "x@y.z" << "" << "" << 1
        << (ehloLine() + heloLine()) << true << "501";
    QTest::newRow("silent after DATA: fails within TimeOut")
        << (greeting() + QByteArrayList{okReplies[0], okReplies[1], okReplies[2]}) << "x@y.z" << "" << "" << 1
        << (ehloLine() + "MAIL FROM:<a@b.c>\r\nRCPT TO:<x@y.z>\r\nDATA\r\n" + body + ".\r\n") << true << "";
    QTest::newRow("a reply line that never ends is cut short")
        << (greeting() + QByteArrayList{QByteArray(70 * 1024, 'x')}) << "x@y.z" << "" << "" << 1
        << (ehloLine() + "MAIL FROM:<a@b.c>\r\n") << true << "";
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
    bool ok = s.smtp.connectToHost();
    for (int i = 0; i < messages && ok; ++i) {
        MailMessage msg = plainMessage();
        msg.sendTo = to;
        msg.cc = cc;
        msg.bcc = bcc;
        ok = s.smtp.sendMessage(msg);
    }
    // The steps' results agree with the state the client keeps.
    QCOMPARE(ok, !s.smtp.failed());
    if (ok)
        s.smtp.quit();

    QTEST(s.script->sent, "sent");
    QTEST(s.smtp.failed(), "failed");
    QTEST(s.smtp.replyCode(), "replyCode");
    QVERIFY(!s.smtp.isConnected());
}

// The extended greeting: the keywords kept from EHLO's reply, and HELO again
// when a server of the plain dialogue refuses EHLO.
void TestSmtp::ehlo_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<bool>("failed");
    QTest::addColumn<QString>("replyCode");
    QTest::addColumn<bool>("extended");
    QTest::addColumn<QByteArrayList>("offered");
    QTest::addColumn<QByteArrayList>("notOffered");
    QTest::addColumn<qint64>("sizeLimit");
    QTest::addColumn<bool>("heloOnly"); // useEhlo off

    const QByteArray quit = "QUIT\r\n";
    const QByteArrayList bye{"221 bye\r\n"};
    QTest::newRow("keywords kept, in any letter case")
        << (QByteArrayList{"220 mx\r\n", "250-mx.test greets you\r\n250-SIZE 1000000\r\n250-8bitmime\r\n",
                           "250-AUTH PLAIN LOGIN\r\n250 PIPELINING\r\n"}
            + bye)
        << (ehloLine() + quit) << false << "221" << true
        << QByteArrayList{"size", "8BITMIME", "Auth", "PIPELINING"}
        << QByteArrayList{"mx.test", "PLAIN", "LOGIN", "STARTTLS", "PIPE", "SIZE 1000000"} << qint64(1000000) << false;
    QTest::newRow("a bare 250 line ends the keyword list")
        << (QByteArrayList{"220 mx\r\n", "250-mx.test\r\n250-STARTTLS\r\n250\r\n"} + bye) << (ehloLine() + quit)
        << false << "221" << true << QByteArrayList{"STARTTLS"} << QByteArrayList{"SIZE"} << qint64(0) << false;
    QTest::newRow("SIZE without a number states no limit")
        << (QByteArrayList{"220 mx\r\n", "250-mx.test\r\n250 SIZE\r\n"} + bye) << (ehloLine() + quit) << false
        << "221" << true << QByteArrayList{"SIZE"} << QByteArrayList{} << qint64(0) << false;
    QTest::newRow("a SIZE that is no number states no limit")
        << (QByteArrayList{"220 mx\r\n", "250-mx.test\r\n250 SIZE lots\r\n"} + bye) << (ehloLine() + quit)
        << false << "221" << true << QByteArrayList{"SIZE"} << QByteArrayList{} << qint64(0) << false;
    QTest::newRow("a one-line reply offers nothing")
        << (QByteArrayList{"220 mx\r\n", "250 mx.test\r\n"} + bye) << (ehloLine() + quit) << false << "221" << true
        << QByteArrayList{} << QByteArrayList{"mx.test", "SIZE"} << qint64(0) << false;
    QTest::newRow("EHLO refused with 502: HELO follows")
        << (QByteArrayList{"220 mx\r\n", "502 command not implemented\r\n", "250 hello\r\n"} + bye)
        << (ehloLine() + heloLine() + quit) << false << "221" << false << QByteArrayList{}
        << QByteArrayList{"SIZE"} << qint64(0) << false;
    QTest::newRow("EHLO refused with a multi-line 500: HELO follows")
        << (QByteArrayList{"220 mx\r\n", "500-what\r\n500 SIZE 10\r\n", "250 hello\r\n"} + bye)
        << (ehloLine() + heloLine() + quit) << false << "221" << false << QByteArrayList{}
        << QByteArrayList{"SIZE"} << qint64(0) << false;
    QTest::newRow("HELO after a refused EHLO refused too")
        << QByteArrayList{"220 mx\r\n", "500 what\r\n", "501 bad name\r\n"} << (ehloLine() + heloLine())
        << true << "501" << false << QByteArrayList{} << QByteArrayList{} << qint64(0) << false;
    QTest::newRow("421 to EHLO: the server is closing, no HELO")
        << QByteArrayList{"220 mx\r\n", "421 shutting down\r\n"} << ehloLine() << true << "421" << false
        << QByteArrayList{} << QByteArrayList{} << qint64(0) << false;
    QTest::newRow("server closes after EHLO")
        << QByteArrayList{"220 mx\r\n"} << ehloLine() << true << "" << false << QByteArrayList{} << QByteArrayList{}
        << qint64(0) << false;
    QTest::newRow("useEhlo off: HELO alone, offering nothing")
        << (QByteArrayList{"220 mx\r\n", "250 hello\r\n"} + bye) << (heloLine() + quit) << false << "221" << false
        << QByteArrayList{} << QByteArrayList{"PIPELINING"} << qint64(0) << true;
}

void TestSmtp::ehlo()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(QByteArrayList, offered);
    QFETCH(QByteArrayList, notOffered);
    Scripted s;
    s.script->pieces = pieces;
    s.script->closeWhenDone = true;
    QFETCH(bool, heloOnly);
    s.smtp.useEhlo = !heloOnly;
    const bool ready = s.smtp.connectToHost();
    QCOMPARE(ready, !s.smtp.failed());
    QTEST(s.smtp.extended(), "extended");
    for (const QByteArray &k : offered)
        QVERIFY2(s.smtp.offers(k), k.constData());
    for (const QByteArray &k : notOffered)
        QVERIFY2(!s.smtp.offers(k), k.constData());
    QTEST(s.smtp.sizeLimit(), "sizeLimit");
    if (!s.smtp.failed())
        s.smtp.quit();
    QTEST(s.script->sent, "sent");
    QTEST(s.smtp.failed(), "failed");
    QTEST(s.smtp.replyCode(), "replyCode");
}

// Encryption and login against a scripted server: the order of the steps,
// what is never sent, and the reason given when a step is not possible.
void TestSmtp::security_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<Security>("security");
    QTest::addColumn<QString>("user");
    QTest::addColumn<bool>("allowPlainTextLogin");
    QTest::addColumn<bool>("refuseTls");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<bool>("failed");
    QTest::addColumn<QString>("replyCode");
    QTest::addColumn<QString>("replyText");

    const QByteArray quit = "QUIT\r\n";
    const QByteArrayList bye{"221 bye\r\n"};
    const QByteArray plain = "AUTH PLAIN " + QByteArray("\0alice\0secret", 13).toBase64() + "\r\n";
    const QByteArray startTls = ehloLine() + "STARTTLS\r\n[TLS]" + ehloLine();
    const QByteArrayList tlsOffered{"220 mx\r\n", "250-mx\r\n250 STARTTLS\r\n", "220 go ahead\r\n"};
    QTest::newRow("STARTTLS, then EHLO again")
        << (tlsOffered + QByteArrayList{"250-mx\r\n250 SIZE 100\r\n"} + bye) << Security::StartTls << "" << false
        << false << (startTls + quit) << false << "221" << "bye";
    QTest::newRow("STARTTLS not offered: nothing more is sent")
        << QByteArrayList{"220 mx\r\n", "250-mx\r\n250 SIZE 100\r\n"} << Security::StartTls << "alice" << false
        << false << ehloLine() << true << ""
        << "The server does not offer STARTTLS; nothing was sent unencrypted.";
    QTest::newRow("EHLO refused: HELO cannot lead to STARTTLS")
        << QByteArrayList{"220 mx\r\n", "502 no\r\n", "250 hi\r\n"} << Security::StartTls << "" << false << false
        << (ehloLine() + heloLine()) << true << ""
        << "The server does not offer STARTTLS; nothing was sent unencrypted.";
    QTest::newRow("STARTTLS refused")
        << QByteArrayList{"220 mx\r\n", "250-mx\r\n250 STARTTLS\r\n", "454 TLS not available\r\n"}
        << Security::StartTls << "" << false << false << (ehloLine() + "STARTTLS\r\n") << true << "454"
        << "TLS not available";
    QTest::newRow("bytes after the reply to STARTTLS are not taken as encrypted")
        << QByteArrayList{"220 mx\r\n", "250-mx\r\n250 STARTTLS\r\n", "220 go ahead\r\n250-mx\r\n250 AUTH PLAIN\r\n"}
        << Security::StartTls << "alice" << false << false << (ehloLine() + "STARTTLS\r\n") << true << ""
        << "The server sent more after agreeing to encrypt; the connection was closed.";
    QTest::newRow("handshake after STARTTLS fails")
        << tlsOffered << Security::StartTls << "alice" << false << true << (ehloLine() + "STARTTLS\r\n[TLS]") << true
        << "" << "scripted";
    QTest::newRow("implicit TLS: the handshake comes before the greeting")
        << (QByteArrayList{"220 mx\r\n", "250 mx\r\n"} + bye) << Security::Tls << "" << false << false
        << ("[TLS]" + ehloLine() + quit) << false << "221" << "bye";
    QTest::newRow("implicit TLS handshake fails: nothing is sent")
        << QByteArrayList{"220 mx\r\n"} << Security::Tls << "alice" << false << true << QByteArray("[TLS]") << true
        << "" << "scripted";
    QTest::newRow("login with PLAIN after STARTTLS, the server's second list counting")
        << (tlsOffered + QByteArrayList{"250-mx\r\n250 AUTH LOGIN PLAIN\r\n", "235 ok\r\n"} + bye)
        << Security::StartTls << "alice" << false << false << (startTls + plain + quit) << false << "221" << "bye";
    QTest::newRow("login with LOGIN when only it is offered")
        << (QByteArrayList{"220 mx\r\n", "250-mx\r\n250 auth login\r\n", "334 VXNlcm5hbWU6\r\n",
                           "334 UGFzc3dvcmQ6\r\n", "235 ok\r\n"}
            + bye)
        << Security::Tls << "alice" << false << false
        << ("[TLS]" + ehloLine() + "AUTH LOGIN\r\nYWxpY2U=\r\nc2VjcmV0\r\n" + quit) << false << "221" << "bye";
    QTest::newRow("login refused")
        << QByteArrayList{"220 mx\r\n", "250-mx\r\n250 AUTH PLAIN\r\n", "535 5.7.8 bad credentials\r\n"}
        << Security::Tls << "alice" << false << false << ("[TLS]" + ehloLine() + plain) << true << "535"
        << "5.7.8 bad credentials";
    QTest::newRow("user name refused by LOGIN")
        << QByteArrayList{"220 mx\r\n", "250-mx\r\n250 AUTH LOGIN\r\n", "334 VXNlcm5hbWU6\r\n", "535 no\r\n"}
        << Security::Tls << "alice" << false << false << ("[TLS]" + ehloLine() + "AUTH LOGIN\r\nYWxpY2U=\r\n")
        << true << "535" << "no";
    QTest::newRow("no AUTH offered")
        << QByteArrayList{"220 mx\r\n", "250-mx\r\n250 SIZE\r\n"} << Security::Tls << "alice" << false << false
        << ("[TLS]" + ehloLine()) << true << "" << "The server does not offer a login (AUTH).";
    QTest::newRow("no known mechanism offered")
        << QByteArrayList{"220 mx\r\n", "250-mx\r\n250 AUTH CRAM-MD5 XOAUTH2\r\n"} << Security::Tls << "alice"
        << false << false << ("[TLS]" + ehloLine()) << true << ""
        << "The server offers no login method this program knows (PLAIN, LOGIN): CRAM-MD5 XOAUTH2";
    QTest::newRow("no login over an unencrypted connection unless chosen")
        << QByteArrayList{"220 mx\r\n", "250-mx\r\n250 AUTH PLAIN\r\n"} << Security::None << "alice" << false
        << false << ehloLine() << true << ""
        << "The login is not sent over an unencrypted connection; choose STARTTLS or TLS, or choose no security "
           "explicitly.";
    QTest::newRow("login over an unencrypted connection chosen explicitly")
        << (QByteArrayList{"220 mx\r\n", "250-mx\r\n250 AUTH PLAIN\r\n", "235 ok\r\n"} + bye) << Security::None
        << "alice" << true << false << (ehloLine() + plain + quit) << false << "221" << "bye";
}

void TestSmtp::security()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(Security, security);
    QFETCH(QString, user);
    QFETCH(bool, allowPlainTextLogin);
    QFETCH(bool, refuseTls);
    Scripted s;
    s.script->pieces = pieces;
    s.script->closeWhenDone = true;
    s.script->refuseTls = refuseTls;
    s.smtp.security = security;
    s.smtp.caFile = QStringLiteral("/some/ca.pem");
    s.smtp.userId = user;
    s.smtp.password = QStringLiteral("secret");
    s.smtp.allowPlainTextLogin = allowPlainTextLogin;
    QByteArray transcript;
    s.smtp.onSendTextToSocket = [&](const QByteArray &text) { transcript += text; };
    const bool ready = s.smtp.connectToHost();
    QCOMPARE(ready, !s.smtp.failed());
    QCOMPARE(s.smtp.isEncrypted(), ready && security != Security::None);
    if (ready)
        s.smtp.quit();
    QTEST(s.script->sent, "sent");
    QTEST(s.smtp.failed(), "failed");
    QTEST(s.smtp.replyCode(), "replyCode");
    QTEST(s.smtp.replyText(), "replyText");
    if (s.script->sent.contains("[TLS]"))
        QCOMPARE(s.script->caFile, QStringLiteral("/some/ca.pem"));
    // The transcript a window shows never holds the password, even encoded.
    for (const QByteArray &secret : {QByteArray("secret"), QByteArray("secret").toBase64(),
                                     QByteArray("\0alice\0secret", 13).toBase64()})
        QVERIFY(!transcript.contains(secret));
}

// A server that states a limit is told each message's size, and a message
// beyond it is refused here, not after all of it went out.
void TestSmtp::sizeLimit()
{
    Scripted s;
    s.script->pieces = QByteArrayList{"220 mx\r\n", "250-mx\r\n250 SIZE 100\r\n"} + transactionReplies();
    QVERIFY(s.smtp.connectToHost());
    QCOMPARE(s.smtp.sizeLimit(), qint64(100));

    MailMessage large = plainMessage();
    large.wireLines << QByteArray(100, 'x');
    QVERIFY(!s.smtp.sendMessage(large));
    QVERIFY(s.smtp.failed());
    QCOMPARE(s.smtp.replyCode(), QStringLiteral("552"));
    QCOMPARE(s.smtp.replyText(),
             QStringLiteral("The message of 122 bytes is larger than the server takes (100 bytes); it was not sent."));
    QCOMPARE(s.smtp.refusedRecipients().size(), 1);
    QCOMPARE(s.script->sent, ehloLine());
    QVERIFY(s.smtp.isConnected());

    // The connection serves the next message, which states its size.
    MailMessage small = plainMessage();
    QVERIFY2(s.smtp.sendMessage(small), qPrintable(s.smtp.replyText()));
    QVERIFY(s.smtp.refusedRecipients().isEmpty());
    QCOMPARE(s.script->sent, ehloLine() + "MAIL FROM:<a@b.c> SIZE=20\r\nRCPT TO:<x@y.z>\r\nDATA\r\n" + body
                                 + ".\r\nRSET\r\n");
}

// The same against aiosmtpd with certificates of a test CA: STARTTLS, TLS
// from the first byte, a login, and the certificates that must be refused.
void TestSmtp::tlsPeers_data()
{
    QTest::addColumn<QString>("mode"); // of tls_smtpd.py
    QTest::addColumn<QStringList>("peerOptions");
    QTest::addColumn<int>("certificate");
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("trustTestCa");
    QTest::addColumn<Security>("security");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("failure"); // part of replyText; empty: the message goes
    QTest::addColumn<QByteArray>("headers"); // X-Login and X-Tls as the server saw them

    const QStringList login{"--login", "alice:s3cret"};
    const int trusted = TestCertificates::Trusted;
    QTest::newRow("STARTTLS without a login")
        << "starttls" << QStringList() << trusted << "127.0.0.1" << true << Security::StartTls << "" << ""
        << "" << QByteArray("X-Login: -\r\nX-Tls: yes\r\n");
    QTest::newRow("STARTTLS by name, login with PLAIN")
        << "starttls" << login << trusted << "localhost" << true << Security::StartTls << "alice" << "s3cret"
        << "" << QByteArray("X-Login: alice\r\nX-Tls: yes\r\n");
    QTest::newRow("implicit TLS, login with LOGIN")
        << "tls" << (login + QStringList{"--only", "LOGIN"}) << trusted << "127.0.0.1" << true << Security::Tls
        << "alice" << "s3cret" << "" << QByteArray("X-Login: alice\r\nX-Tls: yes\r\n");
    QTest::newRow("wrong password: AUTH refused")
        << "starttls" << login << trusted << "127.0.0.1" << true << Security::StartTls << "alice" << "wrong"
        << "535 " << QByteArray();
    QTest::newRow("certificate of another CA refused with its reason")
        << "starttls" << QStringList() << int(TestCertificates::OtherCa) << "127.0.0.1" << true
        << Security::StartTls << "" << "" << "The certificate of 127.0.0.1 was refused: unable to get local issuer"
        << QByteArray();
    QTest::newRow("test CA not trusted: the system's store alone does not know it")
        << "tls" << QStringList() << trusted << "127.0.0.1" << false << Security::Tls << "" << ""
        << "The certificate of 127.0.0.1 was refused: unable to get local issuer" << QByteArray();
    QTest::newRow("certificate for another address refused")
        << "tls" << QStringList() << int(TestCertificates::OtherName) << "127.0.0.1" << true << Security::Tls << ""
        << "" << "The certificate of 127.0.0.1 was refused: IP address mismatch." << QByteArray();
    QTest::newRow("certificate for another name refused")
        << "starttls" << QStringList() << int(TestCertificates::OtherName) << "localhost" << true
        << Security::StartTls << "" << "" << "The certificate of localhost was refused: hostname mismatch."
        << QByteArray();
    QTest::newRow("implicit TLS to a server that speaks plain text")
        << "plain" << QStringList() << trusted << "127.0.0.1" << true << Security::Tls << "" << ""
        << "The TLS handshake with 127.0.0.1 failed" << QByteArray();
    QTest::newRow("STARTTLS asked of a server without it")
        << "plain" << login << trusted << "127.0.0.1" << true << Security::StartTls << "alice" << "s3cret"
        << "The server does not offer STARTTLS" << QByteArray();
    QTest::newRow("no security chosen explicitly: the login goes unencrypted")
        << "plain" << login << trusted << "127.0.0.1" << true << Security::None << "alice" << "s3cret" << ""
        << QByteArray("X-Login: alice\r\nX-Tls: no\r\n");
}

void TestSmtp::tlsPeers()
{
    static TestCertificates certs;
    static const bool made = certs.make();
    QVERIFY2(made, qPrintable(certs.error()));
    QFETCH(QString, mode);
    QFETCH(QStringList, peerOptions);
    QFETCH(int, certificate);
    QFETCH(QString, failure);
    const auto cert = TestCertificates::Server(certificate);

    QTemporaryDir dir;
    const QString maildir = dir.filePath(QStringLiteral("maildir"));
    TlsSmtpd peer;
    QVERIFY(peer.start(mode, certs.certFile(cert), certs.keyFile(cert), maildir, peerOptions));
    const quint16 port = peer.port;

    SmtpClient smtp;
    smtp.timeout = 5000;
    QFETCH(QString, host);
    smtp.host = host;
    smtp.port = QString::number(port);
    QFETCH(Security, security);
    smtp.security = security;
    QFETCH(bool, trustTestCa);
    if (trustTestCa)
        smtp.caFile = certs.caFile();
    QFETCH(QString, user);
    QFETCH(QString, password);
    smtp.userId = user;
    smtp.password = password;
    smtp.allowPlainTextLogin = security == Security::None;
    const bool ready = smtp.connectToHost();
    QCOMPARE(ready, !smtp.failed());
    const QString said = smtp.replyCode() + u' ' + smtp.replyText();
    if (!failure.isEmpty()) {
        QVERIFY(smtp.failed());
        QVERIFY2(said.contains(failure), qPrintable(said));
        QVERIFY(!smtp.isConnected());
        return;
    }
    QVERIFY2(!smtp.failed(), qPrintable(said));
    QCOMPARE(smtp.isEncrypted(), security != Security::None);
    MailMessage msg = plainMessage();
    QVERIFY2(smtp.sendMessage(msg), qPrintable(smtp.replyCode() + u' ' + smtp.replyText()));
    smtp.quit();
    QVERIFY2(!smtp.failed(), qPrintable(smtp.replyCode() + u' ' + smtp.replyText()));

    const QStringList files = QDir(maildir + QStringLiteral("/new")).entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    QFile f(maildir + QStringLiteral("/new/") + files.first());
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray got = f.readAll();
    QTEST(got.left(got.indexOf("Subject:")), "headers");
}

// Which addresses got the message and whether the message itself was taken:
// it is accepted once the server answered 250 to the end of its text, and a
// refused address is that address's refusal alone.
void TestSmtp::recipientRefusals_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("cc");
    QTest::addColumn<QString>("bcc");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<bool>("failed");
    QTest::addColumn<QString>("replyCode");
    QTest::addColumn<QStringList>("refused");
    QTest::addColumn<bool>("connected");

    const QByteArray one = transaction({"x@y.z"});
    const QByteArray quit = "QUIT\r\n";
    QTest::newRow("251 to RCPT TO is a success")
        << (greeting()
            + QByteArrayList{"250 ok\r\n", "251 user not local; will forward\r\n", "354 go\r\n", "250 queued\r\n",
                             "250 reset\r\n", "221 bye\r\n"})
        << "x@y.z" << "" << "" << (ehloLine() + one + quit) << false << "221" << QStringList() << false;
    QTest::newRow("one of two To addresses refused: the other gets it")
        << (greeting()
            + QByteArrayList{"250 ok\r\n", "550 no such user\r\n", "250 ok\r\n", "354 go\r\n", "250 queued\r\n",
                             "250 reset\r\n", "221 bye\r\n"})
        << "w@v.u, x@y.z" << "" << "" << (ehloLine() + transaction({"w@v.u", "x@y.z"}) + quit) << false << "221"
        << QStringList{"w@v.u 550 no such user"} << false;
    QTest::newRow("refused CC address after the To transaction: the message is accepted")
        << (greeting() + transactionReplies()
            + QByteArrayList{"250 ok\r\n", "550 no such user\r\n", "250 reset\r\n"} + transactionReplies()
            + QByteArrayList{"221 bye\r\n"})
        << "x@y.z" << "c@d.e" << "b@c.d"
        << (ehloLine() + one + "MAIL FROM:<a@b.c>\r\nRCPT TO:<c@d.e>\r\nRSET\r\n" + transaction({"b@c.d"}) + quit)
        << false << "221" << QStringList{"c@d.e 550 no such user"} << false;
    QTest::newRow("a CC transaction refused after the To one: CC and BCC did not get it")
        << (greeting() + transactionReplies() + QByteArrayList{"550 no\r\n"}) << "x@y.z" << "c@d.e" << "b@c.d"
        << (ehloLine() + one + "MAIL FROM:<a@b.c>\r\n") << false << "250" << QStringList{"c@d.e 550 no", "b@c.d 550 no"}
        << false;
    QTest::newRow("RSET refused after the message was taken")
        << (greeting() + QByteArrayList{"250 ok\r\n", "250 ok\r\n", "354 go\r\n", "250 queued as 7\r\n",
                                        "502 no RSET here\r\n"})
        << "x@y.z" << "" << "" << (ehloLine() + one) << false << "250" << QStringList() << false;
    QTest::newRow("no answer to RSET after the message was taken")
        << (greeting() + QByteArrayList{"250 ok\r\n", "250 ok\r\n", "354 go\r\n", "250 queued as 7\r\n"})
        << "x@y.z" << "" << "" << (ehloLine() + one) << false << "250" << QStringList() << false;
    QTest::newRow("every address refused: the message is refused")
        << (greeting() + QByteArrayList{"250 ok\r\n", "550 no such user\r\n", "250 reset\r\n"}) << "x@y.z" << ""
        << "" << (ehloLine() + "MAIL FROM:<a@b.c>\r\nRCPT TO:<x@y.z>\r\nRSET\r\n") << true << "550"
        << QStringList{"x@y.z 550 no such user"} << false;
    QTest::newRow("end of DATA refused: the message is refused")
        << (greeting() + QByteArrayList{"250 ok\r\n", "250 ok\r\n", "354 go\r\n", "554 spam\r\n"}) << "x@y.z"
        << "" << "" << (ehloLine() + "MAIL FROM:<a@b.c>\r\nRCPT TO:<x@y.z>\r\nDATA\r\n" + body + ".\r\n")
        << true << "554" << QStringList{"x@y.z 554 spam"} << false;
}

void TestSmtp::recipientRefusals()
{
    QFETCH(QByteArrayList, pieces);
    Scripted s;
    s.script->pieces = pieces;
    QVERIFY(s.smtp.connectToHost());
    MailMessage msg = plainMessage();
    QFETCH(QString, to);
    QFETCH(QString, cc);
    QFETCH(QString, bcc);
    msg.sendTo = to;
    msg.cc = cc;
    msg.bcc = bcc;
    const bool failed = !s.smtp.sendMessage(msg);
    QCOMPARE(failed, s.smtp.failed());
    const QString code = s.smtp.replyCode();
    QStringList refused;
    for (const SmtpClient::RefusedRecipient &r : s.smtp.refusedRecipients())
        refused << QString::fromUtf8(r.address) + u' ' + r.code + u' ' + r.text;
    if (s.smtp.isConnected())
        s.smtp.quit();

    QTEST(s.script->sent, "sent");
    QTEST(failed, "failed");
    QTEST(failed ? code : s.smtp.replyCode(), "replyCode");
    QTEST(refused, "refused");
    QTEST(s.smtp.isConnected(), "connected");
}

void TestSmtp::dataLines_data()
{
    QTest::addColumn<QByteArrayList>("wireLines");
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
    QFETCH(QByteArrayList, wireLines);
    Scripted s;
    s.script->pieces = greeting() + transactionReplies();
    QVERIFY(s.smtp.connectToHost());
    MailMessage msg = plainMessage();
    msg.wireLines = wireLines;
    QVERIFY(s.smtp.sendMessage(msg));
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
    const QByteArrayList got = sender ? QByteArrayList{senderAddress(text)} : recipientAddresses(text);
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
    s.smtp.port = text;
    (void)s.smtp.connectToHost(); // only where it connects matters
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
    QTEST(kirvane::mail::heloName(local, host), "name");
}

void TestSmtp::misuse()
{
    // What sendMessage raises after a good HELO, with nothing more sent.
    auto raised = [](const std::function<void(MailMessage &)> &change) {
        Scripted s;
        s.script->pieces = greeting();
        if (!s.smtp.connectToHost())
            return QStringLiteral("not connected");
        MailMessage msg = plainMessage();
        change(msg);
        try {
            (void)s.smtp.sendMessage(msg);
        } catch (const MailError &e) {
            return s.script->sent == ehloLine() ? QString::fromUtf8(e.what()) : QStringLiteral("sent more");
        }
        return QString();
    };
    QCOMPARE(raised([](MailMessage &msg) { msg.from.clear(); }), "\"From\" field not specified.");
    QCOMPARE(raised([](MailMessage &msg) { msg.sendTo.clear(); }), "\"SendTo\" field not specified.");
    QCOMPARE(raised([](MailMessage &msg) { msg.sendTo = QStringLiteral(" , "); }), "\"SendTo\" field not specified.");
    QVERIFY(raised([](MailMessage &msg) { msg.sendTo = QStringLiteral("x@y.z\r\nRSET"); })
                .startsWith("Address holds a control character"));
    QVERIFY(raised([](MailMessage &msg) { msg.from = QStringLiteral("a@b.c\nRSET"); })
                .startsWith("Address holds a control character"));
    QCOMPARE(raised([](MailMessage &msg) { msg.from = QStringLiteral("nobody"), msg.wireLines.clear(); }),
             "\"From\" address not complete.");

    // Before connectToHost(): quit() sends nothing, sendMessage raises; a refused
    // connection only sets failed().
    Scripted s;
    s.smtp.quit();
    MailMessage msg = plainMessage();
    QVERIFY_THROWS_EXCEPTION(MailError, (void)s.smtp.sendMessage(msg));
    QVERIFY(s.script->sent.isEmpty());
    s.script->refuseOpen = true;
    QVERIFY(!s.smtp.connectToHost());
    QVERIFY(s.smtp.failed());
    QVERIFY(!s.smtp.isConnected());
}

void TestSmtp::progressOfLargeMessage()
{
    Scripted s;
    s.script->pieces = greeting() + transactionReplies();
    QVERIFY(s.smtp.connectToHost());
    MailMessage msg = plainMessage();
    msg.wireLines.clear();
    for (int i = 0; i < 8000; ++i)
        msg.wireLines << QByteArray(200, 'a' + i % 26);
    QList<quint16> seen;
    s.smtp.onSendProgress = [&](quint16 p) { seen << p; };
    int writes = 0;
    s.smtp.onSendTextToSocket = [&](const QByteArray &) { ++writes; };
    QVERIFY(s.smtp.sendMessage(msg));
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
    // A peer that keeps a reply going with a continuation line every 10 ms
    // for 8 s: the limit holds for the whole reply, not for each read.
    QJsonArray drip{QJsonArray{"send", "220 hi\r\n"}, QJsonArray{"line"}};
    for (int i = 0; i < 800; ++i) {
        drip.append(QJsonArray{"send", "250-still talking\r\n"});
        drip.append(QJsonArray{"sleep", 0.01});
    }
    QTest::newRow("server keeps a reply going") << json(drip) << true << "No answer from the server within 300 ms.";
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

    SmtpClient smtp;
    smtp.timeout = 300;
    QCOMPARE(!connectLocal(smtp, peer.port), connectFails);
    if (!connectFails) {
        MailMessage msg = plainMessage();
        for (int i = 0; i < 3000; ++i)
            msg.wireLines << QByteArray(100, 'm');
        if (replyText.isEmpty()) {
            // The peer has gone; the client notices before writing to it.
            QTRY_VERIFY(!smtp.isConnected());
            QVERIFY_THROWS_EXCEPTION(MailError, (void)smtp.sendMessage(msg));
        } else {
            QVERIFY(!smtp.sendMessage(msg));
            QVERIFY(smtp.failed());
        }
    }
    if (!replyText.isEmpty())
        QCOMPARE(smtp.replyText(), replyText);
    QVERIFY(!smtp.isConnected());
}

void TestSmtp::slowNameLookupEndsWithinTimeOut()
{
    auto transport = std::make_unique<TcpTransport>();
    // A name server that does not answer: the resolver's own limits are
    // seconds per server and attempt, beyond timeout.
    transport->resolve = [](const char *, const char *, const addrinfo *, addrinfo **) {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        return EAI_AGAIN;
    };
    SmtpClient smtp(std::move(transport));
    smtp.host = QStringLiteral("mx.test");
    smtp.timeout = 300;
    QVERIFY(!smtp.connectToHost());
    // The resolver's own answer, three seconds on, would say it failed
    // rather than that it took too long.
    QVERIFY(smtp.failed());
    QVERIFY(!smtp.isConnected());
    QCOMPARE(smtp.replyText(), QStringLiteral("The name mx.test was not resolved in time."));
}

void TestSmtp::aiosmtpdReceivesWhatWasComposed()
{
    QTemporaryDir dir;
    Aiosmtpd server;
    QVERIFY(server.start(dir.filePath(QStringLiteral("maildir"))));
    const quint16 port = server.port;
    SmtpClient smtp;
    QVERIFY2(connectLocal(smtp, port), qPrintable(smtp.replyText()));

    // A composed message whose text has lines that need stuffing, and one
    // with an attachment, on the same connection.
    QList<QByteArrayList> composed;
    MailMessage first;
    for (int i = 0; i < 2; ++i) {
        MailMessage msg = newsletterFor(i);
        msg.text = {QStringLiteral("Hello,"), QStringLiteral("."), QStringLiteral(".. two dots"),
                    QStringLiteral(".leading"), QString(), QStringLiteral("end")};
        if (i == 1)
            msg.attachments.add(QString::fromLocal8Bit(qgetenv("KIRVANE_SOURCE_DIR"))
                                  + "/tests/mail/protocols/scripted_peer.py");
        QVERIFY2(smtp.sendMessage(msg), qPrintable(smtp.replyCode() + ' ' + smtp.replyText()));
        composed << msg.wireLines;
        if (i == 0)
            first = msg;
    }
    // Sent again with the lines it was composed into: they go out as they
    // are, not composed again and not stuffed a second time.
    QVERIFY2(smtp.sendMessage(first), qPrintable(smtp.replyCode() + ' ' + smtp.replyText()));
    QCOMPARE(first.wireLines, composed.at(0));
    smtp.quit();
    QVERIFY(!smtp.failed());

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

void TestSmtp::smtpSinkTakesManyMessages_data()
{
    QTest::addColumn<bool>("ehlo");
    QTest::newRow("HELO, one command at a time") << false;
    QTest::newRow("EHLO, pipelined") << true;
}

void TestSmtp::smtpSinkTakesManyMessages()
{
    QFETCH(bool, ehlo);
    Peer sink;
    // smtp-sink started by root must be told whose rights to take.
    QStringList args{QStringLiteral("127.0.0.1:0"), "64"};
    if (::geteuid() == 0)
        args = QStringList{"-u", "nobody"} + args;
    const quint16 port = sink.startOnAnyPort(QStringLiteral("/usr/sbin/smtp-sink"), args);
    QVERIFY(port != 0);
    // Named rather than numbered, so the name goes through the resolver (and
    // should it give ::1 first, where nothing listens, the next address serves).
    SmtpClient smtp;
    smtp.useEhlo = ehlo;
    smtp.host = QStringLiteral("localhost");
    smtp.port = QString::number(port);
    QVERIFY2(smtp.connectToHost(), qPrintable(smtp.replyText()));
    QCOMPARE(smtp.pipelines(), ehlo);
    // Taken: answered 250, at once or with the next message's replies.
    int taken = 0;
    auto settled = [&] {
        if (const auto answer = smtp.takeSettled())
            taken += answer->accepted ? 1 : 0;
    };
    for (int i = 0; i < 200; ++i) {
        MailMessage msg = newsletterFor(i);
        msg.text = {QStringLiteral("Dear reader %1,").arg(i), QStringLiteral("news.")};
        const bool handedOver = smtp.sendMessage(msg);
        settled();
        if (!handedOver)
            break;
        QCOMPARE(smtp.hasPending(), ehlo);
        taken += smtp.hasPending() ? 0 : 1;
    }
    smtp.quit();
    settled();
    QVERIFY(!smtp.failed());
    QCOMPARE(taken, 200);
}

// With PIPELINING offered after EHLO: what goes out in which write, and what
// each message's outcome is and when it is known. Each entry of messages is
// a To list, with "|" before a CC list; events says, message by message, the
// answer about the message before it (once known) and its own state, then
// QUIT.
void TestSmtp::pipelinedDialogue_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<bool>("closeAtEnd");
    QTest::addColumn<bool>("pipelining");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<int>("writes");
    QTest::addColumn<QStringList>("events");

    const QByteArrayList hello{"220 mx.test ready\r\n", "250-mx.test\r\n250-PIPELINING\r\n250 SIZE 1000000\r\n"};
    // The server offers SIZE: MAIL states the message's 20 bytes.
    auto commands = [](const QByteArrayList &recipients) {
        QByteArray out = "MAIL FROM:<a@b.c> SIZE=20\r\n";
        for (const QByteArray &r : recipients)
            out += "RCPT TO:<" + r + ">\r\n";
        return out + "DATA\r\n";
    };
    const QByteArray end = body + ".\r\n";
    const QByteArray ok3 = "250 ok\r\n250 ok\r\n354 go\r\n";

    QTest::newRow("two messages: the text goes with the next commands, the last end with QUIT")
        << (hello + QByteArrayList{ok3, "250 queued 1\r\n" + ok3, "250 queued 2\r\n221 bye\r\n"}) << false << true
        << QStringList{"x@y.z", "w@v.u"}
        << (ehloLine() + commands({"x@y.z"}) + end + commands({"w@v.u"}) + end + "QUIT\r\n") << 4
        << QStringList{"pending", "taken 250", "pending", "taken 250", "quit"};
    QTest::newRow("replies split anywhere and run together")
        << QByteArrayList{"220 mx\r\n250-mx.test\r\n250-PIPELIN", "ING\r\n250 SIZE 100000\r\n25", "0 ok\r\n250 ok\r",
                          "\n354 go\r\n250 queued 1\r\n250 ok\r\n250 ok\r\n354", " go\r\n", "250 queued 2\r\n2",
                          "21 bye\r\n"}
        << false << true << QStringList{"x@y.z", "w@v.u"}
        << (ehloLine() + commands({"x@y.z"}) + end + commands({"w@v.u"}) + end + "QUIT\r\n") << 4
        << QStringList{"pending", "taken 250", "pending", "taken 250", "quit"};
    QTest::newRow("the second message's RCPT refused: that message refused as without pipelining")
        << (hello
            + QByteArrayList{ok3, "250 queued 1\r\n250 ok\r\n550 no such user\r\n554 no valid recipients\r\n",
                             "250 reset\r\n"})
        << false << true << QStringList{"x@y.z", "w@v.u", "v@u.t"}
        << (ehloLine() + commands({"x@y.z"}) + end + commands({"w@v.u"}) + "RSET\r\n") << 4
        << QStringList{"pending", "taken 250", "refused 550 (w@v.u 550)"};
    QTest::newRow("the second RCPT of a batch refused: the other address gets it")
        << (hello + QByteArrayList{"250 ok\r\n250 ok\r\n550 no such user\r\n354 go\r\n", "250 queued\r\n221 bye\r\n"})
        << false << true << QStringList{"x@y.z, w@v.u"}
        << (ehloLine() + commands({"x@y.z", "w@v.u"}) + end + "QUIT\r\n") << 3
        << QStringList{"pending (w@v.u 550)", "taken 250", "quit"};
    QTest::newRow("DATA taken though no recipient was: a lone dot ends it")
        << (hello + QByteArrayList{"250 ok\r\n550 no such user\r\n354 go\r\n", "554 no recipients\r\n", "250 reset\r\n"})
        << false << true << QStringList{"x@y.z"} << (ehloLine() + commands({"x@y.z"}) + ".\r\nRSET\r\n") << 4
        << QStringList{"refused 550 (x@y.z 550)"};
    QTest::newRow("the end of the first message refused: known with the second's replies")
        << (hello + QByteArrayList{ok3, "554 5.7.1 spam\r\n" + ok3, "250 queued 2\r\n221 bye\r\n"}) << false << true
        << QStringList{"x@y.z", "w@v.u"}
        << (ehloLine() + commands({"x@y.z"}) + end + commands({"w@v.u"}) + end + "QUIT\r\n") << 4
        << QStringList{"pending", "refused 554", "pending", "taken 250", "quit"};
    QTest::newRow("MAIL of the second message refused: every reply of the batch read, the client fails")
        << (hello + QByteArrayList{ok3, "250 queued 1\r\n451 try later\r\n503 no MAIL\r\n503 no MAIL\r\n"}) << false
        << true << QStringList{"x@y.z", "w@v.u"} << (ehloLine() + commands({"x@y.z"}) + end + commands({"w@v.u"}))
        << 3 << QStringList{"pending", "taken 250", "refused 451 (w@v.u 451)"};
    QTest::newRow("the server closes in the middle of a batch: the first message unanswered")
        << (hello + QByteArrayList{ok3}) << true << true << QStringList{"x@y.z", "w@v.u"}
        << (ehloLine() + commands({"x@y.z"}) + end + commands({"w@v.u"})) << 3
        << QStringList{"pending", "unanswered: The server closed the connection.",
                       "failed: The server closed the connection. (w@v.u)"};
    QTest::newRow("the server closes before the last end's reply")
        << (hello + QByteArrayList{ok3}) << true << true << QStringList{"x@y.z"}
        << (ehloLine() + commands({"x@y.z"}) + end + "QUIT\r\n") << 3
        << QStringList{"pending", "unanswered: The server closed the connection.", "quit failed"};
    QTest::newRow("a message with a CC list: each end read before the next transaction, no RSET")
        << (hello + QByteArrayList{ok3, "250 queued\r\n", ok3, "250 queued\r\n", "221 bye\r\n"}) << false << true
        << QStringList{"x@y.z|c@d.e"}
        << (ehloLine() + commands({"x@y.z"}) + end + commands({"c@d.e"}) + end + "QUIT\r\n") << 6
        << QStringList{"sent 250", "quit"};
    QTest::newRow("pipelining switched off: one command at a time, RSET after each")
        << (hello + transactionReplies() + QByteArrayList{"221 bye\r\n"}) << false << false << QStringList{"x@y.z"}
        << (ehloLine() + transaction({"x@y.z"}, " SIZE=20") + "QUIT\r\n") << 7 << QStringList{"sent 250", "quit"};
    QTest::newRow("EHLO without PIPELINING: one command at a time, RSET after each")
        << (QByteArrayList{"220 mx.test ready\r\n", "250-mx.test\r\n250 SIZE 1000\r\n"} + transactionReplies()
            + QByteArrayList{"221 bye\r\n"})
        << false << true << QStringList{"x@y.z"} << (ehloLine() + transaction({"x@y.z"}, " SIZE=20") + "QUIT\r\n") << 7
        << QStringList{"sent 250", "quit"};
}

void TestSmtp::pipelinedDialogue()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(bool, closeAtEnd);
    QFETCH(bool, pipelining);
    QFETCH(QStringList, messages);
    Scripted s;
    s.script->pieces = pieces;
    s.script->closeWhenDone = closeAtEnd;
    s.smtp.pipelining = pipelining;
    int writes = 0;
    s.smtp.onSendTextToSocket = [&](const QByteArray &) { ++writes; };
    QStringList events;
    auto settled = [&] {
        if (const auto answer = s.smtp.takeSettled()) {
            events << (!answer->answered ? "unanswered: " + answer->text
                       : answer->accepted ? "taken " + answer->code
                                          : "refused " + answer->code);
        }
    };
    QVERIFY(s.smtp.connectToHost());
    for (const QString &m : std::as_const(messages)) {
        MailMessage msg = plainMessage();
        msg.sendTo = m.section(u'|', 0, 0);
        msg.cc = m.section(u'|', 1);
        const bool handedOver = s.smtp.sendMessage(msg);
        QCOMPARE(handedOver, !s.smtp.failed());
        settled();
        QStringList refused;
        for (const SmtpClient::RefusedRecipient &r : s.smtp.refusedRecipients())
            refused << (QString::fromUtf8(r.address) + u' ' + r.code).trimmed();
        QString state = s.smtp.failed() ? (s.smtp.replyCode().isEmpty() ? "failed: " + s.smtp.replyText()
                                                                          : "refused " + s.smtp.replyCode())
                        : s.smtp.hasPending() ? QStringLiteral("pending")
                                              : "sent " + s.smtp.replyCode();
        if (!refused.isEmpty())
            state += " (" + refused.join(", ") + ')';
        events << state;
        if (s.smtp.failed())
            break;
    }
    if (!s.smtp.failed()) {
        s.smtp.quit();
        settled();
        events << (s.smtp.failed() ? "quit failed" : "quit");
    }
    QTEST(events, "events");
    QTEST(s.script->sent, "sent");
    QTEST(writes, "writes");
    QVERIFY(!s.smtp.hasPending());
    QVERIFY(!s.smtp.takeSettled());
}

QTEST_GUILESS_MAIN(TestSmtp)
#include "tst_smtp.moc"
