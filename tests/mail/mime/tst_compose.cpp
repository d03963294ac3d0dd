// Composition of outgoing messages: the exact wire lines of each content
// structure, the mends for texts that do not fit the charset or the line
// length, and the same messages read back by Python's email package.

#include "mail/mailmessage.h"
#include "peek.h"

#include <QDir>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <functional>

using namespace kirvane::mail;
using Lines = QList<QByteArray>;

namespace {

const QByteArray kId = "<QZV.2026.12.08.abcdefghijklmnop@a.b.c>";
const QByteArray kB1 = "--_QZV_bound_aaaaaaaaaaaa";
const QByteArray kB2 = "--_QZV_bound_bbbbbbbbbbbb";

void base(MailMessage &m)
{
    m.from = QStringLiteral("news@example.org");
    m.sendTo = QStringLiteral("reader@example.org");
    m.subject = QStringLiteral("Hello");
    m.date = QStringLiteral("Tue, 8 Dec 2026 14:05:09 +0100");
    m.text = {QStringLiteral("Line one"), QStringLiteral("."), QStringLiteral(".dot")};
    m.fixedIds = {kId, kB1, kB2, {}};
}

void addData(AttachmentList &files, const QString &name, const QByteArray &data)
{
    files.add(name).data = data;
}

Lines head(const QByteArray &from = "news@example.org", const QByteArray &subject = "Hello")
{
    return {"Message-Id: " + kId, "Date: Tue, 8 Dec 2026 14:05:09 +0100", "X-Priority: 3", "From: " + from,
            "X-Mailer: ", "To: reader@example.org", "MIME-Version: 1.0", "Subject: " + subject};
}

const Lines kStuffedText = {"Line one", "..", "..dot"};

// A file part; image: with its content id, inPage: an image of a
// multipart/related, shown inline.
Lines attachment(const QByteArray &type, const QByteArray &name, const QByteArray &b64, bool image, bool inPage = false)
{
    Lines part = {"Content-Type: " + type + "; name=\"" + name + "\"", "Content-Transfer-Encoding: base64",
                  QByteArray(inPage ? "Content-Disposition: inline" : "Content-Disposition: attachment")
                      + "; filename=\"" + name + "\""};
    if (image)
        part.append("Content-Id:<" + name + ">");
    return part + Lines{QByteArray(), b64, QByteArray()};
}

struct Case {
    const char *name;
    std::function<void(MailMessage &)> setup;
    Lines expected;
};

QList<Case> cases()
{
    const Lines textPart = {"Content-Type: text/plain; charset=ISO-8859-1", "Content-Transfer-Encoding: 8Bit"};
    const Lines htmlPart = {"Content-Type: text/html; charset=ISO-8859-1", "Content-Transfer-Encoding: 8Bit"};
    const Lines note = attachment("text/plain", "note.txt", "aGVsbG8=", false);
    const Lines pdf = attachment("application/pdf", "a.pdf", "AAEC", false);
    const Lines gif = attachment("image/gif", "logo.gif", "R0lG", true, true);
    const Lines png = attachment("image/png", "photo.png", "iVBORw==", true, true);
    const Lines gifAttached = attachment("image/gif", "logo.gif", "R0lG", true);
    const QByteArray d1 = "--" + kB1, d2 = "--" + kB2;

    return {
        {"text only", [](MailMessage &) {}, head() + textPart + Lines{{}} + kStuffedText},
        {"attachments only",
         [](MailMessage &m) {
             addData(m.attachments, QStringLiteral("/tmp/note.txt"), "hello");
             addData(m.attachments, QStringLiteral("a.pdf"), QByteArray("\0\1\2", 3));
         },
         head() + Lines{"Content-Type: multipart/mixed; boundary=\"" + kB1 + "\"", {}, d1} + textPart + Lines{{}}
             + kStuffedText + Lines{d1} + note + Lines{d1} + pdf + Lines{d1 + "--", {}}},
        {"images only",
         [](MailMessage &m) {
             m.bodyFormat = BodyFormat::Html;
             addData(m.embeddedImages, QStringLiteral("logo.gif"), "GIF");
             addData(m.embeddedImages, QStringLiteral("photo.png"), "\x89PNG");
         },
         head() + Lines{"Content-Type: multipart/related;", "\tboundary=\"" + kB1 + "\"", {}, d1} + htmlPart
             + Lines{{}} + kStuffedText + Lines{d1} + gif + Lines{d1} + png + Lines{d1 + "--", {}, {}}},
        {"images and attachments",
         [](MailMessage &m) {
             m.bodyFormat = BodyFormat::Html;
             addData(m.attachments, QStringLiteral("note.txt"), "hello");
             addData(m.embeddedImages, QStringLiteral("logo.gif"), "GIF");
         },
         head() + Lines{"Content-Type: multipart/mixed;", "\tboundary=\"" + kB2 + "\"", {}, d2,
                        "Content-Type: multipart/related;", "\ttype=\"text/html\";", "\tboundary=\"" + kB1 + "\"",
                        {}, d1} + htmlPart + Lines{{}} + kStuffedText + Lines{d1} + gif
             + Lines{d1 + "--", {}, d2} + note + Lines{d2 + "--", {}}},
        {"images beside plain text travel as attachments",
         [](MailMessage &m) { addData(m.embeddedImages, QStringLiteral("logo.gif"), "GIF"); },
         head() + Lines{"Content-Type: multipart/mixed; boundary=\"" + kB1 + "\"", {}, d1} + textPart + Lines{{}}
             + kStuffedText + Lines{d1} + gifAttached + Lines{d1 + "--", {}}},
        {"base64 text and subject",
         [](MailMessage &m) {
             m.bodyEncoding = BodyEncoding::Base64;
             m.text = {QStringLiteral("a"), QStringLiteral(".b")};
         },
         head("news@example.org", "=?ISO-8859-1?B?SGVsbG8=?=")
             + Lines{"Content-Type: text/plain; charset=ISO-8859-1", "Content-Transfer-Encoding: base64", {},
                     "YQ0KLmINCg=="}},
        {"every header",
         [](MailMessage &m) {
             m.userName = QStringLiteral("The \"News\" Desk");
             m.replyTo = QStringLiteral("replies@example.org");
             m.inReplyTo = QStringLiteral("<x@y>");
             m.cc = QStringLiteral("cc@example.org");
             m.bcc = QStringLiteral("hidden@example.org");
             m.priority = Priority::Lowest;
             m.xMailer = QStringLiteral("Kirvane");
             m.extraHeaders = {"X-Campaign: 7"};
             m.text = {QStringLiteral("x")};
         },
         Lines{"Message-Id: " + kId, "Date: Tue, 8 Dec 2026 14:05:09 +0100", "X-Priority: 5",
               "From: \"The \\\"News\\\" Desk\" <news@example.org>", "In-Reply-To: <x@y>",
               "Reply-To: replies@example.org", "X-Mailer: Kirvane", "To: reader@example.org",
               "CC: cc@example.org", "MIME-Version: 1.0", "Subject: Hello"}
             + textPart + Lines{"X-Campaign: 7", {}, "x"}},
        {"Latin-1 subject and name as encoded words",
         [](MailMessage &m) {
             m.userName = QStringLiteral("Zoë");
             m.subject = QStringLiteral("Été");
             m.text = {QStringLiteral("café")};
         },
         head("=?ISO-8859-1?B?Wm/r?= <news@example.org>", "=?ISO-8859-1?B?yXTp?=") + textPart
             + Lines{{}, "caf\xE9"}},
        {"text beyond Latin-1 goes out as UTF-8",
         [](MailMessage &m) {
             m.subject = QStringLiteral("5 €");
             m.text = {QStringLiteral("Prix: 5 €")};
         },
         head("news@example.org", "=?UTF-8?B?NSDigqw=?=")
             + Lines{"Content-Type: text/plain; charset=UTF-8", "Content-Transfer-Encoding: 8Bit", {},
                     "Prix: 5 \xE2\x82\xAC"}},
        {"a charset name that is no token is not declared",
         [](MailMessage &m) {
             m.charset = QStringLiteral("x\r\nBcc: victim@example.org");
             m.text = {QStringLiteral("x")};
         },
         head() + Lines{"Content-Type: text/plain; charset=UTF-8", "Content-Transfer-Encoding: 8Bit", {}, "x"}},
        {"line ends inside header values and text",
         [](MailMessage &m) {
             m.subject = QStringLiteral("Hi\r\nBcc: victim@example.org");
             m.text = {QStringLiteral("one\r\ntwo\nthree")};
         },
         head("news@example.org", "Hi  Bcc: victim@example.org") + textPart + Lines{{}, "one", "two", "three"}},
    };
}

QDateTime at(int y, int mo, int d, int h, int mi, int s, int offsetSeconds)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone(offsetSeconds));
}

