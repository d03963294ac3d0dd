// A data folder whose address books and history are Paradox tables of the
// earlier format: the store never takes them for its own, and the migration
// brings every contact and history record across once, keeping the originals,
// whatever stops it half way.

#include "clirun.h"
#include "import/paradoxfixtures.h"

#include "common/folders.h"
#include "common/inifile.h"
#include "contacts/bookmanager.h"
#include "contacts/titlelist.h"
#include "import/legacyfoldermigration.h"
#include "import/sourcefile.h"
#include "store/addressbookstore.h"
#include "store/bookfiles.h"
#include "store/contactrecord.h"
#include "store/database.h"
#include "store/historytable.h"
#include "store/rowtablemodel.h"
#include "texts/texttable.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace kirvane;
using namespace kirvane::import;
using namespace kirvane::store;
using namespace kirvane::test;

using Rows = std::vector<QStringList>;
Q_DECLARE_METATYPE(Rows)

namespace {

// A contact of a book of the earlier format: id, then nom ... champ19, nom_annuaire.
QStringList contact(const QString &id, const QString &nom, const QString &prenom = {}, const QString &ville = {})
{
    QStringList row(20);
    row[0] = id;
    row[1] = nom;
    row[2] = prenom;
    row[4] = ville;
    return row;
}

QStringList everyColumn()
{
    QStringList row;
    row << QStringLiteral("7") << QStringLiteral("Lefèvre") << QStringLiteral("Hélène") << QStringLiteral("75011")
        << QStringLiteral("Paris") << QStringLiteral("12, rue de l’Église") << QStringLiteral("Bâtiment B")
        << QStringLiteral("France") << QStringLiteral("01 23 45 67 89") << QStringLiteral("01 23 45 67 90")
        << QStringLiteral("helene@example.org") << QStringLiteral("Société Générale d’Édition")
        << QStringLiteral("Madame") << QStringLiteral("première ligne\r\nseconde ligne €")
        << QStringLiteral("https://example.org/é") << QStringLiteral("libre 1 ©") << QStringLiteral("libre 2 ®")
        << QStringLiteral("libre 3 «»") << QStringLiteral("libre 4 œ") << QString();
    return row;
}

// Three records of each composition mode; long texts go to the memo file.
Rows historyRecords()
{
    Rows rows;
    const QStringList ids = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("4"), QStringLiteral("5"),
                             QStringLiteral("8"), QStringLiteral("9"), QStringLiteral("11"), QStringLiteral("12"),
                             QStringLiteral("15")};
    for (int i = 0; i < ids.size(); ++i) {
        const int mode = i / 3 + 1;
        const QString body = mode == 3 ? QStringLiteral("<html><body><p>Lettre d’été n°%1 – à bientôt</p></body></html>").arg(i)
                                       : QStringLiteral("Bonjour à tous,\r\nvoici la lettre n°%1 de l’été.\r\n").arg(i)
                                             + QString(300, u'é');
        rows.push_back({ids[i], QStringLiteral("Lettre d’été n°%1").arg(i), body, QStringLiteral("0%1/07/2004").arg(i + 1),
                        QStringLiteral("clients été\r\nprospects\r\n"),
                        i % 2 ? QStringLiteral("C:\\Documents\\tarif été.pdf\r\n") : QString(),
                        mode == 3 ? QStringLiteral("C:\\Pages\\logo.gif\r\n") : QString(), QString::number(mode),
                        mode == 3 ? QStringLiteral("C:\\Pages\\lettre.htm") : QString()});
    }
    return rows;
}

Rows tableRows(const QString &path, const QString &order = QStringLiteral("id"))
{
    Rows rows;
    auto db = Database::open(path, Database::Mode::ReadOnly);
    Statement s = db->prepare(QStringLiteral("SELECT * FROM t ORDER BY ") + order);
    while (s.step()) {
        QStringList row;
        // The sort key the store keeps beside a book's columns is not data.
        for (int i = 0; i < s.columnCount(); ++i)
            if (s.columnName(i) != QLatin1String("cle_tri"))
                row << s.text(i);
        rows.push_back(row);
    }
    return rows;
}

