#pragma once
// What a table's first line tells before the user maps anything: whether it
// is a heading line rather than a contact, and which contact field each of
// its headings names. Headings are compared without regard to letter case,
// accents, spaces or punctuation ("E-mail 1 - Value", "Code postal",
// "Prénom"), in English and French and in the forms of the usual address-book
// exports.
//
//     if (isHeadingLine(table.columns, table.rows))
//         mapping = mappingOfHeadings(table.columns);   // kUnused where nothing matches
//
// A heading names a field with a rank: "Family Name" names the last name
// more surely than "Name", and "Business City" more surely than "Home City".
// When several headings name one field, the surest (then the leftmost) gets
// it and the others are unused, so a pre-mapping never gives a field twice.

#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

namespace kirvane::import {

// The form headings are compared in: lower case, accents and every
// character but letters and digits dropped ("E-mail 1 - Value" -> "email1value").
[[nodiscard]] QString headingKey(const QString &heading);

// The contact field a heading names (store::F_nom ... F_champ19), or kUnused.
[[nodiscard]] int fieldOfHeading(const QString &heading);

// One field per heading, kUnused for a heading that names none or whose
// field a surer heading took. Every entry is kNotIdentified when no heading
// names a field at all: the user is then asked, column by column.
[[nodiscard]] QList<int> mappingOfHeadings(const QStringList &headings);

// Whether first reads as a heading line above rows: none of its values looks
// like an address, a number or a date, and either one of them is a known
// heading or it holds text above a column whose values below look like such.
[[nodiscard]] bool isHeadingLine(const QStringList &first, const std::vector<QStringList> &rows);

} // namespace kirvane::import
