#include "store/addressbookstore.h"

#include "common/folders.h"
#include "store/booktablemodel.h"
#include "store/database.h"
#include "store/rowtablemodel.h"

namespace kirvane::store {

AddressBookStore::AddressBookStore(QObject *parent)
    : QObject(parent)
    , m_currentLabels(emptyContact())
    , m_bookModel(new BookTableModel(this))
    , m_historyModel(new RowTableModel(this))
    , m_duplicatesModel(new RowTableModel(this))
{
    connect(m_bookModel, &BookTableModel::readFailed, this,
            [this](const QString &reason) { Q_EMIT bookUnreadable(m_currentBook, reason); });
}

AddressBookStore::~AddressBookStore() = default;

void AddressBookStore::initDataFolder()
{
    m_files.setFolder(common::booksFolder());
    m_history = HistoryTable(common::historyFolder());
    m_bookModel->close();
    m_currentBook.clear();
}

bool AddressBookStore::openBook(const QString &name, bool descending)
{
    m_currentBook = name;
    m_currentLabels = emptyContact();
    QString failure;
    try {
        readLabels(m_files.labelPath(name), m_currentLabels);
        m_bookModel->open(m_files.openBook(name), name, descending);
    } catch (const StoreError &e) {
        m_bookModel->close();
        failure = QString::fromStdString(e.what());
    }
    Q_EMIT currentBookChanged(name);
    if (!failure.isNull())
        Q_EMIT bookUnreadable(name, failure);
    return failure.isNull();
}

void AddressBookStore::closeCurrentBook()
{
    m_bookModel->close();
    m_currentBook.clear();
    m_currentLabels = emptyContact();
}

ContactRecord AddressBookStore::readContactAt(int row) const
{
    ContactRecord c = m_currentLabels;
    for (int k = 0; k < kContactFields; ++k)
        c[k].value = m_bookModel->text(row, k);
    return c;
}

int AddressBookStore::countRows(const QString &table) const
{
    auto db = m_files.openTable(table);
    Statement s = db->prepare(QStringLiteral("SELECT COUNT(*) FROM t"));
    s.step();
    return int(s.int64(0));
}

bool AddressBookStore::openHistory(QString *error)
{
    try {
        m_history.load(*m_historyModel);
    } catch (const StoreError &e) {
        m_historyModel->close();
        if (error)
            *error = QString::fromStdString(e.what());
        return false;
    }
    return true;
}

void AddressBookStore::remakeMergeTable() { m_files.remakeFromTemplate(mergeTable()); }

bool AddressBookStore::openDuplicates(const QStringList &order)
{
    try {
        m_workTables.load(mergeTable(), order, *m_duplicatesModel);
    } catch (const StoreError &) {
        m_duplicatesModel->close();
        return false;
    }
    return true;
}

} // namespace kirvane::store
