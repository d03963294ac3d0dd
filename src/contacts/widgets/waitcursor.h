#pragma once
// The hourglass cursor for as long as the object lives: shown while a book is
// opened or read and during the commands on several contacts.

#include <QApplication>

namespace kirvane::contacts {

struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace kirvane::contacts
