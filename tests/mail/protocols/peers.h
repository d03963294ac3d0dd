#pragma once
// Real servers that the protocol tests start on 127.0.0.1 and always stop,
// even when a test fails: a Peer stops its process when it goes out of scope.

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <csignal>
#include <memory>
#include <sys/types.h>

// A port that was free a moment ago.
inline quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// True once something accepts connections on the port.
inline bool waitForPort(quint16 port, int ms = 10000)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, port);
        if (s.waitForConnected(200)) {
            s.disconnectFromHost();
            return true;
        }
        QThread::msleep(50);
    }
    return false;
}

class Peer {
public:
    Peer() = default;
    Peer(const Peer &) = delete;
    Peer &operator=(const Peer &) = delete;
    ~Peer() { stop(); }

    bool start(const QString &program, const QStringList &args)
    {
        m_process = std::make_unique<QProcess>();
        m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process->start(program, args);
        return m_process->waitForStarted(5000);
    }
    // Starts a server that should listen on port; true once it does.
    bool startListening(const QString &program, const QStringList &args, quint16 port)
    {
        return start(program, args) && waitForPort(port);
    }
    QProcess *process() const { return m_process.get(); }
    // A peer that forks away from its starter (a daemon) is stopped by the pid
    // it writes; stop() signals that pid too.
    void alsoStopPidFile(const QString &path) { m_pidFile = path; }

    void stop()
    {
        if (!m_pidFile.isEmpty()) {
            QFile f(m_pidFile);
            if (f.open(QIODevice::ReadOnly)) {
                const pid_t pid = pid_t(f.readAll().trimmed().toLongLong());
                if (pid > 1) {
                    ::kill(pid, SIGTERM);
                    for (int i = 0; i < 100 && ::kill(pid, 0) == 0; ++i)
                        QThread::msleep(50);
                }
            }
            m_pidFile.clear();
        }
        if (m_process && m_process->state() != QProcess::NotRunning) {
            m_process->terminate();
            if (!m_process->waitForFinished(5000)) {
                m_process->kill();
                m_process->waitForFinished(2000);
            }
        }
    }

private:
    std::unique_ptr<QProcess> m_process;
    QString m_pidFile;
};

// The scripted peer of tests/mail/protocols/scripted_peer.py, playing the
// steps of a JSON script on one connection; its first line of output is the
// port it listens on.
class ScriptedPeer : public Peer {
public:
    bool start(const QByteArray &scriptJson, const QString &transcriptPath)
    {
        if (!Peer::start(QStringLiteral("/usr/bin/python3"),
                         {QString::fromLocal8Bit(qgetenv("KIRVANE_SOURCE_DIR")) + "/tests/mail/protocols/scripted_peer.py",
                          QString::fromUtf8(scriptJson), transcriptPath}))
            return false;
        if (!process()->waitForReadyRead(10000))
            return false;
        port = quint16(process()->readLine().trimmed().toUInt());
        return port != 0;
    }
    // Waits until the peer has played its script and written what it got.
    QByteArray transcript(const QString &transcriptPath)
    {
        process()->waitForFinished(10000);
        QFile f(transcriptPath);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    quint16 port = 0;
};
