#include "mail/qzvmsg.h"

#include "mail/codecs.h"
#include "common/folders.h"

#include <QCache>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QMutex>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QThread>

namespace kirvane::mail {

namespace {

// Lets the window repaint during long encodings; only where an application
// runs its event loop on this thread.
void yieldToEvents()
{
    auto *app = QCoreApplication::instance();
    if (app && app->thread() == QThread::currentThread())
        QCoreApplication::processEvents();
}

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

QByteArray randomLetters(int count, char last)
{
    QByteArray letters(count, 'a');
    for (char &c : letters)
        c = char('a' + QRandomGenerator::global()->bounded(last - 'a' + 1));
    return letters;
}

// A header value never spans lines of its own: a line end in a value taken
// from a contact or a form would start a header of the sender's choosing.
QString oneLine(const QString &value)
{
    QString v = value;
    v.replace(u'\r', u' ').replace(u'\n', u' ');
    return v;
}

QByteArray quoted(const QString &text)
{
    QString escaped = oneLine(text);
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return '"' + escaped.toUtf8() + '"';
}

// A file name as the header parameter `key`: quoted when plain ASCII,
// otherwise as an RFC 2231 extended value in UTF-8.
QByteArray fileNameParameter(const QByteArray &key, const QString &name)
{
    if (isAscii(name))
        return key + '=' + quoted(name);
    return key + "*=UTF-8''" + oneLine(name).toUtf8().toPercentEncoding();
}

// Appends the part of one file to out. Written straight into the message:
// the sending run composes a message per contact, and copying the encoded
// lines of large files through intermediate lists costs more than the rest.
void appendFilePart(QList<QByteArray> &out, const TAttachedFile &f, bool embedded)
{
    out.append("Content-Type: " + oneLine(f.ContentType).toUtf8() + "; " + fileNameParameter("name", f.FileName));
    out.append("Content-Transfer-Encoding: base64");
    out.append("Content-Disposition: attachment; " + fileNameParameter("filename", f.FileName));
    if (embedded)
        out.append("Content-Id:<" + oneLine(f.FileName).toUtf8() + ">");
    out.append(QByteArray());
    out.append(f.EncodedLines);
    out.append(QByteArray());
}

// The file parts that follow the text, between delimiter lines, then the
// closing delimiter and empty lines.
struct PartGroup {
    QList<std::pair<const TAttachedFile *, bool>> files; // file, embedded
    QByteArray delimiter;
    int emptyLinesAfter = 1;
};

// Every entry of Text as lines: an entry holding line ends becomes several.
QStringList textLines(const QStringList &text)
{
    QStringList lines;
    lines.reserve(text.size());
    for (const QString &entry : text) {
        if (!entry.contains(u'\r') && !entry.contains(u'\n')) {
            lines.append(entry);
            continue;
        }
        QString normalised = entry;
        normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        lines.append(normalised.split(u'\n'));
    }
    return lines;
}

// RFC 5322 2.1.1: no line longer than 998 octets.
constexpr qsizetype kMaxLineOctets = 998;

} // namespace

// --- attached files ---------------------------------------------------------

bool TAttachedFile::Encode(QString *error)
{
    if (!Data.isEmpty() || HeldInMemory) {
        // A message composed again, or built as a copy of one composed before,
        // carries the encoding of its unchanged bytes (shared, not compared).
        if (Data.isEmpty() || !Data.isSharedWith(m_encodedData) || EncodedLines.isEmpty()) {
            EncodedLines = base64Lines(Data);
            m_encodedData = Data;
        }
        return true;
    }
    const QFileInfo info(PathName);
    const QString key = cacheKey(info);
    EncodedFile cached;
    if (EncodedFileCache::instance().find(key, &cached)) {
        Data = cached.data;
        EncodedLines = cached.lines;
        m_encodedData = Data;
        return true;
    }
    QFile file(PathName);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot open file \"%1\". %2").arg(QDir::toNativeSeparators(PathName), file.errorString());
        return false;
    }
    Base64Encoder encoder;
    QByteArray data;
    data.reserve(file.size());
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
        data += chunk;
        yieldToEvents();
    }
    encoder.finish();
    Data = data;
    EncodedLines = encoder.takeLines();
    m_encodedData = Data;
    EncodedFileCache::instance().insert(key, EncodedFile{Data, EncodedLines});
    return true;
}

TAttachedFiles::TAttachedFiles(const TAttachedFiles &other)
{
    *this = other;
}

TAttachedFiles &TAttachedFiles::operator=(const TAttachedFiles &other)
{
    if (this == &other)
        return *this;
    m_items.clear();
    for (const auto &item : other.m_items)
        m_items.push_back(std::make_unique<TAttachedFile>(*item));
    return *this;
}

