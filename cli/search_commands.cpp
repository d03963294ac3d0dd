// search, duplicates: the contact search and the duplicate sweep from the
// command line, through the classes the two windows use.
#include "cli/cli.h"

#include "contacts/contactsearch.h"
#include "contacts/duplicatesweep.h"
#include "store/addressbookstore.h"
#include "store/database.h"
#include "store/rowtablemodel.h"

using namespace kirvane::contacts;
using namespace kirvane::store;

namespace kirvane::cli {

namespace {

// A book named on the command line, as the books folder spells it.
bool resolveBooks(const AddressBookStore &store, const QStringList &names, QStringList *books)
{
    const QStringList all = store.listBooks();
    for (const QString &name : names) {
        const auto it = std::find_if(all.begin(), all.end(),
                                     [&](const QString &b) { return b.compare(name, Qt::CaseInsensitive) == 0; });
        if (it == all.end()) {
            fail(QStringLiteral("no address book named \"%1\"").arg(name));
            return false;
        }
        books->append(*it);
    }
    return true;
}

} // namespace

int runSearchCommand(QStringList args)
{
    AddressBookStore store;
    store.initDataFolder();
    const QStringList named = takeOptions(args, QStringLiteral("book"));
    SearchCriteria criteria;
    takeOption(args, QStringLiteral("nom"), &criteria.nom);
    takeOption(args, QStringLiteral("prenom"), &criteria.prenom);
    takeOption(args, QStringLiteral("societe"), &criteria.societe);
    takeOption(args, QStringLiteral("email"), &criteria.email);
    takeOption(args, QStringLiteral("ville"), &criteria.ville);
    if (!args.isEmpty())
        return fail(QStringLiteral("usage: search [--book B]... [--nom X] [--prenom X] [--societe X] [--email X] [--ville X]"));
    QStringList books;
    if (named.isEmpty())
        books = store.listBooks();
    else if (!resolveBooks(store, named, &books))
        return 1;
    ContactSearch search(store.contacts());
    int failures = 0;
    QObject::connect(&search, &ContactSearch::bookFailed, [&](const QString &book, const QString &reason) {
        err() << "kirvane-cli: " << book << ": " << reason << Qt::endl;
        ++failures;
    });
    QObject::connect(&search, &ContactSearch::found, [](const SearchHit &h) {
        out() << "{\"book\":" << jsonString(h.book) << ",\"id\":" << h.id << ",\"nom\":" << jsonString(h.nom)
              << ",\"prenom\":" << jsonString(h.prenom) << ",\"societe\":" << jsonString(h.societe)
              << ",\"email\":" << jsonString(h.email) << ",\"ville\":" << jsonString(h.ville) << "}\n";
    });
    search.run(books, criteria);
    out().flush();
    return failures ? 1 : 0;
}

int runDuplicatesCommand(QStringList args)
{
    AddressBookStore store;
    store.initDataFolder();
    QString by, target;
    const bool hasBy = takeOption(args, QStringLiteral("by"), &by);
    const bool deleteOthers = takeOption(args, QStringLiteral("delete-others"), &target);
    if (!hasBy || args.isEmpty() || std::any_of(args.begin(), args.end(), [](const QString &a) { return a.startsWith(QLatin1String("--")); }))
        return fail(QStringLiteral("usage: duplicates BOOK... --by COL[,COL...] [--delete-others BOOK:ID]"));
    QString bad;
    const QStringList criteria = DuplicateSweep::orderedCriteria(by.split(u',', Qt::SkipEmptyParts), &bad);
    if (criteria.isEmpty())
        return fail(QStringLiteral("not a criterion column: \"%1\" (columns: %2)")
                        .arg(bad, DuplicateSweep::criterionColumns().join(u',')));
    QStringList books;
    if (!resolveBooks(store, args, &books))
        return 1;

    DuplicateSweep sweep(store);
    QString error;
    if (sweep.run(books, criteria, &error) != DuplicateSweep::Outcome::Done)
        return fail(error);
    if (!store.openDuplicates(sweep.criteria()))
        return fail(QStringLiteral("the merge table cannot be read"));
    RowTableModel &rows = *store.duplicatesModel();

    if (deleteOthers) {
        const qsizetype colon = target.lastIndexOf(u':');
        bool ok = false;
        const qint64 id = colon > 0 ? target.mid(colon + 1).toLongLong(&ok) : 0;
        const QString book = target.left(colon);
        bool listed = false;
        for (int r = 0; ok && r < rows.rowCount() && !listed; ++r)
            listed = rows.text(r, QStringLiteral("id")).toLongLong() == id
                     && rows.text(r, QStringLiteral("nom_annuaire")).compare(book, Qt::CaseInsensitive) == 0;
        if (!ok)
            return fail(QStringLiteral("--delete-others takes BOOK:ID"));
        if (!listed)
            return fail(QStringLiteral("%1 is not among the duplicates found").arg(target));
        try {
            for (const WorkRow &w : sweep.deleteOtherOccurrences(book, id))
                out() << "{\"deleted\":{\"book\":" << jsonString(w.book) << ",\"id\":" << w.id << "}}\n";
        } catch (const StoreError &e) {
            return fail(QString::fromUtf8(e.what()));
        }
        return 0;
    }

    const QStringList shown = {QStringLiteral("nom"),     QStringLiteral("prenom"),  QStringLiteral("societe"),
                               QStringLiteral("email"),   QStringLiteral("champ16"), QStringLiteral("champ17"),
                               QStringLiteral("champ18"), QStringLiteral("champ19")};
    for (int r = 0; r < rows.rowCount(); ++r) {
        out() << "{\"book\":" << jsonString(rows.text(r, QStringLiteral("nom_annuaire")))
              << ",\"id\":" << rows.text(r, QStringLiteral("id"));
        for (const QString &c : shown)
            out() << ",\"" << c << "\":" << jsonString(rows.text(r, c));
        out() << "}\n";
    }
    out().flush();
    return 0;
}

} // namespace kirvane::cli
