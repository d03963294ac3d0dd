// kirvane-cli mail send and mail fetch against real servers: what each
// message became, the exit status, and the JSON of fetched messages.

#include "peers.h"
#include "testcertificates.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Run cli(const QStringList &args)
{
    QProcess p;
    p.start(QString::fromLocal8Bit(qgetenv("KIRVANE_BIN_DIR")) + QStringLiteral("/kirvane-cli"), args);
    Run run;
    if (!p.waitForFinished(60000))
        return run;
    run.status = p.exitCode();
    run.out = p.readAllStandardOutput();
    run.err = p.readAllStandardError();
    return run;
}

QString fixture(const char *name)
{
    return QString::fromLocal8Bit(qgetenv("KIRVANE_TEST_DATA")) + QStringLiteral("/mail/") + QLatin1String(name);
}

const QStringList messageOptions{"--from", "news@example.org", "--name", "News", "--to", "Reader <reader@example.net>",
                                 "--subject", "Issue 7", "--text", fixture("letter.txt"), "--attach",
                                 fixture("letter.txt")};

} // namespace

class TestMailNetCli : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sendRepeatsOverOneConnection();
    void sendReportsRefusals_data();
    void sendReportsRefusals();
    void fetchSkipsWhatCannotBeRead();
    void fetchPrintsAndDeletes();
    void sendSecurely_data();
    void sendSecurely();
    void fetchSecurely();
};

void TestMailNetCli::sendRepeatsOverOneConnection()
{
    QTemporaryDir dir;
    Aiosmtpd server;
    QVERIFY(server.start(dir.filePath(QStringLiteral("maildir"))));
    const quint16 port = server.port;
    const QString key = dir.filePath(QStringLiteral("news.pem"));
    QCOMPARE(QProcess::execute(QStringLiteral("openssl"), {"genpkey", "-algorithm", "ed25519", "-out", key}), 0);
    const Run run = cli(QStringList{"mail", "send", "--host", "127.0.0.1", "--port", QString::number(port),
                                    "--repeat", "3", "--dkim-key", key, "--dkim-selector", "news", "--dkim-domain",
                                    "example.org", "--list-unsubscribe", "https://example.org/u"}
                        + messageOptions);
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.out, QByteArray("message 1: accepted\nmessage 2: accepted\nmessage 3: accepted\n"));
    QCOMPARE(run.status, 0);

    // Each one composed and signed anew: three different Message-Ids and
    // signatures, each with the unsubscription headers.
    QSet<QByteArray> ids;
    QSet<QByteArray> signatures;
    QDirIterator it(dir.filePath(QStringLiteral("maildir/new")), QDir::Files);
    while (it.hasNext()) {
        QFile f(it.next());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY(text.contains("\nX-Peer: "));
        const qsizetype at = text.indexOf("Message-Id: ");
        QVERIFY(at >= 0);
        ids.insert(text.mid(at, text.indexOf('\n', at) - at));
        QVERIFY(text.contains("List-Unsubscribe: <https://example.org/u>"));
        QVERIFY(text.contains("List-Unsubscribe-Post: List-Unsubscribe=One-Click"));
        const qsizetype sig = text.indexOf(" b=");
        QVERIFY(text.startsWith("DKIM-Signature: ") || text.contains("\nDKIM-Signature: "));
        signatures.insert(text.mid(sig, 40));
    }
    QCOMPARE(ids.size(), 3);
    QCOMPARE(signatures.size(), 3);
}

