// kirvane-cli sync against Dovecot and aiosmtpd, with the settings of the
// data folder's config.ini: one line per message, the exit status, the books.

#include "clirun.h"
#include "syncfixture.h"

#include <QTest>

class TestSyncCli : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        if (!Dovecot::canRun())
            QSKIP("Dovecot hands the mailbox to nobody, which takes root");
    }
    void synchronises();
    void failuresExitWithOne_data();
    void failuresExitWithOne();
    void refusesUnknownArguments();
    void addressesIgnoreLetterCase();
};

void TestSyncCli::synchronises()
{
    SyncFixture fx;
    const QString home = fx.home();
    QCOMPARE(runCli(home, {"book", "create", "clients"}).code, 0);
    QCOMPARE(runCli(home, {"contact", "add", "clients", "nom=Leaving", "email=leaving@example.net"}).code, 0);
    QVERIFY(fx.pop.addMessage(mailMessage("ABONNE jean@example.net", "nom=Dupont\r\nprenom=Jean\r\n")));
    QVERIFY(fx.pop.addMessage(mailMessage("DESABONNE leaving@example.net")));
    QVERIFY(fx.pop.addMessage(mailMessage("Hello", "Hi\r\n", "Reader <reader@example.net>")));
    QVERIFY(fx.pop.addMessage(fixtureFile("dsn-postfix.eml")));
    QVERIFY(fx.startServers());
    QVERIFY(fx.writeConfig());

    const CliRun r = runCli(home, {"sync", "--unsubscribe-everywhere", "yes"});
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QByteArray("1\tform@example.org\tsubscribed jean@example.net\n"
                               "2\tform@example.org\tunsubscribed from every book leaving@example.net\n"
                               "3\tReader <reader@example.net>\tforwarded to me@example.org\n"
                               "4\tMAILER-DAEMON@mail.example.org (Mail Delivery System)\tdelivery notice, bounces: "
                               "nobody@example.com\n"));
    QCOMPARE(fx.remaining(), 0);
    QCOMPARE(fx.forwarded().size(), 1);
    QVERIFY(!runCli(home, {"contacts", "clients"}).out.contains("leaving@example.net"));
    QVERIFY(runCli(home, {"contacts", "subscribers"}).out.contains("\"jean@example.net\""));
    QVERIFY(runCli(home, {"contacts", "bounces"}).out.contains("\"nobody@example.com\""));
    QCOMPARE(fx.log().count(QByteArray(64, '-')), 4);
}

void TestSyncCli::failuresExitWithOne_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("smtpUp");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");
    QTest::newRow("login refused") << "wrong" << true << QByteArray()
                                   << QByteArray("kirvane-cli: Login refused: the user name or the password is wrong.\n");
    QTest::newRow("forwarding server down")
        << "secret" << false << QByteArray("1\tform@example.org\tsubscribed a@example.net\n")
        << QByteArray("kirvane-cli: Message 2 could not be sent to the redirection address; it stays on the server.\n");
}

void TestSyncCli::failuresExitWithOne()
{
    QFETCH(QString, password);
    QFETCH(bool, smtpUp);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    SyncFixture fx;
    QVERIFY(fx.pop.addMessage(mailMessage("ABONNE a@example.net")));
    QVERIFY(fx.pop.addMessage(mailMessage("Hello")));
    QVERIFY(smtpUp ? fx.startServers() : fx.pop.start());
    const ClosedPort smtpDown;
    QVERIFY(fx.writeConfig(password, 0, smtpUp ? 0 : smtpDown.port));
    const CliRun r = runCli(fx.home(), {"sync"});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.out, out);
    QCOMPARE(r.err, err);
}

void TestSyncCli::refusesUnknownArguments()
{
    SyncFixture fx;
    QCOMPARE(runCli(fx.home(), {"sync", "--unsubscribe-everywhere", "maybe"}).code, 1);
    QCOMPARE(runCli(fx.home(), {"sync", "now"}).code, 1);
}

// An unsubscribe request removes its address whatever its letter case; one
// that matches nobody says so. A line break a message carries in its sender
// or subject (an encoded word) never starts a line of the output or the log.
void TestSyncCli::addressesIgnoreLetterCase()
{
    SyncFixture fx;
    const QString home = fx.home();
    for (const char *book : {"subscribers", "clients"}) {
        QCOMPARE(runCli(home, {"book", "create", book}).code, 0);
        QCOMPARE(runCli(home, {"contact", "add", book, "nom=Leaving", "email=john@example.net"}).code, 0);
        QCOMPARE(runCli(home, {"contact", "add", book, "nom=Staying", "email=stay@example.net"}).code, 0);
    }
    QVERIFY(fx.pop.addMessage(mailMessage("DESABONNE JOHN@Example.NET")));
    QVERIFY(fx.pop.addMessage(mailMessage("DESABONNE nobody@example.net")));
    QVERIFY(fx.pop.addMessage(mailMessage("=?utf-8?q?Hi=0D=0A4=09x?=", "Hi\r\n",
                                          "=?utf-8?q?Evil=0D=0A9=09Someone?= <evil@example.net>")));
    QVERIFY(fx.startServers());
    QVERIFY(fx.writeConfig());

    const CliRun r = runCli(home, {"sync", "--unsubscribe-everywhere", "yes"});
    QCOMPARE(r.err, QByteArray());
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QByteArray("1\tform@example.org\tunsubscribed from every book JOHN@Example.NET\n"
                               "2\tform@example.org\tunsubscribe request matched no contact nobody@example.net\n"
                               "3\tEvil\\r\\n9\\tSomeone <evil@example.net>\tforwarded to me@example.org\n"));
    for (const char *book : {"subscribers", "clients"}) {
        const QByteArray contacts = runCli(home, {"contacts", book}).out;
        QVERIFY(!contacts.contains("john@example.net"));
        QVERIFY(contacts.contains("stay@example.net"));
    }
    const QByteArray log = fx.log();
    QVERIFY(log.contains("\r\nD\xe9sinscription sans effet : aucun annuaire ne contient nobody@example.net\r\n"));
    QVERIFY(log.contains("\r\nExp\xe9" "diteur : Evil\\r\\n9\tSomeone <evil@example.net>\r\nSujet : Hi\\r\\n4\tx\r\n"));
    QCOMPARE(fx.remaining(), 0);
}

QTEST_GUILESS_MAIN(TestSyncCli)
#include "tst_sync_cli.moc"
