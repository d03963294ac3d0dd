#include "message/textlines.h"

#include "common/filewriter.h"
#include "common/textcodec.h"

#include <QFile>

#include <algorithm>

namespace kirvane::message {

using namespace kirvane::common;

QStringList splitLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != u'\n' && c != u'\r')
            continue;
        lines << text.mid(start, i - start);
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines << text.mid(start);
    return lines;
}

QByteArray encodeLines(const QStringList &lines)
{
    QString text;
    for (const QString &line : lines)
        text += line + QLatin1String("\r\n");
    return encodeMessageText(text, true);
}

QByteArray encodeMessageText(QStringView text, bool withBom, bool *utf8)
{
    const LegacyText encoded = encodeLegacyText(text, withBom);
    if (utf8)
        *utf8 = encoded.utf8;
    return encoded.bytes;
}

QStringList decodeLines(const QByteArray &bytes) { return splitLines(decodeLegacyText(bytes)); }

bool writeLinesFile(const QString &path, const QStringList &lines)
{
    return replaceFile(path, encodeLines(lines));
}

bool readLinesFile(const QString &path, QStringList *lines)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    *lines = decodeLines(f.readAll());
    return true;
}

} // namespace kirvane::message

namespace kirvane::message {

bool writePageFile(const QString &path, const QStringList &lines)
{
    QString text;
    for (const QString &line : lines)
        text += line + QLatin1String("\r\n");
    QByteArray bytes = text.toUtf8();
    if (bytes.size() != text.size())
        bytes.prepend("\xEF\xBB\xBF");
    return replaceFile(path, bytes);
}

} // namespace kirvane::message
