// Every act of a window that reaches the address books or the history, done
// while every store operation fails: the desktop program, started on a data
// folder of its own, tells the user why in a message and goes on; no error
// reaches the application object. The store fails through its fault point,
// which only this test defines. Then every command of kirvane-cli that reads
// a book or the history, run on a folder whose books and history are no
// longer table files: exit status 1 and the reason, never an abort.
#include "clirun.h"
#include "desktoprun.h"
#include "sending/sendingfixture.h"

#include "message/messagearchive.h"

#include "message/messagedocument.h"
#include "message/widgets/messageeditorview.h"
#include "shell/mainwindow.h"
#include "store/database.h"
#include "ui/messagedialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPrintPreviewDialog>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <atomic>

using namespace kirvane;

namespace {

// What the failing store says; every message about a failure must carry it.
const char kReason[] = "disk I/O error (a failure put in by the test)";
std::atomic<bool> g_failing{false};
std::atomic<int> g_failures{0};

// The program as the user sees it while a case runs.
struct Desktop {
    shell::MainWindow *form = nullptr;
    QWidget *view(const char *name) const { return form->findChild<QWidget *>(QString::fromLatin1(name)); }
    void trigger(const char *command) const { form->action(QString::fromLatin1(command))->trigger(); }
    QWidget *contacts() const { return view("Frame_contact1"); }
    QWidget *directory() const { return view("Frame_directory1"); }
    void selectContact(int row) const
    {
        auto *grid = child<QTableView>(contacts(), "DBGrid1");
        grid->setCurrentIndex(grid->model()->index(row, 0));
        grid->selectRow(row);
    }
    void selectBook(const char *book) const
    {
        auto *list = child<QListWidget>(directory(), "Dir_List");
        const auto found = list->findItems(QString::fromLatin1(book), Qt::MatchExactly);
        if (!found.isEmpty())
            list->setCurrentItem(found.first());
    }
};

// Ticks the books of a search or duplicates window.
void tickAll(QWidget *w)
{
    auto *list = child<QListWidget>(w, "ChkLst_Annuaire");
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setCheckState(Qt::Checked);
}

// A window's act while the store fails: what is made ready first (the store
// working), the act itself, and how the row answers a window of its own.
struct Case {
    const char *name;
    std::function<void(Desktop &)> before;
    std::function<void(Desktop &)> act;
    std::function<bool(QWidget *)> answer; // true when it handled the window
};

bool chooseBook(QWidget *w, const char *window, const char *book)
{
    if (w->objectName() != QLatin1String(window))
        return false;
    auto *list = child<QListWidget>(w, "ListBox1");
    for (QListWidgetItem *item : list->findItems(QString::fromLatin1(book), Qt::MatchExactly))
        item->setSelected(true);
    list->setCurrentItem(list->findItems(QString::fromLatin1(book), Qt::MatchExactly).value(0));
    child<QPushButton>(w, "Btn_Valider")->click();
    return true;
}

bool nameBook(QWidget *w, const char *window, const char *name)
{
    if (w->objectName() != QLatin1String(window))
        return false;
    if (name)
        child<QLineEdit>(w, "Edit1")->setText(QString::fromLatin1(name));
    child<QPushButton>(w, "Btn_Valider")->click();
    return true;
}

QWidget *prepareSearch(Desktop &d)
{
    d.trigger("Rechercher1");
    QWidget *w = visibleWindow("TF_rechercher");
    tickAll(w);
    child<QLineEdit>(w, "Edit_nom")->setText(QStringLiteral("Durand"));
    return w;
}

void prepareDuplicates(Desktop &d, bool swept)
{
    d.trigger("Ddoublonner1");
    QWidget *w = visibleWindow("TF_dedoublonner");
    tickAll(w);
    child<QCheckBox>(w, "Chk_nom")->setChecked(true);
    if (swept) {
        child<QPushButton>(w, "Btn_Valider")->click();
        QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(w, "Btn_Valider")->isEnabled(), 30000);
        auto *list = child<QTableView>(w, "list_contact");
        QTRY_VERIFY(list->model() && list->model()->rowCount() > 0);
        list->setCurrentIndex(list->model()->index(0, 0));
        list->selectRow(0);
    }
}

