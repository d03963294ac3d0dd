#include "store/worktables.h"

#include "store/bookfiles.h"
#include "store/contactrecord.h"
#include "store/contacttable.h"
#include "store/database.h"
#include "store/rowtablemodel.h"
#include "store/tableschemas.h"

#include <algorithm>

namespace kirvane::store {

namespace {

// The criterion columns the duplicate search may use.
QString criterionColumn(const QString &name)
{
    static const QStringList allowed = {
        QStringLiteral("nom"), QStringLiteral("prenom"), QStringLiteral("societe"), QStringLiteral("email"),
        QStringLiteral("champ16"), QStringLiteral("champ17"), QStringLiteral("champ18"), QStringLiteral("champ19"),
    };
    for (const QString &c : allowed)
        if (c.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return c;
    throw StoreError(QStringLiteral("not a criterion column: %1").arg(name).toStdString());
}

void report(const WorkProgress &p, int value, int maximum)
{
    if (p.bar)
        p.bar(value, maximum);
}

bool cancelled(const WorkProgress &p) { return p.cancelled && p.cancelled(); }

} // namespace

WorkTables::~WorkTables() = default;

void WorkTables::closeBlackList()
{
    m_blackListLookup.reset();
    m_blackList.reset();
}

void WorkTables::resetBlackList()
{
    closeBlackList();
    m_files.remakeFromTemplate(QStringLiteral("listenoire"));
}

void WorkTables::buildBlackList(const QStringList &books)
{
    resetBlackList();
    auto db = m_files.openTable(QStringLiteral("listenoire"));
    // Written once and looked up once a recipient: few of its pages need to
    // stay in memory, however long the exclusion books.
    db->setCacheKib(Database::kPassCacheKib);
    fillTable(*db, books, {});
    // Every recipient of a run is looked up here, letter case ignored.
    db->exec(QStringLiteral("CREATE INDEX IF NOT EXISTS t_email_nocase ON t(email COLLATE NOCASE)"));
}

bool WorkTables::isBlackListed(const QString &email)
{
    if (!m_blackListLookup) {
        m_blackList = m_files.openTable(QStringLiteral("listenoire"));
        m_blackList->setCacheKib(Database::kPassCacheKib);
        // Addresses differ in letter case from one book to another; an
        // excluded reader stays excluded whatever the case.
        m_blackListLookup = m_blackList->prepare(QStringLiteral("SELECT 1 FROM t WHERE email=? COLLATE NOCASE LIMIT 1"));
    }
    Statement &s = *m_blackListLookup;
    s.bind(1, email);
    bool found = false;
    try {
        found = s.step();
    } catch (const StoreError &) {
        // The next lookup starts afresh, on a table that may be back.
        closeBlackList();
        throw;
    }
    s.reset();
    return found;
}

bool WorkTables::fillWorkTable(const QStringList &books, const QString &table, const WorkProgress &progress)
{
    report(progress, 0, 0);
    if (table.compare(QStringLiteral("listenoire"), Qt::CaseInsensitive) == 0)
        closeBlackList();
    return fillTable(*m_files.openTable(table), books, progress);
}

bool WorkTables::fillTable(Database &db, const QStringList &books, const WorkProgress &progress)
{
    {
        // The id becomes a plain column at the end, so each row keeps the id
        // it has in its own book; rows already there are kept.
        Transaction tx(db);
        const QStringList cols = db.columns();
        const bool reshaped = !cols.isEmpty() && cols.last().compare(QStringLiteral("id"), Qt::CaseInsensitive) == 0
                              && cols.size() == 20;
        if (!reshaped) {
            QString create = QStringLiteral("CREATE TABLE t_new (");
            for (int k = 1; k < kContactFields; ++k)
                create += contactColumns()[k] + QStringLiteral(" TEXT NOT NULL DEFAULT '', ");
            create += QStringLiteral("nom_annuaire TEXT NOT NULL DEFAULT '', id INTEGER)");
            db.exec(create);
            db.exec(QStringLiteral("INSERT INTO t_new (%1,nom_annuaire,id) SELECT %1,nom_annuaire,NULL FROM t")
                        .arg(bookValueColumns()));
            db.exec(QStringLiteral("DROP TABLE t"));
            db.exec(QStringLiteral("ALTER TABLE t_new RENAME TO t"));
        } else {
            db.exec(QStringLiteral("UPDATE t SET id=NULL"));
        }
        tx.commit();
    }
    for (const QString &b : books) {
        if (cancelled(progress))
            return false;
        db.attach(m_files.bookPath(b), QStringLiteral("src"));
        try {
            db.prepare(QStringLiteral("INSERT INTO t (id,%1,nom_annuaire) SELECT id,%1,? FROM src.t").arg(bookValueColumns()))
                .bind(1, b)
                .run();
        } catch (...) {
            db.detach(QStringLiteral("src"));
            throw;
        }
        db.detach(QStringLiteral("src"));
    }
    if (progress.step)
        progress.step(1);
    return true;
}

bool WorkTables::pruneToDuplicates(const QString &table, const QStringList &criteria, const WorkProgress &progress)
{
    QStringList cols;
    for (const QString &c : criteria)
        cols << criterionColumn(c);
    auto db = m_files.openTable(table);
    const int n = int(cols.size());
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < n; ++i) {
            if (cancelled(progress))
                return false;
            if (progress.step)
                progress.step(i + 2 + (pass ? n : 0));
            // Rows in order of the criterion; a row whose value no neighbour
            // shares (exact comparison) is removed.
            std::vector<std::pair<qint64, QString>> rows;
            {
                Statement s = db->prepare(QStringLiteral("SELECT rowid,%1 FROM t ORDER BY %1").arg(cols[i]));
                while (s.step())
                    rows.emplace_back(s.int64(0), s.text(1));
            }
            report(progress, 0, int(rows.size()));
            std::vector<qint64> lonely;
            int group = 1;
            for (size_t r = 1; r < rows.size(); ++r) {
                if (progress.bar && (r % 256) == 0)
                    progress.bar(int(r), int(rows.size()));
                if ((r % 256) == 0 && cancelled(progress))
                    return false;
                if (rows[r].second != rows[r - 1].second) {
                    if (group == 1)
                        lonely.push_back(rows[r - 1].first);
                    group = 1;
                } else {
                    ++group;
                }
            }
            if (!rows.empty() && group == 1)
                lonely.push_back(rows.back().first);
            if (!lonely.empty()) {
                Transaction tx(*db);
                Statement del = db->prepare(QStringLiteral("DELETE FROM t WHERE rowid=?"));
                for (qint64 rid : lonely) {
                    del.bind(1, rid);
                    del.run();
                    del.reset();
                }
                tx.commit();
            }
            report(progress, int(rows.size()), int(rows.size()));
        }
    }
    return true;
}

