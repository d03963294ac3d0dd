// Composition of outgoing messages: the exact wire lines of each content
// structure, the mends for texts that do not fit the charset or the line
// length, and the same messages read back by Python's email package.

#include "mail/qzvmsg.h"
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

void base(TQzvMsg &m)
{
    m.From = QStringLiteral("news@example.org");
    m.SendTo = QStringLiteral("reader@example.org");
    m.Subject = QStringLiteral("Hello");
    m.Date = QStringLiteral("Tue, 8 Dec 2026 14:05:09 +0100");
    m.Text = {QStringLiteral("Line one"), QStringLiteral("."), QStringLiteral(".dot")};
    m.FixedIds = {kId, kB1, kB2};
}

void addData(TAttachedFiles &files, const QString &name, const QByteArray &data)
{
    files.Add(name).Data = data;
}

Lines head(const QByteArray &from = "news@example.org", const QByteArray &subject = "Hello")
{
    return {"Message-Id: " + kId, "Date: Tue, 8 Dec 2026 14:05:09 +0100", "X-Priority: 3", "From: " + from,
            "X-Mailer: ", "To: reader@example.org", "MIME-Version: 1.0", "Subject: " + subject};
}

const Lines kStuffedText = {"Line one", "..", "..dot"};

Lines attachment(const QByteArray &type, const QByteArray &name, const QByteArray &b64, bool image)
{
    Lines part = {"Content-Type: " + type + "; name=\"" + name + "\"", "Content-Transfer-Encoding: base64",
                  "Content-Disposition: attachment; filename=\"" + name + "\""};
    if (image)
        part.append("Content-Id:<" + name + ">");
    return part + Lines{QByteArray(), b64, QByteArray()};
}

struct Case {
    const char *name;
    std::function<void(TQzvMsg &)> setup;
    Lines expected;
};

