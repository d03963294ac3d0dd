#include "message/messagearchive.h"

#include "message/htmlimport.h"
#include "message/messagedocument.h"
#include "message/messagetexts.h"
#include "message/rtf.h"
#include "message/textlines.h"
#include "common/folders.h"
#include "common/textcodec.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QTextCursor>
#include <QTextDocument>

#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <list>
#include <memory>

namespace kirvane::message {

using namespace kirvane::common;
using namespace kirvane::texts;

namespace {

constexpr int kSubjectRoom = 255;
constexpr int kKeyRoom = 15;

// One length byte, then room bytes of which the first length are the text.
void putShortString(QByteArray &record, int offset, int room, const QString &text)
{
    bool utf8 = false;
    QByteArray bytes = encodeMessageText(text, false, &utf8);
    if (bytes.size() > room) {
        bytes.truncate(room);
        // Never leave half a UTF-8 sequence at the cut.
        if (utf8)
            while (!bytes.isEmpty() && !isValidUtf8(bytes))
                bytes.chop(1);
    }
    record[offset] = char(bytes.size());
    std::copy(bytes.begin(), bytes.end(), record.begin() + offset + 1);
}

bool getShortString(const QByteArray &record, int offset, int room, QString *text)
{
    const int length = uchar(record[offset]);
    if (length > room)
        return false;
    *text = decodeLegacyText(record.mid(offset + 1, length));
    return true;
}

// The archive's name without its extension: the stem of every part's name.
QString partStem(const QString &archivePath)
{
    const QString name = QFileInfo(archivePath).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.left(dot) : name;
}

// A name that unpacks to a file directly inside the temporary folder.
bool isBareName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (QChar c : name)
        if (c == u'/' || c == u'\\' || c.unicode() < 0x20)
            return false;
    return true;
}

// The rewritten tags as part 6 keeps them. Both tag parts hold one tag per
// line, yet a page tag may run over several lines of the page and is then read
// back as several entries. A local tag's rewritten form has the same line
// breaks, but a remote one's is the single word "NULL": it is followed by the
// rest of its page tag, so that each line of part 6 still pairs with the same
// line of part 7 and no later page tag is replaced by another's rewriting.
QStringList rewrittenTagLines(const QStringList &rewritten, const std::optional<QStringList> &pageTags)
{
    QStringList out = rewritten;
    if (!pageTags)
        return out;
    for (qsizetype i = 0; i < out.size() && i < pageTags->size(); ++i) {
        if (out[i] != QLatin1String("NULL"))
            continue;
        const QString &page = pageTags->at(i);
        const auto lineBreak =
            std::find_if(page.begin(), page.end(), [](QChar c) { return c == u'\r' || c == u'\n'; });
        out[i] += page.mid(lineBreak - page.begin());
    }
    return out;
}

struct ZipCloser {
    void operator()(zip_t *z) const { zip_discard(z); }
};
using ZipHandle = std::unique_ptr<zip_t, ZipCloser>;

QString zipErrorText(int code)
{
    zip_error_t e;
    zip_error_init_with_code(&e, code);
    const QString text = QString::fromUtf8(zip_error_strerror(&e));
    zip_error_fini(&e);
    return text;
}

} // namespace

QString archiveExtension(ArchiveKind kind)
{
    return kind == ArchiveKind::InterruptedSend ? QStringLiteral(".MNS") : QStringLiteral(".MNL");
}

QByteArray encodeHeader(const ArchiveHeader &header)
{
    QByteArray record(kHeaderSize, '\0');
    putShortString(record, 0, kSubjectRoom, header.subject);
    putShortString(record, 256, kKeyRoom, header.resumeKey);
    putShortString(record, 272, kSubjectRoom, header.resumeBook);
    record[528] = 1;
    record[529] = char('0' + std::clamp(header.mode, 1, 3));
    return record;
}

