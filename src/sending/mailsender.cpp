#include "sending/mailsender.h"

#include "mail/qzvmsg.h"
#include "mail/qzvsmtp.h"

namespace kirvane::sending {

SmtpSender::SmtpSender() : SmtpSender(std::make_unique<mail::TQzvSMTP>()) {}

SmtpSender::SmtpSender(std::unique_ptr<mail::TQzvSMTP> client) : m_client(std::move(client)) {}

SmtpSender::~SmtpSender() = default;

void SmtpSender::setEndpoint(const QString &host, const QString &port)
{
    m_client->Host = host;
    m_client->Port = port;
}

void SmtpSender::setProcessEvents(std::function<void()> processEvents)
{
    m_client->ProcessEvents = std::move(processEvents);
}

bool SmtpSender::open()
{
    m_client->Connect();
    return !m_client->Failed() && m_client->Connected();
}

bool SmtpSender::isOpen()
{
    return m_client->Connected();
}

QString SmtpSender::failureText() const
{
    const QString code = m_client->ReplyCode();
    return code.isEmpty() ? m_client->ReplyText() : code + u' ' + m_client->ReplyText();
}

MailSender::Result SmtpSender::send(mail::TQzvMsg &msg, qint64)
{
    if (const QString why = invalidAddressReason(msg.SendTo); !why.isEmpty())
        return {Outcome::Invalid, QString(), why};
    try {
        m_client->SendMessage(msg);
    } catch (const mail::MailError &e) {
        return {Outcome::Error, QString(), QString::fromStdString(e.what())};
    }
    // A wait that ended without a reply (the connection closed, nothing in
    // time) leaves the code empty: nobody refused the message, it may simply
    // not have arrived.
    if (m_client->Failed() && m_client->ReplyCode().isEmpty())
        return {Outcome::Error, QString(), m_client->ReplyText()};
    if (m_client->Failed())
        return {Outcome::Refused, m_client->ReplyCode(), m_client->ReplyText()};
    return {Outcome::Sent, m_client->ReplyCode(), m_client->ReplyText()};
}

void SmtpSender::close()
{
    try {
        m_client->Quit();
    } catch (const mail::MailError &) {
        // The connection is gone either way.
    }
}

QString invalidAddressReason(const QString &address)
{
    if (mail::RecipientAddresses(address).isEmpty())
        return QStringLiteral("no address");
    for (QChar c : address) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return QStringLiteral("control character");
    }
    return QString();
}

} // namespace kirvane::sending
