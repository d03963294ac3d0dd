#include "common/inifile.h"

#include "common/filewriter.h"
#include "common/smallfile.h"
#include "common/textcodec.h"

namespace kirvane::common {

namespace {

bool isSectionLine(const QString &line, QString *name = nullptr)
{
    const QString t = line.trimmed();
    if (!t.startsWith(u'[') || !t.contains(u']'))
        return false;
    if (name)
        *name = t.mid(1, t.indexOf(u']') - 1).trimmed();
    return true;
}

bool keyOf(const QString &line, QString *key)
{
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(u';') || t.startsWith(u'#') || t.startsWith(u'['))
        return false;
    const int eq = t.indexOf(u'=');
    if (eq < 0)
        return false;
    *key = t.left(eq).trimmed();
    return true;
}

} // namespace

bool IniFile::load(const QString &path, QString *error)
{
    m_path = path;
    m_lines.clear();
    QByteArray bytes;
    if (!readSmallFile(path, kSettingsFileLimit, &bytes, error))
        return false;
    setText(decodeLegacyText(bytes));
    return true;
}

void IniFile::setText(const QString &text)
{
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(u'\r', u'\n');
    m_lines = t.split(u'\n');
    if (!m_lines.isEmpty() && m_lines.last().isEmpty())
        m_lines.removeLast();
}

QString IniFile::text() const
{
    QString out;
    for (const QString &l : m_lines) {
        out += l;
        out += QLatin1String("\r\n");
    }
    return out;
}

bool IniFile::save(const QString &path, QString *error) const
{
    if (path.isEmpty())
        return false;
    return replaceTextFile(path, text(), FileAccess::Shared, error);
}

int IniFile::findSection(const QString &section) const
{
    QString name;
    for (int i = 0; i < m_lines.size(); ++i)
        if (isSectionLine(m_lines[i], &name) && name.compare(section, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int IniFile::sectionEnd(int sectionLine) const
{
    int i = sectionLine + 1;
    while (i < m_lines.size() && !isSectionLine(m_lines[i]))
        ++i;
    return i;
}

int IniFile::findKey(int sectionLine, const QString &key) const
{
    const int end = sectionEnd(sectionLine);
    QString k;
    for (int i = sectionLine + 1; i < end; ++i)
        if (keyOf(m_lines[i], &k) && k.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString IniFile::value(const QString &section, const QString &key, const QString &fallback) const
{
    const int s = findSection(section);
    if (s < 0)
        return fallback;
    const int k = findKey(s, key);
    if (k < 0)
        return fallback;
    const QString &line = m_lines[k];
    QString v = line.mid(line.indexOf(u'=') + 1).trimmed();
    if (v.size() >= 2 && v.startsWith(u'"') && v.endsWith(u'"'))
        v = v.mid(1, v.size() - 2);
    return v;
}

bool IniFile::contains(const QString &section, const QString &key) const
{
    const int s = findSection(section);
    return s >= 0 && findKey(s, key) >= 0;
}

void IniFile::setValue(const QString &section, const QString &key, const QString &value)
{
    // A line break would split the entry; INI has no escape for it.
    QString v = value;
    v.replace(QLatin1String("\r\n"), QLatin1String(" "));
    v.replace(u'\n', u' ');
    v.replace(u'\r', u' ');
    const QString line = key + u'=' + v;
    int s = findSection(section);
    if (s < 0) {
        if (!m_lines.isEmpty() && !m_lines.last().trimmed().isEmpty())
            m_lines.append(QString());
        m_lines.append(u'[' + section + u']');
        m_lines.append(line);
        return;
    }
    const int k = findKey(s, key);
    if (k >= 0) {
        m_lines[k] = line;
        return;
    }
    // Append after the section's last non-blank line.
    int end = sectionEnd(s);
    while (end > s + 1 && m_lines[end - 1].trimmed().isEmpty())
        --end;
    m_lines.insert(end, line);
}

void IniFile::removeKey(const QString &section, const QString &key)
{
    const int s = findSection(section);
    if (s < 0)
        return;
    const int k = findKey(s, key);
    if (k >= 0)
        m_lines.removeAt(k);
}

QStringList IniFile::sections() const
{
    QStringList out;
    QString name;
    for (const QString &l : m_lines)
        if (isSectionLine(l, &name))
            out << name;
    return out;
}

QStringList IniFile::keys(const QString &section) const
{
    QStringList out;
    const int s = findSection(section);
    if (s < 0)
        return out;
    const int end = sectionEnd(s);
    QString k;
    for (int i = s + 1; i < end; ++i)
        if (keyOf(m_lines[i], &k))
            out << k;
    return out;
}

} // namespace kirvane::common
