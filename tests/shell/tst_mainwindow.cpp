// The main window: views, menus and tool bars, the per-view shortcuts, the
// closing questions, find next, contact editing and the language pass.

#include "fakeviews.h"

#include "shell/commands.h"
#include "texts/errorcodes.h"
#include "shell/aboutdialog.h"
#include "shell/languagepass.h"
#include "shell/mainwindow.h"
#include "shell/toolbarframe.h"
#include "texts/texttable.h"
#include "common/folders.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>

#include <memory>

using namespace kirvane::common;
using namespace kirvane::shell;
using namespace kirvane::texts;
using namespace kirvane::ui;
using namespace kirvane::test;
namespace texts = kirvane::texts;

class TestMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void showView_data();
    void showView();
    void viewButtons_data();
    void viewButtons();
    void clearFormFailureShowsError10();
    void everyButtonSharesItsMenuItemsAction();
    void commandsWaitForTheirView();
    void shortcutDependsOnView_data();
    void shortcutDependsOnView();
    void quitNeverAsks();
    void closing_data();
    void closing();
    void updateAsksTheClosingQuestions();
    void contactEditingDisablesToolsAndToolBar();
    void importCanBeDisabled();
    void findNext_data();
    void findNext();
    void findCommandsNeedAnEditor();
    void errorTextsStayFrench_data();
    void errorTextsStayFrench();
    void languagePassShowsEnglish();
    void htmlViewsHaveNoContextMenu();
    void helpOpensTheShippedPage();

private:
    QTemporaryDir m_home;
    std::unique_ptr<ScriptedAsker> m_asker;
    std::unique_ptr<MainWindow> m_form;
    FakeContactsView *m_contact = nullptr;
    FakeDirectoryView *m_directory = nullptr;
    FakeMessageView *m_message = nullptr;
    FakeHistoryView *m_history = nullptr;

    void showActive();
    template<typename T>
    T *find(const char *name) const
    {
        T *object = m_form->findChild<T *>(QString::fromLatin1(name));
        if (!object)
            qWarning("no %s named %s", T::staticMetaObject.className(), name);
        return object;
    }
    QStringList allLogs() const
    {
        return m_contact->log + m_directory->log + m_message->log + m_history->log;
    }
    void clearLogs()
    {
        m_contact->log.clear();
        m_directory->log.clear();
        m_message->log.clear();
        m_history->log.clear();
    }
};

void TestMainWindow::initTestCase()
{
    QVERIFY(m_home.isValid());
    setDataFolder(m_home.path());
}

void TestMainWindow::init()
{
    m_asker = std::make_unique<ScriptedAsker>();
    m_contact = new FakeContactsView;
    m_directory = new FakeDirectoryView;
    m_message = new FakeMessageView;
    m_history = new FakeHistoryView;
    m_form = std::make_unique<MainWindow>(nullptr, MainViews{m_contact, m_directory, m_message, m_history}, m_asker.get());
    m_form->applyLanguage(texts::ActiveLanguage);
}

void TestMainWindow::cleanup()
{
    m_form.reset();
    m_asker.reset();
}

void TestMainWindow::showActive()
{
    m_form->show();
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    clearLogs();
}

void TestMainWindow::showView_data()
{
    QTest::addColumn<int>("view");
    QTest::addColumn<int>("shown"); // the view expected afterwards
    QTest::newRow("contacts") << 1 << 1;
    QTest::newRow("address books") << 2 << 2;
    QTest::newRow("message") << 3 << 3;
    QTest::newRow("history") << 4 << 4;
    QTest::newRow("zero changes nothing") << 0 << 3;
    QTest::newRow("five changes nothing") << 5 << 3;
}

