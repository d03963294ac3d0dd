#include "mail/smtpclient.h"

#include <QHostInfo>

#include <algorithm>
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

// Appends one message line for the DATA text. wireLines comes dot-stuffed from
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
        // The common line, written in place: the buffer's capacity is kept
        // between messages, and an append per piece cost more than the copy
        // for the thousands of lines of an attachment.
        const qsizetype at = out.size();
        out.resize(at + n + 2);
        char *d = out.data() + at;
        std::memcpy(d, p, size_t(n));
        d[n] = '\r';
        d[n + 1] = '\n';
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

SmtpClient::SmtpClient() : SmtpClient(std::make_unique<TcpTransport>()) {}

SmtpClient::SmtpClient(std::unique_ptr<Transport> transport) : ProtocolClient(std::move(transport), 25) {}

void SmtpClient::report(bool wasOpen)
{
    abandonPending(m_text);
    if (wasOpen && onQuit)
        onQuit();
}

WaitEnd SmtpClient::receiveReply(QByteArrayList *lines)
{
    const QDeadlineTimer deadline = waitLimit(); // for the whole reply, however many lines
    QByteArray line;
    if (lines)
        lines->clear();
    for (;;) {
        const WaitEnd end = m_reader.readLine(line, deadline, 64 * 1024);
        if (end != WaitEnd::Done)
            return end;
        // A server may list many keywords, but not without end.
        if (lines && lines->size() < 1000)
            lines->append(line.mid(4).trimmed());
        // "250-..." continues a reply and "250 ..." ends it (RFC 5321 4.2.1);
        // so does a bare "250", which the RFC allows as well.
        if (line.size() >= 4 && line.at(3) == ' ')
            break;
        if (line.size() == 3 && std::isdigit(uchar(line.at(0))) && std::isdigit(uchar(line.at(1)))
            && std::isdigit(uchar(line.at(2))))
            break;
    }
    m_code = QString::fromLatin1(line.left(3)).trimmed();
    m_text = QString::fromLatin1(line.mid(3, 64)).trimmed();
    if (onReceiveTextFromSocket)
        onReceiveTextFromSocket(line);
    return WaitEnd::Done;
}

bool SmtpClient::awaitReply()
{
    const WaitEnd end = receiveReply();
    if (end == WaitEnd::Done)
        return true;
    failWait(end, 0, "recv", true);
    return false;
}

SmtpClient::Step SmtpClient::judge(const char *expected)
{
    if (m_code == QLatin1String(expected))
        return Step::Ok;
    fail(m_code.toInt());
    return Step::Refused;
}

SmtpClient::Step SmtpClient::readReply(const char *expected)
{
    return awaitReply() ? judge(expected) : Step::Refused;
}

bool SmtpClient::exchange(const QByteArray &text, QByteArrayList *lines)
{
    if (!sendText(text, 0, true))
        return false;
    if (onSendTextToSocket)
        onSendTextToSocket(text);
    const WaitEnd end = receiveReply(lines);
    if (end == WaitEnd::Done)
        return true;
    failWait(end, 0, "recv", true);
    return false;
}

SmtpClient::Step SmtpClient::secretCommand(const QByteArray &text, const QByteArray &shown, const char *expected)
{
    if (!sendText(text, 0, true))
        return Step::Refused;
    if (onSendTextToSocket)
        onSendTextToSocket(shown);
    return readReply(expected);
}

void SmtpClient::refuse(const QString &text)
{
    m_code.clear();
    m_text = text;
    fail(0);
}

bool SmtpClient::greet()
{
    m_keywords.clear();
    m_extended = false;
    const QByteArray name = heloName(QHostInfo::localHostName(), host).toUtf8();
    const QByteArray helo = "HELO " + name + "\r\n";
    if (!useEhlo && security == Security::None && userId.isEmpty())
        return command(helo, "250") == Step::Ok;
    QByteArrayList lines;
    if (!exchange("EHLO " + name + "\r\n", &lines))
        return false;
    if (m_code == QLatin1String("250")) {
        m_extended = true;
        lines.removeFirst(); // the server's name and greeting
        m_keywords = lines;
        return true;
    }
    // A server of the plain dialogue answers EHLO with 500 or 502 (or
    // another 5xx); it is greeted again with HELO. A 4xx is no refusal of
    // EHLO itself (421: the server is closing) and fails the client.
    if (m_code.startsWith(QLatin1Char('5')))
        return command(helo, "250") == Step::Ok;
    fail(m_code.toInt());
    return false;
}

