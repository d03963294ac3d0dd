// The column mapping's checks and the import of rows into a book: what each
// mapping stops, which values change on the way in, and that a refused row or
// a failure part-way is never silent.
#include "contacts/bookmanager.h"
#include "contacts/titlelist.h"
#include "import/contactimport.h"
#include "store/contactrecord.h"
#include "store/database.h"
#include "common/folders.h"
#include "store/addressbookstore.h"
#include "store/bookfiles.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kirvane;
using namespace kirvane::common;
using namespace kirvane::contacts;
using namespace kirvane::import;
using namespace kirvane::store;

Q_DECLARE_METATYPE(QList<MappingProblem>)

class TstContactImport : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<AddressBookStore> m_base;
    const BookFiles &files() const { return m_base->files(); }

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

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        setDataFolder(m_dir->path());
        QVERIFY(BookFiles::ensureDataFolder(dataFolder()));
        m_base = std::make_unique<AddressBookStore>();
        m_base->initDataFolder();
        QVERIFY(BookManager(*m_base).create(QStringLiteral("clients"), {QString(), QString(), QString(), QString()}).ok());
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

    // A failure that ends the transaction leaves the book as it was: no row
    // of the import stays.
    void failurePartWayLeavesTheBook()
    {
        {
            auto db = Database::open(files().bookPath(QStringLiteral("clients")));
            db->exec(QStringLiteral("INSERT INTO t (nom) VALUES ('Kept')"));
            db->exec(QStringLiteral("CREATE TRIGGER stop BEFORE INSERT ON t WHEN NEW.nom = 'Petit' "
                                    "BEGIN SELECT RAISE(ROLLBACK, 'disk gone'); END"));
        }
        ImportOptions options;
        options.skipHeader = true;
        const ImportResult r = importContacts(files(), QStringLiteral("clients"), sample(),
                                              {F_nom, kUnused, kUnused, kUnused}, options);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(QLatin1String("disk gone")), qPrintable(r.error));
        QCOMPARE(r.added, 0);
        QCOMPARE(contacts(QStringLiteral("clients")), (QList<QStringList>{QStringList{QStringLiteral("Kept")} + QStringList(17, QString())}));
    }
};

QTEST_GUILESS_MAIN(TstContactImport)
#include "tst_contactimport.moc"
