#pragma once
// The per-character attributes the formatted body keeps, read from and written
// to a QTextCharFormat with the document's default font filling the gaps.

#include <QColor>
#include <QString>
#include <QTextCharFormat>

class QTextDocument;

namespace kirvane::message {

struct CharAttributes {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    QString family;
    qreal pointSize = 0;
    QRgb colour = qRgb(0, 0, 0); // a character without a colour of its own is black
    QString link;                 // the address of the link the character is in, or empty
    bool operator==(const CharAttributes &) const = default;
};

[[nodiscard]] CharAttributes charAttributes(const QTextDocument &document, const QTextCharFormat &format);
[[nodiscard]] QTextCharFormat charFormat(const CharAttributes &attributes);

} // namespace kirvane::message

class QTextCursor;

namespace kirvane::message {

enum class CharStyle { Bold, Italic, Underline };

// True when every character of the selection has the style (for no selection:
// the character before the cursor).
[[nodiscard]] bool selectionHasStyle(const QTextCursor &cursor, CharStyle style);

// The bold, italic and underline buttons: the style goes on for the whole
// selection unless all of it has it already, in which case it goes off; the
// other styles stay as they are.
void toggleStyle(QTextCursor &cursor, CharStyle style);

// The link command: the selection, or without one the link the cursor is in,
// becomes a link to address, shown underlined in blue; an empty address makes
// it plain text again. A cursor with neither changes nothing.
void setLink(QTextCursor &cursor, const QString &address);
// The address of the link at the cursor (at the start of its selection), or empty.
[[nodiscard]] QString linkAt(const QTextCursor &cursor);

} // namespace kirvane::message
