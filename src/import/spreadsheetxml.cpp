// Office Open XML workbooks (.xlsx) and OpenDocument spreadsheets (.ods):
// zip packages read with libzip, their XML with QXmlStreamReader. One table
// per sheet; shared and inline strings, numbers, dates and booleans all come
// out as text, and empty cells keep their place.
#include "import/sourcefile.h"

#include "texts/texttable.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <zip.h>

#include <cmath>
#include <functional>
#include <memory>
#include <set>

namespace kirvane::import {

namespace {

// No part of an address list's workbook comes near this; it keeps a crafted
// file from filling the memory.
constexpr zip_uint64_t kMaxPart = 256u * 1024 * 1024;

// A part of a package read as it is unpacked, so that a sheet's XML is
// never held whole.
class ZipPart : public QIODevice {
public:
    explicit ZipPart(zip_file_t *file) : m_file(file) { open(QIODevice::ReadOnly); }
    ~ZipPart() override
    {
        close();
        zip_fclose(m_file);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 size) override { return zip_fread(m_file, data, zip_uint64_t(size)); }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    zip_file_t *m_file;
};

class ZipPackage {
public:
    explicit ZipPackage(const QString &path) : m_path(path)
    {
        int code = 0;
        m_zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
    }
    ~ZipPackage()
    {
        if (m_zip)
            zip_discard(m_zip);
    }
    ZipPackage(const ZipPackage &) = delete;
    ZipPackage &operator=(const ZipPackage &) = delete;

    [[nodiscard]] bool isOpen() const { return m_zip; }
    [[nodiscard]] bool has(const QString &name) const
    {
        return m_zip && zip_name_locate(m_zip, name.toUtf8().constData(), 0) >= 0;
    }
    // The part's bytes; empty when it is missing. Throws SourceError when
    // it is larger than the package's parts may be, or cannot be unpacked.
    [[nodiscard]] QByteArray read(const QString &name) const
    {
        if (!m_zip)
            return {};
        zip_stat_t st;
        zip_stat_init(&st);
        const QByteArray n = name.toUtf8();
        if (zip_stat(m_zip, n.constData(), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
            return {};
        if (st.size > kMaxPart)
            throw SourceError(QStringLiteral("%1: %2").arg(m_path, texts::text(texts::ImportPartTooLarge).arg(name).arg(kMaxPart >> 20)));
        std::unique_ptr<zip_file_t, int (*)(zip_file_t *)> file(zip_fopen(m_zip, n.constData(), 0), zip_fclose);
        QByteArray bytes(qsizetype(st.size), '\0');
        const zip_int64_t got = file ? zip_fread(file.get(), bytes.data(), st.size) : -1;
        if (got < 0)
            throw SourceError(QStringLiteral("%1: part %2 of the package cannot be unpacked").arg(m_path, name));
        bytes.resize(qsizetype(got));
        return bytes;
    }
    // The part as it is unpacked, of any size. Throws SourceError when it
    // is missing or cannot be opened.
    [[nodiscard]] std::unique_ptr<QIODevice> open(const QString &name) const
    {
        zip_file_t *file = m_zip ? zip_fopen(m_zip, name.toUtf8().constData(), 0) : nullptr;
        if (!file)
            throw SourceError(QStringLiteral("%1: part %2 of the package cannot be unpacked").arg(m_path, name));
        return std::make_unique<ZipPart>(file);
    }

private:
    QString m_path;
    zip_t *m_zip = nullptr;
};

QString booleanText(bool value)
{
    return value ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
}

// ---- Office Open XML --------------------------------------------------------

// Column letters of a cell reference ("BC12") as a 0-based number, -1 when
// none; past the last column of a sheet, kSheetColumns.
qint64 columnOfReference(QStringView ref)
{
    qint64 column = 0;
    int letters = 0;
    for (QChar c : ref) {
        if (!c.isLetter())
            break;
        if (++letters > 3)
            return kSheetColumns;
        column = column * 26 + (c.toUpper().unicode() - 'A' + 1);
    }
    return letters ? std::min(column - 1, kSheetColumns) : -1;
}

// -1 when the reference holds no row number; past the last row of a sheet,
// kSheetRows.
qint64 rowOfReference(QStringView ref)
{
    qsizetype i = 0;
    while (i < ref.size() && ref[i].isLetter())
        ++i;
    bool ok = false;
    const qint64 row = ref.mid(i).toLongLong(&ok);
    if (!ok && !ref.mid(i).isEmpty() && std::all_of(ref.begin() + i, ref.end(), [](QChar c) { return c.isDigit(); }))
        return kSheetRows;
    return ok && row > 0 ? std::min(row - 1, kSheetRows) : -1;
}

// Characters a workbook cannot hold in its XML are written _xHHHH_ (the
// character's code in hex); "_x005F_" is an underscore, written before text
// that would otherwise read as such an escape.
QString decodeEscapes(const QString &text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'_' && i + 6 < text.size() && text[i + 1] == u'x' && text[i + 6] == u'_') {
            bool ok = false;
            const uint code = text.mid(i + 2, 4).toUInt(&ok, 16);
            if (ok && std::all_of(text.begin() + i + 2, text.begin() + i + 6, [](QChar c) {
                    const char16_t u = c.unicode();
                    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F');
                })) {
                out += QChar(char16_t(code));
                i += 6;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// The text of an element holding <t> runs (a shared string, an inline
// string), leaving out phonetic runs.
QString runText(QXmlStreamReader &xml)
{
    QString text;
    const QString end = xml.name().toString();
    int phonetic = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == u"rPh")
                ++phonetic;
            else if (xml.name() == u"t" && !phonetic)
                text += decodeEscapes(xml.readElementText(QXmlStreamReader::IncludeChildElements));
        } else if (xml.isEndElement()) {
            if (xml.name() == u"rPh")
                --phonetic;
            else if (xml.name() == end)
                break;
        }
    }
    return text;
}

bool isDateFormatCode(QString code)
{
    // Quoted texts, escaped characters and [colour]/[condition] parts say
    // nothing about dates.
    QString bare;
    bool quoted = false;
    int bracket = 0;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == u'"') {
            quoted = !quoted;
        } else if (quoted) {
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i;
        } else if (c == u'[') {
            ++bracket;
            // Elapsed time [h] [mm] [ss] is a time.
            if (i + 1 < code.size() && QStringLiteral("hHmMsS").contains(code[i + 1]))
                bare += code[i + 1];
        } else if (c == u']') {
            --bracket;
        } else if (!bracket) {
            bare += c.toLower();
        }
    }
    if (bare.contains(QLatin1String("general")))
        return false;
    return bare.contains(u'd') || bare.contains(u'y') || bare.contains(u'm') || bare.contains(u'h') || bare.contains(u's');
}

bool isBuiltinDateFormat(int id)
{
    return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58);
}

