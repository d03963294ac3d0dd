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

bool BookManager::nameInUseFor(const QString &oldName, const QString &newName) const
{
    const bool caseOnly = oldName != newName && oldName.compare(newName, Qt::CaseInsensitive) == 0;
    return !caseOnly && exists(newName);
}

bool BookManager::isProtected(const QString &book)
{
    return book.compare(kSubscribers, Qt::CaseInsensitive) == 0 || book.compare(kBounces, Qt::CaseInsensitive) == 0;
}

namespace {

// The refusal of the first name that fails its check, or an empty result:
// the names of existing books, then the names to be given.
BookResult checkNames(std::initializer_list<QString> existing, std::initializer_list<QString> given = {})
{
    BookNameFault fault = BookNameFault::None;
    for (const QString &name : existing)
        if (fault == BookNameFault::None)
            fault = existingBookNameCheck(name);
    for (const QString &name : given)
        if (fault == BookNameFault::None)
            fault = bookNameCheck(name);
    if (fault == BookNameFault::None)
        return {};
    BookResult bad = BookResult::refused(BookResult::Refusal::BadName, bookNameFaultText(fault));
    bad.nameFault = fault;
    return bad;
}

// Copies the table file from to table, never over a file. When that fails, the
// label file ini is removed if it was written for this book, so that no label
// file of no book stays behind; the failure carries code and the reason.
BookResult copyTable(const QString &from, const QString &table, const QString &ini, bool labelsWritten, int code)
{
    BookFiles::dropStrayJournal(table);
    QString why;
    if (!BookFiles::copyNoReplace(from, table, &why)) {
        if (labelsWritten)
            QFile::remove(ini);
        return BookResult::failure(code, why);
    }
    return {};
}

} // namespace

BookResult BookManager::create(const QString &name, const QStringList &labels)
{
    if (BookResult bad = checkNames({}, {name}); !bad.ok())
        return bad;
    if (exists(name))
        return BookResult::failure(CreateFailed, BookFiles::systemMessage(EEXIST));
    const BookFiles &files = m_store.files();
    try {
        files.checkTemplate();
    } catch (const StoreError &e) {
        return BookResult::failure(CreateFailed, QString::fromStdString(e.what()));
    }
    const QString table = files.bookPath(name);
    const QString ini = files.labelPath(name);
    // Labels first, so that the book never exists without them.
    const bool hadLabels = QFileInfo::exists(ini);
    QString why;
    if (!writeLabels(ini, labels, &why))
        return BookResult::failure(CreateFailed, QStringLiteral("cannot write %1: %2").arg(ini, why));
    return copyTable(files.templatePath(), table, ini, !hadLabels, CreateFailed);
}

BookResult BookManager::duplicate(const QString &source, const QString &copy)
{
    if (BookResult bad = checkNames({source}, {copy}); !bad.ok())
        return bad;
    if (!exists(source) || exists(copy))
        return BookResult::failure(DuplicateFailed, BookFiles::systemMessage(exists(copy) ? EEXIST : ENOENT));
    const BookFiles &files = m_store.files();
    const QString table = files.bookPath(copy);
    const QString ini = files.labelPath(copy);
    const QString sourceIni = files.labelPath(source);
    bool labelsCopied = false;
    if (QFileInfo::exists(sourceIni)) {
        QFile::remove(ini); // a stray label file of no book
        QFile labelFile(sourceIni);
        if (!labelFile.copy(ini))
            return BookResult::failure(DuplicateFailed, labelFile.errorString());
        labelsCopied = true;
    }
    Database::settle(files.bookPath(source));
    return copyTable(files.bookPath(source), table, ini, labelsCopied, DuplicateFailed);
}

BookResult BookManager::rename(const QString &oldName, const QString &newName)
{
    if (BookResult bad = checkNames({oldName}, {newName}); !bad.ok())
        return bad;
    // A new letter case of the same name finds the book itself: not a name in use.
    const bool caseOnly = oldName != newName && oldName.compare(newName, Qt::CaseInsensitive) == 0;
    if (nameInUseFor(oldName, newName))
        return BookResult::refused(BookResult::Refusal::NameInUse);
    if (!exists(oldName))
        return BookResult::failure(RenameFailed, BookFiles::systemMessage(ENOENT));
    if (m_store.currentBook().compare(oldName, Qt::CaseInsensitive) == 0)
        m_store.closeCurrentBook();
    const BookFiles &files = m_store.files();
    const QString from = files.bookPath(oldName);
    const QString table = caseOnly ? files.bookPathAsNamed(newName) : files.bookPath(newName);
    if (from != table) {
        Database::settle(from);
        BookFiles::dropStrayJournal(table);
        QString why;
        if (!BookFiles::renameNoReplace(from, table, &why))
            return BookResult::failure(RenameFailed, why);
    }
    const QString oldIni = files.labelPath(oldName);
    const QString ini = caseOnly ? files.labelPathAsNamed(newName) : files.labelPath(newName);
    if (QFileInfo::exists(oldIni) && oldIni != ini) {
        if (!caseOnly)
            QFile::remove(ini); // a stray label file of no book
        QFile labelFile(oldIni);
        if (!labelFile.rename(ini))
            return BookResult::failure(RenameFailed, labelFile.errorString());
    }
    return {};
}

BookResult BookManager::relabel(const QString &name, const QStringList &labels)
{
    if (BookResult bad = checkNames({name}); !bad.ok())
        return bad;
    const QString ini = m_store.files().labelPath(name);
    QString why;
    if (!writeLabels(ini, labels, &why))
        return BookResult::failure(0, QStringLiteral("cannot write %1: %2").arg(ini, why));
    return {};
}

BookResult BookManager::remove(const QString &name)
{
    if (BookResult bad = checkNames({name}); !bad.ok())
        return bad;
    if (isProtected(name))
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
    if (existingBookNameCheck(name) == BookNameFault::None)
        readLabels(m_store.files().labelPath(name), c);
    return {c[F_champ16].label, c[F_champ17].label, c[F_champ18].label, c[F_champ19].label};
}

QString bookToShow(const QStringList &books, const std::optional<QStringList> &knownBefore,
                   const QString &chosenBefore)
{
    if (knownBefore)
        for (auto it = books.crbegin(); it != books.crend(); ++it)
            if (!knownBefore->contains(*it))
                return *it;
    if (!chosenBefore.isEmpty() && books.contains(chosenBefore))
        return chosenBefore;
    return books.size() == 1 ? books.first() : QString();
}

} // namespace kirvane::contacts
