#include "ui/buttonlook.h"

#include "texts/texttable.h"

#include <QAbstractButton>
#include <QIcon>
#include <QPushButton>
#include <QStyle>

namespace kirvane::ui {

using namespace kirvane::texts;

namespace {
using namespace kirvane::texts;

// The picture of a role: the desktop's icon where it has one, else one the
// style draws itself, so that a bare machine shows a picture too.
QIcon rolePicture(int roleEntry, const QStyle *style)
{
    const auto themed = [style](const char *name, QStyle::StandardPixmap drawn) {
        return QIcon::fromTheme(QString::fromLatin1(name), style->standardIcon(drawn));
    };
    switch (roleEntry) {
    case ButtonOk:
    case ButtonYes: // prepared from the OK template
        return style->standardIcon(QStyle::SP_DialogOkButton);
    case ButtonNo:
    case ButtonClose: // prepared from the No template
        return style->standardIcon(QStyle::SP_DialogNoButton);
    case ButtonCancel:
        return style->standardIcon(QStyle::SP_DialogCancelButton);
    case ButtonAdd:
        return themed("list-add", QStyle::SP_FileDialogNewFolder);
    case ButtonDelete:
    case RemoveThisContact:
    case RemoveOtherOccurrences:
        return themed("edit-delete", QStyle::SP_TrashIcon);
    case ButtonSend:
        return themed("mail-send", QStyle::SP_ArrowRight);
    case ButtonSave:
        return style->standardIcon(QStyle::SP_DialogSaveButton);
    case ButtonStopAndSave:
    case PauseStopAndSave:
        return style->standardIcon(QStyle::SP_MediaStop);
    case ReplaceAll:
        return themed("edit-find-replace", QStyle::SP_BrowserReload);
    case ButtonPrevious:
        return style->standardIcon(QStyle::SP_ArrowBack);
    case ButtonNext:
        return style->standardIcon(QStyle::SP_ArrowForward);
    case ButtonImport:
        return themed("document-import", QStyle::SP_DialogOpenButton);
    case ButtonUpdate:
        return themed("system-software-update", QStyle::SP_BrowserReload);
    default:
        return {};
    }
}
} // namespace

void copyLook(QAbstractButton *button, int roleEntry, int language)
{
    button->setText(text(roleEntry, language));
    const QIcon picture = rolePicture(roleEntry, button->style());
    if (!picture.isNull())
        button->setIcon(picture);
    if (auto *push = qobject_cast<QPushButton *>(button))
        push->setFlat(false);
}

} // namespace kirvane::ui
