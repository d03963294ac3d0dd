#include "mail/codecs.h"

#include "common/textcodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <cstring>

namespace kirvane::mail {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kLineLength = 76;

// Four base64 characters for one to three bytes, padded with "=".
void encodeGroup(const uchar *in, int count, char out[4])
{
    const uint v = (uint(in[0]) << 16) | (count > 1 ? uint(in[1]) << 8 : 0u) | (count > 2 ? uint(in[2]) : 0u);
    out[0] = kAlphabet[(v >> 18) & 63];
    out[1] = kAlphabet[(v >> 12) & 63];
    out[2] = count > 1 ? kAlphabet[(v >> 6) & 63] : '=';
    out[3] = count > 2 ? kAlphabet[v & 63] : '=';
}

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QString canonicalCharset(const QString &charset)
{
    QString name = charset.trimmed().toUpper();
    // RFC 2231 5: a language may follow the charset of an encoded word.
    const auto star = name.indexOf(u'*');
    if (star >= 0)
        name.truncate(star);
    if (name == u"UTF8")
        return QStringLiteral("UTF-8");
    if (name == u"LATIN1" || name == u"ISO8859-1" || name == u"ISO_8859-1" || name == u"L1")
        return QStringLiteral("ISO-8859-1");
    if (name == u"ASCII" || name == u"US-ASCII")
        return QStringLiteral("US-ASCII");
    if (name == u"CP1252" || name == u"WINDOWS1252")
        return QStringLiteral("WINDOWS-1252");
    if (name == u"LATIN9" || name == u"ISO8859-15" || name == u"ISO_8859-15" || name == u"LATIN-9")
        return QStringLiteral("ISO-8859-15");
    return name;
}

// The eight places where ISO-8859-15 differs from ISO-8859-1.
constexpr struct { uchar byte; char16_t ch; } kLatin9[] = {
    {0xA4, 0x20AC}, {0xA6, 0x0160}, {0xA8, 0x0161}, {0xB4, 0x017D},
    {0xB8, 0x017E}, {0xBC, 0x0152}, {0xBD, 0x0153}, {0xBE, 0x0178},
};

bool latin9Byte(char16_t ch, uchar *byte)
{
    for (const auto &m : kLatin9) {
        if (m.ch == ch) {
            *byte = m.byte;
            return true;
        }
        if (m.byte == ch)
            return false;
    }
    if (ch > 0xFF)
        return false;
    *byte = uchar(ch);
    return true;
}

} // namespace

// --- base64 -----------------------------------------------------------------

void Base64Encoder::put(const uchar *group, int count)
{
    char chars[4];
    encodeGroup(group, count, chars);
    m_line.append(chars, 4);
    if (m_line.size() == kLineLength) {
        m_lines.append(m_line);
        m_line.clear();
    }
}

void Base64Encoder::feed(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    qsizetype n = bytes.size();
    if (m_line.capacity() < kLineLength)
        m_line.reserve(kLineLength);
    while (n > 0 && m_heldCount > 0 && m_heldCount < 3) {
        m_held[m_heldCount++] = *p++;
        --n;
        if (m_heldCount == 3) {
            put(m_held, 3);
            m_heldCount = 0;
            break;
        }
    }
    for (; n >= 3; n -= 3, p += 3)
        put(p, 3);
    for (; n > 0; --n)
        m_held[m_heldCount++] = *p++;
}

void Base64Encoder::finish()
{
    if (m_heldCount > 0)
        put(m_held, m_heldCount);
    m_heldCount = 0;
    if (!m_line.isEmpty())
        m_lines.append(std::exchange(m_line, {}));
}

QList<QByteArray> Base64Encoder::takeLines()
{
    return std::exchange(m_lines, {});
}

QList<QByteArray> base64Lines(QByteArrayView bytes)
{
    Base64Encoder encoder;
    encoder.feed(bytes);
    encoder.finish();
    return encoder.takeLines();
}

Base64EncodeStream::Base64EncodeStream(QIODevice *out) : m_out(out)
{
    // Open for reading too, so that a read reaches readData and fails there
    // with the stream error instead of a warning about the open mode.
    QIODevice::open(QIODevice::ReadWrite | QIODevice::Unbuffered);
}

