// The contacts view's commands without a window: the apostrophe rule, the
// label elision, the titles file, the printed page, Add's two questions, copy
// into the book itself, the row to return to, and the book commands' notices
// (names no book can have, the protected books in any letter case).

#include "common/folders.h"
#include "contacts/contactcommands.h"
#include "contacts/contactform.h"
#include "contacts/directorycommands.h"
#include "contacts/printpage.h"
#include "contacts/titlelist.h"
#include "store/addressbookstore.h"
#include "store/booktablemodel.h"
#include "support/datafolder.h"
#include "texts/texttable.h"

#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QTest>

#include <memory>

#include <fcntl.h>
#include <unistd.h>

using namespace kirvane::common;
using namespace kirvane::contacts;
using namespace kirvane::store;
using namespace kirvane::test;
using namespace kirvane::texts;

class TestContactCommands : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void apostrophes();
    void labelElision_data();
    void labelElision();
    void titles();
    void printedPage();
    void addAsksBothQuestions_data();
    void addAsksBothQuestions();
    void modifyAsksNothing();
    void copyIntoTheBookItself();
    void rowToReturnTo_data();
    void rowToReturnTo();
    void guards();
    void bookNotices();
    void bookNameRefusals_data();
    void bookNameRefusals();

private:
    qint64 add(const QString &nom, const QString &prenom, const QString &email = {}, const QString &book = QStringLiteral("clients"));
    [[nodiscard]] QStringList names() const;

    std::unique_ptr<TestDataFolder> m_data;
    AddressBookStore *m_store = nullptr;
    ScriptedAsker m_asker;
};

void TestContactCommands::init()
{
    m_data = std::make_unique<TestDataFolder>();
    m_store = &m_data->store();
    QVERIFY(BookManager(*m_store).create(QStringLiteral("clients"), {QStringLiteral("Membre depuis"), {}, {}, {}}).ok());
    QVERIFY(BookManager(*m_store).create(QStringLiteral("archive"), {}).ok());
    m_asker.clear();
}

void TestContactCommands::cleanup()
{
    m_store = nullptr;
    m_data.reset();
}

qint64 TestContactCommands::add(const QString &nom, const QString &prenom, const QString &email, const QString &book)
{
    ContactRecord c = emptyContact();
    c[F_nom].value = nom;
    c[F_prenom].value = prenom;
    c[F_email].value = email;
    return m_store->contacts().addContact(c, book);
}

QStringList TestContactCommands::names() const
{
    QStringList n;
    const BookTableModel *m = m_store->currentBookModel();
    for (int r = 0; r < m->rowCount(); ++r)
        n << m->text(r, F_nom);
    return n;
}

void TestContactCommands::apostrophes()
{
    ContactRecord c = emptyContact();
    for (int k = 1; k < kContactFields; ++k)
        c[k].value = QStringLiteral("o'neil");
    c[F_email].value = QStringLiteral("o'neil@example.org");
    c[F_url].value = QStringLiteral("http://example.org/o'neil");
    QVERIFY(replaceApostrophes(c));
    const QString replaced = QStringLiteral("o\u2019neil");
    for (int k : {F_nom, F_prenom, F_code_postal, F_ville, F_adresse1, F_adresse2, F_pays, F_tel, F_fax, F_societe,
                  F_champ16, F_champ17, F_champ18, F_champ19})
        QCOMPARE(c[k].value, replaced);
    // Addresses keep theirs; the title and notes are not single-line edits.
    QCOMPARE(c[F_email].value, QStringLiteral("o'neil@example.org"));
    QCOMPARE(c[F_url].value, QStringLiteral("http://example.org/o'neil"));
    QCOMPARE(c[F_civilite].value, QStringLiteral("o'neil"));
    QCOMPARE(c[F_commentaire].value, QStringLiteral("o'neil"));
    QVERIFY(!replaceApostrophes(c));
}

