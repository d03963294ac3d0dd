// kirvane-cli's store commands, run as a user runs them.
#include "clirun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

class TstStoreCli : public QObject {
    Q_OBJECT
    QTemporaryDir m_home;

    using Run = CliRun;

    // The system's messages in one language.
    Run cli(const QStringList &args) { return runCli(m_home.path(), args, {{QStringLiteral("LC_ALL"), QStringLiteral("C")}}); }

private Q_SLOTS:
    void booksContactsAndExport()
    {
        QCOMPARE(cli({QStringLiteral("books")}).out, QByteArray());
        QCOMPARE(cli({QStringLiteral("book"), QStringLiteral("create"), QStringLiteral("Clients été"),
                      QStringLiteral("--labels"), QStringLiteral("Âge,Ville natale,,x")}).code, 0);
        const Run add1 = cli({QStringLiteral("contact"), QStringLiteral("add"), QStringLiteral("Clients été"),
                              QStringLiteral("nom=Zola"), QStringLiteral("email=z@x.org"),
                              QStringLiteral("commentaire=a \"quoted\"\nline")});
        QCOMPARE(add1.code, 0);
        QCOMPARE(add1.out.trimmed(), QByteArray("1"));
        QCOMPARE(cli({QStringLiteral("contact"), QStringLiteral("add"), QStringLiteral("Clients été"),
                      QStringLiteral("nom=Abel"), QStringLiteral("champ19=free")}).out.trimmed(), QByteArray("2"));
        const Run list = cli({QStringLiteral("contacts"), QStringLiteral("Clients été")});
        const QList<QByteArray> lines = list.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        const QJsonObject first = QJsonDocument::fromJson(lines[0]).object();
        QCOMPARE(first.size(), 19);
        QCOMPARE(first.value(QStringLiteral("nom")).toString(), QStringLiteral("Abel"));
        QCOMPARE(first.value(QStringLiteral("id")).toInt(), 2);
        QCOMPARE(first.value(QStringLiteral("champ19")).toString(), QStringLiteral("free"));
        const QJsonObject second = QJsonDocument::fromJson(lines[1]).object();
        QCOMPARE(second.value(QStringLiteral("commentaire")).toString(), QStringLiteral("a \"quoted\"\nline"));

        const QString file = m_home.filePath(QStringLiteral("out.csv"));
        QCOMPARE(cli({QStringLiteral("export"), QStringLiteral("Clients été"), file}).code, 0);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readLine().endsWith("Commentaire;URL;\xC2ge;Ville natale;;x\r\n"));