bool decodeHeader(const QByteArray &bytes, ArchiveHeader *header)
{
    if (bytes.size() < kHeaderSize)
        return false;
    ArchiveHeader h;
    if (!getShortString(bytes, 0, kSubjectRoom, &h.subject) || !getShortString(bytes, 256, kKeyRoom, &h.resumeKey) ||
        !getShortString(bytes, 272, kSubjectRoom, &h.resumeBook))
        return false;
    // Only the three modes exist; any other digit would leave the view in no mode.
    if (bytes[528] != 1 || bytes[529] < '1' || bytes[529] > '3')
        return false;
    h.mode = bytes[529] - '0';
    *header = h;
    return true;
}

bool writeArchive(const MessageDocument &message, const QString &basePath, ArchiveKind kind,
                  const QString &resumeKey, const QString &resumeBook, QString *error)
{
    auto failed = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const QString stem = QFileInfo(basePath).fileName();
    const QString target = basePath + archiveExtension(kind);
    const QString packing = basePath + QStringLiteral(".xxx");

    // Text entries in their order; the buffers must live until the archive is closed.
    std::list<std::pair<QString, QByteArray>> parts;
    parts.emplace_back(stem + archiveExtension(kind),
                       encodeHeader({message.subject(), resumeKey, resumeBook, int(message.mode())}));
    parts.emplace_back(stem + QStringLiteral("1.dat"), message.mode() == ComposeMode::RichHtml
                                                            ? writeRtf(*message.richText())
                                                            : encodeLines(splitLines(message.plainText())));
    parts.emplace_back(stem + QStringLiteral("2.dat"), encodeLines(message.destinationBooks()));
    parts.emplace_back(stem + QStringLiteral("3.dat"), encodeLines(message.attachments()));
    parts.emplace_back(stem + QStringLiteral("4.dat"), encodeLines(message.exclusionBooks()));
    if (message.images())
        parts.emplace_back(stem + QStringLiteral("5.dat"), encodeLines(*message.images()));
    if (message.rewrittenTags())
        parts.emplace_back(stem + QStringLiteral("6.dat"),
                           encodeLines(rewrittenTagLines(*message.rewrittenTags(), message.pageTags())));
    if (message.pageTags())
        parts.emplace_back(stem + QStringLiteral("7.dat"), encodeLines(*message.pageTags()));

    QFile::remove(packing);
    int code = 0;
    ZipHandle zip(zip_open(QFile::encodeName(packing).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code));
    if (!zip)
        return failed(zipErrorText(code));

    auto add = [&](const QString &name, zip_source_t *source) {
        if (!source)
            return false;
        const zip_int64_t index = zip_file_add(zip.get(), name.toUtf8().constData(), source, ZIP_FL_ENC_GUESS);
        if (index < 0) {
            zip_source_free(source);
            return false;
        }
        return zip_set_file_compression(zip.get(), zip_uint64_t(index), ZIP_CM_DEFLATE, 9) == 0;
    };
    QStringList names;
    for (const auto &[name, bytes] : parts) {
        if (!add(name, zip_source_buffer(zip.get(), bytes.constData(), zip_uint64_t(bytes.size()), 0)))
            return failed(QString::fromUtf8(zip_strerror(zip.get())));
        names << name;
    }
    if (message.images()) {
        for (const QString &image : *message.images()) {
            const QString name = fileNameOf(image);
            // An image used by two tags is listed twice but stored once; a
            // vanished work copy is left out rather than losing the message.
            if (!isBareName(name) || names.contains(name, Qt::CaseInsensitive) || !QFileInfo(image).isFile())
                continue;
            if (!add(name, zip_source_file(zip.get(), QFile::encodeName(image).constData(), 0, -1)))
                return failed(QString::fromUtf8(zip_strerror(zip.get())));
            names << name;
        }
    }
    zip_t *raw = zip.release();
    if (zip_close(raw) != 0) {
        const QString why = QString::fromUtf8(zip_strerror(raw));
        zip_discard(raw);
        QFile::remove(packing);
        return failed(why);
    }
    std::error_code ec;
    std::filesystem::rename(QFile::encodeName(packing).toStdString(), QFile::encodeName(target).toStdString(), ec);
    if (ec) {
        QFile::remove(packing);
        return failed(QString::fromStdString(ec.message()));
    }
    return true;
}

