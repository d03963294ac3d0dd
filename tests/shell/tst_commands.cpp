// Every menu item and tool-bar button of the four views as the user sees it:
// its caption in both languages, its shortcut, the button that shares its
// action and that button's hint, and the menu it sits in. The rows are written
// out here by hand, apart from the program's own command table, so that a slip
// in that table shows up as a difference.

#include "shell/mainwindow.h"
#include "shell/toolbarframe.h"
#include "texts/texttable.h"
#include "texts/asker.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

using namespace kirvane::shell;
using namespace kirvane::texts;
using namespace kirvane::ui;
namespace texts = kirvane::texts;

class TestCommands : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void commands_data();
    void commands();
    void nothingElseInTheMenusAndToolBars();
    void menuTitles_data();
    void menuTitles();
    void viewButtons_data();
    void viewButtons();
    void editCommandsActOnTheFocusedField_data();
    void editCommandsActOnTheFocusedField();

private:
    struct Row {
        int view;
        const char *item;   // nullptr: a tool-bar button alone
        const char *menu;   // the menu's French title
        const char *french;
        const char *english;
        const char *keys;
        const char *button; // nullptr: a menu item alone
        const char *hintFr;
        const char *hintEn;
    };
    static const QList<Row> &rows();

    ScriptedAsker m_asker;
    std::unique_ptr<MainWindow> m_french;
    std::unique_ptr<MainWindow> m_english;
};