        QCOMPARE(cli({QStringLiteral("contact"), QStringLiteral("delete"), QStringLiteral("Clients été"), QStringLiteral("1")}).code, 0);
        QCOMPARE(cli({QStringLiteral("contacts"), QStringLiteral("Clients été")}).out.count('\n'), 1);
        QCOMPARE(cli({QStringLiteral("book"), QStringLiteral("rename"), QStringLiteral("Clients été"), QStringLiteral("Anciens")}).code, 0);
        QCOMPARE(cli({QStringLiteral("book"), QStringLiteral("copy"), QStringLiteral("Anciens"), QStringLiteral("Copie")}).code, 0);
        QCOMPARE(cli({QStringLiteral("books")}).out, QByteArray("Anciens\nCopie\n"));
        QCOMPARE(cli({QStringLiteral("book"), QStringLiteral("delete"), QStringLiteral("Copie")}).code, 0);
    }

    // A book file that is not a database: the error says so, in one line.
    void unreadableBookGivesTheReason_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("contacts") << QStringList{QStringLiteral("contacts"), QStringLiteral("bad")};
        QTest::newRow("export") << QStringList{QStringLiteral("export"), QStringLiteral("bad"), m_home.filePath(QStringLiteral("bad.csv"))};
        QTest::newRow("contact add") << QStringList{QStringLiteral("contact"), QStringLiteral("add"), QStringLiteral("bad"), QStringLiteral("nom=x")};
    }
    void unreadableBookGivesTheReason()
    {
        QFETCH(QStringList, args);
        QFile bad(m_home.filePath(QStringLiteral("Annuaires/an_bad.db")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(QByteArray(4096, 'x'));
        bad.close();
        const Run r = cli(args);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("file is not a database"), r.err.constData());
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY(!QFileInfo::exists(m_home.filePath(QStringLiteral("bad.csv"))));
    }

    void errorsAreOneLineAndStatusOne_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("bad name") << QStringList{QStringLiteral("book"), QStringLiteral("create"), QStringLiteral("a/b")}
                                  << QByteArray("cannot contain one of the following characters");
        QTest::newRow("existing name") << QStringList{QStringLiteral("book"), QStringLiteral("create"), QStringLiteral("Anciens")}
                                       << QByteArray("Une erreur lors de l'ajout d'un nouveau annuaire: File exists");
        QTest::newRow("copy to a path")
            << QStringList{QStringLiteral("book"), QStringLiteral("copy"), QStringLiteral("Anciens"), QStringLiteral("a/b")}
            << QByteArray("cannot contain one of the following characters");
        QTest::newRow("rename to another folder")
            << QStringList{QStringLiteral("book"), QStringLiteral("rename"), QStringLiteral("Anciens"), QStringLiteral("../../x")}
            << QByteArray("cannot contain one of the following characters");
        QTest::newRow("delete two dots") << QStringList{QStringLiteral("book"), QStringLiteral("delete"), QStringLiteral("..")}
                                         << QByteArray("the name holds \"..\"");
        QTest::newRow("relabel a line break")
            << QStringList{QStringLiteral("book"), QStringLiteral("relabel"), QStringLiteral("a\nb"), QStringLiteral("1,2,3,4")}
            << QByteArray("the name holds a line break");
        QTest::newRow("copy to an empty name")
            << QStringList{QStringLiteral("book"), QStringLiteral("copy"), QStringLiteral("Anciens"), QString()}
            << QByteArray("the name is empty");
        QTest::newRow("contacts of a path")
            << QStringList{QStringLiteral("contacts"), QStringLiteral("../Annuaires/an_Anciens")}
            << QByteArray("not a name an address book can have");
        QTest::newRow("contact add to a path")
            << QStringList{QStringLiteral("contact"), QStringLiteral("add"), QStringLiteral("x/../../y"), QStringLiteral("nom=x")}
            << QByteArray("not a name an address book can have");
        QTest::newRow("delete Subscribers") << QStringList{QStringLiteral("book"), QStringLiteral("delete"), QStringLiteral("SUBSCRIBERS")}
                                            << QByteArray("You cannot delete the directory");
        QTest::newRow("rename a missing book")
            << QStringList{QStringLiteral("book"), QStringLiteral("rename"), QStringLiteral("nope"), QStringLiteral("x")}
            << QByteArray("Une erreur en renommant un annuaire: No such file or directory");
        QTest::newRow("subscribers") << QStringList{QStringLiteral("book"), QStringLiteral("delete"), QStringLiteral("subscribers")}
                                     << QByteArray("You cannot delete the directory");
        QTest::newRow("unknown book") << QStringList{QStringLiteral("contacts"), QStringLiteral("nope")} << QByteArray("no address book");
        QTest::newRow("unknown column") << QStringList{QStringLiteral("contact"), QStringLiteral("add"), QStringLiteral("Anciens"), QStringLiteral("age=3")}
                                        << QByteArray("not a column");
        QTest::newRow("bad id") << QStringList{QStringLiteral("contact"), QStringLiteral("delete"), QStringLiteral("Anciens"), QStringLiteral("1;2")}
                                << QByteArray("not an id");
        QTest::newRow("unknown command") << QStringList{QStringLiteral("frobnicate")} << QByteArray("unknown command");
    }
    void errorsAreOneLineAndStatusOne()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, message);
        const Run r = cli(args);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(message), r.err.constData());
        QCOMPARE(r.err.count('\n'), 1);
    }

    // What "contacts" prints is JSON that reads back as the values stored.
    void jsonValuesComeBackUnchanged_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("backslash") << QStringLiteral("C:\\dossier\\n\\");
        QTest::newRow("quotes") << QStringLiteral("say \"hi\" \\\"");
        QTest::newRow("controls") << QStringLiteral("tab\tcr\rlf\n\x01\x1f end");
        QTest::newRow("non-ascii") << QStringLiteral("Zoë Ωmega 😀 \u2028");
        QTest::newRow("slash") << QStringLiteral("</script>");
    }
    void jsonValuesComeBackUnchanged()
    {
        QFETCH(QString, value);
        QTemporaryDir home;
        const auto run = [&](const QStringList &args) { return runCli(home.path(), args); };
        QCOMPARE(run({QStringLiteral("book"), QStringLiteral("create"), QStringLiteral("b")}).code, 0);
        QCOMPARE(run({QStringLiteral("contact"), QStringLiteral("add"), QStringLiteral("b"), QStringLiteral("nom=") + value,
                      QStringLiteral("commentaire=") + value}).code, 0);
        const Run list = run({QStringLiteral("contacts"), QStringLiteral("b")});
        QCOMPARE(list.code, 0);
        QCOMPARE(list.out.count('\n'), 1);
        QJsonParseError error;
        const QJsonObject o = QJsonDocument::fromJson(list.out, &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QCOMPARE(o.value(QStringLiteral("nom")).toString(), value);
        QCOMPARE(o.value(QStringLiteral("commentaire")).toString(), value);
    }

    // A book with a page overwritten: the listing and the export fail with the
    // store's reason, never print blank contacts.
    void damagedBookFails_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("contacts") << QStringList{QStringLiteral("contacts"), QStringLiteral("damaged")};
        QTest::newRow("export") << QStringList{QStringLiteral("export"), QStringLiteral("damaged"), m_home.filePath(QStringLiteral("damaged.csv"))};
    }
    void damagedBookFails()
    {
        QFETCH(QStringList, args);
        QTemporaryDir home;
        QCOMPARE(runCli(home.path(), {QStringLiteral("book"), QStringLiteral("create"), QStringLiteral("damaged")}).code, 0);
        {
            // Enough rows for several pages.
            QStringList add = {QStringLiteral("contact"), QStringLiteral("add"), QStringLiteral("damaged"), QString(),
                               QStringLiteral("commentaire=") + QString(3000, u'c')};
            for (int i = 0; i < 12; ++i) {
                add[3] = QStringLiteral("nom=n%1").arg(i, 2, 10, QLatin1Char('0'));
                QCOMPARE(runCli(home.path(), add).code, 0);
            }
        }
        QFile book(home.filePath(QStringLiteral("Annuaires/an_damaged.db")));
        QVERIFY(book.open(QIODevice::ReadWrite));
        QVERIFY(book.size() > 8 * 4096);
        QVERIFY(book.seek(6 * 4096)); // a page of rows
        book.write(QByteArray(4096, '\xA5'));
        book.close();
        const Run r = runCli(home.path(), args);
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("malformed"), r.err.constData());
        QVERIFY(!r.out.contains("\"id\":-1"));
        QVERIFY(!QFileInfo::exists(m_home.filePath(QStringLiteral("damaged.csv"))));
    }

    // Bytes that are not UTF-8 in a value are refused, never stored as U+FFFD.
    void valueNotUtf8IsRefused()
    {
        QTemporaryDir home;
        QCOMPARE(runCli(home.path(), {QStringLiteral("book"), QStringLiteral("create"), QStringLiteral("b")}).code, 0);
        QProcess p;
        p.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"), QStringLiteral("exec \"$0\" --home \"$1\" contact add b \"nom=$(printf 'caf\\351')\""),
                 qEnvironmentVariable("KIRVANE_BIN_DIR") + QStringLiteral("/kirvane-cli"), home.path()});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY2(p.readAllStandardError().contains("not valid UTF-8"), "no refusal");
        QCOMPARE(runCli(home.path(), {QStringLiteral("contacts"), QStringLiteral("b")}).out, QByteArray());
    }

    // A book file whose name is not UTF-8 cannot be reached by any name: the
    // listing says it is there.
    void bookFileNamedInAnotherCharsetIsReported()
    {
        QTemporaryDir home;
        QCOMPARE(runCli(home.path(), {QStringLiteral("book"), QStringLiteral("create"), QStringLiteral("b")}).code, 0);
        const QByteArray latin1 = QFile::encodeName(home.filePath(QStringLiteral("Annuaires/"))) + "an_\xE9t\xE9.db";
        FILE *f = std::fopen(latin1.constData(), "w");
        QVERIFY(f);
        std::fclose(f);
        const Run r = runCli(home.path(), {QStringLiteral("books")});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QByteArray("b\n"));
        QVERIFY2(r.err.contains("an_\xC3\xA9t\xC3\xA9.db") && r.err.contains("not valid UTF-8"), r.err.constData());
    }

    // Relabelling on a full disk fails and keeps the label file.
    void relabelOnAFullDisk()
    {
        QTemporaryDir home;
        QCOMPARE(runCli(home.path(), {QStringLiteral("book"), QStringLiteral("create"), QStringLiteral("b"),
                                      QStringLiteral("--labels"), QStringLiteral("a,b,c,d")}).code, 0);
        const QString labels = home.filePath(QStringLiteral("Annuaires/an_b.ini"));
        QFile before(labels);
        QVERIFY(before.open(QIODevice::ReadOnly));
        const QByteArray old = before.readAll();
        before.close();
        QProcess p;
        p.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"), QStringLiteral("trap '' XFSZ; ulimit -f 0; exec \"$0\" --home \"$1\" book relabel b w,x,y,z"),
                 qEnvironmentVariable("KIRVANE_BIN_DIR") + QStringLiteral("/kirvane-cli"), home.path()});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY2(p.readAllStandardError().contains("File too large"), "no reason given");
        QVERIFY(before.open(QIODevice::ReadOnly));
        QCOMPARE(before.readAll(), old);
        QCOMPARE(QDir(home.filePath(QStringLiteral("Annuaires"))).entryList(QDir::Files),
                 QStringList({QStringLiteral("an_b.db"), QStringLiteral("an_b.ini"), QStringLiteral("vierge.db"),
                              QStringLiteral("vierge.ini")}));
    }
};

QTEST_GUILESS_MAIN(TstStoreCli)
#include "tst_store_cli.moc"
