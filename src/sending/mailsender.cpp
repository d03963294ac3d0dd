#include "sending/mailsender.h"

#include "mail/mailmessage.h"
#include "mail/smtpclient.h"
#include "settings/settings.h"

#include <QPointer>

#include <algorithm>

namespace kirvane::sending {

// The dialogue itself, blocking in the client's bounded waits; used only on
// the sender's worker thread.
struct SmtpSender::Session {
    explicit Session(std::unique_ptr<mail::SmtpClient> c) : client(std::move(c)) {}

    // A message handed over with its answer still to come, kept until the
    // answer came, so that it can be sent once more.
    struct Kept {
        qint64 tag = 0;
        mail::MailMessage msg;
        QList<RefusedAddress> refused; // known from the RCPT replies
        bool retried = false;
    };

    std::unique_ptr<mail::SmtpClient> client;
    QList<Kept> kept;   // in the order they were handed over; the client's pending one last
    QList<Kept> retry;  // answered late as lost or put off: to be sent once more
    QList<LateAnswer> late; // not handed over yet
    bool lastFailed = false; // the last message delivered stopped the run (an Error, Deferred, SenderRefused) or was not sent

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

    // A refusal judged by its level and by the command it answered.
    static Result refusal(const QString &code, const QString &text, mail::SmtpCommand command)
    {
        const Outcome outcome = code.startsWith(u'4')                      ? Outcome::Deferred
                                : command == mail::SmtpCommand::MailFrom ? Outcome::SenderRefused
                                                                         : Outcome::Refused;
        return {outcome, code, text, {}, command};
    }

    static QList<RefusedAddress> refusedBeside(const mail::SmtpClient &client)
    {
        QList<RefusedAddress> refused;
        for (const mail::SmtpClient::RefusedRecipient &r : client.refusedRecipients())
            refused.append({QString::fromUtf8(r.address), r.code, r.text});
        return refused;
    }

    Result send(mail::MailMessage &msg, qint64 tag, bool retried = false)
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
            return refusal(client->replyCode(), client->replyText(), client->refusedCommand());
        // A field of two addresses, one refused: the message went, that address did not.
        if (client->hasPending()) {
            kept.append({tag, msg, refusedBeside(*client), retried});
            return {Outcome::Pending, QString(), QString(), {}};
        }
        return {Outcome::Sent, client->replyCode(), client->replyText(), refusedBeside(*client)};
    }

    // Moves the client's answer about the pending message to late, or to
    // retry when it was lost or put off for the first time.
    void collect()
    {
        const std::optional<mail::SmtpClient::Settled> settled = client->takeSettled();
        if (!settled || kept.isEmpty())
            return;
        Kept k = kept.takeLast();
        Result r = !settled->answered ? Result{Outcome::Error, QString(), settled->text, {}}
                   : settled->accepted ? Result{Outcome::Sent, settled->code, settled->text, k.refused}
                                       : refusal(settled->code, settled->text, mail::SmtpCommand::Data);
        if (!k.retried && (r.outcome == Outcome::Error || r.outcome == Outcome::Deferred))
            retry.append(std::move(k));
        else
            late.append({k.tag, std::move(r)});
    }

