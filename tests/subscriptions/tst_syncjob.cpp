// The synchronisation job against a real POP3 mailbox (Dovecot) and a real
// redirection server (aiosmtpd): what each kind of message does to the books,
// the log, the forwarded copies and the mailbox, and how each failure ends.

#include "syncfixture.h"
#include "mail/protocols/testcertificates.h"
#include "settings/settings.h"

#include "contacts/bookmanager.h"
#include "mail/pop3client.h"
#include "mail/smtpclient.h"
#include "texts/texttable.h"
#include "texts/asker.h"
#include "subscriptions/syncjob.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace kirvane::common;
using namespace kirvane::contacts;
using namespace kirvane::store;
namespace mail = kirvane::mail;
using namespace kirvane::texts;
using namespace kirvane::subscriptions;
namespace texts = kirvane::texts;
using Outcome = SyncJob::Outcome;
using End = SyncJob::End;

namespace {

struct Done {
    int number;
    QString from;
    Outcome outcome;
    QString detail;
};

// The rows of a book: email -> the record.
QMap<QString, ContactRecord> rowsOf(AddressBookStore &store, const QString &book)
{
    QMap<QString, ContactRecord> rows;
    if (!BookManager(store).exists(book))
        return rows;
    for (qint64 id : store.contacts().selectIds(book, {{QStringLiteral("id"), Condition::NotIn, {}}})) {
        ContactRecord c = emptyContact();
        store.contacts().readContact(id, book, c);
        rows.insert(c[F_email].value, c);
    }
    return rows;
}

void addContact(AddressBookStore &store, const QString &book, const QString &nom, const QString &email)
{
    if (!BookManager(store).exists(book))
        QVERIFY(BookManager(store).create(book, {"a", "b", "c", "d"}).ok());
    ContactRecord c = emptyContact();
    c[F_nom].value = nom;
    c[F_email].value = email;
    QVERIFY(store.contacts().saveContact(c, book));
}

} // namespace

class TestSyncJob : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void mixedMailbox();
    void logEntryBytes();
    void forwardKeepsAttachments();
    void unsubscribeAnswers_data();
    void unsubscribeAnswers();
    void emptyMailbox();
    void cancelAfterAMessage();
    void failures_data();
    void failures();
    void mailboxOverTls_data();
    void mailboxOverTls();
    void forwardingServerDown();
    void unreadableMessageIsSkipped();
    void storeFailureEndsTheJob();
    void refusalMidwayStillQuits_data();
    void refusalMidwayStillQuits();

private:
    // Runs a job to its end; the outcomes of its messages in order.
    // onStarted is called as each message starts.
    End run(QList<Done> *done = nullptr, std::function<void(SyncJob &, int number)> onStarted = {});

    std::unique_ptr<SyncFixture> m_fx;
    AddressBookStore *m_store = nullptr;
    std::unique_ptr<mail::Pop3Client> m_pop;
    std::unique_ptr<mail::SmtpClient> m_smtp;
    ScriptedAsker m_asker;
};

void TestSyncJob::init()
{
    if (!Dovecot::canRun())
        QSKIP("Dovecot hands the mailbox to nobody, which takes root");
    m_fx = std::make_unique<SyncFixture>();
    m_store = &m_fx->store();
    m_pop = std::make_unique<mail::Pop3Client>();
    m_smtp = std::make_unique<mail::SmtpClient>();
    m_pop->timeout = m_smtp->timeout = 10000;
    m_asker.clear();
}

void TestSyncJob::cleanup()
{
    m_pop.reset();
    m_smtp.reset();
    m_fx.reset();
}

End TestSyncJob::run(QList<Done> *done, std::function<void(SyncJob &, int number)> onStarted)
{
    SyncJob job(*m_store, *m_pop, *m_smtp, m_asker);
    connect(&job, &SyncJob::messageDone, this, [&](int n, const QString &from, Outcome o, const QString &detail) {
        if (done)
            done->append({n, from, o, detail});
    });
    connect(&job, &SyncJob::messageStarted, this, [&](int n, int) {
        if (onStarted)
            onStarted(job, n);
    });
    QSignalSpy finished(&job, &SyncJob::finished);
    job.start();
    if (!finished.wait(60000))
        return End(-1);
    return job.end();
}

