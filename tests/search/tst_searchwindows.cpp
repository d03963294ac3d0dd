// The search and duplicate windows offscreen, driven through their widgets
// found by objectName, on real address books.
#include "fixture.h"

#include "contacts/widgets/duplicateswindow.h"
#include "contacts/widgets/searchwindow.h"
#include "store/rowtablemodel.h"
#include "texts/asker.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QToolButton>
#include <QTreeWidget>

using namespace kirvane;
using namespace kirvane::contacts;
using kirvane::testing::BooksFixture;

namespace {

template <typename T>
T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QLatin1String(name));
    if (!c)
        qFatal("no widget %s", name);
    return c;
}

void tick(QWidget *w, const QStringList &books)
{
    auto *list = child<QListWidget>(w, "ChkLst_Annuaire");
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setCheckState(books.contains(list->item(i)->text()) ? Qt::Checked : Qt::Unchecked);
}

QStringList column(const QAbstractItemModel *m, int col)
{
    QStringList out;
    for (int r = 0; r < m->rowCount(); ++r)
        out << m->index(r, col).data().toString();
    return out;
}

// What the contacts view was asked to do.
struct ViewCalls {
    QStringList calls;
    ContactsViewHook hook()
    {
        return {[this](const QString &b, qint64 id) { calls << QStringLiteral("show %1:%2").arg(b).arg(id); },
                [this](const QString &b) { calls << QStringLiteral("reopen %1").arg(b); },
                [] { return QStringLiteral("a"); }};
    }
};

} // namespace