QString serialDateText(double serial, bool from1904)
{
    // Whole days and the time rounded to the second.
    qint64 seconds = qint64(std::llround(serial * 86400.0));
    qint64 days = seconds / 86400;
    seconds %= 86400;
    if (days == 0 && !from1904)
        return QTime(0, 0).addSecs(int(seconds)).toString(QStringLiteral("hh:mm:ss"));
    // Day 60 of the 1900 system is a 29 February that never was: day 1 is
    // 1900-01-01, so days before it are one off from the 1899-12-30 base.
    QDate base = from1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
    if (!from1904 && days < 61)
        base = base.addDays(1);
    const QDate date = base.addDays(days);
    if (seconds == 0)
        return date.toString(Qt::ISODate);
    return date.toString(Qt::ISODate) + u' ' + QTime(0, 0).addSecs(int(seconds)).toString(QStringLiteral("hh:mm:ss"));
}

class XlsxFile : public SourceFile {
public:
    explicit XlsxFile(const QString &path) : m_path(path), m_zip(path)
    {
        if (!m_zip.isOpen() || !m_zip.has(QStringLiteral("xl/workbook.xml")))
            throw SourceError(QStringLiteral("%1: not an Excel workbook (.xlsx)").arg(path));
        const QHash<QString, QString> targets = relationships();
        QXmlStreamReader xml(m_zip.read(QStringLiteral("xl/workbook.xml")));
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement())
                continue;
            if (xml.name() == u"workbookPr") {
                const auto v = xml.attributes().value(QStringLiteral("date1904"));
                m_date1904 = v == u"1" || v == u"true";
            } else if (xml.name() == u"sheet") {
                const QString id = xml.attributes().value(QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships"),
                                                          QStringLiteral("id")).toString();
                QString target = targets.value(id);
                if (target.startsWith(u'/'))
                    target = target.mid(1);
                else if (!target.isEmpty())
                    target = QStringLiteral("xl/") + target;
                m_sheets << xml.attributes().value(QStringLiteral("name")).toString();
                m_parts << target;
            }
        }
        if (xml.hasError() || m_sheets.isEmpty())
            throw SourceError(QStringLiteral("%1: the workbook lists no sheet").arg(path));
        readSharedStrings();
        readStyles();
    }

    QStringList tables() const override { return m_sheets; }

    // The preview reads the first rows only; the whole sheet is read row by
    // row (readRows).
    SourceTable read(const QString &name, int rowLimit) override
    {
        if (rowLimit < 0)
            return SourceFile::read(name, rowLimit);
        const qsizetype index = sheetIndex(name);
        const ReadClock clock(m_path, QFileInfo(m_path).size());
        SheetCells cells(m_path, name);
        walkSheet(index, name, &clock, cells, [&] { return cells.rowsUsed() > rowLimit + 64; });
        return cells.table(rowLimit);
    }

    // Two passes over the sheet as it is unpacked: the first measures it
    // (first row, width, limits, budget, time), the second hands its rows
    // over one at a time; its time is the import's as much as the reader's,
    // and the first pass has shown the sheet can be read. Rows written out
    // of order are laid out whole instead.
    void readRows(const QString &name, RowSink &sink) override
    {
        const qsizetype index = sheetIndex(name);
        const ReadClock clock(m_path, QFileInfo(m_path).size());
        SheetCells measured(m_path, name, false);
        walkSheet(index, name, &clock, measured, [] { return false; });
        if (!measured.inRowOrder()) {
            SheetCells cells(m_path, name);
            walkSheet(index, name, &clock, cells, [] { return false; });
            handOver(cells.table(-1), sink);
            return;
        }
        SheetRows rows(measured, sink);
        walkSheet(index, name, nullptr, rows, [&rows] { return rows.stopped(); });
        rows.finish();
    }

