#pragma once
// The numbered errors of book and contact operations, shown by the error
// dialog. Their texts are French whatever the interface language, so they are
// kept apart from the interface text table.

#include <QString>

namespace kirvane::texts {

enum class ErrorCode : int {
    ClearContactForm = 10,    // emptying the contact form
    RefreshContactList = 112, // reopening the current book after a copy or move
    CreateBook = 201,
    RenameBook = 202,
    DeleteBook = 203,
    CopyBook = 205,
};

// The text of an error code; empty for a code that has none.
[[nodiscard]] QString errorText(int code);
[[nodiscard]] inline QString errorText(ErrorCode code)
{
    return errorText(static_cast<int>(code));
}

} // namespace kirvane::texts
