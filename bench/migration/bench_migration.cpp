// Times kirvane-cli migrate on a data folder in the earlier table format (one
// book of n contacts with every column filled, 37 history records), under
// /usr/bin/time -v for the peak memory, beside the sqlite3 shell's .import of
// the same contacts from a CSV file into a table of the same columns.
#include "import/paradoxfixtures.h"

#include "store/contactrecord.h"
#include "store/database.h"
#include "store/tableschemas.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>

using namespace kirvane;
using namespace kirvane::test;

namespace {

struct Figures {
    double seconds = 1e9;
    double peakMb = 0;
    bool ok = false;
};

// One run of program under /usr/bin/time -v: wall-clock seconds and the
// largest resident set.
Figures timed(const QString &program, const QStringList &args, const QByteArray &input = {})
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/time"), QStringList{QStringLiteral("-v"), program} + args);
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(-1);
    const QString report = QString::fromLocal8Bit(p.readAllStandardError());
    Figures f;
    f.ok = p.exitCode() == 0;
    const auto wall = QRegularExpression(QStringLiteral("Elapsed \\(wall clock\\) time.*: (?:(\\d+):)?(\\d+):([\\d.]+)")).match(report);
    if (wall.hasMatch())
        f.seconds = wall.captured(1).toDouble() * 3600 + wall.captured(2).toDouble() * 60 + wall.captured(3).toDouble();
    const auto rss = QRegularExpression(QStringLiteral("Maximum resident set size \\(kbytes\\): (\\d+)")).match(report);
    if (rss.hasMatch())
        f.peakMb = rss.captured(1).toDouble() / 1024;
    if (!f.ok)
        std::fprintf(stderr, "%s\n", qPrintable(report.left(2000)));
    return f;
}

