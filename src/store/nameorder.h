#pragma once
// The order of contacts' names as the language has it, not by character code:
// Élie and Écuyer among the E, Öztürk among the O, D’Souza before Durand.
// Letter case is ignored (equal names fall back to the id, as before), and so
// are spaces and punctuation at the first levels of the comparison.
//
// A book table keeps, beside its columns, cle_tri: the ICU sort key of nom
// then prenom, indexed with the id, so a grid reads a book of 100,000
// contacts in order through the index. The key is a plain BLOB: the sqlite3
// shell and other programs read and write the file without knowing how it is
// made. Rows they add have no key; prepareNameOrder() gives them one the next
// time the store opens the book. The store's own connections keep the key up
// to date through temporary triggers, which live in the connection, never in
// the file: every connection the program opens on a table that has the key
// installs them (the import writes through connections of its own).
//
// Every connection also knows the collation "noms" (the same order for any
// text), which the work tables' ORDER BY use.

#include <QByteArray>
#include <QStringView>

namespace kirvane::store {

class Database;

// The bytes whose binary order is the order of (nom, prenom).
[[nodiscard]] QByteArray nameSortKey(QStringView nom, QStringView prenom);

// Compares two texts in the order of names: <0, 0 or >0.
[[nodiscard]] int compareNames(QStringView a, QStringView b);

// Registers the collation "noms" and the function the triggers call on a
// new connection.
void registerNameOrder(Database &db);

// Installs on this connection the temporary triggers that keep cle_tri up to
// date; for a table that has the column. Throws StoreError.
void keepNameOrder(Database &db);

// For a connection about to add many rows: drops its trigger that writes
// every new row a second time to give it its key, so that each INSERT gives
// the key itself (cle_tri = cle_de_tri(nom, prenom)). False, and nothing
// changed, when the table keeps no key. Throws StoreError.
[[nodiscard]] bool keyGivenOnInsert(Database &db);

// For a book table: adds cle_tri and its index when missing, installs the
// triggers on this connection and gives every row without a key its key.
// Throws StoreError when the table cannot be changed.
void prepareNameOrder(Database &db);

} // namespace kirvane::store
