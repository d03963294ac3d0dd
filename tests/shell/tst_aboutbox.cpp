// The about box: the version shown, and the update command that hands over
// to an updater lying in the program's folder.

#include "sending/sendingrun.h"
#include "shell/aboutdialog.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace kirvane::shell;
using namespace kirvane::ui;

class TestAboutBox : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void showsTheVersion();
    void update_data();
    void update();
};

void TestAboutBox::showsTheVersion()
{
    AboutDialog box(QStringLiteral("/nonexistent"), QStringLiteral(KIRVANE_VERSION));
    QCOMPARE(box.findChild<QLabel *>("Label_version")->text(), QStringLiteral(KIRVANE_VERSION));
    box.applyLanguage(2);
    QCOMPARE(box.findChild<QPushButton *>("Btn_Fermer")->text(), QStringLiteral("Close"));
    QCOMPARE(box.findChild<QPushButton *>("btn_Mettre_a_jour")->text(), QStringLiteral("Update"));
    // The publisher in the language applied, and the one web address of the
    // product, which every message sent names too.
    QStringList shown;
    for (const QLabel *l : box.findChildren<QLabel *>())
        shown << l->text();
    QVERIFY2(shown.contains(QStringLiteral("Publisher and developer: the Kirvane project")), qPrintable(shown.join(u'|')));
    const QString site = box.findChild<QLabel *>("Label_site")->text();
    QVERIFY2(site.contains(QStringLiteral(">https://kirvane.example.org/<")), qPrintable(site));
    QCOMPARE(kirvane::sending::SendingRun::mailerName(), QStringLiteral("Kirvane https://kirvane.example.org/"));
}

void TestAboutBox::update_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<bool>("executable");
    QTest::addColumn<bool>("mayEnd");
    QTest::addColumn<bool>("started");
    QTest::newRow("no updater: nothing") << false << false << true << false;
    QTest::newRow("updater not executable: nothing") << true << false << true << false;
    QTest::newRow("updater: started, program ends") << true << true << true << true;
    QTest::newRow("updater, ending refused: nothing") << true << true << false << false;
}

void TestAboutBox::update()
{
    QFETCH(bool, present);
    QFETCH(bool, executable);
    QFETCH(bool, mayEnd);
    QFETCH(bool, started);

    QTemporaryDir folder;
    if (present) {
        QFile updater(folder.filePath(QStringLiteral("updater")));
        QVERIFY(updater.open(QIODevice::WriteOnly));
        updater.write("#!/bin/sh\n");
        updater.close();
        if (executable)
            updater.setPermissions(updater.permissions() | QFile::ExeOwner);
    }
    AboutDialog box(folder.path(), QStringLiteral("1.2.3"));
    QStringList calls;
    box.startProgram = [&calls](const QString &program, const QStringList &arguments) {
        calls << program << arguments;
        return true;
    };
    box.mayEnd = [mayEnd] { return mayEnd; };
    QSignalSpy ended(&box, &AboutDialog::updaterStarted);

    box.show();
    auto *button = box.findChild<QPushButton *>("btn_Mettre_a_jour");
    QCOMPARE(button->isEnabled(), present && executable);
    box.startUpdater();

    QCOMPARE(ended.count(), started ? 1 : 0);
    if (started)
        QCOMPARE(calls, (QStringList{folder.filePath("updater"), AboutDialog::kProductId, "1.2.3"}));
    else
        QVERIFY(calls.isEmpty());
}

QTEST_MAIN(TestAboutBox)
#include "tst_aboutbox.moc"