void TestContactCommands::labelElision_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("shown");
    // One unit per character: the text fits when its length is at most the width.
    QTest::newRow("fits") << "Champ 1" << 7 << "Champ 1";
    QTest::newRow("one too wide") << "Champ 12" << 7 << "Champ.";
    QTest::newRow("strictly inside") << "Membre depuis" << 8 << "Membre.";
    QTest::newRow("nothing fits") << "Anniversaire" << 1 << ".";
}

void TestContactCommands::labelElision()
{
    QFETCH(QString, label);
    QFETCH(int, width);
    QFETCH(QString, shown);
    QCOMPARE(elideLabel(label, width, [](const QString &t) { return int(t.size()); }), shown);
}

void TestContactCommands::titles()
{
    TitleList file;
    QVERIFY(QFile::remove(file.path())); // the data folder starts with a list

    QCOMPARE(file.load(), QStringList()); // a missing file is an empty list

    QStringList t;
    QVERIFY(TitleList::add(t, QStringLiteral("Monsieur")));
    QVERIFY(!TitleList::add(t, QStringLiteral("MONSIEUR")));
    QVERIFY(!TitleList::add(t, QString()));
    QVERIFY(TitleList::add(t, QStringLiteral("Madame")));
    QVERIFY(TitleList::add(t, QStringLiteral("Maître")));
    QVERIFY(file.save(t));
    QFile raw(file.path());
    QVERIFY(raw.open(QIODevice::ReadOnly));
    QCOMPARE(raw.readAll(), QByteArray("Monsieur\r\nMadame\r\nMa\xEEtre\r\n"));
    QCOMPARE(file.load(), t);

    // A contact's title that the list lacks stays a choice for that contact.
    QCOMPARE(TitleList::choicesFor(t, QStringLiteral("Docteur")), t + QStringList{QStringLiteral("Docteur")});
    QCOMPARE(TitleList::choicesFor(t, QStringLiteral("madame")), t);
    QCOMPARE(TitleList::indexOf(t, QStringLiteral("MAÎTRE")), 2);
}

void TestContactCommands::printedPage()
{
    ContactRecord c = emptyContact();
    c[F_nom].value = QStringLiteral("<b>&");
    c[F_prenom].value = QStringLiteral("Ann");
    c[F_civilite].value = QStringLiteral("Madame");
    c[F_adresse1].value = QStringLiteral("1 rue Haute");
    c[F_champ16].value = QStringLiteral("2001");
    c[F_commentaire].value = QStringLiteral("first\r\nsecond");
    const qint64 escaped = m_store->contacts().addContact(c, QStringLiteral("clients"));
    c[F_nom].value = QStringLiteral("Plain");
    c[F_adresse2].value = QStringLiteral("Bâtiment B");
    c[F_commentaire].value.clear();
    const qint64 twoLines = m_store->contacts().addContact(c, QStringLiteral("clients"));

    const QString page = printPage(*m_store, QStringLiteral("clients"), {escaped}, English);
    const QStringList lines = page.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.mid(0, 3), (QStringList{"<HTML>", "<BODY>", "<H3>Directory : clients</H3>"}));
    QCOMPARE(lines[3], QStringLiteral("<BR><B>Name : </B>&lt;b&gt;&amp;"));
    QVERIFY(!page.contains(QStringLiteral("<b>&")));
    // No line for an empty second address line; the title is not printed.
    QVERIFY(!page.contains(QStringLiteral("<BR><B>             </B>")));
    QVERIFY(!page.contains(QStringLiteral("Madame")));
    QVERIFY(lines.contains(QStringLiteral("<BR><B>Membre depuis: </B>2001")));
    const int notes = int(lines.indexOf(QStringLiteral("<BR><B>Notes : </B>")));
    QVERIFY(notes > 0);
    QCOMPARE(lines.mid(notes + 1, 3), (QStringList{"<BR> first", "<BR> second", "<BR><HR>"}));
    QCOMPARE(lines.mid(lines.size() - 3), (QStringList{"</BODY>", "</HTML>", ""}));

    const QString second = printPage(*m_store, QStringLiteral("clients"), {twoLines}, French);
    QVERIFY(second.contains(QStringLiteral("<BR><B>Adresse : </B>1 rue Haute\r\n<BR><B>             </B>Bâtiment B\r\n<BR><B>Code post. : </B>")));
}

