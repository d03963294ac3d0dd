#pragma once
// HistoryTable: the history of sent messages, historique/historique.db, one
// row per recorded run segment.
//
// Every operation throws StoreError when the table cannot be opened, read or
// written.

#include <QList>
#include <QString>

namespace kirvane::store {

class RowTableModel;

// One row of the history as the sending run writes it.
struct HistoryRecord {
    QString subject;     // sujet
    QString body;        // texte
    QString pagePath;    // chemin_page_html
    QString kind;        // html: the composition mode
    QString images;      // images
    QString attachments; // fichiers
    QString books;       // nom_annuaire: the destination books
};

class HistoryTable {
public:
    // folder: the history folder; empty means the data folder's, looked up
    // at each call.
    explicit HistoryTable(QString folder = {}) : m_folder(std::move(folder)) {}

    [[nodiscard]] QString path() const;
    // Every row, in the table's order, into model. A table without the
    // columns of a record is damaged (StoreError).
    void load(RowTableModel &model) const;
    // Adds a row dated today; returns its id (ids are never reused).
    qint64 add(const HistoryRecord &record);
    void remove(const QList<qint64> &ids);

private:
    QString m_folder;
};

} // namespace kirvane::store