QList<WorkRow> WorkTables::deleteOtherOccurrences(const QString &table, const QStringList &columns,
                                                 const QString &keptBook, const QString &keptId,
                                                 const QStringList &values)
{
    if (columns.size() != values.size() || columns.isEmpty())
        return {};
    // Each column against its own value: values put end to end would let
    // ("Dupont", "Jean") match ("DupontJ", "ean").
    QStringList tests;
    for (const QString &c : columns)
        tests << QStringLiteral("lower(%1)=lower(?)").arg(criterionColumn(c));
    auto db = m_files.openTable(table);
    QList<WorkRow> doomed;
    {
        Statement s = db->prepare(QStringLiteral("SELECT id,nom_annuaire FROM t WHERE %1 ORDER BY rowid")
                                      .arg(tests.join(QStringLiteral(" AND "))));
        for (int k = 0; k < values.size(); ++k)
            s.bind(k + 1, values[k]);
        while (s.step()) {
            const QString id = s.text(0), book = s.text(1);
            if (id == keptId.trimmed() && book.compare(keptBook, Qt::CaseInsensitive) == 0)
                continue;
            doomed.append({book, s.int64(0)});
        }
    }
    for (const WorkRow &row : doomed) {
        auto bookDb = m_files.openBook(row.book);
        bookDb->prepare(QStringLiteral("DELETE FROM t WHERE id=?")).bind(1, row.id).run();
        deleteRowsByIdAndBook(table, row.book, {row.id});
    }
    return doomed;
}

void WorkTables::deleteRowsById(const QString &table, const QList<qint64> &ids)
{
    auto db = m_files.openTable(table);
    deleteRowsWithIds(*db, ids);
}

void WorkTables::deleteRowsByIdAndBook(const QString &table, const QString &book, const QList<qint64> &ids)
{
    if (ids.isEmpty())
        return;
    auto db = m_files.openTable(table);
    Transaction tx(*db);
    Statement s = db->prepare(QStringLiteral("DELETE FROM t WHERE id=? AND lower(nom_annuaire)=lower(?)"));
    for (qint64 id : ids) {
        s.bind(1, id).bind(2, book);
        s.run();
        s.reset();
    }
    tx.commit();
}

void WorkTables::load(const QString &table, const QStringList &order, RowTableModel &model)
{
    auto db = m_files.openTable(table);
    const QStringList known = db->columns();
    QStringList terms;
    QStringList items;
    for (const QString &item : order)
        items << item.split(u',', Qt::SkipEmptyParts);
    for (const QString &item : items) {
        const QStringList words = item.simplified().split(u' ', Qt::SkipEmptyParts);
        const auto column = std::find_if(known.begin(), known.end(), [&](const QString &k) {
            return !words.isEmpty() && k.compare(words[0], Qt::CaseInsensitive) == 0;
        });
        const bool directionOk = words.size() == 1
                                 || (words.size() == 2
                                     && (words[1].compare(QStringLiteral("asc"), Qt::CaseInsensitive) == 0
                                         || words[1].compare(QStringLiteral("desc"), Qt::CaseInsensitive) == 0));
        if (column == known.end() || !directionOk)
            throw StoreError(QStringLiteral("not an order of the table: %1").arg(item).toStdString());
        // Texts in the order of names; the id as a number.
        const QString collate = column->compare(QLatin1String("id"), Qt::CaseInsensitive) == 0
                                    ? QString()
                                    : QStringLiteral(" COLLATE noms");
        terms << *column + collate + (words.size() == 2 ? QLatin1Char(' ') + words[1].toLower() : QString());
    }
    Statement s = db->prepare(QStringLiteral("SELECT * FROM t") + (terms.isEmpty() ? QString() : QStringLiteral(" ORDER BY ") + terms.join(u',')));
    model.setRows(s);
}

} // namespace kirvane::store
