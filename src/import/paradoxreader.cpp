// Paradox tables (versions 3 to 7) through pxlib: the table named after its
// file, memo texts from the .MB file beside it, text in the table's code page.
#include "import/codepages.h"
#include "import/sourcefile.h"

#include "common/folders.h"
#include "texts/texttable.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

extern "C" {
#include <paradox.h>
}

namespace kirvane::import {

using namespace kirvane::common;

namespace {

// Days of pxlib's dates count from 1 January of year 1; the serial day
// numbers of its calendar helper count from 24 November 4714 BC.
constexpr long kSerialOfYearOne = 1721425;

QString dateText(long days)
{
    int y = 0, m = 0, d = 0;
    PX_SdnToGregorian(days + kSerialOfYearOne, &y, &m, &d);
    return QDate(y, m, d).toString(Qt::ISODate);
}

// pxlib reports errors on standard error through its handler; the reader
// says what went wrong itself.
void quietErrors(pxdoc_t *, int, const char *, void *) {}

class PxDoc {
public:
    PxDoc() : m_doc(PX_new())
    {
        if (m_doc)
            m_doc->errorhandler = quietErrors;
    }
    ~PxDoc()
    {
        if (m_open)
            PX_close(m_doc);
        PX_delete(m_doc);
    }
    PxDoc(const PxDoc &) = delete;
    PxDoc &operator=(const PxDoc &) = delete;
    pxdoc_t *get() const { return m_doc; }
    bool open(const QString &path)
    {
        m_open = m_doc && PX_open_file(m_doc, QFile::encodeName(path).constData()) == 0;
        return m_open;
    }
    // Takes a value pxlib allocated.
    QByteArray take(char *value, int length = -1) const
    {
        if (!value)
            return {};
        QByteArray bytes = length >= 0 ? QByteArray(value, length) : QByteArray(value);
        m_doc->free(m_doc, value);
        return bytes;
    }

private:
    pxdoc_t *m_doc = nullptr;
    bool m_open = false;
};

class ParadoxFile : public SourceFile {
public:
    explicit ParadoxFile(const QString &path) : m_path(path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            throw SourceError(QStringLiteral("%1: %2").arg(path, f.errorString()));
        checkHeader(f.read(0x800), f.size());
        PxDoc doc;
        if (!doc.open(path))
            throw SourceError(QStringLiteral("%1: not a Paradox table").arg(path));
    }

    QStringList tables() const override { return {QFileInfo(m_path).completeBaseName()}; }

