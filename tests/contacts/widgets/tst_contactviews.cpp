// The address-books view and the contacts view in the main window, offscreen:
// the book dialogs, edit mode, Add with its questions, copy into the book
// itself, move and delete returning to their row, the titles, the free-field
// labels, the apostrophe, print, a damaged book. Questions are answered by a ScriptedAsker;
// the views' own dialogs by acting on them once they are shown.

#include "modaldialog.h"
#include "support/datafolder.h"
#include "common/folders.h"
#include "contacts/bookmanager.h"
#include "contacts/titlelist.h"
#include "contacts/widgets/bookdialogs.h"
#include "contacts/widgets/contactsview.h"
#include "contacts/widgets/destinationdialog.h"
#include "contacts/widgets/titlesdialog.h"
#include "import/widgets/columnchoicedialog.h"
#include "message/widgets/bookchooserdialog.h"
#include "contacts/widgets/directoryview.h"
#include "shell/mainwindow.h"
#include "store/addressbookstore.h"
#include "store/booktablemodel.h"
#include "texts/texttable.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QTreeWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

using namespace kirvane;
using namespace kirvane::common;
using namespace kirvane::contacts;
using namespace kirvane::store;
using namespace kirvane::texts;


namespace {
// A small window and the texts its foot row shows, left to right.
struct DialogFoot {
    std::function<QDialog *()> make;
    QStringList buttons;
};
} // namespace
Q_DECLARE_METATYPE(DialogFoot)

class TestContactViews : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void dialogFootsShowTheirButtons_data();
    void dialogFootsShowTheirButtons();

    void directoryCommands();
    void theChosenBookStaysAcrossViews();
    void namesInTheOrderOfTheLanguage();
    void renameKeepsTheDialogOpenWhileTheNameIsTaken();
    void editModeTable_data();
    void editModeTable();
    void addWithEachAnswer_data();
    void addWithEachAnswer();
    void copyIntoTheCurrentBook();
    void deleteAndMoveReturnToTheirRow_data();
    void deleteAndMoveReturnToTheirRow();
    void modifyKeepsATitleTheListLacks();
    void titlesDialog();
    void freeLabelsAreElided();
    void printShowsThePage();
    void searchAndDuplicatesWindowsReachTheView();
    void damagedBookIsSaid_data();
    void damagedBookIsSaid();
    void screenshots();

private:
    // A widget of the contacts view (or, with in set, of another window).
    template<typename T = QWidget>
    T *widget(const char *name, QWidget *in = nullptr) const
    {
        T *w = (in ? in : static_cast<QWidget *>(m_contacts))->findChild<T *>(QString::fromLatin1(name));
        if (!w)
            qWarning("no widget named %s", name);
        return w;
    }
    void trigger(const char *command) { m_form->action(QString::fromLatin1(command))->trigger(); }
    // Runs act on the next modal dialog once it is shown.
    void onDialog(std::function<void(QWidget *)> act);
    void openContacts(const QString &book);
    void selectRows(const QList<int> &rows);
    // Clicks the row, as the user does to show its contact.
    void clickRow(int row);
    QStringList gridNames() const;
    qint64 add(const QString &book, const QString &nom, const QString &prenom, const QString &email = {});

    std::unique_ptr<kirvane::test::TestDataFolder> m_data;
    AddressBookStore *m_store = nullptr;
    ScriptedAsker m_asker;
    std::unique_ptr<shell::MainWindow> m_form;
    ContactsView *m_contacts = nullptr;
    DirectoryView *m_directory = nullptr;
    QStringList m_printed;
};

