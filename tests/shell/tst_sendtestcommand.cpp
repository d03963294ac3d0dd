// "Send a test to myself" of the message view, through the main window's
// command found by its objectName: the message goes once, personalised for
// the first contact of the first book, to the sender's own address at a real
// SMTP peer, and the window says where it went; a server that cannot be
// reached is told, and nothing is sent.
#include "fakeviews.h"
#include "sending/sendingfixture.h"

#include "message/messagedocument.h"
#include "sending/widgets/sendingdialog.h"
#include "sending/widgets/sendingwindows.h"
#include "shell/mainwindow.h"
#include "texts/asker.h"
#include "texts/texttable.h"

#include <QAction>
#include <QDir>

using namespace kirvane;
using namespace kirvane::common;
using namespace kirvane::shell;
using namespace kirvane::test;

class TestSendTestCommand : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sendTestToMyself_data()
    {
        QTest::addColumn<bool>("reachable");
        QTest::newRow("the server takes it") << true;
        QTest::newRow("no server listening") << false;
    }

    void sendTestToMyself()
    {
        QFETCH(bool, reachable);
        DataFolder data;
        data.makeBook(QStringLiteral("A"), {"Aa|1|a1@x.org", "Ab|2|a2@x.org"});
        QTemporaryDir mail;
        SmtpPeer peer;
        QVERIFY(peer.start(mail.filePath(QStringLiteral("md"))));
        // Nothing listens on port 1 of the loopback.
        data.writeSettings(reachable ? peer.port : 1);

        message::MessageDocument doc;
        doc.setSubject(QStringLiteral("News for &name&"));
        doc.setMode(message::ComposeMode::PlainText);
        doc.setPlainText(QStringLiteral("Dear &name&\n"));
        doc.setDestinationBooks({QStringLiteral("A")});
        auto *view = new FakeMessageView;
        texts::ScriptedAsker asker;
        MainWindow form(&data.store(), MainViews{nullptr, nullptr, view, nullptr}, &asker);
        form.applyLanguage(texts::English);
        sending::SendingWindows windows(data.store(), doc, asker, &form);
        windows.connectCommands(form);
        windows.applyLanguage(texts::English);
        form.show();
        form.showView(3);

        auto *command = form.findChild<QAction *>(QStringLiteral("Envoyeruntest1"));
        QVERIFY(command);
        QVERIFY(command->isEnabled());
        QCOMPARE(command->text(), QStringLiteral("Send a test to myself"));
        command->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(asker.texts().size(), 1, 30000);
        if (reachable) {
            QCOMPARE(asker.texts().first(), texts::text(texts::TestSent, texts::English).arg("news@example.org"));
            const QList<Received> got = peer.received();
            QCOMPARE(got.size(), 1);
            QCOMPARE(got.first().to, QStringLiteral("news@example.org"));
            QCOMPARE(got.first().subject, QStringLiteral("News for Aa"));
        } else {
            QCOMPARE(asker.texts().first(), texts::text(texts::CheckConnection));
            QVERIFY(peer.received().isEmpty());
        }
        // Nothing of a run is left behind: no history, no stopped run.
        QVERIFY(QDir(stoppedFolder()).entryList({QStringLiteral("*.MNS")}, QDir::Files).isEmpty());
        QVERIFY(!windows.sendingDialog()->isVisible());
    }
};

QTEST_MAIN(TestSendTestCommand)
#include "tst_sendtestcommand.moc"
