#pragma once
// Text in the code page a table file names, for the readers of old table
// formats (dBase language drivers, Paradox code pages).

#include <QByteArray>
#include <QString>

namespace kirvane::import {

// Decodes bytes in the Windows or DOS code page numbered codePage (1252, 850,
// 936 ...). 0 or a code page this system cannot decode: a UTF-8 byte-order
// mark or valid UTF-8 is UTF-8, anything else Windows-1252.
[[nodiscard]] QString decodeCodePage(const QByteArray &bytes, int codePage);

// The code page of a dBase language-driver byte, 0 when unknown.
[[nodiscard]] int codePageOfLanguageDriver(int driver);

} // namespace kirvane::import