QList<Case> cases()
{
    const Lines textPart = {"Content-Type: text/plain; charset=ISO-8859-1", "Content-Transfer-Encoding: 8Bit"};
    const Lines htmlPart = {"Content-Type: text/html; charset=ISO-8859-1", "Content-Transfer-Encoding: 8Bit"};
    const Lines note = attachment("text/plain", "note.txt", "aGVsbG8=", false);
    const Lines pdf = attachment("application/pdf", "a.pdf", "AAEC", false);
    const Lines gif = attachment("image/gif", "logo.gif", "R0lG", true);
    const Lines png = attachment("image/png", "photo.png", "iVBORw==", true);
    const QByteArray d1 = "--" + kB1, d2 = "--" + kB2;

    return {
        {"text only", [](TQzvMsg &) {}, head() + textPart + Lines{{}} + kStuffedText},
        {"attachments only",
         [](TQzvMsg &m) {
             addData(m.AttachedFiles, QStringLiteral("/tmp/note.txt"), "hello");
             addData(m.AttachedFiles, QStringLiteral("a.pdf"), QByteArray("\0\1\2", 3));
         },
         head() + Lines{"Content-Type: multipart/mixed; boundary=\"" + kB1 + "\"", {}, d1} + textPart + Lines{{}}
             + kStuffedText + Lines{d1} + note + Lines{d1} + pdf + Lines{d1 + "--", {}}},
        {"images only",
         [](TQzvMsg &m) {
             m.MessageType = mtHTML;
             addData(m.EmbeddedImages, QStringLiteral("logo.gif"), "GIF");
             addData(m.EmbeddedImages, QStringLiteral("photo.png"), "\x89PNG");
         },
         head() + Lines{"Content-Type: multipart/related;", "\tboundary=\"" + kB1 + "\"", {}, d1} + htmlPart
             + Lines{{}} + kStuffedText + Lines{d1} + gif + Lines{d1} + png + Lines{d1 + "--", {}, {}}},
        {"images and attachments",
         [](TQzvMsg &m) {
             m.MessageType = mtHTML;
             addData(m.AttachedFiles, QStringLiteral("note.txt"), "hello");
             addData(m.EmbeddedImages, QStringLiteral("logo.gif"), "GIF");
         },
         head() + Lines{"Content-Type: multipart/mixed;", "\tboundary=\"" + kB2 + "\"", {}, d2,
                        "Content-Type: multipart/related;", "\ttype=\"text/html\";", "\tboundary=\"" + kB1 + "\"",
                        {}, d1} + htmlPart + Lines{{}} + kStuffedText + Lines{d1} + gif
             + Lines{d1 + "--", {}, d2} + note + Lines{d2 + "--", {}}},
        {"images beside plain text travel as attachments",
         [](TQzvMsg &m) { addData(m.EmbeddedImages, QStringLiteral("logo.gif"), "GIF"); },
         head() + Lines{"Content-Type: multipart/mixed; boundary=\"" + kB1 + "\"", {}, d1} + textPart + Lines{{}}
             + kStuffedText + Lines{d1} + gif + Lines{d1 + "--", {}}},
        {"base64 text and subject",
         [](TQzvMsg &m) {
             m.TextEncoding = teBase64;
             m.Text = {QStringLiteral("a"), QStringLiteral(".b")};
         },
         head("news@example.org", "=?ISO-8859-1?B?SGVsbG8=?=")
             + Lines{"Content-Type: text/plain; charset=ISO-8859-1", "Content-Transfer-Encoding: base64", {},
                     "YQ0KLmINCg=="}},
        {"every header",
         [](TQzvMsg &m) {
             m.UserName = QStringLiteral("The \"News\" Desk");
             m.ReplyTo = QStringLiteral("replies@example.org");
             m.InReplyTo = QStringLiteral("<x@y>");
             m.CC = QStringLiteral("cc@example.org");
             m.BCC = QStringLiteral("hidden@example.org");
             m.Priority = prLowest;
             m.XMailer = QStringLiteral("Kirvane");
             m.ExtraHeaders = {"X-Campaign: 7"};
             m.Text = {QStringLiteral("x")};
         },
         Lines{"Message-Id: " + kId, "Date: Tue, 8 Dec 2026 14:05:09 +0100", "X-Priority: 5",
               "From: \"The \\\"News\\\" Desk\" <news@example.org>", "In-Reply-To: <x@y>",
               "Reply-To: replies@example.org", "X-Mailer: Kirvane", "To: reader@example.org",
               "CC: cc@example.org", "MIME-Version: 1.0", "Subject: Hello"}
             + textPart + Lines{"X-Campaign: 7", {}, "x"}},
        {"Latin-1 subject and name as encoded words",
         [](TQzvMsg &m) {
             m.UserName = QStringLiteral("Zoë");
             m.Subject = QStringLiteral("Été");
             m.Text = {QStringLiteral("café")};
         },
         head("=?ISO-8859-1?B?Wm/r?= <news@example.org>", "=?ISO-8859-1?B?yXTp?=") + textPart
             + Lines{{}, "caf\xE9"}},
        {"text beyond Latin-1 goes out as UTF-8",
         [](TQzvMsg &m) {
             m.Subject = QStringLiteral("5 €");
             m.Text = {QStringLiteral("Prix: 5 €")};
         },
         head("news@example.org", "=?UTF-8?B?NSDigqw=?=")
             + Lines{"Content-Type: text/plain; charset=UTF-8", "Content-Transfer-Encoding: 8Bit", {},
                     "Prix: 5 \xE2\x82\xAC"}},
        {"a charset name that is no token is not declared",
         [](TQzvMsg &m) {
             m.CharSet = QStringLiteral("x\r\nBcc: victim@example.org");
             m.Text = {QStringLiteral("x")};
         },
         head() + Lines{"Content-Type: text/plain; charset=UTF-8", "Content-Transfer-Encoding: 8Bit", {}, "x"}},
        {"line ends inside header values and text",
         [](TQzvMsg &m) {
             m.Subject = QStringLiteral("Hi\r\nBcc: victim@example.org");
             m.Text = {QStringLiteral("one\r\ntwo\nthree")};
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
        TQzvMsg m;
        base(m);
        c.setup(m);
        QString error;
        QVERIFY2(m.FillRawMail(&error), qPrintable(error));
        if (m.RawMail != c.expected) {
            for (qsizetype i = 0; i < std::max(m.RawMail.size(), c.expected.size()); ++i)
                if (m.RawMail.value(i) != c.expected.value(i))
                    qWarning() << "line" << i << m.RawMail.value(i) << "expected" << c.expected.value(i);
        }
        QCOMPARE(m.RawMail, c.expected);
    }

    void longLineGoesQuotedPrintable()
    {
        TQzvMsg m;
        base(m);
        const QString longLine = QStringLiteral("é").repeated(600); // 600 octets in Latin-1
        m.Text = {QStringLiteral("short"), longLine + longLine};
        QVERIFY(m.FillRawMail());
        QVERIFY(m.RawMail.contains("Content-Transfer-Encoding: quoted-printable"));
        for (const QByteArray &line : m.RawMail)
            QVERIFY(line.size() <= 998);

        // Just below the limit nothing changes.
        m.Text = {QString(998, u'x')};
        QVERIFY(m.FillRawMail());
        QVERIFY(m.RawMail.contains("Content-Transfer-Encoding: 8Bit"));
    }

    void refusals()
    {
        TQzvMsg m;
        base(m);
        m.From = QStringLiteral("news.example.org");
        QString error;
        QVERIFY(!m.FillRawMail(&error));
        QCOMPARE(error, QStringLiteral("\"From\" address not complete."));
        QVERIFY(m.RawMail.isEmpty());

        TQzvMsg missing;
        base(missing);
        missing.AttachedFiles.Add(QStringLiteral("/nonexistent/kirvane/file.pdf"));
        QVERIFY(!missing.FillRawMail(&error));
        QVERIFY2(error.startsWith(QStringLiteral("Cannot open file \"/nonexistent/kirvane/file.pdf\". ")), qPrintable(error));
        QVERIFY(missing.RawMail.isEmpty());
    }

    void composingTwiceKeepsTheSubject()
    {
        TQzvMsg m;
        base(m);
        m.TextEncoding = teBase64;
        QVERIFY(m.FillRawMail());
        const Lines first = m.RawMail;
        QVERIFY(m.FillRawMail());
        QCOMPARE(m.RawMail, first);
        QCOMPARE(m.Subject, QStringLiteral("Hello"));
    }

    // The sending run composes one message per contact with the same files:
    // the second composition must reuse the first encoding, and an edited
    // file must be encoded afresh.
    void filesAreEncodedOnce()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("report.pdf"));
        QVERIFY(writeFile(path, pattern(5000)));
        TQzvMsg first, second;
        base(first);
        base(second);
        first.AttachedFiles.Add(path);
        second.AttachedFiles.Add(path);
        QVERIFY(first.FillRawMail());
        QVERIFY(second.FillRawMail());
        const TAttachedFile &a = first.AttachedFiles[0];
        const TAttachedFile &b = second.AttachedFiles[0];
        QCOMPARE(a.Data, pattern(5000));
        QVERIFY(b.EncodedLines.first().isSharedWith(a.EncodedLines.first()));

        // A message built from the files of a composed one holds their bytes:
        // those are not encoded again either, until they change.
        TQzvMsg copy;
        base(copy);
        copy.AttachedFiles = first.AttachedFiles;
        QVERIFY(copy.FillRawMail());
        QVERIFY(copy.AttachedFiles[0].EncodedLines.first().isSharedWith(a.EncodedLines.first()));
        copy.AttachedFiles[0].Data = "other";
        QVERIFY(copy.FillRawMail());
        QCOMPARE(copy.AttachedFiles[0].EncodedLines, Lines{"b3RoZXI="});

        QVERIFY(writeFile(path, "changed"));
        TQzvMsg third;
        base(third);
        third.AttachedFiles.Add(path);
        QVERIFY(third.FillRawMail());
        QCOMPARE(third.AttachedFiles[0].EncodedLines, Lines{"Y2hhbmdlZA=="});
    }

    void readByPython_data()
    {
        QTest::addColumn<int>("attachments");
        QTest::addColumn<int>("images");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("encoding");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("body");
        const QString html = QStringLiteral("<html><body><p>Été</p><img src=\"cid:logo.gif\"><img src=\"cid:photo.png\"></body></html>");
        QTest::newRow("plain text") << 0 << 0 << int(mtPlain) << int(te8Bit) << QStringLiteral("Hello") << QStringLiteral("Bonjour\n.\n..two");
        QTest::newRow("attachments") << 2 << 0 << int(mtPlain) << int(te8Bit) << QStringLiteral("Rapport été") << QStringLiteral("See the files.");
        QTest::newRow("embedded images") << 0 << 2 << int(mtHTML) << int(te8Bit) << QStringLiteral("Lettre") << html;
        QTest::newRow("images and attachments") << 2 << 2 << int(mtHTML) << int(teBase64) << QStringLiteral("Lettre d'été") << html;
        QTest::newRow("UTF-8 and a long line") << 1 << 0 << int(mtPlain) << int(te8Bit)
                                             << QStringLiteral("Ωμέγα – 5 € ").repeated(8)
                                             << QStringLiteral("Ω").repeated(700) + QStringLiteral("\n.end");
    }
    void readByPython()
    {
        QFETCH(int, attachments);
        QFETCH(int, images);
        QFETCH(int, type);
        QFETCH(int, encoding);
        QFETCH(QString, subject);
        QFETCH(QString, body);

        QTemporaryDir dir;
        const QList<QPair<QString, QByteArray>> attachmentFiles = {
            {QStringLiteral("report.pdf"), pattern(70000)},
            {QStringLiteral("notes été.txt"), QByteArray("first\r\n.\r\nlast\r\n")},
        };
        const QList<QPair<QString, QByteArray>> imageFiles = {
            {QStringLiteral("logo.gif"), QByteArray("GIF89a") + pattern(300)},
            {QStringLiteral("photo.png"), QByteArray("\x89PNG\r\n\x1a\n", 8) + pattern(1000)},
        };
        TQzvMsg m;
        m.From = QStringLiteral("news@example.org");
        m.UserName = QStringLiteral("Zoë Martin");
        m.SendTo = QStringLiteral("a@example.org, b@example.org");
        m.CC = QStringLiteral("c@example.org");
        m.Subject = subject;
        m.Text = body.split(u'\n');
        m.MessageType = TMessageType(type);
        m.TextEncoding = TTextEncoding(encoding);
        m.Date = FormatMailDate(QDateTime::currentDateTime());
        for (int i = 0; i < attachments; ++i) {
            QVERIFY(writeFile(dir.filePath(attachmentFiles[i].first), attachmentFiles[i].second));
            m.AttachedFiles.Add(dir.filePath(attachmentFiles[i].first));
        }
        for (int i = 0; i < images; ++i) {
            QVERIFY(writeFile(dir.filePath(imageFiles[i].first), imageFiles[i].second));
            m.EmbeddedImages.Add(dir.filePath(imageFiles[i].first));
        }
        QVERIFY(m.FillRawMail());
        const QString eml = dir.filePath(QStringLiteral("message.eml"));
        QVERIFY(kirvane::test::writeLines(eml, unstuffed(m.RawMail)));

        const QJsonArray result = kirvane::test::peek(QStringLiteral("composed"), {eml});
        QCOMPARE(result.size(), 1);
        const QJsonObject read = result.at(0).toObject();
        QCOMPARE(read[u"defects"].toArray(), QJsonArray());
        QCOMPARE(read[u"subject"].toString(), subject);
        QCOMPARE(read[u"from_name"].toString(), QStringLiteral("Zoë Martin"));
        QCOMPARE(read[u"from_address"].toString(), QStringLiteral("news@example.org"));
        QCOMPARE(read[u"to"].toArray(), QJsonArray({QStringLiteral("a@example.org"), QStringLiteral("b@example.org")}));
        QCOMPARE(read[u"cc"].toArray(), QJsonArray({QStringLiteral("c@example.org")}));
        QCOMPARE(read[u"unresolved_cids"].toArray(), QJsonArray());
        if (images > 0)
            QCOMPARE(read[u"cid_refs"].toArray().size(), 2);

        const QJsonArray leaves = read[u"leaves"].toArray();
        QCOMPARE(leaves.size(), 1 + attachments + images);
        QString text = leaves.at(0).toObject()[u"text"].toString().replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        while (text.endsWith(u'\n'))
            text.chop(1);
        QCOMPARE(text, body);
        // Images come first, then attachments, each byte for byte.
        QList<QPair<QString, QByteArray>> files = imageFiles.mid(0, images) + attachmentFiles.mid(0, attachments);
        for (int i = 0; i < files.size(); ++i) {
            const QJsonObject leaf = leaves.at(1 + i).toObject();
            QCOMPARE(leaf[u"filename"].toString(), files[i].first);
            QCOMPARE(QByteArray::fromBase64(leaf[u"data"].toString().toLatin1()), files[i].second);
            if (i < images)
                QCOMPARE(leaf[u"content_id"].toString(), u'<' + files[i].first + u'>');
        }
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
        QCOMPARE(FormatMailDate(t), expected);
    }

    void identifiers()
    {
        const QRegularExpression id(QStringLiteral("^<QZV\\.\\d{4}\\.\\d{2}\\.\\d{2}\\.[a-t]{16}@a\\.b\\.c>$"));
        const QRegularExpression boundary(QStringLiteral("^--_QZV_bound_[a-y]{12}$"));
        // Many in the same millisecond, as when a run composes fast: all differ.
        QSet<QByteArray> ids;
        for (int i = 0; i < 1000; ++i) {
            const QByteArray one = MakeMessageId("a.b.c");
            QVERIFY2(id.match(QString::fromLatin1(one)).hasMatch(), one.constData());
            ids.insert(one);
        }
        QCOMPARE(ids.size(), 1000);
        QVERIFY(boundary.match(QString::fromLatin1(MakeBoundary())).hasMatch());
        QVERIFY(MakeMessageId("a.b.c").contains(QDate::currentDate().toString(u"yyyy.MM.dd").toLatin1()));
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
        QCOMPARE(ContentTypeOf(path), expected);
    }
};

QTEST_GUILESS_MAIN(TestCompose)
#include "tst_compose.moc"
