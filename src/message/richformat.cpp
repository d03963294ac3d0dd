#include "message/richformat.h"

#include <QTextCursor>
#include <QTextDocument>

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

} // namespace kirvane::message
