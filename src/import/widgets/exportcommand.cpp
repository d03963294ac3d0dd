#include "import/widgets/exportcommand.h"

#include "import/csvexport.h"
#include "store/database.h"
#include "texts/asker.h"
#include "texts/texttable.h"

#include <QFileDialog>

namespace kirvane::import {

bool exportWithDialog(QWidget *parent, const store::BookFiles &files, const QString &book, texts::Asker &asker,
                      const std::function<QString()> &chooseFile)
{
    if (book.isEmpty()) {
        asker.inform(texts::text(texts::SelectABook));
        return false;
    }
    QString path;
    if (chooseFile) {
        path = chooseFile();
    } else {
        QFileDialog dialog(parent);
        dialog.setObjectName(QStringLiteral("sd_exporter_csv"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(texts::text(texts::CsvFileFilter));
        dialog.setDefaultSuffix(QStringLiteral("csv"));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            path = dialog.selectedFiles().first();
    }
    if (path.isEmpty())
        return false;
    try {
        if (const QString note = exportNote(exportBook(files, book, path)); !note.isEmpty())
            asker.inform(note);
    } catch (const store::StoreError &e) {
        asker.ask(texts::DialogKind::Error, QString::fromStdString(e.what()));
        return false;
    }
    return true;
}

} // namespace kirvane::import
