#include "texts/errorcodes.h"
#include "texts/texttable.h"

#include <QSet>
#include <QTest>

using namespace kirvane::texts;
namespace texts = kirvane::texts;

class TextsTest : public QObject {
    Q_OBJECT

private slots:
    void entryTexts_data();
    void entryTexts();
    void tableShape();
    void activeLanguageIsEnglish();
    void multiLineEntries();
    void designTextLookup_data();
    void designTextLookup();
    void fieldListsAndPlaceholders();
    void buttonTemplates();
    void errorTexts_data();
    void errorTexts();
};

// Texts checked character for character in both languages: the entries whose
// number is fixed, and a sample of the others (accents, trailing and doubled
// spaces, both kinds of line break).
void TextsTest::entryTexts_data()
{
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("french");
    QTest::addColumn<QString>("english");

    const auto row = [](const char *name, int entry, const char *fr, const char *en) {
        QTest::newRow(name) << entry << QString::fromUtf8(fr) << QString::fromUtf8(en);
    };
    row("0 duplicates caption", 0, "Dédoublonner", "Double checks");
    row("3 no result", 3, "Aucun résultat trouvé.", "No result found.");
    row("20 book", 20, "Annuaire", "Directory");
    row("22 deleted books, three lines", 22,
        "Les annuaires suivants ont été effacés.\n\rVoulez-vous les supprimer de la liste des annuaires\n\rde destination du courrier ?",
        "The following directories have been erased.\n\rDo want you to delete them from the list of\n\rthe recipient directory?");
    row("25 ok", 25, "Valider", "Ok");
    row("27 yes", 27, "Oui", "Yes");
    row("28 no", 28, "Non", "No");
    row("35 close", 35, "Fermer", "Close");
    row("56 contact exists, space before the break", 56,
        "Un contact avec le nom et le prénom \n\rindiqués existe déjà.",
        "A contact with same last name and first name\n\ralready exists.");
    row("134 cannot connect", 134, "Connexion impossible. Le serveur est peut être éteint ou ne répond pas.",
        "Can't connect. The server may be switched off or does not answer.");
    row("257 active book", 257, "Nom de l'annuaire actif", "Active directory name");
    row("258 book members", 258, "Membres de l'annuaire", "Directory members");
    row("284 file menu", 284, "&Fichier", "&File");
    row("285 quit", 285, "&Quitter", "Exit");
    row("332 error", 332, "Erreur.", "Error");

    row("cancel", texts::ButtonCancel, "Annuler", "Cancel");
    row("history view button", texts::ViewHistory, "Historique", "History");
    row("books view button", texts::ViewBooks, "Annuaires", "Directory");
    row("save contact question, own CR LF", texts::AskSaveContact,
        "\r\nVoulez-vous enregistrer le contact en cours ?", "\r\nDo you want to save the contact ?");
    row("attribute loss, CR LF in French only", texts::AskLoseAttributes,
        "Vous allez perdre les attributs de votre texte.\r\nVoulez-vous passer en texte brut ?",
        "You will lose the attributes of your texte. Do you want to pass in plain text?");
    row("import page 1, doubled and edge spaces", texts::ImportPage1,
        "Cet assistant vous permet  de spécifier les détails de l'importation\n\rque vous souhaitez effectuer.\n\rDe quel format est le fichier ?",
        "This assistant allows you to specify the details of the importation \n\rwhich you wish to do.\n\r What is the type of the file ?");
    row("previous-message hint, trailing space", texts::HintPreviousMessage, "Passer au message précedent ", "Previous message");
    row("log book label, English trailing space", texts::LogBook, "Annuaire :", "Directory : ");
    row("log sent, no French trailing space", texts::LogSent, "Message transmis à", "Message send to ");
    row("replace by", texts::ReplaceBy, "Remplacer par", "Replace by ");
    row("packets box", texts::SettingsPackets, "Activer l'envoi des messages par paquets",
        "Begin sending groups of messages at several different times ");
    row("contacts deletion, break in both", texts::AskDeleteContacts,
        "Voulez-vous supprimer le ou les\n\rcontacts sélectionnés ?", "Do you want to remove the \n\rselected contact(s)?");
    row("csv field twice", texts::CsvFieldTwice, "Vous avez specifié deux fois le même champ.", "You have specified twice the same field. ");
    row("book name characters", texts::BookNameCharacters,
        "Le nom d'un annuaire ne peut contenir un des caractères suivants: \n\r \\ / : * ' ? \" < > |",
        "The name of a directory cannot contain one of the following characters/items: \n\r \\ /: * '? \"< > |");
    row("subscribers notice", texts::SubscribersUndeletable,
        "Vous ne pouvez pas supprimer l'annuaire \n\r\"subscribers\".", "You cannot delete the directory \"subscribers\".");
    row("copy proposal", texts::CopyBookProposal, "an_Copie de", "an_Copy of ");
    row("first-name placeholder", texts::PlaceholderFirstName, "&prenom&", "&lastname&");
    row("free-field placeholder", texts::PlaceholderFree4, "&champ_4&", "&Field_4&");
    row("forwarding notice", texts::SyncForwarding,
        "Le message suivant est envoyé vers l'adresse de redirection\n\rcar il n'est pas conforme.",
        "Incorrect message, it will be sent to the redirection address .");
    row("menu previous message", texts::MenuPreviousMessage, "Précedent", "Previous message");
}

