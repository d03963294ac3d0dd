// Access databases (.mdb, .accdb) through mdbtools: the user tables in the
// order of the database's catalogue, every value as the library writes it as
// text; OLE objects and binary columns stay empty.
#include "import/sourcefile.h"

#include <QFile>

#include <mdbtools.h>

#include <memory>

namespace kirvane::import {

namespace {

constexpr size_t kBindSize = 256 * 1024; // long enough for a memo of a contact's notes

class AccessFile : public SourceFile {
public:
    explicit AccessFile(const QString &path) : m_path(path)
    {
        m_mdb = mdb_open(QFile::encodeName(path).constData(), MDB_NOFLAGS);
        if (!m_mdb)
            throw SourceError(QStringLiteral("%1: not an Access database").arg(path));
        mdb_set_bind_size(m_mdb, kBindSize);
        mdb_set_date_fmt(m_mdb, "%Y-%m-%d %H:%M:%S");
        if (!mdb_read_catalog(m_mdb, MDB_TABLE)) {
            mdb_close(m_mdb);
            throw SourceError(QStringLiteral("%1: the catalogue of the database cannot be read").arg(path));
        }
        for (unsigned i = 0; i < m_mdb->num_catalog; ++i) {
            auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(m_mdb->catalog, i));
            if (entry->object_type == MDB_TABLE && !mdb_is_system_table(entry))
                m_tables << QString::fromUtf8(entry->object_name);
        }
    }
    ~AccessFile() override { mdb_close(m_mdb); }

    QStringList tables() const override { return m_tables; }

    SourceTable read(const QString &name, int rowLimit) override
    {
        if (!m_tables.contains(name))
            throw SourceError(QStringLiteral("%1: no table %2").arg(m_path, name));
        QByteArray utf8 = name.toUtf8();
        MdbTableDef *table = mdb_read_table_by_name(m_mdb, utf8.data(), MDB_TABLE);
        if (!table || !mdb_read_columns(table)) {
            if (table)
                mdb_free_tabledef(table);
            throw SourceError(QStringLiteral("%1: table %2 cannot be read").arg(m_path, name));
        }
        SourceTable t;
        t.name = name;
        const unsigned columns = table->num_cols;
        std::vector<std::unique_ptr<char[]>> buffers;
        std::vector<int> lengths(columns, 0);
        std::vector<bool> binary(columns, false);
        for (unsigned c = 0; c < columns; ++c) {
            auto *col = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, c));
            t.columns << QString::fromUtf8(col->name);
            binary[c] = col->col_type == MDB_OLE || col->col_type == MDB_BINARY || col->col_type == MDB_COMPLEX;
            buffers.push_back(std::make_unique<char[]>(kBindSize));
            mdb_bind_column(table, int(c + 1), buffers.back().get(), &lengths[c]);
        }
        mdb_rewind_table(table);
        while ((rowLimit < 0 || int(t.rows.size()) < rowLimit) && mdb_fetch_row(table)) {
            QStringList row;
            for (unsigned c = 0; c < columns; ++c)
                row << (binary[c] || lengths[c] <= 0 ? QString()
                                                      : QString::fromUtf8(buffers[c].get(), qstrnlen(buffers[c].get(), size_t(lengths[c]))));
            t.rows.push_back(row);
        }
        mdb_free_tabledef(table);
        return t;
    }

private:
    QString m_path;
    MdbHandle *m_mdb = nullptr;
    QStringList m_tables;
};

} // namespace

std::unique_ptr<SourceFile> openAccess(const QString &path)
{
    return std::make_unique<AccessFile>(path);
}

} // namespace kirvane::import
