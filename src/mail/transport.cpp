#include "mail/transport.h"

#include "common/smallfile.h"

#include <QFile>
#include <QHostAddress>
#include <QStringList>
#include <QUrl>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <list>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kirvane::mail {

namespace {

// The longest a wait blocks before it looks at its deadline and at an abort again.
constexpr int sliceMs = 50;

int pollSlice(QDeadlineTimer deadline)
{
    const qint64 left = deadline.remainingTime();
    if (left < 0)
        return sliceMs; // forever: still look for an abort now and then
    return int(qMin<qint64>(left, sliceMs));
}

// lookUp's result when the deadline came first (getaddrinfo's codes are
// zero or negative).
constexpr int kLookupTimedOut = 1;

// A name lookup that its caller may stop waiting for. The resolver blocks
// for as long as its own limits say (seconds per name server and attempt), so
// it runs on a thread of its own; a caller that gives up leaves the result to
// that thread to free.
struct Lookup {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool abandoned = false;
    int rc = EAI_AGAIN;
    addrinfo *list = nullptr;
};

// The one owner of the lookup threads. A lookup cannot be stopped once the
// resolver has it, and a caller whose deadline passed does not wait for it;
// its thread is joined here instead: at the next lookup once it has ended,
// and at the latest when the program ends (after at most the resolver's own
// limits).
class LookupThreads {
public:
    static LookupThreads &instance()
    {
        static LookupThreads threads;
        return threads;
    }
    LookupThreads(const LookupThreads &) = delete;
    LookupThreads &operator=(const LookupThreads &) = delete;

    ~LookupThreads()
    {
        const std::lock_guard lock(m_mutex);
        for (Entry &e : m_entries)
            e.thread.join();
    }

    // Runs work on a thread of its own; throws std::system_error when no
    // thread can be had.
    void start(std::function<void()> work)
    {
        const std::lock_guard lock(m_mutex);
        joinEnded();
        auto ended = std::make_shared<std::atomic<bool>>(false);
        std::thread thread([work = std::move(work), ended] {
            work();
            ended->store(true);
        });
        m_entries.push_back({std::move(thread), std::move(ended)});
    }

private:
    LookupThreads() = default;

    struct Entry {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> ended;
    };

    void joinEnded()
    {
        for (auto it = m_entries.begin(); it != m_entries.end();) {
            if (it->ended->load()) {
                it->thread.join();
                it = m_entries.erase(it);
            } else {
                ++it;
            }
        }
    }

    std::mutex m_mutex;
    std::list<Entry> m_entries;
};

} // namespace

namespace {

// OpenSSL reads and writes the socket through this small BIO rather than its
// own socket BIO, whose writes can raise SIGPIPE once the peer has gone;
// send() with MSG_NOSIGNAL makes that an error of the call. A call that
// finds nothing within the socket's slice (EAGAIN) asks to be retried, which
// OpenSSL reports as SSL_ERROR_WANT_READ or SSL_ERROR_WANT_WRITE.
int socketOf(BIO *bio)
{
    return int(reinterpret_cast<intptr_t>(BIO_get_data(bio)));
}

bool retryable(ssize_t n)
{
    return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
}

int bioWrite(BIO *bio, const char *data, int size)
{
    BIO_clear_retry_flags(bio);
    const ssize_t n = ::send(socketOf(bio), data, size_t(size), MSG_NOSIGNAL);
    if (retryable(n))
        BIO_set_retry_write(bio);
    return int(n);
}

int bioRead(BIO *bio, char *data, int size)
{
    BIO_clear_retry_flags(bio);
    const ssize_t n = ::recv(socketOf(bio), data, size_t(size), 0);
    if (retryable(n))
        BIO_set_retry_read(bio);
    return int(n);
}

long bioControl(BIO *, int command, long, void *)
{
    return command == BIO_CTRL_FLUSH ? 1 : 0; // every write goes straight to the socket
}

int bioCreate(BIO *bio)
{
    BIO_set_init(bio, 1);
    return 1;
}

// A BIO on the socket fd, or null when OpenSSL cannot make one.
BIO *socketBio(int fd)
{
    static BIO_METHOD *const method = [] {
        BIO_METHOD *m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "kirvane socket");
        if (m) {
            BIO_meth_set_write(m, bioWrite);
            BIO_meth_set_read(m, bioRead);
            BIO_meth_set_ctrl(m, bioControl);
            BIO_meth_set_create(m, bioCreate);
        }
        return m;
    }();
    BIO *bio = method ? BIO_new(method) : nullptr;
    if (bio)
        BIO_set_data(bio, reinterpret_cast<void *>(intptr_t(fd)));
    return bio;
}

