#pragma once
// The sending dialog (objectName "Dialogue_transmission"): the log of the
// run, its progress and the address being sent to, and the buttons "Annuler",
// "Arreter et enregistrer" and "Fermer". It owns the sending run and the pause
// window, answers the run's questions with dialogs, and is shown (modal, but
// without a nested loop) whenever a run or a resumed run starts.

#include "sending/sendingrun.h"

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace kirvane::texts {
class Asker;
}
namespace kirvane::ui {
class MessageDialog;
}

namespace kirvane::sending {

class LaterNameDialog;
class PauseWindow;

class SendingDialog : public QDialog, private RunQuestions {
    Q_OBJECT
public:
    SendingDialog(store::AddressBookStore &store, message::MessageDocument &message, texts::Asker &asker, QWidget *parent = nullptr);
    ~SendingDialog() override;

    void applyLanguage(int language);
    [[nodiscard]] SendingRun &run() { return *m_run; }
    [[nodiscard]] PauseWindow *pauseWindow() const { return m_pause; }

    // The send command and the resume command of an interrupted send.
    bool sendMessage();
    bool resumeInterrupted(const QString &path);
    // "Send a test to myself": the message once to the sender's own address,
    // on the run's connection thread; the outcome is told when it comes.
    bool sendTest();

protected:
    void reject() override; // only "Fermer" closes

private:
    // RunQuestions.
    bool askSendWithoutSubject() override;
    bool askRemoveMissingBooks(const QStringList &books) override;
    void inform(const QString &text) override;
    QString askLaterSendName(const QString &proposal) override;
    bool askReplaceInterrupted(const QString &name) override;
    bool confirmSending(const QString &subject, const RunFigures &figures) override;
    [[nodiscard]] QString stoppedAfter(int done, int total, const QString &name) const override;

    void onOpened();
    void onSegmentEnded(SendingRun::End end);
    void showRunning(bool running);
    void closeDialog();

    texts::Asker &m_asker;
    std::unique_ptr<SendingRun> m_run;
    QPlainTextEdit *m_log = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_counter = nullptr;
    QLabel *m_recipient = nullptr;
    QPushButton *m_cancel = nullptr;
    QPushButton *m_stop = nullptr;
    QPushButton *m_close = nullptr;
    PauseWindow *m_pause = nullptr;
    LaterNameDialog *m_nameDialog = nullptr;
    ui::MessageDialog *m_replaceQuestion = nullptr;
    int m_language = 1;
};

} // namespace kirvane::sending