void TestContactCommands::addAsksBothQuestions_data()
{
    QTest::addColumn<QString>("nom");
    QTest::addColumn<QString>("email");
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<QList<int>>("kinds");
    QTest::addColumn<bool>("saved");
    const int name = int(DialogKind::SameContactName), mail = int(DialogKind::SameContactEmail);
    const int yes = int(Answer::Yes), no = int(Answer::No);
    QTest::newRow("new contact: no question") << "Other" << "other@example.org" << QList<int>{} << QList<int>{} << true;
    QTest::newRow("same name, other case: no") << "DUPONT" << "x@example.org" << QList<int>{no} << QList<int>{name} << false;
    QTest::newRow("same name: yes") << "dupont" << "x@example.org" << QList<int>{yes} << QList<int>{name} << true;
    QTest::newRow("same address: no") << "Other" << "JEAN@example.org" << QList<int>{no} << QList<int>{mail} << false;
    QTest::newRow("both: yes, no") << "Dupont" << "jean@example.org" << QList<int>{yes, no} << QList<int>{name, mail} << false;
    QTest::newRow("both: yes, yes") << "Dupont" << "jean@example.org" << QList<int>{yes, yes} << QList<int>{name, mail} << true;
    // The stored contact has an address, the third one none: no address is no duplicate.
    QTest::newRow("no address") << "Other" << "" << QList<int>{} << QList<int>{} << true;
}

void TestContactCommands::addAsksBothQuestions()
{
    QFETCH(QString, nom);
    QFETCH(QString, email);
    QFETCH(QList<int>, answers);
    QFETCH(QList<int>, kinds);
    QFETCH(bool, saved);
    add(QStringLiteral("Dupont"), QStringLiteral("Jean"), QStringLiteral("jean@example.org"));
    add(QStringLiteral("Zola"), QStringLiteral("Emile"));
    QVERIFY(m_store->openBook(QStringLiteral("clients")));
    ContactCommands commands(*m_store, m_asker);
    for (int a : answers)
        m_asker.answerNext(Answer(a));
    ContactRecord c = emptyContact();
    c[F_nom].value = nom;
    c[F_prenom].value = QStringLiteral("jean");
    c[F_email].value = email;
    const ContactCommands::SaveResult r = commands.addContact(c);
    QCOMPARE(int(m_asker.questions().size()), int(kinds.size()));
    for (int i = 0; i < kinds.size(); ++i)
        QCOMPARE(int(m_asker.questions()[i].kind), kinds[i]);
    QCOMPARE(r.outcome, saved ? ContactCommands::Outcome::Saved : ContactCommands::Outcome::Declined);
    QCOMPARE(m_store->currentBookModel()->rowCount(), saved ? 3 : 2);
    if (saved)
        QCOMPARE(m_store->currentBookModel()->text(commands.rowOf(r.id), F_nom), nom);
    if (!kinds.isEmpty() && kinds.first() == int(DialogKind::SameContactName))
        QCOMPARE(m_asker.questions()[0].text, commands.sameNameQuestion(nom, QStringLiteral("jean")));
}

