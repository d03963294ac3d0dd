#pragma once
// The POP3 client (RFC 1939): logs in with USER and PASS, counts the
// messages, retrieves a message into a TQzvMsg through its parser, marks
// messages for deletion and ends with QUIT, at which the server deletes them.
//
//     TQzvPOP pop;
//     pop.Host = "pop.example.org"; pop.UserId = "news"; pop.UserPasswd = "...";
//     pop.Connect();
//     if (!pop.Failed() && pop.Login()) {
//         pop.GetMessageCount();
//         for (int n = 1, count = pop.MessageCount(); n <= count; ++n) {
//             TQzvMsg msg;
//             if (!pop.Retrieve(n, msg)) break;
//             ...
//             pop.Delete(n);
//         }
//         pop.Quit();
//     }
//
// A refused command sets Failed, closes the connection (so deletions are not
// committed) and fires OnError with the code of the step; only misuse and an
// error of the socket itself throw MailError. Every wait ends after TimeOut
// milliseconds, or earlier when the server closes the connection, as a
// failure.

#include "mail/qzvmsg.h"
#include "mail/transport.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace kirvane::mail {

class TQzvPOP {
public:
    // Codes passed to OnError.
    enum Code {
        ConnectionFailed = 0, // connection, greeting, or a wait that ended without an answer
        LoginRefused = 2001,  // USER or PASS
        DeleteRefused = 2003, // DELE
        RetrieveRefused = 2004, // RETR
        CountRefused = 2006,  // STAT or UIDL
    };

    TQzvPOP();
    explicit TQzvPOP(std::unique_ptr<Transport> transport);
    ~TQzvPOP();
    TQzvPOP(const TQzvPOP &) = delete;
    TQzvPOP &operator=(const TQzvPOP &) = delete;

    // Settings.
    QString Host;
    QString Port = QStringLiteral("110"); // not a number: 110
    QString UserId;
    QString UserPasswd;
    quint16 RetrieveProgressStep = 10;
    bool GetUIDLsOnRetrieve = false;
    quint32 TimeOut = 60000; // milliseconds, for every single wait
    std::function<void()> ProcessEvents;

    // State.
    [[nodiscard]] bool Connected();
    [[nodiscard]] bool Failed() const { return m_failed; }
    [[nodiscard]] const QString &StatusCode() const { return m_statusCode; }
    [[nodiscard]] const QString &StatusText() const { return m_statusText; }
    [[nodiscard]] quint16 MessageCount() const { return m_messageCount; }
    [[nodiscard]] quint16 NewMessageCount() const { return m_newMessageCount; }
    [[nodiscard]] bool LastSupported() const { return m_lastSupported; }
    [[nodiscard]] const QStringList &DeletedList() const { return m_deleted; }
    [[nodiscard]] quint16 Progress() const { return m_progress; }

    // Events; each optional.
    std::function<void()> OnConnect;
    std::function<void()> OnDisconnect;
    std::function<void(int code, const QString &text)> OnError;
    std::function<void(quint16 index)> OnBeforeRetrieve;
    std::function<void()> OnAfterRetrieve;
    std::function<void(quint16 percent)> OnRetrieveProgress;
    std::function<void(quint16 index)> OnDelete;
    std::function<void(const QByteArray &text)> OnSendTextToSocket;      // every command (the password masked)
    std::function<void(const QByteArray &line)> OnReceiveTextFromSocket; // every status line

    // Opens the connection (closing one still open) and reads the greeting.
    void Connect();
    // USER, then PASS; true when both were accepted.
    [[nodiscard]] bool Login();
    // STAT, then LAST: MessageCount, NewMessageCount, LastSupported.
    void GetMessageCount();
    // Fetches message n (from 1) into msg, which should be fresh.
    [[nodiscard]] bool Retrieve(int n, TQzvMsg &msg);
    // Marks message n for deletion at QUIT.
    void Delete(int n);
    // QUIT, then close; nothing when not connected.
    void Quit();

private:
    enum class Status { Ok, Err, Lost };
    // Writes text and reads the status line. Lost: the wait ended without a
    // status line; the component has failed with failCode.
    [[nodiscard]] Status command(const QByteArray &text, int failCode);
    [[nodiscard]] Status readStatus(int failCode);
    void fail(int code);
    void failWait(WaitEnd end, int code, const char *call);
    void yield();
    [[nodiscard]] QDeadlineTimer waitLimit() const { return QDeadlineTimer(qint64(TimeOut)); }

    std::unique_ptr<Transport> m_transport;
    LineReader m_reader;
    bool m_failed = false;
    QString m_statusCode;
    QString m_statusText;
    quint16 m_messageCount = 0;
    quint16 m_newMessageCount = 0;
    bool m_lastSupported = false;
    QStringList m_deleted;
    quint16 m_progress = 0;
};

// Token k (from 1) of a status text cut at spaces, with "(){}" removed, as a
// number; fallback when missing or not a number.
[[nodiscard]] qint64 StatusToken(const QString &text, int k, qint64 fallback);

} // namespace kirvane::mail
