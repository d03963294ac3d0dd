// The sending windows offscreen, found by their objectNames: the settings
// window's save and fields, the sending dialog during and after a run with
// a stop that names the interrupted send, and the list of interrupted sends.
#include "sendingfixture.h"

#include "message/messagearchive.h"
#include "message/messagedocument.h"
#include "sending/widgets/interruptedsendswindow.h"
#include "sending/widgets/sendingdialog.h"
#include "sending/widgets/settingswindow.h"
#include "texts/texttable.h"
#include "texts/asker.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>

using namespace kirvane;
using namespace kirvane::common;
using namespace kirvane::store;
using namespace kirvane::texts;
using sending::SendingRun;

namespace {

template <typename T>
T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QString::fromLatin1(name));
    if (!c)
        qWarning("no %s", name);
    return c;
}

// Clicks a button of the first visible top-level window named window, as
// soon as it shows, after setting the line edit "Edit1" when text is given.
void answerWhenShown(const char *window, const char *button, const QString &text = QString())
{
    auto *timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [=] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && w->objectName() == QLatin1String(window)) {
                if (!text.isNull())
                    w->findChild<QLineEdit *>(QStringLiteral("Edit1"))->setText(text);
                w->findChild<QPushButton *>(QString::fromLatin1(button))->click();
                timer->deleteLater();
                return;
            }
        }
    });
    timer->start();
}

// A plain-text letter to the book A.
void letterToBookA(message::MessageDocument &doc)
{
    doc.setSubject(QStringLiteral("Lettre"));
    doc.setMode(message::ComposeMode::PlainText);
    doc.setPlainText(QStringLiteral("Bonjour &name&\n"));
    doc.setDestinationBooks({QStringLiteral("A")});
}

// A sending dialog in English over the book A, sending to a peer of the
// test's.
struct DialogOnPeer {
    DataFolder data;
    QTemporaryDir mail;
    SmtpPeer peer;
    message::MessageDocument doc;
    ScriptedAsker asker;
    std::unique_ptr<sending::SendingDialog> dialog;

    // Makes the book of contacts and starts the peer with options; false
    // when the peer did not start.
    bool start(const QStringList &contacts, const QStringList &options = {})
    {
        data.makeBook(QStringLiteral("A"), contacts);
        if (!peer.start(mail.filePath(QStringLiteral("md")), options))
            return false;
        data.writeSettings(peer.port);
        letterToBookA(doc);
        dialog = std::make_unique<sending::SendingDialog>(data.store(), doc, asker);
        dialog->applyLanguage(texts::English);
        return true;
    }
};

} // namespace

