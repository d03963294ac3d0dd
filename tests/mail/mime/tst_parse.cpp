// Parsing received messages: the lenient rules for headers, parts and
// encodings, messages written by Python's email package read the way Python
// reads them, our own messages read back, and hostile input.

#include "mail/mailmessage.h"
#include "peek.h"

#include <QDir>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace kirvane::mail;
using Lines = QList<QByteArray>;

namespace {

Lines linesOf(const QByteArray &text)
{
    Lines lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QStringList names(const AttachmentList &files)
{
    QStringList out;
    for (int i = 0; i < files.count(); ++i)
        out.append(files[i].fileName);
    return out;
}

QByteArrayList datas(const AttachmentList &files)
{
    QByteArrayList out;
    for (int i = 0; i < files.count(); ++i)
        out.append(files[i].data);
    return out;
}

QByteArray normalised(QByteArray data)
{
    data.replace("\r\n", "\n");
    while (data.endsWith('\n'))
        data.chop(1);
    return data;
}

} // namespace

class TestParse : public QObject
{
    Q_OBJECT

private slots:
    void messages_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QStringList>("text");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QByteArrayList>("data");

        QTest::newRow("Q-encoded Latin-1 subject")
            << QByteArray("Subject: =?ISO-8859-1?Q?Inscription_=E9t=E9?=\n\nbody\n")
            << QStringLiteral("Inscription été") << QStringList{QStringLiteral("body")} << QStringList() << QByteArrayList();
        QTest::newRow("two encoded words join without the blank")
            << QByteArray("Subject: =?utf-8?q?Bon?= =?utf-8?q?jour?=\n\nx\n")
            << QStringLiteral("Bonjour") << QStringList{QStringLiteral("x")} << QStringList() << QByteArrayList();
        QTest::newRow("header value stops at a semicolon")
            << QByteArray("Subject: ABONNE a@b.c; promo\n\nx\n")
            << QStringLiteral("ABONNE a@b.c") << QStringList{QStringLiteral("x")} << QStringList() << QByteArrayList();
        QTest::newRow("continuation line with a tab")
            << QByteArray("Subject: Hello\n\tworld\nTo: a@b.c\n\nx\n")
            << QStringLiteral("Hello\tworld") << QStringList{QStringLiteral("x")} << QStringList() << QByteArrayList();
        QTest::newRow("no content type, empty lines at the top")
            << QByteArray("\n\nFrom: a@b.c\nSubject: s\n\n\nline 1\n\nline 3\n")
            << QStringLiteral("s") << QStringList{QStringLiteral("line 1"), QString(), QStringLiteral("line 3")}
            << QStringList() << QByteArrayList();
        QTest::newRow("alternative: text kept, HTML filed under the subject")
            << QByteArray("Subject: News v1.2\nContent-Type: multipart/alternative; boundary=\"b\"\n\npreamble\n"
                          "--b\nContent-Type: text/plain; charset=utf-8\n\nplain \xC3\xA9\n--b\n"
                          "Content-Type: text/html\n\n<p>html</p>\n--b--\nepilogue\n")
            << QStringLiteral("News v1.2") << QStringList{QStringLiteral("plain é")}
            << QStringList{QStringLiteral("News v1.html")} << QByteArrayList{"<p>html</p>"};
        QTest::newRow("file name from the disposition, quoted with a semicolon")
            << QByteArray("Subject: s\nContent-Type: multipart/mixed; boundary=zz\n\n--zz\n\ntext\n--zz\n"
                          "Content-Type: application/pdf\nContent-Transfer-Encoding: base64\n"
                          "Content-Disposition: attachment;\n filename=\"a;b.pdf\"\n\naGVs\nbG8=\n--zz--\n")
            << QStringLiteral("s") << QStringList{QStringLiteral("text")}
            << QStringList{QStringLiteral("a;b.pdf")} << QByteArrayList{"hello"};
        QTest::newRow("file name in RFC 2231 pieces")
            << QByteArray("Subject: s\nContent-Type: application/pdf;\n name*0*=UTF-8''r%C3%A9sum;\n name*1*=%C3%A9.pdf\n"
                          "Content-Transfer-Encoding: base64\n\naGVsbG8=\n")
            << QStringLiteral("s") << QStringList() << QStringList{QStringLiteral("résumé.pdf")} << QByteArrayList{"hello"};
        QTest::newRow("file name in single quotes")
            << QByteArray("Subject: s\nContent-Type: application/pdf; name='l'an.pdf'\n\nraw\n")
            << QStringLiteral("s") << QStringList() << QStringList{QStringLiteral("l'an.pdf")} << QByteArrayList{"raw"};
        QTest::newRow("characters that could reach a folder are removed")
            << QByteArray("Subject: s\nContent-Type: application/octet-stream; name=\"../x:y*.bin\"\n\nraw\n")
            << QStringLiteral("s") << QStringList() << QStringList{QStringLiteral("..xy.bin")} << QByteArrayList{"raw"};
        QTest::newRow("forwarded message joins text and files")
            << QByteArray("Subject: Fwd\nContent-Type: multipart/mixed; boundary=o\n\n--o\n\nouter\n--o\n"
                          "Content-Type: message/rfc822\n\nSubject: inner\nContent-Type: multipart/mixed; boundary=i\n\n"
                          "--i\nContent-Type: text/plain\n\ninner text\n--i\nContent-Type: image/gif; name=x.gif\n"
                          "Content-Transfer-Encoding: base64\n\nR0lG\n--i--\n--o--\n")
            << QStringLiteral("Fwd") << QStringList{QStringLiteral("outer"), QStringLiteral("inner text")}
            << QStringList{QStringLiteral("x.gif")} << QByteArrayList{"GIF"};
        QTest::newRow("closing delimiter never comes")
            << QByteArray("Subject: s\nContent-Type: multipart/mixed; boundary=q\n\n--q\n\none\n--q\n\ntwo\n")
            << QStringLiteral("s") << QStringList{QStringLiteral("one"), QStringLiteral("two")} << QStringList() << QByteArrayList();
        QTest::newRow("delimiter with trailing blanks")
            << QByteArray("Subject: s\nContent-Type: multipart/mixed; boundary=q\n\n--q  \n\none\n--q-- \n")
            << QStringLiteral("s") << QStringList{QStringLiteral("one")} << QStringList() << QByteArrayList();
        QTest::newRow("boundary shaped like an encoded word")
            << QByteArray("Subject: s\nContent-Type: multipart/mixed; boundary=\"=?x?q?y?=\"\n\n--=?x?q?y?=\n\none\n--=?x?q?y?=--\n")
            << QStringLiteral("s") << QStringList{QStringLiteral("one")} << QStringList() << QByteArrayList();
        QTest::newRow("multipart without a boundary is text")
            << QByteArray("Subject: s\nContent-Type: multipart/mixed\n\nx\n")
            << QStringLiteral("s") << QStringList{QStringLiteral("x")} << QStringList() << QByteArrayList();
        QTest::newRow("uuencoded file inside text leaves with its end line")
            << QByteArray("Subject: s\n\nbefore\nbegin 644 cat.txt\n#0V%T\n`\nend\nafter\n")
            << QStringLiteral("s") << QStringList{QStringLiteral("before"), QStringLiteral("after")}
            << QStringList{QStringLiteral("cat.txt")} << QByteArrayList{"Cat"};
        QTest::newRow("uuencoded lines whose writer dropped the trailing blanks")
            << QByteArray("Subject: s\n\nbegin 644 a.bin\n!80\nend\n")
            << QStringLiteral("s") << QStringList() << QStringList{QStringLiteral("a.bin")} << QByteArrayList{"a"};
        QTest::newRow("a letter's line starting with begin and a number is text")
            << QByteArray("Subject: s\n\nbegin 100 days of summer reading\nwith us today.\nend\n")
            << QStringLiteral("s")
            << QStringList{QStringLiteral("begin 100 days of summer reading"), QStringLiteral("with us today."),
                           QStringLiteral("end")}
            << QStringList() << QByteArrayList();
        QTest::newRow("begin without an end line is text")
            << QByteArray("Subject: s\n\nbegin 600 cat.txt\n#0V%T\n")
            << QStringLiteral("s") << QStringList{QStringLiteral("begin 600 cat.txt"), QStringLiteral("#0V%T")}
            << QStringList() << QByteArrayList();
        QTest::newRow("a mode that is not octal is text")
            << QByteArray("Subject: s\n\nbegin 698 cat.txt\n#0V%T\nend\n")
            << QStringLiteral("s")
            << QStringList{QStringLiteral("begin 698 cat.txt"), QStringLiteral("#0V%T"), QStringLiteral("end")}
            << QStringList() << QByteArrayList();
        QTest::newRow("a line longer than its count announces is text")
            << QByteArray("Subject: s\n\nbegin 644 cat.txt\n#0V%T0V%T0V%T\nend\n")
            << QStringLiteral("s")
            << QStringList{QStringLiteral("begin 644 cat.txt"), QStringLiteral("#0V%T0V%T0V%T"), QStringLiteral("end")}
            << QStringList() << QByteArrayList();
        QTest::newRow("a character outside the uu alphabet is text")
            << QByteArray("Subject: s\n\nbegin 644 x.bin\n#0v%t\nend\nafter\n")
            << QStringLiteral("s")
            << QStringList{QStringLiteral("begin 644 x.bin"), QStringLiteral("#0v%t"), QStringLiteral("end"),
                           QStringLiteral("after")}
            << QStringList() << QByteArrayList();
        QTest::newRow("quoted-printable text in ISO-8859-15")
            << QByteArray("Subject: s\nContent-Type: text/plain; charset=iso-8859-15\n"
                          "Content-Transfer-Encoding: quoted-printable\n\n5 =A4 la pi=E8ce, une tr=\n=E8s longue ligne\n")
            << QStringLiteral("s") << QStringList{QStringLiteral("5 € la pièce, une très longue ligne")}
            << QStringList() << QByteArrayList();
        QTest::newRow("8-bit text in Windows-1252")
            << QByteArray("Subject: s\nContent-Type: text/plain; charset=\"windows-1252\"\n\n\x93quoted\x94\n")
            << QStringLiteral("s") << QStringList{QStringLiteral("“quoted”")} << QStringList() << QByteArrayList();
        QTest::newRow("quoted-printable attachment loses its final line end")
            << QByteArray("Subject: s\nContent-Type: application/x-thing; name=t.bin\nContent-Transfer-Encoding: quoted-printable\n\na=3Db\n\n")
            << QStringLiteral("s") << QStringList() << QStringList{QStringLiteral("t.bin")} << QByteArrayList{"a=b"};
        QTest::newRow("HTML-only message without a subject")
            << QByteArray("Content-Type: text/html\n\n<b>x</b>\n")
            << QString() << QStringList() << QStringList{QStringLiteral(".html")} << QByteArrayList{"<b>x</b>"};
        QTest::newRow("undecodable word kept as it stands")
            << QByteArray("Subject: =?utf-8?B?***?= ok\n\nx\n")
            << QStringLiteral("=?utf-8?B?***?= ok") << QStringList{QStringLiteral("x")} << QStringList() << QByteArrayList();
    }
    void messages()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QString, subject);
        QFETCH(QStringList, text);
        QFETCH(QStringList, files);
        QFETCH(QByteArrayList, data);
        MailMessage m;
        QVERIFY(m.parse(linesOf(raw)));
        QCOMPARE(m.subject, subject);
        QCOMPARE(m.text, text);
        QCOMPARE(names(m.attachments), files);
        QCOMPARE(datas(m.attachments), data);
        QVERIFY(m.wireLines.isEmpty());
    }

    void keptRawMailIsStuffedForSendingOn()
    {
        MailMessage m;
        m.clearWireLinesAfterParse = false;
        QVERIFY(m.parse(linesOf("From: a@example.org\nSubject: dots\n\nfirst\n.\n..two\n")));
        QCOMPARE(m.text, QStringList({"first", ".", "..two"}));
        QCOMPARE(m.wireLines.mid(3), Lines({"first", "..", "...two"}));
    }

    void headerFields()
    {
        MailMessage m;
        m.clearWireLinesAfterParse = false;
        const Lines lines = linesOf(
            "Return-Path: <bounce@example.org>\n"
            "From: =?utf-8?q?Zo=C3=AB?= <zoe@example.org>\n"
            "Sender: sender@example.org\n"
            "To: \"Smith, John\" <john@example.org>, kay@example.org (Kay Lee),\n"
            "  =?utf-8?q?Ren=C3=A9?= <rene@example.org>\n"
            "CC: <cc@example.org>\n"
            "Reply-To: Desk <desk@example.org>\n"
            "Message-ID: <abc@example.org>\n"
            "In-Reply-To: <prev@example.org>\n"
            "Date: Tue, 8 Dec 2026 14:05:09 +0100\n"
            "Content-Type: text/plain; charset=us-ascii\n"
            "Content-Transfer-Encoding: 7bit\n"
            "\n"
            "body\n");
        QVERIFY(m.parse(lines));
        QCOMPARE(m.wireLines, lines);
        QCOMPARE(m.headers, lines.mid(0, 12));
        QCOMPARE(m.from, QStringLiteral("Zoë <zoe@example.org>"));
        QCOMPARE(m.sender, QStringLiteral("\"sender@example.org\" <sender@example.org>"));
        QCOMPARE(m.sendTo, QStringLiteral("\"\" <john@example.org>, \"Kay Lee\" <kay@example.org>, \"René\" <rene@example.org>"));
        QCOMPARE(m.cc, QStringLiteral("\"\" <cc@example.org>"));
        QCOMPARE(m.replyTo, QStringLiteral("\"Desk\" <desk@example.org>"));
        QCOMPARE(m.messageId, QStringLiteral("<abc@example.org>"));
        QCOMPARE(m.inReplyTo, QStringLiteral("<prev@example.org>"));
        QCOMPARE(m.returnPath, QStringLiteral("<bounce@example.org>"));
        QCOMPARE(m.date, QStringLiteral("Tue, 8 Dec 2026 14:05:09 +0100"));
        QCOMPARE(m.contentType, QStringLiteral("TEXT/PLAIN"));
        QCOMPARE(m.contentTransferEncoding, QStringLiteral("7BIT"));
        QVERIFY(m.bcc.isEmpty());

        // Without a From header no other header stands in for it; only a
        // mailbox's envelope line names the sender.
        MailMessage noFrom;
        QVERIFY(noFrom.parse(linesOf("Received: from mx.example.org by pop\nSubject: s\n\nx\n")));
        QCOMPARE(noFrom.from, QString());
        MailMessage envelope;
        QVERIFY(envelope.parse(linesOf("From ann@example.org Thu Dec 10 14:00:00 2026\nSubject: s\n\nx\n")));
        QCOMPARE(envelope.from, QStringLiteral("ann@example.org"));
        QCOMPARE(noFrom.contentType, QStringLiteral("TEXT/PLAIN"));
        QCOMPARE(noFrom.contentTransferEncoding, QStringLiteral("7BIT"));
    }

    void uuCharacterOutsideTheAlphabet()
    {
        // A part declared uuencoded that is not: the error, and the rest of
        // the message is still there.
        MailMessage m;
        QString error;
        QVERIFY(!m.parse(linesOf("Subject: s\nContent-Type: multipart/mixed; boundary=b\n\n--b\n\ntext\n--b\n"
                                 "Content-Type: application/octet-stream; name=x.bin\n"
                                 "Content-Transfer-Encoding: x-uuencode\n\nbegin 644 x.bin\n#0v%t\nend\n--b--\n"),
                         &error));
        QCOMPARE(error, QStringLiteral("Oops..."));
        QCOMPARE(m.subject, QStringLiteral("s"));
        QCOMPARE(m.text, QStringList({QStringLiteral("text")}));
    }

    void writtenByPython_data() { fixtureRows(QStringLiteral("python-written")); }
    void writtenByPython()
    {
        QFETCH(QString, path);
        readAsPythonReads(path, false);
    }

    // Broken messages, each showing one rule of reading a header block or a
    // multipart, read as Python's email package reads them (it notes a
    // defect and goes on): a first line that is no field begins the body,
    // even when the next line starts with a blank; a header block without
    // its empty line ends at the first line that is no field; a multipart
    // repeating its parent's boundary gives its parts to the parent.
    void readAsPython_data() { fixtureRows(QStringLiteral("python-read")); }
    void readAsPython()
    {
        QFETCH(QString, path);
        readAsPythonReads(path, true);
    }

