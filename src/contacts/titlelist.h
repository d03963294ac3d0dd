#pragma once
// TitleList: the titles a contact's title is chosen from, kept one per line in
// titre.ini in the data folder (Windows-1252, or UTF-8 with its mark for
// titles that do not fit). A missing file is an empty list. The contacts
// view reads it whenever a record is shown and whenever editing starts; the
// titles dialog and kirvane-cli titles change it.

#include <QString>
#include <QStringList>

namespace kirvane::contacts {

class TitleList {
public:
    // titre.ini in the data folder.
    [[nodiscard]] static QString defaultPath();

    explicit TitleList(QString path = defaultPath()) : m_path(std::move(path)) {}

    // Reads the file; a missing or unreadable file gives an empty list.
    [[nodiscard]] QStringList load() const;
    // Writes titles, one per line; false when the file could not be written.
    [[nodiscard]] bool save(const QStringList &titles) const;

    // Appends title unless it is empty or the list holds it already (letter
    // case ignored); true when appended.
    static bool add(QStringList &titles, const QString &title);
    // The choices shown for a contact whose title is current: the list, and
    // current itself at the end when it is not empty and not in the list, so
    // that an edit that leaves the title alone keeps it.
    [[nodiscard]] static QStringList choicesFor(const QStringList &titles, const QString &current);
    // Index in titles of the entry equal to title ignoring letter case, or -1.
    [[nodiscard]] static int indexOf(const QStringList &titles, const QString &title);

    [[nodiscard]] const QString &path() const { return m_path; }

private:
    QString m_path;
};

} // namespace kirvane::contacts
