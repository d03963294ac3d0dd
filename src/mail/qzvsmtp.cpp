#include "mail/qzvsmtp.h"

#include <QDateTime>
#include <QHostInfo>

#include <cctype>
#include <cstring>

namespace kirvane::mail {

namespace {

// The DATA text goes out in writes of about this size: one write for an
// ordinary message, several for one with large attachments.
constexpr qsizetype dataChunk = 256 * 1024;

// Removes every part from open to the next close, both included; an open
// without its close is kept as it stands.
QString withoutEnclosed(QString text, QChar open, QChar close)
{
    qsizetype from = 0;
    for (;;) {
        const qsizetype a = text.indexOf(open, from);
        if (a < 0)
            break;
        const qsizetype b = text.indexOf(close, a + 1);
        if (b < 0)
            break;
        text.remove(a, b - a + 1);
        from = a;
    }
    return text;
}

QString reducedAddress(const QString &text)
{
    QString s = withoutEnclosed(text, QLatin1Char('('), QLatin1Char(')')).trimmed();
    const qsizetype lt = s.indexOf(QLatin1Char('<'));
    const qsizetype gt = s.indexOf(QLatin1Char('>'));
    if (lt >= 0 && gt >= 0)
        s = lt < gt ? s.mid(lt + 1, gt - lt - 1) : QString();
    return s;
}

// An address goes into a command line as it stands, so a line break in it
// would start a command of its own.
void checkAddress(const QByteArray &address)
{
    for (char c : address) {
        if (uchar(c) < 0x20 || uchar(c) == 0x7f)
            throw MailError(QStringLiteral("Address holds a control character: %1")
                                .arg(QString::fromUtf8(address).toHtmlEscaped()));
    }
}

// Appends one message line for the DATA text. RawMail comes dot-stuffed from
// the composition, whose stuffed lines start with "..". A line that starts
// with a single "." was not stuffed and is stuffed here, so that a bare "."
// never ends the text early (RFC 5321 4.5.2). A line break inside a line is
// sent as CR LF, and what follows it is stuffed like any line.
void appendDataLine(QByteArray &out, const QByteArray &line)
{
    const char *p = line.constData();
    const qsizetype n = line.size();
    if (n <= 0) {
        out.append("\r\n", 2);
        return;
    }
    if (p[0] == '.' && (n == 1 || p[1] != '.'))
        out.append('.');
    if (!std::memchr(p, '\n', size_t(n)) && !std::memchr(p, '\r', size_t(n))) {
        out.append(p, n).append("\r\n", 2);
        return;
    }
    qsizetype start = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char c = p[i];
        if (c != '\r' && c != '\n')
            continue;
        out.append(p + start, i - start);
        out.append("\r\n", 2);
        if (c == '\r' && i + 1 < n && p[i + 1] == '\n')
            ++i;
        start = i + 1;
        if (start < n && p[start] == '.')
            out.append('.');
    }
    out.append(p + start, n - start);
    out.append("\r\n", 2);
}

} // namespace

TQzvSMTP::TQzvSMTP() : TQzvSMTP(std::make_unique<TcpTransport>()) {}

TQzvSMTP::TQzvSMTP(std::unique_ptr<Transport> transport)
    : m_transport(std::move(transport)), m_reader(*m_transport)
{
    // The transport's waits yield to whatever ProcessEvents is at the time.
    m_transport->processEvents = [this] { yield(); };
}

TQzvSMTP::~TQzvSMTP()
{
    m_transport->close();
}

bool TQzvSMTP::Connected()
{
    return m_transport->isOpen();
}

void TQzvSMTP::yield()
{
    if (ProcessEvents)
        ProcessEvents();
}

void TQzvSMTP::fail()
{
    m_failed = true;
    const bool wasOpen = m_transport->isOpen();
    m_transport->close();
    m_reader.clear();
    if (OnError)
        OnError(m_replyCode.toInt(), m_replyText);
    if (wasOpen && OnQuit)
        OnQuit();
}

