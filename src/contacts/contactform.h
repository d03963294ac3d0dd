#pragma once
// Rules of the contact form that do not need its widgets: which fields take
// the apostrophe rule, how a free-field label too wide for its place is
// shortened, and the field captions the form and the printed page share.

#include "store/contactrecord.h"

#include <QString>

#include <functional>

namespace kirvane::contacts {

// The right single quotation mark that replaces a typed apostrophe.
inline constexpr QChar kRightQuote = QChar(0x2019);

// True for the single-line fields whose apostrophes are replaced: every one
// but the id, the title, the notes, and the e-mail and web addresses (an
// address with its apostrophe changed names another mailbox or page).
[[nodiscard]] bool takesApostropheRule(int field);
// Replaces the apostrophes of those fields; true when any was replaced.
bool replaceApostrophes(store::ContactRecord &contact);

// The text a free-field label shows in a place width wide, where textWidth
// measures a text: the text itself when it fits, else the longest prefix at
// least two characters shorter than the text that, followed by ".", is
// narrower than width (the bare "." when none is).
[[nodiscard]] QString elideLabel(const QString &text, int width, const std::function<int(const QString &)> &textWidth);

// The caption of a field of the form (Nom, Prénom ... Email) in language,
// empty for the id, the second address line, the title, the notes and the
// free fields, whose captions come from elsewhere.
[[nodiscard]] QString fieldCaption(int field, int language);

// The form's maximum length of a field; 0 for none (the id, the notes).
[[nodiscard]] int maxLength(int field);

} // namespace kirvane::contacts
