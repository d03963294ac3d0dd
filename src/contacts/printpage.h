#pragma once
// The page printed for the selected contacts: the book's name, then per
// contact its fields with their captions, the four free fields with the book's
// labels, the notes line by line and a rule. Values are escaped, so a value
// holding "<" or "&" prints as typed. The title is not printed.

#include <QList>
#include <QString>

namespace kirvane::store {
class AddressBookStore;
}

namespace kirvane::contacts {

// Lines joined by CR LF. Contacts that cannot be read (deleted meanwhile) are
// left out. Throws StoreError when the book cannot be opened.
[[nodiscard]] QString printPage(store::AddressBookStore &store, const QString &book, const QList<qint64> &ids,
                                int language);

} // namespace kirvane::contacts
