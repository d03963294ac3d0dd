#include "contacts/titlelist.h"

#include "common/folders.h"
#include "common/textcodec.h"

#include <QFile>
#include <QSaveFile>

namespace kirvane::contacts {

QString TitleList::defaultPath()
{
    return common::findNoCase(common::dataFolder(), QStringLiteral("titre.ini"));
}

QStringList TitleList::load() const
{
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList titles;
    const QString all = common::decodeLegacyText(f.readAll());
    for (QString line : all.split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (!line.isEmpty())
            titles << line;
    }
    return titles;
}

bool TitleList::save(const QStringList &titles) const
{
    QSaveFile f(m_path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QString all;
    for (const QString &t : titles)
        all += t + QLatin1String("\r\n");
    // Windows-1252 as the file is first written, UTF-8 only for a title
    // that does not fit.
    f.write(common::encodeLegacyText(all, true).bytes);
    return f.commit();
}

int TitleList::indexOf(const QStringList &titles, const QString &title)
{
    for (int i = 0; i < titles.size(); ++i)
        if (titles[i].compare(title, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool TitleList::add(QStringList &titles, const QString &title)
{
    if (title.isEmpty() || indexOf(titles, title) >= 0)
        return false;
    titles << title;
    return true;
}

QStringList TitleList::choicesFor(const QStringList &titles, const QString &current)
{
    QStringList choices = titles;
    if (!current.isEmpty() && indexOf(titles, current) < 0)
        choices << current;
    return choices;
}

} // namespace kirvane::contacts