private:
    // A row for each message of the fixture folder mail/<folder>.
    static void fixtureRows(const QString &folder)
    {
        QTest::addColumn<QString>("path");
        const QDir dir(qEnvironmentVariable("KIRVANE_TEST_DATA") + QStringLiteral("/mail/") + folder);
        const QStringList files = dir.entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name);
        QVERIFY(!files.isEmpty());
        for (const QString &f : files)
            QTest::newRow(qPrintable(f)) << dir.filePath(f);
    }

    // The subject, sender, text lines (blank ones aside) and attachments of
    // the message at path compared with what Python's email package reads.
    void readAsPythonReads(const QString &path, bool defective)
    {
        const QJsonArray result = kirvane::test::peek(QStringLiteral("received"), {path});
        QCOMPARE(result.size(), 1);
        const QJsonObject python = result.at(0).toObject();
        if (!defective)
            QCOMPARE(python[u"defects"].toArray(), QJsonArray());

        MailMessage m;
        QString error;
        QVERIFY2(m.parse(kirvane::test::readLines(path), &error), qPrintable(error));
        QCOMPARE(m.subject, python[u"subject"].toString());
        QCOMPARE(m.from, python[u"from"].toString());
        QStringList text;
        for (const QString &line : std::as_const(m.text))
            if (!line.trimmed().isEmpty())
                text.append(line);
        QStringList pythonText;
        for (const QJsonValue &line : python[u"text"].toArray())
            pythonText.append(line.toString());
        QCOMPARE(text, pythonText);

        const QJsonArray files = python[u"files"].toArray();
        QCOMPARE(names(m.attachments).size(), files.size());
        for (int i = 0; i < files.size(); ++i) {
            const QJsonObject f = files.at(i).toObject();
            QCOMPARE(m.attachments[i].fileName, f[u"name"].toString());
            const QByteArray expected = QByteArray::fromBase64(f[u"data"].toString().toLatin1());
            // Python keeps a decoded text's line ends as the file had them.
            if (m.attachments[i].data != expected)
                QCOMPARE(normalised(m.attachments[i].data), normalised(expected));
        }
    }