const QList<TestCommands::Row> &TestCommands::rows()
{
    static const QList<Row> table = [] {
        QList<Row> r;
        const auto fileEdit = [&r](int view, const char *quit, const char *cut, const char *copy, const char *paste) {
            r << Row{view, quit, "&Fichier", "&Quitter", "Exit", "Ctrl+Q", nullptr, "", ""}
              << Row{view, cut, "&Edition", "Couper", "Cut", "Ctrl+X", nullptr, "", ""}
              << Row{view, copy, "&Edition", "Copier", "Copy", "Ctrl+C", nullptr, "", ""}
              << Row{view, paste, "&Edition", "Coller", "Paste", "Ctrl+V", nullptr, "", ""};
        };
        const auto settingsHelp = [&r](int view, const char *connection, const char *help, const char *about) {
            r << Row{view, connection, "&Configuration", "&Connexion", "Connection", "", nullptr, "", ""}
              << Row{view, help, "Aide", "Aide Kirvane", "Kirvane Help", "F1", nullptr, "", ""}
              << Row{view, about, "Aide", "A Propos", "About", "", nullptr, "", ""};
        };

        fileEdit(1, "Quitter", "Couper1", "Copier1", "Coller1");
        r << Row{1, "Ddoublonner1", "Fonc&tions", "Dédou&blonner", "Double checks", "Ctrl+B", "dedoublonner",
                 "Dédoublonner les contacts suivant certains critères",
                 "De-double the following contacts accordimg to some criteria"}
          << Row{1, "Rechercher1", "Fonc&tions", "&Rechercher un contact", "Search a contact", "Ctrl+R", "rechercher",
                 "Rechercher des contacts dans les annuaires", "Search contacts in directories"}
          << Row{1, "Ajouteruncontact1", "Fonc&tions", "&Ajouter", "Add", "Ctrl+N", "Ajouter",
                 "Ajouter un contact dans l'annuaire sélectionné", "Add a contact in the selected directory"}
          << Row{1, "Copieruncontact1", "Fonc&tions", "&Copier", "Copy", "", "Copier",
                 "Copier le ou les contacts sélectionnés", "Copy selected contact(s)"}
          << Row{1, "Dplacer1", "Fonc&tions", "&Déplacer", "Move", "Ctrl+D", "Deplacer",
                 "Déplacer le ou les contacts sélectionnés", "Move selected contact(s)"}
          << Row{1, "Modifier1", "Fonc&tions", "&Modifier", "Modify", "Ctrl+M", "Modifier",
                 "Modifier le contact sélectionné", "Modify the selected contact"}
          << Row{1, "Supprimer1", "Fonc&tions", "&Supprimer", "Delete", "Ctrl+S", "Supprimer",
                 "Supprimer le ou les contacts sélectionnés", "Remove selected contact(s)"}
          << Row{1, "Imprimer1", "Fonc&tions", "&Imprimer", "Print", "Ctrl+I", "Imprimer",
                 "Imprimer les contacts sélectionnés", "Print selected contacts"}
          << Row{1, "titre1", "&Configuration", "&Titres", "Title", "Ctrl+T", nullptr, "", ""};
        settingsHelp(1, "Configuration_menu", "AideKirvane1", "Apropos1");

        fileEdit(2, "Quitter1", "Couper2", "Copier2", "Coller2");
        r << Row{2, "Ajouter1", "Fonc&tions", "&Ajouter", "Add", "Ctrl+N", "Ajouter_annuaire",
                 "Ajouter un annuaire", "Add a directory book"}
          << Row{2, "Dupliquer1", "Fonc&tions", "&Dupliquer", "Duplicate", "Ctrl+D", "Dupliquer_annuaire",
                 "Dupliquer un annuaire", "Duplicate a directory"}
          << Row{2, "Renommer1", "Fonc&tions", "&Renommer", "Rename", "Ctrl+R", "Renommer_annuaire",
                 "Renommer un annuaire", "Rename a directory"}
          << Row{2, "Renommerleschamps1", "Fonc&tions", "Renommer les champs", "Rename fields", "Ctrl+L",
                 "renommer_champs", "Renommer les champs modifiables d'un annuaire",
                 "Rename customized fields of a directory"}
          << Row{2, "Supprimer2", "Fonc&tions", "&Supprimer", "Delete", "Ctrl+S", "Supprimer_annuaire",
                 "Supprimer un annuaire", "Delete a directory"}
          << Row{2, "Synchroniser1", "Fonc&tions", "&Synchroniser", "Synchronize", "Ctrl+Y", "Synchroniser_annuaire",
                 "Synchroniser le logiciel avec le site pour récupérer les contacts inscrits en ligne",
                 "Synchronize Kirvane with the website to download new subscribers/unsubscribers"}
          << Row{2, "Importer", "Fonc&tions", "I&mporter", "Import", "Ctrl+M", "importer",
                 "Importer un fichier dans un annuaire", "Import a file to a directory"}
          << Row{2, "exporter", "Fonc&tions", "Ex&porter", "Export", "Ctrl+E", "exporter",
                 "Exporter un annuaire vers un fichier CSV", "Export directory to a csv file"};
        settingsHelp(2, "Connexion1", "Aide1", "Apropos2");

        fileEdit(3, "Quitter3", "Couper3", "Copier3", "Coller3");
        r << Row{3, "chercher1", "&Edition", "C&hercher vers le bas", "Search", "Ctrl+F", nullptr, "", ""}
          << Row{3, "occurence", "&Edition", "Occurence suivante", "Next", "F3", nullptr, "", ""}
          << Row{3, "remplacer", "&Edition", "Remplacer vers le bas", "Replace", "Ctrl+R", nullptr, "", ""}
          << Row{3, "Nouveau1", "&Fichier", "&Nouveau", "New", "Ctrl+N", "Nouveau_message",
                 "Effacer toutes les informations du message en cours de réalisation", "Delete the current message"}
          << Row{3, "Charger1", "&Fichier", "&Ouvrir", "Open", "Ctrl+O", "charger", "Ouvrir un message sauvegardé",
                 "Open a saved message"}
          << Row{3, "Enregistrer1", "&Fichier", "&Enregistrer", "Save", "Ctrl+E", "Enregistrer_message",
                 "Enregistrer le message créé", "Save the new message"}
          << Row{3, "Envoyer1", "&Fichier", "Envo&yer", "Send", "Ctrl+Y", "Envoyer_message",
                 "Envoyer le message réalisé", "Send the new message"}
          << Row{3, "Envoyeruntest1", "&Fichier", "Envoyer un test à moi-même", "Send a test to myself", "", nullptr, "", ""}
          << Row{3, nullptr, nullptr, "Gérer les envois", "Manage sendings", "", "continuer_envoi",
                 "Gérer les envois interrompus précédemment", "Manage the previously interrupted sendings"};
        settingsHelp(3, "Configuration_menu1", "AideKirvane2", "APropos3");

        fileEdit(4, "Quitter2", "Couper4", "Copier4", "Coller4");
        r << Row{4, "Prcedent1", "Fonc&tions", "Précedent", "Previous message", "Ctrl+P", "precedent",
                 "Passer au message précedent ", "Previous message"}
          << Row{4, "Suivant1", "Fonc&tions", "Suivant", "Next", "Ctrl+S", "suivant", "Passer au message suivant",
                 "Next message"}
          << Row{4, "Remmettre1", "Fonc&tions", "Ré-émettre", "Send again", "Ctrl+R", "reemmettre",
                 "Ré-émmettre un ancien message", "Send again an old message"}
          << Row{4, nullptr, nullptr, "Supprimer", "Delete", "", "btn_supprimer", "Supprimer un ancien message",
                 "Delete an old message"};
        settingsHelp(4, "Configuration_menu2", "AideKirvane3", "APropos5");
        return r;
    }();
    return table;
}

