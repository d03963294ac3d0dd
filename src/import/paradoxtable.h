#pragma once
// ParadoxTable: one Paradox table file (versions 3 to 7) read record by record
// through pxlib, with the texts of its memo fields taken from the .MB file
// beside it by our own code (the library's memo reader ends the process with
// "stack smashing detected" on some memo files) and every text decoded from
// the table's code page. The import's Paradox reader and the migration of a
// data folder in the earlier format both read tables through it.
//
//     ParadoxTable table(path, ParadoxTable::Reading::Strict); // throws SourceError
//     for (int r = 0; r < table.recordCount(); ++r)
//         QStringList values = table.record(r);               // one text per column
//
// A blank field reads as the empty string, whatever its type.

#include <QString>
#include <QStringList>

#include <memory>

namespace kirvane::import {

class ParadoxTable {
public:
    enum class Reading {
        // For a preview or an import: what cannot be read is left empty or
        // cut short; a table without a code page may hold UTF-8.
        Lenient,
        // Nothing may be lost: a record the library cannot read, a memo that is
        // not where its field says or a table shorter than its header says
        // throws SourceError; a table without a code page is Windows-1252.
        Strict,
    };

    // Throws SourceError when path is not a Paradox table that can be read.
    explicit ParadoxTable(const QString &path, Reading reading = Reading::Lenient);
    ~ParadoxTable();
    ParadoxTable(const ParadoxTable &) = delete;
    ParadoxTable &operator=(const ParadoxTable &) = delete;

    [[nodiscard]] const QStringList &columns() const;
    [[nodiscard]] int recordCount() const;
    // The code page the header records; 0 when it records none.
    [[nodiscard]] int codePage() const;
    // True when the column holds dates (read as yyyy-MM-dd).
    [[nodiscard]] bool isDateColumn(int column) const;
    // The values of record (from 0), one per column. Throws SourceError (see
    // Reading) naming the record and the column.
    [[nodiscard]] QStringList record(int record);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace kirvane::import
