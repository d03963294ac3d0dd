#include "contacts/widgets/contactsview.h"

#include "common/folders.h"
#include "contacts/contactform.h"
#include "contacts/gridselection.h"
#include "contacts/widgets/destinationdialog.h"
#include "contacts/bookmanager.h"
#include "contacts/widgets/duplicateswindow.h"
#include "contacts/widgets/searchwindow.h"
#include "contacts/widgets/titlesdialog.h"
#include "ui/waitcursor.h"
#include "store/addressbookstore.h"
#include "store/booktablemodel.h"
#include "texts/texttable.h"
#include "ui/buttonlook.h"
#include "ui/dialogparts.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTableView>
#include <QTextDocument>
#include <QVBoxLayout>

namespace kirvane::contacts {

using namespace kirvane::store;
using namespace kirvane::texts;

namespace {

// The grid's one column has a blank heading.
class BlankHeading : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (o == Qt::Horizontal && role == Qt::DisplayRole)
            return QString();
        return QIdentityProxyModel::headerData(section, o, role);
    }
};

struct Control {
    int field;
    const char *edit;
    const char *label; // nullptr: no caption of its own
};

// The single-line edits of the form, in the order they are laid out.
constexpr Control kControls[] = {
    {F_nom, "Edit_Nom", "Label1"},          {F_prenom, "Edit_Prenom", "Label2"},
    {F_societe, "Edit_Societe", "Label3"},  {F_adresse1, "Edit_Adresse1", "Label4"},
    {F_adresse2, "Edit_Adresse2", nullptr}, {F_code_postal, "Edit_Codepostal", "Label5"},
    {F_ville, "Edit_ville", "Label6"},      {F_pays, "Edit_Pays", "Label17"},
    {F_tel, "Edit_tel", "Label8"},          {F_fax, "Edit_fax", "Label9"},
    {F_email, "Edit_email", "Label10"},     {F_url, "Edit_URL", "Label12"},
};

constexpr int kFreeLabelWidth = 90;

} // namespace

ContactsView::ContactsView(AddressBookStore *store, QWidget *parent)
    : ui::ContactsViewFrame(parent)
    , m_store(store)
    , m_leftPanel(new QWidget(this))
    , m_booksHeading(new QLabel(m_leftPanel))
    , m_books(new QComboBox(m_leftPanel))
    , m_membersHeading(new QLabel(m_leftPanel))
    , m_grid(new QTableView(m_leftPanel))
{
    m_leftPanel->setObjectName(QStringLiteral("Panel_gauche"));
    m_booksHeading->setObjectName(QStringLiteral("Label13"));
    m_books->setObjectName(QStringLiteral("List_annuaire"));
    m_books->setEditable(false);
    m_membersHeading->setObjectName(QStringLiteral("Label14"));
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->hide();
    // Rows of one height: the grid then asks only for the rows it shows.
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 4);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->horizontalHeader()->setSectionsClickable(true);
    m_grid->setWordWrap(false);

    auto *left = new QVBoxLayout(m_leftPanel);
    left->setContentsMargins(0, 0, 0, 0);
    left->addWidget(m_booksHeading);
    left->addWidget(m_books);
    left->addWidget(m_membersHeading);
    left->addWidget(m_grid, 1);

    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("Panel_contact"));
    buildForm(panel);

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_leftPanel, 2);
    layout->addWidget(panel, 3);

    m_destinations = new DestinationDialog(this);
    m_titlesDialog = new TitlesDialog(this);
    showPrintPage = [this](const QString &html) { printPreview(html, this); };

    connect(m_books, &QComboBox::activated, this, [this](int index) { chooseBook(m_books->itemText(index)); });
    connect(m_grid, &QTableView::clicked, this, [this] { showCurrentRow(); });
    connect(m_grid->horizontalHeader(), &QHeaderView::sectionClicked, this, [this] { setDescending(!m_descending); });
    m_grid->installEventFilter(this);
    if (m_store) {
        connect(m_store->currentBookModel(), &QAbstractItemModel::modelReset, this, [this] {
            for (int c = 0; c < BookTableModel::kDisplayNameColumn; ++c)
                m_grid->setColumnHidden(c, true);
        });
        // Queued: a page that cannot be read is found while the grid paints.
        connect(m_store, &AddressBookStore::bookUnreadable, this, &ContactsView::sayUnreadable, Qt::QueuedConnection);
    }
    setEditing(false);
    applyLanguage(French);
}

ContactsView::~ContactsView() = default;