void TQzvSMTP::failWait(WaitEnd end, const char *call, bool raise)
{
    m_replyCode.clear();
    m_replyText = waitEndText(end, TimeOut, *m_transport);
    const QString socketError = socketErrorText(*m_transport, call);
    fail();
    if (raise && end == WaitEnd::Error)
        throw MailError(socketError);
}

TQzvSMTP::Step TQzvSMTP::readReply(const char *expected)
{
    const QDeadlineTimer deadline = waitLimit();
    QByteArray line;
    for (;;) {
        yield();
        const WaitEnd end = m_reader.readLine(line, deadline, 64 * 1024);
        if (end != WaitEnd::Done) {
            failWait(end, "recv", true);
            return Step::Refused;
        }
        // "250-..." continues a reply and "250 ..." ends it (RFC 5321 4.2.1);
        // so does a bare "250", which the RFC allows as well.
        if (line.size() >= 4 && line.at(3) == ' ')
            break;
        if (line.size() == 3 && std::isdigit(uchar(line.at(0))) && std::isdigit(uchar(line.at(1)))
            && std::isdigit(uchar(line.at(2))))
            break;
    }
    m_replyCode = QString::fromLatin1(line.left(3)).trimmed();
    m_replyText = QString::fromLatin1(line.mid(3, 64)).trimmed();
    if (OnReceiveTextFromSocket)
        OnReceiveTextFromSocket(line);
    if (m_replyCode != QLatin1String(expected)) {
        fail();
        return Step::Refused;
    }
    return Step::Ok;
}

TQzvSMTP::Step TQzvSMTP::command(const QByteArray &text, const char *expected)
{
    yield();
    const WaitEnd end = m_transport->send(text, waitLimit());
    if (end != WaitEnd::Done) {
        failWait(end, "send", true);
        return Step::Refused;
    }
    if (OnSendTextToSocket)
        OnSendTextToSocket(text);
    return readReply(expected);
}

void TQzvSMTP::Connect()
{
    m_transport->close();
    m_reader.clear();
    m_failed = false;
    m_replyCode.clear();
    m_replyText.clear();
    if (OnConnecting)
        OnConnecting();
    if (!m_transport->open(Host, portFromText(Port, 25), waitLimit())) {
        m_replyText = m_transport->errorText();
        fail();
        return;
    }
    if (OnConnect)
        OnConnect();
    if (readReply("220") != Step::Ok)
        return;
    const QString helo = HeloName(QHostInfo::localHostName(), Host);
    (void)command("HELO " + helo.toUtf8() + "\r\n", "250");
}

void TQzvSMTP::reportProgress(quint16 percent)
{
    m_progress = percent;
    if (OnSendProgress)
        OnSendProgress(percent);
}

bool TQzvSMTP::sendData(const QList<QByteArray> &lines)
{
    const qsizetype n = lines.size();
    m_nextProgress = SendProgressStep;
    // resize(0) keeps the capacity, so the buffer is allocated once.
    m_out.reserve(dataChunk + 64 * 1024);
    m_out.resize(0);
    auto flush = [this](qsizetype written, qsizetype total) {
        yield();
        const WaitEnd end = m_transport->send(m_out, waitLimit());
        if (end != WaitEnd::Done) {
            // A message line that cannot be written ends the transaction
            // without raising.
            failWait(end, "send", false);
            return false;
        }
        if (OnSendTextToSocket)
            OnSendTextToSocket(m_out);
        m_out.resize(0);
        const quint16 percent = total ? quint16((written * 100 + total / 2) / total) : 100;
        if (percent >= m_nextProgress) {
            reportProgress(percent);
            while (m_nextProgress <= percent && SendProgressStep > 0)
                m_nextProgress += SendProgressStep;
        }
        return true;
    };
    for (qsizetype i = 0; i < n; ++i) {
        appendDataLine(m_out, lines.at(i));
        if (m_out.size() >= dataChunk && !flush(i + 1, n))
            return false;
    }
    // The last line already ends in CR LF, so "." + CR LF alone ends the text;
    // a further CR LF in front would add an empty line to the message.
    m_out.append(".\r\n", 3);
    if (!flush(n, n))
        return false;
    return readReply("250") == Step::Ok;
}

