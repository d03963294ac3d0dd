#pragma once
// Every text file of ours (label files, INI files, titre.ini, config.ini,
// message texts) is replaced whole or not at all: the new content goes to a
// new file beside the old one, is flushed to the disk and checked, and only
// then renamed over the old file. On a full disk, a size limit or any other
// failure the old file stays as it was, nothing is left beside it, and the
// caller gets the system's reason.

#include <QByteArray>
#include <QString>

namespace kirvane::common {

enum class FileAccess {
    Shared,  // an existing file keeps its mode; a new one gets 0666 less the umask
    Private, // 0600: the file holds passwords
};

// Writes all of bytes to the open file descriptor fd, going on after a
// signal; false with errno set.
[[nodiscard]] bool writeAll(int fd, const QByteArray &bytes);

// Replaces the file at path with bytes. False with the system's reason in error.
[[nodiscard]] bool replaceFile(const QString &path, const QByteArray &bytes, FileAccess access = FileAccess::Shared,
                               QString *error = nullptr);

// Replaces the file at path with text as encodeLegacyText writes it (with a
// byte-order mark when the text goes as UTF-8).
[[nodiscard]] bool replaceTextFile(const QString &path, QStringView text, FileAccess access = FileAccess::Shared,
                                   QString *error = nullptr);

} // namespace kirvane::common
