// The unsubscription addresses of a contact's message: the mailto: whose
// subject the synchronisation reads as that contact's unsubscription, and
// the web address with the contact's values filled in, both safe in a header.

#include "sending/listunsubscribe.h"
#include "subscriptions/subscriptionrequest.h"

#include <QTest>
#include <QUrl>
#include <QUrlQuery>

using namespace kirvane;
using namespace kirvane::sending;

class TstListUnsubscribe : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void uris_data()
    {
        QTest::addColumn<QString>("subscription");
        QTest::addColumn<QString>("web");
        QTest::addColumn<QString>("email");
        QTest::addColumn<QString>("nom");
        QTest::addColumn<QStringList>("uris");
        QTest::newRow("nothing set") << "" << "" << "a@example.net" << "" << QStringList();
        QTest::newRow("subscription mailbox")
            << "inscription@example.org" << "" << "a@example.net" << ""
            << QStringList{"mailto:inscription@example.org?subject=DESABONNE%20a@example.net"};
        QTest::newRow("address with plus and accent")
            << "inscription@example.org" << "" << " j.o+news@exämple.net " << ""
            << QStringList{"mailto:inscription@example.org?subject=DESABONNE%20j.o%2Bnews@ex%C3%A4mple.net"};
        QTest::newRow("web address filled")
            << "" << "https://example.org/u?e=&email&&n=&name&" << "a@example.net" << "Dupont & Fils <x>"
            << QStringList{"https://example.org/u?e=a%40example.net&n=Dupont%20%26%20Fils%20%3Cx%3E"};
        QTest::newRow("both, no address for the mailto")
            << "inscription@example.org" << "https://example.org/u" << "" << ""
            << QStringList{"https://example.org/u"};
    }
    void uris()
    {
        QFETCH(QString, subscription);
        QFETCH(QString, web);
        QFETCH(QString, email);
        QFETCH(QString, nom);
        QFETCH(QStringList, uris);
        settings::Settings s;
        s.subscriptionAddress = subscription;
        s.unsubscribeUrl = web;
        store::ContactRecord contact = store::emptyContact();
        contact[store::F_email].value = email;
        contact[store::F_nom].value = nom;
        const QStringList got = listUnsubscribeUris(s, contact);
        QCOMPARE(got, uris);
        for (const QString &uri : got) {
            for (QChar c : uri)
                QVERIFY2(c.unicode() > 0x20 && c.unicode() < 0x7f && c != u'<' && c != u'>', qPrintable(uri));
        }
        // What a mail program sends on a click is read by the synchronisation
        // as this contact's unsubscription.
        if (!got.isEmpty() && got.first().startsWith(QLatin1String("mailto:"))) {
            const QUrl url(got.first());
            QCOMPARE(url.path(), subscription);
            const QString subject = QUrlQuery(url).queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded);
            const subscriptions::SubscriptionRequest r = subscriptions::readRequest(subject);
            QCOMPARE(r.kind, subscriptions::SubscriptionRequest::Kind::Unsubscribe);
            QCOMPARE(r.address, email.trimmed());
        }
    }
};

QTEST_GUILESS_MAIN(TstListUnsubscribe)
#include "tst_listunsubscribe.moc"
