#pragma once
// What the import wizard holds from its second page on, without a widget:
// the chosen file and kind, its tables, the table opened, the five-row
// preview, the mapping of its columns, and the import itself. The wizard
// shows this state and forwards the user's acts; a test or the command line
// can drive it the same way.
//
//     ImportSession s;
//     s.setKind(SourceKind::Csv);
//     if (s.openFile(path) && s.openTable(s.preselectedTable())) {
//         // a heading line is already mapped by its headings
//         s.mapColumn(0, store::F_nom);   // ... any column the user changes
//         if (s.problems().isEmpty())
//             s.importInto(files, "clients", options);
//     }

#include "import/contactimport.h"
#include "import/sourcefile.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace kirvane::store {
class BookFiles;
}

namespace kirvane::import {

// The kind a file's content shows (a zip of a workbook, an OLE2 workbook, an
// Access database, a vCard), else the kind of its extension; nothing when
// neither tells.
[[nodiscard]] std::optional<SourceKind> kindOfFile(const QString &path);

// What an import needs once the user has chosen: the file, its kind, the
// table, its column names and their mapping. A plain value, so that the
// import can run on a thread of its own with a reader of its own.
struct ImportPlan {
    QString path;
    SourceKind kind = SourceKind::Csv;
    QString table;
    QStringList columns;
    QList<int> mapping;
};

// Opens the plan's file and reads its table row by row into book. The reader
// and the book's connection are made and closed inside the call, on the
// calling thread.
[[nodiscard]] ImportResult importPlan(const store::BookFiles &files, const ImportPlan &plan, const QString &book,
                                      const ImportOptions &options);

class ImportSession {
public:
    // The preview shows the column names and up to four rows: five in all.
    static constexpr int kPreviewRows = 5;

    explicit ImportSession(const store::BookFiles *files = nullptr) : m_files(files) {}

    void setKind(SourceKind kind);
    [[nodiscard]] SourceKind kind() const { return m_kind; }

    // Opens the file (closing any other); false with error() set when it is
    // not a file of the kind. With followFile, the kind becomes the one the
    // file shows (kindOfFile) when it shows one.
    bool openFile(const QString &path, bool followFile = false);
    void closeFile();
    [[nodiscard]] bool hasFile() const { return bool(m_file); }
    [[nodiscard]] QString filePath() const { return m_path; }
    [[nodiscard]] QStringList tables() const;
    [[nodiscard]] QString preselectedTable() const;
    // The kinds whose files hold several tables let the user choose one.
    [[nodiscard]] bool choosesTable() const;

    // Reads the preview of a table and starts a mapping: when its first line
    // reads as headings, each column mapped by its heading (unused where the
    // heading names no field); else every column not identified. False with
    // error() set when the table cannot be read.
    bool openTable(const QString &table);
    void closeTable();
    [[nodiscard]] bool hasTable() const { return m_tableOpen; }
    [[nodiscard]] const QString &tableName() const { return m_table; }

    // The preview's rows as shown: the column names first, then up to four
    // rows, apostrophes typographic. Empty when the table has no rows.
    [[nodiscard]] QList<QStringList> previewRows() const;
    [[nodiscard]] int columnCount() const { return int(m_preview.columns.size()); }
    // The table's column names as read (for a heading line, its headings).
    [[nodiscard]] const QStringList &columns() const { return m_preview.columns; }

    // The first line read as headings: the import should skip it.
    [[nodiscard]] bool firstLineIsHeading() const { return m_headingLine; }

    [[nodiscard]] const QList<int> &mapping() const { return m_mapping; }
    void mapColumn(int column, int field);
    [[nodiscard]] QList<MappingProblem> problems() const;

    // Reads the table row by row into book.
    [[nodiscard]] ImportResult importInto(const store::BookFiles &files, const QString &book, const ImportOptions &options);
    // The import as chosen so far; nothing while no table is open.
    [[nodiscard]] std::optional<ImportPlan> plan() const;

    [[nodiscard]] const QString &error() const { return m_error; }

private:
    const store::BookFiles *m_files = nullptr;
    SourceKind m_kind = SourceKind::Access;
    QString m_path;
    std::unique_ptr<SourceFile> m_file;
    QString m_table;
    bool m_tableOpen = false;
    SourceTable m_preview;
    QList<int> m_mapping;
    bool m_headingLine = false;
    QString m_error;
};

} // namespace kirvane::import
