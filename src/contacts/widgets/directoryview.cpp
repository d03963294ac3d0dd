#include "contacts/widgets/directoryview.h"

#include "contacts/widgets/bookdialogs.h"
#include "ui/waitcursor.h"
#include "store/addressbookstore.h"
#include "texts/texttable.h"

#include <QApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

namespace kirvane::contacts {

using namespace kirvane::texts;

namespace {

QLineEdit *readOnlyEdit(const QString &objectName, QWidget *parent)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(objectName);
    e->setReadOnly(true);
    return e;
}

} // namespace

DirectoryView::DirectoryView(store::AddressBookStore *store, QWidget *parent)
    : ui::DirectoryViewFrame(parent)
    , m_store(store)
    , m_list(new QListWidget(this))
    , m_listHeading(new QLabel(this))
    , m_detailsHeading(new QLabel(this))
    , m_header(new QLabel(this))
    , m_nameEdit(readOnlyEdit(QStringLiteral("E_nom_base"), this))
    , m_countLabel(new QLabel(this))
    , m_count(readOnlyEdit(QStringLiteral("E_NbrAdresse"), this))
{
    m_list->setObjectName(QStringLiteral("Dir_List"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listHeading->setObjectName(QStringLiteral("Label7"));
    m_header->setObjectName(QStringLiteral("Label8"));
    m_header->setAlignment(Qt::AlignCenter);
    m_header->setAutoFillBackground(true);
    m_header->setMinimumHeight(28);
    QFont bold = m_header->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    m_header->setFont(bold);
    m_nameEdit->hide();
    m_detailsHeading->setObjectName(QStringLiteral("Label_details"));
    m_countLabel->setObjectName(QStringLiteral("Label1"));
    connect(m_nameEdit, &QLineEdit::textChanged, m_header, &QLabel::setText);

    auto *details = new QFormLayout;
    details->addRow(m_countLabel, m_count);
    for (int i = 0; i < 4; ++i) {
        m_labelNames[i] = new QLabel(this);
        m_labelNames[i]->setObjectName(QStringLiteral("Label%1").arg(i + 2));
        m_labels[i] = readOnlyEdit(QStringLiteral("E_champ%1").arg(16 + i), this);
        details->addRow(m_labelNames[i], m_labels[i]);
    }
    auto *right = new QVBoxLayout;
    right->addWidget(m_header);
    right->addWidget(m_detailsHeading);
    right->addLayout(details);
    right->addStretch();

    auto *left = new QVBoxLayout;
    left->addWidget(m_listHeading);
    left->addWidget(m_list, 1);

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right, 2);

    m_newDialog = new FieldLabelsDialog(FieldLabelsDialog::Purpose::NewBook, this);
    m_copyDialog = new BookNameDialog(BookNameDialog::Purpose::Copy, this);
    m_renameDialog = new BookNameDialog(BookNameDialog::Purpose::Rename, this);
    m_fieldsDialog = new FieldLabelsDialog(FieldLabelsDialog::Purpose::RenameFields, this);
    m_deleteDialog = new DeleteBookDialog(this);

    connect(m_list, &QListWidget::itemClicked, this, &DirectoryView::showDetails);
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            showDetails();
    });
    applyLanguage(French);
}

DirectoryView::~DirectoryView() = default;

void DirectoryView::connectCommands(ui::Commands &commands)
{
    m_asker = &commands.asker();
    m_commands = std::make_unique<DirectoryCommands>(*m_store, *m_asker);
    m_commands->setLanguage(m_language);
    m_renameDialog->inUseNotice = [this] {
        m_asker->inform(text(BookNameInUse, m_language));
    };
    commands.provide(QStringLiteral("Ajouter1"), [this] { createBook(); });
    commands.provide(QStringLiteral("Dupliquer1"), [this] { duplicateBook(); });
    commands.provide(QStringLiteral("Renommer1"), [this] { renameBook(); });
    commands.provide(QStringLiteral("Renommerleschamps1"), [this] { renameFields(); });
    commands.provide(QStringLiteral("Supprimer2"), [this] { deleteBook(); });
    if (importInto)
        commands.provide(QStringLiteral("Importer"), [this] {
            const QString book = selectedBook();
            if (!m_commands->maySelect(book))
                return;
            importInto(book);
            showDetails(); // the import may have added contacts and renamed the free fields
        });
    if (exportBook)
        commands.provide(QStringLiteral("exporter"), [this] {
            if (m_commands->maySelect(selectedBook()))
                exportBook(selectedBook());
        });
    if (synchronise)
        commands.provide(QStringLiteral("Synchroniser1"), [this] { synchronise(); });
}

