// The pieces the synchronisation reads and writes without a server: requests
// in a Subject, the contact in a subscribe request's body, delivery notices,
// and the log entry.

#include "subscriptions/deliverystatus.h"
#include "subscriptions/subscriptionrequest.h"
#include "subscriptions/synclog.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kirvane::store;
using namespace kirvane::subscriptions;
using Kind = SubscriptionRequest::Kind;

namespace {

QList<QByteArray> fixtureLines(const char *name)
{
    QFile f(QString::fromLocal8Bit(qgetenv("KIRVANE_SOURCE_DIR")) + QStringLiteral("/tests/subscriptions/data/")
            + QLatin1String(name));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = f.readAll().split('\n');
    for (QByteArray &l : lines) {
        if (l.endsWith('\r'))
            l.chop(1);
    }
    return lines;
}

} // namespace

class TestSubscriptionParts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void requestFromSubject_data();
    void requestFromSubject();
    void contactFromBody_data();
    void contactFromBody();
    void emptyBodyKeepsTheRecord();
    void deliveryNotices();
    void notADeliveryNotice_data();
    void notADeliveryNotice();
    void logEntryBytes();
    void logAppends();
};

void TestSubscriptionParts::requestFromSubject_data()
{
    QTest::addColumn<QString>("subject");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("incomplete");

    QTest::newRow("subscribe") << "ABONNE jean@example.org" << int(Kind::Subscribe) << "jean@example.org" << false;
    QTest::newRow("unsubscribe") << "DESABONNE jean@example.org" << int(Kind::Unsubscribe) << "jean@example.org" << false;
    QTest::newRow("reply prefix is not part of the address")
        << "Re: ABONNE jean@example.org" << int(Kind::Subscribe) << "jean@example.org" << false;
    QTest::newRow("spaces inside the address go, stored and checked alike")
        << "ABONNE jean @example. org" << int(Kind::Subscribe) << "jean@example.org" << false;
    QTest::newRow("unsubscribe with spaces") << "Fwd: DESABONNE  a @b.org " << int(Kind::Unsubscribe) << "a@b.org" << false;
    QTest::newRow("lower case is not a request") << "abonne jean@example.org" << int(Kind::None) << "" << false;
    QTest::newRow("ordinary mail") << "Question about issue 7" << int(Kind::None) << "" << false;
    QTest::newRow("keyword without address is forwarded") << "ABONNEMENT" << int(Kind::None) << "" << true;
    QTest::newRow("address without @ is forwarded") << "ABONNE jean" << int(Kind::None) << "jean" << true;
    QTest::newRow("unsubscribe without @ is forwarded") << "DESABONNE " << int(Kind::None) << "" << true;
    // An encoded word can carry a line break into a decoded Subject.
    QTest::newRow("address holding CR LF is forwarded")
        << "ABONNE evil@example.org\r\nSujet : forged" << int(Kind::None) << "evil@example.org\r\nSujet:forged" << true;
    QTest::newRow("unsubscribe address holding LF is forwarded")
        << "DESABONNE a@b.org\nx" << int(Kind::None) << "a@b.org\nx" << true;
    QTest::newRow("address holding a tab is forwarded") << "ABONNE a@b.org\t" << int(Kind::None) << "a@b.org\t" << true;
}

void TestSubscriptionParts::requestFromSubject()
{
    QFETCH(QString, subject);
    QFETCH(int, kind);
    QFETCH(QString, address);
    QFETCH(bool, incomplete);
    const SubscriptionRequest r = readRequest(subject);
    QCOMPARE(int(r.kind), kind);
    if (kind != int(Kind::None) || incomplete)
        QCOMPARE(r.address, address);
    QCOMPARE(r.incomplete, incomplete);
}

void TestSubscriptionParts::contactFromBody_data()
{
    QTest::addColumn<QStringList>("body");
    QTest::addColumn<QString>("nom");
    QTest::addColumn<QString>("prenom");
    QTest::addColumn<QString>("civilite");
    QTest::addColumn<QString>("commentaire");

    QTest::newRow("French keys") << QStringList{"nom=Dupont", "prenom=Jean", "titre=Monsieur"} << "Dupont" << "Jean"
                                 << "Monsieur" << "";
    QTest::newRow("first name before name is still the first name")
        << QStringList{"prenom=Jean", "nom=Dupont"} << "Dupont" << "Jean" << "" << "";
    QTest::newRow("English keys, firstname before name")
        << QStringList{"firstname=John", "name=Smith", "title=Mr"} << "Smith" << "John" << "Mr" << "";
    QTest::newRow("leading blanks before a key") << QStringList{"  nom=Dupont", "\tprenom=Jean"} << "Dupont" << "Jean"
                                                 << "" << "";
    QTest::newRow("a key inside a line is no key")
        << QStringList{"surnom=Jojo", "nom=Dupont"} << "Dupont" << "" << "" << "surnom=Jojo\r\n";
    QTest::newRow("French key wins over English on its row")
        << QStringList{"name=Smith", "nom=Dupont"} << "Smith" << "" << "" << "nom=Dupont\r\n";
    QTest::newRow("unclaimed lines become the comment, empty ones too")
        << QStringList{"Hello", "", "nom=Dupont", "Bye"} << "Dupont" << "" << "" << "Hello\r\n\r\nBye\r\n";
    QTest::newRow("key with empty value") << QStringList{"nom=", "prenom=Jean"} << "" << "Jean" << "" << "";
}

