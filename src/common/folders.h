#pragma once
// Where the program's data lives, and the small file and folder operations that
// several subsystems share. Every path below is built by appending to the data
// folder.

#include <QString>
#include <QStringList>

namespace kirvane::common {

// The data folder chosen for this run: the explicit one (--home), else
// KIRVANE_HOME, else the executable's folder when it holds "Annuaires", else
// ~/.local/share/kirvane. Returned with a trailing '/'.
[[nodiscard]] QString resolveDataFolder(const QString &explicitHome = QString());

// The data folder in force, with a trailing '/'. setDataFolder is called once at
// start-up (and by tests).
void setDataFolder(const QString &folder);
[[nodiscard]] QString dataFolder();

// Fixed places inside the data folder, each with a trailing '/'.
[[nodiscard]] QString booksFolder();       // Annuaires/
[[nodiscard]] QString historyFolder();     // historique/
[[nodiscard]] QString savedFolder();       // Sauvegardes/
[[nodiscard]] QString stoppedFolder();     // EnvoisStoppés/

// The user's private folder for working files (mode 0700, owned by the user),
// with a trailing '/'. Created on first use; honours TMPDIR.
[[nodiscard]] QString tempFolder();

// "temp": tempFolder(); "ACT": the current directory; "WIN" and "SYS": the
// system's configuration folder (/etc/) and library folder; any other kind: "".
[[nodiscard]] QString specialFolder(const QString &kind);

// The existing entry of folder whose name equals name without regard to letter
// case (an exact match wins); when none exists, folder + name.
[[nodiscard]] QString findNoCase(const QString &folder, const QString &name);

// Names (without path) of the regular files of folder.
[[nodiscard]] QStringList listFiles(const QString &folder);

// Copies every regular file of source to targetPrefix + its name; with
// failIfExists an existing target is left alone. Failures are ignored.
void copyFolderFiles(const QString &source, const QString &targetPrefix, bool failIfExists);

// Removes path: a file, a symbolic link (as a link), or a folder with
// everything below it. No link is ever followed: the walk goes through
// folders opened with O_NOFOLLOW, so an entry swapped for a link while it
// runs is removed as a link too, and nothing outside path is touched. path
// must lie inside within (the data folder, the temporary folder), links of
// both resolved; anything else is refused and left as it is. True when
// nothing is left at path (a path that did not exist included); false with
// the reason in *error otherwise.
[[nodiscard]] bool removeFolderTree(const QString &path, const QString &within, QString *error = nullptr);

// Why a text cannot be the name of an address book, whose files are
// an_<name>.db and an_<name>.ini directly inside the books folder.
enum class BookNameFault {
    None,
    Empty,
    Characters, // one of \ / : * ? " ' < > |
    LineBreak,  // a line break or another control character
    Dots,       // ".." anywhere
};
// The check of a name given to a book: create, the copy's name, a new name.
[[nodiscard]] BookNameFault bookNameCheck(QStringView name);
// The check of a name by which an existing book is reached, made wherever a
// book's path is built: the same rule, except that of the forbidden
// characters only \ and / are refused. A book that an earlier rename or
// copy named "o'neil" stays reachable (opened, copied, renamed, deleted);
// no name leaves the books folder.
[[nodiscard]] BookNameFault existingBookNameCheck(QStringView name);
// The fault in a few English words ("the name is empty"); "" for None.
[[nodiscard]] QString bookNameFaultText(BookNameFault fault);

// Creates folder and its missing parents; true when it exists afterwards.
bool makeFolder(const QString &folder);

} // namespace kirvane::common