void TestContactCommands::modifyAsksNothing()
{
    add(QStringLiteral("Dupont"), QStringLiteral("Jean"), QStringLiteral("jean@example.org"));
    const qint64 id = add(QStringLiteral("Martin"), QStringLiteral("Paul"), QStringLiteral("paul@example.org"));
    QVERIFY(m_store->openBook(QStringLiteral("clients")));
    ContactCommands commands(*m_store, m_asker);
    ContactRecord c = emptyContact();
    m_store->contacts().readContact(id, QStringLiteral("clients"), c);
    c[F_nom].value = QStringLiteral("d'Upont");
    c[F_prenom].value = QStringLiteral("Jean");
    c[F_email].value = QStringLiteral("jean@example.org");
    const ContactCommands::SaveResult r = commands.modifyContact(c);
    QCOMPARE(r.outcome, ContactCommands::Outcome::Saved);
    QVERIFY(m_asker.questions().empty());
    QCOMPARE(c[F_nom].value, QStringLiteral("d\u2019Upont"));
    QCOMPARE(m_store->currentBookModel()->text(commands.rowOf(id), F_nom), QStringLiteral("d\u2019Upont"));
}

void TestContactCommands::copyIntoTheBookItself()
{
    const qint64 a = add(QStringLiteral("Dupont"), QStringLiteral("Jean"), QStringLiteral("jean@example.org"));
    const qint64 b = add(QStringLiteral("Martin"), QStringLiteral("Paul"), QStringLiteral("paul@example.org"));
    QVERIFY(m_store->openBook(QStringLiteral("clients")));
    ContactCommands commands(*m_store, m_asker);
    // Each row matches itself: both questions for each; the second row is refused.
    for (Answer x : {Answer::Yes, Answer::Yes, Answer::No})
        m_asker.answerNext(x);
    const ContactCommands::Transfer t = commands.copyTo({QStringLiteral("clients")}, {a, b});
    QCOMPARE(t.taken, QList<qint64>{a});
    QVERIFY(t.reopened);
    QCOMPARE(int(m_asker.questions().size()), 3);
    // The store's conflicts become the questions, with the contact's words.
    QCOMPARE(m_asker.questions()[0].kind, DialogKind::SameContactName);
    QVERIFY(m_asker.questions()[0].text.endsWith(QStringLiteral("Dupont Jean")));
    QCOMPARE(m_asker.questions()[1].kind, DialogKind::SameContactEmail);
    QVERIFY(m_asker.questions()[1].text.endsWith(QStringLiteral("jean@example.org")));
    QVERIFY(m_asker.questions()[2].text.endsWith(QStringLiteral("Martin Paul")));
    QCOMPARE(names(), (QStringList{"Dupont", "Dupont", "Martin"}));
}

void TestContactCommands::rowToReturnTo_data()
{
    QTest::addColumn<bool>("move");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QString>("shown"); // the name shown afterwards, "" for none
    for (bool move : {false, true}) {
        const QByteArray c = move ? "move " : "delete ";
        QTest::newRow(c + "first") << move << QList<int>{0} << "B";
        QTest::newRow(c + "middle") << move << QList<int>{2} << "B";
        QTest::newRow(c + "last") << move << QList<int>{4} << "D";
        QTest::newRow(c + "middle two") << move << QList<int>{2, 3} << "B";
        QTest::newRow(c + "all") << move << QList<int>{0, 1, 2, 3, 4} << "";
    }
}