void TestMainWindow::showView()
{
    QFETCH(int, view);
    QFETCH(int, shown);
    m_form->showView(3);
    m_form->showView(view);

    QCOMPARE(m_form->currentView(), shown);
    const char *frames[] = {"Frame_contact1", "Frame_directory1", "Frame_message1", "Frame_historique1"};
    const char *bars[] = {"ToolBarContact", "ToolBarAnnuaire", "ToolBarMessage", "ToolBarHistorique"};
    const char *buttons[] = {"Btn_Contact", "Btn_Annuaire", "Btn_Message", "Btn_historique"};
    for (int v = 1; v <= 4; ++v) {
        const bool current = v == shown;
        QCOMPARE(find<QMenuBar>(qPrintable(QStringLiteral("MainMenu%1").arg(v)))->isHidden(), !current);
        QCOMPARE(find<QFrame>(frames[v - 1])->isHidden(), !current);
        QCOMPARE(find<QToolBar>(bars[v - 1])->isHidden(), !current);
        QCOMPARE(find<QToolButton>(buttons[v - 1])->isChecked(), current);
    }
}

void TestMainWindow::viewButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("view");
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("contacts: books reloaded, form cleared")
        << "Btn_Contact" << 1 << QStringList{"reloadBooks", "clearForm"};
    QTest::newRow("address books: list reloaded") << "Btn_Annuaire" << 2 << QStringList{"reloadBooks"};
    QTest::newRow("message: nothing else") << "Btn_Message" << 3 << QStringList{};
    QTest::newRow("history: opened") << "Btn_historique" << 4 << QStringList{"openHistory"};
}

void TestMainWindow::viewButtons()
{
    QFETCH(QString, button);
    QFETCH(int, view);
    QFETCH(QStringList, calls);
    showActive();
    m_form->showView(view == 1 ? 2 : 1);
    clearLogs();

    QTest::mouseClick(find<QToolButton>(qPrintable(button)), Qt::LeftButton);
    QCOMPARE(m_form->currentView(), view);
    QCOMPARE(allLogs(), calls);
    QVERIFY(m_asker->questions().empty());
}

void TestMainWindow::clearFormFailureShowsError10()
{
    showActive();
    m_form->showView(2);
    m_contact->clearSucceeds = false;
    QTest::mouseClick(find<QToolButton>("Btn_Contact"), Qt::LeftButton);
    QCOMPARE(m_asker->texts(), QStringList{errorText(ErrorCode::ClearContactForm)});
    QCOMPARE(m_asker->questions().front().kind, DialogKind::Error);
}

void TestMainWindow::everyButtonSharesItsMenuItemsAction()
{
    QStringList menuless;
    for (const CommandRow &row : commandRows()) {
        if (!row.button)
            continue;
        auto *button = find<QToolButton>(row.button);
        QVERIFY(button);
        QAction *action = button->defaultAction();
        QCOMPARE(action->objectName(), QString::fromLatin1(row.name()));
        QVERIFY2(!button->icon().isNull(), row.button);
        QVERIFY2(!action->toolTip().isEmpty(), row.button);
        bool inMenu = false;
        for (QMenu *menu : m_form->findChildren<QMenu *>())
            inMenu = inMenu || menu->actions().contains(action);
        if (!inMenu)
            menuless << QString::fromLatin1(row.button);
    }
    QCOMPARE(menuless, (QStringList{"continuer_envoi", "btn_supprimer"}));
}

void TestMainWindow::commandsWaitForTheirView()
{
    // A command nobody provides stays disabled in its own view.
    MainWindow bare(nullptr, {}, m_asker.get());
    bare.showView(2);
    QVERIFY(!bare.action("Ajouter1")->isEnabled());
    QVERIFY(!bare.findChild<QToolButton *>("Ajouter_annuaire")->isEnabled());
    QVERIFY(bare.action("Aide1")->isEnabled());
    // Find and replace need the message view's editors, which a bare window lacks.
    bare.showView(3);
    for (const char *name : {"chercher1", "occurence", "remplacer"})
        QVERIFY2(!bare.action(name)->isEnabled(), name);
    QVERIFY(bare.action("Quitter3")->isEnabled());

    // A provided command is enabled in its view only.
    m_form->showView(2);
    QVERIFY(m_form->action("Ajouter1")->isEnabled());
    QVERIFY(!m_form->action("Ajouteruncontact1")->isEnabled());
    m_form->showView(1);
    QVERIFY(!m_form->action("Ajouter1")->isEnabled());
    QVERIFY(m_form->action("Ajouteruncontact1")->isEnabled());
    m_form->showView(3);
    QVERIFY(m_form->action("chercher1")->isEnabled());
}

