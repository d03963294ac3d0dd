// kirvane-cli's store commands, run as a user runs them.
#include "clirun.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

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
        QTest::newRow("name the file system refuses")
            << QStringList{QStringLiteral("book"), QStringLiteral("copy"), QStringLiteral("Anciens"), QStringLiteral("a/b")}
            << QByteArray("Une erreur lors de la copie d'un annuaire: Cannot create");
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
};

QTEST_GUILESS_MAIN(TstStoreCli)
#include "tst_store_cli.moc"
