// migrate [--dry-run]: brings a data folder whose tables are in the earlier
// Paradox format across, as the desktop program does at start-up, and prints
// what was (or would be) brought across as one JSON object.
#include "cli/cli.h"

#include "common/folders.h"
#include "import/legacyfoldermigration.h"
#include "texts/texttable.h"

using namespace kirvane::import;

namespace kirvane::cli {

namespace {

QString kindName(LegacyTable::Kind kind)
{
    switch (kind) {
    case LegacyTable::Kind::Book: return QStringLiteral("book");
    case LegacyTable::Kind::History: return QStringLiteral("history");
    case LegacyTable::Kind::Template: return QStringLiteral("template");
    case LegacyTable::Kind::WorkTable: return QStringLiteral("work table");
    }
    return {};
}

} // namespace

int runMigrateCommand(QStringList args)
{
    const bool dryRun = takeFlag(args, QStringLiteral("dry-run"));
    if (!args.isEmpty())
        return fail(QStringLiteral("usage: migrate [--dry-run]"));
    LegacyFolderMigration migration(common::dataFolder());
    // Each step on standard error as it happens: a long migration shows it
    // is going on.
    migration.onStep = [](const QString &step) { err() << "kirvane-cli: migrate: " << step << Qt::endl; };
    const MigrationReport report = migration.run(dryRun);
    QStringList tables;
    for (const LegacyTable &t : report.tables) {
        QString row = QStringLiteral("{\"table\":%1,\"kind\":%2,\"rows\":%3")
                          .arg(jsonString(t.name), jsonString(kindName(t.kind)))
                          .arg(t.rows);
        if (!t.unknownColumns.isEmpty())
            row += QStringLiteral(",\"columns_left_out\":") + jsonList(t.unknownColumns);
        if (!t.error.isEmpty())
            row += QStringLiteral(",\"error\":") + jsonString(t.error);
        tables << row + u'}';
    }
    out() << "{\"dry_run\":" << (dryRun ? "true" : "false") << ",\"books\":" << report.books
          << ",\"contacts\":" << report.contacts << ",\"history_records\":" << report.historyRecords
          << ",\"kept_in\":" << jsonList(report.keptIn) << ",\"tables\":[" << tables.join(u',') << ']'
          << ",\"message\":" << jsonString(noticeText(report, texts::ActiveLanguage))
          << ",\"failures\":" << jsonList(failureTexts(report, texts::ActiveLanguage)) << '}' << Qt::endl;
    return report.failures().isEmpty() ? 0 : 1;
}

} // namespace kirvane::cli
