// The import window, last of start-up: its failure only disables import,
// after the warning. The address-books view's Import and Export buttons
// reach the import window and the export's save dialog.

#include "modaldialog.h"
#include "fakeviews.h"

#include "common/folders.h"
#include "contacts/bookmanager.h"
#include "contacts/widgets/directoryview.h"
#include "import/contactimport.h"
#include "import/widgets/importwizard.h"
#include "shell/startup.h"
#include "shell/mainwindow.h"
#include "store/addressbookstore.h"
#include "support/datafolder.h"

#include <QAction>
#include <QApplication>
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
    store::AddressBookStore &base = data.store();
    QVERIFY(contacts::BookManager(base).create(QStringLiteral("clients"), {QStringLiteral("Âge")}).ok());
    QVERIFY(contacts::BookManager(base).create(QStringLiteral("prospects"), {QStringLiteral("Ville")}).ok());
    const QString source = data.filePath(QStringLiteral("source.csv"));
    {
        QFile f(source);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Nom;Email\r\nDurand;d@example.org\r\nMartin;m@example.org\r\n");
    }

    ScriptedAsker asker;
    auto *directory = new contacts::DirectoryView(&base);
    BookTransfers transfers;
    connectBookTransfers(*directory, base.files(), transfers);
    MainWindow form(&base, MainViews{nullptr, directory, nullptr, nullptr}, &asker);
    transfers.asker = &asker;
    QVERIFY(createImportWindow(form, [&] {
        transfers.importWindow = new import::ImportWizard(base.files(), asker, &form);
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
    QCOMPARE(base.countRows(QStringLiteral("an_prospects")), 2);
    QCOMPARE(base.countRows(QStringLiteral("an_clients")), 0);
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

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
