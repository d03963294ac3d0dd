// kirvane-cli contact show|update|copy|move and titles, run as a user runs them.
#include "clirun.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

class TstContactCli : public QObject {
    Q_OBJECT
    QTemporaryDir m_home;

    CliRun cli(const QStringList &args) { return runCli(m_home.path(), args); }
    QJsonObject show(const QString &book, const QString &id)
    {
        const CliRun r = cli({QStringLiteral("contact"), QStringLiteral("show"), book, id});
        return QJsonDocument::fromJson(r.out).object();
    }

private Q_SLOTS:
    void showUpdateCopyMove()
    {
        for (const char *b : {"clients", "archive"})
            QCOMPARE(cli({QStringLiteral("book"), QStringLiteral("create"), QString::fromLatin1(b)}).code, 0);
        const auto add = [this](const char *book, const char *nom, const char *email) {
            return cli({QStringLiteral("contact"), QStringLiteral("add"), QString::fromLatin1(book),
                        QStringLiteral("nom=") + QString::fromUtf8(nom), QStringLiteral("email=") + QString::fromUtf8(email)})
                .out.trimmed();
        };
        QCOMPARE(add("clients", "Dupont", "jean@example.org"), QByteArray("1"));
        QCOMPARE(add("clients", "Martin", "paul@example.org"), QByteArray("2"));
        QCOMPARE(add("archive", "DUPONT", "other@example.org"), QByteArray("1"));

        const QJsonObject one = show(QStringLiteral("clients"), QStringLiteral("1"));
        QCOMPARE(one.size(), 19);
        QCOMPARE(one.value(QStringLiteral("id")).toInt(), 1);
        QCOMPARE(one.value(QStringLiteral("email")).toString(), QStringLiteral("jean@example.org"));

        // Update saves what it is told, duplicate or not, apostrophes as typed.
        QCOMPARE(cli({QStringLiteral("contact"), QStringLiteral("update"), QStringLiteral("clients"), QStringLiteral("2"),
                      QStringLiteral("nom=Dupont"), QStringLiteral("email=o'neil@example.org")}).code, 0);
        const QJsonObject two = show(QStringLiteral("clients"), QStringLiteral("2"));
        QCOMPARE(two.value(QStringLiteral("nom")).toString(), QStringLiteral("Dupont"));
        QCOMPARE(two.value(QStringLiteral("email")).toString(), QStringLiteral("o'neil@example.org"));
        QCOMPARE(cli({QStringLiteral("contact"), QStringLiteral("update"), QStringLiteral("clients"), QStringLiteral("2"),
                      QStringLiteral("colour=red")}).code, 1);
        QCOMPARE(cli({QStringLiteral("contact"), QStringLiteral("show"), QStringLiteral("clients"), QStringLiteral("9")}).code, 1);

        // Both clients contacts are named Dupont, as is archive's: skipped by default.
        const CliRun skipped = cli({QStringLiteral("contact"), QStringLiteral("copy"), QStringLiteral("clients"),
                                    QStringLiteral("archive"), QStringLiteral("1"), QStringLiteral("2")});
        QCOMPARE(skipped.code, 0);
        QCOMPARE(skipped.out, QByteArray("skipped 1\nskipped 2\n"));
        const CliRun kept = cli({QStringLiteral("contact"), QStringLiteral("move"), QStringLiteral("clients"),
                                 QStringLiteral("archive"), QStringLiteral("2"), QStringLiteral("--duplicates"), QStringLiteral("keep")});
        QCOMPARE(kept.out, QByteArray("moved 2\n"));
        QCOMPARE(cli({QStringLiteral("contacts"), QStringLiteral("clients")}).out.count('\n'), 1);
        QCOMPARE(cli({QStringLiteral("contacts"), QStringLiteral("archive")}).out.count('\n'), 2);
        QCOMPARE(cli({QStringLiteral("contact"), QStringLiteral("copy"), QStringLiteral("clients"), QStringLiteral("nowhere"),
                      QStringLiteral("1")}).code, 1);
    }

    void titles()
    {
        // The data folder starts with a list of its own.
        QVERIFY(cli({QStringLiteral("titles")}).out.contains("Ma\xC3\xAEtre\n"));
        QCOMPARE(cli({QStringLiteral("titles"), QStringLiteral("set"), QStringLiteral("Monsieur"), QStringLiteral("Maître"),
                      QStringLiteral("MAÎTRE")}).code, 0);
        QCOMPARE(cli({QStringLiteral("titles")}).out, QByteArray("Monsieur\nMa\xC3\xAEtre\n"));
    }
};

QTEST_GUILESS_MAIN(TstContactCli)
#include "tst_contact_cli.moc"