// What an SMTP server stores: the lines with the dot-stuffing undone.
Lines unstuffed(Lines lines)
{
    for (QByteArray &line : lines)
        if (line.startsWith(".."))
            line.remove(0, 1);
    return lines;
}

QByteArray pattern(int size)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 31 + i / 7) & 0xFF);
    // Sequences that would hurt a careless transfer: a lone dot line, line ends.
    b.replace(100, 5, "\r\n.\r\n");
    return b;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// What Python reads in the composed message m, written into dir; a test
// failure when Python finds a defect.
QJsonObject readByPythonWithoutDefects(const MailMessage &m, const QTemporaryDir &dir)
{
    const QString eml = dir.filePath(QStringLiteral("message.eml"));
    if (!kirvane::test::writeLines(eml, unstuffed(m.wireLines)))
        return {};
    const QJsonArray result = kirvane::test::peek(QStringLiteral("composed"), {eml});
    const QJsonObject read = result.size() == 1 ? result.at(0).toObject() : QJsonObject();
    [&] { QCOMPARE(read[u"defects"].toArray(), QJsonArray()); }();
    return read;
}

} // namespace

class TestCompose : public QObject
{
    Q_OBJECT

private slots:
    void exactLines_data()
    {
        QTest::addColumn<int>("index");
        const QList<Case> all = cases();
        for (int i = 0; i < all.size(); ++i)
            QTest::newRow(all[i].name) << i;
    }
    void exactLines()
    {
        QFETCH(int, index);
        const Case c = cases().at(index);
        MailMessage m;
        base(m);
        c.setup(m);
        QString error;
        QVERIFY2(m.compose(&error), qPrintable(error));
        if (m.wireLines != c.expected) {
            for (qsizetype i = 0; i < std::max(m.wireLines.size(), c.expected.size()); ++i)
                if (m.wireLines.value(i) != c.expected.value(i))
                    qWarning() << "line" << i << m.wireLines.value(i) << "expected" << c.expected.value(i);
        }
        QCOMPARE(m.wireLines, c.expected);
    }

