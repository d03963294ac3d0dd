#include "message/findreplace.h"

#include "message/messagedocument.h"
#include "message/messagetexts.h"

#include <QTextDocument>

namespace kirvane::message {

using namespace kirvane::texts;

qsizetype TextDocumentTarget::selectionEnd() const { return m_cursor->selectionEnd(); }

qsizetype TextDocumentTarget::find(const QString &text, qsizetype from) const
{
    const QTextCursor found = m_doc->find(text, int(from), QTextDocument::FindCaseSensitively);
    return found.isNull() ? -1 : found.selectionStart();
}

void TextDocumentTarget::select(qsizetype start, qsizetype length)
{
    m_cursor->setPosition(int(start));
    m_cursor->setPosition(int(start + length), QTextCursor::KeepAnchor);
}

void TextDocumentTarget::replaceSelection(const QString &text) { m_cursor->insertText(text); }

qsizetype PlainTextTarget::find(const QString &text, qsizetype from) const
{
    return m_text->indexOf(text, from, Qt::CaseSensitive);
}

void PlainTextTarget::select(qsizetype start, qsizetype length)
{
    m_start = start;
    m_length = length;
}

void PlainTextTarget::replaceSelection(const QString &text)
{
    m_text->replace(m_start, m_length, text);
    m_start += text.size();
    m_length = 0;
}

bool findNext(SearchTarget &target, const QString &text)
{
    if (text.isEmpty())
        return false;
    const qsizetype at = target.find(text, target.selectionEnd());
    if (at < 0)
        return false;
    target.select(at, text.size());
    return true;
}

bool replaceNext(SearchTarget &target, const QString &text, const QString &replacement)
{
    if (!findNext(target, text))
        return false;
    target.replaceSelection(replacement);
    return true;
}

int replaceAll(SearchTarget &target, const QString &text, const QString &replacement)
{
    int count = 0;
    while (replaceNext(target, text, replacement))
        ++count;
    return count;
}

FindReplace::Window FindReplace::search(SearchTarget *target, const QString &text, texts::Asker &ask)
{
    if (text.isEmpty())
        return Window::StayOpen;
    m_last = text;
    searchAgain(target, ask);
    return Window::Close;
}

void FindReplace::searchAgain(SearchTarget *target, texts::Asker &ask)
{
    if (!target) {
        ask.inform(messageTexts::findNeedsSourceMode());
        return;
    }
    if (m_last.isEmpty())
        return;
    if (!findNext(*target, m_last))
        ask.inform(messageTexts::stringNotFound());
}

FindReplace::Window FindReplace::replace(SearchTarget *target, const QString &text, const QString &replacement,
                                         texts::Asker &ask)
{
    if (text.isEmpty() || replacement.isEmpty()) {
        ask.inform(messageTexts::fillBothFields());
        return Window::StayOpen;
    }
    if (!target)
        ask.inform(messageTexts::findNeedsSourceMode());
    else if (!replaceNext(*target, text, replacement))
        ask.inform(messageTexts::stringNotFound());
    return Window::Close;
}

FindReplace::Window FindReplace::replaceEverything(SearchTarget *target, const QString &text,
                                                   const QString &replacement, texts::Asker &ask)
{
    if (text.isEmpty() || replacement.isEmpty())
        return Window::StayOpen;
    if (!target)
        ask.inform(messageTexts::findNeedsSourceMode());
    else
        replaceAll(*target, text, replacement);
    return Window::Close;
}

} // namespace kirvane::message
