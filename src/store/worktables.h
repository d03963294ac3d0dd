#pragma once
// WorkTables: the tables a run or a sweep fills from address books and then
// reads: the black list "listenoire" (the addresses of a run's exclusion
// books) and the merge table "fusion_mnl" of the duplicate sweep. A work table
// is remade from the book template, then filled with the rows of books, each
// row keeping the id it has in its own book and the book's name.
//
// Every operation throws StoreError.

#include "store/database.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace kirvane::store {

class BookFiles;
class Database;

class RowTableModel;

// Progress of the long work-table operations (the duplicate window shows it).
struct WorkProgress {
    std::function<void(int value, int maximum)> bar; // value -1: keep the maximum, add one
    std::function<void(int step)> step;
    // Asked between books and every few hundred rows; true stops the work.
    std::function<bool()> cancelled;
};

// A row of a work table: the book it came from and its id there.
struct WorkRow {
    QString book;
    qint64 id = 0;
};

class WorkTables {
public:
    explicit WorkTables(const BookFiles &files) : m_files(files) {}
    ~WorkTables();

    // The black list, remade empty / filled with the addresses of books.
    void resetBlackList();
    void buildBlackList(const QStringList &books);
    // True when email is on the black list (letter case ignored). A black list
    // that cannot be read throws: answering "not excluded" would mail a
    // reader who asked not to be.
    [[nodiscard]] bool isBlackListed(const QString &email);

    // Appends the rows of books to the work table (its id becoming a plain
    // column at the end). False when progress.cancelled stopped it between books.
    bool fillWorkTable(const QStringList &books, const QString &table, const WorkProgress &progress = {});
    // Keeps the rows that share, criterion by criterion and twice over, the
    // value of each criterion column with another row. False when
    // progress.cancelled stopped it; each pass deletes whole or not at all.
    bool pruneToDuplicates(const QString &table, const QStringList &criteria, const WorkProgress &progress = {});
    // Deletes from their books, and from the work table, the rows whose
    // columns hold values, each column compared with its own value (letter
    // case ignored), except the row keptId of keptBook. Returns the rows deleted.
    QList<WorkRow> deleteOtherOccurrences(const QString &table, const QStringList &columns, const QString &keptBook,
                                          const QString &keptId, const QStringList &values);
    void deleteRowsById(const QString &table, const QList<qint64> &ids);
    // Deletes the work-table rows with these ids that came from book (its
    // name compared ignoring letter case): ids repeat across the books merged.
    void deleteRowsByIdAndBook(const QString &table, const QString &book, const QList<qint64> &ids);
    // Reads the whole work table into model, ordered by order: items "column",
    // "column asc" or "column desc" of the table's own columns (any letter
    // case), each item possibly several joined by ",". Throws StoreError for
    // anything else.
    void load(const QString &table, const QStringList &order, RowTableModel &model);

private:
    const BookFiles &m_files;
    void closeBlackList();
    // fillWorkTable() on the table's connection db.
    bool fillTable(Database &db, const QStringList &books, const WorkProgress &progress);
    // Kept open, with its lookup prepared once, for the lookups of a run; the
    // statement goes before its connection.
    std::shared_ptr<Database> m_blackList;
    std::optional<Statement> m_blackListLookup;
};

} // namespace kirvane::store
