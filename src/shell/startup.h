#pragma once
// The desktop program's start-up, in its fixed order: the single-instance
// guard, the splash, the data module, the main window, the other windows, the
// import window last, the language pass, then the event loop.

#include <QString>

#include <functional>

class QApplication;

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

// Runs the program; returns its exit status.
int runDesktop(QApplication &app, const StartOptions &options);

} // namespace kirvane::shell
