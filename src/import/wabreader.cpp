// Address-book files (.wab) read without the platform's address-book
// service, from the reverse-engineered description of the format:
//
//   file header, little-endian:
//     0x00  16 bytes  9C CB CB 8D 13 75 D2 11 91 58 00 C0 4F 79 56 A4
//     0x10  2 x 4     counts
//     0x18  6 x 16    table descriptors: type, record size, offset, count
//   the index table (type 0xFA0, else the first): per entry 4 bytes of id
//   and 4 bytes of the offset of its record;
//   a record: a 32-byte header (type, id, 2 x reserved, property count,
//   reserved, data length, reserved), then its properties one after the
//   other: a MAPI tag (4 bytes), the size of the data (4 bytes) and the data;
//   a multi-valued property holds a count (4 bytes), then per value a size
//   and its data.
//
// Each mail-user entry gives the lines "NAME=value" that buildAddressBookTable turns
// into the import work table tmp_base, which is then read as the source table.
#include "import/mapinames.h"
#include "import/sourcefile.h"

#include "import/addressbookimporttable.h"
#include "store/bookfiles.h"
#include "store/database.h"
#include "store/worktables.h"
#include "common/textcodec.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QtEndian>

#include <cstring>

namespace kirvane::import {

using namespace kirvane::store;
using common::fromWindows1252;

namespace {

constexpr unsigned char kMagic[16] = {0x9C, 0xCB, 0xCB, 0x8D, 0x13, 0x75, 0xD2, 0x11,
                                      0x91, 0x58, 0x00, 0xC0, 0x4F, 0x79, 0x56, 0xA4};
constexpr quint32 kIndexTable = 0xFA0;
constexpr int kRecordHeader = 32;
constexpr quint32 kMailUser = 6; // PR_OBJECT_TYPE of a contact; 8 is a distribution list
constexpr int kMaxEntries = 1'000'000;
constexpr int kMaxProperties = 4096;

enum PropType : quint16 {
    PtI2 = 0x0002, PtLong = 0x0003, PtR4 = 0x0004, PtDouble = 0x0005, PtCurrency = 0x0006, PtAppTime = 0x0007,
    PtError = 0x000A, PtBoolean = 0x000B, PtI8 = 0x0014, PtString8 = 0x001E, PtUnicode = 0x001F,
    PtSysTime = 0x0040, PtClsid = 0x0048, PtBinary = 0x0102, PtMultiple = 0x1000,
};

class Bytes {
public:
    explicit Bytes(const QByteArray &data) : m_data(data) {}
    [[nodiscard]] bool has(qint64 at, qint64 size) const { return at >= 0 && size >= 0 && at + size <= m_data.size(); }
    [[nodiscard]] quint32 u32(qint64 at) const { return has(at, 4) ? qFromLittleEndian<quint32>(m_data.constData() + at) : 0; }
    [[nodiscard]] QByteArray mid(qint64 at, qint64 size) const { return has(at, size) ? m_data.mid(at, size) : QByteArray(); }
    [[nodiscard]] qint64 size() const { return m_data.size(); }

private:
    const QByteArray &m_data;
};

QString singleValue(quint16 type, const QByteArray &data)
{
    const char *p = data.constData();
    const qsizetype n = data.size();
    switch (type) {
    case PtI2:
        return n >= 2 ? QString::number(qFromLittleEndian<qint16>(p)) : QString();
    case PtLong:
        return n >= 4 ? QString::number(qFromLittleEndian<qint32>(p)) : QString();
    case PtBoolean:
        return n >= 2 ? QString::number(qFromLittleEndian<quint16>(p) ? 1 : 0) : QString();
    case PtI8:
        return n >= 8 ? QString::number(qFromLittleEndian<qint64>(p)) : QString();
    case PtR4:
        return n >= 4 ? QString::number(double(qFromLittleEndian<float>(p)), 'g', QLocale::FloatingPointShortest) : QString();
    case PtDouble:
    case PtAppTime:
        return n >= 8 ? QString::number(qFromLittleEndian<double>(p), 'g', QLocale::FloatingPointShortest) : QString();
    case PtString8: {
        QByteArray s = data;
        if (const qsizetype nul = s.indexOf('\0'); nul >= 0)
            s.truncate(nul);
        return fromWindows1252(s);
    }
    case PtUnicode: {
        QString s = QString::fromUtf16(reinterpret_cast<const char16_t *>(p), n / 2);
        if (const qsizetype nul = s.indexOf(QChar(0)); nul >= 0)
            s.truncate(nul);
        return s;
    }
    case PtSysTime: {
        if (n < 8)
            return {};
        // 100-nanosecond intervals since 1601-01-01 UTC, shown in local time.
        const qint64 ticks = qFromLittleEndian<qint64>(p);
        const QDateTime utc = QDateTime(QDate(1601, 1, 1), QTime(0, 0), Qt::UTC).addMSecs(ticks / 10000);
        return QLocale::system().toString(utc.toLocalTime(), QLocale::ShortFormat);
    }
    case PtBinary:
        if (n == 4)
            return QStringLiteral("[Binary - Size: %1 bytes] (%2)").arg(n).arg(qFromLittleEndian<quint32>(p), 8, 16, QLatin1Char('0'));
        return QStringLiteral("[Binary - Size: %1 bytes]").arg(n);
    case PtError:
        return {};
    default:
        return QStringLiteral("[Unknown type %1]").arg(type, 0, 16);
    }
}

struct Entry {
    QStringList lines;
    bool mailUser = true;
};

class WabFile : public SourceFile {
public:
    WabFile(const QString &path, const BookFiles *files) : m_path(path), m_files(files)
    {
        QFile f(path);
        openForReading(f);
        const QByteArray data = f.readAll();
        if (data.size() < 0x78 || std::memcmp(data.constData(), kMagic, sizeof kMagic) != 0)
            throw SourceError(QStringLiteral("%1: not an address-book file").arg(path));
        if (!files)
            throw SourceError(QStringLiteral("%1: an address-book file needs the data folder's work table").arg(path));
        load(data);
    }

