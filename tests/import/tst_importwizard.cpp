// The import wizard offscreen, driven by its widgets' names: the pages in
// order, the table choice shown only where a file holds several tables, the
// preview, the mapping by heading clicks, its four checks, a file that is not
// of its kind, and an import that ends with its counts. A heading line that
// maps itself, the kind that follows the file (chosen or typed), rows whose
// address the book holds, a large import that leaves the window free and
// can be cancelled, and a store that fails under the import.
#include "contacts/bookmanager.h"
#include "import/contactimport.h"
#include "import/widgets/exportcommand.h"
#include "import/widgets/importwizard.h"
#include "common/folders.h"
#include "store/addressbookstore.h"
#include "store/bookfiles.h"
#include "store/contactrecord.h"
#include "store/contacttable.h"
#include "store/database.h"
#include "texts/asker.h"
#include "support/datafolder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>
#include <QTest>
#include <QTreeWidget>

#include <atomic>
#include <memory>

using namespace kirvane;

namespace {
// While set, every store operation fails as a disk would (the store's fault
// point, defined below for this test only).
std::atomic<bool> g_storeFails{false};
const char kDiskFailure[] = "disk I/O error (a failure put in by the test)";
} // namespace

void kirvane::store::faultPoint(const QString &)
{
    if (g_storeFails)
        throw StoreError(kDiskFailure);
}
using namespace kirvane::common;
using namespace kirvane::contacts;
using namespace kirvane::import;
using namespace kirvane::store;
using namespace kirvane::texts;

class TstImportWizard : public QObject {
    Q_OBJECT
    std::unique_ptr<kirvane::test::TestDataFolder> m_data;
    AddressBookStore *m_store = nullptr;
    ScriptedAsker m_asker;
    std::unique_ptr<ImportWizard> m_wizard;
    QString m_file;           // what the file chooser answers
    QList<int> m_fields;      // what the column chooser answers, column by column

    template <typename T>
    T *child(const char *name) const
    {
        T *w = m_wizard->findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }
    void click(const char *name) { QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton); }
    QTreeWidget *preview() const { return child<QTreeWidget>("Lst_contact"); }

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = m_data->filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return path;
    }

    int contactCount() { return m_store->countRows(QStringLiteral("an_clients")); }

    // Page 1 with kind chosen, then page 2 with m_file opened, then page 3.
    void reachPreview(const char *radio)
    {
        m_wizard->start(QStringLiteral("clients"));
        child<QRadioButton>(radio)->setChecked(true);
        click("btn_suivant");
        QCOMPARE(m_wizard->page(), 2);
        QVERIFY(!child<QPushButton>("btn_suivant")->isEnabled());
        click("btn_ouvrirfichier");
        QVERIFY(child<QPushButton>("btn_suivant")->isEnabled());
        click("btn_suivant");
        QCOMPARE(m_wizard->page(), 3);
    }

    // Import runs on the wizard's worker thread; the wizard closes when it ends.
    void importAndWait()
    {
        QSignalSpy closed(m_wizard.get(), &QDialog::finished);
        click("btn_executer");
        QVERIFY(!closed.isEmpty() || closed.wait(120000));
    }

    void clickHeadings()
    {
        for (int c = 0; c < m_fields.size(); ++c)
            Q_EMIT preview()->header()->sectionClicked(c);
    }

