// The settings file config.ini: what loading makes of hand-edited files, what
// saving keeps and how it writes, the endpoints the clients get, and
// kirvane-cli config.
#include "clirun.h"
#include "settings/settings.h"
#include "texts/texttable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace kirvane::settings;

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

Settings filled()
{
    Settings s;
    s.senderName = QStringLiteral("Lettre d'été");
    s.senderAddress = QStringLiteral("news@example.org");
    s.redirection = QStringLiteral("me@example.org");
    s.popServer = QStringLiteral("pop.example.org");
    s.smtpServer = QStringLiteral("smtp.example.org");
    s.login = QStringLiteral("inscription");
    s.password = QStringLiteral("p=ss;word");
    s.useProxy = QStringLiteral("false");
    s.smtpProxy = QStringLiteral("proxy");
    s.popProxy = QStringLiteral("proxy");
    s.popProxyPort = QStringLiteral("1110");
    s.smtpProxyPort = QStringLiteral("1025");
    s.available = QStringLiteral("true");
    s.packets = QStringLiteral("true");
    s.packetSize = 250;
    s.packetPause = 3;
    return s;
}

} // namespace

class TstSettings : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(QStringLiteral("config.ini")); }

private Q_SLOTS:
    void init() { QFile::remove(path()); }

    // Hand-edited files: what each key reads as.
    void loadingHandEditedFiles_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("packetSize");
        QTest::addColumn<int>("packetPause");
        QTest::addColumn<QString>("useProxy");
        QTest::addColumn<bool>("available");
        QTest::newRow("numbers not numbers") << QByteArray("[Newsletter]\r\ntaille_paquet=abc\r\ntempo_paquet=\r\navailable=true\r\n")
                                             << 80 << 10 << "" << true;
        QTest::newRow("numbers missing") << QByteArray("[Newsletter]\r\nutiliserProxy=TRUE\r\n") << 80 << 10 << "TRUE" << false;
        QTest::newRow("other section only") << QByteArray("[Autre]\r\ntaille_paquet=5\r\navailable=true\r\n") << 80 << 10 << "" << false;
        QTest::newRow("key case and LF lines") << QByteArray("[NEWSLETTER]\nTaille_Paquet= 7\nAVAILABLE=true\n") << 7 << 10 << "" << true;
        QTest::newRow("available in capitals") << QByteArray("[Newsletter]\r\navailable=TRUE\r\n") << 80 << 10 << "" << false;
    }
    void loadingHandEditedFiles()
    {
        QFETCH(QByteArray, file);
        writeAll(path(), file);
        Settings s;
        QVERIFY(loadSettings(s, path()));
        QFETCH(int, packetSize);
        QFETCH(int, packetPause);
        QFETCH(QString, useProxy);
        QFETCH(bool, available);
        QCOMPARE(s.packetSize, packetSize);
        QCOMPARE(s.packetPause, packetPause);
        QCOMPARE(s.useProxy, useProxy);
        QCOMPARE(s.isAvailable(), available);
    }

    void missingFileLeavesTheRecord()
    {
        Settings s = filled();
        QVERIFY(!loadSettings(s, path()));
        QCOMPARE(s, filled());
    }

    // A first save writes the keys in their order, in Windows-1252, mode 0600;
    // it reads back the same.
    void saveWritesKeysInOrderPrivately()
    {
        QString error;
        QVERIFY(saveSettings(filled(), path(), &error));
        QVERIFY(error.isEmpty());
        QCOMPARE(readAll(path()),
                 QByteArray("[Newsletter]\r\nexpediteur=Lettre d'\xE9t\xE9\r\nboite=news@example.org\r\n"
                            "redirection=me@example.org\r\nServeurPop=pop.example.org\r\nServeurSmtp=smtp.example.org\r\n"
                            "login=inscription\r\npassword=p=ss;word\r\nutiliserProxy=false\r\nProxySmtp=proxy\r\n"
                            "ProxyPop=proxy\r\nPortPop=1110\r\nPortSmtp=1025\r\navailable=true\r\npaquet=true\r\n"
                            "taille_paquet=250\r\ntempo_paquet=3\r\n"));
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(path()).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0600));
        Settings back;
        QVERIFY(loadSettings(back, path()));
        QCOMPARE(back, filled());
    }

    // Other keys and sections of the file survive; ours are rewritten where they
    // stand, a 0644 file becomes 0600.
    void saveKeepsWhatIsNotOurs()
    {
        writeAll(path(), "; my notes\r\n[Newsletter]\r\nboite=old@x\r\nmyKey=kept\r\n\r\n[Other]\r\nk=v\r\n");
        QVERIFY(::chmod(QFile::encodeName(path()).constData(), 0644) == 0);
        QVERIFY(saveSettings(filled(), path()));
        const QByteArray bytes = readAll(path());
        QVERIFY(bytes.startsWith("; my notes\r\n[Newsletter]\r\nboite=news@example.org\r\nmyKey=kept\r\nexpediteur="));
        QVERIFY(bytes.endsWith("tempo_paquet=3\r\n\r\n[Other]\r\nk=v\r\n"));
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(path()).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0600));
    }

    // A write that cannot be made is reported, and the file stays as it was.
    void failedWriteIsReported()
    {
        QString error;
        const QString intoMissingFolder = m_dir.filePath(QStringLiteral("no/such/config.ini"));
        QVERIFY(!saveSettings(filled(), intoMissingFolder, &error));
        QVERIFY(!error.isEmpty());

        const QString folderInTheWay = m_dir.filePath(QStringLiteral("dir.ini"));
        QVERIFY(QDir().mkpath(folderInTheWay));
        error.clear();
        QVERIFY(!saveSettings(filled(), folderInTheWay, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files).filter(QStringLiteral("dir.ini")), QStringList());
    }

    // The keys after the sixteen: absent and empty, nothing of them is
    // written; set, they follow the sixteen in their order; a key the file
    // already holds is rewritten where it stands, even emptied.
    void mailKeysAfterTheSixteen()
    {
        QVERIFY(saveSettings(filled(), path()));
        const QByteArray sixteen = readAll(path());
        Settings s = filled();
        s.smtpSecurity = QStringLiteral("starttls");
        s.subscriptionAddress = QStringLiteral("inscription@example.org");
        s.textAlternative = QStringLiteral("true");
        QVERIFY(saveSettings(s, path()));
        QCOMPARE(readAll(path()), sixteen + "SmtpSecurity=starttls\r\nSubscriptionAddress=inscription@example.org\r\n"
                                            "TextAlternative=true\r\n");
        Settings back;
        QVERIFY(loadSettings(back, path()));
        QCOMPARE(back, s);
        s.subscriptionAddress.clear();
        QVERIFY(saveSettings(s, path()));
        QCOMPARE(readAll(path()), sixteen + "SmtpSecurity=starttls\r\nSubscriptionAddress=\r\nTextAlternative=true\r\n");

        // Read from a file of the sixteen only, every new key is empty, which
        // means no security, the old ports, no headers, no alternative.
        writeAll(path(), sixteen);
        QVERIFY(loadSettings(back, path()));
        QCOMPARE(back, filled());
        QVERIFY(!back.textAlternativeOn());
        QVERIFY(!back.dkimOn());
        QCOMPARE(checkMailSettings(back), QString());
    }

    // The checks of the new keys, with a key made by openssl for DKIM.
    void checksOfTheMailKeys_data()
    {
        QTest::addColumn<QStringList>("assignments");
        // The text-table entry the refusal starts with; -1 for none, -2 for a
        // reason in English (values only a hand-typed setting can hold).
        QTest::addColumn<int>("refusal");
        namespace T = kirvane::texts;
        QTest::newRow("nothing set") << QStringList() << -1;
        QTest::newRow("all set") << QStringList{"SmtpSecurity=TLS", "SmtpServerPort=2465", "PopSecurity=stls",
                                                "SubscriptionAddress=in@example.org",
                                                "UnsubscribeUrl=https://example.org/u?e=&email&", "DkimSelector=news",
                                                "DkimDomain=example.org", "DkimKeyFile=KEY", "CaFile=KEY",
                                                "TextAlternative=true"}
                                 << -1;
        QTest::newRow("unknown security") << QStringList{"SmtpSecurity=ssl"} << -2;
        QTest::newRow("stls is for POP3 only") << QStringList{"SmtpSecurity=stls"} << -2;
        QTest::newRow("port 0") << QStringList{"PopServerPort=0"} << -2;
        QTest::newRow("subscription address without @") << QStringList{"SubscriptionAddress=inscription"}
                                                         << int(T::SubscriptionAddressIncorrect);
        QTest::newRow("subscription address with a blank") << QStringList{"SubscriptionAddress=in @example.org"}
                                                           << int(T::SubscriptionAddressIncorrect);
        QTest::newRow("http web address") << QStringList{"UnsubscribeUrl=http://example.org/u"} << int(T::UnsubscribeUrlIncorrect);
        QTest::newRow("web address with a blank") << QStringList{"UnsubscribeUrl=https://example.org/u?n=a b"}
                                                  << int(T::UnsubscribeUrlIncorrect);
        QTest::newRow("selector alone") << QStringList{"DkimSelector=news"} << int(T::DkimIncomplete);
        QTest::newRow("bad domain") << QStringList{"DkimSelector=news", "DkimDomain=exa;mple.org", "DkimKeyFile=KEY"}
                                    << int(T::DkimNameIncorrect);
        QTest::newRow("key file missing") << QStringList{"DkimSelector=news", "DkimDomain=example.org",
                                                         "DkimKeyFile=/no/such/key.pem"}
                                          << int(T::DkimKeyUnusable);
        QTest::newRow("key file not a key") << QStringList{"DkimSelector=news", "DkimDomain=example.org",
                                                           "DkimKeyFile=CONFIG"}
                                            << int(T::DkimKeyUnusable);
        QTest::newRow("CA file missing") << QStringList{"CaFile=/no/such/ca.pem"} << int(T::CaFileUnreadable);
        QTest::newRow("CA file a device") << QStringList{"CaFile=/dev/zero"} << int(T::CaFileUnreadable);
        QTest::newRow("key file a device") << QStringList{"DkimSelector=news", "DkimDomain=example.org",
                                                          "DkimKeyFile=/dev/zero"}
                                           << int(T::DkimKeyUnusable);
        // What cannot work, refused with a reason the window shows.
        QTest::newRow("proxy port above 65535") << QStringList{"PortSmtp=70000"} << int(SettingPortOutOfRange);
        QTest::newRow("proxy port 0") << QStringList{"PortPop=0"} << int(SettingPortOutOfRange);
        QTest::newRow("server port not a number") << QStringList{"SmtpServerPort=25a"} << int(SettingPortOutOfRange);
        QTest::newRow("control character in the sender's name")
            << QStringList{"expediteur=Lettre\x01"} << int(SettingControlCharacter);
        QTest::newRow("tab in the redirection") << QStringList{"redirection=me@example.org\t"}
                                                << int(SettingControlCharacter);
        QTest::newRow("escape in the web address")
            << QStringList{"UnsubscribeUrl=https://example.org/\x1b"} << int(SettingControlCharacter);
        QTest::newRow("javascript web address") << QStringList{"UnsubscribeUrl=javascript:alert(1)"}
                                                << int(T::UnsubscribeUrlIncorrect);
        QTest::newRow("web address longer than a header line")
            << QStringList{"UnsubscribeUrl=https://example.org/" + QString(960, u'u')} << int(T::UnsubscribeUrlIncorrect);
        QTest::newRow("web address that fits") << QStringList{"UnsubscribeUrl=https://example.org/" + QString(900, u'u')}
                                               << -1;
        QTest::newRow("subscription address too long for its mailto:")
            << QStringList{"SubscriptionAddress=" + QString(700, u's') + "@example.org"}
            << int(T::SubscriptionAddressIncorrect);
    }
    void checksOfTheMailKeys()
    {
        QFETCH(QStringList, assignments);
        QFETCH(int, refusal);
        const QString key = m_dir.filePath(QStringLiteral("dkim.pem"));
        if (!QFile::exists(key))
            QCOMPARE(QProcess::execute(QStringLiteral("openssl"),
                                       {"genpkey", "-algorithm", "ed25519", "-out", key}), 0);
        writeAll(path(), "[Newsletter]\r\n");
        Settings s = filled();
        for (QString a : assignments) {
            a.replace(QStringLiteral("=KEY"), u'=' + key).replace(QStringLiteral("=CONFIG"), u'=' + path());
            const qsizetype eq = a.indexOf(u'=');
            QVERIFY(s.setValue(a.left(eq), a.mid(eq + 1)));
        }
        const QString why = checkMailSettings(s);
        if (refusal == -1)
            QCOMPARE(why, QString());
        else if (refusal == -2)
            QVERIFY2(why.contains(assignments.first().section(u'=', 0, 0)), qPrintable(why));
        else
            QVERIFY2(why.startsWith(kirvane::texts::text(refusal).section(u'%', 0, 0)), qPrintable(why));
    }

    void checksOfTheSave()
    {
        Settings s = filled();
        QCOMPARE(checkSettings(s), std::nullopt);
        s.senderName.clear();
        QCOMPARE(checkSettings(s), std::optional<int>(kirvane::texts::SenderNameEmpty));
        s.senderAddress = QStringLiteral("no-at-sign");
        QCOMPARE(checkSettings(s), std::optional<int>(kirvane::texts::SenderAddressIncorrect));
        // An "@" the envelope sender does not keep: MAIL FROM:<> would go out.
        s.senderName = QStringLiteral("Me");
        for (const char *address : {"<>@example.org", "(news@example.org)", "news@example.org <>"}) {
            s.senderAddress = QString::fromLatin1(address);
            QCOMPARE(checkSettings(s), std::optional<int>(kirvane::texts::SenderAddressIncorrect));
        }
        s.senderAddress = QStringLiteral("Lettre <news@example.org>");
        QCOMPARE(checkSettings(s), std::nullopt);
    }

    // A config.ini that is there but cannot be read is said to be so, by
    // every command that reads it, with exit status 1; nothing is written.
    void unreadableFileIsAnError_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("link to /dev/zero") << "zero";
        QTest::newRow("folder") << "folder";
    }
    void unreadableFileIsAnError()
    {
        QFETCH(QString, kind);
        QTemporaryDir home;
        const QString file = home.filePath(QStringLiteral("config.ini"));
        if (kind == u"fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        else if (kind == u"zero")
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), file));
        else
            QVERIFY(QDir().mkpath(file));
        Settings s = filled();
        QString why;
        QVERIFY(!loadSettings(s, file, &why));
        QCOMPARE(why, QStringLiteral("cannot read config.ini: not a regular file"));
        QCOMPARE(s, filled());
        QVERIFY(!saveSettings(filled(), file, &why));

        const QString text = home.filePath(QStringLiteral("body.txt"));
        writeAll(text, "Hello\n");
        const QString mnl = home.filePath(QStringLiteral("msg.MNL"));
        QCOMPARE(runCli(home.path(), {"message", "make", mnl, "--text", text, "--subject", "S", "--book", "b"}).code, 0);
        QCOMPARE(runCli(home.path(), {"book", "create", "b"}).code, 0);
        for (const QStringList &args : {QStringList{"config", "show"}, QStringList{"config", "set", "expediteur=Me"},
                                        QStringList{"sync"}, QStringList{"send", mnl}}) {
            const CliRun r = runCli(home.path(), args);
            QVERIFY2(r.code == 1, qPrintable(args.join(u' ')));
            QVERIFY2(r.err.contains("cannot read config.ini: not a regular file"), r.err.constData());
        }
        QCOMPARE(QFileInfo(file).isSymLink() || !QFileInfo(file).isFile(), true);
    }

    // Only the exact word "true" selects the proxy; the POP3 user then names
    // the real server.
    void endpoints_data()
    {
        QTest::addColumn<QString>("useProxy");
        QTest::addColumn<QString>("smtpHost");
        QTest::addColumn<QString>("smtpPort");
        QTest::addColumn<QString>("popHost");
        QTest::addColumn<QString>("popPort");
        QTest::addColumn<QString>("popUser");
        QTest::newRow("direct") << "false" << "smtp.example.org" << "25" << "pop.example.org" << "110" << "inscription";
        QTest::newRow("proxy") << "true" << "proxy" << "1025" << "proxy" << "1110" << "inscription#pop.example.org";
        QTest::newRow("TRUE is not true") << "TRUE" << "smtp.example.org" << "25" << "pop.example.org" << "110" << "inscription";
    }
    void endpoints()
    {
        QFETCH(QString, useProxy);
        QFETCH(QString, smtpHost);
        QFETCH(QString, smtpPort);
        QFETCH(QString, popHost);
        QFETCH(QString, popPort);
        QFETCH(QString, popUser);
        Settings s = filled();
        s.useProxy = useProxy;
        const SmtpEndpoint smtp = smtpEndpoint(s);
        QCOMPARE(smtp.host, smtpHost);
        QCOMPARE(smtp.port, smtpPort);
        const PopEndpoint pop = popEndpoint(s);
        QCOMPARE(pop.host, popHost);
        QCOMPARE(pop.port, popPort);
        QCOMPARE(pop.user, popUser);
        QCOMPARE(pop.password, QStringLiteral("p=ss;word"));
        QCOMPARE(savedForm(s).useProxy, useProxy.toLower());
    }

    // The security picks the port unless one is written; a login is sent in
    // clear only when the file itself says "none"; the proxy keeps its port.
    void securedEndpoints_data()
    {
        QTest::addColumn<QStringList>("assignments");
        QTest::addColumn<QString>("smtpPort");
        QTest::addColumn<int>("smtpSecurity");
        QTest::addColumn<bool>("plainTextLogin");
        QTest::addColumn<QString>("popPort");
        QTest::addColumn<int>("popSecurity");
        using kirvane::mail::Security;
        const int none = int(Security::None), starttls = int(Security::StartTls), tls = int(Security::Tls);
        QTest::newRow("file without the keys") << QStringList() << "25" << none << false << "110" << none;
        QTest::newRow("none written") << QStringList{"SmtpSecurity=none", "PopSecurity=none"} << "25" << none << true
                                      << "110" << none;
        QTest::newRow("NONE in capitals") << QStringList{"SmtpSecurity=NONE"} << "25" << none << true << "110" << none;
        QTest::newRow("submission and STLS") << QStringList{"SmtpSecurity=starttls", "PopSecurity=stls"} << "587"
                                             << starttls << false << "110" << starttls;
        QTest::newRow("implicit TLS both") << QStringList{"SmtpSecurity=tls", "PopSecurity=tls"} << "465" << tls
                                           << false << "995" << tls;
        QTest::newRow("ports written win") << QStringList{"SmtpSecurity=tls", "SmtpServerPort=2465", "PopSecurity=tls",
                                                          "PopServerPort=1995"}
                                           << "2465" << tls << false << "1995" << tls;
        QTest::newRow("proxy keeps its ports") << QStringList{"utiliserProxy=true", "SmtpSecurity=starttls",
                                                              "SmtpServerPort=2525", "PopSecurity=tls"}
                                               << "1025" << starttls << false << "1110" << tls;
    }
    void securedEndpoints()
    {
        QFETCH(QStringList, assignments);
        Settings s = filled();
        s.smtpLogin = QStringLiteral("alice");
        s.smtpPassword = QStringLiteral("s3cret");
        s.caFile = QStringLiteral("/etc/own-ca.pem");
        for (const QString &a : assignments)
            QVERIFY(s.setValue(a.section(u'=', 0, 0), a.section(u'=', 1)));
        const SmtpEndpoint smtp = smtpEndpoint(s);
        QFETCH(QString, smtpPort);
        QFETCH(int, smtpSecurity);
        QFETCH(bool, plainTextLogin);
        QCOMPARE(smtp.port, smtpPort);
        QCOMPARE(int(smtp.security), smtpSecurity);
        QCOMPARE(smtp.plainTextLoginChosen, plainTextLogin);
        QCOMPARE(smtp.user, QStringLiteral("alice"));
        QCOMPARE(smtp.password, QStringLiteral("s3cret"));
        QCOMPARE(smtp.caFile, s.caFile);
        const PopEndpoint pop = popEndpoint(s);
        QFETCH(QString, popPort);
        QFETCH(int, popSecurity);
        QCOMPARE(pop.port, popPort);
        QCOMPARE(int(pop.security), popSecurity);
        QCOMPARE(pop.caFile, s.caFile);
    }

    // A hand-edited 0 would divide by zero and pause for nothing.
    void packetPlanStaysInBounds()
    {
        Settings s = filled();
        s.packetSize = 0;
        s.packetPause = -4;
        const PacketPlan p = packetPlan(s);
        QVERIFY(p.on);
        QCOMPARE(p.size, 1);
        QCOMPARE(p.pauseMinutes, 1);
        s.packetSize = 250000;
        QCOMPARE(packetPlan(s).size, kMaxPacketSize);
        QCOMPARE(savedForm(s).packetSize, kMaxPacketSize);
    }

    void commandLine()
    {
        QTemporaryDir home;
        auto cli = [&](const QStringList &args) { return runCli(home.path(), args); };
        const QString file = home.filePath(QStringLiteral("config.ini"));

        const CliRun refused = cli({"config", "set", "boite=nobody", "expediteur=Me"});
        QCOMPARE(refused.code, 1);
        QVERIFY(refused.err.contains("Caution: the addressee, address is incorrect"));
        QVERIFY(!QFile::exists(file));
        QCOMPARE(cli({"config", "set", "boite=a@b.c"}).code, 1); // no sender's name
        QCOMPARE(cli({"config", "set", "boite=a@b.c", "expediteur=Me", "taille_paquet=0"}).code, 1);
        QCOMPARE(cli({"config", "set", "boite=a@b.c", "expediteur=Me", "nokey=1"}).code, 1);
        QCOMPARE(cli({"config", "set", "boite=a@b.c", "expediteur=Me", "paquet=yes"}).code, 1);
        QVERIFY(!QFile::exists(file));

        QCOMPARE(cli({"config", "set", "boite=a@b.c", "expediteur=Éditions", "ServeurSmtp=127.0.0.1",
                      "paquet=true", "tempo_paquet=2"}).code, 0);
        const CliRun shown = cli({"config", "show"});
        QCOMPARE(shown.code, 0);
        const QJsonObject o = QJsonDocument::fromJson(shown.out).object();
        QCOMPARE(o.size(), settingsKeys().size());
        QCOMPARE(o.value("expediteur").toString(), QStringLiteral("Éditions"));
        QCOMPARE(o.value("available").toString(), QStringLiteral("true"));
        QCOMPARE(o.value("utiliserProxy").toString(), QStringLiteral("false"));
        QCOMPARE(o.value("taille_paquet").toInt(), 80);
        QCOMPARE(o.value("tempo_paquet").toInt(), 2);

        QCOMPARE(o.value("SmtpSecurity").toString(), QString());

        // A refused change leaves the saved file as it was.
        const QByteArray before = readAll(file);
        QCOMPARE(cli({"config", "set", "expediteur="}).code, 1);
        QCOMPARE(cli({"config", "set", "SmtpSecurity=ssl"}).code, 1);
        QCOMPARE(cli({"config", "set", "TextAlternative=yes"}).code, 1);
        QCOMPARE(cli({"config", "set", "PortSmtp=65536"}).code, 1);
        const CliRun control = cli({"config", "set", "expediteur=Lettre\x7f"});
        QCOMPARE(control.code, 1);
        QVERIFY(control.err.contains("The setting expediteur holds a control character."));
        QCOMPARE(cli({"config", "set", "UnsubscribeUrl=javascript:alert(1)"}).code, 1);
        QCOMPARE(cli({"config", "set", "boite=<>@b.c"}).code, 1);
        const CliRun halfDkim = cli({"config", "set", "DkimSelector=news"});
        QCOMPARE(halfDkim.code, 1);
        QVERIFY(halfDkim.err.contains("give the selector, the domain and the private key file"));
        QCOMPARE(readAll(file), before);

        // The new keys go after the sixteen; POP3's starttls is saved as stls.
        QCOMPARE(cli({"config", "set", "PopSecurity=STARTTLS", "SmtpSecurity=StartTLS", "SmtpLogin=me",
                      "UnsubscribeUrl=https://example.org/u?e=&email&"}).code, 0);
        QVERIFY(readAll(file).endsWith("tempo_paquet=2\r\nSmtpSecurity=starttls\r\nSmtpLogin=me\r\n"
                                       "PopSecurity=stls\r\nUnsubscribeUrl=https://example.org/u?e=&email&\r\n"));
    }
};

QTEST_GUILESS_MAIN(TstSettings)
#include "tst_settings.moc"

using namespace kirvane::texts;
