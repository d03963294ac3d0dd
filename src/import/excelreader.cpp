// Excel workbooks (.xls, BIFF2 to BIFF8) through freexl: one table per
// sheet, its first row naming the columns. The cells the library leaves out
// (the text result of a formula, Excel 5 rich-text strings) are read from
// the workbook stream by the reader itself, which also reads a workbook the
// library cannot open.
#include "import/codepages.h"
#include "import/sourcefile.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QtEndian>

#include <freexl.h>

#include <climits>
#include <cstring>

namespace kirvane::import {

namespace {

QString cellText(const FreeXL_CellValue &cell)
{
    switch (cell.type) {
    case FREEXL_CELL_INT: return QString::number(cell.value.int_value);
    case FREEXL_CELL_DOUBLE: return numberText(cell.value.double_value);
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME: return QString::fromUtf8(cell.value.text_value);
    default: return {};
    }
}

// The streams of an OLE2 compound file: sectors chained through a table of
// next-sector numbers, small streams in a mini stream of 64-byte sectors.
// Every chain is followed at most as many steps as there are sectors, so a
// looping chain ends.
class CompoundFile {
public:
    explicit CompoundFile(const QByteArray &bytes) : m_bytes(bytes)
    {
        if (bytes.size() < 512 || !bytes.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
            return;
        const int shift = u16(0x1E);
        if (shift != 9 && shift != 12)
            return;
        m_sector = 1 << shift;
        // The sectors of the table: 109 in the header, more in a chain.
        std::vector<quint32> tableSectors;
        for (int i = 0; i < 109; ++i)
            if (const quint32 s = u32(0x4C + 4 * i); s < kEnd)
                tableSectors.push_back(s);
        quint32 next = u32(0x44);
        for (qint64 steps = 0; next < kEnd && steps < sectorCount(); ++steps) {
            const qint64 at = offset(next);
            if (at < 0)
                break;
            for (int i = 0; i < m_sector / 4 - 1; ++i)
                if (const quint32 s = u32(at + 4 * i); s < kEnd)
                    tableSectors.push_back(s);
            next = u32(at + m_sector - 4);
        }
        for (quint32 s : tableSectors) {
            const qint64 at = offset(s);
            if (at < 0)
                break;
            for (int i = 0; i < m_sector / 4; ++i)
                m_fat.push_back(u32(at + 4 * i));
        }
        const QByteArray directory = chain(u32(0x30), -1, false);
        for (qsizetype at = 0; at + 128 <= directory.size(); at += 128) {
            const int length = qFromLittleEndian<quint16>(directory.constData() + at + 64);
            Entry e;
            e.name = QString::fromUtf16(reinterpret_cast<const char16_t *>(directory.constData() + at), qBound(0, length / 2 - 1, 31));
            e.type = quint8(directory[at + 66]);
            e.start = qFromLittleEndian<quint32>(directory.constData() + at + 116);
            e.size = qFromLittleEndian<quint32>(directory.constData() + at + 120);
            m_entries.push_back(e);
        }
        if (m_entries.empty())
            return;
        m_cutoff = u32(0x38);
        m_miniStream = chain(m_entries.front().start, m_entries.front().size, false);
        const QByteArray miniTable = chain(u32(0x3C), -1, false);
        for (qsizetype at = 0; at + 4 <= miniTable.size(); at += 4)
            m_miniFat.push_back(qFromLittleEndian<quint32>(miniTable.constData() + at));
    }

    // The stream of that name (in any letter case); empty when there is none.
    [[nodiscard]] QByteArray stream(const QString &name) const
    {
        for (const Entry &e : m_entries)
            if (e.type == 2 && e.name.compare(name, Qt::CaseInsensitive) == 0)
                return chain(e.start, e.size, e.size < m_cutoff);
        return {};
    }

private:
    static constexpr quint32 kEnd = 0xFFFFFFFA; // sector numbers from here on mark ends and free sectors

    struct Entry {
        QString name;
        int type = 0;
        quint32 start = 0;
        qint64 size = 0;
    };

    int u16(qint64 at) const { return at + 2 <= m_bytes.size() ? qFromLittleEndian<quint16>(m_bytes.constData() + at) : 0; }
    quint32 u32(qint64 at) const { return at + 4 <= m_bytes.size() ? qFromLittleEndian<quint32>(m_bytes.constData() + at) : kEnd; }
    qint64 sectorCount() const { return m_bytes.size() / m_sector; }
    qint64 offset(quint32 sector) const
    {
        const qint64 at = (qint64(sector) + 1) * m_sector;
        return at + m_sector <= m_bytes.size() ? at : -1;
    }

    // The bytes of a chain, cut to size (-1: the whole chain).
    QByteArray chain(quint32 start, qint64 size, bool mini) const
    {
        QByteArray out;
        const std::vector<quint32> &table = mini ? m_miniFat : m_fat;
        const int unit = mini ? 64 : m_sector;
        for (quint32 s = start; s < kEnd && s < table.size() && qint64(out.size()) < (size < 0 ? LLONG_MAX : size);
             s = table[s]) {
            if (mini) {
                if (qint64(s + 1) * 64 > m_miniStream.size())
                    break;
                out += m_miniStream.mid(qsizetype(s) * 64, 64);
            } else {
                const qint64 at = offset(s);
                if (at < 0)
                    break;
                out += QByteArrayView(m_bytes).sliced(at, m_sector);
            }
            if (qint64(out.size()) > qint64(table.size()) * unit)
                break; // a chain longer than the table: it loops
        }
        if (size >= 0 && out.size() > size)
            out.truncate(qsizetype(size));
        return out;
    }

    QByteArray m_bytes;
    int m_sector = 512;
    qint64 m_cutoff = 4096;
    std::vector<quint32> m_fat, m_miniFat;
    QByteArray m_miniStream;
    std::vector<Entry> m_entries;
};

// A cell the reader read from the workbook stream itself.
struct OwnSheet {
    QString name;
    QHash<QPair<int, int>, QString> cells;
};

// The worksheets of an Excel 5 or 97 workbook stream and, in each, the cells
// of text (LABEL, RSTRING), numbers (NUMBER, RK, MULRK) and formula results
// (FORMULA, with the STRING record after it for a text result). Shared
// strings and dates are left to the library.
class WorkbookStream {
public:
    explicit WorkbookStream(const QByteArray &bytes) : m_bytes(bytes)
    {
        qsizetype at = 0;
        int type = 0;
        QByteArrayView data;
        if (!next(at, type, data) || type != 0x0809 || data.size() < 4)
            return;
        m_biff8 = qFromLittleEndian<quint16>(data.data()) == 0x0600;
        if (!m_biff8 && qFromLittleEndian<quint16>(data.data()) != 0x0500)
            return;
        std::vector<std::pair<quint32, QString>> sheets;
        while (next(at, type, data) && type != 0x000A) {
            if (type == 0x0042 && data.size() >= 2)
                m_codePage = qFromLittleEndian<quint16>(data.data());
            else if (type == 0x0085 && data.size() >= 7 && quint8(data[5]) == 0) // a worksheet
                sheets.emplace_back(qFromLittleEndian<quint32>(data.data()), shortString(data.sliced(6)));
        }
        for (const auto &[position, name] : sheets)
            m_sheets.push_back(readSheet(position, name));
    }

