#pragma once
// DirectoryCommands: the address-books view's commands without widgets. The
// view asks for the names in its own dialogs and hands them here; this class
// carries the command out through BookManager and shows its refusal or its
// numbered error through the Asker.

#include "contacts/bookmanager.h"
#include "texts/asker.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

namespace kirvane::contacts {

class DirectoryCommands {
public:
    DirectoryCommands(store::AddressBookStore &store, texts::Asker &asker)
        : m_store(store), m_asker(asker), m_books(store) {}

    void setLanguage(int language) { m_language = language; }
    [[nodiscard]] BookManager &books() { return m_books; }

    // Says, once for each, that a book file of the folder cannot be reached
    // because its name is not UTF-8 (no name given here could open it).
    void reportUnreachableBooks();

    // Every command but create needs a book chosen; false (after the notice)
    // when none is.
    bool maySelect(const QString &selected);

    struct Details {
        QStringList freeLabels; // labels 16 to 19
        int count = -1;         // -1 when the book cannot be counted (told)
    };
    [[nodiscard]] Details details(const QString &book) const;

    [[nodiscard]] QString newBookProposal() const;
    [[nodiscard]] QString copyProposal(const QString &source) const;

    // Each returns true when the command was carried out; otherwise its
    // notice or error has been shown.
    bool create(const QString &name, const QStringList &freeLabels);
    bool duplicate(const QString &source, const QString &copy);
    bool rename(const QString &oldName, const QString &newName);
    bool relabel(const QString &name, const QStringList &freeLabels);
    // Call after the user confirmed: the subscribers' book is refused here.
    bool remove(const QString &name);

private:
    bool report(const BookResult &result);

    store::AddressBookStore &m_store;
    texts::Asker &m_asker;
    BookManager m_books;
    int m_language = 2;
    QSet<QByteArray> m_reported; // the unreachable book files already told of
};

} // namespace kirvane::contacts
