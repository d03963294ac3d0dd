#pragma once
// MainWindow: the main window. It shows the tool-bar frame, one of the four views
// and the menu bar of that view, routes every command to the view or shell
// operation that carries it out, and asks the closing questions. It holds no
// business logic: views do the work, the window only shows state and forwards
// acts.

#include "texts/asker.h"
#include "texts/texttable.h"
#include "ui/views.h"

#include <QHash>
#include <QMainWindow>
#include <QUrl>

#include <array>
#include <functional>
#include <memory>

class QMenu;
class QMenuBar;

namespace kirvane::ui {
class DialogAsker;
}
namespace kirvane::store {
class AddressBookStore;
}

namespace kirvane::shell {

class HtmlContextMenuFilter;
class AboutDialog;
class ToolBarFrame;
struct CommandRow;

// The views of the main window; a view left null is shown as an empty view.
struct MainViews {
    ui::ContactsViewFrame *contact = nullptr;
    ui::DirectoryViewFrame *directory = nullptr;
    ui::MessageViewFrame *message = nullptr;
    ui::HistoryViewFrame *history = nullptr;
};

class MainWindow : public QMainWindow, public ui::Commands {
    Q_OBJECT
public:
    using Views = MainViews;

    // store may be null (then no database folder is set); with asker null the
    // window asks through its own message dialogs.
    explicit MainWindow(store::AddressBookStore *store, Views views = {}, texts::Asker *asker = nullptr, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Commands.
    void provide(const QString &name, std::function<void()> op) override;
    [[nodiscard]] QAction *action(const QString &name) const override;

    // Shows view 1 (contacts) to 4 (history) with its menu bar, frame and tool
    // bar; any other number changes nothing.
    void showView(int view) override;
    [[nodiscard]] int currentView() const { return m_view; }

    // The error dialog with the text of code ("" for a code not in the table).
    void showError(int code);

    // A contact form opened for input / saved or abandoned: the tool-bar frame
    // and the contacts view's Tools and Configuration menus are disabled while
    // it is open.
    void enterContactEditing();
    void leaveContactEditing();
    [[nodiscard]] bool contactBeingEdited() const;

    // Searches the message view's visible editor from the end of its selection;
    // the position found or -1.
    int findNext(const QString &text);

    // The view buttons' operations.
    void showContactsView();
    void showDirectoryView();
    void showMessageView();
    void showHistoryView();

    // The message-view find commands.
    void findInMessage();
    void findNextInMessage();
    void replaceInMessage();

    void help();
    void about();

    // The closing questions; true when the window may close.
    bool confirmClose();
    // The first activation: empty contact form, book list, size, view 1.
    void firstActivation();

    // Import cannot work on this machine: its commands stay disabled.
    void disableImport();

    // Captions, hints and the window's own texts from the text table.
    void applyLanguage(int language);
    // Texts the window shows in its own dialogs, in the language applied.
    [[nodiscard]] QString archiveErrorText() const;
    [[nodiscard]] QString editorNeededText() const;
    [[nodiscard]] QString notFoundText() const;

    // Brings the window to the front, restoring it when minimised.
    void bringToFront();

    [[nodiscard]] texts::Asker &asker() const override { return *m_asker; }
    [[nodiscard]] ToolBarFrame *menuFrame() const { return m_menuFrame; }
    [[nodiscard]] ui::ContactsViewFrame *contactView() const { return m_views.contact; }
    [[nodiscard]] ui::DirectoryViewFrame *directoryView() const { return m_views.directory; }
    [[nodiscard]] ui::MessageViewFrame *messageView() const { return m_views.message; }
    [[nodiscard]] ui::HistoryViewFrame *historyView() const { return m_views.history; }
    [[nodiscard]] QMenuBar *mainMenu(int view) const { return m_menuBars[view - 1]; }
    [[nodiscard]] AboutDialog *aboutBox() const { return m_about; }
    // The help page this program ships.
    [[nodiscard]] static QString helpFile();

    // How a file or address is opened with the desktop's viewer (tests replace it).
    std::function<bool(const QUrl &)> openUrl;

Q_SIGNALS:
    // The quit command, or the about box's update: end the program at once.
    void quitRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildActions();
    void buildMenus();
    void runShellOp(const CommandRow &row);
    void editAction(const char *method);
    void updateEnabled();
    [[nodiscard]] QWidget *viewFrame(int view) const;

    struct Command {
        const CommandRow *row = nullptr;
        QAction *action = nullptr;
        bool provided = false;
    };

    store::AddressBookStore *m_store = nullptr;
    Views m_views;
    std::unique_ptr<ui::DialogAsker> m_ownAsker;
    texts::Asker *m_asker = nullptr;
    HtmlContextMenuFilter *m_htmlFilter = nullptr;
    ToolBarFrame *m_menuFrame = nullptr;
    AboutDialog *m_about = nullptr;
    std::array<QMenuBar *, 4> m_menuBars{};
    QHash<QString, Command> m_commands;
    QList<QMenu *> m_menus;
    int m_view = 1;
    int m_language = texts::French;
    bool m_activated = false;
    bool m_importDisabled = false;
    bool m_noMessageView = false; // no message view yet: no find or replace
};

} // namespace kirvane::shell
