#include "message/widgets/htmlview.h"
#include "shell/application.h"
#include "shell/startup.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Kirvane: personalised e-mail newsletters to your address books."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and quit."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the version and quit."));
    const QCommandLineOption home(QStringLiteral("home"), QStringLiteral("Use DIR as the data folder."),
                                  QStringLiteral("DIR"));
    const QCommandLineOption noSplash(QStringLiteral("no-splash"), QStringLiteral("Start without the start-up picture."));
    parser.addOptions({help, version, home, noSplash});
    parser.addPositionalArgument(QStringLiteral("FILE.MNL"), QStringLiteral("A saved message to open in the message view."),
                                 QStringLiteral("[FILE.MNL]"));
    // Help and version are answered before any window system is asked for,
    // so that they work without a display.
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "kirvane: %s\n", qPrintable(parser.errorText()));
        return 1;
    }
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("kirvane %s\n", KIRVANE_VERSION);
        return 0;
    }

    // The HTML area's engine wants its scheme and settings before the application exists.
    kirvane::message::HtmlView::prepareProcess();
    kirvane::shell::Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kirvane"));
    QApplication::setApplicationVersion(QStringLiteral(KIRVANE_VERSION));

    kirvane::shell::StartOptions options;
    options.home = parser.value(home);
    options.splash = !parser.isSet(noSplash);
    if (!parser.positionalArguments().isEmpty())
        options.message = QFileInfo(parser.positionalArguments().first()).absoluteFilePath();
    return kirvane::shell::runDesktop(app, options);
}