void TestMainWindow::shortcutDependsOnView_data()
{
    QTest::addColumn<int>("view");
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("reached");
    QTest::newRow("Ctrl+R contacts: search") << 1 << QKeySequence("Ctrl+R") << "Rechercher1";
    QTest::newRow("Ctrl+R books: rename") << 2 << QKeySequence("Ctrl+R") << "Renommer1";
    QTest::newRow("Ctrl+R message: replace") << 3 << QKeySequence("Ctrl+R") << "openReplaceDialog";
    QTest::newRow("Ctrl+R history: send again") << 4 << QKeySequence("Ctrl+R") << "Remmettre1";
    QTest::newRow("Ctrl+M contacts: modify") << 1 << QKeySequence("Ctrl+M") << "Modifier1";
    QTest::newRow("Ctrl+M books: import") << 2 << QKeySequence("Ctrl+M") << "Importer";
    QTest::newRow("Ctrl+S contacts: delete contacts") << 1 << QKeySequence("Ctrl+S") << "Supprimer1";
    QTest::newRow("Ctrl+S books: delete book") << 2 << QKeySequence("Ctrl+S") << "Supprimer2";
    QTest::newRow("Ctrl+S history: next") << 4 << QKeySequence("Ctrl+S") << "Suivant1";
    QTest::newRow("Ctrl+N message: new") << 3 << QKeySequence("Ctrl+N") << "Nouveau1";
    QTest::newRow("Ctrl+E books: export") << 2 << QKeySequence("Ctrl+E") << "exporter";
    QTest::newRow("Ctrl+E message: save") << 3 << QKeySequence("Ctrl+E") << "Enregistrer1";
    QTest::newRow("Ctrl+Y message: send") << 3 << QKeySequence("Ctrl+Y") << "Envoyer1";
    QTest::newRow("Ctrl+F message: find") << 3 << QKeySequence("Ctrl+F") << "openFindDialog";
}

void TestMainWindow::shortcutDependsOnView()
{
    QFETCH(int, view);
    QFETCH(QKeySequence, keys);
    QFETCH(QString, reached);
    showActive();
    m_form->showView(view);
    QTest::keySequence(m_form.get(), keys);
    QCOMPARE(allLogs(), QStringList{reached});
}

void TestMainWindow::quitNeverAsks()
{
    showActive();
    m_message->plain->setPlainText(QStringLiteral("Dear &prenom&,"));
    m_form->enterContactEditing();
    QSignalSpy quit(m_form.get(), &MainWindow::quitRequested);
    for (int view = 1; view <= 4; ++view) {
        m_form->showView(view);
        QTest::keySequence(m_form.get(), QKeySequence("Ctrl+Q"));
        QCOMPARE(quit.count(), view);
    }
    QVERIFY(m_asker->questions().empty());
}

void TestMainWindow::closing_data()
{
    QTest::addColumn<bool>("editing");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QList<int>>("answers"); // Answer values, in order
    QTest::addColumn<bool>("saveSucceeds");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QStringList>("questions");
    QTest::addColumn<int>("viewAfter");
    QTest::addColumn<QStringList>("calls");

    const QString contactQ = QStringLiteral("\r\nDo you want to save the contact ?");
    const QString messageQ = QStringLiteral("\r\nDo you want to save the message ?");
    const int yes = int(Answer::Yes), no = int(Answer::No), cancel = int(Answer::Cancel);

    QTest::newRow("nothing to save: no question") << false << "" << QList<int>{} << true << true
                                                   << QStringList{} << 1 << QStringList{};
    QTest::newRow("message, Cancel: stays open on the message view")
        << false << "Hello" << QList<int>{cancel} << true << false << QStringList{messageQ} << 3 << QStringList{};
    QTest::newRow("message, No: closes unsaved")
        << false << "Hello" << QList<int>{no} << true << true << QStringList{messageQ} << 3 << QStringList{};
    QTest::newRow("message, Yes: saved and closes") << false << "Hello" << QList<int>{yes} << true << true
                                                    << QStringList{messageQ} << 3 << QStringList{"saveMessage"};
    QTest::newRow("message, Yes but not saved: stays open")
        << false << "Hello" << QList<int>{yes} << false << false << QStringList{messageQ} << 3
        << QStringList{"saveMessage"};
    QTest::newRow("contact, Cancel: stays open, message not asked")
        << true << "Hello" << QList<int>{cancel} << true << false << QStringList{contactQ} << 1 << QStringList{};
    QTest::newRow("contact, Yes: saved, closes") << true << "" << QList<int>{yes} << true << true
                                                 << QStringList{contactQ} << 1 << QStringList{"saveContact"};
    QTest::newRow("contact, Yes but refused: stays open")
        << true << "" << QList<int>{yes} << false << false << QStringList{contactQ} << 1
        << QStringList{"saveContact"};
    QTest::newRow("contact No, then message Cancel: back to the contact being edited")
        << true << "Hello" << QList<int>{no, cancel} << true << false << QStringList{contactQ, messageQ} << 1
        << QStringList{};
    QTest::newRow("contact No, then message No: closes")
        << true << "Hello" << QList<int>{no, no} << true << true << QStringList{contactQ, messageQ} << 3
        << QStringList{};
}

