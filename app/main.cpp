#include "store/folders.h"
#include "store/tbase.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kirvane"));
    QApplication::setApplicationVersion(QStringLiteral(KIRVANE_VERSION));

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption home(QStringLiteral("home"), QStringLiteral("Data folder."), QStringLiteral("DIR"));
    parser.addOption(home);
    parser.process(app);

    kirvane::setDataFolder(kirvane::resolveDataFolder(parser.value(home)));
    QString error;
    kirvane::Tbase::EnsureDataFolder(kirvane::dataFolder(), &error);

    QMainWindow w;
    w.setWindowTitle(QStringLiteral("Kirvane"));
    w.resize(808, 574);
    w.show();
    return app.exec();
}
