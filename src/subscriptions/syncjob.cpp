#include "subscriptions/syncjob.h"

#include "contacts/bookmanager.h"
#include "mail/qzvpop.h"
#include "mail/qzvsmtp.h"
#include "sending/settings.h"
#include "shell/translations.h"
#include "store/contact.h"
#include "store/folders.h"
#include "store/tbase.h"
#include "subscriptions/deliverystatus.h"
#include "subscriptions/subscriptionrequest.h"
#include "subscriptions/synclog.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

namespace kirvane::subscriptions {

namespace {

constexpr const char *kXMailer = "Kirvane https://kirvane.example.org/";

// The log lines that say what a delivery notice reported.
QStringList noticeLines(const DeliveryNotice &notice)
{
    QStringList lines;
    if (notice.recipients.isEmpty())
        lines << QStringLiteral("Avis de remise sans destinataire lisible");
    for (const DeliveryNotice::Recipient &r : notice.recipients) {
        lines << QStringLiteral("Avis de remise : %1 %2 %3%4")
                     .arg(r.address, r.action, r.status,
                          r.permanent() ? QStringLiteral(" -> annuaire bounces") : QString());
    }
    return lines;
}

} // namespace

SyncJob::SyncJob(Tbase &base, mail::TQzvPOP &pop, mail::TQzvSMTP &smtp, Asker &asker, QObject *parent)
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
    sending::loadSettings(settings, m_configPath.isEmpty() ? sending::settingsPath() : m_configPath);
    const sending::PopEndpoint pop = sending::popEndpoint(settings);
    m_pop.Host = pop.host;
    m_pop.Port = pop.port;
    m_pop.UserId = pop.user;
    m_pop.UserPasswd = pop.password;
    const sending::SmtpEndpoint smtp = sending::smtpEndpoint(settings);
    m_smtpHost = smtp.host;
    m_smtpPort = smtp.port;
    m_redirection = settings.redirection;

    // Connect closes a connection a previous job may have left open, so the
    // dialogue always starts from the greeting.
    m_pop.Connect();
    if (m_pop.Failed() || !m_pop.Connected())
        return finish(End::ConnectFailed, translation::text(translation::CannotConnect));
    try {
        if (!m_pop.Login())
            return finish(End::LoginRefused, translation::text(translation::SyncLoginRefused));
        m_pop.GetMessageCount();
    } catch (const mail::MailError &) {
        return finish(End::ConnectionLost, translation::text(translation::CannotConnect));
    }
    // A refused LAST leaves Failed set on a usable connection; a refused STAT closes it.
    if (!m_pop.Connected())
        return finish(End::ConnectionLost, translation::text(translation::CannotConnect));
    m_count = m_pop.MessageCount();
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

    mail::TQzvMsg msg;
    // Kept for the delivery-notice check; emptied before a forward composes anew.
    msg.ClearRawMailAfterParse = false;
    try {
        if (!m_pop.Retrieve(n, msg)) {
            finish(End::ConnectionLost, translation::text(translation::CannotConnect));
            return false;
        }
    } catch (const mail::MailError &e) {
        if (!m_pop.Connected()) {
            finish(End::ConnectionLost, translation::text(translation::CannotConnect));
            return false;
        }
        // The message came whole but its content could not be decoded: it is
        // left on the server for the user and the others go on.
        Q_EMIT messageDone(n, msg.From, Outcome::Unreadable, QString::fromUtf8(e.what()));
        m_asker.ask(DialogKind::SyncOk, translation::text(translation::SyncUnreadable).arg(n));
        return true;
    }

    const std::optional<DeliveryNotice> notice = readDeliveryNotice(msg.RawMail);
    const SubscriptionRequest request = notice ? SubscriptionRequest{} : readRequest(msg.Subject);

    QString error;
    const SyncLog log(m_logPath.isEmpty() ? findNoCase(dataFolder(), QStringLiteral("log.txt")) : m_logPath);
    if (!log.append(SyncLog::entry(QDateTime::currentDateTime(), msg.From, msg.Subject, msg.Text,
                                   notice ? noticeLines(*notice) : QStringList()),
                    &error)) {
        finish(End::Failed, translation::text(translation::SyncFailed).arg(n).arg(QFileInfo(log.path()).fileName() + ": " + error));
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
            outcome = subscribe(request.address, msg.Text);
            detail = request.address;
        } else if (request.kind == SubscriptionRequest::Kind::Unsubscribe) {
            outcome = unsubscribe(request.address);
            detail = request.address;
        } else {
            Q_EMIT forwarding(true);
            if (!forward(msg)) {
                Q_EMIT forwarding(false);
                finish(End::ForwardFailed, translation::text(translation::SyncForwardFailed).arg(n));
                return false;
            }
            Q_EMIT forwarding(false);
            detail = m_redirection;
        }
    } catch (const StoreError &e) {
        finish(End::Failed, translation::text(translation::SyncFailed).arg(n).arg(QString::fromUtf8(e.what())));
        return false;
    }

    try {
        m_pop.Delete(n);
    } catch (const mail::MailError &) {
    }
    if (!m_pop.Connected()) {
        // A refused DELE drops the connection and with it every deletion.
        finish(End::ConnectionLost, translation::text(translation::CannotConnect));
        return false;
    }
    ++m_processed;
    Q_EMIT messageDone(n, msg.From, outcome, detail);
    return true;
}

