#pragma once
// The Replace window: a text to look for and its replacement. "Valider"
// replaces the next occurrence, "Tout remplacer" every one; the message view
// carries them out and says whether the window closes. "Annuler" closes it.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kirvane::message {

class ReplaceDialog : public QDialog {
    Q_OBJECT
public:
    explicit ReplaceDialog(QWidget *parent = nullptr);

    [[nodiscard]] QString searchText() const;
    [[nodiscard]] QString replacement() const;
    void applyLanguage(int language);

Q_SIGNALS:
    void replaceRequested(const QString &text, const QString &replacement);
    void replaceAllRequested(const QString &text, const QString &replacement);

private:
    QLabel *m_searchLabel;
    QLabel *m_replaceLabel;
    QLineEdit *m_search;
    QLineEdit *m_replacement;
    QPushButton *m_ok;
    QPushButton *m_all;
    QPushButton *m_cancel;
};

} // namespace kirvane::message