void TestSubscriptionParts::contactFromBody()
{
    QFETCH(QStringList, body);
    QFETCH(QString, nom);
    QFETCH(QString, prenom);
    QFETCH(QString, civilite);
    QFETCH(QString, commentaire);
    ContactRecord c = emptyContact();
    newSubscriberRecord(c);
    fillFromBody(body, c);
    QCOMPARE(c[F_nom].value, nom);
    QCOMPARE(c[F_prenom].value, prenom);
    QCOMPARE(c[F_civilite].value, civilite);
    QCOMPARE(c[F_commentaire].value, commentaire);
}

void TestSubscriptionParts::emptyBodyKeepsTheRecord()
{
    ContactRecord c = emptyContact();
    newSubscriberRecord(c);
    fillFromBody({}, c);
    QCOMPARE(c[F_civilite].value, QStringLiteral("Inconnu"));

    // Every other column of the table, by both keys.
    QStringList french, english;
    for (const BodyKey &k : bodyKeys()) {
        french << QLatin1String(k.french) + QString::number(k.column);
        english << QLatin1String(k.english) + QString::number(k.column);
    }
    for (const QStringList &body : {french, english}) {
        ContactRecord all = emptyContact();
        fillFromBody(body, all);
        for (const BodyKey &k : bodyKeys())
            QCOMPARE(all[k.column].value, QString::number(k.column));
        QCOMPARE(all[F_commentaire].value, QString());
        QCOMPARE(all[F_email].value, QString());
    }
}

void TestSubscriptionParts::deliveryNotices()
{
    using R = DeliveryNotice::Recipient;
    const auto failed = readDeliveryNotice(fixtureLines("dsn-failed.eml"));
    QVERIFY(failed);
    QCOMPARE(failed->recipients.size(), 3);
    const R &gone = failed->recipients[0];
    QCOMPARE(gone.address, QStringLiteral("gone@example.net"));
    QCOMPARE(gone.action, QStringLiteral("failed"));
    QCOMPARE(gone.status, QStringLiteral("5.1.1"));
    QCOMPARE(gone.diagnostic, QStringLiteral("550 5.1.1 <gone@example.net>: Recipient address rejected"));
    QVERIFY(gone.permanent());
    QCOMPARE(failed->recipients[1].address, QStringLiteral("full@example.net"));
    QVERIFY(failed->recipients[1].permanent());
    QCOMPARE(failed->recipients[2].action, QStringLiteral("delayed"));
    QVERIFY(!failed->recipients[2].permanent());

    const auto delayed = readDeliveryNotice(fixtureLines("dsn-delayed.eml"));
    QVERIFY(delayed);
    QCOMPARE(delayed->recipients.size(), 1);
    QCOMPARE(delayed->recipients[0].status, QStringLiteral("4.4.7"));
    QVERIFY(!delayed->recipients[0].permanent());

    const auto postfix = readDeliveryNotice(fixtureLines("dsn-postfix.eml"));
    QVERIFY(postfix);
    QCOMPARE(postfix->recipients.size(), 1);
    QCOMPARE(postfix->recipients[0].address, QStringLiteral("nobody@example.com"));
    QVERIFY(postfix->recipients[0].permanent());
    QCOMPARE(postfix->recipients[0].diagnostic,
             QStringLiteral("550 5.1.1 <nobody@example.com>: Recipient address rejected: User unknown"));

    // A damaged or hostile report: only what is an address is one; the
    // rest reads as no address, so that nothing else reaches "bounces".
    const QList<QByteArray> lines = QByteArray(
        "Content-Type: multipart/report; report-type=delivery-status; boundary=b\n\n"
        "--b\nContent-Type: message/delivery-status\n\nReporting-MTA: dns; mx.example.org\n\n"
        "Final-Recipient: rfc822; <script>alert(1)</script>\nAction: failed\nStatus: 5.1.1\n\n"
        "Final-Recipient: rfc822; no address at all\nAction: failed\nStatus: 5.1.1\n\n"
        "Final-Recipient: rfc822; a@b@c.org\nAction: failed\nStatus: 5.1.1\n\n"
        "Final-Recipient: rfc822; x@example.org, y@example.org\nAction: failed\nStatus: 5.1.1\n\n"
        "Final-Recipient: rfc822;\nAction: failed\nStatus: 5.1.1\n\n"
        "Final-Recipient: rfc822; <real@example.org>\nAction: failed\nStatus: 5.1.1\n\n--b--\n").split('\n');
    const auto hostile = readDeliveryNotice(lines);
    QVERIFY(hostile);
    QStringList addresses;
    for (const R &r : hostile->recipients)
        addresses << r.address;
    QCOMPARE(addresses, (QStringList{QString(), QString(), QString(), QString(), QString(), QStringLiteral("real@example.org")}));

    // A failed action with a temporary status is not for good.
    const R temporary{QStringLiteral("a@b"), QStringLiteral("failed"), QStringLiteral("4.2.2"), {}};
    QVERIFY(!temporary.permanent());
}