namespace {

// readArchive's work; every file it makes in the temporary folder is added to made.
ArchiveReadStatus unpackArchive(const QString &path, MessageDocument &message, const ArchiveLimits &limits,
                                QStringList &made)
{
    int code = 0;
    ZipHandle zip(zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code));
    if (!zip)
        return ArchiveReadStatus::Unreadable;
    const zip_int64_t count = zip_get_num_entries(zip.get(), 0);
    if (count < 0 || count > limits.maxEntries)
        return ArchiveReadStatus::Corrupt;

    // Every name and size is checked before anything is unpacked.
    struct Entry {
        QString name;
        zip_uint64_t size;
    };
    std::vector<Entry> entries;
    const QString headerName = QFileInfo(path).fileName().toLower();
    bool hasHeader = false;
    qint64 total = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(zip.get(), zip_uint64_t(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME) ||
            !(st.valid & ZIP_STAT_SIZE))
            return ArchiveReadStatus::Corrupt;
        const QString name = QString::fromUtf8(st.name);
        if (!isBareName(name) || st.size > zip_uint64_t(limits.maxTotalSize))
            return ArchiveReadStatus::Corrupt;
        total += qint64(st.size);
        if (total > limits.maxTotalSize)
            return ArchiveReadStatus::Corrupt;
        entries.push_back({name, st.size});
        hasHeader = hasHeader || name.toLower() == headerName;
    }
    // A foreign archive, one without a header under its own name, is refused
    // before any of it reaches the temporary folder.
    if (!hasHeader)
        return ArchiveReadStatus::Corrupt;

    const QString temp = tempFolder();
    QHash<QString, QByteArray> parts; // small text entries by lower-case name
    const QString stem = partStem(path).toLower();
    QStringList partNames;
    for (int n = 1; n <= 7; ++n)
        partNames << stem + QString::number(n) + QStringLiteral(".dat");
    for (zip_int64_t i = 0; i < count; ++i) {
        const Entry &e = entries[size_t(i)];
        std::unique_ptr<zip_file_t, int (*)(zip_file_t *)> file(zip_fopen_index(zip.get(), zip_uint64_t(i), 0),
                                                                 zip_fclose);
        if (!file)
            return ArchiveReadStatus::Unreadable;
        const QString lower = e.name.toLower();
        const bool isPart = lower == headerName || partNames.contains(lower);
        const bool existed = QFileInfo::exists(temp + e.name);
        QSaveFile out(temp + e.name);
        if (!out.open(QIODevice::WriteOnly))
            return ArchiveReadStatus::Unreadable;
        // Stream the entry, never past its declared size: the sizes checked
        // above bound what reaches the disk whatever the data claims.
        QByteArray kept;
        zip_uint64_t done = 0;
        char chunk[65536];
        while (true) {
            const zip_int64_t got = zip_fread(file.get(), chunk, sizeof chunk);
            if (got < 0)
                return ArchiveReadStatus::Corrupt;
            if (got == 0)
                break;
            done += zip_uint64_t(got);
            if (done > e.size)
                return ArchiveReadStatus::Corrupt;
            if (out.write(chunk, got) != got)
                return ArchiveReadStatus::Unreadable;
            if (isPart)
                kept.append(chunk, qsizetype(got));
        }
        if (done != e.size)
            return ArchiveReadStatus::Corrupt;
        if (!out.commit())
            return ArchiveReadStatus::Unreadable;
        if (!existed)
            made << temp + e.name;
        if (isPart)
            parts.insert(lower, kept);
    }

    ArchiveHeader header;
    if (!parts.contains(headerName) || !decodeHeader(parts.value(headerName), &header))
        return ArchiveReadStatus::Corrupt;

    auto part = [&](int n) -> std::optional<QByteArray> {
        const auto it = parts.constFind(stem + QString::number(n) + QStringLiteral(".dat"));
        return it == parts.constEnd() ? std::nullopt : std::optional<QByteArray>(*it);
    };
    auto lines = [&](int n) -> std::optional<QStringList> {
        const auto bytes = part(n);
        return bytes ? std::optional<QStringList>(decodeLines(*bytes)) : std::nullopt;
    };

    const std::optional<QByteArray> body = part(1);
    // A rich body beyond what a document may hold makes the archive corrupt;
    // it is found out before the document changes.
    if (header.mode == int(ComposeMode::RichHtml) && body) {
        QTextDocument probe;
        if (readRtfDocument(*body, &probe) == RtfReadStatus::TooLarge)
            return ArchiveReadStatus::Corrupt;
    }

    message.setSubject(header.subject);
    message.setResumePosition(header.resumeBook, header.resumeKey);
    QTextDocument *rich = message.richText();
    rich->clear();
    message.setPageFile(QString());
    if (header.mode == int(ComposeMode::RichHtml)) {
        message.setPlainText(QString());
        if (body && !readRtf(*body, rich))
            QTextCursor(rich).insertText(decodeLines(*body).join(u'\n'), defaultCharFormat());
    } else {
        message.setPlainText(body ? decodeLines(*body).join(u'\n') : QString());
    }
    if (header.mode == int(ComposeMode::HtmlFile)) {
        const QString page = temp + kImportedPageName;
        if (!QFileInfo::exists(page))
            made << page;
        writePageFile(page, splitLines(message.plainText()));
        message.setPageFile(page);
        message.setShownPage(page);
    }
    message.setMode(ComposeMode(header.mode));
    message.setDestinationBooks(lines(2).value_or(QStringList()));
    message.setAttachments(lines(3).value_or(QStringList()));
    message.setExclusionBooks(lines(4).value_or(QStringList()));
    std::optional<QStringList> images = lines(5);
    if (images) {
        // The unpacked copy. File names are matched without regard to letter
        // case, so an entry may differ from its listed name in case alone: it is copied under the listed name, the one the
        // rewritten tags point at.
        QHash<QString, QString> unpacked;
        for (const Entry &e : entries)
            unpacked.insert(e.name.toLower(), e.name);
        for (QString &image : *images) {
            const QString name = fileNameOf(image);
            const QString stored = unpacked.value(name.toLower(), name);
            image = temp + name;
            if (stored != name) {
                if (!QFileInfo::exists(image))
                    made << image;
                QFile::remove(image);
                QFile::copy(temp + stored, image); // a failed copy of a work file is ignored
            }
        }
    }
    message.setImageLists(std::move(images), lines(6), lines(7));
    return ArchiveReadStatus::Ok;
}

} // namespace