private:
    QHash<QString, QString> relationships() const
    {
        QHash<QString, QString> targets;
        QXmlStreamReader xml(m_zip.read(QStringLiteral("xl/_rels/workbook.xml.rels")));
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == u"Relationship")
                targets.insert(xml.attributes().value(QStringLiteral("Id")).toString(),
                               xml.attributes().value(QStringLiteral("Target")).toString());
        }
        return targets;
    }

    void readSharedStrings()
    {
        const QByteArray part = m_zip.read(QStringLiteral("xl/sharedStrings.xml"));
        if (part.isEmpty())
            return;
        QXmlStreamReader xml(part);
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == u"si") {
                m_strings << runText(xml);
                if (m_strings.size() > kCellBudget)
                    throw SourceError(QStringLiteral("%1: %2").arg(m_path, texts::text(texts::ImportCellBudget).arg(kCellBudget)));
            }
        }
        // A list cut short or unreadable would give cells blank or the
        // wrong text: the workbook is refused instead (so is a cell naming
        // a string past the list's end).
        if (xml.hasError())
            throw SourceError(QStringLiteral("%1: %2").arg(m_path, texts::text(texts::ImportSharedStringsDamaged)));
    }

    void readStyles()
    {
        QXmlStreamReader xml(m_zip.read(QStringLiteral("xl/styles.xml")));
        std::set<int> dateFormats;
        bool inCellXfs = false;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement()) {
                if (xml.name() == u"numFmt" && isDateFormatCode(xml.attributes().value(QStringLiteral("formatCode")).toString()))
                    dateFormats.insert(xml.attributes().value(QStringLiteral("numFmtId")).toInt());
                else if (xml.name() == u"cellXfs")
                    inCellXfs = true;
                else if (inCellXfs && xml.name() == u"xf") {
                    const int id = xml.attributes().value(QStringLiteral("numFmtId")).toInt();
                    m_dateStyles.push_back(isBuiltinDateFormat(id) || dateFormats.count(id));
                    xml.skipCurrentElement();
                }
            } else if (xml.isEndElement() && xml.name() == u"cellXfs") {
                inCellXfs = false;
            }
        }
    }

    qsizetype sheetIndex(const QString &name) const
    {
        const qsizetype index = m_sheets.indexOf(name);
        if (index < 0 || !m_zip.has(m_parts[index]))
            throw SourceError(QStringLiteral("%1: no sheet %2").arg(m_path, name));
        return index;
    }

    // Sets the cells of sheet index that hold something into cells (a
    // SheetCells or a SheetRows), in the sheet's order, until enough; within
    // the clock's time when there is one.
    template <typename Cells>
    void walkSheet(qsizetype index, const QString &name, const ReadClock *clock, Cells &cells,
                   const std::function<bool()> &enough) const
    {
        const std::unique_ptr<QIODevice> part = m_zip.open(m_parts[index]);
        QXmlStreamReader xml(part.get());
        const SheetCells limits(m_path, name, false);
        qint64 row = -1;
        qint64 nextColumn = 0;
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement())
                continue;
            if (xml.name() == u"dimension") {
                // The sheet's own statement of its extent ("A1:D40").
                const QString ref = xml.attributes().value(QStringLiteral("ref")).toString();
                const QString last = ref.section(u':', -1);
                if (columnOfReference(last) >= kSheetColumns || rowOfReference(last) >= kSheetRows)
                    limits.tooLarge();
            } else if (xml.name() == u"row") {
                if (clock)
                    clock->check();
                const QString r = xml.attributes().value(QStringLiteral("r")).toString();
                bool ok = false;
                const qint64 number = r.toLongLong(&ok);
                row = ok && number > 0 ? number - 1 : !r.isEmpty() ? kSheetRows : row + 1;
                nextColumn = 0;
                if (enough())
                    break; // for a preview, enough even after leading empty rows
            } else if (xml.name() == u"c") {
                const QString ref = xml.attributes().value(QStringLiteral("r")).toString();
                qint64 column = columnOfReference(ref);
                if (column < 0)
                    column = nextColumn;
                if (row < 0)
                    row = qMax<qint64>(0, rowOfReference(ref));
                nextColumn = column + 1;
                const QString value = cellText(xml);
                if (!value.isEmpty() && row >= kSheetRows)
                    limits.tooLarge();
                cells.set(row, column, value);
            }
        }
        if (xml.hasError())
            throw SourceError(QStringLiteral("%1: sheet %2 is damaged (%3)").arg(m_path, name, xml.errorString()));
    }

    // Reads one <c> element to its end.
    QString cellText(QXmlStreamReader &xml) const
    {
        const QString type = xml.attributes().value(QStringLiteral("t")).toString();
        const int style = xml.attributes().value(QStringLiteral("s")).toInt();
        QString value;
        bool haveValue = false;
        QString inlineText;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement()) {
                if (xml.name() == u"v") {
                    value = xml.readElementText();
                    haveValue = true;
                } else if (xml.name() == u"is") {
                    inlineText = runText(xml);
                }
            } else if (xml.isEndElement() && xml.name() == u"c") {
                break;
            }
        }
        if (type == u"inlineStr")
            return inlineText;
        if (!haveValue)
            return {};
        if (type == u"s") {
            bool ok = false;
            const qsizetype i = value.toLongLong(&ok);
            if (!ok || i < 0 || i >= m_strings.size())
                throw SourceError(QStringLiteral("%1: %2").arg(m_path, texts::text(texts::ImportSharedStringsDamaged)));
            return m_strings[i];
        }
        if (type == u"b")
            return booleanText(value.trimmed() == u"1");
        if (type == u"str" || type == u"e")
            return value;
        if (type == u"d")
            return value.replace(u'T', u' ');
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (!ok)
            return value;
        if (style >= 0 && style < int(m_dateStyles.size()) && m_dateStyles[size_t(style)])
            return serialDateText(number, m_date1904);
        return numberText(number);
    }

    QString m_path;
    ZipPackage m_zip;
    QStringList m_sheets;
    QStringList m_parts;
    QStringList m_strings;
    std::vector<bool> m_dateStyles;
    bool m_date1904 = false;
};

