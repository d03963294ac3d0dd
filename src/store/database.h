#pragma once
// A thin RAII layer over one SQLite file. Every table of the program is one
// file holding one table named "t"; statements bind their values, never paste
// them. LOWER() and UPPER() are replaced on each connection by versions that
// fold every letter (SQLite's own fold only A-Z).

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <memory>
#include <stdexcept>

struct sqlite3;
struct sqlite3_stmt;

namespace kirvane::store {

// What every store operation that raises throws: a table file that cannot be
// opened, read or written, with SQLite's reason.
struct StoreError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A failure put into the store by a test: a test program that defines this
// function has it called with the table file's path before every opening,
// statement and step, and what it throws is what the operation throws. The
// program leaves it undefined, and the store then calls nothing.
[[gnu::weak]] void faultPoint(const QString &path);

// The name of the one table inside every table file.
inline constexpr const char *kTableName = "t";

class Statement {
public:
    Statement() = default;
    Statement(sqlite3 *db, sqlite3_stmt *stmt) : m_db(db), m_stmt(stmt) {}
    Statement(Statement &&o) noexcept;
    Statement &operator=(Statement &&o) noexcept;
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    ~Statement();

    Statement &bind(int index, const QString &value); // 1-based
    Statement &bind(int index, qint64 value);
    Statement &bindNull(int index);
    Statement &bindBlob(int index, const QByteArray &value);
    // Steps once; true when a row is available. Throws StoreError on failure.
    bool step();
    // Runs to completion.
    void run();
    void reset();

    [[nodiscard]] int columnCount() const;
    [[nodiscard]] QString columnName(int column) const;
    [[nodiscard]] QString text(int column) const; // NULL reads as ""
    [[nodiscard]] QByteArrayView utf8(int column) const;
    [[nodiscard]] qint64 int64(int column) const;

private:
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
};

class Database {
public:
    enum class Mode { ReadWrite, Create, ReadOnly };

    // Opens the table file at path. Throws StoreError when it cannot be opened,
    // or when it is not a table file of ours (no table "t"). A Paradox table
    // is refused before SQLite sees it.
    static std::shared_ptr<Database> open(const QString &path, Mode mode = Mode::ReadWrite);

    // Opens the table file at path once and closes it again, so that SQLite
    // plays back the journal an interrupted write left beside it. Call it before
    // the file is copied or moved: the journal does not go with it. A file that
    // is not a table file is left as it is.
    static void settle(const QString &path);

    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    [[nodiscard]] sqlite3 *handle() const { return m_db; }
    [[nodiscard]] const QString &path() const { return m_path; }

    void exec(const QString &sql);
    [[nodiscard]] Statement prepare(const QString &sql);
    // Attaches another table file under alias (its table is then alias.t).
    void attach(const QString &path, const QString &alias);
    void detach(const QString &alias);
    [[nodiscard]] QStringList columns(const QString &schema = QStringLiteral("main"));
    [[nodiscard]] qint64 lastInsertId() const;

    // The most table pages this connection keeps in memory, in KiB. A new
    // connection keeps up to kWideCacheKib, so that a grid reading a book in
    // name order finds again the pages it visits in no order; a pass that
    // reads or changes each row once keeps kPassCacheKib, so that its memory
    // does not grow with the table (pages it needs again come from the
    // system's file cache). Lowering it frees the pages beyond it.
    static constexpr int kWideCacheKib = 32768;
    static constexpr int kPassCacheKib = 1024;
    // Throws StoreError.
    void setCacheKib(int kib);

private:
    Database(sqlite3 *db, QString path) : m_db(db), m_path(std::move(path)) {}
    sqlite3 *m_db = nullptr;
    QString m_path;
};

// Rolls back unless committed.
class Transaction {
public:
    explicit Transaction(Database &db);
    ~Transaction();
    void commit();

private:
    Database &m_db;
    bool m_done = false;
};

// Column names quoted for a statement ("nom" -> "\"nom\"").
[[nodiscard]] QString quoteIdentifier(const QString &name);

} // namespace kirvane::store