void TestCommands::initTestCase()
{
    m_french = std::make_unique<MainWindow>(nullptr, MainViews{}, &m_asker);
    m_french->applyLanguage(texts::French);
    m_english = std::make_unique<MainWindow>(nullptr, MainViews{}, &m_asker);
    m_english->applyLanguage(texts::ActiveLanguage);
}

void TestCommands::commands_data()
{
    QTest::addColumn<int>("index");
    for (int i = 0; i < rows().size(); ++i) {
        const Row &r = rows()[i];
        QTest::addRow("view %d %s", r.view, r.item ? r.item : r.button) << i;
    }
}

void TestCommands::commands()
{
    QFETCH(int, index);
    const Row &r = rows()[index];
    const QString name = QString::fromUtf8(r.item ? r.item : r.button);

    for (MainWindow *form : {m_french.get(), m_english.get()}) {
        const bool french = form == m_french.get();
        QAction *action = form->action(name);
        QVERIFY2(action, qPrintable(name));
        QCOMPARE(action->text(), QString::fromUtf8(french ? r.french : r.english));
        QCOMPARE(action->shortcut(), QKeySequence(QString::fromLatin1(r.keys)));

        // The menu item sits in the named menu of its view's menu bar, and in no other menu.
        QList<QMenu *> holders;
        for (int view = 1; view <= 4; ++view) {
            for (QAction *title : form->mainMenu(view)->actions()) {
                if (title->menu()->actions().contains(action))
                    holders << title->menu();
            }
        }
        if (r.item) {
            QCOMPARE(holders.size(), 1);
            QVERIFY(form->mainMenu(r.view)->actions().contains(holders.front()->menuAction()));
            if (french)
                QCOMPARE(holders.front()->title(), QString::fromUtf8(r.menu));
        } else {
            QVERIFY(holders.isEmpty());
        }

        // The button shares the action, lies on its view's tool bar and shows the hint.
        if (r.button) {
            auto *button = form->findChild<QToolButton *>(QString::fromLatin1(r.button));
            QVERIFY2(button, r.button);
            QCOMPARE(button->defaultAction(), action);
            QCOMPARE(button->parentWidget(), form->menuFrame()->toolBar(r.view));
            QCOMPARE(button->toolTip(), QString::fromUtf8(french ? r.hintFr : r.hintEn));
            QVERIFY(!button->icon().isNull());
        }
    }
}

void TestCommands::nothingElseInTheMenusAndToolBars()
{
    for (int view = 1; view <= 4; ++view) {
        QSet<QString> listedItems, listedButtons;
        for (const Row &r : rows()) {
            if (r.view != view)
                continue;
            if (r.item)
                listedItems << QString::fromLatin1(r.item);
            if (r.button)
                listedButtons << QString::fromLatin1(r.button);
        }
        QSet<QString> items;
        for (QAction *title : m_english->mainMenu(view)->actions()) {
            for (QAction *a : title->menu()->actions())
                items << a->objectName();
        }
        QCOMPARE(items, listedItems);
        QSet<QString> buttons;
        QToolBar *bar = m_english->menuFrame()->toolBar(view);
        for (QAction *a : bar->actions())
            buttons << bar->widgetForAction(a)->objectName();
        QCOMPARE(buttons, listedButtons);
    }
}

