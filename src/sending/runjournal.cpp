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

// A record: "book<TAB>key" on a line, then "+id" for each id of that book
// answered since the record before.
QByteArray positionRecord(const RunPosition &position, const QList<qint64> &answered)
{
    QByteArray bytes = position.book.toUtf8() + '\t' + position.key.toUtf8() + '\n';
    for (qint64 id : answered)
        bytes += '+' + QByteArray::number(id) + '\n';
    return bytes;
}

// The position the records reach; only whole lines count (a kill may cut the
// last one). A record of another book starts that book's ids afresh.
void readPositions(const QByteArray &bytes, RunPosition *p)
{
    qsizetype start = 0;
    for (qsizetype end = bytes.indexOf('\n'); end >= 0; start = end + 1, end = bytes.indexOf('\n', start)) {
        const QByteArray line = bytes.mid(start, end - start);
        if (line.startsWith('+')) {
            bool ok = false;
            const qint64 id = line.mid(1).toLongLong(&ok);
            if (ok)
                p->answered.insert(id);
            continue;
        }
        const qsizetype tab = line.lastIndexOf('\t');
        if (tab < 0)
            continue;
        const QString book = QString::fromUtf8(line.left(tab));
        if (book != p->book)
            p->enterBook(book);
        p->key = QString::fromUtf8(line.mid(tab + 1));
        p->tracked = true;
    }
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

bool RunJournal::begin(const message::MessageDocument &message, const RunPosition &position, QString *error)
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
        || !writeArchive(message, m_base, message::ArchiveKind::InterruptedSend, position.key, position.book, error)) {
        finish();
        return false;
    }
    record(position, position.answered.sorted());
    ::fdatasync(m_fd);
    m_sinceSync.start();
    return true;
}

void RunJournal::record(const RunPosition &position, const QList<qint64> &answered)
{
    if (m_fd < 0)
        return;
    (void)common::writeAll(m_fd, positionRecord(position, answered));
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
        Left l{base, doc.subject(), {}, doc.destinationBooks()};
        l.position.book = doc.resumeBook();
        l.position.key = doc.resumeKey();
        QFile f(base + kPositions);
        if (f.open(QIODevice::ReadOnly))
            readPositions(f.readAll(), &l.position);
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
    if (!writeStoppedRun(doc, stoppedRunBase(name), left.position, error))
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
    QString name = base;
    for (int n = 2; QFile::exists(stoppedRunPath(name)); ++n)
        name = QStringLiteral("%1 (%2)").arg(base).arg(n);
    return name;
}

} // namespace kirvane::sending
