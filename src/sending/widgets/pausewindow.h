#pragma once
// The pause window (objectName "TEmporise"): shown, not modal, above the
// sending dialog while a run waits between two packets, with the time left
// before the next packet; its one button stops the run and saves it.

#include <QDeadlineTimer>
#include <QDialog>
#include <QTimer>

class QLabel;
class QPushButton;

namespace kirvane::sending {

class PauseWindow : public QDialog {
    Q_OBJECT
public:
    explicit PauseWindow(QWidget *parent = nullptr);
    void applyLanguage(int language);
    // Shows the window, counting down milliseconds to the next packet.
    void showPause(int milliseconds);
    // The countdown's text, "Next packet in 0:59".
    [[nodiscard]] QString countdownText() const;

Q_SIGNALS:
    void stopAndSaveRequested();

protected:
    void hideEvent(QHideEvent *event) override;

private:
    void updateCountdown();

    QLabel *m_text = nullptr;
    QLabel *m_countdown = nullptr;
    QTimer m_tick;
    QDeadlineTimer m_nextPacket;
    int m_language = 1;
    QPushButton *m_stop = nullptr;
};

} // namespace kirvane::sending