// The reasons OpenSSL queued for the last failure, oldest first.
QString openSslErrors()
{
    QStringList texts;
    while (const unsigned long e = ERR_get_error()) {
        const char *reason = ERR_reason_error_string(e);
        if (reason) {
            texts << QString::fromLatin1(reason);
        } else {
            char text[256];
            ERR_error_string_n(e, text, sizeof text);
            texts << QString::fromLatin1(text);
        }
    }
    texts.removeDuplicates();
    return texts.join(QStringLiteral("; "));
}

} // namespace

struct TcpTransport::Tls {
    SSL_CTX *context = nullptr;
    SSL *ssl = nullptr;
    ~Tls()
    {
        if (ssl)
            SSL_free(ssl);
        if (context)
            SSL_CTX_free(context);
    }
};

TcpTransport::TcpTransport() : resolve(::getaddrinfo) {}

TcpTransport::~TcpTransport()
{
    close();
}

int TcpTransport::lookUp(const QByteArray &host, const QByteArray &service, const addrinfo &hints, addrinfo **list,
                         QDeadlineTimer deadline)
{
    // A numeric address asks no name server.
    if (hints.ai_flags & AI_NUMERICHOST)
        return resolve(host.constData(), service.constData(), &hints, list);
    auto lookup = std::make_shared<Lookup>();
    try {
        LookupThreads::instance().start([lookup, resolver = resolve, host, service, hints] {
            addrinfo *result = nullptr;
            const int rc = resolver(host.constData(), service.constData(), &hints, &result);
            const std::lock_guard lock(lookup->mutex);
            if (lookup->abandoned) {
                if (rc == 0 && result)
                    ::freeaddrinfo(result);
                return;
            }
            lookup->rc = rc;
            lookup->list = rc == 0 ? result : nullptr;
            lookup->done = true;
            lookup->finished.notify_one();
        });
    } catch (const std::system_error &) {
        return resolve(host.constData(), service.constData(), &hints, list); // no thread to spare: wait here
    }
    std::unique_lock lock(lookup->mutex);
    for (;;) {
        if (lookup->finished.wait_for(lock, std::chrono::milliseconds(pollSlice(deadline)), [&] { return lookup->done; })) {
            *list = lookup->list;
            return lookup->rc;
        }
        if (expired(deadline)) {
            lookup->abandoned = true;
            return kLookupTimedOut;
        }
    }
}

void TcpTransport::setError(int number)
{
    m_errno = number;
    m_errorText = QString::fromLocal8Bit(std::strerror(number));
}

QString TcpTransport::errorText() const
{
    return m_errorText;
}

WaitEnd TcpTransport::waitFor(short events, QDeadlineTimer deadline)
{
    for (;;) {
        pollfd p{m_fd, events, 0};
        const int n = ::poll(&p, 1, pollSlice(deadline));
        if (n > 0) {
            if ((p.revents & (POLLERR | POLLNVAL)) && !(p.revents & events)) {
                int soError = 0;
                socklen_t len = sizeof soError;
                ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &soError, &len);
                setError(soError ? soError : EIO);
                return WaitEnd::Error;
            }
            return WaitEnd::Done; // readable, writable or hung up: the call tells which
        }
        if (n < 0 && errno != EINTR) {
            setError(errno);
            return WaitEnd::Error;
        }
        if (expired(deadline))
            return WaitEnd::TimedOut;
    }
}