const QList<Case> &cases()
{
    auto noAnswer = [](QWidget *) { return false; };
    auto showDirectory = [](Desktop &d) {
        d.form->showDirectoryView();
        d.selectBook("clients");
    };
    auto showContacts = [](Desktop &d) {
        d.form->showContactsView();
        d.selectContact(0);
    };
    static const QList<Case> table{
        // Address books.
        {"books: create", showDirectory, [](Desktop &d) { d.trigger("Ajouter1"); },
         [](QWidget *w) { return nameBook(w, "Dialogue_nouvel_annuaire", "members"); }},
        {"books: copy", showDirectory, [](Desktop &d) { d.trigger("Dupliquer1"); },
         [](QWidget *w) { return nameBook(w, "Dialogue_copie_annuaire", nullptr); }},
        {"books: rename", showDirectory, [](Desktop &d) { d.trigger("Renommer1"); },
         [](QWidget *w) { return nameBook(w, "Dialogue_renomme_annuaire", "customers"); }},
        {"books: relabel", showDirectory, [](Desktop &d) { d.trigger("Renommerleschamps1"); },
         [](QWidget *w) { return nameBook(w, "Dialogue_renomme_champs", nullptr); }},
        {"books: delete", showDirectory, [](Desktop &d) { d.trigger("Supprimer2"); }, noAnswer},
        {"books: show another", showDirectory, [](Desktop &d) { d.selectBook("prospects"); }, noAnswer},
        // Contacts.
        {"contacts: choose a book", [](Desktop &d) { d.form->showContactsView(); },
         [](Desktop &d) {
             auto *books = child<QComboBox>(d.contacts(), "List_annuaire");
             books->setCurrentIndex(books->findText(QStringLiteral("prospects")));
         },
         noAnswer},
        {"contacts: show one", [](Desktop &d) { d.form->showContactsView(); },
         [](Desktop &d) { d.selectContact(1); }, noAnswer},
        {"contacts: add", [](Desktop &d) { d.form->showContactsView(); d.trigger("Ajouteruncontact1"); },
         [](Desktop &d) {
             child<QLineEdit>(d.contacts(), "Edit_Nom")->setText(QStringLiteral("Nouveau"));
             child<QPushButton>(d.contacts(), "Btn_Enregistrer")->click();
         },
         noAnswer},
        {"contacts: modify", [](Desktop &d) { d.form->showContactsView(); d.selectContact(0); d.trigger("Modifier1"); },
         [](Desktop &d) {
             child<QLineEdit>(d.contacts(), "Edit_Nom")->setText(QStringLiteral("Changed"));
             child<QPushButton>(d.contacts(), "Btn_Enregistrer")->click();
         },
         noAnswer},
        {"contacts: delete", showContacts, [](Desktop &d) { d.trigger("Supprimer1"); }, noAnswer},
        {"contacts: copy", showContacts, [](Desktop &d) { d.trigger("Copieruncontact1"); },
         [](QWidget *w) { return chooseBook(w, "Form_Dir_Dest", "prospects"); }},
        {"contacts: move", showContacts, [](Desktop &d) { d.trigger("Dplacer1"); },
         [](QWidget *w) { return chooseBook(w, "Form_Dir_Dest", "prospects"); }},
        {"contacts: print", showContacts, [](Desktop &d) { d.trigger("Imprimer1"); }, noAnswer},
        // Search and duplicates.
        {"search: search", [](Desktop &d) { d.form->showContactsView(); (void)prepareSearch(d); },
         [](Desktop &) { child<QPushButton>(visibleWindow("TF_rechercher"), "Btn_Valider")->click(); }, noAnswer},
        {"search: delete a contact found",
         [](Desktop &d) {
             d.form->showContactsView();
             QWidget *w = prepareSearch(d);
             child<QPushButton>(w, "Btn_Valider")->click();
             auto *found = child<QTreeWidget>(w, "list_contact");
             QTRY_COMPARE(found->topLevelItemCount(), 1);
             found->setCurrentItem(found->topLevelItem(0));
         },
         [](Desktop &) { child<QToolButton>(visibleWindow("TF_rechercher"), "SpeedButton3")->click(); }, noAnswer},
        {"duplicates: sweep", [](Desktop &d) { d.form->showContactsView(); prepareDuplicates(d, false); },
         [](Desktop &) { child<QPushButton>(visibleWindow("TF_dedoublonner"), "Btn_Valider")->click(); }, noAnswer},
        {"duplicates: delete one", [](Desktop &d) { d.form->showContactsView(); prepareDuplicates(d, true); },
         [](Desktop &) { child<QPushButton>(visibleWindow("TF_dedoublonner"), "Btn_Supprimer")->click(); }, noAnswer},
        {"duplicates: delete the others",
         [](Desktop &d) { d.form->showContactsView(); prepareDuplicates(d, true); },
         [](Desktop &) { child<QPushButton>(visibleWindow("TF_dedoublonner"), "btn_supprimer_tout")->click(); },
         noAnswer},
        // History.
        {"history: open", [](Desktop &) {}, [](Desktop &d) { d.form->showHistoryView(); }, noAnswer},
        {"history: delete a record", [](Desktop &d) { d.form->showHistoryView(); },
         [](Desktop &d) {
             auto *list = child<QAbstractItemView>(d.view("Frame_historique1"), "DBGrid_historique");
             list->setCurrentIndex(list->model()->index(0, 0));
             list->selectionModel()->select(list->currentIndex(), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
             d.trigger("btn_supprimer");
         },
         noAnswer},
        {"history: send again", [](Desktop &d) { d.form->showHistoryView(); },
         [](Desktop &d) { d.trigger("Remmettre1"); }, noAnswer},
        // Sending.
        {"sending: send",
         [](Desktop &d) {
             d.form->showMessageView();
             message::MessageDocument &doc = static_cast<message::MessageEditorView *>(d.form->messageView())->document();
             doc.setSubject(QStringLiteral("Letter"));
             doc.setMode(message::ComposeMode::PlainText);
             doc.setPlainText(QStringLiteral("Dear &name&\n"));
             doc.setDestinationBooks({QStringLiteral("clients")});
         },
         [](Desktop &d) { d.trigger("Envoyer1"); }, noAnswer},
        // Import.
        {"import: open on a book", showDirectory, [](Desktop &d) { d.trigger("Importer"); }, noAnswer},
    };
    return table;
}

} // namespace