QStringList contactRow(int i)
{
    const QString k = QString::number(i);
    return {k, QStringLiteral("Nom%1 é").arg(k), QStringLiteral("Prénom%1").arg(k), QStringLiteral("75%1").arg(i % 1000),
            QStringLiteral("Ville %1").arg(i % 500), QStringLiteral("%1 rue des Lilas").arg(k), QStringLiteral("Bâtiment B"),
            QStringLiteral("France"), QStringLiteral("01 02 03 04 05"), QStringLiteral("01 02 03 04 06"),
            QStringLiteral("contact%1@example.org").arg(k), QStringLiteral("Société %1").arg(k), QStringLiteral("Monsieur"),
            QStringLiteral("note sur\r\ndeux lignes"), QStringLiteral("https://example.org/%1").arg(k), QStringLiteral("a"),
            QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d"), QString()};
}

// pxlib writes some 100 records a second (it reads its blocks back a byte at
// a time for every record): a book of n records is written here block by
// block, the records encoded by pxlib, the header by pxlib's writer for an
// empty table, then patched with the count and the chain of blocks.
bool writeLargeBook(const QString &path, int n)
{
    if (!writeParadoxTable(path, bookColumns(), {}))
        return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite))
        return false;
    QByteArray header = f.read(0x80);
    const int recordSize = quint8(header[0]) | quint8(header[1]) << 8;
    const int headerSize = quint8(header[2]) | quint8(header[3]) << 8;
    const int blockSize = quint8(header[5]) * 1024;
    const int perBlock = (blockSize - 6) / recordSize;
    const int blocks = (n + perBlock - 1) / perBlock;
    pxdoc_t *px = PX_new();
    const std::vector<PxColumn> columns = bookColumns();
    f.resize(headerSize);
    f.seek(headerSize);
    int written = 0;
    for (int b = 1; b <= blocks; ++b) {
        QByteArray block(blockSize, '\0');
        const int count = std::min(perBlock, n - written);
        const auto put16 = [&](int at, int v) {
            block[at] = char(v & 0xFF);
            block[at + 1] = char((v >> 8) & 0xFF);
        };
        put16(0, b < blocks ? b + 1 : 0);
        put16(2, b - 1);
        put16(4, (count - 1) * recordSize);
        for (int r = 0; r < count; ++r) {
            const QStringList row = contactRow(++written);
            char *rec = block.data() + 6 + r * recordSize;
            int offset = 0;
            for (size_t i = 0; i < columns.size(); ++i) {
                QByteArray bytes = common::toWindows1252(row.value(int(i)));
                if (i == 0)
                    PX_put_data_long(px, rec, 4, row[0].toInt());
                else if (!bytes.isEmpty())
                    PX_put_data_alpha(px, rec + offset, columns[i].length, bytes.data());
                offset += columns[i].length;
            }
        }
        f.write(block);
    }
    PX_delete(px);
    const auto patch = [&](int at, quint32 v, int size) {
        f.seek(at);
        QByteArray b;
        for (int i = 0; i < size; ++i)
            b += char((v >> (8 * i)) & 0xFF);
        f.write(b);
    };
    patch(0x06, quint32(n), 4);          // records
    patch(0x0A, quint32(blocks + 1), 2); // next free block
    patch(0x0C, quint32(blocks), 2);     // blocks in the file
    patch(0x0E, 1, 2);                   // first block
    patch(0x10, quint32(blocks), 2);     // last block
    patch(0x49, quint32(n), 4);          // last autoincrement value
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 100000;
    const QString cli = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("build/bin/kirvane-cli");
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source/"));
    QDir().mkpath(source + QStringLiteral("Annuaires"));
    QDir().mkpath(source + QStringLiteral("historique"));
    QByteArray csv = store::contactColumns().mid(1, 18).join(u';').toUtf8() + "\n";
    for (int i = 1; i <= n; ++i) {
        QStringList values = contactRow(i).mid(1, 18);
        values[12] = QStringLiteral("\"") + values[12] + u'"';
        csv += values.join(u';').toUtf8() + '\n';
    }
    if (!writeLargeBook(source + QStringLiteral("Annuaires/an_grand.DB"), n))
        return 1;
    std::vector<QStringList> records;
    for (int i = 1; i <= 37; ++i)
        records.push_back({QString::number(i), QStringLiteral("Lettre %1").arg(i), QString(2000, u'é'),
                           QStringLiteral("01/02/2004"), QStringLiteral("grand\r\n"), {}, {}, QStringLiteral("2"), {}});
    writeParadoxTable(source + QStringLiteral("historique/historique.DB"), historyColumns(), records);
    const QString csvPath = dir.filePath(QStringLiteral("contacts.csv"));
    {
        QFile f(csvPath);
        f.open(QIODevice::WriteOnly);
        f.write(csv);
    }

    Figures ours, peer;
    for (int i = 0; i < 3; ++i) {
        const QString home = dir.filePath(QStringLiteral("run%1").arg(i));
        QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), source, home});
        const Figures f = timed(cli, {QStringLiteral("--home"), home, QStringLiteral("migrate")});
        if (!f.ok)
            return 1;
        if (f.seconds < ours.seconds)
            ours = f;
        QString sql = QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT");
        for (const QString &c : store::contactColumns().mid(1, 18))
            sql += QStringLiteral(", %1 TEXT NOT NULL DEFAULT ''").arg(c);
        sql += QStringLiteral(");\nCREATE VIEW v AS SELECT %1 FROM t;\n"
                              "CREATE TRIGGER vi INSTEAD OF INSERT ON v BEGIN INSERT INTO t (%1) VALUES (%2); END;\n"
                              ".mode csv\n.separator ;\n.import --skip 1 '%3' v\n")
                   .arg(store::bookValueColumns(), QStringLiteral("NEW.") + store::contactColumns().mid(1, 18).join(QStringLiteral(",NEW.")),
                        csvPath);
        const Figures s = timed(QStringLiteral("sqlite3"), {dir.filePath(QStringLiteral("shell%1.db").arg(i))}, sql.toUtf8());
        if (s.seconds < peer.seconds)
            peer = s;
    }
    std::printf("migration benchmark, a book of %d contacts (every column filled) and 37 history records (best of 3)\n", n);
    std::printf("%-34s ours %7.2f s %7.1f MB   sqlite3 shell CSV .import %7.2f s %7.1f MB   ratio %5.2fx time, %5.2fx memory\n",
                "kirvane-cli migrate", ours.seconds, ours.peakMb, peer.seconds, peer.peakMb, ours.seconds / peer.seconds,
                ours.peakMb / peer.peakMb);
    auto db = store::Database::open(dir.filePath(QStringLiteral("run0/Annuaires/an_grand.db")), store::Database::Mode::ReadOnly);
    store::Statement count = db->prepare(QStringLiteral("SELECT count(*), count(DISTINCT id), max(id) FROM t"));
    count.step();
    std::printf("contacts brought across: %lld (distinct ids %lld, largest %lld)\n", count.int64(0), count.int64(1), count.int64(2));
    return count.int64(0) == n ? 0 : 1;
}
