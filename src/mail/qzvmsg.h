#pragma once
// One e-mail message: what the sending run fills for a contact and turns into
// wire lines with FillRawMail(), and what the POP3 client fills from a fetched
// message with ParseRawMail().
//
// Texts are held as QString; they are converted to the message's charset only
// on the wire, so nothing the user typed is lost (a text that does not fit the
// chosen charset goes out as UTF-8). RawMail is the wire form: one entry per
// line, without its CR LF.
//
// Typical use when sending:
//     TQzvMsg msg;
//     msg.From = "news@example.org"; msg.SendTo = "a@example.org";
//     msg.Subject = "Hello"; msg.Text = {"line 1", "line 2"};
//     msg.AttachedFiles.Add("/path/report.pdf");
//     msg.Date = FormatMailDate(QDateTime::currentDateTime());
//     QString error;
//     if (!msg.FillRawMail(&error)) { ... }
//     // msg.RawMail now holds the lines to send after DATA
//
// Lines that FillRawMail writes are already dot-stuffed where a line could
// start with "." (only text-body lines can), so an SMTP client sends them as
// they are. ParseRawMail expects lines with the stuffing already undone; when
// it keeps them (ClearRawMailAfterParse false) it stuffs them again, so RawMail
// is always the wire form.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace kirvane::mail {

enum TPriority { prHighest, prHigh, prNormal, prLow, prLowest };
enum TTextEncoding { te8Bit, teBase64 };
enum TMessageType { mtPlain, mtHTML };

// One attached file or embedded image.
class TAttachedFile
{
public:
    QString FileName;            // name without folder; part headers and content id
    QString PathName;            // path given to TAttachedFiles::Add
    QString ContentType;         // ContentTypeOf(path); a received file's is that of its name
    QByteArray Data;             // content bytes; empty until encoded or parsed
    QList<QByteArray> EncodedLines; // base64 of Data, 76 characters a line
    // True for the files of a received message: their content is Data alone,
    // even when empty. PathName is then only the name the sender gave, and a
    // file of that name on this machine must never be read in its place.
    bool HeldInMemory = false;

    // Fills EncodedLines (and Data when the source is the file). The source is
    // Data when it holds bytes or HeldInMemory is set, else the file at PathName. Encoding a file is
    // done once per process for a given path, size and modification time;
    // later calls share the result. Bytes already encoded (by this item, or
    // by the one it was copied from) are not encoded again until Data
    // changes. Returns false with the file system's error text when the file
    // cannot be read.
    [[nodiscard]] bool Encode(QString *error = nullptr);

private:
    QByteArray m_encodedData; // the Data that EncodedLines encodes, shared with it
};

// Ordered collection that owns its items; references returned by Add and
// operator[] stay valid until the item is removed or the collection cleared.
class TAttachedFiles
{
public:
    TAttachedFiles() = default;
    TAttachedFiles(const TAttachedFiles &other);
    TAttachedFiles &operator=(const TAttachedFiles &other);
    TAttachedFiles(TAttachedFiles &&) noexcept = default;
    TAttachedFiles &operator=(TAttachedFiles &&) noexcept = default;

    // Appends an item for path: FileName is the name part, PathName the path,
    // ContentType ContentTypeOf(path).
    TAttachedFile &Add(const QString &path);
    [[nodiscard]] int Count() const { return int(m_items.size()); }
    [[nodiscard]] bool IsEmpty() const { return m_items.empty(); }
    TAttachedFile &operator[](int i) { return *m_items.at(size_t(i)); }
    const TAttachedFile &operator[](int i) const { return *m_items.at(size_t(i)); }
    void Delete(int i);
    void Clear() { m_items.clear(); }

private:
    std::vector<std::unique_ptr<TAttachedFile>> m_items;
};

class TQzvMsg
{
public:
    // Composition.
    QString UserName;        // sender's display name
    QString From;            // sender address; must contain "@"
    QString ReplyTo;
    QString SendTo;          // comma-separated addresses
    QString CC;
    QString BCC;             // never written as a header
    QString Subject;
    QStringList Text;        // body lines (plain text or HTML source)
    QList<QByteArray> ExtraHeaders; // appended unchanged after the generated headers
    TPriority Priority = prNormal;
    QString CharSet = QStringLiteral("ISO-8859-1");
    TTextEncoding TextEncoding = te8Bit;
    TMessageType MessageType = mtPlain;
    QString XMailer;
    bool ClearRawMailAfterParse = true;
    QString InReplyTo;
    QString Date;            // the Date line; the SMTP client sets it before composing
    TAttachedFiles AttachedFiles;
    TAttachedFiles EmbeddedImages; // images the HTML body names as "cid:" + FileName
    QList<QByteArray> RawMail;     // the message as wire lines, without CR LF

    // Filled by parsing.
    QString Sender;
    QString MessageId;
    QString ReturnPath;
    QString ContentType = QStringLiteral("TEXT/PLAIN");
    QString ContentTransferEncoding = QStringLiteral("7BIT");
    QList<QByteArray> Headers; // the received header lines as they came
    qint64 Size = 0;           // set by the POP3 client
    QString UIDL;              // set by the POP3 client

    // Identifiers that a composition otherwise draws at random; for tests
    // that compare exact lines. Empty members are drawn as usual.
    struct TFixedIds {
        QByteArray MessageId;
        QByteArray Boundary1;
        QByteArray Boundary2;
    };
    TFixedIds FixedIds;

    // Rebuilds RawMail from the properties, encoding every attached file and
    // embedded image. Returns false and leaves RawMail empty when From holds
    // no "@" (error "\"From\" address not complete.") or a file cannot be read
    // (the file system's error text).
    [[nodiscard]] bool FillRawMail(QString *error = nullptr);

    // Fills the message from the lines of a received message (dot-stuffing
    // undone, no CR LF). Adds to Text and AttachedFiles, so use it on a fresh
    // message. Never fails on malformed input; returns false with the error
    // text "Oops..." when a uuencoded block holds a character outside the uu
    // alphabet (the rest of the message is still filled).
    bool ParseRawMail(const QList<QByteArray> &lines, QString *error = nullptr);
};

// "<QZV.yyyy.mm.dd.<16 letters a-t>@host>".
[[nodiscard]] QByteArray MakeMessageId(const QByteArray &host);
// "--_QZV_bound_" + 12 letters a-y; the boundary parameter value.
[[nodiscard]] QByteArray MakeBoundary();
// "Tue, 8 Dec 2026 14:05:09 +0100" in English whatever the locale; the zone
// is that of t.
[[nodiscard]] QString FormatMailDate(const QDateTime &t);
// Offset east of UTC as "+hhmm"/"-hhmm", "GMT" when zero.
[[nodiscard]] QString ZoneText(int offsetSeconds);
[[nodiscard]] QString ZoneText(); // the current local offset
// MIME type associated with the file name's extension, or
// "application/octet-stream".
[[nodiscard]] QString ContentTypeOf(const QString &path);
// The private temporary folder, with its trailing separator.
[[nodiscard]] QString TempFolder();

} // namespace kirvane::mail
