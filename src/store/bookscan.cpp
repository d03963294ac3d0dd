#include "store/bookscan.h"

#include "store/database.h"
#include "store/tableschemas.h"

namespace kirvane::store {

namespace {

constexpr int kBatch = 256;
constexpr int kKeyColumn = kContactFields;

QString selectRows() { return QStringLiteral("SELECT %1, cle_tri FROM t").arg(contactColumns().join(u',')); }

// Rows after (or, descending, before) the place given by the bound key and id.
QString after(bool descending)
{
    return descending ? QStringLiteral(" WHERE (cle_tri, id) < (?,?)") : QStringLiteral(" WHERE (cle_tri, id) > (?,?)");
}

} // namespace

BookScan::BookScan(std::shared_ptr<Database> db, bool descending) : m_db(std::move(db)), m_descending(descending)
{
    // One pass reads each row once: its memory stays the same for a book of
    // any size.
    m_db->setCacheKib(Database::kPassCacheKib);
}

BookScan::~BookScan() = default;
BookScan::BookScan(BookScan &&) noexcept = default;
BookScan &BookScan::operator=(BookScan &&) noexcept = default;

void BookScan::fill()
{
    if (m_done || !m_batch.empty())
        return;
    Statement s = m_db->prepare(selectRows() + (m_started ? after(m_descending) : QString()) + nameOrder(m_descending)
                                + QStringLiteral(" LIMIT %1").arg(kBatch));
    if (m_started)
        s.bindBlob(1, m_lastKey).bind(2, m_lastId);
    m_started = true;
    int n = 0;
    while (s.step()) {
        Row r;
        for (int k = 0; k < kContactFields; ++k)
            r.values[k] = s.utf8(k).toByteArray();
        r.key = s.utf8(kKeyColumn).toByteArray();
        r.id = s.int64(0);
        m_batch.push_back(std::move(r));
        ++n;
    }
    if (n < kBatch)
        m_done = true; // this batch is the last one
    if (!m_batch.empty()) {
        m_lastKey = m_batch.back().key;
        m_lastId = m_batch.back().id;
    }
}

bool BookScan::next()
{
    fill();
    if (m_batch.empty())
        return false;
    m_row = std::move(m_batch.front());
    m_batch.pop_front();
    return true;
}

bool BookScan::next(ContactRecord &c)
{
    if (!next())
        return false;
    for (int k = 0; k < kContactFields; ++k)
        c[k].value = text(k);
    return true;
}

ContactRecord BookScan::record(const ContactRecord &labels) const
{
    ContactRecord c = labels;
    for (int k = 0; k < kContactFields; ++k)
        c[k].value = text(k);
    return c;
}

qint64 BookScan::peekId()
{
    fill();
    return m_batch.empty() ? -1 : m_batch.front().id;
}

void BookScan::skip()
{
    fill();
    if (!m_batch.empty())
        m_batch.pop_front();
}

int BookScan::seek(qint64 id)
{
    m_batch.clear();
    m_started = true;
    Statement row = m_db->prepare(QStringLiteral("SELECT cle_tri FROM t WHERE id=?"));
    row.bind(1, id);
    if (!row.step()) {
        m_done = true;
        return -1;
    }
    const QByteArray key = row.utf8(0).toByteArray();
    Statement before = m_db->prepare(QStringLiteral("SELECT COUNT(*) FROM t") + after(!m_descending));
    before.bindBlob(1, key).bind(2, id);
    before.step();
    // Start just before the contact: the next read returns it first.
    m_lastKey = key;
    m_lastId = m_descending ? id + 1 : id - 1;
    m_done = false;
    return int(before.int64(0));
}

int BookScan::count()
{
    Statement s = m_db->prepare(QStringLiteral("SELECT COUNT(*) FROM t"));
    s.step();
    return int(s.int64(0));
}

void BookScan::forEachIdBefore(qint64 id, const std::function<void(qint64)> &take)
{
    Statement row = m_db->prepare(QStringLiteral("SELECT cle_tri FROM t WHERE id=?"));
    row.bind(1, id);
    const bool found = row.step();
    Statement s = m_db->prepare(QStringLiteral("SELECT id FROM t") + (found ? after(!m_descending) : QString()));
    if (found)
        s.bindBlob(1, row.utf8(0).toByteArray()).bind(2, id);
    while (s.step())
        take(s.int64(0));
}

} // namespace kirvane::store