void TestMailNetCli::sendReportsRefusals_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<int>("status");

    QJsonArray refuse{QJsonArray{"send", "220 hi\r\n"}};
    for (const char *reply : {"250 hi\r\n", "250 ok\r\n", "550 5.1.1 no such user\r\n"}) {
        refuse.append(QJsonArray{"line"});
        refuse.append(QJsonArray{"send", reply});
    }
    refuse.append(QJsonArray{"line"});
    QTest::newRow("recipient refused") << QJsonDocument(refuse).toJson(QJsonDocument::Compact)
                                       << QByteArray("message 1: refused: 550 5.1.1 no such user\n") << QByteArray()
                                       << QStringList() << 1;
    QJsonArray busy{QJsonArray{"send", "421 busy\r\n"}, QJsonArray{"line"}};
    QTest::newRow("greeting refused") << QJsonDocument(busy).toJson(QJsonDocument::Compact) << QByteArray()
                                      << QByteArray("kirvane-cli: cannot connect to 127.0.0.1:PORT: 421 busy\n")
                                      << QStringList() << 1;
    // The To transaction is delivered, then the CC address refused: the
    // message was accepted, and only that address is reported.
    QJsonArray cc{QJsonArray{"send", "220 hi\r\n"}};
    for (const char *reply : {"250 hi\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n"}) {
        cc.append(QJsonArray{"line"});
        cc.append(QJsonArray{"send", reply});
    }
    cc.append(QJsonArray{"until", "\r\n.\r\n"});
    cc.append(QJsonArray{"send", "250 queued\r\n"});
    for (const char *reply : {"250 reset\r\n", "250 ok\r\n", "550 5.1.1 no such user\r\n", "250 reset\r\n", "221 bye\r\n"}) {
        cc.append(QJsonArray{"line"});
        cc.append(QJsonArray{"send", reply});
    }
    QTest::newRow("CC address refused after the To transaction")
        << QJsonDocument(cc).toJson(QJsonDocument::Compact)
        << QByteArray("message 1: accepted\nmessage 1: recipient cc@example.net refused: 550 5.1.1 no such user\n")
        << QByteArray() << QStringList{"--cc", "cc@example.net"} << 2;
    // Pipelined: message 1's answer comes with message 2's replies, message
    // 2's with QUIT's; each is reported once it came.
    QJsonArray piped{QJsonArray{"send", "220 hi\r\n"}, QJsonArray{"line"},
                     QJsonArray{"send", "250-mx\r\n250 PIPELINING\r\n"}, QJsonArray{"until", "DATA\r\n"},
                     QJsonArray{"send", "250 ok\r\n250 ok\r\n354 go\r\n"}, QJsonArray{"until", "DATA\r\n"},
                     QJsonArray{"send", "554 5.7.1 spam\r\n250 ok\r\n250 ok\r\n354 go\r\n"},
                     QJsonArray{"until", "QUIT\r\n"}, QJsonArray{"send", "250 queued\r\n221 bye\r\n"}};
    QTest::newRow("pipelined: the first message refused at the end of its text")
        << QJsonDocument(piped).toJson(QJsonDocument::Compact)
        << QByteArray("message 1: refused: 554 5.7.1 spam\nmessage 2: accepted\n") << QByteArray()
        << QStringList{"--repeat", "2"} << 1;
    // The server closes after message 1's text, before its answer.
    QJsonArray dropped{QJsonArray{"send", "220 hi\r\n"}, QJsonArray{"line"},
                       QJsonArray{"send", "250-mx\r\n250 PIPELINING\r\n"}, QJsonArray{"until", "DATA\r\n"},
                       QJsonArray{"send", "250 ok\r\n250 ok\r\n354 go\r\n"}, QJsonArray{"until", "\r\n.\r\n"},
                       QJsonArray{"close"}};
    QTest::newRow("pipelined: the connection lost before the answer")
        << QJsonDocument(dropped).toJson(QJsonDocument::Compact)
        << QByteArray("message 1: no answer: The server closed the connection.\n") << QByteArray()
        << QStringList() << 1;
    // A server of the plain dialogue refuses EHLO: HELO follows on the same
    // connection, and the message goes one command at a time.
    auto plainDialogue = [](const char *greeting, const QByteArray &helloReply) {
        QJsonArray steps{QJsonArray{"send", "220 hi\r\n"}, QJsonArray{"until", greeting}, QJsonArray{"line"},
                         QJsonArray{"send", QString::fromLatin1(helloReply)}};
        if (helloReply.startsWith('5')) {
            steps.append(QJsonArray{"until", "HELO "});
            steps.append(QJsonArray{"line"});
            steps.append(QJsonArray{"send", "250 hi\r\n"});
        }
        for (const char *command : {"MAIL FROM:", "RCPT TO:", "DATA\r\n"}) {
            steps.append(QJsonArray{"until", command});
            if (command[0] != 'D')
                steps.append(QJsonArray{"line"});
            steps.append(QJsonArray{"send", command[0] == 'D' ? "354 go\r\n" : "250 ok\r\n"});
        }
        steps.append(QJsonArray{"until", "\r\n.\r\n"});
        steps.append(QJsonArray{"send", "250 queued\r\n"});
        for (const char *command : {"RSET\r\n", "QUIT\r\n"}) {
            steps.append(QJsonArray{"until", command});
            steps.append(QJsonArray{"send", command[0] == 'R' ? "250 ok\r\n" : "221 bye\r\n"});
        }
        return QJsonDocument(steps).toJson(QJsonDocument::Compact);
    };
    QTest::newRow("EHLO refused with 500: HELO follows")
        << plainDialogue("EHLO ", "500 5.5.1 command unrecognized\r\n") << QByteArray("message 1: accepted\n")
        << QByteArray() << QStringList() << 0;
    QTest::newRow("--helo: HELO alone")
        << plainDialogue("HELO ", "250 hi\r\n") << QByteArray("message 1: accepted\n") << QByteArray()
        << QStringList{"--helo"} << 0;
}

