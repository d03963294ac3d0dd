#include "settings/settings.h"

#include "mail/dkimsigner.h"
#include "mail/mailmessage.h"
#include "mail/pop3client.h"
#include "mail/smtpclient.h"
#include "texts/texttable.h"
#include "common/filewriter.h"
#include "common/folders.h"
#include "common/inifile.h"
#include "common/smallfile.h"

#include <QFileInfo>

#include <algorithm>
#include <span>

namespace kirvane::settings {

using namespace kirvane::common;
using namespace kirvane::texts;

namespace tr = texts;

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

// The keys after the sixteen: written only when set or already in the file, so
// that a file of someone who uses none of them stays as it was.
constexpr TextKey kMailKeys[] = {
    {"SmtpSecurity", &Settings::smtpSecurity},
    {"SmtpServerPort", &Settings::smtpServerPort},
    {"SmtpLogin", &Settings::smtpLogin},
    {"SmtpPassword", &Settings::smtpPassword},
    {"PopSecurity", &Settings::popSecurity},
    {"PopServerPort", &Settings::popServerPort},
    {"CaFile", &Settings::caFile},
    {"SubscriptionAddress", &Settings::subscriptionAddress},
    {"UnsubscribeUrl", &Settings::unsubscribeUrl},
    {"DkimSelector", &Settings::dkimSelector},
    {"DkimDomain", &Settings::dkimDomain},
    {"DkimKeyFile", &Settings::dkimKeyFile},
    {"TextAlternative", &Settings::textAlternative},
};

const QString kPacketSizeKey = QStringLiteral("taille_paquet");
const QString kPacketPauseKey = QStringLiteral("tempo_paquet");

const TextKey *textKey(const QString &key)
{
    for (const std::span<const TextKey> table : {std::span<const TextKey>(kTextKeys), std::span<const TextKey>(kMailKeys)})
        for (const TextKey &k : table)
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

// A security as the file may spell it: "" (none), none, starttls, tls, and
// for POP3 stls; letter case aside.
bool isSecurity(const QString &text, bool pop)
{
    for (const QLatin1StringView word : {kSecurityNone, kSecurityStartTls, kSecurityTls})
        if (text.compare(word, Qt::CaseInsensitive) == 0)
            return true;
    return text.isEmpty() || (pop && text.compare(kSecurityStls, Qt::CaseInsensitive) == 0);
}

bool isKeyIn(const QString &key, std::initializer_list<const char *> names)
{
    return std::any_of(names.begin(), names.end(),
                       [&](const char *name) { return key.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; });
}

bool isPortKey(const QString &key)
{
    return isKeyIn(key, {"PortPop", "PortSmtp", "SmtpServerPort", "PopServerPort"});
}

bool portFits(const QString &text)
{
    const std::optional<int> port = readInt(text);
    return port && *port >= 1 && *port <= 65535;
}

// The keys whose values go into a message's header: the From, the To of a
// forwarded message, List-Unsubscribe and the DKIM signature.
bool reachesHeader(const QString &key)
{
    return isKeyIn(key, {"expediteur", "boite", "redirection", "SubscriptionAddress", "UnsubscribeUrl",
                         "DkimSelector", "DkimDomain"});
}

bool isControl(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7f && u <= 0x9f) || u == 0x2028 || u == 0x2029;
}

} // namespace

