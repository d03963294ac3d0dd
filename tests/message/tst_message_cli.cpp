// kirvane-cli's message commands, run as a user runs them.
#include "clirun.h"

#include <QDir>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

class TstMessageCli : public QObject {
    Q_OBJECT
    QTemporaryDir m_home;

    using Run = CliRun;

    Run cli(const QStringList &args) { return runCli(m_home.path(), args, {{QStringLiteral("TMPDIR"), m_home.filePath(QStringLiteral("tmp"))}}); }

    QString file(const QString &name) const { return m_home.filePath(name); }
    static QString data(const QString &name)
    {
        return qEnvironmentVariable("KIRVANE_TEST_DATA") + QStringLiteral("/message/") + name;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(QDir().mkpath(m_home.filePath(QStringLiteral("tmp")))); }

    void makeShowAndRender()
    {
        QCOMPARE(cli({"book", "create", "clients"}).code, 0);
        QCOMPARE(cli({"contact", "add", "clients", "nom=Zola", "prenom=Emile"}).code, 0);
        QCOMPARE(cli({"contact", "add", "clients", "nom=Martin", "prenom=Anne"}).code, 0);

        const Run made = cli({"message", "make", file("lettre.mnl"), "--html", data("page/lettre.html"), "--book",
                              "clients", "--book", "clients", "--exclude", "noirs", "--attach", data("pandoc.rtf")});
        QVERIFY2(made.code == 0, made.err.constData());
        const Run shown = cli({"message", "show", file("lettre.MNL")});
        QCOMPARE(shown.code, 0);
        const QJsonObject o = QJsonDocument::fromJson(shown.out).object();
        QCOMPARE(o.value("subject").toString(), QStringLiteral("Lettre de printemps"));
        QCOMPARE(o.value("mode").toInt(), 3);
        QCOMPARE(o.value("destination_books").toArray(), QJsonArray{"clients"});
        QCOMPARE(o.value("exclusion_books").toArray(), QJsonArray{"noirs"});
        QCOMPARE(o.value("attachments").toArray(), QJsonArray{data("pandoc.rtf")});
        QCOMPARE(o.value("images").toArray().size(), 3);
        QCOMPARE(o.value("rewritten_tags").toArray().at(2).toString(), QStringLiteral("NULL"));
        QCOMPARE(o.value("page_tags").toArray().size(), 4);
        QVERIFY(o.value("body").toString().contains(QStringLiteral("Bonjour &name& & bienvenue")));
        QCOMPARE(o.value("resume_book").toString(), QString());

        const Run rendered = cli({"message", "render", file("lettre.MNL"), "--book", "clients"});
        QCOMPARE(rendered.code, 0);
        QVERIFY(rendered.out.contains("<p>Bonjour Martin & bienvenue</p>\n"));
        QVERIFY(rendered.out.contains("<IMG SRC=\"cid:logo.png\" ALT=\"logo\">\n"));

        QVERIFY(cli({"message", "make", file("rich"), "--rtf", data("libreoffice.rtf"), "--subject", "S"}).code == 0);
        const Run rich = cli({"message", "render", file("rich.MNL")});
        QCOMPARE(rich.code, 0);
        QVERIFY(rich.out.contains("<font Color =\"#000000\" size =\"4\" Face =\"DejaVu Serif\">Hello <b>bold</b>"));
        QVERIFY(rich.out.endsWith("</font>\n<br>\n</body>\n</html>\n"));
    }

    // Reading an archive to show or render it, or failing to read it, leaves
    // nothing in the temporary folder.
    void readingLeavesNoFilesBehind_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::newRow("show") << QStringList{"show", "lettre.MNL"} << 0;
        QTest::newRow("render") << QStringList{"render", "lettre.MNL"} << 0;
        QTest::newRow("a header that is no header") << QStringList{"show", "bad.MNL"} << 1;
    }
    void readingLeavesNoFilesBehind()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QTemporaryDir work;
        const QString archive = work.filePath(QStringLiteral("lettre.MNL"));
        QVERIFY(cli({"message", "make", archive, "--html", data("page/lettre.html"), "--attach", data("pandoc.rtf")}).code == 0);
        // Entries that unpack before the header is found wanting.
        QProcess zip;
        zip.start(QStringLiteral("/usr/bin/python3"),
                  {QStringLiteral("-c"),
                   QStringLiteral("import zipfile,sys\nwith zipfile.ZipFile(sys.argv[1]+'/bad.MNL','w') as z:\n"
                                  " z.writestr('big.dat', b'x'*100000)\n z.writestr('bad.MNL', b'no header')\n"),
                   work.path()});
        QVERIFY(zip.waitForFinished(30000) && zip.exitCode() == 0);
        QTemporaryDir temp;
        args[1] = work.filePath(args[1]);
        const Run r = runCli(m_home.path(), QStringList{"message"} + args, {{QStringLiteral("TMPDIR"), temp.path()}});
        QCOMPARE(r.code, code);
        QStringList left;
        QDirIterator it(temp.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            left << it.next();
        QVERIFY2(left.isEmpty(), qPrintable(left.join(u' ')));
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("error");
        QTest::newRow("two bodies") << QStringList{"make", "x", "--rtf", "a", "--text", "b"} << QByteArray("usage");
        QTest::newRow("not RTF") << QStringList{"make", "x", "--rtf", data("page/logo.png")}
                                 << QByteArray("is not an RTF file");
        QTest::newRow("page with a missing image")
            << QStringList{"make", "x", "--html", data("broken.html")} << QByteArray("Caution the picture");
        QTest::newRow("not an archive") << QStringList{"show", data("page/lettre.html")}
                                        << QByteArray("The selected message is corrupt");
        QTest::newRow("unknown book") << QStringList{"render", data("saved.MNL"), "--book", "nope"}
                                      << QByteArray("no address book named \"nope\"");
    }

    void refusals()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, error);
        const Run r = cli(QStringList{"message"} + args);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(error), r.err.constData());
    }
};

QTEST_MAIN(TstMessageCli)
#include "tst_message_cli.moc"
