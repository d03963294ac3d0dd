#pragma once
// log.txt, the record of every message the synchronisation fetched: one entry
// per message, appended, in Windows Latin-1 with CR LF line ends:
//
//     10/12/26 14:05:09
//     Expéditeur : <From>
//     Sujet : <Subject>
//     <every line of the text>
//     <what was recognised in a delivery notice, one line each>
//     ----------------------------------------------------------------

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace kirvane::subscriptions {

class SyncLog {
public:
    explicit SyncLog(QString path) : m_path(std::move(path)) {}

    // The bytes of one entry; a line break or control character inside a
    // value is written as a visible escape (see logSafe).
    [[nodiscard]] static QByteArray entry(const QDateTime &when, const QString &from, const QString &subject,
                                          const QStringList &text, const QStringList &notes = {});
    // Appends an entry, creating the file when missing; false with the file
    // system's reason when it cannot be written.
    [[nodiscard]] bool append(const QByteArray &entry, QString *error = nullptr) const;

    [[nodiscard]] const QString &path() const { return m_path; }

private:
    QString m_path;
};

} // namespace kirvane::subscriptions
