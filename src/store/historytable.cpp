#include "store/historytable.h"

#include "common/folders.h"
#include "store/bookfiles.h"
#include "store/contacttable.h"
#include "store/database.h"
#include "store/rowtablemodel.h"

#include <QDate>

namespace kirvane::store {

QString HistoryTable::path() const
{
    return BookFiles::findTable(m_folder.isEmpty() ? common::historyFolder() : m_folder,
                                QStringLiteral("historique.db"));
}

void HistoryTable::load(RowTableModel &model) const
{
    auto db = Database::open(path());
    // A table without the columns of a record would list as empty: it is
    // damaged, like a book without its columns.
    const QStringList present = db->columns();
    for (const char *column : {"id", "sujet", "texte", "date_msg", "nom_annuaire", "fichiers", "images", "html",
                               "chemin_page_html"}) {
        if (!present.contains(QLatin1String(column), Qt::CaseInsensitive))
            throw StoreError(QStringLiteral("the history table %1 is damaged: no column %2")
                                 .arg(path(), QLatin1String(column))
                                 .toStdString());
    }
    Statement s = db->prepare(QStringLiteral("SELECT * FROM t"));
    model.setRows(s);
}

qint64 HistoryTable::add(const HistoryRecord &r)
{
    auto db = Database::open(path());
    db->prepare(QStringLiteral("INSERT INTO t (sujet,texte,date_msg,nom_annuaire,fichiers,images,html,chemin_page_html) "
                               "VALUES (?,?,?,?,?,?,?,?)"))
        .bind(1, r.subject).bind(2, r.body).bind(3, QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")))
        .bind(4, r.books).bind(5, r.attachments).bind(6, r.images).bind(7, r.kind).bind(8, r.pagePath)
        .run();
    return db->lastInsertId();
}

void HistoryTable::remove(const QList<qint64> &ids)
{
    auto db = Database::open(path());
    deleteRowsWithIds(*db, ids);
}

} // namespace kirvane::store
