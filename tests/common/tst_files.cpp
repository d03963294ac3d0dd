// Text encodings, INI files and the folder helpers.
#include "common/filewriter.h"
#include "common/folders.h"
#include "common/inifile.h"
#include "common/logline.h"
#include "common/smallfile.h"
#include "common/textcodec.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "filesizelimit.h"

#include <sys/stat.h>

using namespace kirvane::common;

Q_DECLARE_METATYPE(kirvane::common::BookNameFault)

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class TstFiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void legacyText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("utf8");
        QTest::newRow("ascii") << QStringLiteral("Durand") << QByteArray("Durand") << false;
        QTest::newRow("latin accents") << QStringLiteral("Élodie Müller") << QByteArray("\xC9lodie M\xFCller") << false;
        QTest::newRow("euro and quotes in 0x80-0x9f") << QStringLiteral("€ “x” œ") << QByteArray("\x80 \x93x\x94 \x9C") << false;
        QTest::newRow("1252 bytes that read as utf-8 go as utf-8") << QStringLiteral("Â£5")
                                                                 << QByteArray("\xEF\xBB\xBF\xC3\x82\xC2\xA3" "5") << true;
        QTest::newRow("greek falls back to utf-8") << QStringLiteral("Ωmega €")
                                                   << QByteArray("\xEF\xBB\xBF\xCE\xA9mega \xE2\x82\xAC") << true;
    }
    void legacyText()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, utf8);
        const LegacyText enc = encodeLegacyText(text, true);
        QCOMPARE(enc.bytes, bytes);
        QCOMPARE(enc.utf8, utf8);
        QCOMPARE(decodeLegacyText(enc.bytes), text);
    }

    void decodeForeignText_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("utf-8 without mark") << QByteArray("\xC3\x89lodie") << QStringLiteral("Élodie");
        QTest::newRow("windows-1252") << QByteArray("\xC9lodie \x80") << QStringLiteral("Élodie €");
        QTest::newRow("utf-16 mark bytes are windows-1252 text") << QByteArray("\xFF\xFE\xC9l") << QStringLiteral("ÿþÉl");
        QTest::newRow("unused 1252 byte kept") << QByteArray("a\x81z") << QStringLiteral("a\u0081z");
    }
    void decodeForeignText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(decodeLegacyText(bytes), text);
    }

    // Text that begins with what another charset would take for a byte-order
    // mark comes back as it was written, with and without a mark of ours.
    void textStartingLikeAMark_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("withBom");
        const QList<QPair<const char *, QString>> texts = {
            {"y-diaeresis thorn (utf-16le mark)", QStringLiteral("ÿþ Soldes")},
            {"thorn y-diaeresis (utf-16be mark)", QStringLiteral("þÿ x")},
            {"utf-8 mark as windows-1252", QStringLiteral("ï»¿ x")},
            {"zero-width no-break space", QStringLiteral("\uFEFFx €")},
        };
        for (const auto &[name, text] : texts) {
            QTest::addRow("%s, mark", name) << text << true;
            QTest::addRow("%s, no mark", name) << text << false;
        }
    }
    void textStartingLikeAMark()
    {
        QFETCH(QString, text);
        QFETCH(bool, withBom);
        QCOMPARE(decodeLegacyText(encodeLegacyText(text, withBom).bytes), text);
    }

    // A line break in a value would end the entry there: CR LF, a lone LF and
    // a lone CR each become a space, and the entries around stay.
    void iniValueStaysOnOneLine_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("cr lf") << QStringLiteral("two\r\nlines");
        QTest::newRow("lone lf") << QStringLiteral("two\nlines");
        QTest::newRow("lone cr") << QStringLiteral("two\rlines");
    }
    void iniValueStaysOnOneLine()
    {
        QFETCH(QString, value);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("v.ini"));
        IniFile ini;
        ini.setValue(QStringLiteral("s"), QStringLiteral("k"), value);
        ini.setValue(QStringLiteral("s"), QStringLiteral("after"), QStringLiteral("1"));
        QVERIFY(ini.save(path));
        QCOMPARE(readAll(path), QByteArray("[s]\r\nk=two lines\r\nafter=1\r\n"));
        IniFile back(path);
        QCOMPARE(back.value(QStringLiteral("s"), QStringLiteral("k")), QStringLiteral("two lines"));
        QCOMPARE(back.keys(QStringLiteral("s")), QStringList({QStringLiteral("k"), QStringLiteral("after")}));
    }

    // A write that fails part-way (a full disk) leaves the old file as it was,
    // nothing beside it, and says why.
    void failedWriteKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("writer");
        QTest::newRow("ini file") << QStringLiteral("ini");
        QTest::newRow("text file") << QStringLiteral("text");
        QTest::newRow("private file") << QStringLiteral("private");
    }
    void failedWriteKeepsTheOldFile()
    {
        QFETCH(QString, writer);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("f.ini"));
        const QByteArray old = "[s]\r\nk=old value\r\n";
        writeFile(path, old);
        IniFile ini(path);
        ini.setValue(QStringLiteral("s"), QStringLiteral("k"), QString(200, u'n'));
        bool written = true;
        QString why;
        {
            FileSizeLimit full(10);
            if (writer == QLatin1String("ini"))
                written = ini.save(path, &why);
            else
                written = replaceTextFile(path, ini.text(),
                                          writer == QLatin1String("private") ? FileAccess::Private : FileAccess::Shared, &why);
        }
        QVERIFY(!written);
        QVERIFY2(why.contains(QLatin1String("large")), qPrintable(why));
        QCOMPARE(readAll(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList(QStringLiteral("f.ini")));
    }

    void replacedFileKeepsItsModeOrIsPrivate()
    {
        QTemporaryDir dir;
        const QString shared = dir.filePath(QStringLiteral("shared.ini"));
        writeFile(shared, "x");
        QVERIFY(QFile::setPermissions(shared, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        QVERIFY(replaceTextFile(shared, u"new"));
        QCOMPARE(readAll(shared), QByteArray("new"));
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(shared).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0640);
        const QString secret = dir.filePath(QStringLiteral("config.ini"));
        QVERIFY(replaceTextFile(secret, u"password=x", FileAccess::Private));
        QCOMPARE(::stat(QFile::encodeName(secret).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0600);
    }

    void iniKeepsLayoutAndFindsKeysInAnyCase()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.ini"));
        writeFile(path, "; a comment\r\n[Newsletter]\r\nServeur=smtp.example.org\r\nport=25\r\n\r\n[Other]\r\nx=1\r\n");
        IniFile ini(path);
        QCOMPARE(ini.value(QStringLiteral("newsletter"), QStringLiteral("SERVEUR")), QStringLiteral("smtp.example.org"));
        QCOMPARE(ini.value(QStringLiteral("Newsletter"), QStringLiteral("missing"), QStringLiteral("dflt")), QStringLiteral("dflt"));
        ini.setValue(QStringLiteral("Newsletter"), QStringLiteral("port"), QStringLiteral("587"));
        ini.setValue(QStringLiteral("Newsletter"), QStringLiteral("expediteur"), QStringLiteral("Zoë Ωmega"));
        ini.setValue(QStringLiteral("New"), QStringLiteral("k"), QStringLiteral("two\r\nlines"));
        QVERIFY(ini.save());
        const QByteArray bytes = readAll(path);
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF; a comment\r\n[Newsletter]\r\nServeur=smtp.example.org\r\nport=587\r\nexpediteur="));
        QVERIFY(bytes.contains("[Other]\r\nx=1\r\n"));
        IniFile back(path);
        QCOMPARE(back.value(QStringLiteral("Newsletter"), QStringLiteral("expediteur")), QStringLiteral("Zoë Ωmega"));
        QCOMPARE(back.value(QStringLiteral("New"), QStringLiteral("k")), QStringLiteral("two lines"));
        QCOMPARE(back.keys(QStringLiteral("newsletter")),
                 QStringList({QStringLiteral("Serveur"), QStringLiteral("port"), QStringLiteral("expediteur")}));
    }

    void iniWithoutFileGivesDefaults()
    {
        IniFile ini(QStringLiteral("/nonexistent/x.ini"));
        QCOMPARE(ini.value(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("d")), QStringLiteral("d"));
        QVERIFY(!ini.save());
    }

    // fault: as the name of a new book; reach: as the name of an existing one.
    void bookNameCheck_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<BookNameFault>("fault");
        QTest::addColumn<BookNameFault>("reach");
        const auto none = BookNameFault::None;
        QTest::newRow("spaces accents dots") << QStringLiteral("Mes clients é.2") << none << none;
        QTest::newRow("semicolon") << QStringLiteral("a;b") << none << none;
        QTest::newRow("one dot") << QStringLiteral(".") << none << none;
        QTest::newRow("empty") << QString() << BookNameFault::Empty << BookNameFault::Empty;
        for (QChar c : QStringLiteral("\\/:*?\"'<>|")) {
            const bool separator = c == u'/' || c == u'\\';
            QTest::newRow(qPrintable(QStringLiteral("char %1").arg(c)))
                << (QStringLiteral("a") + c + u'b') << BookNameFault::Characters
                << (separator ? BookNameFault::Characters : none);
        }
        QTest::newRow("parent folder") << QStringLiteral("../../etc/x") << BookNameFault::Characters << BookNameFault::Characters;
        QTest::newRow("two dots") << QStringLiteral("..") << BookNameFault::Dots << BookNameFault::Dots;
        QTest::newRow("two dots inside") << QStringLiteral("a..b") << BookNameFault::Dots << BookNameFault::Dots;
        QTest::newRow("apostrophe then line feed") << QStringLiteral("o'\n") << BookNameFault::Characters << BookNameFault::LineBreak;
        QTest::newRow("lone lf") << QStringLiteral("a\nb") << BookNameFault::LineBreak << BookNameFault::LineBreak;
        QTest::newRow("lone cr") << QStringLiteral("a\rb") << BookNameFault::LineBreak << BookNameFault::LineBreak;
        QTest::newRow("tab") << QStringLiteral("a\tb") << BookNameFault::LineBreak << BookNameFault::LineBreak;
        QTest::newRow("nul") << QString(QStringLiteral("ab")).insert(1, QChar(0)) << BookNameFault::LineBreak << BookNameFault::LineBreak;
        QTest::newRow("line separator") << QStringLiteral("a\u2028b") << BookNameFault::LineBreak << BookNameFault::LineBreak;
    }
    void bookNameCheck()
    {
        QFETCH(QString, name);
        QFETCH(BookNameFault, fault);
        QFETCH(BookNameFault, reach);
        QCOMPARE(kirvane::common::bookNameCheck(name), fault);
        QCOMPARE(existingBookNameCheck(name), reach);
        QCOMPARE(bookNameFaultText(fault).isEmpty(), fault == BookNameFault::None);
    }

    void folderTreeRemovalAndCopy()
    {
        QTemporaryDir dir;
        const QString root = dir.filePath(QStringLiteral("tree"));
        QVERIFY(QDir().mkpath(root + QStringLiteral("/a/b/c")));
        writeFile(root + QStringLiteral("/a/b/c/f.txt"), "x");
        writeFile(root + QStringLiteral("/top.txt"), "x");
        // A link to a folder outside must be removed, not followed.
        const QString outside = dir.filePath(QStringLiteral("outside"));
        QVERIFY(QDir().mkpath(outside));
        writeFile(outside + QStringLiteral("/keep.txt"), "keep");
        QVERIFY(QFile::link(outside, root + QStringLiteral("/a/link")));
        QVERIFY(removeFolderTree(root, dir.path()));
        QVERIFY(!QFileInfo::exists(root));
        QVERIFY(QFileInfo::exists(outside + QStringLiteral("/keep.txt")));
        QVERIFY(removeFolderTree(dir.filePath(QStringLiteral("missing")), dir.path())); // nothing happens

        const QString src = dir.filePath(QStringLiteral("src")), dst = dir.filePath(QStringLiteral("dst"));
        QDir().mkpath(src);
        QDir().mkpath(dst);
        writeFile(src + QStringLiteral("/one"), "new");
        writeFile(dst + QStringLiteral("/one"), "old");
        copyFolderFiles(src, dst + QStringLiteral("/"), true);
        QCOMPARE(readAll(dst + QStringLiteral("/one")), QByteArray("old"));
        copyFolderFiles(src, dst + QStringLiteral("/"), false);
        QCOMPARE(readAll(dst + QStringLiteral("/one")), QByteArray("new"));
        QCOMPARE(listFiles(src), QStringList(QStringLiteral("one")));
    }

    // A link where a folder is expected is removed as a link: neither what it
    // names nor anything outside the folder given is touched.
    void removalNeverLeavesItsFolder()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data"));
        const QString outside = dir.filePath(QStringLiteral("outside"));
        QVERIFY(QDir().mkpath(data + QStringLiteral("/historique")));
        QVERIFY(QDir().mkpath(outside + QStringLiteral("/sub")));
        writeFile(outside + QStringLiteral("/keep.txt"), "keep");
        writeFile(outside + QStringLiteral("/sub/keep.txt"), "keep");
        const QString record = data + QStringLiteral("/historique/12/");
        QVERIFY(QFile::link(outside, data + QStringLiteral("/historique/12")));

        QVERIFY(removeFolderTree(record, data));
        QVERIFY(!QFileInfo(data + QStringLiteral("/historique/12")).isSymLink());
        QCOMPARE(readAll(outside + QStringLiteral("/keep.txt")), QByteArray("keep"));
        QCOMPARE(readAll(outside + QStringLiteral("/sub/keep.txt")), QByteArray("keep"));

        // Outside the folder given, reached by a path or through a link: refused.
        QString why;
        QVERIFY(!removeFolderTree(outside, data, &why));
        QVERIFY2(why.contains(QStringLiteral("outside")), qPrintable(why));
        QVERIFY(!removeFolderTree(data + QStringLiteral("/historique/../../outside"), data));
        QVERIFY(QFile::link(outside, data + QStringLiteral("/linked")));
        QVERIFY(!removeFolderTree(data + QStringLiteral("/linked/sub"), data));
        QVERIFY(!removeFolderTree(data + QStringLiteral("/historique/.."), data));
        QVERIFY(QFileInfo::exists(outside + QStringLiteral("/sub/keep.txt")));
        // A file, and a folder holding a link, inside: removed.
        writeFile(data + QStringLiteral("/historique/refused.tsv"), "x");
        QVERIFY(removeFolderTree(data + QStringLiteral("/historique/refused.tsv"), data));
        QVERIFY(QFile::link(outside + QStringLiteral("/keep.txt"), data + QStringLiteral("/historique/link.txt")));
        QVERIFY(removeFolderTree(data + QStringLiteral("/historique"), data));
        QVERIFY(!QFileInfo::exists(data + QStringLiteral("/historique")));
        QCOMPARE(readAll(outside + QStringLiteral("/keep.txt")), QByteArray("keep"));
    }

    // Settings, keys and certificates are read only from a regular file of
    // a bounded size: a FIFO must not block, a link to /dev/zero must not
    // fill the memory.
    void smallFilesOnly_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason"); // "" when the file is read
        QTest::newRow("regular file") << "file" << "";
        QTest::newRow("link to a regular file") << "link" << "";
        QTest::newRow("fifo") << "fifo" << "not a regular file";
        QTest::newRow("link to /dev/zero") << "zero" << "not a regular file";
        QTest::newRow("folder") << "folder" << "not a regular file";
        QTest::newRow("too large") << "large" << "larger than 1024 bytes";
        QTest::newRow("missing") << "missing" << "No such file or directory";
    }
    void smallFilesOnly()
    {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("config.ini"));
        const QString target = dir.filePath(QStringLiteral("target.ini"));
        writeFile(target, "[Newsletter]\r\n");
        if (kind == u"file")
            writeFile(path, "[Newsletter]\r\n");
        else if (kind == u"link")
            QVERIFY(QFile::link(target, path));
        else if (kind == u"fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else if (kind == u"zero")
            QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
        else if (kind == u"folder")
            QVERIFY(QDir().mkpath(path));
        else if (kind == u"large")
            writeFile(path, QByteArray(1025, 'x'));
        QByteArray bytes;
        QString why;
        QCOMPARE(readSmallFile(path, 1024, &bytes, &why), reason.isEmpty());
        QCOMPARE(why, reason);
        QCOMPARE(bytes, reason.isEmpty() ? QByteArray("[Newsletter]\r\n") : QByteArray());
        // An INI file may be larger than this test's limit, not anything else.
        IniFile ini;
        QCOMPARE(ini.load(path), reason.isEmpty() || kind == u"large");
    }

    // What comes from outside cannot start a line of a log or of a command's
    // output.
    void logLines_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<QString>("tabsEscaped");
        QTest::newRow("plain") << "Jean Dupont" << "Jean Dupont" << "Jean Dupont";
        QTest::newRow("CR LF") << "Evil\r\nSent: x" << "Evil\\r\\nSent: x" << "Evil\\r\\nSent: x";
        QTest::newRow("tab") << "a\tb" << "a\tb" << "a\\tb";
        QTest::newRow("other controls") << QStringLiteral("e\x1b[2J\x7f\u0085") << "e\\x1b[2J\\x7f\\x85"
                                        << "e\\x1b[2J\\x7f\\x85";
        QTest::newRow("line separators") << QStringLiteral("a\u2028b\u2029") << "a\\u2028b\\u2029"
                                         << "a\\u2028b\\u2029";
        QTest::newRow("accents stay") << "Élodie ☃" << "Élodie ☃" << "Élodie ☃";
    }
    void logLines()
    {
        QFETCH(QString, text);
        QFETCH(QString, kept);
        QFETCH(QString, tabsEscaped);
        QCOMPARE(logSafe(text), kept);
        QCOMPARE(logSafe(text, TabInLine::Escape), tabsEscaped);
    }

    void tempFolderIsPrivate()
    {
        const QString t = tempFolder();
        QVERIFY(t.endsWith(u'/'));
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(t).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0700);
        QCOMPARE(specialFolder(QStringLiteral("temp")), t);
        QCOMPARE(specialFolder(QStringLiteral("nothing")), QString());
    }

    void dataFolderChoice()
    {
        QTemporaryDir dir;
        QCOMPARE(resolveDataFolder(dir.path()), dir.path() + u'/');
        qputenv("KIRVANE_HOME", QFile::encodeName(dir.path() + QStringLiteral("/env")));
        QCOMPARE(resolveDataFolder(), dir.path() + QStringLiteral("/env/"));
        qunsetenv("KIRVANE_HOME");
        QVERIFY(resolveDataFolder().endsWith(QStringLiteral("/.local/share/kirvane/")));
    }

    void namesMatchedWithoutCase()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(QStringLiteral("AN_Clients.DB")), "");
        QCOMPARE(findNoCase(dir.path(), QStringLiteral("an_clients.db")), dir.filePath(QStringLiteral("AN_Clients.DB")));
        QCOMPARE(findNoCase(dir.path(), QStringLiteral("new.db")), dir.filePath(QStringLiteral("new.db")));
    }
};

QTEST_GUILESS_MAIN(TstFiles)
#include "tst_files.moc"