    void longLineGoesQuotedPrintable()
    {
        MailMessage m;
        base(m);
        const QString longLine = QStringLiteral("é").repeated(600); // 600 octets in Latin-1
        m.text = {QStringLiteral("short"), longLine + longLine};
        QVERIFY(m.compose());
        QVERIFY(m.wireLines.contains("Content-Transfer-Encoding: quoted-printable"));
        for (const QByteArray &line : m.wireLines)
            QVERIFY(line.size() <= 998);

        // Just below the limit nothing changes.
        m.text = {QString(998, u'x')};
        QVERIFY(m.compose());
        QVERIFY(m.wireLines.contains("Content-Transfer-Encoding: 8Bit"));
    }

    void refusals()
    {
        MailMessage m;
        base(m);
        m.from = QStringLiteral("news.example.org");
        QString error;
        QVERIFY(!m.compose(&error));
        QCOMPARE(error, QStringLiteral("\"From\" address not complete."));
        QVERIFY(m.wireLines.isEmpty());

        MailMessage missing;
        base(missing);
        missing.attachments.add(QStringLiteral("/nonexistent/kirvane/file.pdf"));
        QVERIFY(!missing.compose(&error));
        QVERIFY2(error.startsWith(QStringLiteral("Cannot open file \"/nonexistent/kirvane/file.pdf\". ")), qPrintable(error));
        QVERIFY(missing.wireLines.isEmpty());
    }

    void composingTwiceKeepsTheSubject()
    {
        MailMessage m;
        base(m);
        m.bodyEncoding = BodyEncoding::Base64;
        QVERIFY(m.compose());
        const Lines first = m.wireLines;
        QVERIFY(m.compose());
        QCOMPARE(m.wireLines, first);
        QCOMPARE(m.subject, QStringLiteral("Hello"));
    }

