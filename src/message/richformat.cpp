#include "message/richformat.h"

#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace kirvane::message {

CharAttributes charAttributes(const QTextDocument &document, const QTextCharFormat &format)
{
    const QFont font = format.font().resolve(document.defaultFont());
    CharAttributes a;
    a.bold = font.bold();
    a.italic = font.italic();
    a.underline = font.underline();
    a.family = font.families().value(0, font.family());
    a.pointSize = font.pointSizeF() > 0 ? font.pointSizeF() : 8;
    if (format.foreground().style() != Qt::NoBrush)
        a.colour = format.foreground().color().rgb();
    if (format.isAnchor())
        a.link = format.anchorHref();
    return a;
}

QTextCharFormat charFormat(const CharAttributes &a)
{
    QTextCharFormat f;
    f.setFontWeight(a.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(a.italic);
    f.setFontUnderline(a.underline);
    f.setFontFamilies({a.family});
    if (a.pointSize > 0)
        f.setFontPointSize(a.pointSize);
    f.setForeground(QColor(a.colour));
    if (!a.link.isEmpty()) {
        f.setAnchor(true);
        f.setAnchorHref(a.link);
    }
    return f;
}

} // namespace kirvane::message

namespace kirvane::message {

namespace {

bool hasStyle(const QTextCharFormat &f, CharStyle style)
{
    switch (style) {
    case CharStyle::Bold: return f.fontWeight() > QFont::Medium;
    case CharStyle::Italic: return f.fontItalic();
    case CharStyle::Underline: return f.fontUnderline();
    }
    return false;
}

} // namespace

bool selectionHasStyle(const QTextCursor &cursor, CharStyle style)
{
    if (!cursor.hasSelection())
        return hasStyle(cursor.charFormat(), style);
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    // Each character's format is the one left of the position after it.
    QTextCursor probe(cursor.document());
    for (int pos = start + 1; pos <= end; ++pos) {
        probe.setPosition(pos);
        if (probe.atBlockStart())
            continue; // a paragraph separator has no style of its own
        if (!hasStyle(probe.charFormat(), style))
            return false;
    }
    return true;
}

void toggleStyle(QTextCursor &cursor, CharStyle style)
{
    const bool on = !selectionHasStyle(cursor, style);
    QTextCharFormat change;
    switch (style) {
    case CharStyle::Bold: change.setFontWeight(on ? QFont::Bold : QFont::Normal); break;
    case CharStyle::Italic: change.setFontItalic(on); break;
    case CharStyle::Underline: change.setFontUnderline(on); break;
    }
    cursor.mergeCharFormat(change);
}

namespace {

// The character format at position: the one of the character after it.
QTextCharFormat formatAfter(QTextDocument *document, int position)
{
    QTextCursor probe(document);
    probe.setPosition(std::min(position + 1, document->characterCount() - 1));
    return probe.charFormat();
}

// Selects the whole link the cursor is in.
void selectLink(QTextCursor &cursor)
{
    const QString href = formatAfter(cursor.document(), cursor.position()).anchorHref();
    if (href.isEmpty())
        return;
    int start = cursor.position();
    while (start > 0 && formatAfter(cursor.document(), start - 1).anchorHref() == href)
        --start;
    int end = cursor.position();
    const int last = cursor.document()->characterCount() - 1;
    while (end < last && formatAfter(cursor.document(), end).anchorHref() == href)
        ++end;
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
}

} // namespace

QString linkAt(const QTextCursor &cursor)
{
    return formatAfter(cursor.document(), cursor.selectionStart()).anchorHref();
}

void setLink(QTextCursor &cursor, const QString &address)
{
    if (!cursor.hasSelection())
        selectLink(cursor);
    if (!cursor.hasSelection())
        return;
    QTextCharFormat change;
    change.setAnchor(!address.isEmpty());
    change.setAnchorHref(address);
    change.setFontUnderline(!address.isEmpty());
    change.setForeground(QColor(address.isEmpty() ? Qt::black : Qt::blue));
    cursor.mergeCharFormat(change);
}

} // namespace kirvane::message