ArchiveReadStatus readArchive(const QString &path, MessageDocument &message, const ArchiveLimits &limits,
                              QStringList *unpacked)
{
    QStringList made;
    const ArchiveReadStatus status = unpackArchive(path, message, limits, made);
    if (status != ArchiveReadStatus::Ok) {
        // A refused archive leaves nothing of itself behind.
        for (const QString &file : std::as_const(made))
            QFile::remove(file);
        made.clear();
    }
    if (unpacked)
        *unpacked = made;
    return status;
}

QString savedMessagesFolder()
{
    const QString folder = savedFolder();
    makeFolder(folder);
    return folder;
}

bool saveMessage(const MessageDocument &message, const QString &chosenPath, texts::Asker &ask)
{
    const QFileInfo chosen(chosenPath);
    const QString folder = chosen.absolutePath() + u'/';
    const QString basePath = folder + chosen.completeBaseName();
    const QString target = basePath + archiveExtension(ArchiveKind::SavedMessage);
    const QString existing = findNoCase(folder, QFileInfo(target).fileName());
    if (QFileInfo::exists(existing) && !ask.confirm(messageTexts::overwriteFile()))
        return false;
    if (!writeArchive(message, basePath, ArchiveKind::SavedMessage, QString(), QString())) {
        ask.inform(messageTexts::backupError());
        return false;
    }
    if (existing != target)
        QFile::remove(existing); // the same file under another letter case
    return true;
}

bool confirmOpen(const MessageDocument &message, texts::Asker &ask)
{
    return !message.holdsText() || ask.confirm(messageTexts::loseMessage());
}

bool openMessage(MessageDocument &message, const QString &path, texts::Asker &ask)
{
    if (readArchive(path, message) == ArchiveReadStatus::Ok)
        return true;
    ask.inform(messageTexts::corruptMessage());
    return false;
}

} // namespace kirvane::message
