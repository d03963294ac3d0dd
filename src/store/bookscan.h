#pragma once
// BookScan: one pass over an address book in name order (the sort key of nom
// and prenom, then id: the order the contacts view shows), ascending or
// descending. The export, the command line's listing, the preview and the
// sending run read books this way, never through a grid's model.
//
// Rows are read a batch at a time, each batch starting after the last row read
// (by its sort key and id), so memory stays the same for ten or a million
// contacts and no read lock is held between batches: a contact may be edited,
// added or deleted while a run pauses, and the pass goes on from where it was.
//
//     BookScan scan = store.contacts().scan(book);
//     scan.seek(id);               // optional: start at the contact with that id
//     while (scan.next()) { scan.id(), scan.text(k), scan.utf8(k) ... }
//
// Every call that reads the book throws StoreError when it cannot be read.

#include "store/contactrecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <array>
#include <deque>
#include <functional>
#include <memory>

namespace kirvane::store {

class Database;

class BookScan {
public:
    // db is a book table whose rows all have their sort key (BookFiles::openBook);
    // the scan keeps few of its pages in memory (Database::kPassCacheKib).
    // Throws StoreError.
    explicit BookScan(std::shared_ptr<Database> db, bool descending = false);
    ~BookScan();
    BookScan(BookScan &&) noexcept;
    BookScan &operator=(BookScan &&) noexcept;

    // Moves to the next row; false after the last.
    bool next();
    // The same, and sets the values of c (its labels stay) from the row.
    bool next(ContactRecord &c);
    // Column k of the current row (0 id .. 18 champ19); the view is valid
    // until the next call of next().
    [[nodiscard]] QByteArrayView utf8(int k) const { return m_row.values[k]; }
    [[nodiscard]] QString text(int k) const { return QString::fromUtf8(m_row.values[k]); }
    [[nodiscard]] qint64 id() const { return m_row.id; }
    // The current row as a record with the given labels.
    [[nodiscard]] ContactRecord record(const ContactRecord &labels) const;

    // The id of the row next() would read, or -1 at the end.
    [[nodiscard]] qint64 peekId();
    // Passes over the row next() would read.
    void skip();
    // Starts the pass at the contact whose id is id; returns the number of
    // contacts before it, or -1 when no contact has that id (the pass is then
    // at the end).
    int seek(qint64 id);

    // Contacts in the book.
    [[nodiscard]] int count();
    // Calls take(id) for each contact before the one whose id is id, or for
    // every contact of the book when none has that id; in no set order.
    void forEachIdBefore(qint64 id, const std::function<void(qint64)> &take);

private:
    struct Row {
        std::array<QByteArray, kContactFields> values;
        QByteArray key;
        qint64 id = 0;
    };
    void fill();

    std::shared_ptr<Database> m_db;
    bool m_descending = false;
    std::deque<Row> m_batch;
    Row m_row;
    bool m_started = false;
    bool m_done = false;
    // Where the next batch starts: after this sort key and id.
    QByteArray m_lastKey;
    qint64 m_lastId = 0;
};

} // namespace kirvane::store
