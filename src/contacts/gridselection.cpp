#include "contacts/gridselection.h"

#include "store/booktablemodel.h"
#include "store/rowtablemodel.h"

#include <QItemSelectionModel>

#include <algorithm>
#include <vector>

namespace kirvane::contacts {

int locateId(const store::BookTableModel &model, qint64 id)
{
    const int row = model.rowOfId(id);
    return row >= 0 ? row : model.rowCount();
}

int locateId(const store::RowTableModel &model, const QString &id)
{
    for (int r = 0; r < model.rowCount(); ++r)
        if (model.text(r, 0) == id)
            return r;
    return model.rowCount();
}

qint64 maxId(const store::BookTableModel &model)
{
    qint64 best = 0;
    for (qint64 id : model.ids())
        best = std::max(best, id);
    return best;
}

qint64 maxId(const store::RowTableModel &model)
{
    qint64 best = 0;
    for (int r = 0; r < model.rowCount(); ++r)
        best = std::max(best, model.text(r, 0).toLongLong());
    return best;
}

QList<int> selectedRows(const QItemSelectionModel *grid)
{
    QList<int> rows;
    if (!grid)
        return rows;
    // A mark per row taken: "select all" on a large book is one range of
    // every row, and a search of the list for each would take minutes.
    std::vector<bool> seen(grid->model() ? grid->model()->rowCount() : 0);
    for (const QItemSelectionRange &range : grid->selection())
        for (int r = range.top(); r <= range.bottom(); ++r) {
            if (r < 0 || r >= int(seen.size()) || seen[r])
                continue;
            seen[r] = true;
            rows << r;
        }
    return rows;
}

QList<qint64> selectedIds(const store::BookTableModel &model, const QItemSelectionModel *grid)
{
    QList<qint64> ids;
    for (int r : selectedRows(grid))
        if (r < model.rowCount())
            ids << model.idAt(r);
    return ids;
}

qint64 idBeforeSelection(const store::BookTableModel &model, const QItemSelectionModel *grid)
{
    const QList<int> rows = selectedRows(grid);
    if (rows.isEmpty() || rows.first() <= 0)
        return -1;
    return model.idAt(rows.first() - 1);
}

qint64 idAfterSelection(const store::BookTableModel &model, const QItemSelectionModel *grid)
{
    if (model.rowCount() < 2)
        return -1;
    const QList<int> rows = selectedRows(grid);
    if (rows.isEmpty())
        return -1;
    return model.idAt(std::min(rows.first() + 1, model.rowCount() - 1));
}

} // namespace kirvane::contacts
