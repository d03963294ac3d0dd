#include "message/widgets/rememberedstate.h"

#include "common/folders.h"
#include "common/inifile.h"

#include <QDir>
#include <QFileInfo>

using namespace kirvane::common;

namespace kirvane::message::remembered {

namespace {
const QString kSection = QStringLiteral("Message");

QString statePath() { return dataFolder() + QStringLiteral("interface.ini"); }
} // namespace

QString value(const QString &key) { return IniFile(statePath()).value(kSection, key); }

void setValue(const QString &key, const QString &value)
{
    IniFile ini(statePath());
    if (ini.value(kSection, key) == value)
        return;
    ini.setValue(kSection, key, value);
    (void)ini.save(statePath());
}

QString folder(const QString &key)
{
    const QString f = value(key);
    return !f.isEmpty() && QFileInfo(f).isDir() ? f : QString();
}

void setFolderOf(const QString &key, const QString &chosenPath)
{
    if (!chosenPath.isEmpty())
        setValue(key, QFileInfo(chosenPath).absolutePath());
}

QSize size(const QString &key)
{
    const QStringList parts = value(key).split(u'x');
    if (parts.size() != 2)
        return {};
    return QSize(parts[0].toInt(), parts[1].toInt());
}

void setSize(const QString &key, QSize size)
{
    if (size.isValid())
        setValue(key, QStringLiteral("%1x%2").arg(size.width()).arg(size.height()));
}

} // namespace kirvane::message::remembered
