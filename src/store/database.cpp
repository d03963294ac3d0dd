#include "store/database.h"

#include "store/nameorder.h"
#include "store/tableformat.h"

#include <QFileInfo>

#include <sqlite3.h>

namespace kirvane::store {

namespace {

[[noreturn]] void raise(sqlite3 *db, const QString &what)
{
    const QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
    throw StoreError((what + QLatin1String(": ") + msg).toStdString());
}

void foldFunction(sqlite3_context *ctx, int, sqlite3_value **argv, bool upper)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto *bytes = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const int n = sqlite3_value_bytes(argv[0]);
    bool ascii = true;
    for (int i = 0; i < n; ++i)
        if (static_cast<unsigned char>(bytes[i]) >= 0x80) {
            ascii = false;
            break;
        }
    QByteArray out;
    if (ascii) {
        out = QByteArray(bytes, n);
        out = upper ? out.toUpper() : out.toLower();
    } else {
        const QString s = QString::fromUtf8(bytes, n);
        out = (upper ? s.toUpper() : s.toLower()).toUtf8();
    }
    sqlite3_result_text(ctx, out.constData(), int(out.size()), SQLITE_TRANSIENT);
}

// SQLite would only say "file is not a database" of a table of the earlier
// format, and a write could touch it: it is refused before SQLite sees it.
void refuseParadoxTable(const QString &path)
{
    if (tableFormatOf(path) == TableFormat::Paradox)
        throw StoreError(QStringLiteral("%1 is a table in the earlier Paradox format, not a table file of ours")
                             .arg(path).toStdString());
}

void checkFaultPoint(const QString &path)
{
    if (faultPoint)
        faultPoint(path);
}

void checkFaultPoint(sqlite3 *db)
{
    if (faultPoint)
        faultPoint(QString::fromUtf8(sqlite3_db_filename(db, "main")));
}

void lowerFn(sqlite3_context *ctx, int argc, sqlite3_value **argv) { foldFunction(ctx, argc, argv, false); }
void upperFn(sqlite3_context *ctx, int argc, sqlite3_value **argv) { foldFunction(ctx, argc, argv, true); }

} // namespace

QString quoteIdentifier(const QString &name)
{
    QString n = name;
    n.replace(u'"', QLatin1String("\"\""));
    return u'"' + n + u'"';
}

Statement::Statement(Statement &&o) noexcept : m_db(o.m_db), m_stmt(o.m_stmt) { o.m_stmt = nullptr; }

Statement &Statement::operator=(Statement &&o) noexcept
{
    if (this != &o) {
        sqlite3_finalize(m_stmt);
        m_db = o.m_db;
        m_stmt = o.m_stmt;
        o.m_stmt = nullptr;
    }
    return *this;
}

Statement::~Statement() { sqlite3_finalize(m_stmt); }

Statement &Statement::bind(int index, const QString &value)
{
    const QByteArray u = value.toUtf8();
    if (sqlite3_bind_text(m_stmt, index, u.constData(), int(u.size()), SQLITE_TRANSIENT) != SQLITE_OK)
        raise(m_db, QStringLiteral("bind"));
    return *this;
}

Statement &Statement::bind(int index, qint64 value)
{
    if (sqlite3_bind_int64(m_stmt, index, value) != SQLITE_OK)
        raise(m_db, QStringLiteral("bind"));
    return *this;
}

Statement &Statement::bindBlob(int index, const QByteArray &value)
{
    if (sqlite3_bind_blob(m_stmt, index, value.constData(), int(value.size()), SQLITE_TRANSIENT) != SQLITE_OK)
        raise(m_db, QStringLiteral("bind"));
    return *this;
}

Statement &Statement::bindNull(int index)
{
    sqlite3_bind_null(m_stmt, index);
    return *this;
}

bool Statement::step()
{
    checkFaultPoint(m_db);
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    raise(m_db, QStringLiteral("statement"));
}

void Statement::run()
{
    while (step()) {
    }
}

void Statement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

int Statement::columnCount() const { return sqlite3_column_count(m_stmt); }

QString Statement::columnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(m_stmt, column));
}

QString Statement::text(int column) const
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    if (!p)
        return QString();
    return QString::fromUtf8(p, sqlite3_column_bytes(m_stmt, column));
}

QByteArrayView Statement::utf8(int column) const
{
    const auto *p = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    return p ? QByteArrayView(p, sqlite3_column_bytes(m_stmt, column)) : QByteArrayView();
}

qint64 Statement::int64(int column) const { return sqlite3_column_int64(m_stmt, column); }

