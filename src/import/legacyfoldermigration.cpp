#include "import/legacyfoldermigration.h"

#include "import/paradoxtable.h"
#include "import/sourcefile.h"

#include "common/folders.h"
#include "store/bookfiles.h"
#include "store/contactrecord.h"
#include "store/database.h"
#include "store/tableformat.h"
#include "store/tableschemas.h"
#include "texts/texttable.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

namespace kirvane::import {

using namespace kirvane::common;
using namespace kirvane::store;

namespace {

const QString kBuilding = QStringLiteral(".db.migrating");
const QString kComplete = QStringLiteral(".db.migrated");

// The files that belong to a Paradox table besides its .DB: primary index,
// memos, secondary indexes, validity checks, table view, family.
bool isCompanionSuffix(const QString &suffix)
{
    static const QRegularExpression companion(QStringLiteral("^(px|mb|val|tv|fam|[xy][0-9a-f]{2}|[xy]g[0-9a-f])$"),
                                              QRegularExpression::CaseInsensitiveOption);
    return companion.match(suffix).hasMatch();
}

QString withSlash(const QString &folder) { return folder.endsWith(u'/') ? folder : folder + u'/'; }

// A table of the earlier format found in a folder, or the complete file an
// interrupted run left for it.
struct Source {
    LegacyTable::Kind kind = LegacyTable::Kind::Book;
    QString folder;  // with a trailing '/'
    QString base;    // "an_clients"
    QString dbFile;  // the Paradox .DB's name in folder; empty when it is gone
};

bool kindOf(const QString &base, bool historyFolder, LegacyTable::Kind *kind)
{
    const auto is = [&](const char *name) { return base.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
    if (historyFolder) {
        *kind = LegacyTable::Kind::History;
        return is("historique");
    }
    if (base.startsWith(QLatin1String("an_"), Qt::CaseInsensitive) && base.size() > 3)
        *kind = LegacyTable::Kind::Book;
    else if (is("vierge"))
        *kind = LegacyTable::Kind::Template;
    else if (is("listenoire") || is("fusion_mnl") || is("tmp_base"))
        *kind = LegacyTable::Kind::WorkTable;
    else
        return false;
    return true;
}

std::vector<Source> scanFolder(const QString &folder, bool historyFolder)
{
    std::vector<Source> found;
    if (!QFileInfo(folder).isDir())
        return found;
    const auto add = [&](const QString &base, const QString &dbFile) {
        LegacyTable::Kind kind;
        if (!kindOf(base, historyFolder, &kind))
            return;
        for (Source &s : found)
            if (s.base == base) {
                if (!dbFile.isEmpty())
                    s.dbFile = dbFile;
                return;
            }
        found.push_back({kind, folder, base, dbFile});
    };
    const QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &e : files) {
        if (e.endsWith(kComplete))
            add(e.chopped(kComplete.size()), QString());
        else if (e.endsWith(QLatin1String(".db"), Qt::CaseInsensitive) && tableFormatOf(folder + e) == TableFormat::Paradox)
            add(e.chopped(3), e);
    }
    std::sort(found.begin(), found.end(), [](const Source &a, const Source &b) {
        return a.kind != b.kind ? int(a.kind) < int(b.kind) : a.base.compare(b.base, Qt::CaseInsensitive) < 0;
    });
    return found;
}

int columnIndex(const QStringList &columns, const QString &name)
{
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

// The columns of the table built, the id first.
QStringList targetColumns(LegacyTable::Kind kind)
{
    if (kind == LegacyTable::Kind::History)
        return {QStringLiteral("id"), QStringLiteral("sujet"), QStringLiteral("texte"), QStringLiteral("date_msg"),
                kBookNameColumn, QStringLiteral("fichiers"), QStringLiteral("images"), QStringLiteral("html"),
                QStringLiteral("chemin_page_html")};
    QStringList columns = contactColumns();
    columns << kBookNameColumn;
    return columns;
}

qint64 rowCount(const QString &tableFile)
{
    auto db = Database::open(tableFile, Database::Mode::ReadOnly);
    Statement s = db->prepare(QStringLiteral("SELECT count(*) FROM t"));
    return s.step() ? s.int64(0) : 0;
}

QSet<qint64> idsOf(const QString &tableFile)
{
    QSet<qint64> ids;
    auto db = Database::open(tableFile, Database::Mode::ReadOnly);
    Statement s = db->prepare(QStringLiteral("SELECT id FROM t"));
    while (s.step())
        ids.insert(s.int64(0));
    return ids;
}

[[noreturn]] void failWith(const QString &why) { throw SourceError(why); }

} // namespace

QList<LegacyTable> MigrationReport::failures() const
{
    QList<LegacyTable> failed;
    for (const LegacyTable &t : tables)
        if (!t.error.isEmpty())
            failed << t;
    return failed;
}

struct LegacyFolderMigration::Work {
    bool dryRun = false;
    QString date;
    MigrationReport *report = nullptr;
    std::function<void(const QString &)> step;
    Source source;

