#pragma once
// The SMTP client: delivers MailMessage messages to one server over one
// connection (EHLO or HELO, MAIL FROM, RCPT TO, DATA, RSET, QUIT).
//
// It greets every server with EHLO and keeps the keywords the server lists
// (offers(), sizeLimit()); a server that refuses EHLO with a 5xx reply is
// greeted with HELO instead (RFC 5321 3.2, 4.1.4) and offers nothing. With
// useEhlo off, and nothing that needs the extended dialogue (no encryption,
// no login), it greets with HELO alone, for a server that takes EHLO badly.
//
// Security StartTls sends STARTTLS (RFC 3207) after EHLO and EHLO again over
// the encrypted connection; Tls encrypts from the first byte. A certificate
// that cannot be verified fails connectToHost() with its reason as
// replyText(). With a userId the client logs in with AUTH PLAIN, or LOGIN
// when the server offers only that (RFC 4954); never over an unencrypted
// connection unless allowPlainTextLogin says the user chose so. A server that
// states a SIZE limit (RFC 1870) is told each message's size, and a larger
// message is refused without being sent.
//
//     SmtpClient smtp;
//     smtp.host = "mail.example.org";
//     if (smtp.connectToHost()) {
//         if (!smtp.sendMessage(msg))  // refused: replyCode(), replyText()
//             ...
//         smtp.quit();
//     }
//
// A step that may fail returns a [[nodiscard]] bool: false when it failed,
// with replyCode() and replyText() saying why (failed() stays true until the
// next step). A failure closes the connection; the owner calls
// connectToHost() again before the next message. A refused recipient is no
// refused step: it is noted in refusedRecipients() and the others still get
// the message. Only misuse ("Not connected.", missing from or sendTo, a
// composition error) and an error of the socket itself while a command is
// written or a reply read throw MailError. Every wait ends after timeout
// milliseconds, or earlier when the server closes the connection, as a
// failure.
//
// The client is used by one thread at a time, which blocks in its waits:
// a window's owner runs it on a worker thread.

#include "mail/mailmessage.h"
#include "mail/protocolclient.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace kirvane::mail {

// The command of a transaction whose reply kept a message from everybody.
enum class SmtpCommand {
    None,     // no command refused it (the connection ended, a misuse)
    MailFrom, // the sender was refused
    RcptTo,   // every recipient was refused
    Data,     // DATA or the message's text was refused (a message too large included)
};

class SmtpClient final : public ProtocolClient {
public:
    SmtpClient();
    // Talks through transport instead of a TCP connection (tests script one).
    explicit SmtpClient(std::unique_ptr<Transport> transport);

    // Settings besides those of ProtocolClient (port 25).
    quint16 sendProgressStep = 10; // percent between two onSendProgress
    // Off: HELO when neither encryption nor a login needs EHLO (and then no
    // pipelining), for a server that answers EHLO wrongly instead of refusing it.
    bool useEhlo = true;
    // The login; an empty userId: no AUTH.
    QString userId;
    QString password;
    // Whether the login may go over an unencrypted connection. The owner sets
    // it only when the user chose security None explicitly (a settings value
    // "none", --security none), never because no security was configured.
    bool allowPlainTextLogin = false;

    // After connectToHost: whether the server listed keyword (case-insensitive)
    // in its EHLO reply; always false after HELO.
    [[nodiscard]] bool offers(QByteArrayView keyword) const;
    // The number of the server's SIZE keyword (RFC 1870): the largest message
    // it takes, in bytes; 0 when it stated none.
    [[nodiscard]] qint64 sizeLimit() const;
    // True when the server was greeted with EHLO and accepted it.
    [[nodiscard]] bool extended() const { return m_extended; }

    // PIPELINING (RFC 2920) when the server offers it: a message's MAIL,
    // RCPT and DATA go out in one write, and its text, its end and the next
    // message's commands in one more, so that a message costs one wait for
    // the server instead of five. Off: one command at a time, as with HELO.
    bool pipelining = true;
    // True when this connection pipelines (pipelining on and offered).
    [[nodiscard]] bool pipelines() const;