std::shared_ptr<Database> Database::open(const QString &path, Mode mode)
{
    checkFaultPoint(path);
    if (mode != Mode::Create && !QFileInfo(path).isFile())
        throw StoreError(QStringLiteral("no table file %1").arg(path).toStdString());
    refuseParadoxTable(path);
    int flags = SQLITE_OPEN_NOMUTEX;
    flags |= mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (mode == Mode::Create)
        flags |= SQLITE_OPEN_CREATE;
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString();
        sqlite3_close(db);
        throw StoreError(QStringLiteral("cannot open %1: %2").arg(path, msg).toStdString());
    }
    std::shared_ptr<Database> d(new Database(db, path));
    sqlite3_busy_timeout(db, 2000);
    sqlite3_extended_result_codes(db, 1);
    const int enc = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function(db, "lower", 1, enc, nullptr, lowerFn, nullptr, nullptr);
    sqlite3_create_function(db, "upper", 1, enc, nullptr, upperFn, nullptr, nullptr);
    registerNameOrder(*d);
    // A book read in name order visits its table pages in no order; with the
    // default cache of 2 MB most visits would go back to the file.
    sqlite3_exec(db, QByteArray("PRAGMA cache_size=" + QByteArray::number(-kWideCacheKib)).constData(), nullptr, nullptr,
                 nullptr);
    if (mode == Mode::Create)
        return d;
    QString why = QStringLiteral("no table t");
    try {
        if (d->prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='table' AND name='t'")).step()) {
            if (mode != Mode::ReadOnly && d->columns().contains(QStringLiteral("cle_tri"), Qt::CaseInsensitive))
                keepNameOrder(*d);
            return d;
        }
    } catch (const StoreError &e) {
        why = QString::fromUtf8(e.what()); // "file is not a database", "database is locked" ...
    }
    throw StoreError(QStringLiteral("%1 is not a table file (%2)").arg(path, why).toStdString());
}

void Database::settle(const QString &path)
{
    try {
        (void)open(path); // reading the schema plays the journal back
    } catch (const StoreError &) {
    }
}

Database::~Database() { sqlite3_close_v2(m_db); }

void Database::exec(const QString &sql)
{
    checkFaultPoint(m_db);
    char *msg = nullptr;
    if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &msg) != SQLITE_OK) {
        const QString text = QString::fromUtf8(msg ? msg : "error");
        sqlite3_free(msg);
        throw StoreError(text.toStdString());
    }
}

void Database::setCacheKib(int kib)
{
    // A negative size is in KiB, a positive one in pages.
    exec(QStringLiteral("PRAGMA cache_size=%1").arg(-qint64(kib)));
}

Statement Database::prepare(const QString &sql)
{
    checkFaultPoint(m_db);
    sqlite3_stmt *stmt = nullptr;
    const QByteArray u = sql.toUtf8();
    if (sqlite3_prepare_v2(m_db, u.constData(), int(u.size()), &stmt, nullptr) != SQLITE_OK)
        raise(m_db, QStringLiteral("statement"));
    return Statement(m_db, stmt);
}

void Database::attach(const QString &path, const QString &alias)
{
    if (!QFileInfo(path).isFile())
        throw StoreError(QStringLiteral("no table file %1").arg(path).toStdString());
    refuseParadoxTable(path);
    prepare(QStringLiteral("ATTACH DATABASE ? AS ") + quoteIdentifier(alias)).bind(1, path).run();
    bool ok = false;
    try {
        Statement s = prepare(QStringLiteral("SELECT 1 FROM %1.sqlite_master WHERE type='table' AND name='t'")
                                  .arg(quoteIdentifier(alias)));
        ok = s.step();
    } catch (const StoreError &) {
        ok = false;
    }
    if (!ok) {
        detach(alias);
        throw StoreError(QStringLiteral("%1 is not a table file").arg(path).toStdString());
    }
}

void Database::detach(const QString &alias)
{
    try {
        exec(QStringLiteral("DETACH DATABASE ") + quoteIdentifier(alias));
    } catch (const StoreError &) {
    }
}

QStringList Database::columns(const QString &schema)
{
    QStringList out;
    Statement s = prepare(QStringLiteral("PRAGMA %1.table_info(t)").arg(quoteIdentifier(schema)));
    while (s.step())
        out << s.text(1);
    return out;
}

qint64 Database::lastInsertId() const { return sqlite3_last_insert_rowid(m_db); }

Transaction::Transaction(Database &db) : m_db(db) { m_db.exec(QStringLiteral("BEGIN IMMEDIATE")); }

Transaction::~Transaction()
{
    if (!m_done) {
        try {
            m_db.exec(QStringLiteral("ROLLBACK"));
        } catch (const StoreError &) {
        }
    }
}

void Transaction::commit()
{
    m_db.exec(QStringLiteral("COMMIT"));
    m_done = true;
}

} // namespace kirvane::store
