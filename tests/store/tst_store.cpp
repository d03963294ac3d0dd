// The address-book store: books, contacts, history, work tables, export, and
// the commands of the address-books view, on real SQLite files.
#include "contacts/bookmanager.h"
#include "store/contactrecord.h"
#include "store/database.h"
#include "common/folders.h"
#include "common/inifile.h"
#include "store/addressbookstore.h"
#include "store/booktablemodel.h"
#include "store/rowtablemodel.h"
#include "contacts/gridselection.h"
#include "import/addressbookimporttable.h"
#include "import/csvexport.h"

#include "filesizelimit.h"
#include "support/datafolder.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QDirIterator>
#include <QItemSelectionModel>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kirvane::common;
using namespace kirvane::contacts;
using namespace kirvane::store;
using namespace kirvane::import;
using namespace kirvane::test;

Q_DECLARE_METATYPE(kirvane::store::Condition)

namespace {

ContactRecord person(const QString &nom, const QString &prenom, const QString &email = QString(),
                 const QString &societe = QString())
{
    ContactRecord c = emptyContact();
    c[F_nom].value = nom;
    c[F_prenom].value = prenom;
    c[F_email].value = email;
    c[F_societe].value = societe;
    return c;
}

// A copy's or a move's decisions, all the same answer, and the conflicts met
// in order: "name NOM PRENOM" or "email ADDRESS".
struct Decisions {
    explicit Decisions(bool copyAll = false) : copy(copyAll) {}
    bool copy;
    QStringList met;
    ConflictDecision decide()
    {
        return [this](TransferConflict conflict, const ContactRecord &c) {
            met << (conflict == TransferConflict::SameName ? QStringLiteral("name %1 %2").arg(c[F_nom].value, c[F_prenom].value)
                                                          : QStringLiteral("email ") + c[F_email].value);
            return copy;
        };
    }
};

QByteArray readAll(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// A book command's outcome in words, so that a failed check says what came instead.
QString outcome(const BookResult &r)
{
    switch (r.refusal) {
    case BookResult::Refusal::BadName: return QStringLiteral("bad name");
    case BookResult::Refusal::NameInUse: return QStringLiteral("name in use");
    case BookResult::Refusal::Protected: return QStringLiteral("protected");
    case BookResult::Refusal::None: break;
    }
    if (!r.failed)
        return QStringLiteral("ok");
    return r.errorCode ? QStringLiteral("error %1").arg(r.errorCode) : QStringLiteral("failed");
}

// Every file below folder with its size: what a refused or failed command
// must leave as it was.
QStringList filesBelow(const QString &folder)
{
    QStringList out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        out << it.filePath() + u' ' + QString::number(it.fileInfo().size());
    }
    out.sort();
    return out;
}

// Overwrites page (1-based, 4096 bytes) of a table file with garbage, as a
// failing disk would.
void damagePage(const QString &path, int page)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.size() >= qint64(page) * 4096);
    QVERIFY(f.seek(qint64(page - 1) * 4096));
    f.write(QByteArray(4096, '\xA5'));
}

QStringList column(const BookTableModel &q, int col)
{
    QStringList out;
    for (int r = 0; r < q.rowCount(); ++r)
        out << q.text(r, col);
    return out;
}

} // namespace

class TstStore : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDataFolder> m_data;
    AddressBookStore *m_store = nullptr;

    void newBook(const QString &name)
    {
        QCOMPARE(outcome(BookManager(*m_store).create(name, {QStringLiteral("Champ 1"), QStringLiteral("Champ 2"),
                                                             QStringLiteral("Champ 3"), QStringLiteral("Champ 4")})),
                 QStringLiteral("ok"));
    }

