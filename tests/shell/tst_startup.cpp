// The import window, last of start-up: its failure only disables import,
// after the warning.

#include "fakeviews.h"

#include "shell/startup.h"
#include "shell/mainwindow.h"

#include <QAction>
#include <QTest>
#include <QToolButton>

using namespace kirvane::shell;
using namespace kirvane::texts;
using namespace kirvane::ui;
using namespace kirvane::test;

class TestStartup : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void importWindow_data();
    void importWindow();
};

void TestStartup::importWindow_data()
{
    QTest::addColumn<bool>("made");
    QTest::newRow("made: nothing said, import works") << true;
    QTest::newRow("missing readers: warning, import disabled") << false;
}

void TestStartup::importWindow()
{
    QFETCH(bool, made);
    ScriptedAsker asker;
    auto *directory = new FakeDirectoryView;
    MainWindow form(nullptr, MainViews{nullptr, directory, nullptr, nullptr}, &asker);
    form.showView(2);

    QCOMPARE(createImportWindow(form, [made] { return made; }), made);

    QCOMPARE(asker.texts(), made ? QStringList{} : QStringList{QString::fromUtf8(kImportDriversMissing)});
    if (!made)
        QCOMPARE(asker.questions().front().kind, DialogKind::Ok);
    QCOMPARE(form.action("Importer")->isEnabled(), made);
    QCOMPARE(form.findChild<QToolButton *>("importer")->isEnabled(), made);
    // Nothing else is touched.
    QVERIFY(form.action("exporter")->isEnabled());
    QVERIFY(form.action("Synchroniser1")->isEnabled());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
