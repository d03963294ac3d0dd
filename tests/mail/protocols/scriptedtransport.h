#pragma once
// A transport that plays a server from a script: each receive() hands over the
// next scripted piece exactly as written (so replies can be split anywhere),
// and everything the client sends is recorded for comparison. When the pieces
// run out the server either stays silent (the wait times out) or closes.

#include "mail/transport.h"

#include <QByteArrayList>

#include <memory>

struct Script {
    QByteArrayList pieces;        // what the server sends, one piece per read
    bool closeWhenDone = false;   // after the last piece: close (else silence)
    qsizetype closeAfterSent = -1; // the server drops once this many bytes came in
    bool refuseOpen = false;
    bool refuseTls = false;        // the handshake fails

    // startTls() writes "[TLS]" into sent, where the handshake would be.
    bool encrypted = false;
    QString caFile;                // given to the last startTls()

    QByteArray sent;              // everything the client wrote
    QString host;                 // where the client last connected
    quint16 port = 0;
    int opens = 0;
    bool open = false;
};

class ScriptedTransport final : public kirvane::mail::Transport {
public:
    explicit ScriptedTransport(std::shared_ptr<Script> script) : m_script(std::move(script)) {}

    bool open(const QString &host, quint16 port, QDeadlineTimer) override
    {
        m_script->host = host;
        m_script->port = port;
        ++m_script->opens;
        m_script->open = !m_script->refuseOpen;
        m_script->encrypted = false;
        return m_script->open;
    }
    bool startTls(const QString &, const QString &caFile, QDeadlineTimer) override
    {
        m_script->sent += "[TLS]";
        m_script->caFile = caFile;
        m_script->encrypted = m_script->open && !m_script->refuseTls;
        return m_script->encrypted;
    }
    bool isEncrypted() const override { return m_script->open && m_script->encrypted; }
    bool isOpen() override { return m_script->open; }
    kirvane::mail::WaitEnd send(const QByteArray &data, QDeadlineTimer) override
    {
        using kirvane::mail::WaitEnd;
        if (!m_script->open)
            return WaitEnd::Closed;
        if (m_script->closeAfterSent >= 0 && m_script->sent.size() + data.size() > m_script->closeAfterSent) {
            m_script->sent += data.left(m_script->closeAfterSent - m_script->sent.size());
            m_script->open = false;
            return WaitEnd::Closed;
        }
        m_script->sent += data;
        return WaitEnd::Done;
    }
    kirvane::mail::WaitEnd receive(QByteArray &buffer, QDeadlineTimer) override
    {
        using kirvane::mail::WaitEnd;
        if (!m_script->open)
            return WaitEnd::Closed;
        if (m_script->pieces.isEmpty()) {
            if (m_script->closeWhenDone) {
                m_script->open = false;
                return WaitEnd::Closed;
            }
            return WaitEnd::TimedOut;
        }
        buffer += m_script->pieces.takeFirst();
        return WaitEnd::Done;
    }
    void close() override { m_script->open = false; }
    QString errorText() const override { return QStringLiteral("scripted"); }
    int errorNumber() const override { return 0; }

private:
    std::shared_ptr<Script> m_script;
};
