#pragma once
// HistoryFrame: the history view of the main window. It shows the
// HistoryBrowser: the list of subjects in the table's order, the current
// record's subject, date, destination books, attached files and body (an
// HTML-file record's kept page in the HTML area), and forwards Previous, Next,
// Delete and Send again.

#include "sending/historybrowser.h"
#include "ui/views.h"

class QLabel;
class QListView;
class QListWidget;
class QTextEdit;

namespace kirvane::store {
class AddressBookStore;
}
namespace kirvane::message {
class HtmlView;
class MessageEditorView;
}

namespace kirvane::sending {

class HistoryFrame : public ui::HistoryViewFrame {
    Q_OBJECT
public:
    // editor: the message view, into which Send again puts a record.
    HistoryFrame(store::AddressBookStore &store, message::MessageEditorView *editor, QWidget *parent = nullptr);

    void connectCommands(ui::Commands &commands) override;
    void applyLanguage(int language) override;
    void openHistory() override;

    void previousMessage();
    void nextMessage();
    void deleteSelected();
    void sendAgain();

    [[nodiscard]] HistoryBrowser &browser() { return m_browser; }
    // Where questions go when the view is not in the main window (tests).
    void setAsker(texts::Asker *asker) { m_asker = asker; }
    // The record shown, as the view shows it.
    void showCurrent();

private:
    void selectCurrent();
    [[nodiscard]] texts::Asker &asker();

    store::AddressBookStore &m_store;
    message::MessageEditorView *m_editor;
    HistoryBrowser m_browser;
    ui::Commands *m_commands = nullptr;
    std::unique_ptr<texts::Asker> m_ownAsker;
    texts::Asker *m_asker = nullptr;

    QListView *m_list = nullptr;
    QLabel *m_subjectCaption = nullptr, *m_subject = nullptr, *m_dateCaption = nullptr, *m_date = nullptr;
    QLabel *m_booksCaption = nullptr, *m_filesCaption = nullptr, *m_textCaption = nullptr, *m_listCaption = nullptr;
    QListWidget *m_books = nullptr;
    QListWidget *m_files = nullptr;
    QLabel *m_refusedCaption = nullptr;
    QListWidget *m_refused = nullptr;
    QTextEdit *m_text = nullptr;
    message::HtmlView *m_page = nullptr;
};

} // namespace kirvane::sending
