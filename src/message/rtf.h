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

// What a document may hold when read: a file beyond them is refused rather
// than filling the memory (a few kilobytes of packed "\par" unfold to
// millions of paragraphs).
struct RtfLimits {
    qsizetype maxParagraphs = 100000;
    qsizetype maxCharacters = 4000000;
};

enum class RtfReadStatus {
    Ok,
    NotRtf,   // it does not start as an RTF file
    TooLarge, // beyond the limits
};

// Replaces the document's content by the text of rtf; the document is left
// empty unless the status is Ok. Groups nested deeper than the reader follows
// keep their text, in the formatting of the deepest group it follows.
[[nodiscard]] RtfReadStatus readRtfDocument(const QByteArray &rtf, QTextDocument *document,
                                            const RtfLimits &limits = {});
// readRtfDocument() == Ok.
bool readRtf(const QByteArray &rtf, QTextDocument *document);

} // namespace kirvane::message
