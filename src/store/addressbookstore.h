#pragma once
// AddressBookStore: the store as the windows see it. It owns the current
// address book (the one the contacts view shows) with its labels, and the
// models the grids show: the current book, the history and the duplicate
// sweep's merge table. The work itself is done by the parts it hands out:
// files() for the data folder's files, contacts() for contact reads and
// writes, history() and workTables().
//
// One per program (the windows share it); the command line and the tests may
// make their own.

#include "store/bookfiles.h"
#include "store/contactrecord.h"
#include "store/contacttable.h"
#include "store/historytable.h"
#include "store/worktables.h"

#include <QObject>
#include <QString>

namespace kirvane::store {

class BookTableModel;
class RowTableModel;

class AddressBookStore : public QObject {
    Q_OBJECT
public:
    explicit AddressBookStore(QObject *parent = nullptr);
    ~AddressBookStore() override;

    // Points the store at the current data folder's books and history and
    // forgets the current book.
    void initDataFolder();

    [[nodiscard]] BookFiles &files() { return m_files; }
    [[nodiscard]] ContactTable &contacts() { return m_contacts; }
    [[nodiscard]] HistoryTable &history() { return m_history; }
    [[nodiscard]] WorkTables &workTables() { return m_workTables; }

    [[nodiscard]] QStringList listBooks() const { return m_files.listBooks(); }

    // Makes book the current one, shown in name order (or the reverse). False
    // when its table cannot be opened: the book is current, its grid empty,
    // and bookUnreadable says why.
    [[nodiscard]] bool openBook(const QString &name, bool descending = false);
    // Forgets the current book (its file is about to be renamed or deleted).
    void closeCurrentBook();
    [[nodiscard]] const QString &currentBook() const { return m_currentBook; }
    [[nodiscard]] const ContactRecord &currentLabels() const { return m_currentLabels; }
    [[nodiscard]] BookTableModel *currentBookModel() const { return m_bookModel; }
    // The record at row of the current book, with the current labels. Throws
    // StoreError when the row cannot be read.
    [[nodiscard]] ContactRecord readContactAt(int row) const;
    // Number of rows of a table of the books folder ("an_" + book, "listenoire" ...).
    // Throws StoreError.
    [[nodiscard]] int countRows(const QString &table) const;

    // Reads the history into historyModel(); false when it cannot be read.
    [[nodiscard]] bool openHistory(QString *error = nullptr);
    [[nodiscard]] RowTableModel *historyModel() const { return m_historyModel; }
    // The merge table's rows (id, nom_annuaire, columns...) as the duplicate window shows them.
    [[nodiscard]] RowTableModel *duplicatesModel() const { return m_duplicatesModel; }
    // Remakes the merge table fusion_mnl empty, from the book template.
    void remakeMergeTable();
    // Reads the merge table into duplicatesModel() in order (see
    // WorkTables::load); false, the model closed, when it cannot be read.
    [[nodiscard]] bool openDuplicates(const QStringList &order);
    // The merge table's name.
    [[nodiscard]] static QString mergeTable() { return QStringLiteral("fusion_mnl"); }

Q_SIGNALS:
    void currentBookChanged(const QString &book);
    // The current book could not be opened, or a page of its rows could not
    // be read while shown (a damaged file): said once per opening, with the
    // store's reason. Emitted while a grid paints, so listeners that show a
    // dialog connect queued.
    void bookUnreadable(const QString &book, const QString &reason);

private:
    BookFiles m_files;
    ContactTable m_contacts{m_files};
    HistoryTable m_history;
    WorkTables m_workTables{m_files};
    QString m_currentBook;
    ContactRecord m_currentLabels;
    BookTableModel *m_bookModel = nullptr;
    RowTableModel *m_historyModel = nullptr;
    RowTableModel *m_duplicatesModel = nullptr;
};

} // namespace kirvane::store
