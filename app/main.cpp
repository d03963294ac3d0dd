#include "message/widgets/htmlview.h"
#include "shell/application.h"
#include "shell/startup.h"

#include <QCommandLineParser>

using namespace kirvane::shell;

int main(int argc, char *argv[])
{
    // The HTML area's engine wants its scheme and settings before the application exists.
    kirvane::message::HtmlView::prepareProcess();
    kirvane::shell::Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kirvane"));
    QApplication::setApplicationVersion(QStringLiteral(KIRVANE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Personalised e-mail newsletters to your address books."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption home(QStringLiteral("home"), QStringLiteral("Use DIR as the data folder."),
                                  QStringLiteral("DIR"));
    const QCommandLineOption noSplash(QStringLiteral("no-splash"), QStringLiteral("Start without the start-up picture."));
    parser.addOption(home);
    parser.addOption(noSplash);
    parser.process(app);

    kirvane::shell::StartOptions options;
    options.home = parser.value(home);
    options.splash = !parser.isSet(noSplash);
    return kirvane::shell::runDesktop(app, options);
}
