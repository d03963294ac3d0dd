#pragma once
// RowTableModel: the rows of a statement read in full, as a table model: the
// history, the merge table as the duplicate window shows it.

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>

#include <vector>

namespace kirvane::store {

class Statement;

class RowTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RowTableModel(QObject *parent = nullptr);
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation o, int role = Qt::DisplayRole) const override;

    [[nodiscard]] bool isOpen() const { return m_open; }
    [[nodiscard]] QString text(int row, int column) const;
    [[nodiscard]] QString text(int row, const QString &column) const; // any letter case
    [[nodiscard]] int columnIndex(const QString &column) const;
    [[nodiscard]] const QStringList &columns() const { return m_columns; }

    // Reads every row of query, which is at its start, as text.
    void setRows(Statement &query);
    void close();

private:
    bool m_open = false;
    QStringList m_columns;
    std::vector<QStringList> m_rows;
};

} // namespace kirvane::store
