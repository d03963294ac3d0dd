// The message document's commands, placeholders, the HTML page import, the
// prepared body and find/replace.

#include "message/findreplace.h"
#include "message/htmlbody.h"
#include "message/messagedocument.h"
#include "message/messagetexts.h"
#include "message/placeholders.h"
#include "message/preview.h"
#include "message/richformat.h"
#include "testsupport.h"
#include "common/folders.h"
#include "store/addressbookstore.h"
#include "support/datafolder.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

using namespace kirvane::common;
using namespace kirvane::store;
using namespace kirvane::texts;
using namespace kirvane::message;

namespace {



ContactRecord anneMartin()
{
    ContactRecord c = emptyContact();
    c[F_nom].value = QStringLiteral("Martin");
    c[F_prenom].value = QStringLiteral("Anne");
    c[F_email].value = QStringLiteral("anne@example.org");
    return c;
}

QString pageFolder() { return qEnvironmentVariable("KIRVANE_TEST_DATA") + QStringLiteral("/message/page/"); }

} // namespace

class TestMessageDocument : public QObject {
    Q_OBJECT
    QTemporaryDir m_temp;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_temp.isValid());
        qputenv("TMPDIR", QFile::encodeName(m_temp.path()));
        setDataFolder(m_temp.filePath(QStringLiteral("data")));
        QVERIFY(tempFolder().startsWith(m_temp.path()));
    }

    void clearEmptiesEverything()
    {
        MessageDocument doc;
        ScriptedQuestions ask;
        doc.setSubject(QStringLiteral("s"));
        QTextCursor(doc.richText()).insertText(QStringLiteral("x"));
        doc.addDestinationBooks({QStringLiteral("A")});
        doc.addExclusionBooks({QStringLiteral("B")});
        doc.attachFiles({QStringLiteral("/f.pdf")}, ask);
        doc.setImageLists(QStringList{}, QStringList{}, QStringList{});
        doc.setResumePosition(QStringLiteral("A"), QStringLiteral("7"));
        doc.setMode(ComposeMode::HtmlFile);
        doc.setPlainText(QStringLiteral("<html>"));

        ScriptedQuestions keep; // answers No
        QVERIFY(!doc.newMessage(keep));
        QCOMPARE(keep.asked, QStringList{messageTexts::deleteMessageInProgress()});
        QCOMPARE(doc.subject(), QStringLiteral("s"));
        ScriptedQuestions agree;
        agree.answers = {true};
        QVERIFY(doc.newMessage(agree));
        QVERIFY(doc.subject().isEmpty() && doc.plainText().isEmpty() && !doc.richHasLines());
        QVERIFY(doc.destinationBooks().isEmpty() && doc.exclusionBooks().isEmpty() && doc.attachments().isEmpty());
        QVERIFY(!doc.images() && !doc.rewrittenTags() && !doc.pageTags());
        QVERIFY(doc.resumeBook().isEmpty() && doc.resumeKey().isEmpty() && doc.pageFile().isEmpty());
        QCOMPARE(doc.mode(), ComposeMode::RichHtml);
        QCOMPARE(doc.shownPage(), tempFolder() + QStringLiteral("vierge.htm"));
        QCOMPARE(readFile(doc.shownPage()), QByteArray("<HTML>\r\n<BODY>\r\n</BODY>\r\n</HTML>\r\n"));
        // What is typed next is black, 8 points, no style.
        QTextCursor c(doc.richText());
        c.insertText(QStringLiteral("t"));
        const CharAttributes a = charAttributes(*doc.richText(), c.charFormat());
        QVERIFY(!a.bold && !a.italic && !a.underline);
        QCOMPARE(a.pointSize, 8.0);
        QCOMPARE(a.colour, qRgb(0, 0, 0));
    }

    void switchingToPlainTextAsksBeforeLosingFormatting_data()
    {
        QTest::addColumn<QString>("rich");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("plain");
        QTest::addColumn<int>("questions");
        QTest::newRow("empty editor: no question") << QString() << QList<bool>{} << 2 << QString() << 0;
        QTest::newRow("answer No keeps the rich text") << QStringLiteral("a\nb") << QList<bool>{false} << 1
                                                        << QStringLiteral("before") << 1;
        QTest::newRow("answer Yes takes the plain text") << QStringLiteral("a\nb") << QList<bool>{true} << 2
                                                          << QStringLiteral("a\nb") << 1;
    }

    void switchingToPlainTextAsksBeforeLosingFormatting()
    {
        QFETCH(QString, rich);
        QFETCH(QList<bool>, answers);
        QFETCH(int, mode);
        QFETCH(QString, plain);
        QFETCH(int, questions);
        MessageDocument doc;
        doc.clear();
        doc.setPlainText(QStringLiteral("before"));
        QTextCursor(doc.richText()).insertText(rich);
        ScriptedQuestions ask;
        ask.answers.assign(answers.begin(), answers.end());
        QCOMPARE(doc.switchToPlain(ask), mode == 2);
        QCOMPARE(int(doc.mode()), mode);
        QCOMPARE(ask.asked.size(), questions);
        if (questions)
            QCOMPARE(ask.asked.first(), messageTexts::loseAttributes());
        QCOMPARE(doc.plainText(), plain.isEmpty() && mode == 2 ? QString() : plain);
    }

    void switchingModesMovesTheBody()
    {
        MessageDocument doc;
        doc.clear();
        ScriptedQuestions ask;
        QVERIFY(doc.switchToPlain(ask));
        doc.setPlainText(QStringLiteral("un\ndeux"));
        doc.switchToRich();
        QCOMPARE(doc.mode(), ComposeMode::RichHtml);
        QCOMPARE(richTextLines(*doc.richText()), QStringList({"un", "deux"}));

        doc.setMode(ComposeMode::HtmlFile);
        doc.setPlainText(QStringLiteral("<html>source</html>"));
        QVERIFY(doc.switchToPlain(ask));
        QVERIFY(ask.asked.isEmpty());
        QCOMPARE(doc.plainText(), QStringLiteral("<html>source</html>"));
        QVERIFY(!doc.richHasLines());

        doc.setMode(ComposeMode::HtmlFile);
        QTextCursor(doc.richText()).insertText(QStringLiteral("stale"));
        doc.switchToRich();
        QVERIFY(!doc.richHasLines());
    }

    void replacingTheBodyAsksFirst_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("rich");
        QTest::addColumn<QString>("plain");
        QTest::addColumn<bool>("asks");
        QTest::newRow("rich mode with text") << 1 << "x" << "" << true;
        QTest::newRow("rich mode, only the hidden text editor holds text") << 1 << "" << "x" << false;
        QTest::newRow("plain mode with text") << 2 << "" << "x" << true;
        QTest::newRow("plain mode empty") << 2 << "x" << "" << false;
        QTest::newRow("HTML-file mode") << 3 << "" << "<html>" << false;
    }

    void replacingTheBodyAsksFirst()
    {
        QFETCH(int, mode);
        QFETCH(QString, rich);
        QFETCH(QString, plain);
        QFETCH(bool, asks);
        MessageDocument doc;
        doc.clear();
        QTextCursor(doc.richText()).insertText(rich);
        doc.setPlainText(plain);
        doc.setMode(ComposeMode(mode));
        ScriptedQuestions ask; // answers No
        QCOMPARE(doc.confirmBodyLoss(ask), !asks);
        QCOMPARE(ask.asked, asks ? QStringList{messageTexts::loseMessage()} : QStringList{});
    }

    void importTextLoadsTheFile()
    {
        const QString path = m_temp.filePath(QStringLiteral("note.txt"));
        QVERIFY(writeFile(path, "Premi\xE8re ligne\r\nseconde\r\n"));
        MessageDocument doc;
        doc.clear();
        QVERIFY(doc.loadTextFile(path));
        QCOMPARE(doc.mode(), ComposeMode::PlainText);
        QCOMPARE(doc.plainText(), QStringLiteral("Première ligne\nseconde"));
    }

    void attachedFileNamesStayUnique()
    {
        MessageDocument doc;
        doc.clear();
        doc.setImageLists(QStringList{"/pages/logo.png"}, QStringList{"t"}, QStringList{"p"});
        ScriptedQuestions ask;
        QCOMPARE(doc.attachFiles({QStringLiteral("/other/logo.png")}, ask), 0);
        QCOMPARE(ask.notices, QStringList{"\r\n" + messageTexts::uniqueNames()});
        QVERIFY(doc.attachments().isEmpty());
        QCOMPARE(*doc.images(), QStringList{"/pages/logo.png"});

        ask.notices.clear();
        QCOMPARE(doc.attachFiles({QStringLiteral("/a/tarif.pdf"), QStringLiteral("C:\\b\\tarif.pdf"),
                                  QStringLiteral("/a/plan.pdf")},
                                 ask),
                 2);
        QCOMPARE(doc.attachments(), QStringList({"/a/tarif.pdf", "/a/plan.pdf"}));
        QCOMPARE(ask.notices.size(), 1);
        doc.removeAttachments({0});
        QCOMPARE(doc.attachments(), QStringList{"/a/plan.pdf"});
    }

    void booksAreListedOnce()
    {
        MessageDocument doc;
        doc.clear();
        doc.addDestinationBooks({QStringLiteral("clients")});
        doc.addDestinationBooks({QStringLiteral("clients")});
        QCOMPARE(doc.destinationBooks(), QStringList{"clients"});
        doc.addDestinationBooks({QStringLiteral("amis"), QStringLiteral("clients"), QStringLiteral("presse")});
        QCOMPARE(doc.destinationBooks(), QStringList({"clients", "amis", "presse"}));
        doc.removeDestinationBooks({2, 0});
        QCOMPARE(doc.destinationBooks(), QStringList{"amis"});
        doc.addExclusionBooks({QStringLiteral("noirs"), QStringLiteral("noirs")});
        QCOMPARE(doc.exclusionBooks(), QStringList{"noirs"});
    }

    void personalise_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("expected");
        const int fr = int(PlaceholderLanguage::French), en = int(PlaceholderLanguage::English);
        QTest::newRow("French set") << fr << "Bonjour &prenom& &nom&" << "Bonjour Anne Martin";
        QTest::newRow("French words stay under the English set") << en << "Bonjour &prenom& &nom&"
                                                                 << "Bonjour &prenom& &nom&";
        QTest::newRow("English set") << en << "Dear &lastname& &name&" << "Dear Anne Martin";
        QTest::newRow("another letter case is not a placeholder") << en << "&NAME& &Name&" << "&NAME& &Name&";
        QTest::newRow("every occurrence") << en << "&name&&name&" << "MartinMartin";
        QTest::newRow("entities around a placeholder") << en << "&amp;&name&&nbsp;" << "&amp;Martin&nbsp;";
        QTest::newRow("a lone ampersand just before a placeholder") << en << "a&b&name&" << "a&bMartin";
        QTest::newRow("no placeholder among ampersands") << en << "R&D &amp; &nam e&" << "R&D &amp; &nam e&";
    }

    void personalise()
    {
        QFETCH(int, language);
        QFETCH(QString, line);
        QFETCH(QString, expected);
        QCOMPARE(kirvane::message::personalise(line, anneMartin(), PlaceholderLanguage(language)), expected);
    }

    void personaliseFillsEachSlotInItsOrder()
    {
        ContactRecord c = emptyContact();
        for (int k = 0; k < kContactFields; ++k)
            c[k].value = QStringLiteral("<v%1>").arg(k);
        QString line, expected;
        for (const Placeholder &p : placeholderMenu()) {
            line += p.english + u' ';
            expected += QStringLiteral("<v%1> ").arg(p.slot);
        }
        QCOMPARE(placeholderMenu().size(), size_t(17));
        QCOMPARE(kirvane::message::personalise(line, c, PlaceholderLanguage::English), expected);

        // A value holding a later step's placeholder is filled again; an
        // earlier step's stays; values go in without HTML escaping.
        c[F_nom].value = QStringLiteral("&email&");
        c[F_email].value = QStringLiteral("&name& <a&b>");
        QCOMPARE(kirvane::message::personalise(QStringLiteral("&name&"), c, PlaceholderLanguage::English),
                 QStringLiteral("&name& <a&b>"));
    }

    // Texts where a word appears only as the steps go: across a value, or
    // between two words that share an ampersand. Each step sees what the
    // steps before it left.
    void personaliseStepsSeeEarlierSteps_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("expected");
        QTest::newRow("a word formed across an empty value") << "&ci&name&ty&" << "Paris";
        QTest::newRow("a word formed across an empty value, its end taken by a later word")
            << "&ci&name&ty&url&" << "Parisurl&";
        QTest::newRow("two words sharing an ampersand") << "&city&name&" << "&city";
        QTest::newRow("word letters around a value that cannot join them") << "R&D &name& &city&" << "R&D  Paris";
        QTest::newRow("a value that joins no word") << "&ci&lastname&ty&" << "&ciAnnety&";
    }

    void personaliseStepsSeeEarlierSteps()
    {
        QFETCH(QString, line);
        ContactRecord c = emptyContact();
        c[F_prenom].value = QStringLiteral("Anne");
        c[F_ville].value = QStringLiteral("Paris");
        c[F_url].value = QStringLiteral("https://example.org/");
        QTEST(kirvane::message::personalise(line, c, PlaceholderLanguage::English), "expected");
    }

    void personaliseLinesKeepsASplitPlaceholder()
    {
        int calls = 0;
        const QStringList out = personaliseLines({QStringLiteral("a &na"), QStringLiteral("me& &name&")}, anneMartin(),
                                                 PlaceholderLanguage::English, [&calls] { ++calls; });
        QCOMPARE(out, QStringList({"a &na", "me& Martin"}));
        QCOMPARE(calls, 2);
    }

    void importsAnHtmlPageWithItsImages()
    {
        MessageDocument doc;
        doc.clear();
        doc.setSubject(QStringLiteral("old"));
        ScriptedQuestions ask;
        QVERIFY(doc.importHtmlPage(pageFolder() + QStringLiteral("lettre.html"), ask));
        QVERIFY(ask.notices.isEmpty());
        QCOMPARE(doc.mode(), ComposeMode::HtmlFile);
        QCOMPARE(doc.subject(), QStringLiteral("Lettre de printemps"));
        QCOMPARE(*doc.pageTags(), QStringList({"<IMG SRC=\"logo.png\" ALT=\"logo\">", "<img  src = \"images/photo.gif\">",
                                               "<img src=\"HTTP://example.org/remote.png\">",
                                               "<img src=\"file:///C:/Pages/LOGO.png\">"}));
        QCOMPARE(*doc.rewrittenTags(),
                 QStringList({"<IMG SRC=\"cid:logo.png\" ALT=\"logo\">", "<img  src = \"cid:photo.gif\">", "NULL",
                              "<img src=\"cid:logo.png\">"}));
        const QString dir = pageFolder();
        QCOMPARE(*doc.images(), QStringList({dir + "logo.png", dir + "photo.gif", dir + "logo.png"}));
        QVERIFY(doc.plainText().contains(QStringLiteral("<p>Bonjour &name& & bienvenue</p>")));
        QVERIFY(!doc.plainText().contains(QStringLiteral("&amp;")));

        const QString temp = tempFolder();
        QCOMPARE(readFile(temp + QStringLiteral("logo.png")), QByteArray("PNG-logo"));
        QCOMPARE(readFile(temp + QStringLiteral("photo.gif")), QByteArray("GIF89a-photo"));
        QCOMPARE(doc.pageFile(), temp + QStringLiteral("temp_html.html"));
        QCOMPARE(doc.shownPage(), doc.pageFile());
        QVERIFY(readFile(doc.pageFile()).contains("Bonjour &name& & bienvenue"));

        // Sending points the local images at their embedded parts; the
        // preview keeps the page's own sources. Placeholders escaped by an
        // editor are filled like the plain ones.
        const QStringList sending = preparedBody(doc, BodyPurpose::Sending);
        QVERIFY(sending.contains(QStringLiteral("<IMG SRC=\"cid:logo.png\" ALT=\"logo\">")));
        QVERIFY(sending.contains(QStringLiteral("<img  src = \"cid:photo.gif\">")));
        QVERIFY(sending.contains(QStringLiteral("<img src=\"cid:logo.png\">")));
        QVERIFY(sending.contains(QStringLiteral("<img src=\"HTTP://example.org/remote.png\">")));
        QVERIFY(sending.contains(QStringLiteral("<img width=\"10\" src=\"absent-wide.png\">")));
        const QStringList preview = previewLines(doc, anneMartin());
        QVERIFY(preview.contains(QStringLiteral("<IMG SRC=\"logo.png\" ALT=\"logo\">")));
        QVERIFY(preview.contains(QStringLiteral("<p>Bonjour Martin & bienvenue</p>")));
    }

    void htmlImportEdgeCases_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<int>("images");
        QTest::newRow("a secure web source is looked up as a local file")
            << QByteArray("<title>T</title><img src=\"https://example.org/a.png\">") << false << "before" << 0;
        QTest::newRow("a source in a sub-folder needs the file beside the page")
            << QByteArray("<title>T</title><img src=\"sub/inner.png\">") << false << "before" << 0;
        QTest::newRow("a tag whose first attribute is not the source is ignored")
            << QByteArray("<title>T</title><img width=\"5\" src=\"nowhere.png\">") << true << "T" << 0;
        QTest::newRow("single-quoted source does not qualify")
            << QByteArray("<img src='nowhere.png'>") << true << "" << 0;
        QTest::newRow("a page without a title empties the subject")
            << QByteArray("<html><img src=\"here.png\"></html>") << true << "" << 1;
        QTest::newRow("the source is replaced where it stands")
            << QByteArray("<title>i</title><img src=\"i\">") << true << "i" << 1;
        QTest::newRow("a tag running over two lines is rewritten for sending")
            << QByteArray("<p>\r\n<img src=\"here.png\"\r\n alt=\"x\">\r\n</p>") << true << "" << 1;
        QTest::newRow("an empty source is no file")
            << QByteArray("<img src=\"\">") << false << "before" << 0;
    }

    void htmlImportEdgeCases()
    {
        QFETCH(QByteArray, page);
        QFETCH(bool, ok);
        QFETCH(QString, subject);
        QFETCH(int, images);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(QStringLiteral("here.png")), "h"));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("i")), "i"));
        QDir().mkpath(dir.filePath(QStringLiteral("sub")));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("sub/inner.png")), "s"));
        const QString path = dir.filePath(QStringLiteral("p.html"));
        QVERIFY(writeFile(path, page));

        MessageDocument doc;
        doc.clear();
        doc.setSubject(QStringLiteral("before"));
        ScriptedQuestions ask;
        QCOMPARE(doc.importHtmlPage(path, ask), ok);
        QCOMPARE(doc.mode(), ComposeMode::HtmlFile);
        QCOMPARE(doc.subject(), subject);
        if (!ok) {
            QCOMPARE(ask.notices, QStringList{messageTexts::missingImages()});
            QVERIFY(!doc.images() && !doc.rewrittenTags() && !doc.pageTags());
            QVERIFY(doc.plainText().isEmpty() && doc.pageFile().isEmpty());
            return;
        }
        QCOMPARE(doc.images()->size(), images);
        if (images)
            QVERIFY(preparedBody(doc, BodyPurpose::Sending).join(u'\n').contains(QStringLiteral("src=\"cid:")));
        if (subject == QLatin1String("i"))
            QCOMPARE(doc.rewrittenTags()->value(0), QStringLiteral("<img src=\"cid:i\">"));
    }

    // Images a page may not bring: a link leading out of the page's folder
    // (it would put any file of the system into the message), and names a
    // saved message cannot keep apart (letter case alone, or its own parts).
    void htmlImportRefusesUnsafeImages_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("refused"); // the image named in the notice; "" when the page is taken
        QTest::addColumn<bool>("outside");
        QTest::newRow("a link to a file outside the folder")
            << QByteArray("<img src=\"x.png\">") << "x.png" << true;
        QTest::newRow("a link to a file beside the page is fine")
            << QByteArray("<img src=\"near.png\">") << "" << false;
        QTest::newRow("two images whose names differ only in letter case")
            << QByteArray("<img src=\"a.png\"><img src=\"A.png\">") << "A.png" << false;
        QTest::newRow("the same image twice is fine")
            << QByteArray("<img src=\"a.png\"><img src=\"a.png\">") << "" << false;
        QTest::newRow("an image named like a part of a saved message")
            << QByteArray("<img src=\"col1.dat\">") << "col1.dat" << false;
        QTest::newRow("an image named like a saved message")
            << QByteArray("<img src=\"here.png\"><img src=\"old.mnl\">") << "old.mnl" << false;
    }

    void htmlImportRefusesUnsafeImages()
    {
        QFETCH(QByteArray, page);
        QFETCH(QString, refused);
        QFETCH(bool, outside);
        QTemporaryDir elsewhere;
        const QString secret = elsewhere.filePath(QStringLiteral("secret.txt"));
        QVERIFY(writeFile(secret, "not for the message"));
        QTemporaryDir dir;
        for (const char *name : {"here.png", "a.png", "A.png", "col1.dat", "old.mnl"})
            QVERIFY(writeFile(dir.filePath(QLatin1String(name)), name));
        QVERIFY(QFile::link(secret, dir.filePath(QStringLiteral("x.png"))));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("here.png")), dir.filePath(QStringLiteral("near.png"))));
        const QString path = dir.filePath(QStringLiteral("p.html"));
        QVERIFY(writeFile(path, page));

        MessageDocument doc;
        doc.clear();
        ScriptedQuestions ask;
        QCOMPARE(doc.importHtmlPage(path, ask), refused.isEmpty());
        if (refused.isEmpty()) {
            QVERIFY(ask.notices.isEmpty());
            return;
        }
        const QString image = dir.filePath(refused);
        QCOMPARE(ask.notices, QStringList{outside ? messageTexts::imageOutsideFolder(image)
                                                  : messageTexts::imageNameRefused(image)});
        QVERIFY(!doc.images() && doc.plainText().isEmpty() && doc.pageFile().isEmpty());
    }

    void htmlValuesAreEscaped_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("form");
        QTest::addColumn<QString>("expected");
        const int text = int(ValueForm::AsTyped), html = int(ValueForm::HtmlEscaped);
        QTest::newRow("HTML body: markup in a value is text")
            << "<p>&name&</p>" << html << "<p>&lt;b&gt;Tom &amp; &quot;Jo&#39;s&quot;&lt;/b&gt;</p>";
        QTest::newRow("subject or plain text: as typed") << "&name&" << text << "<b>Tom & \"Jo's\"</b>";
        QTest::newRow("HTML body: a value holding a later placeholder is filled again, escaped")
            << "&company&" << html << "a&lt;b";
    }

    void htmlValuesAreEscaped()
    {
        QFETCH(QString, line);
        QFETCH(int, form);
        ContactRecord c = emptyContact();
        c[F_nom].value = QStringLiteral("<b>Tom & \"Jo's\"</b>");
        c[F_societe].value = QStringLiteral("&email&");
        c[F_email].value = QStringLiteral("a<b");
        QTEST(kirvane::message::personalise(line, c, PlaceholderLanguage::English, ValueForm(form)), "expected");
    }

    void previewEscapesValuesInHtmlOnly()
    {
        ContactRecord c = emptyContact();
        c[F_nom].value = QStringLiteral("A&B <x>");
        MessageDocument doc;
        doc.clear();
        doc.setPlainText(QStringLiteral("Dear &name&"));
        doc.setMode(ComposeMode::PlainText);
        QCOMPARE(previewLines(doc, c), QStringList{"Dear A&B <x>"});
        QTextCursor(doc.richText()).insertText(QStringLiteral("Dear &name&"), defaultCharFormat());
        doc.setMode(ComposeMode::RichHtml);
        QVERIFY(previewLines(doc, c).join(u'\n').contains(QStringLiteral("Dear A&amp;B &lt;x&gt;<br>")));
    }

    // Each word against the column it must fill, written out here rather
    // than taken from the program's own table.
    void eachWordFillsItsOwnColumn_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("column");
        const int fr = int(PlaceholderLanguage::French), en = int(PlaceholderLanguage::English);
        const struct {
            const char *french;
            const char *english;
            int column;
        } table[] = {
            {"&titre&", "&title&", F_civilite},        {"&nom&", "&name&", F_nom},
            {"&prenom&", "&lastname&", F_prenom},      {"&companie&", "&company&", F_societe},
            {"&email&", "&email&", F_email},           {"&adresse1&", "&address1&", F_adresse1},
            {"&adresse2&", "&address2&", F_adresse2},  {"&codepostal&", "&zip&", F_code_postal},
            {"&ville&", "&city&", F_ville},            {"&pays&", "&country&", F_pays},
            {"&telephone&", "&phone&", F_tel},         {"&fax&", "&fax&", F_fax},
            {"&url&", "&url&", F_url},                 {"&champ_1&", "&Field_1&", F_champ16},
            {"&champ_2&", "&Field_2&", F_champ17},     {"&champ_3&", "&Field_3&", F_champ18},
            {"&champ_4&", "&Field_4&", F_champ19},
        };
        for (const auto &row : table) {
            QTest::addRow("%s", row.french) << QString::fromLatin1(row.french) << fr << row.column;
            QTest::addRow("%s", row.english) << QString::fromLatin1(row.english) << en << row.column;
        }
    }

    void eachWordFillsItsOwnColumn()
    {
        QFETCH(QString, word);
        QFETCH(int, language);
        QFETCH(int, column);
        ContactRecord c = emptyContact();
        for (int k = 0; k < kContactFields; ++k)
            c[k].value = QStringLiteral("column %1").arg(k);
        QCOMPARE(kirvane::message::personalise(QStringLiteral("[") + word + u']', c, PlaceholderLanguage(language)),
                 QStringLiteral("[column %1]").arg(column));
    }

    void preparedBodyOfEachMode()
    {
        MessageDocument doc;
        doc.clear();
        QTextCharFormat f = defaultCharFormat();
        f.setFontPointSize(10);
        QTextCursor(doc.richText()).insertText(QStringLiteral("Hi &name&"), f);
        const QStringList head = {
            "<html>", "<head>", "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">",
            "</head>", "<body bgcolor=\"#FFFFFF\">",
            "<font Color =\"#000000\" size =\"3\" Face =\"Arial\">Hi &name&<br>", "</font>"};
        QCOMPARE(preparedBody(doc, BodyPurpose::Sending), head + QStringList({"<br>", "</body>", "</html>"}));
        QCOMPARE(preparedBody(doc, BodyPurpose::Preview), head + QStringList({"</body>", "</html>"}));
        QVERIFY(previewLines(doc, anneMartin()).contains(
            QStringLiteral("<font Color =\"#000000\" size =\"3\" Face =\"Arial\">Hi Martin<br>")));

        ScriptedQuestions ask;
        ask.answers = {true};
        QVERIFY(doc.switchToPlain(ask));
        doc.setPlainText(QStringLiteral("line one\n<b>two</b>"));
        QCOMPARE(preparedBody(doc, BodyPurpose::Sending), QStringList({"line one", "<b>two</b>"}));
    }

    void previewUsesTheFirstContactOfTheFirstBook()
    {
        kirvane::test::TestDataFolder data;
        AddressBookStore &store = data.store();
        QVERIFY(QFile::copy(booksFolder() + QStringLiteral("vierge.db"), booksFolder() + QStringLiteral("an_clients.db")));
        for (auto [nom, prenom] : {std::pair{"Zola", "Emile"}, {"Martin", "Bob"}, {"Martin", "Anne"}}) {
            ContactRecord c = emptyContact();
            c[F_nom].value = QString::fromLatin1(nom);
            c[F_prenom].value = QString::fromLatin1(prenom);
            QVERIFY(store.contacts().saveContact(c, QStringLiteral("clients")));
        }

        MessageDocument doc;
        doc.clear();
        ScriptedQuestions ask;
        QVERIFY(doc.switchToPlain(ask));
        doc.setSubject(QStringLiteral("For &name&"));
        doc.setPlainText(QStringLiteral("Dear &lastname& &name&"));
        QVERIFY(buildPreview(doc, store, ask).isEmpty());
        QCOMPARE(ask.notices, QStringList{messageTexts::previewWithoutBooks()});

        doc.addDestinationBooks({QStringLiteral("clients"), QStringLiteral("other")});
        const QString page = buildPreview(doc, store, ask);
        QCOMPARE(page, tempFolder() + QStringLiteral("temp.htm"));
        QCOMPARE(readFile(page), QByteArray("Dear Anne Martin\r\n"));
        QCOMPARE(doc.subject(), QStringLiteral("For &name&"));
    }

    void replaceAll_data()
    {
        QTest::addColumn<bool>("rich");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("find");
        QTest::addColumn<QString>("by");
        QTest::addColumn<QString>("result");
        QTest::addColumn<int>("count");
        for (bool rich : {false, true}) {
            const char *kind = rich ? "rich" : "plain";
            QTest::addRow("%s: a by aa in two lines ends", kind) << rich << "a\na" << "a" << "aa" << "aa\naa" << 2;
            QTest::addRow("%s: output is not searched again", kind) << rich << "aab" << "ab" << "b" << "ab" << 1;
            QTest::addRow("%s: case is matched exactly", kind) << rich << "Ab ab" << "ab" << "x" << "Ab x" << 1;
            QTest::addRow("%s: nothing found", kind) << rich << "abc" << "z" << "y" << "abc" << 0;
        }
    }

    void replaceAll()
    {
        QFETCH(bool, rich);
        QFETCH(QString, text);
        QFETCH(QString, find);
        QFETCH(QString, by);
        QFETCH(QString, result);
        QFETCH(int, count);
        if (rich) {
            QTextDocument doc;
            doc.setPlainText(text);
            QTextCursor cursor(&doc);
            TextDocumentTarget target(&doc, &cursor);
            QCOMPARE(kirvane::message::replaceAll(target, find, by), count);
            QCOMPARE(doc.toPlainText(), result);
        } else {
            PlainTextTarget target(&text);
            QCOMPARE(kirvane::message::replaceAll(target, find, by), count);
            QCOMPARE(text, result);
        }
    }

    void findRunsFromTheSelectionAndKeepsTheFormat()
    {
        QTextDocument doc;
        QTextCursor c(&doc);
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        c.insertText(QStringLiteral("one "));
        c.insertText(QStringLiteral("two one"), bold);
        QTextCursor cursor(&doc);
        TextDocumentTarget target(&doc, &cursor);
        QVERIFY(findNext(target, QStringLiteral("one")));
        QCOMPARE(cursor.selectionStart(), 0);
        QVERIFY(findNext(target, QStringLiteral("one")));
        QCOMPARE(cursor.selectionStart(), 8);
        QVERIFY(!findNext(target, QStringLiteral("one")));
        QCOMPARE(cursor.selectionStart(), 8);

        cursor.setPosition(0);
        QVERIFY(replaceNext(target, QStringLiteral("two"), QStringLiteral("2")));
        QCOMPARE(doc.toPlainText(), QStringLiteral("one 2 one"));
        QTextCursor probe(&doc);
        probe.setPosition(5);
        QVERIFY(probe.charFormat().fontWeight() == QFont::Bold);
    }

    void findAndReplaceWindowsRules()
    {
        FindReplace fr;
        QString text = QStringLiteral("abc abc");
        PlainTextTarget target(&text);
        ScriptedQuestions ask;

        QCOMPARE(fr.search(&target, QString(), ask), FindReplace::Window::StayOpen);
        QCOMPARE(fr.search(&target, QStringLiteral("abc"), ask), FindReplace::Window::Close);
        QCOMPARE(target.selectionStart(), 0);
        fr.searchAgain(&target, ask);
        QCOMPARE(target.selectionStart(), 4);
        fr.searchAgain(&target, ask);
        QCOMPARE(ask.notices, QStringList{messageTexts::stringNotFound()});

        ask.notices.clear();
        QCOMPARE(fr.replace(&target, QStringLiteral("abc"), QString(), ask), FindReplace::Window::StayOpen);
        QCOMPARE(ask.notices, QStringList{messageTexts::fillBothFields()});
        ask.notices.clear();
        QCOMPARE(fr.replaceEverything(&target, QString(), QStringLiteral("x"), ask), FindReplace::Window::StayOpen);
        QVERIFY(ask.notices.isEmpty());
        target.select(0, 0);
        QCOMPARE(fr.replaceEverything(&target, QStringLiteral("abc"), QStringLiteral("x"), ask),
                 FindReplace::Window::Close);
        QCOMPARE(text, QStringLiteral("x x"));
        QVERIFY(ask.notices.isEmpty());

        fr.searchAgain(nullptr, ask);
        QCOMPARE(fr.replace(nullptr, QStringLiteral("a"), QStringLiteral("b"), ask), FindReplace::Window::Close);
        QCOMPARE(ask.notices, QStringList({messageTexts::findNeedsSourceMode(), messageTexts::findNeedsSourceMode()}));

        MessageDocument doc;
        doc.clear();
        QCOMPARE(doc.shownEditor(), ShownEditor::Rich);
        doc.setMode(ComposeMode::HtmlFile);
        QCOMPARE(doc.shownEditor(), ShownEditor::None);
        doc.showHtmlSource();
        QCOMPARE(doc.shownEditor(), ShownEditor::Plain);
    }

    void showHtmlWritesTheEditedSource()
    {
        MessageDocument doc;
        doc.clear();
        doc.setMode(ComposeMode::HtmlFile);
        doc.showHtmlSource();
        doc.setPlainText(QStringLiteral("<html>edited</html>"));
        QVERIFY(doc.showHtmlPage());
        QCOMPARE(doc.pageFile(), tempFolder() + QStringLiteral("text_tmp.htm"));
        QCOMPARE(doc.shownPage(), doc.pageFile());
        QCOMPARE(readFile(doc.pageFile()), QByteArray("<html>edited</html>\r\n"));
        QVERIFY(!doc.htmlSourceShown());
    }
};

QTEST_MAIN(TestMessageDocument)
#include "tst_messagedocument.moc"
