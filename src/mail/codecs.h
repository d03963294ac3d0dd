#pragma once
// Transfer encodings and charsets of mail: base64 (streaming both ways),
// quoted-printable, uuencoding, RFC 2047 encoded words, and the conversion of
// texts to and from the charsets that mail declares.

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QList>
#include <QString>

namespace kirvane::mail {

// Base64 (RFC 2045 6.8) written in 76-character lines, fed in pieces of any
// size: a leftover of one or two bytes waits for the next piece or finish().
class Base64Encoder
{
public:
    void feed(QByteArrayView bytes);
    // Pads the leftover and completes the last line.
    void finish();
    // The complete lines so far (all of them after finish()).
    [[nodiscard]] QList<QByteArray> takeLines();

private:
    uchar m_held[3] = {};
    int m_heldCount = 0;
    QByteArray m_line;
    QList<QByteArray> m_lines;
    void put(const uchar *group, int count);
};

// The base64 lines of bytes, 76 characters each but the last.
[[nodiscard]] QList<QByteArray> base64Lines(QByteArrayView bytes);

// A write-only stream filter: bytes written to it reach `out` as base64 with
// CR LF after every 76 characters (the last line gets none unless full).
// close() writes the padded leftover. Reading fails with "Invalid stream
// operation".
class Base64EncodeStream : public QIODevice
{
public:
    explicit Base64EncodeStream(QIODevice *out);
    ~Base64EncodeStream() override;
    void close() override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    QIODevice *m_out;
    uchar m_held[3] = {};
    int m_heldCount = 0;
    int m_column = 0;
    void emitChars(const char *chars, int count);
};

// Decodes base64 fed in pieces; a group of fewer than four characters at the
// end of a piece waits for the next one. Line ends and any other character
// outside the alphabet are skipped; "=" ends a group early.
class Base64Decoder
{
public:
    void feed(QByteArrayView text);
    [[nodiscard]] QByteArray take() { return std::exchange(m_out, {}); }

private:
    uchar m_group[4] = {};
    int m_count = 0;
    QByteArray m_out;
};

[[nodiscard]] QByteArray decodeBase64(QByteArrayView text);

// Quoted-printable (RFC 2045 6.7). A soft line break is "=" before CR LF or
// LF (trailing blanks allowed between); a "=" that starts no valid escape is
// kept as it stands. With underscoreIsSpace (encoded words, RFC 2047 4.2)
// "_" reads as a space.
[[nodiscard]] QByteArray decodeQuotedPrintable(QByteArrayView text, bool underscoreIsSpace = false);

// Quoted-printable lines of the given text lines (each a hard line break),
// no output line longer than 76 characters. A "." that would start a line is
// written "=2E" so that no line needs dot-stuffing.
[[nodiscard]] QList<QByteArray> quotedPrintableLines(const QList<QByteArray> &lines);

// Decodes the lines of a uuencoded block: a leading "begin" line is skipped,
// decoding stops at "end", "`" or the end of the block. Returns false when a
// character lies outside the uu alphabet (out then holds what came before).
[[nodiscard]] bool decodeUu(const QList<QByteArray> &block, QByteArray *out);

// Charsets. The names are matched without regard to case; ISO-8859-1 and
// US-ASCII texts are read as Windows-1252 (as mail readers do), and a text
// without a known charset is read as UTF-8 when valid, else Windows-1252.
//
// A charset name resolved once: a message puts every line, its subject and
// its sender's name through the same charset, and matching the name each
// time cost more than the conversions themselves.
class Charset
{
public:
    explicit Charset(const QString &name);
    // The name as given, for the declarations on the wire (Content-Type,
    // encoded words).
    [[nodiscard]] const QString &label() const { return m_label; }
    // The name in upper case without aliases ("UTF8" is "UTF-8").
    [[nodiscard]] const QString &name() const { return m_name; }

private:
    friend bool canEncode(QStringView text, const Charset &charset);
    friend QByteArray encodeText(QStringView text, const Charset &charset);
    enum class Kind { Utf8, Latin1, Ascii, Windows1252, Latin9, Other, None };
    QString m_label;
    QString m_name;
    Kind m_kind;
};

[[nodiscard]] bool canEncode(QStringView text, const Charset &charset);
[[nodiscard]] QByteArray encodeText(QStringView text, const Charset &charset);
[[nodiscard]] bool canEncode(QStringView text, const QString &charset);
[[nodiscard]] QByteArray encodeText(QStringView text, const QString &charset);
[[nodiscard]] QString decodeText(const QByteArray &bytes, const QString &charset);

// Header text with its RFC 2047 encoded words decoded by their charsets.
// Blanks between two adjacent encoded words are dropped (RFC 2047 6.2); a word
// that cannot be decoded stays as it stands; other 8-bit bytes are read as
// UTF-8 when valid, else Windows-1252.
[[nodiscard]] QString decodeHeaderText(QByteArrayView raw);

// Header text for the wire: as it is when pure ASCII, otherwise encoded
// words ("=?charset?B?...?=") of at most 75 characters in charset, to be put
// one per line (the first after the header name, the others on continuation
// lines starting with a space).
[[nodiscard]] QList<QByteArray> encodeHeaderWords(QStringView text, const Charset &charset);
[[nodiscard]] QList<QByteArray> encodeHeaderWords(QStringView text, const QString &charset);
// Encoded words of text in charset, even when it is ASCII, each at most 75
// characters; one (empty) word for an empty text.
[[nodiscard]] QList<QByteArray> encodedWords(QStringView text, const Charset &charset);
[[nodiscard]] QList<QByteArray> encodedWords(QStringView text, const QString &charset);

[[nodiscard]] bool isAscii(QStringView text);

} // namespace kirvane::mail