    SourceTable read(const QString &table, int rowLimit) override
    {
        if (table.compare(tables().first(), Qt::CaseInsensitive) != 0)
            throw SourceError(QStringLiteral("%1: no table %2").arg(m_path, table));
        PxDoc doc;
        if (!doc.open(m_path))
            throw SourceError(QStringLiteral("%1: not a Paradox table").arg(m_path));
        pxdoc_t *px = doc.get();
        const QFileInfo fi(m_path);
        QFile blobs(findNoCase(fi.absolutePath(), fi.completeBaseName() + QStringLiteral(".mb")));
        m_blobs = blobs.open(QIODevice::ReadOnly) ? blobs.readAll() : QByteArray();
        const int codePage = px->px_head->px_doscodepage;
        const int fields = PX_get_num_fields(px);
        pxfield_t *field = PX_get_fields(px);
        SourceTable t;
        t.name = table;
        for (int i = 0; i < fields; ++i)
            t.columns << decodeCodePage(QByteArray(field[i].px_fname), codePage);
        QByteArray record(PX_get_recordsize(px), '\0');
        const int records = PX_get_num_records(px);
        const ReadClock clock(m_path, fi.size());
        for (int r = 0; r < records && (rowLimit < 0 || int(t.rows.size()) < rowLimit); ++r) {
            clock.check();
            if (!PX_get_record(px, r, record.data())) {
                // Records the header counts but the blocks do not hold.
                t.refused.push_back({texts::text(texts::ImportAtRecord).arg(r + 1), texts::text(texts::ImportRecordUnreadable)});
                continue;
            }
            QStringList row;
            int offset = 0;
            for (int i = 0; i < fields; ++i) {
                row << value(doc, field[i], record.data() + offset, codePage);
                offset += field[i].px_flen;
            }
            t.rows.push_back(row);
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

    QString value(const PxDoc &doc, const pxfield_t &f, char *data, int codePage) const
    {
        pxdoc_t *px = doc.get();
        switch (f.px_ftype) {
        case pxfAlpha: {
            char *v = nullptr;
            return PX_get_data_alpha(px, data, f.px_flen, &v) > 0 ? decodeCodePage(doc.take(v), codePage) : QString();
        }
        case pxfDate: {
            long v = 0;
            return PX_get_data_long(px, data, f.px_flen, &v) > 0 ? dateText(v) : QString();
        }
        case pxfShort: {
            short v = 0;
            return PX_get_data_short(px, data, f.px_flen, &v) > 0 ? QString::number(v) : QString();
        }
        case pxfLong:
        case pxfAutoInc: {
            long v = 0;
            return PX_get_data_long(px, data, f.px_flen, &v) > 0 ? QString::number(v) : QString();
        }
        case pxfTime: {
            long v = 0;
            return PX_get_data_long(px, data, f.px_flen, &v) > 0 ? QTime(0, 0).addMSecs(int(v)).toString(QStringLiteral("hh:mm:ss"))
                                                                  : QString();
        }
        case pxfCurrency:
        case pxfNumber: {
            double v = 0;
            return PX_get_data_double(px, data, f.px_flen, &v) > 0 ? numberText(v) : QString();
        }
        case pxfTimestamp: {
            double v = 0;
            if (PX_get_data_double(px, data, f.px_flen, &v) <= 0)
                return {};
            const qint64 ms = qint64(v);
            if (ms < 86400000)
                return {};
            return dateText(long(ms / 86400000)) + u' ' + QTime(0, 0).addMSecs(int(ms % 86400000)).toString(QStringLiteral("hh:mm:ss"));
        }
        case pxfLogical: {
            char v = 0;
            return PX_get_data_byte(px, data, f.px_flen, &v) > 0 ? QString::fromLatin1(v ? "true" : "false") : QString();
        }
        case pxfBCD: {
            char *v = nullptr;
            if (PX_get_data_bcd(px, reinterpret_cast<unsigned char *>(data), f.px_fdc, &v) <= 0)
                return {};
            const QString text = QString::fromLatin1(doc.take(v));
            return text.contains(u'?') ? QString() : text; // digits the library could not place
        }
        case pxfMemoBLOb:
        case pxfFmtMemoBLOb: {
            QByteArray text = memo(data, f.px_flen);
            while (text.endsWith('\0'))
                text.chop(1);
            return decodeCodePage(text, codePage);
        }
        default:
            return {}; // binary, OLE, graphic, bytes
        }
    }

    // A memo field ends in the place of its text in the .MB file (4 bytes:
    // the block's offset, and in the low byte the entry of a block shared by
    // several memos, 0xFF for a block of its own), its length (4 bytes) and a
    // modification number (2 bytes); the bytes before hold the text's start,
    // all of it when it is short enough.
    QByteArray memo(const char *data, int length) const
    {
        if (length < 10)
            return {};
        const int lead = length - 10;
        const quint32 place = qFromLittleEndian<quint32>(data + lead);
        const qint64 size = qFromLittleEndian<quint32>(data + lead + 4);
        if (size == 0)
            return {};
        if (size <= lead)
            return QByteArray(data, int(size));
        const qint64 block = place & 0xFFFFFF00u;
        const int entry = int(place & 0xFF);
        qint64 at = -1;
        if (entry == 0xFF) {
            at = block + 9; // type, number of blocks, length, modification number
        } else {
            const qint64 index = block + 12 + qint64(entry) * 5;
            if (index < m_blobs.size())
                at = block + qint64(quint8(m_blobs[index])) * 16;
        }
        if (at < 0 || at >= m_blobs.size())
            return QByteArray(data, lead);
        return m_blobs.mid(at, qMin<qint64>(size, m_blobs.size() - at));
    }

    QString m_path;
    QByteArray m_blobs;
};

} // namespace

std::unique_ptr<SourceFile> openParadox(const QString &path)
{
    return std::make_unique<ParadoxFile>(path);
}

} // namespace kirvane::import