void TestCommands::menuTitles_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("french");
    QTest::addColumn<QString>("english");
    QTest::newRow("file") << "Fichier1" << "&Fichier" << "&File";
    QTest::newRow("edit") << "Edition3" << "&Edition" << "Edit";
    QTest::newRow("tools of the contacts view") << "Outils2" << "Fonc&tions" << "&Tools";
    QTest::newRow("tools of the history view") << "Fonctions4" << "Fonc&tions" << "&Tools";
    QTest::newRow("configuration of the contacts view") << "Outils1" << "&Configuration" << "Configuration";
    QTest::newRow("help") << "MenuAide2" << "Aide" << "Help";
}

void TestCommands::menuTitles()
{
    QFETCH(QString, menu);
    QFETCH(QString, french);
    QFETCH(QString, english);
    QCOMPARE(m_french->findChild<QMenu *>(menu)->title(), french);
    QCOMPARE(m_english->findChild<QMenu *>(menu)->title(), english);
}

void TestCommands::viewButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("french");  // caption, hint
    QTest::addColumn<QStringList>("english");
    QTest::newRow("contacts") << "Btn_Contact"
                              << QStringList{"Contact", "Gérer la liste des contacts de chaque annuaire"}
                              << QStringList{"Contact", "Manage the contact list of each directory"};
    QTest::newRow("address books") << "Btn_Annuaire" << QStringList{"Annuaires", "Gérer la liste des annuaires"}
                                   << QStringList{"Directory", "Manage the directories list"};
    QTest::newRow("message") << "Btn_Message"
                             << QStringList{"Message", "Créer, charger, enregistrer et envoyer des messages"}
                             << QStringList{"Message", "Create, load, save and send messages"};
    QTest::newRow("history") << "Btn_historique"
                             << QStringList{"Historique", "Visualiser l'historique des messages envoyés"}
                             << QStringList{"History", "Show the history of the messages sent"};
}

void TestCommands::viewButtons()
{
    QFETCH(QString, button);
    QFETCH(QStringList, french);
    QFETCH(QStringList, english);
    for (MainWindow *form : {m_french.get(), m_english.get()}) {
        const QStringList &expected = form == m_french.get() ? french : english;
        auto *b = form->findChild<QToolButton *>(button);
        QVERIFY(b);
        QCOMPARE(b->parentWidget()->objectName(), QStringLiteral("Panel1_Btn_Menu"));
        QCOMPARE(b->text(), expected[0]);
        QCOMPARE(b->toolTip(), expected[1]);
        QVERIFY(!b->icon().isNull());
    }
}

// Each Edit item runs its own operation on the field that has the focus.
void TestCommands::editCommandsActOnTheFocusedField_data()
{
    QTest::addColumn<int>("view");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("fieldAfter");
    QTest::addColumn<QString>("clipboardAfter");
    for (int view = 1; view <= 4; ++view) {
        const QString n = QString::number(view);
        QTest::addRow("cut, view %d", view) << view << QStringLiteral("Couper") + n << QString() << QStringLiteral("typed");
        QTest::addRow("copy, view %d", view) << view << QStringLiteral("Copier") + n << QStringLiteral("typed") << QStringLiteral("typed");
        QTest::addRow("paste, view %d", view) << view << QStringLiteral("Coller") + n << QStringLiteral("held") << QStringLiteral("held");
    }
}

void TestCommands::editCommandsActOnTheFocusedField()
{
    QFETCH(int, view);
    QFETCH(QString, item);
    QFETCH(QString, fieldAfter);
    QFETCH(QString, clipboardAfter);
    QLineEdit field;
    field.setText(QStringLiteral("typed"));
    field.show();
    field.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&field));
    field.setFocus();
    field.selectAll();
    QTRY_COMPARE(QApplication::focusWidget(), &field);
    QApplication::clipboard()->setText(QStringLiteral("held"));
    m_english->showView(view); // a view's items act only while it is shown
    QAction *action = m_english->action(item);
    QVERIFY2(action, qPrintable(item));
    action->trigger();
    m_english->showView(1);
    QCOMPARE(field.text(), fieldAfter);
    QCOMPARE(QApplication::clipboard()->text(), clipboardAfter);
}

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
