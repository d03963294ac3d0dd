// The synchronisation window offscreen, found by object names, against
// Dovecot and aiosmtpd: what it shows while the job runs and after, its
// unsubscribe question, and its Cancel and Close buttons.

#include "syncfixture.h"

#include "mail/pop3client.h"
#include "mail/smtpclient.h"
#include "texts/texttable.h"
#include "texts/asker.h"
#include "ui/messagedialog.h"
#include "subscriptions/widgets/syncdialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

using namespace kirvane::common;
using namespace kirvane::contacts;
using namespace kirvane::store;
namespace mail = kirvane::mail;
using namespace kirvane::texts;
using namespace kirvane::ui;
using namespace kirvane::subscriptions;
namespace texts = kirvane::texts;

class TestSyncDialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void showsTheJobAndAsksItsQuestion();
    void cancelStopsAfterTheCurrentMessage();

private:
    QLabel *label(const char *name) const { return m_dialog->findChild<QLabel *>(QLatin1String(name)); }
    QPushButton *button(const char *name) const
    {
        return m_dialog->findChild<QPushButton *>(QLatin1String(name), Qt::FindDirectChildrenOnly);
    }

    std::unique_ptr<SyncFixture> m_fx;
    AddressBookStore *m_store = nullptr;
    mail::Pop3Client m_pop;
    mail::SmtpClient m_smtp;
    ScriptedAsker m_asker;
    std::unique_ptr<SyncDialog> m_dialog;
};

void TestSyncDialog::init()
{
    if (!Dovecot::canRun())
        QSKIP("Dovecot hands the mailbox to nobody, which takes root");
    m_fx = std::make_unique<SyncFixture>();
    m_store = &m_fx->store();
    m_asker.clear();
    m_dialog = std::make_unique<SyncDialog>(*m_store, m_pop, m_smtp, m_asker);
    m_dialog->applyLanguage(English);
}

void TestSyncDialog::cleanup()
{
    m_dialog.reset();
    m_fx.reset();
}

void TestSyncDialog::showsTheJobAndAsksItsQuestion()
{
    SyncFixture &fx = *m_fx;
    ContactRecord known = emptyContact();
    known[F_email].value = QStringLiteral("known@example.net");
    QVERIFY(BookManager(*m_store).create(BookManager::kSubscribers, {"a", "b", "c", "d"}).ok());
    QVERIFY(m_store->contacts().saveContact(known, BookManager::kSubscribers));
    QVERIFY(fx.pop.addMessage(mailMessage("DESABONNE gone@example.net")));
    QVERIFY(fx.pop.addMessage(mailMessage("ABONNE known@example.net")));
    QVERIFY(fx.pop.addMessage(mailMessage("Hello")));
    QVERIFY(fx.startServers());
    QVERIFY(fx.writeConfig());

    // What the window shows at each step, read right after it changed.
    QStringList progress, label4;
    qint64 knownShownMs = -1;
    QElapsedTimer knownTimer;
    SyncJob &job = m_dialog->job();
    connect(&job, &SyncJob::messageStarted, this, [&] { progress << label(("Label3"))->text(); });
    connect(&job, &SyncJob::forwarding, this, [&](bool on) {
        if (on)
            label4 << label("Label4")->text();
    });
    connect(&job, &SyncJob::knownAddress, this, [&](bool on) {
        if (on) {
            label4 << label("Label4")->text();
            knownTimer.start();
        } else {
            knownShownMs = knownTimer.elapsed();
        }
    });
    // The question comes up modally: answer it from outside.
    QString question;
    QTimer answer;
    answer.setInterval(20);
    connect(&answer, &QTimer::timeout, this, [&] {
        auto *dialog = m_dialog->findChild<QDialog *>(QStringLiteral("F_dialogue_synchro_supp_contact"));
        if (!dialog || !dialog->isVisible())
            return;
        question = dialog->findChild<QTextEdit *>(QStringLiteral("Label1"))->toPlainText();
        dialog->findChild<QPushButton *>(QStringLiteral("Btn_Oui"))->click();
    });
    answer.start();

    m_dialog->synchronise();
    QVERIFY(m_dialog->isVisible());
    QVERIFY(m_dialog->isModal());
    QCOMPARE(m_dialog->windowTitle(), text(SyncCaption));
    QCOMPARE(label("Label1")->text(), text(SyncRunning));
    QCOMPARE(label("Label3")->text(), QString());
    QVERIFY(button("Btn_Annuler")->isVisible());
    QVERIFY(!button("Btn_Fermer")->isVisible());
    QCOMPARE(button("Btn_Annuler")->text(), QStringLiteral("Cancel"));
    // Escape does not leave a running job.
    QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
    QVERIFY(m_dialog->isVisible());

    QTRY_VERIFY_WITH_TIMEOUT(button("Btn_Fermer")->isVisible(), 60000);
    QVERIFY(!button("Btn_Annuler")->isVisible());
    QCOMPARE(label("Label1")->text(), text(SyncFinished));
    QCOMPARE(label("Label3")->text(), QString());
    QCOMPARE(label("Label4")->text(), QString());
    QCOMPARE(progress, (QStringList{"Message processing1/3", "Message processing2/3", "Message processing3/3"}));
    QCOMPARE(label4, (QStringList{text(SyncKnownAddress), text(SyncForwarding)}));
    QVERIFY2(knownShownMs >= 1990, qPrintable(QString::number(knownShownMs)));
    QCOMPARE(question, text(AskUnsubscribeEverywhere));
    QVERIFY(m_asker.questions().empty());
    QCOMPARE(fx.remaining(), 0);

    button("Btn_Fermer")->click();
    QVERIFY(!m_dialog->isVisible());
}

void TestSyncDialog::cancelStopsAfterTheCurrentMessage()
{
    SyncFixture &fx = *m_fx;
    for (int i = 0; i < 4; ++i)
        QVERIFY(fx.pop.addMessage(mailMessage("ABONNE r" + QByteArray::number(i) + "@example.net")));
    QVERIFY(fx.startServers());
    QVERIFY(fx.writeConfig());
    connect(&m_dialog->job(), &SyncJob::messageStarted, this, [&](int n) {
        if (n == 2)
            button("Btn_Annuler")->click();
    });
    QSignalSpy finished(&m_dialog->job(), &SyncJob::finished);
    m_dialog->synchronise();
    QVERIFY(finished.wait(60000));
    QCOMPARE(finished.at(0).at(0).value<SyncJob::End>(), SyncJob::End::Cancelled);
    QVERIFY(button("Btn_Fermer")->isVisible());
    QCOMPARE(fx.remaining(), 2);
}

QTEST_MAIN(TestSyncDialog)
#include "tst_syncdialog.moc"
