#pragma once
// Paradox tables for the tests, written with pxlib's writer: address books
// and history tables as a data folder of the earlier format holds them, text
// in Windows-1252 (or no code page at all), memos in the .MB file beside.

#include "common/textcodec.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" {
#include <paradox.h>
}

namespace kirvane::test {

struct PxColumn {
    const char *name;
    char type; // pxfAlpha, pxfAutoInc, pxfLong, pxfMemoBLOb
    int length;
};

// Writes the table at path (a .MB beside it when a column is a memo). A value
// is text for alpha and memo columns, digits for numbers, empty for a blank.
// codePage 0 records none. False when pxlib refuses.
inline bool writeParadoxTable(const QString &path, const std::vector<PxColumn> &columns,
                              const std::vector<QStringList> &rows, int codePage = 1252)
{
    pxdoc_t *px = PX_new();
    // pxlib takes the field array and frees it with the table.
    auto *fields = static_cast<pxfield_t *>(std::calloc(columns.size(), sizeof(pxfield_t)));
    bool memo = false;
    for (size_t i = 0; i < columns.size(); ++i) {
        fields[i].px_fname = strdup(columns[i].name);
        fields[i].px_ftype = columns[i].type;
        fields[i].px_flen = columns[i].length;
        memo = memo || columns[i].type == pxfMemoBLOb;
    }
    QFile::remove(path);
    if (PX_create_file(px, fields, int(columns.size()), QFile::encodeName(path).constData(), pxfFileTypNonIndexDB) < 0) {
        PX_delete(px);
        return false;
    }
    if (codePage)
        PX_set_parameter(px, "codepage", QByteArray::number(codePage).constData());
    if (memo) {
        QString mb = path;
        mb.chop(3);
        mb += path.endsWith(QLatin1String(".DB")) ? QStringLiteral(".MB") : QStringLiteral(".mb");
        QFile::remove(mb);
        PX_set_blob_file(px, QFile::encodeName(mb).constData());
    }
    std::vector<char> record(size_t(PX_get_recordsize(px)));
    for (const QStringList &row : rows) {
        std::fill(record.begin(), record.end(), 0);
        int offset = 0;
        for (size_t i = 0; i < columns.size(); ++i) {
            const QString value = row.value(int(i));
            char *at = record.data() + offset;
            offset += columns[i].length;
            if (value.isEmpty())
                continue;
            QByteArray bytes = common::toWindows1252(value);
            switch (columns[i].type) {
            case pxfAlpha: PX_put_data_alpha(px, at, columns[i].length, bytes.data()); break;
            case pxfMemoBLOb: PX_put_data_blob(px, at, columns[i].length, bytes.data(), int(bytes.size())); break;
            default: PX_put_data_long(px, at, columns[i].length, value.toInt()); break;
            }
        }
        PX_put_record(px, record.data());
    }
    PX_close(px);
    PX_delete(px);
    return true;
}

// The columns of an address book, named as the contacts view names them.
inline std::vector<PxColumn> bookColumns()
{
    return {{"Id", pxfAutoInc, 4},        {"Nom", pxfAlpha, 150},      {"Prenom", pxfAlpha, 150},
            {"Code_postal", pxfAlpha, 10}, {"Ville", pxfAlpha, 150},    {"Adresse1", pxfAlpha, 150},
            {"Adresse2", pxfAlpha, 150},   {"Pays", pxfAlpha, 150},     {"Tel", pxfAlpha, 20},
            {"Fax", pxfAlpha, 20},         {"Email", pxfAlpha, 150},    {"Societe", pxfAlpha, 150},
            {"Civilite", pxfAlpha, 150},   {"Commentaire", pxfAlpha, 255}, {"Url", pxfAlpha, 150},
            {"Champ16", pxfAlpha, 150},    {"Champ17", pxfAlpha, 150},  {"Champ18", pxfAlpha, 150},
            {"Champ19", pxfAlpha, 150},    {"Nom_annuaire", pxfAlpha, 150}};
}

// The history table: the id first, the long texts as memos.
inline std::vector<PxColumn> historyColumns()
{
    return {{"id", pxfAutoInc, 4},        {"sujet", pxfAlpha, 254},    {"texte", pxfMemoBLOb, 20},
            {"date_msg", pxfAlpha, 10},   {"nom_annuaire", pxfMemoBLOb, 20}, {"fichiers", pxfMemoBLOb, 20},
            {"images", pxfMemoBLOb, 20},  {"html", pxfAlpha, 1},       {"chemin_page_html", pxfAlpha, 255}};
}

} // namespace kirvane::test