void TestMailNetCli::sendReportsRefusals()
{
    QFETCH(QByteArray, script);
    QFETCH(QByteArray, err);
    QTemporaryDir dir;
    ScriptedPeer peer;
    QVERIFY(peer.start(script, dir.filePath(QStringLiteral("got"))));
    QFETCH(QStringList, extra);
    const Run run = cli(QStringList{"mail", "send", "--host", "127.0.0.1", "--port", QString::number(peer.port)}
                        + messageOptions + extra);
    QTEST(run.out, "out");
    QCOMPARE(run.err, err.replace("PORT", QByteArray::number(peer.port)));
    QTEST(run.status, "status");
}

void TestMailNetCli::fetchSkipsWhatCannotBeRead()
{
    // Message 1 holds a part declared uuencoded that is not; message 2 is
    // ordinary. The first is reported by its number and left on the server,
    // the second is still fetched and deleted.
    const char *unreadable = "+OK\r\nSubject: one\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\n"
                             "text\r\n--b\r\nContent-Type: application/octet-stream; name=x.bin\r\n"
                             "Content-Transfer-Encoding: x-uuencode\r\n\r\nbegin 644 x.bin\r\n#0v%t\r\nend\r\n"
                             "--b--\r\n.\r\n";
    QJsonArray pop{QJsonArray{"send", "+OK ready\r\n"}};
    for (const char *reply : {"+OK\r\n", "+OK\r\n", "+OK 2 400\r\n", "+OK 0\r\n", "+OK 1 300\r\n", unreadable,
                              "+OK 2 60\r\n", "+OK\r\nSubject: two\r\n\r\nbegin 100 days of summer reading\r\n.\r\n",
                              "+OK deleted\r\n", "+OK bye\r\n"}) {
        pop.append(QJsonArray{"line"});
        pop.append(QJsonArray{"send", reply});
    }
    QTemporaryDir dir;
    ScriptedPeer peer;
    const QString transcript = dir.filePath(QStringLiteral("got"));
    QVERIFY(peer.start(QJsonDocument(pop).toJson(QJsonDocument::Compact), transcript));
    const Run run = cli({"mail", "fetch", "--host", "127.0.0.1", "--port", QString::number(peer.port), "--user", "u",
                         "--password", "p", "--delete"});
    QCOMPARE(run.status, 1);
    QCOMPARE(run.err, QByteArray("message 1 skipped: Message 1 cannot be read: Oops...\n"
                                 "kirvane-cli: 1 message(s) skipped\n"));
    const QJsonObject second = QJsonDocument::fromJson(run.out.trimmed()).object();
    QCOMPARE(second.value("subject").toString(), QStringLiteral("two"));
    QCOMPARE(second.value("text").toArray(), QJsonArray({"begin 100 days of summer reading"}));
    QCOMPARE(peer.transcript(transcript), QByteArray("USER u\r\nPASS p\r\nSTAT\r\nLAST\r\nLIST 1\r\nRETR 1\r\nLIST 2\r\nRETR 2\r\n"
                                       "DELE 2\r\nQUIT\r\n"));
}

