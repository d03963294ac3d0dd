#include "import/importsession.h"

#include "import/headingmatcher.h"

#include <QFile>

namespace kirvane::import {

std::optional<SourceKind> kindOfFile(const QString &path)
{
    QFile f(path);
    QByteArray head;
    if (f.open(QIODevice::ReadOnly))
        head = f.read(512);
    if (head.startsWith("PK\x03\x04")) {
        // A workbook: OpenDocument names itself in its first entry; an .ods
        // without that entry first is still taken at its word.
        const bool ods = head.mid(30).startsWith("mimetypeapplication/vnd.oasis.opendocument.spreadsheet")
                         || kindFromPath(path) == SourceKind::Ods;
        return ods ? SourceKind::Ods : SourceKind::Xlsx;
    }
    if (head.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        return SourceKind::Excel;
    if (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB")
        return SourceKind::Access;
    // A vCard in UTF-8 or UTF-16, after a byte-order mark and blank lines.
    QByteArray text = head.left(64);
    text.replace('\0', QByteArray());
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    else if (text.startsWith("\xFF\xFE") || text.startsWith("\xFE\xFF"))
        text.remove(0, 2);
    if (text.trimmed().toUpper().startsWith("BEGIN:VCARD"))
        return SourceKind::Vcard;
    return kindFromPath(path);
}

namespace {

// Reads table of file row by row into book: a large file is never held whole.
ImportResult importTable(SourceFile &file, const QString &table, const QStringList &columns,
                         const store::BookFiles &files, const QString &book, const QList<int> &mapping,
                         const ImportOptions &options)
{
    const RowFeed feed = [&file, &table](const RowTarget &target) {
        RowFunctions sink;
        sink.onRow = [&target](QStringList row) { return target.row(row); };
        sink.onRefused = [&target](const RefusedRecord &r) {
            if (target.refused)
                target.refused(r.where, r.reason);
        };
        sink.onNote = [&target](const QString &text) {
            if (target.note)
                target.note(text);
        };
        file.readRows(table, sink);
    };
    return importRows(files, book, columns, feed, mapping, options);
}

} // namespace

void ImportSession::setKind(SourceKind kind)
{
    if (kind != m_kind)
        closeFile();
    m_kind = kind;
}

bool ImportSession::openFile(const QString &path, bool followFile)
{
    closeFile();
    if (followFile)
        m_kind = kindOfFile(path).value_or(m_kind);
    try {
        m_file = openSource(path, m_kind, m_files);
    } catch (const SourceError &e) {
        m_error = QString::fromStdString(e.what());
        return false;
    }
    m_path = path;
    return true;
}

void ImportSession::closeFile()
{
    closeTable();
    m_file.reset();
    m_path.clear();
}

QStringList ImportSession::tables() const
{
    return m_file ? m_file->tables() : QStringList();
}

QString ImportSession::preselectedTable() const
{
    return m_file ? m_file->preselectedTable() : QString();
}

bool ImportSession::choosesTable() const
{
    switch (m_kind) {
    case SourceKind::Access:
    case SourceKind::Excel:
    case SourceKind::Lotus:
    case SourceKind::Xlsx:
    case SourceKind::Ods:
        return true;
    default:
        return false;
    }
}

bool ImportSession::openTable(const QString &table)
{
    closeTable();
    if (!m_file) {
        m_error = QStringLiteral("no file is open");
        return false;
    }
    try {
        m_preview = m_file->read(table, kPreviewRows - 1);
    } catch (const SourceError &e) {
        m_error = QString::fromStdString(e.what());
        return false;
    }
    m_table = table;
    m_tableOpen = true;
    m_headingLine = isHeadingLine(m_preview.columns, m_preview.rows);
    m_mapping = m_headingLine ? mappingOfHeadings(m_preview.columns) : QList<int>(m_preview.columns.size(), kNotIdentified);
    return true;
}

void ImportSession::closeTable()
{
    m_tableOpen = false;
    m_table.clear();
    m_preview = SourceTable();
    m_mapping.clear();
    m_headingLine = false;
}

QList<QStringList> ImportSession::previewRows() const
{
    QList<QStringList> rows;
    if (m_preview.rows.empty())
        return rows;
    auto shown = [](QStringList values) {
        for (QString &v : values)
            v = withTypographicApostrophes(v);
        return values;
    };
    rows << shown(m_preview.columns);
    for (const QStringList &r : m_preview.rows)
        rows << shown(r);
    return rows;
}

void ImportSession::mapColumn(int column, int field)
{
    if (column >= 0 && column < m_mapping.size())
        m_mapping[column] = field;
}

QList<MappingProblem> ImportSession::problems() const
{
    return mappingProblems(m_mapping, !m_preview.rows.empty());
}

ImportResult ImportSession::importInto(const store::BookFiles &files, const QString &book, const ImportOptions &options)
{
    if (!m_file || !m_tableOpen) {
        ImportResult failed;
        failed.error = QStringLiteral("no table is open");
        return failed;
    }
    return importTable(*m_file, m_table, m_preview.columns, files, book, m_mapping, options);
}

std::optional<ImportPlan> ImportSession::plan() const
{
    if (!m_file || !m_tableOpen)
        return std::nullopt;
    return ImportPlan{m_path, m_kind, m_table, m_preview.columns, m_mapping};
}

ImportResult importPlan(const store::BookFiles &files, const ImportPlan &plan, const QString &book,
                        const ImportOptions &options)
{
    std::unique_ptr<SourceFile> file;
    try {
        file = openSource(plan.path, plan.kind, &files);
    } catch (const SourceError &e) {
        ImportResult failed;
        failed.error = QString::fromStdString(e.what());
        return failed;
    }
    return importTable(*file, plan.table, plan.columns, files, book, plan.mapping, options);
}

} // namespace kirvane::import