TAttachedFile &TAttachedFiles::Add(const QString &path)
{
    auto item = std::make_unique<TAttachedFile>();
    item->FileName = QFileInfo(path).fileName();
    item->PathName = path;
    item->ContentType = ContentTypeOf(path);
    m_items.push_back(std::move(item));
    return *m_items.back();
}

void TAttachedFiles::Delete(int i)
{
    m_items.erase(m_items.begin() + i);
}

// --- composition ------------------------------------------------------------

bool TQzvMsg::FillRawMail(QString *error)
{
    RawMail.clear();
    QList<QByteArray> h;
    QList<QByteArray> b;

    // The declared charset: CharSet when every text fits it, else UTF-8.
    const QStringList lines = textLines(Text);
    // RFC 2978 2.3: a charset name is a token; anything else cannot be declared.
    static const QRegularExpression token(QStringLiteral("^[A-Za-z0-9!#$%&'+^_`{}~-]+$"));
    QString charset = token.match(CharSet).hasMatch() ? CharSet : QStringLiteral("UTF-8");
    bool fits = canEncode(Subject, charset) && canEncode(UserName, charset);
    for (qsizetype i = 0; fits && i < lines.size(); ++i)
        fits = canEncode(lines.at(i), charset);
    if (!fits)
        charset = QStringLiteral("UTF-8");

    const QByteArray messageId = FixedIds.MessageId.isEmpty() ? MakeMessageId("a.b.c") : FixedIds.MessageId;
    h.append("Message-Id: " + messageId);
    h.append("Date: " + oneLine(Date).toUtf8());
    h.append("X-Priority: " + QByteArray::number(int(Priority) + 1));

    if (!From.contains(u'@')) {
        if (error)
            *error = QStringLiteral("\"From\" address not complete.");
        return false;
    }
    const QByteArray from = oneLine(From).trimmed().toUtf8();
    if (UserName.isEmpty())
        h.append("From: " + from);
    else if (isAscii(UserName))
        h.append("From: " + quoted(UserName) + " <" + from + ">");
    else
        // RFC 2047 5(3): an encoded word stands for the phrase, never inside quotes.
        h.append("From: " + encodeWholeWord(oneLine(UserName), charset) + " <" + from + ">");
    if (!InReplyTo.isEmpty())
        h.append("In-Reply-To: " + oneLine(InReplyTo).toUtf8());
    if (!ReplyTo.isEmpty())
        h.append("Reply-To: " + oneLine(ReplyTo).toUtf8());
    h.append("X-Mailer: " + oneLine(XMailer).toUtf8());
    h.append("To: " + oneLine(SendTo).toUtf8());
    if (!CC.isEmpty())
        h.append("CC: " + oneLine(CC).toUtf8());
    h.append("MIME-Version: 1.0");

    QByteArray encodingWord;
    QList<QByteArray> subject;
    if (TextEncoding == teBase64) {
        QByteArray text;
        for (const QString &line : lines)
            text += encodeText(line, charset) + "\r\n";
        b = base64Lines(text);
        encodingWord = "base64";
        subject = {encodeWholeWord(oneLine(Subject), charset)};
    } else {
        b.reserve(lines.size());
        bool tooLong = false;
        for (const QString &line : lines) {
            b.append(encodeText(line, charset));
            tooLong = tooLong || b.last().size() > kMaxLineOctets;
        }
        if (tooLong) {
            b = quotedPrintableLines(b);
            encodingWord = "quoted-printable";
        } else {
            for (QByteArray &line : b)
                if (line.startsWith('.'))
                    line.prepend('.');
            encodingWord = "8Bit";
        }
        subject = encodeHeaderWords(oneLine(Subject), charset);
    }
    h.append("Subject: " + subject.value(0));
    for (qsizetype i = 1; i < subject.size(); ++i)
        h.append(' ' + subject.at(i));

    const QByteArray t = (MessageType == mtHTML ? "Content-Type: text/html; charset=" : "Content-Type: text/plain; charset=")
        + charset.toLatin1();
    const QByteArray c = "Content-Transfer-Encoding: " + encodingWord;
    const int a = AttachedFiles.Count();
    const int e = EmbeddedImages.Count();

    QList<QByteArray> before;    // the lines in front of the text
    QList<PartGroup> groups;     // the file parts after it
    if (a + e == 0) {
        h.append(t);
        h.append(c);
    } else {
        for (TAttachedFiles *files : {&EmbeddedImages, &AttachedFiles}) {
            for (int i = 0; i < files->Count(); ++i) {
                QString fileError;
                if (!(*files)[i].Encode(&fileError)) {
                    if (error)
                        *error = fileError;
                    return false;
                }
                yieldToEvents();
            }
        }
        const QByteArray b1 = FixedIds.Boundary1.isEmpty() ? MakeBoundary() : FixedIds.Boundary1;
        const QByteArray b2 = FixedIds.Boundary2.isEmpty() ? MakeBoundary() : FixedIds.Boundary2;
        const QByteArray d1 = "--" + b1;
        const QByteArray d2 = "--" + b2;
        auto partsOf = [](const TAttachedFiles &files, bool embedded) {
            QList<std::pair<const TAttachedFile *, bool>> parts;
            for (int i = 0; i < files.Count(); ++i)
                parts.append({&files[i], embedded});
            return parts;
        };

        if (e == 0 || MessageType != mtHTML) {
            // Images beside a plain text have nothing to be embedded in; they
            // travel as attachments that keep their content ids.
            h.append("Content-Type: multipart/mixed; boundary=\"" + b1 + '"');
            before = {d1, t, c, QByteArray()};
            groups.append({partsOf(EmbeddedImages, true) + partsOf(AttachedFiles, false), d1, 1});
        } else if (a == 0) {
            h.append("Content-Type: multipart/related;");
            h.append("\tboundary=\"" + b1 + '"');
            before = {d1, t, c, QByteArray()};
            groups.append({partsOf(EmbeddedImages, true), d1, 2});
        } else {
            h.append("Content-Type: multipart/mixed;");
            h.append("\tboundary=\"" + b2 + '"');
            before = {d2, "Content-Type: multipart/related;", "\ttype=\"text/html\";", "\tboundary=\"" + b1 + '"',
                      QByteArray(), d1, t, c, QByteArray()};
            groups.append({partsOf(EmbeddedImages, true), d1, 1});
            groups.append({partsOf(AttachedFiles, false), d2, 1});
        }
    }

    h.append(ExtraHeaders);
    qsizetype total = h.size() + 1 + before.size() + b.size();
    for (const PartGroup &group : std::as_const(groups)) {
        for (const auto &[file, embedded] : group.files)
            total += file->EncodedLines.size() + 7;
        total += 1 + group.emptyLinesAfter;
    }
    RawMail.reserve(total);
    RawMail.append(h);
    RawMail.append(QByteArray());
    RawMail.append(before);
    RawMail.append(b);
    for (const PartGroup &group : std::as_const(groups)) {
        for (const auto &[file, embedded] : group.files) {
            RawMail.append(group.delimiter);
            appendFilePart(RawMail, *file, embedded);
        }
        RawMail.append(group.delimiter + "--");
        for (int i = 0; i < group.emptyLinesAfter; ++i)
            RawMail.append(QByteArray());
    }
    return true;
}

