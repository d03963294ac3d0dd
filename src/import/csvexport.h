#pragma once
// The semicolon-separated export of an address book: a heading line of the
// book's labels, then one line per contact of its eighteen values, lines ended
// by CR LF. A value or label holding a semicolon, a double quote or a line
// break is quoted, its quotes doubled. Control characters other than tab and
// line breaks are left out, so that the file reads back as text. The file is Windows-1252 when every character
// fits, else UTF-8 with a byte-order mark.

#include <QString>

namespace kirvane::store {
class BookFiles;
}

namespace kirvane::import {

// One value as the export writes it.
[[nodiscard]] QString csvField(const QString &value);

// Writes book to path, under another name first and renamed over path once
// complete. Throws store::StoreError when the book cannot be read, the file
// cannot be written whole, or path is a table or label file of the data
// folder (a book, the template, the history ...). Returns how many control
// characters were left out of the values.
int exportBook(const store::BookFiles &files, const QString &book, const QString &path);

// What the end of an export tells besides its success: the control
// characters left out; empty when none were.
[[nodiscard]] QString exportNote(int dropped);

} // namespace kirvane::import
