#include "shell/singleinstance.h"

#include "store/folders.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

namespace kirvane {

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
    if (m_lock)
        return true;
    auto lock = std::make_unique<QLockFile>(lockPath());
    // Held for the life of the process: never stale by age, only when its
    // owner has gone.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return false;
    m_lock = std::move(lock);

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

} // namespace kirvane
