#include "message/preview.h"

#include "message/htmlbody.h"
#include "message/messagedocument.h"
#include "message/messagetexts.h"
#include "message/placeholders.h"
#include "message/textlines.h"
#include "common/folders.h"
#include "store/addressbookstore.h"
#include "texts/texttable.h"

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

PreviewRecipients::PreviewRecipients(AddressBookStore &store, const QStringList &books, texts::Asker &asker)
    : m_store(store), m_books(books)
{
    for (int b = 0; b < m_books.size(); ++b) {
        ContactRecord labels = emptyContact();
        try {
            readLabels(store.files().labelPath(m_books[b]), labels);
            BookScan scan = store.contacts().scan(m_books[b]);
            while (scan.next())
                m_entries.push_back({b, scan.id()});
        } catch (const StoreError &e) {
            asker.ask(DialogKind::Error, text(BookDamaged).arg(m_books[b], QString::fromStdString(e.what())));
        }
        m_labels.push_back(labels);
    }
}

bool PreviewRecipients::next()
{
    if (m_position + 1 >= count())
        return false;
    ++m_position;
    return true;
}

bool PreviewRecipients::previous()
{
    if (m_position <= 0)
        return false;
    --m_position;
    return true;
}

ContactRecord PreviewRecipients::current() const
{
    if (m_entries.empty())
        return m_labels.empty() ? emptyContact() : m_labels.front();
    const Entry &e = m_entries[size_t(m_position)];
    ContactRecord c = m_labels[size_t(e.book)];
    try {
        m_store.contacts().readContact(e.id, m_books[e.book], c);
    } catch (const StoreError &) {
        return m_labels[size_t(e.book)];
    }
    return c;
}

PreviewPage writePreview(const MessageDocument &message, const ContactRecord &contact)
{
    PreviewPage p;
    p.subject = personalise(message.subject(), contact);
    const QString name = (contact[F_prenom].value + u' ' + contact[F_nom].value).trimmed();
    const QString &email = contact[F_email].value;
    p.recipient = email.isEmpty() ? name : name.isEmpty() ? email : name + QStringLiteral(" <") + email + u'>';
    const QString page = tempFolder() + QStringLiteral("temp.htm");
    if (writePageFile(page, previewLines(message, contact)))
        p.path = page;
    return p;
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
