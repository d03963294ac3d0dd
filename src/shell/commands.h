#pragma once
// Every command of the main window: its menu item and tool-bar button, caption,
// shortcut, hint and picture. One row is one operation, one QAction shared by
// the menu item and the button. Rows are in menu order within a menu and in
// tool-bar order within a tool bar.

#include "shell/icons.h"
#include "texts/texttable.h"

#include <span>

namespace kirvane::shell {

enum class Menu { File, Edit, Tools, Settings, Help };

// The operations the shell carries out itself; every other command is
// provided by the view that owns it (ShellOp::View).
enum class ShellOp { View, Quit, Cut, Copy, Paste, Help, About, Find, FindNext, Replace };

struct CommandRow {
    int view;               // 1 contacts, 2 address books, 3 message, 4 history
    Menu menu;
    const char *item;       // menu item name, or nullptr for a button alone
    int caption;            // text-table entry of the menu item (or button) caption
    const char *shortcut;   // portable key text, or ""
    const char *button;     // tool-bar button name, or nullptr
    int hint;               // text-table entry of the button's hint, or -1
    const char *themeIcon;
    Glyph glyph;
    ShellOp op;

    // The name the command is known by: its menu item's, else its button's.
    [[nodiscard]] const char *name() const { return item ? item : button; }
};

[[nodiscard]] std::span<const CommandRow> commandRows();

struct MenuTitle {
    Menu menu;
    int caption; // text-table entry
};
[[nodiscard]] std::span<const MenuTitle> menuTitles();

// Object name of a menu of a view's menu bar.
[[nodiscard]] QString menuName(int view, Menu menu);

} // namespace kirvane::shell
