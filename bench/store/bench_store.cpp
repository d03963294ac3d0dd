// Times the store's operations on a generated book beside the same work done
// by the sqlite3 command-line shell on the same files, and prints the ratios.
#include "contacts/bookmanager.h"
#include "store/contactrecord.h"
#include "common/folders.h"
#include "store/addressbookstore.h"
#include "store/booktablemodel.h"
#include "contacts/gridselection.h"
#include "import/csvexport.h"

#include "support/sqliteshell.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <random>

using namespace kirvane::common;
using namespace kirvane::contacts;
using namespace kirvane::store;
using kirvane::bench::best3;
using kirvane::bench::printRatio;
using kirvane::bench::sqliteShell;
using kirvane::bench::seconds;

using namespace kirvane::import;

namespace {

const char *kNoms[] = {"Martin", "Bernard", "Dubois", "Thomas", "Robert", "Richard", "Petit", "Durand", "Leroy",
                       "Moreau", "Simon", "Laurent", "Lefebvre", "Michel", "Garcia", "David", "Bertrand", "Roux",
                       "Vincent", "Fournier", "Morel", "Girard", "André", "Lefèvre", "Mercier", "Dupont", "Lambert"};
const char *kPrenoms[] = {"Jean", "Marie", "Pierre", "Anne", "Luc", "Élodie", "Paul", "Claire", "Hugo", "Léa",
                          "Louis", "Emma", "Jules", "Chloé", "Noé", "Inès"};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    setDataFolder(dir.path());
    BookFiles::ensureDataFolder(dataFolder());
    AddressBookStore store;
    store.initDataFolder();
    BookManager books(store);
    const QStringList labels = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")};

    std::mt19937 rng(42);
    std::vector<ContactRecord> contacts;
    contacts.reserve(n);
    QString insertSql = QStringLiteral("BEGIN;\n");
    for (int i = 0; i < n; ++i) {
        ContactRecord c = emptyContact();
        c[F_nom].value = QString::fromUtf8(kNoms[rng() % std::size(kNoms)]) + QString::number(rng() % 2000);
        c[F_prenom].value = QString::fromUtf8(kPrenoms[rng() % std::size(kPrenoms)]);
        c[F_ville].value = QStringLiteral("Ville %1").arg(rng() % 500);
        c[F_email].value = QStringLiteral("user%1@example.org").arg(rng() % (n / 2 + 1));
        c[F_societe].value = QStringLiteral("Société %1").arg(rng() % 3000);
        c[F_commentaire].value = QStringLiteral("Client depuis %1").arg(1990 + rng() % 30);
        QStringList values;
        for (int k = 1; k < kContactFields; ++k) {
            QString v = c[k].value;
            v.replace(u'\'', QLatin1String("''"));
            values << u'\'' + v + u'\'';
        }
        insertSql += QStringLiteral("INSERT INTO t (nom,prenom,code_postal,ville,adresse1,adresse2,pays,tel,fax,email,"
                                    "societe,civilite,commentaire,url,champ16,champ17,champ18,champ19) VALUES (%1);\n")
                         .arg(values.join(u','));
        contacts.push_back(std::move(c));
    }
    insertSql += QStringLiteral("COMMIT;\n");

    std::printf("store benchmark, %d contacts (best of 3 for each figure but saving)\n", n);
    (void)books.create(QStringLiteral("ours"), labels);
    (void)books.create(QStringLiteral("peer"), labels);
    const QString peer = store.files().bookPath(QStringLiteral("peer"));
    const double saveOurs = seconds([&] { store.contacts().saveContacts(contacts, QStringLiteral("ours")); });
    const double savePeer = sqliteShell(peer, insertSql) ; // three runs: the peer book holds 3n rows afterwards
    printRatio("save the contacts (one transaction)", saveOurs, savePeer);
    (void)books.remove(QStringLiteral("peer"));
    (void)books.duplicate(QStringLiteral("ours"), QStringLiteral("peer"));

