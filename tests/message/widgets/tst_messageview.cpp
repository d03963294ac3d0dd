// The message view in the main window, driven as a user drives it: by the
// objectNames of its buttons, editors, lists and dialogs, with the questions
// answered by a script and the file choosers replaced.

#include "contacts/bookmanager.h"
#include "message/htmlbody.h"
#include "message/messagearchive.h"
#include "message/messagedocument.h"
#include "message/messagetexts.h"
#include "message/plaintextalternative.h"
#include "message/widgets/bookchooserdialog.h"
#include "message/widgets/htmlview.h"
#include "message/widgets/messageeditorview.h"
#include "message/widgets/previewdialog.h"
#include "shell/mainwindow.h"
#include "common/folders.h"
#include "store/addressbookstore.h"
#include "support/datafolder.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTextFrame>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolButton>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineView>

#include <memory>

using namespace kirvane::common;
using namespace kirvane::contacts;
using namespace kirvane::shell;
using namespace kirvane::store;
using namespace kirvane::texts;
using namespace kirvane::ui;
using namespace kirvane::message;
namespace texts = kirvane::texts;

namespace {

void writeText(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

void writePng(const QString &path, QColor colour, int w = 40, int h = 30)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(path, "PNG"));
}

// Waits until the page of view is loaded and then returns its text.
QString pageText(HtmlView *view)
{
    QString text;
    bool done = false;
    view->engineView()->page()->toPlainText([&](const QString &t) {
        text = t;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 20000))
        return QStringLiteral("no answer");
    return text;
}

// Runs script in the page's isolated world (page scripts stay off) and returns its result.
QVariant evaluate(HtmlView *view, const QString &script)
{
    QVariant result;
    bool done = false;
    view->engineView()->page()->runJavaScript(script, QWebEngineScript::ApplicationWorld, [&](const QVariant &v) {
        result = v;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 20000))
        return QStringLiteral("no answer");
    return result;
}

} // namespace

class TestMessageView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void modeTransitions_data();
    void modeTransitions();
    void saveThenOpen_data();
    void saveThenOpen();
    void savingOverAnArchiveAsksFirst();
    void closingOffersToSaveTheMessage();
    void attachmentNamesAreUnique();
    void bookLists();
    void placeholderAtTheCaret_data();
    void placeholderAtTheCaret();
    void findAndReplaceThroughTheDialogs();
    void findNeedsAnEditor();
    void formattingToolsAndShortcuts();
    void pasteKeepsWhatAMessageCarries();
    void previewShowsTheFirstContact();
    void linkCommand();
    void htmlAreaIsLockedDown();
    void remembersFoldersAndPreviewSize();
    void screenshots();

private:
    template<typename T = QWidget>
    T *widget(const char *name) const
    {
        T *w = m_form->findChild<T *>(QString::fromLatin1(name));
        if (!w)
            qWarning("no widget named %s", name);
        return w;
    }
    void click(const char *name) { widget<QAbstractButton>(name)->click(); }
    QAction *command(const char *name) const { return m_form->action(QString::fromLatin1(name)); }
    QString shownBody() const
    {
        return static_cast<QStackedWidget *>(widget("Body"))->currentWidget()->objectName();
    }
    // Gives the message a body in the given way: "empty", "rich", "plain" or "page".
    void prepare(const QString &setup);
    QStringList asked() const { return m_asker.texts(); }

    std::unique_ptr<kirvane::test::TestDataFolder> m_data;
    AddressBookStore *m_store = nullptr;
    ScriptedAsker m_asker;
    std::unique_ptr<MainWindow> m_form;
    MessageEditorView *m_view = nullptr;
    QStringList m_chosen; // what the next file chooser returns
    QList<MessageEditorView::FileChoice> m_choosers;
    QStringList m_folders; // where each chooser started
    QString m_files;      // fixtures
};