    [[nodiscard]] const std::vector<OwnSheet> &sheets() const { return m_sheets; }

private:
    bool next(qsizetype &at, int &type, QByteArrayView &data) const
    {
        if (at + 4 > m_bytes.size())
            return false;
        type = qFromLittleEndian<quint16>(m_bytes.constData() + at);
        const int length = qFromLittleEndian<quint16>(m_bytes.constData() + at + 2);
        if (at + 4 + length > m_bytes.size())
            return false;
        data = QByteArrayView(m_bytes).sliced(at + 4, length);
        at += 4 + length;
        return true;
    }

    QString bytesText(QByteArrayView bytes) const
    {
        return decodeCodePage(bytes.toByteArray(), m_codePage == 1200 ? 1252 : m_codePage);
    }

    // A sheet's name: a length byte, then (Excel 97) a flags byte.
    QString shortString(QByteArrayView d) const
    {
        if (d.isEmpty())
            return {};
        const int count = quint8(d[0]);
        if (!m_biff8)
            return bytesText(d.sliced(1).first(qMin<qsizetype>(count, d.size() - 1)));
        if (d.size() < 2)
            return {};
        return unicodeChars(d.sliced(2), count, quint8(d[1]) & 1);
    }

    static QString unicodeChars(QByteArrayView d, int count, bool wide)
    {
        if (wide) {
            count = int(qMin<qsizetype>(count, d.size() / 2));
            QString s(count, Qt::Uninitialized);
            for (int i = 0; i < count; ++i)
                s[i] = QChar(qFromLittleEndian<quint16>(d.data() + 2 * i));
            return s;
        }
        return QString::fromLatin1(d.first(qMin<qsizetype>(count, d.size())));
    }

