// libFuzzer target: the decoders on any bytes, and the encoders checked by
// decoding what they wrote.

#include "mail/codecs.h"

#include <cstddef>
#include <cstdint>

using namespace kirvane::mail;

namespace {

void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    // Decoders: any input, no crash.
    (void)decodeBase64(bytes);
    (void)decodeQuotedPrintable(bytes);
    (void)decodeQuotedPrintable(bytes, true);
    (void)decodeHeaderText(bytes);
    QByteArray uu;
    (void)decodeUu(bytes.split('\n'), &uu);
    for (const char *charset : {"UTF-8", "ISO-8859-15", "windows-1252", "KOI8-R", ""})
        (void)decodeText(bytes, QString::fromLatin1(charset));

    // Encoders: what they write decodes to the input.
    require(decodeBase64(base64Lines(bytes).join("\r\n")) == bytes);
    Base64Decoder pieces;
    for (qsizetype i = 0; i < bytes.size(); i += 7)
        pieces.feed(QByteArrayView(bytes).sliced(i, std::min<qsizetype>(7, bytes.size() - i)));
    require(pieces.take() == decodeBase64(bytes));

    QList<QByteArray> lines = bytes.split('\n');
    for (QByteArray &line : lines)
        line.replace('\r', ' ');
    const QList<QByteArray> qp = quotedPrintableLines(lines);
    for (const QByteArray &line : qp)
        require(line.size() <= 76 && !line.startsWith('.'));
    require(decodeQuotedPrintable(qp.join("\r\n")) == lines.join("\r\n"));

    const QString text = QString::fromUtf8(bytes).remove(u'\r').remove(u'\n');
    for (const char *charset : {"UTF-8", "ISO-8859-1"}) {
        if (!canEncode(text, QString::fromLatin1(charset)) || isAscii(text))
            continue;
        const QList<QByteArray> words = encodeHeaderWords(text, QString::fromLatin1(charset));
        for (const QByteArray &word : words)
            require(word.size() <= 75);
        require(decodeHeaderText(words.join("\r\n ")) == text);
    }
    return 0;
}