void TestMessageView::init()
{
    m_data = std::make_unique<kirvane::test::TestDataFolder>(QStringLiteral("data"));
    m_store = &m_data->store();
    for (const char *book : {"clients", "prospects", "staff"})
        QVERIFY(BookManager(*m_store).create(QString::fromLatin1(book), {}).ok());
    const auto add = [this](const char *nom, const char *prenom, const char *book) {
        ContactRecord c = emptyContact();
        c[F_nom].value = QString::fromUtf8(nom);
        c[F_prenom].value = QString::fromUtf8(prenom);
        c[F_email].value = QStringLiteral("%1@example.org").arg(QString::fromUtf8(nom).toLower());
        m_store->contacts().addContact(c, QString::fromLatin1(book));
    };
    add("Zola", "Émile", "clients");
    add("Martin", "Anne", "clients");
    add("Durand", "Paul", "prospects");

    m_files = m_data->root() + QStringLiteral("/files/");
    QDir().mkpath(m_files + QStringLiteral("a"));
    QDir().mkpath(m_files + QStringLiteral("b"));
    writeText(m_files + QStringLiteral("hello.txt"), "Hello\r\nworld\r\n");
    writeText(m_files + QStringLiteral("a/report.pdf"), "%PDF-1.4 a");
    writeText(m_files + QStringLiteral("b/report.pdf"), "%PDF-1.4 b");
    writePng(m_files + QStringLiteral("logo.png"), Qt::red);
    writeText(m_files + QStringLiteral("page.html"),
              "<html><head><title>Spring\r\nnews</title></head><body>\r\n"
              "<table width=\"600\" align=\"center\"><tr><td>Dear &amp;name&amp;</td></tr>\r\n"
              "<tr><td><img src=\"logo.png\" width=\"40\"></td></tr></table>\r\n</body></html>\r\n");
    writeText(m_files + QStringLiteral("broken.html"),
              "<html><body><img src=\"missing.png\"></body></html>\r\n");

    m_asker.clear();
    m_chosen.clear();
    m_choosers.clear();
    m_folders.clear();
    m_view = new MessageEditorView(m_store);
    m_view->chooseFile = [this](MessageEditorView::FileChoice choice, const QString &folder) {
        m_choosers << choice;
        m_folders << QDir::cleanPath(folder);
        return std::exchange(m_chosen, {});
    };
    MainViews views;
    views.message = m_view;
    m_form = std::make_unique<MainWindow>(m_store, views, &m_asker);
    m_form->applyLanguage(texts::English);
    m_form->show();
    m_form->showMessageView();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void TestMessageView::cleanup()
{
    m_form.reset();
    m_store = nullptr;
    m_data.reset();
}

void TestMessageView::prepare(const QString &setup)
{
    if (setup == QLatin1String("rich")) {
        QTest::keyClicks(widget("RichEdit1"), QStringLiteral("Bonjour"));
    } else if (setup == QLatin1String("plain")) {
        click("Btn_txt");
        QTest::keyClicks(widget("Memo1"), QStringLiteral("Plain body"));
    } else if (setup == QLatin1String("page")) {
        m_chosen = {m_files + QStringLiteral("page.html")};
        click("Btn_importerhtml");
    }
    m_asker.clear();
    m_choosers.clear();
}

// Every button of the composition modes, from each mode, with each answer to
// its question and with a file chosen or not.
void TestMessageView::modeTransitions_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<QString>("chosen"); // file given to the chooser, "" for none
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("pressed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QStringList>("questions");
    QTest::addColumn<QString>("body"); // text of the editor shown, or the subject for a page

    using A = QList<Answer>;
    const QString attr = messageTexts::loseAttributes();
    const QString lose = messageTexts::loseMessage();
    const QString noFile;
    const QString txt = QStringLiteral("hello.txt");
    const QString page = QStringLiteral("page.html");
    QTest::newRow("empty rich to text: no question")
        << "empty" << "Btn_txt" << A{} << noFile << 2 << "Btn_txt" << "Memo1" << QStringList() << "";
    QTest::newRow("rich to text, Yes: the plain text") << "rich" << "Btn_txt" << A{Answer::Yes} << noFile << 2
                                                       << "Btn_txt" << "Memo1" << QStringList{attr} << "Bonjour";
    QTest::newRow("rich to text, No: nothing changes") << "rich" << "Btn_txt" << A{Answer::No} << noFile << 1
                                                       << "btn_HTML" << "RichEdit1" << QStringList{attr} << "Bonjour";
    QTest::newRow("text to rich: the text unformatted") << "plain" << "btn_HTML" << A{} << noFile << 1 << "btn_HTML"
                                                        << "RichEdit1" << QStringList() << "Plain body";
    QTest::newRow("rich to rich: nothing") << "rich" << "btn_HTML" << A{} << noFile << 1 << "btn_HTML"
                                           << "RichEdit1" << QStringList() << "Bonjour";
    QTest::newRow("text to text: nothing") << "plain" << "Btn_txt" << A{} << noFile << 2 << "Btn_txt" << "Memo1"
                                           << QStringList() << "Plain body";
    QTest::newRow("import text into an empty message: no question")
        << "empty" << "Btn_importertxt" << A{} << txt << 2 << "Btn_txt" << "Memo1" << QStringList() << "Hello\nworld";
    QTest::newRow("import text over rich text, Yes") << "rich" << "Btn_importertxt" << A{Answer::Yes} << txt << 2
                                                     << "Btn_txt" << "Memo1" << QStringList{lose} << "Hello\nworld";
    QTest::newRow("import text over plain text, No") << "plain" << "Btn_importertxt" << A{Answer::No} << txt << 2
                                                     << "Btn_txt" << "Memo1" << QStringList{lose} << "Plain body";
    QTest::newRow("import text, Yes but no file chosen") << "rich" << "Btn_importertxt" << A{Answer::Yes} << noFile
                                                         << 1 << "btn_HTML" << "RichEdit1" << QStringList{lose}
                                                         << "Bonjour";
    QTest::newRow("import HTML over plain text, Yes: the page, titled")
        << "plain" << "Btn_importerhtml" << A{Answer::Yes} << page << 3 << "Btn_visualiser_html" << "WebBrowser1"
        << QStringList{lose} << "Spring news";
    QTest::newRow("import HTML over rich text, No") << "rich" << "Btn_importerhtml" << A{Answer::No} << page << 1
                                                    << "btn_HTML" << "RichEdit1" << QStringList{lose} << "Bonjour";
    QTest::newRow("import HTML with a missing image: the warning, no page")
        << "empty" << "Btn_importerhtml" << A{} << QStringLiteral("broken.html") << 3 << "Btn_visualiser_html"
        << "WebBrowser1" << QStringList{messageTexts::missingImages()} << "";
    QTest::newRow("page: modify source shows the source") << "page" << "Btn_modifier_source" << A{} << noFile << 3
                                                           << "Btn_modifier_source" << "Memo1" << QStringList()
                                                           << "<title>Spring";
}

void TestMessageView::modeTransitions()
{
    QFETCH(QString, setup);
    QFETCH(QString, button);
    QFETCH(QList<Answer>, answers);
    QFETCH(QString, chosen);
    QFETCH(int, mode);
    QFETCH(QString, pressed);
    QFETCH(QString, shown);
    QFETCH(QStringList, questions);
    QFETCH(QString, body);

    prepare(setup);
    for (Answer a : answers)
        m_asker.answerNext(a);
    if (!chosen.isEmpty())
        m_chosen = {m_files + chosen};
    click(button.toLatin1().constData());

    QCOMPARE(int(m_view->document().mode()), mode);
    QCOMPARE(asked(), questions);
    QVERIFY(widget<QAbstractButton>(pressed.toLatin1().constData())->isChecked());
    QCOMPARE(shownBody(), shown);
    QCOMPARE(m_view->visibleEditor() ? m_view->visibleEditor()->objectName() : QString(),
             shown == QLatin1String("WebBrowser1") ? QString() : shown);
    // The formatting tools belong to the rich mode; the mode buttons hide in the page mode.
    QCOMPARE(widget("Formatting")->isVisible(), mode == 1);
    QCOMPARE(widget("btn_HTML")->isVisible(), mode != 3);
    QCOMPARE(widget("Btn_visualiser_html")->isVisible(), mode == 3);
    if (mode == 3 && shown == QLatin1String("WebBrowser1"))
        QCOMPARE(widget<QLineEdit>("Edit1")->text(), body); // the page's title
    else if (mode == 3)
        QVERIFY(widget<QPlainTextEdit>("Memo1")->toPlainText().contains(body)); // the page's source
    else if (mode == 2)
        QCOMPARE(widget<QPlainTextEdit>("Memo1")->toPlainText(), body);
    else
        QCOMPARE(widget<QTextEdit>("RichEdit1")->toPlainText(), body);
}

void TestMessageView::saveThenOpen_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("formatted text") << 1;
    QTest::newRow("plain text") << 2;
    QTest::newRow("HTML page") << 3;
}

