#pragma once
// What a table file holds, told by its first bytes and never by its name: the
// data folder may hold tables of ours (SQLite files) beside tables in the
// earlier Paradox format under the same names in another letter case
// (an_clients.db beside an_clients.DB). The store opens, copies and removes
// only its own; a Paradox table is read by the folder's migration and moved
// aside by it, never opened as SQLite nor written over.

#include <QByteArray>
#include <QString>

namespace kirvane::store {

enum class TableFormat {
    Missing, // no such file
    Empty,   // a file of no bytes: SQLite makes a table file of it
    Sqlite,  // "SQLite format 3"
    Paradox, // a Paradox table header (versions 3 to 7)
    Other,   // anything else, damaged or foreign
};

// The format of the file at path, from its first bytes.
[[nodiscard]] TableFormat tableFormatOf(const QString &path);
// The same from the file's first bytes (at least 6) and its size.
[[nodiscard]] TableFormat tableFormatOf(const QByteArray &head, qint64 fileSize);

// True for a Paradox table file (.DB): a header length that fits the file and
// the file type of a keyed or unkeyed table. Other Paradox files (.PX, .MB)
// give false.
[[nodiscard]] bool isParadoxTableHeader(const QByteArray &head, qint64 fileSize);

} // namespace kirvane::store
