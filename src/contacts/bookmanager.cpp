#include "contacts/bookmanager.h"

#include "store/contact.h"
#include "store/database.h"
#include "store/folders.h"
#include "store/tbase.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kirvane {

namespace {

QString systemMessage(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Moves from onto to unless to exists (atomically: no window in which another
// file of that name could be overwritten).
bool renameNoReplace(const QString &from, const QString &to, QString *why)
{
    const QByteArray f = QFile::encodeName(from), t = QFile::encodeName(to);
#ifdef SYS_renameat2
    if (::syscall(SYS_renameat2, AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), 1 /* RENAME_NOREPLACE */) == 0)
        return true;
    if (errno != ENOSYS && errno != EINVAL) {
        *why = systemMessage(errno);
        return false;
    }
#endif
    // File systems without it: a hard link refuses an existing target too.
    if (::link(f.constData(), t.constData()) != 0) {
        *why = systemMessage(errno);
        return false;
    }
    ::unlink(f.constData());
    return true;
}

// Copies from to a new file to, refusing to overwrite; the target appears whole.
bool copyNoReplace(const QString &from, const QString &to, QString *why)
{
    if (QFileInfo::exists(to)) {
        *why = systemMessage(EEXIST);
        return false;
    }
    const QString tmp = to + QStringLiteral(".making");
    QFile::remove(tmp);
    QFile source(from);
    if (!source.copy(tmp)) {
        *why = source.errorString();
        return false;
    }
    if (!renameNoReplace(tmp, to, why)) {
        QFile::remove(tmp);
        return false;
    }
    return true;
}

// Removes path; false with the system's message when it cannot.
bool removeFile(const QString &path, QString *why)
{
    QFile f(path);
    if (f.remove())
        return true;
    *why = f.errorString();
    return false;
}

QString journalOf(const QString &table) { return table + QStringLiteral("-journal"); }

// A journal whose table is gone would be played back into the next file of
// that name, mixing pages of another book into it.
void dropStrayJournal(const QString &table)
{
    if (!QFileInfo::exists(table))
        QFile::remove(journalOf(table));
}

} // namespace

QString BookManager::proposeName(const QString &base) const
{
    QString name = base;
    if (QFileInfo::exists(m_base.bookFile(base + QStringLiteral(".db")))) {
        for (int n = 2;; ++n) {
            const QString candidate = base + QString::number(n);
            if (!QFileInfo::exists(m_base.bookFile(candidate + QStringLiteral(".db")))) {
                name = candidate;
                break;
            }
        }
    }
    const int at = name.indexOf(QLatin1String("an_"));
    if (at >= 0)
        name.remove(at, 3);
    return name;
}

QString BookManager::proposeNewName(bool french) const
{
    return proposeName(french ? QStringLiteral("an_nouveau") : QStringLiteral("an_New"));
}

QString BookManager::proposeCopyName(const QString &source, bool french) const
{
    return proposeName((french ? QStringLiteral("an_Copie de") : QStringLiteral("an_Copy of ")) + source);
}

bool BookManager::exists(const QString &book) const { return QFileInfo::exists(m_base.bookPath(book)); }

int BookManager::create(const QString &name, const QStringList &labels)
{
    m_error.clear();
    if (bookNameCheck(name))
        return NameRefused;
    if (exists(name)) {
        m_error = systemMessage(EEXIST);
        return CreateFailed;
    }
    const QString table = m_base.bookFile(QStringLiteral("an_") + name + QStringLiteral(".db"));
    const QString ini = m_base.labelPath(name);
    // Labels first, so that the book never exists without them.
    const bool hadLabels = QFileInfo::exists(ini);
    if (!writeLabels(ini, labels)) {
        m_error = QStringLiteral("cannot write %1").arg(ini);
        return CreateFailed;
    }
    dropStrayJournal(table);
    if (!copyNoReplace(m_base.bookFile(QStringLiteral("vierge.db")), table, &m_error)) {
        if (!hadLabels)
            QFile::remove(ini);
        return CreateFailed;
    }
    return Ok;
}

int BookManager::duplicate(const QString &source, const QString &copy)
{
    m_error.clear();
    if (!exists(source) || exists(copy)) {
        m_error = systemMessage(exists(copy) ? EEXIST : ENOENT);
        return DuplicateFailed;
    }
    const QString table = m_base.bookFile(QStringLiteral("an_") + copy + QStringLiteral(".db"));
    const QString ini = m_base.bookFile(QStringLiteral("an_") + copy + QStringLiteral(".ini"));
    const QString sourceIni = m_base.labelPath(source);
    if (QFileInfo::exists(sourceIni)) {
        QFile::remove(ini);
        QFile labelFile(sourceIni);
        if (!labelFile.copy(ini)) {
            m_error = labelFile.errorString();
            return DuplicateFailed;
        }
    }
    Database::settle(m_base.bookPath(source));
    dropStrayJournal(table);
    if (!copyNoReplace(m_base.bookPath(source), table, &m_error))
        return DuplicateFailed;
    return Ok;
}

int BookManager::rename(const QString &oldName, const QString &newName)
{
    m_error.clear();
    if (exists(newName))
        return NameInUse;
    if (!exists(oldName)) {
        m_error = systemMessage(ENOENT);
        return RenameFailed;
    }
    if (m_base.currentBook().compare(oldName, Qt::CaseInsensitive) == 0)
        m_base.CloseCurrentBook();
    const QString table = m_base.bookFile(QStringLiteral("an_") + newName + QStringLiteral(".db"));
    Database::settle(m_base.bookPath(oldName));
    dropStrayJournal(table);
    if (!renameNoReplace(m_base.bookPath(oldName), table, &m_error))
        return RenameFailed;
    const QString oldIni = m_base.labelPath(oldName);
    if (QFileInfo::exists(oldIni)) {
        const QString ini = m_base.bookFile(QStringLiteral("an_") + newName + QStringLiteral(".ini"));
        QFile::remove(ini); // a stray label file of no book
        QFile labelFile(oldIni);
        if (!labelFile.rename(ini)) {
            m_error = labelFile.errorString();
            return RenameFailed;
        }
    }
    return Ok;
}

int BookManager::relabel(const QString &name, const QStringList &labels)
{
    m_error.clear();
    return writeLabels(m_base.labelPath(name), labels) ? Ok : LabelsUnwritten;
}

int BookManager::remove(const QString &name)
{
    m_error.clear();
    if (name == kSubscribers || name == kBounces)
        return Protected;
    const QString table = m_base.bookPath(name);
    if (!QFileInfo::exists(table)) {
        m_error = systemMessage(ENOENT);
        return DeleteFailed;
    }
    if (m_base.currentBook().compare(name, Qt::CaseInsensitive) == 0)
        m_base.CloseCurrentBook();
    Database::settle(table);
    if (!removeFile(table, &m_error))
        return DeleteFailed;
    QFile::remove(journalOf(table));
    // A book without a label file is an ordinary book; nothing to remove then.
    const QString ini = m_base.labelPath(name);
    if (QFileInfo::exists(ini) && !removeFile(ini, &m_error))
        return DeleteFailed;
    return Ok;
}

QStringList BookManager::freeLabels(const QString &name) const
{
    T_contact c = emptyContact();
    readLabels(m_base.labelPath(name), c);
    return {c[F_champ16].label, c[F_champ17].label, c[F_champ18].label, c[F_champ19].label};
}

} // namespace kirvane
