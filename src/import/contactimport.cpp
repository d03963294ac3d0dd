#include "import/contactimport.h"

#include "contacts/titlelist.h"
#include "texts/texttable.h"
#include "store/contactrecord.h"
#include "store/database.h"
#include "store/nameorder.h"
#include "store/tableschemas.h"
#include "store/bookfiles.h"

#include <sqlite3.h>

namespace kirvane::import {

using namespace kirvane::store;

const QList<int> &mappingFields()
{
    static const QList<int> fields = {
        kUnused, F_adresse1, F_adresse2, F_civilite, F_code_postal, F_commentaire, F_email,
        F_fax, F_nom, F_pays, F_prenom, F_societe, F_tel, F_url, F_ville,
        F_champ16, F_champ17, F_champ18, F_champ19,
    };
    return fields;
}

QString mappingText(int field, int language)
{
    const qsizetype i = mappingFields().indexOf(field);
    if (i < 0)
        return texts::text(texts::ImportClickHere, language);
    return texts::text(texts::mappingChoices()[size_t(i)], language);
}

int fieldOfColumnName(const QString &name)
{
    const int k = contactColumnIndex(name);
    return k >= F_nom && k <= F_champ19 ? k : kNotIdentified;
}

QList<MappingProblem> mappingProblems(const QList<int> &mapping, bool sourceHasRows)
{
    QList<int> seen;
    int identified = 0;
    bool notDefined = false, twice = false;
    for (int field : mapping) {
        if (field == kNotIdentified) {
            notDefined = true;
            break;
        }
        if (field != kUnused)
            ++identified;
        if (seen.contains(field) && field != kUnused) {
            twice = true;
            break;
        }
        seen << field;
    }
    QList<MappingProblem> problems;
    if (notDefined)
        problems << MappingProblem::NotIdentified;
    if (identified == 0)
        problems << MappingProblem::NoFieldUsed;
    if (twice)
        problems << MappingProblem::FieldTwice;
    if (!sourceHasRows)
        problems << MappingProblem::NoRecord;
    return problems;
}

int problemEntry(MappingProblem problem)
{
    switch (problem) {
    case MappingProblem::NotIdentified: return texts::CsvFieldsNotIdentified;
    case MappingProblem::NoFieldUsed: return texts::CsvNoFieldUsed;
    case MappingProblem::FieldTwice: return texts::CsvFieldTwice;
    case MappingProblem::NoRecord: return texts::CsvNoRecord;
    }
    return texts::ImportError;
}

bool keepsApostrophes(int field)
{
    return field == F_email || field == F_url;
}

QString withTypographicApostrophes(QString value)
{
    return value.replace(u'\'', QChar(0x2019));
}

QString importedValue(int field, const QString &value)
{
    return keepsApostrophes(field) ? value : withTypographicApostrophes(value);
}

QString importSummary(const ImportResult &result, int language)
{
    const auto lines = [language](int entry) { return texts::lines(entry, language); };
    if (result.cancelled)
        return texts::text(texts::ImportCancelled, language);
    if (!result.ok)
        return (lines(texts::ImportError) << result.error).join(u'\n');
    QStringList text{texts::text(texts::ImportAdded, language).arg(result.added)};
    if (result.existing == ExistingAddress::Update || result.updated > 0)
        text << texts::text(texts::ImportUpdated, language).arg(result.updated);
    if (result.existing == ExistingAddress::Skip || result.skipped > 0)
        text << texts::text(texts::ImportSkipped, language).arg(result.skipped);
    if (result.refused > 0) {
        text << texts::text(texts::ImportRefused, language).arg(result.refused);
        for (auto it = result.reasons.cbegin(); it != result.reasons.cend(); ++it) {
            const QStringList places = result.where.value(it.key());
            const qsizetype more = it.value() - places.size();
            QString line = QStringLiteral("%1 × %2").arg(it.value()).arg(it.key());
            if (!places.isEmpty())
                line += QStringLiteral(" (%1%2)").arg(places.join(QStringLiteral(", ")), more > 0 ? QStringLiteral(", …") : QString());
            text << line;
        }
    }
    text << result.notes;
    if (!result.error.isEmpty())
        text << result.error;
    return text.join(u'\n');
}

std::optional<ExistingAddress> existingFromName(const QString &name)
{
    if (name == QLatin1String("add"))
        return ExistingAddress::Add;
    if (name == QLatin1String("skip"))
        return ExistingAddress::Skip;
    if (name == QLatin1String("update"))
        return ExistingAddress::Update;
    return std::nullopt;
}

namespace {

// The addresses of the book, folded, each with its contact's id, in a
// temporary table of the import's connection: looked up by index without
// holding the book in memory. Rows added by the import join it, so a second
// row with the same address finds the first.
class KnownAddresses {
public:
    explicit KnownAddresses(Database &db) : m_db(db)
    {
        db.exec(QStringLiteral("CREATE TEMP TABLE known (email TEXT PRIMARY KEY, id INTEGER NOT NULL) WITHOUT ROWID"));
        db.exec(QStringLiteral("INSERT OR IGNORE INTO temp.known SELECT LOWER(TRIM(email)), id FROM main.t "
                               "WHERE TRIM(email) <> '' ORDER BY id"));
        m_find = db.prepare(QStringLiteral("SELECT id FROM temp.known WHERE email = LOWER(TRIM(?1))"));
        m_add = db.prepare(QStringLiteral("INSERT OR IGNORE INTO temp.known VALUES (LOWER(TRIM(?1)), ?2)"));
    }
    ~KnownAddresses()
    {
        m_find = Statement();
        m_add = Statement();
        try {
            m_db.exec(QStringLiteral("DROP TABLE temp.known"));
        } catch (const StoreError &) {
            // The connection closes with the import and takes the table.
        }
    }
    KnownAddresses(const KnownAddresses &) = delete;
    KnownAddresses &operator=(const KnownAddresses &) = delete;

