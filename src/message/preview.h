#pragma once
// The preview: the message as a contact of the destination books receives it,
// its subject personalised and its body written as a page for the preview
// window. PreviewRecipients steps through those contacts, book after book in
// the order of the destination list, each book in name order; it starts on
// the first contact of the first book.

#include "texts/asker.h"
#include "store/contactrecord.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

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

class PreviewRecipients {
public:
    // Reads the ids of the books' contacts; a book that cannot be read is
    // left out, and told through asker with the store's reason.
    PreviewRecipients(store::AddressBookStore &store, const QStringList &books, texts::Asker &asker);

    [[nodiscard]] int count() const { return int(m_entries.size()); }
    [[nodiscard]] int position() const { return m_position; } // 0-based
    // One contact forward or back; false at either end.
    bool next();
    bool previous();
    // The contact at the position with its book's labels; a record of empty
    // values when the books hold no contact or it cannot be read.
    [[nodiscard]] store::ContactRecord current() const;

private:
    struct Entry {
        int book;
        qint64 id;
    };
    store::AddressBookStore &m_store;
    QStringList m_books;
    std::vector<store::ContactRecord> m_labels; // by book
    std::vector<Entry> m_entries;
    int m_position = 0;
};

// What the preview window shows for one contact.
struct PreviewPage {
    QString path;      // the page written, "" when it could not be
    QString subject;   // personalised as it is sent
    QString recipient; // "first name name <address>"
};
[[nodiscard]] PreviewPage writePreview(const MessageDocument &message, const store::ContactRecord &contact);

// Without destination books shows the notice and returns "". Otherwise writes
// "temp.htm" in the temporary folder and returns its path.
[[nodiscard]] QString buildPreview(const MessageDocument &message, store::AddressBookStore &store, texts::Asker &ask);

} // namespace kirvane::message
