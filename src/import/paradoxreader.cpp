// Paradox tables (versions 3 to 7) through pxlib: the table named after its
// file, read through ParadoxTable (memo texts from the .MB file beside it,
// text in the table's code page).
#include "import/paradoxtable.h"
#include "import/sourcefile.h"

#include <QFile>
#include <QFileInfo>

namespace kirvane::import {

namespace {

class ParadoxFile : public SourceFile {
public:
    explicit ParadoxFile(const QString &path) : m_path(path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            throw SourceError(QStringLiteral("%1: %2").arg(path, f.errorString()));
        const QByteArray head = f.read(6);
        // A header length within the file and the file type of a table (0
        // keyed, 2 unkeyed): pxlib itself trusts the header as it finds it.
        const int headerSize = head.size() == 6 ? quint8(head[2]) | quint8(head[3]) << 8 : 0;
        const int type = head.size() == 6 ? quint8(head[4]) : -1;
        if (headerSize < 0x58 || headerSize > f.size() || (type != 0 && type != 2))
            throw SourceError(QStringLiteral("%1: not a Paradox table").arg(path));
        (void)ParadoxTable(path); // throws for a header pxlib cannot read
    }

    QStringList tables() const override { return {QFileInfo(m_path).completeBaseName()}; }

    SourceTable read(const QString &table, int rowLimit) override
    {
        if (table.compare(tables().first(), Qt::CaseInsensitive) != 0)
            throw SourceError(QStringLiteral("%1: no table %2").arg(m_path, table));
        ParadoxTable px(m_path);
        SourceTable t;
        t.name = table;
        t.columns = px.columns();
        const int records = px.recordCount();
        for (int r = 0; r < records && (rowLimit < 0 || int(t.rows.size()) < rowLimit); ++r) {
            QStringList row = px.record(r);
            if (row.isEmpty())
                break;
            t.rows.push_back(std::move(row));
        }
        return t;
    }

private:
    QString m_path;
};

} // namespace

std::unique_ptr<SourceFile> openParadox(const QString &path)
{
    return std::make_unique<ParadoxFile>(path);
}

} // namespace kirvane::import
