#pragma once
// The mapping dialog of the import wizard (objectName TF_dialogue_csv_clk_col):
// the contact fields to choose from for one column, "Inutilisé" first. Every
// opening selects the first entry; a double click is "Valider".

#include <QDialog>

class QLabel;
class QListWidget;
class QPushButton;

namespace kirvane::import {

class ColumnChoiceDialog : public QDialog {
    Q_OBJECT
public:
    explicit ColumnChoiceDialog(QWidget *parent = nullptr);

    void applyLanguage(int language);
    // The field chosen (kUnused for "Inutilisé"), or kNotIdentified when the
    // dialog was cancelled. Shows the dialog modally.
    int choose();

    [[nodiscard]] QListWidget *list() const { return m_list; }

private:
    QLabel *m_label = nullptr;
    QListWidget *m_list = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
};

} // namespace kirvane::import
