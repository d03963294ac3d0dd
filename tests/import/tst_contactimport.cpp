// The column mapping's checks and the import of rows into a book: what each
// mapping stops, which values change on the way in, that a refused row is
// never silent and that a failure or a cancel part-way leaves the book as it
// was. The mapping a heading line gives by itself, as the usual exports write
// their headings; what becomes of rows whose address the book already holds.
#include "contacts/bookmanager.h"
#include "contacts/titlelist.h"
#include "import/contactimport.h"
#include "import/headingmatcher.h"
#include "import/importsession.h"
#include "store/contactrecord.h"
#include "store/database.h"
#include "common/folders.h"
#include "store/addressbookstore.h"
#include "store/bookfiles.h"
#include "texts/texttable.h"
#include "support/datafolder.h"

#include <QFile>
#include <QTest>

#include <memory>

using namespace kirvane;
using namespace kirvane::common;
using namespace kirvane::contacts;
using namespace kirvane::import;
using namespace kirvane::store;

Q_DECLARE_METATYPE(QList<MappingProblem>)
Q_DECLARE_METATYPE(ExistingAddress)

class TstContactImport : public QObject {
    Q_OBJECT
    std::unique_ptr<kirvane::test::TestDataFolder> m_data;
    AddressBookStore *m_store = nullptr;
    const BookFiles &files() const { return m_store->files(); }

    // Contacts of a book as rows of values nom..champ19, in id order.
    QList<QStringList> contacts(const QString &book)
    {
        auto db = Database::open(files().bookPath(book));
        Statement s = db->prepare(QStringLiteral("SELECT * FROM t ORDER BY id"));
        QList<QStringList> out;
        while (s.step()) {
            QStringList row;
            for (int k = F_nom; k <= F_champ19; ++k)
                row << s.text(k);
            out << row;
        }
        return out;
    }

    SourceTable sample() const
    {
        SourceTable t;
        t.columns = {QStringLiteral("Name"), QStringLiteral("Mail"), QStringLiteral("Web"), QStringLiteral("Title")};
        t.rows = {{QStringLiteral("O'Neil"), QStringLiteral("o'neil@example.org"), QStringLiteral("http://x.org/o'neil"), QStringLiteral("Mme")},
                  {QStringLiteral("Durand"), QStringLiteral("d@example.org"), QString(), QStringLiteral("mme")},
                  {QStringLiteral("Petit"), QString(), QString(), QStringLiteral("docteur")}};
        return t;
    }

    // "Heading=field" for each mapped column, in column order; "?" marks a
    // column left to the user.
    static QStringList mapped(const QStringList &headings, const QList<int> &mapping)
    {
        QStringList out;
        for (qsizetype c = 0; c < headings.size(); ++c) {
            if (mapping[c] == kNotIdentified)
                out << headings[c] + QStringLiteral("=?");
            else if (mapping[c] != kUnused)
                out << headings[c] + u'=' + contactColumns()[mapping[c]];
        }
        return out;
    }

private Q_SLOTS:
    void init()
    {
        m_data = std::make_unique<kirvane::test::TestDataFolder>();
        m_store = &m_data->store();
        QVERIFY(
            BookManager(*m_store).create(QStringLiteral("clients"), {QString(), QString(), QString(), QString()}).ok());
    }

    void mappingChecks_data()
    {
        QTest::addColumn<QList<int>>("mapping");
        QTest::addColumn<bool>("hasRows");
        QTest::addColumn<QList<MappingProblem>>("problems");
        using P = MappingProblem;
        QTest::newRow("nothing clicked: not identified, then no field used")
            << QList<int>{kNotIdentified, kNotIdentified} << true << QList<P>{P::NotIdentified, P::NoFieldUsed};
        QTest::newRow("a field, then a column not clicked")
            << QList<int>{F_nom, kNotIdentified} << true << QList<P>{P::NotIdentified};
        QTest::newRow("two columns to Email") << QList<int>{F_email, F_nom, F_email} << true << QList<P>{P::FieldTwice};
        QTest::newRow("two unused columns are fine") << QList<int>{kUnused, F_nom, kUnused} << true << QList<P>{};
        QTest::newRow("only unused columns") << QList<int>{kUnused, kUnused} << true << QList<P>{P::NoFieldUsed};
        QTest::newRow("an empty source") << QList<int>{F_nom} << false << QList<P>{P::NoRecord};
        QTest::newRow("nothing clicked on an empty source")
            << QList<int>{kNotIdentified} << false << QList<P>{P::NotIdentified, P::NoFieldUsed, P::NoRecord};
    }

