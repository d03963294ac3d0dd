#include "common/logline.h"

namespace kirvane::common {

namespace {

bool needsEscape(char16_t c, TabInLine tab)
{
    if (c == u'\t')
        return tab == TabInLine::Escape;
    // C0, DEL and C1 (NEL among them), and the two Unicode line separators.
    return c < 0x20 || (c >= 0x7f && c <= 0x9f) || c == 0x2028 || c == 0x2029;
}

} // namespace

QString logSafe(QStringView text, TabInLine tab)
{
    qsizetype first = 0;
    while (first < text.size() && !needsEscape(text[first].unicode(), tab))
        ++first;
    if (first == text.size())
        return text.toString();
    QString out = text.left(first).toString();
    for (qsizetype i = first; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (!needsEscape(c, tab))
            out += QChar(c);
        else if (c == u'\r')
            out += QLatin1String("\\r");
        else if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c == u'\t')
            out += QLatin1String("\\t");
        else if (c > 0xff)
            out += QStringLiteral("\\u%1").arg(int(c), 4, 16, QLatin1Char('0'));
        else
            out += QStringLiteral("\\x%1").arg(int(c), 2, 16, QLatin1Char('0'));
    }
    return out;
}

} // namespace kirvane::common