void TestContactViews::init()
{
    m_data = std::make_unique<kirvane::test::TestDataFolder>();
    m_store = &m_data->store();
    for (const char *book : {"clients", "prospects"})
        QVERIFY(BookManager(*m_store).create(QString::fromLatin1(book), {}).ok());
    m_asker.clear();
    m_printed.clear();
    m_contacts = new ContactsView(m_store);
    m_contacts->showPrintPage = [this](const QString &html) { m_printed << html; };
    m_directory = new DirectoryView(m_store);
    shell::MainViews views;
    views.contact = m_contacts;
    views.directory = m_directory;
    m_form = std::make_unique<shell::MainWindow>(m_store, views, &m_asker);
    m_form->applyLanguage(English);
    m_form->resize(1000, 640);
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void TestContactViews::cleanup()
{
    m_form.reset();
    m_store = nullptr;
    m_data.reset();
}

void TestContactViews::onDialog(std::function<void(QWidget *)> act)
{
    onNextModal(this, std::move(act));
}

qint64 TestContactViews::add(const QString &book, const QString &nom, const QString &prenom, const QString &email)
{
    ContactRecord c = emptyContact();
    c[F_nom].value = nom;
    c[F_prenom].value = prenom;
    c[F_email].value = email;
    return m_store->contacts().addContact(c, book);
}

void TestContactViews::openContacts(const QString &book)
{
    m_form->showContactsView();
    auto *books = widget<QComboBox>("List_annuaire");
    const int index = books->findText(book);
    QVERIFY(index >= 0);
    books->setCurrentIndex(index);
    Q_EMIT books->activated(index);
}

void TestContactViews::selectRows(const QList<int> &rows)
{
    auto *grid = widget<QTableView>("DBGrid1");
    grid->clearSelection();
    for (int r : rows) {
        const QModelIndex i = grid->model()->index(r, BookTableModel::kDisplayNameColumn);
        grid->selectionModel()->select(i, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        grid->selectionModel()->setCurrentIndex(i, QItemSelectionModel::NoUpdate);
    }
}

void TestContactViews::clickRow(int row)
{
    auto *grid = widget<QTableView>("DBGrid1");
    const QRect r = grid->visualRect(grid->model()->index(row, BookTableModel::kDisplayNameColumn));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, r.center());
}

QStringList TestContactViews::gridNames() const
{
    QStringList names;
    auto *grid = widget<QTableView>("DBGrid1");
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        names << grid->model()->index(r, BookTableModel::kDisplayNameColumn).data().toString();
    return names;
}

void TestContactViews::directoryCommands()
{
    m_form->showDirectoryView();
    auto *list = widget<QListWidget>("Dir_List", m_directory);
    QCOMPARE(list->count(), 2);

    // Create: the proposal, labels typed, the new book selected with its details.
    onDialog([](QWidget *d) {
        QCOMPARE(d->objectName(), QStringLiteral("Dialogue_nouvel_annuaire"));
        QCOMPARE(d->findChild<QLineEdit *>(QStringLiteral("Edit1"))->text(), QStringLiteral("New"));
        d->findChild<QLineEdit *>(QStringLiteral("Edit1"))->setText(QStringLiteral("members"));
        d->findChild<QLineEdit *>(QStringLiteral("Edit_champ1"))->setText(QStringLiteral("Joined"));
        d->findChild<QPushButton *>(QStringLiteral("Btn_Valider"))->click();
    });
    trigger("Ajouter1");
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->selectedItems().value(0)->text(), QStringLiteral("members"));
    QCOMPARE(widget<QLabel>("Label8", m_directory)->text(), QStringLiteral("members"));
    QCOMPARE(widget<QLineEdit>("E_champ16", m_directory)->text(), QStringLiteral("Joined"));
    QCOMPARE(widget<QLineEdit>("E_NbrAdresse", m_directory)->text(), QStringLiteral("0"));

    // Rename fields: the header and count go blank, the labels show the new ones.
    onDialog([](QWidget *d) {
        QCOMPARE(d->objectName(), QStringLiteral("Dialogue_renomme_champs"));
        QCOMPARE(d->findChild<QLineEdit *>(QStringLiteral("Edit_champ1"))->text(), QStringLiteral("Joined"));
        d->findChild<QLineEdit *>(QStringLiteral("Edit_champ2"))->setText(QStringLiteral("Team"));
        d->findChild<QPushButton *>(QStringLiteral("Btn_Valider"))->click();
    });
    trigger("Renommerleschamps1");
    QCOMPARE(widget<QLabel>("Label8", m_directory)->text(), QString());
    QCOMPARE(widget<QLineEdit>("E_NbrAdresse", m_directory)->text(), QString());
    QCOMPARE(widget<QLineEdit>("E_champ17", m_directory)->text(), QStringLiteral("Team"));

    // Duplicate proposes "Copy of members"; the list loses its selection.
    onDialog([](QWidget *d) {
        QCOMPARE(d->objectName(), QStringLiteral("Dialogue_copie_annuaire"));
        QCOMPARE(d->findChild<QLineEdit *>(QStringLiteral("Edit1"))->text(), QStringLiteral("Copy of members"));
        d->findChild<QPushButton *>(QStringLiteral("Btn_Valider"))->click();
    });
    trigger("Dupliquer1");
    QCOMPARE(list->count(), 4);
    QVERIFY(list->selectedItems().isEmpty());

    // Without a selection every command but create asks for one.
    trigger("Supprimer2");
    QCOMPARE(m_asker.texts(), QStringList{text(SelectABook, English)});

    // Delete: confirmed in its dialog; cancelled keeps the book.
    list->setCurrentRow(0); // "clients"
    onDialog([](QWidget *d) {
        QCOMPARE(d->findChild<QLabel *>(QStringLiteral("Label2"))->text(), QStringLiteral("clients"));
        d->findChild<QPushButton *>(QStringLiteral("Btn_Annuler"))->click();
    });
    trigger("Supprimer2");
    QCOMPARE(list->count(), 4);
    onDialog([](QWidget *d) { d->findChild<QPushButton *>(QStringLiteral("Btn_Oui"))->click(); });
    trigger("Supprimer2");
    QCOMPARE(list->count(), 3);
    QVERIFY(!m_store->listBooks().contains(QStringLiteral("clients")));

    // The subscribers' book: confirmed, then refused.
    QVERIFY(BookManager(*m_store).create(QStringLiteral("subscribers"), {}).ok());
    m_directory->reloadBooks();
    list->setCurrentItem(list->findItems(QStringLiteral("subscribers"), Qt::MatchExactly).first());
    m_asker.clear();
    onDialog([](QWidget *d) { d->findChild<QPushButton *>(QStringLiteral("Btn_Oui"))->click(); });
    trigger("Supprimer2");
    QCOMPARE(m_asker.texts(), QStringList{text(SubscribersUndeletable, English)});
    QVERIFY(m_store->listBooks().contains(QStringLiteral("subscribers")));
    // Import and synchronisation stay off until their windows are set.
    QVERIFY(!m_form->action(QStringLiteral("Importer"))->isEnabled());
    QVERIFY(m_form->action(QStringLiteral("Supprimer2"))->isEnabled());
}

