#pragma once
// The byte pipe under the SMTP and POP3 clients, and the line reader both
// dialogues share. TcpTransport is the real one; tests put a scripted
// transport in its place to play exact bytes (odd replies, splits, drops,
// silence) without a network.
//
// Every wait is bounded: it ends when its deadline passes, when the peer
// closes, when the socket reports an error or when its owner aborts the
// transport from another thread, and never hangs. The thread that runs the
// dialogue blocks in these waits: a window's owner runs it on a worker
// thread.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <stdexcept>

struct addrinfo;

namespace kirvane::mail {

// Misuse of a mail component ("Not connected.") and errors of the connection
// layer, raised to the caller so that it learns the system's text.
struct MailError : std::runtime_error {
    using std::runtime_error::runtime_error;
    explicit MailError(const QString &text) : std::runtime_error(text.toStdString()) {}
};

// How a wait ended.
enum class WaitEnd {
    Done,     // the data was written, or at least one byte was read
    Closed,   // the peer closed the connection (or it was never open)
    TimedOut, // nothing within the deadline
    Error,    // the socket reported an error; see errorText()/errorNumber()
    TooLong,  // a line longer than the reader's limit
};

class Transport {
public:
    virtual ~Transport() = default;

    // Opens a connection to host (a name, or a dotted IPv4 address used as it
    // stands) and port; false when it cannot be opened before the deadline.
    [[nodiscard]] virtual bool open(const QString &host, quint16 port, QDeadlineTimer deadline) = 0;
    // True while the connection is open and the peer has not closed it.
    [[nodiscard]] virtual bool isOpen() = 0;
    // Whether the connection is open as far as the last call learnt, without
    // asking the socket as isOpen() does: for the checks inside a dialogue,
    // where the next read or write finds a closed connection anyway.
    [[nodiscard]] virtual bool isOpenAsKnown() { return isOpen(); }
    // Writes every byte of data.
    [[nodiscard]] virtual WaitEnd send(const QByteArray &data, QDeadlineTimer deadline) = 0;
    // Appends at least one byte (whatever is available) to buffer.
    [[nodiscard]] virtual WaitEnd receive(QByteArray &buffer, QDeadlineTimer deadline) = 0;
    virtual void close() = 0;

    // Encrypts the open connection with TLS: at once for implicit TLS, or
    // after the server agreed to STARTTLS or STLS. The server's certificate
    // must chain to one the system trusts or one of caFile (when not empty)
    // and name host (its address when host is one). False, with errorText()
    // saying why (a refused certificate gives OpenSSL's reason), when the
    // connection could not be encrypted; the caller then closes it.
    [[nodiscard]] virtual bool startTls(const QString &host, const QString &caFile, QDeadlineTimer deadline) = 0;
    // True once startTls() succeeded on this connection.
    [[nodiscard]] virtual bool isEncrypted() const = 0;

    // The last error of the connection layer: the system's text and number.
    [[nodiscard]] virtual QString errorText() const = 0;
    [[nodiscard]] virtual int errorNumber() const = 0;

    // Ends every wait of this transport, the one under way and those to come
    // until clearAbort(), as if its deadline had passed (TimedOut); safe from
    // any thread. For the owner of a dialogue running on a worker thread that
    // must stop at once (its window closes): the connection is of no use
    // afterwards.
    void abort() { m_aborted.store(true, std::memory_order_relaxed); }
    void clearAbort() { m_aborted.store(false, std::memory_order_relaxed); }
    [[nodiscard]] bool aborted() const { return m_aborted.load(std::memory_order_relaxed); }

protected:
    // True once the deadline passed or the transport was aborted.
    [[nodiscard]] bool expired(QDeadlineTimer deadline) const { return aborted() || deadline.hasExpired(); }

private:
    std::atomic<bool> m_aborted{false};
};

// A TCP connection through the system's sockets, used in a blocking style by
// the thread that runs the dialogue: each wait blocks for slices of at most
// 50 ms and looks at its deadline in between. TLS is
// OpenSSL's, on the same socket and with the same slices: a read or write
// that has to wait returns to the loop, which looks at its deadline and tries again.
class TcpTransport final : public Transport {
public:
    // The name lookup, getaddrinfo() unless a test puts a slow one in its place.
    using Resolver = std::function<int(const char *host, const char *service, const addrinfo *hints, addrinfo **result)>;

