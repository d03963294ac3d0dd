// kirvane-cli search and duplicates, run as a user runs them.
#include "clirun.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

class TstSearchCli : public QObject {
    Q_OBJECT
    QTemporaryDir m_home;

    CliRun cli(const QStringList &args) { return runCli(m_home.path(), args, {{"LC_ALL", "C"}}); }

    void add(const QString &book, const QStringList &values)
    {
        QCOMPARE(cli(QStringList{"contact", "add", book} + values).code, 0);
    }

    // "book:id" of each line, with one column's value.
    static QStringList keys(const QByteArray &out, const QString &column)
    {
        QStringList k;
        for (const QByteArray &line : out.split('\n')) {
            if (line.isEmpty())
                continue;
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            k << o.value("book").toString() + u':' + QString::number(o.value("id").toInt()) + u'=' + o.value(column).toString();
        }
        return k;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QCOMPARE(cli({"book", "create", "a"}).code, 0);
        QCOMPARE(cli({"book", "create", "b"}).code, 0);
        add("a", {"nom=Dupont", "prenom=Jean", "ville=Paris"});
        add("a", {"nom=Dupont", "prenom=Marie"});
        add("a", {"nom=DupontJ", "prenom=ean"});
        add("b", {"nom=dupont", "prenom=JEAN"});
        add("b", {"nom=Dupont", "prenom=Jean"});
        add("b", {"nom=DupontJ", "prenom=ean"});
    }

    void search()
    {
        const CliRun all = cli({"search", "--nom", "DUPONT", "--prenom", "jean"});
        QCOMPARE(all.code, 0);
        QCOMPARE(keys(all.out, "ville"), QStringList({"a:1=Paris", "b:1=", "b:2="}));
        QCOMPARE(keys(cli({"search", "--book", "B", "--nom", "dupont"}).out, "prenom"),
                 QStringList({"b:1=JEAN", "b:2=Jean"}));
        QCOMPARE(cli({"search", "--book", "a"}).out, QByteArray());
        const CliRun missing = cli({"search", "--book", "nowhere", "--nom", "x"});
        QCOMPARE(missing.code, 1);
        QVERIFY(missing.err.contains("nowhere"));
    }

    void duplicatesThenDeleteOthers()
    {
        const CliRun listed = cli({"duplicates", "a", "b", "--by", "prenom,nom"});
        QCOMPARE(listed.code, 0);
        // In the order of the criteria: nom, then prenom.
        QCOMPARE(keys(listed.out, "nom"), QStringList({"a:1=Dupont", "b:2=Dupont", "a:3=DupontJ", "b:3=DupontJ"}));
        const CliRun bad = cli({"duplicates", "a", "--by", "nom,ville"});
        QCOMPARE(bad.code, 1);
        QVERIFY(bad.err.contains("ville"));
        QCOMPARE(cli({"duplicates", "a", "b", "--by", "nom", "--delete-others", "a:9"}).code, 1);

        // The other Dupont Jean goes; DupontJ ean, the same letters end to end, stays.
        const CliRun deleted = cli({"duplicates", "a", "b", "--by", "nom,prenom", "--delete-others", "a:1"});
        QCOMPARE(deleted.code, 0);
        QCOMPARE(deleted.out, QByteArray("{\"deleted\":{\"book\":\"b\",\"id\":2}}\n"));
        QCOMPARE(cli({"contacts", "b"}).out.count('\n'), 2);
        QCOMPARE(cli({"contacts", "a"}).out.count('\n'), 3);
    }
};

QTEST_GUILESS_MAIN(TstSearchCli)
#include "tst_search_cli.moc"
