#pragma once
// The text files of the data folder (INI files, titles, exports, message
// parts) are kept in Windows-1252, the charset they are read in by other
// copies of this program and by the spreadsheets that open exports. These helpers write that charset whenever every character fits
// and fall back to UTF-8 (with a byte-order mark where asked) so that nothing
// is ever lost; reading accepts either.

#include <QByteArray>
#include <QString>

namespace kirvane::common {

// True when every character of text has a Windows-1252 byte.
[[nodiscard]] bool fitsWindows1252(QStringView text);

// Windows-1252 bytes of text; characters without one become '?'. Use
// encodeLegacyText when nothing may be lost.
[[nodiscard]] QByteArray toWindows1252(QStringView text);
[[nodiscard]] QString fromWindows1252(const QByteArray &bytes);

// True when bytes are valid UTF-8 (an empty array is).
[[nodiscard]] bool isValidUtf8(const QByteArray &bytes);

struct LegacyText {
    QByteArray bytes;
    bool utf8 = false; // true when the text did not fit Windows-1252
};

// Windows-1252 when the text fits (and its bytes cannot be taken for UTF-8 on
// reading), else UTF-8, prefixed by a byte-order mark when withBom is set (or
// when the text itself starts with U+FEFF, which reading would take off).
[[nodiscard]] LegacyText encodeLegacyText(QStringView text, bool withBom);

// Reads bytes written by encodeLegacyText or by other programs: a UTF-8
// byte-order mark decides (no other mark is one: "ÿþ" is Windows-1252 text);
// otherwise valid UTF-8 holding non-ASCII bytes is UTF-8, and anything else is
// Windows-1252.
[[nodiscard]] QString decodeLegacyText(const QByteArray &bytes);

} // namespace kirvane::common
