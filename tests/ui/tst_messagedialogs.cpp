// The shared message dialogs: which buttons each kind has, what each button
// answers, the texts in both languages, and the asker routing kinds to them.

#include "texts/texttable.h"
#include "ui/messagedialog.h"

#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

using namespace kirvane::texts;
using namespace kirvane::ui;
namespace texts = kirvane::texts;

class TestMessageDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void buttonsAndAnswers_data();
    void buttonsAndAnswers();
    void escapeAnswersTheLastButton_data();
    void escapeAnswersTheLastButton();
    void captionsFollowTheLanguage();
    void buttonsLookTheirRole();
    void multiLineTextsShowTheirLines_data();
    void multiLineTextsShowTheirLines();
};

namespace {
// Presses a button of the modal dialog once it is up.
void pressWhenShown(QDialog *dialog, const QString &button)
{
    QTimer::singleShot(0, dialog, [dialog, button] {
        QVERIFY(dialog->isVisible());
        auto *b = dialog->findChild<QPushButton *>(button);
        QVERIFY2(b, qPrintable(button));
        QTest::mouseClick(b, Qt::LeftButton);
    });
}
} // namespace

void TestMessageDialogs::buttonsAndAnswers_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("memo");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<QString>("press");
    QTest::addColumn<int>("answer");

    const QStringList close{"Btn_Fermer"}, yesNo{"Btn_Oui", "Btn_Non"},
        yesNoCancel{"Btn_Oui", "Btn_Non", "Btn_Annuler"};
    QTest::newRow("error: Close") << int(DialogKind::Error) << "F_erreur_standard" << "Memo_erreur" << close
                                  << "Btn_Fermer" << int(Answer::Ok);
    QTest::newRow("ok: Close") << int(DialogKind::Ok) << "Fdialogue_message_standard_ok" << "Memo_texte" << close
                               << "Btn_Fermer" << int(Answer::Ok);
    QTest::newRow("yes/no: Yes") << int(DialogKind::YesNo) << "F_dialogue_message_standard_oui_non"
                                 << "Memo_texte" << yesNo << "Btn_Oui" << int(Answer::Yes);
    QTest::newRow("yes/no: No") << int(DialogKind::YesNo) << "F_dialogue_message_standard_oui_non"
                                << "Memo_texte" << yesNo << "Btn_Non" << int(Answer::No);
    QTest::newRow("yes/no/cancel: Cancel") << int(DialogKind::YesNoCancel) << "Dialogue_message_oui_non_annuler"
                                           << "Memo_texte" << yesNoCancel << "Btn_Annuler" << int(Answer::Cancel);
    QTest::newRow("yes/no/cancel: No") << int(DialogKind::YesNoCancel) << "Dialogue_message_oui_non_annuler"
                                       << "Memo_texte" << yesNoCancel << "Btn_Non" << int(Answer::No);
    QTest::newRow("settings yes/no: Yes") << int(DialogKind::SettingsYesNo)
                                          << "Fdialogue_configuration_standard_oui_non" << "Memo_texte" << yesNo
                                          << "Btn_Oui" << int(Answer::Yes);
    QTest::newRow("sending: Close") << int(DialogKind::TransmissionOk) << "F_dialogue_transmission_standard_ok"
                                    << "Memo_texte" << close << "Btn_Fermer" << int(Answer::Ok);
    QTest::newRow("import: Close") << int(DialogKind::ImportOk) << "F_dialogue_importer_standard_ok"
                                   << "Memo_texte" << close << "Btn_Fermer" << int(Answer::Ok);
    QTest::newRow("subscriptions: Close") << int(DialogKind::SyncOk) << "F_dialogue_synchro_standard_ok"
                                          << "Memo_texte" << close << "Btn_Fermer" << int(Answer::Ok);
}

void TestMessageDialogs::buttonsAndAnswers()
{
    QFETCH(int, kind);
    QFETCH(QString, dialog);
    QFETCH(QString, memo);
    QFETCH(QStringList, buttons);
    QFETCH(QString, press);
    QFETCH(int, answer);

    QWidget window;
    DialogAsker asker(&window);
    MessageDialog *d = asker.dialog(DialogKind(kind));
    QCOMPARE(d->objectName(), dialog);
    QStringList names;
    for (QPushButton *b : d->findChildren<QPushButton *>())
        names << b->objectName();
    QCOMPARE(names, buttons);
    auto *text = d->findChild<QTextEdit *>(memo);
    QVERIFY(text);
    QVERIFY(text->isReadOnly());
    QVERIFY(!(text->textInteractionFlags() & Qt::TextSelectableByKeyboard)); // no caret

    pressWhenShown(d, press);
    QCOMPARE(asker.ask(DialogKind(kind), QStringLiteral("Texte")), Answer(answer));
    QCOMPARE(d->text(), QStringLiteral("Texte"));
    QVERIFY(!d->isVisible());
}

