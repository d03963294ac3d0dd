// The contact search and the duplicate sweep on real address books.
#include "fixture.h"

#include "contacts/contactsearch.h"
#include "contacts/duplicatesweep.h"
#include "store/database.h"
#include "store/rowtablemodel.h"

#include <QSignalSpy>

using namespace kirvane;
using namespace kirvane::contacts;
using kirvane::testing::BooksFixture;
using Outcome = DuplicateSweep::Outcome;

namespace {

QStringList hitKeys(const QList<SearchHit> &hits)
{
    QStringList out;
    for (const SearchHit &h : hits)
        out << h.book + u':' + QString::number(h.id);
    return out;
}

// The merge table's rows as "book:id", in the order it was opened.
QStringList mergeRows(store::AddressBookStore &store, const QStringList &order)
{
    if (!store.openDuplicates(order))
        return {QStringLiteral("unreadable")};
    const store::RowTableModel &m = *store.duplicatesModel();
    QStringList out;
    for (int r = 0; r < m.rowCount(); ++r)
        out << m.text(r, QStringLiteral("nom_annuaire")) + u':' + m.text(r, QStringLiteral("id"));
    return out;
}

} // namespace

class TstContactSearch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void search_data()
    {
        QTest::addColumn<QStringList>("books");
        QTest::addColumn<QStringList>("criteria"); // nom, prenom, societe, email, ville
        QTest::addColumn<QStringList>("found");
        auto row = [](const char *name, QStringList books, QStringList criteria, QStringList found) {
            QTest::newRow(name) << books << criteria << found;
        };
        const QStringList ab = {QStringLiteral("a"), QStringLiteral("b")};
        row("whole value, case ignored", ab, {"dupont", "", "", "", ""}, {"a:1", "a:2", "b:2"});
        row("letters beyond ASCII", ab, {"élodie", "", "", "", ""}, {"b:1"});
        row("apostrophe, not the typographic one", ab, {"o'brien", "", "", "", ""}, {"a:4"});
        row("two criteria both match", ab, {"DUPONT", "jean", "", "", ""}, {"a:1", "b:2"});
        row("company, e-mail and town", ab, {"", "", "acme", "J@X.ORG", "paris"}, {"a:1"});
        row("books in the order given", {"b", "a"}, {"dupont", "", "", "", ""}, {"b:2", "a:1", "a:2"});
        row("no criterion finds nothing", ab, {"", "", "", "", ""}, {});
        row("no book finds nothing", {}, {"dupont", "", "", "", ""}, {});
        row("a value with a quote in it", ab, {"x' OR '1'='1", "", "", "", ""}, {});
    }
    void search()
    {
        QFETCH(QStringList, books);
        QFETCH(QStringList, criteria);
        QFETCH(QStringList, found);
        BooksFixture f;
        f.book(QStringLiteral("a"), {{"Dupont", "Jean", "ACME", "j@x.org", "Paris"},
                                     {"DUPONT", "Marie"},
                                     {"Dupont-Martin", "Paul"},
                                     {"O'Brien", "Sean"},
                                     {"O\u2019Brien", "Liam"}});
        f.book(QStringLiteral("b"), {{"Élodie", "Anne"}, {"dupont", "jean"}});
        ContactSearch search(f.store.contacts());
        QSignalSpy spy(&search, &ContactSearch::found);
        const QList<SearchHit> hits =
            search.run(books, {criteria[0], criteria[1], criteria[2], criteria[3], criteria[4]});
        QCOMPARE(hitKeys(hits), found);
        QCOMPARE(spy.count(), found.size());
        if (!hits.isEmpty() && found.first() == QLatin1String("a:1") && criteria[2] == QLatin1String("acme")) {
            const SearchHit &h = hits.first();
            QCOMPARE(QStringList({h.nom, h.prenom, h.societe, h.email, h.ville}),
                     QStringList({"Dupont", "Jean", "ACME", "j@x.org", "Paris"}));
        }
    }

    void searchSkipsABookThatCannotBeReadAndDeletesAHit()
    {
        BooksFixture f;
        f.book(QStringLiteral("a"), {{"Dupont", "Jean"}});
        f.book(QStringLiteral("b"), {{"Dupont", "Marie"}});
        ContactSearch search(f.store.contacts());
        QSignalSpy failed(&search, &ContactSearch::bookFailed);
        QList<SearchHit> hits = search.run({"gone", "a", "b"}, {"dupont", {}, {}, {}, {}});
        QCOMPARE(hitKeys(hits), QStringList({"a:1", "b:1"}));
        QCOMPARE(failed.count(), 1);
        QVERIFY(search.remove(hits[1]));
        QCOMPARE(hitKeys(search.run({"a", "b"}, {"dupont", {}, {}, {}, {}})), QStringList({"a:1"}));
    }

    // Which rows are left after the two cycles.
    void sweep_data()
    {
        QTest::addColumn<QStringList>("criteria");
        QTest::addColumn<QStringList>("left");
        // Book a: (Dupont, Jean) (Dupont, Marie) (Martin, Jean) (x, y, e-mails differing in case)
        //         (two with an empty company) ; book b: a copy of (Dupont, Jean).
        QTest::newRow("name then first name: nothing pairs on both")
            << QStringList{"nom", "prenom"} << QStringList{"a:1", "b:1"};
        QTest::newRow("order of the criteria does not matter")
            << QStringList{"PRENOM", "nom"} << QStringList{"a:1", "b:1"};
        QTest::newRow("e-mails compared exactly: only the two empty ones pair")
            << QStringList{"email"} << QStringList{"a:4", "a:5"};
        QTest::newRow("empty values pair") << QStringList{"societe"}
                                           << QStringList{"a:1", "a:2", "a:3", "a:4", "a:5", "b:1"};
        QTest::newRow("free field") << QStringList{"champ16"} << QStringList{"a:1", "a:2", "a:3", "a:4", "a:5"};
    }
    void sweep()
    {
        QFETCH(QStringList, criteria);
        QFETCH(QStringList, left);
        BooksFixture f;
        f.book(QStringLiteral("a"), {{"Dupont", "Jean", "", "jean@x.org"},
                                     {"Dupont", "Marie", "", "Marie@X.org", "", "k"},
                                     {"Martin", "Jean", "", "marie@x.org", "", "k"},
                                     {"Seul", "Solo", ""},
                                     {"Autre", "Encore", ""}});
        f.book(QStringLiteral("b"), {{"Dupont", "Jean", "", "jean@x.org", "", "z"}});
        // The contact shared with b makes its e-mail pair: take it out of that case.
        if (criteria == QStringList{"email"})
            f.store.contacts().deleteContacts(QStringLiteral("b"), {1});
        DuplicateSweep sweep(f.store);
        QString error;
        QCOMPARE(sweep.run({"a", "b"}, criteria, &error), Outcome::Done);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QStringList rows = mergeRows(f.store, {QStringLiteral("nom_annuaire"), QStringLiteral("id")});
        QCOMPARE(rows, left);
    }

    void sweepReportsItsStepsAndKeepsTheCriteriaInFixedOrder()
    {
        BooksFixture f;
        f.book(QStringLiteral("a"), {{"Dupont", "Jean"}, {"Dupont", "Jean"}});
        DuplicateSweep sweep(f.store);
        QSignalSpy steps(&sweep, &DuplicateSweep::stepChanged);
        QCOMPARE(sweep.run({"a"}, {"email", "NOM"}), Outcome::Done);
        QCOMPARE(sweep.criteria(), QStringList({"nom", "email"}));
        QCOMPARE(sweep.orderList(), QStringLiteral("nom,email"));
        QList<int> seen;
        for (const QList<QVariant> &s : steps) {
            seen << s[0].toInt();
            QCOMPARE(s[1].toInt(), 5);
        }
        QCOMPARE(seen, QList<int>({0, 1, 2, 3, 4, 5}));
        QCOMPARE(mergeRows(f.store, {sweep.orderList()}), QStringList({"a:1", "a:2"}));

        // No criterion: the merge table is remade empty and nothing else happens.
        QString bad;
        QCOMPARE(DuplicateSweep::orderedCriteria({"nom", "id; DROP TABLE t"}, &bad), QStringList());
        QCOMPARE(bad, QStringLiteral("id; DROP TABLE t"));
        steps.clear();
        QCOMPARE(sweep.run({"a"}, {}), Outcome::NoCriterion);
        QCOMPARE(steps.count(), 1);
        QCOMPARE(steps[0][1].toInt(), 1);
        QCOMPARE(f.store.countRows(store::AddressBookStore::mergeTable()), 0);
        // An order that is not the table's is refused, not pasted into a statement.
        QVERIFY(!f.store.openDuplicates({QStringLiteral("nom; DELETE FROM t")}));
        QVERIFY(f.store.openDuplicates({QStringLiteral("nom DESC"), QStringLiteral("ID")}));
    }

    void deleteOtherOccurrencesComparesColumnByColumn()
    {
        BooksFixture f;
        // ("Dupont", "Jean") put end to end is "DupontJean", like ("DupontJ", "ean").
        f.book(QStringLiteral("a"), {{"Dupont", "Jean"}, {"DupontJ", "ean"}});
        f.book(QStringLiteral("b"), {{"DUPONT", "jean"}, {"DupontJ", "ean"}, {"Dupont", "Jean"}});
        DuplicateSweep sweep(f.store);
        QCOMPARE(sweep.run({"a", "b"}, {"nom", "prenom"}), Outcome::Done);
        QCOMPARE(mergeRows(f.store, {"nom_annuaire", "id"}), QStringList({"a:1", "a:2", "b:2", "b:3"}));
        const QList<store::WorkRow> gone = sweep.deleteOtherOccurrences(QStringLiteral("A"), 1);
        QStringList goneKeys;
        for (const store::WorkRow &w : gone)
            goneKeys << w.book + u':' + QString::number(w.id);
        // b:1 was pruned (DUPONT alone by exact name) and is out of reach;
        // b:3 is the same contact as a:1; the DupontJ rows stay.
        QCOMPARE(goneKeys, QStringList({"b:3"}));
        QCOMPARE(f.store.countRows(QStringLiteral("an_a")), 2);
        QCOMPARE(f.store.countRows(QStringLiteral("an_b")), 2);
        QCOMPARE(mergeRows(f.store, {"nom_annuaire", "id"}), QStringList({"a:1", "a:2", "b:2"}));
        QCOMPARE(sweep.prune(), Outcome::Done);
        QCOMPARE(mergeRows(f.store, {"nom_annuaire", "id"}), QStringList({"a:2", "b:2"}));
    }

    void deleteOtherOccurrencesIgnoresLetterCase()
    {
        BooksFixture f;
        f.book(QStringLiteral("a"), {{"Éric", "Jean"}, {"ÉRIC", "jean"}, {"Éric", "Jean"}, {"ÉRIC", "jean"}});
        DuplicateSweep sweep(f.store);
        QCOMPARE(sweep.run({"a"}, {"nom", "prenom"}), Outcome::Done);
        QCOMPARE(sweep.deleteOtherOccurrences(QStringLiteral("a"), 1).size(), 3);
        QCOMPARE(f.store.countRows(QStringLiteral("an_a")), 1);
    }

    void deleteContactTakesTheRowOfItsBookOnly()
    {
        BooksFixture f;
        f.book(QStringLiteral("a"), {{"Dupont", "Jean"}});
        f.book(QStringLiteral("b"), {{"Dupont", "Jean"}});
        DuplicateSweep sweep(f.store);
        QCOMPARE(sweep.run({"a", "b"}, {"nom"}), Outcome::Done);
        QVERIFY(sweep.deleteContact(QStringLiteral("a"), 1));
        // Both rows have the id 1; the pair's other row stays listed.
        QCOMPARE(mergeRows(f.store, {"nom"}), QStringList({"b:1"}));
        QCOMPARE(f.store.countRows(QStringLiteral("an_a")), 0);
        QCOMPARE(f.store.countRows(QStringLiteral("an_b")), 1);
    }

    void sweepInAThreadReportsAndCanBeCancelled()
    {
        BooksFixture f;
        std::vector<store::ContactRecord> many;
        for (int i = 0; i < 3000; ++i) {
            store::ContactRecord c = store::emptyContact();
            c[store::F_nom].value = QStringLiteral("n%1").arg(i % 1000);
            c[store::F_prenom].value = QStringLiteral("p%1").arg(i % 7);
            many.push_back(c);
        }
        f.book(QStringLiteral("a"), {});
        f.store.contacts().saveContacts(many, QStringLiteral("a"));

        DuplicateSweep sweep(f.store);
        QSignalSpy finished(&sweep, &DuplicateSweep::finished);
        QSignalSpy progress(&sweep, &DuplicateSweep::progressChanged);
        QVERIFY(sweep.start({"a"}, {"nom", "prenom"}));
        QVERIFY(sweep.isRunning());
        QVERIFY(!sweep.start({"a"}, {"nom"}));
        QVERIFY(finished.wait(60000));
        QCOMPARE(finished[0][0].value<Outcome>(), Outcome::Done);
        QVERIFY(!sweep.isRunning());
        QVERIFY(progress.count() > 0);
        QCOMPARE(f.store.countRows(store::AddressBookStore::mergeTable()), 3000);

        // Cancelled once the books are merged: the filtering never starts.
        connect(&sweep, &DuplicateSweep::stepChanged, &sweep, [&](int step) {
            if (step == 1)
                sweep.cancel();
        }, Qt::DirectConnection);
        finished.clear();
        QVERIFY(sweep.start({"a"}, {"nom", "prenom"}));
        QVERIFY(finished.wait(60000));
        QCOMPARE(finished[0][0].value<Outcome>(), Outcome::Cancelled);
    }
};

QTEST_GUILESS_MAIN(TstContactSearch)
#include "tst_contactsearch.moc"