const QStringList &settingsKeys()
{
    static const QStringList keys = [] {
        QStringList k;
        for (const TextKey &t : kTextKeys)
            k << QLatin1String(t.key);
        k << kPacketSizeKey << kPacketPauseKey;
        for (const TextKey &t : kMailKeys)
            k << QLatin1String(t.key);
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

bool loadSettings(Settings &s, const QString &path, QString *error)
{
    if (error)
        error->clear();
    const QFileInfo file(path);
    if (!file.exists() && !file.isSymLink())
        return false;
    IniFile ini;
    QString why;
    if (!ini.load(path, &why)) {
        // Nothing read: the record stays as it was, and the caller says why
        // rather than take the settings for missing.
        if (error)
            *error = tr::text(SettingsFileUnreadable).arg(file.fileName(), why);
        return false;
    }
    for (const std::span<const TextKey> table : {std::span<const TextKey>(kTextKeys), std::span<const TextKey>(kMailKeys)})
        for (const TextKey &k : table)
            s.*(k.member) = ini.value(kSection, QLatin1String(k.key));
    s.packetSize = readInt(ini.value(kSection, kPacketSizeKey, QStringLiteral("80"))).value_or(kDefaultPacketSize);
    s.packetPause =
        readInt(ini.value(kSection, kPacketPauseKey, QStringLiteral("10"))).value_or(kDefaultPacketPause);
    return true;
}

bool saveSettings(const Settings &s, const QString &path, QString *error)
{
    IniFile ini;
    QString why;
    const QFileInfo file(path);
    if ((file.exists() || file.isSymLink()) && !ini.load(path, &why)) {
        // Writing over a file that could not be read would drop its other keys.
        if (error)
            *error = tr::text(SettingsFileUnreadable).arg(file.fileName(), why);
        return false;
    }
    for (const QString &key : settingsKeys()) {
        const QString value = *s.value(key);
        const bool mailKey = std::any_of(std::begin(kMailKeys), std::end(kMailKeys),
                                         [&](const TextKey &k) { return key == QLatin1String(k.key); });
        if (mailKey && value.isEmpty() && !ini.contains(kSection, key))
            continue;
        ini.setValue(kSection, key, value);
    }
    return replaceTextFile(path, ini.text(), FileAccess::Private, error);
}

std::optional<int> checkSettings(const Settings &s)
{
    // The envelope sender is what is left of the address once its name and
    // comments are taken off: "<>@example.org" would send MAIL FROM:<>.
    if (!s.senderAddress.contains(u'@') || !mail::senderAddress(s.senderAddress).contains('@'))
        return texts::SenderAddressIncorrect;
    if (s.senderName.isEmpty())
        return texts::SenderNameEmpty;
    return std::nullopt;
}

QString checkMailSettings(const Settings &s, QString *refusedKey)
{
    if (refusedKey)
        refusedKey->clear();
    for (const QString &key : settingsKeys()) {
        const QString value = *s.value(key);
        const bool badPort = isPortKey(key) && !value.isEmpty() && !portFits(value);
        const bool control = reachesHeader(key) && std::any_of(value.begin(), value.end(), isControl);
        if (!badPort && !control)
            continue;
        if (refusedKey)
            *refusedKey = key;
        return tr::text(badPort ? SettingPortOutOfRange : SettingControlCharacter).arg(key);
    }
    // Values the window cannot give, typed by hand: the English reason.
    for (const TextKey &k : kMailKeys)
        if (const QString why = checkValue(QLatin1String(k.key), s.*(k.member)); !why.isEmpty())
            return why;
    auto hasBlank = [](const QString &text) {
        return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isSpace() || c.unicode() < 0x20; });
    };
    // The List-Unsubscribe mailto: address as a message names it, for a
    // reader whose address is as long as an address can be (RFC 5321 4.5.3.1.3).
    const QString mailto = unsubscribeMailto(s, QString(242, u'x') + QStringLiteral("@example.org"));
    if (!s.subscriptionAddress.isEmpty()
        && (!s.subscriptionAddress.contains(u'@') || hasBlank(s.subscriptionAddress)
            || s.subscriptionAddress.contains(u'<') || s.subscriptionAddress.contains(u'>')
            || (!mailto.isEmpty() && !mail::listUnsubscribeFault(mailto).isEmpty())))
        return tr::text(tr::SubscriptionAddressIncorrect);
    if (!s.unsubscribeUrl.isEmpty()
        && (!s.unsubscribeUrl.startsWith(QLatin1String("https://"), Qt::CaseInsensitive)
            || s.unsubscribeUrl.size() <= 8 || hasBlank(s.unsubscribeUrl)
            || !mail::listUnsubscribeFault(s.unsubscribeUrl).isEmpty()))
        return tr::text(tr::UnsubscribeUrlIncorrect);
    const int dkimParts = int(!s.dkimSelector.isEmpty()) + int(!s.dkimDomain.isEmpty()) + int(!s.dkimKeyFile.isEmpty());
    if (dkimParts != 0 && dkimParts != 3)
        return tr::text(tr::DkimIncomplete);
    if (dkimParts == 3) {
        if (!mail::DkimSigner::isDkimName(s.dkimSelector) || !mail::DkimSigner::isDkimName(s.dkimDomain))
            return tr::text(tr::DkimNameIncorrect);
        mail::DkimSigner signer;
        QString why;
        if (!signer.loadKeyFile(s.dkimKeyFile, &why))
            return tr::text(tr::DkimKeyUnusable) + why;
    }
    if (!s.caFile.isEmpty()) {
        QByteArray bytes;
        QString why;
        if (!readSmallFile(s.caFile, kCertificateFileLimit, &bytes, &why))
            return tr::text(tr::CaFileUnreadable) + s.caFile + QStringLiteral(" (") + why + u')';
    }
    return QString();
}

