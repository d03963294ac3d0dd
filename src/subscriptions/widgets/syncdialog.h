#pragma once
// The window of the mailbox synchronisation: it runs one SyncJob each time it
// is opened and shows its progress. While the job runs, Cancel asks it to stop
// after the current message; once it has ended, Close replaces Cancel at the
// same place. The unsubscribe question comes up in its own Yes/No dialog; the
// job's notices go to the program's asker.
//
//     SyncDialog dialog(store, pop, smtp, asker, mainWindow);
//     dialog.synchronise();   // shows the window; the job starts 100 ms later

#include "texts/asker.h"
#include "subscriptions/syncjob.h"

#include <QDialog>

#include <memory>

class QLabel;
class QPushButton;
class QTimer;

namespace kirvane::ui {
class MessageDialog;
}

namespace kirvane::subscriptions {

class SyncDialog : public QDialog {
    Q_OBJECT
public:
    // The window's own dialog answers the unsubscribe question; every other
    // question and notice goes to asker.
    SyncDialog(store::AddressBookStore &store, mail::Pop3Client &pop, mail::SmtpClient &smtp, texts::Asker &asker, QWidget *parent = nullptr);
    ~SyncDialog() override;

    // Shows the window modally and starts the job once it is shown.
    void synchronise();
    void applyLanguage(int language);

    [[nodiscard]] SyncJob &job() { return *m_job; }
    [[nodiscard]] ui::MessageDialog *unsubscribeQuestion() const { return m_question; }

protected:
    void showEvent(QShowEvent *event) override;
    void reject() override; // Escape does not close a running job

private:
    class QuestionRouter;

    void timerFired();
    void jobFinished();

    std::unique_ptr<QuestionRouter> m_router;
    std::unique_ptr<SyncJob> m_job;
    ui::MessageDialog *m_question = nullptr;
    QLabel *m_stateLabel = nullptr;
    QLabel *m_progressLabel = nullptr;
    QLabel *m_detailLabel = nullptr;
    QPushButton *m_cancel = nullptr;
    QPushButton *m_close = nullptr;
    QTimer *m_timer = nullptr;
};

} // namespace kirvane::subscriptions
