#pragma once
// Splitting of delimited text: what the export writes (semicolons, values in
// double quotes with inner quotes doubled, line breaks inside quotes, CR LF)
// and what other programs write (commas or tabs, LF or CR line ends, a
// byte-order mark, UTF-16, Windows-1252).

#include <QChar>
#include <QString>
#include <QStringList>

#include <vector>

namespace kirvane::import {

// The separator among ';', ',' and tab that occurs most often outside quotes
// in the first record; ';' when none occurs or on a tie with it.
[[nodiscard]] QChar detectSeparator(QStringView text);

// Every record of text. A quote opens a quoted value only at the start of a
// value; elsewhere it is an ordinary character. Lines that are wholly empty
// are not records.
[[nodiscard]] std::vector<QStringList> splitRecords(QStringView text, QChar separator);

// The characters of a delimited file: a byte-order mark decides (UTF-8,
// UTF-16), else valid UTF-8, else Windows-1252.
[[nodiscard]] QString decodeDelimitedText(const QByteArray &bytes);

} // namespace kirvane::import