    void tell(const QString &what) const
    {
        if (step)
            step(what);
    }

    QString target() const
    {
        return source.kind == LegacyTable::Kind::History
                   ? BookFiles::findTable(source.folder, QStringLiteral("historique.db"))
                   : BookFiles::findTable(source.folder, source.base + QStringLiteral(".db"));
    }

    // Moves the originals into paradox-<date>/ of their folder: the other
    // files first, the .DB last, so that a table whose .DB is still in place
    // is still to be moved.
    void moveOriginals() const
    {
        QStringList files;
        for (const QString &e : QDir(source.folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name)) {
            const QFileInfo fi(e);
            if (e != source.dbFile && fi.completeBaseName() == source.base && isCompanionSuffix(fi.suffix()))
                files << e;
        }
        files << source.dbFile;
        for (const QString &e : files)
            moveAside(e);
    }

    void moveAside(const QString &file) const
    {
        for (int n = 1;; ++n) {
            const QString folder = source.folder + QStringLiteral("paradox-") + date +
                                   (n > 1 ? QStringLiteral("-%1").arg(n) : QString());
            if (QFileInfo::exists(folder + u'/' + file))
                continue;
            if (!makeFolder(folder))
                failWith(QStringLiteral("cannot create the folder %1").arg(folder));
            QString why;
            if (!BookFiles::renameNoReplace(source.folder + file, folder + u'/' + file, &why))
                failWith(QStringLiteral("cannot move %1 into %2: %3").arg(file, folder, why));
            const QString shown = QDir::toNativeSeparators(folder);
            if (!report->keptIn.contains(shown))
                report->keptIn << shown;
            tell(QStringLiteral("moved %1 into %2").arg(file, folder));
            return;
        }
    }

    // Reads every record of the Paradox table, in a strict reading, handing
    // each to take as the values of the target's columns (id first).
    void readRecords(LegacyTable &table, const std::function<void(const QStringList &)> &take) const
    {
        ParadoxTable px(source.folder + source.dbFile, ParadoxTable::Reading::Strict);
        const QStringList wanted = targetColumns(source.kind);
        std::vector<int> from;
        for (const QString &c : wanted)
            from.push_back(columnIndex(px.columns(), c));
        // The history's id is the first column whatever its name.
        if (from[0] < 0 && source.kind == LegacyTable::Kind::History && !px.columns().isEmpty())
            from[0] = 0;
        for (int i = 0; i < px.columns().size(); ++i)
            if (std::find(from.begin(), from.end(), i) == from.end())
                table.unknownColumns << px.columns()[i];
        const int records = px.recordCount();
        QStringList values;
        for (int r = 0; r < records; ++r) {
            const QStringList row = px.record(r);
            values.clear();
            for (size_t k = 0; k < from.size(); ++k) {
                const int i = from[k];
                QString v = i < 0 ? QString() : row[i];
                if (i >= 0 && px.isDateColumn(i) && !v.isEmpty())
                    v = QDate::fromString(v, Qt::ISODate).toString(QStringLiteral("dd/MM/yyyy"));
                values << v;
            }
            take(values);
            if ((r + 1) % 1000 == 0)
                tell(QStringLiteral("%1: %2 records read").arg(source.base).arg(r + 1));
        }
    }

