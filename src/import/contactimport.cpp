#include "import/contactimport.h"

#include "contacts/titlelist.h"
#include "texts/texttable.h"
#include "store/contactrecord.h"
#include "store/database.h"
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
    if (!result.ok)
        return (lines(texts::ImportError) << result.error).join(u'\n');
    QStringList text{texts::text(texts::ImportAdded, language).arg(result.added)};
    if (result.refused > 0) {
        text << texts::text(texts::ImportRefused, language).arg(result.refused);
        for (auto it = result.reasons.cbegin(); it != result.reasons.cend(); ++it)
            text << QStringLiteral("%1 × %2").arg(it.value()).arg(it.key());
    }
    if (!result.error.isEmpty())
        text << result.error;
    return text.join(u'\n');
}

ImportResult importContacts(const BookFiles &files, const QString &book, const SourceTable &table,
                            const QList<int> &mapping, const ImportOptions &options)
{
    ImportResult result;
    const contacts::TitleList titleFile(options.titlesPath);
    QStringList titles = options.titlesPath.isEmpty() ? QStringList() : titleFile.load();
    const qsizetype titleCount = titles.size();

    const int passes = int(table.rows.size()) + (options.skipHeader ? 0 : 1);
    QStringList columns;
    for (int k = F_nom; k <= F_champ19; ++k)
        columns << contactColumns()[k];
    QString sql = QStringLiteral("INSERT INTO t (%1) VALUES (?").arg(columns.join(u','));
    sql += QStringLiteral(",?").repeated(columns.size() - 1) + u')';
    try {
        auto db = Database::open(files.bookPath(book));
        Transaction tx(*db);
        Statement insert = db->prepare(sql);
        if (options.progress)
            options.progress(0, passes);
        for (int pass = 0; pass < passes; ++pass) {
            const bool header = !options.skipHeader && pass == 0;
            const QStringList &values = header ? table.columns : table.rows[size_t(pass - (options.skipHeader ? 0 : 1))];
            store::ContactRecord record = emptyContact();
            for (int i = 0; i < mapping.size() && i < values.size(); ++i) {
                const int field = mapping[i];
                if (field < F_nom || field > F_champ19)
                    continue;
                record[field].value = importedValue(field, values[i]);
                if (field == F_civilite)
                    contacts::TitleList::add(titles, record[field].value);
            }
            for (int k = F_nom; k <= F_champ19; ++k)
                insert.bind(k, record[k].value);
            try {
                insert.run();
                ++result.added;
            } catch (const StoreError &e) {
                // A full disk or an I/O error ends the transaction inside
                // SQLite: the later rows would each be committed alone.
                if (sqlite3_get_autocommit(db->handle()))
                    throw;
                ++result.refused;
                ++result.reasons[QString::fromStdString(e.what())];
            }
            insert.reset();
            if (options.progress)
                options.progress(pass + 1, passes);
            if (options.processEvents)
                options.processEvents();
        }
        tx.commit();
    } catch (const StoreError &e) {
        result = ImportResult();
        result.error = QString::fromStdString(e.what());
        return result;
    }
    if (!options.titlesPath.isEmpty() && titles.size() != titleCount && !titleFile.save(titles)) {
        result.ok = true;
        result.error = QStringLiteral("cannot write %1").arg(options.titlesPath);
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace kirvane::import