void TestMessageView::saveThenOpen()
{
    QFETCH(int, mode);
    auto *subject = widget<QLineEdit>("Edit1");
    auto *rich = widget<QTextEdit>("RichEdit1");
    auto *plain = widget<QPlainTextEdit>("Memo1");
    if (mode == 1) {
        QTest::keyClicks(rich, QStringLiteral("ab"));
        QTextCursor c = rich->textCursor();
        c.setPosition(1);
        c.setPosition(2, QTextCursor::KeepAnchor);
        rich->setTextCursor(c);
        click("Btn_gras");
    } else if (mode == 2) {
        click("Btn_txt");
        QTest::keyClicks(plain, QStringLiteral("Line one"));
        QTest::keyClick(plain, Qt::Key_Return);
        QTest::keyClicks(plain, QStringLiteral("Line two "));
        plain->insertPlainText(QStringLiteral("é"));
    } else {
        prepare(QStringLiteral("page"));
    }
    subject->clear();
    QTest::keyClicks(subject, QStringLiteral("News of the month"));
    m_view->document().addDestinationBooks({QStringLiteral("clients"), QStringLiteral("staff")});
    m_view->document().addExclusionBooks({QStringLiteral("prospects")});
    m_chosen = {m_files + QStringLiteral("a/report.pdf")};
    click("Btn_Joindre_un_fichier");
    const QString plainBefore = plain->toPlainText();

    // Save (a name typed without its extension), New, Open.
    m_chosen = {savedMessagesFolder() + QStringLiteral("/monthly")};
    command("Enregistrer1")->trigger();
    QVERIFY(QFileInfo::exists(savedMessagesFolder() + QStringLiteral("/monthly.MNL")));
    m_asker.answerNext(Answer::Yes);
    command("Nouveau1")->trigger();
    QCOMPARE(asked(), QStringList{messageTexts::deleteMessageInProgress()});
    QVERIFY(subject->text().isEmpty());
    QCOMPARE(widget<QListWidget>("ListBox1")->count(), 0);
    QCOMPARE(int(m_view->document().mode()), 1);

    m_asker.clear();
    m_chosen = {savedMessagesFolder() + QStringLiteral("/monthly.MNL")};
    command("Charger1")->trigger();
    QCOMPARE(asked(), QStringList()); // an empty message is not asked about
    QCOMPARE(m_choosers.last(), MessageEditorView::FileChoice::OpenMessage);
    QCOMPARE(subject->text(), QStringLiteral("News of the month"));
    QCOMPARE(int(m_view->document().mode()), mode);
    const auto items = [this](const char *name) {
        QStringList texts;
        auto *list = widget<QListWidget>(name);
        for (int i = 0; i < list->count(); ++i)
            texts << list->item(i)->text();
        return texts;
    };
    QCOMPARE(items("ListBox1"), (QStringList{QStringLiteral("clients"), QStringLiteral("staff")}));
    QCOMPARE(items("ListBox3"), QStringList{QStringLiteral("prospects")});
    QCOMPARE(items("ListBox2"), QStringList{m_files + QStringLiteral("a/report.pdf")});
    if (mode == 1) {
        QCOMPARE(rich->toPlainText(), QStringLiteral("ab"));
        QTextCursor c(rich->document());
        c.setPosition(1);
        QVERIFY(c.charFormat().fontWeight() < QFont::Bold);
        c.setPosition(2);
        QVERIFY(c.charFormat().fontWeight() >= QFont::Bold);
        QCOMPARE(shownBody(), QStringLiteral("RichEdit1"));
    } else {
        QCOMPARE(plain->toPlainText(), plainBefore);
        QCOMPARE(shownBody(), mode == 2 ? QStringLiteral("Memo1") : QStringLiteral("WebBrowser1"));
    }
    if (mode == 3)
        QCOMPARE(m_view->document().images()->size(), 1);

    // Open again with the message in the editors: the loss question first, No keeps it.
    m_asker.clear();
    m_chosen.clear();
    m_asker.answerNext(Answer::No);
    const int choosers = m_choosers.size();
    command("Charger1")->trigger();
    QCOMPARE(asked(), QStringList{messageTexts::loseMessage()});
    QCOMPARE(m_choosers.size(), choosers);
}

void TestMessageView::savingOverAnArchiveAsksFirst()
{
    QTest::keyClicks(widget("RichEdit1"), QStringLiteral("first"));
    const QString path = savedMessagesFolder() + QStringLiteral("/m.MNL");
    m_chosen = {path};
    QVERIFY(m_view->saveMessage());
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();

    QTest::keyClicks(widget("RichEdit1"), QStringLiteral(" and second"));
    m_asker.answerNext(Answer::No);
    m_chosen = {path};
    QVERIFY(!m_view->saveMessage());
    QCOMPARE(asked(), QStringList{messageTexts::overwriteFile()});
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);
    f.close();

    m_asker.answerNext(Answer::Yes);
    m_chosen = {path};
    QVERIFY(m_view->saveMessage());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll() != before);

    // A chooser left without a name saves nothing.
    QVERIFY(!m_view->saveMessage());
}

void TestMessageView::closingOffersToSaveTheMessage()
{
    QVERIFY(m_view->messageEmpty());
    QVERIFY(m_form->confirmClose()); // nothing written: nothing asked
    QCOMPARE(asked(), QStringList());

    QTest::keyClicks(widget("RichEdit1"), QStringLiteral("Draft"));
    QVERIFY(!m_view->messageEmpty());
    m_form->showContactsView();
    m_asker.answerNext(Answer::Yes);
    m_chosen.clear(); // Yes, then the save chooser is left: the program stays
    QVERIFY(!m_form->confirmClose());
    QCOMPARE(m_form->currentView(), 3);

    m_asker.answerNext(Answer::Yes);
    m_chosen = {savedMessagesFolder() + QStringLiteral("/draft")};
    QVERIFY(m_form->confirmClose());
    QVERIFY(QFileInfo::exists(savedMessagesFolder() + QStringLiteral("/draft.MNL")));
}