void TestMailNetCli::fetchPrintsAndDeletes()
{
    Dovecot dovecot;
    QFile letter(fixture("received.eml"));
    QVERIFY(letter.open(QIODevice::ReadOnly));
    const QByteArray received = letter.readAll();
    QVERIFY(dovecot.addMessage(received));
    QVERIFY(dovecot.addMessage("From: b@example.org\r\nSubject: second\r\n\r\n.\r\n"));
    if (!Dovecot::canRun())
        QSKIP("Dovecot serves mail only when started by root");
    QVERIFY(dovecot.start());

    const QStringList login{"mail", "fetch", "--host", "127.0.0.1", "--port", QString::number(dovecot.port),
                            "--user", "alice"};
    const Run refused = cli(login + QStringList{"--password", "wrong"});
    QCOMPARE(refused.status, 1);
    QVERIFY(refused.err.startsWith("kirvane-cli: login refused"));

    const Run run = cli(login + QStringList{"--password", "secret", "--delete"});
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.status, 0);
    const QByteArrayList lines = run.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    const QJsonObject first = QJsonDocument::fromJson(lines.at(0)).object();
    QCOMPARE(first.value("subject").toString(), QStringLiteral("Inscription été"));
    QCOMPARE(first.value("from").toString(), QStringLiteral("Ann Lee <ann@example.org>"));
    QCOMPARE(first.value("message_id").toString(), QStringLiteral("<42@example.org>"));
    QCOMPARE(first.value("text").toArray(), QJsonArray({"ABONNE", "", "Ann"}));
    const QJsonArray files = first.value("attachments").toArray();
    QCOMPARE(files.size(), 1);
    const QJsonObject file = files.at(0).toObject();
    QCOMPARE(file.value("name").toString(), QStringLiteral("hello.txt"));
    QCOMPARE(file.value("size").toInt(), 12);
    QCOMPARE(file.value("sha256").toString(),
             QString::fromLatin1(QCryptographicHash::hash("hello world\n", QCryptographicHash::Sha256).toHex()));
    const QJsonObject second = QJsonDocument::fromJson(lines.at(1)).object();
    QCOMPARE(second.value("text").toArray(), QJsonArray({"."}));
    for (const char *key : {"sender", "to", "cc", "reply_to", "date", "content_type", "content_transfer_encoding"})
        QVERIFY2(second.contains(QLatin1String(key)), key);

    // Deleted at QUIT.
    const Run again = cli(login + QStringList{"--password", "secret"});
    QCOMPARE(again.status, 0);
    QCOMPARE(again.out, QByteArray());
}