void TestMainWindow::closing()
{
    QFETCH(bool, editing);
    QFETCH(QString, message);
    QFETCH(QList<int>, answers);
    QFETCH(bool, saveSucceeds);
    QFETCH(bool, closes);
    QFETCH(QStringList, questions);
    QFETCH(int, viewAfter);
    QFETCH(QStringList, calls);

    showActive();
    m_form->showView(1);
    m_message->rich->setPlainText(message);
    m_message->saveSucceeds = saveSucceeds;
    m_contact->saveSucceeds = saveSucceeds;
    if (editing)
        m_form->enterContactEditing();
    for (int a : answers)
        m_asker->answerNext(Answer(a));
    clearLogs();

    QCOMPARE(m_form->close(), closes);
    QCOMPARE(m_asker->texts(), questions);
    for (const auto &q : m_asker->questions())
        QCOMPARE(q.kind, DialogKind::YesNoCancel);
    QCOMPARE(m_form->currentView(), viewAfter);
    QCOMPARE(find<QToolButton>("Btn_Message")->isChecked(), viewAfter == 3);
    QCOMPARE(find<QToolButton>("Btn_Contact")->isChecked(), viewAfter == 1);
    QCOMPARE(allLogs(), calls);
    QCOMPARE(m_form->isVisible(), !closes);
}

void TestMainWindow::updateAsksTheClosingQuestions()
{
    // The about box's update ends the program: it asks first, as closing does.
    showActive();
    m_message->plain->setPlainText(QStringLiteral("Dear &lastname&,"));
    m_asker->answerNext(Answer::Cancel);
    QVERIFY(!m_form->aboutBox()->mayEnd());
    m_asker->answerNext(Answer::No);
    QVERIFY(m_form->aboutBox()->mayEnd());
    QCOMPARE(m_asker->texts(), QStringList(2, QStringLiteral("\r\nDo you want to save the message ?")));
    QVERIFY(m_form->isVisible());
}

void TestMainWindow::contactEditingDisablesToolsAndToolBar()
{
    m_form->showView(1);
    m_form->enterContactEditing();
    QVERIFY(m_form->contactBeingEdited());
    QVERIFY(!find<QFrame>("Frame_menu1")->isEnabled());
    QVERIFY(!find<QMenu>("Outils2")->isEnabled());
    QVERIFY(!find<QMenu>("Outils1")->isEnabled());
    QVERIFY(!m_form->action("Ajouteruncontact1")->isEnabled());
    QVERIFY(find<QMenu>("Fichier1")->isEnabled());
    QVERIFY(m_form->action("Quitter")->isEnabled());

    // The contacts view reports the end of editing through its signal.
    Q_EMIT m_contact->editingEnded();
    QVERIFY(!m_form->contactBeingEdited());
    QVERIFY(find<QFrame>("Frame_menu1")->isEnabled());
    QVERIFY(find<QMenu>("Outils2")->isEnabled());
    QVERIFY(m_form->action("Ajouteruncontact1")->isEnabled());
}

