// Paradox tables (versions 3 to 7): the table named after its file, read
// through ParadoxTable (memo texts from the .MB file beside it, text in the
// table's code page), once its header has been checked against the file.
#include "import/paradoxtable.h"
#include "import/sourcefile.h"

#include "texts/texttable.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>

namespace kirvane::import {

namespace {

class ParadoxFile : public SourceFile {
public:
    explicit ParadoxFile(const QString &path) : m_path(path)
    {
        QFile f(path);
        openForReading(f);
        checkHeader(f.read(0x800), f.size());
        (void)ParadoxTable(path); // throws for a header the library cannot read
    }

    QStringList tables() const override { return {QFileInfo(m_path).completeBaseName()}; }

    SourceTable read(const QString &table, int rowLimit) override
    {
        if (table.compare(tables().first(), Qt::CaseInsensitive) != 0)
            throw SourceError(QStringLiteral("%1: no table %2").arg(m_path, table));
        ParadoxTable px(m_path);
        SourceTable t;
        t.name = table;
        t.columns = px.columns();
        const int records = px.recordCount();
        const ReadClock clock(m_path, QFileInfo(m_path).size());
        for (int r = 0; r < records && (rowLimit < 0 || int(t.rows.size()) < rowLimit); ++r) {
            clock.check();
            QStringList row = px.record(r);
            if (row.isEmpty()) {
                // Records the header counts but the blocks do not hold.
                t.refused.push_back({texts::text(texts::ImportAtRecord).arg(r + 1), texts::text(texts::ImportRecordUnreadable)});
                continue;
            }
            t.rows.push_back(std::move(row));
        }
        return t;
    }

private:
    // The library trusts the header as it finds it: a block count or a
    // record count past what the file holds sends it reading far beyond the
    // file or for a very long time. The header's sizes are checked against
    // each other and against the file's size first.
    void checkHeader(const QByteArray &head, qint64 fileSize)
    {
        const auto u16 = [&head](int at) { return at + 2 <= head.size() ? int(qFromLittleEndian<quint16>(head.constData() + at)) : -1; };
        const int recordSize = u16(0x00);
        const int headerSize = u16(0x02);
        const int type = head.size() > 4 ? quint8(head[4]) : -1;
        // A header within the file and the file type of a table (0 keyed, 2 unkeyed).
        if (head.size() < 0x58 || headerSize < 0x58 || headerSize > fileSize || (type != 0 && type != 2))
            throw SourceError(QStringLiteral("%1: not a Paradox table").arg(m_path));
        const auto mismatch = [this] {
            return SourceError(QStringLiteral("%1: %2").arg(m_path, texts::text(texts::ImportHeaderMismatch)));
        };
        const int blockKb = quint8(head[5]);
        const qint64 records = qFromLittleEndian<quint32>(head.constData() + 6);
        const int fileBlocks = u16(0x0C);
        const int fields = quint8(head[0x21]);
        const int version = quint8(head[0x39]);
        if (blockKb < 1 || blockKb > 32 || recordSize < 1 || recordSize > blockKb * 1024 - 6 || fields < 1)
            throw mismatch();
        const qint64 blockSize = qint64(blockKb) * 1024;
        // Each field's type and length, after the header's fixed part.
        const int at = version >= 5 ? 0x78 : 0x58;
        if (at + 2 * fields > std::min<qint64>(headerSize, head.size()))
            throw mismatch();
        int length = 0;
        for (int i = 0; i < fields; ++i)
            length += quint8(head[at + 2 * i + 1]);
        if (length > recordSize) // the values would be read past the record
            throw mismatch();
        if (headerSize + qint64(fileBlocks) * blockSize > fileSize)
            throw SourceError(QStringLiteral("%1: %2").arg(m_path, texts::text(texts::ImportFileCut)));
        if (records > qint64(fileBlocks) * ((blockSize - 6) / recordSize))
            throw mismatch();
    }

    QString m_path;
};

} // namespace

std::unique_ptr<SourceFile> openParadox(const QString &path)
{
    return std::make_unique<ParadoxFile>(path);
}

} // namespace kirvane::import
