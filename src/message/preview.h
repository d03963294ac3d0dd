#pragma once
// The preview: the prepared body personalised with the first contact (in name
// order) of the first destination book, written as a page for the preview
// window. The subject is neither personalised nor shown.

#include "store/contact.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace kirvane {
class Tbase;
}

namespace kirvane::message {

class MessageDocument;
class MessageQuestions;

// Opens book as the current book (name order) and reads its first contact;
// an empty book gives a record of empty values. nullopt when the book cannot
// be opened.
[[nodiscard]] std::optional<T_contact> firstContactOf(Tbase &store, const QString &book);

// The preview's lines for a contact.
[[nodiscard]] QStringList previewLines(const MessageDocument &message, const T_contact &contact);

// Without destination books shows the notice and returns "". Otherwise writes
// "temp.htm" in the temporary folder and returns its path.
[[nodiscard]] QString buildPreview(const MessageDocument &message, Tbase &store, MessageQuestions &ask);

} // namespace kirvane::message