    // The sending run composes its messages with the wire form of the body's
    // lines cached: each message must come out as it would without the
    // cache, message after message, whatever its own lines do to the
    // charset, and a line edited since it was cached must not come out as it
    // was.
    void lineCacheChangesNothing_data()
    {
        QTest::addColumn<QStringList>("later");  // the body of the second message
        QTest::addColumn<bool>("html");
        const QStringList body{QStringLiteral("Bonjour"), QStringLiteral("Une ligne, la m\u00eame"), QStringLiteral(".fin")};
        QStringList edited = body;
        edited[1].append(u'!');
        QStringList utf8 = body;
        utf8.append(QStringLiteral("\u0141\u00f3d\u017a")); // a value beyond ISO-8859-1: the message goes UTF-8
        QStringList broken = body;
        broken[0] += QStringLiteral("\r\nsecond");
        QTest::newRow("the same lines") << body << false;
        QTest::newRow("a line edited since") << edited << false;
        QTest::newRow("a line beyond the charset") << utf8 << false;
        QTest::newRow("a line holding a line end") << broken << false;
        QTest::newRow("HTML with its text alternative") << utf8 << true;
    }
    void lineCacheChangesNothing()
    {
        QFETCH(QStringList, later);
        QFETCH(bool, html);
        const QStringList body{QStringLiteral("Bonjour"), QStringLiteral("Une ligne, la m\u00eame"), QStringLiteral(".fin")};
        auto cache = std::make_shared<TextLineCache>(body);
        for (const QStringList &text : {body, later, body}) {
            MailMessage plain;
            base(plain);
            plain.text = text;
            if (html) {
                plain.bodyFormat = BodyFormat::Html;
                plain.plainAlternative = text;
                plain.fixedIds.boundary3 = kB1;
            }
            MailMessage cached = plain;
            cached.lineCache = cache;
            QVERIFY(plain.compose());
            QVERIFY(cached.compose());
            QCOMPARE(cached.wireLines, plain.wireLines);
        }
    }