QByteArray SmtpClient::keywordParameters(QByteArrayView keyword) const
{
    for (const QByteArray &line : m_keywords) {
        const qsizetype space = line.indexOf(' ');
        const QByteArrayView word = QByteArrayView(line).first(space < 0 ? line.size() : space);
        if (word.compare(keyword, Qt::CaseInsensitive) == 0)
            return space < 0 ? QByteArray("") : line.mid(space + 1).trimmed();
    }
    return QByteArray();
}

bool SmtpClient::upgrade()
{
    if (!offers("STARTTLS")) {
        refuse(QStringLiteral("The server does not offer STARTTLS; nothing was sent unencrypted."));
        return false;
    }
    if (command("STARTTLS\r\n", "220") != Step::Ok)
        return false;
    if (!startTls()) {
        fail(0);
        return false;
    }
    // What the server said before is forgotten: it may offer more, or less,
    // once encrypted (RFC 3207 4.2).
    return greet();
}

bool SmtpClient::logIn()
{
    if (!isEncrypted() && !allowPlainTextLogin) {
        refuse(QStringLiteral("The login is not sent over an unencrypted connection; choose STARTTLS or TLS, "
                              "or choose no security explicitly."));
        return false;
    }
    // Both go into a command as they stand, base64-encoded; a NUL would cut
    // the PLAIN message short.
    if (userId.contains(QChar(0)) || password.contains(QChar(0))) {
        refuse(QStringLiteral("The user name or password holds a NUL character."));
        return false;
    }
    const QList<QByteArray> mechanisms = keywordParameters("AUTH").toUpper().split(' ');
    const QByteArray user = userId.toUtf8(), secret = password.toUtf8();
    if (mechanisms.contains("PLAIN")) {
        // The initial response carries the whole login (RFC 4616): no
        // authorisation identity, the user, the password.
        const QByteArray response = ('\0' + user + '\0' + secret).toBase64();
        return secretCommand("AUTH PLAIN " + response + "\r\n", "AUTH PLAIN ****\r\n", "235") == Step::Ok;
    }
    if (mechanisms.contains("LOGIN")) {
        return command("AUTH LOGIN\r\n", "334") == Step::Ok
            && secretCommand(user.toBase64() + "\r\n", "****\r\n", "334") == Step::Ok
            && secretCommand(secret.toBase64() + "\r\n", "****\r\n", "235") == Step::Ok;
    }
    refuse(offers("AUTH") ? QStringLiteral("The server offers no login method this program knows (PLAIN, LOGIN): %1")
                                .arg(QString::fromLatin1(keywordParameters("AUTH")))
                          : QStringLiteral("The server does not offer a login (AUTH)."));
    return false;
}

bool SmtpClient::offers(QByteArrayView keyword) const
{
    return !keywordParameters(keyword).isNull();
}

qint64 SmtpClient::sizeLimit() const
{
    const QByteArray parameters = keywordParameters("SIZE");
    bool ok = false;
    const qint64 limit = parameters.split(' ').constFirst().toLongLong(&ok);
    return ok && limit > 0 ? limit : 0;
}

SmtpClient::Step SmtpClient::command(const QByteArray &text, const char *expected)
{
    return exchange(text) ? judge(expected) : Step::Refused;
}

bool SmtpClient::connectToHost()
{
    abandonPending(waitEndText(WaitEnd::Closed, timeout, *m_transport));
    reset();
    if (onConnecting)
        onConnecting();
    if (!open()) {
        fail(0);
        return false;
    }
    if (onConnect)
        onConnect();
    if (readReply("220") != Step::Ok || !greet())
        return false;
    if (security == Security::StartTls && !upgrade())
        return false;
    return userId.isEmpty() || logIn();
}

void SmtpClient::reportProgress(quint16 percent)
{
    m_progress = percent;
    if (onSendProgress)
        onSendProgress(percent);
}

bool SmtpClient::writeOut(bool raise)
{
    if (!sendText(m_out, 0, raise))
        return false;
    if (onSendTextToSocket)
        onSendTextToSocket(m_out);
    // resize(0) keeps the capacity, so the buffer is allocated once.
    m_out.resize(0);
    return true;
}

