#include "common/filewriter.h"

#include "common/textcodec.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kirvane::common {

namespace {

QString systemError(int number) { return QString::fromLocal8Bit(std::strerror(number)); }

mode_t sharedMode(const QByteArray &target)
{
    struct stat st {};
    if (::stat(target.constData(), &st) == 0)
        return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        written += n;
    }
    return true;
}

bool replaceFile(const QString &path, const QByteArray &bytes, FileAccess access, QString *error)
{
    const QByteArray target = QFile::encodeName(path);
    QByteArray temp = target + ".XXXXXX";
    const mode_t mode = access == FileAccess::Private ? mode_t(0600) : sharedMode(target);
    const int fd = ::mkstemp(temp.data()); // mode 0600 until written
    if (fd < 0) {
        if (error)
            *error = systemError(errno);
        return false;
    }
    int failure = 0;
    if (!writeAll(fd, bytes) || ::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)
        failure = errno;
    if (::close(fd) != 0 && !failure)
        failure = errno;
    if (!failure && ::rename(temp.constData(), target.constData()) != 0)
        failure = errno;
    if (failure) {
        ::unlink(temp.constData());
        if (error)
            *error = systemError(failure);
        return false;
    }
    // The rename itself reaches the disk with the folder's entry.
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool replaceTextFile(const QString &path, QStringView text, FileAccess access, QString *error)
{
    return replaceFile(path, encodeLegacyText(text, true).bytes, access, error);
}

} // namespace kirvane::common