    // A string of a 16-bit length: bytes in the code page (Excel 5), or
    // flags, optional run and extension counts, then characters (Excel 97).
    QString longString(QByteArrayView d) const
    {
        if (d.size() < 2)
            return {};
        const int count = qFromLittleEndian<quint16>(d.data());
        if (!m_biff8)
            return bytesText(d.sliced(2).first(qMin<qsizetype>(count, d.size() - 2)));
        if (d.size() < 3)
            return {};
        const int flags = quint8(d[2]);
        qsizetype at = 3 + ((flags & 0x08) ? 2 : 0) + ((flags & 0x04) ? 4 : 0);
        if (at > d.size())
            return {};
        return unicodeChars(d.sliced(at), count, flags & 1);
    }

    static double rkValue(quint32 rk)
    {
        double v = 0;
        if (rk & 0x02) {
            v = double(qint32(rk) >> 2);
        } else {
            const quint64 bits = quint64(rk & 0xFFFFFFFCu) << 32;
            std::memcpy(&v, &bits, sizeof v);
        }
        return (rk & 0x01) ? v / 100 : v;
    }

    OwnSheet readSheet(quint32 position, const QString &name) const
    {
        OwnSheet sheet;
        sheet.name = name;
        qsizetype at = position;
        int type = 0;
        QByteArrayView data;
        if (!next(at, type, data) || type != 0x0809)
            return sheet;
        QPair<int, int> pendingText(-1, -1); // the cell of a formula whose text follows
        auto cell = [&data] { return qMakePair(int(qFromLittleEndian<quint16>(data.data())), int(qFromLittleEndian<quint16>(data.data() + 2))); };
        while (next(at, type, data) && type != 0x000A && sheet.cells.size() < kCellBudget) {
            if (type == 0x0809) { // an embedded chart's substream
                while (next(at, type, data) && type != 0x000A) {
                }
                continue;
            }
            if ((type == 0x0204 || type == 0x00D6) && data.size() >= 8) {
                sheet.cells.insert(cell(), longString(data.sliced(6)));
            } else if (type == 0x0203 && data.size() >= 14) {
                sheet.cells.insert(cell(), numberText(qFromLittleEndian<double>(data.data() + 6)));
            } else if (type == 0x027E && data.size() >= 10) {
                sheet.cells.insert(cell(), numberText(rkValue(qFromLittleEndian<quint32>(data.data() + 6))));
            } else if (type == 0x00BD && data.size() >= 6) {
                const int row = qFromLittleEndian<quint16>(data.data());
                const int first = qFromLittleEndian<quint16>(data.data() + 2);
                for (qsizetype k = 0; 4 + 6 * k + 6 <= data.size() - 2; ++k)
                    sheet.cells.insert({row, first + int(k)}, numberText(rkValue(qFromLittleEndian<quint32>(data.data() + 4 + 6 * k + 2))));
            } else if (type == 0x0006 && data.size() >= 20) {
                const auto result = data.sliced(6, 8);
                if (quint8(result[6]) == 0xFF && quint8(result[7]) == 0xFF) {
                    switch (quint8(result[0])) {
                    case 0: pendingText = cell(); break;
                    case 1: sheet.cells.insert(cell(), result[2] ? QStringLiteral("TRUE") : QStringLiteral("FALSE")); break;
                    default: break; // an error or an empty text
                    }
                } else {
                    sheet.cells.insert(cell(), numberText(qFromLittleEndian<double>(result.data())));
                }
            } else if (type == 0x0207 && pendingText.first >= 0) {
                sheet.cells.insert(pendingText, longString(data));
                pendingText = {-1, -1};
            }
        }
        return sheet;
    }