void TestSyncJob::mixedMailbox()
{
    SyncFixture &fx = *m_fx;
    addContact(*m_store, SyncJob::kSubscribers, QStringLiteral("Known"), QStringLiteral("known@example.net"));
    const QList<QByteArray> messages{
        mailMessage("ABONNE jean@example.net", "prenom=Jean\r\nnom=Dupont\r\nville=Lyon\r\nA line of my own\r\n"),
        mailMessage("ABONNE john@example.net", "firstname=John\r\nname=Smith\r\ncity=Leeds\r\n"),
        mailMessage("Re: ABONNE KNOWN@example.net", "nom=Again\r\n"),
        mailMessage("ABONNE empty@example.net"),
        mailMessage("ABONNE second@example.net"),
        mailMessage("Question about the newsletter", "Hello,\r\nwhen is the next issue?\r\n", "Reader <reader@example.net>",
                    "Cc: friend@example.net, other@example.net\r\n"),
        mailMessage("ABONNE nobody", "nom=NoAddress\r\n"),
        fixtureFile("dsn-failed.eml"),
        fixtureFile("dsn-postfix.eml"),
        fixtureFile("dsn-delayed.eml"),
    };
    for (const QByteArray &m : messages)
        QVERIFY(fx.pop.addMessage(m));
    QVERIFY(fx.startServers());
    QVERIFY(fx.writeConfig());

    QList<Done> done;
    QCOMPARE(run(&done), End::Done);
    QCOMPARE(done.size(), messages.size());
    const QList<Outcome> expected{Outcome::Subscribed, Outcome::Subscribed, Outcome::AlreadySubscribed,
                                  Outcome::Subscribed, Outcome::Subscribed, Outcome::Forwarded,
                                  Outcome::Forwarded, Outcome::DeliveryNotice, Outcome::DeliveryNotice,
                                  Outcome::DeliveryNotice};
    for (int i = 0; i < done.size(); ++i) {
        QCOMPARE(done[i].number, i + 1);
        QCOMPARE(done[i].outcome, expected[i]);
    }
    QCOMPARE(done[5].from, QStringLiteral("Reader <reader@example.net>"));
    QVERIFY(m_asker.questions().empty());

    // Every message processed is deleted at QUIT.
    QCOMPARE(fx.remaining(), 0);

    const auto subscribers = rowsOf(*m_store, SyncJob::kSubscribers);
    QCOMPARE(subscribers.keys(), (QStringList{"empty@example.net", "jean@example.net", "john@example.net",
                                              "known@example.net", "second@example.net"}));
    const ContactRecord &jean = subscribers["jean@example.net"];
    QCOMPARE(jean[F_nom].value, QStringLiteral("Dupont"));
    QCOMPARE(jean[F_prenom].value, QStringLiteral("Jean"));
    QCOMPARE(jean[F_ville].value, QStringLiteral("Lyon"));
    QCOMPARE(jean[F_commentaire].value, QStringLiteral("A line of my own\r\n"));
    QCOMPARE(jean[F_civilite].value, QString());
    const ContactRecord &john = subscribers["john@example.net"];
    QCOMPARE((QStringList{john[F_nom].value, john[F_prenom].value, john[F_ville].value}),
             (QStringList{"Smith", "John", "Leeds"}));
    // Without a name: the first free number, and the title stays unknown.
    QCOMPARE(subscribers["empty@example.net"][F_nom].value, QStringLiteral("0"));
    QCOMPARE(subscribers["empty@example.net"][F_civilite].value, QStringLiteral("Inconnu"));
    QCOMPARE(subscribers["second@example.net"][F_nom].value, QStringLiteral("1"));
    QCOMPARE(subscribers["known@example.net"][F_nom].value, QStringLiteral("Known"));

    // The failed-for-good addresses of both notices, once each; not the delayed ones.
    QCOMPARE(rowsOf(*m_store, SyncJob::kBounces).keys(),
             (QStringList{"full@example.net", "gone@example.net", "nobody@example.com"}));
    QCOMPARE(done[7].detail, QStringLiteral("gone@example.net, full@example.net"));
    QCOMPARE(done[9].detail, QString());
    // The bounces book is protected like the subscribers book.
    QVERIFY(BookManager(*m_store).remove(SyncJob::kBounces).refusal == BookResult::Refusal::Protected);

    // Two forwarded copies, addressed to the redirection address alone.
    const QList<QByteArray> copies = fx.forwarded();
    QCOMPARE(copies.size(), 2);
    QVERIFY(copies[0].contains("\nX-RcptTo: me@example.org\n") || copies[0].contains("\nX-RcptTo: me@example.org\r\n"));
    QVERIFY(!copies[0].contains("friend@example.net"));
    QVERIFY(!copies[0].contains("\nCc:"));
    QVERIFY(copies[0].contains("Subject: Question about the newsletter"));
    QVERIFY(copies[0].contains("when is the next issue?"));
    QVERIFY(copies[0].contains("X-Mailer: Kirvane "));
    QVERIFY(copies[1].contains("Subject: ABONNE nobody"));

    // The log says what each notice held.
    const QByteArray log = fx.log();
    QCOMPARE(log.count(QByteArray(64, '-') + "\r\n"), messages.size());
    QVERIFY(log.contains("\r\nAvis de remise : gone@example.net failed 5.1.1 -> annuaire bounces\r\n"));
    QVERIFY(log.contains("\r\nAvis de remise : later@example.net delayed 4.4.1\r\n"));
    QVERIFY(log.contains("\r\nAvis de remise : nobody@example.com failed 5.1.1 -> annuaire bounces\r\n"));
}

