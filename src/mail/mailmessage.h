#pragma once
// One e-mail message: what the sending run fills for a contact and turns into
// wire lines with compose(), and what the POP3 client fills from a fetched
// message with parse().
//
// Texts are held as QString; they are converted to the message's charset only
// on the wire, so nothing the user typed is lost (a text that does not fit the
// chosen charset goes out as UTF-8). wireLines is the wire form: one entry per
// line, without its CR LF.
//
// Typical use when sending:
//     MailMessage msg;
//     msg.from = "news@example.org"; msg.sendTo = "a@example.org";
//     msg.subject = "Hello"; msg.text = {"line 1", "line 2"};
//     msg.attachments.add("/path/report.pdf");
//     msg.date = currentMailDate();
//     QString error;
//     if (!msg.compose(&error)) { ... }
//     // msg.wireLines now holds the lines to send after DATA
//
// Lines that compose() writes are already dot-stuffed where a line could
// start with "." (only text-body lines can), so an SMTP client sends them as
// they are. parse() expects lines with the stuffing already undone; when it
// keeps them (clearWireLinesAfterParse false) it stuffs them again, so
// wireLines is always the wire form.

#include "mail/attachment.h"
#include "mail/textlinecache.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace kirvane::mail {

// The X-Priority header: 1 (Highest) to 5 (Lowest).
enum class Priority { Highest, High, Normal, Low, Lowest };
// How the text body is written: 8-bit lines (quoted-printable when a line is
// too long) or base64.
enum class BodyEncoding { EightBit, Base64 };
enum class BodyFormat { Plain, Html };

class MailMessage
{
public:
    // Composition.
    QString userName;        // sender's display name
    QString from;            // sender address; must contain "@"
    QString replyTo;
    QString sendTo;          // comma-separated addresses
    QString cc;
    QString bcc;             // never written as a header
    QString subject;
    QStringList text;        // body lines (plain text or HTML source)
    QList<QByteArray> extraHeaders; // appended unchanged after the generated headers
    // With an HTML body: the text a reader without HTML sees; when not empty
    // the message is multipart/alternative with this text first.
    QStringList plainAlternative;
    // The List-Unsubscribe addresses (RFC 2369), mailto: or https:, in order
    // of preference. Anything that could end an address or the header is
    // percent-encoded; an https: one adds List-Unsubscribe-Post for one-click
    // unsubscription (RFC 8058).
    QStringList listUnsubscribe;
    Priority priority = Priority::Normal;
    QString charset = QStringLiteral("ISO-8859-1");
    BodyEncoding bodyEncoding = BodyEncoding::EightBit;
    BodyFormat bodyFormat = BodyFormat::Plain;
    QString xMailer;
    bool clearWireLinesAfterParse = true;
    QString inReplyTo;
    QString date;            // the Date line; the SMTP client sets it when it composes
    AttachmentList attachments;
    AttachmentList embeddedImages; // images the HTML body names as "cid:" + fileName
    QList<QByteArray> wireLines;   // the message as wire lines, without CR LF
    // Lines of text and plainAlternative whose wire form a series of
    // messages shares; optional, and used by compose() alone.
    std::shared_ptr<TextLineCache> lineCache;

    // Filled by parsing.
    QString sender;
    QString messageId;
    QString returnPath;
    QString contentType = QStringLiteral("TEXT/PLAIN");
    QString contentTransferEncoding = QStringLiteral("7BIT");
    QList<QByteArray> headers; // the received header lines as they came
    qint64 size = 0;           // set by the POP3 client
    QString uidl;              // set by the POP3 client

    // Identifiers that a composition otherwise draws at random; for tests
    // that compare exact lines. Empty members are drawn as usual.
    struct FixedIds {
        QByteArray messageId;
        QByteArray boundary1;
        QByteArray boundary2;
        QByteArray boundary3; // of the text alternative
    };
    FixedIds fixedIds;

    // Rebuilds wireLines from the properties, encoding every attached file and
    // embedded image; the Message-Id names the domain of the sender's
    // address. Returns false and leaves wireLines empty when from holds
    // no "@" (error "\"From\" address not complete.") or a file cannot be read
    // (the file system's error text).
    [[nodiscard]] bool compose(QString *error = nullptr);

    // Fills the message from the lines of a received message (dot-stuffing
    // undone, no CR LF). Adds to text and attachments, so use it on a fresh
    // message. Never fails on malformed input; returns false with the error
    // text "Oops..." when a part declared uuencoded holds a character outside
    // the uu alphabet (the rest of the message is still filled). Lines inside
    // a text are a uuencoded file only when they decode as one; otherwise
    // they stay text.
    bool parse(const QList<QByteArray> &lines, QString *error = nullptr);
};

// Why uri cannot stand in a List-Unsubscribe header (RFC 2369 3.2, RFC 8058
// 3.1): it is empty, it is neither a mailto: nor an https: address, or it is
// too long for the folded header to keep its lines within 998 octets (RFC
// 5322 2.1.1); "" when it can. In English.
[[nodiscard]] QString listUnsubscribeFault(const QString &uri);

// "<QZV.yyyy.mm.dd.<16 letters a-t>@host>".
[[nodiscard]] QByteArray makeMessageId(const QByteArray &host);
// The host a Message-Id names for a sender: the domain of the address (its
// letter case kept), or "localhost" when it has none a Message-Id can hold.
[[nodiscard]] QByteArray messageIdHost(const QString &from);
// "--_QZV_bound_" + 12 letters a-y; the boundary parameter value.
[[nodiscard]] QByteArray makeBoundary();
// "Tue, 8 Dec 2026 14:05:09 +0100" in English whatever the locale; the zone
// is that of t.
[[nodiscard]] QString formatMailDate(const QDateTime &t);
// formatMailDate of the current time, to the second.
[[nodiscard]] QString currentMailDate();
// Offset east of UTC as "+hhmm"/"-hhmm", "GMT" when zero.
[[nodiscard]] QString zoneText(int offsetSeconds);
[[nodiscard]] QString zoneText(); // the current local offset

} // namespace kirvane::mail
