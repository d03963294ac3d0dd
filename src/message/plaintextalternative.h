#pragma once
// The text/plain alternative of an HTML body: what a reader whose mail
// program shows no HTML sees, made by walking the blocks and fragments of a
// text document rather than by QTextDocument::toPlainText(), which drops
// link addresses and leaves U+FFFC where images were.
//
//     const QStringList text = plainTextAlternative(htmlLines);
//     msg.plainAlternative = personaliseLines(text, contact);  // per contact
//
// A paragraph is a line (a line break inside it starts another), with an
// empty line between paragraphs; a link is its text followed by its address
// in angle brackets, unless the text is the address itself; an image is
// left out; a list item starts with "- " or its number; a horizontal rule is
// a line of dashes. Placeholder words go through unchanged, so the text is
// made once and personalised per contact with values as typed.

#include <QString>
#include <QStringList>

class QTextDocument;

namespace kirvane::message {

[[nodiscard]] QStringList plainTextAlternative(const QTextDocument &document);
// The HTML read without loading any image or style sheet it names.
[[nodiscard]] QStringList plainTextAlternative(const QStringList &htmlLines);

} // namespace kirvane::message