// --security, --ca, --user and --password of mail send against aiosmtpd.
void TestMailNetCli::sendSecurely_data()
{
    QTest::addColumn<QString>("mode"); // of tls_smtpd.py
    QTest::addColumn<int>("certificate");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("err"); // its start

    const QStringList login{"--user", "alice", "--password", "s3cret"};
    const int trusted = TestCertificates::Trusted;
    QTest::newRow("STARTTLS with a login")
        << "starttls" << trusted << (QStringList{"--security", "starttls", "--ca", "CA"} + login) << 0 << QByteArray();
    QTest::newRow("TLS from the first byte, security in capitals")
        << "tls" << trusted << (QStringList{"--security", "TLS", "--ca", "CA"} + login) << 0 << QByteArray();
    QTest::newRow("certificate of another CA refused")
        << "tls" << int(TestCertificates::OtherCa) << (QStringList{"--security", "tls", "--ca", "CA"} + login) << 1
        << QByteArray("kirvane-cli: cannot connect to 127.0.0.1:PORT: The certificate of 127.0.0.1 was refused: "
                      "unable to get local issuer certificate.\n");
    QTest::newRow("no --security: the login is not sent unencrypted")
        << "plain" << trusted << login << 1
        << QByteArray("kirvane-cli: cannot connect to 127.0.0.1:PORT: The login is not sent over an unencrypted");
    QTest::newRow("--security none: the login goes unencrypted")
        << "plain" << trusted << (QStringList{"--security", "none"} + login) << 0 << QByteArray();
    QTest::newRow("unknown security") << "plain" << trusted << QStringList{"--security", "ssl"} << 1
                                      << QByteArray("kirvane-cli: --security takes none, starttls or tls\n");
}

void TestMailNetCli::sendSecurely()
{
    static TestCertificates certs;
    static const bool made = certs.make();
    QVERIFY2(made, qPrintable(certs.error()));
    QFETCH(QString, mode);
    QFETCH(int, certificate);
    QFETCH(QStringList, options);
    QFETCH(QByteArray, err);
    const auto cert = TestCertificates::Server(certificate);
    QTemporaryDir dir;
    TlsSmtpd server;
    QVERIFY(server.start(mode, certs.certFile(cert), certs.keyFile(cert), dir.filePath(QStringLiteral("maildir")),
                         {"--login", "alice:s3cret"}));
    options.replaceInStrings(QRegularExpression(QStringLiteral("^CA$")), certs.caFile());
    const Run run = cli(QStringList{"mail", "send", "--host", "127.0.0.1", "--port", QString::number(server.port)}
                        + options + messageOptions);
    QVERIFY2(run.err.startsWith(err.replace("PORT", QByteArray::number(server.port))), run.err.constData());
    QTEST(run.status, "status");
    QCOMPARE(run.out, run.status == 0 ? QByteArray("message 1: accepted\n") : QByteArray());
}

// mail fetch over STLS ("stls" standing for starttls) and over TLS.
void TestMailNetCli::fetchSecurely()
{
    TestCertificates certs;
    QVERIFY2(certs.make(), qPrintable(certs.error()));
    Dovecot dovecot;
    QVERIFY(dovecot.addMessage("From: b@example.org\r\nSubject: kept secret\r\n\r\nhello\r\n"));
    if (!Dovecot::canRun())
        QSKIP("Dovecot serves mail only when started by root");
    dovecot.useTls(certs.certFile(), certs.keyFile());
    QVERIFY(dovecot.start());
    const QStringList login{"mail", "fetch", "--host", "127.0.0.1", "--user", "alice", "--password", "secret",
                            "--ca", certs.caFile()};
    for (const auto &[security, port] :
         {std::pair{"stls", dovecot.port}, std::pair{"starttls", dovecot.port}, std::pair{"tls", dovecot.tlsPort}}) {
        const Run run = cli(login + QStringList{"--security", security, "--port", QString::number(port)});
        QCOMPARE(run.err, QByteArray());
        QCOMPARE(run.status, 0);
        QCOMPARE(QJsonDocument::fromJson(run.out.trimmed()).object().value("subject").toString(),
                 QStringLiteral("kept secret"));
    }
}

QTEST_GUILESS_MAIN(TestMailNetCli)
#include "tst_mail_net_cli.moc"