class TstSendingWindows : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void settingsWindow()
    {
        DataFolder data;
        ScriptedAsker asker;
        sending::SettingsWindow window(asker);
        window.applyLanguage(texts::English);
        window.show();
        QCOMPARE(window.windowTitle(), QStringLiteral("Email configuration parameters"));
        // Examples and units in the language applied, French again in French.
        auto labels = [&window] {
            QStringList texts;
            for (const QLabel *l : window.findChildren<QLabel *>())
                texts << l->text();
            return texts;
        };
        QVERIFY(labels().contains(QStringLiteral("e.g. My newsletter")));
        QVERIFY(labels().contains(QStringLiteral("minute(s)")));
        QVERIFY2(!labels().join(u'|').contains(QStringLiteral("Ex :")), qPrintable(labels().join(u'|')));
        window.applyLanguage(texts::French);
        QVERIFY(labels().contains(QStringLiteral("Ex : Ma lettre d'information")));
        window.applyLanguage(texts::English);

        auto *proxy = child<QCheckBox>(&window, "CheckBox1");
        QVERIFY(!child<QLineEdit>(&window, "Edit7")->isEnabled());
        proxy->click();
        QVERIFY(child<QLineEdit>(&window, "Edit7")->isEnabled());
        QVERIFY(!child<QSpinBox>(&window, "Rx_taille_paquet")->isEnabled());
        child<QCheckBox>(&window, "CheckBox_paquet")->click();
        QVERIFY(child<QSpinBox>(&window, "Rx_taille_paquet")->isEnabled());

        // Typing 250000 and leaving the field gives the maximum.
        auto *size = child<QSpinBox>(&window, "Rx_taille_paquet");
        size->setFocus();
        size->selectAll();
        QTest::keyClicks(size, QStringLiteral("250000"));
        QCOMPARE(size->text(), QStringLiteral("250000"));
        QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(size, &leave);
        QCOMPARE(size->value(), 100000);

        child<QLineEdit>(&window, "Edit1")->setText(QStringLiteral("no-at-sign"));
        child<QLineEdit>(&window, "Edit11")->setText(QStringLiteral("Lettre"));
        child<QPushButton>(&window, "Btn_Enregistrer")->click();
        QCOMPARE(asker.texts(), QStringList{texts::text(texts::SenderAddressIncorrect)});
        QVERIFY(!QFile::exists(settings::settingsPath()));
        QVERIFY(window.isVisible());

        // What cannot work is refused with its reason, on the tab of its field.
        asker.clear();
        child<QLineEdit>(&window, "Edit1")->setText(QStringLiteral("<>@example.org"));
        child<QPushButton>(&window, "Btn_Enregistrer")->click();
        QCOMPARE(asker.texts(), QStringList{texts::text(texts::SenderAddressIncorrect)});
        asker.clear();
        child<QLineEdit>(&window, "Edit1")->setText(QStringLiteral("news@example.org"));
        child<QLineEdit>(&window, "Edit11")->setText(QStringLiteral("Lettre\x1b"));
        child<QPushButton>(&window, "Btn_Enregistrer")->click();
        QCOMPARE(asker.texts(), QStringList{texts::text(settings::SettingControlCharacter).arg(QStringLiteral("expediteur"))});
        QCOMPARE(child<QTabWidget>(&window, "PageControl1")->currentIndex(), 0);
        asker.clear();
        child<QLineEdit>(&window, "Edit11")->setText(QStringLiteral("Lettre"));
        child<QLineEdit>(&window, "UnsubscribeUrl")->setText(QStringLiteral("javascript:alert(1)"));
        child<QPushButton>(&window, "Btn_Enregistrer")->click();
        QCOMPARE(asker.texts(), QStringList{texts::text(texts::UnsubscribeUrlIncorrect)});
        QCOMPARE(child<QTabWidget>(&window, "PageControl1")->currentIndex(), 3);
        QVERIFY(!QFile::exists(settings::settingsPath()));
        child<QLineEdit>(&window, "UnsubscribeUrl")->clear();

        asker.clear();
        child<QLineEdit>(&window, "Edit1")->setText(QStringLiteral("news@example.org"));
        asker.answerNext(Answer::No);
        child<QPushButton>(&window, "Btn_Enregistrer")->click();
        QVERIFY(!QFile::exists(settings::settingsPath()));
        asker.answerNext(Answer::Yes);
        child<QLineEdit>(&window, "Edit7")->setText(QStringLiteral("proxy.example.org"));
        child<QPushButton>(&window, "Btn_Enregistrer")->click();
        QVERIFY(!window.isVisible());
        settings::Settings s;
        QVERIFY(settings::loadSettings(s));
        QCOMPARE(s.senderAddress, QStringLiteral("news@example.org"));
        QCOMPARE(s.useProxy, QStringLiteral("true"));
        QCOMPARE(s.smtpProxy, QStringLiteral("proxy.example.org"));
        QCOMPARE(s.packets, QStringLiteral("true"));
        QCOMPARE(s.packetSize, 100000);
        QVERIFY(s.isAvailable());

        // Shown again, it reads the file; a hand-edited TRUE ticks the box.
        QFile f(settings::settingsPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Newsletter]\r\nutiliserProxy=TRUE\r\npaquet=TRUE\r\ntaille_paquet=abc\r\n");
        f.close();
        window.show();
        QVERIFY(proxy->isChecked());
        QVERIFY(!child<QCheckBox>(&window, "CheckBox_paquet")->isChecked());
        QCOMPARE(size->value(), 80);
        child<QPushButton>(&window, "Btn_Annuler")->click();
        QVERIFY(!window.isVisible());
    }

    // The security and headers tab: a new user gets the text alternative,
    // the ports show what an empty field stands for, a refused web address
    // keeps the window open on that tab, and what is saved reads back.
    void settingsWindowSecurityTab()
    {
        DataFolder data;
        ScriptedAsker asker;
        sending::SettingsWindow window(asker);
        window.applyLanguage(texts::English);
        window.show();
        auto *tabs = child<QTabWidget>(&window, "PageControl1");
        QCOMPARE(tabs->tabText(3), QStringLiteral("Security and headers"));
        QVERIFY(child<QCheckBox>(&window, "TextAlternative")->isChecked());
        auto *smtpSecurity = child<QComboBox>(&window, "SmtpSecurity");
        auto *smtpPort = child<QLineEdit>(&window, "SmtpServerPort");
        QCOMPARE(smtpSecurity->currentText(), QStringLiteral("None"));
        QCOMPARE(smtpPort->placeholderText(), QStringLiteral("25 by default"));
        smtpSecurity->setCurrentIndex(1);
        QCOMPARE(smtpPort->placeholderText(), QStringLiteral("587 by default"));
        auto *popSecurity = child<QComboBox>(&window, "PopSecurity");
        popSecurity->setCurrentIndex(2);
        QCOMPARE(child<QLineEdit>(&window, "PopServerPort")->placeholderText(), QStringLiteral("995 by default"));

        child<QLineEdit>(&window, "Edit1")->setText(QStringLiteral("news@example.org"));
        child<QLineEdit>(&window, "Edit11")->setText(QStringLiteral("Lettre"));
        child<QLineEdit>(&window, "SmtpLogin")->setText(QStringLiteral("news"));
        child<QLineEdit>(&window, "SmtpPassword")->setText(QStringLiteral("s3cret"));
        child<QLineEdit>(&window, "SubscriptionAddress")->setText(QStringLiteral("inscription@example.org"));
        child<QLineEdit>(&window, "UnsubscribeUrl")->setText(QStringLiteral("http://example.org/u"));
        tabs->setCurrentIndex(0);
        child<QPushButton>(&window, "Btn_Enregistrer")->click();
        QCOMPARE(asker.texts(), QStringList{texts::text(texts::UnsubscribeUrlIncorrect)});
        QCOMPARE(tabs->currentIndex(), 3);
        QVERIFY(window.isVisible());
        QVERIFY(!QFile::exists(settings::settingsPath()));

        asker.clear();
        child<QLineEdit>(&window, "UnsubscribeUrl")->setText(QStringLiteral("https://example.org/u?e=&email&"));
        asker.answerNext(Answer::Yes);
        child<QPushButton>(&window, "Btn_Enregistrer")->click();
        QVERIFY(!window.isVisible());
        settings::Settings s;
        QVERIFY(settings::loadSettings(s));
        QCOMPARE(s.smtpSecurity, QStringLiteral("starttls"));
        QCOMPARE(s.popSecurity, QStringLiteral("tls"));
        QCOMPARE(s.smtpServerPort, QString());
        QCOMPARE(s.smtpLogin, QStringLiteral("news"));
        QCOMPARE(s.smtpPassword, QStringLiteral("s3cret"));
        QCOMPARE(s.subscriptionAddress, QStringLiteral("inscription@example.org"));
        QCOMPARE(s.unsubscribeUrl, QStringLiteral("https://example.org/u?e=&email&"));
        QVERIFY(s.textAlternativeOn());

        // A file of the sixteen keys alone shows no alternative and no security.
        QFile f(settings::settingsPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Newsletter]\r\nboite=news@example.org\r\nexpediteur=Lettre\r\n");
        f.close();
        window.show();
        QVERIFY(!child<QCheckBox>(&window, "TextAlternative")->isChecked());
        QCOMPARE(smtpSecurity->currentIndex(), 0);
        QCOMPARE(child<QLineEdit>(&window, "SmtpLogin")->text(), QString());
        child<QPushButton>(&window, "Btn_Annuler")->click();
    }

    // A run shown in the dialog: the log, the counter, the buttons; "Stop and
    // save" asks the name and saves; the list window shows and deletes it.
    void sendingDialogAndInterruptedList()
    {
        QStringList contacts;
        for (int i = 0; i < 30; ++i)
            contacts << QStringLiteral("N%1|P|r%1@x.org").arg(i, 2, 10, QLatin1Char('0'));
        DialogOnPeer on;
        QVERIFY(on.start(contacts, {"delay=0.02"}));
        DataFolder &data = on.data;
        SmtpPeer &peer = on.peer;
        sending::SendingDialog &dialog = *on.dialog;
        on.asker.answerNext(Answer::Yes);
        QVERIFY(dialog.sendMessage());
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Send emails"));
        auto *log = child<QPlainTextEdit>(&dialog, "Memo1");
        QTRY_VERIFY(log->toPlainText().count(QStringLiteral("Message send to")) >= 5);
        QVERIFY(child<QLabel>(&dialog, "Label_compteur")->text().endsWith(QStringLiteral("/30")));
        QVERIFY(child<QLabel>(&dialog, "email_desti")->text().endsWith(QStringLiteral("@x.org")));
        QVERIFY(child<QPushButton>(&dialog, "Btn_arreter")->isVisible());
        QVERIFY(!child<QPushButton>(&dialog, "Btn_fermer")->isVisible());

        answerWhenShown("Dialogue_msg_envoi_ulterieur", "Btn_valider", QStringLiteral("pour plus tard"));
        child<QPushButton>(&dialog, "Btn_arreter")->click();
        QTRY_VERIFY(child<QPushButton>(&dialog, "Btn_fermer")->isVisible());
        QCOMPARE(dialog.run().savedName(), QStringLiteral("pour plus tard"));
        QVERIFY(!child<QPushButton>(&dialog, "Btn_arreter")->isVisible());
        child<QPushButton>(&dialog, "Btn_fermer")->click();
        QVERIFY(!dialog.isVisible());

        // The list shows each stopped run with its subject, its book and place,
        // and what remains.
        sending::InterruptedSendsWindow list(nullptr, &data.store().files());
        list.show();
        auto *names = child<QTreeWidget>(&list, "ListBox1");
        QCOMPARE(names->topLevelItemCount(), 1);
        const QTreeWidgetItem *row = names->topLevelItem(0);
        QCOMPARE(row->text(0), QStringLiteral("pour plus tard"));
        QCOMPARE(row->text(1), QStringLiteral("Lettre"));
        QCOMPARE(row->text(3), QStringLiteral("A"));
        const int done = row->text(4).section(u'/', 0, 0).toInt();
        QCOMPARE(row->text(4), QStringLiteral("%1/30").arg(done));
        QCOMPARE(row->text(5).toInt(), 30 - done);
        QCOMPARE(done, peer.recipients().size());
        names->setCurrentItem(names->topLevelItem(0));
        answerWhenShown("Dialogue_suppression_envoi_interrompu", "Btn_Non");
        child<QPushButton>(&list, "Btn_supprimer")->click();
        QCOMPARE(names->topLevelItemCount(), 1);
        // "Oui" deletes a copy of it, its answered ids with it.
        QVERIFY(QFile::copy(stoppedFolder() + QStringLiteral("pour plus tard.MNS"), stoppedFolder() + QStringLiteral("copie.MNS")));
        QVERIFY(QFile::copy(stoppedFolder() + QStringLiteral("pour plus tard.answered"), stoppedFolder() + QStringLiteral("copie.answered")));
        list.refresh();
        QCOMPARE(names->topLevelItemCount(), 2);
        names->setCurrentItem(names->findItems(QStringLiteral("copie"), Qt::MatchExactly).value(0));
        answerWhenShown("Dialogue_suppression_envoi_interrompu", "Btn_Oui");
        child<QPushButton>(&list, "Btn_supprimer")->click();
        QCOMPARE(names->topLevelItemCount(), 1);
        QVERIFY(!QFile::exists(stoppedFolder() + QStringLiteral("copie.MNS")));
        QVERIFY(!QFile::exists(stoppedFolder() + QStringLiteral("copie.answered")));
        names->setCurrentItem(names->topLevelItem(0));

        // "Envoyer" resumes it in the dialog and it sends the rest.
        connect(&list, &sending::InterruptedSendsWindow::resumeRequested, &dialog,
                &sending::SendingDialog::resumeInterrupted);
        child<QPushButton>(&list, "Btn_envoyer")->click();
        QVERIFY(!list.isVisible());
        QVERIFY(dialog.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(&dialog, "Btn_fermer")->isVisible(), 30000);
        QStringList expected;
        for (int i = 0; i < 30; ++i)
            expected << QStringLiteral("r%1@x.org").arg(i, 2, 10, QLatin1Char('0'));
        QCOMPARE(peer.recipients(), expected);

        // Resumed to its end, it leaves the list.
        list.show();
        QCOMPARE(names->topLevelItemCount(), 0);
        QVERIFY(!QFile::exists(stoppedFolder() + QStringLiteral("pour plus tard.MNS")));
    }

    // A server that refuses the sender: the dialog says the server's reply,
    // the run is kept under the name given, and nothing is listed as refused.
    void senderRefusedIsSaid()
    {
        DialogOnPeer on;
        QVERIFY(on.start({"Aa|1|a1@x.org", "Ab|2|a2@x.org"}, {"sender=550"}));
        sending::SendingDialog &dialog = *on.dialog;
        ScriptedAsker &asker = on.asker;
        asker.answerNext(Answer::Yes);
        answerWhenShown("Dialogue_msg_envoi_ulterieur", "Btn_valider", QStringLiteral("refused"));
        QVERIFY(dialog.sendMessage());
        QTRY_VERIFY_WITH_TIMEOUT(child<QPushButton>(&dialog, "Btn_fermer")->isVisible(), 30000);
        const QString said = QStringLiteral("The server refuses the sender: 550 5.7.1 Sender address rejected");
        QVERIFY2(asker.texts().contains(said), qPrintable(asker.texts().join(u'|')));
        const QString log = child<QPlainTextEdit>(&dialog, "Memo1")->toPlainText();
        QVERIFY2(log.contains(said), qPrintable(log));
        QVERIFY(!log.contains(texts::text(texts::RefusedHeading)));
        QCOMPARE(dialog.run().savedName(), QStringLiteral("refused"));
        QVERIFY(on.peer.recipients().isEmpty());
    }

    // Before a run the dialog asks with the figures read from the books, and
    // a stopped run ends saying how far it went and where to resume it, both
    // in the dialog's language.
    void figuresAndEndInTheDialogsLanguage_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("end");
        QTest::newRow("English") << int(texts::English) << QStringLiteral("Send 'Lettre' to 4 contacts of 1 books (1 excluded)?")
                                 << QStringLiteral("Stopped after 2 of 5; resume it from Manage sendings");
        QTest::newRow("French") << int(texts::French)
                                << QStringLiteral("Envoyer « Lettre » à 4 contacts de 1 annuaires (1 exclus) ?")
                                << QStringLiteral("Arrêté après 2 sur 5 ; reprenez-le depuis Gérer les envois");
    }

    void figuresAndEndInTheDialogsLanguage()
    {
        QFETCH(int, language);
        QFETCH(QString, asked);
        QFETCH(QString, end);
        DialogOnPeer on;
        QVERIFY(on.start({"Aa|1|a1@x.org", "Ab|2|a2@x.org", "Ac|3|a3@x.org", "Ad|4|a4@x.org", "Ae|5|a5@x.org"}));
        on.data.makeBook(QStringLiteral("Out"), {"Out|5|A5@x.org"});
        on.doc.setExclusionBooks({QStringLiteral("Out")});
        sending::SendingDialog &dialog = *on.dialog;
        dialog.applyLanguage(language);
        auto *log = child<QPlainTextEdit>(&dialog, "Memo1");
        connect(&dialog.run(), &SendingRun::logged, this, [&](const QString &line) {
            if (line.endsWith(QLatin1String(" a2@x.org")))
                child<QPushButton>(&dialog, "Btn_arreter")->click();
        });
        answerWhenShown("Dialogue_msg_envoi_ulterieur", "Btn_valider", QStringLiteral("later"));
        on.asker.answerNext(Answer::Yes);
        QVERIFY(dialog.sendMessage());
        QCOMPARE(on.asker.texts(), QStringList{asked});
        QTRY_VERIFY_WITH_TIMEOUT(dialog.run().hasEnded(), 30000);
        QCOMPARE(dialog.run().state(), SendingRun::State::Saved);
        QCOMPARE(log->toPlainText().split(u'\n').constLast(), end);
        QCOMPARE(on.peer.recipients(), (QStringList{"a1@x.org", "a2@x.org"}));
    }

    // The window's thread is free while the server holds the answer to a
    // message back: the Stop button is taken before the answer comes (the
    // peer answers only once the click was made), and the run stops after
    // that contact.
    void stopWhileTheServerHoldsAnAnswer()
    {
        DialogOnPeer on;
        const QString release = on.mail.filePath(QStringLiteral("release"));
        QVERIFY(on.start({"Aa|1|a1@x.org", "Ab|2|a2@x.org", "Ac|3|a3@x.org"}, {QStringLiteral("hold=") + release}));
        sending::SendingDialog &dialog = *on.dialog;
        auto *log = child<QPlainTextEdit>(&dialog, "Memo1");
        auto *stop = child<QPushButton>(&dialog, "Btn_arreter");
        QString logAtClick;
        bool clicked = false;
        connect(&dialog.run(), &SendingRun::recipientChanged, this, [&](const QString &address) {
            if (address != QLatin1String("a1@x.org"))
                return;
            QTimer::singleShot(0, this, [&] {
                stop->click();
                clicked = true;
                logAtClick = log->toPlainText();
                QFile f(release);
                QVERIFY(f.open(QIODevice::WriteOnly));
            });
        });
        answerWhenShown("Dialogue_msg_envoi_ulterieur", "Btn_valider", QStringLiteral("held"));
        on.asker.answerNext(Answer::Yes);
        QVERIFY(dialog.sendMessage());
        QTRY_VERIFY_WITH_TIMEOUT(dialog.run().hasEnded(), 90000);
        QVERIFY(clicked);
        QVERIFY2(!logAtClick.contains(QStringLiteral("a1@x.org")), qPrintable(logAtClick));
        QCOMPARE(dialog.run().state(), SendingRun::State::Saved);
        QVERIFY(log->toPlainText().contains(texts::text(texts::LogSent, texts::English) + QStringLiteral("Aa 1 a1@x.org")));
        QCOMPARE(on.peer.recipients(), QStringList{QStringLiteral("a1@x.org")});
    }

    // The picture of the README: the sending dialog in mid-run. Taken only
    // when KIRVANE_SCREENSHOTS names a folder (scripts/sending-screenshots).
    void screenshot()
    {
        const QString out = qEnvironmentVariable("KIRVANE_SCREENSHOTS");
        if (out.isEmpty())
            QSKIP("KIRVANE_SCREENSHOTS is not set");
        DataFolder data;
        const QStringList people{"Martin|Anne|anne.martin@example.net", "Bernard|Luc|luc@example.org",
                                 "Petit|Chloé|chloe.petit@example.com", "Durand|Hugo|", "Leroy|Emma|emma@example.net",
                                 "Moreau|Léa|lea.moreau@example.org", "Simon|Noah|noah@example.com",
                                 "Laurent|Jade|jade@example.net", "Lefebvre|Louis|louis@example.org",
                                 "Michel|Inès|ines@example.com", "Garcia|Paul|paul@example.net",
                                 "David|Alice|alice@example.org"};
        data.makeBook(QStringLiteral("Clients"), people);
        data.makeBook(QStringLiteral("Désabonnés"), {"Durand|Hugo|", "Simon|Noah|noah@example.com"});
        QTemporaryDir mail;
        SmtpPeer peer;
        QVERIFY(peer.start(mail.filePath(QStringLiteral("md")), {"refuse=luc@example.org", "delay=0.25"}));
        data.writeSettings(peer.port);
        message::MessageDocument doc;
        doc.setSubject(QStringLiteral("Nouvelles de décembre"));
        doc.setMode(message::ComposeMode::PlainText);
        doc.setPlainText(QStringLiteral("Bonjour &name&\n"));
        doc.setDestinationBooks({QStringLiteral("Clients")});
        doc.setExclusionBooks({QStringLiteral("Désabonnés")});
        ScriptedAsker asker;
        sending::SendingDialog dialog(data.store(), doc, asker);
        dialog.applyLanguage(texts::English);
        dialog.resize(640, 420);
        asker.answerNext(Answer::Yes);
        QVERIFY(dialog.sendMessage());
        auto *log = child<QPlainTextEdit>(&dialog, "Memo1");
        QTRY_VERIFY_WITH_TIMEOUT(log->toPlainText().count(u'\n') >= 8, 20000);
        QVERIFY(dialog.grab().save(out + QStringLiteral("/sending-dialog.png")));
        dialog.run().cancel();
        QTRY_VERIFY_WITH_TIMEOUT(dialog.run().hasEnded(), 20000);
    }
};

QTEST_MAIN(TstSendingWindows)
#include "tst_sendingwindows.moc"
