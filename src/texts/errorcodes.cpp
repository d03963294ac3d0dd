#include "texts/errorcodes.h"

namespace kirvane::texts {

QString errorText(int code)
{
    switch (static_cast<ErrorCode>(code)) {
    case ErrorCode::ClearContactForm:
        return QStringLiteral("Impossible de vider les edit box");
    case ErrorCode::RefreshContactList:
        return QStringLiteral("Erreur en actualisant la liste des contacts");
    case ErrorCode::CreateBook:
        return QStringLiteral("Une erreur lors de l'ajout d'un nouveau annuaire");
    case ErrorCode::RenameBook:
        return QStringLiteral("Une erreur en renommant un annuaire");
    case ErrorCode::DeleteBook:
        return QStringLiteral("Une erreur lors de la suppression d'un annuaire");
    case ErrorCode::CopyBook:
        return QStringLiteral("Une erreur lors de la copie d'un annuaire");
    }
    return {};
}

} // namespace kirvane::texts