private Q_SLOTS:
    void init()
    {
        m_data = std::make_unique<TestDataFolder>();
        m_store = &m_data->store();
    }
    void cleanup()
    {
        m_store = nullptr;
        m_data.reset();
    }

    void dataFolderIsCreatedOnceAndKept()
    {
        for (const char *f : {"Annuaires/vierge.db", "Annuaires/vierge.ini", "historique/historique.db", "titre.ini"})
            QVERIFY2(QFileInfo::exists(dataFolder() + QLatin1String(f)), f);
        newBook(QStringLiteral("clients"));
        QVERIFY(BookFiles::ensureDataFolder(dataFolder()));
        QCOMPARE(m_store->listBooks(), QStringList(QStringLiteral("clients")));
        QVERIFY(readAll(dataFolder() + QStringLiteral("titre.ini")).contains("Madame\r\n"));
    }

    void labelsDefaultAndRewrite()
    {
        newBook(QStringLiteral("b"));
        QFile::remove(m_store->files().labelPath(QStringLiteral("b")));
        ContactRecord c;
        readLabels(m_store->files().labelPath(QStringLiteral("b")), c);
        QCOMPARE(c[F_champ16].label, QStringLiteral("Champ 1"));
        QCOMPARE(c[F_nom].label, QStringLiteral("Nom"));
        QCOMPARE(
            outcome(BookManager(*m_store).relabel(
                QStringLiteral("b"), {QStringLiteral("Âge"), QString(), QStringLiteral("x"), QStringLiteral("y")})),
            QStringLiteral("ok"));
        IniFile ini(m_store->files().labelPath(QStringLiteral("b")));
        QCOMPARE(ini.keys(QStringLiteral("nom_champs")).size(), 19);
        QCOMPARE(ini.value(QStringLiteral("nom_champs"), QStringLiteral("champs15")), QStringLiteral("URL"));
        QCOMPARE(BookManager(*m_store).freeLabels(QStringLiteral("b")),
                 QStringList({QStringLiteral("Âge"), QString(), QStringLiteral("x"), QStringLiteral("y")}));
        // A label file that cannot be written is its own failure, not a failed create.
        QFile::remove(m_store->files().labelPath(QStringLiteral("b")));
        QVERIFY(QDir().mkdir(m_store->files().labelPath(QStringLiteral("b"))));
        QCOMPARE(outcome(BookManager(*m_store).relabel(QStringLiteral("b"), {})), QStringLiteral("failed"));
    }

    void saveReadAndUpdate()
    {
        const QString book = QStringLiteral("Mes clients; été & co");
        newBook(book);
        ContactRecord c = person(QStringLiteral("O'Brien"), QStringLiteral("Zoë \"Z\""), QStringLiteral("z@x.org"));
        c[F_commentaire].value = QStringLiteral("line 1\r\nline 2 Ωmega");
        c[F_code_postal].value = QStringLiteral("75001");
        QVERIFY(m_store->contacts().saveContact(c, book));
        QVERIFY(m_store->openBook(book));
        QCOMPARE(m_store->currentBookModel()->rowCount(), 1);
        ContactRecord read = m_store->readContactAt(0);
        QCOMPARE(read[F_nom].value, QStringLiteral("O'Brien"));
        QCOMPARE(read[F_commentaire].value, c[F_commentaire].value);
        QCOMPARE(read[F_nom].label, QStringLiteral("Nom"));
        read[F_prenom].value = QStringLiteral("Zoé");
        QVERIFY(m_store->contacts().saveContact(read, book));
        ContactRecord again = emptyContact();
        m_store->contacts().readContact(read[F_id].value.toLongLong(), book, again);
        QCOMPARE(again[F_prenom].value, QStringLiteral("Zoé"));
        QCOMPARE(again[F_id].value, read[F_id].value);
        QCOMPARE(m_store->countRows(QStringLiteral("an_") + book), 1);
        QVERIFY_THROWS_EXCEPTION(StoreError, m_store->contacts().readContact(999, book, again));
        QVERIFY(!m_store->contacts().saveContact(c, QStringLiteral("no such book")));
    }

    void newIdsAreLargerThanAnyGiven()
    {
        newBook(QStringLiteral("b"));
        const qint64 a = m_store->contacts().addContact(person(QStringLiteral("a"), QString()), QStringLiteral("b"));
        const qint64 b = m_store->contacts().addContact(person(QStringLiteral("b"), QString()), QStringLiteral("b"));
        m_store->contacts().deleteContacts(QStringLiteral("b"), {b});
        const qint64 c = m_store->contacts().addContact(person(QStringLiteral("c"), QString()), QStringLiteral("b"));
        QVERIFY(a < b && b < c);
        QVERIFY_THROWS_EXCEPTION(StoreError, (void)ContactTable::parseIdList(QStringLiteral("1) OR (1=1")));
    }

    void lookupsFoldCaseBeyondAscii()
    {
        newBook(QStringLiteral("b"));
        QVERIFY(m_store->contacts().saveContact(
            person(QStringLiteral("Élodie"), QStringLiteral("Ärger"), QStringLiteral("Mixed@Case.org")),
            QStringLiteral("b")));
        QVERIFY(m_store->contacts().saveContact(person(QStringLiteral("d'Arc"), QStringLiteral("Jeanne")),
                                                QStringLiteral("b")));
        QVERIFY(
            m_store->contacts().contactExists(QStringLiteral("b"), QStringLiteral("ÉLODIE"), QStringLiteral("ärger")));
        QVERIFY(
            !m_store->contacts().contactExists(QStringLiteral("b"), QStringLiteral("élodie"), QStringLiteral("other")));
        QVERIFY(m_store->contacts().nameExists(QStringLiteral("b"), QStringLiteral("D'ARC")));
        QVERIFY(m_store->contacts().emailExists(QStringLiteral("b"), QStringLiteral("mixed@case.ORG")));
        // An unsubscribe request in another letter case still removes its reader.
        QCOMPARE(m_store->contacts().deleteByEmail(QStringLiteral("b"), QStringLiteral("MIXED@case.org")), 1);
        QCOMPARE(m_store->countRows(QStringLiteral("an_b")), 1);
        QCOMPARE(m_store->contacts().deleteByEmail(QStringLiteral("b"), QStringLiteral("mixed@case.org")), 0);
    }

    // The search window's conditions: whole values, letter case ignored,
    // every criterion to match; values are data, never statement text.
    void selectIds_data()
    {
        QTest::addColumn<QList<Condition>>("conditions");
        QTest::addColumn<QStringList>("ids");
        using C = Condition;
        const auto ci = [](const char *col, const QString &v) { return C{QLatin1String(col), C::EqualIgnoringCase, {v}}; };
        // Fixture (ids 1..6): Dupont Jean, DUPONT Luc, Dupont-Martin Jean,
        // Élodie O'Hara, d'Arc Jeanne, Robert "1 OR 1=1".
        QTest::newRow("no condition finds nothing") << QList<C>{} << QStringList{};
        QTest::newRow("case ignored, whole value only") << QList<C>{ci("nom", QStringLiteral("dupont"))}
                                                        << QStringList{QStringLiteral("1"), QStringLiteral("2")};
        QTest::newRow("accented capitals") << QList<C>{ci("NOM", QStringLiteral("ÉLODIE"))} << QStringList{QStringLiteral("4")};
        QTest::newRow("apostrophe in the value") << QList<C>{ci("nom", QStringLiteral("D'ARC"))} << QStringList{QStringLiteral("5")};
        QTest::newRow("both criteria must match")
            << QList<C>{ci("nom", QStringLiteral("dupont")), ci("prenom", QStringLiteral("jean"))} << QStringList{QStringLiteral("1")};
        QTest::newRow("exact comparison keeps case") << QList<C>{{QStringLiteral("nom"), C::Equal, {QStringLiteral("DUPONT")}}}
                                                     << QStringList{QStringLiteral("2")};
        QTest::newRow("statement text is only a value")
            << QList<C>{ci("prenom", QStringLiteral("1 or 1=1")), ci("nom", QStringLiteral("x') OR (1=1"))} << QStringList{};
        QTest::newRow("id given as digits") << QList<C>{{QStringLiteral("id"), C::EqualIgnoringCase, {QStringLiteral("003")}}}
                                            << QStringList{QStringLiteral("3")};
        QTest::newRow("in a list") << QList<C>{{QStringLiteral("id"), C::In, {QStringLiteral("2"), QStringLiteral("6"), QStringLiteral("99")}}}
                                   << QStringList{QStringLiteral("2"), QStringLiteral("6")};
        QTest::newRow("empty list matches nothing") << QList<C>{{QStringLiteral("id"), C::In, {}}} << QStringList{};
        QTest::newRow("not in a list") << QList<C>{{QStringLiteral("prenom"), C::NotIn, {QStringLiteral("Jean"), QStringLiteral("Luc")}}}
                                       << QStringList{QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6")};
    }
    void selectIds()
    {
        QFETCH(QList<Condition>, conditions);
        QFETCH(QStringList, ids);
        newBook(QStringLiteral("b"));
        const QString b = QStringLiteral("b");
        QVERIFY(m_store->contacts().saveContact(person(QStringLiteral("Dupont"), QStringLiteral("Jean")), b));
        QVERIFY(m_store->contacts().saveContact(person(QStringLiteral("DUPONT"), QStringLiteral("Luc")), b));
        QVERIFY(m_store->contacts().saveContact(person(QStringLiteral("Dupont-Martin"), QStringLiteral("Jean")), b));
        QVERIFY(m_store->contacts().saveContact(person(QStringLiteral("Élodie"), QStringLiteral("O'Hara")), b));
        QVERIFY(m_store->contacts().saveContact(person(QStringLiteral("d'Arc"), QStringLiteral("Jeanne")), b));
        QVERIFY(m_store->contacts().saveContact(person(QStringLiteral("Robert"), QStringLiteral("1 OR 1=1")), b));
        QStringList found;
        for (qint64 id : m_store->contacts().selectIds(b, conditions))
            found << QString::number(id);
        QCOMPARE(found, ids);
        QCOMPARE(m_store->countRows(QStringLiteral("an_b")), 6);
    }

    void selectIdsRefusesOtherColumns()
    {
        newBook(QStringLiteral("b"));
        QVERIFY_THROWS_EXCEPTION(
            StoreError,
            (void)m_store->contacts().selectIds(
                QStringLiteral("b"), {Condition{QStringLiteral("nom=nom OR 1"), Condition::Equal, {QString()}}}));
        QVERIFY_THROWS_EXCEPTION(
            StoreError,
            (void)m_store->contacts().selectIds(
                QStringLiteral("b"), {Condition{QStringLiteral("nom_annuaire"), Condition::Equal, {QString()}}}));
    }

    void booksListedWithoutCase()
    {
        newBook(QStringLiteral("Clients"));
        newBook(QStringLiteral("abonnés"));
        QFile::rename(m_store->files().bookPath(QStringLiteral("Clients")),
                      m_store->files().filePath(QStringLiteral("AN_Clients.DB")));
        QFile(m_store->files().filePath(QStringLiteral("an_x.db-journal"))).open(QIODevice::WriteOnly);
        QCOMPARE(m_store->listBooks(), QStringList({QStringLiteral("abonnés"), QStringLiteral("Clients")}));
        QVERIFY(m_store->openBook(QStringLiteral("clients")));
    }

    void bookOpensInNameOrderWithDisplayNames()
    {
        newBook(QStringLiteral("b"));
        std::vector<ContactRecord> rows = {person(QStringLiteral("martin"), QStringLiteral("Paul")),
                                       person(QString(), QString()), person(QString(), QStringLiteral("Solo")),
                                       person(QStringLiteral("Martin"), QStringLiteral("Anne")),
                                       person(QStringLiteral("adam"), QString())};
        QCOMPARE(m_store->contacts().saveContacts(rows, QStringLiteral("b")), 5);
        QVERIFY(m_store->openBook(QStringLiteral("b")));
        const int name = BookTableModel::kDisplayNameColumn;
        QCOMPARE(column(*m_store->currentBookModel(), name),
                 QStringList({QStringLiteral("<Unknow name>"), QStringLiteral("  Solo"), QStringLiteral("adam  "),
                              QStringLiteral("Martin  Anne"), QStringLiteral("martin  Paul")}));
        QVERIFY(m_store->openBook(QStringLiteral("b"), true));
        QCOMPARE(m_store->currentBookModel()->text(0, name), QStringLiteral("martin  Paul"));
        QCOMPARE(m_store->currentBookModel()->headerData(name, Qt::Horizontal).toString(), QStringLiteral("NomPrenom"));
    }

    void largeBookReadsPagesOnDemand()
    {
        newBook(QStringLiteral("big"));
        std::vector<ContactRecord> rows;
        for (int i = 0; i < 5000; ++i)
            rows.push_back(person(QStringLiteral("n%1").arg(i, 5, 10, QLatin1Char('0')), QString()));
        m_store->contacts().saveContacts(rows, QStringLiteral("big"));
        QVERIFY(m_store->openBook(QStringLiteral("big")));
        BookTableModel *q = m_store->currentBookModel();
        QCOMPARE(q->rowCount(), 5000);
        QCOMPARE(q->text(4999, F_nom), QStringLiteral("n04999"));
        QCOMPARE(q->data(q->index(2500, F_nom)).toString(), QStringLiteral("n02500"));
        QCOMPARE(maxId(*q), 5000);
    }

    void rowsAndSelection()
    {
        newBook(QStringLiteral("b"));
        for (const char *n : {"a", "b", "c", "d"})
            QVERIFY(m_store->contacts().saveContact(person(QLatin1String(n), QString()), QStringLiteral("b")));
        QVERIFY(m_store->openBook(QStringLiteral("b")));
        BookTableModel *q = m_store->currentBookModel();
        QItemSelectionModel sel(q);
        sel.select(q->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        sel.select(q->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(selectedIds(*q, &sel), QList<qint64>({3, 1}));
        QCOMPARE(idBeforeSelection(*q, &sel), 2);
        QCOMPARE(idAfterSelection(*q, &sel), 4);
        sel.clearSelection();
        sel.select(q->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(idBeforeSelection(*q, &sel), -1);
        sel.clearSelection();
        sel.select(q->index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(idAfterSelection(*q, &sel), 4);
        QCOMPARE(q->text(locateId(*q, 2), 0), QStringLiteral("2"));
        QCOMPARE(locateId(*q, 77), q->rowCount());
    }

    void copyAndMoveAskAboutDuplicates()
    {
        newBook(QStringLiteral("from"));
        newBook(QStringLiteral("to"));
        QVERIFY(m_store->contacts().saveContact(
            person(QStringLiteral("Dupont"), QStringLiteral("Jean"), QStringLiteral("j@x.org")),
            QStringLiteral("from")));
        QVERIFY(m_store->contacts().saveContact(
            person(QStringLiteral("Neuf"), QStringLiteral("Ana"), QStringLiteral("a@x.org")), QStringLiteral("from")));
        QVERIFY(m_store->contacts().saveContact(person(QStringLiteral("DUPONT"), QStringLiteral("jean")),
                                                QStringLiteral("to")));
        Decisions no;
        const QList<qint64> moved
            = m_store->contacts().moveContacts(QStringLiteral("from"), {1, 2}, QStringLiteral("to"), no.decide());
        QCOMPARE(moved, QList<qint64>({2}));
        QCOMPARE(no.met, QStringList{"name Dupont Jean"});
        QCOMPARE(m_store->countRows(QStringLiteral("an_to")), 2);
        QCOMPARE(m_store->countRows(QStringLiteral("an_from")), 1); // only the moved one left
        QVERIFY(m_store->contacts().emailExists(QStringLiteral("to"), QStringLiteral("a@x.org")));
    }

    // The name order lives in the file as a plain sort key: the sqlite3 shell
    // reads the book in that order and writes to it; rows it adds, and a
    // book made before the key existed, take their place once the store
    // opens the book again.
    void nameOrderThroughTheShell()
    {
        newBook(QStringLiteral("names"));
        for (const char *nom : {"Zola", "Écuyer", "Durand", "D’Souza"})
            QVERIFY(
                m_store->contacts().saveContact(person(QString::fromUtf8(nom), QString()), QStringLiteral("names")));
        const QString file = m_store->files().bookPath(QStringLiteral("names"));
        auto shell = [&file](const QString &sql) {
            QProcess p;
            p.start(QStringLiteral("sqlite3"), {file, sql});
            if (!p.waitForFinished(30000) || p.exitCode() != 0)
                return QStringLiteral("failed: ") + QString::fromUtf8(p.readAllStandardError());
            return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        };
        QCOMPARE(shell(QStringLiteral("SELECT group_concat(nom, ',') FROM (SELECT nom FROM t ORDER BY cle_tri, id);")),
                 QStringLiteral("D’Souza,Durand,Écuyer,Zola"));
        QCOMPARE(shell(QStringLiteral("INSERT INTO t (nom, prenom) VALUES ('Abel', ''); PRAGMA integrity_check;")),
                 QStringLiteral("ok"));
        QVERIFY(m_store->openBook(QStringLiteral("names")));
        QCOMPARE(column(*m_store->currentBookModel(), F_nom),
                 QStringList({"Abel", "D’Souza", "Durand", "Écuyer", "Zola"}));
        QVERIFY(m_store->openBook(QStringLiteral("names"), true));
        QCOMPARE(column(*m_store->currentBookModel(), F_nom).first(), QStringLiteral("Zola"));

        // A book file of the earlier layout, without the key.
        m_store->closeCurrentBook();
        QCOMPARE(shell(QStringLiteral("DROP INDEX t_tri; ALTER TABLE t DROP COLUMN cle_tri; "
                                      "INSERT INTO t (nom, prenom) VALUES ('Éva', '');")),
                 QString());
        QVERIFY(m_store->openBook(QStringLiteral("names")));
        QCOMPARE(column(*m_store->currentBookModel(), F_nom),
                 QStringList({"Abel", "D’Souza", "Durand", "Écuyer", "Éva", "Zola"}));

        // Ten thousand rows added at once, in an order that is not their
        // names': every one of them is given its key.
        m_store->closeCurrentBook();
        QCOMPARE(shell(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 10000) "
                                      "INSERT INTO t (nom, prenom) SELECT printf('Y%05d', 10001 - i), '' FROM n;")),
                 QString());
        QVERIFY(m_store->openBook(QStringLiteral("names")));
        QCOMPARE(shell(QStringLiteral("SELECT count(*) FROM t WHERE cle_tri IS NULL;")), QStringLiteral("0"));
        const QStringList names = column(*m_store->currentBookModel(), F_nom);
        QCOMPARE(names.size(), 10006);
        QCOMPARE(names.mid(4, 3), QStringList({"Éva", "Y00001", "Y00002"}));
        QCOMPARE(names.mid(10003), QStringList({"Y09999", "Y10000", "Zola"}));
    }

    // Contacts without an address are no duplicates of each other, for copy
    // and move as for Add: no question, every one of them taken.
    void copyAndMoveTakeContactsWithoutAddress()
    {
        newBook(QStringLiteral("from"));
        newBook(QStringLiteral("to"));
        for (const char *nom : {"Arnaud", "Blanc", "Carel"})
            QVERIFY(
                m_store->contacts().saveContact(person(QString::fromLatin1(nom), QString()), QStringLiteral("from")));
        QVERIFY(m_store->contacts().saveContact(person(QStringLiteral("Dumas"), QString()), QStringLiteral("to")));
        Decisions none;
        QCOMPARE(m_store->contacts().copyContacts(QStringLiteral("from"), {1, 2}, QStringLiteral("to"), none.decide()),
                 QList<qint64>({1, 2}));
        QCOMPARE(m_store->contacts().moveContacts(QStringLiteral("from"), {3}, QStringLiteral("to"), none.decide()),
                 QList<qint64>({3}));
        QCOMPARE(none.met, QStringList());
        QCOMPARE(m_store->countRows(QStringLiteral("an_to")), 4);
        QCOMPARE(m_store->countRows(QStringLiteral("an_from")), 2);
    }

    // A row copied earlier in the same command counts as present: the next
    // row of that name or address asks again. A copy that fails deletes nothing.
    void copyChecksRowsItJustCopiedAndMoveKeepsWhatFailed()
    {
        newBook(QStringLiteral("from"));
        newBook(QStringLiteral("to"));
        QVERIFY(m_store->contacts().saveContact(
            person(QStringLiteral("Martin"), QStringLiteral("élodie"), QStringLiteral("a@x.org")),
            QStringLiteral("from")));
        QVERIFY(m_store->contacts().saveContact(
            person(QStringLiteral("MARTIN"), QStringLiteral("ÉLODIE"), QStringLiteral("b@x.org")),
            QStringLiteral("from")));
        QVERIFY(m_store->contacts().saveContact(person(QStringLiteral("Other"), QString(), QStringLiteral("B@X.ORG")),
                                                QStringLiteral("from")));
        Decisions no;
        // In the order given: MARTIN ÉLODIE (copied), Martin élodie (same name), Other (same address).
        m_store->contacts().copyContacts(QStringLiteral("from"), {2, 1, 3}, QStringLiteral("to"), no.decide());
        QCOMPARE(no.met, (QStringList{"name Martin élodie", "email B@X.ORG"}));
        QCOMPARE(m_store->countRows(QStringLiteral("an_to")), 1);

        // A target whose table lacks columns refuses the rows: nothing moves.
        {
            auto odd = Database::open(m_store->files().filePath(QStringLiteral("an_odd.db")), Database::Mode::Create);
            odd->exec(QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, nom TEXT, prenom TEXT, email TEXT)"));
        }
        Decisions none;
        QVERIFY_THROWS_EXCEPTION(StoreError, m_store->contacts().moveContacts(QStringLiteral("from"), {1, 2, 3},
                                                                              QStringLiteral("odd"), none.decide()));
        QCOMPARE(m_store->countRows(QStringLiteral("an_from")), 3);
        QCOMPARE(m_store->countRows(QStringLiteral("an_odd")), 0);
    }

    // A move reads every row before it deletes any: rows on several pages
    // of the shown book come out whole.
    void moveOfRowsOnSeveralPages()
    {
        newBook(QStringLiteral("from"));
        newBook(QStringLiteral("to"));
        std::vector<ContactRecord> rows;
        for (int i = 0; i < 300; ++i)
            rows.push_back(person(QStringLiteral("n%1").arg(i, 3, 10, QLatin1Char('0')), QString()));
        m_store->contacts().saveContacts(rows, QStringLiteral("from"));
        QVERIFY(m_store->openBook(QStringLiteral("from")));
        BookTableModel *q = m_store->currentBookModel();
        QItemSelectionModel sel(q);
        for (int r : {0, 200, 299})
            sel.select(q->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        Decisions none; // no address is no duplicate: nothing is met
        m_store->contacts().moveContacts(QStringLiteral("from"), selectedIds(*q, &sel), QStringLiteral("to"),
                                         none.decide());
        QCOMPARE(none.met, QStringList());
        QVERIFY(m_store->openBook(QStringLiteral("to")));
        QCOMPARE(column(*m_store->currentBookModel(), F_nom),
                 QStringList({QStringLiteral("n000"), QStringLiteral("n200"), QStringLiteral("n299")}));
        QVERIFY(m_store->openBook(QStringLiteral("from")));
        const QStringList left = column(*m_store->currentBookModel(), F_nom);
        QCOMPARE(left.size(), 297);
        QVERIFY(!left.contains(QStringLiteral("n200")));
        QVERIFY(left.contains(QStringLiteral("n201")));
    }

    void historyRecordsRuns()
    {
        QVERIFY(m_store->openHistory());
        QCOMPARE(maxId(*m_store->historyModel()), 0);
        HistoryTable &history = m_store->history();
        QCOMPARE(history.add({QStringLiteral("Sujet é"), QStringLiteral("corps"), QString(), QStringLiteral("1"), QString(),
                              QStringLiteral("/tmp/a.pdf"), QStringLiteral("clients\r\nabonnés\r\n")}), 1);
        QCOMPARE(history.add({QStringLiteral("Deux"), QString(), QString(), QStringLiteral("2"), QString(), QString(), QString()}), 2);
        QVERIFY(m_store->openHistory());
        RowTableModel *h = m_store->historyModel();
        QCOMPARE(h->rowCount(), 2);
        QCOMPARE(h->columnIndex(QStringLiteral("ID")), 0);
        QCOMPARE(h->text(0, QStringLiteral("sujet")), QStringLiteral("Sujet é"));
        QCOMPARE(h->text(0, QStringLiteral("date_msg")), QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")));
        QCOMPARE(h->text(0, QStringLiteral("nom_annuaire")), QStringLiteral("clients\r\nabonnés\r\n"));
        QCOMPARE(maxId(*h), 2);
        history.remove({1});
        QVERIFY(m_store->openHistory());
        QCOMPARE(h->rowCount(), 1);
        QCOMPARE(h->text(0, QStringLiteral("sujet")), QStringLiteral("Deux"));
        // Ids are never given again, even to a record added after a deletion.
        QCOMPARE(history.add({QStringLiteral("Trois"), QString(), QString(), QStringLiteral("1"), QString(), QString(), QString()}), 3);
    }

    // An excluded address is excluded whatever its letter case.
    void blackListIgnoresLetterCase()
    {
        newBook(QStringLiteral("ex"));
        QVERIFY(m_store->contacts().saveContact(person(QStringLiteral("x"), QString(), QStringLiteral("No@Mail.org")),
                                                QStringLiteral("ex")));
        m_store->workTables().buildBlackList({QStringLiteral("ex")});
        QVERIFY(m_store->workTables().isBlackListed(QStringLiteral("No@Mail.org")));
        QVERIFY(m_store->workTables().isBlackListed(QStringLiteral("no@mail.org")));
        QVERIFY(!m_store->workTables().isBlackListed(QStringLiteral("no@mail.org.uk")));
        m_store->workTables().buildBlackList({});
        QVERIFY(!m_store->workTables().isBlackListed(QStringLiteral("No@Mail.org")));
        // Without the template the list cannot be remade: that is an error, and
        // the previous run's exclusions are not used again; nor is a list that
        // cannot be read taken for an empty one.
        m_store->workTables().buildBlackList({QStringLiteral("ex")});
        QVERIFY(QFile::remove(m_store->files().filePath(QStringLiteral("vierge.db"))));
        QVERIFY_THROWS_EXCEPTION(StoreError, m_store->workTables().buildBlackList({}));
        QVERIFY_THROWS_EXCEPTION(StoreError, (void)m_store->workTables().isBlackListed(QStringLiteral("No@Mail.org")));
    }

    void workTableKeepsBookIdsAndPrunesLoneValues()
    {
        newBook(QStringLiteral("a"));
        newBook(QStringLiteral("b"));
        QVERIFY(m_store->contacts().saveContact(
            person(QStringLiteral("Dupont"), QStringLiteral("Jean"), QString(), QStringLiteral("ACME")),
            QStringLiteral("a")));
        QVERIFY(m_store->contacts().saveContact(
            person(QStringLiteral("Seul"), QStringLiteral("Jean"), QString(), QStringLiteral("ACME")),
            QStringLiteral("a")));
        QVERIFY(m_store->contacts().saveContact(
            person(QStringLiteral("Dupont"), QStringLiteral("Jean"), QString(), QStringLiteral("Other")),
            QStringLiteral("b")));
        QVERIFY(m_store->contacts().saveContact(
            person(QStringLiteral("dupont"), QStringLiteral("Jean"), QString(), QStringLiteral("Other")),
            QStringLiteral("b")));
        QFile::copy(m_store->files().filePath(QStringLiteral("vierge.db")),
                    m_store->files().filePath(QStringLiteral("fusion_mnl.db")));
        QList<int> steps;
        WorkProgress progress;
        progress.step = [&](int s) { steps << s; };
        m_store->workTables().fillWorkTable({QStringLiteral("a"), QStringLiteral("b")}, QStringLiteral("fusion_mnl"),
                                            progress);
        QCOMPARE(m_store->countRows(QStringLiteral("fusion_mnl")), 4);
        auto db = m_store->files().openTable(QStringLiteral("fusion_mnl"));
        // nom..champ19 at 0..17, nom_annuaire at 18, id at 19.
        QCOMPARE(db->columns().value(18), QStringLiteral("nom_annuaire"));
        QCOMPARE(db->columns().value(19), QStringLiteral("id"));
        m_store->workTables().pruneToDuplicates(QStringLiteral("fusion_mnl"),
                                                {QStringLiteral("NOM"), QStringLiteral("societe")}, progress);
        QCOMPARE(steps, QList<int>({1, 2, 3, 4, 5}));
        // By nom: Seul and the lower-case dupont are alone (exact comparison).
        // By societe: Dupont/ACME is then alone, and Dupont/Other too. Nothing survives.
        QCOMPARE(m_store->countRows(QStringLiteral("fusion_mnl")), 0);

        m_store->workTables().fillWorkTable({QStringLiteral("a"), QStringLiteral("b")}, QStringLiteral("fusion_mnl"));
        QCOMPARE(m_store->countRows(QStringLiteral("fusion_mnl")), 4);
        m_store->workTables().pruneToDuplicates(QStringLiteral("fusion_mnl"), {QStringLiteral("prenom")});
        QCOMPARE(m_store->countRows(QStringLiteral("fusion_mnl")), 4);
        QVERIFY_THROWS_EXCEPTION(StoreError, m_store->workTables().pruneToDuplicates(
                                                 QStringLiteral("fusion_mnl"), {QStringLiteral("id; DROP TABLE t")}));

        // Keep Dupont/Jean of book a (id 1): the others of that name go from books and table.
        m_store->workTables().deleteOtherOccurrences(
            QStringLiteral("fusion_mnl"), {QStringLiteral("nom"), QStringLiteral("prenom")}, QStringLiteral("A"),
            QStringLiteral("1"), {QStringLiteral("DUPONT"), QStringLiteral("jean")});
        QCOMPARE(m_store->countRows(QStringLiteral("an_a")), 2);
        QCOMPARE(m_store->countRows(QStringLiteral("an_b")), 0);
        QCOMPARE(m_store->countRows(QStringLiteral("fusion_mnl")), 2);
    }

    void exportQuotesWhatNeedsIt()
    {
        newBook(QStringLiteral("b"));
        QVERIFY(BookManager(*m_store)
                    .relabel(QStringLiteral("b"),
                             {QStringLiteral("F1"), QStringLiteral("F2"), QStringLiteral("F3"), QStringLiteral("F4")})
                    .ok());
        ContactRecord c = person(QStringLiteral("A;B"), QStringLiteral("say \"hi\""), QStringLiteral("e@x.org"));
        c[F_commentaire].value = QStringLiteral("two\r\nlines");
        c[F_ville].value = QStringLiteral("Orléans");
        QVERIFY(m_store->contacts().saveContact(c, QStringLiteral("b")));
        const QString out = m_data->filePath(QStringLiteral("out.csv"));
        exportBook(m_store->files(), QStringLiteral("b"), out);
        QCOMPARE(readAll(out),
                 QByteArray("Nom;Prenom;Code_postal;Ville;Adresse1;Adresse2;pays;Tel;Fax;Email;Societe;Civilite;Commentaire;URL;F1;F2;F3;F4\r\n"
                            "\"A;B\";\"say \"\"hi\"\"\";;Orl\xE9" "ans;;;;;;e@x.org;;;\"two\r\nlines\";;;;;\r\n"));
        c[F_ville].value = QStringLiteral("Ωmega");
        c[F_url].value = QString::fromUtf8("x\0y", 3);
        QVERIFY(m_store->contacts().saveContact(c, QStringLiteral("b")));
        // The NUL is left out and told of, and the file reads back whole.
        QCOMPARE(exportBook(m_store->files(), QStringLiteral("b"), out), 1);
        QVERIFY(!readAll(out).contains('\0'));
        QVERIFY(readAll(out).contains(";xy;"));
        QVERIFY(readAll(out).startsWith("\xEF\xBB\xBFNom;"));
        QVERIFY(readAll(out).contains("\xCE\xA9mega"));
        QVERIFY_THROWS_EXCEPTION(
            StoreError, exportBook(m_store->files(), QStringLiteral("b"), QStringLiteral("/nonexistent/dir/x.csv")));
    }

    void csvField_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("field");
        QTest::newRow("plain") << QStringLiteral("Durand") << QStringLiteral("Durand");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("semicolon") << QStringLiteral("a;b") << QStringLiteral("\"a;b\"");
        QTest::newRow("quote") << QStringLiteral("say \"x\"") << QStringLiteral("\"say \"\"x\"\"\"");
        QTest::newRow("line break") << QStringLiteral("a\r\nb") << QStringLiteral("\"a\r\nb\"");
        QTest::newRow("lone line feed") << QStringLiteral("a\nb") << QStringLiteral("\"a\nb\"");
        QTest::newRow("lone carriage return") << QStringLiteral("a\rb") << QStringLiteral("\"a\rb\"");
        QTest::newRow("accents stay") << QStringLiteral("Élodie, 1") << QStringLiteral("Élodie, 1");
        QTest::newRow("control characters left out, tab kept") << QString::fromUtf8("a\0b\x1B\x7F c\td", 9)
                                                                 << QStringLiteral("ab c\td");
        QTest::newRow("control characters left out of a quoted value") << QString::fromUtf8("\x01x;y", 4)
                                                                      << QStringLiteral("\"x;y\"");
    }
    void csvField()
    {
        QFETCH(QString, value);
        QFETCH(QString, field);
        QCOMPARE(kirvane::import::csvField(value), field);
    }

    void addressBookImportTable()
    {
        const QList<QStringList> entries = {
            {QStringLiteral("DISPLAY_NAME=Jean Dupont"), QStringLiteral("EMAIL_ADDRESS=j@x.org"),
             QStringLiteral("A_VERY_LONG_PROPERTY_NAME_BEYOND_25=v"), QStringLiteral("SKIP[0]=x")},
            {QStringLiteral("DISPLAY_NAME=O'Hara"), QStringLiteral("NOTE=a=b")},
            {QStringLiteral("DISPLAY_NAME=third"), QStringLiteral("Note=first"), QStringLiteral("NOTE=last")},
        };
        AddressBookEntries reader{[&] { return int(entries.size()); }, [&](int i) { return entries[i]; }};
        buildAddressBookTable(m_store->files(), true, 2, reader, {});
        auto db = m_store->files().openTable(QStringLiteral("tmp_base"));
        QCOMPARE(db->columns(), QStringList({QStringLiteral("DISPLAY_NAME"), QStringLiteral("EMAIL_ADDRESS"),
                                              QStringLiteral("A_VERY_LONG_PROPERTY_NAME"), QStringLiteral("NOTE")}));
        QCOMPARE(m_store->countRows(QStringLiteral("tmp_base")), 2);
        auto s = db->prepare(QStringLiteral("SELECT NOTE FROM t WHERE DISPLAY_NAME='O''Hara'"));
        QVERIFY(s.step());
        QCOMPARE(s.text(0), QStringLiteral("a=b"));
        buildAddressBookTable(m_store->files(), false, 2, reader, {});
        QCOMPARE(m_store->countRows(QStringLiteral("tmp_base")), 3);
        // A name given twice in other letter cases is one column; the last value wins.
        auto last = m_store->files()
                        .openTable(QStringLiteral("tmp_base"))
                        ->prepare(QStringLiteral("SELECT NOTE FROM t WHERE DISPLAY_NAME='third'"));
        QVERIFY(last.step());
        QCOMPARE(last.text(0), QStringLiteral("last"));
    }

    // A property name is a column of its own whatever characters it holds:
    // names go into the statements quoted, never pasted.
    void addressBookImportPropertyNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("double quote") << QStringLiteral("NICK\"NAME");
        QTest::newRow("only a double quote") << QStringLiteral("\"");
        QTest::newRow("two double quotes") << QStringLiteral("A\"\"B");
        QTest::newRow("quote and parenthesis") << QStringLiteral("X\") TEXT, \"Y");
        QTest::newRow("apostrophe") << QStringLiteral("O'NAME");
        QTest::newRow("space and accent") << QStringLiteral("NOM ÉTÉ");
    }
    void addressBookImportPropertyNames()
    {
        QFETCH(QString, name);
        const QList<QStringList> entries = {{QStringLiteral("DISPLAY_NAME=Jean"), name + QStringLiteral("=the value")}};
        AddressBookEntries reader{[&] { return int(entries.size()); }, [&](int i) { return entries[i]; }};
        buildAddressBookTable(m_store->files(), false, 0, reader, {});
        auto db = m_store->files().openTable(QStringLiteral("tmp_base"));
        QCOMPARE(db->columns(), QStringList({QStringLiteral("DISPLAY_NAME"), name}));
        auto s = db->prepare(QStringLiteral("SELECT %1 FROM t WHERE DISPLAY_NAME='Jean'").arg(quoteIdentifier(name)));
        QVERIFY(s.step());
        QCOMPARE(s.text(0), QStringLiteral("the value"));
    }

    void brokenFilesStayContained()
    {
        newBook(QStringLiteral("good"));
        QVERIFY(m_store->contacts().saveContact(person(QStringLiteral("x"), QString()), QStringLiteral("good")));
        QFile bad(m_store->files().filePath(QStringLiteral("an_bad.db")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("this is not a database at all, just some text that is long enough to look like a page");
        bad.close();
        QVERIFY(!m_store->openBook(QStringLiteral("bad")));
        QVERIFY(!m_store->currentBookModel()->isOpen());
        QVERIFY(!m_store->contacts().saveContact(person(QStringLiteral("y"), QString()), QStringLiteral("bad")));
        QVERIFY_THROWS_EXCEPTION(StoreError, (void)m_store->countRows(QStringLiteral("an_bad")));
        QVERIFY(m_store->openBook(QStringLiteral("good")));
        QCOMPARE(m_store->currentBookModel()->rowCount(), 1);
        QVERIFY(!m_store->openBook(QStringLiteral("missing")));
    }

    void bookCommands()
    {
        BookManager books(*m_store);
        const QStringList labels = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")};
        QCOMPARE(books.proposeNewName(), QStringLiteral("New"));
        QCOMPARE(outcome(books.create(QStringLiteral("nouveau"), labels)), QStringLiteral("ok"));
        QCOMPARE(outcome(books.create(QStringLiteral("nouveau2"), labels)), QStringLiteral("ok"));
        QCOMPARE(books.proposeNewName(true), QStringLiteral("nouveau3"));
        QCOMPARE(books.proposeCopyName(QStringLiteral("clients"), true), QStringLiteral("Copie declients"));
        QCOMPARE(books.proposeCopyName(QStringLiteral("clients")), QStringLiteral("Copy of clients"));
        QCOMPARE(outcome(books.create(QStringLiteral("l'an"), labels)), QStringLiteral("bad name"));
        QCOMPARE(outcome(books.create(QStringLiteral("NOUVEAU"), labels)), QStringLiteral("error 201"));
        QCOMPARE(outcome(books.create(QString(), labels)), QStringLiteral("bad name"));
        QVERIFY(!QFileInfo::exists(m_store->files().folder() + QStringLiteral("an_.db")));

        QVERIFY(m_store->contacts().saveContact(person(QStringLiteral("kept"), QString()), QStringLiteral("nouveau")));
        QCOMPARE(outcome(books.duplicate(QStringLiteral("nouveau"), QStringLiteral("l'an"))), QStringLiteral("bad name"));
        QCOMPARE(outcome(books.duplicate(QStringLiteral("nouveau"), QStringLiteral("copie"))), QStringLiteral("ok"));
        QCOMPARE(m_store->countRows(QStringLiteral("an_copie")), 1);
        QCOMPARE(books.freeLabels(QStringLiteral("copie")), labels);
        QCOMPARE(outcome(books.duplicate(QStringLiteral("nouveau"), QStringLiteral("nouveau2"))), QStringLiteral("error 205"));
        QCOMPARE(m_store->countRows(QStringLiteral("an_nouveau2")), 0); // not overwritten

        QVERIFY(m_store->openBook(QStringLiteral("nouveau")));
        QCOMPARE(outcome(books.rename(QStringLiteral("nouveau"), QStringLiteral("nouveau2"))), QStringLiteral("name in use"));
        QCOMPARE(outcome(books.rename(QStringLiteral("nouveau"), QStringLiteral("renamed"))), QStringLiteral("ok"));
        QVERIFY(!m_store->currentBookModel()->isOpen()); // the shown book went away
        QCOMPARE(m_store->countRows(QStringLiteral("an_renamed")), 1);
        QVERIFY(QFileInfo::exists(m_store->files().labelPath(QStringLiteral("renamed"))));

        QCOMPARE(outcome(books.create(QStringLiteral("subscribers"), labels)), QStringLiteral("ok"));
        QCOMPARE(outcome(books.remove(QStringLiteral("subscribers"))), QStringLiteral("protected"));
        QCOMPARE(outcome(books.rename(QStringLiteral("subscribers"), QStringLiteral("Subscribers2"))), QStringLiteral("ok"));
        QCOMPARE(outcome(books.rename(QStringLiteral("Subscribers2"), QStringLiteral("Subscribers"))), QStringLiteral("ok"));
        QCOMPARE(outcome(books.remove(QStringLiteral("Subscribers"))), QStringLiteral("protected"));
        QCOMPARE(outcome(books.rename(QStringLiteral("Subscribers"), QStringLiteral("old subscribers"))), QStringLiteral("ok"));
        QCOMPARE(outcome(books.remove(QStringLiteral("old subscribers"))), QStringLiteral("ok"));
        QFile::remove(m_store->files().labelPath(QStringLiteral("renamed")));
        QCOMPARE(outcome(books.remove(QStringLiteral("renamed"))), QStringLiteral("ok"));
        QCOMPARE(outcome(books.remove(QStringLiteral("renamed"))), QStringLiteral("error 203"));
        QCOMPARE(m_store->listBooks(), QStringList({QStringLiteral("copie"), QStringLiteral("nouveau2")}));
    }

    // A book left with the journal of an interrupted write (the program was
    // killed mid-save): its file alone holds half a change. Copying, renaming
    // or deleting the file without that journal must not keep the half change.
    void bookCommandsSettleAnInterruptedWrite_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("rename") << QStringLiteral("rename");
        QTest::newRow("duplicate") << QStringLiteral("duplicate");
        QTest::newRow("delete, then create again") << QStringLiteral("delete");
        QTest::newRow("export") << QStringLiteral("export");
        QTest::newRow("search") << QStringLiteral("search");
    }
    void bookCommandsSettleAnInterruptedWrite()
    {
        QFETCH(QString, command);
        newBook(QStringLiteral("live"));
        QVERIFY(m_store->contacts().saveContact(person(QStringLiteral("kept"), QString()), QStringLiteral("live")));
        const QString live = m_store->files().bookPath(QStringLiteral("live"));
        const QString crashed = m_store->files().filePath(QStringLiteral("an_crashed.db"));
        {
            // Spill an unfinished transaction into the file, and keep that state
            // (file and journal) as a crash would leave it.
            auto db = Database::open(live);
            db->exec(QStringLiteral("PRAGMA cache_size=1; BEGIN;"));
            Statement ins = db->prepare(QStringLiteral("INSERT INTO t (nom, commentaire) VALUES ('half', ?)"));
            for (int i = 0; i < 300; ++i) {
                ins.bind(1, QString(400, u'x'));
                ins.run();
                ins.reset();
            }
            QVERIFY(QFileInfo::exists(live + QStringLiteral("-journal")));
            QVERIFY(QFile::copy(live, crashed));
            QVERIFY(QFile::copy(live + QStringLiteral("-journal"), crashed + QStringLiteral("-journal")));
            db->exec(QStringLiteral("ROLLBACK"));
        }
        BookManager books(*m_store);
        const QStringList labels = {QString(), QString(), QString(), QString()};
        QString result = QStringLiteral("crashed");
        if (command == QLatin1String("rename")) {
            QCOMPARE(outcome(books.rename(QStringLiteral("crashed"), QStringLiteral("moved"))), QStringLiteral("ok"));
            result = QStringLiteral("moved");
        } else if (command == QLatin1String("duplicate")) {
            QCOMPARE(outcome(books.duplicate(QStringLiteral("crashed"), QStringLiteral("copy"))), QStringLiteral("ok"));
            result = QStringLiteral("copy");
        } else if (command == QLatin1String("export")) {
            const QString out = m_data->filePath(QStringLiteral("out.csv"));
            exportBook(m_store->files(), QStringLiteral("crashed"), out);
            QCOMPARE(readAll(out).count("\r\n"), 2);
        } else if (command == QLatin1String("search")) {
            QCOMPARE(m_store->contacts().selectIds(
                         QStringLiteral("crashed"),
                         {Condition{QStringLiteral("nom"), Condition::Equal, {QStringLiteral("kept")}}}),
                     QList<qint64>({1}));
        } else {
            QCOMPARE(outcome(books.remove(QStringLiteral("crashed"))), QStringLiteral("ok"));
            QVERIFY(!QFileInfo::exists(crashed + QStringLiteral("-journal")));
            QCOMPARE(outcome(books.create(QStringLiteral("crashed"), labels)), QStringLiteral("ok"));
        }
        QCOMPARE(m_store->countRows(QStringLiteral("an_") + result), command == QLatin1String("delete") ? 0 : 1);
        auto check
            = Database::open(m_store->files().bookPath(result))->prepare(QStringLiteral("PRAGMA integrity_check"));
        QVERIFY(check.step());
        QCOMPARE(check.text(0), QStringLiteral("ok"));
    }

    // Every command and every read or write that takes a book name refuses a
    // name no book can have before any file is touched.
    void badBookNamesAreRefusedEverywhere_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("parent folder") << QStringLiteral("x/../../../outside");
        QTest::newRow("absolute path") << QStringLiteral("/tmp/outside");
        QTest::newRow("two dots") << QStringLiteral("..");
        QTest::newRow("empty") << QString();
        QTest::newRow("line feed") << QStringLiteral("a\nb");
        QTest::newRow("carriage return") << QStringLiteral("a\rb");
        QTest::newRow("backslash") << QStringLiteral("a\\b");
    }
    void badBookNamesAreRefusedEverywhere()
    {
        QFETCH(QString, name);
        newBook(QStringLiteral("good"));
        QVERIFY(m_store->contacts().saveContact(person(QStringLiteral("kept"), QString()), QStringLiteral("good")));
        // A folder that a name with "/" and ".." would go through.
        QVERIFY(QDir().mkpath(m_store->files().folder() + QStringLiteral("an_x")));
        const QStringList before = filesBelow(m_data->path());
        BookManager books(*m_store);
        const QStringList labels = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")};
        const QString good = QStringLiteral("good");
        const QList<QPair<const char *, BookResult>> commands = {
            {"create", books.create(name, labels)},
            {"copy from", books.duplicate(name, QStringLiteral("copy"))},
            {"copy to", books.duplicate(good, name)},
            {"rename from", books.rename(name, QStringLiteral("renamed"))},
            {"rename to", books.rename(good, name)},
            {"relabel", books.relabel(name, labels)},
            {"delete", books.remove(name)},
        };
        for (const auto &[command, result] : commands) {
            QVERIFY2(outcome(result) == QLatin1String("bad name"), command);
            QVERIFY2(!result.reason.isEmpty(), command);
        }
        QVERIFY(!books.exists(name));
        QCOMPARE(books.freeLabels(name), QStringList({QStringLiteral("Champ 1"), QStringLiteral("Champ 2"),
                                                     QStringLiteral("Champ 3"), QStringLiteral("Champ 4")}));
        ContactTable &contacts = m_store->contacts();
        QVERIFY(!contacts.saveContact(person(QStringLiteral("x"), QString()), name));
        QVERIFY_THROWS_EXCEPTION(StoreError, (void)contacts.addContact(person(QStringLiteral("x"), QString()), name));
        QVERIFY_THROWS_EXCEPTION(StoreError, (void)contacts.scan(name));
        QVERIFY_THROWS_EXCEPTION(StoreError, contacts.deleteContacts(name, {1}));
        QVERIFY_THROWS_EXCEPTION(StoreError, (void)contacts.nameExists(name, QStringLiteral("kept")));
        Decisions yes(true);
        QVERIFY_THROWS_EXCEPTION(StoreError, (void)contacts.copyContacts(good, {1}, name, yes.decide()));
        QVERIFY(!m_store->openBook(name));
        QCOMPARE(filesBelow(m_data->path()), before);
        QCOMPARE(m_store->countRows(QStringLiteral("an_good")), 1);
    }

    // A name an earlier rename or copy could give ("o'neil", "a:b") is refused
    // as a new name only: the book that has it stays reachable and can be
    // renamed to a name allowed now.
    void bookNamedBeforeTheRuleStaysReachable_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("apostrophe") << QStringLiteral("o'neil");
        QTest::newRow("colon") << QStringLiteral("a:b");
        QTest::newRow("quotation mark") << QStringLiteral("\"x\"");
    }
    void bookNamedBeforeTheRuleStaysReachable()
    {
        QFETCH(QString, name);
        newBook(QStringLiteral("good"));
        QVERIFY(m_store->contacts().saveContact(person(QStringLiteral("kept"), QString()), QStringLiteral("good")));
        BookFiles &files = m_store->files();
        QVERIFY(QFile::copy(files.bookPath(QStringLiteral("good")), files.folder() + QStringLiteral("an_") + name + QStringLiteral(".db")));
        QVERIFY(QFile::copy(files.labelPath(QStringLiteral("good")), files.folder() + QStringLiteral("an_") + name + QStringLiteral(".ini")));
        BookManager books(*m_store);
        const QStringList labels = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")};

        QVERIFY(books.exists(name));
        QVERIFY(m_store->listBooks().contains(name));
        QVERIFY(m_store->openBook(name));
        QCOMPARE(m_store->currentBookModel()->rowCount(), 1);
        QVERIFY(m_store->contacts().saveContact(person(QStringLiteral("added"), QString()), name));
        QCOMPARE(m_store->countRows(QStringLiteral("an_") + name), 2);
        QCOMPARE(outcome(books.relabel(name, labels)), QStringLiteral("ok"));
        QCOMPARE(books.freeLabels(name), labels);
        // Not as a new name.
        QCOMPARE(outcome(books.create(name + QStringLiteral("2"), labels)), QStringLiteral("bad name"));
        QCOMPARE(outcome(books.duplicate(QStringLiteral("good"), name + QStringLiteral("2"))), QStringLiteral("bad name"));
        QCOMPARE(outcome(books.rename(QStringLiteral("good"), name + QStringLiteral("2"))), QStringLiteral("bad name"));
        QCOMPARE(outcome(books.rename(name, name.toUpper())), QStringLiteral("bad name"));
        // Copied and renamed away from it, then deleted.
        QCOMPARE(outcome(books.duplicate(name, QStringLiteral("copy"))), QStringLiteral("ok"));
        QCOMPARE(m_store->countRows(QStringLiteral("an_copy")), 2);
        QCOMPARE(outcome(books.rename(name, QStringLiteral("renamed"))), QStringLiteral("ok"));
        QCOMPARE(books.freeLabels(QStringLiteral("renamed")), labels);
        QCOMPARE(outcome(books.remove(QStringLiteral("copy"))), QStringLiteral("ok"));
        QCOMPARE(m_store->listBooks(), (QStringList{QStringLiteral("good"), QStringLiteral("renamed")}));
    }

    // The subscribers' and the bounces' books cannot be deleted, whatever the
    // letter case of the name they are asked by.
    void protectedBooksInAnyLetterCase_data()
    {
        QTest::addColumn<QString>("book");
        QTest::addColumn<QString>("asked");
        QTest::newRow("subscribers") << QStringLiteral("subscribers") << QStringLiteral("subscribers");
        QTest::newRow("Subscribers") << QStringLiteral("subscribers") << QStringLiteral("Subscribers");
        QTest::newRow("SUBSCRIBERS made so") << QStringLiteral("SUBSCRIBERS") << QStringLiteral("SUBSCRIBERS");
        QTest::newRow("Bounces") << QStringLiteral("bounces") << QStringLiteral("Bounces");
        QTest::newRow("bOUNCES made so") << QStringLiteral("bOUNCES") << QStringLiteral("bounces");
    }
    void protectedBooksInAnyLetterCase()
    {
        QFETCH(QString, book);
        QFETCH(QString, asked);
        newBook(book);
        QCOMPARE(outcome(BookManager(*m_store).remove(asked)), QStringLiteral("protected"));
        QCOMPARE(m_store->listBooks(), QStringList(book));
    }

    // A rename that changes only the letter case is the same book under its
    // new spelling, not a name in use.
    void renameChangingOnlyTheLetterCase()
    {
        newBook(QStringLiteral("clients"));
        QVERIFY(m_store->contacts().saveContact(person(QStringLiteral("kept"), QString()), QStringLiteral("clients")));
        BookManager books(*m_store);
        const QStringList labels = {QStringLiteral("w"), QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("z")};
        QCOMPARE(outcome(books.relabel(QStringLiteral("clients"), labels)), QStringLiteral("ok"));
        QVERIFY(m_store->openBook(QStringLiteral("clients")));
        QCOMPARE(outcome(books.rename(QStringLiteral("clients"), QStringLiteral("Clients"))), QStringLiteral("ok"));
        QVERIFY(!m_store->currentBookModel()->isOpen());
        QCOMPARE(m_store->listBooks(), QStringList(QStringLiteral("Clients")));
        QCOMPARE(QDir(m_store->files().folder()).entryList({QStringLiteral("an_*")}, QDir::Files),
                 QStringList({QStringLiteral("an_Clients.db"), QStringLiteral("an_Clients.ini")}));
        QCOMPARE(m_store->countRows(QStringLiteral("an_Clients")), 1);
        QCOMPARE(books.freeLabels(QStringLiteral("Clients")), labels);
        // Asked by the old spelling, to the spelling it has already: nothing changes.
        QCOMPARE(outcome(books.rename(QStringLiteral("clients"), QStringLiteral("Clients"))), QStringLiteral("ok"));
        QCOMPARE(m_store->listBooks(), QStringList(QStringLiteral("Clients")));
        // Another book of that name in any case is still in use.
        newBook(QStringLiteral("other"));
        QCOMPARE(outcome(books.rename(QStringLiteral("other"), QStringLiteral("CLIENTS"))), QStringLiteral("name in use"));
    }

    // A command that fails on a full disk reports it and leaves the data
    // folder as it was: no emptied label file, no stray file of a book that
    // was not made.
    void fullDiskLeavesFilesAsTheyWere_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("room");
        QTest::newRow("relabel") << QStringLiteral("relabel") << QStringLiteral("failed") << 100;
        // Room for a label file, not for a table.
        QTest::newRow("copy") << QStringLiteral("copy") << QStringLiteral("error 205") << 4096;
        QTest::newRow("create") << QStringLiteral("create") << QStringLiteral("error 201") << 4096;
    }
    void fullDiskLeavesFilesAsTheyWere()
    {
        QFETCH(QString, command);
        QFETCH(QString, expected);
        QFETCH(int, room);
        newBook(QStringLiteral("book"));
        const QStringList labels = {QStringLiteral("new 1"), QStringLiteral("new 2"), QStringLiteral("new 3"), QStringLiteral("new 4")};
        const QStringList before = filesBelow(m_data->path());
        const QByteArray oldLabels = readAll(m_store->files().labelPath(QStringLiteral("book")));
        BookManager books(*m_store);
        BookResult result;
        {
            FileSizeLimit full(room);
            if (command == QLatin1String("relabel"))
                result = books.relabel(QStringLiteral("book"), labels);
            else if (command == QLatin1String("copy"))
                result = books.duplicate(QStringLiteral("book"), QStringLiteral("copy"));
            else
                result = books.create(QStringLiteral("new"), labels);
        }
        QCOMPARE(outcome(result), expected);
        QVERIFY(!result.reason.isEmpty());
        QCOMPARE(readAll(m_store->files().labelPath(QStringLiteral("book"))), oldLabels);
        QCOMPARE(filesBelow(m_data->path()), before);
    }

    // Creating a book from a damaged template is refused: a book made from it
    // would refuse every later write.
    void createFromADamagedTemplate_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("not a table file") << QStringLiteral("text");
        QTest::newRow("a page overwritten") << QStringLiteral("page");
        QTest::newRow("columns missing") << QStringLiteral("columns");
    }
    void createFromADamagedTemplate()
    {
        QFETCH(QString, damage);
        const QString tmpl = m_store->files().templatePath();
        if (damage == QLatin1String("text")) {
            QFile f(tmpl);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4096, 'x'));
        } else if (damage == QLatin1String("page")) {
            damagePage(tmpl, 2);
        } else {
            QVERIFY(QFile::remove(tmpl));
            Database::open(tmpl, Database::Mode::Create)->exec(QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, nom TEXT)"));
        }
        const BookResult r = BookManager(*m_store).create(QStringLiteral("x"), {});
        QCOMPARE(outcome(r), QStringLiteral("error 201"));
        QVERIFY2(r.reason.contains(QLatin1String("damaged")), qPrintable(r.reason));
        QVERIFY(m_store->listBooks().isEmpty());
        QVERIFY(!QFileInfo::exists(m_store->files().filePath(QStringLiteral("an_x.ini"))));
    }

    // A book with a damaged page is an error wherever it is read row by row,
    // never blank contacts.
    void damagedBookFailsEveryRowRead()
    {
        newBook(QStringLiteral("book"));
        std::vector<ContactRecord> many;
        for (int i = 0; i < 300; ++i) {
            ContactRecord c = person(QStringLiteral("n%1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("p"));
            c[F_commentaire].value = QString(300, u'c');
            many.push_back(c);
        }
        QCOMPARE(m_store->contacts().saveContacts(many, QStringLiteral("book")), 300);
        damagePage(m_store->files().bookPath(QStringLiteral("book")), 10); // rows, not the name index

        QVERIFY_THROWS_EXCEPTION(StoreError, {
            BookScan scan = m_store->contacts().scan(QStringLiteral("book"));
            while (scan.next()) {
            }
        });
        QVERIFY(m_store->openBook(QStringLiteral("book"))); // the rows are counted by the index
        BookTableModel *model = m_store->currentBookModel();
        QSignalSpy failed(model, &BookTableModel::readFailed);
        for (int row = 0; row < model->rowCount(); ++row)
            (void)model->data(model->index(row, F_nom));
        QCOMPARE(failed.count(), 1);
        QVERIFY2(failed.first().first().toString().contains(QLatin1String("malformed")),
                 qPrintable(failed.first().first().toString()));
        // Each row is the contact it holds or an error, never a blank one.
        int unreadable = 0;
        for (int row = 0; row < model->rowCount(); ++row) {
            try {
                const ContactRecord c = m_store->readContactAt(row);
                QVERIFY(c[F_id].value.toLongLong() > 0);
                QVERIFY(!c[F_nom].value.isEmpty());
            } catch (const StoreError &) {
                ++unreadable;
            }
        }
        QVERIFY(unreadable > 0);
    }

    void createWithoutTemplateLeavesNothing()
    {
        QFile::remove(m_store->files().filePath(QStringLiteral("vierge.db")));
        QCOMPARE(outcome(BookManager(*m_store).create(QStringLiteral("x"), {})), QStringLiteral("error 201"));
        QVERIFY(!QFileInfo::exists(m_store->files().filePath(QStringLiteral("an_x.db"))));
        QVERIFY(!QFileInfo::exists(m_store->files().filePath(QStringLiteral("an_x.ini"))));
        QVERIFY(m_store->listBooks().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstStore)
#include "tst_store.moc"
