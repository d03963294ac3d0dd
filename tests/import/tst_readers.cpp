// Every reader against a reader that shares no code with ours (Python's csv,
// mdb-export, openpyxl ...): the same tables, columns and rows, value for value.
#include "import/csvreader.h"
#include "import/sourcefile.h"
#include "common/folders.h"
#include "store/bookfiles.h"
#include "texts/texttable.h"
#include "support/datafolder.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QStringEncoder>
#include <QTest>

using namespace kirvane::import;
namespace texts = kirvane::texts;

namespace {

QString dataPath(const QString &relative)
{
    return qEnvironmentVariable("KIRVANE_TEST_DATA") + QStringLiteral("/import/") + relative;
}

QJsonArray independentTables(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            QStringList{qEnvironmentVariable("KIRVANE_SOURCE_DIR") + QStringLiteral("/tests/import/independent.py")} + args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        qWarning() << p.readAllStandardError();
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object().value(QStringLiteral("tables")).toArray();
}

// Writes bytes to name in dir and returns the file's path (empty when it
// cannot be written).
QString written(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return {};
    return path;
}

// A table's refused records as "where: why".
QStringList refusals(const SourceTable &t)
{
    QStringList out;
    for (const RefusedRecord &r : t.refused)
        out << r.where + QStringLiteral(": ") + r.reason;
    return out;
}

QStringList strings(const QJsonValue &v)
{
    QStringList out;
    for (const QJsonValue &e : v.toArray())
        out << e.toString();
    return out;
}

} // namespace

class TstReaders : public QObject {
    Q_OBJECT
    QTemporaryDir m_made; // the sources make_sources.py writes

    QString made(const QString &name) const { return m_made.filePath(name); }

private Q_SLOTS:
    void initTestCase()
    {
        QProcess p;
        p.start(QStringLiteral("/usr/bin/python3"),
                {qEnvironmentVariable("KIRVANE_SOURCE_DIR") + QStringLiteral("/tests/import/make_sources.py"), m_made.path()});
        QVERIFY(p.waitForFinished(60000));
        QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
    }

    void sameAsIndependentReader_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("independent"); // extra arguments of independent.py

        const QStringList utf8Comma = {QStringLiteral("utf-8"), QStringLiteral(",")};
        QTest::newRow("csv thunderbird export: quotes, CR, LF and tab inside values")
            << "csv" << "csv/thunderbird_export.csv" << utf8Comma;
        QTest::newRow("csv tab-separated export") << "csv" << "csv/thunderbird_export_tab.txt"
                                                  << QStringList{QStringLiteral("utf-8"), QStringLiteral("tab")};
        QTest::newRow("csv every value quoted, empty ones too") << "csv" << "csv/thunderbird_quote.csv" << utf8Comma;
        QTest::newRow("csv trailing comma in the heading") << "csv" << "csv/thunderbird_basic_addressbook.csv" << utf8Comma;
        QTest::newRow("csv UTF-16 with byte-order mark") << "csv" << "csv/thunderbird_utf16_addressbook.csv"
                                                         << QStringList{QStringLiteral("utf-16"), QStringLiteral(",")};
        QTest::newRow("csv semicolons") << "csv" << "csv/thunderbird_csv_semicolon.csv"
                                        << QStringList{QStringLiteral("utf-8"), QStringLiteral(";")};
        QTest::newRow("csv no heading line") << "csv" << "csv/thunderbird_csv_no_header.csv" << utf8Comma;
        QTest::newRow("csv comma line then tab lines") << "csv" << "csv/thunderbird_tab_comma_mixed.csv" << utf8Comma;
        QTest::newRow("csv multi-line quoted values") << "csv" << "csv/roundcube_gmail.csv" << utf8Comma;
        QTest::newRow("csv UTF-8 byte-order mark") << "csv" << "csv/roundcube_all.csv"
                                                   << QStringList{QStringLiteral("utf-8-sig"), QStringLiteral(",")};
        QTest::newRow("csv e-mail columns only") << "csv" << "csv/roundcube_outlook.csv" << utf8Comma;
        QTest::newRow("csv all fields filled") << "csv" << "csv/roundcube_tb_plain.csv" << utf8Comma;

        QTest::newRow("dbase III, two live records and a deleted one") << "dbase" << "dbf/dbfread_people.dbf" << QStringList{"cp1252"};
        QTest::newRow("dbase III, 31 fields") << "dbase" << "dbf/infused_dbase_03.dbf" << QStringList{"ascii"};
        QTest::newRow("dbase III with memo") << "dbase" << "dbf/infused_dbase_83.dbf" << QStringList{"cp1252"};
        QTest::newRow("dbase IV with memo") << "dbase" << "dbf/infused_dbase_8b.dbf" << QStringList{"cp1252"};
        QTest::newRow("foxpro contacts, Windows-1252 driver") << "dbase" << "dbf/infused_contacts.dbf" << QStringList{"cp1252"};
        QTest::newRow("foxpro, Windows-1251 driver") << "dbase" << "dbf/infused_cp1251.dbf" << QStringList{"cp1251"};
        QTest::newRow("dbase III, UTF-8 text without a driver") << "dbase" << "dbf/tika_testDBF.dbf" << QStringList{"utf-8"};
        QTest::newRow("dbase III, UTF-8 text under an unknown driver") << "dbase" << "dbf/infused_dbase_03_cyrillic.dbf" << QStringList{"utf-8"};

