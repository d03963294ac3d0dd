#pragma once
// The preview: the prepared body personalised with the first contact (in name
// order) of the first destination book, written as a page for the preview
// window. The subject is neither personalised nor shown.

#include "texts/asker.h"
#include "store/contactrecord.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace kirvane::store {
class AddressBookStore;
}

namespace kirvane::message {

class MessageDocument;

// Reads the first contact of book in name order (the current book stays as it is);
// an empty book gives a record of empty values. nullopt when the book cannot
// be opened.
[[nodiscard]] std::optional<store::ContactRecord> firstContactOf(store::AddressBookStore &store, const QString &book);

// The preview's lines for a contact.
[[nodiscard]] QStringList previewLines(const MessageDocument &message, const store::ContactRecord &contact);

// Without destination books shows the notice and returns "". Otherwise writes
// "temp.htm" in the temporary folder and returns its path.
[[nodiscard]] QString buildPreview(const MessageDocument &message, store::AddressBookStore &store, texts::Asker &ask);

} // namespace kirvane::message
