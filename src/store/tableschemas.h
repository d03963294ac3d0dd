#pragma once
// The statements that make the program's tables and the column lists the
// store's statements share. Inside every table file the table is called "t".

#include <QString>

namespace kirvane::store {

// The eighteen value columns of a book, nom to champ19, comma-separated.
[[nodiscard]] const QString &bookValueColumns();
// A book table: id, the eighteen value columns, nom_annuaire, the sort key
// cle_tri; indexed by name and by sort key.
[[nodiscard]] QString bookTableSql();
// The history table.
[[nodiscard]] QString historyTableSql();
// " ORDER BY" the contacts' name order: nom, prenom as the language orders
// them (through the sort key cle_tri, see nameorder.h), then id.
[[nodiscard]] QString nameOrder(bool descending);
// "INSERT INTO t (nom..champ19) VALUES (18 ?)".
[[nodiscard]] QString insertContactSql();

} // namespace kirvane::store