    // Sends once more the messages in retry, each over a new connection;
    // their answers go to late, or come later still. True when any was sent.
    bool retryLate()
    {
        bool any = false;
        while (!retry.isEmpty()) {
            Kept k = retry.takeFirst();
            k.retried = true;
            any = true;
            // A new connection: the old one is gone, or the server put the
            // message off (RFC 5321 4.2.1). A message pending on the old one
            // is answered first; it joins retry when it needs to.
            quitOnce();
            if (!open()) {
                late.append({k.tag, {Outcome::Error, QString(), failureText(), {}}});
                continue;
            }
            const Result r = send(k.msg, k.tag, true);
            if (r.outcome != Outcome::Pending)
                late.append({k.tag, r});
        }
        return any;
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

    [[nodiscard]] bool lostLate() const
    {
        return std::any_of(late.cbegin(), late.cend(), [](const LateAnswer &l) { return l.result.outcome == Outcome::Error; });
    }

    void settleOnce()
    {
        try {
            client->settle();
        } catch (const mail::MailError &) {
            // The answer that did not come is collected below.
        }
        collect();
    }

    void settle()
    {
        settleOnce();
        if (retryLate())
            settleOnce();
    }

    void quitOnce()
    {
        try {
            client->quit();
        } catch (const mail::MailError &) {
            // The connection is gone either way.
        }
        collect();
    }

    void close()
    {
        quitOnce();
        if (retryLate())
            quitOnce();
    }

    Answer deliver(mail::MailMessage &msg, qint64 tag, const QString &failInstead)
    {
        Answer a;
        a.request = Request::Deliver;
        a.tag = tag;
        if (!client->isConnected())
            open();
        // The connection may have taken the answer about the message before
        // this one with it: that message goes once more first, and when it
        // is lost again nothing more is sent: it is where the run goes on.
        retryLate();
        if (lostLate()) {
            handOver(a);
            return a;
        }
        a.attempted = true;
        if (!failInstead.isEmpty()) {
            a.result = {Outcome::Error, QString(), failInstead, {}};
            handOver(a);
            return a;
        }
        Result r = send(msg, tag);
        retryLate();
        // The connection was lost under this message: one new connection
        // (perhaps the one the earlier message went again on), one more try;
        // not when the message before it was lost for good, which resuming
        // sends before this one.
        if (r.outcome == Outcome::Error && !lostLate() && (client->isConnected() || open()))
            r = send(msg, tag);
        // A 4xx is the server's "not now" (RFC 5321 4.2.1): one more try over
        // a new connection. Put off again, the message is where the run goes on.
        if (r.outcome == Outcome::Deferred && !lostLate()) {
            quitOnce();
            if (open())
                r = send(msg, tag);
        }
        retryLate();
        a.result = r;
        handOver(a);
        return a;
    }
};

SmtpSender::Answer SmtpSender::Session::deliverNoted(mail::MailMessage &msg, qint64 tag, const QString &failInstead)
{
    Answer a = deliver(msg, tag, failInstead);
    // The outcomes that stop the run: nothing handed over after them is sent.
    lastFailed = !a.attempted || a.result.outcome == Outcome::Error || a.result.outcome == Outcome::Deferred
                 || a.result.outcome == Outcome::SenderRefused;
    return a;
}

SmtpSender::SmtpSender() : SmtpSender(std::make_unique<mail::SmtpClient>()) {}

SmtpSender::SmtpSender(std::unique_ptr<mail::SmtpClient> client)
    : m_session(std::make_unique<Session>(std::move(client)))
{
}

SmtpSender::~SmtpSender()
{
    if (!m_thread)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_thread->requestInterruption();
    m_wake.notify_all();
    // A wait under way ends at once; asked again until the thread has
    // ended, since a job may begin a new wait (opening a connection clears
    // the abort).
    do
        m_session->client->abort();
    while (!m_thread->wait(50));
}

mail::SmtpClient &SmtpSender::client()
{
    return *m_session->client;
}

void SmtpSender::post(std::function<void(Session &)> job)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
    if (!m_thread) {
        m_thread.reset(QThread::create([this] { work(); }));
        m_thread->setObjectName(QStringLiteral("smtp dialogue"));
        m_thread->start();
    }
}

void SmtpSender::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
        if (m_stopping)
            return;
        std::function<void(Session &)> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        lock.unlock();
        job(*m_session);
        lock.lock();
    }
}

void SmtpSender::request(std::function<Answer(Session &)> work)
{
    post([this, work = std::move(work)](Session &session) {
        Answer answer = work(session);
        bool first = false;
        {
            std::lock_guard lock(m_mutex);
            first = m_answers.isEmpty();
            m_answers.append(std::move(answer));
        }
        // One call takes every answer that comes before it runs.
        if (first)
            QMetaObject::invokeMethod(this, &SmtpSender::handOverAnswers, Qt::QueuedConnection);
    });
}

void SmtpSender::handOverAnswers()
{
    QList<Answer> answers;
    {
        std::lock_guard lock(m_mutex);
        answers.swap(m_answers);
    }
    const QPointer<SmtpSender> alive(this);
    for (const Answer &a : std::as_const(answers)) {
        Q_EMIT answered(a);
        // A receiver may have ended the sender: the answers left have nobody to go to.
        if (!alive)
            return;
    }
}

void SmtpSender::setEndpoint(const settings::SmtpEndpoint &endpoint)
{
    if (!m_thread) {
        settings::applyEndpoint(endpoint, *m_session->client);
        return;
    }
    // After the requests before it, on the thread that uses the client.
    post([endpoint](Session &session) { settings::applyEndpoint(endpoint, *session.client); });
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
            s.retry.clear();
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