        QTest::newRow("access 97, two tables of every field type") << "access" << "mdb/jackcess_testV1997.mdb" << QStringList();
        QTest::newRow("access 97, rows moved to overflow pages") << "access" << "mdb/jackcess_overflowTestV1997.mdb" << QStringList();
        QTest::newRow("access 97, 74 columns with memo and OLE") << "access" << "mdb/jackcess_test2V1997.mdb" << QStringList();
        QTest::newRow("access 97, three related tables") << "access" << "mdb/jackcess_indexTestV1997.mdb" << QStringList();
        QTest::newRow("access 2000, fixed-length text") << "access" << "mdb/jackcess_fixedTextTestV2000.mdb" << QStringList();
        QTest::newRow("access 2000, overflow rows") << "access" << "mdb/jackcess_overflowTestV2000.mdb" << QStringList();
        QTest::newRow("access 2003, compressed Unicode") << "access" << "mdb/jackcess_testUnicodeCompV2003.mdb" << QStringList();
        QTest::newRow("access, non-ASCII column names, no rows") << "access" << "mdb/ucanaccess_noRoman.mdb" << QStringList();
        QTest::newRow("access 2000, memo, OLE and hyperlink") << "access" << "mdb/tika_testAccess2_2000.mdb" << QStringList();

        QTest::newRow("excel 97, Chinese text") << "excel" << "xls/poi_chinese-provinces.xls" << QStringList();
        QTest::newRow("excel 97, ragged rows") << "excel" << "xls/xlrd_ragged.xls" << QStringList();
        QTest::newRow("excel 97, 150 rows") << "excel" << "xls/libxls_iris-excel-xls.xls" << QStringList();

        QTest::newRow("lotus 1-2-3 release 2") << "lotus" << "lotus/tika_testLotus123.wk1" << QStringList();
        QTest::newRow("lotus 1-2-3 release 3") << "lotus" << "lotus/tika_testLotus123.wk3" << QStringList();
        QTest::newRow("lotus 1-2-3 release 4, table from column C") << "lotus" << "lotus/tika_testLotus123-lotusftp.wk4" << QStringList();
        QTest::newRow("lotus 1-2-3 release 1A") << "lotus" << "lotus/tika_testLotus123.wks" << QStringList();
        QTest::newRow("lotus written as wk1") << "lotus" << "lotus/sheetjs_write_L2.wk1" << QStringList();