class TstSearchWindows : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void searchWindow()
    {
        BooksFixture f;
        f.book(QStringLiteral("a"), {{"Dupont", "Jean", "", "", "Paris"}, {"DUPONT", "Marie"}, {"Martin", "Paul"}});
        f.book(QStringLiteral("b"), {{"dupont", "Luc"}});
        ViewCalls view;
        QWidget parent;
        texts::ScriptedAsker asker;
        SearchWindow *w = openSearchWindow(f.store, asker, view.hook(), &parent);
        QCOMPARE(w->objectName(), QStringLiteral("TF_rechercher"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Search a contact"));
        QVERIFY(w->minimumWidth() >= 452 && w->minimumHeight() >= 361);
        auto *books = child<QListWidget>(w, "ChkLst_Annuaire");
        QCOMPARE(books->count(), 2);
        QCOMPARE(books->item(0)->checkState(), Qt::Unchecked);
        auto *results = child<QTreeWidget>(w, "list_contact");
        auto *noResult = child<QLabel>(w, "Label8");

        // Nothing ticked: nothing found, and it says so.
        child<QLineEdit>(w, "Edit_nom")->setText(QStringLiteral("dupont"));
        child<QPushButton>(w, "Btn_Valider")->click();
        QCOMPARE(results->topLevelItemCount(), 0);
        QVERIFY(noResult->isVisible());

        child<QToolButton>(w, "SpeedButton1")->click();
        child<QPushButton>(w, "Btn_Valider")->click();
        QVERIFY(!noResult->isVisible());
        QCOMPARE(column(results->model(), 5), QStringList({"a", "a", "b"}));
        QCOMPARE(column(results->model(), 0), QStringList({"Dupont", "DUPONT", "dupont"}));
        QCOMPARE(results->headerItem()->text(5), QStringLiteral("Directory"));
        // The open button shows a picture any machine has, not a character
        // its fonts may lack.
        QVERIFY(!child<QToolButton>(w, "btn_voir_contact")->icon().isNull());
        QVERIFY(child<QToolButton>(w, "btn_voir_contact")->text().isEmpty());
        results->sortByColumn(1, Qt::AscendingOrder);
        QCOMPARE(column(results->model(), 1), QStringList({"Jean", "Luc", "Marie"}));

        // Delete the selected contact: gone from its book and the list, the view reopens the book.
        results->setCurrentItem(results->topLevelItem(1)); // Luc, b:1
        child<QToolButton>(w, "SpeedButton3")->click();
        QCOMPARE(results->topLevelItemCount(), 2);
        QCOMPARE(f.store.countRows(QStringLiteral("an_b")), 0);
        QCOMPARE(view.calls, QStringList({"reopen b"}));

        // Opening a contact closes the window; the next opening searches again.
        results->setCurrentItem(results->topLevelItem(0));
        child<QToolButton>(w, "btn_voir_contact")->click();
        QVERIFY(!w->isVisible());
        QCOMPARE(view.calls.last(), QStringLiteral("show a:1"));
        QCOMPARE(openSearchWindow(f.store, asker, view.hook(), &parent), w);
        QCOMPARE(results->topLevelItemCount(), 2);

        // Annuler empties everything; the next opening starts afresh.
        child<QPushButton>(w, "Btn_Annuler")->click();
        QVERIFY(!w->isVisible());
        openSearchWindow(f.store, asker, view.hook(), &parent);
        QCOMPARE(results->topLevelItemCount(), 0);
        QCOMPARE(child<QLineEdit>(w, "Edit_nom")->text(), QString());
        QCOMPARE(books->count(), 2);
        QCOMPARE(books->item(1)->checkState(), Qt::Unchecked);
    }

    void duplicatesWindow()
    {
        BooksFixture f;
        f.book(QStringLiteral("a"), {{"Dupont", "Jean"}, {"Dupont", "Marie"}, {"Martin", "Jean"}, {"Durand", "Léa"}});
        f.book(QStringLiteral("b"), {{"Dupont", "Jean"}, {"Durand", "Léa"}, {"Durand", "Léa"}});
        f.book(QStringLiteral("c"), {{"Dupont", "Jean"}});
        ViewCalls view;
        texts::ScriptedAsker asker;
        QWidget parent;
        DuplicatesWindow *w = openDuplicatesWindow(f.store, asker, view.hook(), &parent);
        QCOMPARE(w->objectName(), QStringLiteral("TF_dedoublonner"));
        QCOMPARE(w->windowTitle(), QStringLiteral("Double checks"));
        QCOMPARE(child<QCheckBox>(w, "chk_champ1")->text(), QStringLiteral("Field 1"));
        auto *list = child<QTableView>(w, "list_contact");
        auto *counter = child<QLabel>(w, "Label_etape");
        QSignalSpy finished(&w->sweep(), &DuplicateSweep::finished);
        QSignalSpy steps(&w->sweep(), &DuplicateSweep::stepChanged);

        // No criterion: the merge table is remade, the progress text stays.
        tick(w, {"a", "b"});
        child<QPushButton>(w, "Btn_Valider")->click();
        QVERIFY(child<QLabel>(w, "Label4")->isVisible());
        QCOMPARE(counter->text(), QStringLiteral("0/1"));

        child<QCheckBox>(w, "Chk_nom")->setChecked(true);
        child<QCheckBox>(w, "chk_prenom")->setChecked(true);
        finished.clear();
        steps.clear();
        child<QPushButton>(w, "Btn_Valider")->click();
        QVERIFY(!child<QPushButton>(w, "Btn_Valider")->isEnabled());
        QVERIFY(finished.wait(30000));
        QCOMPARE(steps.count(), 6); // 0 to 5 of 5
        QCOMPARE(counter->text(), QStringLiteral("5/5"));
        QVERIFY(!child<QProgressBar>(w, "ProgressBar1")->isVisible());
        QVERIFY(child<QPushButton>(w, "Btn_Valider")->isEnabled());
        QCOMPARE(list->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Directory"));
        // Sorted by the criteria: name, then first name.
        QCOMPARE(column(list->model(), 1), QStringList({"Dupont", "Dupont", "Durand", "Durand", "Durand"}));
        QCOMPARE(column(list->model(), 0), QStringList({"a", "b", "a", "b", "b"}));

        // A heading clicked sorts by it; the commands go back to the criteria's order.
        list->horizontalHeader()->sectionClicked(0);
        list->horizontalHeader()->sectionClicked(0);
        QCOMPARE(column(list->model(), 0), QStringList({"b", "b", "b", "a", "a"}));

        // Remove this contact: the row of book b with id 1, not a:1; its partner stays.
        int row = 0;
        while (column(list->model(), 0).value(row) != QLatin1String("b")
               || column(list->model(), 1).value(row) != QLatin1String("Dupont"))
            QVERIFY(++row < 5);
        list->selectRow(row);
        child<QPushButton>(w, "Btn_Supprimer")->click();
        QCOMPARE(column(list->model(), 0), QStringList({"a", "a", "b", "b"}));
        QCOMPARE(f.store.countRows(QStringLiteral("an_b")), 2);
        QCOMPARE(f.store.countRows(QStringLiteral("an_a")), 4);

        // The other occurrences of Durand Léa (a): both of b go, then the filtering
        // runs again and leaves nothing.
        list->selectRow(1);
        finished.clear();
        child<QPushButton>(w, "btn_supprimer_tout")->click();
        QVERIFY(finished.wait(30000));
        QCOMPARE(f.store.countRows(QStringLiteral("an_b")), 0);
        QCOMPARE(list->model()->rowCount(), 0);
        QVERIFY(child<QLabel>(w, "Label3")->isVisible());

        // Reopened after the close box: the same sweep again.
        w->close();
        finished.clear();
        openDuplicatesWindow(f.store, asker, view.hook(), &parent);
        QVERIFY(finished.wait(30000));
        QCOMPARE(list->model()->rowCount(), 0);

        // Open the selected contact asks first.
        tick(w, {"a", "c"});
        finished.clear();
        child<QPushButton>(w, "Btn_Valider")->click();
        QVERIFY(finished.wait(30000));
        QCOMPARE(list->model()->rowCount(), 2);
        list->selectRow(1);
        asker.answerNext(texts::Answer::No);
        child<QToolButton>(w, "btn_voir_contact")->click();
        QVERIFY(w->isVisible());
        asker.answerNext(texts::Answer::Yes);
        child<QToolButton>(w, "btn_voir_contact")->click();
        QCOMPARE(asker.texts().size(), 2);
        QCOMPARE(asker.texts().last(), QStringLiteral("The actual search will be erased. Do you want to continue?"));
        QCOMPARE(view.calls, QStringList({"show c:1"}));
        QVERIFY(!w->isVisible());
        QVERIFY(!child<QCheckBox>(w, "Chk_nom")->isChecked());
        QCOMPARE(child<QListWidget>(w, "ChkLst_Annuaire")->count(), 0);

        // Annuler reopens the view's book.
        openDuplicatesWindow(f.store, asker, view.hook(), &parent);
        child<QPushButton>(w, "Btn_Annuler")->click();
        QCOMPARE(view.calls.last(), QStringLiteral("reopen a"));
    }

    // Names in the order the language gives them, not by character code:
    // accented capitals among their letter, an apostrophe no obstacle, letter
    // case no matter; in the search results sorted by a heading and in the
    // duplicates found.
    void namesInTheOrderOfTheLanguage()
    {
        const QStringList names = {"Vincent", "Öztürk", "Zola", "Élie", "durand", "Écuyer", "D’Souza", "Ortiz"};
        const QStringList ordered = {"D’Souza", "durand", "Écuyer", "Élie", "Ortiz", "Öztürk", "Vincent", "Zola"};
        BooksFixture f;
        f.book(QStringLiteral("a"), {});
        f.book(QStringLiteral("b"), {});
        for (const QString &book : {QStringLiteral("a"), QStringLiteral("b")})
            for (const QString &n : names) {
                store::ContactRecord c = store::emptyContact();
                c[store::F_nom].value = n;
                c[store::F_ville].value = QStringLiteral("Lyon");
                (void)f.store.contacts().addContact(c, book);
            }
        ViewCalls view;
        QWidget parent;
        texts::ScriptedAsker asker;
        SearchWindow *search = openSearchWindow(f.store, asker, view.hook(), &parent);
        tick(search, {"a"});
        child<QLineEdit>(search, "Edit_ville")->setText(QStringLiteral("Lyon"));
        child<QPushButton>(search, "Btn_Valider")->click();
        auto *results = child<QTreeWidget>(search, "list_contact");
        results->header()->setSortIndicator(0, Qt::AscendingOrder);
        QCOMPARE(column(results->model(), 0), ordered);
        search->close();

        DuplicatesWindow *w = openDuplicatesWindow(f.store, asker, view.hook(), &parent);
        QSignalSpy finished(&w->sweep(), &DuplicateSweep::finished);
        tick(w, {"a", "b"});
        child<QCheckBox>(w, "Chk_nom")->setChecked(true);
        child<QPushButton>(w, "Btn_Valider")->click();
        QVERIFY(finished.wait(30000));
        QStringList twice;
        for (const QString &n : ordered)
            twice << n << n;
        QCOMPARE(column(child<QTableView>(w, "list_contact")->model(), 1), twice);
    }

    void aSweepCanBeCancelledFromTheWindow()
    {
        BooksFixture f;
        f.book(QStringLiteral("a"), {});
        std::vector<store::ContactRecord> many;
        for (int i = 0; i < 20000; ++i) {
            store::ContactRecord c = store::emptyContact();
            c[store::F_nom].value = QStringLiteral("n%1").arg(i % 5000);
            many.push_back(c);
        }
        f.store.contacts().saveContacts(many, QStringLiteral("a"));
        ViewCalls view;
        texts::ScriptedAsker asker;
        QWidget parent;
        DuplicatesWindow *w = openDuplicatesWindow(f.store, asker, view.hook(), &parent);
        tick(w, {"a"});
        for (const char *c : {"Chk_nom", "chk_prenom", "chk_societe", "chk_email"})
            child<QCheckBox>(w, c)->setChecked(true);
        QSignalSpy finished(&w->sweep(), &DuplicateSweep::finished);
        child<QPushButton>(w, "Btn_Valider")->click();
        child<QPushButton>(w, "Btn_Annuler")->click();
        QCOMPARE(finished.count(), 1);
        QVERIFY(!w->sweep().isRunning());
        QVERIFY(!w->isVisible());
    }
};

QTEST_MAIN(TstSearchWindows)
#include "tst_searchwindows.moc"
