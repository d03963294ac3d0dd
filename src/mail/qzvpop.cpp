#include "mail/qzvpop.h"

#include <algorithm>

namespace kirvane::mail {

namespace {

// A status line is short (RFC 1939 allows 512 octets); a message line may be
// long, but not without bound.
constexpr qsizetype maxStatusLine = 64 * 1024;
constexpr qsizetype maxMessageLine = 128 * 1024 * 1024;
// Bytes between two chances for the window to run its events.
constexpr qint64 yieldEvery = 64 * 1024;

quint16 clampCount(qint64 n)
{
    return quint16(std::clamp<qint64>(n, 0, 65535));
}

bool holdsLineBreak(const QString &text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

} // namespace

TQzvPOP::TQzvPOP() : TQzvPOP(std::make_unique<TcpTransport>()) {}

TQzvPOP::TQzvPOP(std::unique_ptr<Transport> transport)
    : m_transport(std::move(transport)), m_reader(*m_transport)
{
    // The transport's waits yield to whatever ProcessEvents is at the time.
    m_transport->processEvents = [this] { yield(); };
}

TQzvPOP::~TQzvPOP()
{
    m_transport->close();
}

bool TQzvPOP::Connected()
{
    return m_transport->isOpen();
}

void TQzvPOP::yield()
{
    if (ProcessEvents)
        ProcessEvents();
}

void TQzvPOP::fail(int code)
{
    m_failed = true;
    // Closing without QUIT: the server forgets the deletions of this session.
    m_deleted.clear();
    const bool wasOpen = m_transport->isOpen();
    m_transport->close();
    m_reader.clear();
    if (OnError)
        OnError(code, m_statusText);
    if (wasOpen && OnDisconnect)
        OnDisconnect();
}

void TQzvPOP::failWait(WaitEnd end, int code, const char *call)
{
    m_statusCode.clear();
    m_statusText = waitEndText(end, TimeOut, *m_transport);
    const QString socketError = socketErrorText(*m_transport, call);
    fail(code);
    if (end == WaitEnd::Error)
        throw MailError(socketError);
}

TQzvPOP::Status TQzvPOP::readStatus(int failCode)
{
    yield();
    QByteArray line;
    const WaitEnd end = m_reader.readLine(line, waitLimit(), maxStatusLine);
    if (end != WaitEnd::Done) {
        failWait(end, failCode, "recv");
        return Status::Lost;
    }
    m_statusCode = QString::fromLatin1(line.left(4)).trimmed();
    m_statusText = QString::fromLatin1(line.mid(4)).trimmed();
    m_failed = m_statusCode == QLatin1String("-ERR");
    if (OnReceiveTextFromSocket)
        OnReceiveTextFromSocket(line);
    return m_failed ? Status::Err : Status::Ok;
}

TQzvPOP::Status TQzvPOP::command(const QByteArray &text, int failCode)
{
    yield();
    const WaitEnd end = m_transport->send(text, waitLimit());
    if (end != WaitEnd::Done) {
        failWait(end, failCode, "send");
        return Status::Lost;
    }
    if (OnSendTextToSocket)
        OnSendTextToSocket(text.startsWith("PASS ") ? QByteArray("PASS ****\r\n") : text);
    return readStatus(failCode);
}

void TQzvPOP::Connect()
{
    m_transport->close();
    m_reader.clear();
    m_deleted.clear();
    m_messageCount = 0;
    m_newMessageCount = 0;
    m_failed = false;
    m_statusCode.clear();
    m_statusText.clear();
    if (!m_transport->open(Host, portFromText(Port, 110), waitLimit())) {
        m_statusText = m_transport->errorText();
        fail(ConnectionFailed);
        return;
    }
    if (OnConnect)
        OnConnect();
    if (readStatus(ConnectionFailed) == Status::Err)
        fail(ConnectionFailed);
}

bool TQzvPOP::Login()
{
    if (!Connected())
        throw MailError(QStringLiteral("Invalid Op. Not connected."));
    // Either goes into a command line as it stands; a line break would start
    // a command of its own.
    if (holdsLineBreak(UserId) || holdsLineBreak(UserPasswd)) {
        m_statusCode.clear();
        m_statusText = QStringLiteral("The user name or password holds a line break.");
        fail(LoginRefused);
        return false;
    }
    Status s = command("USER " + UserId.toUtf8() + "\r\n", LoginRefused);
    if (s == Status::Ok)
        s = command("PASS " + UserPasswd.toUtf8() + "\r\n", LoginRefused);
    if (s == Status::Err)
        fail(LoginRefused);
    return s == Status::Ok;
}

void TQzvPOP::GetMessageCount()
{
    if (!Connected()) {
        // Nothing can be counted on a closed connection (after a refused
        // login, say); that is no success.
        m_failed = true;
        return;
    }
    const Status stat = command("STAT\r\n", CountRefused);
    if (stat == Status::Err)
        fail(CountRefused);
    if (stat != Status::Ok)
        return;
    m_messageCount = clampCount(StatusToken(m_statusText, 1, 0));
    const Status last = command("LAST\r\n", CountRefused);
    m_lastSupported = last == Status::Ok;
    if (last == Status::Ok)
        m_newMessageCount = clampCount(m_messageCount - StatusToken(m_statusText, 1, 0));
}

bool TQzvPOP::Retrieve(int n, TQzvMsg &msg)
{
    if (!Connected())
        throw MailError(QStringLiteral("Not connected."));
    if (OnBeforeRetrieve)
        OnBeforeRetrieve(quint16(n));
    const QByteArray number = QByteArray::number(n);

    // The size only drives the progress; a refused LIST leaves a guess.
    const Status list = command("LIST " + number + "\r\n", RetrieveRefused);
    if (list == Status::Lost)
        return false;
    const qint64 size = list == Status::Ok ? StatusToken(m_statusText, 2, 100) : 100;

    const Status retr = command("RETR " + number + "\r\n", RetrieveRefused);
    if (retr == Status::Err)
        fail(RetrieveRefused);
    if (retr != Status::Ok)
        return false;

    const qint64 start = m_reader.bytesRead();
    const qint64 total = qMax<qint64>(size, 1);
    quint16 next = RetrieveProgressStep;
    qint64 nextYield = start + yieldEvery;
    m_progress = 0;
    QList<QByteArray> lines;
    QByteArray line;
    for (;;) {
        // The limit is on silence, not on the whole message, which may be
        // large: it starts again with every line.
        const WaitEnd end = m_reader.readLine(line, waitLimit(), maxMessageLine);
        if (end != WaitEnd::Done) {
            failWait(end, RetrieveRefused, "recv");
            return false;
        }
        if (line.size() == 1 && line.at(0) == '.')
            break;
        // Byte-stuffing (RFC 1939 3): a line that starts with "." had one added.
        if (!line.isEmpty() && line.at(0) == '.')
            line.remove(0, 1);
        lines.append(line);

        const qint64 got = m_reader.bytesRead();
        if (got >= nextYield) {
            yield();
            nextYield = got + yieldEvery;
        }
        const quint16 percent = quint16(qMin<qint64>(((got - start) * 100 + total / 2) / total, 65535));
        if (percent >= next) {
            m_progress = percent;
            if (OnRetrieveProgress)
                OnRetrieveProgress(percent);
            next += RetrieveProgressStep > 0 ? RetrieveProgressStep : 1;
        }
    }
    if (m_progress < 100) {
        m_progress = 100;
        if (OnRetrieveProgress)
            OnRetrieveProgress(100);
    }

    QString error;
    if (!msg.ParseRawMail(lines, &error))
        throw MailError(error);
    msg.Size = size;
    if (GetUIDLsOnRetrieve) {
        const Status uidl = command("UIDL " + number + "\r\n", CountRefused);
        if (uidl == Status::Err)
            fail(CountRefused);
        if (uidl != Status::Ok)
            return false;
        const qsizetype space = m_statusText.indexOf(QLatin1Char(' '));
        msg.UIDL = space < 0 ? QString() : m_statusText.mid(space + 1);
    }
    if (OnAfterRetrieve)
        OnAfterRetrieve();
    return true;
}

void TQzvPOP::Delete(int n)
{
    if (!Connected())
        throw MailError(QStringLiteral("Not connected."));
    const Status s = command("DELE " + QByteArray::number(n) + "\r\n", DeleteRefused);
    if (s == Status::Err)
        fail(DeleteRefused);
    if (s != Status::Ok)
        return;
    m_deleted.append(QString::number(n));
    m_messageCount = m_messageCount > 0 ? m_messageCount - 1 : 0;
    if (OnDelete)
        OnDelete(quint16(n));
}

void TQzvPOP::Quit()
{
    if (!Connected()) {
        m_transport->close();
        return;
    }
    // The answer to QUIT says whether the deletions were made (RFC 1939 6),
    // so it is read, within the usual limit.
    if (command("QUIT\r\n", ConnectionFailed) == Status::Lost)
        return;
    m_deleted.clear();
    m_transport->close();
    m_reader.clear();
    if (OnDisconnect)
        OnDisconnect();
    yield();
}

qint64 StatusToken(const QString &text, int k, qint64 fallback)
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