bool SmtpClient::bufferData(const QList<QByteArray> &lines)
{
    const qsizetype n = lines.size();
    m_nextProgress = sendProgressStep;
    m_out.reserve(m_out.size() + dataChunk + 64 * 1024);
    auto progress = [this](qsizetype written, qsizetype total) {
        const quint16 percent = total ? quint16((written * 100 + total / 2) / total) : 100;
        if (percent >= m_nextProgress) {
            reportProgress(percent);
            while (m_nextProgress <= percent && sendProgressStep > 0)
                m_nextProgress += sendProgressStep;
        }
    };
    for (qsizetype i = 0; i < n; ++i) {
        appendDataLine(m_out, lines.at(i));
        // A message line that cannot be written ends the transaction without
        // raising.
        if (m_out.size() >= dataChunk) {
            if (!writeOut(false))
                return false;
            progress(i + 1, n);
        }
    }
    // The last line already ends in CR LF, so "." + CR LF alone ends the text;
    // a further CR LF in front would add an empty line to the message.
    m_out.append(".\r\n", 3);
    return true;
}

bool SmtpClient::sendData(const QList<QByteArray> &lines)
{
    m_out.resize(0);
    if (!bufferData(lines) || !writeOut(false))
        return false;
    reportProgress(100);
    return readReply("250") == Step::Ok;
}

void SmtpClient::endTransaction()
{
    const QByteArray rset = "RSET\r\n";
    const bool sent = m_transport->send(rset, waitLimit()) == WaitEnd::Done;
    if (sent && onSendTextToSocket)
        onSendTextToSocket(rset);
    if (!sent || receiveReply() != WaitEnd::Done || m_code != QLatin1String("250"))
        close();
}

void SmtpClient::refuseAll(const QList<QByteArray> &recipients)
{
    for (const QByteArray &address : recipients) {
        const bool listed = std::any_of(m_refused.cbegin(), m_refused.cend(),
                                        [&](const RefusedRecipient &r) { return r.address == address; });
        if (!listed)
            m_refused.append({address, m_code, m_text});
    }
}

SmtpClient::Delivery SmtpClient::transaction(const QByteArray &sender, const QList<QByteArray> &recipients,
                                             const QList<QByteArray> &lines)
{
    if (command(mailFrom(sender), "250") != Step::Ok) {
        m_refusedCommand = SmtpCommand::MailFrom;
        return Delivery::Failed;
    }
    // Each address stands alone: a refused one is noted and the others still
    // get the message. 251 forwards, which is a success too (RFC 5321 4.2.2).
    qsizetype accepted = 0;
    for (const QByteArray &to : recipients) {
        if (!exchange("RCPT TO:<" + to + ">\r\n"))
            return Delivery::Failed;
        if (m_code == QLatin1String("250") || m_code == QLatin1String("251"))
            ++accepted;
        else
            m_refused.append({to, m_code, m_text});
    }
    if (accepted == 0) {
        m_refusedCommand = SmtpCommand::RcptTo;
        endTransaction();
        return Delivery::NoRecipient;
    }
    m_refusedCommand = SmtpCommand::Data;
    if (command("DATA\r\n", "354") != Step::Ok)
        return Delivery::Failed;
    if (!sendData(lines))
        return Delivery::Failed;
    // The server has taken the message; nothing after this counts against it.
    const QString code = m_code, text = m_text;
    endTransaction();
    m_code = code;
    m_text = text;
    reportProgress(100);
    return Delivery::Delivered;
}

bool SmtpClient::readPendingReply()
{
    if (!m_pending)
        return true;
    m_pending = false;
    const WaitEnd end = receiveReply();
    if (end != WaitEnd::Done) {
        // Nobody knows whether the server took it: the text may have
        // arrived whole, and the reply been lost with the connection.
        m_settled = Settled{false, false, QString(), waitEndText(end, timeout, *m_transport)};
        failWait(end, 0, "recv", true);
        return false;
    }
    m_settled = Settled{true, m_code == QLatin1String("250"), m_code, m_text};
    return true;
}

void SmtpClient::abandonPending(const QString &why)
{
    if (!m_pending)
        return;
    m_pending = false;
    m_out.resize(0);
    m_settled = Settled{false, false, QString(), why};
}

