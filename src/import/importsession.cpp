#include "import/importsession.h"

namespace kirvane::import {

void ImportSession::setKind(SourceKind kind)
{
    if (kind != m_kind)
        closeFile();
    m_kind = kind;
}

bool ImportSession::openFile(const QString &path)
{
    closeFile();
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
    m_mapping = QList<int>(m_preview.columns.size(), kNotIdentified);
    return true;
}

void ImportSession::closeTable()
{
    m_tableOpen = false;
    m_table.clear();
    m_preview = SourceTable();
    m_mapping.clear();
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
    ImportResult failed;
    if (!m_file || !m_tableOpen) {
        failed.error = QStringLiteral("no table is open");
        return failed;
    }
    SourceTable all;
    try {
        all = m_file->read(m_table);
    } catch (const SourceError &e) {
        failed.error = QString::fromStdString(e.what());
        return failed;
    }
    return importContacts(files, book, all, m_mapping, options);
}

} // namespace kirvane::import
