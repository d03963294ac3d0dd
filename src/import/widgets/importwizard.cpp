#include "import/widgets/importwizard.h"

#include "import/contactimport.h"
#include "import/widgets/columnchoicedialog.h"
#include "texts/texttable.h"
#include "common/folders.h"
#include "common/inifile.h"
#include "store/bookfiles.h"
#include "store/contactrecord.h"
#include "texts/asker.h"
#include "ui/bilingual.h"
#include "ui/buttonlook.h"
#include "ui/waitcursor.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kirvane::import {

using namespace kirvane::store;
using texts::DialogKind;
using ui::copyLook;
using ui::displayLines;
using ui::WaitCursor;

namespace {

// The heading pictures: 0 not identified, 1 unused, 2 a contact field.
QIcon headingIcon(int field)
{
    QStyle *style = QApplication::style();
    if (field == kNotIdentified)
        return style->standardIcon(QStyle::SP_MessageBoxQuestion);
    if (field == kUnused)
        return style->standardIcon(QStyle::SP_DialogNoButton);
    return style->standardIcon(QStyle::SP_DialogApplyButton);
}

struct KindButton {
    const char *name;
    SourceKind kind;
    int entry;
};

// The seven kinds in their order, then the three kinds added after them.
constexpr KindButton kKindButtons[] = {
    {"Radio_Wab", SourceKind::Wab, texts::ImportKindWab},
    {"radio_access", SourceKind::Access, texts::ImportKindAccess},
    {"Radio_excel", SourceKind::Excel, texts::ImportKindExcel},
    {"Radio_lotus", SourceKind::Lotus, texts::ImportKindLotus},
    {"Radio_paradox", SourceKind::Paradox, texts::ImportKindParadox},
    {"Radio_csv", SourceKind::Csv, texts::ImportKindCsv},
    {"Radio_dbase", SourceKind::Dbase, texts::ImportKindDbase},
    {"Radio_xlsx", SourceKind::Xlsx, texts::ImportKindXlsx},
    {"Radio_ods", SourceKind::Ods, texts::ImportKindOds},
    {"Radio_vcard", SourceKind::Vcard, texts::ImportKindVcard},
};

// Where the file chooser opens: the folder last used, kept in interface.ini
// beside the folders of the message view's choosers.
const QString kStateSection = QStringLiteral("Import");
const QString kFolderKey = QStringLiteral("SourceFolder");

} // namespace

