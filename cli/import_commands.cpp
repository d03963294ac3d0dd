// tables, import: the readers of the import sources and the import of a
// table's rows into an address book, through the classes the wizard uses.
#include "cli/cli.h"

#include "import/contactimport.h"
#include "import/importsession.h"
#include "import/sourcefile.h"
#include "texts/texttable.h"
#include "store/contactrecord.h"
#include "common/folders.h"
#include "store/addressbookstore.h"

#include <QFileInfo>

namespace kirvane::cli {

namespace {

using namespace kirvane::import;
using kirvane::store::AddressBookStore;

QString oneLine(int entry)
{
    return texts::lines(entry).join(u' ').simplified();
}

// The file's kind from --kind, else from its extension.
bool sourceKind(QStringList &args, const QString &path, SourceKind *kind, QString *error)
{
    QString name;
    if (takeOption(args, QStringLiteral("kind"), &name)) {
        const auto k = kindFromName(name);
        if (!k) {
            *error = QStringLiteral("unknown kind \"%1\" (csv, access, excel, lotus, paradox, dbase, wab, xlsx, ods, vcard)").arg(name);
            return false;
        }
        *kind = *k;
        return true;
    }
    const auto k = kindOfFile(path);
    if (!k) {
        *error = QStringLiteral("%1: the kind cannot be told from the file or its extension; give --kind").arg(path);
        return false;
    }
    *kind = *k;
    return true;
}

int badFormat(const QString &why)
{
    return fail(oneLine(texts::ImportBadFormat) + QLatin1String(" (") + why + u')');
}

int badFormat(const SourceError &e)
{
    return badFormat(QString::fromStdString(e.what()));
}

int tablesCommand(QStringList args)
{
    SourceKind kind{};
    QString error, previewText;
    const bool preview = takeOption(args, QStringLiteral("preview"), &previewText);
    const QString path = args.value(0);
    if (args.size() < 1 || !sourceKind(args, path, &kind, &error))
        return fail(error.isEmpty() ? QStringLiteral("usage: tables FILE [--kind K] [--preview N]") : error);
    if (args.size() != 1)
        return fail(QStringLiteral("usage: tables FILE [--kind K] [--preview N]"));
    AddressBookStore store;
    store.initDataFolder();
    try {
        auto file = openSource(path, kind, &store.files());
        for (const QString &name : file->tables()) {
            const SourceTable t = file->read(name);
            out() << QStringLiteral("{\"name\":%1,\"columns\":%2,\"rows\":%3")
                         .arg(jsonString(name), jsonList(t.columns))
                         .arg(t.rows.size());
            if (preview) {
                QStringList first;
                for (size_t r = 0; r < t.rows.size() && r < size_t(previewText.toUInt()); ++r)
                    first << jsonList(t.rows[r]);
                out() << QStringLiteral(",\"preview\":[%1]").arg(first.join(u','));
            }
            out() << "}\n";
        }
    } catch (const SourceError &e) {
        return badFormat(e);
    }
    out().flush();
    return 0;
}

// FIELD=COLUMN pairs into one field per source column; unnamed columns are unused.
bool parseMapping(const QString &text, const QStringList &columns, QList<int> *mapping, QString *error)
{
    *mapping = QList<int>(columns.size(), kUnused);
    QList<int> given(columns.size(), 0);
    for (const QString &pair : text.split(u',', Qt::SkipEmptyParts)) {
        const qsizetype eq = pair.indexOf(u'=');
        const int field = eq > 0 ? fieldOfColumnName(pair.left(eq).trimmed()) : kNotIdentified;
        if (field == kNotIdentified) {
            *error = QStringLiteral("\"%1\": FIELD=COLUMN with FIELD one of nom ... champ19").arg(pair);
            return false;
        }
        const QString col = pair.mid(eq + 1).trimmed();
        qsizetype index = columns.indexOf(col);
        if (index < 0) {
            for (qsizetype i = 0; i < columns.size() && index < 0; ++i)
                if (columns[i].compare(col, Qt::CaseInsensitive) == 0)
                    index = i;
        }
        bool number = false;
        const int n = col.toInt(&number);
        if (index < 0 && number && n >= 1 && n <= columns.size())
            index = n - 1;
        if (index < 0) {
            *error = QStringLiteral("no column \"%1\" in the table").arg(col);
            return false;
        }
        if (given[index]++) {
            *error = QStringLiteral("column \"%1\" is mapped twice").arg(col);
            return false;
        }
        (*mapping)[index] = field;
    }
    return true;
}

// The mapping --map auto chose, one line per column, and whether the first
// line was taken for headings.
void printMapping(const ImportSession &session, bool headingLine)
{
    const QStringList &headings = session.columns();
    for (int c = 0; c < session.columnCount(); ++c) {
        const int field = session.mapping().value(c);
        out() << "map " << jsonString(headings.value(c)) << " -> "
              << (field >= store::F_nom ? store::contactColumns()[field] : QStringLiteral("unused")) << '\n';
    }
    out() << (headingLine ? "first line: headings, skipped\n" : "first line: a contact\n");
}

int importCommand(QStringList args)
{
    static const QString usage = QStringLiteral(
        "usage: import BOOK FILE [--kind K] [--table T] --map FIELD=COLUMN[,...]|auto [--skip-header] "
        "[--existing add|skip|update] [--labels L1,L2,L3,L4]");
    QString map, table, labelText, existingText, error;
    const bool skipHeader = takeFlag(args, QStringLiteral("skip-header"));
    const bool haveMap = takeOption(args, QStringLiteral("map"), &map);
    const bool haveTable = takeOption(args, QStringLiteral("table"), &table);
    const bool haveLabels = takeOption(args, QStringLiteral("labels"), &labelText);
    const bool haveExisting = takeOption(args, QStringLiteral("existing"), &existingText);
    SourceKind kind{};
    if (args.size() < 2 || !sourceKind(args, args.value(1), &kind, &error))
        return fail(error.isEmpty() ? usage : error);
    if (args.size() != 2 || !haveMap)
        return fail(usage);
    const QString book = args[0];
    const QStringList labels = labelText.split(u',');
    if (haveLabels && labels.size() != 4)
        return fail(QStringLiteral("--labels takes four labels separated by commas"));
    const auto existing = haveExisting ? existingFromName(existingText) : ExistingAddress::Add;
    if (!existing)
        return fail(QStringLiteral("--existing takes add, skip or update"));

    AddressBookStore store;
    store.initDataFolder();
    if (!store.files().bookExists(book))
        return fail(QStringLiteral("no address book named \"%1\"").arg(book));
    ImportSession session(&store.files());
    session.setKind(kind);
    if (!session.openFile(args[1]))
        return badFormat(session.error());
    if (!haveTable)
        table = session.preselectedTable();
    else if (!session.tables().contains(table))
        return fail(QStringLiteral("no table \"%1\" in %2 (see kirvane-cli tables)").arg(table, args[1]));
    if (!session.openTable(table))
        return badFormat(session.error());
    const bool automatic = map == QLatin1String("auto");
    bool skip = skipHeader;
    if (automatic) {
        if (!session.firstLineIsHeading())
            return fail(QStringLiteral("the first line does not read as headings; give --map FIELD=COLUMN[,...]"));
        skip = true;
        printMapping(session, skip);
    } else {
        QList<int> mapping;
        if (!parseMapping(map, session.columns(), &mapping, &error))
            return fail(error);
        for (int c = 0; c < mapping.size(); ++c)
            session.mapColumn(c, mapping[c]);
    }
    const QList<MappingProblem> problems = session.problems();
    if (!problems.isEmpty()) {
        QStringList texts;
        for (MappingProblem p : problems)
            texts << oneLine(problemEntry(p));
        return fail(texts.join(u' '));
    }
    if (haveLabels && !store::writeLabels(store.files().labelPath(book), labels))
        return fail(QStringLiteral("cannot write %1").arg(store.files().labelPath(book)));

    ImportOptions options;
    options.skipHeader = skip;
    options.existing = *existing;
    options.titlesPath = common::findNoCase(common::dataFolder(), QStringLiteral("titre.ini"));
    const ImportResult r = session.importInto(store.files(), book, options);
    if (!r.ok)
        return fail(oneLine(texts::ImportError) + QLatin1String(": ") + r.error);
    out() << "added " << r.added << '\n';
    if (haveExisting)
        out() << "updated " << r.updated << '\n' << "skipped " << r.skipped << '\n';
    out() << "refused " << r.refused << '\n';
    for (auto it = r.reasons.cbegin(); it != r.reasons.cend(); ++it)
        out() << "  " << it.value() << ": " << it.key() << '\n';
    out().flush();
    if (!r.error.isEmpty())
        return fail(r.error);
    return 0;
}

} // namespace

int runImportCommand(const QString &command, QStringList args)
{
    if (command == QLatin1String("tables"))
        return tablesCommand(args);
    return importCommand(args);
}

} // namespace kirvane::cli
