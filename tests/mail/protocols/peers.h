#pragma once
// Real servers that the protocol tests start on 127.0.0.1 and always stop,
// even when a test fails: a Peer stops its process when it goes out of scope.

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <csignal>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

// The TCP ports on which process pid listens, read from /proc: a server told to
// bind port 0 says where it went, with no port guessed free beforehand.
inline QList<quint16> listeningPorts(qint64 pid)
{
    QSet<QByteArray> inodes;
    const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
    for (const QString &fd : QDir(fds).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)) {
        char target[64];
        const ssize_t n = ::readlink(QFile::encodeName(fds + u'/' + fd).constData(), target, sizeof target);
        const QByteArray link(target, n > 0 ? n : 0);
        if (link.startsWith("socket:[") && link.endsWith(']'))
            inodes.insert(link.mid(8, link.size() - 9));
    }
    QList<quint16> ports;
    for (const char *table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile f(QString::fromLatin1(table));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        f.readLine(); // the heading
        while (!f.atEnd()) {
            const QList<QByteArray> cols = f.readLine().simplified().split(' ');
            // local address "HEX:PORT", state 0A = LISTEN, inode in column 9
            if (cols.size() > 9 && cols[3] == "0A" && inodes.contains(cols[9])) {
                const quint16 port = quint16(cols[1].mid(cols[1].lastIndexOf(':') + 1).toUInt(nullptr, 16));
                if (!ports.contains(port))
                    ports << port;
            }
        }
    }
    return ports;
}

// A loopback port where nothing listens for as long as the object lives: the
// socket is bound but never listens, so a connection is refused, and no other
// program can take the port in the meantime.
class ClosedPort {
public:
    ClosedPort()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0
            && ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&a), &len) == 0)
            port = ntohs(a.sin_port);
    }
    ClosedPort(const ClosedPort &) = delete;
    ClosedPort &operator=(const ClosedPort &) = delete;
    ~ClosedPort()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    quint16 port = 0;

private:
    int m_fd = -1;
};

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
    // Starts a server told to listen on port 0 and returns the port it took,
    // or 0 when it stopped or took none within ten seconds.
    quint16 startOnAnyPort(const QString &program, const QStringList &args)
    {
        return start(program, args) ? waitForListening() : 0;
    }
    // Starts a server that should listen on port (one it had before, or one
    // given to a server that takes no port 0); true once this server does.
    bool startListening(const QString &program, const QStringList &args, quint16 port)
    {
        return start(program, args) && waitForListening(port) == port;
    }
    // The port the server listens on (port, or any when 0) once it does; 0
    // when it stopped first or took too long.
    quint16 waitForListening(quint16 port = 0, int ms = 10000)
    {
        QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired() && m_process->state() == QProcess::Running) {
            const QList<quint16> ports = listeningPorts(m_process->processId());
            if (port == 0 ? !ports.isEmpty() : ports.contains(port))
                return port == 0 ? ports.first() : port;
            QThread::msleep(20);
        }
        return 0;
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

// Dovecot serving the POP3 mailbox of "alice" (password "secret") from a
// folder of its own, in the foreground; put messages in before start(). Another
// user name may be given, such as the "login#server" a POP3 proxy is sent.
class Dovecot : public Peer {
public:
    explicit Dovecot(const QString &user = QStringLiteral("alice")) : m_user(user)
    {
        // The mail processes run as nobody and must reach the mailbox.
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                | QFileDevice::ReadGroup | QFileDevice::ExeGroup
                                                | QFileDevice::ReadOther | QFileDevice::ExeOther);
        for (const char *sub : {"cur", "new", "tmp"})
            QDir().mkpath(maildir() + '/' + sub);
        QDir().mkpath(m_dir.filePath(QStringLiteral("run")));
        QDir().mkpath(m_dir.filePath(QStringLiteral("state")));
    }
    // It hands the mailbox to the mail user nobody, which takes root.
    static bool canRun() { return ::geteuid() == 0; }
    // Stopped before its folder goes.
    ~Dovecot() { stop(); }

    QString maildir() const { return m_dir.path() + QStringLiteral("/mail/") + m_user + QStringLiteral("/Maildir"); }
    // Files of the mailbox not yet seen by a client.
    QStringList newFiles() const { return QDir(maildir() + QStringLiteral("/new")).entryList(QDir::Files); }

    // Puts a message, as it is (the server stuffs it on the wire).
    bool addMessage(const QByteArray &bytes)
    {
        QFile f(maildir() + QStringLiteral("/new/%1.kirvane").arg(m_added++, 4, 10, QLatin1Char('0')));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }

    // Before start(): serve TLS with this certificate and key.
    void useTls(const QString &cert, const QString &key)
    {
        m_cert = cert;
        m_key = key;
    }

    // Dovecot takes no port 0: it is given ports the kernel has just handed
    // out and, should another program take one first, started again on others.
    bool start()
    {
        for (int attempt = 0; attempt < 5; ++attempt) {
            const QList<quint16> ports = unusedPorts(m_cert.isEmpty() ? 1 : 2);
            if (startOn(ports.value(0), ports.value(1)))
                return true;
            stop();
        }
        return false;
    }

    quint16 port = 0;
    quint16 tlsPort = 0; // with useTls()