        // Written by make_sources.py; a path starting with '/' is one of those.
        QTest::newRow("xlsx: shared strings, dates, booleans, an empty row") << "xlsx" << "/people.xlsx" << QStringList();
        QTest::newRow("xlsx: inline strings, no styles, a row skipped") << "xlsx" << "/inline.xlsx" << QStringList();
    }

    void sameAsIndependentReader()
    {
        QFETCH(QString, kind);
        QFETCH(QString, file);
        QFETCH(QStringList, independent);
        const QString path = file.startsWith(u'/') ? made(file.mid(1)) : dataPath(file);
        const QJsonArray expected = independentTables(QStringList{kind, path} + independent);
        QVERIFY2(!expected.isEmpty(), "the independent reader read nothing");

        auto source = openSource(path, *kindFromName(kind));
        QCOMPARE(source->tables().size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i) {
            const QJsonObject want = expected[i].toObject();
            const QString name = source->tables()[i];
            QCOMPARE(name, want.value(QStringLiteral("name")).toString());
            const SourceTable got = source->read(name);
            QCOMPARE(got.columns, strings(want.value(QStringLiteral("columns"))));
            const QJsonArray rows = want.value(QStringLiteral("rows")).toArray();
            QCOMPARE(qsizetype(got.rows.size()), rows.size());
            for (qsizetype r = 0; r < rows.size(); ++r) {
                // A null stands for a value the independent reader does not
                // give as text (dBase numbers, dates and memos).
                const QJsonArray wantRow = rows[r].toArray();
                QCOMPARE(got.rows[size_t(r)].size(), wantRow.size());
                for (qsizetype c = 0; c < wantRow.size(); ++c)
                    if (!wantRow[c].isNull())
                        QCOMPARE(got.rows[size_t(r)][c], wantRow[c].toString());
            }
        }
    }

    // Values the independent readers leave out: memo texts, dates, numbers.
    void dbaseValuesBeyondText()
    {
        auto memo = openSource(dataPath(QStringLiteral("dbf/infused_dbase_8b.dbf")), SourceKind::Dbase);
        const SourceTable t = memo->read(memo->preselectedTable());
        QCOMPARE(t.columns.last(), QStringLiteral("MEMO"));
        QCOMPARE(t.rows[0][5], QStringLiteral("First memo\r\n"));
        QCOMPARE(t.rows[0][2], QStringLiteral("1970-01-01"));
        QCOMPARE(t.rows[0][1], QStringLiteral("1.00")); // as the table writes it
        auto fox = openSource(dataPath(QStringLiteral("dbf/infused_contacts.dbf")), SourceKind::Dbase);
        const SourceTable c = fox->read(fox->preselectedTable());
        QCOMPARE(c.rows.size(), size_t(5));
        QVERIFY(c.rows[0][c.columns.indexOf(QStringLiteral("NOTES"))].size() > 10);
    }

    // Paradox has no reader on this system besides the library ours uses:
    // values checked against what the files are known to hold.
    void paradoxTables_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("values");
        QTest::newRow("version 3, keyed, memo-less notes")
            << "paradox/paradoxdriver_mtdemo/CUSTOMER.DB"
            << QStringList{"Customer #", "Last Name", "First Name", "Address", "City", "Customer State", "Zip", "Phone",
                           "Credit Card #", "Open Balance", "Notes", "X"}
            << 28 << 0
            << QStringList{"1015", "Elkins", "Eugene", "2209 Purisma Creek Rd", "San Gregorio", "CA", "94141",
                           "415-323-9701", "1234-5678-9012-3456", "0", "", "X"};
        QTest::newRow("version 3.5, dates") << "paradox/paradoxdriver_fields/date35.db" << QStringList{"DATE"} << 3 << 2
                                            << QStringList{"2018-01-02"};
        QTest::newRow("version 4, code page 437") << "paradox/paradoxdriver_db/AREACODE.DB"
                                                  << QStringList{"Area Code", "Country", "Full State", "State"} << 135 << 0
                                                  << QStringList{"201", "United States", "New Jersey", "NJ"};
        QTest::newRow("version 7 contacts, unkeyed") << "paradox/paradoxdriver_db/CONTACTS.DB"
                                                     << QStringList{"Last Name", "First Name", "Company", "Phone"} << 55 << 0
                                                     << QStringList{"Pan", "Jerry", "Kauai Dive Shoppe", "808-555-0270"};
        QTest::newRow("version 7, memo held in the record")
            << "paradox/paradoxdriver_db/CUSTOMER.DB"
            << QStringList{"CustNo", "FirstName", "LastName", "EMail", "Street", "City", "State/Prov", "Zip/Postal Code",
                           "Comments", "DateEntered"}
            << 20 << 0
            << QStringList{"1", "Luke", "Justice", "luke@fun.com", "4-976 Sugarloaf Hwy", "Santa Cruz", "CA", "94766",
                           "Small comment (less 100 symbols)", "1996-02-02"};
        QTest::newRow("version 5, memo in a shared block") << "paradox/paradoxdriver_fields/memo.db" << QStringList{"Id", "MEMO"}
                                                           << 2 << 1 << QStringList{"2", "01234567890\n"};
        QTest::newRow("version 7, one field of each type, umlauts in Windows-1252")
            << "paradox/pxlib_testdata/TypSammlung.DB"
            << QStringList{"Alpha", "Numerisch", "Währung", "Integer kurz", "Integer lang", "BCD", "Datum", "Zeit",
                           "Datum/Zeit", "Memo", "Logisch", "Zähler", "Binär", "Bytes"}
            << 5 << 0
            << QStringList{"AAA Irgendein Text", "40", "40", "40", "40", "40.000000", "1970-01-01", "00:00:00",
                           "1970-01-01 11:00:00", "", "", "1", "", ""};
    }

    void paradoxTables()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, columns);
        QFETCH(int, rows);
        QFETCH(int, row);
        QFETCH(QStringList, values);
        auto source = openSource(dataPath(file), SourceKind::Paradox);
        QCOMPARE(source->tables(), QStringList{QFileInfo(file).completeBaseName()});
        const SourceTable t = source->read(source->preselectedTable());
        QCOMPARE(t.columns, columns);
        QCOMPARE(int(t.rows.size()), rows);
        QCOMPARE(t.rows[size_t(row)], values);
    }

    // A memo longer than a block of its own, in the .MB file beside the table.
    void paradoxLongMemo()
    {
        auto source = openSource(dataPath(QStringLiteral("paradox/paradoxdriver_db/CUSTOMER.DB")), SourceKind::Paradox);
        const QString memo = source->read(QStringLiteral("CUSTOMER")).rows[1][8];
        QVERIFY2(memo.startsWith(QLatin1String("\tThe length of the leader may be zero")), qPrintable(memo.left(60)));
        QVERIFY(memo.size() > 400);
    }

    // OpenDocument: repeated cells and rows (the empty rest of a sheet is a
    // million repeated rows), paragraphs, spaces, tabs and typed values.
    void odsSpreadsheet()
    {
        auto source = openSource(made(QStringLiteral("people.ods")), SourceKind::Ods);
        QCOMPARE(source->tables(), (QStringList{QStringLiteral("Adresses"), QStringLiteral("Deux")}));
        const SourceTable t = source->read(QStringLiteral("Adresses"));
        QCOMPARE(t.columns, (QStringList{"Nom", "Email", "Depuis", "Note"}));
        const QList<QStringList> rows{{"Dupont", "", "2019-03-04", "a  b\nc\td\ne"},
                                      {"", "", "", ""},
                                      {"", "", "", ""},
                                      {"1234.5", "TRUE", "13:05:00", "0.5"}};
        QCOMPARE(QList<QStringList>(t.rows.begin(), t.rows.end()), rows);
        QCOMPARE(source->read(QStringLiteral("Deux")).columns, (QStringList{"x", "x"}));
        QCOMPARE(int(source->read(QStringLiteral("Adresses"), 1).rows.size()), 1);
    }

    // Crafted, damaged and unusual files (made by make_sources.py): read as
    // meant, or refused at once saying why.
    void madeFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::addColumn<QString>("error"); // empty: read

        const QString pastT = texts::text(texts::ImportSheetTooLarge).arg("T").arg(1048576).arg(16384);
        const QString pastS = texts::text(texts::ImportSheetTooLarge).arg("S").arg(1048576).arg(16384);
        const QString damaged = texts::text(texts::ImportSharedStringsDamaged);
        QTest::newRow("ods: one cell repeated a billion times across and down") << "ods" << "repeat_bomb.ods" << QStringList()
                                                                                << QList<QStringList>() << pastT;
        QTest::newRow("ods: a row repeated past the last row") << "ods" << "rows_past_limit.ods" << QStringList()
                                                               << QList<QStringList>() << pastT;
        QTest::newRow("ods: repeated empty cells keep later columns in place, repeated rows written out")
            << "ods" << "repeats_in_place.ods" << QStringList{"Nom", "", "", "Email"}
            << QList<QStringList>{{"A", "", "", "a@x.org"}, {"B", "B", "", "b@x.org"}, {"B", "B", "", "b@x.org"}} << QString();
        QTest::newRow("xlsx: _xHHHH_ escapes in shared and inline strings")
            << "xlsx" << "escapes.xlsx" << QStringList{"Nom"}
            << QList<QStringList>{{"one\r\ntwo"}, {"_x000D_ kept"}, {"a\u00e9b _xZZZZ_"}, {"tab\there"}} << QString();
        QTest::newRow("xlsx: an empty row first, rows missing, a later row wider")
            << "xlsx" << "gaps.xlsx" << QStringList{"Nom", "", "Email", ""}
            << QList<QStringList>{{"", "", "", ""}, {"A", "", "", ""}, {"", "b", "", "d"}} << QString();
        QTest::newRow("xlsx: rows written out of order") << "xlsx" << "rows_out_of_order.xlsx" << QStringList{"Nom", "Email"}
                                                         << QList<QStringList>{{"B", "b@x.org"}, {"C", "c@x.org"}} << QString();
        QTest::newRow("xlsx: shared strings cut short") << "xlsx" << "damaged_strings.xlsx" << QStringList()
                                                        << QList<QStringList>() << damaged;
        QTest::newRow("xlsx: a cell names a string past the list") << "xlsx" << "string_past_list.xlsx" << QStringList()
                                                                   << QList<QStringList>() << damaged;
        QTest::newRow("xlsx: dimension past the limits") << "xlsx" << "dimension_past_limit.xlsx" << QStringList()
                                                         << QList<QStringList>() << pastS;
        QTest::newRow("xlsx: row number past the last row") << "xlsx" << "row_past_limit.xlsx" << QStringList()
                                                            << QList<QStringList>() << pastS;
        QTest::newRow("xlsx: column past the last column") << "xlsx" << "column_past_limit.xlsx" << QStringList()
                                                           << QList<QStringList>() << pastS;
        QTest::newRow("xlsx: rows with a cell in the last column, past the cell budget")
            << "xlsx" << "wide_rows.xlsx" << QStringList() << QList<QStringList>()
            << texts::text(texts::ImportCellBudget).arg(kCellBudget);
        QTest::newRow("xlsx: a part larger than parts may be") << "xlsx" << "big_part.xlsx" << QStringList()
                                                               << QList<QStringList>()
                                                               << texts::text(texts::ImportPartTooLarge).arg("xl/sharedStrings.xml").arg(256);
        QTest::newRow("excel 97: formula cells whose result is text")
            << "excel" << "formula_text.xls" << QStringList{"Nom", "Total"}
            << QList<QStringList>{{"Dupont & Fils", "3"}, {"Zoé Ω", "4"}} << QString();
        QTest::newRow("excel 5: LABEL and RSTRING text in the workbook's code page")
            << "excel" << "rstring_biff5.xls" << QStringList{"Nom", "Ville"}
            << QList<QStringList>{{"Léa", "Orléans"}, {"Œdipe €", "Paris"}} << QString();
        QTest::newRow("dbase: variable-length fields, null flags hidden and heeded")
            << "dbase" << "varchar.dbf" << QStringList{"NAME", "PHONE"}
            << QList<QStringList>{{"Ann", "0102"}, {"tenletters", ""}} << QString();
        QTest::newRow("dbase: a field type the reader does not read") << "dbase" << "unknown_type.dbf" << QStringList()
                                                                      << QList<QStringList>()
                                                                      << texts::text(texts::ImportFieldTypeUnread).arg("WHEN", "@");
    }

    void madeFiles()
    {
        QFETCH(QString, kind);
        QFETCH(QString, file);
        QFETCH(QStringList, columns);
        QFETCH(QList<QStringList>, rows);
        QFETCH(QString, error);
        try {
            auto source = openSource(made(file), *kindFromName(kind));
            const SourceTable t = source->read(source->preselectedTable());
            QVERIFY2(error.isEmpty(), "the file was read");
            QCOMPARE(t.columns, columns);
            QCOMPARE(QList<QStringList>(t.rows.begin(), t.rows.end()), rows);
        } catch (const SourceError &e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(error) && !error.isEmpty(), e.what());
        }
    }

    // Copies of good tables, cut short or with a header field changed: refused
    // before the library reads far past the file or for minutes.
    void damagedCopies_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("keep");         // bytes kept, -1: all
        QTest::addColumn<int>("at");           // where patch goes, -1: nowhere
        QTest::addColumn<QByteArray>("patch");
        QTest::addColumn<QString>("error");

        const QString cut = texts::text(texts::ImportFileCut);
        const QString mismatch = texts::text(texts::ImportHeaderMismatch);
        const QString contacts = QStringLiteral("paradox/paradoxdriver_db/CONTACTS.DB");
        QTest::newRow("paradox cut inside its blocks") << "paradox" << contacts << 5000 << -1 << QByteArray() << cut;
        QTest::newRow("paradox counting more records than its blocks hold")
            << "paradox" << contacts << -1 << 6 << QByteArray("\xFF\xFF\xFF\x7F", 4) << mismatch;
        QTest::newRow("paradox with a block size of zero") << "paradox" << contacts << -1 << 5 << QByteArray(1, '\0') << mismatch;
        QTest::newRow("paradox whose fields are longer than its records")
            << "paradox" << contacts << -1 << 0 << QByteArray("\x4A", 1) << mismatch;
        QTest::newRow("lotus cut short") << "lotus" << "lotus/tika_testLotus123.wk1" << 12000 << -1 << QByteArray() << cut;
        QTest::newRow("lotus without its end record") << "lotus" << "lotus/sheetjs_write_L2.wk1" << 595 << -1 << QByteArray() << cut;
    }

    void damagedCopies()
    {
        QFETCH(QString, kind);
        QFETCH(QString, file);
        QFETCH(int, keep);
        QFETCH(int, at);
        QFETCH(QByteArray, patch);
        QFETCH(QString, error);
        QFile original(dataPath(file));
        QVERIFY(original.open(QIODevice::ReadOnly));
        QByteArray bytes = original.readAll();
        if (keep >= 0)
            bytes.truncate(keep);
        if (at >= 0)
            bytes.replace(at, patch.size(), patch);
        QTemporaryDir dir;
        try {
            auto source = openSource(written(dir, QFileInfo(file).fileName(), bytes), *kindFromName(kind));
            for (const QString &t : source->tables())
                (void)source->read(t);
            QFAIL("the damaged copy was read");
        } catch (const SourceError &e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(error), e.what());
        }
    }

    // vCards of versions 2.1, 3.0 and 4.0 as one table: a column per property
    // and type, the parts of names and addresses apart, folded lines,
    // quoted-printable text in its charset, escapes; pictures left out.
    void vcardsAsATable()
    {
        auto source = openSource(made(QStringLiteral("people.vcf")), SourceKind::Vcard);
        QCOMPARE(source->tables(), QStringList{QStringLiteral("people")});
        const SourceTable t = source->read(QStringLiteral("people"));
        QCOMPARE(t.columns, (QStringList{"N:family", "N:given", "N:prefix", "FN", "EMAIL (work)", "EMAIL (home)", "NOTE", "ORG",
                                         "ORG:unit", "ADR:street (work)", "ADR:locality (work)", "ADR:postal code (work)",
                                         "ADR:country (work)", "EMAIL 2 (work)", "URL"}));
        const QList<QStringList> rows{
            {"Dupont", "Jean", "M.", "Jean Dupont", "jean@example.org", "j.dupont@example.net",
             "Très bon client,\r\nappeler le matin", "Dupont & Fils", "Ventes", "", "", "", "", "", ""},
            {"O'Neil", "Ann", "", "Ann O'Neil", "o'neil@example.org", "", "une note, longue\nsur deux lignes qui est pliée ici",
             "", "", "12 rue des Lilas, bât. B", "Paris", "75011", "France", "", ""},
            {"Martin", "Zoé", "", "Zoé Martin", "zoe@example.org", "", "", "", "", "", "", "", "", "zm@example.org",
             "https://example.org/zoe"}};
        QCOMPARE(QList<QStringList>(t.rows.begin(), t.rows.end()), rows);
    }

    // Cards as people's files hold them: every card a row or a refused
    // record, never one lost.
    void vcardForms_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::addColumn<QStringList>("refused");

        QTest::newRow("quoted-printable soft break before a line holding one blank")
            << QByteArray("BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Ann\r\nNOTE;ENCODING=QUOTED-PRINTABLE:one=\r\n \r\nEND:VCARD\r\n"
                          "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Bob\r\nEND:VCARD\r\n")
            << QStringList{"FN", "NOTE"} << QList<QStringList>{{"Ann", "one "}, {"Bob", ""}} << QStringList();
        QTest::newRow("a card inside a card (an agent)")
            << QByteArray("BEGIN:VCARD\nVERSION:2.1\nFN:Boss\nAGENT:\nBEGIN:VCARD\nVERSION:2.1\nFN:Assistant\nEND:VCARD\n"
                          "EMAIL:boss@x.org\nEND:VCARD\n")
            << QStringList{"FN", "EMAIL"} << QList<QStringList>{{"Boss", "boss@x.org"}, {"Assistant", ""}} << QStringList();
        QTest::newRow("cards without END:VCARD")
            << QByteArray("BEGIN:VCARD\nFN:One\nBEGIN:VCARD\nFN:Two\nEND:VCARD\nBEGIN:VCARD\nFN:Three\n")
            << QStringList{"FN"} << QList<QStringList>{{"One"}, {"Two"}, {"Three"}} << QStringList();
        QTest::newRow("a card holding nothing is refused")
            << QByteArray("BEGIN:VCARD\nFN:One\nEND:VCARD\nBEGIN:VCARD\nVERSION:3.0\nEND:VCARD\n")
            << QStringList{"FN"} << QList<QStringList>{{"One"}}
            << QStringList{texts::text(texts::ImportAtCard).arg(2) + ": " + texts::text(texts::ImportRecordUnreadable)};
        const QString zoe = QStringLiteral("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Zo\u00e9\r\nEND:VCARD\r\n");
        QTest::newRow("UTF-16 little endian with a mark")
            << QByteArray(QStringEncoder(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom).encode(zoe))
            << QStringList{"FN"} << QList<QStringList>{{"Zoé"}} << QStringList();
        QTest::newRow("UTF-16 big endian without a mark") << QByteArray(QStringEncoder(QStringEncoder::Utf16BE).encode(zoe))
                                                          << QStringList{"FN"} << QList<QStringList>{{"Zoé"}} << QStringList();
        QTest::newRow("UTF-16 little endian without a mark") << QByteArray(QStringEncoder(QStringEncoder::Utf16LE).encode(zoe))
                                                             << QStringList{"FN"} << QList<QStringList>{{"Zoé"}} << QStringList();
    }

    void vcardForms()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, columns);
        QFETCH(QList<QStringList>, rows);
        QFETCH(QStringList, refused);
        QTemporaryDir dir;
        const QString path = written(dir, QStringLiteral("cards.vcf"), bytes);
        const SourceTable t = openSource(path, SourceKind::Vcard)->read(QStringLiteral("cards"));
        QCOMPARE(t.columns, columns);
        QCOMPARE(QList<QStringList>(t.rows.begin(), t.rows.end()), rows);
        QCOMPARE(refusals(t), refused);
    }

    // A property met many times in one card: each a column of its own, found
    // without going over the ones before each time.
    void vcardManyProperties()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("many.vcf"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("BEGIN:VCARD\nVERSION:3.0\nFN:Many\n");
        for (int i = 0; i < 100000; ++i)
            f.write(QByteArray("EMAIL:a") + QByteArray::number(i) + "@x.org\n");
        f.write("END:VCARD\n");
        f.close();
        const SourceTable t = openSource(path, SourceKind::Vcard)->read(QStringLiteral("many"));
        QCOMPARE(t.columns.size(), 100001);
        QCOMPARE(t.columns.last(), QStringLiteral("EMAIL 100000"));
        QCOMPARE(t.rows.at(0).last(), QStringLiteral("a99999@x.org"));
    }

    // An address-book file goes through the work table tmp_base: one column
    // per property name, first met first, cut to 25 characters; properties
    // without a name and distribution lists left out; values as text.
    void wabThroughTheWorkTable()
    {
        const kirvane::test::TestDataFolder home;
        const kirvane::store::BookFiles store;
        auto source = openSource(made(QStringLiteral("people.wab")), SourceKind::Wab, &store);
        QCOMPARE(source->tables(), QStringList{QStringLiteral("people.wab")});
        const SourceTable t = source->read(QStringLiteral("people.wab"));
        QCOMPARE(t.columns, (QStringList{"DISPLAY_NAME", "OBJECT_TYPE", "EMAIL_ADDRESS", "GIVEN_NAME", "SURNAME",
                                         "BUSINESS_TELEPHONE_NUMBER", "BUSINESS_ADDRESS_POSTAL_C", "ENTRYID",
                                         "CONTACT_EMAIL_ADDRESSES", "SEND_RICH_INFO", "MOBILE_TELEPHONE_NUMBER", "COMPANY_NAME"}));
        const QList<QStringList> rows{
            {"Jean Dupont", "6", "jean@example.org", "Jean", "Dupont", "01 02", "75011", "[Binary - Size: 4 bytes] (00000001)",
             "a@x.org, b@x.org", "1", "", ""},
            {"Ann O'Neil", "6", "o'neil@example.org", "", "", "", "", "", "", "", "06", "ACME Société"}};
        QCOMPARE(QList<QStringList>(t.rows.begin(), t.rows.end()), rows);
        QVERIFY(QFileInfo::exists(store.filePath(QStringLiteral("tmp_base.db"))));
        QVERIFY(!store.listBooks().contains(QStringLiteral("tmp_base")));
        // The preview builds the work table from the first entries only.
        QCOMPARE(int(source->read(QStringLiteral("people.wab"), 1).rows.size()), 1);
    }

    // What our own export writes, and what people's files hold, split as meant.
    void csvSplitting_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<QList<QStringList>>("rows");

        QTest::newRow("export form: quoted ; and doubled quotes, CR LF")
            << QByteArray("Nom;Societe\r\n\"a;b\";\"say \"\"hi\"\"\"\r\n")
            << QStringList{"Nom", "Societe"} << QList<QStringList>{{"a;b", "say \"hi\""}};
        QTest::newRow("line break inside quotes continues the record")
            << QByteArray("Nom;Commentaire\r\nA;\"one\r\ntwo\"\r\nB;x\r\n")
            << QStringList{"Nom", "Commentaire"} << QList<QStringList>{{"A", "one\r\ntwo"}, {"B", "x"}};
        QTest::newRow("short row padded, long row cut, never shifted")
            << QByteArray("a,b,c\n1\n1,2,3,4\n")
            << QStringList{"a", "b", "c"} << QList<QStringList>{{"1", "", ""}, {"1", "2", "3"}};
        QTest::newRow("Windows-1252 without a mark")
            << QByteArray("Nom;Ville\r\nL\xE9on;Orl\xE9\x61ns\r\n")
            << QStringList{"Nom", "Ville"} << QList<QStringList>{{"Léon", "Orléans"}};
        QTest::newRow("UTF-8 without a mark") << QByteArray("Nom\nL\xC3\xA9on\n")
                                              << QStringList{"Nom"} << QList<QStringList>{{"Léon"}};
        QTest::newRow("tab beats comma in the heading") << QByteArray("a\tb,c\td\n1\t2,3\t4\n")
                                                        << QStringList{"a", "b,c", "d"} << QList<QStringList>{{"1", "2,3", "4"}};
        QTest::newRow("lone CR line ends, empty lines skipped") << QByteArray("a;b\r\r1;2\r")
                                                                 << QStringList{"a", "b"} << QList<QStringList>{{"1", "2"}};
        QTest::newRow("quote inside an unquoted value is a character")
            << QByteArray("a;b\n5\" disk;x\n") << QStringList{"a", "b"} << QList<QStringList>{{"5\" disk", "x"}};
        QTest::newRow("last record without a line end") << QByteArray("a;b\n1;2")
                                                         << QStringList{"a", "b"} << QList<QStringList>{{"1", "2"}};
        QTest::newRow("UTF-16 little endian without a mark")
            << QByteArray("N\0o\0m\0\n\0L\0\xE9\0o\0n\0\n\0", 18) << QStringList{"Nom"} << QList<QStringList>{{"Léon"}};
        QTest::newRow("UTF-16 big endian without a mark")
            << QByteArray("\0N\0o\0m\0\n\0L\0\xE9\0o\0n\0\n", 18) << QStringList{"Nom"} << QList<QStringList>{{"Léon"}};
    }

    // Records that cannot be read are refused with their line, and the
    // records after them are read as usual.
    void csvRefusals_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::addColumn<QStringList>("refused"); // "where: why"

        const QString unclosed = texts::text(texts::ImportUnclosedQuote);
        const QString notUtf8 = texts::text(texts::ImportNotUtf8);
        QTest::newRow("unclosed quote: the line refused, the next ones read")
            << QByteArray("a;b\n1;\"open\n2;x\n3;y\n") << QList<QStringList>{{"2", "x"}, {"3", "y"}}
            << QStringList{"line 2: " + unclosed};
        QTest::newRow("unclosed quote on the last line") << QByteArray("a;b\r\n1;2\r\n\"3;4\r\n")
                                                         << QList<QStringList>{{"1", "2"}} << QStringList{"line 3: " + unclosed};
        QTest::newRow("line numbers count the lines of quoted values and empty lines")
            << QByteArray("a;b\n\"x\ny\";1\n\n2;\"z") << QList<QStringList>{{"x\ny", "1"}} << QStringList{"line 5: " + unclosed};
        QTest::newRow("UTF-8 with stray bytes: read as UTF-8, their lines refused")
            << QByteArray("Nom;Ville\nL\xC3\xA9on;Orl\xC3\xA9\x61ns\nBad\xE9;x\nZo\xC3\xA9;\"y\xFF\nz\"\nA;\xC3\xA0\n")
            << QList<QStringList>{{"Léon", "Orléans"}, {"A", "à"}}
            << QStringList{"line 3: " + notUtf8, "line 4: " + notUtf8};
    }

    void csvRefusals()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<QStringList>, rows);
        QFETCH(QStringList, refused);
        QTemporaryDir dir;
        const QString path = written(dir, QStringLiteral("contacts.csv"), bytes);
        const SourceTable t = openSource(path, SourceKind::Csv)->read(QStringLiteral("contacts#csv"));
        QCOMPARE(QList<QStringList>(t.rows.begin(), t.rows.end()), rows);
        QCOMPARE(refusals(t), refused);
    }

    void emptyCsvSaysSo()
    {
        QTemporaryDir dir;
        const QString path = written(dir, QStringLiteral("empty.csv"), "\r\n\r\n");
        try {
            (void)openSource(path, SourceKind::Csv)->read(QStringLiteral("empty#csv"));
            QFAIL("an empty file was read");
        } catch (const SourceError &e) {
            QVERIFY2(QString::fromStdString(e.what()).endsWith(texts::text(texts::ImportFileEmpty)), e.what());
        }
    }

    void csvSplitting()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, columns);
        QFETCH(QList<QStringList>, rows);
        QTemporaryDir dir;
        auto source = openSource(written(dir, QStringLiteral("contacts.csv"), bytes), SourceKind::Csv);
        QCOMPARE(source->tables(), QStringList{QStringLiteral("contacts#csv")});
        SourceTable t;
        try {
            t = source->read(QStringLiteral("contacts#csv"));
        } catch (const SourceError &e) {
            QFAIL(e.what());
        }
        QCOMPARE(t.columns, columns);
        QCOMPARE(QList<QStringList>(t.rows.begin(), t.rows.end()), rows);
        // The preview reads the first rows only.
        QCOMPARE(int(source->read(QStringLiteral("contacts#csv"), 1).rows.size()), std::min<int>(1, int(rows.size())));
    }

    // A file that is not what its kind claims is refused before any row is read.
    void wrongFilesAreRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("file");
        QTest::newRow("dbase II") << "dbase" << "dbf/infused_dbase_02.dbf";
        QTest::newRow("dbase 7") << "dbase" << "dbf/sheetjs_d11.dbf";
        for (const char *kind : {"dbase", "access", "excel", "lotus", "paradox", "wab", "xlsx", "ods"})
            QTest::addRow("csv text as %s", kind) << kind << "csv/thunderbird_csv_semicolon.csv";
        QTest::newRow("binary as csv") << "csv" << "dbf/dbfread_people.dbf";
        QTest::newRow("binary as vcard") << "vcard" << "dbf/dbfread_people.dbf";
        QTest::newRow("spreadsheet as xlsx") << "xlsx" << "/people.ods";
        QTest::newRow("workbook as ods") << "ods" << "/people.xlsx";
    }

    void wrongFilesAreRefused()
    {
        QFETCH(QString, kind);
        QFETCH(QString, file);
        bool refused = false;
        try {
            auto source = openSource(file.startsWith(u'/') ? made(file.mid(1)) : dataPath(file), *kindFromName(kind));
            for (const QString &t : source->tables())
                (void)source->read(t);
        } catch (const SourceError &) {
            refused = true;
        }
        QVERIFY(refused);
    }
};

QTEST_GUILESS_MAIN(TstReaders)
#include "tst_readers.moc"
