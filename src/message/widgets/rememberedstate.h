#pragma once
// What the message view's windows remember from one run to the next: the
// folders last used by its file choosers and the preview window's size. Kept
// in "interface.ini" of the data folder, section "Message", apart from the
// settings of config.ini; a value that cannot be written is simply not
// remembered.

#include <QSize>
#include <QString>

namespace kirvane::message::remembered {

[[nodiscard]] QString value(const QString &key);
void setValue(const QString &key, const QString &value);

// A folder that still exists, or "".
[[nodiscard]] QString folder(const QString &key);
void setFolderOf(const QString &key, const QString &chosenPath);

[[nodiscard]] QSize size(const QString &key);
void setSize(const QString &key, QSize size);

} // namespace kirvane::message::remembered
