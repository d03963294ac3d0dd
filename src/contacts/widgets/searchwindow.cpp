#include "contacts/widgets/searchwindow.h"

#include "texts/asker.h"

#include "store/addressbookstore.h"
#include "store/nameorder.h"
#include "texts/texttable.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kirvane::contacts {

namespace {

// The criteria's edits, their labels (text table entries) and the result columns.
constexpr const char *kEditNames[5] = {"Edit_nom", "Edit_prenom", "Edit_societe", "Edit_email", "Edit_ville"};
constexpr int kEditLabels[5] = {texts::FieldName, texts::FieldFirstName, texts::FieldCompany, texts::FieldEmail,
                                texts::FieldCity};
enum Column { ColNom, ColPrenom, ColSociete, ColEmail, ColVille, ColBook, ColId, ColumnCount };

QToolButton *toolButton(const char *name, const QString &text, QWidget *parent)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setText(text);
    return b;
}

// A row of the results: names compare as the language orders them, the id
// as a number.
class ResultItem : public QTreeWidgetItem {
public:
    bool operator<(const QTreeWidgetItem &other) const override
    {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        if (column == ColId)
            return text(ColId).toLongLong() < other.text(ColId).toLongLong();
        const int c = store::compareNames(text(column), other.text(column));
        return c != 0 ? c < 0 : text(ColId).toLongLong() < other.text(ColId).toLongLong();
    }
};

} // namespace

SearchWindow::SearchWindow(store::AddressBookStore &store, texts::Asker &asker, ContactsViewHook hook, QWidget *parent)
    : QDialog(parent), m_store(store), m_asker(asker), m_hook(std::move(hook)), m_search(store.contacts()),
      m_language(texts::ActiveLanguage)
{
    setObjectName(QStringLiteral("TF_rechercher"));
    setMinimumSize(452, 361);

    m_books = new BookTickList("Label1", "SpeedButton1", "SpeedButton2", this);

    m_detailsHeading = new QLabel(this);
    m_detailsHeading->setObjectName(QStringLiteral("Label2"));
    auto *criteria = new QGridLayout;
    for (int k = 0; k < 5; ++k) {
        m_editLabels[k] = new QLabel(this);
        m_edits[k] = new QLineEdit(this);
        m_edits[k]->setObjectName(QLatin1String(kEditNames[k]));
        m_editLabels[k]->setBuddy(m_edits[k]);
        criteria->addWidget(m_editLabels[k], k, 0);
        criteria->addWidget(m_edits[k], k, 1);
    }

    m_results = new QTreeWidget(this);
    m_results->setObjectName(QStringLiteral("list_contact"));
    m_results->setRootIsDecorated(false);
    m_results->setColumnCount(ColumnCount);
    m_results->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_results->setSelectionMode(QAbstractItemView::SingleSelection);
    m_results->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_results->setSortingEnabled(true);
    m_results->sortByColumn(-1, Qt::AscendingOrder); // rows in the order found until a heading is clicked
    m_noResult = new QLabel(this);
    m_noResult->setObjectName(QStringLiteral("Label8"));
    m_noResult->hide();

    m_ok = new QPushButton(this);
    m_ok->setObjectName(QStringLiteral("Btn_Valider"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(this);
    m_cancel->setObjectName(QStringLiteral("Btn_Annuler"));
    m_open = openContactButton(this);
    m_delete = toolButton("SpeedButton3", QStringLiteral("✖"), this);

    auto *right = new QVBoxLayout;
    right->addWidget(m_detailsHeading);
    right->addLayout(criteria);
    right->addStretch();
    layOutWindow(this, m_books, right, m_results, {m_open, m_delete, m_noResult}, m_ok, m_cancel);

    connect(m_ok, &QPushButton::clicked, this, &SearchWindow::search);
    connect(m_cancel, &QPushButton::clicked, this, &SearchWindow::cancelAndClose);
    connect(m_open, &QToolButton::clicked, this, &SearchWindow::openSelected);
    connect(m_results, &QTreeWidget::itemDoubleClicked, this, &SearchWindow::openSelected);
    connect(m_delete, &QToolButton::clicked, this, &SearchWindow::deleteSelected);
    connect(&m_search, &ContactSearch::found, this, &SearchWindow::addRow);
    applyLanguage(m_language);
}

void SearchWindow::applyLanguage(int language)
{
    m_language = language;
    auto t = [language](int entry) { return texts::text(entry, language); };
    setWindowTitle(t(texts::SearchContactCaption));
    m_books->applyLanguage(language);
    m_detailsHeading->setText(t(texts::SearchDetails));
    for (int k = 0; k < 5; ++k)
        m_editLabels[k]->setText(t(kEditLabels[k]) + QStringLiteral(" :"));
    m_noResult->setText(t(texts::NoResultFound));
    m_ok->setText(t(texts::ButtonOk));
    m_cancel->setText(t(texts::ButtonCancel));
    m_open->setToolTip(t(texts::OpenSelectedContactHint));
    m_delete->setToolTip(t(texts::HintDeleteContacts));
    m_results->setHeaderLabels({t(texts::FieldName), t(texts::FieldFirstName), t(texts::FieldCompany),
                                t(texts::FieldEmail), t(texts::FieldCity), t(texts::BookColumn),
                                QStringLiteral("id")});
}

void SearchWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    setWindowTitle(texts::text(texts::SearchContactCaption, m_language));
    m_noResult->hide();
    if (m_books->isEmpty())
        m_books->fill(m_store.listBooks());
    else
        search();
}

void SearchWindow::search()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_noResult->hide();
    m_results->clear();
    const QStringList books = m_books->ticked();
    const SearchCriteria criteria{m_edits[0]->text(), m_edits[1]->text(), m_edits[2]->text(), m_edits[3]->text(),
                                  m_edits[4]->text()};
    QStringList failed;
    const QMetaObject::Connection onFailure =
        connect(&m_search, &ContactSearch::bookFailed, this,
                [&failed](const QString &book, const QString &reason) { failed << book + QStringLiteral(": ") + reason; });
    m_search.run(books, criteria);
    disconnect(onFailure);
    m_noResult->setVisible(m_results->topLevelItemCount() == 0);
    QApplication::restoreOverrideCursor();
    if (!failed.isEmpty())
        m_asker.inform(failed.join(u'\n'));
}

