// Times `kirvane-cli import` of a CSV of generated contacts into an empty
// book — reading the file, mapping every column, one transaction — beside the
// sqlite3 shell's .import of the same file into a table of the same columns,
// and prints each one's time and peak memory (the process's largest resident
// size), and the ratio of the times. Both run as processes of their own, measured
// the same way.
#include "store/contactrecord.h"
#include "store/tableschemas.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <random>

#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

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

struct Run {
    double seconds = 0;
    double peakMB = 0;
    int code = -1;
    QByteArray out;
};

// Runs program with args, input on its standard input; its wall time and its
// peak resident size as the kernel counts it. quiet drops what it says on its
// standard error.
Run measure(const QString &program, const QStringList &args, const QByteArray &input = {}, bool quiet = false)
{
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0)
        return {};
    timespec start{}, end{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        if (quiet)
            if (!freopen("/dev/null", "w", stderr))
                _exit(126);
        close(in[1]);
        close(out[0]);
        std::vector<QByteArray> words{program.toLocal8Bit()};
        for (const QString &a : args)
            words.push_back(a.toLocal8Bit());
        std::vector<char *> argv;
        for (QByteArray &w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    Run r;
    if (pid < 0)
        return r;
    for (qsizetype written = 0; written < input.size();) {
        const ssize_t n = write(in[1], input.constData() + written, size_t(input.size() - written));
        if (n <= 0)
            break;
        written += n;
    }
    close(in[1]);
    char buffer[4096];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
        r.out.append(buffer, n);
    close(out[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    clock_gettime(CLOCK_MONOTONIC, &end);
    r.seconds = double(end.tv_sec - start.tv_sec) + double(end.tv_nsec - start.tv_nsec) / 1e9;
    r.peakMB = double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// Best time of three, and the largest peak of the three.
void keep(Run &best, const Run &r)
{
    if (best.code != 0 || r.seconds < best.seconds) {
        const double peak = std::max(best.peakMB, r.peakMB);
        best = r;
        best.peakMB = peak;
    } else {
        best.peakMB = std::max(best.peakMB, r.peakMB);
    }
}

Run shellImport(const QString &db, const QString &csv)
{
    QString sql = QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT");
    for (const QString &c : contactColumns().mid(1, 18))
        sql += QStringLiteral(", %1 TEXT NOT NULL DEFAULT ''").arg(c);
    // The shell imports into the columns in order; the id column is given by
    // a view of the eighteen.
    sql += QStringLiteral(");\n.mode csv\n.separator ;\n"
                          "CREATE VIEW v AS SELECT %1 FROM t;\n"
                          "CREATE TRIGGER vi INSTEAD OF INSERT ON v BEGIN INSERT INTO t (%1) VALUES (%2); END;\n"
                          ".import --skip 1 '%3' v\n")
               .arg(bookValueColumns(), QStringLiteral("NEW.") + contactColumns().mid(1, 18).join(QStringLiteral(",NEW.")), csv);
    Run best;
    for (int i = 0; i < 3; ++i) {
        QFile::remove(db);
        keep(best, measure(QStringLiteral("sqlite3"), {db}, sql.toUtf8()));
    }
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int n = argc > 1 ? std::atoi(argv[1]) : 100000;
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/kirvane-cli");
    QTemporaryDir dir;
    const QString home = dir.filePath(QStringLiteral("home"));
    QDir().mkpath(home);
    const QString csv = dir.filePath(QStringLiteral("contacts.csv"));
    writeSource(csv, n);
    const QStringList book{QStringLiteral("--home"), home, QStringLiteral("book")};
    QString map;
    for (int k = F_nom; k <= F_champ19; ++k)
        map += QStringLiteral("%1%2=%3").arg(k == F_nom ? QString() : QStringLiteral(",")).arg(contactColumns()[k]).arg(k);

    Run ours;
    for (int i = 0; i < 3; ++i) {
        (void)measure(cli, book + QStringList{QStringLiteral("delete"), QStringLiteral("bench")}, {}, true);
        if (measure(cli, book + QStringList{QStringLiteral("create"), QStringLiteral("bench")}).code != 0) {
            std::fprintf(stderr, "kirvane-cli book create failed\n");
            return 1;
        }
        keep(ours, measure(cli, {QStringLiteral("--home"), home, QStringLiteral("import"), QStringLiteral("bench"), csv,
                                 QStringLiteral("--skip-header"), QStringLiteral("--map"), map}));
    }
    const Run peer = shellImport(dir.filePath(QStringLiteral("shell.db")), csv);
    std::printf("import benchmark, %d contacts from a %.1f MB CSV into an empty book (best time of 3, largest peak)\n", n,
                double(QFileInfo(csv).size()) / 1e6);
    std::printf("%-40s ours %8.3f s %7.1f MB peak   sqlite3 shell %8.3f s %7.1f MB peak   ratio %5.2fx\n",
                "kirvane-cli import (read, map, commit)", ours.seconds, ours.peakMB, peer.seconds, peer.peakMB,
                ours.seconds / peer.seconds);
    std::printf("%s", ours.out.constData());
    if (ours.code != 0 || peer.code != 0) {
        std::fprintf(stderr, "a run failed: kirvane-cli %d, sqlite3 %d\n", ours.code, peer.code);
        return 1;
    }
    return ours.out.startsWith("added " + QByteArray::number(n) + '\n') ? 0 : 1;
}
