// The message archive: what we write has the documented layout and comes back
// whole; archives made by other tools read right; hostile archives are refused
// before anything is unpacked.

#include "message/htmlbody.h"
#include "message/messagearchive.h"
#include "message/messagedocument.h"
#include "message/messagetexts.h"
#include "testsupport.h"
#include "common/folders.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

#include <zip.h>

using namespace kirvane::common;
using namespace kirvane::texts;
using namespace kirvane::message;

namespace {

struct EntryInfo {
    QString name;
    int method;
    QByteArray data;
};

std::vector<EntryInfo> entriesOf(const QString &path)
{
    std::vector<EntryInfo> out;
    int code = 0;
    zip_t *z = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
    if (!z)
        return out;
    for (zip_int64_t i = 0; i < zip_get_num_entries(z, 0); ++i) {
        zip_stat_t st;
        zip_stat_index(z, zip_uint64_t(i), 0, &st);
        QByteArray data(qsizetype(st.size), '\0');
        zip_file_t *f = zip_fopen_index(z, zip_uint64_t(i), 0);
        zip_fread(f, data.data(), st.size);
        zip_fclose(f);
        out.push_back({QString::fromUtf8(st.name), int(st.comp_method), data});
    }
    zip_discard(z);
    return out;
}

QStringList namesOf(const std::vector<EntryInfo> &entries)
{
    QStringList names;
    for (const auto &e : entries)
        names << e.name;
    return names;
}

quint32 crc32Of(const QByteArray &data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char ch : data) {
        crc ^= uchar(ch);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A ZIP file written byte by byte from the format's description, so that a
// test can give entries any name and any declared size.
struct RawEntry {
    QByteArray name;
    QByteArray data;
    quint32 declaredSize = 0xFFFFFFFFu; // the real size unless set
};

QByteArray storedZip(const std::vector<RawEntry> &entries)
{
    auto le16 = [](QByteArray &b, quint16 v) { b.append(char(v & 0xFF)).append(char(v >> 8)); };
    auto le32 = [&](QByteArray &b, quint32 v) { le16(b, quint16(v & 0xFFFF)); le16(b, quint16(v >> 16)); };
    QByteArray file, central;
    for (const RawEntry &e : entries) {
        const quint32 offset = quint32(file.size());
        const quint32 crc = crc32Of(e.data);
        const quint32 size = quint32(e.data.size());
        const quint32 declared = e.declaredSize == 0xFFFFFFFFu ? size : e.declaredSize;
        le32(file, 0x04034b50); le16(file, 20); le16(file, 0); le16(file, 0); le16(file, 0); le16(file, 0x21);
        le32(file, crc); le32(file, size); le32(file, declared); le16(file, quint16(e.name.size())); le16(file, 0);
        file += e.name + e.data;
        le32(central, 0x02014b50); le16(central, 20); le16(central, 20); le16(central, 0); le16(central, 0);
        le16(central, 0); le16(central, 0x21); le32(central, crc); le32(central, size); le32(central, declared);
        le16(central, quint16(e.name.size())); le16(central, 0); le16(central, 0); le16(central, 0); le16(central, 0);
        le32(central, 0); le32(central, offset);
        central += e.name;
    }
    const quint32 cdOffset = quint32(file.size());
    file += central;
    le32(file, 0x06054b50); le16(file, 0); le16(file, 0); le16(file, quint16(entries.size()));
    le16(file, quint16(entries.size())); le32(file, quint32(central.size())); le32(file, cdOffset); le16(file, 0);
    return file;
}

QByteArray header(const QByteArray &subject, char mode)
{
    QByteArray h(kHeaderSize, '\0');
    h[0] = char(subject.size());
    std::copy(subject.begin(), subject.end(), h.begin() + 1);
    h[528] = 1;
    h[529] = mode;
    return h;
}



} // namespace

class TestMessageArchive : public QObject {
    Q_OBJECT
    QTemporaryDir m_temp;
    QString m_dir; // where archives go, with a trailing '/'

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_temp.isValid());
        QDir().mkpath(m_temp.filePath(QStringLiteral("tmp")));
        qputenv("TMPDIR", QFile::encodeName(m_temp.filePath(QStringLiteral("tmp"))));
        QDir().mkpath(m_temp.filePath(QStringLiteral("archives")));
        m_dir = m_temp.filePath(QStringLiteral("archives")) + u'/';
        setDataFolder(m_temp.filePath(QStringLiteral("data")));
        QVERIFY(tempFolder().startsWith(m_temp.path()));
    }

    void savedPlainMessageHasTheDocumentedLayout()
    {
        MessageDocument doc;
        doc.clear();
        ScriptedQuestions ask;
        QVERIFY(doc.switchToPlain(ask));
        doc.setSubject(QStringLiteral("Nouvelles"));
        doc.setPlainText(QStringLiteral("Bonjour\nà tous"));
        doc.addDestinationBooks({QStringLiteral("clients")});
        QVERIFY(writeArchive(doc, m_dir + QStringLiteral("lettre"), ArchiveKind::SavedMessage, {}, {}));
        QVERIFY(!QFile::exists(m_dir + QStringLiteral("lettre.xxx")));

        const auto entries = entriesOf(m_dir + QStringLiteral("lettre.MNL"));
        QCOMPARE(namesOf(entries), QStringList({"lettre.MNL", "lettre1.dat", "lettre2.dat", "lettre3.dat", "lettre4.dat"}));
        for (const auto &e : entries)
            QCOMPARE(e.method, ZIP_CM_DEFLATE);
        QByteArray expected(kHeaderSize, '\0');
        expected[0] = 9;
        expected.replace(1, 9, "Nouvelles");
        expected[528] = 1;
        expected[529] = '2';
        QCOMPARE(entries[0].data, expected);
        QCOMPARE(entries[1].data, QByteArray("Bonjour\r\n\xE0 tous\r\n"));
        QCOMPARE(entries[2].data, QByteArray("clients\r\n"));
        QCOMPARE(entries[3].data, QByteArray());

        MessageDocument back;
        QCOMPARE(readArchive(m_dir + QStringLiteral("lettre.MNL"), back), ArchiveReadStatus::Ok);
        QCOMPARE(back.subject(), QStringLiteral("Nouvelles"));
        QCOMPARE(back.mode(), ComposeMode::PlainText);
        QCOMPARE(back.plainText(), QStringLiteral("Bonjour\nà tous"));
        QCOMPARE(back.destinationBooks(), QStringList{"clients"});
        QVERIFY(back.attachments().isEmpty());
        QVERIFY(back.exclusionBooks().isEmpty());
        QVERIFY(!back.images() && !back.rewrittenTags() && !back.pageTags());
        QVERIFY(back.resumeBook().isEmpty() && back.resumeKey().isEmpty());
    }

    void fieldsComeBack_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("expectedSubject");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expectedKey");
        QTest::addColumn<QString>("body");

        const QString longSubject = QString(300, u'x');
        QTest::newRow("subject beyond 255 characters is cut")
            << 1 << 2 << longSubject << longSubject.left(255) << QString() << QString() << QStringLiteral("t");
        QTest::newRow("text outside Windows-1252 travels as UTF-8")
            << 1 << 2 << QStringLiteral("Привет €") << QStringLiteral("Привет €") << QString() << QString()
            << QStringLiteral("Жук\n中文 ✓");
        QTest::newRow("Windows-1252 text whose bytes would pass for UTF-8")
            << 1 << 2 << QStringLiteral("Â£5") << QStringLiteral("Â£5") << QString() << QString()
            << QStringLiteral("Â£5\nok");
        QTest::newRow("interrupted send keeps its resume position, key cut to 15")
            << 2 << 2 << QStringLiteral("s") << QStringLiteral("s") << QStringLiteral("12345678901234567890")
            << QStringLiteral("123456789012345") << QStringLiteral("corps");
        QTest::newRow("rich text keeps its formatting")
            << 1 << 1 << QStringLiteral("r") << QStringLiteral("r") << QString() << QString()
            << QStringLiteral("gras\nsecond € ligne");
        QTest::newRow("long UTF-8 subject is cut on a character boundary")
            << 1 << 2 << QString(200, QChar(0x0416)) << QString(127, QChar(0x0416)) << QString() << QString()
            << QString();
    }

    void fieldsComeBack()
    {
        QFETCH(int, kind);
        QFETCH(int, mode);
        QFETCH(QString, subject);
        QFETCH(QString, expectedSubject);
        QFETCH(QString, key);
        QFETCH(QString, expectedKey);
        QFETCH(QString, body);

        MessageDocument doc;
        doc.clear();
        doc.setSubject(subject);
        ScriptedQuestions ask;
        if (mode == 1) {
            QTextCursor c(doc.richText());
            QTextCharFormat bold = defaultCharFormat();
            bold.setFontWeight(QFont::Bold);
            bold.setForeground(QColor(0x12, 0x34, 0x56));
            bold.setFontPointSize(18);
            c.insertText(body, bold);
        } else {
            QVERIFY(doc.switchToPlain(ask));
            doc.setPlainText(body);
        }
        doc.addDestinationBooks({QStringLiteral("A"), QStringLiteral("B")});
        doc.addExclusionBooks({QStringLiteral("noirs")});
        QVERIFY(doc.attachFiles({QStringLiteral("/docs/tarif été.pdf")}, ask) == 1);
        const ArchiveKind k = ArchiveKind(kind);
        QVERIFY(writeArchive(doc, m_dir + QStringLiteral("rt"), k, key, QStringLiteral("B")));

        MessageDocument back;
        QCOMPARE(readArchive(m_dir + QStringLiteral("rt") + archiveExtension(k), back), ArchiveReadStatus::Ok);
        QCOMPARE(back.subject(), expectedSubject);
        QCOMPARE(int(back.mode()), mode);
        QCOMPARE(back.resumeKey(), expectedKey);
        QCOMPARE(back.resumeBook(), QStringLiteral("B"));
        QCOMPARE(back.destinationBooks(), QStringList({"A", "B"}));
        QCOMPARE(back.exclusionBooks(), QStringList{"noirs"});
        QCOMPARE(back.attachments(), QStringList{"/docs/tarif été.pdf"});
        if (mode == 1) {
            QCOMPARE(richTextLines(*back.richText()), body.split(u'\n'));
            QCOMPARE(richTextToHtmlLines(*back.richText()), richTextToHtmlLines(*doc.richText()));
        } else {
            QCOMPARE(back.plainText(), body);
        }
    }

    void imagesTravelWithTheMessage()
    {
        const QString pageDir = m_temp.filePath(QStringLiteral("page")) + u'/';
        QDir().mkpath(pageDir);
        QVERIFY(writeFile(pageDir + QStringLiteral("logo.png"), QByteArray("PNG-BYTES\x00\x01", 11)));
        MessageDocument doc;
        doc.clear();
        doc.setMode(ComposeMode::HtmlFile);
        doc.setPlainText(QStringLiteral("<html><img src=\"logo.png\"><img src=\"logo.png\"></html>"));
        // An image used twice is listed twice; a vanished work copy is listed too.
        doc.setImageLists(QStringList{pageDir + "logo.png", pageDir + "logo.png", pageDir + "gone.gif"},
                          QStringList{"<img src=\"cid:logo.png\">", "<img src=\"cid:logo.png\">", "x"},
                          QStringList{"<img src=\"logo.png\">", "<img src=\"logo.png\">", "y"});
        QVERIFY(writeArchive(doc, m_dir + QStringLiteral("page"), ArchiveKind::SavedMessage, {}, {}));
        const auto entries = entriesOf(m_dir + QStringLiteral("page.MNL"));
        QCOMPARE(namesOf(entries), QStringList({"page.MNL", "page1.dat", "page2.dat", "page3.dat", "page4.dat",
                                                "page5.dat", "page6.dat", "page7.dat", "logo.png"}));
        QVERIFY(QFile::remove(pageDir + QStringLiteral("logo.png")));

        MessageDocument back;
        QCOMPARE(readArchive(m_dir + QStringLiteral("page.MNL"), back), ArchiveReadStatus::Ok);
        QCOMPARE(back.mode(), ComposeMode::HtmlFile);
        const QString temp = tempFolder();
        QCOMPARE(*back.images(), QStringList({temp + "logo.png", temp + "logo.png", temp + "gone.gif"}));
        QCOMPARE(readFile(temp + QStringLiteral("logo.png")), QByteArray("PNG-BYTES\x00\x01", 11));
        QCOMPARE(*back.pageTags(), *doc.pageTags());
        QCOMPARE(*back.rewrittenTags(), *doc.rewrittenTags());
        QCOMPARE(back.pageFile(), temp + QStringLiteral("temp_html.html"));
        QVERIFY(readFile(back.pageFile()).contains("<img src=\"logo.png\">"));
        QCOMPARE(back.plainText(), doc.plainText());
    }

    void imageTagsOverSeveralLinesStayPaired()
    {
        // Both tag parts keep one tag per line: a remote tag running over two
        // lines must not shift the local tag after it onto another's text.
        const QString pageDir = m_temp.filePath(QStringLiteral("wrapped")) + u'/';
        QDir().mkpath(pageDir);
        QVERIFY(writeFile(pageDir + QStringLiteral("b.png"), "B"));
        QVERIFY(writeFile(pageDir + QStringLiteral("p.html"), "<p>\r\n<img src=\"http://example.org/a.png\"\r\n"
                                                              "width=\"3\">\r\n<img src=\"b.png\"\r\n alt=\"b\">\r\n</p>"));
        MessageDocument doc;
        doc.clear();
        ScriptedQuestions ask;
        QVERIFY(doc.importHtmlPage(pageDir + QStringLiteral("p.html"), ask));
        const QStringList sent = preparedBody(doc, BodyPurpose::Sending);
        QCOMPARE(sent, QStringList({"<p>", "<img src=\"http://example.org/a.png\"", "width=\"3\">",
                                    "<img src=\"cid:b.png\"", " alt=\"b\">", "</p>"}));
        QVERIFY(writeArchive(doc, m_dir + QStringLiteral("wrapped"), ArchiveKind::SavedMessage, {}, {}));

        MessageDocument back;
        QCOMPARE(readArchive(m_dir + QStringLiteral("wrapped.MNL"), back), ArchiveReadStatus::Ok);
        QCOMPARE(preparedBody(back, BodyPurpose::Sending), sent);
        QCOMPARE(back.rewrittenTags()->size(), back.pageTags()->size());
    }

    void savingOverAnArchiveAsksAndReplacesItWhole()
    {
        const QString target = m_dir + QStringLiteral("over.MNL");
        MessageDocument doc;
        doc.clear();
        doc.setMode(ComposeMode::HtmlFile);
        doc.setImageLists(QStringList{}, QStringList{}, QStringList{});
        doc.setSubject(QStringLiteral("old"));
        QVERIFY(writeArchive(doc, m_dir + QStringLiteral("over"), ArchiveKind::SavedMessage, {}, {}));
        const QByteArray before = readFile(target);

        doc.clear();
        doc.setSubject(QStringLiteral("new"));
        ScriptedQuestions no;
        QVERIFY(!saveMessage(doc, m_dir + QStringLiteral("over.txt"), no));
        QCOMPARE(no.asked, QStringList{messageTexts::overwriteFile()});
        QCOMPARE(readFile(target), before);

        ScriptedQuestions yes;
        yes.answers = {true};
        QVERIFY(saveMessage(doc, m_dir + QStringLiteral("over.MNL"), yes));
        QCOMPARE(namesOf(entriesOf(target)), QStringList({"over.MNL", "over1.dat", "over2.dat", "over3.dat", "over4.dat"}));
        MessageDocument back;
        QCOMPARE(readArchive(target, back), ArchiveReadStatus::Ok);
        QCOMPARE(back.subject(), QStringLiteral("new"));
    }

    void aFailedSaveSaysSo()
    {
        MessageDocument doc;
        doc.clear();
        ScriptedQuestions ask;
        QVERIFY(!saveMessage(doc, m_dir + QStringLiteral("no/such/folder/x.MNL"), ask));
        QCOMPARE(ask.notices, QStringList{messageTexts::backupError()});
        QString why;
        QVERIFY(!writeArchive(doc, m_dir + QStringLiteral("no/such/x"), ArchiveKind::SavedMessage, {}, {}, &why));
        QVERIFY(!why.isEmpty());
    }

    void readsAnArchiveBuiltByAnotherTool()
    {
        if (!QFile::exists(QStringLiteral("/usr/bin/python3")))
            QSKIP("needs /usr/bin/python3");
        // Deflated entries, Windows-1252 parts with CR LF and backslash paths.
        const QString path = m_dir + QStringLiteral("envoi.MNS");
        const QString script = qEnvironmentVariable("KIRVANE_TEST_DATA") + QStringLiteral("/message/make_archive.py");
        QProcess py;
        py.start(QStringLiteral("/usr/bin/python3"), {script, path});
        QVERIFY(py.waitForFinished(30000));
        QVERIFY2(py.exitCode() == 0, py.readAllStandardError().constData());

        MessageDocument doc;
        QCOMPARE(readArchive(path, doc), ArchiveReadStatus::Ok);
        QCOMPARE(doc.subject(), QStringLiteral("Lettre d'été"));
        QCOMPARE(doc.resumeKey(), QStringLiteral("42"));
        QCOMPARE(doc.resumeBook(), QStringLiteral("Clients"));
        QCOMPARE(doc.mode(), ComposeMode::HtmlFile);
        QCOMPARE(doc.plainText(), QStringLiteral("<html><title>T</title>\n<img src=\"logo.png\"> Prix : 5 €\n</html>"));
        QCOMPARE(doc.destinationBooks(), QStringList({"Clients", "Amis"}));
        QCOMPARE(doc.attachments(), QStringList{"C:\\docs\\tarif.pdf"});
        QCOMPARE(doc.exclusionBooks(), QStringList{"Exclus"});
        QCOMPARE(*doc.images(), QStringList{tempFolder() + "logo.png"});
        QCOMPARE(readFile(tempFolder() + QStringLiteral("logo.png")), QByteArray("\x89PNG fake"));
        QCOMPARE(preparedBody(doc, BodyPurpose::Sending).value(1), QStringLiteral("<img src=\"cid:logo.png\"> Prix : 5 €"));
    }

    void anImageStoredUnderAnotherLetterCaseIsFound()
    {
        const QString path = m_dir + QStringLiteral("cases.MNL");
        QVERIFY(writeFile(path, storedZip({{"cases.MNL", header("c", '3')},
                                           {"cases1.dat", "<img src=\"Logo.PNG\">\r\n"},
                                           {"cases5.dat", "C:\\pages\\Logo.PNG\r\n"},
                                           {"logo.png", "PNG"}})));
        MessageDocument doc;
        QCOMPARE(readArchive(path, doc), ArchiveReadStatus::Ok);
        QCOMPARE(*doc.images(), QStringList{tempFolder() + "Logo.PNG"});
        QCOMPARE(readFile(doc.images()->first()), QByteArray("PNG"));
    }

    void refusesBadArchives_data()
    {
        QTest::addColumn<QByteArray>("zip");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("escapeTarget"); // a file that must not appear

        const QByteArray good = header("ok", '2');
        const int corrupt = int(ArchiveReadStatus::Corrupt);
        const QString outside = m_temp.filePath(QStringLiteral("escaped.txt"));
        QTest::newRow("entry climbing out with ..")
            << storedZip({{"bad.MNL", good}, {"../../escaped.txt", "x"}}) << corrupt << outside;
        QTest::newRow("entry with an absolute path")
            << storedZip({{"bad.MNL", good}, {QFile::encodeName(outside), "x"}}) << corrupt << outside;
        QTest::newRow("entry inside a folder")
            << storedZip({{"bad.MNL", good}, {"sub/inner.txt", "x"}}) << corrupt << tempFolder() + "sub/inner.txt";
        QTest::newRow("entry with a backslash folder")
            << storedZip({{"bad.MNL", good}, {"..\\escaped.txt", "x"}}) << corrupt << tempFolder() + "..\\escaped.txt";
        QTest::newRow("entry declaring an absurd size")
            << storedZip({{"bad.MNL", good}, {"bomb.bin", "small", 0xF0000000u}}) << corrupt << tempFolder() + "bomb.bin";
        QTest::newRow("no header entry")
            << storedZip({{"bad1.dat", "text\r\n"}}) << corrupt << tempFolder() + "bad1.dat";
        QTest::newRow("header too short") << storedZip({{"bad.MNL", good.left(100)}}) << corrupt << QString();
        QTest::newRow("mode is not a number") << storedZip({{"bad.MNL", header("ok", 'x')}}) << corrupt << QString();
        QTest::newRow("mode out of range") << storedZip({{"bad.MNL", header("ok", '4')}}) << corrupt << QString();
        QTest::newRow("key length beyond its room")
            << storedZip({{"bad.MNL", QByteArray(good).replace(256, 1, "\x20")}}) << corrupt << QString();
        QTest::newRow("a rich body of three million paragraphs")
            << storedZip({{"bad.MNL", header("ok", '1')},
                          {"bad1.dat", "{\\rtf1 " + QByteArray("\\par ").repeated(3000000) + "}"}})
            << corrupt << QString();
        QTest::newRow("not a ZIP file") << QByteArray("plain text, no archive") << int(ArchiveReadStatus::Unreadable)
                                        << QString();
    }

    void refusesBadArchives()
    {
        QFETCH(QByteArray, zip);
        QFETCH(int, status);
        QFETCH(QString, escapeTarget);
        const QString path = m_dir + QStringLiteral("bad.MNL");
        QVERIFY(writeFile(path, zip));
        MessageDocument doc;
        doc.clear();
        doc.setSubject(QStringLiteral("kept"));
        QCOMPARE(int(readArchive(path, doc)), status);
        QCOMPARE(doc.subject(), QStringLiteral("kept"));
        if (!escapeTarget.isEmpty())
            QVERIFY(!QFile::exists(escapeTarget));

        ScriptedQuestions ask;
        QVERIFY(!openMessage(doc, path, ask));
        QCOMPARE(ask.notices, QStringList{messageTexts::corruptMessage()});
    }

    void refusesAnArchiveBeyondTheSizeLimit()
    {
        const QString path = m_dir + QStringLiteral("big.MNL");
        QVERIFY(writeFile(path, storedZip({{"big.MNL", header("b", '2')}, {"big1.dat", QByteArray(5000, 'a')}})));
        MessageDocument doc;
        QCOMPARE(readArchive(path, doc, ArchiveLimits{4000, 100}), ArchiveReadStatus::Corrupt);
        QCOMPARE(readArchive(path, doc, ArchiveLimits{6000, 100}), ArchiveReadStatus::Ok);
        QCOMPARE(readArchive(path, doc, ArchiveLimits{6000, 1}), ArchiveReadStatus::Corrupt);
    }
};

QTEST_MAIN(TestMessageArchive)
#include "tst_messagearchive.moc"
