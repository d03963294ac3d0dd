#pragma once
// The windows of sending, made once at start-up: the settings window, the
// sending dialog (with its pause window) and the list of interrupted sends.
// They take up the main window's commands (send, manage interrupted sends,
// the connection settings of every view) and, once the main window shows,
// offer to resume a run that a crash or a kill cut short.

#include <QObject>

class QWidget;

namespace kirvane::texts {
class Asker;
}
namespace kirvane::ui {
class Commands;
}
namespace kirvane::store {
class AddressBookStore;
}
namespace kirvane::message {
class MessageDocument;
}

namespace kirvane::sending {

class InterruptedSendsWindow;
class SendingDialog;
class SettingsWindow;

class SendingWindows : public QObject {
    Q_OBJECT
public:
    SendingWindows(store::AddressBookStore &store, message::MessageDocument &message, texts::Asker &asker, QWidget *mainWindow);
    ~SendingWindows() override;

    // Takes up the commands.
    void connectCommands(ui::Commands &commands);
    void applyLanguage(int language);
    // Turns runs left by a crash into interrupted sends and offers each; the
    // first one accepted is resumed.
    void offerCrashedRuns();

    [[nodiscard]] SettingsWindow *settingsWindow() const { return m_settings; }
    [[nodiscard]] SendingDialog *sendingDialog() const { return m_sending; }
    [[nodiscard]] InterruptedSendsWindow *interruptedSends() const { return m_interrupted; }

private:
    texts::Asker &m_asker;
    SettingsWindow *m_settings = nullptr;
    SendingDialog *m_sending = nullptr;
    InterruptedSendsWindow *m_interrupted = nullptr;
};

} // namespace kirvane::sending
