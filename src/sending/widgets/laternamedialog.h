#pragma once
// The name of an interrupted send (objectName "Dialogue_msg_envoi_ulterieur"):
// an entry field holding the subject, all selected, and one button; there is
// no cancel, a name is always taken.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kirvane::sending {

class LaterNameDialog : public QDialog {
    Q_OBJECT
public:
    explicit LaterNameDialog(QWidget *parent = nullptr);
    void applyLanguage(int language);
    // Shows the dialog modally with proposal and returns the name typed.
    QString askName(const QString &proposal);

protected:
    void reject() override; // Escape and the title bar do not cancel

private:
    QLabel *m_text = nullptr;
    QLineEdit *m_name = nullptr;
    QPushButton *m_ok = nullptr;
};

} // namespace kirvane::sending