private slots:

    // What we compose, we read back the same.
    void composedAndReadBack()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.bin"));
        QByteArray bytes;
        for (int i = 0; i < 3000; ++i)
            bytes.append(char(QRandomGenerator::global()->bounded(256)));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();

        for (const BodyEncoding encoding : {BodyEncoding::EightBit, BodyEncoding::Base64}) {
            MailMessage out;
            out.from = QStringLiteral("news@example.org");
            out.sendTo = QStringLiteral("a@example.org");
            out.subject = QStringLiteral("Прямая рассылка – ").repeated(5);
            out.text = {QStringLiteral("Ligne été"), QStringLiteral(".point"), QString(), QStringLiteral("€").repeated(400)};
            out.bodyEncoding = encoding;
            out.attachments.add(path);
            QVERIFY(out.compose());
            Lines wire = out.wireLines;
            for (QByteArray &line : wire)
                if (line.startsWith(".."))
                    line.remove(0, 1);
            MailMessage in;
            QVERIFY(in.parse(wire));
            QCOMPARE(in.subject, out.subject);
            QCOMPARE(in.from, out.from);
            QCOMPARE(in.sendTo, QStringLiteral("\"a@example.org\" <a@example.org>"));
            QCOMPARE(in.text, out.text);
            QCOMPARE(names(in.attachments), QStringList{QStringLiteral("data.bin")});
            QCOMPARE(in.attachments[0].data, bytes);
        }
    }

    // A received message is forwarded by composing it again: an empty part
    // named after a file of ours must go out empty, not with our file.
    void forwardingNeverReadsLocalFiles()
    {
        QTemporaryDir dir;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        QFile secret(QStringLiteral("config.ini"));
        QVERIFY(secret.open(QIODevice::WriteOnly));
        secret.write("password=secret\n");
        secret.close();

        MailMessage m;
        m.parse(linesOf("From: x@example.org\nSubject: s\nContent-Type: multipart/mixed; boundary=b\n\n"
                               "--b\n\nhello\n--b\nContent-Type: text/plain; name=config.ini\n\n--b--\n"));
        QCOMPARE(names(m.attachments), QStringList{QStringLiteral("config.ini")});
        QVERIFY(m.attachments[0].data.isEmpty());
        const bool composed = m.compose();
        QDir::setCurrent(previous);
        QVERIFY(composed);
        QVERIFY(m.attachments[0].encodedLines.isEmpty());
        for (const QByteArray &line : std::as_const(m.wireLines))
            QVERIFY(!line.contains(QByteArray("password=secret").toBase64().left(12)));
    }

    void hostileInput()
    {
        // Nesting far beyond any real message must neither recurse without
        // bound nor lose the parts within the limit.
        QByteArray deep = "Subject: deep\n";
        const int levels = 20000;
        for (int i = 0; i < levels; ++i)
            deep += "Content-Type: multipart/mixed; boundary=b" + QByteArray::number(i) + "\n\n--b" + QByteArray::number(i) + "\n";
        deep += "Content-Type: text/plain\n\ninnermost\n";
        MailMessage m;
        m.parse(linesOf(deep));
        QCOMPARE(m.subject, QStringLiteral("deep"));
        QVERIFY(m.text.isEmpty());

        QByteArray shallow = "Subject: s\n";
        for (int i = 0; i < 10; ++i)
            shallow += "Content-Type: message/rfc822\n\n";
        shallow += "Subject: inner\n\ninnermost\n";
        MailMessage ok;
        ok.parse(linesOf(shallow));
        QCOMPARE(ok.text, QStringList{QStringLiteral("innermost")});

        // Random bytes shaped like mail never crash the parser.
        const QByteArrayList words = {"Content-Type: ", "multipart/mixed; boundary=x", "--x", "--x--", "=?", "?=",
                                      "?Q?", "?B?", "begin 644 a", "end", "=\n", "\n", "\n\n", "name=\"", "message/rfc822",
                                      "base64", "Content-Transfer-Encoding: ", "quoted-printable", "x-uuencode", "M", "`", ";"};
        QRandomGenerator random(42);
        for (int round = 0; round < 300; ++round) {
            QByteArray text;
            for (int i = 0; i < 200; ++i)
                text += random.bounded(4) == 0 ? QByteArray(1, char(random.bounded(256))) : words.at(random.bounded(int(words.size())));
            MailMessage garbage;
            garbage.parse(linesOf(text));
        }
    }
};

QTEST_GUILESS_MAIN(TestParse)
#include "tst_parse.moc"