    void mappingChecks()
    {
        QFETCH(QList<int>, mapping);
        QFETCH(bool, hasRows);
        QFETCH(QList<MappingProblem>, problems);
        QCOMPARE(mappingProblems(mapping, hasRows), problems);
    }

    void headingLinesMapThemselves_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("Google Contacts export")
            << "Name,Given Name,Additional Name,Family Name,Yomi Name,Given Name Yomi,Additional Name Yomi,"
               "Family Name Yomi,Name Prefix,Name Suffix,Initials,Nickname,Short Name,Maiden Name,Birthday,Gender,"
               "Location,Billing Information,Directory Server,Mileage,Occupation,Hobby,Sensitivity,Priority,Subject,"
               "Notes,Language,Photo,Group Membership,E-mail 1 - Type,E-mail 1 - Value,E-mail 2 - Type,"
               "E-mail 2 - Value,Phone 1 - Type,Phone 1 - Value,Address 1 - Type,Address 1 - Formatted,"
               "Address 1 - Street,Address 1 - City,Address 1 - PO Box,Address 1 - Region,Address 1 - Postal Code,"
               "Address 1 - Country,Address 1 - Extended Address,Organization 1 - Type,Organization 1 - Name,"
               "Organization 1 - Yomi Name,Organization 1 - Title,Organization 1 - Department,Website 1 - Type,"
               "Website 1 - Value"
            << QStringList{"Given Name=prenom", "Family Name=nom", "Name Prefix=civilite", "Notes=commentaire",
                           "E-mail 1 - Value=email", "Phone 1 - Value=tel", "Address 1 - Street=adresse1",
                           "Address 1 - City=ville", "Address 1 - Postal Code=code_postal", "Address 1 - Country=pays",
                           "Address 1 - Extended Address=adresse2", "Organization 1 - Name=societe",
                           "Website 1 - Value=url"};
        QTest::newRow("Google Contacts export, later form")
            << "First Name,Middle Name,Last Name,Phonetic First Name,Phonetic Middle Name,Phonetic Last Name,"
               "Name Prefix,Name Suffix,Nickname,File As,Organization Name,Organization Title,"
               "Organization Department,Birthday,Notes,Photo,Labels,E-mail 1 - Label,E-mail 1 - Value,"
               "Phone 1 - Label,Phone 1 - Value,Address 1 - Label,Address 1 - Formatted,Address 1 - Street,"
               "Address 1 - City,Address 1 - PO Box,Address 1 - Region,Address 1 - Postal Code,Address 1 - Country,"
               "Address 1 - Extended Address,Website 1 - Label,Website 1 - Value"
            << QStringList{"First Name=prenom", "Last Name=nom", "Name Prefix=civilite", "Organization Name=societe",
                           "Notes=commentaire", "E-mail 1 - Value=email", "Phone 1 - Value=tel",
                           "Address 1 - Street=adresse1", "Address 1 - City=ville",
                           "Address 1 - Postal Code=code_postal", "Address 1 - Country=pays",
                           "Address 1 - Extended Address=adresse2", "Website 1 - Value=url"};
        QTest::newRow("Outlook export: business address before home, business phone before the others")
            << "Title,First Name,Middle Name,Last Name,Suffix,Company,Department,Job Title,Business Street,"
               "Business Street 2,Business Street 3,Business City,Business State,Business Postal Code,"
               "Business Country/Region,Home Street,Home Street 2,Home Street 3,Home City,Home State,"
               "Home Postal Code,Home Country/Region,Other Street,Other City,Other Postal Code,Other Country/Region,"
               "Assistant's Phone,Business Fax,Business Phone,Business Phone 2,Callback,Car Phone,"
               "Company Main Phone,Home Fax,Home Phone,Home Phone 2,ISDN,Mobile Phone,Other Fax,Other Phone,Pager,"
               "Primary Phone,Radio Phone,TTY/TDD Phone,Telex,Account,Anniversary,Assistant's Name,"
               "Billing Information,Birthday,Business Address PO Box,Categories,Children,Directory Server,"
               "E-mail Address,E-mail Type,E-mail Display Name,E-mail 2 Address,E-mail 2 Type,"
               "E-mail 2 Display Name,E-mail 3 Address,E-mail 3 Type,E-mail 3 Display Name,Gender,"
               "Government ID Number,Hobby,Home Address PO Box,Initials,Internet Free Busy,Keywords,Language,"
               "Location,Manager's Name,Mileage,Notes,Office Location,Organizational ID Number,"
               "Other Address PO Box,Priority,Private,Profession,Referred By,Sensitivity,Spouse,User 1,User 2,"
               "User 3,User 4,Web Page"
            << QStringList{"Title=civilite", "First Name=prenom", "Last Name=nom", "Company=societe",
                           "Business Street=adresse1", "Business Street 2=adresse2", "Business City=ville",
                           "Business Postal Code=code_postal", "Business Country/Region=pays", "Business Fax=fax",
                           "Business Phone=tel", "E-mail Address=email", "Notes=commentaire", "User 1=champ16",
                           "User 2=champ17", "User 3=champ18", "User 4=champ19", "Web Page=url"};
        QTest::newRow("Thunderbird address book: the work address before the home one")
            << "First Name,Last Name,Display Name,Nickname,Primary Email,Secondary Email,Screen Name,Work Phone,"
               "Home Phone,Fax Number,Pager Number,Mobile Number,Home Address,Home Address 2,Home City,Home State,"
               "Home ZipCode,Home Country,Work Address,Work Address 2,Work City,Work State,Work ZipCode,"
               "Work Country,Job Title,Department,Organization,Web Page 1,Web Page 2,Birth Year,Birth Month,"
               "Birth Day,Custom 1,Custom 2,Custom 3,Custom 4,Notes"
            << QStringList{"First Name=prenom", "Last Name=nom", "Primary Email=email", "Work Phone=tel",
                           "Fax Number=fax", "Work Address=adresse1", "Work Address 2=adresse2", "Work City=ville",
                           "Work ZipCode=code_postal", "Work Country=pays", "Organization=societe",
                           "Web Page 1=url", "Custom 1=champ16", "Custom 2=champ17", "Custom 3=champ18",
                           "Custom 4=champ19", "Notes=commentaire"};
        QTest::newRow("French, any case, accents and punctuation")
            << "NOM,Prénom,Société,Adresse,Complément d'adresse,Code Postal,VILLE,Tél.,Courriel,Civilité,Télécopie,"
               "Pays,Site web,Commentaires"
            << QStringList{"NOM=nom", "Prénom=prenom", "Société=societe", "Adresse=adresse1",
                           "Complément d'adresse=adresse2", "Code Postal=code_postal", "VILLE=ville", "Tél.=tel",
                           "Courriel=email", "Civilité=civilite", "Télécopie=fax", "Pays=pays", "Site web=url",
                           "Commentaires=commentaire"};
        QTest::newRow("plain English, two e-mail columns: the first wins")
            << "Name,First name,E-mail,Email,City,Zip,Company,Phone"
            << QStringList{"Name=nom", "First name=prenom", "E-mail=email", "City=ville", "Zip=code_postal",
                           "Company=societe", "Phone=tel"};
        QTest::newRow("unknown columns are unused")
            << "Nom,E-mail,Date d'inscription,Montant,Réf"
            << QStringList{"Nom=nom", "E-mail=email"};
        QTest::newRow("our own export's heading line")
            << "nom,prenom,code_postal,ville,adresse1,adresse2,pays,tel,fax,email,societe,civilite,commentaire,url,"
               "champ16,champ17,champ18,champ19"
            << QStringList{"nom=nom", "prenom=prenom", "code_postal=code_postal", "ville=ville",
                           "adresse1=adresse1", "adresse2=adresse2", "pays=pays", "tel=tel", "fax=fax",
                           "email=email", "societe=societe", "civilite=civilite", "commentaire=commentaire",
                           "url=url", "champ16=champ16", "champ17=champ17", "champ18=champ18", "champ19=champ19"};
        QTest::newRow("no heading known: every column left to the user")
            << "Alpha,Beta" << QStringList{"Alpha=?", "Beta=?"};
    }

    void headingLinesMapThemselves()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, expected);
        const QStringList headings = line.split(u',');
        const QList<int> mapping = mappingOfHeadings(headings);
        QCOMPARE(mapping.size(), headings.size());
        QCOMPARE(mapped(headings, mapping), expected);
        QVERIFY(mappingProblems(mapping, true).isEmpty() || expected.first().endsWith(QLatin1String("=?")));
    }

    // The first line is a heading line when it matches known headings, or
    // when it holds text above addresses, numbers or dates; a contact's own
    // values are not.
    void headingLineRecognised_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("below");
        QTest::addColumn<bool>("heading");
        QTest::newRow("known headings") << "Nom;Email" << "Durand;d@example.org" << true;
        QTest::newRow("known headings, no row below") << "Last Name;E-mail Address" << "" << true;
        QTest::newRow("unknown text above addresses") << "Qui;Où écrire" << "Durand;d@example.org" << true;
        QTest::newRow("unknown text above dates") << "Qui;Inscrit le" << "Durand;2024-03-01|Petit;01/02/2023" << true;
        QTest::newRow("a contact with an address") << "Durand;d@example.org" << "Petit;p@example.org" << false;
        QTest::newRow("a contact with a number") << "Email;0102030405" << "Petit;0607080910" << false;
        QTest::newRow("text above text") << "Durand;Paris" << "Petit;Lyon" << false;
    }

    void headingLineRecognised()
    {
        QFETCH(QString, first);
        QFETCH(QString, below);
        QFETCH(bool, heading);
        std::vector<QStringList> rows;
        for (const QString &r : below.split(u'|', Qt::SkipEmptyParts))
            rows.push_back(r.split(u';'));
        QCOMPARE(isHeadingLine(first.split(u';'), rows), heading);
    }

    // The kind a file shows by its content wins over its extension; the
    // extension decides when the content shows none.
    void kindOfFileFollowsTheContent_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("kind"); // kindName, or "" for none
        QTest::newRow("a workbook named .csv") << "book.csv" << QByteArray("PK\x03\x04\x14\0\0\0", 8) << "xlsx";
        QTest::newRow("an OpenDocument sheet named .zip")
            << "sheet.zip" << QByteArray("PK\x03\x04").append(26, '\0').append("mimetypeapplication/vnd.oasis.opendocument.spreadsheet")
            << "ods";
        QTest::newRow("an OLE2 workbook named .dat") << "old.dat" << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") << "excel";
        QTest::newRow("an Access database named .dat")
            << "base.dat" << QByteArray("\0\x01\0\0Standard Jet DB\0", 20) << "access";
        QTest::newRow("a vCard named .txt") << "cards.txt" << QByteArray("\xEF\xBB\xBF\r\nbegin:vcard\r\n") << "vcard";
        QTest::newRow("a UTF-16 vCard without extension")
            << "cards" << QByteArray("\xFF\xFE" "B\0E\0G\0I\0N\0:\0V\0C\0A\0R\0D\0", 24) << "vcard";
        QTest::newRow("text named .csv") << "list.csv" << QByteArray("Nom;Email\r\n") << "csv";
        QTest::newRow("a dBase table by its extension") << "TABLE.DBF" << QByteArray("\x03\x7c\x01\x01", 4) << "dbase";
        QTest::newRow("text without a known extension") << "list.dat" << QByteArray("Nom;Email\r\n") << "";
    }

    void kindOfFileFollowsTheContent()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, kind);
        const QString path = m_data->filePath(name);
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        const auto found = kindOfFile(path);
        QCOMPARE(found ? kindName(*found) : QString(), kind);
    }

    // A row whose address the book already holds, whatever its letter case:
    // added anyway, skipped, or its non-empty values written over the
    // existing contact's. A row without an address is always added; the
    // file's own repeats find the contact its first row made.
    void existingAddresses_data()
    {
        QTest::addColumn<ExistingAddress>("choice");
        QTest::addColumn<int>("added");
        QTest::addColumn<int>("updated");
        QTest::addColumn<int>("skipped");
        QTest::addColumn<QStringList>("book"); // "nom/prenom/email" of each contact in id order
        QTest::newRow("add anyway") << ExistingAddress::Add << 5 << 0 << 0
                                    << QStringList{"Durand/Jean/Jean.Durand@Example.org", "Martin//m@example.org",
                                                   "DURAND//jean.durand@example.org", "Petit/Léa/",
                                                   "Neuf//neuf@example.org", "Neuf/Bis/NEUF@example.org",
                                                   "Martin/Marc/m@example.org"};
        QTest::newRow("skip") << ExistingAddress::Skip << 2 << 0 << 3
                              << QStringList{"Durand/Jean/Jean.Durand@Example.org", "Martin//m@example.org",
                                             "Petit/Léa/", "Neuf//neuf@example.org"};
        QTest::newRow("update with non-empty values") << ExistingAddress::Update << 2 << 3 << 0
                                                      << QStringList{"DURAND/Jean/jean.durand@example.org",
                                                                     "Martin/Marc/m@example.org", "Petit/Léa/",
                                                                     "Neuf/Bis/NEUF@example.org"};
    }

    void existingAddresses()
    {
        QFETCH(ExistingAddress, choice);
        QFETCH(int, added);
        QFETCH(int, updated);
        QFETCH(int, skipped);
        QFETCH(QStringList, book);
        {
            auto db = Database::open(files().bookPath(QStringLiteral("clients")));
            db->exec(QStringLiteral("INSERT INTO t (nom, prenom, email) VALUES ('Durand', 'Jean', 'Jean.Durand@Example.org')"));
            db->exec(QStringLiteral("INSERT INTO t (nom, email) VALUES ('Martin', 'm@example.org')"));
        }
        SourceTable t;
        t.columns = {QStringLiteral("nom"), QStringLiteral("prenom"), QStringLiteral("email")};
        t.rows = {{QStringLiteral("DURAND"), QString(), QStringLiteral(" jean.durand@example.org")},
                  {QStringLiteral("Petit"), QStringLiteral("Léa"), QString()},
                  {QStringLiteral("Neuf"), QString(), QStringLiteral("neuf@example.org")},
                  {QStringLiteral("Neuf"), QStringLiteral("Bis"), QStringLiteral("NEUF@example.org")},
                  {QStringLiteral("Martin"), QStringLiteral("Marc"), QStringLiteral("m@example.org")}};
        ImportOptions options;
        options.skipHeader = true;
        options.existing = choice;
        const ImportResult r = importContacts(files(), QStringLiteral("clients"), t, {F_nom, F_prenom, F_email}, options);
        QVERIFY(r.ok);
        QCOMPARE(r.added, added);
        QCOMPARE(r.updated, updated);
        QCOMPARE(r.skipped, skipped);
        QCOMPARE(r.refused, 0);
        QStringList shown;
        for (const QStringList &c : contacts(QStringLiteral("clients")))
            shown << QStringList{c[F_nom - 1], c[F_prenom - 1], c[F_email - 1].trimmed()}.join(u'/');
        QCOMPARE(shown, book);
        const QString summary = importSummary(r, texts::English);
        QVERIFY2(summary.contains(QStringLiteral("%1 contact(s) added.").arg(added)), qPrintable(summary));
        QCOMPARE(summary.contains(QLatin1String("updated")), choice == ExistingAddress::Update);
        QCOMPARE(summary.contains(QLatin1String("skipped")), choice == ExistingAddress::Skip);
    }

    // The heading line is a contact unless the box is ticked; apostrophes turn
    // typographic except in e-mail and web addresses; each new title is added
    // once whatever its letter case.
    void importsRowsAndTitles_data()
    {
        QTest::addColumn<bool>("skipHeader");
        QTest::addColumn<int>("added");
        QTest::newRow("heading line imported") << false << 4;
        QTest::newRow("heading line skipped") << true << 3;
    }

    void importsRowsAndTitles()
    {
        QFETCH(bool, skipHeader);
        QFETCH(int, added);
        const QString titles = findNoCase(dataFolder(), QStringLiteral("titre.ini"));
        const qsizetype titlesBefore = TitleList(titles).load().size();
        QVERIFY(TitleList(titles).load().contains(QStringLiteral("Docteur")));
        ImportOptions options;
        options.skipHeader = skipHeader;
        options.titlesPath = titles;
        int progressMax = 0, progressLast = 0;
        options.progress = [&](int value, int maximum) {
            progressMax = maximum;
            progressLast = value;
        };
        const ImportResult r = importContacts(files(), QStringLiteral("clients"), sample(),
                                              {F_nom, F_email, F_url, F_civilite}, options);
        QVERIFY(r.ok);
        QCOMPARE(r.added, added);
        QCOMPARE(r.refused, 0);
        QCOMPARE(progressLast, added);
        QCOMPARE(progressMax, added);
        const QList<QStringList> rows = contacts(QStringLiteral("clients"));
        QCOMPARE(rows.size(), added);
        if (!skipHeader)
            QCOMPARE(rows.first().value(F_nom - 1), QStringLiteral("Name"));
        const QStringList oneil = rows[skipHeader ? 0 : 1];
        QCOMPARE(oneil[F_nom - 1], QStringLiteral("O\u2019Neil"));
        QCOMPARE(oneil[F_email - 1], QStringLiteral("o'neil@example.org"));
        QCOMPARE(oneil[F_url - 1], QStringLiteral("http://x.org/o'neil"));
        QCOMPARE(oneil[F_civilite - 1], QStringLiteral("Mme"));
        QCOMPARE(oneil[F_prenom - 1], QString());
        // Every row comes in with its place in name order.
        auto db = Database::open(files().bookPath(QStringLiteral("clients")));
        Statement order = db->prepare(QStringLiteral("SELECT group_concat(nom, ',') FROM (SELECT nom FROM t ORDER BY cle_tri, id)"));
        QVERIFY(order.step());
        QCOMPARE(order.text(0), skipHeader ? QStringLiteral("Durand,O’Neil,Petit") : QStringLiteral("Durand,Name,O’Neil,Petit"));
        const QStringList after = TitleList(titles).load();
        QCOMPARE(after.size(), titlesBefore + (skipHeader ? 1 : 2)); // "Mme" (and "Title")
        QCOMPARE(after.filter(QStringLiteral("mme"), Qt::CaseInsensitive).size(), 1);
    }

    // A row the store refuses is counted with the reason; the others go in.
    void refusedRowsAreCounted()
    {
        {
            auto db = Database::open(files().bookPath(QStringLiteral("clients")));
            db->exec(QStringLiteral("CREATE TRIGGER no_durand BEFORE INSERT ON t WHEN NEW.nom = 'Durand' "
                                    "BEGIN SELECT RAISE(ABORT, 'no Durand here'); END"));
        }
        ImportOptions options;
        options.skipHeader = true;
        const ImportResult r = importContacts(files(), QStringLiteral("clients"), sample(),
                                              {F_nom, kUnused, kUnused, kUnused}, options);
        QVERIFY(r.ok);
        QCOMPARE(r.added, 2);
        QCOMPARE(r.refused, 1);
        QCOMPARE(r.reasons.size(), 1);
        QVERIFY2(r.reasons.firstKey().contains(QLatin1String("no Durand here")), qPrintable(r.reasons.firstKey()));
        QCOMPARE(contacts(QStringLiteral("clients")).size(), 2);
    }

    // An import larger than the book makes the book's indexes again at its
    // end: they are the same afterwards, and a cancel past that point keeps
    // them as they were.
    void largeImportKeepsTheIndexes_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("imported") << false;
        QTest::newRow("cancelled after the indexes were dropped") << true;
    }

    void largeImportKeepsTheIndexes()
    {
        QFETCH(bool, cancel);
        auto schema = [this] {
            auto db = Database::open(files().bookPath(QStringLiteral("clients")));
            Statement s = db->prepare(QStringLiteral("SELECT group_concat(sql, ';') FROM "
                                                     "(SELECT sql FROM sqlite_master WHERE type = 'index' ORDER BY name)"));
            return s.step() ? s.text(0) : QString();
        };
        const QString before = schema();
        QVERIFY(before.contains(QLatin1String("INDEX")));
        SourceTable t;
        t.columns = {QStringLiteral("Name"), QStringLiteral("Mail")};
        constexpr int rows = 12000;
        for (int i = rows; i > 0; --i)
            t.rows.push_back({QStringLiteral("Nom%1").arg(i), QStringLiteral("n%1@example.org").arg(i)});
        ImportOptions options;
        options.skipHeader = true;
        int asked = 0;
        if (cancel)
            options.cancelled = [&asked] { return ++asked > rows - 10; };
        const ImportResult r = importContacts(files(), QStringLiteral("clients"), t, {F_nom, F_email}, options);
        QCOMPARE(r.ok, !cancel);
        QCOMPARE(schema(), before);
        auto db = Database::open(files().bookPath(QStringLiteral("clients")));
        Statement check = db->prepare(QStringLiteral("PRAGMA integrity_check"));
        QVERIFY(check.step());
        QCOMPARE(check.text(0), QStringLiteral("ok"));
        QCOMPARE(qsizetype(contacts(QStringLiteral("clients")).size()), cancel ? 0 : rows);
    }

    // A failure that ends the transaction, or a cancel, part-way leaves the
    // book as it was: no row of the import stays, no title is added.
    void partWayLeavesTheBook_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("the store fails at the third row") << false;
        QTest::newRow("cancelled before the third row") << true;
    }

    void partWayLeavesTheBook()
    {
        QFETCH(bool, cancel);
        {
            auto db = Database::open(files().bookPath(QStringLiteral("clients")));
            db->exec(QStringLiteral("INSERT INTO t (nom) VALUES ('Kept')"));
            if (!cancel)
                db->exec(QStringLiteral("CREATE TRIGGER stop BEFORE INSERT ON t WHEN NEW.nom = 'Petit' "
                                        "BEGIN SELECT RAISE(ROLLBACK, 'disk gone'); END"));
        }
        const QString titles = findNoCase(dataFolder(), QStringLiteral("titre.ini"));
        const QStringList titlesBefore = TitleList(titles).load();
        ImportOptions options;
        options.skipHeader = true;
        options.titlesPath = titles;
        int asked = 0;
        if (cancel)
            options.cancelled = [&asked] { return ++asked == 3; };
        const ImportResult r = importContacts(files(), QStringLiteral("clients"), sample(),
                                              {F_nom, kUnused, kUnused, F_civilite}, options);
        QVERIFY(!r.ok);
        QCOMPARE(r.cancelled, cancel);
        if (cancel)
            QCOMPARE(importSummary(r, texts::English), QStringLiteral("Import cancelled: the address book was left as it was."));
        else
            QVERIFY2(r.error.contains(QLatin1String("disk gone")), qPrintable(r.error));
        QCOMPARE(r.added, 0);
        QCOMPARE(contacts(QStringLiteral("clients")), (QList<QStringList>{QStringList{QStringLiteral("Kept")} + QStringList(17, QString())}));
        QCOMPARE(TitleList(titles).load(), titlesBefore);
    }
};

QTEST_GUILESS_MAIN(TstContactImport)
#include "tst_contactimport.moc"