    QStringList tables() const override { return {QFileInfo(m_path).fileName()}; }

    SourceTable read(const QString &table, int rowLimit) override
    {
        if (table != tables().first())
            throw SourceError(QStringLiteral("%1: no table %2").arg(m_path, table));
        AddressBookEntries reader;
        reader.count = [this] { return int(m_entries.size()); };
        reader.properties = [this](int e) { return m_entries[size_t(e)]; };
        const bool preview = rowLimit >= 0;
        SourceTable t;
        t.name = table;
        try {
            // The preview's work table holds one entry more than the rows
            // shown after the names, as the preview has five rows in all.
            buildAddressBookTable(*m_files, preview, rowLimit + 1, reader, WorkProgress{});
            auto db = m_files->openTable(QStringLiteral("tmp_base"));
            t.columns = db->columns();
            Statement s = db->prepare(QStringLiteral("SELECT * FROM t ORDER BY rowid"));
            while (s.step() && (!preview || int(t.rows.size()) < rowLimit)) {
                QStringList row;
                for (int c = 0; c < t.columns.size(); ++c)
                    row << s.text(c);
                t.rows.push_back(row);
            }
        } catch (const StoreError &e) {
            throw SourceError(QStringLiteral("%1: %2").arg(m_path, QString::fromStdString(e.what())));
        }
        return t;
    }

private:
    void load(const QByteArray &data)
    {
        const Bytes b(data);
        qint64 indexOffset = -1, indexSize = 0, indexCount = 0;
        for (int d = 0; d < 6; ++d) {
            const qint64 at = 0x18 + d * 16;
            if (d == 0 || b.u32(at) == kIndexTable) {
                indexSize = b.u32(at + 4);
                indexOffset = b.u32(at + 8);
                indexCount = b.u32(at + 12);
            }
            if (b.u32(at) == kIndexTable)
                break;
        }
        if (indexSize < 8)
            indexSize = 8;
        if (indexCount > kMaxEntries || !b.has(indexOffset, indexCount * indexSize))
            throw SourceError(QStringLiteral("%1: the index of the address book lies outside the file").arg(m_path));
        for (qint64 i = 0; i < indexCount; ++i) {
            const qint64 record = b.u32(indexOffset + i * indexSize + 4);
            if (record == 0)
                continue; // a free slot
            Entry e = readRecord(b, record);
            if (e.mailUser)
                m_entries.push_back(e.lines);
        }
    }

    Entry readRecord(const Bytes &b, qint64 at) const
    {
        if (!b.has(at, kRecordHeader))
            throw SourceError(QStringLiteral("%1: a record lies outside the file").arg(m_path));
        const quint32 count = b.u32(at + 16);
        const qint64 length = b.u32(at + 24);
        if (count > kMaxProperties || !b.has(at + kRecordHeader, length))
            throw SourceError(QStringLiteral("%1: a record is damaged").arg(m_path));
        Entry e;
        qint64 p = at + kRecordHeader;
        const qint64 end = p + length;
        for (quint32 k = 0; k < count && p + 8 <= end; ++k) {
            const quint32 tag = b.u32(p);
            const qint64 size = b.u32(p + 4);
            if (p + 8 + size > end)
                throw SourceError(QStringLiteral("%1: a property runs past its record").arg(m_path));
            const QByteArray value = b.mid(p + 8, size);
            p += 8 + size;
            const quint16 type = quint16(tag & 0xFFFF);
            const quint16 id = quint16(tag >> 16);
            if (id == 0x0FFE && type == PtLong && value.size() >= 4)
                e.mailUser = qFromLittleEndian<quint32>(value.constData()) == kMailUser;
            e.lines << mapiPropertyName(id) + u'=' + text(type, value);
        }
        return e;
    }

    // A multi-valued property's values, one after the other, each with its size.
    static QString text(quint16 type, const QByteArray &data)
    {
        if (!(type & PtMultiple))
            return singleValue(type, data);
        const Bytes b(data);
        const quint32 count = b.u32(0);
        QStringList values;
        qint64 p = 4;
        for (quint32 i = 0; i < count && i < quint32(kMaxProperties) && b.has(p, 4); ++i) {
            const qint64 size = b.u32(p);
            if (!b.has(p + 4, size))
                break;
            values << singleValue(type & ~PtMultiple, b.mid(p + 4, size));
            p += 4 + size;
        }
        return values.join(QStringLiteral(", "));
    }

    QString m_path;
    const BookFiles *m_files = nullptr;
    std::vector<QStringList> m_entries;
};

} // namespace

std::unique_ptr<SourceFile> openWab(const QString &path, const BookFiles *files)
{
    return std::make_unique<WabFile>(path, files);
}

} // namespace kirvane::import
