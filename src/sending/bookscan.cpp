#include "sending/bookscan.h"

#include "store/database.h"

namespace kirvane::sending {

using namespace kirvane::store;

namespace {

constexpr int kBatch = 256;

const QString kColumns = contactColumns().join(u',');
const QString kOrder = QStringLiteral(" ORDER BY nom COLLATE NOCASE, prenom COLLATE NOCASE, id");
const QString kAfter = QStringLiteral(" WHERE (nom COLLATE NOCASE, prenom COLLATE NOCASE, id) > (?,?,?)");
const QString kBefore = QStringLiteral(" WHERE (nom COLLATE NOCASE, prenom COLLATE NOCASE, id) < (?,?,?)");

} // namespace

BookScan::BookScan(std::shared_ptr<Database> db) : m_db(std::move(db)) {}

BookScan::~BookScan() = default;

int BookScan::count()
{
    Statement s = m_db->prepare(QStringLiteral("SELECT COUNT(*) FROM t"));
    s.step();
    return int(s.int64(0));
}

int BookScan::seek(qint64 id)
{
    m_batch.clear();
    Statement row = m_db->prepare(QStringLiteral("SELECT nom, prenom FROM t WHERE id=?"));
    row.bind(1, id);
    if (!row.step()) {
        m_started = true;
        m_done = true;
        return -1;
    }
    const QString nom = row.text(0);
    const QString prenom = row.text(1);
    Statement before = m_db->prepare(QStringLiteral("SELECT COUNT(*) FROM t") + kBefore);
    before.bind(1, nom).bind(2, prenom).bind(3, id);
    before.step();
    // Start just before the contact: the next read returns it first.
    m_lastNom = nom;
    m_lastPrenom = prenom;
    m_lastId = id - 1;
    m_started = true;
    m_done = false;
    return int(before.int64(0));
}

void BookScan::fill()
{
    if (m_done || !m_batch.empty())
        return;
    Statement s = m_started
                      ? m_db->prepare(QStringLiteral("SELECT %1 FROM t").arg(kColumns) + kAfter + kOrder
                                      + QStringLiteral(" LIMIT %1").arg(kBatch))
                      : m_db->prepare(QStringLiteral("SELECT %1 FROM t").arg(kColumns) + kOrder
                                      + QStringLiteral(" LIMIT %1").arg(kBatch));
    if (m_started)
        s.bind(1, m_lastNom).bind(2, m_lastPrenom).bind(3, m_lastId);
    m_started = true;
    int n = 0;
    while (s.step()) {
        Row r;
        for (int k = 0; k < kContactFields; ++k)
            r.values[k] = s.text(k);
        r.id = s.int64(0);
        m_batch.push_back(std::move(r));
        ++n;
    }
    if (n < kBatch)
        m_done = true; // this batch is the last one
    if (!m_batch.empty()) {
        m_lastNom = m_batch.back().values[F_nom];
        m_lastPrenom = m_batch.back().values[F_prenom];
        m_lastId = m_batch.back().id;
    }
}

bool BookScan::next(store::ContactRecord &c)
{
    fill();
    if (m_batch.empty())
        return false;
    Row &r = m_batch.front();
    for (int k = 0; k < kContactFields; ++k)
        c[k].value = std::move(r.values[k]);
    m_batch.pop_front();
    return true;
}

void BookScan::skip()
{
    fill();
    if (!m_batch.empty())
        m_batch.pop_front();
}

QList<qint64> BookScan::idsBefore(qint64 id)
{
    Statement row = m_db->prepare(QStringLiteral("SELECT nom, prenom FROM t WHERE id=?"));
    row.bind(1, id);
    const bool found = row.step();
    Statement s = m_db->prepare(QStringLiteral("SELECT id FROM t") + (found ? kBefore : QString()));
    if (found)
        s.bind(1, row.text(0)).bind(2, row.text(1)).bind(3, id);
    QList<qint64> ids;
    while (s.step())
        ids << s.int64(0);
    return ids;
}

qint64 BookScan::peekId()
{
    fill();
    return m_batch.empty() ? -1 : m_batch.front().id;
}

} // namespace kirvane::sending
