#pragma once
// The desktop program's start-up, in its fixed order: the single-instance
// guard, the splash, the data module, the main window, the other windows, the
// import window last, the language pass, then the event loop.

#include <QString>

class QApplication;

namespace kirvane {

struct StartOptions {
    QString home;       // --home; empty: the usual data folder
    bool splash = true; // --no-splash turns the start-up picture off
};

// The text a second copy shows before it ends.
inline constexpr const char *kAlreadyRunning = "Kirvane est dejà en cours de fonctionnement";

// Runs the program; returns its exit status.
int runDesktop(QApplication &app, const StartOptions &options);

} // namespace kirvane