    // With pipelining, sendMessage hands a message of one transaction over
    // without waiting for the server's reply to the end of its text: the
    // message is then pending (hasPending(), failed() false), and its reply
    // is read with the next message's commands, by settle() or by quit().
    // takeSettled() then tells what became of it, once.
    struct Settled {
        bool answered = false; // false: the connection ended before the reply; it may or may not have been taken
        bool accepted = false; // the server answered 250
        QString code;
        QString text;          // the reply's text, or why none came
    };
    [[nodiscard]] bool hasPending() const { return m_pending; }
    [[nodiscard]] std::optional<Settled> takeSettled();
    // Sends the end of the pending message and reads its reply now.
    void settle();

    // The last reply line's code and text (characters 4 to 67, trimmed). After
    // a wait that ended without a reply the code is empty and the text says why.
    [[nodiscard]] const QString &replyCode() const { return m_code; }
    [[nodiscard]] const QString &replyText() const { return m_text; }

    // Events; each optional.
    std::function<void()> onConnect;
    std::function<void()> onQuit;
    std::function<void()> onBeforeSend;
    std::function<void()> onAfterSend;
    std::function<void(quint16 percent)> onSendProgress;
    std::function<void()> onConnecting;
    std::function<void(const QByteArray &text)> onSendTextToSocket;      // every text written
    std::function<void(const QByteArray &line)> onReceiveTextFromSocket; // last line of every reply

