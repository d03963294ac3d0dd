#include "ui/textformat.h"

#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextEdit>

namespace kirvane::ui {

void resetTextFormatting(QTextEdit *editor)
{
    QTextCursor all(editor->document());
    all.select(QTextCursor::Document);
    QTextCharFormat plain;
    plain.setFontWeight(QFont::Normal);
    plain.setFontItalic(false);
    plain.setFontUnderline(false);
    plain.setForeground(Qt::black);
    plain.setFontPointSize(8);
    plain.setFontFamilies({editor->font().family()});
    all.setCharFormat(plain);
    editor->setTextCursor(all);
    // Text typed next continues in the same plain format.
    editor->setCurrentCharFormat(plain);
}

} // namespace kirvane::ui