void TestMessageDialogs::escapeAnswersTheLastButton_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("answer");
    QTest::newRow("close") << int(DialogKind::Ok) << int(Answer::Ok);
    QTest::newRow("yes/no: No") << int(DialogKind::YesNo) << int(Answer::No);
    QTest::newRow("yes/no/cancel: Cancel") << int(DialogKind::YesNoCancel) << int(Answer::Cancel);
}

void TestMessageDialogs::escapeAnswersTheLastButton()
{
    QFETCH(int, kind);
    QFETCH(int, answer);
    QWidget window;
    DialogAsker asker(&window);
    MessageDialog *d = asker.dialog(DialogKind(kind));
    QTimer::singleShot(0, d, [d] { QTest::keyClick(d, Qt::Key_Escape); });
    QCOMPARE(asker.ask(DialogKind(kind), QStringLiteral("?")), Answer(answer));
}

void TestMessageDialogs::captionsFollowTheLanguage()
{
    QWidget window;
    DialogAsker asker(&window);
    MessageDialog *d = asker.dialog(DialogKind::YesNoCancel);
    const auto caption = [d](const char *name) { return d->findChild<QPushButton *>(name)->text(); };
    QCOMPARE(caption("Btn_Oui"), QStringLiteral("Oui"));
    QCOMPARE(caption("Btn_Annuler"), QStringLiteral("Annuler"));
    asker.applyLanguage(texts::English);
    QCOMPARE(caption("Btn_Oui"), QStringLiteral("Yes"));
    QCOMPARE(caption("Btn_Non"), QStringLiteral("No"));
    QCOMPARE(caption("Btn_Annuler"), QStringLiteral("Cancel"));
    QCOMPARE(asker.dialog(DialogKind::Error)->findChild<QPushButton *>("Btn_Fermer")->text(), QStringLiteral("Close"));
    QCOMPARE(asker.dialog(DialogKind::Error)->windowTitle(), QStringLiteral("Error"));
}

void TestMessageDialogs::buttonsLookTheirRole()
{
    QWidget window;
    DialogAsker asker(&window);
    asker.applyLanguage(texts::English);
    const auto picture = [](const QIcon &icon) { return icon.pixmap(16).toImage(); };
    const auto drawn = [&window, &picture](QStyle::StandardPixmap which) {
        return picture(window.style()->standardIcon(which));
    };
    MessageDialog *three = asker.dialog(DialogKind::YesNoCancel);
    const auto button = [](MessageDialog *d, const char *name) { return d->findChild<QPushButton *>(name); };

    // Yes shows the OK picture and Close the No picture, as the templates are prepared.
    QCOMPARE(picture(button(three, "Btn_Oui")->icon()), drawn(QStyle::SP_DialogOkButton));
    QCOMPARE(picture(button(three, "Btn_Non")->icon()), drawn(QStyle::SP_DialogNoButton));
    QCOMPARE(picture(button(three, "Btn_Annuler")->icon()), drawn(QStyle::SP_DialogCancelButton));
    for (DialogKind kind : {DialogKind::Error, DialogKind::Ok, DialogKind::TransmissionOk}) {
        QPushButton *close = button(asker.dialog(kind), "Btn_Fermer");
        QCOMPARE(picture(close->icon()), drawn(QStyle::SP_DialogNoButton));
        QVERIFY(!close->isFlat());
    }
}

void TestMessageDialogs::multiLineTextsShowTheirLines_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("table separator LF CR") << QStringLiteral("one\n\rtwo\n\rthree") << "one\ntwo\nthree";
    QTest::newRow("design CR LF, leading") << QStringLiteral("\r\nDo you want to save the message ?")
                                            << "\nDo you want to save the message ?";
    QTest::newRow("one line") << "String not found" << "String not found";
}

void TestMessageDialogs::multiLineTextsShowTheirLines()
{
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QWidget window;
    DialogAsker asker(&window);
    MessageDialog *d = asker.dialog(DialogKind::Ok);
    pressWhenShown(d, QStringLiteral("Btn_Fermer"));
    asker.ask(DialogKind::Ok, stored);
    QCOMPARE(d->text(), shown);
}

QTEST_MAIN(TestMessageDialogs)
#include "tst_messagedialogs.moc"