void TestContactCommands::rowToReturnTo()
{
    QFETCH(bool, move);
    QFETCH(QList<int>, selected);
    QFETCH(QString, shown);
    // Each with an address of its own: a move asks about a second contact
    // with the same address, even an empty one.
    for (const char *n : {"A", "B", "C", "D", "E"})
        add(QString::fromLatin1(n), QString(), QString::fromLatin1(n) + QStringLiteral("@example.org"));
    QVERIFY(m_store->openBook(QStringLiteral("clients")));
    BookTableModel *model = m_store->currentBookModel();
    QItemSelectionModel grid(model);
    QList<qint64> ids;
    for (int r : selected) {
        grid.select(model->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        ids << model->idAt(r);
    }
    const qint64 back = ContactCommands::returnId(*model, &grid);
    ContactCommands commands(*m_store, m_asker);
    if (move) {
        QCOMPARE(commands.moveTo(QStringLiteral("archive"), ids).taken.size(), ids.size());
        QCOMPARE(m_store->countRows(QStringLiteral("an_archive")), int(ids.size()));
    } else {
        m_asker.answerNext(Answer::Yes);
        QVERIFY(commands.deleteContacts(ids));
    }
    QCOMPARE(model->rowCount(), 5 - int(ids.size()));
    const int row = commands.rowOf(back);
    QCOMPARE(row < 0 ? QString() : model->text(row, F_nom), shown);
}

void TestContactCommands::guards()
{
    ContactCommands commands(*m_store, m_asker);
    QVERIFY(!commands.mayRun(ContactCommands::Command::Add, false, 0));
    QVERIFY(commands.mayRun(ContactCommands::Command::Add, true, 0));
    QVERIFY(!commands.mayRun(ContactCommands::Command::Print, true, 0));
    QVERIFY(commands.mayRun(ContactCommands::Command::Titles, false, 0));
    QCOMPARE(m_asker.texts(), (QStringList{text(SelectABook, English), text(SelectAContact, English)}));
    // Declining the deletion deletes nothing.
    const qint64 id = add(QStringLiteral("A"), QString());
    QVERIFY(m_store->openBook(QStringLiteral("clients")));
    m_asker.answerNext(Answer::No);
    QVERIFY(!commands.deleteContacts({id}));
    QCOMPARE(m_store->currentBookModel()->rowCount(), 1);
}

void TestContactCommands::bookNotices()
{
    DirectoryCommands commands(*m_store, m_asker);
    QVERIFY(!commands.create(QStringLiteral("o'neil"), {}));
    QVERIFY(!commands.books().exists(QStringLiteral("o'neil")));
    QVERIFY(!commands.create(QStringLiteral("clients"), {}));
    QVERIFY(commands.create(QStringLiteral("subscribers"), {}));
    QVERIFY(!commands.remove(QStringLiteral("subscribers")));
    QVERIFY(commands.books().exists(QStringLiteral("subscribers")));
    QVERIFY(!commands.maySelect(QString()));
    QCOMPARE(m_asker.texts().size(), 4);
    QCOMPARE(m_asker.texts()[0], text(BookNameCharacters, English));
    QCOMPARE(m_asker.questions()[1].kind, DialogKind::Error);
    QVERIFY(m_asker.texts()[1].startsWith(QStringLiteral("Une erreur lors de l'ajout")));
    QCOMPARE(m_asker.texts()[2], text(SubscribersUndeletable, English));
    QCOMPARE(m_asker.texts()[3], text(SelectABook, English));

    add(QStringLiteral("A"), QString());
    const DirectoryCommands::Details d = commands.details(QStringLiteral("clients"));
    QCOMPARE(d.count, 1);
    QCOMPARE(d.freeLabels.value(0), QStringLiteral("Membre depuis"));
    QCOMPARE(commands.newBookProposal(), QStringLiteral("New"));
    QCOMPARE(commands.copyProposal(QStringLiteral("clients")), QStringLiteral("Copy of clients"));

    // A book file whose name no text can reach is told of, once.
    m_asker.clear();
    commands.reportUnreachableBooks();
    QVERIFY(m_asker.texts().isEmpty());
    // Made from its bytes: Qt's file names are text and would make them UTF-8.
    const QByteArray stray = QFile::encodeName(m_store->files().folder()) + "/an_caf\xe9.db";
    const int fd = ::open(stray.constData(), O_CREAT | O_WRONLY, 0644);
    QVERIFY(fd >= 0);
    ::close(fd);
    commands.reportUnreachableBooks();
    commands.reportUnreachableBooks();
    QCOMPARE(m_asker.texts().size(), 1);
    QCOMPARE(m_asker.questions()[0].kind, DialogKind::Error);
    QCOMPARE(m_asker.texts()[0], text(BookFileNameNotUtf8, English)
                                     .arg(QStringLiteral("an_café.db"), QDir::cleanPath(m_store->files().folder())));
    QVERIFY(!m_asker.texts()[0].contains(QLatin1String("/.")));
}

// Every command refuses a name no book can have with the notice of its fault,
// and the folder stays as it was; the protected books are protected in any
// letter case; a new letter case of a book's own name is a rename like any.
void TestContactCommands::bookNameRefusals_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("notice"); // "" when the command is carried out
    QTest::addColumn<QStringList>("booksAfter");

    const QStringList unchanged{"archive", "bounces", "clients", "subscribers"};
    const QString characters = text(BookNameCharacters, English);
    const QString empty = QStringLiteral("The name of a directory cannot be empty.");
    const QString lineBreak = QStringLiteral("The name of a directory cannot contain a line break or a control character.");
    const QString dots = QStringLiteral("The name of a directory cannot contain \"..\".");
    const QString undeletable = text(SubscribersUndeletable, English);
    QTest::newRow("create, empty name") << "create" << "" << empty << unchanged;
    QTest::newRow("create, line break") << "create" << "a\nb" << lineBreak << unchanged;
    QTest::newRow("copy to an apostrophe") << "copy" << "o'neil" << characters << unchanged;
    QTest::newRow("copy to a parent folder") << "copy" << "../x" << characters << unchanged;
    QTest::newRow("copy to dots") << "copy" << "..x" << dots << unchanged;
    QTest::newRow("rename to an apostrophe") << "rename" << "o'neil" << characters << unchanged;
    QTest::newRow("rename to empty") << "rename" << "" << empty << unchanged;
    QTest::newRow("rename to a carriage return") << "rename" << "a\rb" << lineBreak << unchanged;
    QTest::newRow("relabel a slash") << "relabel" << "/clients" << characters << unchanged;
    QTest::newRow("delete a parent folder") << "delete" << "../Annuaires/an_clients" << characters << unchanged;
    QTest::newRow("delete Subscribers") << "delete" << "Subscribers" << undeletable << unchanged;
    QTest::newRow("delete BOUNCES") << "delete" << "BOUNCES" << undeletable << unchanged;
    QTest::newRow("rename changing the letter case")
        << "rename" << "Clients" << "" << QStringList{"archive", "bounces", "Clients", "subscribers"};
}

