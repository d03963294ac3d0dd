// dBase III, IV and 5 tables (and FoxPro ones of the same layout) through
// shapelib's DBF reader; memo texts from the .dbt or .fpt file beside them.
#include "import/codepages.h"
#include "import/sourcefile.h"

#include "common/folders.h"
#include "texts/texttable.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QLocale>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cstring>

#include <shapefil.h>

namespace kirvane::import {

using namespace kirvane::common;

namespace {

// Reads memo blocks of the three layouts: dBase III (512-byte blocks ended by
// 0x1A), dBase IV (blocks headed FF FF 08 00 and a length), FoxPro (a block
// size in the header, blocks headed by a type and a big-endian length).
class MemoFile {
public:
    MemoFile(const QString &path, bool foxPro, bool dbase4) : m_foxPro(foxPro), m_dbase4(dbase4)
    {
        QFile f(path);
        if (path.isEmpty() || !f.open(QIODevice::ReadOnly))
            return;
        m_bytes = f.readAll();
        if (m_foxPro && m_bytes.size() >= 8)
            m_blockSize = qFromBigEndian<quint16>(m_bytes.constData() + 6);
        else if (m_dbase4 && m_bytes.size() >= 22)
            m_blockSize = qFromLittleEndian<quint16>(m_bytes.constData() + 20);
        if (m_blockSize <= 0)
            m_blockSize = 512;
    }

    [[nodiscard]] QByteArray text(qint64 block) const
    {
        const qint64 at = block * m_blockSize;
        if (block <= 0 || at >= m_bytes.size())
            return {};
        const char *p = m_bytes.constData() + at;
        const qint64 left = m_bytes.size() - at;
        if (m_foxPro) {
            if (left < 8)
                return {};
            const qint64 length = qFromBigEndian<quint32>(p + 4);
            return QByteArray(p + 8, qMin(length, left - 8));
        }
        if (m_dbase4 && left >= 8 && quint8(p[0]) == 0xFF && quint8(p[1]) == 0xFF && p[2] == 0x08 && p[3] == 0) {
            const qint64 length = qFromLittleEndian<quint32>(p + 4);
            return QByteArray(p + 8, qBound<qint64>(0, length - 8, left - 8));
        }
        QByteArray text(p, left);
        const qsizetype end = text.indexOf('\x1A');
        return end >= 0 ? text.left(end) : text;
    }

private:
    QByteArray m_bytes;
    qint64 m_blockSize = 512;
    bool m_foxPro = false;
    bool m_dbase4 = false;
};

QString companion(const QString &path, const QStringList &suffixes)
{
    const QFileInfo fi(path);
    for (const QString &s : suffixes) {
        const QString found = findNoCase(fi.absolutePath(), fi.completeBaseName() + u'.' + s);
        if (QFileInfo::exists(found))
            return found;
    }
    return {};
}

class DbaseFile : public SourceFile {
public:
    explicit DbaseFile(const QString &path) : m_path(path)
    {
        QFile f(path);
        openForReading(f);
        const QByteArray head = f.read(32);
        if (head.size() < 32)
            throw SourceError(QStringLiteral("%1: too short for a dBase table").arg(path));
        m_version = quint8(head[0]);
        // dBase III/IV/5 (0x03, 0x83, 0x8B, 0xCB, 0x43, 0x63, 0xB3, 0xF5) and
        // FoxPro (0x30, 0x31, 0xF5, 0xFB). dBase II (0x02) and dBase 7 (0x04,
        // 0x8C) lay their header out otherwise.
        static constexpr int kKnown[] = {0x03, 0x83, 0x8B, 0xCB, 0x43, 0x63, 0xB3, 0xF5, 0x30, 0x31, 0x32, 0xFB};
        if (std::find(std::begin(kKnown), std::end(kKnown), m_version) == std::end(kKnown))
            throw SourceError(QStringLiteral("%1: not a dBase III, IV or 5 table (version byte %2)")
                                  .arg(path).arg(m_version, 2, 16, QLatin1Char('0')));
        const quint16 headerLength = qFromLittleEndian<quint16>(head.constData() + 8);
        const quint16 recordLength = qFromLittleEndian<quint16>(head.constData() + 10);
        const quint32 records = qFromLittleEndian<quint32>(head.constData() + 4);
        if (headerLength < 33 || recordLength < 1 || qint64(headerLength) + qint64(records) * recordLength > f.size() + 1)
            throw SourceError(QStringLiteral("%1: the dBase header does not match the file's size").arg(path));
        m_recordLength = recordLength;
        m_codePage = codePageOfLanguageDriver(quint8(head[29]));
        f.seek(0);
        readFields(f.read(headerLength));
    }

