#include "message/preview.h"

#include "message/htmlbody.h"
#include "message/messagedocument.h"
#include "message/messagetexts.h"
#include "message/placeholders.h"
#include "message/textlines.h"
#include "common/folders.h"
#include "store/addressbookstore.h"

namespace kirvane::message {

using namespace kirvane::common;
using namespace kirvane::store;
using namespace kirvane::texts;

std::optional<ContactRecord> firstContactOf(AddressBookStore &store, const QString &book)
{
    // Read apart from the current book: the preview never changes the book
    // the contacts view shows.
    try {
        ContactRecord labels = emptyContact();
        readLabels(store.files().labelPath(book), labels);
        BookScan scan = store.contacts().scan(book);
        return scan.next() ? scan.record(labels) : labels;
    } catch (const StoreError &) {
        return std::nullopt;
    }
}

QStringList previewLines(const MessageDocument &message, const ContactRecord &contact)
{
    return personaliseLines(preparedBody(message, BodyPurpose::Preview), contact, bodyValueForm(message.mode()));
}

QString buildPreview(const MessageDocument &message, AddressBookStore &store, texts::Asker &ask)
{
    if (message.destinationBooks().isEmpty()) {
        ask.inform(messageTexts::previewWithoutBooks());
        return QString();
    }
    const ContactRecord contact = firstContactOf(store, message.destinationBooks().first()).value_or(emptyContact());
    const QString page = tempFolder() + QStringLiteral("temp.htm");
    return writePageFile(page, previewLines(message, contact)) ? page : QString();
}

} // namespace kirvane::message