void TestSyncJob::logEntryBytes()
{
    SyncFixture &fx = *m_fx;
    QVERIFY(fx.pop.addMessage("From: =?ISO-8859-1?Q?Z=E9lie?= <zelie@example.net>\r\nSubject: ABONNE zelie@example.net\r\n"
                              "Content-Type: text/plain; charset=ISO-8859-1\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
                              "nom=Z\xe9lie\r\nBonjour\r\n"));
    QVERIFY(fx.pop.addMessage(mailMessage("Hello", "Hi\r\n\r\nBye\r\n")));
    QVERIFY(fx.startServers());
    QVERIFY(fx.writeConfig());
    QFile previous(fx.home() + QStringLiteral("/log.txt"));
    QVERIFY(previous.open(QIODevice::WriteOnly));
    previous.write("earlier\r\n");
    previous.close();

    QCOMPARE(run(), End::Done);
    const QByteArray log = fx.log();
    const QRegularExpression date(QStringLiteral("^\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d$"));
    const QList<QByteArray> lines = log.split('\n');
    // Appended after what was there, every line ended by CR LF.
    QCOMPARE(lines.size(), 15);
    QCOMPARE(lines.last(), QByteArray());
    for (int i = 0; i + 1 < lines.size(); ++i)
        QVERIFY2(lines[i].endsWith('\r'), lines[i].constData());
    QCOMPARE(lines[0], QByteArray("earlier\r"));
    QVERIFY(date.match(QString::fromLatin1(lines[1].chopped(1))).hasMatch());
    QCOMPARE(lines.mid(2, 5), (QList<QByteArray>{"Exp\xe9" "diteur : Z\xe9lie <zelie@example.net>\r",
                                                 "Sujet : ABONNE zelie@example.net\r", "nom=Z\xe9lie\r", "Bonjour\r",
                                                 QByteArray(64, '-') + "\r"}));
    QVERIFY(date.match(QString::fromLatin1(lines[7].chopped(1))).hasMatch());
    QCOMPARE(lines.mid(8, 6), (QList<QByteArray>{"Exp\xe9" "diteur : form@example.org\r", "Sujet : Hello\r", "Hi\r",
                                                 "\r", "Bye\r", QByteArray(64, '-') + "\r"}));
}