    QStringList tables() const override { return {QFileInfo(m_path).completeBaseName()}; }

    SourceTable read(const QString &table, int rowLimit) override
    {
        if (table.compare(tables().first(), Qt::CaseInsensitive) != 0)
            throw SourceError(QStringLiteral("%1: no table %2").arg(m_path, table));
        DBFHandle dbf = DBFOpen(QFile::encodeName(m_path).constData(), "rb");
        if (!dbf)
            throw SourceError(QStringLiteral("%1: not a dBase table").arg(m_path));
        const bool foxPro = m_version == 0x30 || m_version == 0x31 || m_version == 0x32 || m_version == 0xF5 || m_version == 0xFB;
        const MemoFile memo(companion(m_path, foxPro ? QStringList{QStringLiteral("fpt")} : QStringList{QStringLiteral("dbt")}),
                            foxPro, m_version == 0x8B || m_version == 0xCB);
        SourceTable t;
        t.name = table;
        for (const Field &field : m_fields)
            if (!field.system)
                t.columns << field.name;
        const Field *nullFlags = nullptr;
        for (const Field &field : m_fields)
            if (field.type == '0')
                nullFlags = &field;
        const int records = DBFGetRecordCount(dbf);
        for (int r = 0; r < records; ++r) {
            if (rowLimit >= 0 && int(t.rows.size()) >= rowLimit)
                break;
            if (DBFIsRecordDeleted(dbf, r))
                continue;
            const char *raw = DBFReadTuple(dbf, r);
            if (!raw)
                break;
            const QByteArray flags = nullFlags ? QByteArray(raw + nullFlags->offset, nullFlags->width) : QByteArray();
            const auto bit = [&flags](int n) { return n >= 0 && n / 8 < flags.size() && (quint8(flags[n / 8]) >> (n % 8)) & 1; };
            QStringList row;
            for (const Field &field : m_fields) {
                if (field.system)
                    continue;
                QByteArray bytes(raw + field.offset, field.width);
                if (bit(field.nullBit)) {
                    row << QString();
                    continue;
                }
                // A variable-length value shorter than its field holds its
                // length in its last byte.
                if (bit(field.lengthBit) && !bytes.isEmpty())
                    bytes.truncate(qMin<int>(quint8(bytes.back()), int(bytes.size()) - 1));
                row << value(field.type, bytes, memo);
            }
            t.rows.push_back(row);
        }
        DBFClose(dbf);
        return t;
    }

private:
    struct Field {
        QString name;
        char type = 'C';
        int width = 0;
        int offset = 0;
        bool system = false; // a field the table keeps for itself (_NullFlags)
        int lengthBit = -1;  // the bit of _NullFlags set when a V or Q value is shorter than its field
        int nullBit = -1;    // the bit set when the value is null
    };

