#include "mail/mailmessage.h"

#include "mail/codecs.h"

#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>
#include <functional>

namespace kirvane::mail {

namespace {

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
// An image of a multipart/related is shown inside the page (RFC 2183 2.1:
// inline); any other file is an attachment.
void appendFilePart(QList<QByteArray> &out, const Attachment &f, bool embedded, bool inPage)
{
    out.append("Content-Type: " + oneLine(f.contentType).toUtf8() + "; " + fileNameParameter("name", f.fileName));
    out.append("Content-Transfer-Encoding: base64");
    out.append((inPage ? "Content-Disposition: inline; " : "Content-Disposition: attachment; ")
               + fileNameParameter("filename", f.fileName));
    if (embedded)
        out.append("Content-Id:<" + oneLine(f.fileName).toUtf8() + ">");
    out.append(QByteArray());
    out.append(f.encodedLines);
    out.append(QByteArray());
}

// The HTML lines with the charset that a <meta> declares made the one the
// message is labelled with: a page says its own charset, and a reader that
// believes the page over the label shows every letter beyond ASCII wrongly.
// Covers <meta charset="x"> and <meta http-equiv=... content="...; charset=x">.
QStringList withDeclaredCharset(const QStringList &lines, const QString &label)
{
    QStringList out = lines;
    for (QString &line : out) {
        qsizetype from = 0;
        while ((from = line.indexOf(QLatin1String("<meta"), from, Qt::CaseInsensitive)) >= 0) {
            const qsizetype end = line.indexOf(u'>', from);
            const qsizetype tagEnd = end < 0 ? line.size() : end;
            qsizetype at = line.indexOf(QLatin1String("charset"), from, Qt::CaseInsensitive);
            if (at < 0 || at > tagEnd) {
                from = tagEnd;
                continue;
            }
            at += 7;
            while (at < tagEnd && line.at(at).isSpace())
                ++at;
            if (at >= tagEnd || line.at(at) != u'=') {
                from = tagEnd;
                continue;
            }
            ++at;
            while (at < tagEnd && line.at(at).isSpace())
                ++at;
            const bool quotedValue = at < tagEnd && (line.at(at) == u'"' || line.at(at) == u'\'');
            if (quotedValue)
                ++at;
            qsizetype valueEnd = at;
            while (valueEnd < tagEnd && !line.at(valueEnd).isSpace() && line.at(valueEnd) != u'"'
                   && line.at(valueEnd) != u'\'' && line.at(valueEnd) != u';' && line.at(valueEnd) != u'/')
                ++valueEnd;
            line.replace(at, valueEnd - at, label);
            from = at + label.size();
        }
    }
    return out;
}

// The file parts that follow the text, between delimiter lines, then the
// closing delimiter and empty lines.
struct PartGroup {
    QList<std::pair<const Attachment *, bool>> files; // file, embedded
    QByteArray delimiter;
    int emptyLinesAfter = 1;
    bool related = false; // the parts of a multipart/related: shown in the page
};

// Every entry of text as lines: an entry holding line ends becomes several.
// The lines of cache hold none.
QStringList textLines(const QStringList &text, const TextLineCache *cache)
{
    QStringList lines;
    lines.reserve(text.size());
    for (const QString &entry : text) {
        if ((cache && cache->holds(entry)) || (!entry.contains(u'\r') && !entry.contains(u'\n'))) {
            lines.append(entry);
            continue;
        }
        QString normalised = entry;
        normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        lines.append(normalised.split(u'\n'));
    }
    return lines;
}

// RFC 5322 2.1.1: no line longer than 998 octets, and 78 where it can be.
constexpr qsizetype kMaxLineOctets = 998;
constexpr qsizetype kFoldWidth = 78;

// A header line folded (RFC 5322 2.2.3): a line break goes in front of a
// blank of the value, so that the lines stay within kFoldWidth where the
// value has blanks to break at, and within kMaxLineOctets always when it has
// any. With atCommas (address lists) a line may also end after a comma
// outside quotes, the next one starting with an added blank. A run without
// any break longer than kMaxLineOctets stays whole: the caller checks with
// fitsLines().
QList<QByteArray> folded(const QByteArray &line, bool atCommas)
{
    if (line.size() <= kFoldWidth)
        return {line};
    auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    const qsizetype textFrom = line.indexOf(':') + 1; // never between the name and its value
    QList<QByteArray> out;
    QByteArray lead; // the blank a break after a comma adds
    qsizetype start = 0;
    bool quoted = false;
    while (lead.size() + line.size() - start > kFoldWidth) {
        qsizetype best = -1;
        bool q = quoted;
        bool seenText = false;
        for (qsizetype i = start; i < line.size() && lead.size() + i - start <= kMaxLineOctets; ++i) {
            const char c = line.at(i);
            if (seenText && (isBlank(c) || (atCommas && !q && line.at(i - 1) == ','))) {
                const bool fits = lead.size() + i - start <= kFoldWidth;
                if (fits || best < 0)
                    best = i;
                if (!fits)
                    break;
            }
            if (c == '"' && (i == 0 || line.at(i - 1) != '\\'))
                q = !q;
            seenText = seenText || (!isBlank(c) && i >= textFrom);
        }
        if (best < 0)
            break;
        for (qsizetype i = start; i < best; ++i)
            if (line.at(i) == '"' && (i == 0 || line.at(i - 1) != '\\'))
                quoted = !quoted;
        out.append(lead + line.mid(start, best - start));
        start = best;
        lead = isBlank(line.at(start)) ? QByteArray() : QByteArray(" ");
    }
    out.append(lead + line.mid(start));
    return out;
}

// A URI as a header carries it between angle brackets: blanks, control and
// non-ASCII bytes, quotes, angle brackets and commas (which separate the
// addresses of List-Unsubscribe) percent-encoded.
QByteArray headerSafeUri(const QString &uri)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    QByteArray out;
    for (const char ch : uri.trimmed().toUtf8()) {
        const uchar c = uchar(ch);
        if (c <= 0x20 || c >= 0x7f || c == '<' || c == '>' || c == '"' || c == ',') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

// The longest URI a List-Unsubscribe line holds once folded: its own line
// " <uri>," or the first one, "List-Unsubscribe: <uri>,".
constexpr qsizetype kMaxUnsubscribeUri = kMaxLineOctets - qsizetype(sizeof "List-Unsubscribe: <>,") + 1;

bool fitsLines(const QList<QByteArray> &lines)
{
    return std::all_of(lines.cbegin(), lines.cend(), [](const QByteArray &l) { return l.size() <= kMaxLineOctets; });
}

// A header of free text (a subject, a sender's name) folded; one that cannot
// fold within kMaxLineOctets (a long run without blanks) goes as encoded
// words, which can. encoded is the header with the text as encoded words.
QList<QByteArray> foldedText(const QByteArray &plain, const std::function<QByteArray()> &encoded)
{
    QList<QByteArray> lines = folded(plain, false);
    return fitsLines(lines) ? lines : folded(encoded(), false);
}

} // namespace

QString listUnsubscribeFault(const QString &uri)
{
    const QString u = uri.trimmed();
    if (u.isEmpty())
        return QStringLiteral("an unsubscription address is empty");
    const bool mailto = u.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive) && u.size() > 7;
    const bool https = u.startsWith(QLatin1String("https://"), Qt::CaseInsensitive) && u.size() > 8;
    if (!mailto && !https)
        return QStringLiteral("an unsubscription address must be a mailto: or an https: address: %1").arg(u);
    if (headerSafeUri(u).size() > kMaxUnsubscribeUri)
        return QStringLiteral("an unsubscription address is longer than a header line can hold (%1 characters)")
            .arg(kMaxUnsubscribeUri);
    return QString();
}

// --- composition ------------------------------------------------------------

bool MailMessage::compose(QString *error)
{
    wireLines.clear();
    QList<QByteArray> h;
    QList<QByteArray> b;

    // The declared charset: charset when every text fits it, else UTF-8.
    TextLineCache *cache = lineCache.get();
    QStringList lines = textLines(text, cache);
    const bool alternative = bodyFormat == BodyFormat::Html && !plainAlternative.isEmpty();
    const QStringList plainLines = alternative ? textLines(plainAlternative, cache) : QStringList();
    // RFC 2978 2.3: a charset name is a token; anything else cannot be declared.
    static const QRegularExpression token(QStringLiteral("^[A-Za-z0-9!#$%&'+^_`{}~-]+$"));
    Charset wireCharset(token.match(charset).hasMatch() ? charset : QStringLiteral("UTF-8"));
    // canEncode() and encodeText() of a line, known already for a line of the cache.
    auto lineFits = [&](const QString &line) {
        const TextLineCache::Form *known = cache ? cache->form(line, wireCharset) : nullptr;
        return known ? known->fits : canEncode(line, wireCharset);
    };
    auto lineBytes = [&](const QString &line) {
        const TextLineCache::Form *known = cache ? cache->form(line, wireCharset) : nullptr;
        return known ? known->bytes : encodeText(line, wireCharset);
    };
    bool fits = canEncode(subject, wireCharset) && canEncode(userName, wireCharset);
    for (qsizetype i = 0; fits && i < lines.size(); ++i)
        fits = lineFits(lines.at(i));
    for (qsizetype i = 0; fits && i < plainLines.size(); ++i)
        fits = lineFits(plainLines.at(i));
    if (!fits)
        wireCharset = Charset(QStringLiteral("UTF-8"));
    if (bodyFormat == BodyFormat::Html)
        lines = withDeclaredCharset(lines, wireCharset.label());

    const QByteArray id = fixedIds.messageId.isEmpty() ? makeMessageId(messageIdHost(from)) : fixedIds.messageId;
    h.append("Message-Id: " + id);
    h.append("Date: " + oneLine(date).toUtf8());
    h.append("X-Priority: " + QByteArray::number(int(priority) + 1));

    if (!from.contains(u'@')) {
        if (error)
            *error = QStringLiteral("\"From\" address not complete.");
        return false;
    }
    const QByteArray fromAddress = oneLine(from).trimmed().toUtf8();
    // RFC 2047 5(3): encoded words stand for the phrase, never inside quotes.
    auto encodedName = [&] {
        return "From: " + encodedWords(oneLine(userName), wireCharset).join(' ') + " <" + fromAddress + ">";
    };
    if (userName.isEmpty())
        h.append(folded("From: " + fromAddress, false));
    else if (isAscii(userName))
        h.append(foldedText("From: " + quoted(userName) + " <" + fromAddress + ">", encodedName));
    else
        h.append(folded(encodedName(), false));
    if (!inReplyTo.isEmpty())
        h.append(folded("In-Reply-To: " + oneLine(inReplyTo).toUtf8(), false));
    if (!replyTo.isEmpty())
        h.append(folded("Reply-To: " + oneLine(replyTo).toUtf8(), true));
    h.append(folded("X-Mailer: " + oneLine(xMailer).toUtf8(), false));
    h.append(folded("To: " + oneLine(sendTo).toUtf8(), true));
    if (!cc.isEmpty())
        h.append(folded("CC: " + oneLine(cc).toUtf8(), true));
    h.append("MIME-Version: 1.0");

    // A text's lines on the wire, and its transfer encoding.
    auto encodeBody = [&](const QStringList &textLines, QList<QByteArray> &out) -> QByteArray {
        if (bodyEncoding == BodyEncoding::Base64) {
            QByteArray bodyBytes;
            for (const QString &line : textLines)
                bodyBytes += encodeText(line, wireCharset) + "\r\n";
            out = base64Lines(bodyBytes);
            return "base64";
        }
        out.reserve(textLines.size());
        bool tooLong = false;
        for (const QString &line : textLines) {
            out.append(lineBytes(line));
            tooLong = tooLong || out.last().size() > kMaxLineOctets;
        }
        if (tooLong) {
            out = quotedPrintableLines(out);
            return "quoted-printable";
        }
        for (QByteArray &line : out)
            if (line.startsWith('.'))
                line.prepend('.');
        return "8Bit";
    };
    const QByteArray encodingWord = encodeBody(lines, b);
    const QList<QByteArray> subjectWords = bodyEncoding == BodyEncoding::Base64
                                               ? encodedWords(oneLine(subject), wireCharset)
                                               : encodeHeaderWords(oneLine(subject), wireCharset);
    h.append(foldedText("Subject: " + subjectWords.join(' '),
                        [&] { return "Subject: " + encodedWords(oneLine(subject), wireCharset).join(' '); }));
    if (!listUnsubscribe.isEmpty()) {
        QList<QByteArray> uris;
        bool oneClick = false;
        for (const QString &uri : listUnsubscribe) {
            uris.append('<' + headerSafeUri(uri) + '>');
            oneClick = oneClick || uri.trimmed().startsWith(QLatin1String("https:"), Qt::CaseInsensitive);
        }
        h.append(folded("List-Unsubscribe: " + uris.join(", "), true));
        if (oneClick)
            h.append("List-Unsubscribe-Post: List-Unsubscribe=One-Click");
    }

    const QByteArray t = (bodyFormat == BodyFormat::Html ? "Content-Type: text/html; charset="
                                                         : "Content-Type: text/plain; charset=")
        + wireCharset.label().toLatin1();
    const QByteArray c = "Content-Transfer-Encoding: " + encodingWord;
    const int a = attachments.count();
    const int e = embeddedImages.count();

    QList<QByteArray> before;    // the lines in front of the text
    QList<PartGroup> groups;     // the file parts after it
    for (AttachmentList *files : {&embeddedImages, &attachments}) {
        QString fileError;
        if (!files->encodeAll(&fileError)) {
            if (error)
                *error = fileError;
            return false;
        }
    }
    auto partsOf = [](const AttachmentList &files, bool embedded) {
        QList<std::pair<const Attachment *, bool>> parts;
        for (int i = 0; i < files.count(); ++i)
            parts.append({&files[i], embedded});
        return parts;
    };
    // The delimiter line of a multipart: "--" and its boundary, fixed or new.
    auto delimiter = [](const QByteArray &fixed) { return "--" + (fixed.isEmpty() ? makeBoundary() : fixed); };
    // The header of a multipart/related whose root part is the HTML.
    auto relatedHeader = [](const QByteArray &d) {
        return QList<QByteArray>{"Content-Type: multipart/related;", "\ttype=\"text/html\";",
                                 "\tboundary=\"" + d.mid(2) + '"'};
    };
    auto mixedHeader = [](const QByteArray &d) {
        return QList<QByteArray>{"Content-Type: multipart/mixed;", "\tboundary=\"" + d.mid(2) + '"'};
    };
    if (alternative) {
        // multipart/alternative of the text, then the HTML (inside
        // multipart/related with its images); inside multipart/mixed with
        // the attachments when there are any.
        const QByteArray dA = delimiter(fixedIds.boundary3);
        QList<QByteArray> plain;
        const QByteArray plainEncoding = encodeBody(plainLines, plain);
        const QByteArray alternativeType = "Content-Type: multipart/alternative; boundary=\"" + dA.mid(2) + '"';
        QList<QByteArray> parts = {dA, "Content-Type: text/plain; charset=" + wireCharset.label().toLatin1(),
                                   "Content-Transfer-Encoding: " + plainEncoding, QByteArray()};
        parts += plain;
        parts.append(dA);
        if (e > 0) {
            const QByteArray d1 = delimiter(fixedIds.boundary1);
            parts += relatedHeader(d1) + QList<QByteArray>{QByteArray(), d1};
            groups.append({partsOf(embeddedImages, true), d1, 1, true});
        }
        parts += {t, c, QByteArray()};
        groups.append({{}, dA, 1});
        if (a > 0) {
            const QByteArray d2 = delimiter(fixedIds.boundary2);
            h.append(mixedHeader(d2));
            before = QList<QByteArray>{d2, alternativeType, QByteArray()} + parts;
            groups.append({partsOf(attachments, false), d2, 1});
        } else {
            h.append(alternativeType);
            before = parts;
        }
    } else if (a + e == 0) {
        h.append(t);
        h.append(c);
    } else if (e == 0 || bodyFormat != BodyFormat::Html) {
        // Images beside a plain text have nothing to be embedded in; they
        // travel as attachments that keep their content ids.
        const QByteArray d1 = delimiter(fixedIds.boundary1);
        h.append("Content-Type: multipart/mixed; boundary=\"" + d1.mid(2) + '"');
        before = {d1, t, c, QByteArray()};
        groups.append({partsOf(embeddedImages, true) + partsOf(attachments, false), d1, 1});
    } else if (a == 0) {
        const QByteArray d1 = delimiter(fixedIds.boundary1);
        h.append("Content-Type: multipart/related;");
        h.append("\tboundary=\"" + d1.mid(2) + '"');
        before = {d1, t, c, QByteArray()};
        groups.append({partsOf(embeddedImages, true), d1, 2, true});
    } else {
        const QByteArray d1 = delimiter(fixedIds.boundary1);
        const QByteArray d2 = delimiter(fixedIds.boundary2);
        h.append(mixedHeader(d2));
        before = QList<QByteArray>{d2} + relatedHeader(d1) + QList<QByteArray>{QByteArray(), d1, t, c, QByteArray()};
        groups.append({partsOf(embeddedImages, true), d1, 1, true});
        groups.append({partsOf(attachments, false), d2, 1});
    }

    h.append(extraHeaders);
    qsizetype total = h.size() + 1 + before.size() + b.size();
    for (const PartGroup &group : std::as_const(groups)) {
        for (const auto &[file, embedded] : group.files)
            total += file->encodedLines.size() + 7;
        total += 1 + group.emptyLinesAfter;
    }
    wireLines.reserve(total);
    wireLines.append(h);
    wireLines.append(QByteArray());
    wireLines.append(before);
    wireLines.append(b);
    for (const PartGroup &group : std::as_const(groups)) {
        for (const auto &[file, embedded] : group.files) {
            wireLines.append(group.delimiter);
            appendFilePart(wireLines, *file, embedded, embedded && group.related);
        }
        wireLines.append(group.delimiter + "--");
        for (int i = 0; i < group.emptyLinesAfter; ++i)
            wireLines.append(QByteArray());
    }
    return true;
}

// --- shared functions -------------------------------------------------------

QByteArray messageIdHost(const QString &from)
{
    // The address between angle brackets when the sender names one so.
    QString address = from.trimmed();
    const qsizetype open = address.lastIndexOf(u'<');
    if (open >= 0)
        address = address.mid(open + 1).section(u'>', 0, 0);
    const qsizetype at = address.lastIndexOf(u'@');
    const QString domain = address.mid(at + 1).trimmed();
    // Labels of ASCII letters, digits and hyphens between dots (a dot-atom,
    // RFC 5322 3.6.4): anything else could end the identifier or the header.
    bool fits = at >= 0 && !domain.isEmpty() && !domain.startsWith(u'.') && !domain.endsWith(u'.')
             && !domain.contains(QLatin1String(".."));
    for (qsizetype i = 0; fits && i < domain.size(); ++i) {
        const char16_t c = domain.at(i).unicode();
        fits = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-'
            || c == u'.';
    }
    return fits ? domain.toLatin1() : QByteArray("localhost");
}

namespace {

// The local time of the current second, worked out once per second: the C
// library looks at the zone file each time it converts to local time (several
// times for one QDateTime), which a run of thousands of messages would do for
// each of them.
struct LocalSecond {
    qint64 second = -1;
    QString mailDate;
    QByteArray day; // yyyy.MM.dd
};

const LocalSecond &localSecond()
{
    static thread_local LocalSecond now;
    const qint64 second = QDateTime::currentSecsSinceEpoch();
    if (second != now.second) {
        const QDateTime t = QDateTime::fromSecsSinceEpoch(second);
        now.mailDate = formatMailDate(t);
        now.day = t.date().toString(u"yyyy.MM.dd").toLatin1();
        now.second = second;
    }
    return now;
}

} // namespace

QByteArray makeMessageId(const QByteArray &host)
{
    return "<QZV." + localSecond().day + '.' + randomLetters(16, 't') + '@' + host + '>';
}

QString currentMailDate()
{
    return localSecond().mailDate;
}

QByteArray makeBoundary()
{
    return "--_QZV_bound_" + randomLetters(12, 'y');
}

QString formatMailDate(const QDateTime &t)
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
        .arg(zoneText(t.offsetFromUtc()));
}

QString zoneText(int offsetSeconds)
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

QString zoneText()
{
    return zoneText(QDateTime::currentDateTime().offsetFromUtc());
}


} // namespace kirvane::mail
