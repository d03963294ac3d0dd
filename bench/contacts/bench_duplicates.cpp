// Times the duplicate sweep (merge of three books, two cycles over the
// criteria name and first name) beside one GROUP BY ... HAVING COUNT(*) > 1
// run by the sqlite3 shell over the same three books, and checks that the
// event loop stays free while the sweep runs in its thread.
#include "common/folders.h"
#include "contacts/bookmanager.h"
#include "contacts/duplicatesweep.h"
#include "store/addressbookstore.h"
#include "store/contactrecord.h"

#include "support/sqliteshell.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <random>

using namespace kirvane;
using contacts::DuplicateSweep;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int total = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    common::setDataFolder(dir.path());
    store::BookFiles::ensureDataFolder(common::dataFolder());
    store::AddressBookStore store;
    store.initDataFolder();

    // Three books of unequal sizes; about a fifth of the names and a few of
    // the first names are held by one contact only.
    const QStringList books = {QStringLiteral("clients"), QStringLiteral("presse"), QStringLiteral("salon")};
    const int sizes[3] = {total / 2, total * 3 / 10, total - total / 2 - total * 3 / 10};
    std::mt19937 random(13);
    for (int b = 0; b < 3; ++b) {
        if (!contacts::BookManager(store).create(books[b], {}).ok()) {
            std::fprintf(stderr, "cannot create the book %s\n", qPrintable(books[b]));
            return 1;
        }
        std::vector<store::ContactRecord> rows;
        rows.reserve(sizes[b]);
        for (int i = 0; i < sizes[b]; ++i) {
            store::ContactRecord c = store::emptyContact();
            c[store::F_nom].value = QStringLiteral("Nom%1").arg(random() % (total * 6 / 10 + 1));
            c[store::F_prenom].value = QStringLiteral("Prénom%1").arg(random() % (total / 40 + 1));
            c[store::F_email].value = QStringLiteral("c%1.%2@example.org").arg(b).arg(i);
            rows.push_back(c);
        }
        store.contacts().saveContacts(rows, books[b]);
    }

    // The sweep in its thread, the event loop timed meanwhile.
    DuplicateSweep sweep(store);
    int progressSignals = 0, steps = 0;
    QObject::connect(&sweep, &DuplicateSweep::progressChanged, [&] { ++progressSignals; });
    QObject::connect(&sweep, &DuplicateSweep::stepChanged, [&] { ++steps; });
    double ours = 1e9;
    qint64 worstGapMs = 0;
    for (int run = 0; run < 3; ++run) {
        QEventLoop loop;
        QObject::connect(&sweep, &DuplicateSweep::finished, &loop, &QEventLoop::quit);
        QElapsedTimer tick, t;
        QTimer timer;
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            worstGapMs = std::max(worstGapMs, tick.restart());
        });
        t.start();
        tick.start();
        timer.start();
        sweep.start(books, {QStringLiteral("nom"), QStringLiteral("prenom")});
        loop.exec();
        ours = std::min(ours, t.nsecsElapsed() / 1e9);
        if (sweep.lastOutcome() != DuplicateSweep::Outcome::Done) {
            std::fprintf(stderr, "sweep failed: %s\n", qPrintable(sweep.lastError()));
            return 1;
        }
    }
    const int left = store.countRows(store::AddressBookStore::mergeTable());

    // The same rows grouped once by the shell.
    QString sql;
    for (int b = 0; b < 3; ++b)
        sql += QStringLiteral("ATTACH '%1' AS b%2;\n").arg(store.files().bookPath(books[b])).arg(b);
    sql += QStringLiteral("SELECT nom, prenom, COUNT(*) FROM (SELECT nom, prenom FROM b0.t UNION ALL "
                          "SELECT nom, prenom FROM b1.t UNION ALL SELECT nom, prenom FROM b2.t) "
                          "GROUP BY nom, prenom HAVING COUNT(*) > 1;\n");
    QByteArray groups;
    const double peer = bench::sqliteShell(QStringLiteral(":memory:"), sql, &groups);

    std::printf("%d contacts in 3 books, criteria nom and prenom: %d candidates left, %lld pairs by the shell\n",
                total, left, (long long)groups.count('\n'));
    bench::printRatio("duplicate sweep vs GROUP BY ... HAVING", ours, peer);
    std::printf("event loop during the sweep: longest wait %lld ms; %d progress signals, %d step signals over 3 runs\n",
                (long long)worstGapMs, progressSignals, steps);
    return 0;
}
