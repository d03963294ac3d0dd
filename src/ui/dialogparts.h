#pragma once
// The parts the small windows are built of: a button or a label found by its
// objectName, the row of buttons at a window's foot, right aligned, and what
// is chosen in a list.
//
//     m_ok = ui::namedButton("Btn_valider", this);
//     m_cancel = ui::namedButton("Btn_annuler", this);
//     layout->addLayout(ui::buttonRow({m_ok, m_cancel}, m_ok));

#include <QStringList>

#include <initializer_list>

class QHBoxLayout;
class QLabel;
class QListWidget;
class QPushButton;
class QWidget;

namespace kirvane::ui {

[[nodiscard]] QPushButton *namedButton(const char *objectName, QWidget *parent);
[[nodiscard]] QLabel *namedLabel(const char *objectName, QWidget *parent);

// The buttons in a row, right aligned; defaultButton, when given, is the one
// Enter presses.
[[nodiscard]] QHBoxLayout *buttonRow(std::initializer_list<QPushButton *> buttons,
                                     QPushButton *defaultButton = nullptr);

// The texts of the selected entries of list in the list's order (selectedItems()
// gives them in the order the user picked them).
[[nodiscard]] QStringList selectedTexts(const QListWidget &list);

} // namespace kirvane::ui
