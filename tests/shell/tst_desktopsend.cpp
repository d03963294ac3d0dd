// The whole path of a newsletter in the program as it starts: the desktop
// program opened on a data folder of two books, a message written in the
// message view and sent from its menu, the run stopped from the pause window
// in the pause between two packets, resumed from "Manage sendings" (the
// view's tool bar), and what a real SMTP server received. Driven by the
// windows' objectNames and the events they show, never by timing.
#include "desktoprun.h"
#include "sending/sendingfixture.h"

#include "common/folders.h"
#include "shell/mainwindow.h"
#include "ui/messagedialog.h"

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>

using namespace kirvane;

namespace {

// The action of a menu of the menu bar, as the user reaches it.
QAction *menuAction(QMenuBar *bar, const char *name)
{
    for (QAction *top : bar->actions()) {
        if (!top->menu())
            continue;
        for (QAction *a : top->menu()->actions())
            if (a->objectName() == QLatin1String(name))
                return a;
    }
    return nullptr;
}

} // namespace

class TstDesktopSend : public QObject {
    Q_OBJECT

    // What the user is asked and answers while the program runs: every
    // message box is read and answered Yes (or closed); the name of the stopped
    // run is given; the list of stopped runs is read, and its first run
    // resumed when m_resume says so.
    QStringList m_told;
    QString m_stoppedName = QStringLiteral("spring stopped");
    bool m_resume = false;
    int m_listed = -1;

