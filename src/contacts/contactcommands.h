#pragma once
// ContactCommands: the commands of the contacts view on the store's current
// book, without widgets: the guards and their notices, Add with its two
// duplicate questions, Modify, Copy, Move and Delete, and where the view goes
// back to afterwards. Questions go through the Asker, so the window, the
// command line and the tests drive the same code; so does a store that fails
// under a command: it is told there, with the store's reason, and the view
// only shows the outcome.
//
//     ContactCommands commands(store, asker);
//     if (commands.mayRun(ContactCommands::Command::Delete, bookChosen, ids.size()))
//         if (auto to = commands.deleteContacts(ids, returnId))
//             grid.selectRow(commands.rowOf(*to));

#include "store/contactrecord.h"
#include "store/contacttable.h"
#include "texts/asker.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class QItemSelectionModel;

namespace kirvane::store {
class AddressBookStore;
class BookTableModel;
}

namespace kirvane::contacts {

class ContactCommands {
public:
    enum class Command { Add, Copy, Move, Modify, Delete, Print, Titles };

    ContactCommands(store::AddressBookStore &store, texts::Asker &asker) : m_store(store), m_asker(asker) {}

    void setLanguage(int language) { m_language = language; }
    [[nodiscard]] int language() const { return m_language; }

    // Whether command may go on with the book chosen or not and that many
    // rows selected; when not, the notice (choose a book, select a contact)
    // has been shown.
    bool mayRun(Command command, bool bookChosen, int selectedCount);

    enum class Outcome {
        Saved,
        Declined, // a duplicate question answered No: the form stays open
        Failed,   // the store refused the save (told): nothing changed
    };
    struct SaveResult {
        Outcome outcome = Outcome::Failed;
        qint64 id = -1; // the contact to show afterwards
    };
    // Add: replaces the apostrophes of contact (the form shows the result),
    // asks about a contact of the same name and first name, then (when it
    // has one) of the same address, in the current book, and inserts contact
    // as a new one.
    SaveResult addContact(store::ContactRecord &contact);
    // Modify: replaces the apostrophes and updates the contact with the id of
    // contact; no duplicate question.
    SaveResult modifyContact(store::ContactRecord &contact);

    struct Transfer {
        QList<qint64> taken; // ids copied or moved (of the last target for a copy)
        int copied = 0;      // rows written, over every target
        bool reopened = true; // false: the current book could not be reopened (error 112 shown)
    };
    // Copies ids of the current book into each target in turn, asking the two
    // duplicate questions per row, then reopens the current book.
    Transfer copyTo(const QStringList &targets, const QList<qint64> &ids);
    // Moves ids of the current book into target with the same questions, then
    // reopens the current book.
    Transfer moveTo(const QString &target, const QList<qint64> &ids);
    // Asks whether to delete; on Yes deletes ids from the current book and
    // reopens it. False when declined.
    bool deleteContacts(const QList<qint64> &ids);
    // The record at row of the current book; none, after telling why, when
    // it cannot be read.
    [[nodiscard]] std::optional<store::ContactRecord> readContactAt(int row);
    // The page printed for ids of the current book; none, after telling why,
    // when the book cannot be read.
    [[nodiscard]] std::optional<QString> printPage(const QList<qint64> &ids);

    // The contact to go back to when the selected rows go away: the row just
    // above the first selected one, else the one just below it when the book
    // has at least two rows; -1 for none.
    [[nodiscard]] static qint64 returnId(const store::BookTableModel &model, const QItemSelectionModel *grid);
    // Row of id in the current book; the last row when id is not there; -1
    // for none (an empty book, or id -1).
    [[nodiscard]] int rowOf(qint64 id) const;
    // Reopens the current book in name order; false when it cannot be opened.
    bool reopen();

    // The two duplicate questions' texts.
    [[nodiscard]] QString sameNameQuestion(const QString &nom, const QString &prenom) const;
    [[nodiscard]] QString sameEmailQuestion(const QString &email) const;
    // A copy's or a move's decisions: the question of each conflict, put to
    // the asker; Yes copies the contact all the same.
    [[nodiscard]] store::ConflictDecision askAboutConflicts() const;

private:
    // Tells that the store refused an act: entry's text with the store's
    // reason (and first the book, for a text that names one).
    void sayFailed(int entry, const QString &reason, const QString &book = QString()) const;

    store::AddressBookStore &m_store;
    texts::Asker &m_asker;
    int m_language = 2;
};

} // namespace kirvane::contacts