void TextsTest::entryTexts()
{
    QFETCH(int, entry);
    QFETCH(QString, french);
    QFETCH(QString, english);
    QCOMPARE(texts::text(entry, texts::French), french);
    QCOMPARE(texts::text(entry, texts::English), english);
}

void TextsTest::tableShape()
{
    QCOMPARE(texts::EntryCount, 369);
    QVERIFY(texts::isUsed(0));
    QVERIFY(texts::isUsed(332));

    // Outside the table and outside the two languages there is no text.
    QVERIFY(texts::text(texts::EntryCount, texts::English).isEmpty());
    QVERIFY(texts::text(-1, texts::French).isEmpty());
    QVERIFY(texts::text(25, 0).isEmpty());
    QVERIFY(texts::text(25, 3).isEmpty());
    QVERIFY(!texts::isUsed(texts::EntryCount));

    // An entry is used in both languages or in neither, and each pair of
    // texts is kept once: a control with the same texts shares the entry.
    QSet<QString> pairs;
    int used = 0;
    for (int entry = 0; entry < texts::EntryCount; ++entry) {
        const QString french = texts::text(entry, texts::French);
        const QString english = texts::text(entry, texts::English);
        QVERIFY2(french.isEmpty() == english.isEmpty(), qPrintable(QString::number(entry)));
        if (!texts::isUsed(entry))
            continue;
        ++used;
        const QString pair = french + QChar(0) + english;
        QVERIFY2(!pairs.contains(pair), qPrintable(QStringLiteral("entry %1 repeats a pair").arg(entry)));
        pairs.insert(pair);
    }
    QVERIFY(used > 280);
}

void TextsTest::activeLanguageIsEnglish()
{
    QCOMPARE(texts::ActiveLanguage, texts::English);
    for (int entry = 0; entry < texts::EntryCount; ++entry)
        QCOMPARE(texts::text(entry), texts::text(entry, texts::English));
    QCOMPARE(texts::text(texts::ButtonOk), QStringLiteral("Ok"));
}

void TextsTest::multiLineEntries()
{
    QCOMPARE(texts::LineSeparator, QStringView(u"\n\r"));
    QCOMPARE(texts::lines(texts::DeletedDestinationBooks),
             QStringList({QStringLiteral("The following directories have been erased."),
                          QStringLiteral("Do want you to delete them from the list of"),
                          QStringLiteral("the recipient directory?")}));
    QCOMPARE(texts::lines(texts::NewBookName, texts::French).size(), 2);
    QCOMPARE(texts::lines(texts::NewBookName, texts::English).size(), 1);
    QCOMPARE(texts::lines(texts::ButtonOk), QStringList({QStringLiteral("Ok")}));
    // A CR LF of a text's own is not the table's separator.
    QCOMPARE(texts::lines(texts::AskSaveMessage).size(), 1);
}

void TextsTest::designTextLookup_data()
{
    QTest::addColumn<QString>("design");
    QTest::addColumn<int>("entry");
    QTest::addColumn<QString>("english");

    QTest::newRow("ok button") << QStringLiteral("Valider") << int(texts::ButtonOk) << QStringLiteral("Ok");
    QTest::newRow("design CR LF finds LF CR entry")
        << QString::fromUtf8("Pour modifier le contact,\r\nil est nécessaire de passer en mode modification.")
        << int(texts::ContactNotEditable) << QStringLiteral("To modify the contact,\n\rit is necessary to use the modification mode");
    QTest::newRow("design LF CR as stored")
        << QString::fromUtf8("Un contact avec le nom et le prénom \n\rindiqués existe déjà.") << 56
        << QStringLiteral("A contact with same last name and first name\n\ralready exists.");
    QTest::newRow("own CR LF")
        << QStringLiteral("\r\nVoulez-vous enregistrer le message en cours ?") << int(texts::AskSaveMessage)
        << QStringLiteral("\r\nDo you want to save the message ?");
    QTest::newRow("shared French, first entry") << QString::fromUtf8("Précedent") << int(texts::ButtonPrevious)
                                                << QStringLiteral("Previous");
    QTest::newRow("kept as written") << QStringLiteral("Liste des titres") << -1 << QStringLiteral("Liste des titres");
    QTest::newRow("letter case counts") << QStringLiteral("valider") << -1 << QStringLiteral("valider");
    QTest::newRow("trailing space counts") << QStringLiteral("Annuler ") << -1 << QStringLiteral("Annuler ");
    QTest::newRow("empty") << QString() << -1 << QString();
}