private Q_SLOTS:
    void init()
    {
        m_data = std::make_unique<kirvane::test::TestDataFolder>();
        m_store = &m_data->store();
        QVERIFY(BookManager(*m_store)
                    .create(QStringLiteral("clients"), {QStringLiteral("Âge"), QString(), QString(), QString()})
                    .ok());
        m_asker.clear();
        m_wizard = std::make_unique<ImportWizard>(m_store->files(), m_asker);
        m_wizard->applyLanguage(2);
        m_wizard->setFileChooser([this](SourceKind) { return m_file; });
        m_wizard->setColumnChooser([this](int column) { return m_fields.value(column, kNotIdentified); });
        m_wizard->show();
        m_file = writeFile(QStringLiteral("contacts.csv"),
                           "Qui;Courrier;Lieu\r\nO'Neil;o'neil@example.org;Paris\r\nDurand;d@example.org;Lyon\r\n"
                           "A;a@x.org;\r\nB;b@x.org;\r\nC;c@x.org;\r\n");
    }

    void cleanup()
    {
        m_wizard.reset();
        m_store = nullptr;
        m_data.reset();
    }

    void startsOnTheFirstPageWithAccess()
    {
        m_wizard->start(QStringLiteral("clients"));
        QCOMPARE(m_wizard->page(), 1);
        QVERIFY(child<QRadioButton>("radio_access")->isChecked());
        QVERIFY(!child<QPushButton>("btn_precedent")->isEnabled());
        QVERIFY(child<QPushButton>("btn_suivant")->isEnabled());
        QVERIFY(!child<QPushButton>("btn_executer")->isVisible());
        QCOMPARE(child<QLineEdit>("e_chp_16")->text(), QStringLiteral("Âge"));
        QCOMPARE(m_wizard->minimumSize(), QSize(550, 360));
    }

    // A CSV file: no table to choose; the preview holds the names and four rows.
    void previewOfFiveRows()
    {
        reachPreview("Radio_csv");
        QVERIFY(!child<QComboBox>("CB_table")->isVisible());
        QCOMPARE(child<QComboBox>("CB_table")->currentText(), QStringLiteral("contacts#csv"));
        QVERIFY(child<QPushButton>("btn_executer")->isVisible());
        QVERIFY(!child<QPushButton>("btn_suivant")->isEnabled());
        QCOMPARE(preview()->topLevelItemCount(), 5);
        QCOMPARE(preview()->columnCount(), 3);
        QCOMPARE(preview()->headerItem()->text(0), QStringLiteral("Please, click here"));
        QCOMPARE(preview()->topLevelItem(0)->text(1), QStringLiteral("Courrier"));
        QCOMPARE(preview()->topLevelItem(1)->text(0), QStringLiteral("O\u2019Neil"));
    }

    // Back to page 2 and forward again rebuilds the preview and clears the mapping.
    void goingBackClearsTheMapping()
    {
        reachPreview("Radio_csv");
        m_fields = {F_nom, F_email, kUnused};
        clickHeadings();
        QCOMPARE(preview()->headerItem()->text(1), QStringLiteral("Email"));
        click("btn_precedent");
        QCOMPARE(m_wizard->page(), 2);
        QVERIFY(child<QPushButton>("btn_suivant")->isEnabled());
        click("btn_suivant");
        QCOMPARE(preview()->headerItem()->text(1), QStringLiteral("Please, click here"));
        QCOMPARE(m_wizard->session().mapping(), (QList<int>{kNotIdentified, kNotIdentified, kNotIdentified}));
    }

    // Nothing clicked: the not-defined notice, then the at-least-one-field one;
    // nothing is imported and the wizard stays.
    void checksStopTheImport()
    {
        reachPreview("Radio_csv");
        click("btn_executer");
        QCOMPARE(m_asker.texts(), (QStringList{QStringLiteral("Some fields have not been identified."),
                                                QStringLiteral("You must use at least one field of your base. Identify them again.")}));
        QCOMPARE(contactCount(), 0);
        QCOMPARE(m_wizard->page(), 3);
        m_asker.clear();
        m_fields = {F_email, F_email, kUnused};
        clickHeadings();
        click("btn_executer");
        QCOMPARE(m_asker.texts(), QStringList{QStringLiteral("You have specified twice the same field. ")});
        QCOMPARE(contactCount(), 0);
    }

    // The import: heading line skipped, apostrophes typographic in names only,
    // labels written, and a notice with the counts.
    void importsAndTellsTheCounts()
    {
        reachPreview("Radio_csv");
        m_fields = {F_nom, F_email, F_champ16};
        clickHeadings();
        child<QCheckBox>("Chk_ignorer_colonne")->setChecked(true);
        child<QLineEdit>("e_chp_16")->setText(QStringLiteral("Ville natale"));
        QSignalSpy imported(m_wizard.get(), &ImportWizard::bookImported);
        importAndWait();
        QCOMPARE(imported.size(), 1);
        QCOMPARE(contactCount(), 5);
        QCOMPARE(m_asker.texts(), QStringList{QStringLiteral("5 contact(s) added.")});
        ContactRecord record = emptyContact();
        m_store->contacts().readContact(1, QStringLiteral("clients"), record);
        QCOMPARE(record[F_nom].value, QStringLiteral("O\u2019Neil"));
        QCOMPARE(record[F_email].value, QStringLiteral("o'neil@example.org"));
        QCOMPARE(record[F_champ16].value, QStringLiteral("Paris"));
        store::ContactRecord labels = emptyContact();
        readLabels(m_store->files().labelPath(QStringLiteral("clients")), labels);
        QCOMPARE(labels[F_champ16].label, QStringLiteral("Ville natale"));
        QVERIFY(!m_wizard->isVisible());
    }

    // A heading line of known headings arrives mapped, unknown ones unused,
    // the first line ticked to be skipped: Import works without a click on a
    // heading. Imported again with "skip", every row is skipped; with
    // "update", the contacts take the rows' non-empty values.
    void headingLineArrivesMapped()
    {
        m_file = writeFile(QStringLiteral("outlook.csv"),
                           "First Name,Last Name,E-mail Address,Business City,Référence interne\r\n"
                           "Jean,Durand,jean@example.org,Paris,A1\r\nLéa,Petit,lea@example.org,,A2\r\n");
        reachPreview("Radio_csv");
        QStringList headings;
        for (int c = 0; c < preview()->columnCount(); ++c)
            headings << preview()->headerItem()->text(c);
        QCOMPARE(headings, (QStringList{"First name", "Name", "Email", "City", "Unused"}));
        QVERIFY(child<QCheckBox>("Chk_ignorer_colonne")->isChecked());
        QVERIFY(child<QRadioButton>("Radio_existant_ajouter")->isChecked());
        importAndWait();
        QCOMPARE(m_asker.texts(), QStringList{QStringLiteral("2 contact(s) added.")});
        QCOMPARE(contactCount(), 2);

        m_file = writeFile(QStringLiteral("outlook.csv"),
                           "First Name,Last Name,E-mail Address,Business City,Référence interne\r\n"
                           "Jean,Durand,JEAN@example.org,,A1\r\nLéa,Petit,lea@example.org,Lyon,A2\r\n"
                           "Marc,Neuf,marc@example.org,,A3\r\n");
        for (const char *choice : {"Radio_existant_ignorer", "Radio_existant_maj"}) {
            m_asker.clear();
            reachPreview("Radio_csv");
            child<QRadioButton>(choice)->setChecked(true);
            importAndWait();
            if (qstrcmp(choice, "Radio_existant_ignorer") == 0)
                QCOMPARE(m_asker.texts(), QStringList{QStringLiteral("1 contact(s) added.\n"
                                                                     "2 row(s) skipped: address already in the book.")});
            else
                QCOMPARE(m_asker.texts(), QStringList{QStringLiteral("0 contact(s) added.\n3 contact(s) updated.")});
        }
        QCOMPARE(contactCount(), 3);
        ContactRecord record = emptyContact();
        m_store->contacts().readContact(1, QStringLiteral("clients"), record);
        QCOMPARE(record[F_ville].value, QStringLiteral("Paris")); // an empty value leaves the contact's
        QCOMPARE(record[F_email].value, QStringLiteral("JEAN@example.org"));
        m_store->contacts().readContact(2, QStringLiteral("clients"), record);
        QCOMPARE(record[F_ville].value, QStringLiteral("Lyon"));
    }

    // A large file with a heading line arrives mapped and imports without a
    // click on a heading, on the wizard's worker thread: meanwhile the
    // window's thread takes its events (a zero timer fires), the progress bar
    // shows its work and only Cancel is live. Imported again, Cancel taken
    // during the import stops it and the book is left as it was.
    void largeFileImportsWhileTheWindowAnswers()
    {
        constexpr int rows = 50000;
        QByteArray csv = "Name,First name,E-mail\r\n";
        for (int i = 0; i < rows; ++i) {
            const QByteArray k = QByteArray::number(i);
            csv += "Durand" + k + ",Jean," + "jean" + k + "@example.org\r\n";
        }
        m_file = writeFile(QStringLiteral("large.csv"), csv);
        for (const bool cancel : {false, true}) {
            m_asker.clear();
            m_wizard->show();
            reachPreview("Radio_csv");
            QCOMPARE(preview()->headerItem()->text(2), QStringLiteral("Email"));
            QVERIFY(child<QCheckBox>("Chk_ignorer_colonne")->isChecked());
            struct {
                bool fired = false, importing = false, busy = false, onlyCancel = false;
            } seen;
            QTimer::singleShot(0, this, [&] {
                seen.fired = true;
                seen.importing = m_wizard->importing();
                seen.busy = child<QProgressBar>("PBar_csv")->maximum() == 0; // rows still being counted
                seen.onlyCancel = child<QPushButton>("btn_annuler")->isEnabled()
                                  && !child<QPushButton>("btn_executer")->isEnabled()
                                  && !child<QPushButton>("btn_precedent")->isEnabled() && !preview()->isEnabled();
                if (cancel)
                    click("btn_annuler");
            });
            importAndWait();
            QVERIFY(seen.fired);
            QVERIFY(seen.importing);
            QVERIFY(seen.busy);
            QVERIFY(seen.onlyCancel);
            QVERIFY(!m_wizard->importing());
            QCOMPARE(m_wizard->result(), cancel ? int(QDialog::Rejected) : int(QDialog::Accepted));
            QCOMPARE(m_asker.texts(), QStringList{cancel ? QStringLiteral("Import cancelled: the address book was left as it was.")
                                                         : QStringLiteral("%1 contact(s) added.").arg(rows)});
            QCOMPARE(contactCount(), rows);
        }
    }

    // The kind ticked on page 1 gives way to the file's: a CSV chosen, or typed
    // and Enter pressed, while Access is ticked is read as CSV, and page 1
    // shows it.
    void theKindFollowsTheFile_data()
    {
        QTest::addColumn<bool>("typed");
        QTest::newRow("chosen") << false;
        QTest::newRow("typed") << true;
    }

    void theKindFollowsTheFile()
    {
        QFETCH(bool, typed);
        m_wizard->start(QStringLiteral("clients"));
        QVERIFY(child<QRadioButton>("radio_access")->isChecked());
        click("btn_suivant");
        QVERIFY(child<QComboBox>("CB_table")->isVisible());
        if (typed) {
            // Enter is Next, never the file chooser's button.
            m_file.clear();
            QTest::keyClicks(child<QLineEdit>("e_nom_fic_source"), m_data->filePath(QStringLiteral("contacts.csv")));
            QVERIFY(child<QPushButton>("btn_suivant")->isEnabled());
            QTest::keyClick(child<QLineEdit>("e_nom_fic_source"), Qt::Key_Return);
        } else {
            click("btn_ouvrirfichier");
            click("btn_suivant");
        }
        QCOMPARE(m_asker.texts(), QStringList());
        QCOMPARE(m_wizard->page(), 3);
        QCOMPARE(m_wizard->session().kind(), SourceKind::Csv);
        QVERIFY(child<QRadioButton>("Radio_csv")->isChecked());
        QCOMPARE(preview()->topLevelItemCount(), 5);
    }

    // A Paradox file opens with its own table chosen and no table choice shown.
    void paradoxPreselectsItsTable()
    {
        m_file = qEnvironmentVariable("KIRVANE_TEST_DATA") + QStringLiteral("/import/paradox/paradoxdriver_db/CONTACTS.DB");
        reachPreview("Radio_paradox");
        QVERIFY(!child<QComboBox>("CB_table")->isVisible());
        QCOMPARE(child<QComboBox>("CB_table")->currentText(), QStringLiteral("CONTACTS"));
        QCOMPARE(preview()->topLevelItem(0)->text(0), QStringLiteral("Last Name"));
    }

    // An Access file shows its tables to choose from.
    void accessShowsItsTables()
    {
        m_file = qEnvironmentVariable("KIRVANE_TEST_DATA") + QStringLiteral("/import/mdb/jackcess_indexTestV1997.mdb");
        m_wizard->start(QStringLiteral("clients"));
        click("btn_suivant");
        click("btn_ouvrirfichier");
        QVERIFY(child<QComboBox>("CB_table")->isVisible());
        QCOMPARE(child<QComboBox>("CB_table")->count(), 3);
        child<QComboBox>("CB_table")->setCurrentIndex(1);
        click("btn_suivant");
        QCOMPARE(m_wizard->session().tableName(), QStringLiteral("Table2"));
    }

    // The store failing while the worker imports: the wizard ends with the
    // error and its reason, the book as it was.
    void aFailingStoreStopsTheImportAndSaysWhy()
    {
        reachPreview("Radio_csv");
        m_fields = {F_nom, F_email, F_ville};
        clickHeadings();
        g_storeFails = true;
        importAndWait();
        g_storeFails = false;
        QCOMPARE(m_asker.questions().size(), 1);
        QCOMPARE(m_asker.questions().front().kind, DialogKind::Error);
        QVERIFY2(m_asker.texts().first().contains(QLatin1String(kDiskFailure)), qPrintable(m_asker.texts().first()));
        QCOMPARE(contactCount(), 0);
    }

    // A file that is not what its extension claims: the format message, back
    // to page 1.
    void wrongFileGoesBackToTheFirstPage()
    {
        m_file = writeFile(QStringLiteral("contacts.dbf"), "Nom;Email\r\nA;a@example.org\r\n");
        m_wizard->start(QStringLiteral("clients"));
        child<QRadioButton>("Radio_dbase")->setChecked(true);
        click("btn_suivant");
        click("btn_ouvrirfichier");
        QCOMPARE(m_asker.texts(), QStringList{QStringLiteral("Incorrect file format.")});
        QCOMPARE(m_asker.questions().front().kind, DialogKind::Error);
        QCOMPARE(m_wizard->page(), 1);
        QCOMPARE(contactCount(), 0);
    }

    // The export command: a cancelled dialog writes nothing and says nothing;
    // a target the export refuses (the book's own table, its labels) is told
    // as an error and left as it was.
    void exportThroughItsDialog_data()
    {
        QTest::addColumn<QString>("target"); // a new file, none, or the book's "table" or "labels"
        QTest::addColumn<bool>("written");
        QTest::addColumn<bool>("error");
        QTest::newRow("written") << QStringLiteral("out.csv") << true << false;
        QTest::newRow("cancelled") << QString() << false << false;
        QTest::newRow("the book's table") << QStringLiteral("table") << false << true;
        QTest::newRow("the book's labels") << QStringLiteral("labels") << false << true;
    }

    void exportThroughItsDialog()
    {
        QFETCH(QString, target);
        QFETCH(bool, written);
        QFETCH(bool, error);
        const QString book = QStringLiteral("clients");
        const QString path = target == QLatin1String("table")    ? m_store->files().bookPath(book)
                             : target == QLatin1String("labels") ? m_store->files().labelPath(book)
                             : target.isEmpty()                  ? QString()
                                                                 : m_data->filePath(target);
        QByteArray before;
        if (QFile f(path); !path.isEmpty() && f.open(QIODevice::ReadOnly))
            before = f.readAll();
        const bool ok = exportWithDialog(nullptr, m_store->files(), book, m_asker, [&path] { return path; });
        QCOMPARE(ok, written);
        QCOMPARE(m_asker.questions().size(), size_t(error ? 1 : 0));
        if (error) {
            QCOMPARE(m_asker.questions().front().kind, DialogKind::Error);
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), before);
        }
        if (written)
            QVERIFY(QFile::exists(path));
    }
};

QTEST_MAIN(TstImportWizard)
#include "tst_importwizard.moc"