// The book chosen stays chosen, with its contacts shown, when the user goes
// to another view and back; a book just made becomes the chosen one, and so
// does the only book of a data folder.
void TestContactViews::theChosenBookStaysAcrossViews()
{
    add(QStringLiteral("clients"), QStringLiteral("Adam"), QStringLiteral("Anne"));
    openContacts(QStringLiteral("clients"));
    auto *books = widget<QComboBox>("List_annuaire");
    auto *grid = widget<QTableView>("DBGrid1");
    auto firstShown = [grid] {
        const QModelIndex i = grid->indexAt(QPoint(4, 4));
        return i.isValid() ? i.data().toString() : QString();
    };
    QCOMPARE(firstShown(), QStringLiteral("Adam  Anne"));
    m_form->showMessageView();
    m_form->showDirectoryView();
    m_form->showContactsView();
    QCOMPARE(books->currentText(), QStringLiteral("clients"));
    QCOMPARE(books->count(), 2);
    QCOMPARE(firstShown(), QStringLiteral("Adam  Anne"));

    onDialog([](QWidget *d) {
        d->findChild<QLineEdit *>(QStringLiteral("Edit1"))->setText(QStringLiteral("members"));
        d->findChild<QPushButton *>(QStringLiteral("Btn_Valider"))->click();
    });
    m_form->showDirectoryView();
    trigger("Ajouter1");
    m_form->showContactsView();
    QCOMPARE(books->currentText(), QStringLiteral("members"));
    QCOMPARE(grid->model()->rowCount(), 0);
    QCOMPARE(m_store->currentBook(), QStringLiteral("members"));

    // The chosen book deleted, one book left: that one is chosen.
    m_form->showDirectoryView();
    QVERIFY(BookManager(*m_store).remove(QStringLiteral("members")).ok());
    QVERIFY(BookManager(*m_store).remove(QStringLiteral("prospects")).ok());
    m_form->showContactsView();
    QCOMPARE(books->count(), 1);
    QCOMPARE(books->currentText(), QStringLiteral("clients"));
    QCOMPARE(firstShown(), QStringLiteral("Adam  Anne"));
}

// The grid shows names in the order the language gives them, and the
// heading reverses exactly that order; read from the rows as painted.
void TestContactViews::namesInTheOrderOfTheLanguage()
{
    for (const char *nom : {"Vincent", "Öztürk", "Zola", "Élie", "Durand", "Écuyer", "D’Souza", "Ortiz"})
        add(QStringLiteral("clients"), QString::fromUtf8(nom), QStringLiteral("A"));
    add(QStringLiteral("clients"), QStringLiteral("durand"), QStringLiteral("Zoé"));
    add(QStringLiteral("clients"), QStringLiteral("Durand"), QStringLiteral("Émile"));
    openContacts(QStringLiteral("clients"));
    auto *grid = widget<QTableView>("DBGrid1");
    auto shown = [grid] {
        QStringList rows;
        for (int y = 1; y < grid->viewport()->height(); y += 4) {
            const QModelIndex i = grid->indexAt(QPoint(8, y));
            if (i.isValid() && (rows.isEmpty() || rows.last() != i.data().toString()))
                rows << i.data().toString();
        }
        return rows;
    };
    const QStringList ordered = {"D’Souza  A", "Durand  A", "Durand  Émile", "durand  Zoé", "Écuyer  A",
                                 "Élie  A", "Ortiz  A", "Öztürk  A", "Vincent  A", "Zola  A"};
    QCOMPARE(shown(), ordered);
    QTest::mouseClick(grid->horizontalHeader()->viewport(), Qt::LeftButton, {}, QPoint(8, 4));
    QStringList reversed = ordered;
    std::reverse(reversed.begin(), reversed.end());
    QCOMPARE(shown(), reversed);
}

