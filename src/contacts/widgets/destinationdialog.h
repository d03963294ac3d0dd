#pragma once
// The destination chooser of Copy and Move (Form_Dir_Dest): every book by
// name, the current one included. Copy lets several be chosen, Move one.
// "Valider" closes only when an entry is selected.

#include <QDialog>
#include <QStringList>

class QListWidget;
class QPushButton;

namespace kirvane::contacts {

class DestinationDialog : public QDialog {
    Q_OBJECT
public:
    explicit DestinationDialog(QWidget *parent = nullptr);

    // The chosen books in list order; empty when cancelled.
    QStringList choose(const QStringList &books, bool several);
    void applyLanguage(int language);

private:
    QListWidget *m_list;
    QPushButton *m_ok;
    QPushButton *m_cancel;
};

} // namespace kirvane::contacts
