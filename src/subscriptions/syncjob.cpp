#include "subscriptions/syncjob.h"
#include "common/product.h"

#include "contacts/bookmanager.h"
#include "mail/pop3client.h"
#include "mail/smtpclient.h"
#include "sending/settings.h"
#include "texts/texttable.h"
#include "store/contactrecord.h"
#include "common/folders.h"
#include "store/addressbookstore.h"
#include "subscriptions/deliverystatus.h"
#include "subscriptions/subscriptionrequest.h"
#include "subscriptions/synclog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

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

SyncJob::SyncJob(AddressBookStore &base, mail::Pop3Client &pop, mail::SmtpClient &smtp, Asker &asker, QObject *parent)
    : QObject(parent), m_base(base), m_pop(pop), m_smtp(smtp), m_asker(asker)
{
}

SyncJob::~SyncJob() = default;

void SyncJob::start()
{
    if (m_running)
        return;
    m_running = true;
    m_cancel = false;
    m_end = End::Done;
    m_count = 0;
    m_number = 0;
    m_processed = 0;
    QTimer::singleShot(0, this, &SyncJob::begin);
}

void SyncJob::begin()
{
    sending::Settings settings;
    QString unreadable;
    sending::loadSettings(settings, m_configPath.isEmpty() ? sending::settingsPath() : m_configPath, &unreadable);
    if (!unreadable.isEmpty())
        return finish(End::Failed, unreadable);
    sending::applyEndpoint(sending::popEndpoint(settings), m_pop);
    m_smtpEndpoint = sending::smtpEndpoint(settings);
    m_redirection = settings.redirection;

    // Connect closes a connection a previous job may have left open, so the
    // dialogue always starts from the greeting.
    m_pop.connectToHost();
    if (m_pop.failed() || !m_pop.isConnected()) {
        // Why: the server cannot be reached, or its certificate was refused.
        const QString why = m_pop.statusText();
        return finish(End::ConnectFailed, texts::text(texts::CannotConnect)
                                              + (why.isEmpty() ? QString() : QStringLiteral("\n\n") + why));
    }
    try {
        if (!m_pop.login())
            return finish(End::LoginRefused, texts::text(texts::SyncLoginRefused));
        m_pop.fetchMessageCount();
    } catch (const mail::MailError &) {
        return finish(End::ConnectionLost, texts::text(texts::CannotConnect));
    }
    // A refused LAST leaves Failed set on a usable connection; a refused STAT closes it.
    if (!m_pop.isConnected())
        return finish(End::ConnectionLost, texts::text(texts::CannotConnect));
    m_count = m_pop.messageCount();
    m_number = 0;
    processNext();
}

void SyncJob::processNext()
{
    if (m_number >= m_count)
        return finish(End::Done);
    ++m_number;
    if (!processMessage())
        return;
    if (m_cancel)
        return finish(End::Cancelled);
    // The next message on the next turn of the loop, so that the window
    // repaints and a press of cancel is seen first.
    QTimer::singleShot(0, this, &SyncJob::processNext);
}

bool SyncJob::processMessage()
{
    const int n = m_number;
    Q_EMIT messageStarted(n, m_count);

    mail::MailMessage msg;
    // Kept for the delivery-notice check; emptied before a forward composes anew.
    msg.clearWireLinesAfterParse = false;
    try {
        if (!m_pop.retrieve(n, msg)) {
            finish(End::ConnectionLost, texts::text(texts::CannotConnect));
            return false;
        }
    } catch (const mail::MailError &e) {
        if (!m_pop.isConnected()) {
            finish(End::ConnectionLost, texts::text(texts::CannotConnect));
            return false;
        }
        // The message came whole but its content could not be decoded: it is
        // left on the server for the user and the others go on.
        Q_EMIT messageDone(n, msg.from, Outcome::Unreadable, QString::fromUtf8(e.what()));
        m_asker.ask(DialogKind::SyncOk, texts::text(texts::SyncUnreadable).arg(n));
        return true;
    }

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

    Outcome outcome = Outcome::Forwarded;
    QString detail;
    try {
        if (notice) {
            QStringList failed;
            for (const DeliveryNotice::Recipient &r : notice->recipients) {
                if (r.permanent() && !r.address.isEmpty() && !failed.contains(r.address))
                    failed << r.address;
            }
            outcome = Outcome::DeliveryNotice;
            detail = recordBounces(failed);
        } else if (request.kind == SubscriptionRequest::Kind::Subscribe) {
            outcome = subscribe(request.address, msg.text);
            detail = request.address;
        } else if (request.kind == SubscriptionRequest::Kind::Unsubscribe) {
            outcome = unsubscribe(request.address);
            detail = request.address;
        } else {
            Q_EMIT forwarding(true);
            if (!forward(msg)) {
                Q_EMIT forwarding(false);
                finish(End::ForwardFailed, texts::text(texts::SyncForwardFailed).arg(n));
                return false;
            }
            Q_EMIT forwarding(false);
            detail = m_redirection;
        }
    } catch (const StoreError &e) {
        finish(End::Failed, texts::text(texts::SyncFailed).arg(n).arg(QString::fromUtf8(e.what())));
        return false;
    }

    try {
        m_pop.deleteMessage(n);
    } catch (const mail::MailError &) {
    }
    if (!m_pop.isConnected()) {
        // A refused DELE drops the connection and with it every deletion.
        finish(End::ConnectionLost, texts::text(texts::CannotConnect));
        return false;
    }
    if (outcome != Outcome::UnsubscribeUnmatched)
        ++m_processed;
    Q_EMIT messageDone(n, msg.from, outcome, detail);
    return true;
}

