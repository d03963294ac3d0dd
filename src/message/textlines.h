#pragma once
// Lines of text as the message files keep them: each line ended by CR LF, in
// Windows-1252 when every character fits (and cannot pass for UTF-8) and in
// UTF-8 (with a byte-order mark) otherwise; reading accepts CR LF, LF or CR and
// either charset.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <algorithm>

namespace kirvane::message {

// The lines of text; a final line break does not start another line, and an
// empty text has no lines.
[[nodiscard]] QStringList splitLines(const QString &text);

[[nodiscard]] QByteArray encodeLines(const QStringList &lines);
[[nodiscard]] QStringList decodeLines(const QByteArray &bytes);

// The bytes of a text as the message files keep it: Windows-1252 when every
// character fits, UTF-8 (behind a byte-order mark when withBom) otherwise, and
// UTF-8 as well when the Windows-1252 bytes would be taken for UTF-8 on
// reading ("Â£" would come back as "£"). True in *utf8 for UTF-8.
[[nodiscard]] QByteArray encodeMessageText(QStringView text, bool withBom, bool *utf8 = nullptr);

// Writes the lines to path (replacing the file); false when it cannot.
bool writeLinesFile(const QString &path, const QStringList &lines);
// Reads the lines of path; false when the file cannot be read.
bool readLinesFile(const QString &path, QStringList *lines);

// The last component of a path, after its last "/" or "\": saved messages
// made on Windows hold paths with backslashes.
[[nodiscard]] inline QString fileNameOf(const QString &path)
{
    const qsizetype cut = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return path.mid(cut + 1);
}

// Contains without regard to letter case, the test the page handling uses for
// "HTTP://" and the like.
[[nodiscard]] inline bool containsNoCase(const QString &text, QLatin1StringView what)
{
    return text.contains(what, Qt::CaseInsensitive);
}

} // namespace kirvane::message

namespace kirvane::message {

// Writes an HTML page for the browser area: UTF-8 behind a byte-order mark when
// it holds anything beyond ASCII (the mark outranks whatever charset the page
// declares, so the page shows right whatever its source charset was).
bool writePageFile(const QString &path, const QStringList &lines);

} // namespace kirvane::message
