#pragma once
// Runs the desktop program as it starts, on a data folder of the test's, and
// drives it from inside its event loop: the test's steps run once the loop
// turns, a timer answers what the program shows meanwhile, and the program
// ends when the steps are done. What the steps could not catch, and what
// reached the application object, come back for the test to check.

#include "message/widgets/htmlview.h"
#include "shell/application.h"
#include "shell/startup.h"

#include <QApplication>
#include <QTest>
#include <QWidget>
#include <QTimer>

#include <exception>
#include <functional>

// The visible window of that objectName, or null.
inline QWidget *visibleWindow(const char *objectName)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->objectName() == QLatin1String(objectName))
            return w;
    return nullptr;
}

// The child of that objectName (null, said on the log, when there is none).
template <typename T>
T *child(QObject *parent, const char *name)
{
    T *c = parent ? parent->findChild<T *>(QString::fromLatin1(name)) : nullptr;
    if (!c)
        qWarning("no %s", name);
    return c;
}

struct DesktopRun {
    int status = -1;
    QString escaped;     // an exception that left the steps
    QStringList uncaught; // what reached the application object
};

inline DesktopRun runDesktopDriven(const QString &home, const std::function<void()> &answer,
                                   const std::function<void()> &steps)
{
    auto *app = static_cast<kirvane::shell::Application *>(QCoreApplication::instance());
    DesktopRun run;
    app->showUncaught = [&run](const QString &text) { run.uncaught << text; };
    QTimer answers;
    QObject::connect(&answers, &QTimer::timeout, answer);
    answers.start(20);
    QTimer::singleShot(0, [&] {
        try {
            steps();
        } catch (const std::exception &e) {
            run.escaped = QString::fromUtf8(e.what());
        }
        QCoreApplication::exit(0);
    });
    kirvane::shell::StartOptions options;
    options.home = home;
    options.splash = false;
    run.status = kirvane::shell::runDesktop(*app, options);
    app->showUncaught = nullptr;
    return run;
}

// main() of a test that runs the desktop program: its application object
// and the HTML engine's process settings.
#define KIRVANE_DESKTOP_TEST_MAIN(TestClass)                                                                           \
    int main(int argc, char *argv[])                                                                                   \
    {                                                                                                                  \
        qunsetenv("DISPLAY");                                                                                          \
        kirvane::message::HtmlView::prepareProcess();                                                                  \
        kirvane::shell::Application app(argc, argv);                                                                   \
        TestClass test;                                                                                                \
        return QTest::qExec(&test, argc, argv);                                                                        \
    }
