#include "ui/views.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTextEdit>

namespace kirvane::ui {

using namespace kirvane::texts;

namespace {
template<typename Editor>
int findIn(Editor *editor, const QString &text)
{
    const QTextCursor from = editor->textCursor();
    const QTextCursor found =
        editor->document()->find(text, from.selectionEnd(), QTextDocument::FindCaseSensitively);
    if (found.isNull())
        return -1;
    editor->setTextCursor(found);
    return found.selectionStart();
}
} // namespace

int findNextIn(QWidget *editor, const QString &text)
{
    if (!editor || text.isEmpty())
        return -1;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    int at = -1;
    if (auto *rich = qobject_cast<QTextEdit *>(editor))
        at = findIn(rich, text);
    else if (auto *plain = qobject_cast<QPlainTextEdit *>(editor))
        at = findIn(plain, text);
    QApplication::restoreOverrideCursor();
    return at;
}

} // namespace kirvane::ui
