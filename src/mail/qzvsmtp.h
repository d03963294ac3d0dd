#pragma once
// The SMTP client: delivers TQzvMsg messages to one server over one
// connection, in the plain dialogue of RFC 821 (HELO, MAIL FROM, RCPT TO,
// DATA, RSET, QUIT; no EHLO, no authentication, no encryption).
//
//     TQzvSMTP smtp;
//     smtp.Host = "mail.example.org";
//     smtp.Connect();
//     if (!smtp.Failed()) {
//         smtp.SendMessage(msg);   // accepted when Failed() is still false
//         smtp.Quit();
//     }
//
// A refused step does not throw: it sets Failed, closes the connection and
// fires OnError; the owner calls Connect again before the next message. Only
// misuse ("Not connected.", missing From or SendTo, a composition error) and
// an error of the socket itself while a command is written or a reply read
// throw MailError. Every wait ends after TimeOut milliseconds, or earlier when
// the server closes the connection, as a failure.

#include "mail/qzvmsg.h"
#include "mail/transport.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace kirvane::mail {

class TQzvSMTP {
public:
    TQzvSMTP();
    // Talks through transport instead of a TCP connection (tests script one).
    explicit TQzvSMTP(std::unique_ptr<Transport> transport);
    ~TQzvSMTP();
    TQzvSMTP(const TQzvSMTP &) = delete;
    TQzvSMTP &operator=(const TQzvSMTP &) = delete;

    // Settings.
    QString Host;                       // name or dotted IPv4 address
    QString Port = QStringLiteral("25"); // not a number: 25
    quint16 SendProgressStep = 10;      // percent between two OnSendProgress
    quint32 TimeOut = 60000;            // milliseconds, for every single wait
    // Called while waiting for the network, so that a window stays live.
    std::function<void()> ProcessEvents;

    // State.
    [[nodiscard]] bool Connected();     // false as soon as either side closed
    [[nodiscard]] bool Failed() const { return m_failed; }
    // The last reply line's code and text (characters 4 to 67, trimmed). After
    // a wait that ended without a reply the code is empty and the text says why.
    [[nodiscard]] const QString &ReplyCode() const { return m_replyCode; }
    [[nodiscard]] const QString &ReplyText() const { return m_replyText; }
    [[nodiscard]] quint16 Progress() const { return m_progress; }

    // Events; each optional.
    std::function<void()> OnConnect;
    std::function<void()> OnQuit;
    std::function<void(int code, const QString &text)> OnError;
    std::function<void()> OnBeforeSend;
    std::function<void()> OnAfterSend;
    std::function<void(quint16 percent)> OnSendProgress;
    std::function<void()> OnConnecting;
    std::function<void(const QByteArray &text)> OnSendTextToSocket;      // every text written
    std::function<void(const QByteArray &line)> OnReceiveTextFromSocket; // last line of every reply

    // Opens the connection (closing one still open), reads the greeting and
    // greets with HELO. Failed tells whether the server is ready.
    void Connect();
    // Transmits msg: once to its To list, once more to its CC list and once
    // more to its BCC list when those are not empty. Composes msg (FillRawMail)
    // when its RawMail is empty. Accepted when Failed() is false afterwards.
    void SendMessage(TQzvMsg &msg);
    // QUIT and close; nothing when not connected.
    void Quit();

private:
    enum class Step { Ok, Refused };
    [[nodiscard]] Step command(const QByteArray &text, const char *expected);
    [[nodiscard]] Step readReply(const char *expected);
    [[nodiscard]] bool sendData(const QList<QByteArray> &lines);
    [[nodiscard]] bool transaction(const QByteArray &sender, const QList<QByteArray> &recipients,
                                   const QList<QByteArray> &lines);
    // The failure steps: Failed, connection closed, OnError.
    void fail();
    // A wait that ended without the expected bytes: fails, and throws for a
    // socket error when raise is set.
    void failWait(WaitEnd end, const char *call, bool raise);
    void reportProgress(quint16 percent);
    void yield();
    [[nodiscard]] QDeadlineTimer waitLimit() const { return QDeadlineTimer(qint64(TimeOut)); }

    std::unique_ptr<Transport> m_transport;
    LineReader m_reader;
    bool m_failed = false;
    QString m_replyCode;
    QString m_replyText;
    quint16 m_progress = 0;
    quint16 m_nextProgress = 0;
    QByteArray m_out; // the DATA buffer, kept between messages to spare allocations
};

// The name this machine greets with: "[" + local + "]" for a dotted IPv4
// address; local + "." + host when local has no "." and host is a name;
// otherwise local.
[[nodiscard]] QString HeloName(const QString &local, const QString &host);

// The sender's address: "(...)" comments removed, trimmed, and only the text
// between the first "<" and ">" when both are there. Case is kept.
[[nodiscard]] QByteArray SenderAddress(const QString &from);

// The addresses of a comma-separated list, in order, in lower case, without
// spaces, quoted display names or comments; empty items are left out.
[[nodiscard]] QList<QByteArray> RecipientAddresses(const QString &list);

} // namespace kirvane::mail
