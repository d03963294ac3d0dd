#include "store/nameorder.h"

#include "store/database.h"

#include <QString>

#include <sqlite3.h>
#include <unicode/ucol.h>

#include <limits>

namespace kirvane::store {

namespace {

// One collator per thread: a sending run reads its books on a thread of its own.
class Collator {
public:
    Collator()
    {
        UErrorCode status = U_ZERO_ERROR;
        // The root order: the one most languages written in Latin letters share.
        m_collator = ucol_open("", &status);
        if (U_FAILURE(status)) {
            m_collator = nullptr;
            return;
        }
        ucol_setStrength(m_collator, UCOL_SECONDARY);
        ucol_setAttribute(m_collator, UCOL_ALTERNATE_HANDLING, UCOL_SHIFTED, &status);
    }
    ~Collator() { ucol_close(m_collator); }
    Collator(const Collator &) = delete;
    Collator &operator=(const Collator &) = delete;

    // Appends the sort key of text, its terminating zero included: no key is
    // the beginning of another, so keys written one after the other compare
    // field by field.
    void appendKey(QByteArray &out, QStringView text) const
    {
        if (!m_collator) {
            out += text.toString().toCaseFolded().toUtf8() + '\0';
            return;
        }
        const auto *chars = reinterpret_cast<const UChar *>(text.utf16());
        const int n = int(text.size());
        const qsizetype at = out.size();
        int room = 4 * n + 16;
        for (;;) {
            out.resize(at + room);
            const int needed = ucol_getSortKey(m_collator, chars, n, reinterpret_cast<uint8_t *>(out.data() + at), room);
            if (needed <= room) {
                out.resize(at + needed);
                return;
            }
            room = needed;
        }
    }

    int compare(QStringView a, QStringView b) const
    {
        if (!m_collator)
            return a.compare(b, Qt::CaseInsensitive);
        return ucol_strcoll(m_collator, reinterpret_cast<const UChar *>(a.utf16()), int(a.size()),
                            reinterpret_cast<const UChar *>(b.utf16()), int(b.size()));
    }

private:
    UCollator *m_collator = nullptr;
};

const Collator &collator()
{
    thread_local const Collator c;
    return c;
}

QString textOf(sqlite3_value *v)
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_value_text(v));
    return p ? QString::fromUtf8(p, sqlite3_value_bytes(v)) : QString();
}

void sortKeyFunction(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    const QByteArray key = nameSortKey(textOf(argv[0]), textOf(argv[1]));
    sqlite3_result_blob(ctx, key.constData(), int(key.size()), SQLITE_TRANSIENT);
}

int namesCollation(void *, int n1, const void *s1, int n2, const void *s2)
{
    return compareNames(QString::fromUtf8(static_cast<const char *>(s1), n1),
                        QString::fromUtf8(static_cast<const char *>(s2), n2));
}

} // namespace

QByteArray nameSortKey(QStringView nom, QStringView prenom)
{
    QByteArray key;
    key.reserve(2 * (nom.size() + prenom.size()) + 16);
    collator().appendKey(key, nom);
    collator().appendKey(key, prenom);
    return key;
}

int compareNames(QStringView a, QStringView b)
{
    return collator().compare(a, b);
}

void registerNameOrder(Database &db)
{
    sqlite3_create_function(db.handle(), "cle_de_tri", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, sortKeyFunction,
                            nullptr, nullptr);
    sqlite3_create_collation(db.handle(), "noms", SQLITE_UTF8, nullptr, namesCollation);
}

void keepNameOrder(Database &db)
{
    db.exec(QStringLiteral(
        "CREATE TEMP TRIGGER IF NOT EXISTS t_tri_ajout AFTER INSERT ON main.t BEGIN "
        "UPDATE t SET cle_tri = cle_de_tri(NEW.nom, NEW.prenom) WHERE id = NEW.id; END;"
        "CREATE TEMP TRIGGER IF NOT EXISTS t_tri_modif AFTER UPDATE OF nom, prenom ON main.t BEGIN "
        "UPDATE t SET cle_tri = cle_de_tri(NEW.nom, NEW.prenom) WHERE id = NEW.id; END;"));
}

bool keyGivenOnInsert(Database &db)
{
    if (!db.columns().contains(QStringLiteral("cle_tri"), Qt::CaseInsensitive))
        return false;
    db.exec(QStringLiteral("DROP TRIGGER IF EXISTS temp.t_tri_ajout"));
    return true;
}

void prepareNameOrder(Database &db)
{
    if (!db.columns().contains(QStringLiteral("cle_tri"), Qt::CaseInsensitive))
        db.exec(QStringLiteral("ALTER TABLE t ADD COLUMN cle_tri BLOB"));
    db.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS t_tri ON t(cle_tri, id)"));
    keepNameOrder(db);
    if (!db.prepare(QStringLiteral("SELECT 1 FROM t WHERE cle_tri IS NULL LIMIT 1")).step())
        return; // the usual case: every row has its key
    // Rows another program added are keyed a batch at a time, each batch a
    // transaction of its own under a small cache, so that keying a book of
    // any size takes the same memory. A batch interrupted leaves its rows
    // without a key, and the next opening keys them.
    constexpr int kBatch = 8192;
    Statement last = db.prepare(
        QStringLiteral("SELECT id FROM t WHERE cle_tri IS NULL AND id > ? ORDER BY id LIMIT 1 OFFSET %1").arg(kBatch - 1));
    Statement upTo = db.prepare(QStringLiteral(
        "UPDATE t SET cle_tri = cle_de_tri(nom, prenom) WHERE cle_tri IS NULL AND id > ? AND id <= ?"));
    db.setCacheKib(Database::kPassCacheKib);
    for (qint64 after = std::numeric_limits<qint64>::min();;) {
        last.bind(1, after);
        const bool more = last.step();
        const qint64 to = more ? last.int64(0) : std::numeric_limits<qint64>::max();
        last.reset();
        upTo.bind(1, after).bind(2, to);
        upTo.run();
        upTo.reset();
        if (!more)
            break;
        after = to;
    }
    db.setCacheKib(Database::kWideCacheKib);
}

} // namespace kirvane::store
