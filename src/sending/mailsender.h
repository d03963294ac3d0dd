#pragma once
// What the sending run needs from an SMTP connection, and nothing more: open,
// send one composed message, close. The run reads a Result for every
// message, so a refused recipient is never taken for a sent one.
//
// Every request is answered later, by one answered() signal on the sender's
// own thread, in the order the requests were made; the thread that asks
// never waits on a socket. SmtpSender runs the dialogue on a worker thread
// of its own.
//
// A sender that lets the server's answer about a message arrive later (a
// pipelined dialogue) gives the result Pending and reports the answer with a
// later request's answer (Answer::late), naming the message by the tag the
// run gave it. Until its answer came, a pending message counts as sent
// nowhere.
//
//     SmtpSender smtp;                     // the real one, over SmtpClient
//     connect(&smtp, &MailSender::answered, ...);
//     smtp.setEndpoint(smtpEndpoint(settings));
//     smtp.open();                         // answered: ready, or why not
//     smtp.deliver(msg, tag);              // answered: the result
//     smtp.close();                        // answered: the last late answers

#include "mail/smtpclient.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QThread>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace kirvane::settings {
struct SmtpEndpoint;
}

namespace kirvane::sending {

class MailSender : public QObject {
    Q_OBJECT
public:
    // What became of a message, and so what the run does next. A refusal is
    // judged by its level (RFC 5321 4.2.1): a 4xx is "not now", a 5xx "never";
    // and by whom it concerns: the recipient, or the sender and with it
    // every message of the run.
    enum class Outcome {
        Sent,          // the server took the message
        Refused,       // the recipient was refused for good (a 5xx to RCPT or to the text): the run goes on
        Invalid,       // the recipient's address cannot be sent to (no address, a control character)
        Pending,       // handed over, the server's answer not read yet: it comes in a later Answer::late
        Deferred,      // "not now" (a 4xx, 421 included), again after one more try over a new connection:
                       // nobody got it, and the run stops at it
        SenderRefused, // the sender was refused for good (a 5xx to MAIL FROM): no message can go, the run stops at it
        Error,         // the connection failed while sending (text says why)
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
               QList<RefusedAddress> refused = {}, mail::SmtpCommand refusedCommand = mail::SmtpCommand::None)
            : outcome(o), code(std::move(replyCode)), text(std::move(replyText)), refusedAddresses(std::move(refused)),
              command(refusedCommand)
        {
        }
        Outcome outcome = Outcome::Sent;
        QString code; // the server's reply code, for Refused, Deferred, SenderRefused
        QString text; // the server's reply text, or why
        QList<RefusedAddress> refusedAddresses; // for Sent: the addresses refused beside
        mail::SmtpCommand command = mail::SmtpCommand::None; // the command refused, for Refused, Deferred, SenderRefused
    };
    // The answer about a message that was Pending: Sent, Refused, or Error
    // when the connection ended before the answer came (the message may or
    // may not have been taken).
    struct LateAnswer {
        qint64 tag = 0;
        Result result;
    };
    enum class Request { Open, Deliver, Settle, Close, SendAlone };
    // What became of one request.
    struct Answer {
        Request request = Request::Open;
        bool ready = false;  // Open, SendAlone: the server was ready
        QString failureText; // Open, SendAlone: why it was not
        qint64 tag = 0;      // Deliver
        bool attempted = false; // Deliver: false when an answer in late lost an earlier message: this one was not sent
        Result result;          // Deliver, SendAlone
        // The answers about Pending messages that came meanwhile, in the
        // order they came; they are about messages before this request's.
        QList<LateAnswer> late;
    };

    using QObject::QObject;
    ~MailSender() override = default;

    // Where and how to connect: server, port, security, login.
    virtual void setEndpoint(const settings::SmtpEndpoint &endpoint) = 0;
    // Opens the connection.
    virtual void open() = 0;
    // Sends msg (the recipient is msg.sendTo); tag names it in a late answer.
    // A closed connection is opened first. A message lost with the
    // connection, or put off with a 4xx, is sent once more over a new
    // connection, whether its answer came at once or late; lost again, it is
    // an Error, put off again, Deferred. Nothing is sent when a late answer
    // says that an earlier message was lost for good (attempted false). With
    // failInstead set, the result is an Error with that text and nothing is
    // sent.
    virtual void deliver(const mail::MailMessage &msg, qint64 tag, const QString &failInstead = QString()) = 0;
    // deliver() for a message handed over before the answer about the one
    // before it came back: when that one ended in an Error or was not sent,
    // this one is not sent either (attempted false), as the run would not
    // have asked for it.
    virtual void deliverNext(const mail::MailMessage &msg, qint64 tag) { deliver(msg, tag); }
    // Reads the answers still pending now.
    virtual void settle() = 0;
    // QUIT and close; failures ignored.
    virtual void close() = 0;
    // Opens, sends msg, waits for its answer and closes: one message alone.
    virtual void sendAlone(const mail::MailMessage &msg) = 0;

Q_SIGNALS:
    void answered(const kirvane::sending::MailSender::Answer &answer);
};

// The sender over the program's SMTP client, on a worker thread the sender
// owns: it starts with the first request and is stopped and joined when the
// sender is destroyed, a wait under way aborted.
//
// Requests wait in a queue that the worker empties one after the other, and
// the answers that come meanwhile go back together, as one queued call that
// emits answered() for each in order: while the worker is busy, a request
// costs it no wake-up, and while the run is busy, an answer costs the run
// none. A run that sends thousands of messages would otherwise wake each
// thread once per message, which a loaded machine makes wait for a core.
class SmtpSender final : public MailSender {
    Q_OBJECT
public:
    SmtpSender();
    explicit SmtpSender(std::unique_ptr<mail::SmtpClient> client);
    ~SmtpSender() override;

    void setEndpoint(const settings::SmtpEndpoint &endpoint) override;
    void open() override;
    void deliver(const mail::MailMessage &msg, qint64 tag, const QString &failInstead = QString()) override;
    void deliverNext(const mail::MailMessage &msg, qint64 tag) override;
    void settle() override;
    void close() override;
    void sendAlone(const mail::MailMessage &msg) override;

    // The client, to read its state while no request is outstanding.
    [[nodiscard]] mail::SmtpClient &client();

private:
    struct Session; // on the worker thread: the client and the answers it has not given yet
    // Runs work on the worker thread; its answer comes back as answered().
    void request(std::function<Answer(Session &)> work);
    // A request that runs one step of the session and answers with the late answers.
    void requestStep(Request kind, void (Session::*step)());
    // Queues job for the worker, starting it with the first one.
    void post(std::function<void(Session &)> job);
    // The worker's loop: the queued jobs in order, until the sender goes.
    void work();
    // On the owner's thread: emits answered() for every answer come back.
    void handOverAnswers();

    std::unique_ptr<Session> m_session;
    std::unique_ptr<QThread> m_thread;
    std::mutex m_mutex; // guards the three below
    std::condition_variable m_wake;
    std::deque<std::function<void(Session &)>> m_jobs;
    QList<Answer> m_answers; // not handed over yet
    bool m_stopping = false;
};

// Why an address cannot be sent to, or "" when it can: what the SMTP client
// would refuse by raising before any command (nothing but commas or spaces, a
// control character).
[[nodiscard]] QString invalidAddressReason(const QString &address);

} // namespace kirvane::sending
