#pragma once
// The product's own names, the same wherever they are shown or sent: the web
// address of the about box and the mailer name every message carries.

#include <QString>

namespace kirvane::common {

inline constexpr const char *kProductWebAddress = "https://kirvane.example.org/";

// The X-Mailer of every message the program sends.
[[nodiscard]] inline QString mailerName()
{
    return QStringLiteral("Kirvane ") + QLatin1String(kProductWebAddress);
}

} // namespace kirvane::common