// Every file below folder with a digest of its bytes.
QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            files.insert(QDir(folder).relativeFilePath(path), QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1));
    }
    return files;
}

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestLegacyMigration : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_home;
    QString books() const { return m_home + QStringLiteral("Annuaires/"); }
    QString history() const { return m_home + QStringLiteral("historique/"); }
    QString keptFolder(const QString &folder) const
    {
        return folder + QStringLiteral("paradox-") + QDate::currentDate().toString(Qt::ISODate) + u'/';
    }

    // The earlier format's folder: template, black list, a book or two, the
    // history with the folders of its HTML-page records.
    void makeLegacyFolder(int bigBook = 0)
    {
        QVERIFY(writeParadoxTable(books() + QStringLiteral("vierge.DB"), bookColumns(), {}));
        QVERIFY(writeParadoxTable(books() + QStringLiteral("listenoire.DB"), bookColumns(), {contact("3", "Noire")}));
        QVERIFY(writeParadoxTable(books() + QStringLiteral("an_clients été.DB"), bookColumns(),
                                  {contact("1", "Dupré", "Élodie", "Orléans"), contact("2", "Œuvre", "Zoé"), everyColumn()}));
        // A primary index beside the book goes with it.
        QFile px(books() + QStringLiteral("an_clients été.PX"));
        QVERIFY(px.open(QIODevice::WriteOnly));
        px.write(QByteArray(2048, '\x01'));
        px.close();
        common::IniFile labels;
        labels.setValue(QStringLiteral("nom_champs"), QStringLiteral("champs16"), QStringLiteral("Intérêt"));
        QVERIFY(labels.save(books() + QStringLiteral("an_clients été.ini")));
        if (bigBook) {
            // pxlib writes some 100 records a second: the large book is made once.
            static QTemporaryDir cache;
            const QString made = cache.filePath(QStringLiteral("an_grand%1.DB").arg(bigBook));
            if (!QFileInfo::exists(made)) {
                Rows many;
                for (int i = 1; i <= bigBook; ++i)
                    many.push_back(contact(QString::number(i * 2), QStringLiteral("Nom n°%1").arg(i), QStringLiteral("Prénom"),
                                           QStringLiteral("Ville %1").arg(i % 97)));
                QVERIFY(writeParadoxTable(made, bookColumns(), many));
            }
            QVERIFY(QFile::copy(made, books() + QStringLiteral("an_grand.DB")));
        }
        QVERIFY(writeParadoxTable(history() + QStringLiteral("historique.DB"), historyColumns(), historyRecords()));
        for (const QString &id : {QStringLiteral("11"), QStringLiteral("12"), QStringLiteral("15")}) {
            QVERIFY(QDir().mkpath(history() + id));
            QFile page(history() + id + QStringLiteral("/temp_html.html"));
            QVERIFY(page.open(QIODevice::WriteOnly));
            page.write("<html>" + id.toLatin1() + "</html>");
        }
    }

    // What a migration of makeLegacyFolder() must have left, however many
    // runs it took.
    void checkBroughtAcross(int bigBook)
    {
        QStringList expectedBooks{QStringLiteral("clients été")};
        if (bigBook)
            expectedBooks << QStringLiteral("grand");
        QCOMPARE(BookFiles(books()).listBooks(), expectedBooks);
        const Rows clients = tableRows(books() + QStringLiteral("an_clients été.db"));
        QCOMPARE(clients.size(), size_t(3));
        QCOMPARE(clients[0].mid(0, 5), (QStringList{"1", "Dupré", "Élodie", "", "Orléans"}));
        QCOMPARE(clients[2], everyColumn());
        if (bigBook) {
            const Rows big = tableRows(books() + QStringLiteral("an_grand.db"));
            QCOMPARE(big.size(), size_t(bigBook));
            for (int i = 0; i < bigBook; ++i)
                QCOMPARE(big[i].mid(0, 2), (QStringList{QString::number((i + 1) * 2), QStringLiteral("Nom n°%1").arg(i + 1)}));
        }
        const Rows records = tableRows(history() + QStringLiteral("historique.db"));
        QCOMPARE(records, historyRecords());
        for (const QString &id : {QStringLiteral("11"), QStringLiteral("12"), QStringLiteral("15")})
            QCOMPARE(bytesOf(history() + id + QStringLiteral("/temp_html.html")), "<html>" + id.toLatin1() + "</html>");
        // The originals are kept once each, none left where they were, and no
        // table half made.
        QStringList kept = QDir(keptFolder(books())).entryList(QDir::Files, QDir::Name);
        QStringList expectedKept{QStringLiteral("an_clients été.DB"), QStringLiteral("an_clients été.PX"),
                                 QStringLiteral("listenoire.DB"), QStringLiteral("vierge.DB")};
        if (bigBook)
            expectedKept << QStringLiteral("an_grand.DB");
        expectedKept.sort();
        QCOMPARE(kept, expectedKept);
        QCOMPARE(QDir(keptFolder(history())).entryList(QDir::Files, QDir::Name),
                 (QStringList{"historique.DB", "historique.MB"}));
        for (const QString &folder : {books(), history()}) {
            const QStringList left = QDir(folder).entryList(QDir::Files);
            for (const QString &f : left)
                QVERIFY2(!f.endsWith(QLatin1String(".DB")) && !f.endsWith(QLatin1String(".PX")) && !f.endsWith(QLatin1String(".MB"))
                             && !f.contains(QLatin1String(".migrat")),
                         qPrintable(f));
            QCOMPARE(QDir(folder).entryList({QStringLiteral("paradox-*")}, QDir::Dirs).size(), 1);
        }
        QCOMPARE(common::IniFile(books() + QStringLiteral("an_clients été.ini")).value(QStringLiteral("nom_champs"), QStringLiteral("champs16")),
                 QStringLiteral("Intérêt"));
        BookFiles(books()).checkTemplate();
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_home = m_dir->path() + u'/';
        QVERIFY(QDir().mkpath(books()));
        QVERIFY(QDir().mkpath(history()));
        common::setDataFolder(m_home);
    }

    // Before the migration has run, the store sees none of the old tables:
    // it makes its own template and history beside them, lists no old book,
    // refuses to open one, and a new book can be made. The old files keep
    // every byte.
    void oldTablesAreNeverTakenForOurs()
    {
        makeLegacyFolder();
        const auto before = snapshot(m_home);
        QString error;
        QVERIFY2(BookFiles::ensureDataFolder(m_home, &error), qPrintable(error));
        AddressBookStore store;
        QCOMPARE(store.listBooks(), QStringList{});
        BookFiles(books()).checkTemplate();
        try {
            (void)Database::open(books() + QStringLiteral("an_clients été.DB"));
            QFAIL("a Paradox table opened as SQLite");
        } catch (const StoreError &e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(QLatin1String("earlier Paradox format")), e.what());
        }
        contacts::BookManager manager(store);
        QVERIFY(manager.create(QStringLiteral("nouveau"), {"a", "b", "c", "d"}).ok());
        QCOMPARE(store.listBooks(), QStringList{QStringLiteral("nouveau")});
        store::RowTableModel model;
        HistoryTable(history()).load(model);
        QCOMPARE(model.rowCount(), 0);
        // A run's black list: the black list is remade, the old one left alone.
        store.workTables().buildBlackList({QStringLiteral("nouveau")});
        const auto after = snapshot(m_home);
        for (auto it = before.begin(); it != before.end(); ++it)
            QCOMPARE(after.value(it.key()), it.value());
    }

    // Each kind of book comes across with every column and id, its text in
    // UTF-8 from the table's code page (Windows-1252 when it names none).
    void booksAreBroughtAcross_data()
    {
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<int>("codePage");
        QTest::addColumn<Rows>("expected");
        const Rows accents = {contact("1", "Dupré", "Élodie", "Orléans"), contact("2", "Œuvre €", "Zoé"),
                              contact("5", "Müller", "Jürgen", "Köln")};
        QTest::newRow("accented contacts") << accents << 1252 << accents;
        QTest::newRow("every column filled") << Rows{everyColumn()} << 1252 << Rows{everyColumn()};
        QTest::newRow("empty book") << Rows{} << 1252 << Rows{};
        // Bytes that would also read as UTF-8 are Windows-1252 all the same.
        QTest::newRow("no code page") << Rows{contact("1", "Ã©tÃ©", "Ãœ")} << 0 << Rows{contact("1", "Ã©tÃ©", "Ãœ")};
        QTest::newRow("blank and repeated ids")
            << Rows{contact("", "Sans numéro"), contact("3", "Premier"), contact("3", "Second")} << 1252
            << Rows{contact("3", "Premier"), contact("4", "Sans numéro"), contact("5", "Second")};
    }

    void booksAreBroughtAcross()
    {
        QFETCH(Rows, rows);
        QFETCH(int, codePage);
        QFETCH(Rows, expected);
        QVERIFY(writeParadoxTable(books() + QStringLiteral("an_Mes clients.DB"), bookColumns(), rows, codePage));
        LegacyFolderMigration migration(m_home);
        QVERIFY(migration.needed());
        const MigrationReport report = migration.run();
        QVERIFY(report.failures().isEmpty());
        QCOMPARE(report.books, 1);
        QCOMPARE(report.contacts, qint64(expected.size()));
        QCOMPARE(BookFiles(books()).listBooks(), QStringList{QStringLiteral("Mes clients")});
        QCOMPARE(tableRows(books() + QStringLiteral("an_Mes clients.db")), expected);
        QVERIFY(QFileInfo::exists(keptFolder(books()) + QStringLiteral("an_Mes clients.DB")));
        QVERIFY(!migration.needed());
        // The book works as any other: a new contact gets the next id.
        AddressBookStore store;
        ContactRecord c = emptyContact();
        c[F_nom].value = QStringLiteral("Nouveau");
        QVERIFY(store.contacts().saveContact(c, QStringLiteral("Mes clients")));
        const Rows after = tableRows(books() + QStringLiteral("an_Mes clients.db"));
        const qint64 lastOld = expected.empty() ? 0 : expected.back()[0].toLongLong();
        QCOMPARE(after.back()[0].toLongLong(), lastOld + 1);
    }

    // The whole folder through kirvane-cli: books, history with its record
    // folders, the template remade; the window's text as JSON.
    void folderThroughTheCommandLine()
    {
        makeLegacyFolder();
        const CliRun r = runCli(m_home, {QStringLiteral("migrate")});
        QVERIFY2(r.code == 0, r.err.constData());
        const QJsonObject json = QJsonDocument::fromJson(r.out).object();
        QCOMPARE(json.value("books").toInt(), 1);
        QCOMPARE(json.value("contacts").toInt(), 3);
        QCOMPARE(json.value("history_records").toInt(), 9);
        const QString kept = QDir::toNativeSeparators(keptFolder(books()).chopped(1)) + QStringLiteral(", ")
                             + QDir::toNativeSeparators(keptFolder(history()).chopped(1));
        QCOMPARE(json.value("message").toString(),
                 QStringLiteral("1 address books, 3 contacts and 9 history records were brought across from the "
                                "earlier format; the original files are kept in %1.").arg(kept));
        checkBroughtAcross(0);
        // The history reads as the store reads it, and a new record follows the old ones.
        HistoryTable table(history());
        QCOMPARE(table.add({QStringLiteral("Nouvelle"), {}, {}, QStringLiteral("2"), {}, {}, {}}), qint64(16));
        // A second run finds nothing to do.
        const CliRun again = runCli(m_home, {QStringLiteral("migrate")});
        QCOMPARE(again.code, 0);
        const QJsonObject second = QJsonDocument::fromJson(again.out).object();
        QCOMPARE(second.value("tables").toArray().size(), 0);
        QCOMPARE(second.value("message").toString(), QString());
    }

    // A dry run reads every table and says what it would bring across,
    // writing nothing at all.
    void dryRunChangesNothing()
    {
        makeLegacyFolder();
        const auto before = snapshot(m_home);
        const CliRun r = runCli(m_home, {QStringLiteral("migrate"), QStringLiteral("--dry-run")});
        QVERIFY2(r.code == 0, r.err.constData());
        const QJsonObject json = QJsonDocument::fromJson(r.out).object();
        QCOMPARE(json.value("dry_run").toBool(), true);
        QCOMPARE(json.value("books").toInt(), 1);
        QCOMPARE(json.value("contacts").toInt(), 3);
        QCOMPARE(json.value("history_records").toInt(), 9);
        QStringList tables;
        for (const QJsonValue &t : json.value("tables").toArray())
            tables << t.toObject().value("table").toString() + u':' + t.toObject().value("kind").toString() + u':'
                          + QString::number(t.toObject().value("rows").toInt());
        QCOMPARE(tables, (QStringList{"vierge:template:0", "listenoire:work table:0", "an_clients été:book:3",
                                      "historique:history:9"}));
        QCOMPARE(snapshot(m_home), before);
    }

    // A table that cannot be read is named with its reason and kept as it
    // is; the other tables come across, once, however often it is retried.
    void damagedTableIsReportedAndKept_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("reason");
        QTest::newRow("cut short") << "an_abîmé" << "cut short";
        QTest::newRow("memo file missing") << "historique" << "memo file historique.MB is missing";
        QTest::newRow("a book of that name holds contacts") << "an_abîmé" << "already holds contacts";
    }

    void damagedTableIsReportedAndKept()
    {
        QFETCH(QString, table);
        QFETCH(QString, reason);
        QVERIFY(writeParadoxTable(books() + QStringLiteral("an_bon.DB"), bookColumns(), {contact("1", "Bon")}));
        const QString damaged = (table == QLatin1String("historique") ? history() : books()) + table + QStringLiteral(".DB");
        if (table == QLatin1String("historique")) {
            QVERIFY(writeParadoxTable(damaged, historyColumns(), historyRecords()));
            QVERIFY(QFile::remove(history() + QStringLiteral("historique.MB")));
        } else {
            Rows many;
            for (int i = 1; i <= 300; ++i)
                many.push_back(contact(QString::number(i), QStringLiteral("n%1").arg(i)));
            QVERIFY(writeParadoxTable(damaged, bookColumns(), many));
            if (QByteArray(QTest::currentDataTag()) == "cut short") {
                QFile f(damaged);
                QVERIFY(f.resize(f.size() - 5000));
            } else {
                QString error;
                QVERIFY(BookFiles::ensureDataFolder(m_home, &error));
                AddressBookStore store;
                QVERIFY(contacts::BookManager(store).create(QStringLiteral("abîmé"), {"a", "b", "c", "d"}).ok());
                ContactRecord c = emptyContact();
                c[F_nom].value = QStringLiteral("déjà là");
                QVERIFY(store.contacts().saveContact(c, QStringLiteral("abîmé")));
            }
        }
        const QByteArray original = bytesOf(damaged);
        for (int run = 0; run < 2; ++run) {
            const CliRun r = runCli(m_home, {QStringLiteral("migrate")});
            QCOMPARE(r.code, 1);
            const QJsonObject json = QJsonDocument::fromJson(r.out).object();
            QCOMPARE(json.value("books").toInt(), run == 0 ? 1 : 0);
            const QJsonArray failures = json.value("failures").toArray();
            QCOMPARE(failures.size(), 1);
            const QString text = failures[0].toString();
            QVERIFY2(text.startsWith(QStringLiteral("The table %1 could not be brought across from the earlier format: ").arg(table)),
                     qPrintable(text));
            QVERIFY2(text.contains(reason), qPrintable(text));
            QVERIFY2(text.endsWith(QLatin1String("It is kept where it was; the next start tries again.")), qPrintable(text));
            QCOMPARE(bytesOf(damaged), original);
            QCOMPARE(tableRows(books() + QStringLiteral("an_bon.db")).size(), size_t(1));
            for (const QString &folder : {books(), history()})
                QCOMPARE(QDir(folder).entryList({QStringLiteral("*.migrat*")}, QDir::Files), QStringList{});
        }
    }

    // Killed (SIGKILL) right after each step of the migration in turn, then
    // run again by kirvane-cli: the folder ends as one uninterrupted run
    // leaves it, nothing lost, doubled or left half made.
    void killedAtEveryStep()
    {
        constexpr int big = 1200; // a step after the first thousand records, in the middle of the book
        makeLegacyFolder(big);
        int steps = 0;
        {
            // The steps of a whole run, counted on a copy.
            QTemporaryDir copy;
            QVERIFY(QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), m_home + u'.', copy.path()}) == 0);
            LegacyFolderMigration counting(copy.path());
            counting.onStep = [&](const QString &) { ++steps; };
            QVERIFY(counting.run().failures().isEmpty());
        }
        QVERIFY(steps > 10);
        for (int killAt = 1; killAt <= steps; ++killAt) {
            init();
            makeLegacyFolder(big);
            const pid_t child = ::fork();
            if (child == 0) {
                LegacyFolderMigration migration(m_home);
                int n = 0;
                migration.onStep = [&](const QString &) {
                    if (++n == killAt)
                        ::raise(SIGKILL);
                };
                (void)migration.run();
                ::_exit(0);
            }
            int status = 0;
            QCOMPARE(::waitpid(child, &status, 0), child);
            QVERIFY2(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL, qPrintable(QString::number(killAt)));
            const CliRun r = runCli(m_home, {QStringLiteral("migrate")});
            QVERIFY2(r.code == 0, r.err.constData());
            checkBroughtAcross(big);
            if (QTest::currentTestFailed()) {
                qWarning("killed at step %d", killAt);
                return;
            }
        }
    }

    // The import of a Paradox file shares the reading: a blank number or id
    // is empty there too, never -2147483648.
    void importReadsBlankNumbersAsEmpty()
    {
        const QString path = m_home + QStringLiteral("source.db");
        QVERIFY(writeParadoxTable(path, {{"Id", pxfAutoInc, 4}, {"Nom", pxfAlpha, 20}, {"Age", pxfLong, 4}},
                                  {{"", "Sans", ""}, {"2", "Avec", "0"}}));
        auto source = openSource(path, SourceKind::Paradox);
        const SourceTable table = source->read(source->tables().first());
        QCOMPARE(table.rows.size(), size_t(2));
        QCOMPARE(table.rows[0], (QStringList{"", "Sans", ""}));
        QCOMPARE(table.rows[1], (QStringList{"2", "Avec", "0"}));
    }

    // Label files and the titles list in the earlier forms (Windows-1252,
    // CR LF) need no migration and read as before.
    void earlierTextFilesReadAsBefore()
    {
        QFile labels(books() + QStringLiteral("an_clients.Ini"));
        QVERIFY(labels.open(QIODevice::WriteOnly));
        labels.write("[nom_champs]\r\nchamps1=id\r\nchamps16=Int\xE9r\xEAt\r\nchamps17=Ann\xE9" "e \x80\r\n");
        labels.close();
        QFile titles(m_home + QStringLiteral("titre.ini"));
        QVERIFY(titles.open(QIODevice::WriteOnly));
        titles.write("Monsieur\r\nMa\xEEtre\r\nS\x9Cur\r\n");
        titles.close();
        QVERIFY(writeParadoxTable(books() + QStringLiteral("an_clients.DB"), bookColumns(), {contact("1", "Dupré")}));
        LegacyFolderMigration migration(m_home);
        QVERIFY(migration.run().failures().isEmpty());
        ContactRecord labelsRead = emptyContact();
        readLabels(BookFiles(books()).labelPath(QStringLiteral("clients")), labelsRead);
        QCOMPARE(labelsRead[15].label, QStringLiteral("Intérêt"));
        QCOMPARE(labelsRead[16].label, QStringLiteral("Année €"));
        QCOMPARE(labelsRead[17].label, QStringLiteral("Champ 3"));
        QCOMPARE(contacts::TitleList(m_home + QStringLiteral("titre.ini")).load(),
                 (QStringList{"Monsieur", "Maître", "Sœur"}));
    }
};

QTEST_GUILESS_MAIN(TestLegacyMigration)
#include "tst_legacymigration.moc"
