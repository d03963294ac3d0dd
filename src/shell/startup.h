#pragma once
// The desktop program's start-up, in its fixed order: the single-instance
// guard, the splash, the data module, the main window, the other windows, the
// import window last, the language pass, then the event loop.

#include <QString>

#include <functional>

class QApplication;

namespace kirvane::contacts {
class DirectoryView;
}
namespace kirvane::import {
class ImportWizard;
struct MigrationReport;
}
namespace kirvane::store {
class BookFiles;
}
namespace kirvane::texts {
class Asker;
}

namespace kirvane::shell {

struct StartOptions {
    QString home;       // --home; empty: the usual data folder
    bool splash = true; // --no-splash turns the start-up picture off
    QString message;    // a saved message to open in the message view
};

// The text a second copy shows before it ends.
inline constexpr const char *kAlreadyRunning = "Kirvane est dejà en cours de fonctionnement";

// The warning shown when the import window cannot be made, kept as written.
inline constexpr const char *kImportDriversMissing =
    "Some driver (ADO) needed to Kirvane to import\n\rare not found.\n\rThe importationwill desable. "
    "If u want to reactivate the importation\n\rplease get a look to the help file.";

class MainWindow;

// The last window of start-up: create() makes the import window and returns
// false when it cannot (its readers are missing). Then the warning is shown
// with an OK button and import stays disabled; start-up goes on either way.
bool createImportWindow(MainWindow &form, const std::function<bool()> &create);

// What the address-books view's Import and Export commands reach. Both are
// filled after the view's commands are connected: the import window (a child
// of the main window) last of start-up, left null when it cannot be made
// (import is disabled then); the asker once the main window exists.
struct BookTransfers {
    import::ImportWizard *importWindow = nullptr;
    texts::Asker *asker = nullptr;
};

// Sets the view's import and export hooks, before the main window connects
// its commands: Import opens transfers.importWindow for the selected book;
// Export asks for the file in the save dialog sd_exporter_csv and writes the
// book there, a failure told through transfers.asker.
void connectBookTransfers(contacts::DirectoryView &directory, const store::BookFiles &files,
                          BookTransfers &transfers);

// Brings the data folder across when it holds tables in the earlier Paradox
// format, on a worker thread while events go on (the splash stays up);
// returns once it has finished, before any window reads a book.
[[nodiscard]] import::MigrationReport migrateLegacyFolder(const QString &dataFolder);

// Tells, once the main window is shown, what the migration brought across and
// which table it could not, with the reason; nothing when it did nothing.
void tellMigration(MainWindow &form, const import::MigrationReport &report);

// Runs the program; returns its exit status.
int runDesktop(QApplication &app, const StartOptions &options);

} // namespace kirvane::shell
