// MailMessage::parse() and the MimeParser it uses: filling a MailMessage from
// a received message. Lenient by design: headers are looked up by name,
// multipart bodies are split at their delimiter lines, and nothing in the
// input makes parsing fail; the worst a broken message gets is a part kept as
// plain text or left out.

#include "mail/codecs.h"
#include "mail/mailmessage.h"

#include <QRegularExpression>

namespace kirvane::mail {

namespace {

// Deeper nesting than this is left out: real mail stays far below it, and
// a hostile message could otherwise exhaust the stack.
constexpr int kMaxDepth = 32;

using Lines = QList<QByteArray>;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The first line of the header block at the top of lines: the first line,
// or the first after the empty lines at the top when skipLeadingEmpty.
qsizetype headerStart(const Lines &lines, bool skipLeadingEmpty)
{
    qsizetype i = 0;
    if (skipLeadingEmpty)
        while (i < lines.size() && lines.at(i).isEmpty())
            ++i;
    return i;
}

// A line of a header block (RFC 5322 2.2): a field, a name of printable
// characters other than ":" followed by ":"; the continuation of one, which
// starts with a blank; or a mailbox's "From " line.
bool isHeaderLine(const QByteArray &line)
{
    if (line.isEmpty())
        return false;
    if (isBlank(line.at(0)) || line.startsWith("From "))
        return true;
    for (const char c : line) {
        if (c == ':')
            return true;
        if (uchar(c) < 0x21 || uchar(c) > 0x7e)
            return false;
    }
    return false;
}

// The end of the header block that starts at start: the first line that is
// not a header line. An empty line ends it as it should; any other line ends
// it too and begins the body, as when the empty line was forgotten (RFC 5322
// 3.5; Python's email package reads it so and notes a missing separator).
// So a first line that is no field begins the body, even when the next line
// starts with a blank.
qsizetype headerEnd(const Lines &lines, qsizetype start)
{
    qsizetype i = start;
    while (i < lines.size() && isHeaderLine(lines.at(i)))
        ++i;
    return i;
}

// The unfolded value of the first header called name (upper case, ending in
// ":") with the name itself removed; a null array when there is none.
// Unfolding removes only the line breaks (RFC 5322 2.2.3).
QByteArray headerValue(const Lines &lines, const QByteArray &name, bool skipLeadingEmpty)
{
    const qsizetype start = headerStart(lines, skipLeadingEmpty);
    const qsizetype end = headerEnd(lines, start);
    for (qsizetype i = start; i < end; ++i) {
        const QByteArray &line = lines.at(i);
        if (line.size() < name.size() || qstrnicmp(line.constData(), name.constData(), name.size()) != 0)
            continue;
        QByteArray value = line.mid(name.size());
        for (qsizetype j = i + 1; j < end && isBlank(lines.at(j).at(0)); ++j)
            value += lines.at(j);
        return value.trimmed();
    }
    return QByteArray();
}

// The value up to its first ";", trimmed.
QByteArray firstField(const QByteArray &value)
{
    const qsizetype semicolon = value.indexOf(';');
    return (semicolon < 0 ? value : value.left(semicolon)).trimmed();
}

// Parameters of a Content-Type or Content-Disposition value (RFC 2045 5.1),
// quoted strings honoured, RFC 2231 extended values and continuations read.
// A plain value is RFC 2047 decoded when decodeWords is set; a boundary is
// not, since "=?" and "?=" are characters a boundary may hold (RFC 2046
// 5.1.1), and is returned byte for byte as Latin-1.
QString parameter(const QByteArray &value, const QByteArray &wanted, bool decodeWords = true)
{
    QByteArray plain;
    QMap<int, QByteArray> pieces; // name*N or name*N* continuations
    QMap<int, bool> piecesEncoded;
    QByteArray extended;          // name*=charset'lang'value
    bool haveExtended = false;

    qsizetype i = value.indexOf(';');
    while (i >= 0 && i < value.size()) {
        ++i; // past ";"
        while (i < value.size() && isBlank(value[i]))
            ++i;
        const qsizetype eq = value.indexOf('=', i);
        if (eq < 0)
            break;
        const QByteArray name = value.mid(i, eq - i).trimmed().toLower();
        i = eq + 1;
        while (i < value.size() && isBlank(value[i]))
            ++i;
        QByteArray v;
        if (i < value.size() && value[i] == '"') {
            ++i;
            while (i < value.size() && value[i] != '"') {
                if (value[i] == '\\' && i + 1 < value.size())
                    ++i;
                v += value[i++];
            }
            const qsizetype next = value.indexOf(';', i);
            i = next;
        } else {
            const qsizetype next = value.indexOf(';', i);
            v = (next < 0 ? value.mid(i) : value.mid(i, next - i)).trimmed();
            i = next;
        }
        if (name == wanted) {
            if (plain.isNull())
                plain = v.isNull() ? QByteArray("") : v;
        } else if (name == wanted + '*') {
            extended = v;
            haveExtended = true;
        } else if (name.startsWith(wanted + '*')) {
            QByteArray rest = name.mid(wanted.size() + 1);
            const bool encoded = rest.endsWith('*');
            if (encoded)
                rest.chop(1);
            bool ok = false;
            const int n = rest.toInt(&ok);
            if (ok && n >= 0 && n < 1000) {
                pieces.insert(n, v);
                piecesEncoded.insert(n, encoded);
            }
        }
    }

    if (haveExtended) {
        pieces = {{0, extended}};
        piecesEncoded = {{0, true}};
    }
    if (!pieces.isEmpty()) {
        // RFC 2231 3 and 4: the first encoded piece starts with
        // charset'language'; encoded pieces are percent-encoded, others not.
        QByteArray bytes;
        QString charset;
        for (auto it = pieces.cbegin(); it != pieces.cend(); ++it) {
            QByteArray piece = it.value();
            if (!piecesEncoded.value(it.key())) {
                bytes += piece;
                continue;
            }
            if (it == pieces.cbegin()) {
                const qsizetype q1 = piece.indexOf('\'');
                const qsizetype q2 = q1 < 0 ? -1 : piece.indexOf('\'', q1 + 1);
                if (q2 >= 0) {
                    charset = QString::fromLatin1(piece.left(q1));
                    piece = piece.mid(q2 + 1);
                }
            }
            bytes += QByteArray::fromPercentEncoding(piece);
        }
        return piecesEncoded.value(pieces.firstKey()) ? decodeText(bytes, charset) : decodeHeaderText(bytes);
    }
    if (plain.isNull())
        return QString();
    return decodeWords ? decodeHeaderText(plain) : QString::fromLatin1(plain);
}

struct PartInfo {
    QByteArray type;      // upper case
    QString name;
    QByteArray encoding;  // upper case
    QString charset;
    QByteArray contentType; // the whole Content-Type value
};

PartInfo partInfo(const Lines &lines, bool topLevel)
{
    PartInfo info;
    info.contentType = headerValue(lines, "CONTENT-TYPE:", topLevel);
    info.type = firstField(info.contentType).toUpper();
    if (info.type.isEmpty())
        info.type = "TEXT/PLAIN";
    info.name = parameter(info.contentType, "name").trimmed();
    info.charset = parameter(info.contentType, "charset").trimmed();
    info.encoding = firstField(headerValue(lines, "CONTENT-TRANSFER-ENCODING:", topLevel)).toUpper();
    if (info.encoding.isEmpty())
        info.encoding = "7BIT";
    if (info.name.isEmpty())
        info.name = parameter(headerValue(lines, "CONTENT-DISPOSITION:", topLevel), "filename").trimmed();
    // Some writers quote a name in single quotes, which MIME does not know.
    if (info.name.size() >= 2 && info.name.startsWith(u'\'') && info.name.endsWith(u'\''))
        info.name = info.name.mid(1, info.name.size() - 2).trimmed();
    return info;
}

// The body: the header block and the empty lines after it removed.
Lines stripHeader(const Lines &lines)
{
    qsizetype i = headerEnd(lines, 0);
    while (i < lines.size() && lines.at(i).isEmpty())
        ++i;
    return lines.mid(i);
}

QByteArray joined(const Lines &lines)
{
    return lines.join("\r\n");
}

// Splits bytes at CR LF, LF or a lone CR; a final line end adds no line.
QStringList splitLines(const QByteArray &bytes, const QString &charset)
{
    QStringList out;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        out.append(decodeText(bytes.mid(start, i - start), charset));
        if (bytes[i] == '\r' && i + 1 < n && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        out.append(decodeText(bytes.mid(start), charset));
    return out;
}

// RFC 2046 5.1.1: a delimiter line may carry blanks after the boundary.
bool isDelimiter(const QByteArray &line, const QByteArray &delimiter)
{
    if (!line.startsWith(delimiter))
        return false;
    for (qsizetype i = delimiter.size(); i < line.size(); ++i)
        if (!isBlank(line[i]))
            return false;
    return true;
}

// The value of a uuencoded character ("`" and " " are 0), or -1.
int uuValue(char c)
{
    if (c == '`')
        return 0;
    return c >= ' ' && c <= '_' ? c - ' ' : -1;
}

// True when line is a line of uuencoded data: its first character announces
// how many bytes it carries, and the characters after it are of the uu
// alphabet and as many as carry that count (a writer may pad the last group,
// or drop the blanks that end it).
bool isUuDataLine(const QByteArray &line)
{
    if (line.isEmpty())
        return false;
    const int count = uuValue(line.at(0));
    if (count < 0)
        return false;
    const qsizetype minimum = (qsizetype(count) * 4 + 2) / 3;
    const qsizetype padded = (qsizetype(count) + 2) / 3 * 4;
    const qsizetype chars = line.size() - 1;
    if (chars < minimum || chars > padded + 1)
        return false;
    for (qsizetype k = 1; k < line.size(); ++k)
        if (uuValue(line.at(k)) < 0)
            return false;
    return true;
}

// When body[begin] starts a uuencoded block, the index of the "end" line
// that closes it, with the file's name in *name; otherwise -1. A block is one
// only when it decodes as such: "begin", an octal mode, a name, then data
// lines (empty lines aside) up to an "end" line. Any other "begin" line, such
// as "begin 100 days of summer reading" in a letter, is text.
qsizetype uuBlockEnd(const Lines &body, qsizetype begin, QString *name)
{
    static const QRegularExpression header(QStringLiteral("^begin ([0-7]{3,4}) (\\S.*)$"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QByteArray &first = body.at(begin);
    if (first.size() <= 10 || qstrnicmp(first.constData(), "begin ", 6) != 0)
        return -1;
    const QRegularExpressionMatch match = header.match(QString::fromLatin1(first.trimmed()));
    if (!match.hasMatch())
        return -1;
    for (qsizetype i = begin + 1; i < body.size(); ++i) {
        const QByteArray &line = body.at(i);
        if (line.trimmed().toLower() == "end") {
            *name = decodeText(first.trimmed().mid(match.capturedStart(2), 64).trimmed(), QString());
            return i;
        }
        if (!line.isEmpty() && !isUuDataLine(line))
            return -1;
    }
    return -1;
}

class MimeParser
{
public:
    explicit MimeParser(MailMessage &msg) : m_msg(msg) {}

    void parsePart(const Lines &lines, int depth);
    QString error;

private:
    MailMessage &m_msg;

    void addAttachment(const QString &partName, const QByteArray &type, const QByteArray &encoding, const Lines &body);
    void addText(const Lines &body, const QByteArray &encoding, const QString &charset);
};

void MimeParser::addText(const Lines &body, const QByteArray &encoding, const QString &charset)
{
    // Uuencoded files inside the text leave it as attachments, "begin" and
    // "end" lines included; what remains is then taken as it is.
    Lines remaining;
    bool foundBlock = false;
    qsizetype i = 0;
    while (i < body.size()) {
        QString name;
        const qsizetype end = uuBlockEnd(body, i, &name);
        if (end < 0) {
            remaining.append(body.at(i));
            ++i;
            continue;
        }
        Lines block;
        for (; i < end; ++i) {
            if (!body.at(i).isEmpty())
                block.append(body.at(i));
        }
        i = end + 1; // past the "end" line
        foundBlock = true;
        addAttachment(name, "APPLICATION/OCTET-STREAM", "X-UUENCODE", block);
    }

    if (!foundBlock && encoding == "QUOTED-PRINTABLE") {
        m_msg.text.append(splitLines(decodeQuotedPrintable(joined(remaining)), charset));
    } else if (!foundBlock && encoding == "BASE64") {
        Base64Decoder decoder;
        for (const QByteArray &line : remaining)
            decoder.feed(line);
        m_msg.text.append(splitLines(decoder.take(), charset));
    } else {
        for (const QByteArray &line : remaining)
            m_msg.text.append(decodeText(line, charset));
    }
}

void MimeParser::addAttachment(const QString &partName, const QByteArray &type, const QByteArray &encoding, const Lines &body)
{
    QString name = partName;
    if (name.isEmpty()) {
        name = m_msg.subject;
        QString extension;
        if (type == "TEXT/HTML")
            extension = QStringLiteral(".html");
        else if (type == "IMAGE/JPEG")
            extension = QStringLiteral(".jpeg");
        else if (type == "IMAGE/GIF")
            extension = QStringLiteral(".gif");
        if (!extension.isEmpty()) {
            // The extension is what follows the last "." after any folder or drive separator.
            const qsizetype dot = name.lastIndexOf(u'.');
            const qsizetype separator = std::max({name.lastIndexOf(u'\\'), name.lastIndexOf(u'/'), name.lastIndexOf(u':')});
            if (dot > separator)
                name.truncate(dot);
            name += extension;
        }
    }
    // Nothing in the name may reach a folder or a device, or break a line.
    QString clean;
    clean.reserve(name.size());
    for (const QChar c : name)
        if (!QStringView(u"\\/:*?\"<>|").contains(c) && c.unicode() >= 0x20 && c.unicode() != 0x7F)
            clean.append(c);
    clean = clean.trimmed();
    if (clean.isEmpty() || clean == u"." || clean == u"..")
        clean = QStringLiteral("attachment");

    Attachment &file = m_msg.attachments.add(clean);
    file.heldInMemory = true;
    if (encoding == "BASE64") {
        Base64Decoder decoder;
        for (const QByteArray &line : body)
            decoder.feed(line);
        file.data = decoder.take();
    } else if (encoding == "X-UUENCODE") {
        if (!decodeUu(body, &file.data) && error.isEmpty())
            error = QStringLiteral("Oops...");
    } else if (encoding == "QUOTED-PRINTABLE") {
        QByteArray data = decodeQuotedPrintable(joined(body));
        if (data.endsWith("\r\n"))
            data.chop(2);
        file.data = data;
    } else {
        file.data = joined(body);
    }
}

void MimeParser::parsePart(const Lines &input, int depth)
{
    if (depth > kMaxDepth)
        return;
    // A message may start with empty lines; a part's first line is its header.
    const Lines lines = depth == 0 ? input.mid(headerStart(input, true)) : input;
    const PartInfo info = partInfo(lines, false);

    if (info.type.contains("TEXT")) {
        const Lines body = stripHeader(lines);
        if (!info.name.isEmpty() || info.type == "TEXT/HTML")
            addAttachment(info.name, info.type, info.encoding, body);
        else
            addText(body, info.encoding, info.charset);
        return;
    }

    if (info.type.contains("MULTIPART")) {
        const QString boundary = parameter(info.contentType, "boundary", false);
        const Lines body = stripHeader(lines);
        if (boundary.isEmpty()) {
            addText(body, "7BIT", QString());
            return;
        }
        const QByteArray delimiter = "--" + boundary.toLatin1();
        const QByteArray closing = delimiter + "--";
        qsizetype i = 0;
        while (i < body.size() && !isDelimiter(body.at(i), delimiter))
            ++i;
        if (i == body.size()) {
            // No part starts: what there is, is text. So reads a multipart
            // whose delimiter its parent took, having the same boundary: its
            // parts are the parent's (RFC 2046 5.1.2 has the outer boundary
            // end an inner part), and this part keeps only its preamble.
            addText(body, "7BIT", QString());
            return;
        }
        Lines part;
        bool inPart = false;
        for (; i < body.size(); ++i) {
            const QByteArray &line = body.at(i);
            if (isDelimiter(line, closing)) {
                break;
            }
            if (isDelimiter(line, delimiter)) {
                if (inPart)
                    parsePart(part, depth + 1);
                part.clear();
                inPart = true;
                continue;
            }
            part.append(line);
        }
        // A closing delimiter that never comes ends the last part at the end of the body.
        if (inPart)
            parsePart(part, depth + 1);
        return;
    }

    const Lines body = stripHeader(lines);
    if (info.encoding == "X-UUENCODE" || !info.name.isEmpty())
        addAttachment(info.name, info.type, info.encoding, body);
    else if (info.type == "MESSAGE/RFC822")
        parsePart(body, depth + 1);
    else if (info.encoding != "BASE64" && info.encoding != "QUOTED-PRINTABLE")
        for (const QByteArray &line : body)
            m_msg.text.append(decodeText(line, info.charset));
    else
        addAttachment(info.name, info.type, info.encoding, body);
}

// RFC 5322 addresses reduced to "Display name" <address> pieces joined by ", ".
QString normalisedAddresses(const QByteArray &value)
{
    // Quoted strings go first, so that a comma inside one does not split.
    QByteArray text;
    bool inQuotes = false;
    for (const char c : value) {
        if (c == '"') {
            inQuotes = !inQuotes;
            continue;
        }
        if (!inQuotes)
            text += c;
    }
    QStringList out;
    for (const QByteArray &piece : text.split(',')) {
        if (piece.trimmed().isEmpty())
            continue;
        QString name = decodeHeaderText(piece);
        const qsizetype lt = name.indexOf(u'<');
        const qsizetype gt = lt < 0 ? -1 : name.indexOf(u'>', lt);
        if (lt >= 0 && gt >= 0)
            name.remove(lt, gt - lt + 1);
        const qsizetype open = name.indexOf(u'(');
        const qsizetype close = open < 0 ? -1 : name.indexOf(u')', open);
        if (open >= 0 && close >= 0)
            name = name.mid(open + 1, close - open - 1);
        name.remove(u'"').remove(u'\'');
        name = name.trimmed();

        // The address without its "(...)" comments; an unclosed one stays.
        const QString raw = QString::fromUtf8(piece);
        QString address;
        bool closable = true; // false once a "(" was found without its ")"
        for (qsizetype k = 0; k < raw.size(); ++k) {
            const qsizetype c = closable && raw.at(k) == u'(' ? raw.indexOf(u')', k) : -1;
            if (c < 0) {
                if (raw.at(k) == u'(')
                    closable = false;
                address += raw.at(k);
                continue;
            }
            k = c;
        }
        address = address.trimmed();
        const qsizetype al = address.indexOf(u'<');
        const qsizetype ag = al < 0 ? -1 : address.indexOf(u'>', al);
        if (al >= 0 && ag >= 0)
            address = address.mid(al + 1, ag - al - 1).trimmed();
        out.append(u'"' + name + QStringLiteral("\" <") + address + u'>');
    }
    return out.join(QStringLiteral(", "));
}

} // namespace

bool MailMessage::parse(const QList<QByteArray> &lines, QString *error)
{
    wireLines = lines;
    const qsizetype start = headerStart(lines, true);
    headers = lines.mid(start, headerEnd(lines, start) - start);

    // Without a From header, only a mailbox's envelope line ("From " and the
    // address) names the sender; any other first line would give a piece of
    // itself, such as "ved: from mx..." of a Received line.
    if (!headers.isEmpty() && headers.first().startsWith("From "))
        from = decodeText(headers.first().mid(5).trimmed().split(' ').value(0).left(72), QString());
    // Header values stop at their first ";", as the subscription requests expect.
    enum class Form { AsWritten, Decoded, Addresses, UpperCase };
    static const struct {
        const char *name;
        QString MailMessage::*field;
        Form form;
    } fields[] = {
        {"FROM:", &MailMessage::from, Form::Decoded},
        {"SENDER:", &MailMessage::sender, Form::Addresses},
        {"MESSAGE-ID:", &MailMessage::messageId, Form::AsWritten},
        {"IN-REPLY-TO:", &MailMessage::inReplyTo, Form::AsWritten},
        {"RETURN-PATH:", &MailMessage::returnPath, Form::AsWritten},
        {"REPLY-TO:", &MailMessage::replyTo, Form::Addresses},
        {"TO:", &MailMessage::sendTo, Form::Addresses},
        {"CC:", &MailMessage::cc, Form::Addresses},
        {"DATE:", &MailMessage::date, Form::AsWritten},
        {"SUBJECT:", &MailMessage::subject, Form::Decoded},
        {"CONTENT-TYPE:", &MailMessage::contentType, Form::UpperCase},
        {"CONTENT-TRANSFER-ENCODING:", &MailMessage::contentTransferEncoding, Form::UpperCase},
    };
    for (const auto &f : fields) {
        const QByteArray header = headerValue(lines, f.name, true);
        if (header.isNull())
            continue;
        const QByteArray value = firstField(header);
        switch (f.form) {
        case Form::AsWritten: this->*f.field = decodeText(value, QString()); break;
        case Form::Decoded: this->*f.field = decodeHeaderText(value); break;
        case Form::Addresses: this->*f.field = normalisedAddresses(value); break;
        case Form::UpperCase: this->*f.field = QString::fromLatin1(value.toUpper()); break;
        }
    }

    MimeParser parser(*this);
    parser.parsePart(lines, 0);
    if (clearWireLinesAfterParse) {
        wireLines.clear();
    } else {
        // wireLines is always the wire form: a kept message is stuffed like a
        // composed one, or a line starting ".." would lose a dot when sent on.
        for (QByteArray &line : wireLines)
            if (line.startsWith('.'))
                line.prepend('.');
    }
    if (error)
        *error = parser.error;
    return parser.error.isEmpty();
}

} // namespace kirvane::mail
