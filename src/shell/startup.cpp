#include "shell/startup.h"

#include "import/legacyfoldermigration.h"
#include "import/widgets/importwizard.h"
#include "mail/pop3client.h"
#include "mail/smtpclient.h"
#include "contacts/widgets/contactsview.h"
#include "contacts/widgets/directoryview.h"
#include "import/widgets/exportcommand.h"
#include "message/widgets/messageeditorview.h"
#include "sending/widgets/historyframe.h"
#include "sending/widgets/sendingwindows.h"
#include "shell/singleinstance.h"
#include "shell/splashscreen.h"
#include "shell/languagepass.h"
#include "shell/logging.h"
#include "shell/mainwindow.h"
#include "common/folders.h"
#include "store/addressbookstore.h"
#include "subscriptions/widgets/syncdialog.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QMessageBox>
#include <QThread>
#include <QTimer>


namespace kirvane::shell {

using namespace kirvane::common;
using namespace kirvane::store;
using namespace kirvane::texts;
using namespace kirvane::ui;

namespace {
constexpr int kSplashMs = 3000;
}

bool createImportWindow(MainWindow &form, const std::function<bool()> &create)
{
    if (create && create())
        return true;
    form.asker().inform(QString::fromUtf8(kImportDriversMissing));
    form.disableImport();
    return false;
}

void connectBookTransfers(contacts::DirectoryView &directory, const BookFiles &files, BookTransfers &transfers)
{
    directory.importInto = [&transfers](const QString &book) {
        if (transfers.importWindow)
            transfers.importWindow->importInto(book);
    };
    directory.exportBook = [&directory, &files, &transfers](const QString &book) {
        if (transfers.asker)
            import::exportWithDialog(&directory, files, book, *transfers.asker);
    };
}

import::MigrationReport migrateLegacyFolder(const QString &dataFolder)
{
    import::MigrationReport report;
    import::LegacyFolderMigration migration(dataFolder);
    if (!migration.needed())
        return report;
    std::unique_ptr<QThread> worker(QThread::create([&] { report = migration.run(); }));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    if (!worker->isFinished())
        loop.exec();
    worker->wait();
    return report;
}

void tellMigration(MainWindow &form, const import::MigrationReport &report)
{
    const QString notice = import::noticeText(report, ActiveLanguage);
    if (!notice.isEmpty())
        form.asker().inform(notice);
    for (const QString &failure : import::failureTexts(report, ActiveLanguage))
        form.asker().inform(failure);
}

int runDesktop(QApplication &app, const StartOptions &options)
{
    QApplication::setApplicationName(QStringLiteral("Kirvane"));
    QApplication::setApplicationDisplayName(QStringLiteral("Kirvane"));

    setDataFolder(resolveDataFolder(options.home));
    const auto failed = [](const QString &error) {
        qCCritical(lcShell).noquote() << error;
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
        qCWarning(lcShell).noquote() << text;
        guard.notifyRunning();
        QMessageBox::warning(nullptr, QStringLiteral("Kirvane"), text);
        return 0;
    }

    QString error;
    if (!BookFiles::ensureDataFolder(dataFolder(), &error))
        return failed(error);

    SplashScreen splash;
    if (options.splash) {
        splash.showCentred();
        splash.wait(kSplashMs);
    }
    // Tables of the earlier format are brought across before the store opens
    // a book, while the splash stays up.
    const import::MigrationReport migrated = migrateLegacyFolder(dataFolder());

    // The data module first, the main window second.
    AddressBookStore store;
    // The mail clients the sending run and the synchronisation share; they
    // outlive every window that uses them.
    mail::Pop3Client pop;
    mail::SmtpClient smtp;
    MainViews views;
    auto *editor = new message::MessageEditorView(&store);
    views.message = editor;
    views.history = new sending::HistoryFrame(store, editor);
    views.contact = new contacts::ContactsView(&store);
    auto *directory = new contacts::DirectoryView(&store);
    BookTransfers transfers;
    connectBookTransfers(*directory, store.files(), transfers);
    views.directory = directory;
    MainWindow form(&store, views);
    transfers.asker = &form.asker();
    QObject::connect(&guard, &SingleInstance::raiseRequested, &form, &MainWindow::bringToFront);
    QObject::connect(&form, &MainWindow::quitRequested, &app, [] { QCoreApplication::exit(0); });
    sending::SendingWindows sendingWindows(store, editor->document(), form.asker(), &form);
    sendingWindows.connectCommands(form);
    auto *sync = new subscriptions::SyncDialog(store, pop, smtp, form.asker(), &form);
    form.provide(QStringLiteral("Synchroniser1"), [sync] { sync->synchronise(); });
    // The windows of the other subsystems are created here, each once, and
    // the import window last, through createImportWindow().
    createImportWindow(form, [&] {
        transfers.importWindow = new import::ImportWizard(store.files(), form.asker(), &form);
        return true;
    });

    splash.close();

    LanguagePass translator;
    translator.add(QStringLiteral("Form1"), [&form](int language) { form.applyLanguage(language); });
    translator.add(QStringLiteral("Sending"), [&sendingWindows](int language) { sendingWindows.applyLanguage(language); });
    translator.add(QStringLiteral("Dialogue_synchronisation"), [sync](int language) { sync->applyLanguage(language); });
    if (transfers.importWindow)
        translator.add(QStringLiteral("TF_importation_multi_format"),
                       [&transfers](int language) { transfers.importWindow->applyLanguage(language); });
    translator.apply();

    form.show();
    if (!options.message.isEmpty()) {
        form.showView(3);
        views.message->openMessageFile(options.message);
    }
    QTimer::singleShot(0, &form, [&form, &migrated] { tellMigration(form, migrated); });
    // A run that a crash cut short is offered once the window is there.
    QTimer::singleShot(0, &sendingWindows, &sending::SendingWindows::offerCrashedRuns);
    return app.exec();
}

} // namespace kirvane::shell
