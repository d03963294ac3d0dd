#include "sending/mailsender.h"

#include "mail/mailmessage.h"
#include "mail/smtpclient.h"
#include "settings/settings.h"

namespace kirvane::sending {

// The dialogue itself, blocking in the client's bounded waits; used only on
// the sender's worker thread.
struct SmtpSender::Session {
    explicit Session(std::unique_ptr<mail::SmtpClient> c) : client(std::move(c)) {}

    std::unique_ptr<mail::SmtpClient> client;
    qint64 pendingTag = 0;
    QList<LateAnswer> late; // not handed over yet
    bool lastFailed = false; // the last message delivered ended in an Error or was not sent

    // deliver(), noting in lastFailed how it ended.
    Answer deliverNoted(mail::MailMessage &msg, qint64 tag, const QString &failInstead);

    bool open()
    {
        // The owner is stopping the thread: no new wait begins.
        if (QThread::currentThread()->isInterruptionRequested())
            return false;
        const bool ready = client->connectToHost();
        collect();
        return ready && client->isConnected();
    }

    QString failureText() const
    {
        const QString code = client->replyCode();
        return code.isEmpty() ? client->replyText() : code + u' ' + client->replyText();
    }

    Result send(mail::MailMessage &msg, qint64 tag)
    {
        if (const QString why = invalidAddressReason(msg.sendTo); !why.isEmpty())
            return {Outcome::Invalid, QString(), why, {}};
        bool taken = false;
        try {
            taken = client->sendMessage(msg);
        } catch (const mail::MailError &e) {
            collect();
            return {Outcome::Error, QString(), QString::fromStdString(e.what()), {}};
        }
        collect();
        // A wait that ended without a reply (the connection closed, nothing in
        // time) leaves the code empty: nobody refused the message, it may simply
        // not have arrived.
        if (!taken && client->replyCode().isEmpty())
            return {Outcome::Error, QString(), client->replyText(), {}};
        if (!taken)
            return {Outcome::Refused, client->replyCode(), client->replyText(), {}};
        if (client->hasPending()) {
            pendingTag = tag;
            return {Outcome::Pending, QString(), QString(), {}};
        }
        Result sent{Outcome::Sent, client->replyCode(), client->replyText(), {}};
        // A field of two addresses, one refused: the message went, that address did not.
        for (const mail::SmtpClient::RefusedRecipient &r : client->refusedRecipients())
            sent.refusedAddresses.append({QString::fromUtf8(r.address), r.code, r.text});
        return sent;
    }

    // Moves the client's answer about the pending message to late.
    void collect()
    {
        const std::optional<mail::SmtpClient::Settled> settled = client->takeSettled();
        if (!settled)
            return;
        const Outcome outcome = !settled->answered ? Outcome::Error
                                : settled->accepted ? Outcome::Sent
                                                    : Outcome::Refused;
        late.append({pendingTag, {outcome, settled->code, settled->text, {}}});
    }

    // Hands the late answers over to a; true when one of them lost its message.
    bool handOver(Answer &a)
    {
        bool lost = false;
        for (const LateAnswer &l : std::as_const(late))
            lost = lost || l.result.outcome == Outcome::Error;
        a.late += std::exchange(late, {});
        return lost;
    }

    void settle()
    {
        try {
            client->settle();
        } catch (const mail::MailError &) {
            // The answer that did not come is collected below.
        }
        collect();
    }

    void close()
    {
        try {
            client->quit();
        } catch (const mail::MailError &) {
            // The connection is gone either way.
        }
        collect();
    }

