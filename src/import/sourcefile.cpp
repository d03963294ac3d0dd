#include "import/sourcefile.h"

#include "texts/texttable.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>

#include <array>
#include <utility>

namespace kirvane::import {

namespace {

struct KindInfo {
    SourceKind kind;
    const char *name;
    std::array<const char *, 6> extensions;
    const char *filterName; // as the file dialogs are designed
};

constexpr std::array<KindInfo, 10> kKinds{{
    {SourceKind::Csv, "csv", {"csv", "txt"}, "Fichier CSV"},
    {SourceKind::Access, "access", {"mdb", "accdb"}, "Fichier Access"},
    {SourceKind::Excel, "excel", {"xls"}, "Fichier Excel"},
    {SourceKind::Lotus, "lotus", {"wk1", "wk2", "wk3", "wk4", "wks", "123"}, "Fichier Lotus"},
    {SourceKind::Paradox, "paradox", {"db"}, "Fichier Paradox"},
    {SourceKind::Dbase, "dbase", {"dbf"}, "Fichier Dbase"},
    {SourceKind::Wab, "wab", {"wab"}, "Fichier carnet d'adresse"},
    {SourceKind::Xlsx, "xlsx", {"xlsx"}, "Fichier Excel 2007"},
    {SourceKind::Ods, "ods", {"ods"}, "Fichier OpenDocument"},
    {SourceKind::Vcard, "vcard", {"vcf", "vcard"}, "Fichier vCard"},
}};

const KindInfo &info(SourceKind kind)
{
    for (const KindInfo &k : kKinds)
        if (k.kind == kind)
            return k;
    return kKinds[0];
}

} // namespace

QString kindName(SourceKind kind)
{
    return QString::fromLatin1(info(kind).name);
}

std::optional<SourceKind> kindFromName(const QString &name)
{
    for (const KindInfo &k : kKinds)
        if (name.compare(QLatin1String(k.name), Qt::CaseInsensitive) == 0)
            return k.kind;
    return std::nullopt;
}

std::optional<SourceKind> kindFromPath(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix();
    for (const KindInfo &k : kKinds)
        for (const char *e : k.extensions)
            if (e && suffix.compare(QLatin1String(e), Qt::CaseInsensitive) == 0)
                return k.kind;
    return std::nullopt;
}

QStringList kindPatterns(SourceKind kind)
{
    QStringList patterns;
    for (const char *e : info(kind).extensions)
        if (e)
            patterns << QStringLiteral("*.") + QLatin1String(e);
    return patterns;
}

QString kindFilter(SourceKind kind)
{
    return QStringLiteral("%1 (%2)").arg(QString::fromUtf8(info(kind).filterName), kindPatterns(kind).join(u' '));
}

QString SourceFile::preselectedTable() const
{
    return tables().value(0);
}

SourceTable SourceFile::read(const QString &table, int rowLimit)
{
    SourceTable t;
    t.name = table;
    RowFunctions sink;
    sink.onColumns = [&t](const QStringList &names) { t.columns = names; };
    sink.onRow = [&t, rowLimit](QStringList values) {
        if (rowLimit >= 0 && qsizetype(t.rows.size()) >= rowLimit)
            return false;
        t.rows.push_back(std::move(values));
        return rowLimit < 0 || qsizetype(t.rows.size()) < rowLimit;
    };
    sink.onRefused = [&t](const RefusedRecord &r) { t.refused.push_back(r); };
    sink.onNote = [&t](const QString &text) {
        if (!t.notes.contains(text))
            t.notes << text;
    };
    readRows(table, sink);
    return t;
}

void SourceFile::readRows(const QString &table, RowSink &sink)
{
    handOver(read(table), sink);
}

void SourceFile::handOver(SourceTable t, RowSink &sink)
{
    sink.columns(t.columns);
    for (const QString &n : std::as_const(t.notes))
        sink.note(n);
    for (const RefusedRecord &r : t.refused)
        sink.refused(r);
    for (QStringList &row : t.rows)
        if (!sink.row(std::move(row)))
            break;
}

void fitRow(QStringList &row, qsizetype columns)
{
    if (row.size() > columns)
        row.resize(columns);
    while (row.size() < columns)
        row << QString();
}

SourceTable tableFromGrid(const QString &name, std::vector<QStringList> grid, int rowLimit)
{
    auto empty = [](const QStringList &row) {
        return std::all_of(row.cbegin(), row.cend(), [](const QString &v) { return v.isEmpty(); });
    };
    while (!grid.empty() && empty(grid.back()))
        grid.pop_back();
    const auto firstUsed = std::find_if_not(grid.begin(), grid.end(), empty);
    grid.erase(grid.begin(), firstUsed);
    // Columns empty in every row at the right (a sheet's formatted but unused
    // cells) are no columns.
    qsizetype width = 0;
    for (const QStringList &row : grid)
        for (qsizetype c = row.size(); c > width; --c)
            if (!row[c - 1].isEmpty()) {
                width = c;
                break;
            }
    for (QStringList &row : grid)
        if (row.size() > width)
            row.resize(width);
    SourceTable t;
    t.name = name;
    if (grid.empty())
        return t;
    t.columns = std::move(grid.front());
    for (size_t r = 1; r < grid.size() && (rowLimit < 0 || int(t.rows.size()) < rowLimit); ++r) {
        fitRow(grid[r], t.columns.size());
        t.rows.push_back(std::move(grid[r]));
    }
    return t;
}

void SheetCells::set(qint64 row, qint64 column, const QString &value, qint64 count)
{
    if (value.isEmpty() || count <= 0)
        return;
    if (row < 0 || column < 0 || row >= kSheetRows || column + count > kSheetColumns)
        tooLarge();
    if (m_cells + count > kCellBudget)
        throw SourceError(QStringLiteral("%1: %2").arg(m_path, texts::text(texts::ImportCellBudget).arg(kCellBudget)));
    if (m_cells == 0) {
        m_firstRow = m_lastRow = row;
    } else {
        m_inRowOrder = m_inRowOrder && row >= m_lastRow;
        m_firstRow = std::min(m_firstRow, row);
        m_lastRow = std::max(m_lastRow, row);
    }
    m_width = std::max(m_width, column + count);
    m_cells += count;
    if (!m_keep)
        return;
    auto &cells = m_rows[row];
    for (qint64 k = 0; k < count; ++k)
        cells.emplace_back(column + k, value);
}

void SheetCells::tooLarge() const
{
    throw SourceError(QStringLiteral("%1: %2").arg(m_path, texts::text(texts::ImportSheetTooLarge).arg(m_sheet).arg(kSheetRows).arg(kSheetColumns)));
}

void SheetCells::checkLaidOut(qint64 rows) const
{
    if (rows * m_width > kCellBudget)
        throw SourceError(QStringLiteral("%1: %2").arg(m_path, texts::text(texts::ImportCellBudget).arg(kCellBudget)));
}

SourceTable SheetCells::table(int rowLimit) const
{
    SourceTable t;
    t.name = m_sheet;
    if (m_rows.empty())
        return t;
    const qint64 width = m_width;
    qint64 span = m_lastRow - m_firstRow + 1;
    if (rowLimit >= 0)
        span = std::min<qint64>(span, rowLimit + 1);
    checkLaidOut(span);
    auto laidOut = [width](const std::vector<std::pair<qint64, QString>> &cells) {
        QStringList values(width);
        for (const auto &[column, value] : cells)
            values[column] = value; // a cell set twice keeps its last value
        return values;
    };
    auto it = m_rows.begin();
    t.columns = laidOut(it->second);
    const qint64 first = it->first;
    ++it;
    for (qint64 r = first + 1; it != m_rows.end() && (rowLimit < 0 || qint64(t.rows.size()) < rowLimit); ++r) {
        if (it->first == r) {
            t.rows.push_back(laidOut(it->second));
            ++it;
        } else {
            t.rows.push_back(QStringList(width));
        }
    }
    return t;
}

SheetRows::SheetRows(const SheetCells &measured, RowSink &sink) : m_measured(measured), m_sink(sink)
{
    if (measured.cellCount() > 0)
        measured.checkLaidOut(measured.rowsUsed() - measured.firstRow());
}

void SheetRows::set(qint64 row, qint64 column, const QString &value, qint64 count)
{
    if (value.isEmpty() || count <= 0 || m_stopped)
        return;
    while (m_row < row && !m_stopped) {
        flush();
        m_row = m_row < 0 ? m_measured.firstRow() : m_row + 1;
        m_values = QStringList(m_measured.width());
    }
    // The first pass found the cells in row order and within the width.
    for (qint64 k = 0; k < count && row == m_row; ++k)
        m_values[column + k] = value; // a cell set twice keeps its last value
}

void SheetRows::finish()
{
    flush();
    m_row = -1;
}

void SheetRows::flush()
{
    if (m_row < 0 || m_stopped)
        return;
    if (m_row == m_measured.firstRow())
        m_sink.columns(std::exchange(m_values, {}));
    else
        m_stopped = !m_sink.row(std::exchange(m_values, {}));
}

ReadClock::ReadClock(const QString &path, qint64 fileSize)
    : m_path(path), m_limitMs(1000 + fileSize * 2000 / (1024 * 1024))
{
    m_timer.start();
}

void ReadClock::check() const
{
    if (m_timer.elapsed() > m_limitMs)
        throw SourceError(QStringLiteral("%1: %2").arg(m_path, texts::text(texts::ImportTimeBudget).arg((m_limitMs + 999) / 1000)));
}

void openForReading(QFile &file)
{
    if (!file.open(QIODevice::ReadOnly))
        throw SourceError(QStringLiteral("%1: %2").arg(file.fileName(), file.errorString()));
}

QString numberText(double value)
{
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

std::unique_ptr<SourceFile> openSource(const QString &path, SourceKind kind, const store::BookFiles *files)
{
    if (!QFileInfo(path).isFile())
        throw SourceError(QStringLiteral("%1: no such file").arg(path));
    switch (kind) {
    case SourceKind::Csv: return openCsv(path);
    case SourceKind::Access: return openAccess(path);
    case SourceKind::Excel: return openExcel(path);
    case SourceKind::Lotus: return openLotus(path);
    case SourceKind::Paradox: return openParadox(path);
    case SourceKind::Dbase: return openDbase(path);
    case SourceKind::Wab: return openWab(path, files);
    case SourceKind::Xlsx: return openXlsx(path);
    case SourceKind::Ods: return openOds(path);
    case SourceKind::Vcard: return openVcard(path);
    }
    throw SourceError(QStringLiteral("unknown kind"));
}

} // namespace kirvane::import
