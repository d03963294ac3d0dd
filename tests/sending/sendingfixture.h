#pragma once
// A data folder with books, settings pointing at an SMTP peer started by the
// test, and what the peer received, for the sending-run tests.

#include "mail/protocols/peers.h"
#include "support/datafolder.h"
#include "contacts/bookmanager.h"
#include "sending/sendingrun.h"
#include "settings/settings.h"
#include "store/contactrecord.h"
#include "common/folders.h"
#include "store/addressbookstore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// One received message.
struct Received {
    QString to;
    QString subject;
    QString body;
    QStringList attachments;
};

// The test's SMTP peer: aiosmtpd with the handler of smtp_peer.py.
class SmtpPeer : public Peer {
public:
    // options: "refuse=a@x,b@x", "drop=N", "delay=SECONDS". The peer binds
    // port 0 unless onPort (the port of a peer stopped before) is given.
    bool start(const QString &maildir, const QStringList &options = {}, quint16 onPort = 0)
    {
        m_maildir = maildir;
        qputenv("PYTHONPATH", qgetenv("KIRVANE_SOURCE_DIR") + "/tests/sending");
        const QStringList args = QStringList{"-m", "aiosmtpd", "-n", "-l", QStringLiteral("127.0.0.1:%1").arg(onPort),
                                             "-c", "smtp_peer.Peer", maildir}
                                 + options;
        if (onPort)
            return startListening(QStringLiteral("/usr/bin/python3"), args, port = onPort);
        port = startOnAnyPort(QStringLiteral("/usr/bin/python3"), args);
        return port != 0;
    }

    // Every message received so far, read with Python's email package.
    QList<Received> received() const
    {
        QProcess p;
        p.start(QStringLiteral("/usr/bin/python3"),
                {qEnvironmentVariable("KIRVANE_SOURCE_DIR") + QStringLiteral("/tests/sending/maildir_summary.py"),
                 m_maildir});
        p.waitForFinished(30000);
        QList<Received> out;
        for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
            if (line.isEmpty())
                continue;
            const QJsonObject o = QJsonDocument::fromJson(line).object();
            QStringList attachments;
            for (const auto &a : o.value(QStringLiteral("attachments")).toArray())
                attachments << a.toString();
            out << Received{o.value(QStringLiteral("to")).toString(), o.value(QStringLiteral("subject")).toString(),
                            o.value(QStringLiteral("body")).toString(), attachments};
        }
        return out;
    }
    // Recipients received, sorted, with repeats.
    QStringList recipients() const
    {
        QStringList to;
        for (const Received &r : received())
            to << r.to;
        to.sort();
        return to;
    }

    quint16 port = 0;

private:
    QString m_maildir;
};

// Answers the run's questions from the test's script and records them.
class ScriptedQuestions final : public kirvane::sending::RunQuestions {
public:
    bool sendWithoutSubject = false;
    bool removeMissing = false;
    QStringList names;   // answers to the name question, in order; then the subject
    bool replace = false;
    QStringList informed;
    QStringList missingAsked;
    int nameQuestions = 0;
    int replaceQuestions = 0;

    bool askSendWithoutSubject() override { return sendWithoutSubject; }
    bool askRemoveMissingBooks(const QStringList &books) override
    {
        missingAsked = books;
        return removeMissing;
    }
    void inform(const QString &text) override { informed << text; }
    QString askLaterSendName(const QString &proposal) override
    {
        ++nameQuestions;
        return names.isEmpty() ? proposal : names.takeFirst();
    }
    bool askReplaceInterrupted(const QString &) override
    {
        ++replaceQuestions;
        return replace;
    }
};

// A data folder of the test's with its store, and the books and settings a
// run needs.
class DataFolder : public kirvane::test::TestDataFolder {
public:
    // Makes book with contacts given as "nom|prenom|email"; returns their ids.
    QStringList makeBook(const QString &book, const QStringList &contacts)
    {
        kirvane::contacts::BookManager books(store());
        if (!books.exists(book))
            (void)books.create(book, {});
        QStringList ids;
        for (const QString &c : contacts) {
            const QStringList f = c.split(u'|');
            kirvane::store::ContactRecord contact = kirvane::store::emptyContact();
            contact[kirvane::store::F_nom].value = f.value(0);
            contact[kirvane::store::F_prenom].value = f.value(1);
            contact[kirvane::store::F_email].value = f.value(2);
            ids << QString::number(store().contacts().addContact(contact, book));
        }
        return ids;
    }

    // Settings sending to the peer's port through the "proxy" (the only way to
    // name a port), packets as given.
    void writeSettings(quint16 port, bool packets = false, int size = 80)
    {
        kirvane::settings::Settings s;
        s.senderName = QStringLiteral("Lettre");
        s.senderAddress = QStringLiteral("news@example.org");
        s.smtpServer = QStringLiteral("127.0.0.1");
        s.useProxy = QStringLiteral("true");
        s.smtpProxy = QStringLiteral("127.0.0.1");
        s.smtpProxyPort = QString::number(port);
        s.available = QStringLiteral("true");
        s.packets = packets ? QStringLiteral("true") : QStringLiteral("false");
        s.packetSize = size;
        s.packetPause = 1;
        QVERIFY(kirvane::settings::saveSettings(s, kirvane::settings::settingsPath()));
    }
};
