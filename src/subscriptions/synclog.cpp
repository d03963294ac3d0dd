#include "subscriptions/synclog.h"

#include "common/logline.h"
#include "common/textcodec.h"

#include <QFile>

namespace kirvane::subscriptions {

using namespace kirvane::common;

QByteArray SyncLog::entry(const QDateTime &when, const QString &from, const QString &subject,
                          const QStringList &text, const QStringList &notes)
{
    QString out;
    // What the message brought cannot start a line of its own: a CR or LF
    // in it (an encoded word may hold one) is written as an escape.
    const auto line = [&out](const QString &s) { out += logSafe(s) + QLatin1String("\r\n"); };
    line(when.toString(QStringLiteral("dd/MM/yy HH:mm:ss")));
    line(QStringLiteral("Expéditeur : ") + from);
    line(QStringLiteral("Sujet : ") + subject);
    for (const QString &l : text)
        line(l);
    for (const QString &l : notes)
        line(l);
    line(QString(64, QLatin1Char('-')));
    return toWindows1252(out);
}

bool SyncLog::append(const QByteArray &entry, QString *error) const
{
    QFile f(m_path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Append) && f.write(entry) == entry.size() && f.flush())
        return true;
    if (error)
        *error = f.errorString();
    return false;
}

} // namespace kirvane::subscriptions