    QByteArray m_bytes;
    bool m_biff8 = false;
    int m_codePage = 1252;
    std::vector<OwnSheet> m_sheets;
};

class ExcelFile : public SourceFile {
public:
    explicit ExcelFile(const QString &path) : m_path(path)
    {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly)) {
            const CompoundFile compound(f.readAll());
            QByteArray stream = compound.stream(QStringLiteral("Workbook"));
            if (stream.isEmpty())
                stream = compound.stream(QStringLiteral("Book"));
            m_own = WorkbookStream(stream).sheets();
        }
        if (freexl_open(QFile::encodeName(path).constData(), &m_handle) != FREEXL_OK) {
            freexl_close(m_handle);
            m_handle = nullptr;
            ownSheetsOrRefuse(QStringLiteral("%1: not an Excel workbook"));
            return;
        }
        unsigned int value = 0;
        if (freexl_get_info(m_handle, FREEXL_BIFF_PASSWORD, &value) == FREEXL_OK && value == FREEXL_BIFF_OBFUSCATED) {
            freexl_close(m_handle);
            m_handle = nullptr;
            throw SourceError(QStringLiteral("%1: the workbook is protected by a password").arg(path));
        }
        unsigned int sheets = 0;
        freexl_get_info(m_handle, FREEXL_BIFF_SHEET_COUNT, &sheets);
        for (unsigned short i = 0; i < sheets; ++i) {
            const char *name = nullptr;
            freexl_get_worksheet_name(m_handle, i, &name);
            m_sheets << QString::fromUtf8(name ? name : "");
        }
        if (m_sheets.isEmpty()) {
            freexl_close(m_handle);
            m_handle = nullptr;
            ownSheetsOrRefuse(QStringLiteral("%1: no sheet can be read in the workbook"));
        }
    }
    ~ExcelFile() override
    {
        if (m_handle)
            freexl_close(m_handle);
    }

    QStringList tables() const override { return m_sheets; }

    SourceTable read(const QString &name, int rowLimit) override
    {
        const qsizetype index = m_sheets.indexOf(name);
        if (index < 0)
            throw SourceError(QStringLiteral("%1: no sheet %2").arg(m_path, name));
        QHash<QPair<int, int>, QString> own;
        for (const OwnSheet &s : m_own)
            if (s.name == name)
                own = s.cells;
        SheetCells cells(m_path, name);
        if (m_handle) {
            if (freexl_select_active_worksheet(m_handle, (unsigned short)index) != FREEXL_OK)
                throw SourceError(QStringLiteral("%1: no sheet %2").arg(m_path, name));
            unsigned int rows = 0;
            unsigned short columns = 0;
            if (freexl_worksheet_dimensions(m_handle, &rows, &columns) != FREEXL_OK)
                throw SourceError(QStringLiteral("%1: sheet %2 cannot be read").arg(m_path, name));
            if (rowLimit >= 0)
                rows = std::min<unsigned int>(rows, unsigned(rowLimit) + 65);
            const ReadClock clock(m_path, QFileInfo(m_path).size());
            for (unsigned int r = 0; r < rows; ++r) {
                clock.check();
                for (unsigned short c = 0; c < columns; ++c) {
                    FreeXL_CellValue cell{};
                    QString text = freexl_get_cell_value(m_handle, r, c, &cell) == FREEXL_OK ? cellText(cell) : QString();
                    // The library's own value first; the stream's where it has none.
                    const QString mine = own.take({int(r), int(c)});
                    cells.set(r, c, text.isEmpty() ? mine : text);
                }
            }
        }
        for (auto it = own.cbegin(); it != own.cend(); ++it)
            if (rowLimit < 0 || it.key().first <= rowLimit + 64)
                cells.set(it.key().first, it.key().second, it.value());
        return cells.table(rowLimit);
    }

private:
    // Without the library, the sheets read from the stream, if any.
    void ownSheetsOrRefuse(const QString &why)
    {
        for (const OwnSheet &s : m_own)
            if (!s.cells.isEmpty())
                m_sheets << s.name;
        if (m_sheets.isEmpty())
            throw SourceError(why.arg(m_path));
    }

    QString m_path;
    const void *m_handle = nullptr;
    QStringList m_sheets;
    std::vector<OwnSheet> m_own;
};

} // namespace

std::unique_ptr<SourceFile> openExcel(const QString &path)
{
    return std::make_unique<ExcelFile>(path);
}

} // namespace kirvane::import
