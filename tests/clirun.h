#pragma once
// Runs the built kirvane-cli as a user does, on a data folder of the test's.

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

struct CliRun {
    int code = -1;
    QByteArray out;
    QByteArray err;
};

// env: extra variables for the run (name, value).
inline CliRun runCli(const QString &home, const QStringList &args,
                     const QList<QPair<QString, QString>> &env = {})
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    for (const auto &[name, value] : env)
        e.insert(name, value);
    p.setProcessEnvironment(e);
    p.start(qEnvironmentVariable("KIRVANE_BIN_DIR") + QStringLiteral("/kirvane-cli"),
            QStringList{QStringLiteral("--home"), home} + args);
    p.waitForFinished(60000);
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}
