#pragma once
// The texts the message subsystem shows to the user, taken from the program's
// interface-text table in the active language, under names that say where
// they are used.

#include "texts/texttable.h"

#include <QString>

namespace kirvane::message::messageTexts {

namespace tr = kirvane::texts;

inline QString deleteMessageInProgress() { return tr::text(tr::AskDeleteMessage); }
inline QString loseAttributes() { return tr::text(tr::AskLoseAttributes); }
inline QString loseMessage() { return tr::text(tr::AskLoseMessage); }
inline QString uniqueNames() { return tr::text(tr::NamesMustBeUnique); }
inline QString overwriteFile() { return tr::text(tr::AskOverwriteFile); }
inline QString backupError() { return tr::text(tr::ArchiveError); }
inline QString corruptMessage() { return tr::text(tr::CorruptMessage); }
inline QString saveMessageOnQuit() { return tr::text(tr::AskSaveMessage); }
inline QString missingImages() { return tr::text(tr::MissingImages); }
inline QString previewWithoutBooks() { return tr::text(tr::PreviewNeedsBook); }
inline QString findNeedsSourceMode() { return tr::text(tr::FindNeedsSourceMode); }
inline QString stringNotFound() { return tr::text(tr::StringNotFound); }
inline QString fillBothFields() { return tr::text(tr::FillBothFields); }
inline QString previewCaption() { return tr::text(tr::PreviewCaption); }
inline QString destinationChooserCaption() { return tr::text(tr::RecipientBooksCaption); }
inline QString exclusionChooserCaption() { return tr::text(tr::ExcludedBooksCaption); }

} // namespace kirvane::message::messageTexts
