#include "sending/settings.h"

#include "texts/texttable.h"
#include "common/filewriter.h"
#include "common/folders.h"
#include "common/inifile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace kirvane::sending {

using namespace kirvane::common;
using namespace kirvane::texts;

namespace {

const QString kSection = QStringLiteral("Newsletter");

// The text keys, each with its member.
struct TextKey {
    const char *key;
    QString Settings::*member;
};

constexpr TextKey kTextKeys[] = {
    {"expediteur", &Settings::senderName},     {"boite", &Settings::senderAddress},
    {"redirection", &Settings::redirection},   {"ServeurPop", &Settings::popServer},
    {"ServeurSmtp", &Settings::smtpServer},    {"login", &Settings::login},
    {"password", &Settings::password},         {"utiliserProxy", &Settings::useProxy},
    {"ProxySmtp", &Settings::smtpProxy},       {"ProxyPop", &Settings::popProxy},
    {"PortPop", &Settings::popProxyPort},      {"PortSmtp", &Settings::smtpProxyPort},
    {"available", &Settings::available},       {"paquet", &Settings::packets},
};

const QString kPacketSizeKey = QStringLiteral("taille_paquet");
const QString kPacketPauseKey = QStringLiteral("tempo_paquet");

const TextKey *textKey(const QString &key)
{
    for (const TextKey &k : kTextKeys)
        if (key.compare(QLatin1String(k.key), Qt::CaseInsensitive) == 0)
            return &k;
    return nullptr;
}

std::optional<int> readInt(const QString &text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(v) : std::nullopt;
}

} // namespace

const QStringList &settingsKeys()
{
    static const QStringList keys = [] {
        QStringList k;
        for (const TextKey &t : kTextKeys)
            k << QLatin1String(t.key);
        k << kPacketSizeKey << kPacketPauseKey;
        return k;
    }();
    return keys;
}

std::optional<QString> Settings::value(const QString &key) const
{
    if (const TextKey *k = textKey(key))
        return this->*(k->member);
    if (key.compare(kPacketSizeKey, Qt::CaseInsensitive) == 0)
        return QString::number(packetSize);
    if (key.compare(kPacketPauseKey, Qt::CaseInsensitive) == 0)
        return QString::number(packetPause);
    return std::nullopt;
}

bool Settings::setValue(const QString &key, const QString &text)
{
    if (const TextKey *k = textKey(key)) {
        this->*(k->member) = text;
        return true;
    }
    int *number = key.compare(kPacketSizeKey, Qt::CaseInsensitive) == 0    ? &packetSize
                  : key.compare(kPacketPauseKey, Qt::CaseInsensitive) == 0 ? &packetPause
                                                                           : nullptr;
    const std::optional<int> v = readInt(text);
    if (!number || !v)
        return false;
    *number = *v;
    return true;
}

QString settingsPath()
{
    return findNoCase(dataFolder(), QStringLiteral("config.ini"));
}

bool loadSettings(Settings &s, const QString &path)
{
    if (!QFileInfo::exists(path))
        return false;
    IniFile ini;
    if (!ini.load(path))
        return false; // nothing read: the record stays as it was
    for (const TextKey &k : kTextKeys)
        s.*(k.member) = ini.value(kSection, QLatin1String(k.key));
    s.packetSize = readInt(ini.value(kSection, kPacketSizeKey, QStringLiteral("80"))).value_or(kDefaultPacketSize);
    s.packetPause =
        readInt(ini.value(kSection, kPacketPauseKey, QStringLiteral("10"))).value_or(kDefaultPacketPause);
    return true;
}

bool saveSettings(const Settings &s, const QString &path, QString *error)
{
    IniFile ini;
    if (QFileInfo::exists(path) && !ini.load(path)) {
        // Writing over a file that could not be read would drop its other keys.
        if (error)
            *error = QStringLiteral("%1 cannot be read").arg(path);
        return false;
    }
    for (const QString &key : settingsKeys())
        ini.setValue(kSection, key, *s.value(key));
    return replaceTextFile(path, ini.text(), FileAccess::Private, error);
}

std::optional<int> checkSettings(const Settings &s)
{
    if (!s.senderAddress.contains(u'@'))
        return texts::SenderAddressIncorrect;
    if (s.senderName.isEmpty())
        return texts::SenderNameEmpty;
    return std::nullopt;
}

Settings savedForm(Settings s)
{
    s.useProxy = s.useProxy.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ? QStringLiteral("true")
                                                                                    : QStringLiteral("false");
    s.packets = s.packetsOn() ? QStringLiteral("true") : QStringLiteral("false");
    s.packetSize = std::clamp(s.packetSize, 1, kMaxPacketSize);
    s.packetPause = std::clamp(s.packetPause, 1, kMaxPacketPause);
    s.available = QStringLiteral("true");
    return s;
}

QString checkValue(const QString &key, const QString &text)
{
    auto inRange = [&](int low, int high) {
        const std::optional<int> v = readInt(text);
        return v && *v >= low && *v <= high ? QString()
                                            : QStringLiteral("%1 must be a number from %2 to %3")
                                                  .arg(key).arg(low).arg(high);
    };
    if (key.compare(QLatin1String("utiliserProxy"), Qt::CaseInsensitive) == 0
        || key.compare(QLatin1String("paquet"), Qt::CaseInsensitive) == 0
        || key.compare(QLatin1String("available"), Qt::CaseInsensitive) == 0) {
        return text == QLatin1String("true") || text == QLatin1String("false")
                   ? QString()
                   : QStringLiteral("%1 must be true or false").arg(key);
    }
    if (key.compare(QLatin1String("PortPop"), Qt::CaseInsensitive) == 0
        || key.compare(QLatin1String("PortSmtp"), Qt::CaseInsensitive) == 0)
        return text.isEmpty() ? QString() : inRange(1, 65535);
    if (key.compare(kPacketSizeKey, Qt::CaseInsensitive) == 0)
        return inRange(1, kMaxPacketSize);
    if (key.compare(kPacketPauseKey, Qt::CaseInsensitive) == 0)
        return inRange(1, kMaxPacketPause);
    if (!Settings().value(key))
        return QStringLiteral("%1 is not a setting").arg(key);
    // A line break would end the value in the file.
    if (text.contains(u'\n') || text.contains(u'\r'))
        return QStringLiteral("%1 cannot hold a line break").arg(key);
    return QString();
}

SmtpEndpoint smtpEndpoint(const Settings &s)
{
    if (s.proxyOn())
        return {s.smtpProxy, s.smtpProxyPort};
    return {s.smtpServer, QStringLiteral("25")};
}

PopEndpoint popEndpoint(const Settings &s)
{
    if (s.proxyOn())
        return {s.popProxy, s.popProxyPort, s.login + u'#' + s.popServer, s.password};
    return {s.popServer, QStringLiteral("110"), s.login, s.password};
}

PacketPlan packetPlan(const Settings &s)
{
    return {s.packetsOn(), std::clamp(s.packetSize, 1, kMaxPacketSize),
            std::clamp(s.packetPause, 1, kMaxPacketPause)};
}

} // namespace kirvane::sending
