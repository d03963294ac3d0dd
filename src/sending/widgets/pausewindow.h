#pragma once
// The pause window (objectName "TEmporise"): shown, not modal, while a run
// waits between two packets; its one button stops the run and saves it.

#include <QDialog>

class QLabel;
class QPushButton;

namespace kirvane::sending {

class PauseWindow : public QDialog {
    Q_OBJECT
public:
    explicit PauseWindow(QWidget *parent = nullptr);
    void applyLanguage(int language);

Q_SIGNALS:
    void stopAndSaveRequested();

private:
    QLabel *m_text = nullptr;
    QPushButton *m_stop = nullptr;
};

} // namespace kirvane::sending
