// The history of sent messages: walking it, deleting records with their
// folders and the record to show after, sending a record again in each mode,
// and the command line's history commands, on a real history table.
#include "clirun.h"
#include "support/datafolder.h"

#include "common/folders.h"
#include "message/messagedocument.h"
#include "sending/historybrowser.h"
#include "store/addressbookstore.h"
#include "store/bookfiles.h"
#include "store/database.h"
#include "store/historytable.h"
#include "texts/asker.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTest>

using namespace kirvane::common;
using namespace kirvane::sending;
using namespace kirvane::store;
using namespace kirvane::texts;
namespace message = kirvane::message;

class TestHistory : public QObject {
    Q_OBJECT

    std::unique_ptr<kirvane::test::TestDataFolder> m_data;
    AddressBookStore *m_store = nullptr;

    qint64 add(const QString &subject, const QString &mode, const QString &body = QString(),
               const QString &books = QStringLiteral("clients\r\n"), const QString &files = QString())
    {
        return m_store->history().add({subject, body, QString(), mode, QString(), files, books});
    }

private Q_SLOTS:
    void init()
    {
        m_data = std::make_unique<kirvane::test::TestDataFolder>();
        m_store = &m_data->store();
    }
    void cleanup()
    {
        m_store = nullptr;
        m_data.reset();
    }

    void rowAfterDeleting_data()
    {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("after");
        QTest::newRow("the only record") << QList<int>{0} << 1 << -1;
        QTest::newRow("the first: the one that followed") << QList<int>{0} << 3 << 0;
        QTest::newRow("the last: the one before") << QList<int>{2} << 3 << 1;
        QTest::newRow("a middle one: the one before") << QList<int>{1} << 3 << 0;
        QTest::newRow("chosen in any order") << QList<int>{2, 1} << 4 << 0;
        QTest::newRow("every record") << QList<int>{0, 1, 2} << 3 << -1;
        QTest::newRow("the first two of three") << QList<int>{1, 0} << 3 << 0;
        QTest::newRow("nothing chosen") << QList<int>{} << 3 << -1;
    }
    void rowAfterDeleting()
    {
        QFETCH(QList<int>, rows);
        QFETCH(int, count);
        QFETCH(int, after);
        QCOMPARE(HistoryBrowser::rowAfterDeleting(rows, count), after);
    }

    void walkAndDelete()
    {
        const qint64 a = add(QStringLiteral("Un"), QStringLiteral("1"));
        add(QStringLiteral("Deux"), QStringLiteral("2"), QStringLiteral("corps\r\n"), QStringLiteral("a\r\nb\r\n"),
            QStringLiteral("/tmp/x.pdf\r\n"));
        const qint64 c = add(QStringLiteral("Trois"), QStringLiteral("3"));
        HistoryEntry kept;
        kept.id = c;
        QVERIFY(QDir().mkpath(kept.folder()));
        QVERIFY(QFile(kept.folder() + QStringLiteral("temp_html.html")).open(QIODevice::WriteOnly));

        HistoryBrowser h(*m_store);
        QVERIFY(h.reload());
        QCOMPARE(h.count(), 3);
        QVERIFY(!h.previous());
        QVERIFY(h.next());
        const HistoryEntry two = h.current();
        QCOMPARE(two.subject, QStringLiteral("Deux"));
        QCOMPARE(two.books, QStringList({QStringLiteral("a"), QStringLiteral("b")}));
        QCOMPARE(two.attachments, QStringList(QStringLiteral("/tmp/x.pdf")));
        QCOMPARE(two.mode, 2);
        QVERIFY(h.next());
        QVERIFY(!h.next());

        ScriptedAsker asker;
        // Nothing chosen: the notice, nothing deleted.
        QVERIFY(!h.deleteRows({}, asker).done);
        QCOMPARE(asker.questions().back().kind, DialogKind::Ok);
        // No to the question keeps everything.
        asker.answerNext(Answer::No);
        QVERIFY(!h.deleteRows({2}, asker).done);
        QCOMPARE(h.count(), 3);
        // The last record goes with its folder; the one before becomes current.
        asker.answerNext(Answer::Yes);
        const HistoryBrowser::Deletion d = h.deleteRows({2}, asker);
        QVERIFY(d.done);
        QCOMPARE(d.deleted, QList<qint64>({c}));
        QVERIFY(d.foldersLeft.isEmpty());
        QVERIFY(!QFileInfo::exists(kept.folder()));
        QCOMPARE(h.count(), 2);
        QCOMPARE(h.current().subject, QStringLiteral("Deux"));
        // The first: the one that followed it.
        asker.answerNext(Answer::Yes);
        h.deleteRows({0}, asker);
        QCOMPARE(h.current().subject, QStringLiteral("Deux"));
        // A new record never takes an id given before, so it never meets the
        // folder of a deleted one.
        QVERIFY(add(QStringLiteral("Quatre"), QStringLiteral("1")) > c);
        QVERIFY(a < c);
    }