void TestSyncJob::forwardKeepsAttachments()
{
    SyncFixture &fx = *m_fx;
    const QByteArray pdf = QByteArray("%PDF-1.4\n") + QByteArray(3000, '\x9c') + "\n%%EOF\n";
    QVERIFY(fx.pop.addMessage(mailMessage("Order form",
                                          "--b1\r\nContent-Type: text/plain\r\n\r\nPlease see the form.\r\n"
                                          "--b1\r\nContent-Type: application/pdf; name=\"form.pdf\"\r\n"
                                          "Content-Transfer-Encoding: base64\r\n\r\n"
                                              + pdf.toBase64() + "\r\n--b1--\r\n",
                                          "Reader <reader@example.net>",
                                          "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b1\"\r\n")));
    QVERIFY(fx.startServers());
    QVERIFY(fx.writeConfig());
    QCOMPARE(run(), End::Done);
    const QList<QByteArray> copies = fx.forwarded();
    QCOMPARE(copies.size(), 1);
    // Read back by an independent reader: the text and the file's bytes.
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {"-c", "import sys, email, email.policy\n"
                        "m = email.message_from_bytes(sys.stdin.buffer.read(), policy=email.policy.default)\n"
                        "for p in m.walk():\n"
                        "    if p.get_filename():\n"
                        "        sys.stdout.buffer.write(p.get_filename().encode() + b'\\n' + p.get_content())\n"});
    QVERIFY(python.waitForStarted());
    python.write(copies[0]);
    python.closeWriteChannel();
    QVERIFY(python.waitForFinished());
    QCOMPARE(python.readAllStandardOutput(), "form.pdf\n" + pdf);
    QVERIFY(copies[0].contains("Please see the form."));
}

void TestSyncJob::unsubscribeAnswers_data()
{
    QTest::addColumn<bool>("everywhere");
    QTest::newRow("only the subscribers book") << false;
    QTest::newRow("every book") << true;
}

void TestSyncJob::unsubscribeAnswers()
{
    QFETCH(bool, everywhere);
    SyncFixture &fx = *m_fx;
    for (const QString &book : {SyncJob::kSubscribers, QStringLiteral("clients"), QStringLiteral("friends")}) {
        addContact(*m_store, book, QStringLiteral("Leaving"), QStringLiteral("leaving@example.net"));
        addContact(*m_store, book, QStringLiteral("Staying"), QStringLiteral("staying@example.net"));
    }
    QVERIFY(fx.pop.addMessage(mailMessage("DESABONNE leaving@example.net")));
    QVERIFY(fx.pop.addMessage(mailMessage("Fwd: DESABONNE leav ing@example.net")));
    QVERIFY(fx.startServers());
    QVERIFY(fx.writeConfig());

    const Answer answer = everywhere ? Answer::Yes : Answer::No;
    m_asker.answerNext(answer);
    m_asker.answerNext(answer);
    QList<Done> done;
    QCOMPARE(run(&done), End::Done);
    const Outcome outcome = everywhere ? Outcome::UnsubscribedEverywhere : Outcome::Unsubscribed;
    QCOMPARE(done.size(), 2);
    QCOMPARE(done[0].outcome, outcome);
    // The second request finds nobody left to remove, and says so.
    QCOMPARE(done[1].outcome, Outcome::UnsubscribeUnmatched);
    QCOMPARE(done[1].detail, QStringLiteral("leaving@example.net"));
    // Asked once per request.
    QCOMPARE(m_asker.texts(), QStringList(2, texts::text(texts::AskUnsubscribeEverywhere)));
    QCOMPARE(m_asker.questions()[0].kind, DialogKind::UnsubscribeEverywhere);

    QCOMPARE(rowsOf(*m_store, SyncJob::kSubscribers).keys(), QStringList{"staying@example.net"});
    for (const QString &book : {QStringLiteral("clients"), QStringLiteral("friends")}) {
        QCOMPARE(rowsOf(*m_store, book).keys(), everywhere
                                                    ? QStringList{"staying@example.net"}
                                                    : (QStringList{"leaving@example.net", "staying@example.net"}));
    }
    QCOMPARE(fx.remaining(), 0);
    QVERIFY(fx.forwarded().isEmpty());
}

