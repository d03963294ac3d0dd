// kirvane-cli config show|set: the connection and sending settings of
// config.ini, with the checks of the settings window's save.
#include "cli/cli.h"

#include "settings/settings.h"
#include "texts/texttable.h"
#include "common/folders.h"

using namespace kirvane::common;
using namespace kirvane::texts;

namespace kirvane::cli {

namespace {

int showConfig()
{
    settings::Settings s;
    if (QString why; !loadSettings(s, settings::settingsPath(), &why) && !why.isEmpty())
        return fail(why);
    QStringList fields;
    for (const QString &key : settings::settingsKeys()) {
        const QString value = *s.value(key);
        const bool number = key == QLatin1String("taille_paquet") || key == QLatin1String("tempo_paquet");
        fields << jsonString(key) + u':' + (number ? value : jsonString(value));
    }
    out() << u'{' << fields.join(u',') << u'}' << Qt::endl;
    return 0;
}

int setConfig(const QStringList &assignments)
{
    if (assignments.isEmpty())
        return fail(QStringLiteral("usage: config set KEY=VALUE..."));
    // A first save writes the numbers a file without them would load as.
    settings::Settings s;
    s.packetSize = settings::kDefaultPacketSize;
    s.packetPause = settings::kDefaultPacketPause;
    if (QString why; !loadSettings(s, settings::settingsPath(), &why) && !why.isEmpty())
        return fail(why);
    for (const QString &a : assignments) {
        const qsizetype eq = a.indexOf(u'=');
        if (eq <= 0)
            return fail(QStringLiteral("\"%1\" is not KEY=VALUE").arg(a));
        const QString key = a.left(eq);
        const QString value = a.mid(eq + 1);
        const QString why = settings::checkValue(key, value);
        if (!why.isEmpty())
            return fail(why);
        s.setValue(key, value);
    }
    if (const std::optional<int> refusal = settings::checkSettings(s))
        return fail(texts::lines(*refusal).join(u' ').simplified());
    if (const QString refusal = settings::checkMailSettings(s); !refusal.isEmpty())
        return fail(refusal);
    s = settings::savedForm(s);
    makeFolder(dataFolder());
    QString error;
    if (!saveSettings(s, settings::settingsPath(), &error))
        return fail(QStringLiteral("%1 cannot be written: %2").arg(settings::settingsPath(), error));
    return 0;
}

} // namespace

int runConfigCommand(QStringList args)
{
    const QString verb = args.isEmpty() ? QString() : args.takeFirst();
    if (verb == QLatin1String("show") && args.isEmpty())
        return showConfig();
    if (verb == QLatin1String("set"))
        return setConfig(args);
    return fail(QStringLiteral("usage: config show | config set KEY=VALUE..."));
}

} // namespace kirvane::cli
