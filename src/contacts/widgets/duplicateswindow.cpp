#include "contacts/widgets/duplicateswindow.h"

#include "store/addressbookstore.h"
#include "store/rowtablemodel.h"
#include "texts/asker.h"
#include "texts/texttable.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace kirvane::contacts {

namespace {

constexpr const char *kCheckNames[8] = {"Chk_nom",    "chk_prenom", "chk_societe", "chk_email",
                                        "chk_champ1", "chk_champ2", "chk_champ3",  "chk_champ4"};
constexpr int kCriterionTexts[8] = {texts::FieldName,  texts::FieldFirstName, texts::FieldCompany, texts::FieldEmail,
                                    texts::FieldFree1, texts::FieldFree2,     texts::FieldFree3,   texts::FieldFree4};
// The list's columns: the book, then the criterion columns.
constexpr const char *kShownColumns[9] = {"nom_annuaire", "nom",     "prenom",  "societe", "email",
                                          "champ16",      "champ17", "champ18", "champ19"};

} // namespace

// The merge table's rows as the list shows them: the book, then the
// criterion columns, with the window's headings.
class MergeRowsModel : public QAbstractTableModel {
public:
    MergeRowsModel(store::RowTableModel *source, QObject *parent) : QAbstractTableModel(parent), m_source(source)
    {
        connect(source, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
        connect(source, &QAbstractItemModel::modelReset, this, [this] {
            m_map.clear();
            for (const char *c : kShownColumns)
                m_map << m_source->columnIndex(QLatin1String(c));
            endResetModel();
        });
    }
    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() || !m_source->isOpen() ? 0 : m_source->rowCount();
    }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : 9; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole || index.column() >= m_map.size() || m_map[index.column()] < 0)
            return {};
        return m_source->text(index.row(), m_map[index.column()]);
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        if (o != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= 9)
            return QAbstractTableModel::headerData(section, o, role);
        return section == 0 ? texts::text(texts::BookColumn, language) : texts::text(kCriterionTexts[section - 1], language);
    }
    [[nodiscard]] QString text(int row, const QString &column) const { return m_source->text(row, column); }
    void setLanguage(int l)
    {
        language = l;
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, 8);
    }
    int language = texts::ActiveLanguage;

private:
    store::RowTableModel *m_source;
    QList<int> m_map;
};

