#include "common/textcodec.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>

namespace kirvane::common {

namespace {

// Code points of bytes 0x80..0x9F in Windows-1252; 0 marks the five unused bytes.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

int byteFor(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == c && c != 0)
            return 0x80 + i;
    return -1;
}

} // namespace

bool fitsWindows1252(QStringView text)
{
    for (QChar c : text)
        if (byteFor(c.unicode()) < 0)
            return false;
    return true;
}

QByteArray toWindows1252(QStringView text)
{
    QByteArray out;
    out.resize(text.size());
    char *p = out.data();
    for (QChar c : text) {
        const int b = byteFor(c.unicode());
        *p++ = char(b < 0 ? '?' : b);
    }
    return out;
}

QString fromWindows1252(const QByteArray &bytes)
{
    QString out;
    out.resize(bytes.size());
    QChar *p = out.data();
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80 && b < 0xA0) {
            const char16_t c = kHigh[b - 0x80];
            *p++ = QChar(c ? c : char16_t(b)); // unused bytes map to the C1 control of that value
        } else {
            *p++ = QChar(char16_t(b));
        }
    }
    return out;
}

bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = dec.decode(bytes); // decoding happens on conversion
    return !dec.hasError();
}

LegacyText encodeLegacyText(QStringView text, bool withBom)
{
    if (fitsWindows1252(text)) {
        QByteArray bytes = toWindows1252(text);
        // Windows-1252 bytes that happen to form UTF-8 ("Â£" is C2 A3, "£" in
        // UTF-8) would be read back as UTF-8 and change: write UTF-8 then.
        const bool high = std::any_of(bytes.cbegin(), bytes.cend(),
                                      [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
        if (!high || !isValidUtf8(bytes))
            return {bytes, false};
    }
    QByteArray bytes = text.toUtf8();
    // A text that itself starts with U+FEFF would lose it on reading, where a
    // leading mark is taken off: give it a mark of its own.
    if (withBom || text.startsWith(QChar(0xFEFF)))
        bytes.prepend("\xEF\xBB\xBF");
    return {bytes, true};
}

QString decodeLegacyText(const QByteArray &bytes)
{
    // Only the mark this program writes is one. Windows-1252 text may begin
    // with "ÿþ" or "þÿ" (FF FE, FE FF), so those bytes are text; the UTF-8
    // mark cannot start Windows-1252 text of ours, since EF BB BF is valid
    // UTF-8 and such text is written as UTF-8.
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        // The text after our mark is taken as it is, a U+FEFF of its own included.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        return utf8.decode(QByteArrayView(bytes).sliced(3));
    }
    bool ascii = true;
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return QString::fromLatin1(bytes);
    if (isValidUtf8(bytes))
        return QString::fromUtf8(bytes);
    return fromWindows1252(bytes);
}

} // namespace kirvane::common
