// Times a CSV import of generated contacts into an empty book — reading the
// file, mapping every column, one transaction — beside the sqlite3 shell's
// .import of the same file into a table of the same columns, and prints the
// ratio.
#include "common/folders.h"
#include "contacts/bookmanager.h"
#include "import/contactimport.h"
#include "import/sourcefile.h"
#include "store/addressbookstore.h"
#include "store/bookfiles.h"
#include "store/contactrecord.h"
#include "store/tableschemas.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <random>

using namespace kirvane::common;
using namespace kirvane::contacts;
using namespace kirvane::import;
using namespace kirvane::store;

namespace {

// A semicolon-separated file with a heading and n rows of the eighteen
// columns, some values quoted (a semicolon, a quote, a line break).
void writeSource(const QString &path, int n)
{
    std::mt19937 rng(7);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    QByteArray out = contactColumns().mid(1, 18).join(u';').toUtf8() + "\r\n";
    for (int i = 0; i < n; ++i) {
        const QByteArray k = QByteArray::number(i);
        const int pick = int(rng() % 20);
        out += "Nom" + k + ";Prenom" + k + ";75" + QByteArray::number(i % 1000) + ";Ville " + k + ";"
               + k + " rue des Lilas;;France;01 02 03 04 05;;contact" + k + "@example.org;"
               + (pick == 0 ? QByteArray("\"Dupont; fils\"") : QByteArray("Societe ") + k) + ";Monsieur;"
               + (pick == 1 ? QByteArray("\"dit \"\"le grand\"\"\r\nsur deux lignes\"") : QByteArray("note")) + ";"
               + "https://example.org/" + k + ";a;b;c;d\r\n";
        if (out.size() > (1 << 20)) {
            f.write(out);
            out.clear();
        }
    }
    f.write(out);
}

double shellImport(const QString &db, const QString &csv)
{
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        QFile::remove(db);
        QString sql = QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT");
        for (const QString &c : contactColumns().mid(1, 18))
            sql += QStringLiteral(", %1 TEXT NOT NULL DEFAULT ''").arg(c);
        sql += QStringLiteral(");\n.mode csv\n.separator ;\n.import --skip 1 '%1' t\n").arg(csv);
        // The shell imports into the columns in order; the id column is
        // given by a view of the eighteen.
        sql.replace(QStringLiteral(".import --skip 1 '%1' t").arg(csv),
                    QStringLiteral("CREATE VIEW v AS SELECT %1 FROM t;\nCREATE TRIGGER vi INSTEAD OF INSERT ON v BEGIN INSERT INTO t (%1) VALUES (%2); END;\n.import --skip 1 '%3' v")
                        .arg(bookValueColumns(), QStringLiteral("NEW.") + contactColumns().mid(1, 18).join(QStringLiteral(",NEW.")), csv));
        QProcess p;
        QElapsedTimer t;
        t.start();
        p.start(QStringLiteral("sqlite3"), {db});
        p.write(sql.toUtf8());
        p.closeWriteChannel();
        p.waitForFinished(-1);
        best = std::min(best, t.nsecsElapsed() / 1e9);
        if (p.exitCode() != 0 || !p.readAllStandardError().isEmpty())
            std::fprintf(stderr, "sqlite3: %s\n", p.readAllStandardError().constData());
    }
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    setDataFolder(dir.path());
    BookFiles::ensureDataFolder(dir.path());
    AddressBookStore store;
    store.initDataFolder();
    const QString csv = dir.filePath(QStringLiteral("contacts.csv"));
    writeSource(csv, n);

    double ours = 1e9;
    int added = 0;
    for (int i = 0; i < 3; ++i) {
        (void)BookManager(store).remove(QStringLiteral("bench"));
        if (!BookManager(store).create(QStringLiteral("bench"), {QString(), QString(), QString(), QString()}).ok())
            return 1;
        QElapsedTimer t;
        t.start();
        auto file = openSource(csv, SourceKind::Csv);
        const SourceTable table = file->read(file->preselectedTable());
        QList<int> mapping;
        for (int k = F_nom; k <= F_champ19; ++k)
            mapping << k;
        ImportOptions options;
        options.skipHeader = true;
        const ImportResult r = importContacts(store.files(), QStringLiteral("bench"), table, mapping, options);
        ours = std::min(ours, t.nsecsElapsed() / 1e9);
        added = r.added;
    }
    const double peer = shellImport(dir.filePath(QStringLiteral("shell.db")), csv);
    std::printf("import benchmark, %d contacts from CSV into an empty book (best of 3)\n", n);
    std::printf("%-44s ours %8.3f s   sqlite3 shell %8.3f s   ratio %5.2fx\n", "CSV import (read, map, one transaction)", ours,
                peer, ours / peer);
    std::printf("contacts added: %d\n", added);
    return added == n ? 0 : 1;
}
