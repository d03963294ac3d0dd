#include "message/preview.h"

#include "message/htmlbody.h"
#include "message/messagedocument.h"
#include "message/messagetexts.h"
#include "message/placeholders.h"
#include "message/textlines.h"
#include "store/folders.h"
#include "store/tbase.h"

namespace kirvane::message {

std::optional<T_contact> firstContactOf(Tbase &store, const QString &book)
{
    if (store.OpenBook(book) != 0)
        return std::nullopt;
    BookQuery *query = store.Query1();
    query->first();
    return store.ReadCurrentContact();
}

QStringList previewLines(const MessageDocument &message, const T_contact &contact)
{
    return personaliseLines(preparedBody(message, BodyPurpose::Preview), contact);
}

QString buildPreview(const MessageDocument &message, Tbase &store, MessageQuestions &ask)
{
    if (message.destinationBooks().isEmpty()) {
        ask.inform(texts::previewWithoutBooks());
        return QString();
    }
    const T_contact contact = firstContactOf(store, message.destinationBooks().first()).value_or(emptyContact());
    const QString page = tempFolder() + QStringLiteral("temp.htm");
    return writePageFile(page, previewLines(message, contact)) ? page : QString();
}

} // namespace kirvane::message
