#pragma once
// One pass over an address book in name order (nom, then prenom, without
// regard to letter case, then id), the order the contacts view shows. Rows are
// read a batch at a time by their position in that order, so memory stays the
// same for ten or a million contacts and no read lock is held between batches
// (the user may edit a contact while a run pauses).
//
//     BookScan scan(Database::open(path));
//     scan.seek(key);              // optional: start at the contact with that id
//     store::ContactRecord c = labels;
//     while (scan.next(c)) { ... scan.peekId() is the id of the one after, or -1 }

#include "store/contactrecord.h"

#include <QString>

#include <deque>
#include <memory>

namespace kirvane::store {
class Database;
}

namespace kirvane::sending {

class BookScan {
public:
    explicit BookScan(std::shared_ptr<store::Database> db);
    ~BookScan();

    // Contacts in the book (counted when asked).
    [[nodiscard]] int count();
    // Starts the pass at the contact whose id is id; returns the number of
    // contacts before it, or -1 when no contact has that id (the pass is then
    // at the end).
    int seek(qint64 id);
    // Reads the next contact's values into c (labels kept); false at the end.
    bool next(store::ContactRecord &c);
    // The id of the contact next() would read, or -1 at the end.
    [[nodiscard]] qint64 peekId();
    // Passes over the contact next() would read.
    void skip();
    // The ids of the contacts before the one whose id is id, in name order;
    // every id of the book when none has that id.
    [[nodiscard]] QList<qint64> idsBefore(qint64 id);

private:
    struct Row {
        std::array<QString, store::kContactFields> values;
        qint64 id = 0;
    };
    void fill();

    std::shared_ptr<store::Database> m_db;
    std::deque<Row> m_batch;
    bool m_started = false;
    bool m_done = false;
    // Position after the last row read: its name, first name and id.
    QString m_lastNom;
    QString m_lastPrenom;
    qint64 m_lastId = 0;
};

} // namespace kirvane::sending
