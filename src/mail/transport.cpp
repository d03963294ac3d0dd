#include "mail/transport.h"

#include <QStringList>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
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

// The longest a wait blocks before the window gets a chance to run its events.
constexpr int sliceMs = 50;

int pollSlice(QDeadlineTimer deadline)
{
    const qint64 left = deadline.remainingTime();
    if (left < 0)
        return sliceMs; // forever: still yield now and then
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

} // namespace

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
        std::thread([lookup, resolver = resolve, host, service, hints] {
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
        }).detach();
    } catch (const std::system_error &) {
        return resolve(host.constData(), service.constData(), &hints, list); // no thread to spare: wait here
    }
    std::unique_lock lock(lookup->mutex);
    for (;;) {
        if (lookup->finished.wait_for(lock, std::chrono::milliseconds(pollSlice(deadline)), [&] { return lookup->done; })) {
            *list = lookup->list;
            return lookup->rc;
        }
        if (deadline.hasExpired()) {
            lookup->abandoned = true;
            return kLookupTimedOut;
        }
        lock.unlock();
        yield();
        lock.lock();
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
        if (deadline.hasExpired())
            return WaitEnd::TimedOut;
        yield();
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
    return !m_peerClosed;
}

// The socket blocks for at most one slice (SO_SNDTIMEO, SO_RCVTIMEO), so a
// reply that is already on its way costs one call, and a wait still yields
// between slices.
WaitEnd TcpTransport::send(const QByteArray &data, QDeadlineTimer deadline)
{
    if (m_fd < 0 || m_peerClosed)
        return WaitEnd::Closed;
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
            if (deadline.hasExpired())
                return WaitEnd::TimedOut;
            yield();
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
            if (deadline.hasExpired())
                return WaitEnd::TimedOut;
            yield();
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
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_peerClosed = false;
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
