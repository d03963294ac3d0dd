#pragma once
// The POP3 client (RFC 1939): encrypts the connection as security says (STLS
// of RFC 2595, or implicit TLS), logs in with USER and PASS, counts the
// messages, retrieves a message into a MailMessage through its parser, marks
// messages for deletion and ends with QUIT, at which the server deletes them.
//
//     Pop3Client pop;
//     pop.host = "pop.example.org"; pop.userId = "news"; pop.password = "...";
//     if (pop.connectToHost() && pop.login() && pop.fetchMessageCount()) {
//         for (int n = 1, count = pop.messageCount(); n <= count; ++n) {
//             MailMessage msg;
//             if (!pop.retrieve(n, msg) || !pop.deleteMessage(n)) break;
//             ...
//         }
//     }
//     if (!pop.quit()) ...               // the deletions were not made
//
// A step that may fail returns a [[nodiscard]] bool: false when it failed,
// with failedStep() naming the step and statusText() saying why. A refused
// RETR or DELE concerns one message: the connection stays open, so that
// quit() still has the server make the deletions already marked. Any other
// refusal, and a wait that ends without a status line, closes the connection
// without QUIT, so that no deletion is made. Only misuse and an error of the
// socket itself throw MailError. Every wait ends after timeout milliseconds,
// or earlier when the server closes the connection, as a failure.
//
// The client is used by one thread at a time, which blocks in its waits:
// a window's owner runs it on a worker thread.

#include "mail/mailmessage.h"
#include "mail/protocolclient.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace kirvane::mail {

class Pop3Client final : public ProtocolClient {
public:
    // The step that failed (failedStep()).
    enum Code {
        ConnectionFailed = 0, // connection, greeting, or a wait that ended without an answer
        LoginRefused = 2001,  // USER or PASS
        DeleteRefused = 2003, // DELE
        RetrieveRefused = 2004, // RETR
        CountRefused = 2006,  // STAT or UIDL
    };

    Pop3Client();
    explicit Pop3Client(std::unique_ptr<Transport> transport);

    // Settings besides those of ProtocolClient (port 110).
    QString userId;
    QString password;
    quint16 retrieveProgressStep = 10;
    bool fetchUidlOnRetrieve = false;
    // The largest message retrieve() holds, in bytes on the wire; a larger
    // one is skipped (see retrieve()).
    qint64 maxMessageSize = qint64(100) * 1024 * 1024;

    // State.
    [[nodiscard]] const QString &statusCode() const { return m_code; }
    [[nodiscard]] const QString &statusText() const { return m_text; }
    [[nodiscard]] quint16 messageCount() const { return m_messageCount; }
    [[nodiscard]] quint16 newMessageCount() const { return m_newMessageCount; }
    [[nodiscard]] bool lastSupported() const { return m_lastSupported; }
    [[nodiscard]] const QStringList &deletedList() const { return m_deleted; }
    // The step of the last failure; ConnectionFailed when none failed.
    [[nodiscard]] Code failedStep() const { return Code(m_failureCode); }

    // Events; each optional.
    std::function<void()> onConnect;
    std::function<void()> onDisconnect;
    std::function<void(quint16 index)> onBeforeRetrieve;
    std::function<void()> onAfterRetrieve;
    std::function<void(quint16 percent)> onRetrieveProgress;
    std::function<void(quint16 index)> onDelete;
    std::function<void(const QByteArray &text)> onSendTextToSocket;      // every command (the password masked)
    std::function<void(const QByteArray &line)> onReceiveTextFromSocket; // every status line

    // Opens the connection (closing one still open), reads the greeting and,
    // with security StartTls, sends STLS and encrypts the connection; true
    // when the server is ready for the login.
    [[nodiscard]] bool connectToHost();
    // USER, then PASS; true when both were accepted.
    [[nodiscard]] bool login();
    // STAT, then LAST: messageCount, newMessageCount, lastSupported; true
    // when the messages were counted (a server without LAST still counts).
    [[nodiscard]] bool fetchMessageCount();
    // Fetches message n (from 1) into msg, which should be fresh. False when
    // it failed: refused (the connection still open) or the connection lost.
    // A message that came but cannot be kept, larger than maxMessageSize
    // (announced by LIST, or found while reading, never holding more than
    // the bound) or unreadable by the parser, raises MailError with the
    // connection still open: the caller reports it by its number and goes on
    // with the next message.
    [[nodiscard]] bool retrieve(int n, MailMessage &msg);
    // Marks message n for deletion at QUIT; false when refused (the
    // connection still open) or the connection lost.
    [[nodiscard]] bool deleteMessage(int n);
    // QUIT, then close. True when the server answered +OK: the messages
    // marked are deleted. False when it did not, or when the connection was
    // already closed (nothing marked is deleted then).
    [[nodiscard]] bool quit();

private:
    enum class Status { Ok, Err, Lost };
    // Writes text and reads the status line. Lost: the wait ended without a
    // status line; the client has failed with failCode.
    [[nodiscard]] Status command(const QByteArray &text, int failCode);
    [[nodiscard]] Status readStatus(int failCode);
    // A command about one message refused: failed, the connection kept.
    [[nodiscard]] bool refuseMessage(int code);
    // Closing without QUIT: the server forgets the deletions of this session.
    // Then onDisconnect when the connection was open.
    void report(bool wasOpen) override;

    quint16 m_messageCount = 0;
    quint16 m_newMessageCount = 0;
    bool m_lastSupported = false;
    QStringList m_deleted;
};

// Token k (from 1) of a status text cut at spaces, with "(){}" removed, as a
// number; fallback when missing or not a number.
[[nodiscard]] qint64 statusToken(const QString &text, int k, qint64 fallback);

} // namespace kirvane::mail
