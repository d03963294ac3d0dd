#pragma once
// What the SMTP and POP3 clients share: one connection through a transport,
// the settings of the server and of every wait, the failed state, and the
// bounded waits for a command to be written and a line to be read.
//
// A wait that ends without what it waited for is a failure: the connection
// is closed and the step that waited returns false. Only an error of the
// socket itself raises MailError, so that the caller learns the system's
// text.

#include "mail/transport.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

#include <functional>
#include <memory>

namespace kirvane::mail {

// How the connection is encrypted: not at all, by the protocol's own upgrade
// of a plain connection (SMTP STARTTLS, POP3 STLS), or with TLS from the
// first byte (implicit TLS, ports 465 and 995).
enum class Security { None, StartTls, Tls };

class ProtocolClient {
public:
    ProtocolClient(const ProtocolClient &) = delete;
    ProtocolClient &operator=(const ProtocolClient &) = delete;

    // Settings.
    QString host;           // name or dotted IPv4 address
    QString port;           // not a number: the protocol's port
    quint32 timeout = 60000; // milliseconds, for every single wait
    Security security = Security::None;
    QString caFile; // certificates trusted besides the system's; empty: the system's only

    // Ends the wait under way, and every one after it until a connection is
    // opened again, at once as if it had timed out; safe from any thread. For
    // the owner of the thread running the dialogue, which must stop and join
    // it now (and asks again until the thread has ended).
    void abort() { m_transport->abort(); }

    // State.
    // False as soon as either side closed; asks the socket whether the
    // server closed an idle connection.
    [[nodiscard]] bool isConnected();
    [[nodiscard]] bool failed() const { return m_failed; }
    [[nodiscard]] quint16 progress() const { return m_progress; }
    // True while the connection is encrypted.
    [[nodiscard]] bool isEncrypted() const { return m_transport->isEncrypted(); }

protected:
    // defaultPort is used when port is not a number from 1 to 65535.
    ProtocolClient(std::unique_ptr<Transport> transport, quint16 defaultPort);
    ~ProtocolClient();

    // Closes a connection still open and forgets the last answer and failure.
    void reset();
    // Opens the connection, encrypted from the start with security Tls;
    // false, with the transport's error text as m_text, when it cannot be
    // opened. It clears an earlier abort().
    [[nodiscard]] bool open();
    // Encrypts the open connection once the server agreed to the upgrade;
    // false, with why as m_text and m_code empty, when it could not be.
    // Bytes the server sent after agreeing were not protected and are
    // refused rather than read as if they had come encrypted.
    [[nodiscard]] bool startTls();
    // Closes the connection and forgets the bytes read ahead.
    void close();
    // Marks the client failed with code (the failed step's, see the
    // clients), closes the connection and calls report(wasOpen), with
    // wasOpen telling whether it was open until then.
    void fail(int code);
    // Writes text within one wait; on a failed write, fails with code and
    // raises for a socket error when raise is set.
    [[nodiscard]] bool sendText(const QByteArray &text, int code, bool raise);
    // Reads one line (without its line end) before deadline; on a failed
    // read, fails with code and raises for a socket error.
    [[nodiscard]] bool receiveLine(QByteArray &line, QDeadlineTimer deadline, qsizetype maxLength, int code);
    // isConnected() without asking the socket: what the last read or write
    // learnt.
    [[nodiscard]] bool isOpenAsKnown() { return m_transport->isOpenAsKnown(); }
    [[nodiscard]] QDeadlineTimer waitLimit() const { return QDeadlineTimer(qint64(timeout)); }

    // The client's own failure steps, after the connection was closed.
    virtual void report(bool wasOpen) = 0;

    std::unique_ptr<Transport> m_transport;
    LineReader m_reader;
    bool m_failed = false;
    int m_failureCode = 0; // given to the last fail()
    QString m_code; // the last answer's code (SMTP reply, POP3 status)
    QString m_text; // the last answer's text, or why the wait ended without one
    quint16 m_progress = 0;

    // Fails with code after a wait that ended without what it waited for;
    // raises for a socket error when raise is set.
    void failWait(WaitEnd end, int code, const char *call, bool raise);

private:
    quint16 m_defaultPort;
};

} // namespace kirvane::mail
