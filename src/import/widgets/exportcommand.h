#pragma once
// The address-books view's Export command: asks where to write the book with the
// save dialog sd_exporter_csv ("Fichier CSV|*.csv", the extension csv added
// when none is typed) and writes it. Nothing is shown on success; a failure
// is shown through the asker.

#include <QString>

#include <functional>

class QWidget;

namespace kirvane::store {
class BookFiles;
}
namespace kirvane::texts {
class Asker;
}

namespace kirvane::import {

// chooseFile returns the path chosen, empty when the user cancels; without
// one the save dialog is shown. An empty book shows "Vous devez sélectionner
// un annuaire.". True when the file was written.
bool exportWithDialog(QWidget *parent, const store::BookFiles &files, const QString &book, texts::Asker &asker,
                      const std::function<QString()> &chooseFile = {});

} // namespace kirvane::import