    // The sending run composes one message per contact with the same files:
    // the second composition must reuse the first encoding, and an edited
    // file must be encoded afresh.
    void filesAreEncodedOnce()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("report.pdf"));
        QVERIFY(writeFile(path, pattern(5000)));
        MailMessage first, second;
        base(first);
        base(second);
        first.attachments.add(path);
        second.attachments.add(path);
        QVERIFY(first.compose());
        QVERIFY(second.compose());
        const Attachment &a = first.attachments[0];
        const Attachment &b = second.attachments[0];
        QCOMPARE(a.data, pattern(5000));
        QVERIFY(b.encodedLines.first().isSharedWith(a.encodedLines.first()));

        // A message built from the files of a composed one holds their bytes:
        // those are not encoded again either, until they change.
        MailMessage copy;
        base(copy);
        copy.attachments = first.attachments;
        QVERIFY(copy.compose());
        QVERIFY(copy.attachments[0].encodedLines.first().isSharedWith(a.encodedLines.first()));
        copy.attachments[0].data = "other";
        QVERIFY(copy.compose());
        QCOMPARE(copy.attachments[0].encodedLines, Lines{"b3RoZXI="});

        QVERIFY(writeFile(path, "changed"));
        MailMessage third;
        base(third);
        third.attachments.add(path);
        QVERIFY(third.compose());
        QCOMPARE(third.attachments[0].encodedLines, Lines{"Y2hhbmdlZA=="});
    }

    void readByPython_data()
    {
        QTest::addColumn<int>("attachments");
        QTest::addColumn<int>("images");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("encoding");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("alternative"); // the text/plain alternative of HTML
        const QString html = QStringLiteral("<html><body><p>Été</p><img src=\"cid:logo.gif\"><img src=\"cid:photo.png\"></body></html>");
        QTest::newRow("plain text") << 0 << 0 << int(BodyFormat::Plain) << int(BodyEncoding::EightBit) << QStringLiteral("Hello") << QStringLiteral("Bonjour\n.\n..two") << QString();
        QTest::newRow("attachments") << 2 << 0 << int(BodyFormat::Plain) << int(BodyEncoding::EightBit) << QStringLiteral("Rapport été") << QStringLiteral("See the files.") << QString();
        QTest::newRow("embedded images") << 0 << 2 << int(BodyFormat::Html) << int(BodyEncoding::EightBit) << QStringLiteral("Lettre") << html << QString();
        QTest::newRow("images and attachments") << 2 << 2 << int(BodyFormat::Html) << int(BodyEncoding::Base64) << QStringLiteral("Lettre d'été") << html << QString();
        QTest::newRow("UTF-8 and a long line") << 1 << 0 << int(BodyFormat::Plain) << int(BodyEncoding::EightBit)
                                             << QStringLiteral("Ωμέγα – 5 € ").repeated(8)
                                             << QStringLiteral("Ω").repeated(700) + QStringLiteral("\n.end") << QString();
        const QString text = QStringLiteral("Été\n\nA long line ") + QStringLiteral("é").repeated(600);
        QTest::newRow("images and a text alternative") << 0 << 2 << int(BodyFormat::Html) << int(BodyEncoding::EightBit)
                                                        << QStringLiteral("Lettre") << html << text;
        QTest::newRow("images, attachments and a text alternative")
            << 2 << 2 << int(BodyFormat::Html) << int(BodyEncoding::Base64) << QStringLiteral("Lettre") << html << text;
        QTest::newRow("a text alternative alone")
            << 0 << 0 << int(BodyFormat::Html) << int(BodyEncoding::EightBit) << QStringLiteral("Lettre")
            << QStringLiteral("<p>Été</p>") << QStringLiteral("Été");
        QTest::newRow("a plain-text message has no alternative")
            << 0 << 0 << int(BodyFormat::Plain) << int(BodyEncoding::EightBit) << QStringLiteral("Hello")
            << QStringLiteral("Hi") << QStringLiteral("ignored");
    }
    void readByPython()
    {
        QFETCH(int, attachments);
        QFETCH(int, images);
        QFETCH(int, type);
        QFETCH(int, encoding);
        QFETCH(QString, subject);
        QFETCH(QString, body);
        QFETCH(QString, alternative);

        QTemporaryDir dir;
        const QList<QPair<QString, QByteArray>> attachmentFiles = {
            {QStringLiteral("report.pdf"), pattern(70000)},
            {QStringLiteral("notes été.txt"), QByteArray("first\r\n.\r\nlast\r\n")},
        };
        const QList<QPair<QString, QByteArray>> imageFiles = {
            {QStringLiteral("logo.gif"), QByteArray("GIF89a") + pattern(300)},
            {QStringLiteral("photo.png"), QByteArray("\x89PNG\r\n\x1a\n", 8) + pattern(1000)},
        };
        MailMessage m;
        m.from = QStringLiteral("news@example.org");
        m.userName = QStringLiteral("Zoë Martin");
        m.sendTo = QStringLiteral("a@example.org, b@example.org");
        m.cc = QStringLiteral("c@example.org");
        m.subject = subject;
        m.text = body.split(u'\n');
        m.bodyFormat = BodyFormat(type);
        m.bodyEncoding = BodyEncoding(encoding);
        if (!alternative.isEmpty())
            m.plainAlternative = alternative.split(u'\n');
        m.date = kirvane::mail::formatMailDate(QDateTime::currentDateTime());
        for (int i = 0; i < attachments; ++i) {
            QVERIFY(writeFile(dir.filePath(attachmentFiles[i].first), attachmentFiles[i].second));
            m.attachments.add(dir.filePath(attachmentFiles[i].first));
        }
        for (int i = 0; i < images; ++i) {
            QVERIFY(writeFile(dir.filePath(imageFiles[i].first), imageFiles[i].second));
            m.embeddedImages.add(dir.filePath(imageFiles[i].first));
        }
        QVERIFY(m.compose());
        const QJsonObject read = readByPythonWithoutDefects(m, dir);
        QCOMPARE(read[u"subject"].toString(), subject);
        QCOMPARE(read[u"from_name"].toString(), QStringLiteral("Zoë Martin"));
        QCOMPARE(read[u"from_address"].toString(), QStringLiteral("news@example.org"));
        QCOMPARE(read[u"to"].toArray(), QJsonArray({QStringLiteral("a@example.org"), QStringLiteral("b@example.org")}));
        QCOMPARE(read[u"cc"].toArray(), QJsonArray({QStringLiteral("c@example.org")}));
        QCOMPARE(read[u"unresolved_cids"].toArray(), QJsonArray());
        if (images > 0)
            QCOMPARE(read[u"cid_refs"].toArray().size(), 2);

        const QJsonArray leaves = read[u"leaves"].toArray();
        auto textOf = [](const QJsonValue &leaf) {
            QString text = leaf.toObject()[u"text"].toString().replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            while (text.endsWith(u'\n'))
                text.chop(1);
            return text;
        };
        // The text alternative goes first, before the HTML it stands for.
        const int texts = type == int(BodyFormat::Html) && !alternative.isEmpty() ? 2 : 1;
        QCOMPARE(leaves.size(), texts + attachments + images);
        if (texts == 2) {
            QCOMPARE(leaves.at(0).toObject()[u"content_type"].toString(), QStringLiteral("text/plain"));
            QCOMPARE(textOf(leaves.at(0)), alternative);
            QCOMPARE(leaves.at(1).toObject()[u"content_type"].toString(), QStringLiteral("text/html"));
        }
        QCOMPARE(textOf(leaves.at(texts - 1)), body);
        // Images come first, then attachments, each byte for byte.
        QList<QPair<QString, QByteArray>> files = imageFiles.mid(0, images) + attachmentFiles.mid(0, attachments);
        for (int i = 0; i < files.size(); ++i) {
            const QJsonObject leaf = leaves.at(texts + i).toObject();
            QCOMPARE(leaf[u"filename"].toString(), files[i].first);
            QCOMPARE(QByteArray::fromBase64(leaf[u"data"].toString().toLatin1()), files[i].second);
            if (i < images)
                QCOMPARE(leaf[u"content_id"].toString(), u'<' + files[i].first + u'>');
            // The images of the page are shown in it, never listed as files.
            QCOMPARE(leaf[u"disposition"].toString(),
                     i < images ? QStringLiteral("inline") : QStringLiteral("attachment"));
        }
    }

    // The charset an HTML page declares in its <meta> is the one its part is
    // labelled with, whichever the composition chose; read back by Python.
    void metaCharsetAgreesWithTheLabel_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("charset");  // the part's label, as Python reads it
        QTest::addColumn<QString>("declared"); // the meta as it reaches the reader
        const QString formatted = QStringLiteral(
            "<html>\n<head>\n<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">\n</head>\n"
            "<body>Bonjour %1</body></html>");
        QTest::newRow("formatted text to a name beyond Latin-1")
            << formatted.arg(QStringLiteral("Łucja")) << "utf-8"
            << "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">";
        QTest::newRow("formatted text that fits Latin-1")
            << formatted.arg(QStringLiteral("Zoé")) << "iso-8859-1"
            << "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=ISO-8859-1\">";
        QTest::newRow("a page declaring UTF-8 whose text fits Latin-1")
            << QStringLiteral("<html><head><META charset='UTF-8'/></head><body>Été</body></html>") << "iso-8859-1"
            << "<META charset='ISO-8859-1'/>";
        QTest::newRow("a page declaring UTF-8 with text beyond Latin-1")
            << QStringLiteral("<html><head><meta charset=\"utf-8\"></head><body>5 €</body></html>") << "utf-8"
            << "<meta charset=\"UTF-8\">";
    }
    void metaCharsetAgreesWithTheLabel()
    {
        QFETCH(QString, html);
        QFETCH(QString, charset);
        QFETCH(QString, declared);
        QTemporaryDir dir;
        MailMessage m;
        base(m);
        m.bodyFormat = BodyFormat::Html;
        m.text = html.split(u'\n');
        QVERIFY(m.compose());
        const QJsonObject read = readByPythonWithoutDefects(m, dir);
        const QJsonObject leaf = read[u"leaves"].toArray().at(0).toObject();
        QCOMPARE(leaf[u"charset"].toString(), charset);
        const QString text = leaf[u"text"].toString();
        QVERIFY2(text.contains(declared), qPrintable(text));
        // The words come through whole in the charset declared.
        const QString body = html.section(QStringLiteral("<body>"), 1).section(QStringLiteral("</body>"), 0, 0);
        QVERIFY2(text.contains(body), qPrintable(text));
    }

    // The unsubscription headers of bulk mail, read back by Python: every
    // address between angle brackets, nothing in one that could end it or
    // the header, the one-click header exactly when a web address is named;
    // the Message-Id on the sender's domain.
    void bulkHeaders_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QStringList>("uris");
        QTest::addColumn<QString>("header");  // List-Unsubscribe as Python reads it
        QTest::addColumn<bool>("oneClick");
        QTest::addColumn<QString>("idHost");
        const QString mailto = QStringLiteral("mailto:inscription@example.org?subject=DESABONNE%20a@x.org");
        QTest::newRow("none") << "news@example.org" << QStringList() << "" << false << "example.org";
        QTest::newRow("mailto only") << "Lettre <news@Example.ORG>" << QStringList{mailto}
                                     << "<" + mailto + ">" << false << "Example.ORG";
        QTest::newRow("mailto and one-click")
            << "news@example.org" << QStringList{mailto, "https://example.org/u?e=a%40x.org"}
            << "<" + mailto + ">, <https://example.org/u?e=a%40x.org>" << true << "example.org";
        QTest::newRow("HTTPS in capitals is one-click too")
            << "news@example.org" << QStringList{"HTTPS://example.org/u"} << "<HTTPS://example.org/u>" << true
            << "example.org";
        QTest::newRow("what could end an address is encoded")
            << "news@example.org" << QStringList{"https://example.org/u?a=<b>, \"c\"\r\nX-Evil: 1"}
            << "<https://example.org/u?a=%3Cb%3E%2C%20%22c%22%0D%0AX-Evil:%201>" << true << "example.org";
        QTest::newRow("a long address folds")
            << "news@example.org" << QStringList{mailto, "https://example.org/" + QString(u'u').repeated(300)}
            << "<" + mailto + ">, <https://example.org/" + QString(u'u').repeated(300) + ">" << true << "example.org";
        QTest::newRow("a domain with a character a host name cannot hold") << "news@exa_mple.org" << QStringList() << "" << false << "localhost";
        QTest::newRow("a domain a Message-Id cannot hold")
            << "news@[127.0.0.1]" << QStringList() << "" << false << "localhost";
    }
    void bulkHeaders()
    {
        QFETCH(QString, from);
        QFETCH(QStringList, uris);
        QFETCH(QString, header);
        QFETCH(bool, oneClick);
        QFETCH(QString, idHost);
        MailMessage m;
        base(m);
        m.from = from;
        m.fixedIds.messageId.clear();
        m.listUnsubscribe = uris;
        QVERIFY(m.compose());
        for (const QByteArray &line : m.wireLines) {
            if (line.isEmpty())
                break;
            QVERIFY2(line.size() <= 998, line.left(60).constData());
            QVERIFY(!line.startsWith("X-Evil"));
        }
        QTemporaryDir dir;
        const QJsonObject read = readByPythonWithoutDefects(m, dir);
        QCOMPARE(read[u"list_unsubscribe"].toString(), header);
        QCOMPARE(read[u"list_unsubscribe_post"].toString(),
                 oneClick ? QStringLiteral("List-Unsubscribe=One-Click") : QString());
        QVERIFY2(read[u"message_id"].toString().endsWith(u'@' + idHost + u'>'),
                 qPrintable(read[u"message_id"].toString()));
    }

    // Servers refuse header lines beyond 998 octets: long headers fold at
    // blanks (or after commas in address lists) within 78 characters where
    // they can, and a text without blanks to fold at goes as encoded words
    // of at most 75 characters. Python must read every value back whole.
    void longHeadersFold_data()
    {
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("recipients");
        QTest::addColumn<int>("encoding");
        const QString words = QStringLiteral("Sale on everything ").repeated(5300).trimmed();
        QTest::newRow("100,000-character subject of words")
            << words << QString() << 1 << int(BodyEncoding::EightBit);
        QTest::newRow("subject without a blank")
            << QStringLiteral("x").repeated(5000) << QString() << 1 << int(BodyEncoding::EightBit);
        QTest::newRow("3,000 addresses in To") << QStringLiteral("Hello") << QString() << 3000
                                               << int(BodyEncoding::EightBit);
        QTest::newRow("2,000-character non-ASCII name") << QStringLiteral("Hello") << QStringLiteral("é").repeated(2000)
                                                        << 1 << int(BodyEncoding::EightBit);
        QTest::newRow("long name without a blank in ASCII")
            << QStringLiteral("Hello") << QStringLiteral("n").repeated(1500) << 1 << int(BodyEncoding::EightBit);
        QTest::newRow("base64 body: the subject in several encoded words")
            << QStringLiteral("Lettre d'été ").repeated(40).trimmed() << QString() << 1 << int(BodyEncoding::Base64);
    }
    void longHeadersFold()
    {
        QFETCH(QString, subject);
        QFETCH(QString, name);
        QFETCH(int, recipients);
        QFETCH(int, encoding);
        MailMessage m;
        base(m);
        m.subject = subject;
        m.userName = name;
        m.bodyEncoding = BodyEncoding(encoding);
        QStringList to;
        for (int i = 0; i < recipients; ++i)
            to << QStringLiteral("reader%1@example.org").arg(i);
        m.sendTo = to.join(u',');
        QVERIFY(m.compose());

        static const QRegularExpression encodedWord(QStringLiteral("=\\?[^?]+\\?[BbQq]\\?[^?]*\\?="));
        for (const QByteArray &line : m.wireLines) {
            if (line.isEmpty())
                break; // the end of the header
            QVERIFY2(line.size() <= 998, line.left(60).constData());
            // Longer than 78 only when the line has no blank after its text starts.
            if (line.size() > 78) {
                const qsizetype colon = line.startsWith(' ') ? -1 : line.indexOf(':');
                QByteArray text = line.mid(colon + 1).trimmed();
                QVERIFY2(!text.contains(' ') && !text.contains('\t'), line.left(60).constData());
            }
            auto it = encodedWord.globalMatch(QString::fromLatin1(line));
            while (it.hasNext())
                QVERIFY(it.next().capturedLength() <= 75);
        }

        QTemporaryDir dir;
        const QJsonObject read = readByPythonWithoutDefects(m, dir);
        QCOMPARE(read[u"subject"].toString(), subject);
        // Python keeps the blank between the encoded words of a name, which
        // RFC 2047 6.2 says to drop; our own parser drops it.
        if (!name.isEmpty())
            QCOMPARE(read[u"from_name"].toString().remove(u' '), name);
        QCOMPARE(read[u"to"].toArray().size(), recipients);
        QCOMPARE(read[u"to"].toArray().last().toString(), to.last());

        // Our own parser reads the folded header back too.
        MailMessage back;
        QVERIFY(back.parse(unstuffed(m.wireLines)));
        QCOMPARE(back.subject, subject);
        if (!name.isEmpty())
            QCOMPARE(back.from, name + QStringLiteral(" <news@example.org>"));
    }

    void formatMailDate_data()
    {
        QTest::addColumn<QDateTime>("t");
        QTest::addColumn<QString>("expected");
        QTest::newRow("one hour east") << at(2026, 12, 8, 14, 5, 9, 3600) << QStringLiteral("Tue, 8 Dec 2026 14:05:09 +0100");
        QTest::newRow("UTC") << at(2027, 1, 1, 0, 0, 0, 0) << QStringLiteral("Fri, 1 Jan 2027 00:00:00 GMT");
        QTest::newRow("five and a half hours east") << at(2026, 7, 15, 23, 59, 59, 19800) << QStringLiteral("Wed, 15 Jul 2026 23:59:59 +0530");
        QTest::newRow("five hours west") << at(2026, 3, 29, 9, 7, 3, -18000) << QStringLiteral("Sun, 29 Mar 2026 09:07:03 -0500");
        QTest::newRow("half an hour west") << at(2026, 10, 31, 12, 0, 0, -1800) << QStringLiteral("Sat, 31 Oct 2026 12:00:00 -0030");
    }
    void formatMailDate()
    {
        QFETCH(QDateTime, t);
        QFETCH(QString, expected);
        QCOMPARE(kirvane::mail::formatMailDate(t), expected);
    }

    // The date of now is worked out once a second: it is that of the clock,
    // and a later second gets its own.
    void currentMailDateFollowsTheClock()
    {
        auto readAtOneSecond = [] {
            for (;;) {
                const QString before = kirvane::mail::formatMailDate(QDateTime::currentDateTime());
                const QString now = kirvane::mail::currentMailDate();
                if (kirvane::mail::formatMailDate(QDateTime::currentDateTime()) == before)
                    return std::pair{before, now};
            }
        };
        const auto [expected, got] = readAtOneSecond();
        QCOMPARE(got, expected);
        QTest::qWait(1100);
        const auto [expectedLater, gotLater] = readAtOneSecond();
        QCOMPARE(gotLater, expectedLater);
        QVERIFY(gotLater != got);
    }

    void identifiers()
    {
        const QRegularExpression id(QStringLiteral("^<QZV\\.\\d{4}\\.\\d{2}\\.\\d{2}\\.[a-t]{16}@a\\.b\\.c>$"));
        const QRegularExpression boundary(QStringLiteral("^--_QZV_bound_[a-y]{12}$"));
        // Many in the same millisecond, as when a run composes fast: all differ.
        QSet<QByteArray> ids;
        for (int i = 0; i < 1000; ++i) {
            const QByteArray one = makeMessageId("a.b.c");
            QVERIFY2(id.match(QString::fromLatin1(one)).hasMatch(), one.constData());
            ids.insert(one);
        }
        QCOMPARE(ids.size(), 1000);
        QVERIFY(boundary.match(QString::fromLatin1(makeBoundary())).hasMatch());
        QVERIFY(makeMessageId("a.b.c").contains(QDate::currentDate().toString(u"yyyy.MM.dd").toLatin1()));
    }

    void contentTypeOf_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("gif") << QStringLiteral("/x/logo.gif") << QStringLiteral("image/gif");
        QTest::newRow("upper-case extension") << QStringLiteral("PHOTO.JPG") << QStringLiteral("image/jpeg");
        QTest::newRow("pdf") << QStringLiteral("a.b/report.pdf") << QStringLiteral("application/pdf");
        QTest::newRow("unknown extension") << QStringLiteral("data.zzqx") << QStringLiteral("application/octet-stream");
        QTest::newRow("no extension") << QStringLiteral("README") << QStringLiteral("application/octet-stream");
    }
    void contentTypeOf()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(kirvane::mail::contentTypeOf(path), expected);
    }
};

QTEST_GUILESS_MAIN(TestCompose)
#include "tst_compose.moc"
