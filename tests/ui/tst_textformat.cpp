// Resetting the formatting of a formatted-text editor.

#include "ui/textformat.h"

#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

using namespace kirvane::ui;

class TestTextFormat : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyCharacterBecomesPlain();
};

void TestTextFormat::everyCharacterBecomesPlain()
{
    QTextEdit editor;
    editor.setHtml(QStringLiteral("<p><b>Bold</b> <i style='color:red'>red</i> <u style='font-size:20pt'>big</u></p>"
                                  "<p>second paragraph</p>"));
    const QString before = editor.toPlainText();

    resetTextFormatting(&editor);

    QCOMPARE(editor.toPlainText(), before);
    QCOMPARE(editor.textCursor().selectedText().size(), before.size());
    for (QTextBlock block = editor.document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            const QString where = it.fragment().text();
            QVERIFY2(f.fontWeight() == QFont::Normal, qPrintable(where));
            QVERIFY2(!f.fontItalic() && !f.fontUnderline(), qPrintable(where));
            QVERIFY2(f.foreground().color() == QColor(Qt::black), qPrintable(where));
            QVERIFY2(f.fontPointSize() == 8, qPrintable(where));
        }
    }
}

QTEST_MAIN(TestTextFormat)
#include "tst_textformat.moc"
