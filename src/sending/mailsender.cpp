#include "sending/mailsender.h"

#include "mail/mailmessage.h"
#include "mail/smtpclient.h"
#include "settings/settings.h"

namespace kirvane::sending {

SmtpSender::SmtpSender() : SmtpSender(std::make_unique<mail::SmtpClient>()) {}

SmtpSender::SmtpSender(std::unique_ptr<mail::SmtpClient> client) : m_client(std::move(client)) {}

SmtpSender::~SmtpSender() = default;

void SmtpSender::setEndpoint(const settings::SmtpEndpoint &endpoint)
{
    settings::applyEndpoint(endpoint, *m_client);
}

void SmtpSender::setProcessEvents(std::function<void()> processEvents)
{
    m_client->processEvents = std::move(processEvents);
}

bool SmtpSender::open()
{
    const bool ready = m_client->connectToHost();
    collect();
    return ready && m_client->isConnected();
}

bool SmtpSender::isOpen()
{
    return m_client->isConnected();
}

QString SmtpSender::failureText() const
{
    const QString code = m_client->replyCode();
    return code.isEmpty() ? m_client->replyText() : code + u' ' + m_client->replyText();
}

MailSender::Result SmtpSender::send(mail::MailMessage &msg, qint64 tag)
{
    if (const QString why = invalidAddressReason(msg.sendTo); !why.isEmpty())
        return {Outcome::Invalid, QString(), why};
    bool taken = false;
    try {
        taken = m_client->sendMessage(msg);
    } catch (const mail::MailError &e) {
        collect();
        return {Outcome::Error, QString(), QString::fromStdString(e.what())};
    }
    collect();
    // A wait that ended without a reply (the connection closed, nothing in
    // time) leaves the code empty: nobody refused the message, it may simply
    // not have arrived.
    if (!taken && m_client->replyCode().isEmpty())
        return {Outcome::Error, QString(), m_client->replyText()};
    if (!taken)
        return {Outcome::Refused, m_client->replyCode(), m_client->replyText()};
    if (m_client->hasPending()) {
        m_pendingTag = tag;
        return {Outcome::Pending, QString(), QString()};
    }
    Result sent{Outcome::Sent, m_client->replyCode(), m_client->replyText(), {}};
    // A field of two addresses, one refused: the message went, that address did not.
    for (const mail::SmtpClient::RefusedRecipient &r : m_client->refusedRecipients())
        sent.refusedAddresses.append({QString::fromUtf8(r.address), r.code, r.text});
    return sent;
}

void SmtpSender::collect()
{
    const std::optional<mail::SmtpClient::Settled> settled = m_client->takeSettled();
    if (!settled)
        return;
    const Outcome outcome = !settled->answered ? Outcome::Error
                            : settled->accepted ? Outcome::Sent
                                                : Outcome::Refused;
    m_late.append({m_pendingTag, {outcome, settled->code, settled->text}});
}

QList<MailSender::LateAnswer> SmtpSender::takeLateAnswers()
{
    return std::exchange(m_late, {});
}

void SmtpSender::settle()
{
    try {
        m_client->settle();
    } catch (const mail::MailError &) {
        // The answer that did not come is collected below.
    }
    collect();
}

void SmtpSender::close()
{
    try {
        m_client->quit();
    } catch (const mail::MailError &) {
        // The connection is gone either way.
    }
    collect();
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
