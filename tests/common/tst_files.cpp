// Text encodings, INI files and the folder helpers.
#include "common/folders.h"
#include "common/inifile.h"
#include "common/textcodec.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace kirvane::common;

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
        QTest::newRow("utf-16le with mark") << QByteArray("\xFF\xFE\xC9\x00l\x00", 6) << QStringLiteral("Él");
        QTest::newRow("unused 1252 byte kept") << QByteArray("a\x81z") << QStringLiteral("a\u0081z");
    }
    void decodeForeignText()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(decodeLegacyText(bytes), text);
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

    void bookNameCheck_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("refused");
        QTest::newRow("empty") << QString() << 0;
        QTest::newRow("spaces accents dots") << QStringLiteral("Mes clients é.2") << 0;
        QTest::newRow("semicolon") << QStringLiteral("a;b") << 0;
        for (QChar c : QStringLiteral("\\/:*?\"'<>|"))
            QTest::newRow(qPrintable(QStringLiteral("char %1").arg(c))) << (QStringLiteral("a") + c + u'b') << 1;
    }
    void bookNameCheck()
    {
        QFETCH(QString, name);
        QFETCH(int, refused);
        QCOMPARE(kirvane::common::bookNameCheck(name), refused);
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
        removeFolderTree(root);
        QVERIFY(!QFileInfo::exists(root));
        QVERIFY(QFileInfo::exists(outside + QStringLiteral("/keep.txt")));
        removeFolderTree(dir.filePath(QStringLiteral("missing"))); // nothing happens

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
