#pragma once
// LegacyFolderMigration: brings a data folder whose tables are in the earlier
// Paradox format across to ours, once, keeping the originals. Every address
// book an_<name>.DB (with its .PX index and .MB memos) becomes the SQLite book
// of the same name with every column and id; historique/historique.DB goes
// into the history table with its ids, so the record folders historique/<id>/
// still belong to their records; the template and the work tables (vierge,
// listenoire, fusion_mnl, tmp_base) are remade by the store rather than
// brought across. The original files are moved, never deleted, into
// Annuaires/paradox-<date>/ and historique/paradox-<date>/; label files,
// titre.ini and config.ini stay where they are and are read as they are.
//
// All or nothing per table, and restartable: a table is written to
// <table>.db.migrating, renamed <table>.db.migrated once complete, its
// originals are moved aside, and only then is it renamed into place. A run
// stopped at any point (a damaged table, a full disk, kill -9) leaves no half
// book under a book's name; the next run takes up each table where it stood,
// losing and doubling nothing. A table that cannot be read is reported by name
// with the reason and left where it is; the others are brought across.
//
//     LegacyFolderMigration migration(dataFolder());
//     if (migration.needed()) {
//         const MigrationReport report = migration.run();
//         show(noticeText(report)); // and failureTexts(report)
//     }
//
// No widgets; run() never throws and takes the time the tables take (start-up
// runs it on a worker thread).

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace kirvane::import {

// One table of the earlier format and what became of it.
struct LegacyTable {
    enum class Kind { Book, History, Template, WorkTable };
    Kind kind = Kind::Book;
    QString name;  // the file's base name: "an_clients", "historique", "vierge"
    qint64 rows = 0; // contacts or history records brought (or to be brought) across
    QString error;   // why it was not brought across; empty when it was
    QStringList unknownColumns; // columns of the old table that no column of ours takes
};

struct MigrationReport {
    bool dryRun = false;
    int books = 0;
    qint64 contacts = 0;
    qint64 historyRecords = 0;
    QStringList keptIn; // the folders that hold (or would hold) the originals
    QList<LegacyTable> tables;

    [[nodiscard]] bool broughtAcross() const { return books > 0 || historyRecords > 0 || !keptIn.isEmpty(); }
    [[nodiscard]] QList<LegacyTable> failures() const;
};

class LegacyFolderMigration {
public:
    explicit LegacyFolderMigration(QString dataFolder);

    // True when the folder holds a table of the earlier format, or a table an
    // interrupted run left to be put in place.
    [[nodiscard]] bool needed() const;

    // Brings the folder across; with dryRun, reads every table and reports
    // what would be brought across, changing nothing.
    [[nodiscard]] MigrationReport run(bool dryRun = false);

    // Told of each step that changes the folder (a table complete, a file
    // moved, a table in place) and of every thousand records written, with a
    // few words. Optional.
    std::function<void(const QString &step)> onStep;

private:
    struct Work;
    void bringAcross(Work &work, LegacyTable &table);
    QString m_folder;
};

// "12 address books, 48,210 contacts and 37 history records were brought
// across ...; the original files are kept in <folders>." in the language;
// empty when nothing was.
[[nodiscard]] QString noticeText(const MigrationReport &report, int language);
// One text per table that could not be brought across, with its reason.
[[nodiscard]] QStringList failureTexts(const MigrationReport &report, int language);

} // namespace kirvane::import
