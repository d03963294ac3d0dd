#pragma once
// ContactTable: the reads and writes of contacts in address books, given book
// names and ids: save, read, the existence checks, selection by conditions,
// deletion, copy and move between books, and the ordered scan of a whole book.
// It holds no open book; every operation opens the book's file and closes it.
//
// Every operation throws StoreError when a book cannot be opened, read or
// written, except saveContact, which answers with a bool. Values always go
// into statements as bound parameters; lower() folds every letter.

#include "store/bookscan.h"
#include "store/contactrecord.h"
#include "store/database.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace kirvane::store {

class BookFiles;

// One condition on a book's column for selectIds; several are joined by AND.
// The values are bound as parameters, never pasted into the statement.
struct Condition {
    enum Op {
        Equal,             // column = value, exactly
        EqualIgnoringCase, // lower(column) = lower(value), folding every letter
        In,                // column IN (values); no value matches nothing
        NotIn,             // column NOT IN (values); no value matches every row
    };
    QString column; // id, nom ... champ19, in any letter case
    Op op = Equal;
    QStringList values; // Equal and EqualIgnoringCase use the first
};

// What a copy or a move meets in the target book: a contact whose name and
// first name (SameName), or whose address (SameEmail), the target holds
// already, letter case ignored; rows the same call copied count as held.
enum class TransferConflict { SameName, SameEmail };
// Says whether the contact is copied all the same. Called for each conflict
// met, the name's before the address's, before anything is written and with no
// table locked, so that it may ask the user.
using ConflictDecision = std::function<bool(TransferConflict, const ContactRecord &contact)>;

class ContactTable {
public:
    explicit ContactTable(const BookFiles &files) : m_files(files) {}

    // Inserts the contact when its id is empty, else updates the row with that
    // id. False when the statement failed; why then holds the store's reason.
    [[nodiscard]] bool saveContact(const ContactRecord &contact, const QString &book, QString *why = nullptr);
    // Inserts a new contact (its id is ignored) and returns the id the table gave it.
    qint64 addContact(const ContactRecord &contact, const QString &book);
    // Inserts many records in one transaction; returns the number saved.
    int saveContacts(const std::vector<ContactRecord> &contacts, const QString &book);
    // Sets the values of contact (its labels stay) from the row with id.
    // Throws StoreError when there is no such row.
    void readContact(qint64 id, const QString &book, ContactRecord &contact);

    // The comparisons fold letter case.
    [[nodiscard]] bool contactExists(const QString &book, const QString &nom, const QString &prenom);
    [[nodiscard]] bool nameExists(const QString &book, const QString &nom);
    [[nodiscard]] bool emailExists(const QString &book, const QString &email);

    // Ids of the book's contacts meeting every condition, in id order; none
    // for an empty list. An id compares as a number ("007" finds 7). Throws
    // StoreError for a column that is not one of the record's.
    [[nodiscard]] QList<qint64> selectIds(const QString &book, const QList<Condition> &conditions);

    void deleteContacts(const QString &book, const QList<qint64> &ids);
    // Deletes the contacts whose address is email, letter case folded (an
    // address is one whatever its case: JOHN@X.ORG is john@x.org); returns
    // how many were deleted.
    int deleteByEmail(const QString &book, const QString &email);

    // Copies the contacts with ids (in that order) from source into target.
    // A contact in conflict with the target is copied only when decide says
    // so. Every decision is taken before anything is written, and the copies
    // go in one transaction: a failure copies nothing. Returns the ids copied.
    QList<qint64> copyContacts(const QString &source, const QList<qint64> &ids, const QString &target,
                               const ConflictDecision &decide);
    // The same, then deletes from source the contacts copied.
    QList<qint64> moveContacts(const QString &source, const QList<qint64> &ids, const QString &target,
                               const ConflictDecision &decide);

    // The whole book in name order (descending when asked), read a batch at a
    // time. Throws StoreError.
    [[nodiscard]] BookScan scan(const QString &book, bool descending = false);

    // Parses "1,2,3" (digits joined by commas, blanks allowed). Throws
    // StoreError for anything else.
    [[nodiscard]] static QList<qint64> parseIdList(const QString &ids);

private:
    QList<qint64> copyOrMove(const QString &source, const QList<qint64> &ids, const QString &target,
                             const ConflictDecision &decide, bool move);
    const BookFiles &m_files;
};

// Deletes the rows with these ids from the table of db, in one transaction.
void deleteRowsWithIds(Database &db, const QList<qint64> &ids);

} // namespace kirvane::store