    // The field descriptors after the header's first 32 bytes, up to the
    // 0x0D that ends them. A type this reader does not read refuses the
    // table rather than giving its values as empty.
    void readFields(const QByteArray &header)
    {
        static constexpr char kRead[] = "CMDIYBTNFLVQGPW0";
        int offset = 1; // after the deletion flag
        int bits = 0;
        for (qsizetype at = 32; at + 32 <= header.size() && header[at] != 0x0D; at += 32) {
            Field f;
            const QByteArray raw = header.mid(at, 11);
            f.name = decodeCodePage(raw.left(raw.indexOf('\0') < 0 ? 11 : raw.indexOf('\0')), m_codePage);
            f.type = header[at + 11];
            f.width = quint8(header[at + 16]);
            // Fields other than numbers wider than 255 keep the high byte of
            // their width where numbers keep their decimals.
            if (f.type != 'N' && f.type != 'F')
                f.width += quint8(header[at + 17]) << 8;
            const quint8 flags = quint8(header[at + 18]);
            f.offset = offset;
            offset += f.width;
            if (!std::strchr(kRead, f.type) || f.type == 0)
                throw SourceError(QStringLiteral("%1: %2").arg(m_path, texts::text(texts::ImportFieldTypeUnread)
                                                                           .arg(f.name, QString(QLatin1Char(f.type)))));
            const bool foxPro = m_version == 0x30 || m_version == 0x31 || m_version == 0x32;
            f.system = f.type == '0' || (foxPro && (flags & 0x01));
            if (foxPro && (f.type == 'V' || f.type == 'Q'))
                f.lengthBit = bits++;
            if (foxPro && (flags & 0x02))
                f.nullBit = bits++;
            m_fields.push_back(f);
        }
        if (offset > m_recordLength)
            throw SourceError(QStringLiteral("%1: %2").arg(m_path, texts::text(texts::ImportHeaderMismatch)));
    }

    QString value(char type, const QByteArray &bytes, const MemoFile &memo) const
    {
        switch (type) {
        case 'M': {
            // dBase keeps the block number as text, FoxPro as a 4-byte integer.
            const qint64 block = bytes.size() == 4 ? qFromLittleEndian<quint32>(bytes.constData())
                                                   : bytes.trimmed().toLongLong();
            QByteArray text = memo.text(block);
            while (text.endsWith('\0'))
                text.chop(1);
            return decodeCodePage(text, m_codePage);
        }
        case 'C':
        case 'V':
        case 'Q':
            return decodeCodePage(bytes, m_codePage).trimmed();
        case 'D': {
            const QDate d = QDate::fromString(QString::fromLatin1(bytes), QStringLiteral("yyyyMMdd"));
            return d.isValid() ? d.toString(Qt::ISODate) : QString::fromLatin1(bytes).trimmed();
        }
        case 'I':
            return bytes.size() == 4 ? QString::number(qFromLittleEndian<qint32>(bytes.constData())) : QString();
        case 'Y':
            return bytes.size() == 8 ? QString::number(double(qFromLittleEndian<qint64>(bytes.constData())) / 10000.0, 'f', 4)
                                     : QString();
        case 'B':
            return bytes.size() == 8 ? QString::number(qFromLittleEndian<double>(bytes.constData()), 'g', QLocale::FloatingPointShortest)
                                     : QString();
        case 'T': {
            if (bytes.size() != 8)
                return {};
            const qint32 day = qFromLittleEndian<qint32>(bytes.constData());
            const qint32 ms = qFromLittleEndian<qint32>(bytes.constData() + 4);
            if (day <= 0)
                return {};
            return QDateTime(QDate::fromJulianDay(day), QTime(0, 0).addMSecs(ms)).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        }
        case 'N':
        case 'F':
        case 'L':
            return QString::fromLatin1(bytes).trimmed();
        default:
            return {}; // binary: general, picture, blob
        }
    }

    QString m_path;
    int m_version = 0;
    int m_codePage = 0;
    int m_recordLength = 0;
    std::vector<Field> m_fields;
};

} // namespace

std::unique_ptr<SourceFile> openDbase(const QString &path)
{
    return std::make_unique<DbaseFile>(path);
}

} // namespace kirvane::import
