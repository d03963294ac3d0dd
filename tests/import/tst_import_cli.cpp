// kirvane-cli tables and import, run as a user runs them: an exported book
// comes back value for value, a wrong mapping or a wrong file imports nothing,
// --map auto maps a heading line and prints its choice, --existing decides
// what becomes of rows whose address the book holds.
#include "clirun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

class TstImportCli : public QObject {
    Q_OBJECT
    QTemporaryDir m_home;

    CliRun cli(const QStringList &args) { return runCli(m_home.path(), args); }

    QList<QJsonObject> contacts(const QString &book)
    {
        QList<QJsonObject> out;
        for (const QByteArray &line : cli({QStringLiteral("contacts"), book}).out.split('\n'))
            if (!line.isEmpty()) {
                QJsonObject o = QJsonDocument::fromJson(line).object();
                o.remove(QStringLiteral("id"));
                out << o;
            }
        return out;
    }

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_home.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }

    static QByteArray readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static const QString allColumns()
    {
        return QStringLiteral("nom=1,prenom=2,code_postal=3,ville=4,adresse1=5,adresse2=6,pays=7,tel=8,fax=9,"
                              "email=10,societe=11,civilite=12,commentaire=13,url=14,champ16=15,champ17=16,"
                              "champ18=17,champ19=18");
    }

