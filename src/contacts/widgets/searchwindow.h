#pragma once
// SearchWindow (TF_rechercher): finds contacts whose name, first name,
// company, e-mail address or town equal the texts typed, in the books ticked,
// and opens or deletes a contact found. Closing it with its close box or by
// opening a contact keeps the books, ticks and texts, and the next opening
// searches again; "Annuler" empties them.

#include "contacts/contactsearch.h"
#include "contacts/widgets/contactsviewhook.h"
#include "contacts/widgets/windowparts.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QTreeWidget;

namespace kirvane::store {
class AddressBookStore;
}
namespace kirvane::texts {
class Asker;
}

namespace kirvane::contacts {

class SearchWindow : public QDialog {
    Q_OBJECT
public:
    // A book that cannot be read or written is told through asker, with the reason.
    SearchWindow(store::AddressBookStore &store, texts::Asker &asker, ContactsViewHook hook, QWidget *parent = nullptr);

    void applyLanguage(int language);
    void search();           // Btn_Valider
    void openSelected();     // btn_voir_contact, double click
    void deleteSelected();   // SpeedButton3
    void cancelAndClose();   // Btn_Annuler

protected:
    void showEvent(QShowEvent *event) override;

private:
    void addRow(const SearchHit &hit);

    store::AddressBookStore &m_store;
    texts::Asker &m_asker;
    ContactsViewHook m_hook;
    ContactSearch m_search;
    int m_language;

    QLabel *m_detailsHeading, *m_noResult;
    BookTickList *m_books;
    QToolButton *m_delete;
    QLineEdit *m_edits[5];
    QLabel *m_editLabels[5];
    QTreeWidget *m_results;
    QPushButton *m_ok, *m_cancel;
    QToolButton *m_open;
};

// Opens the contacts view's search window, made on first use as a child of parent.
SearchWindow *openSearchWindow(store::AddressBookStore &store, texts::Asker &asker, const ContactsViewHook &hook,
                               QWidget *parent);

} // namespace kirvane::contacts