    // Opens the connection (closing one still open), reads the greeting,
    // greets with EHLO or HELO, encrypts and logs in as the settings say.
    // True when the server is ready.
    [[nodiscard]] bool connectToHost();
    // Transmits msg: once to its To list, once more to its CC list and once
    // more to its BCC list when those are not empty. Composes msg when its
    // wireLines is empty. A message larger than sizeLimit() is refused with
    // the code 552 before anything is sent, the connection staying open.
    //
    // True once the server has answered 250 to the end of its text for at
    // least one list, or, pipelined, once the message was handed over with
    // its reply still to come (hasPending()); what comes after (a refused
    // RSET, a later list refused) is not held against it, and
    // replyCode()/replyText() are then that 250's. False when nobody got it;
    // replyCode()/replyText() then say why. Either way refusedRecipients()
    // names every address that did not get it.
    [[nodiscard]] bool sendMessage(MailMessage &msg);
    // After sendMessage: each address that did not get the message, with the
    // reply that kept it from it (its own refused RCPT, or the refusal of
    // its transaction; an empty code when the wait ended without a reply).
    struct RefusedRecipient {
        QByteArray address;
        QString code;
        QString text;
    };
    [[nodiscard]] const QList<RefusedRecipient> &refusedRecipients() const { return m_refused; }
    // After sendMessage returned false: the command whose reply is
    // replyCode(); None when the wait ended without a reply.
    [[nodiscard]] SmtpCommand refusedCommand() const { return m_refusedCommand; }
    // QUIT and close; nothing when not connected.
    void quit();

private:
    enum class Step { Ok, Refused };
    enum class Delivery {
        Delivered,   // 250 to the end of the text
        NoRecipient, // every RCPT refused; the transaction was reset
        Failed,      // the client failed: the connection is closed
    };
    // Reads a whole reply into replyCode()/replyText(), without judging it;
    // each line's text after its code goes into lines when given.
    [[nodiscard]] WaitEnd receiveReply(QByteArrayList *lines = nullptr);
    // EHLO, falling back to HELO on a 5xx reply; HELO alone when nothing
    // needs EHLO. False when the client failed.
    [[nodiscard]] bool greet();
    // STARTTLS, the handshake and EHLO again; false when the client failed.
    [[nodiscard]] bool upgrade();
    // AUTH with the first mechanism of PLAIN and LOGIN the server offers;
    // false when the client failed.
    [[nodiscard]] bool logIn();
    // Fails the client for a reason of its own (no reply code).
    void refuse(const QString &text);
    // The parameters of an EHLO keyword ("SIZE 1000" gives "1000"); null when
    // the server does not offer it.
    [[nodiscard]] QByteArray keywordParameters(QByteArrayView keyword) const;
    // receiveReply(); a wait that ends without a reply fails the client.
    [[nodiscard]] bool awaitReply();
    // A reply other than expected fails the client with its code.
    [[nodiscard]] Step judge(const char *expected);
    // Writes text and awaits the reply (its lines into lines when given);
    // false when the client failed.
    [[nodiscard]] bool exchange(const QByteArray &text, QByteArrayList *lines = nullptr);
    // exchange() for a line holding a secret: shown is what the transcript
    // (onSendTextToSocket) gets instead.
    [[nodiscard]] Step secretCommand(const QByteArray &text, const QByteArray &shown, const char *expected);
    [[nodiscard]] Step command(const QByteArray &text, const char *expected);
    [[nodiscard]] Step readReply(const char *expected);
    // Writes m_out and empties it; false when the client failed.
    [[nodiscard]] bool writeOut(bool raise);
    // Appends the DATA text of lines and its end to m_out, writing out the
    // full chunks of a large message on the way.
    [[nodiscard]] bool bufferData(const QList<QByteArray> &lines);
    // Writes the DATA text and reads the reply to its end.
    [[nodiscard]] bool sendData(const QList<QByteArray> &lines);
    // The pipelined transaction: the pending message's end, MAIL, RCPT and
    // DATA in one write; the text goes out after 354 and, with deferEnd, its
    // end waits in m_out for the next write.
    [[nodiscard]] Delivery pipelinedTransaction(const QByteArray &sender, const QList<QByteArray> &recipients,
                                                const QList<QByteArray> &lines, bool deferEnd);
    // Reads the reply to the pending message's end into takeSettled(); false
    // when none came (the client failed).
    [[nodiscard]] bool readPendingReply();
    // The pending message will get no reply: the connection ended.
    void abandonPending(const QString &why);
    // The MAIL command of a transaction, with the message's size when the
    // server offers SIZE.
    [[nodiscard]] QByteArray mailFrom(const QByteArray &sender) const;
    [[nodiscard]] Delivery transaction(const QByteArray &sender, const QList<QByteArray> &recipients,
                                       const QList<QByteArray> &lines);
    // RSET once a transaction is over; any trouble with it only closes the
    // connection, without failing the client or raising.
    void endTransaction();
    // Notes every address of recipients not yet refused, with the last reply.
    void refuseAll(const QList<QByteArray> &recipients);
    // Forgets the pending message, whose reply cannot come any more; then
    // onQuit when the connection was open.
    void report(bool wasOpen) override;
    void reportProgress(quint16 percent);

    quint16 m_nextProgress = 0;
    QByteArray m_out; // the DATA buffer, kept between messages to spare allocations
    QList<RefusedRecipient> m_refused;
    SmtpCommand m_refusedCommand = SmtpCommand::None;
    QByteArrayList m_keywords; // the EHLO reply's lines after its first
    bool m_extended = false;
    bool m_pending = false;   // a message's end waits in m_out, its reply unread
    std::optional<Settled> m_settled;
    qint64 m_size = 0; // of the message being sent, in bytes on the wire before stuffing
};

// The name this machine greets with: "[" + local + "]" for a dotted IPv4
// address; local + "." + host when local has no "." and host is a name;
// otherwise local.
[[nodiscard]] QString heloName(const QString &local, const QString &host);

// The sender's address: "(...)" comments removed, trimmed, and only the text
// between the first "<" and ">" when both are there. Case is kept.
[[nodiscard]] QByteArray senderAddress(const QString &from);

// The addresses of a comma-separated list, in order, in lower case, without
// spaces, quoted display names or comments; empty items are left out.
[[nodiscard]] QList<QByteArray> recipientAddresses(const QString &list);

} // namespace kirvane::mail
