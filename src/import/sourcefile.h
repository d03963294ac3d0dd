#pragma once
// The source side of an import: a file of one of ten kinds, holding one or more
// tables, each read as column names in order and rows of text values. Every
// reader gives the same shape, so the column mapping, the preview and the
// import itself never look at the kind again.
//
//     auto file = openSource(path, SourceKind::Csv);   // throws SourceError
//     SourceTable t = file->read(file->preselectedTable());
//
// A large file is read a row at a time into a RowSink instead, so that an
// import holds one row, not the file:
//
//     file->readRows(file->preselectedTable(), sink);  // throws SourceError
//
// A record the reader finds but cannot read (a damaged line, a card that
// cannot be parsed) is never dropped in silence: it is a RefusedRecord, which
// the import counts as refused with its reason.
//
// A row always holds exactly as many values as there are columns (missing ones
// are empty, extra ones dropped), so a short line never shifts its values into
// the wrong columns.

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

class QFile;

namespace kirvane::store {
class BookFiles;
}

namespace kirvane::import {

enum class SourceKind { Csv, Access, Excel, Lotus, Paradox, Dbase, Wab, Xlsx, Ods, Vcard };

// The name used on the command line: csv, access, excel, lotus, paradox,
// dbase, wab, xlsx, ods, vcard.
[[nodiscard]] QString kindName(SourceKind kind);
[[nodiscard]] std::optional<SourceKind> kindFromName(const QString &name);
// The kind a file's extension stands for (any letter case).
[[nodiscard]] std::optional<SourceKind> kindFromPath(const QString &path);
// File-dialog patterns of a kind ("*.csv", "*.wk1" ...).
[[nodiscard]] QStringList kindPatterns(SourceKind kind);
// The file dialog's filter of a kind: "Fichier CSV (*.csv)".
[[nodiscard]] QString kindFilter(SourceKind kind);

// A record of the file that could not be read as a row: where it stands in
// the file ("line 12", "card 3") and why.
struct RefusedRecord {
    QString where;
    QString reason;
    friend bool operator==(const RefusedRecord &, const RefusedRecord &) = default;
};

struct SourceTable {
    QString name;
    QStringList columns;
    std::vector<QStringList> rows;
    std::vector<RefusedRecord> refused; // in file order
    QStringList notes;                  // what the reader changed while reading, for the summary
};

// Takes a table's rows one at a time, as a reader finds them.
class RowSink {
public:
    virtual ~RowSink() = default;
    // The column names, once, before any row.
    virtual void columns(const QStringList &names) = 0;
    // One row, fitted to the columns. Returning false stops the reading.
    virtual bool row(QStringList values) = 0;
    // A record that could not be read.
    virtual void refused(const RefusedRecord &record) = 0;
    // Something the reader changed in the values (characters replaced ...),
    // to be said in the import's summary. Each note comes once.
    virtual void note(const QString &text) { Q_UNUSED(text); }
};

// A RowSink made of functions, any of which may be left empty.
struct RowFunctions : RowSink {
    std::function<void(const QStringList &)> onColumns;
    std::function<bool(QStringList)> onRow;
    std::function<void(const RefusedRecord &)> onRefused;
    std::function<void(const QString &)> onNote;
    void columns(const QStringList &names) override
    {
        if (onColumns)
            onColumns(names);
    }
    bool row(QStringList values) override { return !onRow || onRow(std::move(values)); }
    void refused(const RefusedRecord &record) override
    {
        if (onRefused)
            onRefused(record);
    }
    void note(const QString &text) override
    {
        if (onNote)
            onNote(text);
    }
};

// The file cannot be read as a table of the kind asked for; the wizard shows
// "Format du fichier incorrect." and the message says why for the command line.
struct SourceError : std::runtime_error {
    using std::runtime_error::runtime_error;
    explicit SourceError(const QString &why) : std::runtime_error(why.toStdString()) {}
};

class SourceFile {
public:
    virtual ~SourceFile() = default;
    // The table names of the file, in the order the file lists them.
    [[nodiscard]] virtual QStringList tables() const = 0;
    // The table chosen when the user does not choose: the one named after the
    // file for the kinds that hold one table per file, else the first.
    [[nodiscard]] virtual QString preselectedTable() const;
    // Reads a table; rowLimit >= 0 stops after that many rows (the preview).
    // Throws SourceError. Each reader gives read() or readRows() or both; the
    // one it does not give is made of the other.
    [[nodiscard]] virtual SourceTable read(const QString &table, int rowLimit = -1);
    // Hands the table's column names, then its rows and refused records in
    // file order, to sink. The readers of text files (CSV, vCard) hold one
    // record at a time; the others read their table whole first. Throws
    // SourceError, also part-way (rows already given stay given).
    virtual void readRows(const QString &table, RowSink &sink);

protected:
    // Hands a table read whole to sink, as readRows does.
    static void handOver(SourceTable table, RowSink &sink);
};

// Opens path as a file of kind. The address-book kind builds its work table
// through files (which must then be given). Throws SourceError.
[[nodiscard]] std::unique_ptr<SourceFile> openSource(const QString &path, SourceKind kind,
                                                 const store::BookFiles *files = nullptr);

// Opens file for reading; throws SourceError naming its path and the system's
// reason.
void openForReading(QFile &file);

// Pads row with empty values or cuts it to columns values.
void fitRow(QStringList &row, qsizetype columns);

// A sheet's cells as a table: the first row names the columns, the others are
// rows, each fitted to the columns; empty rows before and after the data and
// empty columns after it are dropped.
[[nodiscard]] SourceTable tableFromGrid(const QString &name, std::vector<QStringList> grid, int rowLimit);

// The most a sheet holds in a spreadsheet program, and the most cells holding
// something that a reader keeps: a sheet past them is refused at once, before
// its cells fill the memory.
inline constexpr qint64 kSheetRows = 1048576;
inline constexpr qint64 kSheetColumns = 16384;
inline constexpr qint64 kCellBudget = 5000000;

// The cells of a sheet that hold something, kept without room for the empty
// ones, and shaped as tableFromGrid() does once read. Made with keep false,
// it only checks and measures them: a first pass over a sheet that is then
// read again row by row into SheetRows, holding one row at a time.
class SheetCells {
public:
    SheetCells(const QString &path, const QString &sheet, bool keep = true)
        : m_path(path), m_sheet(sheet), m_keep(keep) {}
    // Sets count cells of a row from column on to value (a cell repeated
    // across); an empty value sets nothing. Throws SourceError when a cell
    // is past the sheet's limits or the cells past the budget.
    void set(qint64 row, qint64 column, const QString &value, qint64 count = 1);
    // The row past the last that holds a cell; 0 when none does.
    [[nodiscard]] qint64 rowsUsed() const { return m_cells ? m_lastRow + 1 : 0; }
    [[nodiscard]] qint64 cellCount() const { return m_cells; }
    // The first row that holds a cell, and the columns up to the last that does.
    [[nodiscard]] qint64 firstRow() const { return m_firstRow; }
    [[nodiscard]] qint64 width() const { return m_width; }
    // Every cell came after the cells of the rows above it.
    [[nodiscard]] bool inRowOrder() const { return m_inRowOrder; }
    [[nodiscard]] SourceTable table(int rowLimit) const;
    // Throws SourceError saying the sheet goes past the limits.
    [[noreturn]] void tooLarge() const;
    // Throws SourceError when rows rows of the sheet's width, laid out, are
    // past the cell budget.
    void checkLaidOut(qint64 rows) const;

private:
    QString m_path, m_sheet;
    bool m_keep = true;
    std::map<qint64, std::vector<std::pair<qint64, QString>>> m_rows;
    qint64 m_cells = 0;
    qint64 m_firstRow = 0, m_lastRow = 0, m_width = 0;
    bool m_inRowOrder = true;
};

// Lays out the cells of a sheet a second time, as they come in row order,
// and hands them to a sink as SheetCells::table() gives them: the first row
// that holds a cell as the column names, then every row up to the last,
// each as wide as the sheet. measured is the first pass (keep false).
class SheetRows {
public:
    SheetRows(const SheetCells &measured, RowSink &sink);
    void set(qint64 row, qint64 column, const QString &value, qint64 count = 1);
    // Hands the last row over.
    void finish();
    // The sink asked for no more rows.
    [[nodiscard]] bool stopped() const { return m_stopped; }

private:
    void flush();

