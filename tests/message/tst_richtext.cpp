// The formatted body: its HTML lines (exact), and RTF written by us and by
// other programs read back with its formatting.

#include "message/htmlbody.h"
#include "message/richformat.h"
#include "message/rtf.h"

#include <QFile>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

using namespace kirvane::message;

namespace {

CharAttributes plain10()
{
    CharAttributes a;
    a.family = QStringLiteral("Arial");
    a.pointSize = 10;
    return a;
}

struct Run {
    QString text; // "\n" starts a new paragraph
    CharAttributes attributes;
};

void fill(QTextDocument &doc, const std::vector<Run> &runs)
{
    doc.clear();
    QTextCursor c(&doc);
    for (const Run &r : runs)
        c.insertText(r.text, charFormat(r.attributes));
}

// Every character with its attributes, paragraph ends as '\n'.
QList<std::pair<QChar, CharAttributes>> characters(const QTextDocument &doc)
{
    QList<std::pair<QChar, CharAttributes>> out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it)
            for (QChar ch : it.fragment().text())
                out.append(std::pair{ch, charAttributes(doc, it.fragment().charFormat())});
        out.append(std::pair{QChar(u'\n'), CharAttributes{}});
    }
    return out;
}

// The attributes of the first character of the first occurrence of word.
CharAttributes attributesAt(const QTextDocument &doc, const QString &word)
{
    const QTextCursor found = doc.find(word, 0, QTextDocument::FindCaseSensitively);
    if (found.isNull())
        return {};
    QTextCursor c(const_cast<QTextDocument *>(&doc));
    c.setPosition(found.selectionStart() + 1); // the format left of the cursor
    return charAttributes(doc, c.charFormat());
}

