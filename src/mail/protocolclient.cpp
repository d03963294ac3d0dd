#include "mail/protocolclient.h"

namespace kirvane::mail {

ProtocolClient::ProtocolClient(std::unique_ptr<Transport> transport, quint16 defaultPort)
    : port(QString::number(defaultPort))
    , m_transport(std::move(transport))
    , m_reader(*m_transport)
    , m_defaultPort(defaultPort)
{
}

ProtocolClient::~ProtocolClient()
{
    m_transport->close();
}

bool ProtocolClient::isConnected()
{
    return m_transport->isOpen();
}

void ProtocolClient::reset()
{
    close();
    m_failed = false;
    m_failureCode = 0;
    m_code.clear();
    m_text.clear();
}

bool ProtocolClient::open()
{
    m_transport->clearAbort();
    if (!m_transport->open(host, portFromText(port, m_defaultPort), waitLimit())) {
        m_text = m_transport->errorText();
        return false;
    }
    if (security != Security::Tls || m_transport->startTls(host, caFile, waitLimit()))
        return true;
    m_text = m_transport->errorText();
    return false;
}

bool ProtocolClient::startTls()
{
    m_code.clear();
    if (m_reader.holdsMore()) {
        m_text = QStringLiteral("The server sent more after agreeing to encrypt; the connection was closed.");
        return false;
    }
    if (m_transport->startTls(host, caFile, waitLimit()))
        return true;
    m_text = m_transport->errorText();
    return false;
}

void ProtocolClient::close()
{
    m_transport->close();
    m_reader.clear();
}

void ProtocolClient::fail(int code)
{
    m_failed = true;
    m_failureCode = code;
    const bool wasOpen = m_transport->isOpen();
    close();
    report(wasOpen);
}

void ProtocolClient::failWait(WaitEnd end, int code, const char *call, bool raise)
{
    m_code.clear();
    m_text = waitEndText(end, timeout, *m_transport);
    const QString socketError = socketErrorText(*m_transport, call);
    fail(code);
    if (raise && end == WaitEnd::Error)
        throw MailError(socketError);
}

bool ProtocolClient::sendText(const QByteArray &text, int code, bool raise)
{
    const WaitEnd end = m_transport->send(text, waitLimit());
    if (end == WaitEnd::Done)
        return true;
    failWait(end, code, "send", raise);
    return false;
}

bool ProtocolClient::receiveLine(QByteArray &line, QDeadlineTimer deadline, qsizetype maxLength, int code)
{
    const WaitEnd end = m_reader.readLine(line, deadline, maxLength);
    if (end == WaitEnd::Done)
        return true;
    failWait(end, code, "recv", true);
    return false;
}

} // namespace kirvane::mail