// ---- OpenDocument -----------------------------------------------------------

const QString kTableNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:table:1.0");
const QString kOfficeNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:office:1.0");
const QString kTextNs = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");

// The text of a <text:p>, with its spaces, tabs and line breaks.
void appendParagraph(QXmlStreamReader &xml, QString &out)
{
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        xml.readNext();
        if (xml.isCharacters()) {
            out += xml.text();
        } else if (xml.isStartElement()) {
            if (xml.namespaceUri() == kTextNs && xml.name() == u"s") {
                const int n = xml.attributes().value(kTextNs, QStringLiteral("c")).toInt();
                out += QString(qBound(1, n, 1000), u' ');
            } else if (xml.namespaceUri() == kTextNs && xml.name() == u"tab") {
                out += u'\t';
            } else if (xml.namespaceUri() == kTextNs && xml.name() == u"line-break") {
                out += u'\n';
            } else if (xml.namespaceUri() == kOfficeNs && xml.name() == u"annotation") {
                xml.skipCurrentElement();
                continue;
            }
            ++depth;
        } else if (xml.isEndElement()) {
            --depth;
        }
    }
}

QString timeText(const QString &duration)
{
    // PT12H30M05S (hours may exceed a day; fractions of seconds are dropped).
    static const QRegularExpression re(QStringLiteral("^-?PT(?:(\\d+)H)?(?:(\\d+)M)?(?:(\\d+)(?:[.,]\\d+)?S)?$"));
    const auto m = re.match(duration);
    if (!m.hasMatch())
        return duration;
    return QStringLiteral("%1:%2:%3").arg(m.captured(1).toInt(), 2, 10, QLatin1Char('0'))
        .arg(m.captured(2).toInt(), 2, 10, QLatin1Char('0'))
        .arg(m.captured(3).toInt(), 2, 10, QLatin1Char('0'));
}