    // Writes the table into <base>.db.migrating, then names it
    // <base>.db.migrated: complete, or not there at all.
    void build(LegacyTable &table) const
    {
        const QString building = source.folder + source.base + kBuilding;
        const QString complete = source.folder + source.base + kComplete;
        const QString target = this->target();
        const bool targetThere = tableFormatOf(target) == TableFormat::Sqlite;
        QSet<qint64> used;
        if (targetThere && source.kind == LegacyTable::Kind::Book && rowCount(target) > 0)
            failWith(QStringLiteral("an address book of that name already holds contacts (%1); both are kept")
                         .arg(QFileInfo(target).fileName()));
        QFile::remove(building);
        QFile::remove(BookFiles::journalOf(building));
        const bool merge = targetThere && source.kind == LegacyTable::Kind::History && rowCount(target) > 0;
        try {
            if (merge) {
                // Records written since the folder was opened with this program stay.
                Database::settle(target);
                used = idsOf(target);
                if (!QFile::copy(target, building))
                    failWith(QStringLiteral("cannot copy %1").arg(target));
            }
            auto db = Database::open(building, Database::Mode::Create);
            if (!merge)
                db->exec(source.kind == LegacyTable::Kind::History ? historyTableSql() : bookTableSql());
            const QStringList columns = targetColumns(source.kind);
            QString marks = QStringLiteral("?");
            for (int i = 1; i < columns.size(); ++i)
                marks += QStringLiteral(",?");
            Transaction tx(*db);
            Statement insert = db->prepare(
                QStringLiteral("INSERT INTO t (%1) VALUES (%2)").arg(columns.join(u','), marks));
            const QSet<qint64> before = used;
            std::vector<QStringList> renumbered; // blank or repeated ids, given new ones after the others
            const auto write = [&](const QStringList &values, bool keepId) {
                if (keepId)
                    insert.bind(1, values[0].toLongLong());
                else
                    insert.bindNull(1);
                for (int k = 1; k < values.size(); ++k)
                    insert.bind(k + 1, values[k]);
                insert.run();
                insert.reset();
            };
            readRecords(table, [&](const QStringList &values) {
                bool ok = false;
                const qint64 id = values[0].trimmed().toLongLong(&ok);
                if (ok && before.contains(id))
                    failWith(QStringLiteral("the history table already holds a record numbered %1; both are kept").arg(id));
                if (!ok || used.contains(id)) {
                    renumbered.push_back(values);
                    return;
                }
                used.insert(id);
                write(values, true);
                ++table.rows;
            });
            for (const QStringList &values : renumbered) {
                write(values, false);
                ++table.rows;
            }
            tx.commit();
        } catch (...) {
            QFile::remove(building);
            QFile::remove(BookFiles::journalOf(building));
            throw;
        }
        if (!QFile::rename(building, complete)) {
            QFile::remove(building);
            failWith(QStringLiteral("cannot rename %1").arg(building));
        }
        tell(QStringLiteral("%1: complete").arg(source.base));
    }