void TestMessageView::attachmentNamesAreUnique()
{
    auto *list = widget<QListWidget>("ListBox2");
    const QString unique = QStringLiteral("\r\n") + messageTexts::uniqueNames();
    m_chosen = {m_files + QStringLiteral("a/report.pdf"), m_files + QStringLiteral("b/report.pdf"),
                m_files + QStringLiteral("hello.txt")};
    click("Btn_Joindre_un_fichier");
    QCOMPARE(m_choosers, QList<MessageEditorView::FileChoice>{MessageEditorView::FileChoice::Attach});
    QCOMPARE(asked(), QStringList{unique});
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), m_files + QStringLiteral("a/report.pdf"));

    // Removing deletes every selected entry.
    list->item(0)->setSelected(true);
    list->item(1)->setSelected(true);
    click("Btn_Supprimer");
    QCOMPARE(list->count(), 0);

    // A file named like an image of the imported page, from another folder.
    prepare(QStringLiteral("page"));
    writePng(m_files + QStringLiteral("b/logo.png"), Qt::blue);
    m_chosen = {m_files + QStringLiteral("b/logo.png")};
    click("Btn_Joindre_un_fichier");
    QCOMPARE(asked(), QStringList{unique});
    QCOMPARE(list->count(), 0);
    QCOMPARE(m_view->document().images()->size(), 1);
}

void TestMessageView::bookLists()
{
    auto *chooser = widget<BookChooserDialog>("Form_Dir_Dest");
    auto *names = chooser->findChild<QListWidget *>(QStringLiteral("ListBox1"));
    auto *destinations = widget<QListWidget>("ListBox1");
    click("Btn_Ajouter_annuaire");
    QVERIFY(chooser->isVisible());
    QCOMPARE(chooser->windowTitle(), QStringLiteral("Directories of the recipients"));
    QCOMPARE(names->count(), 3);
    QCOMPARE(names->item(0)->text(), QStringLiteral("clients"));
    // Valider with nothing selected keeps the chooser open.
    chooser->findChild<QPushButton *>(QStringLiteral("Btn_valider"))->click();
    QVERIFY(chooser->isVisible());
    names->item(2)->setSelected(true);
    names->item(0)->setSelected(true);
    chooser->findChild<QPushButton *>(QStringLiteral("Btn_valider"))->click();
    QVERIFY(!chooser->isVisible());
    QCOMPARE(destinations->count(), 2);
    QCOMPARE(destinations->item(0)->text(), QStringLiteral("clients")); // the chooser's order
    QCOMPARE(destinations->item(1)->text(), QStringLiteral("staff"));

    // A book already listed is not added twice; Annuler adds nothing.
    click("Btn_Ajouter_annuaire");
    names->item(0)->setSelected(true);
    names->item(1)->setSelected(true);
    chooser->findChild<QPushButton *>(QStringLiteral("Btn_valider"))->click();
    QCOMPARE(m_view->document().destinationBooks(),
             (QStringList{QStringLiteral("clients"), QStringLiteral("staff"), QStringLiteral("prospects")}));
    click("Btn_Ajouter_annuaire");
    names->item(0)->setSelected(true);
    chooser->findChild<QPushButton *>(QStringLiteral("Btn_annuler"))->click();
    QCOMPARE(destinations->count(), 3);

    destinations->item(0)->setSelected(true);
    destinations->item(2)->setSelected(true);
    click("Btn_Supprimer_annuaire");
    QCOMPARE(m_view->document().destinationBooks(), QStringList{QStringLiteral("staff")});

    click("Btn_ajouter_liste_noire");
    QCOMPARE(chooser->windowTitle(), QStringLiteral("Directories of excluded"));
    names->item(1)->setSelected(true);
    chooser->findChild<QPushButton *>(QStringLiteral("Btn_valider"))->click();
    QCOMPARE(m_view->document().exclusionBooks(), QStringList{QStringLiteral("prospects")});
    widget<QListWidget>("ListBox3")->item(0)->setSelected(true);
    click("Btn_supprimer_liste_noire");
    QVERIFY(m_view->document().exclusionBooks().isEmpty());
}

void TestMessageView::placeholderAtTheCaret_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("expected");
    // "Dear X!" with X selected: the placeholder takes the selection's place.
    QTest::newRow("subject line with the focus") << "Edit1" << "Dear &name&!";
    QTest::newRow("formatted-text editor") << "RichEdit1" << "Dear &name&!";
    QTest::newRow("plain-text editor") << "Memo1" << "Dear &name&!";
}

void TestMessageView::placeholderAtTheCaret()
{
    QFETCH(QString, target);
    QFETCH(QString, expected);
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    if (target == QLatin1String("Memo1"))
        click("Btn_txt");
    QWidget *w = widget(target.toLatin1().constData());
    w->setFocus();
    QTRY_VERIFY(w->hasFocus());
    QTest::keyClicks(w, QStringLiteral("Dear X!"));
    QTest::keyClick(w, Qt::Key_Left);
    QTest::keyClick(w, Qt::Key_Left, Qt::ShiftModifier);
    if (target != QLatin1String("Edit1"))
        QTest::keyClicks(widget("Edit1"), QStringLiteral("untouched"));

    click("Btn_inserer_champ");
    auto *menu = widget<QMenu>("PopupMenu_champs");
    QTRY_VERIFY(menu->isVisible());
    QCOMPARE(menu->actions().size(), 17);
    QCOMPARE(menu->actions().at(1)->text(), QStringLiteral("Name"));
    menu->actions().at(1)->trigger();
    menu->close();

    QString text;
    if (auto *line = qobject_cast<QLineEdit *>(w))
        text = line->text();
    else if (auto *rich = qobject_cast<QTextEdit *>(w))
        text = rich->toPlainText();
    else
        text = static_cast<QPlainTextEdit *>(w)->toPlainText();
    QCOMPARE(text, expected);
    if (target != QLatin1String("Edit1"))
        QCOMPARE(widget<QLineEdit>("Edit1")->text(), QStringLiteral("untouched"));
    QCOMPARE(m_view->document().subject(), widget<QLineEdit>("Edit1")->text());
}