private:
    // Ports no one listened on a moment ago, all different.
    static QList<quint16> unusedPorts(int n)
    {
        std::vector<std::unique_ptr<QTcpServer>> probes;
        QList<quint16> ports;
        for (int i = 0; i < n; ++i) {
            probes.push_back(std::make_unique<QTcpServer>());
            probes.back()->listen(QHostAddress::LocalHost, 0);
            ports << probes.back()->serverPort();
        }
        return ports;
    }

    bool startOn(quint16 plainPort, quint16 securePort)
    {
        port = plainPort;
        tlsPort = securePort;
        QFile conf(QString::fromLocal8Bit(qgetenv("KIRVANE_TEST_DATA")) + QStringLiteral("/mail/dovecot.conf.in"));
        if (!conf.open(QIODevice::ReadOnly))
            return false;
        QByteArray text = conf.readAll();
        text.replace("@DIR@", m_dir.path().toUtf8()).replace("@PORT@", QByteArray::number(port));
        if (!m_cert.isEmpty()) {
            // STLS on the plain port, and TLS from the first byte on tlsPort.
            text.replace("ssl = no\n", "ssl = yes\nssl_cert = <" + QFile::encodeName(m_cert) + "\nssl_key = <"
                                           + QFile::encodeName(m_key) + "\n");
            text.replace("  inet_listener pop3 {\n", "  inet_listener pop3s {\n    address = 127.0.0.1\n    port = "
                                                      + QByteArray::number(tlsPort)
                                                      + "\n    ssl = yes\n  }\n  inet_listener pop3 {\n");
        }
        QFile out(m_dir.filePath(QStringLiteral("dovecot.conf")));
        QFile passwd(m_dir.filePath(QStringLiteral("passwd")));
        if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !passwd.open(QIODevice::WriteOnly)
            || passwd.write(m_user.toUtf8() + ":{PLAIN}secret\n") <= 0)
            return false;
        out.close();
        passwd.close();
        if (QProcess::execute(QStringLiteral("chown"), {"-R", "65534:65534", m_dir.filePath(QStringLiteral("mail"))}) != 0)
            return false;
        alsoStopPidFile(m_dir.filePath(QStringLiteral("run/master.pid")));
        return startListening(QStringLiteral("/usr/sbin/dovecot"), {"-F", "-c", out.fileName()}, port)
            && (tlsPort == 0 || waitForListening(tlsPort) == tlsPort);
    }

    QString m_cert;
    QString m_key;
    QString m_user;
    QTemporaryDir m_dir;
    int m_added = 0;
};

// aiosmtpd of tests/mail/protocols/tls_smtpd.py: STARTTLS ("starttls"), TLS
// from the first byte ("tls") or neither ("plain"), with the certificate and
// key given, and a login with options {"--login", "USER:PASSWORD"}. It keeps
// each message in maildir/new with X-Login and X-Tls in front.
class TlsSmtpd : public Peer {
public:
    bool start(const QString &mode, const QString &cert, const QString &key, const QString &maildir,
               const QStringList &options = {})
    {
        if (!Peer::start(QStringLiteral("/usr/bin/python3"),
                         QStringList{QString::fromLocal8Bit(qgetenv("KIRVANE_SOURCE_DIR"))
                                         + QStringLiteral("/tests/mail/protocols/tls_smtpd.py"),
                                     mode, cert, key, maildir}
                             + options)
            || !process()->waitForReadyRead(10000))
            return false;
        port = quint16(process()->readLine().trimmed().toUInt());
        return port != 0;
    }
    quint16 port = 0;
};

// aiosmtpd keeping every message it accepts as a file in maildir/new, with
// the stuffing undone and its X-Peer, X-MailFrom and X-RcptTo headers added.
class Aiosmtpd : public Peer {
public:
    bool start(const QString &maildir)
    {
        port = startOnAnyPort(QStringLiteral("/usr/bin/python3"),
                              {"-m", "aiosmtpd", "-n", "-l", "127.0.0.1:0", "-c", "aiosmtpd.handlers.Mailbox", maildir});
        return port != 0;
    }
    quint16 port = 0;
};
