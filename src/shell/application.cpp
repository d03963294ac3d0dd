#include "shell/application.h"

#include "shell/logging.h"

#include <QMessageBox>

#include <exception>

namespace kirvane::shell {

Application::Application(int &argc, char **argv)
    : QApplication(argc, argv)
{
    showUncaught = [](const QString &text) {
        QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationDisplayName(), text);
    };
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        report(QString::fromUtf8(e.what()));
    } catch (...) {
        report(QStringLiteral("Unknown error."));
    }
    return false;
}

void Application::report(const QString &text)
{
    qCCritical(lcShell).noquote() << text;
    // An error raised while its box is up is written out only: one box at a time.
    if (m_reporting || !showUncaught)
        return;
    m_reporting = true;
    showUncaught(text);
    m_reporting = false;
}

} // namespace kirvane::shell
