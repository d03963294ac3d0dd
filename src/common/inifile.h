#pragma once
// A Windows INI file kept as it stands: sections and keys are found without
// regard to letter case, unknown lines and comments survive a rewrite, and the
// file is written in Windows-1252 where every character fits (UTF-8 with a
// byte-order mark otherwise), lines ending in CR LF. QSettings is not used
// because it rewrites the layout and escapes values.

#include <QString>
#include <QStringList>

namespace kirvane::common {

class IniFile {
public:
    IniFile() = default;
    explicit IniFile(const QString &path) { load(path); }

    // Reads path; a missing or unreadable file gives an empty document. Returns
    // false when the file could not be read, with the reason in *error. Only
    // a regular file of at most kSettingsFileLimit bytes is read.
    bool load(const QString &path, QString *error = nullptr);
    // Replaces the file at path whole (see replaceFile): on failure the old
    // file stays and error gets the system's reason.
    [[nodiscard]] bool save(const QString &path, QString *error = nullptr) const;
    // Same, to the path last loaded.
    [[nodiscard]] bool save() const { return save(m_path); }

    [[nodiscard]] QString value(const QString &section, const QString &key,
                                const QString &fallback = QString()) const;
    [[nodiscard]] bool contains(const QString &section, const QString &key) const;
    void setValue(const QString &section, const QString &key, const QString &value);
    void removeKey(const QString &section, const QString &key);

    [[nodiscard]] QStringList sections() const;
    [[nodiscard]] QStringList keys(const QString &section) const;

    void setText(const QString &text);
    [[nodiscard]] QString text() const;
    [[nodiscard]] const QString &path() const { return m_path; }

private:
    // Line index of "[section]" or -1.
    int findSection(const QString &section) const;
    // Line index of "key=" inside the section starting at sectionLine, or -1.
    int findKey(int sectionLine, const QString &key) const;
    int sectionEnd(int sectionLine) const;

    QString m_path;
    QStringList m_lines;
};

} // namespace kirvane::common
