#include "shell/startup.h"

#include "message/widgets/messageeditorview.h"
#include "sending/widgets/sendingwindows.h"
#include "shell/singleinstance.h"
#include "shell/splash.h"
#include "shell/tf_traduction.h"
#include "shell/tform1.h"
#include "store/folders.h"
#include "store/tbase.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>

namespace kirvane {

namespace {
constexpr int kSplashMs = 3000;
}

bool createImportWindow(TForm1 &form, const std::function<bool()> &create)
{
    if (create && create())
        return true;
    form.asker().inform(QString::fromUtf8(kImportDriversMissing));
    form.disableImport();
    return false;
}

int runDesktop(QApplication &app, const StartOptions &options)
{
    QApplication::setApplicationName(QStringLiteral("Kirvane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Kirvane"));

    setDataFolder(resolveDataFolder(options.home));
    const auto failed = [](const QString &error) {
        std::fprintf(stderr, "kirvane: %s\n", qPrintable(error));
        QMessageBox::critical(nullptr, QStringLiteral("Kirvane"), error);
        return 1;
    };
    // The folder itself first, so that every copy names it the same way
    // (its real path) when it asks for the lock.
    if (!QDir().mkpath(dataFolder()))
        return failed(QStringLiteral("cannot create the data folder %1").arg(dataFolder()));

    // Checked before anything is shown or written: a second copy has nothing
    // to start, and two copies started at once never fill a new folder together.
    SingleInstance guard(dataFolder());
    if (!guard.acquire()) {
        const QString text = QString::fromUtf8(kAlreadyRunning);
        std::fprintf(stderr, "kirvane: %s\n", text.toLocal8Bit().constData());
        guard.notifyRunning();
        QMessageBox::warning(nullptr, QStringLiteral("Kirvane"), text);
        return 0;
    }

    QString error;
    if (!Tbase::EnsureDataFolder(dataFolder(), &error))
        return failed(error);

    Tf_splashscreen_uk splash;
    if (options.splash) {
        splash.showCentred();
        splash.wait(kSplashMs);
    }

    // The data module first, the main window second.
    Tbase base;
    MainViews views;
    auto *messageView = new message::MessageEditorView(&base);
    views.message = messageView;
    TForm1 form(&base, views);
    QObject::connect(&guard, &SingleInstance::raiseRequested, &form, &TForm1::bringToFront);
    QObject::connect(&form, &TForm1::quitRequested, &app, [] { QCoreApplication::exit(0); });
    sending::SendingWindows sendingWindows(base, messageView->document(), form.asker(), &form);
    sendingWindows.connectCommands(form);
    // The windows of the other subsystems are created here, each once, and
    // the import window last, through createImportWindow(); until the import
    // subsystem provides that window its commands stay disabled, without a
    // warning about readers that were never looked for.

    splash.close();

    TF_traduction translator;
    translator.add(QStringLiteral("Form1"), [&form](int language) { form.applyLanguage(language); });
    translator.add(QStringLiteral("Sending"), [&sendingWindows](int language) { sendingWindows.applyLanguage(language); });
    translator.apply();

    form.show();
    // A run that a crash cut short is offered once the window is there.
    QTimer::singleShot(0, &sendingWindows, &sending::SendingWindows::offerCrashedRuns);
    return app.exec();
}

} // namespace kirvane