    void answerWhatShows()
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (!w->isVisible())
                continue;
            if (auto *box = qobject_cast<ui::MessageDialog *>(w)) {
                m_told << box->text();
                QPushButton *yes = box->findChild<QPushButton *>(QStringLiteral("Btn_Oui"));
                (yes && yes->isVisible() ? yes : child<QPushButton>(box, "Btn_Fermer"))->click();
            } else if (w->objectName() == QLatin1String("Dialogue_msg_envoi_ulterieur")) {
                child<QLineEdit>(w, "Edit1")->setText(m_stoppedName);
                child<QPushButton>(w, "Btn_valider")->click();
            } else if (w->objectName() == QLatin1String("Dialogue_choix_message_continu_envoi")) {
                auto *runs = child<QTreeWidget>(w, "ListBox1");
                m_listed = runs->topLevelItemCount();
                if (m_resume && m_listed > 0) {
                    m_resume = false;
                    runs->setCurrentItem(runs->topLevelItem(0));
                    child<QPushButton>(w, "Btn_envoyer")->click();
                } else {
                    child<QPushButton>(w, "Btn_fermer")->click();
                }
            }
        }
    }

    // The steps a user takes, run inside the program's event loop.
    void drive(SmtpPeer &peer)
    {
        shell::MainWindow *form = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((form = qobject_cast<shell::MainWindow *>(visibleWindow("Form1"))), 30000);

        // The message: subject, body and the two books, in the message view.
        form->showMessageView();
        QWidget *view = form->findChild<QWidget *>(QStringLiteral("Frame_message1"));
        QVERIFY(view && view->isVisible());
        auto *subject = child<QLineEdit>(view, "Edit1");
        subject->setFocus();
        QTest::keyClicks(subject, QStringLiteral("Spring news"));
        auto *body = child<QTextEdit>(view, "RichEdit1");
        QVERIFY(body->isVisible());
        body->setFocus();
        QTest::keyClicks(body, QStringLiteral("Dear &name&, the garden opens."));
        child<QPushButton>(view, "Btn_Ajouter_annuaire")->click();
        QWidget *chooser = nullptr;
        QTRY_VERIFY((chooser = visibleWindow("Form_Dir_Dest")));
        auto *books = child<QListWidget>(chooser, "ListBox1");
        QCOMPARE(books->count(), 2);
        for (int i = 0; i < books->count(); ++i)
            books->item(i)->setSelected(true);
        child<QPushButton>(chooser, "Btn_valider")->click();
        QCOMPARE(child<QListWidget>(view, "ListBox1")->count(), 2);

        // Sent from the menu; answered Yes to the figures it shows.
        QAction *send = menuAction(form->mainMenu(3), "Envoyer1");
        QVERIFY(send && send->isEnabled());
        send->trigger();
        QCOMPARE(m_told.filter(QStringLiteral("Spring news")),
                 QStringList{QStringLiteral("Send 'Spring news' to 5 contacts of 2 books (0 excluded)?")});

        // The first packet (a1, a2) goes, then the pause: stopped from the
        // pause window, and named.
        QWidget *pause = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((pause = visibleWindow("TEmporise")), 60000);
        QCOMPARE(peer.recipients(), (QStringList{"a1@x.org", "a2@x.org"}));
        child<QPushButton>(pause, "Btn_arreter")->click();
        QWidget *sending = visibleWindow("Dialogue_transmission");
        QVERIFY(sending);
        QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(sending, "Btn_fermer")->isVisible(), 30000);
        QVERIFY(!pause->isVisible());
        QVERIFY(QFile::exists(common::stoppedFolder() + m_stoppedName + QStringLiteral(".MNS")));
        child<QPushButton>(sending, "Btn_fermer")->click();
        QCOMPARE(peer.recipients(), (QStringList{"a1@x.org", "a2@x.org"}));

        // Resumed from "Manage sendings": the rest goes, each once.
        QAbstractButton *manage = nullptr;
        for (QAbstractButton *b : form->findChildren<QAbstractButton *>(QStringLiteral("continuer_envoi")))
            if (b->isVisible())
                manage = b;
        QVERIFY(manage && manage->isEnabled());
        m_resume = true;
        manage->click();
        QCOMPARE(m_listed, 1);
        QVERIFY(!m_resume);
        QTRY_VERIFY_WITH_TIMEOUT((sending = visibleWindow("Dialogue_transmission"))
                                     && child<QPushButton>(sending, "Btn_fermer")->isVisible(),
                                 60000);
        QCOMPARE(peer.recipients(), (QStringList{"a1@x.org", "a2@x.org", "a3@x.org", "b1@x.org", "b2@x.org"}));
        const QString log = child<QPlainTextEdit>(sending, "Memo1")->toPlainText();
        QVERIFY2(!log.contains(QLatin1String("a1@x.org")) && log.contains(QLatin1String("b2@x.org")), qPrintable(log));
        child<QPushButton>(sending, "Btn_fermer")->click();

        // Nothing is left to resume.
        m_listed = -1;
        manage->click();
        QCOMPARE(m_listed, 0);
        // Only the pause's own snapshot may stay in the folder, never listed.
        QStringList left = QDir(common::stoppedFolder()).entryList({QStringLiteral("*.MNS")}, QDir::Files);
        left.removeAll(QStringLiteral("tempo.MNS"));
        QCOMPARE(left, QStringList());
        for (const Received &r : peer.received()) {
            QCOMPARE(r.subject, QStringLiteral("Spring news"));
            QVERIFY2(!r.body.contains(QLatin1String("&name&")), qPrintable(r.body));
        }
    }

private Q_SLOTS:
    void sendStopInThePauseAndResume()
    {
        DataFolder data;
        // Packets of two: A pauses after a2 and nowhere else (a book's last
        // contact ends its packet); B, of two, never pauses.
        data.makeBook(QStringLiteral("A"), {"Aa|1|a1@x.org", "Ab|2|a2@x.org", "Ac|3|a3@x.org"});
        data.makeBook(QStringLiteral("B"), {"Ba|1|b1@x.org", "Bb|2|b2@x.org"});
        QTemporaryDir mail;
        SmtpPeer peer;
        QVERIFY(peer.start(mail.filePath(QStringLiteral("md"))));
        // The pause is the configured minute: the stop lands well inside it.
        data.writeSettings(peer.port, true, 2);

        const DesktopRun run = runDesktopDriven(data.path(), [this] { answerWhatShows(); }, [this, &peer] { drive(peer); });
        QCOMPARE(run.status, 0);
        QCOMPARE(run.escaped, QString());
        QCOMPARE(run.uncaught, QStringList());
    }
};

KIRVANE_DESKTOP_TEST_MAIN(TstDesktopSend)

#include "tst_desktopsend.moc"
