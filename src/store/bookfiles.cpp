#include "store/bookfiles.h"

#include "store/nameorder.h"

#include "common/filewriter.h"
#include "common/folders.h"
#include "common/textcodec.h"
#include "store/contactrecord.h"
#include "store/database.h"
#include "store/tableformat.h"
#include "store/tableschemas.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kirvane::store {

using namespace kirvane::common;

namespace {

const QString kTitles = QStringLiteral("Monsieur\nMadame\nMademoiselle\nDocteur\nMaître\nProfesseur\nMr\nMrs\nMs\nDr");

// Makes a table file at path by running sql in a new file beside it, then
// moving it into place, so a half-made file is never left under that name.
bool makeTableFile(const QString &path, const QString &sql, QString *error)
{
    const QString tmp = path + QStringLiteral(".making");
    QFile::remove(tmp);
    try {
        auto db = Database::open(tmp, Database::Mode::Create);
        db->exec(sql);
    } catch (const StoreError &e) {
        QFile::remove(tmp);
        if (error)
            *error = QString::fromStdString(e.what());
        return false;
    }
    if (!QFile::rename(tmp, path)) {
        QFile::remove(tmp);
        if (error)
            *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}

} // namespace

bool BookFiles::ensureDataFolder(const QString &folder, QString *error)
{
    auto failed = [&](const QString &what) {
        if (error && error->isEmpty())
            *error = what;
        return false;
    };
    if (!makeFolder(folder))
        return failed(QStringLiteral("cannot create the data folder %1").arg(folder));
    const QString books = findNoCase(folder, QStringLiteral("Annuaires"));
    const QString history = findNoCase(folder, QStringLiteral("historique"));
    if (!makeFolder(books) || !makeFolder(history))
        return failed(QStringLiteral("cannot create the folders of %1").arg(folder));
    const QString tmpl = findTable(books, QStringLiteral("vierge.db"));
    if (!QFileInfo::exists(tmpl) && !makeTableFile(tmpl, bookTableSql(), error))
        return false;
    const QString tmplIni = findNoCase(books, QStringLiteral("vierge.ini"));
    QString why;
    if (!QFileInfo::exists(tmplIni) && !writeLabels(tmplIni, defaultLabels().mid(15), &why))
        return failed(QStringLiteral("cannot write %1: %2").arg(tmplIni, why));
    const QString histo = findTable(history, QStringLiteral("historique.db"));
    if (!QFileInfo::exists(histo) && !makeTableFile(histo, historyTableSql(), error))
        return false;
    const QString titles = findNoCase(folder, QStringLiteral("titre.ini"));
    if (!QFileInfo::exists(titles)) {
        QString t = kTitles;
        t.replace(u'\n', QLatin1String("\r\n"));
        if (!replaceTextFile(titles, t + QLatin1String("\r\n"), FileAccess::Shared, &why))
            return failed(QStringLiteral("cannot write %1: %2").arg(titles, why));
    }
    return true;
}

QString BookFiles::folder() const { return m_folder.isEmpty() ? booksFolder() : m_folder; }

QString BookFiles::findTable(const QString &folder, const QString &name)
{
    const QString dir = folder.endsWith(u'/') ? folder : folder + u'/';
    const auto ours = [](const QString &path) { return tableFormatOf(path) != TableFormat::Paradox; };
    if (QFileInfo::exists(dir + name) && ours(dir + name))
        return dir + name;
    const QStringList entries = QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &e : entries)
        if (e != name && e.compare(name, Qt::CaseInsensitive) == 0 && ours(dir + e))
            return dir + e;
    return dir + name;
}

QString BookFiles::filePath(const QString &fileName) const
{
    return fileName.endsWith(QLatin1String(".db"), Qt::CaseInsensitive) ? findTable(folder(), fileName)
                                                                        : findNoCase(folder(), fileName);
}

void BookFiles::checkBookName(const QString &book)
{
    const BookNameFault fault = existingBookNameCheck(book);
    if (fault != BookNameFault::None)
        throw StoreError(QStringLiteral("not a name an address book can have: %1") // the name may hold a line break
                             .arg(bookNameFaultText(fault)).toStdString());
}

