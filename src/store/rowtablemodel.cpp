#include "store/rowtablemodel.h"

#include "store/database.h"

namespace kirvane::store {

RowTableModel::RowTableModel(QObject *parent) : QAbstractTableModel(parent) {}

int RowTableModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_rows.size()); }
int RowTableModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_columns.size()); }

QVariant RowTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return text(index.row(), index.column());
}

QVariant RowTableModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o == Qt::Horizontal && role == Qt::DisplayRole)
        return m_columns.value(section);
    return QAbstractTableModel::headerData(section, o, role);
}

QString RowTableModel::text(int row, int column) const
{
    if (row < 0 || row >= int(m_rows.size()))
        return QString();
    return m_rows[row].value(column);
}

int RowTableModel::columnIndex(const QString &column) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].compare(column, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString RowTableModel::text(int row, const QString &column) const { return text(row, columnIndex(column)); }

void RowTableModel::setRows(Statement &query)
{
    QStringList columns;
    for (int i = 0; i < query.columnCount(); ++i)
        columns << query.columnName(i);
    std::vector<QStringList> rows;
    while (query.step()) {
        QStringList row;
        row.reserve(columns.size());
        for (int i = 0; i < columns.size(); ++i)
            row << query.text(i);
        rows.push_back(std::move(row));
    }
    beginResetModel();
    m_columns = std::move(columns);
    m_rows = std::move(rows);
    m_open = true;
    endResetModel();
}

void RowTableModel::close()
{
    beginResetModel();
    m_columns.clear();
    m_rows.clear();
    m_open = false;
    endResetModel();
}

} // namespace kirvane::store