void TestContactViews::renameKeepsTheDialogOpenWhileTheNameIsTaken()
{
    m_form->showDirectoryView();
    auto *list = widget<QListWidget>("Dir_List", m_directory);
    list->setCurrentRow(0); // clients
    onDialog([this](QWidget *d) {
        QCOMPARE(d->objectName(), QStringLiteral("Dialogue_renomme_annuaire"));
        auto *ok = d->findChild<QPushButton *>(QStringLiteral("Btn_Valider"));
        ok->click(); // its own name
        QVERIFY(d->isVisible());
        QCOMPARE(m_asker.texts(), QStringList{text(BookNameInUse, English)});
        d->findChild<QLineEdit *>(QStringLiteral("Edit1"))->setText(QStringLiteral("prospects"));
        ok->click(); // another book's name
        QVERIFY(d->isVisible());
        QCOMPARE(m_asker.texts().size(), 2);
        // Its own name in another letter case is no name in use.
        d->findChild<QLineEdit *>(QStringLiteral("Edit1"))->setText(QStringLiteral("Clients"));
        ok->click();
        if (d->isVisible()) // refused as in use: closed here so that the checks below fail
            qobject_cast<QDialog *>(d)->reject();
    });
    trigger("Renommer1");
    QCOMPARE(m_asker.texts().size(), 2);
    QCOMPARE(m_store->listBooks(), (QStringList{"Clients", "prospects"}));

    // A name no book can have: the dialog closes on the notice, nothing is renamed.
    m_asker.clear();
    list->setCurrentItem(list->findItems(QStringLiteral("Clients"), Qt::MatchExactly).first());
    onDialog([](QWidget *d) {
        d->findChild<QLineEdit *>(QStringLiteral("Edit1"))->setText(QStringLiteral("o'neil"));
        d->findChild<QPushButton *>(QStringLiteral("Btn_Valider"))->click();
    });
    trigger("Renommer1");
    QCOMPARE(m_asker.texts(), QStringList{text(BookNameCharacters, English)});
    QCOMPARE(m_store->listBooks(), (QStringList{"Clients", "prospects"}));
}

// A book whose file is damaged is said to be so in an error dialog, once,
// whether the damage stops its opening or is found in a page of rows while
// the grid goes through them; never only as blank rows.
void TestContactViews::damagedBookIsSaid_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("reason");
    QTest::newRow("its first page") << 1 << "file is not a database";
    QTest::newRow("a page of rows") << 10 << "malformed";
}

void TestContactViews::damagedBookIsSaid()
{
    QFETCH(int, page);
    QFETCH(QString, reason);
    std::vector<ContactRecord> many;
    for (int i = 0; i < 300; ++i) {
        ContactRecord c = emptyContact();
        c[F_nom].value = QStringLiteral("n%1").arg(i, 3, 10, QLatin1Char('0'));
        c[F_commentaire].value = QString(300, u'c');
        many.push_back(c);
    }
    QCOMPARE(m_store->contacts().saveContacts(many, QStringLiteral("clients")), 300);
    {
        QFile f(m_store->files().bookPath(QStringLiteral("clients")));
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.size() >= qint64(page) * 4096);
        QVERIFY(f.seek(qint64(page - 1) * 4096));
        f.write(QByteArray(4096, '\xA5'));
    }
    openContacts(QStringLiteral("clients"));
    // Through every row, as scrolling to the end does.
    QAbstractItemModel *shown = widget<QTableView>("DBGrid1")->model();
    for (int row = 0; row < shown->rowCount(); ++row)
        (void)shown->index(row, BookTableModel::kDisplayNameColumn).data();
    QTRY_COMPARE(m_asker.texts().size(), 1);
    QCOMPARE(m_asker.questions()[0].kind, DialogKind::Error);
    const QString said = m_asker.texts()[0];
    QVERIFY2(said.startsWith(QStringLiteral("The directory \"clients\" is damaged or cannot be read: ")), qPrintable(said));
    QVERIFY2(said.contains(reason), qPrintable(said));
    QTest::qWait(50);
    QCOMPARE(m_asker.texts().size(), 1);
}

void TestContactViews::editModeTable_data()
{
    QTest::addColumn<QString>("state");
    QTest::newRow("browsing") << "browsing";
    QTest::newRow("adding") << "adding";
    QTest::newRow("modifying") << "modifying";
    QTest::newRow("saved") << "saved";
    QTest::newRow("cancelled") << "cancelled";
}

