#pragma once
// Splitting of delimited text: what the export writes (semicolons, values in
// double quotes with inner quotes doubled, line breaks inside quotes, CR LF)
// and what other programs write (commas or tabs, LF or CR line ends, a
// byte-order mark, UTF-16, Windows-1252). Files are read in pieces, so a
// file of any size is split holding one record at a time.

#include "import/sourcefile.h"

#include <QChar>
#include <QIODevice>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace kirvane::import {

// The separator among ';', ',' and tab that occurs most often outside quotes
// in the first record; ';' when none occurs or on a tie with it.
[[nodiscard]] QChar detectSeparator(QStringView text);

// Splits text fed to it in pieces into records, each given with the number
// of the line it starts on. A quote opens a quoted value only at the start of
// a value; elsewhere it is an ordinary character. Lines that are wholly empty
// are not records. A quoted value still open at the end of the text, or
// longer than kMaxRecord characters, is a refused record (its first line);
// the splitting goes on at the line after it.
class RecordSplitter {
public:
    static constexpr qsizetype kMaxRecord = 4 * 1024 * 1024;
    enum class Refusal { UnclosedQuote, TooLong };

    explicit RecordSplitter(QChar separator) : m_separator(separator) {}
    std::function<void(QStringList record, qint64 line)> onRecord;
    std::function<void(qint64 line, Refusal why)> onRefused;

    void feed(QStringView text);
    // The text is at its end: the last record needs no line break.
    void finish();

private:
    enum class Result { Record, EmptyLine, NeedMore, Unclosed, End };
    Result parse(bool atEnd, qsizetype *end, qint64 *lines, QStringList *record) const;
    void run(bool atEnd);
    void skipFirstLine();

    QChar m_separator;
    QString m_buffer;
    qsizetype m_pos = 0;
    qint64 m_line = 1;
    bool m_skipping = false; // dropping the rest of a line too long to hold
};

// Every record of text, as the splitter gives them; refused records are
// added to refused when given.
[[nodiscard]] std::vector<QStringList> splitRecords(QStringView text, QChar separator,
                                                    std::vector<RefusedRecord> *refused = nullptr);

// How the characters of a text file are written. Read once through the file:
// a byte-order mark decides (UTF-8, UTF-16 of either order); UTF-16 without a
// mark is told by its zero bytes; else UTF-8 when the file is valid UTF-8 or
// holds more UTF-8 characters than stray bytes, else Windows-1252.
struct TextEncoding {
    enum Kind { Utf8, Utf16LE, Utf16BE, Windows1252 } kind = Utf8;
    qint64 strayBytes = 0; // in a UTF-8 file: sequences that are not UTF-8
    bool binary = false;   // the file holds NUL characters: not text
};
[[nodiscard]] TextEncoding detectEncoding(QIODevice &file);

// The characters of a file in pieces, as detectEncoding() found them written.
// A byte sequence that is not UTF-8 becomes U+0000 (a text file holds no
// other), so that the record holding it can be told.
class TextPieces {
public:
    TextPieces(QIODevice &file, const TextEncoding &encoding);
    // The next piece; nullopt at the end of the file.
    [[nodiscard]] std::optional<QString> next();

private:
    QIODevice &m_file;
    TextEncoding m_encoding;
    QStringDecoder m_decoder;
};

// The characters of a delimited file held whole, as TextPieces gives them.
[[nodiscard]] QString decodeDelimitedText(const QByteArray &bytes);

// The text of a refused record's place: "line 12".
[[nodiscard]] QString lineText(qint64 line);

} // namespace kirvane::import