void ContactsView::buildForm(QWidget *panel)
{
    auto *grid = new QGridLayout(panel);
    m_header = new QLabel(panel);
    m_header->setObjectName(QStringLiteral("Label15"));
    QFont bold = m_header->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    m_header->setFont(bold);
    m_header->setAlignment(Qt::AlignCenter);
    m_header->setMinimumHeight(28);
    grid->addWidget(m_header, 0, 0, 1, 4);

    m_id = new QLineEdit(panel);
    m_id->setObjectName(QStringLiteral("Edit_Id"));
    m_id->hide();

    const auto addEdit = [&](int field, const char *editName, const char *labelName, int row, int column) {
        auto *edit = new QLineEdit(panel);
        edit->setObjectName(QString::fromLatin1(editName));
        edit->setMaxLength(maxLength(field));
        edit->installEventFilter(this);
        m_edits[field] = edit;
        if (labelName) {
            auto *label = new QLabel(panel);
            label->setObjectName(QString::fromLatin1(labelName));
            label->setBuddy(edit);
            m_labels[field] = label;
            grid->addWidget(label, row, column);
        }
        grid->addWidget(edit, row, column + 1);
    };
    int row = 1;
    for (const Control &c : kControls) {
        addEdit(c.field, c.edit, c.label, row, 0);
        ++row;
    }
    m_title = new QComboBox(panel);
    m_title->setObjectName(QStringLiteral("List_civilite"));
    m_title->setEditable(false);
    auto *titleLabel = new QLabel(panel);
    titleLabel->setObjectName(QStringLiteral("Label16"));
    m_labels[F_civilite] = titleLabel;
    m_titlesButton = new QPushButton(panel);
    m_titlesButton->setObjectName(QStringLiteral("btn_titre"));
    m_titlesButton->setText(QStringLiteral("…"));
    auto *titleRow = new QHBoxLayout;
    titleRow->addWidget(m_title, 1);
    titleRow->addWidget(m_titlesButton);
    grid->addWidget(titleLabel, row, 0);
    grid->addLayout(titleRow, row, 1);
    ++row;

    for (int i = 0; i < 4; ++i) {
        const int field = F_champ16 + i;
        auto *edit = new QLineEdit(panel);
        edit->setObjectName(QStringLiteral("Edit%1").arg(i + 1));
        edit->setMaxLength(maxLength(field));
        edit->installEventFilter(this);
        m_edits[field] = edit;
        m_freeLabels[i] = new QLabel(panel);
        m_freeLabels[i]->setObjectName(QStringLiteral("Label_chp%1").arg(i + 1));
        m_freeLabels[i]->setFixedWidth(kFreeLabelWidth);
        grid->addWidget(m_freeLabels[i], 1 + i, 2);
        grid->addWidget(edit, 1 + i, 3);
    }
    auto *notesLabel = new QLabel(panel);
    notesLabel->setObjectName(QStringLiteral("Notes"));
    m_labels[F_commentaire] = notesLabel;
    m_notes = new QPlainTextEdit(panel);
    m_notes->setObjectName(QStringLiteral("Memo1"));
    m_notes->installEventFilter(this);
    grid->addWidget(notesLabel, 5, 2);
    grid->addWidget(m_notes, 6, 2, row - 6, 2);

    m_save = new QPushButton(panel);
    m_save->setObjectName(QStringLiteral("Btn_Enregistrer"));
    m_cancel = new QPushButton(panel);
    m_cancel->setObjectName(QStringLiteral("Btn_Annuler"));
    grid->addLayout(ui::buttonRow({m_save, m_cancel}), row + 1, 0, 1, 4);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    connect(m_edits[F_nom], &QLineEdit::textChanged, this, &ContactsView::updateHeader);
    connect(m_edits[F_prenom], &QLineEdit::textChanged, this, &ContactsView::updateHeader);
    connect(m_save, &QPushButton::clicked, this, &ContactsView::saveContact);
    connect(m_cancel, &QPushButton::clicked, this, &ContactsView::cancelEditing);
    connect(m_titlesButton, &QPushButton::clicked, this, &ContactsView::editTitles);
}

