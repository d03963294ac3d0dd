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

// Texts of the message subsystem that the program's table has no entry for.
inline QString inLanguage(const char16_t *french, const char16_t *english)
{
    return QString::fromUtf16(tr::ActiveLanguage == tr::French ? french : english);
}
inline QString imageOutsideFolder(const QString &image)
{
    return inLanguage(u"L'image %1 est un lien vers un fichier hors du répertoire de la page : elle ne peut pas être incluse dans le message.",
                      u"The picture %1 is a link to a file outside the page's folder: it cannot be included in the message.")
        .arg(image);
}
inline QString imageNameRefused(const QString &image)
{
    return inLanguage(u"L'image %1 ne peut pas être incluse sous ce nom : il ne doit différer d'un autre que par les majuscules, ni finir par 1.dat à 7.dat, .MNL ou .MNS. Renommez-la.",
                      u"The picture %1 cannot be included under this name: it must not differ from another one only in capitals, nor end in 1.dat to 7.dat, .MNL or .MNS. Please rename it.")
        .arg(image);
}

} // namespace kirvane::message::messageTexts