void TestContactCommands::bookNameRefusals()
{
    QFETCH(QString, command);
    QFETCH(QString, name);
    QFETCH(QString, notice);
    QFETCH(QStringList, booksAfter);
    DirectoryCommands commands(*m_store, m_asker);
    for (const char *book : {"subscribers", "bounces"})
        QVERIFY(commands.create(QString::fromLatin1(book), {}));
    const QStringList filesBefore = QDir(m_store->files().folder()).entryList(QDir::Files, QDir::Name);

    bool done = false;
    if (command == QLatin1String("create"))
        done = commands.create(name, {});
    else if (command == QLatin1String("copy"))
        done = commands.duplicate(QStringLiteral("clients"), name);
    else if (command == QLatin1String("rename"))
        done = commands.rename(QStringLiteral("clients"), name);
    else if (command == QLatin1String("relabel"))
        done = commands.relabel(name, {QStringLiteral("x"), {}, {}, {}});
    else
        done = commands.remove(name);

    QCOMPARE(done, notice.isEmpty());
    QCOMPARE(m_asker.texts(), notice.isEmpty() ? QStringList() : QStringList{notice});
    QCOMPARE(m_store->listBooks(), booksAfter);
    if (!done)
        QCOMPARE(QDir(m_store->files().folder()).entryList(QDir::Files, QDir::Name), filesBefore);
}

QTEST_GUILESS_MAIN(TestContactCommands)
#include "tst_contactcommands.moc"