    // Renames the complete table into place: beside nothing, over the empty
    // table the store made meanwhile, or over the history it was merged with.
    qint64 place() const
    {
        const QString complete = source.folder + source.base + kComplete;
        QString target = this->target();
        const bool targetThere = tableFormatOf(target) == TableFormat::Sqlite;
        if (!targetThere && QFileInfo::exists(target))
            target = source.folder + source.base + QStringLiteral(".db"); // a Paradox table of that very name is gone
        qint64 rows = rowCount(complete);
        QString why;
        if (targetThere) {
            Database::settle(target);
            const qint64 had = rowCount(target);
            if (source.kind == LegacyTable::Kind::Book && had > 0)
                failWith(QStringLiteral("an address book of that name already holds contacts (%1); both are kept")
                             .arg(QFileInfo(target).fileName()));
            if (source.kind == LegacyTable::Kind::History)
                rows -= had;
            if (std::rename(QFile::encodeName(complete).constData(), QFile::encodeName(target).constData()) != 0)
                failWith(QStringLiteral("cannot put %1 in place: %2").arg(complete, BookFiles::systemMessage(errno)));
        } else if (!BookFiles::renameNoReplace(complete, target, &why)) {
            failWith(QStringLiteral("cannot put %1 in place: %2").arg(complete, why));
        }
        BookFiles::dropStrayJournal(target);
        tell(QStringLiteral("%1: in place").arg(source.base));
        return rows;
    }
};

LegacyFolderMigration::LegacyFolderMigration(QString dataFolder) : m_folder(withSlash(std::move(dataFolder))) {}

namespace {

std::vector<Source> scanDataFolder(const QString &dataFolder)
{
    std::vector<Source> all = scanFolder(withSlash(findNoCase(dataFolder, QStringLiteral("Annuaires"))), false);
    for (Source &s : scanFolder(withSlash(findNoCase(dataFolder, QStringLiteral("historique"))), true))
        all.push_back(std::move(s));
    // The template and the work tables go first, so that the store makes its
    // own in their place; then the books and the history.
    std::stable_sort(all.begin(), all.end(), [](const Source &a, const Source &b) {
        const auto rank = [](LegacyTable::Kind k) {
            return k == LegacyTable::Kind::Template || k == LegacyTable::Kind::WorkTable ? 0 : 1;
        };
        return rank(a.kind) < rank(b.kind);
    });
    return all;
}

} // namespace

bool LegacyFolderMigration::needed() const { return !scanDataFolder(m_folder).empty(); }

MigrationReport LegacyFolderMigration::run(bool dryRun)
{
    MigrationReport report;
    report.dryRun = dryRun;
    Work work;
    work.dryRun = dryRun;
    work.date = QDate::currentDate().toString(Qt::ISODate);
    work.report = &report;
    work.step = onStep;
    bool folderReady = dryRun;
    for (const Source &source : scanDataFolder(m_folder)) {
        LegacyTable table;
        table.kind = source.kind;
        table.name = source.base;
        const bool remade = source.kind == LegacyTable::Kind::Template || source.kind == LegacyTable::Kind::WorkTable;
        if (!remade && !folderReady) {
            // A fresh template and history table beside the old ones.
            QString error;
            folderReady = BookFiles::ensureDataFolder(m_folder, &error);
            if (!folderReady) {
                table.error = error;
                report.tables << table;
                continue;
            }
        }
        work.source = source;
        bringAcross(work, table);
        report.tables << table;
        if (!table.error.isEmpty() || remade)
            continue;
        if (source.kind == LegacyTable::Kind::Book) {
            ++report.books;
            report.contacts += table.rows;
        } else {
            report.historyRecords += table.rows;
        }
    }
    QString ignored;
    if (!dryRun) // a template or history table of the earlier format under our very name is gone now
        (void)BookFiles::ensureDataFolder(m_folder, &ignored);
    if (dryRun)
        for (const LegacyTable &t : report.tables)
            if (t.error.isEmpty()) {
                const QString folder = QDir::toNativeSeparators(
                    withSlash(findNoCase(m_folder, t.kind == LegacyTable::Kind::History ? QStringLiteral("historique")
                                                                                        : QStringLiteral("Annuaires"))) +
                    QStringLiteral("paradox-") + work.date);
                if (!report.keptIn.contains(folder))
                    report.keptIn << folder;
            }
    return report;
}

void LegacyFolderMigration::bringAcross(Work &work, LegacyTable &table)
{
    const Source &source = work.source;
    const bool remade = source.kind == LegacyTable::Kind::Template || source.kind == LegacyTable::Kind::WorkTable;
    try {
        if (work.dryRun) {
            if (remade)
                return;
            if (source.dbFile.isEmpty())
                table.rows = rowCount(source.folder + source.base + kComplete);
            else
                work.readRecords(table, [&](const QStringList &) { ++table.rows; });
            return;
        }
        if (remade) {
            work.moveOriginals();
            return;
        }
        if (!source.dbFile.isEmpty()) {
            if (!QFileInfo::exists(source.folder + source.base + kComplete))
                work.build(table);
            work.moveOriginals();
        }
        table.rows = work.place();
    } catch (const SourceError &e) {
        table.error = QString::fromUtf8(e.what());
    } catch (const StoreError &e) {
        table.error = QString::fromUtf8(e.what());
    }
    // A reason names the folder of the data; the table is named apart.
    table.error.replace(source.folder, QString());
}

QString noticeText(const MigrationReport &report, int language)
{
    if (report.dryRun || !report.broughtAcross())
        return {};
    const QLocale locale(language == texts::French ? QLocale::French : QLocale::English);
    return texts::text(texts::LegacyFolderBroughtAcross, language)
        .arg(locale.toString(report.books), locale.toString(report.contacts), locale.toString(report.historyRecords),
             report.keptIn.join(QStringLiteral(", ")));
}

QStringList failureTexts(const MigrationReport &report, int language)
{
    QStringList out;
    for (const LegacyTable &t : report.failures())
        out << texts::text(texts::LegacyTableNotBroughtAcross, language).arg(t.name, t.error);
    return out;
}

} // namespace kirvane::import