void TestContactViews::editModeTable()
{
    QFETCH(QString, state);
    add(QStringLiteral("clients"), QStringLiteral("Dupont"), QStringLiteral("Jean"));
    openContacts(QStringLiteral("clients"));
    selectRows({0});
    if (state != QLatin1String("browsing"))
        trigger(state == QLatin1String("adding") ? "Ajouteruncontact1" : "Modifier1");
    if (state == QLatin1String("saved"))
        widget<QPushButton>("Btn_Enregistrer")->click();
    if (state == QLatin1String("cancelled"))
        widget<QPushButton>("Btn_Annuler")->click();
    const bool editing = state == QLatin1String("adding") || state == QLatin1String("modifying");

    for (const char *edit : {"Edit_Nom", "Edit_Prenom", "Edit_email", "Edit_URL", "Edit1", "Edit4"})
        QCOMPARE(widget<QLineEdit>(edit)->isReadOnly(), !editing);
    QCOMPARE(widget<QPlainTextEdit>("Memo1")->isReadOnly(), !editing);
    QCOMPARE(widget("List_civilite")->isEnabled(), editing);
    QCOMPARE(widget("Btn_Enregistrer")->isVisibleTo(m_form.get()), editing);
    QCOMPARE(widget("Btn_Annuler")->isVisibleTo(m_form.get()), editing);
    if (editing) {
        // The form's foot reads Save, then Cancel, the two side by side.
        auto *save = widget<QPushButton>("Btn_Enregistrer");
        auto *cancel = widget<QPushButton>("Btn_Annuler");
        QVERIFY(!save->text().isEmpty());
        QCOMPARE(cancel->text(), text(26, English));
        QVERIFY(save->geometry().right() < cancel->geometry().left());
        QCOMPARE(save->geometry().top(), cancel->geometry().top());
    }
    QCOMPARE(widget("List_annuaire")->isEnabled(), !editing);
    QCOMPARE(widget("DBGrid1")->isEnabled(), !editing);
    QCOMPARE(m_form->action(QStringLiteral("Supprimer1"))->isEnabled(), !editing);
    QCOMPARE(m_form->action(QStringLiteral("titre1"))->isEnabled(), !editing);
    QCOMPARE(m_form->action(QStringLiteral("Quitter"))->isEnabled(), true);
    QCOMPARE(m_contacts->isEditing(), editing);

    // A key typed into a read-only field says how to edit; with Ctrl it does not.
    m_asker.clear();
    if (!editing) {
        QTest::keyClick(widget("Edit_Nom"), Qt::Key_A);
        QTest::keyClick(widget("Edit_Nom"), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(m_asker.texts(), QStringList{text(ContactNotEditable, English)});
    }
}

void TestContactViews::addWithEachAnswer_data()
{
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<int>("questions");
    QTest::addColumn<bool>("saved");
    const int yes = int(Answer::Yes), no = int(Answer::No);
    QTest::newRow("name: no") << QList<int>{no} << 1 << false;
    QTest::newRow("name: yes, address: no") << QList<int>{yes, no} << 2 << false;
    QTest::newRow("name: yes, address: yes") << QList<int>{yes, yes} << 2 << true;
}

void TestContactViews::addWithEachAnswer()
{
    QFETCH(QList<int>, answers);
    QFETCH(int, questions);
    QFETCH(bool, saved);
    add(QStringLiteral("clients"), QStringLiteral("Dupont"), QStringLiteral("Jean"), QStringLiteral("jean@example.org"));
    add(QStringLiteral("clients"), QStringLiteral("Zola"), QStringLiteral("Emile"));
    openContacts(QStringLiteral("clients"));
    trigger("Ajouteruncontact1");
    QTest::keyClicks(widget("Edit_Nom"), QStringLiteral("DUPONT"));
    QTest::keyClicks(widget("Edit_Prenom"), QStringLiteral("jean"));
    QTest::keyClicks(widget("Edit_email"), QStringLiteral("Jean@Example.org"));
    QCOMPARE(widget<QLabel>("Label15")->text(), QStringLiteral("DUPONT jean"));
    for (int a : answers)
        m_asker.answerNext(Answer(a));
    widget<QPushButton>("Btn_Enregistrer")->click();
    QCOMPARE(int(m_asker.questions().size()), questions);
    QCOMPARE(m_asker.questions()[0].kind, DialogKind::SameContactName);
    QCOMPARE(m_contacts->isEditing(), !saved);
    QCOMPARE(m_store->countRows(QStringLiteral("an_clients")), saved ? 3 : 2);
    if (saved) {
        // The new contact is selected and shown.
        auto *grid = widget<QTableView>("DBGrid1");
        QCOMPARE(grid->selectionModel()->selectedRows().size(), 1);
        QCOMPARE(widget<QLineEdit>("Edit_email")->text(), QStringLiteral("Jean@Example.org"));
        QCOMPARE(widget<QLineEdit>("Edit_Nom")->text(), QStringLiteral("DUPONT"));
        QVERIFY(m_store->currentBookModel()->idAt(grid->currentIndex().row()) == 3);
    } else {
        QCOMPARE(widget<QLineEdit>("Edit_Nom")->text(), QStringLiteral("DUPONT"));
    }
}

void TestContactViews::copyIntoTheCurrentBook()
{
    add(QStringLiteral("clients"), QStringLiteral("Dupont"), QStringLiteral("Jean"), QStringLiteral("jean@example.org"));
    add(QStringLiteral("clients"), QStringLiteral("Zola"), QStringLiteral("Emile"), QStringLiteral("emile@example.org"));
    openContacts(QStringLiteral("clients"));
    selectRows({0, 1});
    for (Answer a : {Answer::Yes, Answer::Yes, Answer::Yes, Answer::Yes})
        m_asker.answerNext(a);
    onDialog([](QWidget *d) {
        QCOMPARE(d->objectName(), QStringLiteral("Form_Dir_Dest"));
        auto *list = d->findChild<QListWidget *>(QStringLiteral("ListBox1"));
        QCOMPARE(list->count(), 2);
        list->item(0)->setSelected(true); // clients itself
        d->findChild<QPushButton *>(QStringLiteral("Btn_Valider"))->click();
    });
    trigger("Copieruncontact1");
    QCOMPARE(int(m_asker.questions().size()), 4);
    QCOMPARE(gridNames(), (QStringList{"Dupont  Jean", "Dupont  Jean", "Zola  Emile", "Zola  Emile"}));
    // Back on the row that was current (the last one selected).
    QCOMPARE(widget<QLineEdit>("Edit_Nom")->text(), QStringLiteral("Zola"));
}

void TestContactViews::deleteAndMoveReturnToTheirRow_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QString>("shown");
    for (const char *command : {"delete", "move"}) {
        const QByteArray c(command);
        QTest::newRow(c + " first") << QString::fromLatin1(command) << QList<int>{0} << "B";
        QTest::newRow(c + " middle") << QString::fromLatin1(command) << QList<int>{2} << "B";
        QTest::newRow(c + " last") << QString::fromLatin1(command) << QList<int>{4} << "D";
        QTest::newRow(c + " all") << QString::fromLatin1(command) << QList<int>{0, 1, 2, 3, 4} << "";
    }
}

