// The mail codecs: base64 both ways and in pieces, quoted-printable,
// uuencoding, encoded words and the charsets they name.

#include "mail/codecs.h"

#include <QBuffer>
#include <QTest>

using namespace kirvane::mail;

namespace {

QByteArray sampleBytes(int n)
{
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = char((i * 7 + 3) & 0xFF);
    return b;
}

} // namespace

class TestCodecs : public QObject
{
    Q_OBJECT

private slots:
    void base64Lines_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QList<int>>("lengths");
        QTest::newRow("empty") << 0 << QList<int>{};
        QTest::newRow("one byte") << 1 << QList<int>{4};
        QTest::newRow("57 bytes fill one line") << 57 << QList<int>{76};
        QTest::newRow("58 bytes spill two characters and padding") << 58 << QList<int>{76, 4};
        QTest::newRow("two full lines") << 114 << QList<int>{76, 76};
        QTest::newRow("one byte into a third line") << 115 << QList<int>{76, 76, 4};
    }
    void base64Lines()
    {
        QFETCH(int, size);
        QFETCH(QList<int>, lengths);
        const QByteArray input = sampleBytes(size);
        // Fed in odd pieces, the leftover between pieces must carry over.
        Base64Encoder encoder;
        for (int i = 0; i < size; i += 5)
            encoder.feed(QByteArrayView(input).sliced(i, std::min(5, size - i)));
        encoder.finish();
        const QList<QByteArray> lines = encoder.takeLines();
        QList<int> got;
        for (const QByteArray &line : lines)
            got.append(int(line.size()));
        QCOMPARE(got, lengths);
        QCOMPARE(lines.join(), input.toBase64());
        QCOMPARE(kirvane::mail::base64Lines(input), lines);
        if (size == 58)
            QVERIFY(lines.last().endsWith("=="));
    }

    void encodeStream()
    {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        const QByteArray input = sampleBytes(58);
        {
            Base64EncodeStream stream(&out);
            for (char c : input)
                QCOMPARE(stream.write(&c, 1), 1);
            char buffer[4];
            QCOMPARE(stream.read(buffer, 4), -1);
            QCOMPARE(stream.errorString(), QStringLiteral("Invalid stream operation"));
            stream.close();
        }
        const QByteArray b64 = input.toBase64();
        QCOMPARE(out.data(), b64.left(76) + "\r\n" + b64.mid(76));

        QBuffer full;
        full.open(QIODevice::WriteOnly);
        Base64EncodeStream stream(&full);
        stream.write(sampleBytes(57));
        stream.close();
        QCOMPARE(full.data(), sampleBytes(57).toBase64() + "\r\n");
    }

    void decoder_data()
    {
        QTest::addColumn<QByteArrayList>("pieces");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("one byte, two pads") << QByteArrayList{"QQ=="} << QByteArray("A");
        QTest::newRow("two bytes, one pad") << QByteArrayList{"QUI="} << QByteArray("AB");
        QTest::newRow("line ends skipped") << QByteArrayList{"QU\r\nJD"} << QByteArray("ABC");
        QTest::newRow("group split across pieces") << QByteArrayList{"Q", "UJ", "DR", "A=="} << QByteArray("ABCD");
        QTest::newRow("blanks and stray characters skipped") << QByteArrayList{"QU JD*"} << QByteArray("ABC");
        QTest::newRow("padded groups in a row") << QByteArrayList{"QQ==QQ=="} << QByteArray("AA");
        QTest::newRow("pad alone yields nothing") << QByteArrayList{"===="} << QByteArray();
    }
    void decoder()
    {
        QFETCH(QByteArrayList, pieces);
        QFETCH(QByteArray, expected);
        Base64Decoder decoder;
        for (const QByteArray &piece : pieces)
            decoder.feed(piece);
        QCOMPARE(decoder.take(), expected);
    }

    void quotedPrintableDecode_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("escape") << QByteArray("caf=E9") << QByteArray("caf\xE9");
        QTest::newRow("lower-case hex") << QByteArray("caf=e9") << QByteArray("caf\xE9");
        QTest::newRow("soft break CR LF") << QByteArray("ab=\r\ncd") << QByteArray("abcd");
        QTest::newRow("soft break LF only") << QByteArray("ab=\ncd") << QByteArray("abcd");
        QTest::newRow("soft break after blanks") << QByteArray("ab= \t\r\ncd") << QByteArray("abcd");
        QTest::newRow("hard break kept") << QByteArray("ab\r\ncd") << QByteArray("ab\r\ncd");
        QTest::newRow("invalid escape kept") << QByteArray("a=ZZb") << QByteArray("a=ZZb");
        QTest::newRow("equals and one character at the end") << QByteArray("a=4") << QByteArray("a=4");
        QTest::newRow("equals at the very end") << QByteArray("a=") << QByteArray("a");
    }
    void quotedPrintableDecode()
    {
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, expected);
        QCOMPARE(decodeQuotedPrintable(input), expected);
    }

    void quotedPrintableLinesRoundTrip()
    {
        QByteArray longLine;
        for (int i = 0; i < 400; ++i)
            longLine += char(i % 3 == 0 ? 0xE9 : 'a' + i % 26);
        const QList<QByteArray> input = {
            longLine, ".starts with a dot", "ends with blanks \t", "a = sign", QByteArray(),
            QByteArray(75, 'x') + ".y", QByteArray(200, '.'),
        };
        const QList<QByteArray> lines = quotedPrintableLines(input);
        for (const QByteArray &line : lines) {
            QVERIFY2(line.size() <= 76, line.constData());
            QVERIFY2(!line.startsWith('.'), line.constData());
            for (char c : line)
                QVERIFY(uchar(c) >= 32 && uchar(c) < 127);
        }
        QCOMPARE(decodeQuotedPrintable(lines.join("\r\n")), input.join("\r\n"));
    }

    void uu_data()
    {
        QTest::addColumn<QByteArrayList>("block");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("expected");
        // Lines as written by Python's binascii.b2a_uu.
        QTest::newRow("short line") << QByteArrayList{"begin 644 cat.txt", "#0V%T"} << true << QByteArray("Cat");
        QTest::newRow("stops at end") << QByteArrayList{"begin 644 x", "#0V%T", "end", "#0V%T"} << true << QByteArray("Cat");
        QTest::newRow("stops at back-quote line") << QByteArrayList{"#0V%T", "`", "#0V%T"} << true << QByteArray("Cat");
        QTest::newRow("full line of 45 bytes")
            << QByteArrayList{"M86)C9&5F9VAI:FML;6YO<'%R<W1U=G=X>7I!0D-$149'2$E*2TQ-3D]045)3"}
            << true << QByteArray("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRS");
        QTest::newRow("blank as zero") << QByteArrayList{"!    "} << true << QByteArray(1, '\0');
        QTest::newRow("line shorter than its count") << QByteArrayList{"M0V%T"} << true << QByteArray("Cat");
        QTest::newRow("character outside the alphabet") << QByteArrayList{"#0v%t"} << false << QByteArray();
    }
    void uu()
    {
        QFETCH(QByteArrayList, block);
        QFETCH(bool, ok);
        QFETCH(QByteArray, expected);
        QByteArray out;
        QCOMPARE(decodeUu(block, &out), ok);
        if (ok)
            QCOMPARE(out, expected);
    }

    void headerDecode_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << QByteArray("Hello") << QStringLiteral("Hello");
        QTest::newRow("Q word in ISO-8859-1")
            << QByteArray("=?ISO-8859-1?Q?Inscription_=E9t=E9?=") << QStringLiteral("Inscription été");
        QTest::newRow("B word in UTF-8") << QByteArray("=?utf-8?b?w6l0w6k=?=") << QStringLiteral("été");
        QTest::newRow("blank between two words dropped")
            << QByteArray("=?utf-8?q?Bon?= =?utf-8?q?jour?=") << QStringLiteral("Bonjour");
        QTest::newRow("character split between two words")
            << QByteArray("=?utf-8?q?=C3?=\r\n =?utf-8?q?=A9t=C3=A9?=") << QStringLiteral("été");
        QTest::newRow("text around words keeps its blanks")
            << QByteArray("Re: =?utf-8?q?caf=C3=A9?= noir") << QStringLiteral("Re: café noir");
        QTest::newRow("ISO-8859-15 euro") << QByteArray("=?iso-8859-15?q?=A4?=") << QStringLiteral("€");
        QTest::newRow("Windows-1252 quotes")
            << QByteArray("=?windows-1252?q?=93x=94?=") << QStringLiteral("“x”");
        QTest::newRow("language after charset") << QByteArray("=?utf-8*fr?q?=C3=A9?=") << QStringLiteral("é");
        QTest::newRow("unknown encoding kept")
            << QByteArray("a =?utf-8?x?abc?= b") << QStringLiteral("a =?utf-8?x?abc?= b");
        QTest::newRow("invalid base64 kept") << QByteArray("=?utf-8?b?w6*?=") << QStringLiteral("=?utf-8?b?w6*?=");
        QTest::newRow("incomplete word kept") << QByteArray("a =?utf-8?q?abc") << QStringLiteral("a =?utf-8?q?abc");
        QTest::newRow("raw UTF-8 bytes") << QByteArray("caf\xC3\xA9") << QStringLiteral("café");
        QTest::newRow("raw 8-bit bytes") << QByteArray("caf\xE9") << QStringLiteral("café");
    }
    void headerDecode()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QString, expected);
        QCOMPARE(kirvane::mail::decodeHeaderText(raw), expected);
    }

    void headerEncode_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("charset");
        QTest::addColumn<int>("words");
        QTest::newRow("ASCII as it is") << QStringLiteral("Hello, world") << QStringLiteral("ISO-8859-1") << 1;
        QTest::newRow("short Latin-1") << QStringLiteral("Été") << QStringLiteral("ISO-8859-1") << 1;
        QTest::newRow("long UTF-8") << QStringLiteral("Прямая рассылка для всех читателей, ").repeated(4)
                                    << QStringLiteral("UTF-8") << 6;
        QTest::newRow("characters beyond the BMP") << QStringLiteral("😀").repeated(30) << QStringLiteral("UTF-8") << 3;
    }
    void headerEncode()
    {
        QFETCH(QString, text);
        QFETCH(QString, charset);
        QFETCH(int, words);
        const QList<QByteArray> encoded = kirvane::mail::encodeHeaderWords(text, charset);
        QCOMPARE(encoded.size(), words);
        for (const QByteArray &word : encoded)
            QVERIFY2(word.size() <= 75 || isAscii(text), word.constData());
        QCOMPARE(kirvane::mail::decodeHeaderText(encoded.join("\r\n ")), text);
    }

    void charsetFit_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("charset");
        QTest::addColumn<bool>("fits");
        QTest::newRow("é in ISO-8859-1") << QStringLiteral("été") << QStringLiteral("ISO-8859-1") << true;
        QTest::newRow("€ not in ISO-8859-1") << QStringLiteral("5 €") << QStringLiteral("iso-8859-1") << false;
        QTest::newRow("€ in Windows-1252") << QStringLiteral("5 €") << QStringLiteral("windows-1252") << true;
        QTest::newRow("€ in ISO-8859-15") << QStringLiteral("5 €") << QStringLiteral("ISO-8859-15") << true;
        QTest::newRow("¤ not in ISO-8859-15") << QStringLiteral("¤") << QStringLiteral("ISO-8859-15") << false;
        QTest::newRow("Greek in UTF-8") << QStringLiteral("Ωμέγα") << QStringLiteral("UTF-8") << true;
        QTest::newRow("Cyrillic in KOI8-R") << QStringLiteral("Привет") << QStringLiteral("KOI8-R") << true;
        QTest::newRow("Greek not in KOI8-R") << QStringLiteral("Ωμέγα") << QStringLiteral("KOI8-R") << false;
        QTest::newRow("C1 control not in ISO-8859-1") << QStringLiteral("a\u0099") << QStringLiteral("ISO-8859-1") << false;
        // Long lines are checked four characters at a time: a character that
        // does not fit, at each place of a group, and the edges of the ranges.
        const QString line = QStringLiteral("Une ligne de la lettre, la m\u00eame pour tous");
        for (int at : {20, 21, 22, 23}) {
            for (const auto &[name, c] : {std::pair{"C1 control", u'\u0080'}, std::pair{"C1 control", u'\u009f'},
                                          std::pair{"beyond Latin-1", u'\u0100'}, std::pair{"beyond Latin-1", u'\u20ac'}}) {
                QString text = line;
                text[at] = QChar(c);
                QTest::addRow("%s U+%04X at %d of a long line", name, unsigned(c), at)
                    << text << QStringLiteral("ISO-8859-1") << false;
            }
        }
        QTest::newRow("a long line of ISO-8859-1 letters")
            << line + QStringLiteral("\u007f\u00a0\u00ff\u00e9\u00e0\u00c7\u00b0") << QStringLiteral("ISO-8859-1") << true;
        QTest::newRow("é not in US-ASCII") << QStringLiteral("é") << QStringLiteral("us-ascii") << false;
        QTest::newRow("unknown charset") << QStringLiteral("é") << QStringLiteral("x-nothing") << false;
    }
    void charsetFit()
    {
        QFETCH(QString, text);
        QFETCH(QString, charset);
        QFETCH(bool, fits);
        QCOMPARE(canEncode(text, charset), fits);
        if (fits)
            QCOMPARE(decodeText(encodeText(text, charset), charset), text);
    }

    void decodeWithoutKnownCharset()
    {
        QCOMPARE(decodeText("caf\xC3\xA9", QString()), QStringLiteral("café"));
        QCOMPARE(decodeText("caf\xE9 \x80", QStringLiteral("x-unknown")), QStringLiteral("café €"));
        // ISO-8859-1 labels are read as Windows-1252, as mail readers do.
        QCOMPARE(decodeText("\x93Prix\x94", QStringLiteral("ISO-8859-1")), QStringLiteral("“Prix”"));
    }
};

QTEST_GUILESS_MAIN(TestCodecs)
#include "tst_codecs.moc"