QString unsubscribeMailto(const Settings &s, const QString &address)
{
    const QString reader = address.trimmed();
    if (s.subscriptionAddress.isEmpty() || reader.isEmpty())
        return QString();
    // RFC 6068 2: "@" may stand as it is in a header value of a mailto:
    // address; a blank or anything else that could end it is encoded.
    return QStringLiteral("mailto:") + QString::fromLatin1(s.subscriptionAddress.trimmed().toUtf8().toPercentEncoding("@"))
           + QStringLiteral("?subject=")
           + QString::fromLatin1((QStringLiteral("DESABONNE ") + reader).toUtf8().toPercentEncoding("@"));
}

Settings savedForm(Settings s)
{
    s.smtpSecurity = s.smtpSecurity.toLower();
    s.popSecurity = s.popSecurity.toLower();
    if (s.popSecurity == kSecurityStartTls)
        s.popSecurity = kSecurityStls;
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
    if (key.compare(QLatin1String("TextAlternative"), Qt::CaseInsensitive) == 0)
        return text == QLatin1String("true") || text == QLatin1String("false") || text.isEmpty()
                   ? QString()
                   : QStringLiteral("%1 must be true or false").arg(key);
    if (isPortKey(key))
        return text.isEmpty() ? QString() : inRange(1, 65535);
    if (key.compare(QLatin1String("SmtpSecurity"), Qt::CaseInsensitive) == 0)
        return isSecurity(text, false) ? QString() : QStringLiteral("%1 must be none, starttls or tls").arg(key);
    if (key.compare(QLatin1String("PopSecurity"), Qt::CaseInsensitive) == 0)
        return isSecurity(text, true) ? QString() : QStringLiteral("%1 must be none, stls or tls").arg(key);
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

namespace {

mail::Security securityOf(const QString &text)
{
    if (text.compare(kSecurityTls, Qt::CaseInsensitive) == 0)
        return mail::Security::Tls;
    if (text.compare(kSecurityStartTls, Qt::CaseInsensitive) == 0
        || text.compare(kSecurityStls, Qt::CaseInsensitive) == 0)
        return mail::Security::StartTls;
    return mail::Security::None;
}

// The port written in the file, else the one of the security.
QString portFor(const QString &written, mail::Security security, int plain, int startTls, int tls)
{
    if (!written.trimmed().isEmpty())
        return written.trimmed();
    switch (security) {
    case mail::Security::StartTls:
        return QString::number(startTls);
    case mail::Security::Tls:
        return QString::number(tls);
    case mail::Security::None:
        break;
    }
    return QString::number(plain);
}

// What both clients take of an endpoint.
template <typename Endpoint, typename Client>
void applyConnection(const Endpoint &e, Client &client)
{
    client.host = e.host;
    client.port = e.port;
    client.security = e.security;
    client.userId = e.user;
    client.password = e.password;
    client.caFile = e.caFile;
}

} // namespace

SmtpEndpoint smtpEndpoint(const Settings &s)
{
    SmtpEndpoint e;
    e.security = securityOf(s.smtpSecurity);
    if (s.proxyOn()) {
        e.host = s.smtpProxy;
        e.port = s.smtpProxyPort;
    } else {
        e.host = s.smtpServer;
        e.port = portFor(s.smtpServerPort, e.security, 25, 587, 465);
    }
    e.user = s.smtpLogin;
    e.password = s.smtpPassword;
    e.caFile = s.caFile;
    e.plainTextLoginChosen = s.smtpSecurity.compare(kSecurityNone, Qt::CaseInsensitive) == 0;
    return e;
}

void applyEndpoint(const SmtpEndpoint &e, mail::SmtpClient &client)
{
    applyConnection(e, client);
    client.allowPlainTextLogin = e.plainTextLoginChosen;
}

PopEndpoint popEndpoint(const Settings &s)
{
    PopEndpoint e;
    e.security = securityOf(s.popSecurity);
    if (s.proxyOn()) {
        e.host = s.popProxy;
        e.port = s.popProxyPort;
        e.user = s.login + u'#' + s.popServer;
    } else {
        e.host = s.popServer;
        e.port = portFor(s.popServerPort, e.security, 110, 110, 995);
        e.user = s.login;
    }
    e.password = s.password;
    e.caFile = s.caFile;
    return e;
}

void applyEndpoint(const PopEndpoint &e, mail::Pop3Client &client)
{
    applyConnection(e, client);
}

PacketPlan packetPlan(const Settings &s)
{
    return {s.packetsOn(), std::clamp(s.packetSize, 1, kMaxPacketSize),
            std::clamp(s.packetPause, 1, kMaxPacketPause)};
}

} // namespace kirvane::settings
