#pragma once
// What the search and duplicate windows ask of the contacts view: show a
// contact found (choose its book, open it, show the contact and select its
// row), reopen a book after a deletion, and the book the view has chosen.
// The contacts view fills one in and opens the windows with it.

#include <QString>

#include <functional>

namespace kirvane::contacts {

struct ContactsViewHook {
    std::function<void(const QString &book, qint64 id)> showContact;
    std::function<void(const QString &book)> reopenBook;
    std::function<QString()> chosenBook;
};

} // namespace kirvane::contacts