QByteArray SmtpClient::mailFrom(const QByteArray &sender) const
{
    QByteArray line = "MAIL FROM:<" + sender + '>';
    // The size goes with MAIL when the server takes it (RFC 1870 6).
    if (offers("SIZE"))
        line += " SIZE=" + QByteArray::number(m_size);
    return line + "\r\n";
}

SmtpClient::Delivery SmtpClient::pipelinedTransaction(const QByteArray &sender, const QList<QByteArray> &recipients,
                                                      const QList<QByteArray> &lines, bool deferEnd)
{
    // One write: the end of the message still pending (if any), then MAIL,
    // every RCPT and DATA (RFC 2920 3.1: DATA ends a group).
    m_out.append(mailFrom(sender));
    for (const QByteArray &to : recipients)
        m_out.append("RCPT TO:<").append(to).append(">\r\n");
    m_out.append("DATA\r\n");
    if (!writeOut(true))
        return Delivery::Failed; // the pending message, if any, went unanswered (report())
    // The replies come in the order of the commands; every one of them is
    // read, whatever an earlier one said.
    if (!readPendingReply())
        return Delivery::Failed;
    if (!awaitReply())
        return Delivery::Failed;
    const QString mailCode = m_code, mailText = m_text;
    const bool mailTaken = mailCode == QLatin1String("250");
    qsizetype accepted = 0;
    for (const QByteArray &to : recipients) {
        if (!awaitReply())
            return Delivery::Failed;
        if (!mailTaken)
            continue;
        if (m_code == QLatin1String("250") || m_code == QLatin1String("251"))
            ++accepted;
        else
            m_refused.append({to, m_code, m_text});
    }
    if (!awaitReply())
        return Delivery::Failed;
    const bool dataTaken = m_code == QLatin1String("354");
    if (!mailTaken) {
        // As without pipelining, a refused MAIL fails the client.
        m_refusedCommand = SmtpCommand::MailFrom;
        m_code = mailCode;
        m_text = mailText;
        fail(m_code.toInt());
        return Delivery::Failed;
    }
    if (accepted == 0) {
        m_refusedCommand = SmtpCommand::RcptTo;
        // RFC 2920 3.1: a server may take DATA although it took no
        // recipient; a lone "." then ends an empty text, which reaches nobody.
        if (dataTaken) {
            m_out.append(".\r\n", 3);
            if (!writeOut(true) || !awaitReply())
                return Delivery::Failed;
        }
        endTransaction();
        return Delivery::NoRecipient;
    }
    m_refusedCommand = SmtpCommand::Data;
    if (!dataTaken) {
        fail(m_code.toInt());
        return Delivery::Failed;
    }
    if (!bufferData(lines))
        return Delivery::Failed;
    reportProgress(100);
    if (deferEnd) {
        // The end of the text goes out with the next commands, and its reply
        // is read with theirs.
        m_pending = true;
        return Delivery::Delivered;
    }
    if (!writeOut(false) || readReply("250") != Step::Ok)
        return Delivery::Failed;
    return Delivery::Delivered;
}

void SmtpClient::settle()
{
    if (!m_pending)
        return;
    if (writeOut(true))
        (void)readPendingReply();
}

std::optional<SmtpClient::Settled> SmtpClient::takeSettled()
{
    return std::exchange(m_settled, std::nullopt);
}

bool SmtpClient::pipelines() const
{
    return pipelining && offers("PIPELINING");
}

