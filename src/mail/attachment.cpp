#include "mail/attachment.h"

#include "mail/codecs.h"

#include <QCache>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QMutex>

namespace kirvane::mail {

namespace {

// Encoded files, shared by every message of a process: the sending run
// composes one message per contact with the same files, and each file is read
// and encoded once. A file is known again by its path, size and times, so an
// edited file is encoded afresh.
struct EncodedFile {
    QByteArray data;
    QList<QByteArray> lines;
};

class EncodedFileCache
{
public:
    static EncodedFileCache &instance()
    {
        static EncodedFileCache cache;
        return cache;
    }

    bool find(const QString &key, EncodedFile *found)
    {
        QMutexLocker lock(&m_mutex);
        if (const EncodedFile *entry = m_cache.object(key)) {
            *found = *entry;
            return true;
        }
        return false;
    }

    void insert(const QString &key, const EncodedFile &file)
    {
        QMutexLocker lock(&m_mutex);
        // Cost in KiB of the bytes and their base64 lines.
        const qsizetype cost = 1 + (file.data.size() * 3) / 1024;
        m_cache.insert(key, new EncodedFile(file), cost);
    }

private:
    EncodedFileCache() : m_cache(512 * 1024) {} // about 512 MiB
    QMutex m_mutex;
    QCache<QString, EncodedFile> m_cache;
};

QString cacheKey(const QFileInfo &info)
{
    return info.absoluteFilePath() + u'\n' + QString::number(info.size()) + u'\n'
        + QString::number(info.lastModified().toMSecsSinceEpoch()) + u'\n'
        + QString::number(info.metadataChangeTime().toMSecsSinceEpoch());
}

} // namespace

bool Attachment::encode(QString *error)
{
    if (!data.isEmpty() || heldInMemory) {
        // A message composed again, or built as a copy of one composed before,
        // carries the encoding of its unchanged bytes (shared, not compared).
        if (data.isEmpty() || !data.isSharedWith(m_encodedData) || encodedLines.isEmpty()) {
            encodedLines = base64Lines(data);
            m_encodedData = data;
        }
        return true;
    }
    const QFileInfo info(pathName);
    const QString key = cacheKey(info);
    EncodedFile cached;
    if (EncodedFileCache::instance().find(key, &cached)) {
        data = cached.data;
        encodedLines = cached.lines;
        m_encodedData = data;
        return true;
    }
    QFile file(pathName);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot open file \"%1\". %2").arg(QDir::toNativeSeparators(pathName), file.errorString());
        return false;
    }
    Base64Encoder encoder;
    QByteArray bytes;
    bytes.reserve(file.size());
    // Blocks that are a multiple of three keep the encoder's leftover empty.
    constexpr qint64 block = 3 * 64 * 1024;
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(block);
        if (chunk.isEmpty() && file.error() != QFile::NoError) {
            if (error)
                *error = file.errorString();
            return false;
        }
        if (chunk.isEmpty())
            break;
        encoder.feed(chunk);
        bytes += chunk;
    }
    encoder.finish();
    data = bytes;
    encodedLines = encoder.takeLines();
    m_encodedData = data;
    EncodedFileCache::instance().insert(key, EncodedFile{data, encodedLines});
    return true;
}

AttachmentList::AttachmentList(const AttachmentList &other)
{
    *this = other;
}

AttachmentList &AttachmentList::operator=(const AttachmentList &other)
{
    if (this == &other)
        return *this;
    m_items.clear();
    for (const auto &item : other.m_items)
        m_items.push_back(std::make_unique<Attachment>(*item));
    return *this;
}

Attachment &AttachmentList::add(const QString &path)
{
    auto item = std::make_unique<Attachment>();
    item->fileName = QFileInfo(path).fileName();
    item->pathName = path;
    item->contentType = contentTypeOf(path);
    m_items.push_back(std::move(item));
    return *m_items.back();
}

void AttachmentList::removeAt(int i)
{
    m_items.erase(m_items.begin() + i);
}

bool AttachmentList::encodeAll(QString *error)
{
    for (const auto &item : m_items) {
        if (!item->encode(error))
            return false;
    }
    return true;
}

QString contentTypeOf(const QString &path)
{
    // Only the extension counts: the database also knows whole names such as
    // "README", which say nothing about a file's content.
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.isEmpty())
        return QStringLiteral("application/octet-stream");
    // Looked up once per extension: a run adds the same files for every contact.
    static QMutex mutex;
    static QHash<QString, QString> known;
    const QMutexLocker lock(&mutex);
    const QString key = suffix.toLower();
    auto it = known.constFind(key);
    if (it == known.cend()) {
        static const QMimeDatabase db;
        const QMimeType type = db.mimeTypeForFile(QStringLiteral("f.") + suffix, QMimeDatabase::MatchExtension);
        it = known.insert(key, !type.isValid() || type.isDefault() ? QStringLiteral("application/octet-stream") : type.name());
    }
    return *it;
}

} // namespace kirvane::mail