void DirectoryView::applyLanguage(int language)
{
    m_language = language;
    if (m_commands)
        m_commands->setLanguage(language);
    m_listHeading->setText(text(BooksListHeading, language));
    m_detailsHeading->setText(text(BookDetails, language));
    m_countLabel->setText(text(BookAddressCount, language));
    for (int i = 0; i < 4; ++i)
        m_labelNames[i]->setText(text(BookFieldName1 + i, language));
    m_newDialog->applyLanguage(language);
    m_copyDialog->applyLanguage(language);
    m_renameDialog->applyLanguage(language);
    m_fieldsDialog->applyLanguage(language);
    m_deleteDialog->applyLanguage(language);
}

QString DirectoryView::selectedBook() const
{
    const QList<QListWidgetItem *> items = m_list->selectedItems();
    return items.isEmpty() ? QString() : items.first()->text();
}

void DirectoryView::reloadBooks()
{
    clearDetails();
    const QSignalBlocker block(m_list);
    m_list->clear();
    m_list->addItems(m_store->listBooks());
    m_list->setCurrentRow(-1);
    m_list->clearSelection();
    if (m_commands)
        m_commands->reportUnreachableBooks();
}

void DirectoryView::setBookName(const QString &name)
{
    m_nameEdit->setText(name);
    m_header->setText(name);
}

void DirectoryView::clearDetails()
{
    setBookName(QString());
    m_count->clear();
    for (QLineEdit *e : m_labels)
        e->clear();
}

void DirectoryView::showDetails()
{
    const QString book = selectedBook();
    if (book.isNull() || !m_commands)
        return;
    ui::WaitCursor wait;
    setBookName(book);
    const DirectoryCommands::Details d = m_commands->details(book);
    for (int i = 0; i < 4; ++i)
        m_labels[i]->setText(d.freeLabels.value(i));
    m_count->setText(d.count >= 0 ? QString::number(d.count) : QString());
}

void DirectoryView::reloadAndSelect(const QString &book)
{
    reloadBooks();
    const QList<QListWidgetItem *> found = m_list->findItems(book, Qt::MatchExactly);
    if (found.isEmpty())
        return;
    m_list->setCurrentItem(found.first());
    showDetails();
}

void DirectoryView::createBook()
{
    if (!m_newDialog->ask(m_commands->newBookProposal()))
        return;
    const QString name = m_newDialog->name();
    if (m_commands->create(name, m_newDialog->labels()))
        reloadAndSelect(name);
}

void DirectoryView::duplicateBook()
{
    const QString source = selectedBook();
    if (!m_commands->maySelect(source))
        return;
    const std::optional<QString> copy = m_copyDialog->ask(m_commands->copyProposal(source));
    if (!copy)
        return;
    if (m_commands->duplicate(source, *copy))
        reloadBooks();
}

void DirectoryView::renameBook()
{
    const QString book = selectedBook();
    if (!m_commands->maySelect(book))
        return;
    // The dialog stays open on a name in use; the book's own name in another
    // letter case is not one.
    m_renameDialog->exists = [this, book](const QString &name) { return m_commands->books().nameInUseFor(book, name); };
    const std::optional<QString> name = m_renameDialog->ask(book);
    if (!name)
        return;
    if (m_commands->rename(book, *name))
        reloadBooks();
}

void DirectoryView::renameFields()
{
    const QString book = selectedBook();
    if (!m_commands->maySelect(book))
        return;
    QStringList shown;
    for (QLineEdit *e : m_labels)
        shown << e->text();
    if (!m_fieldsDialog->ask(QString(), shown))
        return;
    const QStringList labels = m_fieldsDialog->labels();
    if (!m_commands->relabel(book, labels))
        return;
    clearDetails();
    for (int i = 0; i < 4; ++i)
        m_labels[i]->setText(labels.value(i));
}

void DirectoryView::deleteBook()
{
    const QString book = selectedBook();
    if (!m_commands->maySelect(book))
        return;
    if (!m_deleteDialog->ask(book))
        return;
    if (m_commands->remove(book))
        reloadBooks();
}

} // namespace kirvane::contacts