bool SmtpClient::sendMessage(MailMessage &msg)
{
    // The caller asked isConnected() before this message, to open a new
    // connection when the server had closed the idle one; asking the socket
    // again here would only cost a system call.
    if (!isOpenAsKnown())
        throw MailError(QStringLiteral("Not connected."));
    if (msg.from.isEmpty())
        throw MailError(QStringLiteral("\"From\" field not specified."));
    if (msg.sendTo.isEmpty())
        throw MailError(QStringLiteral("\"SendTo\" field not specified."));
    const QByteArray sender = senderAddress(msg.from);
    const QList<QByteArray> lists[] = {recipientAddresses(msg.sendTo), recipientAddresses(msg.cc),
                                       recipientAddresses(msg.bcc)};
    // A To list of nothing but commas would send nothing and report success.
    if (lists[0].isEmpty())
        throw MailError(QStringLiteral("\"SendTo\" field not specified."));
    checkAddress(sender);
    for (const auto &list : lists) {
        for (const QByteArray &address : list)
            checkAddress(address);
    }

    if (msg.wireLines.isEmpty()) {
        msg.date = currentMailDate();
        QString error;
        if (!msg.compose(&error))
            throw MailError(error);
    }
    const bool pipelined = pipelines();
    if (!pipelined)
        settle();
    if (onBeforeSend)
        onBeforeSend();
    m_progress = 0;
    m_refused.clear();
    m_refusedCommand = SmtpCommand::None;
    m_failed = false;
    m_size = 0;
    for (const QByteArray &line : std::as_const(msg.wireLines))
        m_size += line.size() + 2;
    if (const qint64 limit = sizeLimit(); limit > 0 && m_size > limit) {
        // Sending it would only have the server refuse it at its end, after
        // all of it went out; the connection stays open for the next one.
        m_refusedCommand = SmtpCommand::Data;
        m_code = QStringLiteral("552");
        m_text = QStringLiteral("The message of %1 bytes is larger than the server takes (%2 bytes); it was not sent.")
                     .arg(m_size)
                     .arg(limit);
        for (const auto &list : lists)
            refuseAll(list);
        m_failed = true;
        return false;
    }
    bool delivered = false;
    QString acceptedCode, acceptedText;
    // A message of one transaction (the newsletter's: one address) leaves its
    // end-of-data reply to be read with the next message's commands; one of
    // several waits for each, so that it knows who got it before it returns.
    const bool deferEnd = pipelined && std::count_if(std::begin(lists), std::end(lists), [](const auto &list) {
                                           return !list.isEmpty();
                                       }) == 1;
    for (const auto &list : lists) {
        if (list.isEmpty())
            continue;
        // After a failed transaction the connection is closed: the lists
        // after it cannot be sent, and their addresses did not get it.
        Delivery d = Delivery::Failed;
        if (isOpenAsKnown()) {
            try {
                d = pipelined ? pipelinedTransaction(sender, list, msg.wireLines, deferEnd)
                              : transaction(sender, list, msg.wireLines);
            } catch (const MailError &) {
                if (!delivered)
                    throw;
            }
        }
        if (d == Delivery::Delivered) {
            delivered = true;
            acceptedCode = m_code;
            acceptedText = m_text;
        } else if (d == Delivery::Failed) {
            refuseAll(list);
        }
    }
    if (!delivered) {
        // Nobody got it: the message is refused, with the reply that stopped it.
        if (!m_failed) {
            if (!m_refused.isEmpty()) {
                m_code = m_refused.constLast().code;
                m_text = m_refused.constLast().text;
            }
            fail(m_code.toInt());
        }
        return false;
    }
    // A failure after some recipients got the message is theirs alone (see
    // refusedRecipients()); the message was accepted.
    m_failed = false;
    m_code = acceptedCode;
    m_text = acceptedText;
    if (m_progress < 100)
        reportProgress(100);
    if (onAfterSend)
        onAfterSend();
    return true;
}

void SmtpClient::quit()
{
    if (!isConnected()) {
        abandonPending(waitEndText(WaitEnd::Closed, timeout, *m_transport));
        close();
        return;
    }
    if (m_pending) {
        // The end of the last message and QUIT in one write.
        m_out.append("QUIT\r\n");
        if (!writeOut(true) || !readPendingReply() || readReply("221") != Step::Ok)
            return; // failed: already closed
    } else if (command("QUIT\r\n", "221") != Step::Ok) {
        return; // failed: already closed
    }
    close();
    if (onQuit)
        onQuit();
}

QString heloName(const QString &local, const QString &host)
{
    const QString name = local.isEmpty() ? QStringLiteral("localhost") : local;
    if (isDottedQuad(name))
        return QLatin1Char('[') + name + QLatin1Char(']');
    if (!name.contains(QLatin1Char('.')) && !isDottedQuad(host) && !host.isEmpty())
        return name + QLatin1Char('.') + host;
    return name;
}

QByteArray senderAddress(const QString &from)
{
    return reducedAddress(from).toUtf8();
}

QList<QByteArray> recipientAddresses(const QString &list)
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
