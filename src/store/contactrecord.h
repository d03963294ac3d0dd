#pragma once
// The contact record: nineteen fields in column order, each a label (how the
// book names the column) and a value (the column's content as text).

#include <QString>
#include <QStringList>

#include <array>

namespace kirvane::store {

struct Field {
    QString label;
    QString value;
    bool operator==(const Field &) const = default;
};

inline constexpr int kContactFields = 19;
using ContactRecord = std::array<Field, kContactFields>;

// Element indexes, the same as the column positions of a book's table.
enum ContactField : int {
    F_id = 0, F_nom, F_prenom, F_code_postal, F_ville, F_adresse1, F_adresse2, F_pays,
    F_tel, F_fax, F_email, F_societe, F_civilite, F_commentaire, F_url,
    F_champ16, F_champ17, F_champ18, F_champ19,
};

// Column names of the book table, positions 0..18, then nom_annuaire at 19.
[[nodiscard]] const QStringList &contactColumns();
inline const QString kBookNameColumn = QStringLiteral("nom_annuaire");
// Index of a column name (any letter case) or -1.
[[nodiscard]] int contactColumnIndex(const QString &column);

// The labels written for elements 0..14 and the defaults of 15..18.
[[nodiscard]] const QStringList &defaultLabels();

// Sets the label of each element from the field-label file at path (section
// nom_champs, keys champs1..champs19), with the defaults for anything missing.
void readLabels(const QString &path, ContactRecord &contact);
// Writes all nineteen keys: the fixed fifteen, then the four free labels. The
// file is replaced whole or not at all; false with the system's reason in error.
[[nodiscard]] bool writeLabels(const QString &path, const QStringList &freeLabels, QString *error = nullptr);

// Empties every value, then sets civilite to "Inconnu".
void newSubscriberRecord(ContactRecord &contact);

// A record with the default labels and empty values.
[[nodiscard]] ContactRecord emptyContact();

// The display name of the contacts grid: "nom  prenom", or "<Unknow name>"
// when both are empty.
[[nodiscard]] QString displayName(const QString &nom, const QString &prenom);

} // namespace kirvane::store
