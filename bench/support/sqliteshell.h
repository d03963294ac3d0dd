#pragma once
// What the benchmarks that compare the store with the sqlite3 command-line
// shell share: timing a piece of work, running a script through the shell,
// and the line that prints both figures and their ratio.

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace kirvane::bench {

inline double seconds(const std::function<void()> &work)
{
    QElapsedTimer t;
    t.start();
    work();
    return t.nsecsElapsed() / 1e9;
}

// The best wall time of three runs of work.
inline double best3(const std::function<void()> &work)
{
    double best = 1e9;
    for (int i = 0; i < 3; ++i)
        best = std::min(best, seconds(work));
    return best;
}

// Runs sql through the shell on db (":memory:" for none) three times and
// returns the best wall time. The output goes to outputFile when one is
// named, else the last run's to output when given, else nowhere; a failing
// run is said on stderr.
inline double sqliteShell(const QString &db, const QString &sql, QByteArray *output = nullptr,
                          const QString &outputFile = {})
{
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        QProcess p;
        if (!outputFile.isEmpty())
            p.setStandardOutputFile(outputFile);
        else if (!output)
            p.setStandardOutputFile(QProcess::nullDevice());
        QElapsedTimer t;
        t.start();
        p.start(QStringLiteral("sqlite3"), {db});
        p.write(sql.toUtf8());
        p.closeWriteChannel();
        p.waitForFinished(-1);
        best = std::min(best, t.nsecsElapsed() / 1e9);
        if (output && outputFile.isEmpty())
            *output = p.readAllStandardOutput();
        if (p.exitCode() != 0)
            std::fprintf(stderr, "sqlite3 failed: %s\n", p.readAllStandardError().constData());
    }
    return best;
}

inline void printRatio(const char *what, double ours, double shell)
{
    std::printf("%-44s ours %8.3f s   sqlite3 shell %8.3f s   ratio %5.2fx\n", what, ours, shell, ours / shell);
}

} // namespace kirvane::bench