DuplicatesWindow::DuplicatesWindow(store::AddressBookStore &store, texts::Asker &asker, ContactsViewHook hook,
                                   QWidget *parent)
    : QDialog(parent), m_store(store), m_asker(asker), m_hook(std::move(hook)), m_sweep(store),
      m_rows(new MergeRowsModel(store.duplicatesModel(), this)), m_language(texts::ActiveLanguage)
{
    setObjectName(QStringLiteral("TF_dedoublonner"));
    setMinimumSize(583, 399);

    m_books = new BookTickList("Label2", "btn_selectionner", "btn_deselctionner", this);

    auto *criteria = new QGridLayout;
    for (int k = 0; k < 8; ++k) {
        m_criteria[k] = new QCheckBox(this);
        m_criteria[k]->setObjectName(QLatin1String(kCheckNames[k]));
        criteria->addWidget(m_criteria[k], k % 4, k / 4);
    }

    m_progressText = new QLabel(this);
    m_progressText->setObjectName(QStringLiteral("Label4"));
    m_stepCounter = new QLabel(this);
    m_stepCounter->setObjectName(QStringLiteral("Label_etape"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_noResult = new QLabel(this);
    m_noResult->setObjectName(QStringLiteral("Label3"));

    m_list = new QTableView(this);
    m_list->setObjectName(QStringLiteral("list_contact"));
    m_list->setModel(m_rows);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setAlternatingRowColors(true);
    m_list->verticalHeader()->hide();
    m_list->horizontalHeader()->setSectionsClickable(true);
    m_list->horizontalHeader()->setSortIndicatorShown(false);

    m_ok = new QPushButton(this);
    m_ok->setObjectName(QStringLiteral("Btn_Valider"));
    m_cancel = new QPushButton(this);
    m_cancel->setObjectName(QStringLiteral("Btn_Annuler"));
    m_deleteOne = new QPushButton(this);
    m_deleteOne->setObjectName(QStringLiteral("Btn_Supprimer"));
    m_deleteOthers = new QPushButton(this);
    m_deleteOthers->setObjectName(QStringLiteral("btn_supprimer_tout"));
    m_open = openContactButton(this);

    auto *right = new QVBoxLayout;
    right->addLayout(criteria);
    auto *progress = new QHBoxLayout;
    progress->addWidget(m_progressText);
    progress->addWidget(m_stepCounter);
    right->addLayout(progress);
    right->addWidget(m_progress);
    right->addWidget(m_noResult);
    right->addStretch();
    layOutWindow(this, m_books, right, m_list, {m_open, m_deleteOne, m_deleteOthers}, m_ok, m_cancel);

    connect(m_ok, &QPushButton::clicked, this, &DuplicatesWindow::search);
    connect(m_cancel, &QPushButton::clicked, this, &DuplicatesWindow::cancelAndClose);
    connect(m_deleteOne, &QPushButton::clicked, this, &DuplicatesWindow::deleteContact);
    connect(m_deleteOthers, &QPushButton::clicked, this, &DuplicatesWindow::deleteOtherOccurrences);
    connect(m_open, &QToolButton::clicked, this, &DuplicatesWindow::openSelected);
    connect(&m_sweep, &DuplicateSweep::stepChanged, this,
            [this](int step, int total) { m_stepCounter->setText(QStringLiteral("%1/%2").arg(step).arg(total)); });
    connect(&m_sweep, &DuplicateSweep::progressChanged, this, [this](int value, int maximum) {
        m_progress->setMaximum(qMax(maximum, 1));
        m_progress->setValue(value);
    });
    connect(&m_sweep, &DuplicateSweep::finished, this, &DuplicatesWindow::sweepFinished);
    // A heading clicked sorts by it, the way it shows; the criteria's order stays
    // the one the delete commands go back to.
    connect(m_list->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int section) {
        QHeaderView *h = m_list->horizontalHeader();
        const bool again = h->isSortIndicatorShown() && h->sortIndicatorSection() == section;
        const Qt::SortOrder order =
            again && h->sortIndicatorOrder() == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
        h->setSortIndicatorShown(true);
        h->setSortIndicator(section, order);
        const bool read = m_store.openDuplicates(
            {QLatin1String(kShownColumns[section])
             + (order == Qt::AscendingOrder ? QStringLiteral(" asc") : QStringLiteral(" desc"))});
        m_noResult->setVisible(!read || m_rows->rowCount() == 0);
    });
    applyLanguage(m_language);
    m_progressText->hide();
    m_stepCounter->hide();
    m_progress->hide();
    m_noResult->hide();
}

DuplicatesWindow::~DuplicatesWindow() = default;

void DuplicatesWindow::applyLanguage(int language)
{
    m_language = language;
    auto t = [language](int entry) { return texts::text(entry, language); };
    setWindowTitle(t(texts::DuplicatesCaption));
    m_books->applyLanguage(language);
    for (int k = 0; k < 8; ++k)
        m_criteria[k]->setText(t(kCriterionTexts[k]));
    m_progressText->setText(t(texts::DuplicatesInProgress));
    m_noResult->setText(t(texts::NoResultFound));
    m_ok->setText(t(texts::ButtonOk));
    m_cancel->setText(t(texts::ButtonCancel));
    m_deleteOne->setText(t(texts::RemoveThisContact));
    m_deleteOthers->setText(t(texts::RemoveOtherOccurrences));
    m_open->setToolTip(t(texts::OpenSelectedContactHint));
    m_rows->setLanguage(language);
}

void DuplicatesWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_progressText->hide();
    m_store.duplicatesModel()->close();
    if (m_books->isEmpty()) {
        m_books->fill(m_store.listBooks());
        return;
    }
    search();
}