void TestContactViews::deleteAndMoveReturnToTheirRow()
{
    QFETCH(QString, command);
    QFETCH(QList<int>, selected);
    QFETCH(QString, shown);
    for (const char *n : {"A", "B", "C", "D", "E"})
        add(QStringLiteral("clients"), QString::fromLatin1(n), QString(), QString::fromLatin1(n) + QStringLiteral("@example.org"));
    openContacts(QStringLiteral("clients"));
    selectRows(selected);
    if (command == QLatin1String("delete")) {
        m_asker.answerNext(Answer::Yes);
        trigger("Supprimer1");
    } else {
        onDialog([](QWidget *d) {
            auto *list = d->findChild<QListWidget *>(QStringLiteral("ListBox1"));
            QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
            list->setCurrentRow(1); // prospects
            d->findChild<QPushButton *>(QStringLiteral("Btn_Valider"))->click();
        });
        trigger("Dplacer1");
        QCOMPARE(m_store->countRows(QStringLiteral("an_prospects")), int(selected.size()));
    }
    QCOMPARE(m_store->countRows(QStringLiteral("an_clients")), 5 - int(selected.size()));
    QCOMPARE(widget<QLineEdit>("Edit_Nom")->text(), shown);
    auto *grid = widget<QTableView>("DBGrid1");
    QCOMPARE(grid->selectionModel()->selectedRows().size(), shown.isEmpty() ? 0 : 1);
}

void TestContactViews::modifyKeepsATitleTheListLacks()
{
    QVERIFY(TitleList().save({QStringLiteral("Monsieur"), QStringLiteral("Madame")}));
    ContactRecord c = emptyContact();
    c[F_nom].value = QStringLiteral("Dupont");
    c[F_civilite].value = QStringLiteral("Docteur");
    c[F_email].value = QStringLiteral("o'neil@example.org");
    m_store->contacts().addContact(c, QStringLiteral("clients"));
    openContacts(QStringLiteral("clients"));
    clickRow(0);
    auto *title = widget<QComboBox>("List_civilite");
    QCOMPARE(title->currentText(), QStringLiteral("Docteur"));
    trigger("Modifier1");
    widget<QLineEdit>("Edit_Prenom")->setText(QStringLiteral("L'abbé"));
    widget<QPushButton>("Btn_Enregistrer")->click();
    ContactRecord saved = emptyContact();
    m_store->contacts().readContact(1, QStringLiteral("clients"), saved);
    QCOMPARE(saved[F_civilite].value, QStringLiteral("Docteur"));
    QCOMPARE(saved[F_prenom].value, QStringLiteral("L\u2019abbé"));
    QCOMPARE(saved[F_email].value, QStringLiteral("o'neil@example.org"));
    QCOMPARE(widget<QLineEdit>("Edit_Prenom")->text(), QStringLiteral("L\u2019abbé"));
}

void TestContactViews::titlesDialog()
{
    // No titre.ini: an empty list, no error.
    QVERIFY(QFile::remove(TitleList().path()));
    openContacts(QStringLiteral("clients"));
    trigger("Ajouteruncontact1");
    QCOMPARE(widget<QComboBox>("List_civilite")->count(), 0);
    onDialog([](QWidget *d) {
        QCOMPARE(d->objectName(), QStringLiteral("Dialogue_ajouter_titre"));
        auto *name = d->findChild<QLineEdit *>(QStringLiteral("eNom"));
        auto *addButton = d->findChild<QPushButton *>(QStringLiteral("Btn_Ajouter"));
        for (const char *t : {"Monsieur", "MONSIEUR", "Madame", "Docteur"}) {
            name->setText(QString::fromLatin1(t));
            addButton->click();
        }
        auto *list = d->findChild<QListWidget *>(QStringLiteral("ListBox1"));
        QCOMPARE(list->count(), 3);
        list->item(2)->setSelected(true);
        d->findChild<QPushButton *>(QStringLiteral("Btn_Supprimer"))->click();
        d->findChild<QPushButton *>(QStringLiteral("Btn_Valider"))->click();
    });
    widget<QPushButton>("btn_titre")->click();
    QCOMPARE(TitleList().load(), (QStringList{"Monsieur", "Madame"}));
    // While editing, the list is reloaded with its first entry chosen.
    QCOMPARE(widget<QComboBox>("List_civilite")->count(), 2);
    QCOMPARE(widget<QComboBox>("List_civilite")->currentText(), QStringLiteral("Monsieur"));
}

