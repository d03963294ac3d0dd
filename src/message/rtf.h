#pragma once
// Rich Text Format for the formatted body: the writer keeps what the rich
// editor offers per character (bold, italic, underline, font face, size,
// colour) and the paragraphs; the reader takes the same from files written by
// other word processors, skipping what it does not show (styles, pictures,
// fields' instructions, document information).

#include <QByteArray>

class QTextDocument;

namespace kirvane::message {

// The whole document as RTF (ASCII only: other characters go as \'hh in the
// Windows-1252 code page or as \uN).
[[nodiscard]] QByteArray writeRtf(const QTextDocument &document);

// Replaces the document's content by the text of rtf. Returns false (leaving
// the document empty) when rtf does not start as an RTF file.
bool readRtf(const QByteArray &rtf, QTextDocument *document);

} // namespace kirvane::message