bool TQzvSMTP::transaction(const QByteArray &sender, const QList<QByteArray> &recipients,
                           const QList<QByteArray> &lines)
{
    if (command("MAIL FROM:<" + sender + ">\r\n", "250") != Step::Ok)
        return false;
    for (const QByteArray &to : recipients) {
        if (command("RCPT TO:<" + to + ">\r\n", "250") != Step::Ok)
            return false;
    }
    if (command("DATA\r\n", "354") != Step::Ok)
        return false;
    if (!sendData(lines))
        return false;
    if (command("RSET\r\n", "250") != Step::Ok)
        return false;
    reportProgress(100);
    return true;
}

void TQzvSMTP::SendMessage(TQzvMsg &msg)
{
    if (!Connected())
        throw MailError(QStringLiteral("Not connected."));
    if (msg.From.isEmpty())
        throw MailError(QStringLiteral("\"From\" field not specified."));
    if (msg.SendTo.isEmpty())
        throw MailError(QStringLiteral("\"SendTo\" field not specified."));
    const QByteArray sender = SenderAddress(msg.From);
    const QList<QByteArray> lists[] = {RecipientAddresses(msg.SendTo), RecipientAddresses(msg.CC),
                                       RecipientAddresses(msg.BCC)};
    // A To list of nothing but commas would send nothing and report success.
    if (lists[0].isEmpty())
        throw MailError(QStringLiteral("\"SendTo\" field not specified."));
    checkAddress(sender);
    for (const auto &list : lists) {
        for (const QByteArray &address : list)
            checkAddress(address);
    }

    msg.Date = FormatMailDate(QDateTime::currentDateTime());
    if (msg.RawMail.isEmpty()) {
        QString error;
        if (!msg.FillRawMail(&error))
            throw MailError(error);
    }
    if (OnBeforeSend)
        OnBeforeSend();
    m_progress = 0;
    for (const auto &list : lists) {
        // After a failed transaction the connection is closed, so the lists
        // after it cannot be sent.
        if (!list.isEmpty() && !transaction(sender, list, msg.RawMail))
            return;
    }
    if (m_progress < 100)
        reportProgress(100);
    if (OnAfterSend)
        OnAfterSend();
}

void TQzvSMTP::Quit()
{
    if (!Connected()) {
        m_transport->close();
        return;
    }
    if (command("QUIT\r\n", "221") != Step::Ok)
        return; // failed: already closed
    m_transport->close();
    m_reader.clear();
    if (OnQuit)
        OnQuit();
}

QString HeloName(const QString &local, const QString &host)
{
    const QString name = local.isEmpty() ? QStringLiteral("localhost") : local;
    if (isDottedQuad(name))
        return QLatin1Char('[') + name + QLatin1Char(']');
    if (!name.contains(QLatin1Char('.')) && !isDottedQuad(host) && !host.isEmpty())
        return name + QLatin1Char('.') + host;
    return name;
}

QByteArray SenderAddress(const QString &from)
{
    return reducedAddress(from).toUtf8();
}

QList<QByteArray> RecipientAddresses(const QString &list)
{
    QString text = list;
    text.remove(QLatin1Char(' '));
    text = withoutEnclosed(text, QLatin1Char('"'), QLatin1Char('"')).toLower();
    QList<QByteArray> result;
    for (const QString &piece : text.split(QLatin1Char(','))) {
        const QString address = reducedAddress(piece);
        if (!address.isEmpty())
            result.append(address.toUtf8());
    }
    return result;
}

} // namespace kirvane::mail