Base64EncodeStream::~Base64EncodeStream()
{
    if (isOpen())
        close();
}

void Base64EncodeStream::emitChars(const char *chars, int count)
{
    for (int i = 0; i < count; ++i) {
        m_out->write(chars + i, 1);
        if (++m_column == kLineLength) {
            m_out->write("\r\n", 2);
            m_column = 0;
        }
    }
}

void Base64EncodeStream::close()
{
    if (m_heldCount > 0) {
        char chars[4];
        encodeGroup(m_held, m_heldCount, chars);
        emitChars(chars, 4);
        m_heldCount = 0;
    }
    QIODevice::close();
}

qint64 Base64EncodeStream::readData(char *, qint64)
{
    setErrorString(QStringLiteral("Invalid stream operation"));
    return -1;
}

qint64 Base64EncodeStream::writeData(const char *data, qint64 size)
{
    for (qint64 i = 0; i < size; ++i) {
        m_held[m_heldCount++] = uchar(data[i]);
        if (m_heldCount == 3) {
            char chars[4];
            encodeGroup(m_held, 3, chars);
            emitChars(chars, 4);
            m_heldCount = 0;
        }
    }
    return size;
}

void Base64Decoder::feed(QByteArrayView text)
{
    for (const char c : text) {
        if (c == '=') {
            // Padding: the group ends with what it holds.
            if (m_count >= 2) {
                const uint v = (uint(m_group[0]) << 18) | (uint(m_group[1]) << 12)
                    | (m_count > 2 ? uint(m_group[2]) << 6 : 0u);
                m_out.append(char(v >> 16));
                if (m_count > 2)
                    m_out.append(char((v >> 8) & 0xFF));
            }
            m_count = 0;
            continue;
        }
        const int value = base64Value(c);
        if (value < 0)
            continue;
        m_group[m_count++] = uchar(value);
        if (m_count == 4) {
            const uint v = (uint(m_group[0]) << 18) | (uint(m_group[1]) << 12) | (uint(m_group[2]) << 6) | m_group[3];
            const char bytes[3] = {char(v >> 16), char((v >> 8) & 0xFF), char(v & 0xFF)};
            m_out.append(bytes, 3);
            m_count = 0;
        }
    }
}

QByteArray decodeBase64(QByteArrayView text)
{
    Base64Decoder decoder;
    decoder.feed(text);
    return decoder.take();
}

// --- quoted-printable -------------------------------------------------------

QByteArray decodeQuotedPrintable(QByteArrayView text, bool underscoreIsSpace)
{
    QByteArray out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = text[i];
        if (c == '_' && underscoreIsSpace) {
            out.append(' ');
            continue;
        }
        if (c != '=') {
            out.append(c);
            continue;
        }
        // Soft line break, with the blanks some writers leave before it.
        qsizetype j = i + 1;
        while (j < n && (text[j] == ' ' || text[j] == '\t'))
            ++j;
        if (j < n && (text[j] == '\r' || text[j] == '\n')) {
            if (text[j] == '\r' && j + 1 < n && text[j + 1] == '\n')
                ++j;
            i = j;
            continue;
        }
        if (j == n && !underscoreIsSpace) {
            i = j - 1; // "=" at the very end: a soft break before nothing
            continue;
        }
        if (i + 2 < n + 0 && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out.append(char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
            continue;
        }
        out.append('=');
    }
    return out;
}

QList<QByteArray> quotedPrintableLines(const QList<QByteArray> &lines)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    QList<QByteArray> out;
    for (const QByteArray &line : lines) {
        QByteArray current;
        for (qsizetype i = 0; i < line.size(); ++i) {
            const uchar c = uchar(line[i]);
            const bool last = i + 1 == line.size();
            QByteArray token;
            const bool literal = (c >= 33 && c <= 126 && c != '=')
                || ((c == ' ' || c == '\t') && !last);
            if (literal && !(c == '.' && current.isEmpty()))
                token = QByteArray(1, char(c));
            else
                token = QByteArray{"=", 1} + hex[c >> 4] + hex[c & 15];
            // Keep one column for the "=" of a soft break.
            const qsizetype room = last ? kLineLength : kLineLength - 1;
            if (current.size() + token.size() > room) {
                out.append(current + '=');
                current.clear();
                if (c == '.')
                    token = "=2E";
            }
            current += token;
        }
        out.append(current);
    }
    return out;
}