void TestMessageView::findAndReplaceThroughTheDialogs()
{
    auto *rich = widget<QTextEdit>("RichEdit1");
    QTest::keyClicks(rich, QStringLiteral("a b a"));
    QTextCursor start = rich->textCursor();
    start.setPosition(0);
    rich->setTextCursor(start);

    // Search: the first occurrence becomes the selection and the window closes.
    command("chercher1")->trigger();
    auto *find = widget<QDialog>("Dialogue_chercher");
    QVERIFY(find->isVisible());
    QCOMPARE(find->windowTitle(), QStringLiteral("Search"));
    find->findChild<QPushButton *>(QStringLiteral("Btn_valider"))->click();
    QVERIFY(find->isVisible()); // an empty text does nothing
    QTest::keyClicks(find->findChild<QLineEdit *>(QStringLiteral("Edit_chercher")), QStringLiteral("a"));
    find->findChild<QPushButton *>(QStringLiteral("Btn_valider"))->click();
    QVERIFY(!find->isVisible());
    QCOMPARE(rich->textCursor().selectionStart(), 0);
    QCOMPARE(rich->textCursor().selectedText(), QStringLiteral("a"));
    // Next (F3) goes on with the dialog's text, then reports the end.
    QCOMPARE(m_view->findText(), QStringLiteral("a"));
    command("occurence")->trigger();
    QCOMPARE(rich->textCursor().selectionStart(), 4);
    command("occurence")->trigger();
    QCOMPARE(asked(), QStringList{messageTexts::stringNotFound()});
    QCOMPARE(rich->textCursor().selectionStart(), 4);

    // Replace: both fields needed; then replace all, which does not loop on its own output.
    m_asker.clear();
    rich->setTextCursor(start);
    command("remplacer")->trigger();
    auto *replace = widget<QDialog>("Dialogue_Remplacer");
    QVERIFY(replace->isVisible());
    auto *search = replace->findChild<QLineEdit *>(QStringLiteral("Edit_chercher"));
    auto *by = replace->findChild<QLineEdit *>(QStringLiteral("Edit_remplacer"));
    QTest::keyClicks(search, QStringLiteral("a"));
    replace->findChild<QPushButton *>(QStringLiteral("Btn_valider"))->click();
    QCOMPARE(asked(), QStringList{messageTexts::fillBothFields()});
    QVERIFY(replace->isVisible());
    QTest::keyClicks(by, QStringLiteral("aa"));
    replace->findChild<QPushButton *>(QStringLiteral("Btn_tout_remplacer"))->click();
    QVERIFY(!replace->isVisible());
    QCOMPARE(rich->toPlainText(), QStringLiteral("aa b aa"));
    QCOMPARE(asked(), QStringList{messageTexts::fillBothFields()});

    // Replace once, in the plain-text editor, from the caret.
    m_asker.answerNext(Answer::Yes);
    click("Btn_txt");
    auto *plain = widget<QPlainTextEdit>("Memo1");
    QTextCursor c = plain->textCursor();
    c.setPosition(3);
    plain->setTextCursor(c);
    command("remplacer")->trigger();
    search->setText(QStringLiteral("aa"));
    by->setText(QStringLiteral("Z"));
    replace->findChild<QPushButton *>(QStringLiteral("Btn_valider"))->click();
    QCOMPARE(plain->toPlainText(), QStringLiteral("aa b Z"));
    QCOMPARE(m_view->document().plainText(), QStringLiteral("aa b Z"));
    QVERIFY(!replace->isVisible());
}

void TestMessageView::findNeedsAnEditor()
{
    prepare(QStringLiteral("page"));
    command("chercher1")->trigger();
    command("remplacer")->trigger();
    QCOMPARE(asked(), (QStringList{messageTexts::findNeedsSourceMode(), messageTexts::findNeedsSourceMode()}));
    QVERIFY(!widget("Dialogue_chercher")->isVisible());
    click("Btn_modifier_source");
    command("chercher1")->trigger();
    QVERIFY(widget("Dialogue_chercher")->isVisible());
}