bool TcpTransport::open(const QString &host, quint16 port, QDeadlineTimer deadline)
{
    close();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    // A dotted IPv4 address is used as it stands, without asking a resolver.
    if (isDottedQuad(host)) {
        hints.ai_family = AF_INET;
        hints.ai_flags = AI_NUMERICHOST;
    }
    addrinfo *list = nullptr;
    const int rc = lookUp(host.toUtf8(), QByteArray::number(port), hints, &list, deadline);
    if (rc == kLookupTimedOut) {
        setError(ETIMEDOUT);
        m_errorText = QStringLiteral("The name %1 was not resolved in time.").arg(host);
        return false;
    }
    if (rc != 0) {
        m_errno = rc;
        m_errorText = QString::fromLocal8Bit(::gai_strerror(rc));
        return false;
    }
    for (addrinfo *a = list; a && m_fd < 0; a = a->ai_next) {
        m_fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (m_fd < 0) {
            setError(errno);
            continue;
        }
        if (::connect(m_fd, a->ai_addr, a->ai_addrlen) != 0) {
            WaitEnd end = WaitEnd::Error;
            if (errno == EINPROGRESS) {
                end = waitFor(POLLOUT, deadline);
                if (end == WaitEnd::Done) {
                    int soError = 0;
                    socklen_t len = sizeof soError;
                    ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &soError, &len);
                    if (soError != 0) {
                        setError(soError);
                        end = WaitEnd::Error;
                    }
                } else if (end == WaitEnd::TimedOut) {
                    setError(ETIMEDOUT);
                }
            } else {
                setError(errno);
            }
            if (end != WaitEnd::Done) {
                ::close(m_fd);
                m_fd = -1;
            }
        }
    }
    ::freeaddrinfo(list);
    if (m_fd < 0)
        return false;
    // Commands and replies are small and each waits for the other.
    const int one = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    // From now on the socket blocks, for one slice at a time.
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    const timeval slice{0, sliceMs * 1000};
    ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &slice, sizeof slice);
    ::setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &slice, sizeof slice);
    m_peerClosed = false;
    m_errno = 0;
    m_errorText.clear();
    return true;
}

bool TcpTransport::isOpen()
{
    if (m_fd < 0 || m_peerClosed)
        return false;
    // A peer that closed an idle connection shows as readable with nothing to read.
    char c;
    const ssize_t n = ::recv(m_fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
        m_peerClosed = true;
    else if (n > 0 && m_tls)
        return tlsStillOpen();
    return !m_peerClosed;
}

// The socket blocks for at most one slice (SO_SNDTIMEO, SO_RCVTIMEO), so a
// reply that is already on its way costs one call, and a wait still looks
// for an abort between slices.
WaitEnd TcpTransport::send(const QByteArray &data, QDeadlineTimer deadline)
{
    if (m_fd < 0 || m_peerClosed)
        return WaitEnd::Closed;
    if (m_tls)
        return sendTls(data, deadline);
    const char *p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::send(m_fd, p, size_t(left), MSG_NOSIGNAL);
        if (n > 0) {
            p += n;
            left -= n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (expired(deadline))
                return WaitEnd::TimedOut;
            continue;
        }
        setError(n < 0 ? errno : EIO);
        if (m_errno == EPIPE || m_errno == ECONNRESET) {
            m_peerClosed = true;
            return WaitEnd::Closed;
        }
        return WaitEnd::Error;
    }
    return WaitEnd::Done;
}

