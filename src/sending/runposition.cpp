#include "sending/runposition.h"

#include "common/filewriter.h"
#include "common/folders.h"
#include "message/messagearchive.h"
#include "message/messagedocument.h"

#include <QFile>

#include <algorithm>
#include <bit>

namespace kirvane::sending {

void IdSet::insert(qint64 id)
{
    if (id < 0 || id >= kDenseLimit) {
        if (!m_sparse.contains(id)) {
            m_sparse.insert(id);
            ++m_count;
        }
        return;
    }
    const size_t word = size_t(id >> 6);
    if (word >= m_bits.size())
        m_bits.resize(std::max(word + 1, m_bits.size() * 2));
    const quint64 bit = quint64(1) << (id & 63);
    if (!(m_bits[word] & bit)) {
        m_bits[word] |= bit;
        ++m_count;
    }
}

bool IdSet::contains(qint64 id) const
{
    if (id < 0 || id >= kDenseLimit)
        return m_sparse.contains(id);
    const size_t word = size_t(id >> 6);
    return word < m_bits.size() && (m_bits[word] >> (id & 63) & 1);
}

void IdSet::clear()
{
    m_bits = {};
    m_sparse.clear();
    m_count = 0;
}

QList<qint64> IdSet::sorted() const
{
    QList<qint64> ids;
    ids.reserve(m_count);
    for (qint64 id : m_sparse)
        if (id < 0)
            ids.append(id);
    for (size_t word = 0; word < m_bits.size(); ++word) {
        for (quint64 bits = m_bits[word]; bits; bits &= bits - 1)
            ids.append(qint64(word << 6) + std::countr_zero(bits));
    }
    for (qint64 id : m_sparse)
        if (id >= 0)
            ids.append(id);
    std::sort(ids.begin(), ids.end());
    return ids;
}

QString pauseSnapshotName()
{
    return QStringLiteral("tempo");
}

bool isPauseSnapshot(const QString &fileName)
{
    return fileName.compare(pauseSnapshotName() + message::archiveExtension(message::ArchiveKind::InterruptedSend),
                            Qt::CaseInsensitive)
           == 0;
}

QString stoppedRunPath(const QString &name)
{
    return common::findNoCase(common::stoppedFolder(),
                              name + message::archiveExtension(message::ArchiveKind::InterruptedSend));
}

QString stoppedRunBase(const QString &name)
{
    return stoppedRunPath(name).chopped(message::archiveExtension(message::ArchiveKind::InterruptedSend).size());
}

QString endOfBookKey()
{
    return QStringLiteral("END");
}

QString answeredPath(const QString &base)
{
    return base + QStringLiteral(".answered");
}

namespace {

bool writeAnswered(const QString &base, const RunPosition &position, QString *error)
{
    // An archive whose ids are missing or stale would resume by its key
    // alone, so a stale file of ids never stays.
    const QString ids = answeredPath(base);
    if (!position.tracked)
        return !QFile::exists(ids) || QFile::remove(ids);
    const QList<qint64> sorted = position.answered.sorted();
    QByteArray bytes = position.book.toUtf8() + '\n';
    bytes.reserve(bytes.size() + sorted.size() * 8);
    for (qint64 id : sorted)
        bytes += QByteArray::number(id) + '\n';
    return common::replaceFile(ids, bytes, common::FileAccess::Shared, error);
}

} // namespace

bool copyStoppedRun(const QString &from, const QString &base, const RunPosition &position, QString *error)
{
    // Written anew: an archive names its entries after its own file name.
    message::MessageDocument doc;
    if (message::readArchive(from + message::archiveExtension(message::ArchiveKind::InterruptedSend), doc)
        != message::ArchiveReadStatus::Ok) {
        if (error)
            *error = QStringLiteral("%1 cannot be read").arg(from);
        return false;
    }
    return writeStoppedRun(doc, base, position, error);
}

bool writeStoppedRun(const message::MessageDocument &message, const QString &base, const RunPosition &position,
                     QString *error)
{
    // The ids first: the archive says where the run is only once they are there.
    if (!writeAnswered(base, position, error))
        return false;
    return message::writeArchive(message, base, message::ArchiveKind::InterruptedSend, position.key, position.book,
                                 error);
}

RunPosition readStoppedPosition(const message::MessageDocument &message, const QString &base)
{
    RunPosition p;
    p.book = message.resumeBook();
    p.key = message.resumeKey();
    QFile f(answeredPath(base));
    if (p.book.isEmpty() || !f.open(QIODevice::ReadOnly))
        return p;
    const QList<QByteArray> lines = f.readAll().split('\n');
    if (lines.isEmpty() || QString::fromUtf8(lines.first()) != p.book)
        return p;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        bool ok = false;
        const qint64 id = lines[i].toLongLong(&ok);
        if (ok)
            p.answered.insert(id);
    }
    p.tracked = true;
    return p;
}

void removeStoppedRun(const QString &base)
{
    QFile::remove(base + message::archiveExtension(message::ArchiveKind::InterruptedSend));
    QFile::remove(answeredPath(base));
}

} // namespace kirvane::sending