    const SheetCells &m_measured;
    RowSink &m_sink;
    qint64 m_row = -1; // the row being laid out
    QStringList m_values;
    bool m_stopped = false;
};

// The time a reader may take on a file: a second, and two more for each
// megabyte of the file, so that a crafted file that would keep a reader
// busy is refused soon while a large real one is read whole.
class ReadClock {
public:
    ReadClock(const QString &path, qint64 fileSize);
    // Throws SourceError once the time is past.
    void check() const;

private:
    QString m_path;
    qint64 m_limitMs;
    QElapsedTimer m_timer;
};

// A number as spreadsheets show it unformatted: the shortest text that reads
// back as the same value, without an exponent ("12", "0.1", "3.5").
[[nodiscard]] QString numberText(double value);

// The readers, one per kind (each in its own file).
[[nodiscard]] std::unique_ptr<SourceFile> openCsv(const QString &path);
[[nodiscard]] std::unique_ptr<SourceFile> openAccess(const QString &path);
[[nodiscard]] std::unique_ptr<SourceFile> openExcel(const QString &path);
[[nodiscard]] std::unique_ptr<SourceFile> openLotus(const QString &path);
[[nodiscard]] std::unique_ptr<SourceFile> openParadox(const QString &path);
[[nodiscard]] std::unique_ptr<SourceFile> openDbase(const QString &path);
[[nodiscard]] std::unique_ptr<SourceFile> openWab(const QString &path, const store::BookFiles *files);
[[nodiscard]] std::unique_ptr<SourceFile> openXlsx(const QString &path);
[[nodiscard]] std::unique_ptr<SourceFile> openOds(const QString &path);
[[nodiscard]] std::unique_ptr<SourceFile> openVcard(const QString &path);

} // namespace kirvane::import