WaitEnd TcpTransport::receive(QByteArray &buffer, QDeadlineTimer deadline)
{
    if (m_fd < 0 || m_peerClosed)
        return WaitEnd::Closed;
    if (m_tls)
        return receiveTls(buffer, deadline);
    constexpr qsizetype chunk = 64 * 1024;
    const qsizetype old = buffer.size();
    for (;;) {
        buffer.resize(old + chunk);
        const ssize_t n = ::recv(m_fd, buffer.data() + old, size_t(chunk), 0);
        buffer.resize(old + qMax<ssize_t>(n, 0));
        if (n > 0)
            return WaitEnd::Done;
        if (n == 0) {
            m_peerClosed = true;
            return WaitEnd::Closed;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (expired(deadline))
                return WaitEnd::TimedOut;
            continue;
        }
        setError(errno);
        if (m_errno == ECONNRESET) {
            m_peerClosed = true;
            return WaitEnd::Closed;
        }
        return WaitEnd::Error;
    }
}

void TcpTransport::close()
{
    if (m_tls && m_fd >= 0 && !m_peerClosed) {
        // TLS's closing message, once and without waiting for the peer's.
        ERR_clear_error();
        SSL_shutdown(m_tls->ssl);
        ERR_clear_error();
    }
    m_tls.reset();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_peerClosed = false;
}

bool TcpTransport::tlsFailed(const QString &text)
{
    m_errno = EPROTO;
    m_errorText = text;
    m_tls.reset();
    return false;
}

namespace {

// Adds the certificates of a PEM file to those context trusts. The file is
// read as a small regular file first: OpenSSL would wait on a FIFO and read
// a link to /dev/zero without end.
bool trustCertificates(SSL_CTX *context, const QString &path, QString *why)
{
    QByteArray pem;
    if (!common::readSmallFile(path, common::kCertificateFileLimit, &pem, why))
        return false;
    BIO *bio = BIO_new_mem_buf(pem.constData(), int(pem.size()));
    STACK_OF(X509_INFO) *infos = bio ? PEM_X509_INFO_read_bio(bio, nullptr, nullptr, nullptr) : nullptr;
    BIO_free(bio);
    int added = 0;
    X509_STORE *store = SSL_CTX_get_cert_store(context);
    for (int i = 0; infos && i < sk_X509_INFO_num(infos); ++i) {
        const X509_INFO *info = sk_X509_INFO_value(infos, i);
        if (info->x509 && X509_STORE_add_cert(store, info->x509) == 1)
            ++added;
    }
    sk_X509_INFO_pop_free(infos, X509_INFO_free);
    if (added == 0) {
        *why = QStringLiteral("no certificate in PEM form (%1)").arg(openSslErrors());
        return false;
    }
    ERR_clear_error(); // a certificate already trusted leaves an error behind
    return true;
}

} // namespace