// --- uuencoding -------------------------------------------------------------

bool decodeUu(const QList<QByteArray> &block, QByteArray *out)
{
    // Characters from "`" (0) and " " (0) through "!" (1) to "_" (63).
    auto value = [](char c) -> int {
        if (c == '`' || c == ' ')
            return 0;
        if (c > ' ' && c <= '_')
            return c - ' ';
        return -1;
    };
    out->clear();
    qsizetype first = 0;
    if (!block.isEmpty() && block.first().trimmed().toLower().startsWith("begin"))
        first = 1;
    for (qsizetype l = first; l < block.size(); ++l) {
        const QByteArray line = block.at(l);
        const QByteArray trimmed = line.trimmed();
        if (trimmed.toLower() == "end" || trimmed == "`")
            break;
        if (line.isEmpty())
            continue;
        const int count = value(line[0]);
        if (count < 0)
            return false;
        // Four characters carry three bytes; a short line gives fewer.
        const qsizetype wanted = (qsizetype(count) + 2) / 3 * 4;
        const qsizetype available = line.size() - 1;
        uint bits = 0;
        int nbits = 0;
        int written = 0;
        for (qsizetype i = 0; i < std::min(wanted, available) && written < count; ++i) {
            const int v = value(line[1 + i]);
            if (v < 0)
                return false;
            bits = (bits << 6) | uint(v);
            nbits += 6;
            if (nbits >= 8) {
                nbits -= 8;
                out->append(char((bits >> nbits) & 0xFF));
                ++written;
            }
        }
    }
    return true;
}

// --- charsets ---------------------------------------------------------------

bool isAscii(QStringView text)
{
    return QtPrivate::isAscii(text);
}

namespace {

// True when every character of text is below 0x100 and none is a C1
// control (0x80-0x9F). Four characters at a time: a body line of a sending
// run is checked for each message.
bool fitsLatin1(QStringView text)
{
    const char16_t *p = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = 0;
    constexpr quint64 highBytes = 0xFF00FF00FF00FF00ULL;
    constexpr quint64 topBits = 0x00E000E000E000E0ULL;
    constexpr quint64 c1 = 0x0080008000800080ULL;
    constexpr quint64 ones = 0x0001000100010001ULL;
    constexpr quint64 signs = 0x8000800080008000ULL;
    for (; i + 4 <= n; i += 4) {
        quint64 w;
        std::memcpy(&w, p + i, sizeof w);
        if (w & highBytes)
            return false;
        // A lane is zero where the character's top three bits of its low
        // byte are 100: a C1 control.
        const quint64 x = (w & topBits) ^ c1;
        if ((x - ones) & ~x & signs)
            return false;
    }
    for (; i < n; ++i)
        if (p[i] > 0xFF || (p[i] >= 0x80 && p[i] < 0xA0))
            return false;
    return true;
}

} // namespace

Charset::Charset(const QString &name) : m_label(name), m_name(canonicalCharset(name))
{
    if (m_name.isEmpty())
        m_kind = Kind::None;
    else if (m_name == u"UTF-8")
        m_kind = Kind::Utf8;
    else if (m_name == u"ISO-8859-1")
        m_kind = Kind::Latin1;
    else if (m_name == u"US-ASCII")
        m_kind = Kind::Ascii;
    else if (m_name == u"WINDOWS-1252")
        m_kind = Kind::Windows1252;
    else if (m_name == u"ISO-8859-15")
        m_kind = Kind::Latin9;
    else
        m_kind = Kind::Other;
}