QByteArray fixture(const QString &name)
{
    QFile f(qEnvironmentVariable("KIRVANE_TEST_DATA") + QStringLiteral("/message/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

Q_DECLARE_METATYPE(std::vector<Run>)

class TestRichText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void htmlLines_data()
    {
        QTest::addColumn<std::vector<Run>>("runs");
        QTest::addColumn<QStringList>("lines");

        const CharAttributes a = plain10();
        CharAttributes bold = a;
        bold.bold = true;
        CharAttributes red = a;
        red.colour = qRgb(255, 0, 0);
        CharAttributes times12 = a;
        times12.family = QStringLiteral("Times");
        times12.pointSize = 12;
        CharAttributes iu = a;
        iu.italic = iu.underline = true;
        CharAttributes odd = a;
        odd.colour = qRgb(0x12, 0x34, 0x56);

        const QString open = QStringLiteral("<font Color =\"#000000\" size =\"3\" Face =\"Arial\">");
        QTest::newRow("bold in the middle of a line")
            << std::vector<Run>{{"a", a}, {"b", bold}} << QStringList{open + "a<b>b<br>", "</font>"};
        QTest::newRow("a colour change reopens the font tag with the colour alone")
            << std::vector<Run>{{"a", a}, {"b", red}}
            << QStringList{open + "a</font><font Color =\"#FF0000\">b<br>", "</font>"};
        QTest::newRow("size and face change together")
            << std::vector<Run>{{"a", a}, {"b", times12}}
            << QStringList{open + "a</font><font size =\"4\" Face =\"Times\">b<br>", "</font>"};
        QTest::newRow("styles and font carry over the line end")
            << std::vector<Run>{{"x\ny", bold}, {"z", a}}
            << QStringList{"<b>" + open + "x<br>", "y</b>z<br>", "</font>"};
        QTest::newRow("italic and underline close in order")
            << std::vector<Run>{{"i", iu}, {"n", a}} << QStringList{"<i><u>" + open + "i</i></u>n<br>", "</font>"};
        QTest::newRow("colour digits in red, green, blue order")
            << std::vector<Run>{{"c", odd}}
            << QStringList{"<font Color =\"#123456\" size =\"3\" Face =\"Arial\">c<br>", "</font>"};
        // What was typed goes into the page as typed: markup typed into the
        // message is markup, and placeholder words stay whole to be filled.
        QTest::newRow("typed markup is markup, placeholders stay")
            << std::vector<Run>{{"<a href=\"&url&\">&name&</a>", a}}
            << QStringList{open + "<a href=\"&url&\">&name&</a><br>", "</font>"};
        QTest::newRow("typed bold tags")
            << std::vector<Run>{{"x <b>bold</b> & y", a}} << QStringList{open + "x <b>bold</b> & y<br>", "</font>"};
        QTest::newRow("a placeholder across a change of style stays whole")
            << std::vector<Run>{{"&na", a}, {"me&", bold}} << QStringList{open + "&na<b>me&<br>", "</font>"};
        CharAttributes link = a;
        link.link = QStringLiteral("https://example.org/?a=1&b=&email&\"x");
        QTest::newRow("a link made with the link command")
            << std::vector<Run>{{"see ", a}, {"our site", link}, {" now", a}}
            << QStringList{open + "see <a href=\"https://example.org/?a=1&b=&email&%22x\">our site</a> now<br>",
                           "</font>"};
        QTest::newRow("a link over two lines is closed on each")
            << std::vector<Run>{{"a\nb", link}}
            << QStringList{open + "<a href=\"https://example.org/?a=1&b=&email&%22x\">a</a><br>",
                           "<a href=\"https://example.org/?a=1&b=&email&%22x\">b</a><br>", "</font>"};
        QTest::newRow("an empty paragraph is a line of its own")
            << std::vector<Run>{{"a\n\nb", a}} << QStringList{open + "a<br>", "<br>", "b<br>", "</font>"};
        QTest::newRow("empty editor") << std::vector<Run>{} << QStringList{"</font>"};
    }

    void htmlLines()
    {
        QFETCH(std::vector<Run>, runs);
        QFETCH(QStringList, lines);
        QTextDocument doc;
        fill(doc, runs);
        QCOMPARE(richTextToHtmlLines(doc), lines);
    }

    void htmlFontSize_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<int>("size");
        for (auto [p, s] : {std::pair{5, 2}, {6, 3}, {8, 3}, {10, 3}, {11, 3}, {12, 4}, {18, 5}, {24, 6}})
            QTest::addRow("%d points", p) << p << s;
    }

    void htmlFontSize()
    {
        QFETCH(int, points);
        QFETCH(int, size);
        QCOMPARE(kirvane::message::htmlFontSize(points), size);
    }

    void rtfRoundTrip()
    {
        CharAttributes a = plain10();
        CharAttributes b = a;
        b.bold = b.italic = b.underline = true;
        b.family = QStringLiteral("Courier New");
        b.pointSize = 18;
        b.colour = qRgb(10, 200, 30);
        CharAttributes c = a;
        c.colour = qRgb(255, 0, 0);
        c.pointSize = 10.5;
        QTextDocument doc;
        fill(doc, {{"Plain {braces} \\ back\tslash ", a},
                   {"Gras été € Жук 中 😀", b},
                   {"\n\nafter an empty paragraph", c},
                   {QString(QChar::LineSeparator) + "second line\n", a}});
        const QByteArray rtf = writeRtf(doc);
        for (char ch : rtf)
            QVERIFY2(uchar(ch) < 0x80, "RTF must be plain ASCII");

        QTextDocument back;
        QVERIFY(readRtf(rtf, &back));
        QCOMPARE(back.toPlainText(), doc.toPlainText());
        QCOMPARE(characters(back), characters(doc));
        QCOMPARE(writeRtf(back), rtf);
    }

    void readsLibreOfficeRtf()
    {
        QTextDocument doc;
        QVERIFY(readRtf(fixture(QStringLiteral("libreoffice.rtf")), &doc));
        QCOMPARE(richTextLines(doc), QStringList({"Hello bold italic under red", "Café déjà €5 Жук 中"}));
        const CharAttributes hello = attributesAt(doc, QStringLiteral("Hello"));
        QCOMPARE(hello.family, QStringLiteral("DejaVu Serif"));
        QCOMPARE(hello.pointSize, 14.0);
        QVERIFY(!hello.bold && !hello.italic && !hello.underline);
        QCOMPARE(hello.colour, qRgb(0, 0, 0));
        QVERIFY(attributesAt(doc, QStringLiteral("bold")).bold);
        QVERIFY(attributesAt(doc, QStringLiteral("italic")).italic);
        QVERIFY(attributesAt(doc, QStringLiteral("under")).underline);
        QVERIFY(!attributesAt(doc, QStringLiteral("under")).bold);
        QCOMPARE(attributesAt(doc, QStringLiteral("red")).colour, qRgb(255, 0, 0));
        const CharAttributes cafe = attributesAt(doc, QStringLiteral("Жук"));
        QCOMPARE(cafe.family, QStringLiteral("DejaVu Sans"));
        QCOMPARE(cafe.pointSize, 10.0);
    }

    void readsPandocRtf()
    {
        QTextDocument doc;
        QVERIFY(readRtf(fixture(QStringLiteral("pandoc.rtf")), &doc));
        QCOMPARE(richTextLines(doc),
                 QStringList({"Sample", "", "Hello bold italic under red", "Café déjà €5 Жук 中"}));
        const CharAttributes title = attributesAt(doc, QStringLiteral("Sample"));
        QVERIFY(title.bold);
        QCOMPARE(title.pointSize, 18.0);
        QCOMPARE(title.family, QStringLiteral("Helvetica"));
        const CharAttributes hello = attributesAt(doc, QStringLiteral("Hello"));
        QVERIFY(!hello.bold);
        QCOMPARE(hello.pointSize, 12.0);
        QVERIFY(attributesAt(doc, QStringLiteral("bold")).bold);
        QVERIFY(attributesAt(doc, QStringLiteral("italic")).italic);
        QVERIFY(attributesAt(doc, QStringLiteral("under")).underline);
        QVERIFY(!attributesAt(doc, QStringLiteral(" red")).underline);
    }

    void readsWhatOtherWritersUse_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("text");

        QTest::newRow("ANSI code page of the document") << QByteArray("{\\rtf1\\ansi\\ansicpg1251 \\'c6\\'f3\\'ea}") << "Жук";
        QTest::newRow("code page of the font's charset")
            << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset204 Arial;}{\\f1 Times;}}\\f0 \\'c6\\f1 \\'c6}") << "ЖÆ";
        QTest::newRow("Windows-1252 without a code page") << QByteArray("{\\rtf1\\ansi \\'80\\'e9}") << "€é";
        QTest::newRow("\\uc0 has no fallback") << QByteArray("{\\rtf1\\uc0 \\u1046 x}") << "Жx";
        QTest::newRow("\\uc2 skips two fallback bytes") << QByteArray("{\\rtf1\\uc2 \\u1046\\'3f\\'3fx}") << "Жx";
        QTest::newRow("negative \\u values make surrogate pairs") << QByteArray("{\\rtf1 \\u-10179?\\u-8704?}") << "😀";
        QTest::newRow("unknown starred destination") << QByteArray("{\\rtf1 a{\\*\\foo secret}b}") << "ab";
        QTest::newRow("field result kept, instruction dropped")
            << QByteArray("{\\rtf1 {\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt link}}}") << "link";
        QTest::newRow("picture data dropped") << QByteArray("{\\rtf1 a{\\pict\\pngblip 89504e47}b}") << "ab";
        QTest::newRow("binary data dropped") << QByteArray("{\\rtf1 a\\bin3 x}yb}") << "ab";
        QTest::newRow("escaped characters and tab") << QByteArray("{\\rtf1 \\{a\\}\\\\\\tab b}") << "{a}\\\tb";
        QTest::newRow("\\line and \\par")
            << QByteArray("{\\rtf1 a\\line b\\par c}") << QStringLiteral("a\u2028b\nc");
        QTest::newRow("the final \\par makes no empty paragraph") << QByteArray("{\\rtf1 a\\par\\par}") << "a\n";
        QTest::newRow("hidden text dropped") << QByteArray("{\\rtf1 a{\\v secret}b\\v c\\v0 d}") << "abd";
        QTest::newRow("table cells and rows")
            << QByteArray("{\\rtf1 \\trowd a\\cell b\\cell\\row c\\cell\\row}") << "a\tb\t\nc\t";
        QTest::newRow("document information dropped")
            << QByteArray("{\\rtf1{\\info{\\title T}{\\author A}}{\\stylesheet{\\s0 Normal;}}x}") << "x";
    }

    void readsWhatOtherWritersUse()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, text);
        QTextDocument doc;
        QVERIFY(readRtf(rtf, &doc));
        QString got;
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
            got += (b == doc.begin() ? QString() : QStringLiteral("\n")) + b.text();
        QCOMPARE(got, text);
    }

    void formattingButtonsToggleOverTheSelection()
    {
        CharAttributes a = plain10();
        a.italic = true;
        CharAttributes b = plain10();
        b.bold = true;
        QTextDocument doc;
        fill(doc, {{"a", a}, {"b", b}});
        QTextCursor all(&doc);
        all.select(QTextCursor::Document);

        // Part of the selection lacks bold: it goes on everywhere.
        QVERIFY(!selectionHasStyle(all, CharStyle::Bold));
        toggleStyle(all, CharStyle::Bold);
        QVERIFY(selectionHasStyle(all, CharStyle::Bold));
        QVERIFY(attributesAt(doc, QStringLiteral("a")).italic);
        QVERIFY(!attributesAt(doc, QStringLiteral("b")).italic);
        // All of it has it: it goes off everywhere, italic stays.
        toggleStyle(all, CharStyle::Bold);
        QVERIFY(!attributesAt(doc, QStringLiteral("a")).bold);
        QVERIFY(!attributesAt(doc, QStringLiteral("b")).bold);
        QVERIFY(attributesAt(doc, QStringLiteral("a")).italic);

        QTextCursor second(&doc);
        second.setPosition(1);
        second.setPosition(2, QTextCursor::KeepAnchor);
        toggleStyle(second, CharStyle::Underline);
        QVERIFY(!attributesAt(doc, QStringLiteral("a")).underline);
        QVERIFY(attributesAt(doc, QStringLiteral("b")).underline);
    }

    void fontNameIsReadInTheFontsCharset()
    {
        QTextDocument doc;
        QVERIFY(readRtf("{\\rtf1{\\fonttbl{\\f0\\fcharset204 \\'c0\\'f0\\'e8\\'e0\\'eb;}}\\f0 x}", &doc));
        QCOMPARE(attributesAt(doc, QStringLiteral("x")).family, QStringLiteral("Ариал"));
    }

    void survivesBrokenInput()
    {
        // Every cut of a real file, and the traps of hostile input, read to
        // an end without reading past the data.
        const QByteArray real = fixture(QStringLiteral("libreoffice.rtf"));
        QVERIFY(!real.isEmpty());
        QTextDocument doc;
        for (qsizetype cut = 0; cut < real.size(); cut += 7)
            readRtf(real.left(cut), &doc);
        const QByteArray traps[] = {
            "{\\rtf1 " + QByteArray(200000, '{') + "deep",
            "{\\rtf1 a\\'",
            "{\\rtf1 a\\'4",
            "{\\rtf1 \\u99999999999999 x}",
            "{\\rtf1 \\bin999999999 x}",
            "{\\rtf1 \\uc999999999 \\u65 abc}",
            "{\\rtf1 \\fs-5 \\cf999 \\f-1 x}}}}}",
            "{\\rtf1 " + QByteArray(100000, 'a') + "\\",
        };
        for (const QByteArray &trap : traps)
            QVERIFY(readRtf(trap, &doc));
        QVERIFY(readRtf(traps[6], &doc));
        QCOMPARE(doc.toPlainText(), QStringLiteral("x"));
    }

    void deepGroupsKeepTheirText()
    {
        // Groups nested beyond what the reader follows are no reason to lose
        // what they say.
        QTextDocument doc;
        const QByteArray rtf = "{\\rtf1 before " + QByteArray(5000, '{') + "\\b deep text" + QByteArray(5000, '}')
                               + " after}";
        QCOMPARE(readRtfDocument(rtf, &doc), RtfReadStatus::Ok);
        QCOMPARE(doc.toPlainText(), QStringLiteral("before deep text after"));
    }

    void refusesWhatExceedsTheLimits_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<qsizetype>("maxParagraphs");
        QTest::addColumn<qsizetype>("maxCharacters");
        const qsizetype paragraphs = RtfLimits{}.maxParagraphs, characters = RtfLimits{}.maxCharacters;
        // 12 MB of "\par" pack into a few kilobytes of archive.
        QTest::newRow("three million paragraphs") << "{\\rtf1 " + QByteArray("\\par ").repeated(3000000) + "}"
                                                  << paragraphs << characters;
        QTest::newRow("paragraphs beyond a small bound")
            << QByteArray("{\\rtf1 a\\par b\\par c\\par d}") << qsizetype(2) << characters;
        QTest::newRow("characters beyond a small bound") << QByteArray("{\\rtf1 ") + QByteArray(60, 'x') + "}"
                                                         << paragraphs << qsizetype(50);
    }

    void refusesWhatExceedsTheLimits()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(qsizetype, maxParagraphs);
        QFETCH(qsizetype, maxCharacters);
        QTextDocument doc;
        QCOMPARE(readRtfDocument(rtf, &doc, RtfLimits{maxParagraphs, maxCharacters}), RtfReadStatus::TooLarge);
        QVERIFY(doc.isEmpty());
    }

    void refusesWhatIsNotRtf()
    {
        QTextDocument doc;
        doc.setPlainText(QStringLiteral("old"));
        QVERIFY(!readRtf("plain words", &doc));
        QVERIFY(doc.isEmpty());
    }
};

QTEST_MAIN(TestRichText)
#include "tst_richtext.moc"
