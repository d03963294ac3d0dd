#include "mail/pop3client.h"

#include <algorithm>

namespace kirvane::mail {

namespace {

// A status line is short (RFC 1939 allows 512 octets); a message line may be
// long, but not without bound.
constexpr qsizetype maxStatusLine = 64 * 1024;
constexpr qsizetype maxMessageLine = 128 * 1024 * 1024;

quint16 clampCount(qint64 n)
{
    return quint16(std::clamp<qint64>(n, 0, 65535));
}

// True when line starts with the status indicator, alone or before a blank.
bool isStatus(const QByteArray &line, const char *indicator)
{
    if (!line.startsWith(indicator))
        return false;
    const qsizetype n = qstrlen(indicator);
    return line.size() == n || line.at(n) == ' ' || line.at(n) == '\t';
}

QString tooLargeText(int n, qint64 bound)
{
    return QStringLiteral("Message %1 is larger than %2 bytes; it was skipped.").arg(n).arg(bound);
}

bool holdsLineBreak(const QString &text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

} // namespace

Pop3Client::Pop3Client() : Pop3Client(std::make_unique<TcpTransport>()) {}

Pop3Client::Pop3Client(std::unique_ptr<Transport> transport) : ProtocolClient(std::move(transport), 110) {}

void Pop3Client::report(bool wasOpen)
{
    m_deleted.clear();
    if (wasOpen && onDisconnect)
        onDisconnect();
}

bool Pop3Client::refuseMessage(int code)
{
    m_failed = true;
    m_failureCode = code;
    return false;
}

Pop3Client::Status Pop3Client::readStatus(int failCode)
{
    QByteArray line;
    if (!receiveLine(line, waitLimit(), maxStatusLine, failCode))
        return Status::Lost;
    // Only "+OK" is success (RFC 1939 3); anything else, "-ERR" or a line of
    // another protocol, is a failure, with the line as its text.
    const bool ok = isStatus(line, "+OK");
    if (ok || isStatus(line, "-ERR")) {
        m_code = QString::fromLatin1(line.left(ok ? 3 : 4));
        m_text = QString::fromLatin1(line.mid(ok ? 3 : 4)).trimmed();
    } else {
        m_code.clear();
        m_text = QString::fromLatin1(line).trimmed();
    }
    m_failed = !ok;
    if (onReceiveTextFromSocket)
        onReceiveTextFromSocket(line);
    return m_failed ? Status::Err : Status::Ok;
}

Pop3Client::Status Pop3Client::command(const QByteArray &text, int failCode)
{
    if (!sendText(text, failCode, true))
        return Status::Lost;
    if (onSendTextToSocket)
        onSendTextToSocket(text.startsWith("PASS ") ? QByteArray("PASS ****\r\n") : text);
    return readStatus(failCode);
}

bool Pop3Client::connectToHost()
{
    reset();
    m_deleted.clear();
    m_messageCount = 0;
    m_newMessageCount = 0;
    if (!open()) {
        fail(ConnectionFailed);
        return false;
    }
    if (onConnect)
        onConnect();
    const Status greeting = readStatus(ConnectionFailed);
    if (greeting != Status::Ok) {
        if (greeting == Status::Err)
            fail(ConnectionFailed);
        return false;
    }
    // STLS (RFC 2595 4): a server that refuses it is left before the login
    // goes out unencrypted.
    if (security != Security::StartTls)
        return true;
    const Status status = command("STLS\r\n", ConnectionFailed);
    if (status == Status::Err || (status == Status::Ok && !startTls()))
        fail(ConnectionFailed);
    return status == Status::Ok && !m_failed;
}

bool Pop3Client::login()
{
    if (!isConnected())
        throw MailError(QStringLiteral("Invalid Op. Not connected."));
    // Either goes into a command line as it stands; a line break would start
    // a command of its own.
    if (holdsLineBreak(userId) || holdsLineBreak(password)) {
        m_code.clear();
        m_text = QStringLiteral("The user name or password holds a line break.");
        fail(LoginRefused);
        return false;
    }
    Status s = command("USER " + userId.toUtf8() + "\r\n", LoginRefused);
    if (s == Status::Ok)
        s = command("PASS " + password.toUtf8() + "\r\n", LoginRefused);
    if (s == Status::Err)
        fail(LoginRefused);
    return s == Status::Ok;
}

bool Pop3Client::fetchMessageCount()
{
    if (!isConnected()) {
        // Nothing can be counted on a closed connection (after a refused
        // login, say); that is no success.
        m_failed = true;
        m_failureCode = CountRefused;
        return false;
    }
    const Status stat = command("STAT\r\n", CountRefused);
    if (stat == Status::Err)
        fail(CountRefused);
    if (stat != Status::Ok)
        return false;
    m_messageCount = clampCount(statusToken(m_text, 1, 0));
    const Status last = command("LAST\r\n", CountRefused);
    m_lastSupported = last == Status::Ok;
    if (last == Status::Ok)
        m_newMessageCount = clampCount(m_messageCount - statusToken(m_text, 1, 0));
    return last != Status::Lost;
}

bool Pop3Client::retrieve(int n, MailMessage &msg)
{
    if (!isConnected())
        throw MailError(QStringLiteral("Not connected."));
    if (onBeforeRetrieve)
        onBeforeRetrieve(quint16(n));
    const QByteArray number = QByteArray::number(n);

    // The size drives the progress and spares fetching a message announced
    // beyond the bound; a refused LIST leaves a guess.
    const Status list = command("LIST " + number + "\r\n", RetrieveRefused);
    if (list == Status::Lost)
        return false;
    const qint64 size = list == Status::Ok ? statusToken(m_text, 2, 100) : 100;
    if (size > maxMessageSize)
        throw MailError(tooLargeText(n, maxMessageSize));

    const Status retr = command("RETR " + number + "\r\n", RetrieveRefused);
    if (retr == Status::Err)
        return refuseMessage(RetrieveRefused);
    if (retr != Status::Ok)
        return false;

    const qint64 start = m_reader.bytesRead();
    const qint64 total = qMax<qint64>(size, 1);
    quint16 next = retrieveProgressStep;
    m_progress = 0;
    QList<QByteArray> lines;
    QByteArray line;
    // Past the bound the lines are read to the end of the message, to keep
    // the dialogue in step, but no longer kept.
    bool tooLarge = false;
    qint64 held = 0;
    const qsizetype maxLine = qsizetype(qBound<qint64>(1024, maxMessageSize, maxMessageLine));
    for (;;) {
        // The limit is on silence, not on the whole message, which may be
        // large: it starts again with every line.
        if (!receiveLine(line, waitLimit(), maxLine, RetrieveRefused))
            return false;
        if (line.size() == 1 && line.at(0) == '.')
            break;
        // Byte-stuffing (RFC 1939 3): a line that starts with "." had one added.
        if (!line.isEmpty() && line.at(0) == '.')
            line.remove(0, 1);
        held += line.size() + 2;
        if (!tooLarge && held > maxMessageSize) {
            tooLarge = true;
            lines = QList<QByteArray>();
        }
        if (!tooLarge)
            lines.append(line);

        const qint64 got = m_reader.bytesRead();
        const quint16 percent = quint16(qMin<qint64>(((got - start) * 100 + total / 2) / total, 65535));
        if (percent >= next) {
            m_progress = percent;
            if (onRetrieveProgress)
                onRetrieveProgress(percent);
            next += retrieveProgressStep > 0 ? retrieveProgressStep : 1;
        }
    }
    if (m_progress < 100) {
        m_progress = 100;
        if (onRetrieveProgress)
            onRetrieveProgress(100);
    }

    if (tooLarge)
        throw MailError(tooLargeText(n, maxMessageSize));
    QString error;
    if (!msg.parse(lines, &error))
        throw MailError(QStringLiteral("Message %1 cannot be read: %2").arg(n).arg(error));
    msg.size = size;
    if (fetchUidlOnRetrieve) {
        const Status uidl = command("UIDL " + number + "\r\n", CountRefused);
        if (uidl == Status::Err)
            fail(CountRefused);
        if (uidl != Status::Ok)
            return false;
        const qsizetype space = m_text.indexOf(QLatin1Char(' '));
        msg.uidl = space < 0 ? QString() : m_text.mid(space + 1);
    }
    if (onAfterRetrieve)
        onAfterRetrieve();
    return true;
}

bool Pop3Client::deleteMessage(int n)
{
    if (!isConnected())
        throw MailError(QStringLiteral("Not connected."));
    const Status s = command("DELE " + QByteArray::number(n) + "\r\n", DeleteRefused);
    if (s == Status::Err)
        return refuseMessage(DeleteRefused);
    if (s != Status::Ok)
        return false;
    m_deleted.append(QString::number(n));
    m_messageCount = m_messageCount > 0 ? m_messageCount - 1 : 0;
    if (onDelete)
        onDelete(quint16(n));
    return true;
}

bool Pop3Client::quit()
{
    if (!isConnected()) {
        close();
        return false;
    }
    // The answer to QUIT says whether the deletions were made (RFC 1939 6),
    // so it is read, within the usual limit.
    const Status status = command("QUIT\r\n", ConnectionFailed);
    if (status == Status::Lost)
        return false;
    m_deleted.clear();
    close();
    if (onDisconnect)
        onDisconnect();
    return status == Status::Ok;
}

qint64 statusToken(const QString &text, int k, qint64 fallback)
{
    const QStringList words = QString(text).replace(QLatin1String("\r\n"), QLatin1String(" "))
                                  .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (k < 1 || k > words.size())
        return fallback;
    QString word = words.at(k - 1);
    word.remove(QLatin1Char('(')).remove(QLatin1Char(')')).remove(QLatin1Char('{')).remove(QLatin1Char('}'));
    bool ok = false;
    const qint64 value = word.toLongLong(&ok);
    return ok ? value : fallback;
}

} // namespace kirvane::mail