void TestMainWindow::importCanBeDisabled()
{
    m_form->disableImport();
    m_form->showView(2);
    QVERIFY(!m_form->action("Importer")->isEnabled());
    QVERIFY(!find<QToolButton>("importer")->isEnabled());
    QVERIFY(m_form->action("exporter")->isEnabled());
}

void TestMainWindow::findNext_data()
{
    QTest::addColumn<bool>("formatted");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("selectFrom");
    QTest::addColumn<int>("selectTo");
    QTest::addColumn<QString>("search");
    QTest::addColumn<int>("found");
    QTest::addColumn<bool>("notFoundNotice");

    const QString body = QStringLiteral("abc Abc abc");
    QTest::newRow("plain: from the start") << false << body << 0 << 0 << "abc" << 0 << false;
    QTest::newRow("plain: after the selection") << false << body << 0 << 3 << "abc" << 8 << false;
    QTest::newRow("plain: case matters") << false << body << 0 << 0 << "Abc" << 4 << false;
    QTest::newRow("plain: end of text") << false << body << 8 << 11 << "abc" << -1 << true;
    QTest::newRow("plain: empty search does nothing") << false << body << 2 << 5 << "" << -1 << false;
    QTest::newRow("formatted: after the selection") << true << body << 4 << 7 << "abc" << 8 << false;
    QTest::newRow("formatted: not there") << true << body << 0 << 0 << "xyz" << -1 << true;
}

void TestMainWindow::findNext()
{
    QFETCH(bool, formatted);
    QFETCH(QString, text);
    QFETCH(int, selectFrom);
    QFETCH(int, selectTo);
    QFETCH(QString, search);
    QFETCH(int, found);
    QFETCH(bool, notFoundNotice);

    m_message->rich->setVisible(formatted);
    m_message->plain->setVisible(!formatted);
    QTextDocument *doc = formatted ? m_message->rich->document() : m_message->plain->document();
    doc->setPlainText(text);
    const auto select = [&] {
        QTextCursor c(doc);
        c.setPosition(selectFrom);
        c.setPosition(selectTo, QTextCursor::KeepAnchor);
        if (formatted)
            m_message->rich->setTextCursor(c);
        else
            m_message->plain->setTextCursor(c);
    };
    const auto selection = [&] {
        return formatted ? m_message->rich->textCursor() : m_message->plain->textCursor();
    };
    m_message->searchText = search;
    m_form->showView(3);

    select();
    QCOMPARE(m_form->findNext(search), found);
    if (found < 0) {
        QCOMPARE(selection().selectionStart(), selectFrom);
        QCOMPARE(selection().selectionEnd(), selectTo);
    } else {
        QCOMPARE(selection().selectionStart(), found);
        QCOMPARE(selection().selectedText(), search);
    }

    // F3 does the same search and reports a miss.
    select();
    m_form->action("occurence")->trigger();
    QCOMPARE(m_asker->texts(), notFoundNotice ? QStringList{"String not found"} : QStringList{});
    QCOMPARE(selection().selectionStart(), found < 0 ? selectFrom : found);
}

void TestMainWindow::findCommandsNeedAnEditor()
{
    m_form->showView(3);
    m_message->noEditor = true;
    m_form->action("chercher1")->trigger();
    m_form->action("remplacer")->trigger();
    const QString notice = QStringLiteral("For find or replace, u should be on source mode");
    QCOMPARE(m_asker->texts(), (QStringList{notice, notice}));
    QCOMPARE(m_asker->questions().front().kind, DialogKind::Ok);
    QVERIFY(!m_message->log.contains("openFindDialog"));

    m_message->noEditor = false;
    m_asker->clear();
    m_form->action("chercher1")->trigger();
    QCOMPARE(m_message->log.last(), QStringLiteral("openFindDialog"));
    QVERIFY(m_asker->questions().empty());
}

void TestMainWindow::errorTextsStayFrench_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("10") << 10 << "Impossible de vider les edit box";
    QTest::newRow("201") << 201 << "Une erreur lors de l'ajout d'un nouveau annuaire";
    QTest::newRow("unknown code: empty") << 999 << "";
}