    Answer deliver(mail::MailMessage &msg, qint64 tag, const QString &failInstead)
    {
        Answer a;
        a.request = Request::Deliver;
        a.tag = tag;
        if (!client->isConnected())
            open();
        // The connection may have taken the answer about the message before
        // this one with it: nothing more is sent, that message is where the
        // run goes on.
        bool lost = handOver(a);
        if (lost)
            return a;
        a.attempted = true;
        if (!failInstead.isEmpty()) {
            a.result = {Outcome::Error, QString(), failInstead, {}};
            return a;
        }
        Result r = send(msg, tag);
        lost = handOver(a);
        // The connection was lost under this message: one new connection, one
        // more try; not when the message before it was lost too, which
        // resuming sends before this one.
        if (r.outcome == Outcome::Error && !lost && !client->isConnected() && open())
            r = send(msg, tag);
        // A 4xx is the server's "not now" (RFC 5321 4.2.1): one more try over a
        // new connection. Refused again, the recipient is refused, unless the
        // server is closing (421): then the message is where the run goes on.
        if (r.outcome == Outcome::Refused && r.code.startsWith(u'4') && !lost) {
            close();
            if (open())
                r = send(msg, tag);
            if (r.outcome == Outcome::Refused && r.code == QLatin1String("421"))
                r = {Outcome::Error, QString(), r.code + u' ' + r.text, {}};
        }
        a.result = r;
        handOver(a);
        return a;
    }
};

SmtpSender::Answer SmtpSender::Session::deliverNoted(mail::MailMessage &msg, qint64 tag, const QString &failInstead)
{
    Answer a = deliver(msg, tag, failInstead);
    lastFailed = !a.attempted || a.result.outcome == Outcome::Error;
    return a;
}

SmtpSender::SmtpSender() : SmtpSender(std::make_unique<mail::SmtpClient>()) {}

SmtpSender::SmtpSender(std::unique_ptr<mail::SmtpClient> client)
    : m_session(std::make_unique<Session>(std::move(client)))
{
    m_thread.setObjectName(QStringLiteral("smtp dialogue"));
}

SmtpSender::~SmtpSender()
{
    if (m_thread.isRunning()) {
        m_thread.requestInterruption();
        m_thread.quit();
        // A wait under way ends at once; asked again until the thread has
        // ended, since a request may begin a new wait (opening a connection
        // clears the abort).
        do
            m_session->client->abort();
        while (!m_thread.wait(50));
    }
    delete m_worker;
}

mail::SmtpClient &SmtpSender::client()
{
    return *m_session->client;
}

void SmtpSender::request(std::function<Answer(Session &)> work)
{
    if (!m_worker) {
        m_worker = new QObject;
        m_worker->moveToThread(&m_thread);
    }
    if (!m_thread.isRunning())
        m_thread.start();
    Session *session = m_session.get();
    QMetaObject::invokeMethod(
        m_worker,
        [this, session, work = std::move(work)] {
            Answer answer = work(*session);
            QMetaObject::invokeMethod(this, [this, answer = std::move(answer)] { Q_EMIT answered(answer); },
                                      Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void SmtpSender::setEndpoint(const settings::SmtpEndpoint &endpoint)
{
    if (!m_thread.isRunning()) {
        settings::applyEndpoint(endpoint, *m_session->client);
        return;
    }
    // After the requests before it, on the thread that uses the client.
    QMetaObject::invokeMethod(
        m_worker, [session = m_session.get(), endpoint] { settings::applyEndpoint(endpoint, *session->client); },
        Qt::QueuedConnection);
}

void SmtpSender::open()
{
    request([](Session &s) {
        Answer a;
        a.request = Request::Open;
        a.ready = s.open();
        if (!a.ready)
            a.failureText = s.failureText();
        s.handOver(a);
        return a;
    });
}

void SmtpSender::deliver(const mail::MailMessage &msg, qint64 tag, const QString &failInstead)
{
    request([msg = mail::MailMessage(msg), tag, failInstead](Session &s) mutable {
        return s.deliverNoted(msg, tag, failInstead);
    });
}

void SmtpSender::deliverNext(const mail::MailMessage &msg, qint64 tag)
{
    request([msg = mail::MailMessage(msg), tag](Session &s) mutable {
        if (!s.lastFailed)
            return s.deliverNoted(msg, tag, QString());
        Answer a;
        a.request = Request::Deliver;
        a.tag = tag;
        s.handOver(a);
        return a;
    });
}

void SmtpSender::requestStep(Request kind, void (Session::*step)())
{
    request([kind, step](Session &s) {
        Answer a;
        a.request = kind;
        (s.*step)();
        s.handOver(a);
        return a;
    });
}

void SmtpSender::settle()
{
    requestStep(Request::Settle, &Session::settle);
}

void SmtpSender::close()
{
    requestStep(Request::Close, &Session::close);
}

void SmtpSender::sendAlone(const mail::MailMessage &msg)
{
    request([msg = mail::MailMessage(msg)](Session &s) mutable {
        Answer a;
        a.request = Request::SendAlone;
        a.ready = s.open();
        if (!a.ready) {
            a.failureText = s.failureText();
            s.late.clear();
            return a;
        }
        a.result = s.send(msg, 0);
        s.settle();
        s.close();
        // The answer about the message, when it came late.
        for (const LateAnswer &l : std::exchange(s.late, {}))
            a.result = l.result;
        return a;
    });
}

QString invalidAddressReason(const QString &address)
{
    if (mail::recipientAddresses(address).isEmpty())
        return QStringLiteral("no address");
    for (QChar c : address) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return QStringLiteral("control character");
    }
    return QString();
}

} // namespace kirvane::sending