bool TcpTransport::startTls(const QString &host, const QString &caFile, QDeadlineTimer deadline)
{
    if (m_fd < 0 || m_peerClosed) {
        setError(ENOTCONN);
        return false;
    }
    if (m_tls)
        return tlsFailed(QStringLiteral("The connection is already encrypted."));
    ERR_clear_error();
    m_tls = std::make_unique<Tls>();
    SSL_CTX *context = m_tls->context = SSL_CTX_new(TLS_client_method());
    if (!context)
        return tlsFailed(QStringLiteral("TLS cannot start: %1").arg(openSslErrors()));
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    // A server that closes without TLS's closing message has closed, as a
    // plain one would; SMTP and POP3 frame their own replies and messages,
    // so nothing cut short is taken as whole.
    SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF);
    // The system's trusted certificates; a system without any still trusts
    // caFile.
    SSL_CTX_set_default_verify_paths(context);
    if (!caFile.isEmpty()) {
        QString why;
        if (!trustCertificates(context, caFile, &why))
            return tlsFailed(QStringLiteral("The certificate file %1 cannot be read: %2").arg(caFile, why));
    }
    SSL *ssl = m_tls->ssl = SSL_new(context);
    BIO *bio = ssl ? socketBio(m_fd) : nullptr;
    if (!bio)
        return tlsFailed(QStringLiteral("TLS cannot start: %1").arg(openSslErrors()));
    SSL_set_bio(ssl, bio, bio); // the SSL object owns it from here
    SSL_set_mode(ssl, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // The certificate must name the server the user asked for: its address
    // when one was given, else its name, which also goes out as SNI.
    const QHostAddress address(host);
    if (!address.isNull()) {
        if (X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), address.toString().toLatin1().constData()) != 1)
            return tlsFailed(QStringLiteral("TLS cannot start: %1").arg(openSslErrors()));
    } else {
        const QByteArray name = QUrl::toAce(host);
        if (name.isEmpty() || SSL_set_tlsext_host_name(ssl, name.constData()) != 1
            || SSL_set1_host(ssl, name.constData()) != 1)
            return tlsFailed(QStringLiteral("TLS cannot start for the name %1: %2").arg(host, openSslErrors()));
    }
    for (;;) {
        ERR_clear_error();
        errno = 0;
        const int rc = SSL_connect(ssl);
        if (rc == 1)
            return true;
        const int error = SSL_get_error(ssl, rc);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
            if (expired(deadline)) {
                setError(ETIMEDOUT);
                m_tls.reset();
                m_errorText = QStringLiteral("The TLS handshake with %1 did not end in time.").arg(host);
                return false;
            }
            continue;
        }
        const long verified = SSL_get_verify_result(ssl);
        if (verified != X509_V_OK)
            return tlsFailed(QStringLiteral("The certificate of %1 was refused: %2.")
                                 .arg(host, QString::fromLatin1(X509_verify_cert_error_string(verified))));
        const int savedErrno = errno;
        const QString reasons = openSslErrors();
        if (!reasons.isEmpty())
            return tlsFailed(QStringLiteral("The TLS handshake with %1 failed: %2.").arg(host, reasons));
        if (error == SSL_ERROR_SYSCALL && savedErrno != 0 && savedErrno != ECONNRESET && savedErrno != EPIPE) {
            m_tls.reset();
            setError(savedErrno);
            return false;
        }
        m_peerClosed = true;
        return tlsFailed(QStringLiteral("The server closed the connection during the TLS handshake."));
    }
}

WaitEnd TcpTransport::tlsEnd(int error)
{
    if (error == SSL_ERROR_ZERO_RETURN) {
        m_peerClosed = true;
        return WaitEnd::Closed;
    }
    const int savedErrno = errno;
    const QString reasons = openSslErrors();
    if (error == SSL_ERROR_SYSCALL && reasons.isEmpty()) {
        // A peer that closed without TLS's own closing message.
        if (savedErrno == 0 || savedErrno == ECONNRESET || savedErrno == EPIPE) {
            m_peerClosed = true;
            return WaitEnd::Closed;
        }
        setError(savedErrno);
        return WaitEnd::Error;
    }
    m_errno = EPROTO;
    m_errorText = reasons.isEmpty() ? QStringLiteral("TLS error %1").arg(error) : reasons;
    return WaitEnd::Error;
}

WaitEnd TcpTransport::sendTls(const QByteArray &data, QDeadlineTimer deadline)
{
    const char *p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        ERR_clear_error();
        errno = 0;
        // A write that has to wait is repeated with the same bytes.
        const int n = SSL_write(m_tls->ssl, p, int(qMin<qsizetype>(left, 1 << 30)));
        if (n > 0) {
            p += n;
            left -= n;
            continue;
        }
        const int error = SSL_get_error(m_tls->ssl, n);
        if (error == SSL_ERROR_WANT_WRITE || error == SSL_ERROR_WANT_READ) {
            if (expired(deadline))
                return WaitEnd::TimedOut;
            continue;
        }
        return tlsEnd(error);
    }
    return WaitEnd::Done;
}

