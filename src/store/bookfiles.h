#pragma once
// BookFiles: the files of the data folder's Annuaires/ folder. An address book
// is the table file an_<name>.db with its label file an_<name>.ini; the
// template vierge.db is copied to make a book or a work table. Names are found
// without regard to letter case. Copies and renames never replace a file that
// exists, and a table appears whole or not at all.
//
// Use one per data folder; it holds no open file.

#include <QString>
#include <QStringList>

#include <memory>

namespace kirvane::store {

class Database;

class BookFiles {
public:
    // folder: the books folder; empty means the current data folder's, looked
    // up at each call (so a test or the command line may change it).
    explicit BookFiles(QString folder = {}) : m_folder(std::move(folder)) {}

    // Makes a data folder usable: Annuaires/ with the template vierge.db and
    // vierge.ini, historique/historique.db, titre.ini; keeps what exists.
    // False with a message when something cannot be made.
    static bool ensureDataFolder(const QString &folder, QString *error = nullptr);

    // The table file name (a name ending in .db) of folder, found without
    // regard to letter case: the exact spelling first, then another one. A
    // Paradox table of the earlier format is never taken for it; with none of
    // ours there, folder + name.
    [[nodiscard]] static QString findTable(const QString &folder, const QString &name);

    [[nodiscard]] QString folder() const;
    void setFolder(const QString &folder) { m_folder = folder; }

    // Path of a file of the books folder, found without regard to case (a
    // table file as findTable finds it).
    [[nodiscard]] QString filePath(const QString &fileName) const;
    // an_<name>.db and an_<name>.ini of a book (found without regard to case).
    // Every path of a book is built here, after the name check
    // (common::existingBookNameCheck): a name by which no book can be reached
    // (empty, "..", a line break, / or \\) throws StoreError, so no name
    // reaches a file outside the books folder.
    [[nodiscard]] QString bookPath(const QString &book) const;
    [[nodiscard]] QString labelPath(const QString &book) const;
    // The same, spelt exactly as book is (a new name, or a new letter case).
    [[nodiscard]] QString bookPathAsNamed(const QString &book) const;
    [[nodiscard]] QString labelPathAsNamed(const QString &book) const;
    // Throws StoreError, with the fault in words, for a name no book can have.
    static void checkBookName(const QString &book);
    [[nodiscard]] QString templatePath() const { return filePath(QStringLiteral("vierge.db")); }
    // False for a name no book can have.
    [[nodiscard]] bool bookExists(const QString &book) const;
    // Throws StoreError when the template is missing or damaged: a book made
    // from it could not be written.
    void checkTemplate() const;

    // The books, sorted without regard to case. Tables in the earlier Paradox
    // format are not books until the folder's migration brings them across.
    [[nodiscard]] QStringList listBooks() const;
    // Book files (an_*.db) whose names are not valid UTF-8, so that no name
    // can reach them, as the bytes of the name (for a report).
    [[nodiscard]] QList<QByteArray> unreachableBookFiles() const;

    // Opens a table file of the books folder ("an_clients", "tmp_base", ...).
    // Throws StoreError.
    [[nodiscard]] std::shared_ptr<Database> openTable(const QString &table, bool create = false) const;
    [[nodiscard]] std::shared_ptr<Database> openBook(const QString &book) const;

    // Remakes a work table (listenoire, fusion_mnl) as a copy of the template.
    // The old table goes even when no copy can be made, so that its rows are
    // never taken for the new ones; the fill that follows reports the missing
    // table.
    void remakeFromTemplate(const QString &table) const;

    // Moves from onto to unless to exists, atomically. False with the system's
    // message in why.
    static bool renameNoReplace(const QString &from, const QString &to, QString *why);
    // Copies from to a new file to, refusing to overwrite; the target appears whole.
    static bool copyNoReplace(const QString &from, const QString &to, QString *why);
    // Removes a journal whose table is gone: it would be played back into the
    // next file of that name, mixing pages of another book into it.
    static void dropStrayJournal(const QString &table);
    [[nodiscard]] static QString journalOf(const QString &table) { return table + QStringLiteral("-journal"); }
    // The system's text for an errno value.
    [[nodiscard]] static QString systemMessage(int error);

private:
    QString m_folder;
};

} // namespace kirvane::store