class OdsFile : public SourceFile {
public:
    explicit OdsFile(const QString &path) : m_path(path), m_zip(path)
    {
        if (!m_zip.isOpen() || !m_zip.has(QStringLiteral("content.xml")))
            throw SourceError(QStringLiteral("%1: not an OpenDocument spreadsheet").arg(path));
        const QByteArray mime = m_zip.read(QStringLiteral("mimetype"));
        if (!mime.isEmpty() && !mime.startsWith("application/vnd.oasis.opendocument.spreadsheet"))
            throw SourceError(QStringLiteral("%1: an OpenDocument file, but not a spreadsheet").arg(path));
        const std::unique_ptr<QIODevice> content = m_zip.open(QStringLiteral("content.xml"));
        QXmlStreamReader xml(content.get());
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.namespaceUri() == kTableNs && xml.name() == u"table") {
                m_sheets << xml.attributes().value(kTableNs, QStringLiteral("name")).toString();
                xml.skipCurrentElement();
            }
        }
        if (xml.hasError() || m_sheets.isEmpty())
            throw SourceError(QStringLiteral("%1: the spreadsheet holds no table").arg(path));
    }

    QStringList tables() const override { return m_sheets; }

    // The preview reads the first rows only; the whole sheet is read row by
    // row (readRows).
    SourceTable read(const QString &name, int rowLimit) override
    {
        if (rowLimit < 0)
            return SourceFile::read(name, rowLimit);
        const ReadClock clock(m_path, QFileInfo(m_path).size());
        SheetCells cells(m_path, name);
        walkTable(name, &clock, cells, [&] { return cells.rowsUsed() > rowLimit + 64; });
        return cells.table(rowLimit);
    }

    // Two passes over content.xml as it is unpacked, as for a workbook: the
    // first measures the table within the time, the second hands its rows
    // over one at a time.
    void readRows(const QString &name, RowSink &sink) override
    {
        const ReadClock clock(m_path, QFileInfo(m_path).size());
        SheetCells measured(m_path, name, false);
        walkTable(name, &clock, measured, [] { return false; });
        SheetRows rows(measured, sink);
        walkTable(name, nullptr, rows, [&rows] { return rows.stopped(); });
        rows.finish();
    }