void ContactsView::connectCommands(ui::Commands &commands)
{
    m_asker = &commands.asker();
    m_commands = std::make_unique<ContactCommands>(*m_store, *m_asker);
    m_commands->setLanguage(m_language);
    commands.provide(QStringLiteral("Ajouteruncontact1"), [this] { addContact(); });
    commands.provide(QStringLiteral("Copieruncontact1"), [this] { copyContacts(); });
    commands.provide(QStringLiteral("Dplacer1"), [this] { moveContacts(); });
    commands.provide(QStringLiteral("Modifier1"), [this] { modifyContact(); });
    commands.provide(QStringLiteral("Supprimer1"), [this] { deleteContacts(); });
    commands.provide(QStringLiteral("Imprimer1"), [this] { printContacts(); });
    commands.provide(QStringLiteral("titre1"), [this] { editTitles(); });

    const ContactsViewHook hook{
        [this](const QString &book, qint64 id) { showFoundContact(book, id); },
        [this](const QString &book) { reopenBook(book); },
        [this] { return bookChosen() ? m_books->currentText() : QString(); },
    };
    if (!m_searchWindow) {
        m_searchWindow = new SearchWindow(*m_store, *m_asker, hook, this);
        m_duplicatesWindow = new DuplicatesWindow(*m_store, *m_asker, hook, this);
        m_searchWindow->applyLanguage(m_language);
        m_duplicatesWindow->applyLanguage(m_language);
    }
    commands.provide(QStringLiteral("Rechercher1"), [this, hook] { openSearchWindow(*m_store, *m_asker, hook, this); });
    commands.provide(QStringLiteral("Ddoublonner1"),
                     [this, hook] { openDuplicatesWindow(*m_store, *m_asker, hook, this); });
}

void ContactsView::applyLanguage(int language)
{
    m_language = language;
    if (m_commands)
        m_commands->setLanguage(language);
    m_booksHeading->setText(text(ActiveBookName, language));
    m_membersHeading->setText(text(BookMembers, language));
    for (int k = 0; k < kContactFields; ++k)
        if (m_labels[k])
            m_labels[k]->setText(k == F_commentaire ? text(LabelNotes, language) : fieldCaption(k, language));
    ui::copyLook(m_save, ButtonSave, language);
    ui::copyLook(m_cancel, ButtonCancel, language);
    m_titlesButton->setToolTip(text(TitlesHint, language));
    m_destinations->applyLanguage(language);
    m_titlesDialog->applyLanguage(language);
    if (m_searchWindow) {
        m_searchWindow->applyLanguage(language);
        m_duplicatesWindow->applyLanguage(language);
    }
    refreshFreeLabels();
}

bool ContactsView::bookChosen() const
{
    return m_books->currentIndex() >= 0 && m_attached;
}

int ContactsView::selectedCount() const
{
    return m_grid->selectionModel() ? int(selectedRows(m_grid->selectionModel()).size()) : 0;
}

QList<qint64> ContactsView::selectedIds() const
{
    if (!m_grid->selectionModel() || !m_store)
        return {};
    return contacts::selectedIds(*m_store->currentBookModel(), m_grid->selectionModel());
}

// --- Showing -----------------------------------------------------------------

bool ContactsView::clearForm()
{
    setEditing(false);
    emptyFields();
    m_title->clear();
    return true;
}

void ContactsView::reloadBooks()
{
    const QStringList books = m_store ? m_store->listBooks() : QStringList();
    const QString choose = bookToShow(books, m_knownBooks, m_attached ? m_books->currentText() : QString());
    m_knownBooks = books;
    {
        const QSignalBlocker block(m_books);
        m_books->clear();
        m_books->addItems(books);
        m_books->setCurrentIndex(-1);
    }
    if (choose.isEmpty())
        detachGrid();
    else
        chooseBook(choose);
}

void ContactsView::detachGrid()
{
    m_grid->setModel(nullptr);
    delete m_gridModel;
    m_gridModel = nullptr;
    m_attached = false;
}

void ContactsView::chooseBook(const QString &book)
{
    if (!m_store)
        return;
    ui::WaitCursor wait;
    const int index = m_books->findText(book);
    if (index >= 0 && m_books->currentIndex() != index) {
        const QSignalBlocker block(m_books);
        m_books->setCurrentIndex(index);
    }
    m_descending = false;
    (void)m_store->openBook(book);
    if (!m_attached) {
        auto *proxy = new BlankHeading(this);
        proxy->setSourceModel(m_store->currentBookModel());
        m_grid->setModel(proxy);
        m_gridModel = proxy;
        m_attached = true;
    }
    for (int c = 0; c < BookTableModel::kDisplayNameColumn; ++c)
        m_grid->setColumnHidden(c, true);
    refreshFreeLabels();
    emptyFields();
}

void ContactsView::sayUnreadable(const QString &book, const QString &reason)
{
    if (!m_asker)
        return;
    m_asker->ask(DialogKind::Error, text(BookDamaged, m_language).arg(book, reason));
}

void ContactsView::reopenBook(const QString &book)
{
    const int index = m_books->findText(book, Qt::MatchFixedString);
    if (index >= 0 && !m_editing)
        chooseBook(m_books->itemText(index));
}