void TextsTest::designTextLookup()
{
    QFETCH(QString, design);
    QFETCH(int, entry);
    QFETCH(QString, english);
    QCOMPARE(texts::findFrench(design), entry);
    QCOMPARE(texts::translate(design), english);
    // Under French the table's own wording comes back (LF CR for a design CR LF).
    const QString french = texts::translate(design, texts::French);
    QCOMPARE(french, entry < 0 ? design : texts::text(entry, texts::French));
}

void TextsTest::fieldListsAndPlaceholders()
{
    const auto choices = texts::mappingChoices();
    QCOMPARE(choices.size(), std::size_t(19));
    QCOMPARE(texts::text(choices.front(), texts::French), QString::fromUtf8("Inutilisé"));
    QCOMPARE(texts::text(choices.back()), QStringLiteral("Field 4"));
    QSet<int> distinct(choices.begin(), choices.end());
    QCOMPARE(distinct.size(), 19);

    // Every contact slot but the id (0) and the comment (13) has one
    // placeholder, and its menu caption is one of the mapping choices.
    const auto placeholders = texts::placeholders();
    QCOMPARE(placeholders.size(), std::size_t(17));
    QSet<int> seenSlots;
    for (const auto &p : placeholders) {
        seenSlots.insert(p.slot);
        QVERIFY(distinct.contains(p.menu));
        for (int language : {texts::French, texts::English}) {
            const QString word = texts::text(p.word, language);
            QVERIFY2(word.size() > 2 && word.startsWith(u'&') && word.endsWith(u'&'), qPrintable(word));
        }
    }
    QCOMPARE(seenSlots.size(), 17);
    QVERIFY(!seenSlots.contains(0));
    QVERIFY(!seenSlots.contains(13));
    QCOMPARE(texts::text(placeholders.front().word, texts::French), QStringLiteral("&titre&"));
    QCOMPARE(placeholders.front().slot, 12);
}

void TextsTest::buttonTemplates()
{
    QCOMPARE(QByteArray(texts::templateFor("Btn_Valider_fr", texts::English)), QByteArray("Btn_Valider_uk"));
    QCOMPARE(QByteArray(texts::templateFor("Btn_Valider_fr", texts::French)), QByteArray("Btn_Valider_fr"));
    QCOMPARE(texts::templateFor("Btn_Inconnu_fr", texts::English), nullptr);

    // A button takes the template of its caption's role.
    QCOMPARE(QByteArray(texts::templateForButton(u"Valider")->french), QByteArray("Btn_Valider_fr"));
    QCOMPARE(QByteArray(texts::templateForButton(u"Arrêter et enregistrer")->french),
             QByteArray("Btn_arret_sauvegarde_fr"));
    QCOMPARE(texts::templateForButton(u"Liste des titres"), nullptr);

    QSet<QByteArray> names;
    for (const auto &t : texts::buttonTemplates()) {
        QVERIFY(texts::isUsed(t.caption));
        names << t.french << t.english;
    }
    // The preparation copies only between templates that exist.
    for (const auto &copy : texts::templatePreparation()) {
        QVERIFY2(names.contains(copy.from), copy.from);
        QVERIFY2(names.contains(copy.to), copy.to);
    }
}

void TextsTest::errorTexts_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("10 contact form") << 10 << QStringLiteral("Impossible de vider les edit box");
    QTest::newRow("112 contact list") << 112 << QStringLiteral("Erreur en actualisant la liste des contacts");
    QTest::newRow("201 create") << 201 << QStringLiteral("Une erreur lors de l'ajout d'un nouveau annuaire");
    QTest::newRow("202 rename") << 202 << QStringLiteral("Une erreur en renommant un annuaire");
    QTest::newRow("203 delete") << 203 << QStringLiteral("Une erreur lors de la suppression d'un annuaire");
    QTest::newRow("205 copy") << 205 << QStringLiteral("Une erreur lors de la copie d'un annuaire");
    QTest::newRow("204 has no text") << 204 << QString();
    QTest::newRow("0 has no text") << 0 << QString();
    QTest::newRow("negative") << -1 << QString();
}

void TextsTest::errorTexts()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(errorText(code), text);
    // French whatever the language: the codes are not in the text table.
    if (!text.isEmpty())
        QCOMPARE(texts::findFrench(text), -1);
}

QTEST_APPLESS_MAIN(TextsTest)
#include "tst_texts.moc"
