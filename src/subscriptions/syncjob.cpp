#include "subscriptions/syncjob.h"
#include "common/product.h"

#include "contacts/bookmanager.h"
#include "mail/pop3client.h"
#include "mail/smtpclient.h"
#include "settings/settings.h"
#include "texts/texttable.h"
#include "store/contactrecord.h"
#include "common/folders.h"
#include "store/addressbookstore.h"
#include "subscriptions/deliverystatus.h"
#include "subscriptions/subscriptionrequest.h"
#include "subscriptions/synclog.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTimer>

#include <optional>

namespace kirvane::subscriptions {

using namespace kirvane::common;
using namespace kirvane::contacts;
using namespace kirvane::store;
using namespace kirvane::texts;

namespace {


// The log lines that say what a delivery notice reported.
QStringList noticeLines(const DeliveryNotice &notice)
{
    QStringList lines;
    if (notice.recipients.isEmpty())
        lines << QStringLiteral("Avis de remise sans destinataire lisible");
    for (const DeliveryNotice::Recipient &r : notice.recipients) {
        lines << QStringLiteral("Avis de remise : %1 %2 %3%4")
                     .arg(r.address, r.action, r.status,
                          r.permanent() && !r.address.isEmpty() ? QStringLiteral(" -> annuaire bounces") : QString());
    }
    return lines;
}

} // namespace

// What opening the mailbox came to: Done with its count, or the end of the
// job with the client's reason.
struct SyncJob::Opened {
    Opened(End e = End::Done, QString w = QString(), int c = 0) : end(e), why(std::move(w)), count(c) {}
    End end;
    QString why;
    int count;
};

// What fetching a message came to: the message, a message that came but
// cannot be read (why), or a failure that ends the job.
struct SyncJob::Fetched {
    enum class Kind { Message, Unreadable, Failed };
    Fetched(Kind k = Kind::Failed, std::shared_ptr<mail::MailMessage> m = nullptr, QString w = QString())
        : kind(k), msg(std::move(m)), why(std::move(w))
    {
    }
    Kind kind;
    std::shared_ptr<mail::MailMessage> msg;
    QString why;
};

namespace {

// The steps of the dialogue, run on the worker thread: they touch the
// clients and what they were given, nothing else of the job.

SyncJob::Opened openMailbox(mail::Pop3Client &pop, const settings::PopEndpoint &endpoint)
{
    using End = SyncJob::End;
    settings::applyEndpoint(endpoint, pop);
    // Connect closes a connection a previous job may have left open, so the
    // dialogue always starts from the greeting.
    if (!pop.connectToHost() || !pop.isConnected())
        return {End::ConnectFailed, pop.statusText()}; // unreachable, or its certificate refused
    try {
        if (!pop.login())
            return {End::LoginRefused};
        // A refused LAST still counts; a refused STAT closes the connection.
        if (!pop.fetchMessageCount() || !pop.isConnected())
            return {End::ConnectionLost};
    } catch (const mail::MailError &) {
        return {End::ConnectionLost};
    }
    return {End::Done, QString(), pop.messageCount()};
}

SyncJob::Fetched fetchMessage(mail::Pop3Client &pop, int n)
{
    using Kind = SyncJob::Fetched::Kind;
    auto msg = std::make_shared<mail::MailMessage>();
    // Kept for the delivery-notice check; emptied before a forward composes anew.
    msg->clearWireLinesAfterParse = false;
    try {
        // A refused RETR keeps the connection, for the QUIT that ends the job.
        if (!pop.retrieve(n, *msg))
            return {Kind::Failed};
    } catch (const mail::MailError &e) {
        if (!pop.isConnected())
            return {Kind::Failed};
        // The message came whole but its content could not be decoded: it is
        // left on the server for the user and the others go on.
        return {Kind::Unreadable, msg, QString::fromUtf8(e.what())};
    }
    return {Kind::Message, msg};
}

bool forwardMessage(mail::SmtpClient &smtp, const settings::SmtpEndpoint &endpoint, mail::MailMessage &msg)
{
    settings::applyEndpoint(endpoint, smtp);
    bool ok = false;
    try {
        ok = smtp.connectToHost() && smtp.isConnected() && smtp.sendMessage(msg);
    } catch (const mail::MailError &) {
        // Not sent, whatever the reason (no redirection address, a From
        // without "@"): the message must stay on the server.
        ok = false;
    }
    try {
        smtp.quit();
    } catch (const mail::MailError &) {
    }
    return ok;
}

bool deleteMessage(mail::Pop3Client &pop, int n)
{
    try {
        return pop.deleteMessage(n);
    } catch (const mail::MailError &) {
        return false;
    }
}

bool closeMailbox(mail::Pop3Client &pop)
{
    try {
        return pop.quit();
    } catch (const mail::MailError &) {
        return false;
    }
}

} // namespace

SyncJob::SyncJob(AddressBookStore &store, mail::Pop3Client &pop, mail::SmtpClient &smtp, Asker &asker, QObject *parent)
    : QObject(parent), m_store(store), m_pop(pop), m_smtp(smtp), m_asker(asker)
{
    m_thread.setObjectName(QStringLiteral("mailbox synchronisation"));
}

SyncJob::~SyncJob()
{
    if (m_thread.isRunning()) {
        m_thread.quit();
        // A step still waiting for a server ends at once; asked again until
        // the thread has ended, since a step may begin a new wait (opening
        // a connection clears the request).
        for (;;) {
            if (m_running) {
                m_pop.abort();
                m_smtp.abort();
            }
            if (m_thread.wait(50))
                break;
        }
    }
    delete m_worker;
}

template<typename Answer>
void SyncJob::onWorker(std::function<Answer()> work, void (SyncJob::*then)(const Answer &))
{
    if (!m_worker) {
        m_worker = new QObject;
        m_worker->moveToThread(&m_thread);
    }
    if (!m_thread.isRunning())
        m_thread.start();
    QMetaObject::invokeMethod(
        m_worker,
        [this, work = std::move(work), then] {
            Answer answer = work();
            QMetaObject::invokeMethod(
                this, [this, answer = std::move(answer), then] { (this->*then)(answer); }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void SyncJob::start()
{
    if (m_running)
        return;
    m_running = true;
    m_cancel = false;
    m_end = End::Done;
    m_notice.clear();
    m_count = 0;
    m_number = 0;
    m_processed = 0;

    settings::Settings settings;
    QString unreadable;
    settings::loadSettings(settings, m_configPath.isEmpty() ? settings::settingsPath() : m_configPath, &unreadable);
    if (!unreadable.isEmpty())
        return finish(End::Failed, unreadable);
    m_smtpEndpoint = settings::smtpEndpoint(settings);
    m_redirection = settings.redirection;
    onWorker<Opened>([&pop = m_pop, endpoint = settings::popEndpoint(settings)] { return openMailbox(pop, endpoint); },
                     &SyncJob::opened);
}

void SyncJob::opened(const Opened &answer)
{
    switch (answer.end) {
    case End::Done:
        m_count = answer.count;
        return fetchNext();
    case End::ConnectFailed:
        return finish(End::ConnectFailed, texts::text(texts::CannotConnect)
                                              + (answer.why.isEmpty() ? QString() : QStringLiteral("\n\n") + answer.why));
    case End::LoginRefused:
        return finish(End::LoginRefused, texts::text(texts::SyncLoginRefused));
    default:
        return finish(answer.end, texts::text(texts::CannotConnect));
    }
}

void SyncJob::fetchNext()
{
    if (m_number >= m_count)
        return finish(End::Done);
    if (m_cancel)
        return finish(End::Cancelled);
    const int n = ++m_number;
    Q_EMIT messageStarted(n, m_count);
    onWorker<Fetched>([&pop = m_pop, n] { return fetchMessage(pop, n); }, &SyncJob::fetched);
}

void SyncJob::fetched(const Fetched &answer)
{
    switch (answer.kind) {
    case Fetched::Kind::Failed:
        return finish(End::ConnectionLost, texts::text(texts::CannotConnect));
    case Fetched::Kind::Unreadable:
        Q_EMIT messageDone(m_number, answer.msg->from, Outcome::Unreadable, answer.why);
        m_asker.ask(DialogKind::SyncOk, texts::text(texts::SyncUnreadable).arg(m_number));
        return fetchNext();
    case Fetched::Kind::Message:
        break;
    }
    if (!apply(*answer.msg))
        return;
    if (m_outcome == Outcome::Forwarded) {
        Q_EMIT forwarding(true);
        onWorker<bool>([&smtp = m_smtp, endpoint = m_smtpEndpoint, msg = answer.msg] {
            return forwardMessage(smtp, endpoint, *msg);
        }, &SyncJob::forwarded);
        return;
    }
    if (m_outcome != Outcome::AlreadySubscribed)
        return deleteCurrent();
    // The refusal of a known address stays shown for a while, without
    // holding the thread.
    Q_EMIT knownAddress(true);
    QTimer::singleShot(qMax(m_knownAddressPauseMs, 0), Qt::PreciseTimer, this, [this] {
        Q_EMIT knownAddress(false);
        deleteCurrent();
    });
}

bool SyncJob::apply(mail::MailMessage &msg)
{
    const int n = m_number;
    const std::optional<DeliveryNotice> notice = readDeliveryNotice(msg.wireLines);
    const SubscriptionRequest request = notice ? SubscriptionRequest{} : readRequest(msg.subject);
    QStringList notes = notice ? noticeLines(*notice) : QStringList();
    if (request.kind == SubscriptionRequest::Kind::Unsubscribe && !inSomeBook(request.address))
        notes << QStringLiteral("Désinscription sans effet : aucun annuaire ne contient ") + request.address;

    QString error;
    const SyncLog log(m_logPath.isEmpty() ? findNoCase(dataFolder(), QStringLiteral("log.txt")) : m_logPath);
    if (!log.append(SyncLog::entry(QDateTime::currentDateTime(), msg.from, msg.subject, msg.text, notes), &error)) {
        finish(End::Failed, texts::text(texts::SyncFailed).arg(n).arg(QFileInfo(log.path()).fileName() + ": " + error));
        return false;
    }

    m_from = msg.from;
    m_outcome = Outcome::Forwarded;
    m_detail.clear();
    try {
        if (notice) {
            QStringList failed;
            for (const DeliveryNotice::Recipient &r : notice->recipients) {
                if (r.permanent() && !r.address.isEmpty() && !failed.contains(r.address))
                    failed << r.address;
            }
            m_outcome = Outcome::DeliveryNotice;
            m_detail = recordBounces(failed);
        } else if (request.kind == SubscriptionRequest::Kind::Subscribe) {
            m_outcome = subscribe(request.address, msg.text);
            m_detail = request.address;
        } else if (request.kind == SubscriptionRequest::Kind::Unsubscribe) {
            m_outcome = unsubscribe(request.address);
            m_detail = request.address;
        } else {
            // Only the redirection address receives the copy: the CC of the
            // received message named people who never asked for it.
            m_detail = m_redirection;
            msg.sendTo = m_redirection;
            msg.cc.clear();
            msg.bcc.clear();
            msg.userName.clear();
            msg.wireLines.clear();
            msg.bodyFormat = mail::BodyFormat::Html;
            msg.xMailer = common::mailerName();
        }
    } catch (const StoreError &e) {
        finish(End::Failed, texts::text(texts::SyncFailed).arg(n).arg(QString::fromUtf8(e.what())));
        return false;
    }
    return true;
}

void SyncJob::forwarded(const bool &ok)
{
    Q_EMIT forwarding(false);
    if (!ok)
        return finish(End::ForwardFailed, texts::text(texts::SyncForwardFailed).arg(m_number));
    deleteCurrent();
}

void SyncJob::deleteCurrent()
{
    onWorker<bool>([&pop = m_pop, n = m_number] { return deleteMessage(pop, n); }, &SyncJob::deleted);
}

void SyncJob::deleted(const bool &ok)
{
    if (!ok) {
        // A refused DELE leaves this message on the server; QUIT still
        // deletes the ones before it. A lost connection loses them all.
        return finish(End::ConnectionLost, texts::text(texts::CannotConnect));
    }
    if (m_outcome != Outcome::UnsubscribeUnmatched)
        ++m_processed;
    Q_EMIT messageDone(m_number, m_from, m_outcome, m_detail);
    fetchNext();
}

SyncJob::Outcome SyncJob::subscribe(const QString &address, const QStringList &body)
{
    ensureBook(kSubscribers);
    if (m_store.contacts().emailExists(kSubscribers, address))
        return Outcome::AlreadySubscribed;
    ContactRecord record = emptyContact();
    newSubscriberRecord(record);
    record[F_email].value = address;
    fillFromBody(body, record);
    readLabels(m_store.files().labelPath(kSubscribers), record);
    if (record[F_nom].value.isEmpty() && record[F_prenom].value.isEmpty()) {
        int number = 0;
        while (m_store.contacts().nameExists(kSubscribers, QString::number(number)))
            ++number;
        record[F_nom].value = QString::number(number);
    }
    if (!m_store.contacts().saveContact(record, kSubscribers))
        throw StoreError(QStringLiteral("cannot add %1 to %2").arg(address, kSubscribers).toStdString());
    return Outcome::Subscribed;
}

SyncJob::Outcome SyncJob::unsubscribe(const QString &address)
{
    ensureBook(kSubscribers);
    // Letter case aside: "DESABONNE JOHN@X.ORG" removes john@x.org.
    int removed = m_store.contacts().deleteByEmail(kSubscribers, address);
    if (m_asker.ask(DialogKind::UnsubscribeEverywhere, texts::text(texts::AskUnsubscribeEverywhere)) != Answer::Yes)
        return removed > 0 ? Outcome::Unsubscribed : Outcome::UnsubscribeUnmatched;
    for (const QString &book : m_store.listBooks())
        removed += m_store.contacts().deleteByEmail(book, address);
    return removed > 0 ? Outcome::UnsubscribedEverywhere : Outcome::UnsubscribeUnmatched;
}

bool SyncJob::inSomeBook(const QString &address)
{
    try {
        for (const QString &book : m_store.listBooks())
            if (m_store.contacts().emailExists(book, address))
                return true;
    } catch (const StoreError &) {
        return true; // a book that cannot be read may hold it: nothing to note
    }
    return false;
}

QString SyncJob::recordBounces(const QStringList &addresses)
{
    QStringList added;
    for (const QString &address : addresses) {
        ensureBook(kBounces);
        if (m_store.contacts().emailExists(kBounces, address))
            continue;
        ContactRecord record = emptyContact();
        newSubscriberRecord(record);
        record[F_email].value = address;
        readLabels(m_store.files().labelPath(kBounces), record);
        if (!m_store.contacts().saveContact(record, kBounces))
            throw StoreError(QStringLiteral("cannot add %1 to %2").arg(address, kBounces).toStdString());
        added << address;
    }
    return added.join(QStringLiteral(", "));
}

void SyncJob::ensureBook(const QString &book)
{
    BookManager books(m_store);
    if (books.exists(book))
        return;
    // The labels of the template, unless the book kept a label file of its own.
    ContactRecord labels = emptyContact();
    const QString ownLabels = m_store.files().labelPath(book);
    readLabels(QFileInfo::exists(ownLabels) ? ownLabels : m_store.files().filePath(QStringLiteral("vierge.ini")), labels);
    const BookResult result = books.create(book, {labels[F_champ16].label, labels[F_champ17].label,
                                                  labels[F_champ18].label, labels[F_champ19].label});
    if (!result.ok() && !books.exists(book))
        throw StoreError(QStringLiteral("cannot make the book %1: %2").arg(book, result.reason).toStdString());
}

void SyncJob::finish(End end, const QString &notice)
{
    m_end = end;
    m_notice = notice;
    // Whatever ended the job, the messages processed so far were applied and
    // forwarded: QUIT has the server delete them, so that the next job does
    // not apply or forward them again. A connection already lost sends
    // nothing, and the server deletes nothing.
    onWorker<bool>([&pop = m_pop] { return closeMailbox(pop); }, &SyncJob::closed);
}

void SyncJob::closed(const bool &)
{
    if (!m_notice.isEmpty())
        m_asker.ask(DialogKind::SyncOk, m_notice);
    m_running = false;
    Q_EMIT finished(m_end);
}

} // namespace kirvane::subscriptions
