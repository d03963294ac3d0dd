#include "common/folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kirvane::common {

namespace {

QString g_dataFolder;

QString withSlash(QString p)
{
    if (!p.isEmpty() && !p.endsWith(u'/'))
        p += u'/';
    return p;
}

bool hasBooksFolder(const QString &folder)
{
    QDir d(folder);
    for (const QString &e : d.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (e.compare(QLatin1String("Annuaires"), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// A folder of ours for working files: must be a real directory, ours, 0700.
bool usablePrivateFolder(const QByteArray &path)
{
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0)
        return false;
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    if ((st.st_mode & 0777) != 0700 && ::chmod(path.constData(), 0700) != 0)
        return false;
    return true;
}

} // namespace

QString resolveDataFolder(const QString &explicitHome)
{
    if (!explicitHome.isEmpty())
        return withSlash(QDir(explicitHome).absolutePath());
    const QString env = qEnvironmentVariable("KIRVANE_HOME");
    if (!env.isEmpty())
        return withSlash(QDir(env).absolutePath());
    if (QCoreApplication::instance()) {
        const QString exeDir = QCoreApplication::applicationDirPath();
        if (hasBooksFolder(exeDir))
            return withSlash(exeDir);
    }
    return withSlash(QDir::homePath() + QLatin1String("/.local/share/kirvane"));
}

void setDataFolder(const QString &folder) { g_dataFolder = withSlash(QDir(folder).absolutePath()); }

QString dataFolder()
{
    if (g_dataFolder.isEmpty())
        g_dataFolder = resolveDataFolder();
    return g_dataFolder;
}

QString booksFolder() { return withSlash(findNoCase(dataFolder(), QStringLiteral("Annuaires"))); }
QString historyFolder() { return withSlash(findNoCase(dataFolder(), QStringLiteral("historique"))); }
QString savedFolder() { return withSlash(findNoCase(dataFolder(), QStringLiteral("Sauvegardes"))); }
QString stoppedFolder() { return withSlash(findNoCase(dataFolder(), QStringLiteral("EnvoisStoppés"))); }

QString tempFolder()
{
    static QString cached;
    const QString base = QDir::tempPath();
    QString path = base + QLatin1String("/kirvane-") + QString::number(::geteuid());
    if (!cached.isEmpty() && cached.startsWith(base) && usablePrivateFolder(QFile::encodeName(cached.chopped(1))))
        return cached;
    QByteArray p = QFile::encodeName(path);
    ::mkdir(p.constData(), 0700);
    if (!usablePrivateFolder(p)) {
        // Someone else holds that name: make a fresh private folder instead.
        QByteArray tmpl = QFile::encodeName(base + QLatin1String("/kirvane-XXXXXX"));
        if (::mkdtemp(tmpl.data()))
            path = QFile::decodeName(tmpl);
    }
    cached = withSlash(path);
    return cached;
}

QString specialFolder(const QString &kind)
{
    if (kind == QLatin1String("temp"))
        return tempFolder();
    if (kind == QLatin1String("ACT"))
        return withSlash(QDir::currentPath());
    if (kind == QLatin1String("WIN"))
        return QStringLiteral("/etc/");
    if (kind == QLatin1String("SYS"))
        return QStringLiteral("/usr/lib/");
    return QString();
}

QString findNoCase(const QString &folder, const QString &name)
{
    const QString dir = withSlash(folder);
    if (QFileInfo::exists(dir + name))
        return dir + name;
    QDir d(dir);
    for (const QString &e : d.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        if (e.compare(name, Qt::CaseInsensitive) == 0)
            return dir + e;
    return dir + name;
}

QStringList listFiles(const QString &folder)
{
    QDir d(folder);
    return d.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

void copyFolderFiles(const QString &source, const QString &targetPrefix, bool failIfExists)
{
    const QString src = withSlash(source);
    for (const QString &name : listFiles(src)) {
        const QString target = targetPrefix + name;
        if (QFileInfo::exists(target)) {
            if (failIfExists)
                continue;
            QFile::remove(target);
        }
        QFile::copy(src + name, target);
    }
}

namespace {

// Deeper folders than this are not walked: each level holds a descriptor.
constexpr int kMaxRemovalDepth = 128;

QString systemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

// Empties the folder open as dirFd, going into subfolders without following
// links. False with errno set when something stays.
bool removeFolderContents(int dirFd, int depth)
{
    if (depth > kMaxRemovalDepth) {
        errno = ELOOP;
        return false;
    }
    const int listFd = ::dup(dirFd);
    DIR *dir = listFd < 0 ? nullptr : ::fdopendir(listFd);
    if (!dir) {
        if (listFd >= 0)
            ::close(listFd);
        return false;
    }
    bool ok = true;
    int firstError = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        struct stat st {};
        if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // gone meanwhile
        int flags = 0;
        if (S_ISDIR(st.st_mode)) {
            const int sub = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0 || !removeFolderContents(sub, depth + 1)) {
                if (ok)
                    firstError = errno;
                ok = false;
            }
            if (sub >= 0)
                ::close(sub);
            flags = AT_REMOVEDIR;
        }
        if (::unlinkat(dirFd, name, flags) != 0 && errno != ENOENT) {
            if (ok)
                firstError = errno;
            ok = false;
        }
    }
    ::closedir(dir);
    errno = firstError;
    return ok;
}

// The path with its links resolved, or "" when it does not exist.
QString resolved(const QString &path) { return QFileInfo(path).canonicalFilePath(); }

} // namespace

bool removeFolderTree(const QString &path, const QString &within, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    };
    QString target = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const QString name = QFileInfo(target).fileName();
    const QString parent = resolved(QFileInfo(target).absolutePath());
    const QString boundary = resolved(within);
    if (name.isEmpty() || name == u"." || name == u"..")
        return fail(QStringLiteral("not a name inside a folder"));
    if (parent.isEmpty()) {
        if (!QFileInfo(target).absoluteDir().exists())
            return true; // its folder is gone, and it with it
        return fail(QStringLiteral("its folder cannot be reached"));
    }
    if (boundary.isEmpty() || (parent != boundary && !parent.startsWith(boundary + u'/')))
        return fail(QStringLiteral("outside %1").arg(within));

    const int parentFd = ::open(QFile::encodeName(parent).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parentFd < 0)
        return fail(systemReason(errno));
    const QByteArray entry = QFile::encodeName(name);
    struct stat st {};
    bool ok = true;
    int errorNumber = 0;
    if (::fstatat(parentFd, entry.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        ok = errno == ENOENT;
        errorNumber = errno;
    } else {
        int flags = 0;
        if (S_ISDIR(st.st_mode)) {
            const int fd = ::openat(parentFd, entry.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0 || !removeFolderContents(fd, 0)) {
                ok = false;
                errorNumber = errno;
            }
            if (fd >= 0)
                ::close(fd);
            flags = AT_REMOVEDIR;
        }
        if (ok && ::unlinkat(parentFd, entry.constData(), flags) != 0 && errno != ENOENT) {
            ok = false;
            errorNumber = errno;
        }
    }
    ::close(parentFd);
    return ok ? true : fail(systemReason(errorNumber));
}

namespace {

BookNameFault checkBookName(QStringView name, QStringView forbidden)
{
    if (name.isEmpty())
        return BookNameFault::Empty;
    for (QChar c : name) {
        if (forbidden.contains(c))
            return BookNameFault::Characters;
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            return BookNameFault::LineBreak;
    }
    if (name.contains(QLatin1String("..")))
        return BookNameFault::Dots;
    return BookNameFault::None;
}

} // namespace

BookNameFault bookNameCheck(QStringView name) { return checkBookName(name, u"\\/:*?\"'<>|"); }

BookNameFault existingBookNameCheck(QStringView name) { return checkBookName(name, u"\\/"); }

QString bookNameFaultText(BookNameFault fault)
{
    switch (fault) {
    case BookNameFault::None: break;
    case BookNameFault::Empty: return QStringLiteral("the name is empty");
    case BookNameFault::Characters: return QStringLiteral("the name holds one of \\ / : * ? \" ' < > |");
    case BookNameFault::LineBreak: return QStringLiteral("the name holds a line break or a control character");
    case BookNameFault::Dots: return QStringLiteral("the name holds \"..\"");
    }
    return QString();
}

bool makeFolder(const QString &folder) { return QDir().mkpath(folder); }

} // namespace kirvane::common