// --- shared functions -------------------------------------------------------

QByteArray MakeMessageId(const QByteArray &host)
{
    const QDate today = QDate::currentDate();
    return "<QZV." + today.toString(u"yyyy.MM.dd").toLatin1() + '.' + randomLetters(16, 't') + '@' + host + '>';
}

QByteArray MakeBoundary()
{
    return "--_QZV_bound_" + randomLetters(12, 'y');
}

QString FormatMailDate(const QDateTime &t)
{
    static constexpr const char *days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static constexpr const char *months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate d = t.date();
    const QTime time = t.time();
    return QStringLiteral("%1, %2 %3 %4 %5 %6")
        .arg(QLatin1String(days[d.dayOfWeek() - 1]))
        .arg(d.day())
        .arg(QLatin1String(months[d.month() - 1]))
        .arg(d.year(), 4, 10, QLatin1Char('0'))
        .arg(time.toString(u"HH:mm:ss"))
        .arg(ZoneText(t.offsetFromUtc()));
}

QString ZoneText(int offsetSeconds)
{
    const int minutes = offsetSeconds / 60;
    if (minutes == 0)
        return QStringLiteral("GMT");
    const int absolute = std::abs(minutes);
    return QString(minutes > 0 ? u'+' : u'-')
        + QStringLiteral("%1%2")
        .arg(absolute / 60, 2, 10, QLatin1Char('0'))
        .arg(absolute % 60, 2, 10, QLatin1Char('0'));
}

QString ZoneText()
{
    return ZoneText(QDateTime::currentDateTime().offsetFromUtc());
}

QString ContentTypeOf(const QString &path)
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

QString TempFolder()
{
    return kirvane::tempFolder();
}

} // namespace kirvane::mail
