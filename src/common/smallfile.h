#pragma once
// Reading a small file whole (settings, a private key, certificates) from a
// path a user typed or a file holds: only a regular file is read (a link is
// followed to what it names, so a link to /dev/zero is a device and refused),
// a FIFO is refused without waiting for a writer, and a file larger than the
// limit is refused instead of being read into memory.

#include <QByteArray>
#include <QString>

namespace kirvane::common {

inline constexpr qint64 kSettingsFileLimit = 4 * 1024 * 1024; // INI files
inline constexpr qint64 kKeyFileLimit = 1024 * 1024;          // a PEM private key
inline constexpr qint64 kCertificateFileLimit = 16 * 1024 * 1024; // a CA bundle

// The bytes of path in *bytes; false with the reason in *error ("no such
// file", "not a regular file", "larger than N bytes", the system's reason).
[[nodiscard]] bool readSmallFile(const QString &path, qint64 limit, QByteArray *bytes, QString *error = nullptr);

} // namespace kirvane::common
