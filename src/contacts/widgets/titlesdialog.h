#pragma once
// The titles list dialog (Dialogue_ajouter_titre): the titles of titre.ini in
// ListBox1, a title typed in eNom added, the selected ones deleted; "Valider"
// writes the list back, "Annuler" leaves the file alone.

#include "contacts/titlelist.h"

#include <QDialog>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace kirvane::contacts {

class TitlesDialog : public QDialog {
    Q_OBJECT
public:
    explicit TitlesDialog(QWidget *parent = nullptr);

    // Fills the list from file and shows the dialog; true when the list was
    // written back ("Valider").
    bool edit(const TitleList &file);
    void applyLanguage(int language);

    [[nodiscard]] QStringList titles() const;

private:
    void addTitle();
    void removeSelected();

    QListWidget *m_list;
    QLineEdit *m_name;
    QPushButton *m_add;
    QPushButton *m_remove;
    QPushButton *m_ok;
    QPushButton *m_cancel;
};

} // namespace kirvane::contacts