void TestSyncJob::emptyMailbox()
{
    QVERIFY(m_fx->startServers());
    QVERIFY(m_fx->writeConfig());
    QCOMPARE(run(), End::Done);
    QVERIFY(m_asker.questions().empty());
    QVERIFY(m_fx->log().isEmpty());
    // Nothing was made on the way.
    QVERIFY(!BookManager(*m_store).exists(SyncJob::kSubscribers));
}

void TestSyncJob::cancelAfterAMessage()
{
    SyncFixture &fx = *m_fx;
    for (int i = 0; i < 6; ++i)
        QVERIFY(fx.pop.addMessage(mailMessage("ABONNE reader" + QByteArray::number(i) + "@example.net")));
    QVERIFY(fx.startServers());
    QVERIFY(fx.writeConfig());
    QList<Done> done;
    // Pressed while message 3 is processed: seen once it is deleted.
    QCOMPARE(run(&done, [](SyncJob &job, int number) {
                 if (number == 3)
                     job.cancel();
             }),
             End::Cancelled);
    QCOMPARE(done.size(), 3);
    QCOMPARE(fx.remaining(), 3);
    QCOMPARE(rowsOf(*m_store, SyncJob::kSubscribers).size(), 3);

    // The next run takes up where this one stopped.
    QCOMPARE(run(), End::Done);
    QCOMPARE(fx.remaining(), 0);
    QCOMPARE(rowsOf(*m_store, SyncJob::kSubscribers).size(), 6);
}

void TestSyncJob::failures_data()
{
    QTest::addColumn<bool>("serverUp");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("end");
    QTest::addColumn<QString>("notice");

    QTest::newRow("server down") << false << "secret" << int(End::ConnectFailed)
                                 << texts::text(texts::CannotConnect) + QStringLiteral("\n\nConnection refused");
    QTest::newRow("login refused") << true << "wrong" << int(End::LoginRefused)
                                   << texts::text(texts::SyncLoginRefused);
}

void TestSyncJob::failures()
{
    QFETCH(bool, serverUp);
    QFETCH(QString, password);
    QFETCH(int, end);
    QFETCH(QString, notice);
    SyncFixture &fx = *m_fx;
    QVERIFY(fx.pop.addMessage(mailMessage("ABONNE jean@example.net")));
    if (serverUp) {
        QVERIFY(fx.startServers());
        QVERIFY(fx.writeConfig(password));
    } else {
        const ClosedPort pop, smtp;
        QVERIFY(fx.writeConfig(password, pop.port, smtp.port));
    }
    QCOMPARE(int(run()), end);
    QCOMPARE(m_asker.texts(), QStringList{notice});
    QCOMPARE(m_asker.questions()[0].kind, DialogKind::SyncOk);
    QCOMPARE(fx.remaining(), 1);
    QVERIFY(fx.log().isEmpty());
    QVERIFY(rowsOf(*m_store, SyncJob::kSubscribers).isEmpty());
}

// The settings' POP3 security and CA file reach the mailbox's connection:
// STLS on the plain port, TLS from the first byte; a certificate nobody
// trusts ends the job before the login, saying why.
void TestSyncJob::mailboxOverTls_data()
{
    QTest::addColumn<QString>("security");
    QTest::addColumn<bool>("implicitPort");
    QTest::addColumn<int>("certificate");
    QTest::addColumn<int>("end");
    QTest::newRow("STLS") << "stls" << false << int(TestCertificates::Trusted) << int(End::Done);
    QTest::newRow("TLS") << "tls" << true << int(TestCertificates::Trusted) << int(End::Done);
    QTest::newRow("certificate of another CA") << "stls" << false << int(TestCertificates::OtherCa)
                                               << int(End::ConnectFailed);
}

