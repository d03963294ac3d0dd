#pragma once
// The Search window: one text to look for. "Valider" hands the text to the
// message view, which searches and closes the window (an empty text does
// nothing and keeps it open); "Annuler" closes it. Shown window-modal and
// reused; the text stays for the next time and for "Next".

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kirvane::message {

class FindDialog : public QDialog {
    Q_OBJECT
public:
    explicit FindDialog(QWidget *parent = nullptr);

    [[nodiscard]] QString text() const;
    void applyLanguage(int language);

Q_SIGNALS:
    void searchRequested(const QString &text);

private:
    QLabel *m_label;
    QLineEdit *m_text;
    QPushButton *m_ok;
    QPushButton *m_cancel;
};

} // namespace kirvane::message
