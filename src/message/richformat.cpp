#include "message/richformat.h"

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
