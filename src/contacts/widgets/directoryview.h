#pragma once
// DirectoryView: the address-books view of the main window. A list of the
// books (Dir_List) and the details of the selected one (its name, number of
// contacts and four free-field labels); the book commands of the view's menu
// and tool bar open their dialogs and hand the answers to DirectoryCommands.
//
// Import, export and synchronisation belong to other subsystems: the shell
// sets their handlers, and a command whose handler is not set stays disabled.

#include "contacts/directorycommands.h"
#include "ui/views.h"

#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QListWidget;

namespace kirvane::store {
class AddressBookStore;
}

namespace kirvane::contacts {

class BookNameDialog;
class DeleteBookDialog;
class FieldLabelsDialog;

class DirectoryView : public ui::DirectoryViewFrame {
    Q_OBJECT
public:
    explicit DirectoryView(store::AddressBookStore *store, QWidget *parent = nullptr);
    ~DirectoryView() override;

    void connectCommands(ui::Commands &commands) override;
    void applyLanguage(int language) override;
    void reloadBooks() override;

    // Set before the main window is built; each receives the selected book
    // (import, export) or nothing (synchronisation).
    std::function<void(const QString &book)> importInto;
    std::function<void(const QString &book)> exportBook;
    std::function<void()> synchronise;

    // The selected book, or a null string.
    [[nodiscard]] QString selectedBook() const;

    void createBook();
    void duplicateBook();
    void renameBook();
    void renameFields();
    void deleteBook();

private:
    void showDetails();
    void clearDetails();
    void reloadAndSelect(const QString &book);
    void setBookName(const QString &name);

    store::AddressBookStore *m_store;
    texts::Asker *m_asker = nullptr;
    std::unique_ptr<DirectoryCommands> m_commands;
    int m_language = 1;

    QListWidget *m_list;
    QLabel *m_listHeading;
    QLabel *m_detailsHeading;
    QLabel *m_header;     // Label8: shows E_nom_base
    QLineEdit *m_nameEdit; // E_nom_base, hidden
    QLabel *m_countLabel;
    QLineEdit *m_count;
    QLabel *m_labelNames[4];
    QLineEdit *m_labels[4];

    FieldLabelsDialog *m_newDialog;
    BookNameDialog *m_copyDialog;
    BookNameDialog *m_renameDialog;
    FieldLabelsDialog *m_fieldsDialog;
    DeleteBookDialog *m_deleteDialog;
};

} // namespace kirvane::contacts
