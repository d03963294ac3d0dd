// The import window, last of start-up: its failure only disables import,
// after the warning. The address-books view's Import and Export buttons
// reach the import window and the export's save dialog.

#include "modaldialog.h"
#include "fakeviews.h"
#include "import/paradoxfixtures.h"

#include "common/folders.h"
#include "contacts/bookmanager.h"
#include "contacts/widgets/directoryview.h"
#include "import/contactimport.h"
#include "import/legacyfoldermigration.h"
#include "import/widgets/importwizard.h"
#include "shell/startup.h"
#include "shell/mainwindow.h"
#include "store/addressbookstore.h"
#include "support/datafolder.h"

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace kirvane;
using namespace kirvane::shell;
using namespace kirvane::texts;
using namespace kirvane::ui;
using namespace kirvane::test;

class TestStartup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void importWindow_data();
    void importWindow();
    void bookButtonsReachImportAndExport();
    void legacyFolderIsToldOnce();
};

void TestStartup::importWindow_data()
{
    QTest::addColumn<bool>("made");
    QTest::newRow("made: nothing said, import works") << true;
    QTest::newRow("missing readers: warning, import disabled") << false;
}

void TestStartup::importWindow()
{
    QFETCH(bool, made);
    ScriptedAsker asker;
    auto *directory = new FakeDirectoryView;
    MainWindow form(nullptr, MainViews{nullptr, directory, nullptr, nullptr}, &asker);
    form.showView(2);

    QCOMPARE(createImportWindow(form, [made] { return made; }), made);

    QCOMPARE(asker.texts(), made ? QStringList{} : QStringList{QString::fromUtf8(kImportDriversMissing)});
    if (!made)
        QCOMPARE(asker.questions().front().kind, DialogKind::Ok);
    QCOMPARE(form.action("Importer")->isEnabled(), made);
    QCOMPARE(form.findChild<QToolButton *>("importer")->isEnabled(), made);
    // Nothing else is touched.
    QVERIFY(form.action("exporter")->isEnabled());
    QVERIFY(form.action("Synchroniser1")->isEnabled());
}

// Import opens the import window for the book selected in the view, and the
// view shows the book's new count and labels once it closes; Export writes
// the selected book where the save dialog says.
void TestStartup::bookButtonsReachImportAndExport()
{
    TestDataFolder data;
    store::AddressBookStore &store = data.store();
    QVERIFY(contacts::BookManager(store).create(QStringLiteral("clients"), {QStringLiteral("Âge")}).ok());
    QVERIFY(contacts::BookManager(store).create(QStringLiteral("prospects"), {QStringLiteral("Ville")}).ok());
    const QString source = data.filePath(QStringLiteral("source.csv"));
    {
        QFile f(source);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Nom;Email\r\nDurand;d@example.org\r\nMartin;m@example.org\r\n");
    }

    ScriptedAsker asker;
    auto *directory = new contacts::DirectoryView(&store);
    BookTransfers transfers;
    connectBookTransfers(*directory, store.files(), transfers);
    MainWindow form(&store, MainViews{nullptr, directory, nullptr, nullptr}, &asker);
    transfers.asker = &asker;
    QVERIFY(createImportWindow(form, [&] {
        transfers.importWindow = new import::ImportWizard(store.files(), asker, &form);
        transfers.importWindow->setFileChooser([&](import::SourceKind) { return source; });
        transfers.importWindow->setColumnChooser([](int column) { return column == 0 ? store::F_nom : store::F_email; });
        return true;
    }));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.showDirectoryView();
    auto *list = directory->findChild<QListWidget *>(QStringLiteral("Dir_List"));
    list->setCurrentItem(list->findItems(QStringLiteral("prospects"), Qt::MatchExactly).value(0));

    bool shown = false;
    onNextModal(this, [&shown](QWidget *d) {
        shown = true;
        QCOMPARE(d->objectName(), QStringLiteral("TF_importation_multi_format"));
        QCOMPARE(d->findChild<QLineEdit *>(QStringLiteral("e_chp_16"))->text(), QStringLiteral("Ville"));
        const auto click = [d](const char *name) {
            QTest::mouseClick(d->findChild<QPushButton *>(QLatin1String(name)), Qt::LeftButton);
        };
        d->findChild<QRadioButton *>(QStringLiteral("Radio_csv"))->setChecked(true);
        click("btn_suivant");
        click("btn_ouvrirfichier");
        click("btn_suivant");
        auto *preview = d->findChild<QTreeWidget *>(QStringLiteral("Lst_contact"));
        Q_EMIT preview->header()->sectionClicked(0);
        Q_EMIT preview->header()->sectionClicked(1);
        d->findChild<QCheckBox *>(QStringLiteral("Chk_ignorer_colonne"))->setChecked(true);
        d->findChild<QLineEdit *>(QStringLiteral("e_chp_16"))->setText(QStringLiteral("Ville natale"));
        click("btn_executer");
    });
    QTest::mouseClick(form.findChild<QToolButton *>(QStringLiteral("importer")), Qt::LeftButton);
    QVERIFY(shown);
    QVERIFY(!transfers.importWindow->isVisible());
    QCOMPARE(store.countRows(QStringLiteral("an_prospects")), 2);
    QCOMPARE(store.countRows(QStringLiteral("an_clients")), 0);
    QCOMPARE(directory->findChild<QLineEdit *>(QStringLiteral("E_NbrAdresse"))->text(), QStringLiteral("2"));
    QCOMPARE(directory->findChild<QLineEdit *>(QStringLiteral("E_champ16"))->text(), QStringLiteral("Ville natale"));

    const QString target = data.filePath(QStringLiteral("out.csv"));
    onNextModal(this, [&target](QWidget *d) {
        QCOMPARE(d->objectName(), QStringLiteral("sd_exporter_csv"));
        auto *files = qobject_cast<QFileDialog *>(d);
        QVERIFY(files);
        files->selectFile(target);
        static_cast<QDialog *>(files)->accept(); // QFileDialog::accept, as its Save button does
    });
    asker.clear();
    QTest::mouseClick(form.findChild<QToolButton *>(QStringLiteral("exporter")), Qt::LeftButton);
    QCOMPARE(asker.texts(), QStringList{});
    QFile written(target);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray csv = written.readAll();
    QVERIFY2(csv.contains("Ville natale") && csv.contains("Durand") && csv.contains("m@example.org"), csv.constData());
}

