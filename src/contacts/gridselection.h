#pragma once
// What the contacts view asks of its grid's rows: the row of an id, the ids of
// the selected rows, and the contact to show after the selection is deleted or
// moved away. They read the grid's model and selection, never the database.

#include <QList>
#include <QString>
#include <QStringList>

class QItemSelectionModel;

namespace kirvane::store {
class BookTableModel;
class RowTableModel;
}

namespace kirvane::contacts {

// The row holding id, or rowCount() (past the end) when none does.
[[nodiscard]] int locateId(const store::BookTableModel &model, qint64 id);
[[nodiscard]] int locateId(const store::RowTableModel &model, const QString &id);
// The largest id, 0 for none.
[[nodiscard]] qint64 maxId(const store::BookTableModel &model);
[[nodiscard]] qint64 maxId(const store::RowTableModel &model);
// Rows of the grid's selection in the order the user selected them.
[[nodiscard]] QList<int> selectedRows(const QItemSelectionModel *grid);
// Ids of the selected rows, in selection order.
[[nodiscard]] QList<qint64> selectedIds(const store::BookTableModel &model, const QItemSelectionModel *grid);
// The id of the row above the first selected row; -1 when there is none (the
// first row is selected, or nothing is).
[[nodiscard]] qint64 idBeforeSelection(const store::BookTableModel &model, const QItemSelectionModel *grid);
// The id of the row below the first selected row (the last row when that is
// the last); -1 for a book of fewer than two rows or no selection.
[[nodiscard]] qint64 idAfterSelection(const store::BookTableModel &model, const QItemSelectionModel *grid);

} // namespace kirvane::contacts
