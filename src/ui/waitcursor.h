#pragma once
// The hourglass cursor for as long as the object lives: shown while a book or
// a file is opened or read and during the commands on several contacts.

#include <QApplication>

namespace kirvane::ui {

struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace kirvane::ui
