#include "common/smallfile.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kirvane::common {

bool readSmallFile(const QString &path, qint64 limit, QByteArray *bytes, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    auto systemFail = [&] { return fail(QString::fromLocal8Bit(std::strerror(errno))); };
    bytes->clear();
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return systemFail();
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return systemFail();
    if (!S_ISREG(st.st_mode))
        return fail(QStringLiteral("not a regular file"));
    if (st.st_size > limit)
        return fail(QStringLiteral("larger than %1 bytes").arg(limit));
    // The file may grow while it is read: never more than the limit.
    bytes->reserve(qsizetype(st.st_size));
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            bytes->clear();
            return systemFail();
        }
        if (n == 0)
            break;
        if (bytes->size() + n > limit) {
            bytes->clear();
            return fail(QStringLiteral("larger than %1 bytes").arg(limit));
        }
        bytes->append(chunk, n);
    }
    return true;
}

} // namespace kirvane::common
