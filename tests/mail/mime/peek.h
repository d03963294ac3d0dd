#pragma once
// Runs mailpeek.py (Python's email package) on message files and returns what
// it read, so that tests can hold our composer and parser against it.

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStringList>
#include <QTest>

namespace kirvane::test {

inline QString python()
{
    return QStringLiteral("/usr/bin/python3");
}

// mode is "composed" or "received". Empty array with a test failure when
// Python cannot run.
inline QJsonArray peek(const QString &mode, const QStringList &files)
{
    QProcess p;
    const QString script = qEnvironmentVariable("KIRVANE_SOURCE_DIR") + QStringLiteral("/tests/mail/mime/mailpeek.py");
    p.start(python(), QStringList{script, mode} + files);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        qWarning().noquote() << p.readAllStandardError();
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).array();
}

// Lines as a file: CR LF after each.
inline bool writeLines(const QString &path, const QList<QByteArray> &lines)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    for (const QByteArray &line : lines) {
        f.write(line);
        f.write("\r\n");
    }
    return true;
}

// A file's lines, without their CR LF or LF.
inline QList<QByteArray> readLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = f.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray &line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    return lines;
}

} // namespace kirvane::test
