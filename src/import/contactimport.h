#pragma once
// The two last steps of every import, whatever the source kind: the column
// mapping (each source column goes to one contact field, or is unused) and
// the import of the rows as new contacts of a book.
//
//     QList<int> map = {store::F_nom, kUnused, store::F_email};       // one entry per column
//     if (mappingProblems(map, table).isEmpty())
//         ImportResult r = importContacts(files, "clients", table, map, options);
//
// The import is one transaction: a failure part-way leaves the book as it was.
// A row the store refuses is counted with the reason, never lost silently.
// Rows are taken one at a time from the reader (importRows), so an import
// holds one row, not the file.

#include "import/sourcefile.h"

#include <QList>
#include <QMap>
#include <QString>

#include <functional>
#include <optional>

namespace kirvane::store {
class BookFiles;
}

namespace kirvane::import {

// Mapping entries besides a contact field index (F_nom ... F_champ19).
inline constexpr int kNotIdentified = -2; // the heading still says "Cliquez ici"
inline constexpr int kUnused = -1;        // "Inutilisé": the column is ignored

// The mapping choices in the order the mapping dialog lists them, each the
// contact field it stands for (kUnused for the first). Their texts are the
// entries of texts::mappingChoices() in the same order.
[[nodiscard]] const QList<int> &mappingFields();
// The text of a field's choice in the active language ("Email", "Unused").
[[nodiscard]] QString mappingText(int field, int language);
// The field of a command-line name (nom, email, champ16 ...) or kNotIdentified.
[[nodiscard]] int fieldOfColumnName(const QString &name);

enum class MappingProblem {
    NotIdentified, // a column was not mapped
    NoFieldUsed,   // no column goes to a contact field
    FieldTwice,    // two columns go to the same field
    NoRecord,      // the source has no rows
};
// The problems that stop an import, in the order their dialogs are shown. The
// scan stops at the first column not identified or the first field met
// twice, as the dialogs tell the user to look from the left.
[[nodiscard]] QList<MappingProblem> mappingProblems(const QList<int> &mapping, bool sourceHasRows);
// The text-table entry of a problem's dialog.
[[nodiscard]] int problemEntry(MappingProblem problem);

// An apostrophe becomes the right single quotation mark in texts that are
// shown and printed; an e-mail address or a web address keeps it, or it
// would name another mailbox or page.
[[nodiscard]] bool keepsApostrophes(int field);
[[nodiscard]] QString withTypographicApostrophes(QString value);
[[nodiscard]] QString importedValue(int field, const QString &value);

// What becomes of a row whose e-mail address the book already holds (letter
// case ignored; a row without an address is always added).
enum class ExistingAddress {
    Add,    // added anyway, as a contact of its own
    Skip,   // left out, counted as skipped
    Update, // the existing contact takes the row's non-empty values
};
// add, skip, update (the command line's words).
[[nodiscard]] std::optional<ExistingAddress> existingFromName(const QString &name);

struct ImportOptions {
    bool skipHeader = false;      // "Ignorer la première ligne": the column names are not a contact
    ExistingAddress existing = ExistingAddress::Add;
    QString titlesPath;           // titre.ini: new titles are added; empty: left alone
    // Told every few rows, on the thread that imports; maximum 0 while the
    // row count is not known.
    std::function<void(int value, int maximum)> progress;
    // Asked before each row; true stops the import and leaves the book as it was.
    std::function<bool()> cancelled;
};

struct ImportResult {
    bool ok = false;         // false: nothing was imported (error says why)
    bool cancelled = false;  // stopped by options.cancelled: nothing was imported
    QString error;
    ExistingAddress existing = ExistingAddress::Add; // as asked: the summary tells its counts
    int added = 0;
    int updated = 0;
    int skipped = 0;
    int refused = 0;
    QMap<QString, int> reasons; // why rows were refused, with how many each
    QMap<QString, QStringList> where; // for a reason the reader gave, the first records it names ("line 12")
    QStringList notes;          // what the reader changed in the values, each once
};

// What a reader hands the import as it reads: each row in file order (false
// back: read no further), each record it could not read (where it stands,
// why), each note on what it changed in the values.
struct RowTarget {
    std::function<bool(const QStringList &row)> row;
    std::function<void(const QString &where, const QString &reason)> refused;
    std::function<void(const QString &note)> note;
};
// Reads a table into a target; throws SourceError when the table cannot be
// read on (the rows already given are rolled back with the rest).
using RowFeed = std::function<void(const RowTarget &target)>;

// Adds the rows of feed (and first the column names unless skipHeader) to
// book, in one transaction; rows whose address the book holds go as
// options.existing says. A cancelled import is rolled back whole: the book
// is left as it was, so that the file can be imported again without repeats. rowCount, when known (>= 0), is the progress's
// maximum; otherwise the progress is told 0 as its maximum until the end.
[[nodiscard]] ImportResult importRows(const store::BookFiles &files, const QString &book, const QStringList &columns,
                                      const RowFeed &feed, const QList<int> &mapping, const ImportOptions &options,
                                      qint64 rowCount = -1);
// The same for a table read whole.
[[nodiscard]] ImportResult importContacts(const store::BookFiles &files, const QString &book, const SourceTable &table,
                                          const QList<int> &mapping, const ImportOptions &options);

// What the end of an import tells the user: how many contacts were added
// (and, when rows with a known address were to be skipped or update their
// contact, how many were updated and skipped), how many rows were refused and
// why; or why nothing was imported.
[[nodiscard]] QString importSummary(const ImportResult &result, int language);

} // namespace kirvane::import