    TcpTransport();
    ~TcpTransport() override;
    TcpTransport(const TcpTransport &) = delete;
    TcpTransport &operator=(const TcpTransport &) = delete;

    bool open(const QString &host, quint16 port, QDeadlineTimer deadline) override;
    bool isOpen() override;
    bool isOpenAsKnown() override { return m_fd >= 0 && !m_peerClosed; }
    WaitEnd send(const QByteArray &data, QDeadlineTimer deadline) override;
    WaitEnd receive(QByteArray &buffer, QDeadlineTimer deadline) override;
    void close() override;
    bool startTls(const QString &host, const QString &caFile, QDeadlineTimer deadline) override;
    bool isEncrypted() const override { return m_tls != nullptr; }
    QString errorText() const override;
    int errorNumber() const override { return m_errno; }

    Resolver resolve;

private:
    // Waits until the connection being opened is ready; Done, TimedOut or Error.
    WaitEnd waitFor(short events, QDeadlineTimer deadline);
    // Resolves a name within the deadline; getaddrinfo's result code, or a
    // positive one when the deadline passed first.
    int lookUp(const QByteArray &host, const QByteArray &service, const addrinfo &hints, addrinfo **list,
               QDeadlineTimer deadline);
    void setError(int number);
    // TLS: the failure of startTls with its text; how a failed TLS call
    // ends a wait; the TLS forms of send and receive; isOpen over TLS.
    bool tlsFailed(const QString &text);
    WaitEnd tlsEnd(int error);
    WaitEnd sendTls(const QByteArray &data, QDeadlineTimer deadline);
    WaitEnd receiveTls(QByteArray &buffer, QDeadlineTimer deadline);
    bool tlsStillOpen();

    struct Tls; // OpenSSL's objects, kept out of this header
    std::unique_ptr<Tls> m_tls;
    int m_fd = -1;
    bool m_peerClosed = false;
    int m_errno = 0;
    QString m_errorText;
};

// Reads CR LF (or bare LF) terminated lines from a transport, keeping what
// arrives beyond a line for the next call, so that a line split across reads
// and several lines in one read are both read right.
class LineReader {
public:
    explicit LineReader(Transport &transport) : m_transport(transport) {}

    // The next line without its line end. A line cut by the peer's close is
    // not returned: the result is Closed. A peer that sends more than
    // maxLength bytes without a line end gets TooLong rather than filling
    // the memory until the deadline. The deadline holds however the bytes
    // come: a peer that keeps sending a little at a time gets TimedOut once
    // it has passed.
    [[nodiscard]] WaitEnd readLine(QByteArray &line, QDeadlineTimer deadline, qsizetype maxLength);
    // Bytes taken from the transport since the last clear().
    [[nodiscard]] qint64 bytesRead() const { return m_bytesRead; }
    // Forgets buffered bytes (after a connection is opened or closed).
    void clear();
    // True when bytes were read beyond the last line returned.
    [[nodiscard]] bool holdsMore() const { return m_pos < m_buffer.size(); }

private:
    Transport &m_transport;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qint64 m_bytesRead = 0;
};

// True when text is exactly four decimal numbers from 0 to 255 joined by ".".
[[nodiscard]] bool isDottedQuad(const QString &text);

// The port in text, or fallback when text is not a number from 1 to 65535.
[[nodiscard]] quint16 portFromText(const QString &text, quint16 fallback);

// Why a wait ended without what it waited for, for replyText and statusText.
[[nodiscard]] QString waitEndText(WaitEnd end, quint32 timeoutMs, const Transport &transport);

// The text raised for an error of the connection layer during call ("send" or
// "recv"): the system's text and number, and the call that failed.
[[nodiscard]] QString socketErrorText(const Transport &transport, const char *call);

} // namespace kirvane::mail
