#include "store/tableformat.h"

#include <QFile>

namespace kirvane::store {

bool isParadoxTableHeader(const QByteArray &head, qint64 fileSize)
{
    if (head.size() < 6)
        return false;
    const int recordSize = quint8(head[0]) | quint8(head[1]) << 8;
    const int headerSize = quint8(head[2]) | quint8(head[3]) << 8;
    const int type = quint8(head[4]);
    const int blockKb = quint8(head[5]);
    // 0 keyed table, 2 unkeyed table; blocks of 1 to 32 KB.
    return recordSize > 0 && headerSize >= 0x58 && headerSize <= fileSize && (type == 0 || type == 2) &&
           blockKb >= 1 && blockKb <= 32;
}

TableFormat tableFormatOf(const QByteArray &head, qint64 fileSize)
{
    if (fileSize == 0)
        return TableFormat::Empty;
    if (head.startsWith(QByteArrayView("SQLite format 3\0", 16)))
        return TableFormat::Sqlite;
    if (isParadoxTableHeader(head, fileSize))
        return TableFormat::Paradox;
    return TableFormat::Other;
}

TableFormat tableFormatOf(const QString &path)
{
    QFile f(path);
    if (!f.exists())
        return TableFormat::Missing;
    if (!f.open(QIODevice::ReadOnly))
        return TableFormat::Other;
    return tableFormatOf(f.read(16), f.size());
}

} // namespace kirvane::store
