#pragma once
// The parts the small windows are built of: a button or a label found by its
// objectName, and the row of buttons at a window's foot, right aligned.
//
//     m_ok = ui::namedButton("Btn_valider", this);
//     m_cancel = ui::namedButton("Btn_annuler", this);
//     layout->addLayout(ui::buttonRow({m_ok, m_cancel}, m_ok));

#include <initializer_list>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QWidget;

namespace kirvane::ui {

[[nodiscard]] QPushButton *namedButton(const char *objectName, QWidget *parent);
[[nodiscard]] QLabel *namedLabel(const char *objectName, QWidget *parent);

// The buttons in a row, right aligned; defaultButton, when given, is the one
// Enter presses.
[[nodiscard]] QHBoxLayout *buttonRow(std::initializer_list<QPushButton *> buttons,
                                     QPushButton *defaultButton = nullptr);

} // namespace kirvane::ui
