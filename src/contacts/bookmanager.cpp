#include "contacts/bookmanager.h"

#include "store/contactrecord.h"
#include "store/database.h"
#include "common/folders.h"
#include "store/addressbookstore.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

namespace kirvane::contacts {

using namespace kirvane::common;
using namespace kirvane::store;

QString BookManager::proposeName(const QString &base) const
{
    QString name = base;
    if (QFileInfo::exists(m_store.files().filePath(base + QStringLiteral(".db")))) {
        for (int n = 2;; ++n) {
            const QString candidate = base + QString::number(n);
            if (!QFileInfo::exists(m_store.files().filePath(candidate + QStringLiteral(".db")))) {
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

bool BookManager::exists(const QString &book) const { return m_store.files().bookExists(book); }

BookResult BookManager::create(const QString &name, const QStringList &labels)
{
    if (bookNameCheck(name))
        return BookResult::refused(BookResult::Refusal::BadName);
    if (exists(name))
        return BookResult::failure(CreateFailed, BookFiles::systemMessage(EEXIST));
    const BookFiles &files = m_store.files();
    const QString table = files.filePath(QStringLiteral("an_") + name + QStringLiteral(".db"));
    const QString ini = files.labelPath(name);
    // Labels first, so that the book never exists without them.
    const bool hadLabels = QFileInfo::exists(ini);
    if (!writeLabels(ini, labels))
        return BookResult::failure(CreateFailed, QStringLiteral("cannot write %1").arg(ini));
    BookFiles::dropStrayJournal(table);
    QString why;
    if (!BookFiles::copyNoReplace(files.templatePath(), table, &why)) {
        if (!hadLabels)
            QFile::remove(ini);
        return BookResult::failure(CreateFailed, why);
    }
    return {};
}

BookResult BookManager::duplicate(const QString &source, const QString &copy)
{
    if (!exists(source) || exists(copy))
        return BookResult::failure(DuplicateFailed, BookFiles::systemMessage(exists(copy) ? EEXIST : ENOENT));
    const BookFiles &files = m_store.files();
    const QString table = files.filePath(QStringLiteral("an_") + copy + QStringLiteral(".db"));
    const QString ini = files.filePath(QStringLiteral("an_") + copy + QStringLiteral(".ini"));
    const QString sourceIni = files.labelPath(source);
    if (QFileInfo::exists(sourceIni)) {
        QFile::remove(ini);
        QFile labelFile(sourceIni);
        if (!labelFile.copy(ini))
            return BookResult::failure(DuplicateFailed, labelFile.errorString());
    }
    Database::settle(files.bookPath(source));
    BookFiles::dropStrayJournal(table);
    QString why;
    if (!BookFiles::copyNoReplace(files.bookPath(source), table, &why))
        return BookResult::failure(DuplicateFailed, why);
    return {};
}

BookResult BookManager::rename(const QString &oldName, const QString &newName)
{
    if (exists(newName))
        return BookResult::refused(BookResult::Refusal::NameInUse);
    if (!exists(oldName))
        return BookResult::failure(RenameFailed, BookFiles::systemMessage(ENOENT));
    if (m_store.currentBook().compare(oldName, Qt::CaseInsensitive) == 0)
        m_store.closeCurrentBook();
    const BookFiles &files = m_store.files();
    const QString table = files.filePath(QStringLiteral("an_") + newName + QStringLiteral(".db"));
    Database::settle(files.bookPath(oldName));
    BookFiles::dropStrayJournal(table);
    QString why;
    if (!BookFiles::renameNoReplace(files.bookPath(oldName), table, &why))
        return BookResult::failure(RenameFailed, why);
    const QString oldIni = files.labelPath(oldName);
    if (QFileInfo::exists(oldIni)) {
        const QString ini = files.filePath(QStringLiteral("an_") + newName + QStringLiteral(".ini"));
        QFile::remove(ini); // a stray label file of no book
        QFile labelFile(oldIni);
        if (!labelFile.rename(ini))
            return BookResult::failure(RenameFailed, labelFile.errorString());
    }
    return {};
}

BookResult BookManager::relabel(const QString &name, const QStringList &labels)
{
    const QString ini = m_store.files().labelPath(name);
    if (!writeLabels(ini, labels))
        return BookResult::failure(0, QStringLiteral("cannot write %1").arg(ini));
    return {};
}

BookResult BookManager::remove(const QString &name)
{
    if (name == kSubscribers || name == kBounces)
        return BookResult::refused(BookResult::Refusal::Protected);
    const BookFiles &files = m_store.files();
    const QString table = files.bookPath(name);
    if (!QFileInfo::exists(table))
        return BookResult::failure(DeleteFailed, BookFiles::systemMessage(ENOENT));
    if (m_store.currentBook().compare(name, Qt::CaseInsensitive) == 0)
        m_store.closeCurrentBook();
    Database::settle(table);
    QFile tableFile(table);
    if (!tableFile.remove())
        return BookResult::failure(DeleteFailed, tableFile.errorString());
    QFile::remove(BookFiles::journalOf(table));
    // A book without a label file is an ordinary book; nothing to remove then.
    QFile labelFile(files.labelPath(name));
    if (labelFile.exists() && !labelFile.remove())
        return BookResult::failure(DeleteFailed, labelFile.errorString());
    return {};
}

QStringList BookManager::freeLabels(const QString &name) const
{
    ContactRecord c = emptyContact();
    readLabels(m_store.files().labelPath(name), c);
    return {c[F_champ16].label, c[F_champ17].label, c[F_champ18].label, c[F_champ19].label};
}

} // namespace kirvane::contacts
