#include "subscriptions/deliverystatus.h"

#include <algorithm>

namespace kirvane::subscriptions {

namespace {

struct Field {
    QByteArray name; // lower case
    QByteArray value;
};

bool isBlank(const QByteArray &line) { return line.trimmed().isEmpty(); }

// Reads the header fields from line `at` up to the first empty line, unfolding
// continuation lines (RFC 5322 2.2.3); `at` is left on the line after the
// empty one, or at the end.
QList<Field> readFields(const QList<QByteArray> &lines, qsizetype &at)
{
    QList<Field> fields;
    for (; at < lines.size(); ++at) {
        const QByteArray &line = lines[at];
        if (isBlank(line)) {
            ++at;
            break;
        }
        if ((line.startsWith(' ') || line.startsWith('\t')) && !fields.isEmpty()) {
            fields.last().value += ' ' + line.trimmed();
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        fields.append({line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed()});
    }
    return fields;
}

QByteArray fieldValue(const QList<Field> &fields, const QByteArray &name)
{
    for (const Field &f : fields) {
        if (f.name == name)
            return f.value;
    }
    return QByteArray();
}

// The media type of a Content-Type value, lower case.
QByteArray mediaType(const QByteArray &contentType)
{
    const qsizetype semicolon = contentType.indexOf(';');
    return (semicolon < 0 ? contentType : contentType.left(semicolon)).trimmed().toLower();
}

// A parameter of a Content-Type value (RFC 2045 5.1), unquoted; its name is
// matched without regard to case.
QByteArray parameter(const QByteArray &contentType, const QByteArray &name)
{
    const QList<QByteArray> pieces = contentType.split(';');
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        const QByteArray piece = pieces[i].trimmed();
        const qsizetype eq = piece.indexOf('=');
        if (eq < 0 || piece.left(eq).trimmed().toLower() != name)
            continue;
        QByteArray value = piece.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return QByteArray();
}

// "rfc822; a@b.org" -> "a@b.org"; "smtp; 550 ..." -> "550 ...".
QString afterType(const QByteArray &value)
{
    const qsizetype semicolon = value.indexOf(';');
    return QString::fromLatin1((semicolon < 0 ? value : value.mid(semicolon + 1)).trimmed());
}

// An address as a report names it: one "@" with text on both sides, and
// nothing a mailbox cannot hold unquoted (blanks, controls, brackets, commas,
// quotes). A damaged or hostile report names something else.
bool isAddress(const QString &text)
{
    const qsizetype at = text.indexOf(QLatin1Char('@'));
    if (at <= 0 || at == text.size() - 1 || text.indexOf(QLatin1Char('@'), at + 1) >= 0)
        return false;
    return std::none_of(text.cbegin(), text.cend(), [](QChar c) {
        return c.unicode() <= 0x20 || c.unicode() == 0x7f || c.category() == QChar::Other_Control || c.isSpace()
               || QStringView(u"<>()[],;:\\\"").contains(c);
    });
}

// The body of the delivery-status part of a multipart/report body.
std::optional<QList<QByteArray>> statusPart(const QList<QByteArray> &lines, qsizetype at, const QByteArray &boundary)
{
    const QByteArray delimiter = "--" + boundary;
    const QByteArray closing = delimiter + "--";
    // The parts as line ranges; a delimiter line may carry trailing blanks
    // (RFC 2046 5.1.1).
    QList<std::pair<qsizetype, qsizetype>> parts;
    qsizetype start = -1;
    for (; at < lines.size(); ++at) {
        const QByteArray line = lines[at].trimmed();
        if (line == delimiter || line == closing) {
            if (start >= 0)
                parts.append({start, at});
            if (line == closing)
                break;
            start = at + 1;
        }
    }
    for (const auto &[first, end] : parts) {
        const QList<QByteArray> part = lines.mid(first, end - first);
        qsizetype body = 0;
        const QList<Field> header = readFields(part, body);
        const QByteArray type = mediaType(fieldValue(header, "content-type"));
        if (type != "message/delivery-status" && type != "message/global-delivery-status")
            continue;
        QList<QByteArray> content = part.mid(body);
        if (fieldValue(header, "content-transfer-encoding").trimmed().toLower() == "base64")
            content = QByteArray::fromBase64(content.join()).split('\n');
        for (QByteArray &line : content) {
            if (line.endsWith('\r'))
                line.chop(1);
        }
        return content;
    }
    return std::nullopt;
}

} // namespace

bool DeliveryNotice::Recipient::permanent() const
{
    return action == QLatin1String("failed") && status.startsWith(QLatin1Char('5'));
}

std::optional<DeliveryNotice> readDeliveryNotice(const QList<QByteArray> &lines)
{
    qsizetype at = 0;
    while (at < lines.size() && isBlank(lines[at]))
        ++at;
    const QList<Field> header = readFields(lines, at);
    const QByteArray contentType = fieldValue(header, "content-type");
    if (mediaType(contentType) != "multipart/report"
        || parameter(contentType, "report-type").toLower() != "delivery-status")
        return std::nullopt;
    const QByteArray boundary = parameter(contentType, "boundary");
    if (boundary.isEmpty())
        return std::nullopt;
    const std::optional<QList<QByteArray>> status = statusPart(lines, at, boundary);
    if (!status)
        return std::nullopt;

    // The per-message fields come first, then one group per recipient, the
    // groups separated by empty lines (RFC 3464 2.1).
    DeliveryNotice notice;
    qsizetype pos = 0;
    while (pos < status->size() && isBlank((*status)[pos]))
        ++pos;
    readFields(*status, pos);
    while (pos < status->size()) {
        const QList<Field> group = readFields(*status, pos);
        QByteArray recipient = fieldValue(group, "final-recipient");
        if (recipient.isEmpty())
            recipient = fieldValue(group, "original-recipient");
        if (recipient.isEmpty())
            continue;
        DeliveryNotice::Recipient r;
        r.address = afterType(recipient);
        if (r.address.startsWith(QLatin1Char('<')) && r.address.endsWith(QLatin1Char('>')))
            r.address = r.address.mid(1, r.address.size() - 2);
        if (!isAddress(r.address))
            r.address.clear();
        r.action = QString::fromLatin1(fieldValue(group, "action")).trimmed().toLower();
        r.status = QString::fromLatin1(fieldValue(group, "status")).section(QLatin1Char(' '), 0, 0).trimmed();
        r.diagnostic = afterType(fieldValue(group, "diagnostic-code"));
        notice.recipients.append(r);
    }
    return notice;
}

} // namespace kirvane::subscriptions
