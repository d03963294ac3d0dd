// The address-book store: books, contacts, history, work tables, export, and
// the commands of the address-books view, on real SQLite files.
#include "contacts/bookmanager.h"
#include "store/contactrecord.h"
#include "store/database.h"
#include "common/folders.h"
#include "common/inifile.h"
#include "store/addressbookstore.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QTemporaryDir>
#include <QTest>

using namespace kirvane::common;
using namespace kirvane::contacts;
using namespace kirvane::store;

Q_DECLARE_METATYPE(kirvane::Condition)

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

QByteArray readAll(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
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

    QTemporaryDir *m_dir = nullptr;
    AddressBookStore *m_base = nullptr;

    void newBook(const QString &name)
    {
        QCOMPARE(BookManager(*m_base).create(name, {QStringLiteral("Champ 1"), QStringLiteral("Champ 2"),
                                                    QStringLiteral("Champ 3"), QStringLiteral("Champ 4")}),
                 int(BookManager::Ok));
    }

private Q_SLOTS:
    void init()
    {
        m_dir = new QTemporaryDir;
        setDataFolder(m_dir->path());
        QString error;
        QVERIFY2(BookFiles::ensureDataFolder(dataFolder(), &error), qPrintable(error));
        m_base = new AddressBookStore;
        m_base->initDataFolder();
    }
    void cleanup()
    {
        delete m_base;
        delete m_dir;
    }

    void dataFolderIsCreatedOnceAndKept()
    {
        for (const char *f : {"Annuaires/vierge.db", "Annuaires/vierge.ini", "historique/historique.db", "titre.ini"})
            QVERIFY2(QFileInfo::exists(dataFolder() + QLatin1String(f)), f);
        newBook(QStringLiteral("clients"));
        QVERIFY(BookFiles::ensureDataFolder(dataFolder()));
        QCOMPARE(m_base->ListBooks(), QStringList(QStringLiteral("clients")));
        QVERIFY(readAll(dataFolder() + QStringLiteral("titre.ini")).contains("Madame\r\n"));
    }

    void labelsDefaultAndRewrite()
    {
        newBook(QStringLiteral("b"));
        QFile::remove(m_base->labelPath(QStringLiteral("b")));
        ContactRecord c;
        readLabels(m_base->labelPath(QStringLiteral("b")), c);
        QCOMPARE(c[F_champ16].label, QStringLiteral("Champ 1"));
        QCOMPARE(c[F_nom].label, QStringLiteral("Nom"));
        QCOMPARE(BookManager(*m_base).relabel(QStringLiteral("b"), {QStringLiteral("Âge"), QString(), QStringLiteral("x"), QStringLiteral("y")}), 0);
        IniFile ini(m_base->labelPath(QStringLiteral("b")));
        QCOMPARE(ini.keys(QStringLiteral("nom_champs")).size(), 19);
        QCOMPARE(ini.value(QStringLiteral("nom_champs"), QStringLiteral("champs15")), QStringLiteral("URL"));
        QCOMPARE(BookManager(*m_base).freeLabels(QStringLiteral("b")),
                 QStringList({QStringLiteral("Âge"), QString(), QStringLiteral("x"), QStringLiteral("y")}));
        // A label file that cannot be written is its own failure, not a failed create.
        QFile::remove(m_base->labelPath(QStringLiteral("b")));
        QVERIFY(QDir().mkdir(m_base->labelPath(QStringLiteral("b"))));
        QCOMPARE(BookManager(*m_base).relabel(QStringLiteral("b"), {}), int(BookManager::LabelsUnwritten));
    }

    void saveReadAndUpdate()
    {
        const QString book = QStringLiteral("Mes clients; été & co");
        newBook(book);
        ContactRecord c = person(QStringLiteral("O'Brien"), QStringLiteral("Zoë \"Z\""), QStringLiteral("z@x.org"));
        c[F_commentaire].value = QStringLiteral("line 1\r\nline 2 Ωmega");
        c[F_code_postal].value = QStringLiteral("75001");
        QCOMPARE(m_base->SaveContact(c, book), 0);
        QCOMPARE(m_base->OpenBook(book), 0);
        QCOMPARE(m_base->Query1()->rowCount(), 1);
        ContactRecord read = m_base->ReadCurrentContact();
        QCOMPARE(read[F_nom].value, QStringLiteral("O'Brien"));
        QCOMPARE(read[F_commentaire].value, c[F_commentaire].value);
        QCOMPARE(read[F_nom].label, QStringLiteral("Nom"));
        read[F_prenom].value = QStringLiteral("Zoé");
        QCOMPARE(m_base->SaveContact(read), 0); // empty book name: the current book
        ContactRecord again = emptyContact();
        m_base->ReadContact(read[F_id].value, book, again);
        QCOMPARE(again[F_prenom].value, QStringLiteral("Zoé"));
        QCOMPARE(again[F_id].value, read[F_id].value);
        QCOMPARE(m_base->CountRows(QStringLiteral("an_") + book), 1);
        QVERIFY_THROWS_EXCEPTION(StoreError, m_base->ReadContact(QStringLiteral("999"), book, again));
        QCOMPARE(m_base->SaveContact(c, QStringLiteral("no such book")), 1);
    }

    void newIdsAreLargerThanAnyGiven()
    {
        newBook(QStringLiteral("b"));
        const qint64 a = m_base->AddContact(person(QStringLiteral("a"), QString()), QStringLiteral("b"));
        const qint64 b = m_base->AddContact(person(QStringLiteral("b"), QString()), QStringLiteral("b"));
        m_base->DeleteContacts(QStringLiteral("b"), QString::number(b));
        const qint64 c = m_base->AddContact(person(QStringLiteral("c"), QString()), QStringLiteral("b"));
        QVERIFY(a < b && b < c);
        QVERIFY_THROWS_EXCEPTION(StoreError, m_base->DeleteContacts(QStringLiteral("b"), QStringLiteral("1) OR (1=1")));
    }

    void lookupsFoldCaseBeyondAscii()
    {
        newBook(QStringLiteral("b"));
        m_base->SaveContact(person(QStringLiteral("Élodie"), QStringLiteral("Ärger"), QStringLiteral("Mixed@Case.org")), QStringLiteral("b"));
        m_base->SaveContact(person(QStringLiteral("d'Arc"), QStringLiteral("Jeanne")), QStringLiteral("b"));
        QCOMPARE(m_base->ContactExists(QStringLiteral("b"), QStringLiteral("ÉLODIE"), QStringLiteral("ärger")), 1);
        QCOMPARE(m_base->ContactExists(QStringLiteral("b"), QStringLiteral("élodie"), QStringLiteral("other")), 0);
        QCOMPARE(m_base->NameExists(QStringLiteral("b"), QStringLiteral("D'ARC")), 1);
        QCOMPARE(m_base->EmailExists(QStringLiteral("b"), QStringLiteral("mixed@case.ORG")), 1);
        m_base->DeleteByEmail(QStringLiteral("b"), QStringLiteral("mixed@case.org")); // exact: nothing
        QCOMPARE(m_base->CountRows(QStringLiteral("an_b")), 2);
        m_base->DeleteByEmail(QStringLiteral("b"), QStringLiteral("Mixed@Case.org"));
        QCOMPARE(m_base->CountRows(QStringLiteral("an_b")), 1);
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
        m_base->SaveContact(person(QStringLiteral("Dupont"), QStringLiteral("Jean")), b);
        m_base->SaveContact(person(QStringLiteral("DUPONT"), QStringLiteral("Luc")), b);
        m_base->SaveContact(person(QStringLiteral("Dupont-Martin"), QStringLiteral("Jean")), b);
        m_base->SaveContact(person(QStringLiteral("Élodie"), QStringLiteral("O'Hara")), b);
        m_base->SaveContact(person(QStringLiteral("d'Arc"), QStringLiteral("Jeanne")), b);
        m_base->SaveContact(person(QStringLiteral("Robert"), QStringLiteral("1 OR 1=1")), b);
        QCOMPARE(m_base->SelectIds(b, conditions), ids);
        QCOMPARE(m_base->CountRows(QStringLiteral("an_b")), 6);
    }

    void selectIdsRefusesOtherColumns()
    {
        newBook(QStringLiteral("b"));
        QVERIFY_THROWS_EXCEPTION(StoreError, (void)m_base->SelectIds(QStringLiteral("b"),
            {Condition{QStringLiteral("nom=nom OR 1"), Condition::Equal, {QString()}}}));
        QVERIFY_THROWS_EXCEPTION(StoreError, (void)m_base->SelectIds(QStringLiteral("b"),
            {Condition{QStringLiteral("nom_annuaire"), Condition::Equal, {QString()}}}));
    }

    void booksListedWithoutCase()
    {
        newBook(QStringLiteral("Clients"));
        newBook(QStringLiteral("abonnés"));
        QFile::rename(m_base->bookPath(QStringLiteral("Clients")), m_base->bookFile(QStringLiteral("AN_Clients.DB")));
        QFile(m_base->bookFile(QStringLiteral("an_x.db-journal"))).open(QIODevice::WriteOnly);
        QCOMPARE(m_base->ListBooks(), QStringList({QStringLiteral("abonnés"), QStringLiteral("Clients")}));
        QCOMPARE(m_base->OpenBook(QStringLiteral("clients")), 0);
    }

    void bookOpensInNameOrderWithDisplayNames()
    {
        newBook(QStringLiteral("b"));
        std::vector<ContactRecord> rows = {person(QStringLiteral("martin"), QStringLiteral("Paul")),
                                       person(QString(), QString()), person(QString(), QStringLiteral("Solo")),
                                       person(QStringLiteral("Martin"), QStringLiteral("Anne")),
                                       person(QStringLiteral("adam"), QString())};
        QCOMPARE(m_base->SaveContacts(rows, QStringLiteral("b")), 5);
        QCOMPARE(m_base->OpenBook(QStringLiteral("b")), 0);
        const int name = BookTableModel::kDisplayNameColumn;
        QCOMPARE(column(*m_base->Query1(), name),
                 QStringList({QStringLiteral("<Unknow name>"), QStringLiteral("  Solo"), QStringLiteral("adam  "),
                              QStringLiteral("Martin  Anne"), QStringLiteral("martin  Paul")}));
        QCOMPARE(m_base->OpenBookDescending(QStringLiteral("b")), 0);
        QCOMPARE(m_base->Query1()->text(0, name), QStringLiteral("martin  Paul"));
        QCOMPARE(m_base->Query1()->headerData(name, Qt::Horizontal).toString(), QStringLiteral("NomPrenom"));
    }

    void largeBookReadsPagesOnDemand()
    {
        newBook(QStringLiteral("big"));
        std::vector<ContactRecord> rows;
        for (int i = 0; i < 5000; ++i)
            rows.push_back(person(QStringLiteral("n%1").arg(i, 5, 10, QLatin1Char('0')), QString()));
        m_base->SaveContacts(rows, QStringLiteral("big"));
        QCOMPARE(m_base->OpenBook(QStringLiteral("big")), 0);
        BookTableModel *q = m_base->Query1();
        QCOMPARE(q->rowCount(), 5000);
        QCOMPARE(q->text(4999, F_nom), QStringLiteral("n04999"));
        QCOMPARE(q->data(q->index(2500, F_nom)).toString(), QStringLiteral("n02500"));
        QCOMPARE(MaxId(*q), QStringLiteral("5000"));
    }

    void cursorAndSelection()
    {
        newBook(QStringLiteral("b"));
        for (const char *n : {"a", "b", "c", "d"})
            m_base->SaveContact(person(QLatin1String(n), QString()), QStringLiteral("b"));
        m_base->OpenBook(QStringLiteral("b"));
        BookTableModel *q = m_base->Query1();
        QItemSelectionModel sel(q);
        sel.select(q->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        sel.select(q->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(SelectedIds(*q, &sel), QStringList({QStringLiteral("3"), QStringLiteral("1")}));
        QCOMPARE(IdBeforeSelection(*q, &sel), QStringLiteral("2"));
        QCOMPARE(IdAfterSelection(*q, &sel), QStringLiteral("4"));
        sel.clearSelection();
        sel.select(q->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(IdBeforeSelection(*q, &sel), QStringLiteral("NULL"));
        sel.clearSelection();
        sel.select(q->index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(IdAfterSelection(*q, &sel), QStringLiteral("4"));
        LocateId(*q, QStringLiteral("2"));
        QCOMPARE(FirstColumnText(*q), QStringLiteral("2"));
        LocateId(*q, QStringLiteral("77"));
        QVERIFY(q->eof());
    }

    void copyAndMoveAskAboutDuplicates()
    {
        newBook(QStringLiteral("from"));
        newBook(QStringLiteral("to"));
        m_base->SaveContact(person(QStringLiteral("Dupont"), QStringLiteral("Jean"), QStringLiteral("j@x.org")), QStringLiteral("from"));
        m_base->SaveContact(person(QStringLiteral("Neuf"), QStringLiteral("Ana"), QStringLiteral("a@x.org")), QStringLiteral("from"));
        m_base->SaveContact(person(QStringLiteral("DUPONT"), QStringLiteral("jean")), QStringLiteral("to"));
        m_base->OpenBook(QStringLiteral("from"));
        BookTableModel *q = m_base->Query1();
        QItemSelectionModel sel(q);
        sel.select(QItemSelection(q->index(0, 0), q->index(1, 0)), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QStringList asked;
        CopyQuestions no{[&](const QString &n, const QString &p) { asked << n + u'/' + p; return false; },
                         [&](const QString &e) { asked << e; return false; }};
        m_base->MoveContacts(QStringLiteral("to"), &sel, no);
        QCOMPARE(asked, QStringList(QStringLiteral("Dupont/Jean")));
        QCOMPARE(m_base->CountRows(QStringLiteral("an_to")), 2);
        QCOMPARE(m_base->CountRows(QStringLiteral("an_from")), 1); // only the moved one left
        QCOMPARE(m_base->EmailExists(QStringLiteral("to"), QStringLiteral("a@x.org")), 1);
    }

    // A row copied earlier in the same command counts as present: the next
    // row of that name or address asks again. A copy that fails deletes nothing.
    void copyChecksRowsItJustCopiedAndMoveKeepsWhatFailed()
    {
        newBook(QStringLiteral("from"));
        newBook(QStringLiteral("to"));
        // In name order: MARTIN ÉLODIE, Martin élodie, Other.
        m_base->SaveContact(person(QStringLiteral("Martin"), QStringLiteral("élodie"), QStringLiteral("a@x.org")), QStringLiteral("from"));
        m_base->SaveContact(person(QStringLiteral("MARTIN"), QStringLiteral("ÉLODIE"), QStringLiteral("b@x.org")), QStringLiteral("from"));
        m_base->SaveContact(person(QStringLiteral("Other"), QString(), QStringLiteral("B@X.ORG")), QStringLiteral("from"));
        m_base->OpenBook(QStringLiteral("from"));
        BookTableModel *q = m_base->Query1();
        QItemSelectionModel sel(q);
        sel.select(QItemSelection(q->index(0, 0), q->index(2, 0)), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QStringList asked;
        CopyQuestions no{[&](const QString &n, const QString &p) { asked << n + u'/' + p; return false; },
                         [&](const QString &e) { asked << e; return false; }};
        m_base->CopyContacts(QStringLiteral("to"), &sel, no);
        QCOMPARE(asked, QStringList({QStringLiteral("Martin/élodie"), QStringLiteral("B@X.ORG")}));
        QCOMPARE(m_base->CountRows(QStringLiteral("an_to")), 1);

        // A target whose table lacks columns refuses the rows: nothing moves.
        {
            auto odd = Database::open(m_base->bookFile(QStringLiteral("an_odd.db")), Database::Mode::Create);
            odd->exec(QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY, nom TEXT, prenom TEXT, email TEXT)"));
        }
        m_base->OpenBook(QStringLiteral("from"));
        QItemSelectionModel all(m_base->Query1());
        all.select(QItemSelection(q->index(0, 0), q->index(2, 0)), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        m_base->MoveContacts(QStringLiteral("odd"), &all, {});
        QCOMPARE(m_base->CountRows(QStringLiteral("an_from")), 3);
        QCOMPARE(m_base->CountRows(QStringLiteral("an_odd")), 0);
    }

    // Moving deletes rows of the shown book while the rest of the selection
    // is still to be read: a later page must not come back shifted.
    void moveOfRowsOnSeveralPages()
    {
        newBook(QStringLiteral("from"));
        newBook(QStringLiteral("to"));
        std::vector<ContactRecord> rows;
        for (int i = 0; i < 300; ++i)
            rows.push_back(person(QStringLiteral("n%1").arg(i, 3, 10, QLatin1Char('0')), QString()));
        m_base->SaveContacts(rows, QStringLiteral("from"));
        QCOMPARE(m_base->OpenBook(QStringLiteral("from")), 0);
        BookTableModel *q = m_base->Query1();
        QItemSelectionModel sel(q);
        for (int r : {0, 200, 299})
            sel.select(q->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        m_base->MoveContacts(QStringLiteral("to"), &sel, {});
        QCOMPARE(m_base->OpenBook(QStringLiteral("to")), 0);
        QCOMPARE(column(*m_base->Query1(), F_nom), QStringList({QStringLiteral("n000"), QStringLiteral("n200"), QStringLiteral("n299")}));
        QCOMPARE(m_base->OpenBook(QStringLiteral("from")), 0);
        const QStringList left = column(*m_base->Query1(), F_nom);
        QCOMPARE(left.size(), 297);
        QVERIFY(!left.contains(QStringLiteral("n200")));
        QVERIFY(left.contains(QStringLiteral("n201")));
    }

    void historyRecordsRuns()
    {
        QCOMPARE(m_base->OpenHistory(), 0);
        QCOMPARE(MaxId(*m_base->QueryHisto()), QStringLiteral("0"));
        m_base->AddHistory(QStringLiteral("Sujet é"), QStringLiteral("corps"), QString(), QStringLiteral("1"), QString(),
                           QStringLiteral("/tmp/a.pdf"), QStringLiteral("clients\r\nabonnés\r\n"));
        m_base->AddHistory(QStringLiteral("Deux"), QString(), QString(), QStringLiteral("2"), QString(), QString(), QString());
        QVERIFY(!m_base->QueryHisto()->isOpen());
        QCOMPARE(m_base->OpenHistory(), 0);
        RowTableModel *h = m_base->QueryHisto();
        QCOMPARE(h->rowCount(), 2);
        QCOMPARE(h->columnIndex(QStringLiteral("ID")), 0);
        QCOMPARE(h->text(0, QStringLiteral("sujet")), QStringLiteral("Sujet é"));
        QCOMPARE(h->text(0, QStringLiteral("date_msg")), QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")));
        QCOMPARE(h->text(0, QStringLiteral("nom_annuaire")), QStringLiteral("clients\r\nabonnés\r\n"));
        QCOMPARE(MaxId(*h), QStringLiteral("2"));
        m_base->DeleteHistory({QStringLiteral("1")});
        m_base->OpenHistory();
        QCOMPARE(h->rowCount(), 1);
        QCOMPARE(h->text(0, QStringLiteral("sujet")), QStringLiteral("Deux"));
    }

    void blackListComparesExactly()
    {
        newBook(QStringLiteral("ex"));
        m_base->SaveContact(person(QStringLiteral("x"), QString(), QStringLiteral("No@Mail.org")), QStringLiteral("ex"));
        m_base->BuildBlackList({QStringLiteral("ex")});
        QCOMPARE(m_base->IsBlackListed(QStringLiteral("No@Mail.org")), 1);
        QCOMPARE(m_base->IsBlackListed(QStringLiteral("no@mail.org")), 0);
        m_base->BuildBlackList({});
        QCOMPARE(m_base->IsBlackListed(QStringLiteral("No@Mail.org")), 0);
        // Without the template the list cannot be remade: that is an error, and
        // the previous run's exclusions are not used again.
        m_base->BuildBlackList({QStringLiteral("ex")});
        QVERIFY(QFile::remove(m_base->bookFile(QStringLiteral("vierge.db"))));
        QVERIFY_THROWS_EXCEPTION(StoreError, m_base->BuildBlackList({}));
        QCOMPARE(m_base->IsBlackListed(QStringLiteral("No@Mail.org")), 0);
    }

    void workTableKeepsBookIdsAndPrunesLoneValues()
    {
        newBook(QStringLiteral("a"));
        newBook(QStringLiteral("b"));
        m_base->SaveContact(person(QStringLiteral("Dupont"), QStringLiteral("Jean"), QString(), QStringLiteral("ACME")), QStringLiteral("a"));
        m_base->SaveContact(person(QStringLiteral("Seul"), QStringLiteral("Jean"), QString(), QStringLiteral("ACME")), QStringLiteral("a"));
        m_base->SaveContact(person(QStringLiteral("Dupont"), QStringLiteral("Jean"), QString(), QStringLiteral("Other")), QStringLiteral("b"));
        m_base->SaveContact(person(QStringLiteral("dupont"), QStringLiteral("Jean"), QString(), QStringLiteral("Other")), QStringLiteral("b"));
        QFile::copy(m_base->bookFile(QStringLiteral("vierge.db")), m_base->bookFile(QStringLiteral("fusion_mnl.db")));
        QList<int> steps;
        WorkProgress progress;
        progress.step = [&](int s) { steps << s; };
        m_base->FillWorkTable({QStringLiteral("a"), QStringLiteral("b")}, QStringLiteral("fusion_mnl"), progress);
        QCOMPARE(m_base->CountRows(QStringLiteral("fusion_mnl")), 4);
        auto db = m_base->openTable(QStringLiteral("fusion_mnl"));
        // nom..champ19 at 0..17, nom_annuaire at 18, id at 19.
        QCOMPARE(db->columns().value(18), QStringLiteral("nom_annuaire"));
        QCOMPARE(db->columns().value(19), QStringLiteral("id"));
        m_base->PruneToDuplicates(QStringLiteral("fusion_mnl"), {QStringLiteral("NOM"), QStringLiteral("societe")}, progress);
        QCOMPARE(steps, QList<int>({1, 2, 3, 4, 5}));
        // By nom: Seul and the lower-case dupont are alone (exact comparison).
        // By societe: Dupont/ACME is then alone, and Dupont/Other too. Nothing survives.
        QCOMPARE(m_base->CountRows(QStringLiteral("fusion_mnl")), 0);

        m_base->FillWorkTable({QStringLiteral("a"), QStringLiteral("b")}, QStringLiteral("fusion_mnl"));
        QCOMPARE(m_base->CountRows(QStringLiteral("fusion_mnl")), 4);
        m_base->PruneToDuplicates(QStringLiteral("fusion_mnl"), {QStringLiteral("prenom")});
        QCOMPARE(m_base->CountRows(QStringLiteral("fusion_mnl")), 4);
        QVERIFY_THROWS_EXCEPTION(StoreError, m_base->PruneToDuplicates(QStringLiteral("fusion_mnl"), {QStringLiteral("id; DROP TABLE t")}));

        // Keep Dupont/Jean of book a (id 1): the others of that name go from books and table.
        m_base->DeleteOtherOccurrences(QStringLiteral("fusion_mnl"), {QStringLiteral("nom"), QStringLiteral("prenom")},
                                       QStringLiteral("A"), QStringLiteral("1"), {QStringLiteral("DUPONT"), QStringLiteral("jean")});
        QCOMPARE(m_base->CountRows(QStringLiteral("an_a")), 2);
        QCOMPARE(m_base->CountRows(QStringLiteral("an_b")), 0);
        QCOMPARE(m_base->CountRows(QStringLiteral("fusion_mnl")), 2);
    }

    void exportQuotesWhatNeedsIt()
    {
        newBook(QStringLiteral("b"));
        BookManager(*m_base).relabel(QStringLiteral("b"), {QStringLiteral("F1"), QStringLiteral("F2"), QStringLiteral("F3"), QStringLiteral("F4")});
        ContactRecord c = person(QStringLiteral("A;B"), QStringLiteral("say \"hi\""), QStringLiteral("e@x.org"));
        c[F_commentaire].value = QStringLiteral("two\r\nlines");
        c[F_ville].value = QStringLiteral("Orléans");
        m_base->SaveContact(c, QStringLiteral("b"));
        const QString out = m_dir->filePath(QStringLiteral("out.csv"));
        m_base->ExportBook(QStringLiteral("b"), out);
        QCOMPARE(readAll(out),
                 QByteArray("Nom;Prenom;Code_postal;Ville;Adresse1;Adresse2;pays;Tel;Fax;Email;Societe;Civilite;Commentaire;URL;F1;F2;F3;F4\r\n"
                            "\"A;B\";\"say \"\"hi\"\"\";;Orl\xE9" "ans;;;;;;e@x.org;;;\"two\r\nlines\";;;;;\r\n"));
        c[F_ville].value = QStringLiteral("Ωmega");
        m_base->SaveContact(c, QStringLiteral("b"));
        m_base->ExportBook(QStringLiteral("b"), out);
        QVERIFY(readAll(out).startsWith("\xEF\xBB\xBFNom;"));
        QVERIFY(readAll(out).contains("\xCE\xA9mega"));
        QVERIFY_THROWS_EXCEPTION(StoreError, m_base->ExportBook(QStringLiteral("b"), QStringLiteral("/nonexistent/dir/x.csv")));
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
        QTest::newRow("accents stay") << QStringLiteral("Élodie, 1") << QStringLiteral("Élodie, 1");
    }
    void csvField()
    {
        QFETCH(QString, value);
        QFETCH(QString, field);
        QCOMPARE(AddressBookStore::CsvField(value), field);
    }

    void addressBookImportTable()
    {
        const QList<QStringList> entries = {
            {QStringLiteral("DISPLAY_NAME=Jean Dupont"), QStringLiteral("EMAIL_ADDRESS=j@x.org"),
             QStringLiteral("A_VERY_LONG_PROPERTY_NAME_BEYOND_25=v"), QStringLiteral("SKIP[0]=x")},
            {QStringLiteral("DISPLAY_NAME=O'Hara"), QStringLiteral("NOTE=a=b")},
            {QStringLiteral("DISPLAY_NAME=third"), QStringLiteral("Note=first"), QStringLiteral("NOTE=last")},
        };
        AddressBookStore::WabReader reader{[&] { return int(entries.size()); }, [&](int i) { return entries[i]; }};
        m_base->BuildWabTable(true, 2, reader);
        auto db = m_base->openTable(QStringLiteral("tmp_base"));
        QCOMPARE(db->columns(), QStringList({QStringLiteral("DISPLAY_NAME"), QStringLiteral("EMAIL_ADDRESS"),
                                              QStringLiteral("A_VERY_LONG_PROPERTY_NAME"), QStringLiteral("NOTE")}));
        QCOMPARE(m_base->CountRows(QStringLiteral("tmp_base")), 2);
        auto s = db->prepare(QStringLiteral("SELECT NOTE FROM t WHERE DISPLAY_NAME='O''Hara'"));
        QVERIFY(s.step());
        QCOMPARE(s.text(0), QStringLiteral("a=b"));
        m_base->BuildWabTable(false, 2, reader);
        QCOMPARE(m_base->CountRows(QStringLiteral("tmp_base")), 3);
        // A name given twice in other letter cases is one column; the last value wins.
        auto last = m_base->openTable(QStringLiteral("tmp_base"))->prepare(QStringLiteral("SELECT NOTE FROM t WHERE DISPLAY_NAME='third'"));
        QVERIFY(last.step());
        QCOMPARE(last.text(0), QStringLiteral("last"));
    }

    void brokenFilesStayContained()
    {
        newBook(QStringLiteral("good"));
        m_base->SaveContact(person(QStringLiteral("x"), QString()), QStringLiteral("good"));
        QFile bad(m_base->bookFile(QStringLiteral("an_bad.db")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("this is not a database at all, just some text that is long enough to look like a page");
        bad.close();
        QCOMPARE(m_base->OpenBook(QStringLiteral("bad")), 1);
        QVERIFY(!m_base->Query1()->isOpen());
        QCOMPARE(m_base->SaveContact(person(QStringLiteral("y"), QString()), QStringLiteral("bad")), 1);
        QVERIFY_THROWS_EXCEPTION(StoreError, m_base->CountRows(QStringLiteral("an_bad")));
        QCOMPARE(m_base->OpenBook(QStringLiteral("good")), 0);
        QCOMPARE(m_base->Query1()->rowCount(), 1);
        QCOMPARE(m_base->OpenBook(QStringLiteral("missing")), 1);
    }

    void bookCommands()
    {
        BookManager books(*m_base);
        const QStringList labels = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")};
        QCOMPARE(books.proposeNewName(), QStringLiteral("New"));
        QCOMPARE(books.create(QStringLiteral("nouveau"), labels), 0);
        QCOMPARE(books.create(QStringLiteral("nouveau2"), labels), 0);
        QCOMPARE(books.proposeNewName(true), QStringLiteral("nouveau3"));
        QCOMPARE(books.proposeCopyName(QStringLiteral("clients"), true), QStringLiteral("Copie declients"));
        QCOMPARE(books.proposeCopyName(QStringLiteral("clients")), QStringLiteral("Copy of clients"));
        QCOMPARE(books.create(QStringLiteral("l'an"), labels), int(BookManager::NameRefused));
        QCOMPARE(books.create(QStringLiteral("NOUVEAU"), labels), int(BookManager::CreateFailed));
        QCOMPARE(books.create(QString(), labels), 0);
        QVERIFY(QFileInfo::exists(m_base->bookFile(QStringLiteral("an_.db"))));

        m_base->SaveContact(person(QStringLiteral("kept"), QString()), QStringLiteral("nouveau"));
        QCOMPARE(books.duplicate(QStringLiteral("nouveau"), QStringLiteral("l'an")), 0); // only create checks characters
        QCOMPARE(m_base->CountRows(QStringLiteral("an_l'an")), 1);
        QCOMPARE(books.freeLabels(QStringLiteral("l'an")), labels);
        QCOMPARE(books.duplicate(QStringLiteral("nouveau"), QStringLiteral("nouveau2")), int(BookManager::DuplicateFailed));
        QCOMPARE(m_base->CountRows(QStringLiteral("an_nouveau2")), 0); // not overwritten

        m_base->OpenBook(QStringLiteral("nouveau"));
        QCOMPARE(books.rename(QStringLiteral("nouveau"), QStringLiteral("Nouveau")), int(BookManager::NameInUse));
        QCOMPARE(books.rename(QStringLiteral("nouveau"), QStringLiteral("renamed")), 0);
        QVERIFY(!m_base->Query1()->isOpen()); // the shown book went away
        QCOMPARE(m_base->CountRows(QStringLiteral("an_renamed")), 1);
        QVERIFY(QFileInfo::exists(m_base->labelPath(QStringLiteral("renamed"))));

        QCOMPARE(books.create(QStringLiteral("subscribers"), labels), 0);
        QCOMPARE(books.remove(QStringLiteral("subscribers")), int(BookManager::Protected));
        QCOMPARE(books.rename(QStringLiteral("subscribers"), QStringLiteral("Subscribers2")), 0);
        QCOMPARE(books.rename(QStringLiteral("Subscribers2"), QStringLiteral("Subscribers")), 0);
        QCOMPARE(books.remove(QStringLiteral("Subscribers")), 0);
        QFile::remove(m_base->labelPath(QStringLiteral("renamed")));
        QCOMPARE(books.remove(QStringLiteral("renamed")), 0);
        QCOMPARE(books.remove(QStringLiteral("renamed")), int(BookManager::DeleteFailed));
        QCOMPARE(m_base->ListBooks(), QStringList({QString(), QStringLiteral("l'an"), QStringLiteral("nouveau2")}));
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
        m_base->SaveContact(person(QStringLiteral("kept"), QString()), QStringLiteral("live"));
        const QString live = m_base->bookPath(QStringLiteral("live"));
        const QString crashed = m_base->bookFile(QStringLiteral("an_crashed.db"));
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
        BookManager books(*m_base);
        const QStringList labels = {QString(), QString(), QString(), QString()};
        QString result = QStringLiteral("crashed");
        if (command == QLatin1String("rename")) {
            QCOMPARE(books.rename(QStringLiteral("crashed"), QStringLiteral("moved")), 0);
            result = QStringLiteral("moved");
        } else if (command == QLatin1String("duplicate")) {
            QCOMPARE(books.duplicate(QStringLiteral("crashed"), QStringLiteral("copy")), 0);
            result = QStringLiteral("copy");
        } else if (command == QLatin1String("export")) {
            const QString out = m_dir->filePath(QStringLiteral("out.csv"));
            m_base->ExportBook(QStringLiteral("crashed"), out);
            QCOMPARE(readAll(out).count("\r\n"), 2);
        } else if (command == QLatin1String("search")) {
            QCOMPARE(m_base->SelectIds(QStringLiteral("crashed"), {Condition{QStringLiteral("nom"), Condition::Equal, {QStringLiteral("kept")}}}),
                     QStringList(QStringLiteral("1")));
        } else {
            QCOMPARE(books.remove(QStringLiteral("crashed")), 0);
            QVERIFY(!QFileInfo::exists(crashed + QStringLiteral("-journal")));
            QCOMPARE(books.create(QStringLiteral("crashed"), labels), 0);
        }
        QCOMPARE(m_base->CountRows(QStringLiteral("an_") + result), command == QLatin1String("delete") ? 0 : 1);
        auto check = Database::open(m_base->bookPath(result))->prepare(QStringLiteral("PRAGMA integrity_check"));
        QVERIFY(check.step());
        QCOMPARE(check.text(0), QStringLiteral("ok"));
    }

    void createWithoutTemplateLeavesNothing()
    {
        QFile::remove(m_base->bookFile(QStringLiteral("vierge.db")));
        QCOMPARE(BookManager(*m_base).create(QStringLiteral("x"), {}), int(BookManager::CreateFailed));
        QVERIFY(!QFileInfo::exists(m_base->bookFile(QStringLiteral("an_x.db"))));
        QVERIFY(!QFileInfo::exists(m_base->bookFile(QStringLiteral("an_x.ini"))));
        QVERIFY(m_base->ListBooks().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstStore)
#include "tst_store.moc"
