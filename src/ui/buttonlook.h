#pragma once
// The look of a button of one role (OK, Cancel, Yes, No, Close, Add, Delete,
// Send, Save, ...): its role's picture and its caption in the language
// applied, never flat. The language pass gives every button of a window the
// look of its role, so that the same role looks the same in every window.

class QAbstractButton;

namespace kirvane::ui {

// roleEntry is the text-table entry of the role's caption
// (texts::ButtonOk, ButtonClose, ...). A Yes button shows the OK
// picture and a Close button the No picture, as the templates are prepared.
// A caption of no role gets its text alone.
void copyLook(QAbstractButton *button, int roleEntry, int language);

} // namespace kirvane::ui