void TestSubscriptionParts::notADeliveryNotice_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("plain text") << QByteArray("Subject: hello\n\nReport-type=delivery-status\n");
    QTest::newRow("another report type")
        << QByteArray("Content-Type: multipart/report; report-type=disposition-notification; boundary=b\n\n"
                      "--b\nContent-Type: message/delivery-status\n\nFinal-Recipient: rfc822; a@b.org\n"
                      "Action: failed\nStatus: 5.0.0\n\n--b--\n");
    QTest::newRow("report without status part")
        << QByteArray("Content-Type: multipart/report; report-type=delivery-status; boundary=b\n\n"
                      "--b\nContent-Type: text/plain\n\nFailed.\n--b--\n");
    QTest::newRow("report without boundary")
        << QByteArray("Content-Type: multipart/report; report-type=delivery-status\n\nFailed.\n");
}

void TestSubscriptionParts::notADeliveryNotice()
{
    QFETCH(QByteArray, message);
    QVERIFY(!readDeliveryNotice(message.split('\n')));
}

void TestSubscriptionParts::logEntryBytes()
{
    const QDateTime when(QDate(2026, 12, 3), QTime(9, 5, 7));
    const QByteArray entry = SyncLog::entry(when, QStringLiteral("Zoé <zoe@example.org>"), QStringLiteral("ABONNE zoe@example.org"),
                                            {QStringLiteral("nom=Été"), QString()}, {QStringLiteral("note")});
    QCOMPARE(entry, QByteArray("03/12/26 09:05:07\r\n"
                               "Exp\xe9" "diteur : Zo\xe9 <zoe@example.org>\r\n"
                               "Sujet : ABONNE zoe@example.org\r\n"
                               "nom=\xc9t\xe9\r\n"
                               "\r\n"
                               "note\r\n")
                         + QByteArray(64, '-') + "\r\n");
    // What the message brought cannot add lines of its own to the log.
    const QByteArray forged = SyncLog::entry(when, QStringLiteral("a@b.org\r\nExpéditeur : x"),
                                             QStringLiteral("Hello\r\n----\r\nSujet : y"), {QStringLiteral("text\rmore")},
                                             {QStringLiteral("Avis de remise : a\nb")});
    QCOMPARE(forged.count("\r\n"), 6);
    QVERIFY(forged.contains("Exp\xe9" "diteur : a@b.org\\r\\nExp\xe9" "diteur : x\r\n"));
    QVERIFY(forged.contains("Sujet : Hello\\r\\n----\\r\\nSujet : y\r\n"));
    QVERIFY(forged.contains("\r\ntext\\rmore\r\nAvis de remise : a\\nb\r\n"));
    // Afternoon hours in 24-hour form.
    QVERIFY(SyncLog::entry(QDateTime(QDate(2026, 1, 31), QTime(17, 0, 0)), {}, {}, {}).startsWith("31/01/26 17:00:00\r\n"));
}

void TestSubscriptionParts::logAppends()
{
    QTemporaryDir dir;
    const SyncLog log(dir.filePath(QStringLiteral("log.txt")));
    QVERIFY(log.append("one\r\n"));
    QVERIFY(log.append("two\r\n"));
    QFile f(log.path());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("one\r\ntwo\r\n"));

    QString error;
    const SyncLog blocked(dir.path()); // a folder cannot take an entry
    QVERIFY(!blocked.append("x", &error));
    QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(TestSubscriptionParts)
#include "tst_subscriptionparts.moc"