void ContactsView::showFoundContact(const QString &book, qint64 id)
{
    if (m_editing || m_books->findText(book, Qt::MatchFixedString) < 0)
        return;
    reopenBook(book);
    goToId(id);
}

void ContactsView::setDescending(bool descending)
{
    if (!m_attached || m_editing)
        return;
    ui::WaitCursor wait;
    m_descending = descending;
    (void)m_store->openBook(m_store->currentBook(), descending);
    emptyFields();
}

void ContactsView::emptyFields()
{
    m_id->clear();
    for (QLineEdit *e : m_edits)
        if (e)
            e->clear();
    m_notes->clear();
    m_title->setCurrentIndex(-1);
    updateHeader();
}

void ContactsView::showRecord(const ContactRecord &record)
{
    m_id->setText(record[F_id].value);
    for (int k = 0; k < kContactFields; ++k)
        if (m_edits[k])
            m_edits[k]->setText(record[k].value);
    m_notes->setPlainText(record[F_commentaire].value);
    loadTitles(record[F_civilite].value, true);
    refreshFreeLabels();
}

void ContactsView::showCurrentRow()
{
    const QModelIndex current = m_grid->currentIndex();
    if (!m_attached || !current.isValid() || !m_commands) {
        emptyFields();
        return;
    }
    if (const std::optional<ContactRecord> record = m_commands->readContactAt(current.row()))
        showRecord(*record);
    else
        emptyFields();
}

void ContactsView::loadTitles(const QString &current, bool chooseCurrent)
{
    const QStringList choices = TitleList::choicesFor(m_titleFile.load(), chooseCurrent ? current : QString());
    const QSignalBlocker block(m_title);
    m_title->clear();
    m_title->addItems(choices);
    m_title->setCurrentIndex(chooseCurrent ? TitleList::indexOf(choices, current) : -1);
}

void ContactsView::refreshFreeLabels()
{
    const ContactRecord labels = m_store && m_attached ? m_store->currentLabels() : emptyContact();
    for (int i = 0; i < 4; ++i) {
        QLabel *label = m_freeLabels[i];
        const QString full = m_attached ? labels[F_champ16 + i].label : text(FieldFree1 + i, m_language);
        const QFontMetrics metrics(label->font());
        const QString shown = elideLabel(full, label->width(),
                                         [&metrics](const QString &t) { return metrics.horizontalAdvance(t); });
        label->setText(shown);
        label->setToolTip(shown == full ? QString() : full);
    }
}

void ContactsView::updateHeader()
{
    m_header->setText(m_edits[F_nom]->text() + u' ' + m_edits[F_prenom]->text());
}

ContactRecord ContactsView::formRecord() const
{
    ContactRecord c = m_store && m_attached ? m_store->currentLabels() : emptyContact();
    for (auto &f : c)
        f.value.clear();
    c[F_id].value = m_id->text();
    for (int k = 0; k < kContactFields; ++k)
        if (m_edits[k])
            c[k].value = m_edits[k]->text();
    c[F_civilite].value = m_title->currentIndex() >= 0 ? m_title->currentText() : QString();
    c[F_commentaire].value = m_notes->toPlainText();
    return c;
}

void ContactsView::goToId(qint64 id)
{
    const int row = m_commands->rowOf(id);
    m_grid->clearSelection();
    if (row < 0) {
        m_grid->setCurrentIndex(QModelIndex());
        emptyFields();
        return;
    }
    const QModelIndex index = m_grid->model()->index(row, BookTableModel::kDisplayNameColumn);
    m_grid->setCurrentIndex(index);
    m_grid->selectRow(row);
    m_grid->scrollTo(index);
    showCurrentRow();
}

// --- Edit mode ---------------------------------------------------------------

void ContactsView::setEditing(bool editing)
{
    const bool changed = editing != m_editing;
    m_editing = editing;
    for (QLineEdit *e : m_edits)
        if (e)
            e->setReadOnly(!editing);
    m_notes->setReadOnly(!editing);
    m_title->setEnabled(editing);
    m_save->setVisible(editing);
    m_cancel->setVisible(editing);
    m_leftPanel->setEnabled(!editing);
    if (!changed)
        return;
    if (editing)
        Q_EMIT editingStarted();
    else
        Q_EMIT editingEnded();
}

bool ContactsView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyRelease && watched == m_grid)
        showCurrentRow();
    if (event->type() == QEvent::KeyPress && watched != m_grid && !m_editing) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const auto held = key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
        if (!held && key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab && m_asker) {
            m_asker->inform(text(ContactNotEditable, m_language));
            return true;
        }
    }
    return ui::ContactsViewFrame::eventFilter(watched, event);
}

