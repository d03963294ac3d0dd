#pragma once
// The commands of the address-books view on whole books: name proposals,
// create, duplicate, rename, relabel, delete. A book is its files in the
// database folder (an_<name>.db and an_<name>.ini), so each command is a file
// operation; the view reloads its list afterwards.

#include <QString>
#include <QStringList>

namespace kirvane {

class Tbase;

class BookManager {
public:
    // Results: 0 success; the error codes shown by the error dialog; or one of
    // the refusals, each of which the view answers with its own notice.
    enum Result : int {
        Ok = 0,
        NameRefused = -1,  // the name holds one of \ / : * ? " ' < > |
        NameInUse = -2,    // rename: a book of that name exists
        Protected = -3,    // delete: the subscribers' or the bounces' book
        LabelsUnwritten = -4, // relabel: the label file could not be written (no numbered error for it)
        CreateFailed = 201,
        RenameFailed = 202,
        DeleteFailed = 203,
        DuplicateFailed = 205,
    };

    // The book that subscription requests fill; it cannot be deleted.
    static inline const QString kSubscribers = QStringLiteral("subscribers");
    // The addresses delivery notices reported as failed for good, kept for
    // the exclusion books of later runs; it cannot be deleted either.
    static inline const QString kBounces = QStringLiteral("bounces");

    explicit BookManager(Tbase &base) : m_base(base) {}

    // base starts with "an_": base itself when base.db is free, else base
    // followed by the smallest n >= 2 that is free; "an_" is then removed.
    [[nodiscard]] QString proposeName(const QString &base) const;
    [[nodiscard]] QString proposeNewName(bool french = false) const;
    [[nodiscard]] QString proposeCopyName(const QString &source, bool french = false) const;

    [[nodiscard]] bool exists(const QString &book) const;

    // Creates the book from the template with its four free-field labels. The
    // table file appears whole or not at all.
    [[nodiscard]] int create(const QString &name, const QStringList &freeLabels);
    [[nodiscard]] int duplicate(const QString &source, const QString &copy);
    [[nodiscard]] int rename(const QString &oldName, const QString &newName);
    [[nodiscard]] int relabel(const QString &name, const QStringList &freeLabels);
    [[nodiscard]] int remove(const QString &name);

    // The four free-field labels of a book (defaults when its file is missing).
    [[nodiscard]] QStringList freeLabels(const QString &name) const;

    // The system's message for the step that made the last command fail
    // ("File exists", "Permission denied" ...); empty when there is none.
    [[nodiscard]] const QString &lastError() const { return m_error; }

private:
    Tbase &m_base;
    QString m_error;
};

} // namespace kirvane