// The store's fault point: while a case acts, every opening, statement and
// step fails as a disk would.
void kirvane::store::faultPoint(const QString &)
{
    if (!g_failing)
        return;
    ++g_failures;
    throw StoreError(kReason);
}

class TstStoreFailures : public QObject {
    Q_OBJECT

    QStringList m_told;
    const Case *m_case = nullptr;

    // Answers what the program shows: the case's own windows, message boxes
    // (read, then Yes or Close), and a print preview (closed).
    void answerWhatShows()
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (!w->isVisible())
                continue;
            if (m_case && m_case->answer(w))
                continue;
            if (auto *box = qobject_cast<ui::MessageDialog *>(w)) {
                m_told << box->text();
                QPushButton *yes = box->findChild<QPushButton *>(QStringLiteral("Btn_Oui"));
                (yes && yes->isVisible() ? yes : box->findChild<QPushButton *>(QStringLiteral("Btn_Fermer")))->click();
            } else if (w->objectName() == QLatin1String("Dialogue_suppression_annuaire")
                       || w->findChild<QPushButton *>(QStringLiteral("Btn_Oui"), Qt::FindDirectChildrenOnly)) {
                w->findChild<QPushButton *>(QStringLiteral("Btn_Oui"))->click();
            } else if (qobject_cast<QPrintPreviewDialog *>(w) || w->objectName() == QLatin1String("PrintPreview")) {
                w->close();
            }
        }
    }

    void drive(const Case &c)
    {
        Desktop d;
        QTRY_VERIFY_WITH_TIMEOUT((d.form = qobject_cast<shell::MainWindow *>(visibleWindow("Form1"))), 30000);
        d.form->applyLanguage(texts::English);
        c.before(d);
        if (QTest::currentTestFailed())
            return;
        m_told.clear();
        g_failures = 0;
        g_failing = true;
        c.act(d);
        QTRY_VERIFY2_WITH_TIMEOUT(!m_told.filter(QLatin1String(kReason)).isEmpty(),
                                  qPrintable(QStringLiteral("told: ") + m_told.join(QLatin1String(" | "))), 15000);
        g_failing = false;
        QVERIFY(g_failures > 0);
        QVERIFY(d.form->isVisible());
    }