void ContactsView::addContact()
{
    if (!m_commands->mayRun(ContactCommands::Command::Add, bookChosen(), selectedCount()))
        return;
    m_grid->clearSelection();
    m_adding = true;
    setEditing(true);
    emptyFields();
    loadTitles(QString(), false);
    m_edits[F_nom]->setFocus();
}

void ContactsView::modifyContact()
{
    if (!m_commands->mayRun(ContactCommands::Command::Modify, bookChosen(), selectedCount()))
        return;
    if (m_id->text().isEmpty())
        showCurrentRow();
    m_adding = false;
    setEditing(true);
    m_edits[F_nom]->setFocus();
}

void ContactsView::saveContact()
{
    if (!m_editing || !m_commands)
        return;
    ContactRecord record = formRecord();
    const ContactCommands::SaveResult result =
        m_adding ? m_commands->addContact(record) : m_commands->modifyContact(record);
    // The apostrophes replaced show in the edits, saved or not.
    for (int k = 0; k < kContactFields; ++k)
        if (m_edits[k] && m_edits[k]->text() != record[k].value)
            m_edits[k]->setText(record[k].value);
    // Declined or refused by the store, the form stays open with what was typed.
    if (result.outcome != ContactCommands::Outcome::Saved)
        return;
    setEditing(false);
    m_descending = false;
    goToId(result.id);
}

void ContactsView::cancelEditing()
{
    if (!m_editing)
        return;
    setEditing(false);
    showCurrentRow();
}

// --- Commands on the selection -----------------------------------------------

void ContactsView::copyContacts()
{
    if (!m_commands->mayRun(ContactCommands::Command::Copy, bookChosen(), selectedCount()))
        return;
    const QStringList targets = m_destinations->choose(m_store->listBooks(), true);
    if (targets.isEmpty())
        return;
    const qint64 current = m_store->currentBookModel()->idAt(m_grid->currentIndex().row());
    ui::WaitCursor wait;
    m_grid->setUpdatesEnabled(false);
    const QList<qint64> ids = selectedIds();
    m_commands->copyTo(targets, ids);
    m_descending = false;
    m_grid->setUpdatesEnabled(true);
    goToId(current);
}

void ContactsView::moveContacts()
{
    if (!m_commands->mayRun(ContactCommands::Command::Move, bookChosen(), selectedCount()))
        return;
    const QStringList target = m_destinations->choose(m_store->listBooks(), false);
    if (target.isEmpty())
        return;
    const qint64 back = ContactCommands::returnId(*m_store->currentBookModel(), m_grid->selectionModel());
    ui::WaitCursor wait;
    m_grid->setUpdatesEnabled(false);
    m_commands->moveTo(target.first(), selectedIds());
    m_descending = false;
    m_grid->setUpdatesEnabled(true);
    goToId(back);
}

void ContactsView::deleteContacts()
{
    if (!m_commands->mayRun(ContactCommands::Command::Delete, bookChosen(), selectedCount()))
        return;
    const QList<qint64> ids = selectedIds();
    const qint64 back = ContactCommands::returnId(*m_store->currentBookModel(), m_grid->selectionModel());
    m_grid->setUpdatesEnabled(false);
    const bool deleted = m_commands->deleteContacts(ids);
    m_grid->setUpdatesEnabled(true);
    if (!deleted)
        return;
    m_descending = false;
    goToId(back);
}

void ContactsView::printContacts()
{
    if (!m_commands->mayRun(ContactCommands::Command::Print, bookChosen(), selectedCount()))
        return;
    const std::optional<QString> page = m_commands->printPage(selectedIds());
    if (!page)
        return;
    // The page is also left in the temporary folder, where the user may open it.
    QFile file(common::tempFolder() + QStringLiteral("Kirvane_print.htm"));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(page->toUtf8());
    if (showPrintPage)
        showPrintPage(*page);
}

void ContactsView::printPreview(const QString &html, QWidget *parent)
{
    QTextDocument document;
    document.setHtml(html);
    QPrintPreviewDialog preview(parent);
    preview.setObjectName(QStringLiteral("PrintPreview"));
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&document](QPrinter *printer) { document.print(printer); });
    preview.exec();
}

void ContactsView::editTitles()
{
    if (!m_titlesDialog->edit(m_titleFile))
        return;
    if (m_editing) {
        loadTitles(QString(), false);
        if (m_title->count() > 0)
            m_title->setCurrentIndex(0);
    }
}

} // namespace kirvane::contacts
