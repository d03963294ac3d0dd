#pragma once
// Real servers that the protocol tests start on 127.0.0.1 and always stop,
// even when a test fails: a Peer stops its process when it goes out of scope.

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <memory>
#include <sys/types.h>
#include <unistd.h>

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

    bool start()
    {
        port = freePort();
        QFile conf(QString::fromLocal8Bit(qgetenv("KIRVANE_TEST_DATA")) + QStringLiteral("/mail/dovecot.conf.in"));
        if (!conf.open(QIODevice::ReadOnly))
            return false;
        QByteArray text = conf.readAll();
        text.replace("@DIR@", m_dir.path().toUtf8()).replace("@PORT@", QByteArray::number(port));
        if (!m_cert.isEmpty()) {
            // STLS on the plain port, and TLS from the first byte on tlsPort.
            tlsPort = freePort();
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
            && (tlsPort == 0 || waitForPort(tlsPort));
    }

    quint16 port = 0;
    quint16 tlsPort = 0; // with useTls()

private:
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
        port = freePort();
        return startListening(QStringLiteral("/usr/bin/python3"),
                              {"-m", "aiosmtpd", "-n", "-l", QStringLiteral("127.0.0.1:%1").arg(port), "-c",
                               "aiosmtpd.handlers.Mailbox", maildir},
                              port);
    }
    quint16 port = 0;
};
