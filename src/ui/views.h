#pragma once
// The four views of the main window as the main window sees them. Each
// subsystem's view derives from one of these and overrides what it carries
// out; the defaults are those of a view that holds nothing yet. The main
// window never looks further into a view than this.

#include "texts/asker.h"

#include <QFrame>
#include <QString>

#include <functional>

class QAction;

namespace kirvane::ui {

// The main window as a view sees it: its commands, which a view takes up, and
// the few operations a view may ask of it. A command stays disabled until a
// view provides it; the main window enables it while its view is the current
// one.
class Commands {
public:
    virtual ~Commands() = default;
    // Routes the command, known by its menu item's name (or its tool-bar
    // button's name where it has no menu item), to op.
    virtual void provide(const QString &name, std::function<void()> op) = 0;
    [[nodiscard]] virtual QAction *action(const QString &name) const = 0;
    // Where the view's questions and notices go.
    [[nodiscard]] virtual texts::Asker &asker() const = 0;
    // Shows view 1 (contacts) to 4 (history), as its view button does without
    // the button's reloads.
    virtual void showView(int view) = 0;
};

class ViewFrame : public QFrame {
    Q_OBJECT
public:
    using QFrame::QFrame;
    // Called once when the main window is built: take up commands, keep what
    // the view needs of the main window.
    virtual void connectCommands(Commands & /*commands*/) {}
    // Captions in language (1 French, 2 English); called with French when
    // built and with the active language by the language pass.
    virtual void applyLanguage(int /*language*/) {}
};

class ContactsViewFrame : public ViewFrame {
    Q_OBJECT
public:
    using ViewFrame::ViewFrame;
    // Empties the contact form; false when that failed (the shell shows error 10).
    virtual bool clearForm() { return true; }
    // Refills the list of address books, none chosen.
    virtual void reloadBooks() {}
    // Leaves the contacts grid empty until a book is chosen again.
    virtual void detachGrid() {}
    // Carries out the form's save button (closing with a contact being edited).
    virtual void saveContact() {}

Q_SIGNALS:
    // A contact form was opened for input / was saved or abandoned.
    void editingStarted();
    void editingEnded();
};

class DirectoryViewFrame : public ViewFrame {
    Q_OBJECT
public:
    using ViewFrame::ViewFrame;
    virtual void reloadBooks() {}
};

class MessageViewFrame : public ViewFrame {
    Q_OBJECT
public:
    using ViewFrame::ViewFrame;
    // Back to an empty HTML-mode message.
    virtual void reset() {}
    // True when the formatted-text and the plain-text editors are both empty.
    [[nodiscard]] virtual bool messageEmpty() const { return true; }
    // Saves the message; false when it was not saved (refused or failed).
    virtual bool saveMessage() { return false; }
    // The formatted (QTextEdit) or plain (QPlainTextEdit) editor now shown, or null.
    [[nodiscard]] virtual QWidget *visibleEditor() const { return nullptr; }
    // The find dialog's search text.
    [[nodiscard]] virtual QString findText() const { return {}; }
    virtual void openFindDialog() {}
    // Opens the saved message at path (given on the command line).
    virtual void openMessageFile(const QString & /*path*/) {}
    virtual void openReplaceDialog() {}
};

class HistoryViewFrame : public ViewFrame {
    Q_OBJECT
public:
    using ViewFrame::ViewFrame;
    // Opens the history and shows its current message.
    virtual void openHistory() {}
};

// Searches editor (a QTextEdit or QPlainTextEdit) case-sensitively from the end
// of its selection; selects the occurrence and returns its position, or
// returns -1 and keeps the selection. An empty text finds nothing.
int findNextIn(QWidget *editor, const QString &text);

} // namespace kirvane::ui
