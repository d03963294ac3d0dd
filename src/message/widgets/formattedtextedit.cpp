#include "message/widgets/formattedtextedit.h"

#include "message/richformat.h"

#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace kirvane::message {

void FormattedTextEdit::insertFromMimeData(const QMimeData *source)
{
    if (!source->hasHtml()) {
        QTextEdit::insertFromMimeData(source);
        return;
    }
    QTextDocument pasted;
    pasted.setDefaultFont(document()->defaultFont()); // what the source leaves unsaid is ours
    pasted.setHtml(source->html());
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    for (QTextBlock block = pasted.begin(); block.isValid(); block = block.next()) {
        if (block != pasted.begin())
            cursor.insertText(QStringLiteral("\n"));
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            QString text = it.fragment().text();
            text.remove(QChar::ObjectReplacementCharacter); // an image
            if (!text.isEmpty())
                cursor.insertText(text, charFormat(charAttributes(pasted, it.fragment().charFormat())));
        }
    }
    cursor.endEditBlock();
    setTextCursor(cursor);
}

} // namespace kirvane::message