void TestMessageView::formattingToolsAndShortcuts()
{
    auto *rich = widget<QTextEdit>("RichEdit1");
    // The buttons read as the language names the styles.
    auto captions = [this] {
        return QStringList{widget<QToolButton>("Btn_gras")->text(), widget<QToolButton>("Btn_italique")->text(),
                           widget<QToolButton>("Btn_souligne")->text()};
    };
    QCOMPARE(captions(), QStringList({"B", "I", "U"}));
    m_view->applyLanguage(French);
    QCOMPARE(captions(), QStringList({"G", "I", "S"}));
    m_view->applyLanguage(English);
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    rich->setFocus();
    QTest::keyClicks(rich, QStringLiteral("abc"));
    rich->selectAll();
    click("Btn_gras");
    QVERIFY(widget<QToolButton>("Btn_gras")->isChecked());
    QTest::keyClick(rich, Qt::Key_I, Qt::ControlModifier);
    QTest::keyClick(rich, Qt::Key_U, Qt::ControlModifier);
    QTextCursor c(rich->document());
    c.setPosition(2);
    QVERIFY(c.charFormat().fontWeight() >= QFont::Bold);
    QVERIFY(c.charFormat().fontItalic());
    QVERIFY(c.charFormat().fontUnderline());
    // The bold button again turns bold off and keeps the others.
    click("Btn_gras");
    c.setPosition(2);
    QVERIFY(c.charFormat().fontWeight() < QFont::Bold);
    QVERIFY(c.charFormat().fontItalic());

    // Size and colour apply to the selection.
    rich->selectAll();
    widget<QSpinBox>("FontSize")->setValue(18);
    auto *colour = widget<QComboBox>("ColorBox");
    const int red = colour->findData(QVariant::fromValue(QRgb(0xFF0000)));
    colour->setCurrentIndex(red);
    Q_EMIT colour->activated(red);
    c.setPosition(2);
    QCOMPARE(c.charFormat().fontPointSize(), 18.0);
    QCOMPARE(c.charFormat().foreground().color(), QColor(Qt::red));

    // Undo and redo in both editors.
    QTest::keyClick(rich, Qt::Key_Z, Qt::ControlModifier);
    c.setPosition(2);
    QVERIFY(c.charFormat().foreground().color() != QColor(Qt::red));
    QTest::keyClick(rich, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    c.setPosition(2);
    QCOMPARE(c.charFormat().foreground().color(), QColor(Qt::red));

    m_asker.answerNext(Answer::Yes);
    click("Btn_txt");
    QVERIFY(widget("Formatting")->isHidden());
    auto *plain = widget<QPlainTextEdit>("Memo1");
    plain->setFocus();
    plain->moveCursor(QTextCursor::End);
    QTest::keyClicks(plain, QStringLiteral("d"));
    QTest::keyClick(plain, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(plain->toPlainText(), QStringLiteral("abc"));
    QCOMPARE(m_view->document().plainText(), QStringLiteral("abc"));
    QTest::keyClick(plain, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(m_view->document().plainText(), QStringLiteral("abcd"));
}

// A formatted message carries text with per-character attributes only: a
// pasted table, image or paragraph layout would vanish when the message is
// sent, so it is dropped when pasted; the attributes stay.
void TestMessageView::pasteKeepsWhatAMessageCarries()
{
    auto *rich = widget<QTextEdit>("RichEdit1");
    auto *mime = new QMimeData;
    mime->setHtml(QStringLiteral("<table border=1><tr><td><b>Bold</b> <span style=\"color:#ff0000\">red</span></td></tr>"
                                 "</table><p align=center><img src=\"x.png\"><i>it</i></p>"));
    mime->setText(QStringLiteral("Bold red it"));
    QApplication::clipboard()->setMimeData(mime);
    rich->paste();
    QVERIFY(rich->document()->rootFrame()->childFrames().isEmpty()); // no table
    const QString text = rich->toPlainText();
    QCOMPARE(text.simplified(), QStringLiteral("Bold red it"));
    QVERIFY(!text.contains(QChar::ObjectReplacementCharacter)); // no image
    QTextCursor c(rich->document());
    const auto formatAt = [&](const QString &letters) {
        c.setPosition(int(text.indexOf(letters)) + 1);
        return c.charFormat();
    };
    QVERIFY(formatAt(QStringLiteral("Bo")).fontWeight() >= QFont::Bold);
    QCOMPARE(formatAt(QStringLiteral("re")).foreground().color(), QColor(Qt::red));
    QVERIFY(formatAt(QStringLiteral("re")).fontWeight() < QFont::Bold);
    QVERIFY(formatAt(QStringLiteral("it")).fontItalic());
    for (QTextBlock b = rich->document()->begin(); b.isValid(); b = b.next())
        QCOMPARE(b.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);

    // Cut and paste inside the message keeps the bold.
    c.setPosition(0);
    c.setPosition(int(text.indexOf(QStringLiteral("Bold")) + 4), QTextCursor::KeepAnchor);
    rich->setTextCursor(c);
    rich->cut();
    rich->moveCursor(QTextCursor::End);
    rich->paste();
    const QString after = rich->toPlainText();
    QVERIFY(after.endsWith(QStringLiteral("Bold")));
    c.setPosition(int(after.size()) - 1);
    QVERIFY(c.charFormat().fontWeight() >= QFont::Bold);
}

// Ctrl+K makes the selected words a link: the editor shows it, the HTML sent
// carries it as <a href>, the text alternative names the address, and a
// saved message keeps it. On a link without a selection the command edits
// it, and an empty address takes it away.
void TestMessageView::linkCommand()
{
    auto *rich = widget<QTextEdit>("RichEdit1");
    QTest::keyClicks(rich, QStringLiteral("Read our news today"));
    QTextCursor c = rich->textCursor();
    c.setPosition(5);
    c.setPosition(13, QTextCursor::KeepAnchor); // "our news"
    rich->setTextCursor(c);
    QStringList asked;
    std::optional<QString> answer = QStringLiteral("https://example.org/news?for=&email&");
    m_view->askLinkAddress = [&](const QString &current) {
        asked << current;
        return answer;
    };
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    rich->setFocus();
    QTest::keyClick(rich, Qt::Key_K, Qt::ControlModifier);
    QCOMPARE(asked, QStringList{QString()});
    const QString html = preparedBody(m_view->document(), BodyPurpose::Sending).join(u'\n');
    QVERIFY2(html.contains(QStringLiteral("<a href=\"https://example.org/news?for=&email&\">our news</a>")),
             qPrintable(html));
    const QStringList alternative = plainTextAlternative(preparedBody(m_view->document(), BodyPurpose::Sending));
    QVERIFY2(alternative.join(u'\n').contains(QStringLiteral("our news <https://example.org/news?for=&email&>")),
             qPrintable(alternative.join(u'\n')));

    const QString base = m_data->root() + QStringLiteral("/linked");
    QVERIFY(writeArchive(m_view->document(), base, ArchiveKind::SavedMessage, {}, {}));
    MessageDocument back;
    QCOMPARE(readArchive(base + QStringLiteral(".MNL"), back), ArchiveReadStatus::Ok);
    QTextCursor inBack(back.richText());
    inBack.setPosition(12);
    QCOMPARE(inBack.charFormat().anchorHref(), QStringLiteral("https://example.org/news?for=&email&"));

    // Inside the link, no selection: the address is offered, and emptied.
    c.setPosition(9);
    rich->setTextCursor(c);
    answer = QString();
    m_view->editLink();
    QCOMPARE(asked.last(), QStringLiteral("https://example.org/news?for=&email&"));
    QVERIFY(!preparedBody(m_view->document(), BodyPurpose::Sending).join(u'\n').contains(QStringLiteral("<a ")));
}

void TestMessageView::previewShowsTheFirstContact()
{
    auto *preview = widget<PreviewDialog>("Dialogue_visualiser_msg");
    click("Btn_visualiser");
    QCOMPARE(asked(), QStringList{messageTexts::previewWithoutBooks()});
    QVERIFY(!preview->isVisible());

    // The first contact in name order of the first destination book, with
    // the subject as it is sent and the recipient above the page.
    m_view->document().addDestinationBooks({QStringLiteral("clients"), QStringLiteral("prospects")});
    widget<QLineEdit>("Edit1")->setText(QStringLiteral("News for &lastname&"));
    QTest::keyClicks(widget("RichEdit1"), QStringLiteral("Hello &lastname& &name&"));
    QSignalSpy loaded(preview->htmlView(), &HtmlView::pageLoaded);
    click("Btn_visualiser");
    QVERIFY(preview->isVisible());
    QCOMPARE(preview->windowTitle(), QStringLiteral("Preview of the message"));
    QVERIFY(loaded.wait(30000));
    QVERIFY(loaded.first().first().toBool());
    QCOMPARE(pageText(preview->htmlView()).trimmed(), QStringLiteral("Hello Anne Martin"));
    auto label = [preview](const char *name) { return preview->findChild<QLabel *>(QString::fromLatin1(name))->text(); };
    QCOMPARE(label("Label_sujet"), QStringLiteral("Subject:"));
    QCOMPARE(label("Edit_sujet"), QStringLiteral("News for Anne"));
    QCOMPARE(label("Edit_destinataire"), QStringLiteral("Anne Martin <martin@example.org>"));
    QCOMPARE(label("Label_position"), QStringLiteral("Contact 1 of 3"));
    auto *previous = preview->findChild<QPushButton *>(QStringLiteral("btn_precedent"));
    auto *next = preview->findChild<QPushButton *>(QStringLiteral("btn_suivant"));
    QVERIFY(!previous->isEnabled());

    // Next goes through the first book in name order, then into the next book.
    for (const char *expected : {"Hello Émile Zola", "Hello Paul Durand"}) {
        loaded.clear();
        next->click();
        QVERIFY(loaded.wait(30000));
        QCOMPARE(pageText(preview->htmlView()).trimmed(), QString::fromUtf8(expected));
    }
    QCOMPARE(label("Edit_destinataire"), QStringLiteral("Paul Durand <durand@example.org>"));
    QCOMPARE(label("Label_position"), QStringLiteral("Contact 3 of 3"));
    QVERIFY(!next->isEnabled());
    loaded.clear();
    previous->click();
    QVERIFY(loaded.wait(30000));
    QCOMPARE(label("Edit_sujet"), QStringLiteral("News for Émile"));

    preview->findChild<QPushButton *>(QStringLiteral("Btn_fermer"))->click();

    // A newsletter 600 pixels wide fits without a horizontal scroll, even in
    // the smallest preview window.
    m_asker.answerNext(Answer::Yes);
    m_chosen = {m_files + QStringLiteral("page.html")};
    click("Btn_importerhtml");
    preview->resize(100, 100);
    loaded.clear();
    click("Btn_visualiser");
    QVERIFY(loaded.wait(30000));
    QCOMPARE(evaluate(preview->htmlView(), QStringLiteral("document.documentElement.scrollWidth <= "
                                                          "document.documentElement.clientWidth")),
             QVariant(true));
    preview->findChild<QPushButton *>(QStringLiteral("Btn_fermer"))->click();
    QVERIFY(!preview->isVisible());
}

// The HTML area shows local pages with their images (file and cid), runs no
// page script, fetches nothing remote and sends clicked links to the browser.
void TestMessageView::htmlAreaIsLockedDown()
{
    // A remote server on loopback that counts what reaches it.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    int connections = 0;
    connect(&server, &QTcpServer::newConnection, this, [&] {
        ++connections;
        server.nextPendingConnection()->close();
    });
    const QString remote = QStringLiteral("http://127.0.0.1:%1/pixel.png").arg(server.serverPort());
    writePng(tempFolder() + QStringLiteral("part.png"), Qt::green, 30, 20);
    writeText(m_files + QStringLiteral("locked.html"),
              QStringLiteral("<html><head><title>t</title>"
                             "<link rel=\"stylesheet\" href=\"%1.css\"></head><body>"
                             "<img id=\"local\" src=\"logo.png\"><img id=\"cid\" src=\"cid:part.png\">"
                             "<img id=\"remote\" src=\"%1\">"
                             "<script>document.title = 'script ran';</script>"
                             "<a id=\"link\" href=\"https://example.org/offer\">offer</a></body></html>")
                  .arg(remote)
                  .toUtf8());

    QList<QUrl> opened;
    auto *area = new HtmlView;
    std::unique_ptr<HtmlView> owner(area);
    area->openUrl = [&](const QUrl &url) {
        opened << url;
        return true;
    };
    QSignalSpy loaded(area, &HtmlView::pageLoaded);
    area->showFile(m_files + QStringLiteral("locked.html"));
    QVERIFY(!area->engineCreated()); // nothing is made before the area is shown
    area->resize(400, 300);
    area->show();
    QVERIFY(loaded.wait(30000));
    QVERIFY(area->engineCreated());

    QCOMPARE(evaluate(area, QStringLiteral("document.getElementById('local').naturalWidth")).toInt(), 40);
    QCOMPARE(evaluate(area, QStringLiteral("document.getElementById('cid').naturalWidth")).toInt(), 30);
    QCOMPARE(evaluate(area, QStringLiteral("document.getElementById('remote').naturalWidth")).toInt(), 0);
    QCOMPARE(evaluate(area, QStringLiteral("document.title")).toString(), QStringLiteral("t"));
    QCOMPARE(connections, 0);

    // A click on the link: the browser gets it, the area stays on its page.
    const QVariantList box =
        evaluate(area, QStringLiteral("(function(){var r=document.getElementById('link').getBoundingClientRect();"
                                      "return [r.left + r.width / 2, r.top + r.height / 2];})()"))
            .toList();
    QCOMPARE(box.size(), 2);
    QWidget *surface = area->engineView()->focusProxy();
    QVERIFY(surface);
    const QPoint at(box[0].toInt(), box[1].toInt());
    QTest::mouseClick(surface, Qt::LeftButton, {}, at);
    QTRY_COMPARE(opened, QList<QUrl>{QUrl(QStringLiteral("https://example.org/offer"))});
    QCOMPARE(area->engineView()->url(), QUrl::fromLocalFile(m_files + QStringLiteral("locked.html")));
    QCOMPARE(connections, 0);
}

void TestMessageView::remembersFoldersAndPreviewSize()
{
    const QString messages = QDir::cleanPath(savedMessagesFolder());
    const QString files = QDir::cleanPath(m_files);
    // The first time: saved messages in their folder, the other choosers anywhere.
    m_chosen = {m_files + QStringLiteral("a/report.pdf")};
    click("Btn_Joindre_un_fichier");
    m_chosen = {m_files + QStringLiteral("hello.txt")};
    click("Btn_importertxt");
    m_asker.answerNext(Answer::Yes);
    command("Charger1")->trigger(); // left without a choice
    QCOMPARE(m_folders, (QStringList{QString(), QString(), messages}));

    // Then each starts where it was last used; Save and Open share theirs.
    m_folders.clear();
    click("Btn_Joindre_un_fichier");
    m_asker.answerNext(Answer::Yes);
    click("Btn_importerhtml");
    m_chosen = {m_files + QStringLiteral("b/copy")};
    command("Enregistrer1")->trigger();
    m_asker.answerNext(Answer::Yes);
    command("Charger1")->trigger();
    QCOMPARE(m_folders, (QStringList{files + QStringLiteral("/a"), files, messages, files + QStringLiteral("/b")}));

    // The next run remembers them, and the preview window's size.
    m_view->previewDialog()->resize(720, 410);
    m_view->previewDialog()->open();
    m_view->previewDialog()->accept();
    MessageEditorView next(m_store);
    QString started;
    next.chooseFile = [&](MessageEditorView::FileChoice, const QString &folder) {
        started = QDir::cleanPath(folder);
        return QStringList();
    };
    next.attachFiles();
    QCOMPARE(started, files + QStringLiteral("/a"));
    QCOMPARE(next.previewDialog()->size(), QSize(720, 410));
}

namespace {

// Waits until two grabs a while apart are the same picture: a loaded page
// is not yet a painted one.
QPixmap steadyGrab(QWidget *w)
{
    QImage last;
    for (int i = 0; i < 40; ++i) {
        QTest::qWait(250);
        const QImage now = w->grab().toImage();
        if (now == last)
            break;
        last = now;
    }
    return QPixmap::fromImage(last);
}

QImage picture(int w, int h, QColor from, QColor to, const QString &caption)
{
    QImage image(w, h, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, w, h);
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    painter.fillRect(image.rect(), gradient);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(h / 4);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(image.rect(), Qt::AlignCenter, caption);
    return image;
}

} // namespace

// Pictures of the view for the README, when KIRVANE_SCREENSHOTS names a
// folder (scripts/message-screenshots runs this under Xvfb).
void TestMessageView::screenshots()
{
    const QString out = qEnvironmentVariable("KIRVANE_SCREENSHOTS");
    if (out.isEmpty())
        QSKIP("KIRVANE_SCREENSHOTS is not set");
    QDir().mkpath(out);
    m_form->resize(1100, 720);
    auto *rich = widget<QTextEdit>("RichEdit1");
    m_view->document().addDestinationBooks({QStringLiteral("clients")});
    m_view->document().addExclusionBooks({QStringLiteral("prospects")});
    m_chosen = {m_files + QStringLiteral("a/report.pdf")};
    click("Btn_Joindre_un_fichier");
    widget<QLineEdit>("Edit1")->setText(QStringLiteral("Spring news for &lastname&"));
    rich->setFocus();
    QTest::keyClicks(rich, QStringLiteral("Dear &lastname& &name&,"));
    QTest::keyClick(rich, Qt::Key_Return);
    QTest::keyClick(rich, Qt::Key_Return);
    click("Btn_gras");
    QTest::keyClicks(rich, QStringLiteral("Our spring sale starts on Monday."));
    click("Btn_gras");
    QTest::keyClick(rich, Qt::Key_Return);
    widget<QSpinBox>("FontSize")->setValue(14);
    auto *colour = widget<QComboBox>("ColorBox");
    const int navy = colour->findData(QVariant::fromValue(QRgb(0x000080)));
    colour->setCurrentIndex(navy);
    Q_EMIT colour->activated(navy);
    QTest::keyClicks(rich, QStringLiteral("Twenty per cent off everything in the shop."));
    QVERIFY(steadyGrab(m_form.get()).save(out + QStringLiteral("/message-formatted.png")));

    m_asker.answerNext(Answer::Yes);
    click("Btn_txt");
    QVERIFY(steadyGrab(m_form.get()).save(out + QStringLiteral("/message-text.png")));

    // A newsletter of the usual kind: a 600-pixel table layout, CSS, two images.
    const QString folder = m_files + QStringLiteral("newsletter/");
    QDir().mkpath(folder);
    QVERIFY(picture(600, 160, QColor(0x1d4e89), QColor(0x00b2ca), QStringLiteral("Spring sale")).save(folder + QStringLiteral("header.png")));
    QVERIFY(picture(260, 180, QColor(0xf79256), QColor(0xfbd1a2), QStringLiteral("-20%")).save(folder + QStringLiteral("offer.png")));
    writeText(folder + QStringLiteral("newsletter.html"), R"(<html><head><title>Spring sale at the shop</title>
<style>
body { background: #eef1f5; margin: 0; font-family: 'DejaVu Sans', Arial, sans-serif; }
.box { background: #ffffff; border-radius: 12px; overflow: hidden; }
h1 { color: #1d4e89; font-size: 24px; margin: 0 0 8px 0; }
p { color: #333333; font-size: 14px; line-height: 1.5; }
.button { display: inline-block; background: #f79256; color: #ffffff; padding: 12px 28px;
          border-radius: 24px; text-decoration: none; font-weight: bold; }
.foot { color: #7a8491; font-size: 11px; text-align: center; padding: 16px; }
</style></head><body>
<table width="100%" cellpadding="0" cellspacing="0"><tr><td align="center" style="padding: 24px 0">
<table class="box" width="600" cellpadding="0" cellspacing="0">
<tr><td><img src="header.png" width="600" height="160" alt="Spring sale"></td></tr>
<tr><td style="padding: 24px">
<table width="100%" cellpadding="0" cellspacing="0"><tr>
<td valign="top" style="padding-right: 20px"><h1>Dear &amp;lastname&amp;,</h1>
<p>Our spring sale starts on Monday: twenty per cent off everything in the shop, for one week only.</p>
<p><a class="button" href="https://shop.example.org/sale">See the offers</a></p></td>
<td width="260" valign="top"><img src="offer.png" width="260" height="180" alt="-20%"></td>
</tr></table></td></tr></table>
<div class="foot">You receive this letter because you subscribed on our site.</div>
</td></tr></table></body></html>
)");
    m_asker.answerNext(Answer::Yes);
    m_chosen = {folder + QStringLiteral("newsletter.html")};
    QSignalSpy loaded(m_view->htmlView(), &HtmlView::pageLoaded);
    click("Btn_importerhtml");
    QVERIFY(loaded.wait(30000));
    QVERIFY(steadyGrab(m_form.get()).save(out + QStringLiteral("/message-html.png")));

    auto *preview = widget<PreviewDialog>("Dialogue_visualiser_msg");
    QSignalSpy previewLoaded(preview->htmlView(), &HtmlView::pageLoaded);
    preview->resize(760, 640);
    click("Btn_visualiser");
    QVERIFY(previewLoaded.wait(30000));
    QVERIFY(steadyGrab(preview).save(out + QStringLiteral("/message-preview.png")));
    preview->accept();
}

int main(int argc, char *argv[])
{
    // Offscreen without an X server's GL: lighter and steadier for the engine.
    // Screenshots are taken on a real (virtual) screen.
    if (qEnvironmentVariableIsEmpty("KIRVANE_SCREENSHOTS"))
        qunsetenv("DISPLAY");
    HtmlView::prepareProcess();
    QApplication app(argc, argv);
    TestMessageView test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_messageview.moc"