void TestContactViews::freeLabelsAreElided()
{
    QVERIFY(BookManager(*m_store)
                .relabel(QStringLiteral("clients"),
                         {QStringLiteral("A very long label for a free field"), QStringLiteral("Short"), {}, {}})
                .ok());
    openContacts(QStringLiteral("clients"));
    auto *first = widget<QLabel>("Label_chp1");
    QVERIFY(first->text().endsWith(u'.'));
    QVERIFY(first->text().size() < 30);
    QCOMPARE(first->toolTip(), QStringLiteral("A very long label for a free field"));
    QVERIFY(first->fontMetrics().horizontalAdvance(first->text()) < first->width());
    QCOMPARE(widget<QLabel>("Label_chp2")->text(), QStringLiteral("Short"));
    QCOMPARE(widget<QLabel>("Label_chp2")->toolTip(), QString());
}

void TestContactViews::printShowsThePage()
{
    ContactRecord c = emptyContact();
    c[F_nom].value = QStringLiteral("<b>&");
    c[F_adresse1].value = QStringLiteral("1 rue Haute");
    m_store->contacts().addContact(c, QStringLiteral("clients"));
    openContacts(QStringLiteral("clients"));
    trigger("Imprimer1");
    QCOMPARE(m_asker.texts(), QStringList{text(SelectAContact, English)});
    selectRows({0});
    trigger("Imprimer1");
    QCOMPARE(m_printed.size(), 1);
    QVERIFY(m_printed[0].contains(QStringLiteral("<BR><B>Name : </B>&lt;b&gt;&amp;\r\n")));
    QVERIFY(!m_printed[0].contains(QStringLiteral("<BR><B>             </B>")));
    QFile file(tempFolder() + QStringLiteral("Kirvane_print.htm"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()), m_printed[0]);
}