ImportWizard::ImportWizard(const BookFiles &files, texts::Asker &asker, QWidget *parent)
    : QDialog(parent), m_files(files), m_asker(asker), m_session(&files), m_job(files)
{
    setObjectName(QStringLiteral("TF_importation_multi_format"));
    setModal(true);
    setMinimumSize(550, 360);

    m_pages = new QStackedWidget(this);

    // Page 1: the kind of file.
    auto *page1 = new QWidget;
    page1->setObjectName(QStringLiteral("P_etape1"));
    m_intro = new QLabel;
    auto *group = new QGroupBox;
    group->setObjectName(QStringLiteral("GroupBox_type"));
    auto *kinds = new QGridLayout(group);
    int i = 0;
    for (const KindButton &k : kKindButtons) {
        auto *radio = new QRadioButton;
        radio->setObjectName(QLatin1String(k.name));
        kinds->addWidget(radio, i % 7, i / 7);
        m_kinds.emplace_back(radio, k.kind);
        ++i;
    }
    m_fileType = new QLabel;
    m_csvNote = new QPlainTextEdit;
    m_csvNote->setObjectName(QStringLiteral("Memo_csv"));
    m_csvNote->setReadOnly(true);
    m_csvNote->setMaximumHeight(70);
    auto *l1 = new QVBoxLayout(page1);
    l1->addWidget(m_intro);
    l1->addWidget(m_fileType);
    l1->addWidget(group);
    l1->addWidget(m_csvNote);

    // Page 2: the file and its table.
    auto *page2 = new QWidget;
    page2->setObjectName(QStringLiteral("P_etape2"));
    m_page2Text = new QLabel;
    m_sourceLabel = new QLabel;
    m_sourceFile = new QLineEdit;
    m_sourceFile->setObjectName(QStringLiteral("e_nom_fic_source"));
    m_openFile = new QPushButton(QStringLiteral("..."));
    m_openFile->setObjectName(QStringLiteral("btn_ouvrirfichier"));
    m_tableLabel = new QLabel;
    m_table = new QComboBox;
    m_table->setObjectName(QStringLiteral("CB_table"));
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(m_sourceFile);
    fileRow->addWidget(m_openFile);
    auto *l2 = new QVBoxLayout(page2);
    l2->addWidget(m_page2Text);
    l2->addWidget(m_sourceLabel);
    l2->addLayout(fileRow);
    l2->addWidget(m_tableLabel);
    l2->addWidget(m_table);
    l2->addStretch();

    // Page 3: the preview and its mapping.
    auto *page3 = new QWidget;
    page3->setObjectName(QStringLiteral("P_etape3"));
    m_preview = new QTreeWidget;
    m_preview->setObjectName(QStringLiteral("Lst_contact"));
    m_preview->setRootIsDecorated(false);
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_preview->header()->setSectionsClickable(true);
    m_preview->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_progress = new QProgressBar;
    m_progress->setObjectName(QStringLiteral("PBar_csv"));
    m_skipHeader = new QCheckBox;
    m_skipHeader->setObjectName(QStringLiteral("Chk_ignorer_colonne"));
    auto *labels = new QHBoxLayout;
    for (int k = 0; k < 4; ++k) {
        m_labels[size_t(k)] = new QLineEdit;
        m_labels[size_t(k)]->setObjectName(QStringLiteral("e_chp_%1").arg(16 + k));
        labels->addWidget(m_labels[size_t(k)]);
    }
    m_existingLabel = new QLabel;
    auto *existing = new QHBoxLayout;
    const char *existingNames[] = {"Radio_existant_ajouter", "Radio_existant_ignorer", "Radio_existant_maj"};
    for (size_t k = 0; k < m_existing.size(); ++k) {
        m_existing[k] = new QRadioButton;
        m_existing[k]->setObjectName(QLatin1String(existingNames[k]));
        existing->addWidget(m_existing[k]);
    }
    existing->addStretch();
    auto *l3 = new QVBoxLayout(page3);
    l3->addWidget(m_preview);
    l3->addWidget(m_progress);
    l3->addWidget(m_skipHeader);
    l3->addWidget(m_existingLabel);
    l3->addLayout(existing);
    l3->addLayout(labels);

    m_pages->addWidget(page1);
    m_pages->addWidget(page2);
    m_pages->addWidget(page3);

    m_cancel = new QPushButton;
    m_cancel->setObjectName(QStringLiteral("btn_annuler"));
    m_execute = new QPushButton;
    m_execute->setObjectName(QStringLiteral("btn_executer"));
    m_previous = new QPushButton;
    m_previous->setObjectName(QStringLiteral("btn_precedent"));
    m_next = new QPushButton;
    m_next->setObjectName(QStringLiteral("btn_suivant"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cancel);
    buttons->addStretch();
    buttons->addWidget(m_previous);
    buttons->addWidget(m_next);
    buttons->addWidget(m_execute);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    layout->addLayout(buttons);

    m_choice = new ColumnChoiceDialog(this);

    connect(m_next, &QPushButton::clicked, this, &ImportWizard::nextPage);
    connect(m_previous, &QPushButton::clicked, this, &ImportWizard::previousPage);
    connect(m_openFile, &QPushButton::clicked, this, &ImportWizard::chooseSourceFile);
    // A typed or pasted path is opened by Next, or by Enter, which is Next:
    // no other button of the wizard is clicked by Enter.
    connect(m_sourceFile, &QLineEdit::textEdited, this, [this](const QString &text) {
        m_session.closeFile();
        m_table->clear();
        m_next->setEnabled(!text.trimmed().isEmpty());
    });
    for (QPushButton *b : {m_cancel, m_previous, m_openFile, m_execute})
        b->setAutoDefault(false);
    m_next->setDefault(true);
    connect(m_cancel, &QPushButton::clicked, this, &ImportWizard::cancelWizard);
    connect(m_execute, &QPushButton::clicked, this, &ImportWizard::startImport);
    connect(&m_job, &ImportJob::progressed, this, [this](int value, int maximum) {
        m_progress->setRange(0, maximum); // 0: the count is not known yet
        m_progress->setValue(value);
    });
    connect(&m_job, &ImportJob::finished, this, &ImportWizard::importFinished);
    connect(m_preview->header(), &QHeaderView::sectionClicked, this, &ImportWizard::mapClickedColumn);

    m_chooseFile = [this](SourceKind kind) { return defaultFileChoice(kind); };
    m_chooseColumn = [this](int column) { return defaultColumnChoice(column); };
    applyLanguage(texts::French);
    showPage(1);
}

ImportWizard::~ImportWizard() = default;

void ImportWizard::applyLanguage(int language)
{
    m_language = language;
    using namespace texts;
    setWindowTitle(text(ImportCaption, language));
    m_intro->setText(displayLines(text(ImportPage1, language)));
    m_fileType->setText(text(ImportFileType, language));
    for (size_t k = 0; k < m_kinds.size(); ++k)
        m_kinds[k].first->setText(text(kKindButtons[k].entry, language));
    m_csvNote->setPlainText(displayLines(text(ImportCsvNote, language)));
    m_page2Text->setText(text(ImportPage2, language));
    m_sourceLabel->setText(text(ImportSourceFile, language));
    m_tableLabel->setText(text(ImportTable, language));
    m_skipHeader->setText(text(ImportIgnoreFirstLine, language));
    m_existingLabel->setText(text(ImportExistingLabel, language));
    m_existing[0]->setText(text(ImportExistingAdd, language));
    m_existing[1]->setText(text(ImportExistingSkip, language));
    m_existing[2]->setText(text(ImportExistingUpdate, language));
    copyLook(m_cancel, ButtonCancel, language);
    copyLook(m_execute, ButtonImport, language);
    copyLook(m_previous, ButtonPrevious, language);
    copyLook(m_next, ButtonNext, language);
    m_choice->applyLanguage(language);
    // Headings keep their choice, in the new language.
    for (int c = 0; c < m_session.columnCount() && m_preview->headerItem(); ++c)
        setHeading(c, m_session.mapping().value(c, kNotIdentified));
}

bool ImportWizard::importInto(const QString &book)
{
    start(book);
    exec();
    return m_imported;
}

void ImportWizard::start(const QString &book)
{
    m_book = book;
    m_imported = false;
    m_session.closeFile();
    store::ContactRecord labels = emptyContact();
    readLabels(m_files.labelPath(book), labels);
    for (int k = 0; k < 4; ++k)
        m_labels[size_t(k)]->setText(labels[size_t(F_champ16 + k)].label);
    m_kinds[1].first->setChecked(true); // Access
    m_existing[0]->setChecked(true);
    m_preview->clear();
    m_preview->setColumnCount(0);
    showPage(1);
}

void ImportWizard::showPage(int page)
{
    m_page = page;
    m_pages->setCurrentIndex(page - 1);
    m_previous->setEnabled(page > 1);
    m_next->setEnabled(page == 1);
    m_execute->setVisible(page == 3);
}

SourceKind ImportWizard::chosenKind() const
{
    for (const auto &[radio, kind] : m_kinds)
        if (radio->isChecked())
            return kind;
    return SourceKind::Access;
}

void ImportWizard::showKind(SourceKind kind)
{
    for (const auto &[radio, k] : m_kinds)
        if (k == kind)
            radio->setChecked(true);
    const bool choose = m_session.choosesTable();
    m_table->setVisible(choose);
    m_tableLabel->setVisible(choose);
}

void ImportWizard::nextPage()
{
    if (m_page == 1) {
        m_session.setKind(chosenKind());
        m_session.closeFile();
        m_sourceFile->clear();
        m_table->clear();
        showKind(m_session.kind());
        showPage(2);
        return;
    }
    if (m_page == 2) {
        const QString typed = m_sourceFile->text().trimmed();
        if (!m_session.hasFile() && !typed.isEmpty())
            openSourceFile(typed);
        if (!m_session.hasFile() || m_page != 2)
            return;
        showPage(3);
        bool opened = false;
        {
            WaitCursor wait;
            opened = m_session.openTable(m_table->currentText());
        }
        if (!opened) {
            m_asker.ask(DialogKind::Error, texts::text(texts::ImportBadFormat, m_language));
            backToFirstPage();
            return;
        }
        fillPreview();
    }
}

void ImportWizard::previousPage()
{
    if (m_page == 3) {
        m_session.closeTable();
        showPage(2);
        m_next->setEnabled(m_session.hasFile());
        return;
    }
    if (m_page == 2)
        backToFirstPage();
}

void ImportWizard::backToFirstPage()
{
    m_session.closeFile();
    showPage(1);
}

void ImportWizard::chooseSourceFile()
{
    m_session.closeFile();
    m_next->setEnabled(false);
    const QString path = m_chooseFile ? m_chooseFile(m_session.kind()) : QString();
    if (path.isEmpty())
        return;
    openSourceFile(path);
}

void ImportWizard::openSourceFile(const QString &path)
{
    m_sourceFile->setText(QDir::toNativeSeparators(path));
    bool opened = false;
    {
        WaitCursor wait;
        opened = m_session.openFile(QDir::fromNativeSeparators(path), true);
    }
    showKind(m_session.kind());
    if (!opened) {
        m_asker.ask(DialogKind::Error, texts::text(texts::ImportBadFormat, m_language));
        backToFirstPage();
        return;
    }
    m_table->clear();
    m_table->addItems(m_session.tables());
    m_table->setCurrentIndex(qMax(0, m_session.tables().indexOf(m_session.preselectedTable())));
    m_next->setEnabled(true);
}

void ImportWizard::cancelWizard()
{
    reject();
}

void ImportWizard::reject()
{
    if (m_job.isRunning()) {
        m_job.cancel();
        m_cancel->setEnabled(false);
        return;
    }
    m_session.closeFile();
    QDialog::reject();
}

void ImportWizard::fillPreview()
{
    WaitCursor wait;
    m_preview->setUpdatesEnabled(false);
    m_preview->clear();
    const int columns = m_session.columnCount();
    m_preview->setColumnCount(columns);
    for (int c = 0; c < columns; ++c)
        setHeading(c, m_session.mapping().value(c, kNotIdentified));
    m_skipHeader->setChecked(m_session.firstLineIsHeading());
    const QList<QStringList> rows = m_session.previewRows();
    m_progress->setRange(0, int(qMax<qsizetype>(1, rows.size())));
    m_progress->setValue(0);
    for (const QStringList &row : rows) {
        m_preview->addTopLevelItem(new QTreeWidgetItem(row));
        m_progress->setValue(m_progress->value() + 1);
    }
    m_progress->setValue(m_progress->maximum());
    m_preview->setUpdatesEnabled(true);
}

void ImportWizard::setHeading(int column, int field)
{
    QTreeWidgetItem *header = m_preview->headerItem();
    header->setText(column, mappingText(field, m_language));
    header->setIcon(column, headingIcon(field));
}

void ImportWizard::mapClickedColumn(int column)
{
    if (column < 0 || column >= m_session.columnCount())
        return;
    const int field = m_chooseColumn ? m_chooseColumn(column) : kNotIdentified;
    if (field == kNotIdentified)
        return;
    m_session.mapColumn(column, field);
    setHeading(column, field);
}

void ImportWizard::startImport()
{
    const QList<MappingProblem> problems = m_session.problems();
    for (MappingProblem p : problems)
        m_asker.ask(DialogKind::ImportOk, texts::text(problemEntry(p), m_language));
    if (!problems.isEmpty())
        return;
    QStringList labels;
    for (QLineEdit *e : m_labels)
        labels << e->text();
    // The labels as they were, for a cancelled import to leave the book whole.
    store::ContactRecord before = emptyContact();
    readLabels(m_files.labelPath(m_book), before);
    m_labelsBefore.clear();
    for (int k = 0; k < 4; ++k)
        m_labelsBefore << before[size_t(F_champ16 + k)].label;
    if (!writeLabels(m_files.labelPath(m_book), labels)) {
        ImportResult failed;
        failed.error = QStringLiteral("cannot write %1").arg(m_files.labelPath(m_book));
        importFinished(failed);
        return;
    }
    const std::optional<ImportPlan> plan = m_session.plan();
    if (!plan)
        return;
    ImportOptions options;
    options.skipHeader = m_skipHeader->isChecked();
    options.existing = m_existing[1]->isChecked()   ? ExistingAddress::Skip
                       : m_existing[2]->isChecked() ? ExistingAddress::Update
                                                    : ExistingAddress::Add;
    options.titlesPath = common::findNoCase(common::dataFolder(), QStringLiteral("titre.ini"));
    showImporting(true);
    if (!m_job.start(*plan, m_book, options))
        showImporting(false);
}

void ImportWizard::showImporting(bool importing)
{
    m_pages->setEnabled(!importing);
    m_previous->setEnabled(!importing);
    m_execute->setEnabled(!importing);
    m_cancel->setEnabled(true);
    if (importing) {
        m_progress->setRange(0, 0);
        m_progress->setValue(0);
    }
}

void ImportWizard::importFinished(const ImportResult &result)
{
    showImporting(false);
    m_session.closeFile();
    if (result.cancelled)
        (void)writeLabels(m_files.labelPath(m_book), m_labelsBefore); // as they were read just before
    m_imported = result.ok && result.added > 0;
    m_asker.ask(result.ok || result.cancelled ? DialogKind::ImportOk : DialogKind::Error,
                importSummary(result, m_language));
    if (result.ok)
        Q_EMIT bookImported(m_book);
    if (result.cancelled)
        QDialog::reject();
    else
        accept();
}

QString ImportWizard::defaultFileChoice(SourceKind kind)
{
    static const char *const dialogNames[] = {"OpenDialog_csv", "OpenDialog_access", "OpenDialog_excel", "OpenDialog_lotus",
                                              "OpenDialog_paradox", "OpenDialog_dbase", "OpenDialog_wab", "OpenDialog_xlsx",
                                              "OpenDialog_ods", "OpenDialog_vcard"};
    // The kind's own files first, then every kind: the file decides its kind.
    QStringList filters{kindFilter(kind)}, every;
    for (const KindButton &k : kKindButtons)
        every << kindPatterns(k.kind);
    filters << QStringLiteral("%1 (%2)").arg(texts::text(texts::ImportEveryKind, m_language), every.join(u' '));
    for (const KindButton &k : kKindButtons)
        if (k.kind != kind)
            filters << kindFilter(k.kind);
    const QString statePath = common::dataFolder() + QStringLiteral("interface.ini");
    const QString folder = common::IniFile(statePath).value(kStateSection, kFolderKey);
    QFileDialog dialog(this);
    dialog.setObjectName(QLatin1String(dialogNames[int(kind)]));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(filters);
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        dialog.setDirectory(folder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString path = dialog.selectedFiles().first();
    common::IniFile state(statePath);
    state.setValue(kStateSection, kFolderKey, QFileInfo(path).absolutePath());
    (void)state.save(statePath); // a folder that cannot be remembered is simply not
    return path;
}

int ImportWizard::defaultColumnChoice(int)
{
    return m_choice->choose();
}

} // namespace kirvane::import
