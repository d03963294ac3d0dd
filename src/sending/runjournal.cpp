#include "sending/runjournal.h"

#include "message/messagearchive.h"
#include "message/messagedocument.h"
#include "common/filewriter.h"
#include "common/folders.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kirvane::sending {

using namespace kirvane::common;
using namespace kirvane::texts;

using message::archiveExtension;

namespace {

const QString kPositions = QStringLiteral(".pos");

QByteArray positionLine(const QString &book, const QString &key)
{
    return book.toUtf8() + '\t' + key.toUtf8() + '\n';
}

// The last whole line of the positions: book and key. False when none.
bool lastPosition(const QByteArray &bytes, QString *book, QString *key)
{
    const qsizetype end = bytes.lastIndexOf('\n');
    if (end < 0)
        return false;
    const qsizetype start = bytes.lastIndexOf('\n', end - 1) + 1;
    const QByteArray line = bytes.mid(start, end - start);
    const qsizetype tab = line.lastIndexOf('\t');
    if (tab < 0)
        return false;
    *book = QString::fromUtf8(line.left(tab));
    *key = QString::fromUtf8(line.mid(tab + 1));
    return true;
}

void removeJournal(const QString &base)
{
    QFile::remove(base + archiveExtension(message::ArchiveKind::InterruptedSend));
    QFile::remove(base + kPositions);
}

} // namespace

RunJournal::~RunJournal()
{
    close();
}

QString RunJournal::folder()
{
    return stoppedFolder() + QStringLiteral(".journal/");
}

bool RunJournal::begin(const message::MessageDocument &message, const QString &book, const QString &key,
                       QString *error)
{
    if (m_fd < 0) {
        if (!makeFolder(folder())) {
            if (error)
                *error = QStringLiteral("%1 cannot be made").arg(folder());
            return false;
        }
        m_base = folder() + QStringLiteral("run-%1-%2")
                                .arg(QCoreApplication::applicationPid())
                                .arg(QDateTime::currentMSecsSinceEpoch());
        m_fd = ::open(QFile::encodeName(m_base + kPositions).constData(),
                      O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600);
        if (m_fd < 0 || ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if (error)
                *error = QString::fromLocal8Bit(std::strerror(errno));
            close();
            return false;
        }
    }
    // The message first, then its place: a journal whose archive is missing
    // is never taken for a run.
    if (::ftruncate(m_fd, 0) != 0
        || !writeArchive(message, m_base, message::ArchiveKind::InterruptedSend, key, book, error)) {
        finish();
        return false;
    }
    record(book, key);
    ::fdatasync(m_fd);
    m_sinceSync.start();
    return true;
}

void RunJournal::record(const QString &book, const QString &key)
{
    if (m_fd < 0)
        return;
    (void)common::writeAll(m_fd, positionLine(book, key));
    if (m_sinceSync.isValid() && m_sinceSync.elapsed() >= 1000) {
        ::fdatasync(m_fd);
        m_sinceSync.restart();
    }
}

void RunJournal::finish()
{
    if (!m_base.isEmpty())
        removeJournal(m_base);
    close();
}

void RunJournal::close()
{
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock
    m_fd = -1;
    m_base.clear();
}

QList<RunJournal::Left> RunJournal::findLeft()
{
    QList<Left> left;
    const QDir dir(folder());
    for (const QString &name : dir.entryList({QStringLiteral("*") + kPositions}, QDir::Files, QDir::Time | QDir::Reversed)) {
        const QString base = dir.filePath(name.chopped(kPositions.size()));
        const int fd = ::open(QFile::encodeName(base + kPositions).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        const bool alive = ::flock(fd, LOCK_SH | LOCK_NB) != 0;
        ::close(fd);
        if (alive)
            continue;
        message::MessageDocument doc;
        if (message::readArchive(base + archiveExtension(message::ArchiveKind::InterruptedSend), doc)
            != message::ArchiveReadStatus::Ok) {
            // Killed before its message was written: nothing had been sent.
            removeJournal(base);
            continue;
        }
        Left l{base, doc.subject(), doc.resumeBook(), doc.resumeKey(), doc.destinationBooks()};
        QFile f(base + kPositions);
        if (f.open(QIODevice::ReadOnly))
            lastPosition(f.readAll(), &l.book, &l.key);
        left << l;
    }
    return left;
}

QString RunJournal::recover(const Left &left, QString *error)
{
    message::MessageDocument doc;
    if (message::readArchive(left.base + archiveExtension(message::ArchiveKind::InterruptedSend), doc)
        != message::ArchiveReadStatus::Ok) {
        if (error)
            *error = QStringLiteral("the journal's message cannot be read");
        return QString();
    }
    if (!makeFolder(stoppedFolder())) {
        if (error)
            *error = QStringLiteral("%1 cannot be made").arg(stoppedFolder());
        return QString();
    }
    const QString name = freeInterruptedName(left.subject);
    if (!writeArchive(doc, stoppedFolder() + name, message::ArchiveKind::InterruptedSend, left.key, left.book, error))
        return QString();
    removeJournal(left.base);
    return name;
}

QStringList RunJournal::recoverAll(QStringList *errors)
{
    QStringList names;
    for (const Left &l : findLeft()) {
        QString error;
        const QString name = recover(l, &error);
        if (!name.isEmpty())
            names << name;
        else if (errors)
            *errors << error;
    }
    return names;
}

QString freeInterruptedName(const QString &text)
{
    QString base;
    for (QChar c : text.trimmed()) {
        static const QString refused = QStringLiteral("\\/:*?\"<>|");
        base += (c.unicode() < 0x20 || refused.contains(c)) ? QChar(u'_') : c;
    }
    if (base.isEmpty() || base.startsWith(u'.'))
        base.prepend(QStringLiteral("message"));
    const QString ext = archiveExtension(message::ArchiveKind::InterruptedSend);
    QString name = base;
    for (int n = 2; QFile::exists(findNoCase(stoppedFolder(), name + ext)); ++n)
        name = QStringLiteral("%1 (%2)").arg(base).arg(n);
    return name;
}

} // namespace kirvane::sending