QString BookFiles::bookPath(const QString &book) const
{
    checkBookName(book);
    return filePath(QStringLiteral("an_") + book + QStringLiteral(".db"));
}

QString BookFiles::labelPath(const QString &book) const
{
    checkBookName(book);
    return filePath(QStringLiteral("an_") + book + QStringLiteral(".ini"));
}

QString BookFiles::bookPathAsNamed(const QString &book) const
{
    checkBookName(book);
    return folder() + QStringLiteral("an_") + book + QStringLiteral(".db");
}

QString BookFiles::labelPathAsNamed(const QString &book) const
{
    checkBookName(book);
    return folder() + QStringLiteral("an_") + book + QStringLiteral(".ini");
}

bool BookFiles::bookExists(const QString &book) const
{
    return existingBookNameCheck(book) == BookNameFault::None && QFileInfo::exists(bookPath(book));
}

void BookFiles::checkTemplate() const
{
    const QString path = templatePath();
    try {
        auto db = Database::open(path, Database::Mode::ReadOnly);
        Statement check = db->prepare(QStringLiteral("PRAGMA quick_check"));
        const QString verdict = check.step() ? check.text(0) : QString();
        if (verdict != QLatin1String("ok"))
            throw StoreError(verdict.toStdString());
        QStringList expected = contactColumns();
        expected << kBookNameColumn;
        const QStringList columns = db->columns();
        for (const QString &c : expected)
            if (!columns.contains(c, Qt::CaseInsensitive))
                throw StoreError(QStringLiteral("no column %1").arg(c).toStdString());
    } catch (const StoreError &e) {
        throw StoreError(QStringLiteral("the template %1 is damaged: %2").arg(path, QString::fromStdString(e.what()))
                             .toStdString());
    }
}

QStringList BookFiles::listBooks() const
{
    QStringList names;
    for (const QString &file : listFiles(folder())) {
        if (!file.startsWith(QLatin1String("an_"), Qt::CaseInsensitive) ||
            !file.endsWith(QLatin1String(".db"), Qt::CaseInsensitive) ||
            tableFormatOf(folder() + file) == TableFormat::Paradox)
            continue;
        names << file.mid(3, file.size() - 6);
    }
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}

QList<QByteArray> BookFiles::unreachableBookFiles() const
{
    // QDir leaves such names out; the folder is read as bytes here.
    QList<QByteArray> names;
    DIR *dir = ::opendir(QFile::encodeName(folder()).constData());
    if (!dir)
        return names;
    while (const dirent *e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name.size() > 5 && name.left(3).toLower() == "an_" && name.right(3).toLower() == ".db" && !isValidUtf8(name))
            names << name;
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::shared_ptr<Database> BookFiles::openTable(const QString &table, bool create) const
{
    return Database::open(filePath(table + QStringLiteral(".db")),
                          create ? Database::Mode::Create : Database::Mode::ReadWrite);
}

std::shared_ptr<Database> BookFiles::openBook(const QString &book) const
{
    auto db = Database::open(bookPath(book));
    prepareNameOrder(*db);
    return db;
}

void BookFiles::remakeFromTemplate(const QString &table) const
{
    const QString target = filePath(table + QStringLiteral(".db"));
    const QString tmp = target + QStringLiteral(".making");
    QFile::remove(tmp);
    if (tableFormatOf(target) == TableFormat::Paradox)
        return; // a table of the earlier format under our very name: the migration moves it aside
    const bool copied = QFile::copy(templatePath(), tmp);
    QFile::remove(target);
    QFile::remove(journalOf(target)); // it belongs to the old table
    if (copied)
        QFile::rename(tmp, target);
}

QString BookFiles::systemMessage(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

bool BookFiles::renameNoReplace(const QString &from, const QString &to, QString *why)
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

bool BookFiles::copyNoReplace(const QString &from, const QString &to, QString *why)
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

void BookFiles::dropStrayJournal(const QString &table)
{
    if (!QFileInfo::exists(table))
        QFile::remove(journalOf(table));
}

} // namespace kirvane::store