void TestSyncJob::mailboxOverTls()
{
    static TestCertificates certs;
    static const bool made = certs.make();
    QVERIFY2(made, qPrintable(certs.error()));
    QFETCH(QString, security);
    QFETCH(bool, implicitPort);
    QFETCH(int, certificate);
    QFETCH(int, end);
    SyncFixture &fx = *m_fx;
    const auto cert = TestCertificates::Server(certificate);
    fx.pop.useTls(certs.certFile(cert), certs.keyFile(cert));
    QVERIFY(fx.pop.addMessage(mailMessage("ABONNE jean@example.net")));
    QVERIFY(fx.startServers());
    QVERIFY(fx.writeConfig(QStringLiteral("secret"), implicitPort ? fx.pop.tlsPort : 0));
    const QString config = QDir(fx.home()).filePath(QStringLiteral("config.ini"));
    kirvane::settings::Settings s;
    QVERIFY(kirvane::settings::loadSettings(s, config));
    s.popSecurity = security;
    s.caFile = certs.caFile();
    QVERIFY(kirvane::settings::saveSettings(s, config));

    QCOMPARE(int(run()), end);
    if (end == int(End::Done)) {
        QCOMPARE(fx.remaining(), 0);
        QCOMPARE(rowsOf(*m_store, SyncJob::kSubscribers).size(), 1);
        return;
    }
    QCOMPARE(fx.remaining(), 1);
    QVERIFY2(m_asker.texts().value(0).contains(QLatin1String("The certificate of 127.0.0.1 was refused")),
             qPrintable(m_asker.texts().value(0)));
}

void TestSyncJob::forwardingServerDown()
{
    SyncFixture &fx = *m_fx;
    QVERIFY(fx.pop.addMessage(mailMessage("ABONNE first@example.net")));
    QVERIFY(fx.pop.addMessage(mailMessage("Hello there")));
    QVERIFY(fx.pop.addMessage(mailMessage("ABONNE third@example.net")));
    QVERIFY(fx.pop.start());
    const ClosedPort smtp;
    QVERIFY(fx.writeConfig(QStringLiteral("secret"), 0, smtp.port));

    QList<Done> done;
    QCOMPARE(run(&done), End::ForwardFailed);
    QCOMPARE(done.size(), 1);
    QCOMPARE(m_asker.texts(), QStringList{texts::text(texts::SyncForwardFailed).arg(2)});
    // The request already applied is deleted (QUIT was sent), the message not
    // forwarded and the one after it stay.
    QCOMPARE(fx.remaining(), 2);
    QCOMPARE(rowsOf(*m_store, SyncJob::kSubscribers).keys(), QStringList{"first@example.net"});
}

void TestSyncJob::unreadableMessageIsSkipped()
{
    SyncFixture &fx = *m_fx;
    QVERIFY(fx.pop.addMessage(mailMessage("ABONNE first@example.net")));
    // A body declared uuencoded with letters outside the uu alphabet (lines
    // in a text that do not decode are only text).
    QVERIFY(fx.pop.addMessage(mailMessage("Files", "begin 644 data.bin\r\nM86)C9&5F9VAI:FML;6YO<'%R<W1U=G=X>7I!0D-$149'2$E*2TQ-3D]045)3\r\n"
                                                   "abcdefghijklmnopqrstuvwxyz\r\n`\r\nend\r\n",
                                          "form@example.org",
                                          "Content-Type: application/octet-stream; name=data.bin\r\n"
                                          "Content-Transfer-Encoding: x-uuencode\r\n")));
    QVERIFY(fx.pop.addMessage(mailMessage("ABONNE third@example.net")));
    QVERIFY(fx.startServers());
    QVERIFY(fx.writeConfig());

    QList<Done> done;
    QCOMPARE(run(&done), End::Done);
    QCOMPARE(done.size(), 3);
    QCOMPARE(done[1].number, 2);
    QCOMPARE(done[1].outcome, Outcome::Unreadable);
    QCOMPARE(m_asker.texts(), QStringList{texts::text(texts::SyncUnreadable).arg(2)});
    QCOMPARE(fx.remaining(), 1);
    QCOMPARE(rowsOf(*m_store, SyncJob::kSubscribers).size(), 2);
    QVERIFY(fx.forwarded().isEmpty());
}

