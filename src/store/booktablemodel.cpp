#include "store/booktablemodel.h"

#include "store/contactrecord.h"
#include "store/database.h"
#include "store/tableschemas.h"

#include <unordered_map>

namespace kirvane::store {

namespace {
constexpr int kPageSize = 128;
constexpr int kOffsetRows = 1024;
} // namespace

BookTableModel::BookTableModel(QObject *parent) : QAbstractTableModel(parent) {}
BookTableModel::~BookTableModel() = default;

int BookTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_count;
}

int BookTableModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : 20; }

QVariant BookTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    try {
        return text(index.row(), index.column());
    } catch (const StoreError &e) {
        // A grid asks while painting: nothing may throw through the event
        // loop, so the failure is said once by a signal.
        sayReadFailed(e);
        return {};
    }
}

void BookTableModel::sayReadFailed(const std::exception &e) const
{
    if (m_readFailed)
        return;
    m_readFailed = true;
    Q_EMIT const_cast<BookTableModel *>(this)->readFailed(QString::fromStdString(e.what()));
}

QVariant BookTableModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, o, role);
    if (section == kDisplayNameColumn)
        return QStringLiteral("NomPrenom");
    QString c = contactColumns().value(section);
    if (!c.isEmpty())
        c[0] = c[0].toUpper();
    return c;
}

void BookTableModel::open(std::shared_ptr<Database> db, const QString &book, bool descending)
{
    Statement count = db->prepare(QStringLiteral("SELECT COUNT(*) FROM t"));
    count.step();
    const int n = int(count.int64(0));
    beginResetModel();
    m_db = std::move(db);
    m_book = book;
    m_descending = descending;
    m_count = n;
    m_ids.clear();
    m_idsLoaded = false;
    m_rows.clear();
    m_rows.resize(n);
    m_open = true;
    m_readFailed = false;
    endResetModel();
}

void BookTableModel::close()
{
    beginResetModel();
    m_db.reset();
    m_book.clear();
    m_count = 0;
    m_ids.clear();
    m_idsLoaded = false;
    m_rows.clear();
    m_open = false;
    endResetModel();
}

void BookTableModel::loadIds() const
{
    if (m_idsLoaded)
        return;
    std::vector<qint64> ids;
    ids.reserve(m_count);
    Statement s = m_db->prepare(QStringLiteral("SELECT id FROM t") + nameOrder(m_descending));
    while (s.step() && int(ids.size()) < m_count)
        ids.push_back(s.int64(0));
    ids.resize(m_count, -1); // rows removed since the count read as empty
    m_ids = std::move(ids);
    m_idsLoaded = true;
}

void BookTableModel::fetchPage(int page) const
{
    const int from = page * kPageSize;
    const int to = std::min(from + kPageSize, m_count);
    auto store = [&](int r, const Statement &s) {
        auto row = std::make_unique<Row>();
        for (int k = 0; k < kContactFields; ++k) {
            row->offsets[k] = int(row->bytes.size());
            row->bytes += s.utf8(k);
        }
        row->offsets[kContactFields] = int(row->bytes.size());
        m_rows[r] = std::move(row);
    };
    if (!m_idsLoaded && from < kOffsetRows) {
        // Near the top an offset is cheaper than reading every id first.
        Statement s = m_db->prepare(QStringLiteral("SELECT * FROM t") + nameOrder(m_descending) + QStringLiteral(" LIMIT ? OFFSET ?"));
        s.bind(1, qint64(to - from)).bind(2, qint64(from));
        int r = from;
        while (r < to && s.step())
            store(r++, s);
    } else {
        loadIds();
        // One statement for the page: the ids of its rows are not in order.
        std::unordered_map<qint64, int> rowOf;
        QString marks;
        for (int r = from; r < to; ++r) {
            if (m_rows[r])
                continue;
            rowOf.emplace(m_ids[r], r);
            marks += marks.isEmpty() ? QStringLiteral("?") : QStringLiteral(",?");
        }
        if (!rowOf.empty()) {
            Statement s = m_db->prepare(QStringLiteral("SELECT * FROM t WHERE id IN (%1)").arg(marks));
            int i = 1;
            for (int r = from; r < to; ++r)
                if (!m_rows[r])
                    s.bind(i++, m_ids[r]);
            while (s.step()) {
                const auto it = rowOf.find(s.int64(0));
                if (it != rowOf.end())
                    store(it->second, s);
            }
        }
    }
    for (int r = from; r < to; ++r)
        if (!m_rows[r])
            m_rows[r] = std::make_unique<Row>(); // vanished since opening
}

QString BookTableModel::text(int row, int column) const
{
    if (row < 0 || row >= m_count || column < 0 || column > kDisplayNameColumn)
        return QString();
    if (!m_rows[row])
        fetchPage(row / kPageSize);
    const Row &r = *m_rows[row];
    if (column == kDisplayNameColumn)
        return displayName(r.value(F_nom), r.value(F_prenom));
    return r.value(column);
}

qint64 BookTableModel::idAt(int row) const
{
    if (row < 0 || row >= m_count)
        return -1;
    if (m_idsLoaded)
        return m_ids[row];
    try {
        const QString id = text(row, F_id);
        return id.isEmpty() ? -1 : id.toLongLong();
    } catch (const StoreError &e) {
        sayReadFailed(e);
        return -1;
    }
}

const std::vector<qint64> &BookTableModel::ids() const
{
    try {
        loadIds();
    } catch (const StoreError &e) {
        sayReadFailed(e);
    }
    return m_ids;
}

int BookTableModel::rowOfId(qint64 id) const
{
    (void)ids();
    for (size_t i = 0; i < m_ids.size(); ++i)
        if (m_ids[i] == id)
            return int(i);
    return -1;
}

} // namespace kirvane::store