private:
    // A cell repeated across: its value and how many columns it fills.
    struct Run {
        QString value;
        qint64 count;
    };

    static qint64 repeatCount(QXmlStreamReader &xml, const QString &attribute)
    {
        bool ok = false;
        const qint64 n = xml.attributes().value(kTableNs, attribute).toLongLong(&ok);
        return ok && n > 1 ? n : 1;
    }

    // Sets the cells of table name that hold something into cells (a
    // SheetCells or a SheetRows), row after row, until enough; within the
    // clock's time when there is one.
    template <typename Cells>
    void walkTable(const QString &name, const ReadClock *clock, Cells &cells, const std::function<bool()> &enough) const
    {
        const qsizetype index = m_sheets.indexOf(name);
        if (index < 0)
            throw SourceError(QStringLiteral("%1: no sheet %2").arg(m_path, name));
        const std::unique_ptr<QIODevice> content = m_zip.open(QStringLiteral("content.xml"));
        QXmlStreamReader xml(content.get());
        qsizetype seen = -1;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.namespaceUri() == kTableNs && xml.name() == u"table" && ++seen == index)
                return walkRows(xml, name, clock, cells, enough);
        }
        throw SourceError(QStringLiteral("%1: sheet %2 is damaged").arg(m_path, name));
    }

    template <typename Cells>
    void walkRows(QXmlStreamReader &xml, const QString &name, const ReadClock *clock, Cells &cells,
                  const std::function<bool()> &enough) const
    {
        const SheetCells limits(m_path, name, false);
        qint64 row = 0;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isEndElement() && xml.namespaceUri() == kTableNs && xml.name() == u"table")
                break;
            if (!xml.isStartElement() || xml.namespaceUri() != kTableNs || xml.name() != u"table-row")
                continue;
            if (clock)
                clock->check();
            // Repeated rows and cells are mostly the empty rest of a sheet:
            // they only move the position, and are never written out.
            const qint64 repeat = repeatCount(xml, QStringLiteral("number-rows-repeated"));
            const std::vector<Run> runs = readRow(xml, clock, limits);
            const bool empty = std::all_of(runs.cbegin(), runs.cend(), [](const Run &r) { return r.value.isEmpty(); });
            if (!empty) {
                if (row + repeat > kSheetRows)
                    limits.tooLarge();
                for (qint64 k = 0; k < repeat; ++k) {
                    qint64 column = 0;
                    for (const Run &run : runs) {
                        cells.set(row + k, column, run.value, run.count);
                        column += run.count;
                    }
                    if (clock)
                        clock->check();
                }
            }
            row += repeat;
            if (enough())
                break;
        }
        if (xml.hasError())
            throw SourceError(QStringLiteral("%1: sheet %2 is damaged (%3)").arg(m_path, name, xml.errorString()));
    }

    // The cells of one <table:table-row> as runs of repeated cells, up to
    // the last that holds something. Past the last column of a sheet, the
    // sheet is refused.
    static std::vector<Run> readRow(QXmlStreamReader &xml, const ReadClock *clock, const SheetCells &cells)
    {
        std::vector<Run> runs;
        qint64 columns = 0, used = 0;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isEndElement() && xml.name() == u"table-row")
                break;
            if (!xml.isStartElement() || xml.namespaceUri() != kTableNs
                || (xml.name() != u"table-cell" && xml.name() != u"covered-table-cell"))
                continue;
            const qint64 repeat = repeatCount(xml, QStringLiteral("number-columns-repeated"));
            QString value = cellText(xml);
            columns += repeat;
            if (!value.isEmpty()) {
                if (columns > kSheetColumns)
                    cells.tooLarge();
                used = qsizetype(runs.size()) + 1;
                if (clock)
                    clock->check();
            }
            // Empty runs are kept for their width until a cell after them
            // holds something; trailing ones are dropped below.
            if (!runs.empty() && runs.back().value.isEmpty() && value.isEmpty())
                runs.back().count += repeat;
            else
                runs.push_back({std::move(value), repeat});
        }
        runs.resize(size_t(used));
        return runs;
    }

    // Reads one cell element to its end.
    static QString cellText(QXmlStreamReader &xml)
    {
        const QXmlStreamAttributes a = xml.attributes();
        const QString type = a.value(kOfficeNs, QStringLiteral("value-type")).toString();
        QString text;
        bool firstParagraph = true;
        int depth = 1;
        while (depth > 0 && !xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement()) {
                if (xml.namespaceUri() == kTextNs && (xml.name() == u"p" || xml.name() == u"h")) {
                    if (!firstParagraph)
                        text += u'\n';
                    firstParagraph = false;
                    appendParagraph(xml, text);
                } else if (xml.namespaceUri() == kOfficeNs && xml.name() == u"annotation") {
                    xml.skipCurrentElement();
                } else {
                    ++depth;
                }
            } else if (xml.isEndElement()) {
                --depth;
            }
        }
        if (type == u"float" || type == u"percentage" || type == u"currency") {
            bool ok = false;
            const double v = a.value(kOfficeNs, QStringLiteral("value")).toDouble(&ok);
            return ok ? numberText(v) : text;
        }
        if (type == u"date") {
            QString d = a.value(kOfficeNs, QStringLiteral("date-value")).toString();
            if (d.endsWith(QLatin1String("T00:00:00")))
                d.chop(9);
            return d.replace(u'T', u' ');
        }
        if (type == u"time")
            return timeText(a.value(kOfficeNs, QStringLiteral("time-value")).toString());
        if (type == u"boolean")
            return booleanText(a.value(kOfficeNs, QStringLiteral("boolean-value")) == u"true");
        return text;
    }

    QString m_path;
    ZipPackage m_zip;
    QStringList m_sheets;
};

} // namespace

std::unique_ptr<SourceFile> openXlsx(const QString &path)
{
    return std::make_unique<XlsxFile>(path);
}

std::unique_ptr<SourceFile> openOds(const QString &path)
{
    return std::make_unique<OdsFile>(path);
}

} // namespace kirvane::import
