#pragma once
// The commands of the address-books view on whole books: name proposals,
// create, duplicate, rename, relabel, delete. A book is its files in the
// database folder (an_<name>.db and an_<name>.ini), so each command is a file
// operation; the view reloads its list afterwards.

#include "common/folders.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace kirvane::store {
class AddressBookStore;
}

namespace kirvane::contacts {

// What a command on a book came to. A refusal is the view's own notice; a
// failure is a numbered error of the error dialog (or, for a label file that
// could not be written, one without a number), with the system's reason.
struct [[nodiscard]] BookResult {
    enum class Refusal {
        None,
        BadName,   // the name fails its check (empty, "..", a line break,
                   // one of \ / : * ? " ' < > |); reason and nameFault say which
        NameInUse, // rename: a book of that name exists
        Protected, // delete: the subscribers' or the bounces' book, in any letter case
    };
    Refusal refusal = Refusal::None;
    bool failed = false;
    int errorCode = 0; // 201 create, 202 rename, 203 delete, 205 duplicate; 0 for none
    QString reason;    // the system's message for the failed step ("File exists" ...)
    common::BookNameFault nameFault = common::BookNameFault::None; // for BadName

    [[nodiscard]] bool ok() const { return refusal == Refusal::None && !failed; }
    static BookResult refused(Refusal r, QString why = {}) { return {r, false, 0, std::move(why), {}}; }
    static BookResult failure(int code, QString why) { return {Refusal::None, true, code, std::move(why), {}}; }
};

class BookManager {
public:
    static constexpr int CreateFailed = 201;
    static constexpr int RenameFailed = 202;
    static constexpr int DeleteFailed = 203;
    static constexpr int DuplicateFailed = 205;

    // The book that subscription requests fill; it cannot be deleted.
    static inline const QString kSubscribers = QStringLiteral("subscribers");
    // The addresses delivery notices reported as failed for good, kept for
    // the exclusion books of later runs; it cannot be deleted either.
    static inline const QString kBounces = QStringLiteral("bounces");

    explicit BookManager(store::AddressBookStore &store) : m_store(store) {}

    // base starts with "an_": base itself when base.db is free, else base
    // followed by the smallest n >= 2 that is free; "an_" is then removed.
    [[nodiscard]] QString proposeName(const QString &base) const;
    [[nodiscard]] QString proposeNewName(bool french = false) const;
    [[nodiscard]] QString proposeCopyName(const QString &source, bool french = false) const;

    [[nodiscard]] bool exists(const QString &book) const;
    // True when renaming oldName to newName would find newName in use: a
    // book of that name exists and it is not oldName in another letter case.
    [[nodiscard]] bool nameInUseFor(const QString &oldName, const QString &newName) const;
    // True for the books that cannot be deleted, in any letter case.
    [[nodiscard]] static bool isProtected(const QString &book);

    // Every command first checks each book name it is given and refuses a
    // name that fails: a new name (create, the copy, the new name of a
    // rename) by common::bookNameCheck, the name of an existing book by the
    // looser common::existingBookNameCheck of BookFiles::bookPath.
    //
    // Creates the book from the template with its four free-field labels. The
    // table file appears whole or not at all; a damaged template is refused.
    BookResult create(const QString &name, const QStringList &freeLabels);
    BookResult duplicate(const QString &source, const QString &copy);
    // A rename may change only the letter case of a name.
    BookResult rename(const QString &oldName, const QString &newName);
    BookResult relabel(const QString &name, const QStringList &freeLabels);
    BookResult remove(const QString &name);

    // The four free-field labels of a book (defaults when its file is missing).
    [[nodiscard]] QStringList freeLabels(const QString &name) const;

private:
    store::AddressBookStore &m_store;
};

// The book the contacts view shows after its list of books is read again:
// a book made since the list was last read (knownBefore; null when it was
// never read), else the one chosen before while it still exists, else the
// only book; empty when none of these holds.
[[nodiscard]] QString bookToShow(const QStringList &books, const std::optional<QStringList> &knownBefore,
                                 const QString &chosenBefore);

} // namespace kirvane::contacts