// A data folder in the earlier table format is brought across before the
// windows read it, and the main window tells so once, with the table it
// could not bring across and why; the next start tells nothing more of what
// was done.
void TestStartup::legacyFolderIsToldOnce()
{
    QTemporaryDir dir;
    const QString books = dir.filePath(QStringLiteral("Annuaires/"));
    QVERIFY(QDir().mkpath(books));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("historique"))));
    std::vector<QStringList> contacts;
    for (int i = 1; i <= 1234; ++i)
        contacts.push_back({QString::number(i), QStringLiteral("Nom %1").arg(i)});
    QVERIFY(writeParadoxTable(books + QStringLiteral("an_clients.DB"), bookColumns(), contacts));
    QVERIFY(writeParadoxTable(books + QStringLiteral("an_prospects.DB"), bookColumns(), {{QStringLiteral("1"), QStringLiteral("Zoé")}}));
    QVERIFY(writeParadoxTable(dir.filePath(QStringLiteral("historique/historique.DB")), historyColumns(),
                              {{QStringLiteral("1"), QStringLiteral("Lettre"), QStringLiteral("Bonjour"), QStringLiteral("01/02/2004"),
                                QStringLiteral("clients\r\n"), {}, {}, QStringLiteral("2"), {}}}));
    QVERIFY(writeParadoxTable(books + QStringLiteral("an_abîmé.DB"), bookColumns(), contacts));
    qint64 wholeSize = 0;
    {
        QFile damaged(books + QStringLiteral("an_abîmé.DB"));
        wholeSize = damaged.size();
        QVERIFY(damaged.resize(4096));
    }
    const QString date = QDate::currentDate().toString(Qt::ISODate);
    const QStringList told = {
        QStringLiteral("2 address books, 1,235 contacts and 1 history records were brought across from the earlier "
                       "format; the original files are kept in %1, %2.")
            .arg(QDir::toNativeSeparators(books + QStringLiteral("paradox-") + date),
                 QDir::toNativeSeparators(dir.filePath(QStringLiteral("historique/paradox-")) + date)),
        QStringLiteral("The table an_abîmé could not be brought across from the earlier format: an_abîmé.DB: the file "
                       "is shorter than its header says (4096 bytes of %1): it was cut short. It is kept where it "
                       "was; the next start tries again.")
            .arg(wholeSize),
    };
    for (int start = 0; start < 2; ++start) {
        common::setDataFolder(dir.path());
        QVERIFY(store::BookFiles::ensureDataFolder(common::dataFolder()));
        const import::MigrationReport report = migrateLegacyFolder(common::dataFolder());
        store::AddressBookStore store;
        ScriptedAsker asker;
        MainWindow form(&store, MainViews{nullptr, new FakeDirectoryView, nullptr, nullptr}, &asker);
        form.show();
        tellMigration(form, report);
        QCOMPARE(asker.texts(), start == 0 ? told : told.mid(1));
        QCOMPARE(store.listBooks(), (QStringList{"clients", "prospects"}));
        QCOMPARE(store.countRows(QStringLiteral("an_clients")), 1234);
    }
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