void SearchWindow::addRow(const SearchHit &hit)
{
    auto *item = new ResultItem;
    item->setText(ColNom, hit.nom);
    item->setText(ColPrenom, hit.prenom);
    item->setText(ColSociete, hit.societe);
    item->setText(ColEmail, hit.email);
    item->setText(ColVille, hit.ville);
    item->setText(ColBook, hit.book);
    item->setText(ColId, QString::number(hit.id));
    m_results->addTopLevelItem(item);
}

void SearchWindow::openSelected()
{
    QTreeWidgetItem *item = m_results->currentItem();
    accept();
    if (item && m_hook.showContact)
        m_hook.showContact(item->text(ColBook), item->text(ColId).toLongLong());
}

void SearchWindow::deleteSelected()
{
    QTreeWidgetItem *item = m_results->currentItem();
    if (!item)
        return;
    SearchHit hit;
    hit.book = item->text(ColBook);
    hit.id = item->text(ColId).toLongLong();
    QString error;
    if (!m_search.remove(hit, &error)) {
        m_asker.inform(error);
        return;
    }
    delete item;
    if (m_hook.reopenBook)
        m_hook.reopenBook(hit.book);
}

void SearchWindow::cancelAndClose()
{
    m_results->clear();
    m_books->clear();
    for (QLineEdit *e : m_edits)
        e->clear();
    reject();
}

SearchWindow *openSearchWindow(store::AddressBookStore &store, texts::Asker &asker, const ContactsViewHook &hook,
                               QWidget *parent)
{
    auto *window = parent ? parent->findChild<SearchWindow *>(QStringLiteral("TF_rechercher"), Qt::FindDirectChildrenOnly)
                          : nullptr;
    if (!window)
        window = new SearchWindow(store, asker, hook, parent);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace kirvane::contacts
