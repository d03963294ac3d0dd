#pragma once
// Every text the message subsystem shows to the user, in English (the set the
// program applies at start-up). Kept in one place so that the interface-text
// table of the shell can take them over as a whole.

#include <QString>

namespace kirvane::message::texts {

inline QString deleteMessageInProgress() { return QStringLiteral("Do you want to delete the message in progress?"); }
inline QString loseAttributes() { return QStringLiteral("You will lose the attributes of your texte. Do you want to pass in plain text?"); }
inline QString loseMessage() { return QStringLiteral("You go to lose your message. Do want you to continue?"); }
inline QString uniqueNames() { return QStringLiteral("Caution the names of the pictures or attached files must be unique ."); }
inline QString overwriteFile() { return QStringLiteral("Do you want to crush the existing file?"); }
inline QString backupError() { return QStringLiteral("Error during the backup"); }
inline QString corruptMessage() { return QStringLiteral("The selected message is corrupt, or is not a message saved with Kirvane"); }
inline QString saveMessageOnQuit() { return QStringLiteral("\r\nDo you want to save the message ?"); }
inline QString missingImages()
{
    return QStringLiteral("Caution the picture included in the message must be in the same repertory that this one, "
                          "and should not contain space, or %20 in their name.\r\nYou should check your HTML file.");
}
inline QString previewWithoutBooks() { return QStringLiteral("You must add a directory to preview the mail."); }
inline QString findNeedsSourceMode() { return QStringLiteral("For find or replace, u should be on source mode"); }
inline QString stringNotFound() { return QStringLiteral("String not found"); }
inline QString fillBothFields() { return QStringLiteral("You must fill the two fields"); }
inline QString previewCaption() { return QStringLiteral("Preview of the message"); }
inline QString destinationChooserCaption() { return QStringLiteral("Directories of the recipients"); }
inline QString exclusionChooserCaption() { return QStringLiteral("Directories of excluded"); }

} // namespace kirvane::message::texts
