// The text/plain alternative of HTML bodies: links with their addresses,
// images left out, paragraphs, lists and entities, placeholder words kept;
// the formatted body's HTML gives back the editor's lines.

#include "message/htmlbody.h"
#include "message/plaintextalternative.h"

#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

using namespace kirvane::message;

class TstPlainTextAlternative : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fromHtml_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QStringList>("text");
        QTest::newRow("link followed by its address")
            << "<p>See <a href=\"https://example.org/a?x=1&amp;y=2\">our site</a> now</p>"
            << QStringList{"See our site <https://example.org/a?x=1&y=2> now"};
        QTest::newRow("link whose text is its address")
            << "<p><a href=\"https://example.org/\">https://example.org/</a> and <a href=\"mailto:me@example.org\">me@example.org</a></p>"
            << QStringList{"https://example.org/ and me@example.org"};
        QTest::newRow("link over several formats")
            << "<p><a href=\"https://example.org/\"><b>bold</b> and <i>italic</i></a>.</p>"
            << QStringList{"bold and italic <https://example.org/>."};
        QTest::newRow("two links side by side")
            << "<p><a href=\"https://a.example/\">A</a><a href=\"https://b.example/\">B</a></p>"
            << QStringList{"A <https://a.example/>B <https://b.example/>"};
        QTest::newRow("in-page and embedded links add nothing")
            << "<p><a href=\"#top\">Top</a> <a href=\"cid:logo.gif\">logo</a></p>" << QStringList{"Top logo"};
        QTest::newRow("images left out")
            << "<p>Logo <img src=\"cid:logo.gif\" alt=\"Logo\"> here <img src=\"https://example.org/p.png\"></p>"
            << QStringList{"Logo here"};
        QTest::newRow("linked image keeps the address")
            << "<p><a href=\"https://example.org/\"><img src=\"cid:b.png\"></a></p>" << QStringList{"<https://example.org/>"};
        QTest::newRow("paragraphs and line breaks")
            << "<p>One<br>two</p><p>Three</p><br><br><p>Four</p>"
            << QStringList{"One", "two", "", "Three", "", "Four"};
        QTest::newRow("entities and placeholders")
            << "<p>Bonjour &prenom& &nom&, x &lt; 5 &amp; caf&eacute;&nbsp;cr&egrave;me</p>"
            << QStringList{"Bonjour &prenom& &nom&, x < 5 & café crème"};
        QTest::newRow("lists")
            << "<ul><li>one</li><li>two<ol><li>first</li><li>second</li></ol></li></ul>"
            << QStringList{"- one", "- two", "  1. first", "  2. second"};
        QTest::newRow("head, style and script left out")
            << "<html><head><title>T</title><style>p{color:red}</style></head>"
               "<body><script>var x = 1;</script><p>Text</p></body></html>"
            << QStringList{"Text"};
        QTest::newRow("rule and table cells")
            << "<p>Above</p><hr><table><tr><td>c1</td><td>c2</td></tr></table>"
            << QStringList{"Above", "", "--------------------", "c1", "c2"};
        QTest::newRow("nothing but an image") << "<img src=\"cid:a.png\">" << QStringList();
    }
    void fromHtml()
    {
        QFETCH(QString, html);
        QFETCH(QStringList, text);
        const QStringList got = plainTextAlternative(html.split(u'\n'));
        QCOMPARE(got.join(u'|'), text.join(u'|')); // lines shown in a failure
        for (const QString &line : got)
            QVERIFY(!line.contains(QChar::ObjectReplacementCharacter));
    }

    // The formatted body sent as HTML gives back, as text, the lines typed
    // in the editor: markup characters, placeholders, empty lines.
    void formattedBodyGivesTheTypedLines()
    {
        QTextDocument doc;
        QTextCursor c(&doc);
        // Markup typed into the formatted editor is markup: the reader sees
        // its text, not its tags.
        c.insertText(QStringLiteral("Bonjour &prenom&,\n<b>Merci</b> et à bientôt\n\nFin"));
        QStringList html = {QStringLiteral("<html><body>")};
        html += richTextToHtmlLines(doc);
        html << QStringLiteral("<br>") << QStringLiteral("</body></html>");
        QCOMPARE(plainTextAlternative(html),
                 (QStringList{"Bonjour &prenom&,", "Merci et à bientôt", "", "Fin"}));
    }

    // Nesting as deep as a hostile message makes it: every word kept, in a
    // time that grows with the depth (with its square, twenty thousand
    // nested tables took many minutes, past the test's time limit).
    void deepNesting_data()
    {
        QTest::addColumn<QString>("open");
        QTest::addColumn<QString>("close");
        QTest::newRow("blocks") << "<div>" << "</div>";
        QTest::newRow("lists") << "<ul><li>" << "</li></ul>";
        QTest::newRow("tables") << "<table><tr><td>" << "</td></tr></table>";
        QTest::newRow("quotes and links") << "<blockquote><a href=\"https://example.org/\">" << "</a></blockquote>";
        QTest::newRow("items without end tags") << "<ol><li><p>" << "</ol>";
    }
    void deepNesting()
    {
        QFETCH(QString, open);
        QFETCH(QString, close);
        constexpr int depth = 20000;
        QString html;
        for (int i = 0; i < depth; ++i)
            html += open + QStringLiteral("w%1 ").arg(i);
        for (int i = 0; i < depth; ++i)
            html += close;
        const QString text = plainTextAlternative(QStringList{html}).join(u' ');
        for (int i : {0, 1, 63, 64, 65, depth / 2, depth - 1})
            QVERIFY2(text.contains(QStringLiteral("w%1 ").arg(i)) || text.endsWith(QStringLiteral("w%1").arg(i)),
                     qPrintable(QString::number(i)));
    }
};

QTEST_MAIN(TstPlainTextAlternative)
#include "tst_plaintextalternative.moc"