    // The contact holding address, or 0.
    qint64 find(const QString &address)
    {
        if (address.trimmed().isEmpty())
            return 0;
        m_find.bind(1, address);
        const qint64 id = m_find.step() ? m_find.int64(0) : 0;
        m_find.reset();
        return id;
    }
    void add(const QString &address, qint64 id)
    {
        if (address.trimmed().isEmpty())
            return;
        m_add.bind(1, address).bind(2, id);
        m_add.run();
        m_add.reset();
    }

private:
    Database &m_db;
    Statement m_find;
    Statement m_add;
};

// A large import drops the book's indexes once it has added more rows than
// this and than the book held, and makes them again before it commits: one
// sort at the end instead of a search per row and index.
constexpr int kIndexesLaterAfter = 10000;

class IndexesLater {
public:
    explicit IndexesLater(Database &db) : m_db(db)
    {
        Statement count = db.prepare(QStringLiteral("SELECT count(*) FROM main.t"));
        m_bookRows = count.step() ? count.int64(0) : 0;
    }
    void rowsAdded(qint64 added)
    {
        if (!m_made.isEmpty() || added <= kIndexesLaterAfter || added <= m_bookRows)
            return;
        QStringList names;
        {
            Statement s = m_db.prepare(QStringLiteral("SELECT name, sql FROM main.sqlite_master "
                                                      "WHERE type = 'index' AND tbl_name = 't' AND sql IS NOT NULL"));
            while (s.step()) {
                names << s.text(0);
                m_made << s.text(1);
            }
        }
        for (const QString &name : std::as_const(names))
            m_db.exec(QStringLiteral("DROP INDEX main.%1").arg(quoteIdentifier(name)));
    }
    // Makes again the indexes dropped, inside the import's transaction.
    void remake()
    {
        for (const QString &sql : std::as_const(m_made))
            m_db.exec(sql);
        m_made.clear();
    }

private:
    Database &m_db;
    qint64 m_bookRows = 0;
    QStringList m_made; // the statements that made the indexes dropped
};

// How often the progress is told, in rows.
constexpr int kProgressStep = 64;
// How many of the records refused for one reason the summary names.
constexpr qsizetype kPlacesTold = 3;

} // namespace

ImportResult importRows(const BookFiles &files, const QString &book, const QStringList &columns, const RowFeed &feed,
                        const QList<int> &mapping, const ImportOptions &options, qint64 rowCount)
{
    ImportResult result;
    result.existing = options.existing;
    const contacts::TitleList titleFile(options.titlesPath);
    QStringList titles = options.titlesPath.isEmpty() ? QStringList() : titleFile.load();
    const qsizetype titleCount = titles.size();

    const int maximum = rowCount < 0 ? 0 : int(rowCount) + (options.skipHeader ? 0 : 1);
    QStringList names, updates;
    for (int k = F_nom; k <= F_champ19; ++k) {
        names << contactColumns()[k];
        updates << QStringLiteral("%1 = CASE WHEN ?%2 = '' THEN %1 ELSE ?%2 END").arg(contactColumns()[k]).arg(k);
    }
    // %1: the sort key's column, %2: its value, when the book keeps one.
    const QString insertSql = QStringLiteral("INSERT INTO t (%3%1) VALUES (?%4%2)")
                                  .arg(QStringLiteral("%1"), QStringLiteral("%2"), names.join(u','),
                                       QStringLiteral(",?").repeated(names.size() - 1));
    const QString updateSql = QStringLiteral("UPDATE t SET %1 WHERE id = ?%2").arg(updates.join(u',')).arg(F_champ19 + 1);
    int done = 0;
    bool stopped = false;
    try {
        auto db = Database::open(files.bookPath(book));
        // New rows go at the table's end and need few pages at hand; the
        // sort that makes the indexes again takes as much as the cache may.
        db->exec(QStringLiteral("PRAGMA cache_size=-16384"));
        // Each new row is written once, with its sort key.
        const bool withKey = keyGivenOnInsert(*db);
        Transaction tx(*db);
        Statement insert = db->prepare(withKey ? insertSql.arg(QStringLiteral(",cle_tri"),
                                                               QStringLiteral(",cle_de_tri(?%1,?%2)").arg(F_nom).arg(F_prenom))
                                               : insertSql.arg(QString(), QString()));
        Statement update = db->prepare(updateSql);
        std::optional<KnownAddresses> known;
        if (options.existing != ExistingAddress::Add)
            known.emplace(*db);
        IndexesLater indexes(*db);
        if (options.progress)
            options.progress(0, maximum);
        store::ContactRecord record = emptyContact();
        const auto importRow = [&](const QStringList &values) {
            if (options.cancelled && options.cancelled()) {
                stopped = true;
                return false;
            }
            for (int k = F_nom; k <= F_champ19; ++k)
                record[k].value.clear();
            for (int i = 0; i < mapping.size() && i < values.size(); ++i) {
                const int field = mapping[i];
                if (field < F_nom || field > F_champ19)
                    continue;
                record[field].value = importedValue(field, values[i]);
                if (field == F_civilite)
                    contacts::TitleList::add(titles, record[field].value);
            }
            const qint64 existing = known ? known->find(record[F_email].value) : 0;
            if (existing && options.existing == ExistingAddress::Skip) {
                ++result.skipped;
            } else {
                Statement &statement = existing ? update : insert;
                for (int k = F_nom; k <= F_champ19; ++k)
                    statement.bind(k, record[k].value);
                if (existing)
                    statement.bind(F_champ19 + 1, existing);
                try {
                    statement.run();
                    if (existing) {
                        ++result.updated;
                    } else {
                        ++result.added;
                        if (known)
                            known->add(record[F_email].value, db->lastInsertId());
                    }
                } catch (const StoreError &e) {
                    // A full disk or an I/O error ends the transaction inside
                    // SQLite: the later rows would each be committed alone.
                    if (sqlite3_get_autocommit(db->handle()))
                        throw;
                    ++result.refused;
                    ++result.reasons[QString::fromStdString(e.what())];
                }
                statement.reset();
            }
            indexes.rowsAdded(result.added);
            if (++done % kProgressStep == 0 && options.progress)
                options.progress(done, maximum);
            return true;
        };
        const auto refuseRecord = [&](const QString &where, const QString &reason) {
            ++result.refused;
            ++result.reasons[reason];
            if (QStringList &places = result.where[reason]; places.size() < kPlacesTold)
                places << where;
        };
        const auto note = [&](const QString &text) {
            if (!result.notes.contains(text))
                result.notes << text;
        };
        if (options.skipHeader || importRow(columns))
            feed(RowTarget{importRow, refuseRecord, note});
        if (stopped) {
            // The transaction rolls back as it goes out of scope.
            result = ImportResult();
            result.existing = options.existing;
            result.cancelled = true;
            return result;
        }
        known.reset();
        indexes.remake();
        tx.commit();
    } catch (const StoreError &e) {
        result = ImportResult();
        result.error = QString::fromStdString(e.what());
        return result;
    } catch (const SourceError &e) {
        result = ImportResult();
        result.error = QString::fromStdString(e.what());
        return result;
    }
    if (options.progress)
        options.progress(done, done);
    if (!options.titlesPath.isEmpty() && titles.size() != titleCount && !titleFile.save(titles)) {
        result.ok = true;
        result.error = QStringLiteral("cannot write %1").arg(options.titlesPath);
        return result;
    }
    result.ok = true;
    return result;
}

ImportResult importContacts(const BookFiles &files, const QString &book, const SourceTable &table,
                            const QList<int> &mapping, const ImportOptions &options)
{
    const RowFeed feed = [&table](const RowTarget &target) {
        for (const QStringList &row : table.rows)
            if (!target.row(row))
                return;
    };
    return importRows(files, book, table.columns, feed, mapping, options, qint64(table.rows.size()));
}

} // namespace kirvane::import
