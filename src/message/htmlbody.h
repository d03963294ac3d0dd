#pragma once
// What a contact receives, before personalisation: the formatted body turned
// into HTML lines, and the prepared body of each composition mode.

#include <QColor>
#include <QString>
#include <QStringList>

class QTextDocument;

namespace kirvane::message {

class MessageDocument;

// The editor's lines as plain text: one per paragraph (a line separator inside
// a paragraph also ends a line); an empty editor has none.
[[nodiscard]] QStringList richTextLines(const QTextDocument &document);

// The formatted text as HTML lines: style tags, one font tag carrying only
// what changed (colours written "#RRGGBB"), links as <a href>, each line
// ended by "<br>", then a closing "</font>" line. The characters go in as
// typed: markup typed into the editor is markup, and placeholder words stay
// whole to be filled (the values filled in are escaped then).
[[nodiscard]] QStringList richTextToHtmlLines(const QTextDocument &document);

// "RRGGBB" in capitals, as the font tags carry it.
[[nodiscard]] QString htmlColourText(QRgb colour);
// The HTML font size of a point size: points / 6, rounded down, plus 2.
[[nodiscard]] int htmlFontSize(int pointSize);

enum class BodyPurpose { Sending, Preview };

// The prepared body: mode 1 the converted text inside a page (with a final
// "<br>" when sending), mode 2 the text's lines, mode 3 the page source whose
// local image tags, when sending, point at the embedded images.
[[nodiscard]] QStringList preparedBody(const MessageDocument &message, BodyPurpose purpose);

} // namespace kirvane::message
