#pragma once
// BookTableModel: the rows of one address book in name order, as a table model
// a grid shows directly. Only the row count is read when the book is opened;
// the rows are read a page at a time as the grid asks for them (the first by
// offset, later ones by id), so a book of 100,000 contacts opens at once.
// Columns 0..18 are the record's columns (id..champ19), column 19 the display
// name "NomPrenom".
//
// This paging is for grids only: whole-book reads use ContactTable::scan().

#include <QAbstractTableModel>
#include <QByteArray>
#include <QString>

#include <array>
#include <exception>
#include <memory>
#include <vector>

namespace kirvane::store {

class Database;

class BookTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kDisplayNameColumn = 19;

    explicit BookTableModel(QObject *parent = nullptr);
    ~BookTableModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation o, int role = Qt::DisplayRole) const override;

    // Shows book (its open table file db) in name order, or in the reverse order.
    // Throws StoreError when the rows cannot be counted.
    void open(std::shared_ptr<Database> db, const QString &book, bool descending);
    void close();

    [[nodiscard]] bool isOpen() const { return m_open; }
    [[nodiscard]] const QString &book() const { return m_book; }
    // Text of column (0..18, or kDisplayNameColumn) of row; "" out of range.
    // Throws StoreError when the page holding the row cannot be read (a
    // damaged table), so that a damaged book is never shown as blank rows.
    [[nodiscard]] QString text(int row, int column) const;
    // The grid's selection asks these, so they throw nothing: a page that
    // cannot be read is said by readFailed, as while the grid paints.
    // The id of row, or -1 out of range or unreadable.
    [[nodiscard]] qint64 idAt(int row) const;
    // Row holding id, or -1.
    [[nodiscard]] int rowOfId(qint64 id) const;
    // Every id in display order (none when they cannot be read).
    [[nodiscard]] const std::vector<qint64> &ids() const;

Q_SIGNALS:
    // A page of the shown book could not be read (the book is damaged); said
    // once per opening.
    void readFailed(const QString &reason);

private:
    void fetchPage(int page) const;
    void loadIds() const;
    void sayReadFailed(const std::exception &e) const;

    std::shared_ptr<Database> m_db;
    QString m_book;
    bool m_open = false;
    bool m_descending = false;
    int m_count = 0;
    mutable bool m_readFailed = false;
    // The ids in display order, read when a row far from the top is wanted
    // (the first rows come by offset, so the top of a book shows at once).
    mutable bool m_idsLoaded = false;
    mutable std::vector<qint64> m_ids;
    // A row as read: its nineteen values as UTF-8 one after the other, decoded
    // only when asked for (the grid shows one column of each row).
    struct Row {
        QByteArray bytes;
        std::array<int, 20> offsets{};
        [[nodiscard]] QString value(int k) const
        {
            return QString::fromUtf8(bytes.constData() + offsets[k], offsets[k + 1] - offsets[k]);
        }
    };
    mutable std::vector<std::unique_ptr<Row>> m_rows; // by row, null until read
};

} // namespace kirvane::store