bool SyncJob::forward(mail::TQzvMsg &msg)
{
    // Only the redirection address receives the copy: the CC of the received
    // message named people who never asked for it.
    msg.SendTo = m_redirection;
    msg.CC.clear();
    msg.BCC.clear();
    msg.UserName.clear();
    msg.RawMail.clear();
    m_smtp.Host = m_smtpHost;
    m_smtp.Port = m_smtpPort;
    bool ok = false;
    try {
        m_smtp.Connect();
        if (!m_smtp.Failed() && m_smtp.Connected()) {
            msg.MessageType = mail::mtHTML;
            msg.XMailer = QString::fromLatin1(kXMailer);
            m_smtp.SendMessage(msg);
            ok = !m_smtp.Failed();
        }
    } catch (const mail::MailError &) {
        // Not sent, whatever the reason (no redirection address, a From
        // without "@"): the message must stay on the server.
        ok = false;
    }
    try {
        m_smtp.Quit();
    } catch (const mail::MailError &) {
    }
    return ok;
}

SyncJob::Outcome SyncJob::subscribe(const QString &address, const QStringList &body)
{
    ensureBook(kSubscribers);
    if (m_base.EmailExists(kSubscribers, address) == 1) {
        pauseOnKnownAddress();
        return Outcome::AlreadySubscribed;
    }
    T_contact record = emptyContact();
    newSubscriberRecord(record);
    record[F_email].value = address;
    fillFromBody(body, record);
    readLabels(m_base.labelPath(kSubscribers), record);
    if (record[F_nom].value.isEmpty() && record[F_prenom].value.isEmpty()) {
        int number = 0;
        while (m_base.NameExists(kSubscribers, QString::number(number)) != 0)
            ++number;
        record[F_nom].value = QString::number(number);
    }
    if (m_base.SaveContact(record, kSubscribers) != 0)
        throw StoreError(QStringLiteral("cannot add %1 to %2").arg(address, kSubscribers).toStdString());
    return Outcome::Subscribed;
}

SyncJob::Outcome SyncJob::unsubscribe(const QString &address)
{
    ensureBook(kSubscribers);
    m_base.DeleteByEmail(kSubscribers, address);
    if (m_asker.ask(DialogKind::YesNo, translation::text(translation::AskUnsubscribeEverywhere)) != Answer::Yes)
        return Outcome::Unsubscribed;
    for (const QString &book : m_base.ListBooks())
        m_base.DeleteByEmail(book, address);
    return Outcome::UnsubscribedEverywhere;
}

QString SyncJob::recordBounces(const QStringList &addresses)
{
    QStringList added;
    for (const QString &address : addresses) {
        ensureBook(kBounces);
        if (m_base.EmailExists(kBounces, address) == 1)
            continue;
        T_contact record = emptyContact();
        newSubscriberRecord(record);
        record[F_email].value = address;
        readLabels(m_base.labelPath(kBounces), record);
        if (m_base.SaveContact(record, kBounces) != 0)
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
    T_contact labels = emptyContact();
    const QString ownLabels = m_base.labelPath(book);
    readLabels(QFileInfo::exists(ownLabels) ? ownLabels : m_base.bookFile(QStringLiteral("vierge.ini")), labels);
    const int result = books.create(book, {labels[F_champ16].label, labels[F_champ17].label,
                                           labels[F_champ18].label, labels[F_champ19].label});
    if (result != BookManager::Ok && !books.exists(book))
        throw StoreError(QStringLiteral("cannot make the book %1: %2").arg(book, books.lastError()).toStdString());
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
        m_pop.Quit();
    } catch (const mail::MailError &) {
    }
    if (!notice.isEmpty())
        m_asker.ask(DialogKind::SyncOk, notice);
    m_running = false;
    Q_EMIT finished(end);
}

} // namespace kirvane::subscriptions