WaitEnd TcpTransport::receiveTls(QByteArray &buffer, QDeadlineTimer deadline)
{
    constexpr int chunk = 64 * 1024;
    const qsizetype old = buffer.size();
    for (;;) {
        buffer.resize(old + chunk);
        ERR_clear_error();
        errno = 0;
        const int n = SSL_read(m_tls->ssl, buffer.data() + old, chunk);
        buffer.resize(old + qMax(n, 0));
        if (n > 0)
            return WaitEnd::Done;
        const int error = SSL_get_error(m_tls->ssl, n);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
            if (expired(deadline))
                return WaitEnd::TimedOut;
            continue;
        }
        return tlsEnd(error);
    }
}

// Over TLS the bytes waiting on the socket may be a record of the protocol
// itself, such as the server's closing message; they are read (without
// waiting) so that a closed connection shows as closed, and any text is
// kept by OpenSSL for the next read.
bool TcpTransport::tlsStillOpen()
{
    const int flags = ::fcntl(m_fd, F_GETFL);
    ::fcntl(m_fd, F_SETFL, flags | O_NONBLOCK);
    char c;
    ERR_clear_error();
    errno = 0;
    const int n = SSL_peek(m_tls->ssl, &c, 1);
    const int error = n > 0 ? SSL_ERROR_NONE : SSL_get_error(m_tls->ssl, n);
    ::fcntl(m_fd, F_SETFL, flags);
    if (error == SSL_ERROR_NONE || error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE)
        return true;
    ERR_clear_error();
    m_peerClosed = true;
    return false;
}

WaitEnd LineReader::readLine(QByteArray &line, QDeadlineTimer deadline, qsizetype maxLength)
{
    for (;;) {
        const qsizetype nl = m_buffer.indexOf('\n', m_pos);
        if (nl >= 0) {
            qsizetype end = nl;
            if (end > m_pos && m_buffer.at(end - 1) == '\r')
                --end;
            line = m_buffer.sliced(m_pos, end - m_pos);
            m_pos = nl + 1;
            return WaitEnd::Done;
        }
        // Keep only the unread tail before reading on, so the buffer stays small.
        if (m_pos > 0) {
            m_buffer.remove(0, m_pos);
            m_pos = 0;
        }
        if (m_buffer.size() > maxLength)
            return WaitEnd::TooLong;
        const qsizetype before = m_buffer.size();
        const WaitEnd end = m_transport.receive(m_buffer, deadline);
        m_bytesRead += m_buffer.size() - before;
        if (end != WaitEnd::Done)
            return end;
        // A peer that keeps sending a little at a time must not hold the
        // wait past its deadline: the deadline is checked on every read, not
        // only while nothing arrives.
        if (deadline.hasExpired())
            return WaitEnd::TimedOut;
    }
}

void LineReader::clear()
{
    m_buffer.clear();
    m_pos = 0;
    m_bytesRead = 0;
}

bool isDottedQuad(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (const QString &part : parts) {
        if (part.isEmpty() || part.size() > 3)
            return false;
        for (QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
        }
        if (part.toInt() > 255)
            return false;
    }
    return true;
}

quint16 portFromText(const QString &text, quint16 fallback)
{
    bool ok = false;
    const int port = text.trimmed().toInt(&ok);
    return ok && port > 0 && port <= 65535 ? quint16(port) : fallback;
}

QString waitEndText(WaitEnd end, quint32 timeoutMs, const Transport &transport)
{
    switch (end) {
    case WaitEnd::TimedOut:
        return QStringLiteral("No answer from the server within %1 ms.").arg(timeoutMs);
    case WaitEnd::Closed:
        return QStringLiteral("The server closed the connection.");
    case WaitEnd::TooLong:
        return QStringLiteral("The server sent a line too long.");
    case WaitEnd::Error:
    case WaitEnd::Done:
        break;
    }
    return transport.errorText();
}

QString socketErrorText(const Transport &transport, const char *call)
{
    return QStringLiteral("Erreur socket Windows : %1 (%2), avec l'API '%3'")
        .arg(transport.errorText())
        .arg(transport.errorNumber())
        .arg(QLatin1String(call));
}

} // namespace kirvane::mail
