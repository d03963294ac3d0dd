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
//         s.mapColumn(0, store::F_nom);   // ... one per column
//         if (s.problems().isEmpty())
//             s.importInto(files, "clients", options);
//     }

#include "import/contactimport.h"
#include "import/sourcefile.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace kirvane::store {
class BookFiles;
}

namespace kirvane::import {

class ImportSession {
public:
    // The preview shows the column names and up to four rows: five in all.
    static constexpr int kPreviewRows = 5;

    explicit ImportSession(const store::BookFiles *files = nullptr) : m_files(files) {}

    void setKind(SourceKind kind);
    [[nodiscard]] SourceKind kind() const { return m_kind; }

    // Opens the file (closing any other); false with error() set when it is
    // not a file of the kind.
    bool openFile(const QString &path);
    void closeFile();
    [[nodiscard]] bool hasFile() const { return bool(m_file); }
    [[nodiscard]] QString filePath() const { return m_path; }
    [[nodiscard]] QStringList tables() const;
    [[nodiscard]] QString preselectedTable() const;
    // The kinds whose files hold several tables let the user choose one.
    [[nodiscard]] bool choosesTable() const;

    // Reads the preview of a table and starts a mapping with every column
    // not identified; false with error() set when the table cannot be read.
    bool openTable(const QString &table);
    void closeTable();
    [[nodiscard]] bool hasTable() const { return m_tableOpen; }
    [[nodiscard]] const QString &tableName() const { return m_table; }

    // The preview's rows as shown: the column names first, then up to four
    // rows, apostrophes typographic. Empty when the table has no rows.
    [[nodiscard]] QList<QStringList> previewRows() const;
    [[nodiscard]] int columnCount() const { return int(m_preview.columns.size()); }

    [[nodiscard]] const QList<int> &mapping() const { return m_mapping; }
    void mapColumn(int column, int field);
    [[nodiscard]] QList<MappingProblem> problems() const;

    // Reads the whole table and imports it into book.
    [[nodiscard]] ImportResult importInto(const store::BookFiles &files, const QString &book, const ImportOptions &options);

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
    QString m_error;
};

} // namespace kirvane::import