private Q_SLOTS:
    void everyCommandTellsTheFailure_data()
    {
        QTest::addColumn<QStringList>("args");
        const QStringList map{QStringLiteral("--map"), QStringLiteral("nom=1")};
        const QList<QPair<const char *, QStringList>> rows{
            {"contact add", {"contact", "add", "clients", "nom=Nouveau"}},
            {"contact delete", {"contact", "delete", "clients", "1"}},
            {"contact show", {"contact", "show", "clients", "1"}},
            {"contact update", {"contact", "update", "clients", "1", "nom=Autre"}},
            {"contact copy", {"contact", "copy", "clients", "prospects", "1"}},
            {"contact move", {"contact", "move", "clients", "prospects", "1"}},
            {"contacts", {"contacts", "clients"}},
            {"export", {"export", "clients", "OUT/export.csv"}},
            {"import", QStringList{"import", "clients", "OUT/in.csv", "--kind", "csv"} + map},
            {"search", {"search", "--book", "clients", "--nom", "Durand"}},
            {"duplicates", {"duplicates", "clients", "--by", "nom"}},
            {"history", {"history"}},
            {"history show", {"history", "show", "1"}},
            {"history delete", {"history", "delete", "1"}},
            {"history resend", {"history", "resend", "1", "OUT/again.MNL"}},
            {"send", {"send", "OUT/letter.MNL"}},
        };
        for (const auto &[name, args] : rows)
            QTest::newRow(name) << args;
    }

    void everyCommandTellsTheFailure()
    {
        QFETCH(QStringList, args);
        DataFolder data;
        data.makeBook(QStringLiteral("clients"), {"Durand|Anne|anne@x.org", "Martin|Paul|paul@x.org"});
        data.makeBook(QStringLiteral("prospects"), {"Zola|Emile|emile@x.org"});
        (void)data.base.history().add({QStringLiteral("Earlier"), QStringLiteral("Text\r\n"), QString(),
                                       QStringLiteral("1"), QString(), QString(), QStringLiteral("clients\r\n")});
        data.writeSettings(1);
        QTemporaryDir out;
        QFile csv(out.filePath(QStringLiteral("in.csv")));
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write("Nom\r\nDupont\r\n");
        csv.close();
        message::MessageDocument doc;
        doc.setSubject(QStringLiteral("Letter"));
        doc.setMode(message::ComposeMode::PlainText);
        doc.setPlainText(QStringLiteral("Dear &name&\n"));
        doc.setDestinationBooks({QStringLiteral("clients")});
        QVERIFY(message::writeArchive(doc, out.filePath(QStringLiteral("letter")), message::ArchiveKind::SavedMessage,
                                      QString(), QString()));
        args.replaceInStrings(QStringLiteral("OUT/"), out.path() + u'/');

        // The books and the history are no longer table files.
        for (const QString &table : {common::booksFolder() + QStringLiteral("an_clients.db"),
                                     common::booksFolder() + QStringLiteral("an_prospects.db"),
                                     common::historyFolder() + QStringLiteral("historique.db")}) {
            QFile f(table);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QByteArray(4096, 'x'));
        }
        const CliRun r = runCli(data.path(), args);
        QVERIFY2(r.code == 1, qPrintable(QStringLiteral("exit %1: %2").arg(r.code).arg(QString::fromUtf8(r.err))));
        QVERIFY2(r.err.contains("file is not a database"), r.err.constData());
    }

    void everyActTellsTheFailure_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < cases().size(); ++i)
            QTest::newRow(cases()[i].name) << i;
    }

    void everyActTellsTheFailure()
    {
        QFETCH(int, index);
        DataFolder data;
        data.makeBook(QStringLiteral("clients"),
                      {"Durand|Anne|anne@x.org", "Durand|Anne|anne.d@x.org", "Martin|Paul|paul@x.org"});
        data.makeBook(QStringLiteral("prospects"), {"Zola|Emile|emile@x.org"});
        (void)data.base.history().add({QStringLiteral("Earlier"), QStringLiteral("Text\r\n"), QString(),
                                       QStringLiteral("1"), QString(), QString(), QStringLiteral("clients\r\n")});
        data.writeSettings(1);

        m_case = &cases()[index];
        const DesktopRun run = runDesktopDriven(data.path(), [this] { answerWhatShows(); }, [this] {
            drive(*m_case);
            g_failing = false;
        });
        g_failing = false;
        m_case = nullptr;
        QCOMPARE(run.status, 0);
        QCOMPARE(run.escaped, QString());
        QCOMPARE(run.uncaught, QStringList());
    }
};

KIRVANE_DESKTOP_TEST_MAIN(TstStoreFailures)

#include "tst_storefailures.moc"