void TestSyncJob::storeFailureEndsTheJob()
{
    SyncFixture &fx = *m_fx;
    QVERIFY(fx.pop.addMessage(mailMessage("Hello")));
    QVERIFY(fx.pop.addMessage(mailMessage("ABONNE jean@example.net")));
    QVERIFY(fx.pop.addMessage(mailMessage("ABONNE john@example.net")));
    QVERIFY(fx.startServers());
    QVERIFY(fx.writeConfig());
    // A book table that cannot be opened.
    QVERIFY(QDir().mkpath(m_store->files().filePath(QStringLiteral("an_subscribers.db"))));

    QList<Done> done;
    QCOMPARE(run(&done), End::Failed);
    QCOMPARE(done.size(), 1);
    QCOMPARE(m_asker.questions().size(), 1u);
    QVERIFY2(m_asker.texts()[0].startsWith(texts::text(texts::SyncFailed).arg(2).section(QLatin1Char('%'), 0, 0)),
             qPrintable(m_asker.texts()[0]));
    // The forwarded message is deleted; the request that failed and the rest stay.
    QCOMPARE(fx.forwarded().size(), 1);
    QCOMPARE(fx.remaining(), 2);
}

// A server that refuses a command about one message in mid-job (RETR, or
// DELE of a message just applied) ends the job, which still sends QUIT: the
// messages applied and deleted before are gone from the mailbox, and no
// other. A scripted mailbox, as Dovecot refuses neither.
void TestSyncJob::refusalMidwayStillQuits_data()
{
    QTest::addColumn<QString>("refused"); // the command refused
    QTest::addColumn<QStringList>("subscribers");
    QTest::newRow("RETR of the second message") << "RETR 2" << QStringList{"first@example.net"};
    QTest::newRow("DELE of the second message, applied")
        << "DELE 2" << QStringList{"first@example.net", "second@example.net"};
}

void TestSyncJob::refusalMidwayStillQuits()
{
    QFETCH(QString, refused);
    QJsonArray steps{QJsonArray{"send", "+OK ready\r\n"}};
    auto answer = [&](const QString &command, const QString &reply) {
        steps << QJsonArray{"until", command} << QJsonArray{"line"}
              << QJsonArray{"send", command == refused ? QStringLiteral("-ERR [SYS/TEMP] not now\r\n") : reply};
    };
    answer("USER ", "+OK\r\n");
    answer("PASS ", "+OK\r\n");
    answer("STAT", "+OK 3 300\r\n");
    answer("LAST", "-ERR unknown command\r\n");
    for (const char *n : {"1", "2"}) {
        const QByteArray address = n == QByteArray("1") ? "first@example.net" : "second@example.net";
        answer(QStringLiteral("LIST %1").arg(n), QStringLiteral("+OK %1 100\r\n").arg(n));
        answer(QStringLiteral("RETR %1").arg(n), "+OK\r\n" + QString::fromLatin1(mailMessage("ABONNE " + address)) + ".\r\n");
        if (refused.startsWith(QLatin1String("RETR")) && n == QByteArray("2"))
            break;
        answer(QStringLiteral("DELE %1").arg(n), "+OK\r\n");
    }
    answer("QUIT", "+OK bye\r\n");
    QTemporaryDir dir;
    const QString transcriptPath = dir.filePath(QStringLiteral("got"));
    ScriptedPeer mailbox;
    QVERIFY(mailbox.start(QJsonDocument(steps).toJson(QJsonDocument::Compact), transcriptPath));
    const ClosedPort smtp; // nothing is forwarded
    QVERIFY(m_fx->writeConfig(QStringLiteral("secret"), mailbox.port, smtp.port));

    QList<Done> done;
    QCOMPARE(run(&done), End::ConnectionLost);
    QCOMPARE(done.size(), 1);
    QCOMPARE(m_asker.texts(), QStringList{texts::text(texts::CannotConnect)});
    QTEST(rowsOf(*m_store, SyncJob::kSubscribers).keys(), "subscribers");
    // Only the first message was marked for deletion, and QUIT made it so.
    const QByteArray transcript = mailbox.transcript(transcriptPath);
    QVERIFY2(transcript.contains("DELE 1\r\n"), transcript.constData());
    QCOMPARE(transcript.count("DELE "), refused.startsWith(QLatin1String("DELE")) ? 2 : 1);
    QVERIFY2(transcript.endsWith("QUIT\r\n"), transcript.constData());
}

QTEST_GUILESS_MAIN(TestSyncJob)
#include "tst_syncjob.moc"