    void sendAgain_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("body");
        QTest::addColumn<int>("composeMode");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("text");
        QTest::newRow("formatted: the words without formatting")
            << QStringLiteral("1") << QStringLiteral("Bonjour &prenom&\r\nligne 2\r\n") << int(message::ComposeMode::RichHtml)
            << QStringLiteral("Sujet") << QStringLiteral("Bonjour &prenom&\nligne 2");
        QTest::newRow("plain text") << QStringLiteral("2") << QStringLiteral("Texte seul\r\n")
                                    << int(message::ComposeMode::PlainText) << QStringLiteral("Sujet")
                                    << QStringLiteral("Texte seul");
        QTest::newRow("HTML file without a title: no subject")
            << QStringLiteral("3") << QStringLiteral("<html><body><p>Page</p></body></html>\r\n")
            << int(message::ComposeMode::HtmlFile) << QString() << QString();
    }
    void sendAgain()
    {
        QFETCH(QString, mode);
        QFETCH(QString, body);
        QFETCH(int, composeMode);
        QFETCH(QString, subject);
        QFETCH(QString, text);
        add(QStringLiteral("Sujet"), mode, body, QStringLiteral("clients\r\nprospects\r\n"), QStringLiteral("/tmp/a.pdf\r\n"));
        HistoryBrowser h(*m_store);
        QVERIFY(h.reload());
        message::MessageDocument doc;
        doc.setExclusionBooks({QStringLiteral("stop")});
        doc.setSubject(QStringLiteral("old"));
        ScriptedAsker asker;
        QVERIFY(h.sendAgain(0, doc, asker));
        QCOMPARE(int(doc.mode()), composeMode);
        QCOMPARE(doc.subject(), subject);
        QCOMPARE(doc.destinationBooks(), QStringList({QStringLiteral("clients"), QStringLiteral("prospects")}));
        QCOMPARE(doc.attachments(), QStringList(QStringLiteral("/tmp/a.pdf")));
        QCOMPARE(doc.exclusionBooks(), QStringList(QStringLiteral("stop")));
        if (composeMode == int(message::ComposeMode::RichHtml))
            QCOMPARE(doc.richText()->toPlainText(), text);
        else if (composeMode == int(message::ComposeMode::PlainText))
            QCOMPARE(doc.plainText(), text);
        else
            QVERIFY(doc.plainText().contains(QStringLiteral("<p>Page</p>")));
    }

    // A record whose folder is a link to a folder elsewhere: deleting the
    // record removes the link, never the files it names.
    void deletionFollowsNoLink()
    {
        const qint64 id = add(QStringLiteral("Page"), QStringLiteral("3"));
        QTemporaryDir outside;
        QFile keep(outside.filePath(QStringLiteral("temp_html.html")));
        QVERIFY(keep.open(QIODevice::WriteOnly));
        keep.write("<p>not the history's</p>");
        keep.close();
        const QString folder = historyFolder() + QString::number(id);
        QVERIFY(QFile::link(outside.path(), folder));
        const CliRun r = runCli(m_data->path(), {QStringLiteral("history"), QStringLiteral("delete"), QString::number(id)});
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.code, 0);
        QVERIFY(!QFileInfo(folder).isSymLink());
        QVERIFY(!QFileInfo::exists(folder));
        QVERIFY(QFileInfo::exists(keep.fileName()));
    }

    // A history table without the columns of a record is damaged: said so,
    // exit status 1, not listed as empty.
    void damagedTableIsSaid()
    {
        const QString table = historyFolder() + QStringLiteral("historique.db");
        QVERIFY(QFile::remove(table));
        {
            auto db = Database::open(table, Database::Mode::Create);
            db->exec(QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, titre TEXT)"));
            db->exec(QStringLiteral("INSERT INTO t (titre) VALUES ('x')"));
        }
        for (const QStringList &args : {QStringList{QStringLiteral("history")},
                                        QStringList{QStringLiteral("history"), QStringLiteral("delete"), QStringLiteral("1")}}) {
            const CliRun r = runCli(m_data->path(), args);
            QCOMPARE(r.code, 1);
            QCOMPARE(r.out, QByteArray());
            QVERIFY2(r.err.contains("is damaged: no column sujet"), r.err.constData());
        }
        AddressBookStore store;
        store.initDataFolder();
        QVERIFY(!HistoryBrowser(store).reload());
    }

    void commandLine()
    {
        add(QStringLiteral("Lettre \"été\""), QStringLiteral("2"), QStringLiteral("Bonjour\\ à tous\r\n"));
        const qint64 two = add(QStringLiteral("Deux"), QStringLiteral("2"), QStringLiteral("x\r\n"));
        const QString home = m_data->path();
        CliRun list = runCli(home, {QStringLiteral("history")});
        QCOMPARE(list.code, 0);
        const QList<QByteArray> lines = list.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        const QJsonObject first = QJsonDocument::fromJson(lines[0]).object();
        QCOMPARE(first.value(QStringLiteral("subject")).toString(), QStringLiteral("Lettre \"été\""));
        QCOMPARE(first.value(QStringLiteral("books")).toArray().first().toString(), QStringLiteral("clients"));

        // What the run kept of the refused recipients shows with its record.
        QFile refused(historyFolder() + QStringLiteral("refused.tsv"));
        QVERIFY(refused.open(QIODevice::WriteOnly));
        refused.write("date\thistory_id\tinterrupted_send\tbook\tcontact_id\tnom\tprenom\temail\tcode\treply\n"
                      "2026-12-10T10:00:00\t" + QByteArray::number(two) + "\t\tclients\t4\tDurand\tAnne\tanne@x.org\t550\tno such user\n");
        refused.close();
        CliRun show = runCli(home, {QStringLiteral("history"), QStringLiteral("show"), QString::number(two)});
        QCOMPARE(show.code, 0);
        QCOMPARE(QJsonDocument::fromJson(show.out).object().value(QStringLiteral("refused")).toArray().first().toString(),
                 QStringLiteral("anne@x.org (550 no such user)"));
        QCOMPARE(QJsonDocument::fromJson(show.out).object().value(QStringLiteral("body")).toString(), QStringLiteral("x\r\n"));
        QCOMPARE(runCli(home, {QStringLiteral("history"), QStringLiteral("show"), QStringLiteral("99")}).code, 1);

        const QString mnl = m_data->filePath(QStringLiteral("again.MNL"));
        CliRun resend = runCli(home, {QStringLiteral("history"), QStringLiteral("resend"), QString::number(two), mnl});
        QCOMPARE(resend.code, 0);
        CliRun read = runCli(home, {QStringLiteral("message"), QStringLiteral("show"), mnl});
        QCOMPARE(read.code, 0);
        QCOMPARE(QJsonDocument::fromJson(read.out).object().value(QStringLiteral("subject")).toString(), QStringLiteral("Deux"));
        // An existing file is not replaced.
        QCOMPARE(runCli(home, {QStringLiteral("history"), QStringLiteral("resend"), QString::number(two), mnl}).code, 1);

        QCOMPARE(runCli(home, {QStringLiteral("history"), QStringLiteral("delete"), QString::number(two)}).code, 0);
        QCOMPARE(runCli(home, {QStringLiteral("history")}).out.trimmed().split('\n').size(), 1);
        QCOMPARE(runCli(home, {QStringLiteral("history"), QStringLiteral("delete"), QStringLiteral("x")}).code, 1);
    }
};

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