void TestMainWindow::errorTextsStayFrench()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    m_form->showError(code);
    QCOMPARE(m_asker->questions().size(), std::size_t(1));
    QCOMPARE(m_asker->questions().front().kind, DialogKind::Error);
    QCOMPARE(m_asker->questions().front().text, text);
}

void TestMainWindow::languagePassShowsEnglish()
{
    MainWindow form(nullptr, {}, m_asker.get());
    auto *file = form.findChild<QMenu *>("Fichier1");
    auto *history = form.findChild<QToolButton *>("Btn_historique");
    // Built with the design texts...
    QCOMPARE(file->title(), QStringLiteral("&Fichier"));
    QCOMPARE(history->text(), QStringLiteral("Historique"));

    LanguagePass pass;
    pass.add(QStringLiteral("Form1"), [&form](int language) { form.applyLanguage(language); });
    QCOMPARE(pass.apply(), QStringList{"Form1"});

    // ...shown in English after the pass.
    QCOMPARE(file->title(), QStringLiteral("&File"));
    QCOMPARE(history->text(), QStringLiteral("History"));
    QCOMPARE(form.action("Quitter")->text(), QStringLiteral("Exit"));
    QCOMPARE(form.action("Quitter")->shortcut(), QKeySequence("Ctrl+Q"));
    QCOMPARE(form.findChild<QMenu *>("Outils2")->title(), QStringLiteral("&Tools"));
    QCOMPARE(form.action("Ddoublonner1")->text(), QStringLiteral("Double checks"));
    QCOMPARE(form.findChild<QToolButton *>("dedoublonner")->toolTip(),
             QStringLiteral("De-double the following contacts accordimg to some criteria"));
    QCOMPARE(form.action("Prcedent1")->text(), QStringLiteral("Previous message"));
    QCOMPARE(form.notFoundText(), QStringLiteral("String not found"));
    QCOMPARE(form.findChild<QPushButton *>("Btn_Fermer")->text(), QStringLiteral("Close"));
}

void TestMainWindow::htmlViewsHaveNoContextMenu()
{
    struct Counting : QTextBrowser {
        int menus = 0;
        void contextMenuEvent(QContextMenuEvent *) override { ++menus; }
    };
    struct CountingEdit : QTextEdit {
        int menus = 0;
        void contextMenuEvent(QContextMenuEvent *) override { ++menus; }
    };
    Counting browser;
    CountingEdit editor;
    QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
    QApplication::sendEvent(browser.viewport(), &request);
    QApplication::sendEvent(editor.viewport(), &request);
    QCOMPARE(browser.menus, 0);
    QCOMPARE(editor.menus, 1);
}

void TestMainWindow::helpOpensTheShippedPage()
{
    QList<QUrl> opened;
    m_form->openUrl = [&opened](const QUrl &url) {
        opened << url;
        return true;
    };
    showActive();
    for (int view = 1; view <= 4; ++view) {
        m_form->showView(view);
        QTest::keyClick(m_form.get(), Qt::Key_F1);
    }
    QCOMPARE(opened.size(), 4);
    QVERIFY(opened.front().isLocalFile());
    QVERIFY(opened.front().path().endsWith(QLatin1String("/documentation/index.htm")));
    QVERIFY(m_asker->questions().empty());

    // A desktop without any viewer: the user is told where the page is.
    m_form->openUrl = [](const QUrl &) { return false; };
    QTest::keyClick(m_form.get(), Qt::Key_F1);
    QCOMPARE(m_asker->questions().size(), std::size_t(1));
    QCOMPARE(m_asker->questions().front().kind, DialogKind::Ok);
    QVERIFY(m_asker->texts().front().startsWith(QStringLiteral("No program could open the help page:\n")));
    QVERIFY(m_asker->texts().front().endsWith(QDir::toNativeSeparators(MainWindow::helpFile())));

    // The page lies beside the built program, where help looks for it.
    const QString bin = qEnvironmentVariable("KIRVANE_BIN_DIR");
    if (bin.isEmpty())
        QSKIP("run through ctest to know where the program is built");
    QVERIFY(QFile::exists(bin + QStringLiteral("/documentation/index.htm")));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