private Q_SLOTS:
    void initTestCase()
    {
        QCOMPARE(cli({QStringLiteral("book"), QStringLiteral("create"), QStringLiteral("source"),
                      QStringLiteral("--labels"), QStringLiteral("Âge;ans,Ville natale,,x")}).code, 0);
        QCOMPARE(cli({QStringLiteral("book"), QStringLiteral("create"), QStringLiteral("target")}).code, 0);
    }

    // Values with ';', '"', line breaks and an e-mail address with an
    // apostrophe survive export and import; the heading line is skipped.
    void exportThenImportGivesTheSameContacts()
    {
        const QString book = QStringLiteral("source");
        QCOMPARE(cli({QStringLiteral("contact"), QStringLiteral("add"), book, QStringLiteral("nom=Durand; fils"),
                      QStringLiteral("societe=say \"hi\""), QStringLiteral("commentaire=one\r\ntwo\nthree"),
                      QStringLiteral("email=o'neil@example.org"), QStringLiteral("champ19=ÿ last")}).code, 0);
        QCOMPARE(cli({QStringLiteral("contact"), QStringLiteral("add"), book, QStringLiteral("nom=Abel"),
                      QStringLiteral("url=http://example.org/a;b")}).code, 0);
        QCOMPARE(cli({QStringLiteral("contact"), QStringLiteral("add"), book}).code, 0); // an empty contact
        const QString file = m_home.filePath(QStringLiteral("out.csv"));
        QCOMPARE(cli({QStringLiteral("export"), book, file}).code, 0);

        const CliRun tables = cli({QStringLiteral("tables"), file});
        QCOMPARE(tables.code, 0);
        const QJsonObject t = QJsonDocument::fromJson(tables.out.trimmed()).object();
        QCOMPARE(t.value(QStringLiteral("name")).toString(), QStringLiteral("out#csv"));
        QCOMPARE(t.value(QStringLiteral("rows")).toInt(), 3);
        QCOMPARE(t.value(QStringLiteral("columns")).toArray().size(), 18);
        QCOMPARE(t.value(QStringLiteral("columns")).toArray().at(14).toString(), QStringLiteral("Âge;ans"));

        const CliRun run = cli({QStringLiteral("import"), QStringLiteral("target"), file, QStringLiteral("--skip-header"),
                                QStringLiteral("--map"), allColumns()});
        QCOMPARE(run.code, 0);
        QCOMPARE(run.out, QByteArray("added 3\nrefused 0\n"));
        QCOMPARE(contacts(QStringLiteral("target")), contacts(book));
    }

    // The export never writes over a table or label file of the data folder,
    // whatever the letter case or a link in between; the book stays whole.
    void exportRefusesDataFolderFiles_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("the book itself") << "Annuaires/an_source.db";
        QTest::newRow("the template, another letter case") << "Annuaires/VIERGE.DB";
        QTest::newRow("a label file") << "Annuaires/an_source.ini";
        QTest::newRow("the history") << "historique/historique.db";
        QTest::newRow("a link to the book") << "link.csv";
    }

    void exportRefusesDataFolderFiles()
    {
        QFETCH(QString, target);
        const QString book = m_home.filePath(QStringLiteral("Annuaires/an_source.db"));
        QFile::remove(m_home.filePath(QStringLiteral("link.csv")));
        QVERIFY(QFile::link(book, m_home.filePath(QStringLiteral("link.csv"))));
        const QByteArray before = readAll(QFileInfo(m_home.filePath(target)).exists() ? m_home.filePath(target) : book);
        const CliRun run = cli({QStringLiteral("export"), QStringLiteral("source"), m_home.filePath(target)});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains("file of the data folder"), run.err.constData());
        if (QFileInfo::exists(m_home.filePath(target)))
            QCOMPARE(readAll(m_home.filePath(target)), before);
        QCOMPARE(cli({QStringLiteral("contacts"), QStringLiteral("source")}).code, 0);
    }

    // A full disk fails the export and leaves the file that was there, with
    // no half-written file beside it. The small disk is a tmpfs mounted in a
    // user namespace of its own.
    void exportOnAFullDiskKeepsTheOldFile()
    {
        if (QProcess::execute(QStringLiteral("unshare"), {QStringLiteral("-rm"), QStringLiteral("true")}) != 0)
            QSKIP("no user namespaces here to mount a small disk in");
        QByteArray rows = "Nom;Commentaire\r\n";
        for (int i = 0; i < 2000; ++i)
            rows += "Contact " + QByteArray::number(i) + ";" + QByteArray(60, 'x') + "\r\n";
        const QString big = writeFile(QStringLiteral("big.csv"), rows);
        QCOMPARE(cli({QStringLiteral("book"), QStringLiteral("create"), QStringLiteral("big")}).code, 0);
        QCOMPARE(cli({QStringLiteral("import"), QStringLiteral("big"), big, QStringLiteral("--skip-header"),
                      QStringLiteral("--map"), QStringLiteral("nom=1,commentaire=2")}).code, 0);
        const QString disk = m_home.filePath(QStringLiteral("disk"));
        QVERIFY(QDir().mkpath(disk));
        const QString script = QStringLiteral(
            "mount -t tmpfs -o size=64k none \"$1\" && printf 'keep me' > \"$1/out.csv\" && "
            "\"$2\" --home \"$3\" export big \"$1/out.csv\"; echo \"rc=$?\"; cat \"$1/out.csv\"; echo; ls -A \"$1\"");
        QProcess p;
        p.start(QStringLiteral("unshare"), {QStringLiteral("-rm"), QStringLiteral("sh"), QStringLiteral("-c"), script,
                                            QStringLiteral("sh"), disk,
                                            qEnvironmentVariable("KIRVANE_BIN_DIR") + QStringLiteral("/kirvane-cli"), m_home.path()});
        QVERIFY(p.waitForFinished(60000));
        const QList<QByteArray> lines = p.readAllStandardOutput().split('\n');
        QVERIFY2(lines.size() >= 3, p.readAllStandardError().constData());
        QCOMPARE(lines[0], QByteArray("rc=1"));
        QCOMPARE(lines[1], QByteArray("keep me"));
        QCOMPARE(lines[2], QByteArray("out.csv")); // nothing left beside it
    }

    void automaticMappingAndExistingAddresses()
    {
        QCOMPARE(cli({QStringLiteral("book"), QStringLiteral("create"), QStringLiteral("google")}).code, 0);
        const QString file = writeFile(QStringLiteral("google.csv"),
                                       "Name,Given Name,Family Name,E-mail 1 - Type,E-mail 1 - Value,Group Membership\n"
                                       "Jean Durand,Jean,Durand,* Home,jean@example.org,* myContacts\n"
                                       "Léa Petit,Léa,Petit,,lea@example.org,\n");
        const QStringList import{QStringLiteral("import"), QStringLiteral("google"), file, QStringLiteral("--map"),
                                 QStringLiteral("auto")};
        CliRun run = cli(import);
        QCOMPARE(run.code, 0);
        QCOMPARE(run.out, QByteArray("map \"Name\" -> unused\n"
                                     "map \"Given Name\" -> prenom\n"
                                     "map \"Family Name\" -> nom\n"
                                     "map \"E-mail 1 - Type\" -> unused\n"
                                     "map \"E-mail 1 - Value\" -> email\n"
                                     "map \"Group Membership\" -> unused\n"
                                     "first line: headings, skipped\n"
                                     "added 2\nrefused 0\n"));
        QList<QJsonObject> rows = contacts(QStringLiteral("google"));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[1].value(QStringLiteral("prenom")).toString(), QStringLiteral("Léa"));
        QCOMPARE(rows[1].value(QStringLiteral("email")).toString(), QStringLiteral("lea@example.org"));

        writeFile(QStringLiteral("google.csv"), "Given Name,Family Name,E-mail 1 - Value\n"
                                                "Jean,DURAND,JEAN@EXAMPLE.ORG\nMarc,Neuf,marc@example.org\n");
        run = cli(import + QStringList{QStringLiteral("--existing"), QStringLiteral("skip")});
        QCOMPARE(run.code, 0);
        QVERIFY2(run.out.endsWith("added 1\nupdated 0\nskipped 1\nrefused 0\n"), run.out.constData());
        run = cli(import + QStringList{QStringLiteral("--existing"), QStringLiteral("update")});
        QCOMPARE(run.code, 0);
        QVERIFY2(run.out.endsWith("added 0\nupdated 2\nskipped 0\nrefused 0\n"), run.out.constData());
        rows = contacts(QStringLiteral("google"));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0].value(QStringLiteral("nom")).toString(), QStringLiteral("DURAND"));

        run = cli(import + QStringList{QStringLiteral("--existing"), QStringLiteral("merge")});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains("--existing takes add, skip or update"), run.err.constData());
        const QString plain = writeFile(QStringLiteral("plain.csv"), "Durand;d@example.org\nPetit;p@example.org\n");
        run = cli({QStringLiteral("import"), QStringLiteral("google"), plain, QStringLiteral("--map"), QStringLiteral("auto")});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains("does not read as headings"), run.err.constData());
        QCOMPARE(contacts(QStringLiteral("google")).size(), 3);
    }

    // Each check of the mapping stops the import with the wizard's words.
    void mappingErrorsImportNothing_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("field twice") << QStringList{QStringLiteral("--map"), QStringLiteral("email=1,email=2")}
                                     << QStringLiteral("You have specified twice the same field.");
        QTest::newRow("no field") << QStringList{QStringLiteral("--map"), QString()}
                                  << QStringLiteral("You must use at least one field of your base.");
        QTest::newRow("unknown field") << QStringList{QStringLiteral("--map"), QStringLiteral("age=1")}
                                       << QStringLiteral("FIELD=COLUMN");
        QTest::newRow("unknown column") << QStringList{QStringLiteral("--map"), QStringLiteral("nom=Age")}
                                        << QStringLiteral("no column \"Age\"");
        QTest::newRow("column out of range") << QStringList{QStringLiteral("--map"), QStringLiteral("nom=3")}
                                             << QStringLiteral("no column \"3\"");
        QTest::newRow("not a text file") << QStringList{QStringLiteral("--map"), QStringLiteral("nom=1"),
                                                        QStringLiteral("--binary")}
                                         << QStringLiteral("Incorrect file format.");
        QTest::newRow("heading only") << QStringList{QStringLiteral("--map"), QStringLiteral("nom=1"),
                                                     QStringLiteral("--empty")}
                                      << QStringLiteral("The .csv file is empty.");
    }

    void mappingErrorsImportNothing()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        QString file = writeFile(QStringLiteral("two.csv"), "Nom;Email\r\nA;a@example.org\r\n");
        if (args.removeAll(QStringLiteral("--binary")))
            file = writeFile(QStringLiteral("binary.csv"), QByteArray("PK\x03\x04\0\0\x08\0", 8));
        if (args.removeAll(QStringLiteral("--empty")))
            file = writeFile(QStringLiteral("empty.csv"), "Nom;Email\r\n");
        QCOMPARE(cli({QStringLiteral("book"), QStringLiteral("create"), QStringLiteral("untouched")}).code, 0);
        const CliRun run = cli(QStringList{QStringLiteral("import"), QStringLiteral("untouched"), file} + args);
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains(message.toUtf8()), run.err.constData());
        QCOMPARE(contacts(QStringLiteral("untouched")).size(), 0);
        QCOMPARE(cli({QStringLiteral("book"), QStringLiteral("delete"), QStringLiteral("untouched")}).code, 0);
    }
};

QTEST_GUILESS_MAIN(TstImportCli)
#include "tst_import_cli.moc"