void DuplicatesWindow::closeEvent(QCloseEvent *event)
{
    if (m_sweep.isRunning()) {
        m_sweep.cancel();
        while (m_sweep.isRunning())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    QDialog::closeEvent(event);
}

void DuplicatesWindow::setBusy(bool busy)
{
    for (QWidget *w : std::initializer_list<QWidget *>{m_ok, m_deleteOne, m_deleteOthers, m_open, m_books, m_list})
        w->setEnabled(!busy);
    if (busy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

void DuplicatesWindow::search()
{
    if (m_sweep.isRunning())
        return;
    const QStringList books = m_books->ticked();
    QStringList criteria;
    for (int k = 0; k < 8; ++k)
        if (m_criteria[k]->isChecked())
            criteria << DuplicateSweep::criterionColumns()[k];
    m_progress->setValue(0);
    m_progressText->show();
    m_stepCounter->show();
    m_progress->show();
    m_noResult->hide();
    m_list->horizontalHeader()->setSortIndicatorShown(false);
    if (criteria.isEmpty()) {
        m_sweep.start(books, criteria); // remakes the merge table; the progress stays shown
        return;
    }
    setBusy(true);
    m_sweep.start(books, criteria);
}

void DuplicatesWindow::sweepFinished(DuplicateSweep::Outcome outcome)
{
    if (outcome == DuplicateSweep::Outcome::NoCriterion)
        return; // nothing was swept; the progress stays shown
    setBusy(false);
    if (outcome == DuplicateSweep::Outcome::Failed)
        m_asker.inform(m_sweep.lastError());
    showResult(m_sweep.criteria());
    m_progressText->hide();
    m_stepCounter->hide();
    m_progress->hide();
}

void DuplicatesWindow::showResult(const QStringList &order)
{
    m_list->horizontalHeader()->setSortIndicatorShown(false);
    const bool read = m_store.openDuplicates(order);
    m_noResult->setVisible(!read || m_rows->rowCount() == 0);
}

bool DuplicatesWindow::selectedRow(QString *book, qint64 *id) const
{
    const QModelIndex current = m_list->currentIndex();
    if (!current.isValid() || !m_list->selectionModel()->isRowSelected(current.row(), {}))
        return false;
    *book = m_rows->text(current.row(), QStringLiteral("nom_annuaire"));
    bool ok = false;
    *id = m_rows->text(current.row(), QStringLiteral("id")).toLongLong(&ok);
    return ok && !book->isEmpty();
}

void DuplicatesWindow::deleteContact()
{
    QString book;
    qint64 id = 0;
    if (m_sweep.isRunning() || !selectedRow(&book, &id))
        return;
    QString error;
    if (!m_sweep.deleteContact(book, id, &error))
        m_asker.inform(error);
    showResult(m_sweep.criteria());
}

void DuplicatesWindow::deleteOtherOccurrences()
{
    QString book;
    qint64 id = 0;
    if (m_sweep.isRunning() || !selectedRow(&book, &id))
        return;
    QString error;
    if (!m_sweep.deleteOtherOccurrences(book, id, &error)) {
        m_asker.inform(error);
        showResult(m_sweep.criteria());
        return;
    }
    setBusy(true);
    m_sweep.startPrune();
}

void DuplicatesWindow::openSelected()
{
    QString book;
    qint64 id = 0;
    if (m_sweep.isRunning() || !selectedRow(&book, &id))
        return;
    if (m_asker.ask(texts::DialogKind::YesNo, texts::text(texts::AskEraseSearch, m_language)) != texts::Answer::Yes)
        return;
    accept();
    if (m_hook.showContact)
        m_hook.showContact(book, id);
    reset();
}

void DuplicatesWindow::reset()
{
    for (QCheckBox *c : m_criteria)
        c->setChecked(false);
    m_books->clear();
    m_store.duplicatesModel()->close();
}

void DuplicatesWindow::cancelAndClose()
{
    if (m_sweep.isRunning()) {
        m_sweep.cancel();
        while (m_sweep.isRunning())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    reset();
    const QString chosen = m_hook.chosenBook ? m_hook.chosenBook() : QString();
    if (!chosen.isEmpty() && m_hook.reopenBook)
        m_hook.reopenBook(chosen);
    reject();
}

DuplicatesWindow *openDuplicatesWindow(store::AddressBookStore &store, texts::Asker &asker,
                                       const ContactsViewHook &hook, QWidget *parent)
{
    auto *window = parent ? parent->findChild<DuplicatesWindow *>(QStringLiteral("TF_dedoublonner"),
                                                                 Qt::FindDirectChildrenOnly)
                          : nullptr;
    if (!window)
        window = new DuplicatesWindow(store, asker, hook, parent);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace kirvane::contacts
