#pragma once
// The source side of an import: a file of one of ten kinds, holding one or more
// tables, each read as column names in order and rows of text values. Every
// reader gives the same shape, so the column mapping, the preview and the
// import itself never look at the kind again.
//
//     auto file = openSource(path, SourceKind::Csv);   // throws SourceError
//     SourceTable t = file->read(file->preselectedTable());
//
// A row always holds exactly as many values as there are columns (missing ones
// are empty, extra ones dropped), so a short line never shifts its values into
// the wrong columns.

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

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

struct SourceTable {
    QString name;
    QStringList columns;
    std::vector<QStringList> rows;
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
    // Throws SourceError.
    [[nodiscard]] virtual SourceTable read(const QString &table, int rowLimit = -1) = 0;
};

// Opens path as a file of kind. The address-book kind builds its work table
// through files (which must then be given). Throws SourceError.
[[nodiscard]] std::unique_ptr<SourceFile> openSource(const QString &path, SourceKind kind,
                                                 const store::BookFiles *files = nullptr);

// Pads row with empty values or cuts it to columns values.
void fitRow(QStringList &row, qsizetype columns);

// A sheet's cells as a table: the first row names the columns, the others are
// rows, each fitted to the columns; empty rows before and after the data and
// empty columns after it are dropped.
[[nodiscard]] SourceTable tableFromGrid(const QString &name, std::vector<QStringList> grid, int rowLimit);

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
