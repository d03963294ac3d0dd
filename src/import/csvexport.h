#pragma once
// The semicolon-separated export of an address book: a heading line of the
// book's labels, then one line per contact of its eighteen values, lines ended
// by CR LF. A value holding a semicolon, a double quote or a line break is
// quoted, its quotes doubled. The file is Windows-1252 when every character
// fits, else UTF-8 with a byte-order mark.

#include <QString>

namespace kirvane::store {
class BookFiles;
}

namespace kirvane::import {

// One value as the export writes it.
[[nodiscard]] QString csvField(const QString &value);

// Writes book to path. Throws store::StoreError when the book cannot be read
// or the file cannot be written.
void exportBook(const store::BookFiles &files, const QString &book, const QString &path);

} // namespace kirvane::import