// The search window, opened from the view's command, shows a contact found in
// the view (its book chosen whatever the case of the name, the row selected)
// and a deletion there refreshes the view's book; the duplicate window opens
// from its command too. Both exist before first use, so the language reaches them.
void TestContactViews::searchAndDuplicatesWindowsReachTheView()
{
    add(QStringLiteral("clients"), QStringLiteral("Adam"), QStringLiteral("Anne"));
    const qint64 bob = add(QStringLiteral("prospects"), QStringLiteral("Bernard"), QStringLiteral("Bob"));
    add(QStringLiteral("prospects"), QStringLiteral("Bernard"), QStringLiteral("Bea"));
    add(QStringLiteral("prospects"), QStringLiteral("Carre"), QStringLiteral("Cyril"));
    m_contacts->reloadBooks();
    openContacts(QStringLiteral("clients"));

    auto *search = m_contacts->findChild<QDialog *>(QStringLiteral("TF_rechercher"));
    auto *duplicates = m_contacts->findChild<QDialog *>(QStringLiteral("TF_dedoublonner"));
    QVERIFY(search && duplicates);
    QCOMPARE(search->windowTitle(), QStringLiteral("Search a contact"));
    QCOMPARE(duplicates->windowTitle(), QStringLiteral("Double checks"));

    trigger("Rechercher1");
    QVERIFY(search->isVisible());
    widget<QToolButton>("SpeedButton1", search)->click(); // tick every book
    widget<QLineEdit>("Edit_nom", search)->setText(QStringLiteral("bernard"));
    widget<QPushButton>("Btn_Valider", search)->click();
    auto *results = widget<QTreeWidget>("list_contact", search);
    QCOMPARE(results->topLevelItemCount(), 2);
    QTreeWidgetItem *bobRow = results->topLevelItem(0)->text(1) == QLatin1String("Bob") ? results->topLevelItem(0)
                                                                                         : results->topLevelItem(1);
    bobRow->setText(5, QStringLiteral("PROSPECTS"));
    results->setCurrentItem(bobRow);
    widget<QToolButton>("btn_voir_contact", search)->click();
    QVERIFY(!search->isVisible());
    QCOMPARE(widget<QComboBox>("List_annuaire")->currentText(), QStringLiteral("prospects"));
    QCOMPARE(widget<QLineEdit>("Edit_Prenom")->text(), QStringLiteral("Bob"));
    auto *grid = widget<QTableView>("DBGrid1");
    QCOMPARE(grid->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(m_store->currentBookModel()->idAt(grid->currentIndex().row()), bob);

    // Deleting a found contact: the view's book is read again without it.
    trigger("Rechercher1");
    QCOMPARE(results->topLevelItemCount(), 2);
    results->setCurrentItem(results->topLevelItem(0));
    widget<QToolButton>("SpeedButton3", search)->click();
    QCOMPARE(gridNames().size(), 2);
    search->close();

    trigger("Ddoublonner1");
    QVERIFY(duplicates->isVisible());
    duplicates->close();
}

void TestContactViews::screenshots()
{
    const QString out = qEnvironmentVariable("KIRVANE_SCREENSHOTS");
    if (out.isEmpty())
        QSKIP("KIRVANE_SCREENSHOTS is not set");
    QDir().mkpath(out);
    QVERIFY(
        BookManager(*m_store)
            .create(QStringLiteral("newsletter"), {QStringLiteral("Member since"), QStringLiteral("Region"), {}, {}})
            .ok());
    const char *first[] = {"Anne", "Paul", "Marie", "Luc", "Claire", "Hugo", "Léa", "Jules", "Emma", "Louis"};
    const char *last[] = {"Martin", "Bernard", "Dubois", "Thomas", "Robert"};
    for (int i = 0; i < 50; ++i) {
        ContactRecord c = emptyContact();
        c[F_nom].value = QString::fromUtf8(last[i % 5]);
        c[F_prenom].value = QString::fromUtf8(first[i % 10]);
        c[F_email].value = QStringLiteral("%1.%2@example.org").arg(c[F_prenom].value.toLower(), c[F_nom].value.toLower());
        c[F_ville].value = QStringLiteral("Lyon");
        c[F_code_postal].value = QString::number(69001 + i % 9);
        c[F_adresse1].value = QStringLiteral("%1 rue de la République").arg(i + 1);
        c[F_pays].value = QStringLiteral("France");
        c[F_tel].value = QStringLiteral("04 72 00 00 %1").arg(i, 2, 10, QLatin1Char('0'));
        c[F_champ16].value = QString::number(2015 + i % 10);
        c[F_champ17].value = QStringLiteral("Rhône");
        m_store->contacts().addContact(c, QStringLiteral("newsletter"));
    }
    m_form->resize(1100, 700);
    openContacts(QStringLiteral("newsletter"));
    clickRow(3);
    QTest::qWait(100);
    QVERIFY(m_form->grab().save(out + QStringLiteral("/contacts-view.png")));
    m_form->showDirectoryView();
    auto *list = widget<QListWidget>("Dir_List", m_directory);
    list->setCurrentItem(list->findItems(QStringLiteral("newsletter"), Qt::MatchExactly).first());
    QTest::qWait(100);
    QVERIFY(m_form->grab().save(out + QStringLiteral("/directory-view.png")));
}

void TestContactViews::dialogFootsShowTheirButtons_data()
{
    QTest::addColumn<DialogFoot>("foot");
    const QString ok = text(25, English), cancel = text(26, English), yes = text(27, English);
    auto english = [](auto *dialog) {
        dialog->applyLanguage(English);
        return static_cast<QDialog *>(dialog);
    };
    QTest::newRow("copy a book") << DialogFoot{[=] { return english(new BookNameDialog(BookNameDialog::Purpose::Copy)); }, {ok, cancel}};
    QTest::newRow("new book") << DialogFoot{[=] { return english(new FieldLabelsDialog(FieldLabelsDialog::Purpose::NewBook)); }, {ok, cancel}};
    QTest::newRow("delete a book") << DialogFoot{[=] { return english(new DeleteBookDialog); }, {yes, cancel}};
    QTest::newRow("destination") << DialogFoot{[=] { return english(new DestinationDialog); }, {ok, cancel}};
    QTest::newRow("titles") << DialogFoot{[=] { return english(new TitlesDialog); }, {ok, cancel}};
    QTest::newRow("column choice") << DialogFoot{[=] { return english(new kirvane::import::ColumnChoiceDialog); }, {ok, cancel}};
    QTest::newRow("book chooser") << DialogFoot{[=] { return english(new kirvane::message::BookChooserDialog); }, {ok, cancel}};
}

// The row of buttons at a window's foot: the texts the user reads, in order,
// right aligned below everything else, whatever the window's width.
void TestContactViews::dialogFootsShowTheirButtons()
{
    QFETCH(DialogFoot, foot);
    std::unique_ptr<QDialog> dialog(foot.make());
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    for (const int width : {dialog->width(), dialog->width() + 200}) {
        dialog->resize(width, dialog->height());
        QTest::qWait(0);
        QList<QPushButton *> row;
        for (QPushButton *b : dialog->findChildren<QPushButton *>()) {
            if (b->isVisible() && foot.buttons.contains(b->text()))
                row << b;
        }
        std::sort(row.begin(), row.end(), [](QPushButton *a, QPushButton *b) { return a->x() < b->x(); });
        QStringList shown;
        for (QPushButton *b : row)
            shown << b->text();
        QCOMPARE(shown, foot.buttons);
        const QRect last = row.last()->geometry();
        QVERIFY2(dialog->width() - last.right() < 40, "the buttons are not right aligned");
        for (QPushButton *b : row)
            QVERIFY2(b->width() < b->sizeHint().width() + 40, qPrintable(b->text() + QStringLiteral(" is stretched")));
        for (QWidget *w : dialog->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (w->isVisible() && !row.contains(w))
                QVERIFY2(w->geometry().top() < row.first()->geometry().top(), qPrintable(w->objectName()));
        }
    }
    if (!qEnvironmentVariableIsEmpty("KIRVANE_SHOTS"))
        dialog->grab().save(qEnvironmentVariable("KIRVANE_SHOTS") + u'/' + QString::fromLatin1(QTest::currentDataTag()) + QStringLiteral(".png"));
}

QTEST_MAIN(TestContactViews)
#include "tst_contactviews.moc"