    const QString order = QStringLiteral("ORDER BY nom COLLATE NOCASE, prenom COLLATE NOCASE, id");
    const double firstOurs = best3([&] {
        (void)store.openBook(QStringLiteral("ours"));
        for (int r = 0; r < 100; ++r)
            (void)store.currentBookModel()->text(r, BookTableModel::kDisplayNameColumn);
    });
    printRatio("open in name order, first 100 rows", firstOurs,
         sqliteShell(peer, QStringLiteral("SELECT * FROM t %1 LIMIT 100;").arg(order)));
    // The shell reaches the last row by reading them all; the grid jumps to it.
    const QString all = QStringLiteral("SELECT * FROM t %1;").arg(order);
    const double allPeer = sqliteShell(peer, all);
    const double lastOurs = best3([&] {
        (void)store.openBook(QStringLiteral("ours"));
        BookTableModel *q = store.currentBookModel();
        (void)q->text(q->rowCount() - 1, BookTableModel::kDisplayNameColumn);
    });
    printRatio("open in name order, to the last row", lastOurs, allPeer);
    const double allOurs = best3([&] {
        (void)store.openBook(QStringLiteral("ours"));
        BookTableModel *q = store.currentBookModel();
        for (int r = 0; r < q->rowCount(); ++r)
            (void)q->text(r, F_champ19);
    });
    printRatio("open in name order, read every row", allOurs, allPeer);
    // Select all in the grid (one range of every row), then take the ids, as a
    // delete of the selection does.
    printRatio("ids of every row selected", best3([&] {
                   (void)store.openBook(QStringLiteral("ours"));
                   BookTableModel *q = store.currentBookModel();
                   QItemSelectionModel sel(q);
                   sel.select(QItemSelection(q->index(0, 0), q->index(q->rowCount() - 1, 0)),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
                   (void)selectedIds(*q, &sel);
               }),
               sqliteShell(peer, QStringLiteral("SELECT id FROM t %1;").arg(order)));
    printRatio("count rows", best3([&] { (void)store.countRows(QStringLiteral("an_ours")); }),
               sqliteShell(peer, QStringLiteral("SELECT COUNT(*) FROM t;")));
    const QString csv = dir.filePath(QStringLiteral("ours.csv"));
    printRatio(
        "export the book", best3([&] { exportBook(store.files(), QStringLiteral("ours"), csv); }),
        sqliteShell(peer,
                    QStringLiteral(".mode list\n.separator ; \"\\r\\n\"\nSELECT nom,prenom,code_postal,ville,adresse1,"
                                   "adresse2,pays,tel,fax,email,societe,civilite,commentaire,url,champ16,champ17,"
                                   "champ18,champ19 FROM t;\n"),
                    nullptr, dir.filePath(QStringLiteral("peer.csv"))));

    // The duplicate search: fill the merge table from the book, then keep only
    // rows sharing nom and societe with another, twice over.
    const QString merge = store.files().filePath(QStringLiteral("fusion_mnl.db"));
    const double pruneOurs = best3([&] {
        QFile::remove(merge);
        QFile::copy(store.files().filePath(QStringLiteral("vierge.db")), merge);
        store.workTables().fillWorkTable({QStringLiteral("ours")}, QStringLiteral("fusion_mnl"));
        store.workTables().pruneToDuplicates(QStringLiteral("fusion_mnl"),
                                             {QStringLiteral("nom"), QStringLiteral("societe")});
    });
    const QString peerMerge = dir.filePath(QStringLiteral("peer_merge.db"));
    QString pruneSql = QStringLiteral(
        "ATTACH '%1' AS b;\nBEGIN;\nDROP TABLE IF EXISTS w;\n"
        "CREATE TABLE w (nom,prenom,code_postal,ville,adresse1,adresse2,pays,tel,fax,email,societe,civilite,"
        "commentaire,url,champ16,champ17,champ18,champ19,nom_annuaire,id INTEGER);\n"
        "INSERT INTO w SELECT nom,prenom,code_postal,ville,adresse1,adresse2,pays,tel,fax,email,societe,civilite,"
        "commentaire,url,champ16,champ17,champ18,champ19,'peer',id FROM b.t;\n").arg(peer);
    for (int pass = 0; pass < 2; ++pass)
        for (const char *c : {"nom", "societe"})
            pruneSql += QStringLiteral("DELETE FROM w WHERE %1 IN (SELECT %1 FROM w GROUP BY %1 HAVING COUNT(*)=1);\n").arg(QLatin1String(c));
    pruneSql += QStringLiteral("COMMIT;\n");
    printRatio("fill merge table + prune on 2 criteria", pruneOurs, sqliteShell(peerMerge, pruneSql));
    QProcess count;
    count.start(QStringLiteral("sqlite3"), {peerMerge, QStringLiteral("SELECT COUNT(*) FROM w;")});
    count.waitForFinished(-1);
    std::printf("rows left after pruning: ours %d, shell %s\n", store.countRows(QStringLiteral("fusion_mnl")),
                count.readAllStandardOutput().trimmed().constData());
    return 0;
}
