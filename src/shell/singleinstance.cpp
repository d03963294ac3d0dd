#include "shell/singleinstance.h"

#include "common/folders.h"
#include "shell/logging.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kirvane::shell {

using namespace kirvane::common;

namespace {
constexpr char kRaise[] = "raise\n";

QString keyFor(const QString &dataFolder)
{
    const QFileInfo info(dataFolder);
    QString path = info.canonicalFilePath();
    if (path.isEmpty())
        path = QDir::cleanPath(info.absoluteFilePath());
    const QByteArray hash = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("kirvane-") + QString::fromLatin1(hash.left(20));
}
} // namespace

SingleInstance::SingleInstance(const QString &dataFolder, QObject *parent)
    : QObject(parent)
    , m_key(keyFor(dataFolder))
{
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
    if (m_lockFd >= 0) {
        // Removed while still held, so that a copy starting now locks a new
        // file rather than this one (see acquire()).
        ::unlink(QFile::encodeName(lockPath()).constData());
        ::close(m_lockFd); // releases the lock
    }
}

QString SingleInstance::lockPath() const
{
    return tempFolder() + m_key + QStringLiteral(".lock");
}

QString SingleInstance::serverName() const
{
    return tempFolder() + m_key + QStringLiteral(".socket");
}

bool SingleInstance::acquire()
{
    if (m_acquired)
        return true;
    // flock() rather than a file holding a process id: the kernel releases it
    // when the process ends, so neither a crash nor a reused process id can
    // leave the folder refused. Close-on-exec keeps it from a program started
    // from here (the updater).
    const QByteArray path = QFile::encodeName(lockPath());
    const auto unguarded = [&path](const char *what, int error) {
        qCWarning(lcShell, "cannot %s %s (%s); running without the single-copy guard", what, path.constData(),
                 std::strerror(error));
        return true;
    };
    int fd = -1;
    // A copy that ends removes its file while it holds it; one that opened
    // that file just before may then lock it after all, a file no longer
    // named. Such a lock guards nothing: take the file named now instead.
    for (int attempt = 0; attempt < 5 && fd < 0; ++attempt) {
        const int candidate = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (candidate < 0) {
            m_acquired = true;
            return unguarded("open", errno);
        }
        if (::flock(candidate, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(candidate);
            if (error == EWOULDBLOCK)
                return false;
            m_acquired = true;
            return unguarded("lock", error);
        }
        struct stat held {};
        struct stat named {};
        if (::fstat(candidate, &held) == 0 && ::stat(path.constData(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino)
            fd = candidate;
        else
            ::close(candidate);
    }
    if (fd < 0) {
        m_acquired = true;
        return unguarded("keep", EAGAIN);
    }
    m_lockFd = fd;
    m_acquired = true;

    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(serverName()); // left by a copy that crashed
    m_server->listen(serverName());
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *peer = m_server->nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            auto read = [this, peer] {
                if (peer->readAll().contains("raise")) {
                    Q_EMIT raiseRequested();
                    peer->disconnectFromServer();
                }
            };
            connect(peer, &QLocalSocket::readyRead, this, read);
            if (peer->bytesAvailable() > 0)
                read();
        }
    });
    return true;
}

bool SingleInstance::notifyRunning(int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(kRaise);
    const bool sent = socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return sent;
}

} // namespace kirvane::shell
