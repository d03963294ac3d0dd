#pragma once
// What the sending run needs from an SMTP connection, and nothing more: open,
// send one composed message, close. The run reads a Result after every
// message, so a refused recipient is never taken for a sent one.
//
// A sender that lets the server's answer about a message arrive later (a
// pipelined dialogue) returns Pending and reports the answer afterwards through
// takeLateAnswers(), naming the message by the tag the run gave it; the run
// asks after every message, after settle() and after close(). Until its
// answer came, a pending message counts as sent nowhere.
//
//     SmtpSender smtp;                     // the real one, over SmtpClient
//     smtp.setEndpoint(smtpEndpoint(settings));
//     if (smtp.open()) {
//         const auto r = smtp.send(msg, tag);
//         ...
//         smtp.close();
//     }

#include <QList>
#include <QString>

#include <functional>
#include <memory>

namespace kirvane::mail {
class MailMessage;
class SmtpClient;
}

namespace kirvane::settings {
struct SmtpEndpoint;
}

namespace kirvane::sending {

class MailSender {
public:
    enum class Outcome {
        Sent,     // the server took the message
        Refused,  // the server refused it (code and text say why); the connection may be closed
        Invalid,  // the recipient's address cannot be sent to (no address, a control character)
        Pending,  // handed over, the server's answer not read yet: it comes through takeLateAnswers()
        Error,    // the connection failed while sending (text says why)
    };
    // One address of a recipient's address field that did not get a message
    // the others got.
    struct RefusedAddress {
        QString address;
        QString code;
        QString text;
    };
    struct Result {
        // Most answers have no refused address beside: {outcome, code, text}.
        Result(Outcome o = Outcome::Sent, QString replyCode = {}, QString replyText = {},
               QList<RefusedAddress> refused = {})
            : outcome(o), code(std::move(replyCode)), text(std::move(replyText)), refusedAddresses(std::move(refused))
        {
        }
        Outcome outcome = Outcome::Sent;
        QString code; // the server's reply code, for Refused
        QString text; // the server's reply text, or why
        QList<RefusedAddress> refusedAddresses; // for Sent: the addresses refused beside
    };
    // The answer about a message that was Pending: Sent, Refused, or Error
    // when the connection ended before the answer came (the message may or
    // may not have been taken).
    struct LateAnswer {
        qint64 tag = 0;
        Result result;
    };

    virtual ~MailSender() = default;

    // Where and how to connect: server, port, security, login.
    virtual void setEndpoint(const settings::SmtpEndpoint &endpoint) = 0;
    // Called while waiting for the network.
    virtual void setProcessEvents(std::function<void()> processEvents) = 0;
    // Opens the connection; true when the server is ready. failureText() says why not.
    virtual bool open() = 0;
    [[nodiscard]] virtual bool isOpen() = 0;
    [[nodiscard]] virtual QString failureText() const = 0;
    // Sends msg (the recipient is msg.sendTo); tag names it in a late refusal.
    virtual Result send(mail::MailMessage &msg, qint64 tag) = 0;
    virtual QList<LateAnswer> takeLateAnswers() { return {}; }
    // Reads the answers still pending now; they come through takeLateAnswers().
    virtual void settle() {}
    // QUIT and close; failures ignored.
    virtual void close() = 0;
};

// The sender over the program's SMTP client.
class SmtpSender final : public MailSender {
public:
    SmtpSender();
    explicit SmtpSender(std::unique_ptr<mail::SmtpClient> client);
    ~SmtpSender() override;

    void setEndpoint(const settings::SmtpEndpoint &endpoint) override;
    void setProcessEvents(std::function<void()> processEvents) override;
    bool open() override;
    bool isOpen() override;
    QString failureText() const override;
    Result send(mail::MailMessage &msg, qint64 tag) override;
    QList<LateAnswer> takeLateAnswers() override;
    void settle() override;
    void close() override;

    [[nodiscard]] mail::SmtpClient &client() { return *m_client; }

private:
    // Moves the client's answer about the pending message to m_late.
    void collect();

    std::unique_ptr<mail::SmtpClient> m_client;
    qint64 m_pendingTag = 0;
    QList<LateAnswer> m_late;
};

// Why an address cannot be sent to, or "" when it can: what the SMTP client
// would refuse by raising before any command (nothing but commas or spaces, a
// control character).
[[nodiscard]] QString invalidAddressReason(const QString &address);

} // namespace kirvane::sending
