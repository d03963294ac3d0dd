#pragma once
// What the synchronisation tests share: a data folder with config.ini naming a
// Dovecot mailbox and an aiosmtpd redirection server on loopback, messages to
// put in the mailbox, and readers for what the job left behind.

#include "mail/protocols/peers.h"
#include "support/datafolder.h"

#include "common/folders.h"
#include "common/inifile.h"
#include "store/addressbookstore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

// A request or an ordinary message as a web form or a person mails it.
inline QByteArray mailMessage(const QByteArray &subject, const QByteArray &body = QByteArray(),
                              const QByteArray &from = "form@example.org", const QByteArray &extraHeaders = QByteArray())
{
    return "From: " + from + "\r\nTo: alice@example.org\r\n" + extraHeaders + "Subject: " + subject
           + "\r\nDate: Thu, 10 Dec 2026 10:00:00 +0000\r\n\r\n" + body;
}

inline QByteArray fixtureFile(const char *name)
{
    QFile f(QString::fromLocal8Bit(qgetenv("KIRVANE_SOURCE_DIR")) + QStringLiteral("/tests/subscriptions/data/")
            + QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class SyncFixture {
public:
    // The fixture's data folder, made the program's, and the store on it.
    QString home() const { return m_data.path(); }
    kirvane::store::AddressBookStore &store() { return m_data.store(); }

    bool startServers()
    {
        return pop.start() && smtp.start(smtpDir.filePath(QStringLiteral("maildir")));
    }

    // config.ini naming the servers; popPort/smtpPort 0: those of the servers.
    bool writeConfig(const QString &password = QStringLiteral("secret"), quint16 popPort = 0, quint16 smtpPort = 0)
    {
        kirvane::common::IniFile ini;
        const QString s = QStringLiteral("Newsletter");
        ini.setValue(s, QStringLiteral("redirection"), QStringLiteral("me@example.org"));
        ini.setValue(s, QStringLiteral("ServeurPop"), QStringLiteral("127.0.0.1"));
        ini.setValue(s, QStringLiteral("ServeurSmtp"), QStringLiteral("127.0.0.1"));
        ini.setValue(s, QStringLiteral("login"), QStringLiteral("alice"));
        ini.setValue(s, QStringLiteral("password"), password);
        // The test servers listen on ports of their own, which only the proxy
        // settings can name.
        ini.setValue(s, QStringLiteral("utiliserProxy"), QStringLiteral("true"));
        ini.setValue(s, QStringLiteral("ProxyPop"), QStringLiteral("127.0.0.1"));
        ini.setValue(s, QStringLiteral("ProxySmtp"), QStringLiteral("127.0.0.1"));
        ini.setValue(s, QStringLiteral("PortPop"), QString::number(popPort ? popPort : pop.port));
        ini.setValue(s, QStringLiteral("PortSmtp"), QString::number(smtpPort ? smtpPort : smtp.port));
        return ini.save(QDir(m_data.path()).filePath(QStringLiteral("config.ini")));
    }

    // Messages still in the mailbox, seen by a client or not.
    int remaining() const
    {
        int n = 0;
        for (const char *sub : {"/new", "/cur"})
            n += int(QDir(pop.maildir() + QLatin1String(sub)).entryList(QDir::Files).size());
        return n;
    }
    // The messages the redirection server took, oldest first.
    QList<QByteArray> forwarded() const
    {
        QList<QByteArray> out;
        QDir dir(smtpDir.filePath(QStringLiteral("maildir/new")));
        for (const QFileInfo &f : dir.entryInfoList(QDir::Files, QDir::Time | QDir::Reversed)) {
            QFile file(f.filePath());
            if (file.open(QIODevice::ReadOnly))
                out << file.readAll();
        }
        return out;
    }
    QByteArray log() const
    {
        QFile f(QDir(m_data.path()).filePath(QStringLiteral("log.txt")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // The settings go through the proxy (the only way to name the test
    // servers' ports), so the mailbox is that of "login#ServeurPop".
    Dovecot pop{QStringLiteral("alice#127.0.0.1")};
    Aiosmtpd smtp;
    QTemporaryDir smtpDir;

private:
    kirvane::test::TestDataFolder m_data;
};

