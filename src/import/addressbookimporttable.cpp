#include "import/addressbookimporttable.h"

#include "store/bookfiles.h"
#include "store/database.h"
#include "store/worktables.h"

#include <QFile>

#include <algorithm>

namespace kirvane::import {

using namespace kirvane::store;

void buildAddressBookTable(const BookFiles &files, bool preview, int previewRows, const AddressBookEntries &reader,
                           const WorkProgress &progress)
{
    const QString path = files.filePath(QStringLiteral("tmp_base.db"));
    QFile::remove(path);
    // A journal left by an interrupted run would be played back into the new file.
    QFile::remove(BookFiles::journalOf(path));
    auto db = Database::open(path, Database::Mode::Create);
    db->exec(QStringLiteral("CREATE TABLE t (DISPLAY_NAME TEXT)"));
    const int count = reader.count ? reader.count() : 0;
    auto report = [&](int value, int maximum) {
        if (progress.bar)
            progress.bar(value, maximum);
    };
    report(0, count);
    QStringList known = {QStringLiteral("display_name")};
    Transaction tx(*db);
    for (int e = 0; e < count; ++e) {
        if (preview && e >= previewRows)
            break;
        report(e + 1, count);
        QStringList names, values;
        for (const QString &line : reader.properties(e)) {
            const int eq = line.indexOf(u'=');
            if (eq < 0)
                continue;
            const QString name = line.left(eq).left(25);
            if (name.contains(u'[') || name.trimmed().isEmpty())
                continue;
            const QString lname = name.toLower();
            // One column per name whatever its letter case; the last value wins.
            const auto seen = std::find_if(names.begin(), names.end(), [&](const QString &n) {
                return n.compare(name, Qt::CaseInsensitive) == 0;
            });
            if (seen != names.end()) {
                values[seen - names.begin()] = line.mid(eq + 1);
                continue;
            }
            if (!known.contains(lname)) {
                try {
                    db->exec(QStringLiteral("ALTER TABLE t ADD COLUMN %1 TEXT").arg(quoteIdentifier(name)));
                } catch (const StoreError &) {
                    // the column may exist under another letter case
                }
                known << lname;
            }
            names << name;
            values << line.mid(eq + 1);
        }
        if (names.isEmpty())
            continue;
        QStringList quoted, marks;
        for (const QString &n : names) {
            quoted << quoteIdentifier(n);
            marks << QStringLiteral("?");
        }
        Statement s = db->prepare(QStringLiteral("INSERT INTO t (%1) VALUES (%2)").arg(quoted.join(u','), marks.join(u',')));
        for (int i = 0; i < values.size(); ++i)
            s.bind(i + 1, values[i]);
        s.run();
    }
    tx.commit();
}

} // namespace kirvane::import