bool SyncJob::forward(mail::MailMessage &msg)
{
    // Only the redirection address receives the copy: the CC of the received
    // message named people who never asked for it.
    msg.sendTo = m_redirection;
    msg.cc.clear();
    msg.bcc.clear();
    msg.userName.clear();
    msg.wireLines.clear();
    sending::applyEndpoint(m_smtpEndpoint, m_smtp);
    bool ok = false;
    try {
        m_smtp.connectToHost();
        if (!m_smtp.failed() && m_smtp.isConnected()) {
            msg.bodyFormat = mail::BodyFormat::Html;
            msg.xMailer = common::mailerName();
            m_smtp.sendMessage(msg);
            ok = !m_smtp.failed();
        }
    } catch (const mail::MailError &) {
        // Not sent, whatever the reason (no redirection address, a From
        // without "@"): the message must stay on the server.
        ok = false;
    }
    try {
        m_smtp.quit();
    } catch (const mail::MailError &) {
    }
    return ok;
}

SyncJob::Outcome SyncJob::subscribe(const QString &address, const QStringList &body)
{
    ensureBook(kSubscribers);
    if (m_base.contacts().emailExists(kSubscribers, address)) {
        pauseOnKnownAddress();
        return Outcome::AlreadySubscribed;
    }
    ContactRecord record = emptyContact();
    newSubscriberRecord(record);
    record[F_email].value = address;
    fillFromBody(body, record);
    readLabels(m_base.files().labelPath(kSubscribers), record);
    if (record[F_nom].value.isEmpty() && record[F_prenom].value.isEmpty()) {
        int number = 0;
        while (m_base.contacts().nameExists(kSubscribers, QString::number(number)))
            ++number;
        record[F_nom].value = QString::number(number);
    }
    if (!m_base.contacts().saveContact(record, kSubscribers))
        throw StoreError(QStringLiteral("cannot add %1 to %2").arg(address, kSubscribers).toStdString());
    return Outcome::Subscribed;
}

SyncJob::Outcome SyncJob::unsubscribe(const QString &address)
{
    ensureBook(kSubscribers);
    // Letter case aside: "DESABONNE JOHN@X.ORG" removes john@x.org.
    int removed = m_base.contacts().deleteByEmail(kSubscribers, address);
    if (m_asker.ask(DialogKind::UnsubscribeEverywhere, texts::text(texts::AskUnsubscribeEverywhere)) != Answer::Yes)
        return removed > 0 ? Outcome::Unsubscribed : Outcome::UnsubscribeUnmatched;
    for (const QString &book : m_base.listBooks())
        removed += m_base.contacts().deleteByEmail(book, address);
    return removed > 0 ? Outcome::UnsubscribedEverywhere : Outcome::UnsubscribeUnmatched;
}

bool SyncJob::inSomeBook(const QString &address)
{
    try {
        for (const QString &book : m_base.listBooks())
            if (m_base.contacts().emailExists(book, address))
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
        if (m_base.contacts().emailExists(kBounces, address))
            continue;
        ContactRecord record = emptyContact();
        newSubscriberRecord(record);
        record[F_email].value = address;
        readLabels(m_base.files().labelPath(kBounces), record);
        if (!m_base.contacts().saveContact(record, kBounces))
            throw StoreError(QStringLiteral("cannot add %1 to %2").arg(address, kBounces).toStdString());
        added << address;
    }
    return added.join(QStringLiteral(", "));
}

void SyncJob::ensureBook(const QString &book)
{
    BookManager books(m_base);
    if (books.exists(book))
        return;
    // The labels of the template, unless the book kept a label file of its own.
    ContactRecord labels = emptyContact();
    const QString ownLabels = m_base.files().labelPath(book);
    readLabels(QFileInfo::exists(ownLabels) ? ownLabels : m_base.files().filePath(QStringLiteral("vierge.ini")), labels);
    const BookResult result = books.create(book, {labels[F_champ16].label, labels[F_champ17].label,
                                                  labels[F_champ18].label, labels[F_champ19].label});
    if (!result.ok() && !books.exists(book))
        throw StoreError(QStringLiteral("cannot make the book %1: %2").arg(book, result.reason).toStdString());
}

void SyncJob::pauseOnKnownAddress()
{
    Q_EMIT knownAddress(true);
    if (m_knownAddressPauseMs > 0) {
        QEventLoop wait;
        QTimer::singleShot(m_knownAddressPauseMs, Qt::PreciseTimer, &wait, &QEventLoop::quit);
        wait.exec();
    }
    Q_EMIT knownAddress(false);
}

void SyncJob::finish(End end, const QString &notice)
{
    m_end = end;
    // Whatever ended the job, the messages processed so far were applied and
    // forwarded: QUIT has the server delete them, so that the next job does
    // not apply or forward them again.
    try {
        m_pop.quit();
    } catch (const mail::MailError &) {
    }
    if (!notice.isEmpty())
        m_asker.ask(DialogKind::SyncOk, notice);
    m_running = false;
    Q_EMIT finished(end);
}

} // namespace kirvane::subscriptions