bool canEncode(QStringView text, const Charset &charset)
{
    if (isAscii(text))
        return charset.m_kind != Charset::Kind::None;
    switch (charset.m_kind) {
    case Charset::Kind::Utf8:
        return true;
    case Charset::Kind::Ascii:
    case Charset::Kind::None:
        return false;
    case Charset::Kind::Latin1:
        // The C1 controls fit only on paper: readers take ISO-8859-1 bytes
        // 0x80-0x9F as Windows-1252, and so do we.
        return fitsLatin1(text);
    case Charset::Kind::Windows1252:
        return common::fitsWindows1252(text);
    case Charset::Kind::Latin9: {
        uchar b;
        for (const QChar c : text)
            if (!latin9Byte(c.unicode(), &b))
                return false;
        return true;
    }
    case Charset::Kind::Other:
        break;
    }
    const QByteArray name = charset.name().toLatin1();
    QStringEncoder encoder(name.constData(), QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        return false;
    // The ICU converters replace what they cannot write; a round trip tells.
    const QByteArray bytes = encoder.encode(text);
    QStringDecoder decoder(name.constData());
    return !encoder.hasError() && QString(decoder.decode(bytes)) == text;
}

QByteArray encodeText(QStringView text, const Charset &charset)
{
    switch (charset.m_kind) {
    case Charset::Kind::Utf8:
        return text.toUtf8();
    case Charset::Kind::Latin1:
    case Charset::Kind::Ascii:
        return text.toLatin1();
    case Charset::Kind::Windows1252:
        return common::toWindows1252(text);
    case Charset::Kind::Latin9: {
        QByteArray out;
        out.reserve(text.size());
        for (const QChar c : text) {
            uchar b;
            out.append(latin9Byte(c.unicode(), &b) ? char(b) : '?');
        }
        return out;
    }
    case Charset::Kind::Other:
    case Charset::Kind::None:
        break;
    }
    QStringEncoder encoder(charset.name().toLatin1().constData());
    if (encoder.isValid())
        return encoder.encode(text);
    return text.toUtf8();
}

bool canEncode(QStringView text, const QString &charset)
{
    return canEncode(text, Charset(charset));
}

QByteArray encodeText(QStringView text, const QString &charset)
{
    return encodeText(text, Charset(charset));
}

QString decodeText(const QByteArray &bytes, const QString &charset)
{
    const QString name = canonicalCharset(charset);
    bool ascii = true;
    for (const char c : bytes)
        if (uchar(c) > 0x7F) {
            ascii = false;
            break;
        }
    if (ascii)
        return QString::fromLatin1(bytes);
    if (name == u"UTF-8")
        return QString::fromUtf8(bytes);
    if (name == u"ISO-8859-1" || name == u"US-ASCII" || name == u"WINDOWS-1252")
        return common::fromWindows1252(bytes);
    if (name == u"ISO-8859-15") {
        QString out;
        out.reserve(bytes.size());
        for (const char c : bytes) {
            char16_t ch = uchar(c);
            for (const auto &m : kLatin9)
                if (m.byte == uchar(c))
                    ch = m.ch;
            out.append(QChar(ch));
        }
        return out;
    }
    if (!name.isEmpty()) {
        QStringDecoder decoder(name.toLatin1().constData());
        if (decoder.isValid())
            return decoder.decode(bytes);
    }
    return common::isValidUtf8(bytes) ? QString::fromUtf8(bytes) : common::fromWindows1252(bytes);
}

// --- encoded words ----------------------------------------------------------

QString decodeHeaderText(QByteArrayView raw)
{
    struct Segment {
        bool word = false;
        QString charset;
        QByteArray bytes;
    };
    QList<Segment> segments;
    auto addPlain = [&](QByteArrayView bytes) {
        if (bytes.isEmpty())
            return;
        if (segments.isEmpty() || segments.last().word)
            segments.append(Segment{});
        segments.last().bytes += bytes;
    };

    const qsizetype n = raw.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype start = raw.indexOf("=?", i);
        if (start < 0) {
            addPlain(raw.sliced(i));
            break;
        }
        addPlain(raw.sliced(i, start - i));
        // =?charset?X?text?=
        const qsizetype q1 = raw.indexOf('?', start + 2);
        const qsizetype q2 = q1 < 0 ? -1 : raw.indexOf('?', q1 + 1);
        const qsizetype end = (q2 < 0 || q2 != q1 + 2) ? -1 : raw.indexOf("?=", q2 + 1);
        if (q2 < 0 || (q2 == q1 + 2 && end < 0)) {
            // No complete word can follow: the rest is plain text.
            addPlain(raw.sliced(start));
            break;
        }
        if (end < 0) {
            addPlain(raw.sliced(start, 2));
            i = start + 2;
            continue;
        }
        const QByteArrayView charset = raw.sliced(start + 2, q1 - start - 2);
        const char encoding = char(QChar::toUpper(uint(uchar(raw[q1 + 1]))));
        const QByteArrayView text = raw.sliced(q2 + 1, end - q2 - 1);
        bool ok = !charset.isEmpty() && !text.contains(' ') && !text.contains('\t');
        QByteArray bytes;
        if (ok && encoding == 'Q') {
            bytes = decodeQuotedPrintable(text, true);
        } else if (ok && encoding == 'B') {
            const auto result = QByteArray::fromBase64Encoding(text.toByteArray(),
                QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
            ok = result.decodingStatus == QByteArray::Base64DecodingStatus::Ok;
            bytes = result.decoded;
        } else {
            ok = false;
        }
        if (ok)
            segments.append(Segment{true, canonicalCharset(QString::fromLatin1(charset)), bytes});
        else
            addPlain(raw.sliced(start, end + 2 - start)); // kept as it stands
        i = end + 2;
    }

    QString out;
    for (qsizetype s = 0; s < segments.size(); ++s) {
        Segment &seg = segments[s];
        if (!seg.word) {
            // Blanks between two encoded words are not part of the text (RFC 2047 6.2).
            const bool between = s > 0 && s + 1 < segments.size() && segments[s - 1].word && segments[s + 1].word;
            if (between && seg.bytes.trimmed().isEmpty())
                continue;
            out += decodeText(seg.bytes, QString());
            continue;
        }
        // Adjacent words in one charset are decoded together: a writer may split
        // a character's bytes between them.
        QByteArray bytes = seg.bytes;
        for (;;) {
            if (s + 1 < segments.size() && segments[s + 1].word && segments[s + 1].charset == seg.charset) {
                bytes += segments[s + 1].bytes;
                s += 1;
            } else if (s + 2 < segments.size() && !segments[s + 1].word && segments[s + 1].bytes.trimmed().isEmpty()
                       && segments[s + 2].word && segments[s + 2].charset == seg.charset) {
                bytes += segments[s + 2].bytes;
                s += 2;
            } else {
                break;
            }
        }
        out += decodeText(bytes, seg.charset);
    }
    return out;
}

QList<QByteArray> encodeHeaderWords(QStringView text, const Charset &charset)
{
    if (isAscii(text))
        return {text.toLatin1()};
    return encodedWords(text, charset);
}

QList<QByteArray> encodeHeaderWords(QStringView text, const QString &charset)
{
    return encodeHeaderWords(text, Charset(charset));
}

QList<QByteArray> encodedWords(QStringView text, const QString &charset)
{
    return encodedWords(text, Charset(charset));
}

QList<QByteArray> encodedWords(QStringView text, const Charset &charset)
{
    const QByteArray prefix = "=?" + charset.label().toLatin1() + "?B?";
    // RFC 2047 2: an encoded word is at most 75 characters.
    const qsizetype maxBytes = std::max<qsizetype>(3, (75 - prefix.size() - 2) / 4 * 3);
    QList<QByteArray> words;
    QByteArray chunk;
    qsizetype i = 0;
    while (i < text.size()) {
        // Whole characters only, so that each word decodes on its own.
        qsizetype len = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QByteArray bytes = encodeText(text.sliced(i, len), charset);
        if (!chunk.isEmpty() && chunk.size() + bytes.size() > maxBytes) {
            words.append(prefix + chunk.toBase64() + "?=");
            chunk.clear();
        }
        chunk += bytes;
        i += len;
    }
    if (!chunk.isEmpty() || words.isEmpty())
        words.append(prefix + chunk.toBase64() + "?=");
    return words;
}

} // namespace kirvane::mail
