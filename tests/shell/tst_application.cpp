// An error that no command catches: shown, and the program goes on.

#include "fakeviews.h"

#include "shell/application.h"
#include "shell/mainwindow.h"

#include <QAction>
#include <QTest>
#include <QTimer>

#include <stdexcept>

using namespace kirvane::shell;
using namespace kirvane::texts;
using namespace kirvane::ui;
using namespace kirvane::test;

namespace {

// A directory view whose Add command fails the way the mail components fail
// when misused.
class ThrowingDirectoryView : public DirectoryViewFrame {
public:
    void connectCommands(Commands &commands) override
    {
        commands.provide(QStringLiteral("Ajouter1"), [] { throw std::runtime_error("Not connected."); });
        commands.provide(QStringLiteral("Dupliquer1"), [] { throw 42; });
    }
};

} // namespace

class TestApplication : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void uncaughtErrorIsShownAndTheProgramGoesOn_data();
    void uncaughtErrorIsShownAndTheProgramGoesOn();
};

void TestApplication::uncaughtErrorIsShownAndTheProgramGoesOn_data()
{
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("shown");
    QTest::newRow("an error with its text") << QKeySequence("Ctrl+N") << "Not connected.";
    QTest::newRow("anything else thrown") << QKeySequence("Ctrl+D") << "Unknown error.";
}

void TestApplication::uncaughtErrorIsShownAndTheProgramGoesOn()
{
    QFETCH(QKeySequence, keys);
    QFETCH(QString, shown);
    auto *app = dynamic_cast<Application *>(qApp);
    QVERIFY(app);
    QStringList boxes;
    app->showUncaught = [&boxes](const QString &text) { boxes << text; };

    ScriptedAsker asker;
    MainWindow form(nullptr, MainViews{nullptr, new ThrowingDirectoryView, nullptr, nullptr}, &asker);
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.showView(2);

    QTest::keySequence(&form, keys);
    QCOMPARE(boxes, QStringList{shown});

    // Still running: events are delivered and the window still takes commands.
    bool fired = false;
    QTimer::singleShot(0, &form, [&fired] { fired = true; });
    QTRY_VERIFY(fired);
    QTest::keySequence(&form, keys);
    QCOMPARE(boxes.size(), 2);
    QVERIFY(form.isVisible());
}

int main(int argc, char *argv[])
{
    Application app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
