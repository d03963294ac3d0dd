#include "subscriptions/syncsettings.h"

#include "mail/qzvpop.h"
#include "mail/qzvsmtp.h"
#include "store/inifile.h"

namespace kirvane::subscriptions {

SyncSettings SyncSettings::load(const QString &path)
{
    const IniFile ini(path);
    const auto value = [&ini](const char *key) {
        return ini.value(QStringLiteral("Newsletter"), QLatin1String(key));
    };
    SyncSettings s;
    s.redirection = value("redirection");
    s.popUser = value("login");
    s.popPassword = value("password");
    if (value("utiliserProxy") == QLatin1String("true")) {
        s.popHost = value("ProxyPop");
        s.popPort = value("PortPop");
        s.popUser += QLatin1Char('#') + value("ServeurPop");
        s.smtpHost = value("ProxySmtp");
        s.smtpPort = value("PortSmtp");
    } else {
        s.popHost = value("ServeurPop");
        s.smtpHost = value("ServeurSmtp");
    }
    return s;
}

void SyncSettings::applyTo(mail::TQzvPOP &pop) const
{
    pop.Host = popHost;
    pop.Port = popPort;
    pop.UserId = popUser;
    pop.UserPasswd = popPassword;
}

void SyncSettings::applyTo(mail::TQzvSMTP &smtp) const
{
    smtp.Host = smtpHost;
    smtp.Port = smtpPort;
}

} // namespace kirvane::subscriptions
