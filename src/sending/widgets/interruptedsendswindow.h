#pragma once
// The list of interrupted sends (objectName
// "Dialogue_choix_message_continu_envoi"): the user's stopped runs (the .MNS
// archives of the stopped sends' folder, the pause snapshot left out), each
// with its subject, the day it stopped, the book and place where it goes on
// and how many contacts remain; refilled on every showing. "Envoyer" resumes
// the one chosen, "Supprimer" deletes it after the question of the window
// "Dialogue_suppression_envoi_interrompu".

#include <QDialog>

class QTreeWidget;
class QPushButton;

namespace kirvane::store {
class BookFiles;
}
namespace kirvane::ui {
class MessageDialog;
}

namespace kirvane::sending {

class InterruptedSendsWindow : public QDialog {
    Q_OBJECT
public:
    // files: the books, to count what remains (none: no counts).
    explicit InterruptedSendsWindow(QWidget *parent = nullptr, const store::BookFiles *files = nullptr);
    void applyLanguage(int language);
    void refresh();

Q_SIGNALS:
    // The archive to resume; the window has closed.
    void resumeRequested(const QString &path);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void sendSelected();
    void deleteSelected();

    const store::BookFiles *m_files = nullptr;
    QTreeWidget *m_list = nullptr;
    QPushButton *m_send = nullptr;
    QPushButton *m_delete = nullptr;
    QPushButton *m_close = nullptr;
    ui::MessageDialog *m_deleteQuestion = nullptr;
    int m_language = 1;
};

} // namespace kirvane::sending
