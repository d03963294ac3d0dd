#pragma once
// Pictures of the tool-bar and view buttons: the desktop's icon theme when it
// has the icon, else a picture of our own, so that every button shows one on
// a machine without any theme.

#include <QIcon>
#include <QPixmap>

namespace kirvane::shell {

enum class Glyph {
    Plus, Copy, Move, Pencil, Cross, Magnifier, Merge, Printer,
    FolderPlus, Fields, Import, Export, Refresh,
    Page, Open, Save, Resume, Envelope, Left, Right, Trash, Resend,
    Person, Books, Clock,
};

[[nodiscard]] QIcon themedIcon(const char *themeName, Glyph fallback);
// The drawn picture alone (what a bare machine shows).
[[nodiscard]] QPixmap glyphPixmap(Glyph glyph, int size);

} // namespace kirvane::shell
