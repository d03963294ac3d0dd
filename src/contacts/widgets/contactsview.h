#pragma once
// ContactsView: the contacts view of the main window. The book chooser
// (List_annuaire), the grid of the chosen book's contacts (DBGrid1, read a
// page at a time from the store's model), and the edit panel of one contact.
// The commands of the view's menu and tool bar check their guards, ask their
// questions and save through ContactCommands; the view shows the outcome and
// the row to go back to.
//
// Two states: browsing, the fields read-only and every command on; editing
// (Add, Modify), the fields open, Save and Cancel shown, the book chooser,
// the grid, the tool bar and the Tools and Configuration menus off.

#include "contacts/contactcommands.h"
#include "contacts/titlelist.h"
#include "store/contactrecord.h"
#include "ui/views.h"

#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QWidget;

namespace kirvane::store {
class AddressBookStore;
}

namespace kirvane::contacts {

class DestinationDialog;
class DuplicatesWindow;
class SearchWindow;
class TitlesDialog;

class ContactsView : public ui::ContactsViewFrame {
    Q_OBJECT
public:
    explicit ContactsView(store::AddressBookStore *store, QWidget *parent = nullptr);
    ~ContactsView() override;

    void connectCommands(ui::Commands &commands) override;
    void applyLanguage(int language) override;
    bool clearForm() override;
    // Lists the books again and keeps showing the chosen one; a book made
    // since the last listing, or the only book, becomes the chosen one.
    void reloadBooks() override;
    void detachGrid() override;
    void saveContact() override;

    // Shows the printed page; by default in a print preview from which the
    // user prints or saves a PDF. Tests replace it.
    std::function<void(const QString &html)> showPrintPage;

    [[nodiscard]] bool isEditing() const { return m_editing; }
    // The form's record as the controls hold it (labels from the current book).
    [[nodiscard]] store::ContactRecord formRecord() const;

    void chooseBook(const QString &book);
    void addContact();
    void modifyContact();
    void copyContacts();
    void moveContacts();
    void deleteContacts();
    void printContacts();
    void editTitles();
    void cancelEditing();
    // For the search and duplicate windows: choose the book (its name
    // compared without regard to case), open it, and show contact id with
    // its row selected; nothing while a contact is being edited.
    void showFoundContact(const QString &book, qint64 id);
    // Chooses and opens book again, so that contacts deleted elsewhere go.
    void reopenBook(const QString &book);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildForm(QWidget *panel);
    void setEditing(bool editing);
    void showRecord(const store::ContactRecord &record);
    void showCurrentRow();
    void emptyFields();
    void loadTitles(const QString &current, bool chooseCurrent);
    void refreshFreeLabels();
    void goToId(qint64 id);
    void setDescending(bool descending);
    void updateHeader();
    [[nodiscard]] bool bookChosen() const;
    [[nodiscard]] QList<qint64> selectedIds() const;
    [[nodiscard]] int selectedCount() const;
    static void printPreview(const QString &html, QWidget *parent);
    // The error dialog for a book that cannot be read (a damaged file).
    void sayUnreadable(const QString &book, const QString &reason);

    store::AddressBookStore *m_store;
    texts::Asker *m_asker = nullptr;
    std::unique_ptr<ContactCommands> m_commands;
    TitleList m_titleFile;
    int m_language = 1;
    bool m_editing = false;
    bool m_adding = false;
    bool m_descending = false;
    bool m_attached = false;
    // The books as last listed, to tell a book made since.
    std::optional<QStringList> m_knownBooks; // the books when the list was last read

    QWidget *m_leftPanel;
    QLabel *m_booksHeading;
    QComboBox *m_books;
    QLabel *m_membersHeading;
    QTableView *m_grid;
    QObject *m_gridModel = nullptr; // the proxy that blanks the heading

    QLabel *m_header; // Label15
    QLineEdit *m_id;
    std::array<QLineEdit *, store::kContactFields> m_edits{}; // null for id, title, notes
    std::array<QLabel *, store::kContactFields> m_labels{};
    QComboBox *m_title;
    QPlainTextEdit *m_notes;
    QLabel *m_freeLabels[4];
    QPushButton *m_save;
    QPushButton *m_cancel;
    QPushButton *m_titlesButton;

    DestinationDialog *m_destinations;
    TitlesDialog *m_titlesDialog;
    // Made with the commands, at start-up, and kept: they remember their
    // books and criteria between openings.
    SearchWindow *m_searchWindow = nullptr;
    DuplicatesWindow *m_duplicatesWindow = nullptr;
};

} // namespace kirvane::contacts
