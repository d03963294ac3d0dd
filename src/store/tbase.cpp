#include "store/tbase.h"

#include "store/database.h"
#include "store/folders.h"
#include "store/inifile.h"
#include "store/textcodec.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>

#include <unordered_map>

namespace kirvane {

namespace {

constexpr int kPageSize = 128;
constexpr int kOffsetRows = 1024;

const QString kBookColumns = QStringLiteral(
    "nom,prenom,code_postal,ville,adresse1,adresse2,pays,tel,fax,email,societe,civilite,"
    "commentaire,url,champ16,champ17,champ18,champ19");

QString bookTableSql()
{
    QString sql = QStringLiteral("CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT");
    for (int k = 1; k < kContactFields; ++k)
        sql += QStringLiteral(", %1 TEXT NOT NULL DEFAULT ''").arg(contactColumns()[k]);
    sql += QStringLiteral(", nom_annuaire TEXT NOT NULL DEFAULT '');"
                          "CREATE INDEX t_name ON t(nom COLLATE NOCASE, prenom COLLATE NOCASE);");
    return sql;
}

const QString kHistorySql = QStringLiteral(
    "CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT, sujet TEXT NOT NULL DEFAULT '', "
    "texte TEXT NOT NULL DEFAULT '', date_msg TEXT NOT NULL DEFAULT '', nom_annuaire TEXT NOT NULL DEFAULT '', "
    "fichiers TEXT NOT NULL DEFAULT '', images TEXT NOT NULL DEFAULT '', html TEXT NOT NULL DEFAULT '', "
    "chemin_page_html TEXT NOT NULL DEFAULT '');");

const QString kTitles = QStringLiteral("Monsieur\nMadame\nMademoiselle\nDocteur\nMaître\nProfesseur\nMr\nMrs\nMs\nDr");

// Makes a table file at path by running sql in a new file beside it, then
// moving it into place, so a half-made file is never left under that name.
bool makeTableFile(const QString &path, const QString &sql, QString *error)
{
    const QString tmp = path + QStringLiteral(".making");
    QFile::remove(tmp);
    try {
        auto db = Database::open(tmp, Database::Mode::Create);
        db->exec(sql);
    } catch (const StoreError &e) {
        QFile::remove(tmp);
        if (error)
            *error = QString::fromStdString(e.what());
        return false;
    }
    if (!QFile::rename(tmp, path)) {
        QFile::remove(tmp);
        if (error)
            *error = QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}

// "1,2,3": digits joined by commas, nothing else.
QList<qint64> parseIdList(const QString &ids)
{
    QList<qint64> out;
    if (ids.trimmed().isEmpty())
        return out;
    for (const QString &part : ids.split(u',')) {
        bool ok = false;
        const qint64 v = part.trimmed().toLongLong(&ok);
        if (!ok)
            throw StoreError(QStringLiteral("not a list of ids: %1").arg(ids).toStdString());
        out << v;
    }
    return out;
}

// The criterion columns the duplicate search may use.
QString criterionColumn(const QString &name)
{
    static const QStringList allowed = {
        QStringLiteral("nom"), QStringLiteral("prenom"), QStringLiteral("societe"), QStringLiteral("email"),
        QStringLiteral("champ16"), QStringLiteral("champ17"), QStringLiteral("champ18"), QStringLiteral("champ19"),
    };
    for (const QString &c : allowed)
        if (c.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return c;
    throw StoreError(QStringLiteral("not a criterion column: %1").arg(name).toStdString());
}

void deleteIds(Database &db, const QList<qint64> &ids)
{
    if (ids.isEmpty())
        return;
    Transaction tx(db);
    Statement s = db.prepare(QStringLiteral("DELETE FROM t WHERE id=?"));
    for (qint64 id : ids) {
        s.bind(1, id);
        s.run();
        s.reset();
    }
    tx.commit();
}

void report(const WorkProgress &p, int value, int maximum)
{
    if (p.bar)
        p.bar(value, maximum);
}

} // namespace

// ---------------------------------------------------------------- BookQuery

BookQuery::BookQuery(QObject *parent) : QAbstractTableModel(parent) {}
BookQuery::~BookQuery() = default;

int BookQuery::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_count;
}

int BookQuery::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : 20; }

QVariant BookQuery::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return text(index.row(), index.column());
}

QVariant BookQuery::headerData(int section, Qt::Orientation o, int role) const
{
    if (o != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, o, role);
    if (section == kDisplayNameColumn)
        return QStringLiteral("NomPrenom");
    QString c = contactColumns().value(section);
    if (!c.isEmpty())
        c[0] = c[0].toUpper();
    return c;
}

QString BookQuery::orderBy() const
{
    return m_descending ? QStringLiteral(" ORDER BY nom COLLATE NOCASE DESC, prenom COLLATE NOCASE DESC, id DESC")
                        : QStringLiteral(" ORDER BY nom COLLATE NOCASE, prenom COLLATE NOCASE, id");
}

void BookQuery::open(std::shared_ptr<Database> db, const QString &book, bool descending)
{
    Statement count = db->prepare(QStringLiteral("SELECT COUNT(*) FROM t"));
    count.step();
    const int n = int(count.int64(0));
    beginResetModel();
    m_db = std::move(db);
    m_book = book;
    m_descending = descending;
    m_count = n;
    m_ids.clear();
    m_idsLoaded = false;
    m_rows.clear();
    m_rows.resize(n);
    m_open = true;
    m_current = 0;
    endResetModel();
}

void BookQuery::close()
{
    beginResetModel();
    m_db.reset();
    m_book.clear();
    m_count = 0;
    m_ids.clear();
    m_idsLoaded = false;
    m_rows.clear();
    m_open = false;
    m_current = 0;
    endResetModel();
}

void BookQuery::loadIds() const
{
    if (m_idsLoaded)
        return;
    std::vector<qint64> ids;
    ids.reserve(m_count);
    Statement s = m_db->prepare(QStringLiteral("SELECT id FROM t") + orderBy());
    while (s.step() && int(ids.size()) < m_count)
        ids.push_back(s.int64(0));
    ids.resize(m_count, -1); // rows removed since the count read as empty
    m_ids = std::move(ids);
    m_idsLoaded = true;
}

void BookQuery::fetchPage(int page) const
{
    const int from = page * kPageSize;
    const int to = std::min(from + kPageSize, m_count);
    auto store = [&](int r, const Statement &s) {
        auto row = std::make_unique<Row>();
        for (int k = 0; k < kContactFields; ++k) {
            row->offsets[k] = int(row->bytes.size());
            row->bytes += s.utf8(k);
        }
        row->offsets[kContactFields] = int(row->bytes.size());
        m_rows[r] = std::move(row);
    };
    if (!m_idsLoaded && from < kOffsetRows) {
        // Near the top an offset is cheaper than reading every id first.
        Statement s = m_db->prepare(QStringLiteral("SELECT * FROM t") + orderBy() + QStringLiteral(" LIMIT ? OFFSET ?"));
        s.bind(1, qint64(to - from)).bind(2, qint64(from));
        int r = from;
        while (r < to && s.step())
            store(r++, s);
    } else {
        loadIds();
        // One statement for the page: the ids of its rows are not in order.
        std::unordered_map<qint64, int> rowOf;
        QString marks;
        for (int r = from; r < to; ++r) {
            if (m_rows[r])
                continue;
            rowOf.emplace(m_ids[r], r);
            marks += marks.isEmpty() ? QStringLiteral("?") : QStringLiteral(",?");
        }
        if (!rowOf.empty()) {
            Statement s = m_db->prepare(QStringLiteral("SELECT * FROM t WHERE id IN (%1)").arg(marks));
            int i = 1;
            for (int r = from; r < to; ++r)
                if (!m_rows[r])
                    s.bind(i++, m_ids[r]);
            while (s.step()) {
                const auto it = rowOf.find(s.int64(0));
                if (it != rowOf.end())
                    store(it->second, s);
            }
        }
    }
    for (int r = from; r < to; ++r)
        if (!m_rows[r])
            m_rows[r] = std::make_unique<Row>(); // vanished since opening
}

QString BookQuery::text(int row, int column) const
{
    if (row < 0 || row >= m_count || column < 0 || column > kDisplayNameColumn)
        return QString();
    if (!m_rows[row]) {
        try {
            fetchPage(row / kPageSize);
        } catch (const StoreError &) {
            return QString();
        }
    }
    const Row &r = *m_rows[row];
    if (column == kDisplayNameColumn)
        return displayName(r.value(F_nom), r.value(F_prenom));
    return r.value(column);
}

qint64 BookQuery::idAt(int row) const
{
    if (row < 0 || row >= m_count)
        return -1;
    if (m_idsLoaded)
        return m_ids[row];
    const QString id = text(row, F_id);
    return id.isEmpty() ? -1 : id.toLongLong();
}

const std::vector<qint64> &BookQuery::ids() const
{
    try {
        loadIds();
    } catch (const StoreError &) {
        m_ids.assign(m_count, -1);
        m_idsLoaded = true;
    }
    return m_ids;
}

int BookQuery::rowOfId(qint64 id) const
{
    (void)ids();
    for (size_t i = 0; i < m_ids.size(); ++i)
        if (m_ids[i] == id)
            return int(i);
    return -1;
}

void BookQuery::setCurrentRow(int row) { m_current = std::clamp(row, 0, m_count); }

// ---------------------------------------------------------------- TableQuery

TableQuery::TableQuery(QObject *parent) : QAbstractTableModel(parent) {}

int TableQuery::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_rows.size()); }
int TableQuery::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_columns.size()); }

QVariant TableQuery::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return text(index.row(), index.column());
}

QVariant TableQuery::headerData(int section, Qt::Orientation o, int role) const
{
    if (o == Qt::Horizontal && role == Qt::DisplayRole)
        return m_columns.value(section);
    return QAbstractTableModel::headerData(section, o, role);
}

QString TableQuery::text(int row, int column) const
{
    if (row < 0 || row >= int(m_rows.size()))
        return QString();
    return m_rows[row].value(column);
}

int TableQuery::columnIndex(const QString &column) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].compare(column, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString TableQuery::text(int row, const QString &column) const { return text(row, columnIndex(column)); }

void TableQuery::setRows(QStringList columns, std::vector<QStringList> rows)
{
    beginResetModel();
    m_columns = std::move(columns);
    m_rows = std::move(rows);
    m_open = true;
    m_current = 0;
    endResetModel();
}

void TableQuery::close()
{
    beginResetModel();
    m_columns.clear();
    m_rows.clear();
    m_open = false;
    m_current = 0;
    endResetModel();
}

// ---------------------------------------------------------------- cursor helpers

QString FirstColumnText(const BookQuery &q) { return q.text(q.currentRow(), 0); }
QString FirstColumnText(const TableQuery &q) { return q.text(q.currentRow(), 0); }

void LocateId(BookQuery &q, const QString &id)
{
    bool ok = false;
    const qint64 value = id.toLongLong(&ok);
    const int row = ok ? q.rowOfId(value) : -1;
    q.setCurrentRow(row >= 0 ? row : q.rowCount());
}

void LocateId(TableQuery &q, const QString &id)
{
    for (int r = 0; r < q.rowCount(); ++r)
        if (q.text(r, 0) == id) {
            q.setCurrentRow(r);
            return;
        }
    q.setCurrentRow(q.rowCount());
}

QString MaxId(const BookQuery &q)
{
    qint64 best = 0;
    for (qint64 id : q.ids())
        best = std::max(best, id);
    return QString::number(best);
}

QString MaxId(const TableQuery &q)
{
    qint64 best = 0;
    for (int r = 0; r < q.rowCount(); ++r)
        best = std::max(best, q.text(r, 0).toLongLong());
    return QString::number(best);
}

namespace {

// Selected rows in the order the user selected them.
QList<int> selectedRows(const QItemSelectionModel *grid)
{
    QList<int> rows;
    if (!grid)
        return rows;
    // A mark per row taken: "select all" on a large book is one range of
    // every row, and a search of the list for each would take minutes.
    std::vector<bool> seen(grid->model() ? grid->model()->rowCount() : 0);
    for (const QItemSelectionRange &range : grid->selection())
        for (int r = range.top(); r <= range.bottom(); ++r) {
            if (r < 0 || r >= int(seen.size()) || seen[r])
                continue;
            seen[r] = true;
            rows << r;
        }
    return rows;
}

} // namespace

QStringList SelectedIds(const BookQuery &q, const QItemSelectionModel *grid)
{
    QStringList ids;
    for (int r : selectedRows(grid))
        if (r < q.rowCount())
            ids << QString::number(q.idAt(r));
    return ids;
}

QString IdBeforeSelection(BookQuery &q, const QItemSelectionModel *grid)
{
    const QList<int> rows = selectedRows(grid);
    if (rows.isEmpty())
        return QStringLiteral("NULL");
    const int first = rows.first();
    if (first <= 0)
        return QStringLiteral("NULL");
    q.setCurrentRow(first - 1);
    return QString::number(q.idAt(first - 1));
}

QString IdAfterSelection(BookQuery &q, const QItemSelectionModel *grid)
{
    if (q.rowCount() < 2)
        return QStringLiteral("NULL");
    const QList<int> rows = selectedRows(grid);
    if (rows.isEmpty())
        return QStringLiteral("NULL");
    const int row = std::min(rows.first() + 1, q.rowCount() - 1);
    q.setCurrentRow(row);
    return QString::number(q.idAt(row));
}

// ---------------------------------------------------------------- Tbase

Tbase::Tbase(QObject *parent)
    : QObject(parent), m_query1(new BookQuery(this)), m_queryHisto(new TableQuery(this)),
      m_queryDoublon(new TableQuery(this))
{
    m_currentLabels = emptyContact();
}

Tbase::~Tbase() = default;

bool Tbase::EnsureDataFolder(const QString &folder, QString *error)
{
    auto failed = [&](const QString &what) {
        if (error && error->isEmpty())
            *error = what;
        return false;
    };
    if (!makeFolder(folder))
        return failed(QStringLiteral("cannot create the data folder %1").arg(folder));
    const QString books = findNoCase(folder, QStringLiteral("Annuaires"));
    const QString history = findNoCase(folder, QStringLiteral("historique"));
    if (!makeFolder(books) || !makeFolder(history))
        return failed(QStringLiteral("cannot create the folders of %1").arg(folder));
    const QString tmpl = findNoCase(books, QStringLiteral("vierge.db"));
    if (!QFileInfo::exists(tmpl) && !makeTableFile(tmpl, bookTableSql(), error))
        return false;
    const QString tmplIni = findNoCase(books, QStringLiteral("vierge.ini"));
    if (!QFileInfo::exists(tmplIni) && !writeLabels(tmplIni, defaultLabels().mid(15)))
        return failed(QStringLiteral("cannot write %1").arg(tmplIni));
    const QString histo = findNoCase(history, QStringLiteral("historique.db"));
    if (!QFileInfo::exists(histo) && !makeTableFile(histo, kHistorySql, error))
        return false;
    const QString titles = findNoCase(folder, QStringLiteral("titre.ini"));
    if (!QFileInfo::exists(titles)) {
        QSaveFile f(titles);
        if (!f.open(QIODevice::WriteOnly))
            return failed(QStringLiteral("cannot write %1").arg(titles));
        QString t = kTitles;
        t.replace(u'\n', QLatin1String("\r\n"));
        f.write(encodeLegacyText(t + QLatin1String("\r\n"), true).bytes);
        if (!f.commit())
            return failed(QStringLiteral("cannot write %1").arg(titles));
    }
    return true;
}

void Tbase::InitDatabaseFolder()
{
    m_databaseFolder = booksFolder();
    m_query1->close();
    m_currentBook.clear();
}

QString Tbase::bookFile(const QString &fileName) const
{
    const QString folder = m_databaseFolder.isEmpty() ? booksFolder() : m_databaseFolder;
    return findNoCase(folder, fileName);
}

QString Tbase::bookPath(const QString &book) const { return bookFile(QStringLiteral("an_") + book + QStringLiteral(".db")); }
QString Tbase::labelPath(const QString &book) const { return bookFile(QStringLiteral("an_") + book + QStringLiteral(".ini")); }

std::shared_ptr<Database> Tbase::openTable(const QString &table, bool create) const
{
    return Database::open(bookFile(table + QStringLiteral(".db")),
                          create ? Database::Mode::Create : Database::Mode::ReadWrite);
}

QStringList Tbase::ListBooks() const
{
    const QString folder = m_databaseFolder.isEmpty() ? booksFolder() : m_databaseFolder;
    QStringList names;
    for (const QString &file : listFiles(folder)) {
        if (!file.startsWith(QLatin1String("an_"), Qt::CaseInsensitive) ||
            !file.endsWith(QLatin1String(".db"), Qt::CaseInsensitive))
            continue;
        names << file.mid(3, file.size() - 6);
    }
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}

int Tbase::openBook(const QString &name, bool descending)
{
    m_currentBook = name;
    readLabels(labelPath(name), m_currentLabels);
    try {
        m_query1->open(Database::open(bookPath(name)), name, descending);
    } catch (const StoreError &) {
        m_query1->close();
        Q_EMIT currentBookChanged(name);
        return 1;
    }
    Q_EMIT currentBookChanged(name);
    return 0;
}

int Tbase::OpenBook(const QString &name) { return openBook(name, false); }
int Tbase::OpenBookDescending(const QString &name) { return openBook(name, true); }

void Tbase::CloseCurrentBook()
{
    m_query1->close();
    m_currentBook.clear();
    m_currentLabels = emptyContact();
}

T_contact Tbase::ReadCurrentContact() const
{
    T_contact c = m_currentLabels;
    const int row = m_query1->currentRow();
    for (int k = 0; k < kContactFields; ++k)
        c[k].value = m_query1->text(row, k);
    return c;
}

int Tbase::CountRows(const QString &table)
{
    auto db = openTable(table);
    Statement s = db->prepare(QStringLiteral("SELECT COUNT(*) FROM t"));
    s.step();
    return int(s.int64(0));
}

namespace {

void bindContact(Statement &s, const T_contact &c, int first)
{
    for (int k = 1; k < kContactFields; ++k)
        s.bind(first + k - 1, c[k].value);
}

QString insertSql()
{
    return QStringLiteral("INSERT INTO t (%1) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)").arg(kBookColumns);
}

// Inserts values 1..18 of contact (the table gives the id) and returns the new id.
qint64 insertContact(Database &db, const T_contact &contact)
{
    Statement s = db.prepare(insertSql());
    bindContact(s, contact, 1);
    s.run();
    return db.lastInsertId();
}

} // namespace

int Tbase::SaveContact(const T_contact &contact, const QString &book)
{
    const QString b = book.isEmpty() ? m_currentBook : book;
    try {
        auto db = Database::open(bookPath(b));
        if (contact[F_id].value.isEmpty()) {
            insertContact(*db, contact);
        } else {
            bool ok = false;
            const qint64 id = contact[F_id].value.toLongLong(&ok);
            if (!ok)
                return 1;
            QString sql = QStringLiteral("UPDATE t SET ");
            for (int k = 1; k < kContactFields; ++k)
                sql += contactColumns()[k] + (k + 1 < kContactFields ? QStringLiteral("=?,") : QStringLiteral("=?"));
            sql += QStringLiteral(" WHERE id=?");
            Statement s = db->prepare(sql);
            bindContact(s, contact, 1);
            s.bind(kContactFields, id);
            s.run();
        }
    } catch (const StoreError &) {
        return 1;
    }
    return 0;
}

qint64 Tbase::AddContact(const T_contact &contact, const QString &book)
{
    auto db = Database::open(bookPath(book.isEmpty() ? m_currentBook : book));
    return insertContact(*db, contact);
}

int Tbase::SaveContacts(const std::vector<T_contact> &contacts, const QString &book)
{
    auto db = Database::open(bookPath(book.isEmpty() ? m_currentBook : book));
    Transaction tx(*db);
    Statement s = db->prepare(insertSql());
    int n = 0;
    for (const T_contact &c : contacts) {
        bindContact(s, c, 1);
        s.run();
        s.reset();
        ++n;
    }
    tx.commit();
    return n;
}

void Tbase::ReadContact(const QString &id, const QString &book, T_contact &contact)
{
    auto db = Database::open(bookPath(book));
    Statement s = db->prepare(QStringLiteral("SELECT * FROM t WHERE id=?"));
    s.bind(1, id.toLongLong());
    if (!s.step())
        throw StoreError(QStringLiteral("no contact %1 in %2").arg(id, book).toStdString());
    for (int k = 0; k < kContactFields; ++k)
        contact[k].value = s.text(k);
}

namespace {

int anyRow(Database &db, const QString &sql, const QStringList &values)
{
    Statement s = db.prepare(sql);
    for (int i = 0; i < values.size(); ++i)
        s.bind(i + 1, values[i]);
    return s.step() ? 1 : 0;
}

} // namespace

int Tbase::ContactExists(const QString &book, const QString &nom, const QString &prenom)
{
    auto db = Database::open(bookPath(book));
    return anyRow(*db, QStringLiteral("SELECT 1 FROM t WHERE lower(nom)=? AND lower(prenom)=?"),
                  {nom.toLower(), prenom.toLower()});
}

int Tbase::NameExists(const QString &book, const QString &nom)
{
    auto db = Database::open(bookPath(book));
    return anyRow(*db, QStringLiteral("SELECT 1 FROM t WHERE lower(nom)=?"), {nom.toLower()});
}

int Tbase::EmailExists(const QString &book, const QString &email)
{
    auto db = Database::open(bookPath(book));
    return anyRow(*db, QStringLiteral("SELECT 1 FROM t WHERE lower(email)=?"), {email.toLower()});
}

QStringList Tbase::SelectIds(const QString &book, const QList<Condition> &conditions)
{
    QStringList ids;
    if (conditions.isEmpty())
        return ids;
    QStringList parts;
    struct Value {
        bool isId;
        QString text;
    };
    std::vector<Value> bound;
    for (const Condition &c : conditions) {
        const int k = contactColumnIndex(c.column);
        if (k < 0)
            throw StoreError(QStringLiteral("not a column of an address book: %1").arg(c.column).toStdString());
        const QString &col = contactColumns()[k];
        const bool isId = k == F_id;
        // An id has no letters to fold, and must compare as a number.
        const Condition::Op op = isId && c.op == Condition::EqualIgnoringCase ? Condition::Equal : c.op;
        switch (op) {
        case Condition::Equal:
            parts << col + QStringLiteral("=?");
            bound.push_back({isId, c.values.value(0)});
            break;
        case Condition::EqualIgnoringCase:
            // The value is folded here the same way LOWER folds the column.
            parts << QStringLiteral("lower(%1)=?").arg(col);
            bound.push_back({isId, c.values.value(0).toLower()});
            break;
        case Condition::In:
        case Condition::NotIn: {
            QStringList marks;
            for (const QString &v : c.values) {
                marks << QStringLiteral("?");
                bound.push_back({isId, v});
            }
            parts << QStringLiteral("%1 %2 (%3)").arg(col, op == Condition::In ? QLatin1String("IN") : QLatin1String("NOT IN"),
                                                     marks.join(u','));
            break;
        }
        }
    }
    auto db = Database::open(bookPath(book)); // read-write: only then is a journal left by a crash played back
    Statement s = db->prepare(QStringLiteral("SELECT id FROM t WHERE ") + parts.join(QStringLiteral(" AND "))
                                 + QStringLiteral(" ORDER BY id"));
    for (size_t i = 0; i < bound.size(); ++i) {
        bool number = false;
        const qint64 n = bound[i].isId ? bound[i].text.trimmed().toLongLong(&number) : 0;
        if (number)
            s.bind(int(i) + 1, n);
        else
            s.bind(int(i) + 1, bound[i].text);
    }
    while (s.step())
        ids << s.text(0);
    return ids;
}

void Tbase::DeleteContacts(const QString &book, const QString &idList)
{
    const QList<qint64> ids = parseIdList(idList);
    auto db = Database::open(bookPath(book));
    deleteIds(*db, ids);
}

void Tbase::DeleteContactList(const QString &book, const QStringList &ids)
{
    DeleteContacts(book, ids.join(u','));
}

void Tbase::DeleteByEmail(const QString &book, const QString &email)
{
    auto db = Database::open(bookPath(book));
    db->prepare(QStringLiteral("DELETE FROM t WHERE email=?")).bind(1, email).run();
}

void Tbase::copyOrMove(const QString &target, const QItemSelectionModel *grid, const CopyQuestions &ask, bool move)
{
    const QString shown = m_currentBook;
    // Every selected row is read before anything changes: a move deletes rows
    // of the shown book, after which a page not yet read would come back
    // shifted and give another contact (and another id to delete).
    struct Picked {
        int row;
        qint64 id;
        T_contact record;
    };
    std::vector<Picked> picked;
    for (int row : selectedRows(grid)) {
        if (row >= m_query1->rowCount())
            continue;
        Picked p{row, m_query1->idAt(row), {}};
        for (int k = 1; k < kContactFields; ++k)
            p.record[k].value = m_query1->text(row, k);
        picked.push_back(std::move(p));
    }
    if (picked.empty())
        return;

    // The target's names and addresses, folded as ContactExists and
    // EmailExists fold them, read once and kept up to date with the rows
    // taken: a lookup per row would read the whole target each time.
    auto targetDb = Database::open(bookPath(target));
    QSet<QPair<QString, QString>> names;
    QSet<QString> emails;
    {
        Statement s = targetDb->prepare(QStringLiteral("SELECT nom, prenom, email FROM t"));
        while (s.step()) {
            names.insert({s.text(0).toLower(), s.text(1).toLower()});
            emails.insert(s.text(2).toLower());
        }
    }
    // The questions come first, with no table locked while they are shown.
    std::vector<const Picked *> taken;
    for (const Picked &p : picked) {
        m_query1->setCurrentRow(p.row);
        const QString &nom = p.record[F_nom].value;
        const QString &prenom = p.record[F_prenom].value;
        const QString &email = p.record[F_email].value;
        const QPair<QString, QString> name{nom.toLower(), prenom.toLower()};
        if (names.contains(name) && ask.sameName && !ask.sameName(nom, prenom))
            continue;
        if (emails.contains(email.toLower()) && ask.sameEmail && !ask.sameEmail(email))
            continue;
        names.insert(name);
        emails.insert(email.toLower());
        taken.push_back(&p);
    }
    if (taken.empty())
        return;
    // One transaction for the copies; when it fails nothing is copied, and so
    // nothing is deleted from the shown book.
    try {
        Transaction tx(*targetDb);
        Statement ins = targetDb->prepare(insertSql());
        for (const Picked *p : taken) {
            bindContact(ins, p->record, 1);
            ins.run();
            ins.reset();
        }
        tx.commit();
    } catch (const StoreError &) {
        return;
    }
    if (!move)
        return;
    QList<qint64> ids;
    for (const Picked *p : taken)
        if (p->id >= 0)
            ids << p->id;
    auto shownDb = Database::open(bookPath(shown));
    deleteIds(*shownDb, ids);
}

void Tbase::CopyContacts(const QString &target, const QItemSelectionModel *grid, const CopyQuestions &ask)
{
    copyOrMove(target, grid, ask, false);
}

void Tbase::MoveContacts(const QString &target, const QItemSelectionModel *grid, const CopyQuestions &ask)
{
    copyOrMove(target, grid, ask, true);
}

// ---------------------------------------------------------------- history

namespace {

QString historyPath() { return findNoCase(historyFolder(), QStringLiteral("historique.db")); }

} // namespace

int Tbase::OpenHistory()
{
    try {
        auto db = Database::open(historyPath());
        Statement s = db->prepare(QStringLiteral("SELECT * FROM t"));
        QStringList columns;
        for (int i = 0; i < s.columnCount(); ++i)
            columns << s.columnName(i);
        std::vector<QStringList> rows;
        while (s.step()) {
            QStringList row;
            for (int i = 0; i < columns.size(); ++i)
                row << s.text(i);
            rows.push_back(std::move(row));
        }
        m_queryHisto->setRows(columns, std::move(rows));
    } catch (const StoreError &) {
        m_queryHisto->close();
        return 1;
    }
    return 0;
}

void Tbase::AddHistory(const QString &subject, const QString &body, const QString &pagePath, const QString &kind,
                       const QString &images, const QString &attachments, const QString &books)
{
    OpenHistory();
    try {
        auto db = Database::open(historyPath());
        db->prepare(QStringLiteral("INSERT INTO t (sujet,texte,date_msg,nom_annuaire,fichiers,images,html,chemin_page_html) "
                                   "VALUES (?,?,?,?,?,?,?,?)"))
            .bind(1, subject).bind(2, body).bind(3, QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")))
            .bind(4, books).bind(5, attachments).bind(6, images).bind(7, kind).bind(8, pagePath)
            .run();
    } catch (const StoreError &) {
        // A history row is a record of the run, never a reason to fail it.
    }
    m_queryHisto->close();
}

void Tbase::DeleteHistory(const QStringList &ids)
{
    const QList<qint64> list = parseIdList(ids.join(u','));
    m_queryHisto->close();
    auto db = Database::open(historyPath());
    deleteIds(*db, list);
}

// ---------------------------------------------------------------- work tables

void Tbase::copyTemplateTo(const QString &table)
{
    const QString target = bookFile(table + QStringLiteral(".db"));
    const QString tmp = target + QStringLiteral(".making");
    QFile::remove(tmp);
    const bool copied = QFile::copy(bookFile(QStringLiteral("vierge.db")), tmp);
    // The old table goes even when no copy was made: its rows (the previous
    // run's exclusions) must never be taken for the new ones. File errors are
    // ignored; the fill that follows reports the missing table.
    QFile::remove(target);
    QFile::remove(target + QStringLiteral("-journal")); // it belongs to the old table
    if (copied)
        QFile::rename(tmp, target);
}

void Tbase::ResetBlackList()
{
    m_blackList.reset();
    copyTemplateTo(QStringLiteral("listenoire"));
}

void Tbase::BuildBlackList(const QStringList &books)
{
    ResetBlackList();
    FillWorkTable(books, QStringLiteral("listenoire"));
    auto db = openTable(QStringLiteral("listenoire"));
    // Every recipient of a run is looked up here.
    db->exec(QStringLiteral("CREATE INDEX IF NOT EXISTS t_email ON t(email)"));
}

int Tbase::IsBlackListed(const QString &email)
{
    try {
        if (!m_blackList)
            m_blackList = openTable(QStringLiteral("listenoire"));
        Statement s = m_blackList->prepare(QStringLiteral("SELECT 1 FROM t WHERE email=?"));
        s.bind(1, email);
        return s.step() ? 1 : 0;
    } catch (const StoreError &) {
        return 0;
    }
}

void Tbase::FillWorkTable(const QStringList &books, const QString &table, const WorkProgress &progress)
{
    report(progress, 0, 0);
    if (table.compare(QStringLiteral("listenoire"), Qt::CaseInsensitive) == 0)
        m_blackList.reset();
    auto db = openTable(table);
    {
        // The id becomes a plain column at the end, so each row keeps the id
        // it has in its own book; rows already there are kept.
        Transaction tx(*db);
        const QStringList cols = db->columns();
        const bool reshaped = !cols.isEmpty() && cols.last().compare(QStringLiteral("id"), Qt::CaseInsensitive) == 0
                              && cols.size() == 20;
        if (!reshaped) {
            QString create = QStringLiteral("CREATE TABLE t_new (");
            for (int k = 1; k < kContactFields; ++k)
                create += contactColumns()[k] + QStringLiteral(" TEXT NOT NULL DEFAULT '', ");
            create += QStringLiteral("nom_annuaire TEXT NOT NULL DEFAULT '', id INTEGER)");
            db->exec(create);
            db->exec(QStringLiteral("INSERT INTO t_new (%1,nom_annuaire,id) SELECT %1,nom_annuaire,NULL FROM t")
                         .arg(kBookColumns));
            db->exec(QStringLiteral("DROP TABLE t"));
            db->exec(QStringLiteral("ALTER TABLE t_new RENAME TO t"));
        } else {
            db->exec(QStringLiteral("UPDATE t SET id=NULL"));
        }
        tx.commit();
    }
    for (const QString &b : books) {
        db->attach(bookPath(b), QStringLiteral("src"));
        try {
            db->prepare(QStringLiteral("INSERT INTO t (id,%1,nom_annuaire) SELECT id,%1,? FROM src.t").arg(kBookColumns))
                .bind(1, b)
                .run();
        } catch (...) {
            db->detach(QStringLiteral("src"));
            throw;
        }
        db->detach(QStringLiteral("src"));
    }
    if (progress.step)
        progress.step(1);
}

void Tbase::PruneToDuplicates(const QString &table, const QStringList &criteria, const WorkProgress &progress)
{
    QStringList cols;
    for (const QString &c : criteria)
        cols << criterionColumn(c);
    auto db = openTable(table);
    const int n = int(cols.size());
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < n; ++i) {
            // Rows in order of the criterion; a row whose value no neighbour
            // shares (exact comparison) is removed.
            std::vector<std::pair<qint64, QString>> rows;
            {
                Statement s = db->prepare(QStringLiteral("SELECT rowid,%1 FROM t ORDER BY %1").arg(cols[i]));
                while (s.step())
                    rows.emplace_back(s.int64(0), s.text(1));
            }
            report(progress, 0, int(rows.size()));
            std::vector<qint64> lonely;
            int group = 1;
            for (size_t r = 1; r < rows.size(); ++r) {
                if (progress.bar && (r % 256) == 0)
                    progress.bar(int(r), int(rows.size()));
                if (progress.processEvents && (r % 256) == 0)
                    progress.processEvents();
                if (rows[r].second != rows[r - 1].second) {
                    if (group == 1)
                        lonely.push_back(rows[r - 1].first);
                    group = 1;
                } else {
                    ++group;
                }
            }
            if (!rows.empty() && group == 1)
                lonely.push_back(rows.back().first);
            if (!lonely.empty()) {
                Transaction tx(*db);
                Statement del = db->prepare(QStringLiteral("DELETE FROM t WHERE rowid=?"));
                for (qint64 rid : lonely) {
                    del.bind(1, rid);
                    del.run();
                    del.reset();
                }
                tx.commit();
            }
            report(progress, int(rows.size()), int(rows.size()));
            if (progress.step)
                progress.step(i + 2 + (pass ? n : 0));
        }
    }
}

void Tbase::DeleteOtherOccurrences(const QString &table, const QStringList &columns, const QString &keptBook,
                                   const QString &keptId, const QStringList &values)
{
    if (columns.size() != values.size() || columns.isEmpty())
        return;
    QStringList cols, ccols;
    for (const QString &c : columns) {
        cols << criterionColumn(c);
        ccols << QStringLiteral("c.") + cols.last();
    }
    auto db = openTable(table);
    std::vector<std::pair<QString, QString>> doomed; // id, book
    {
        Statement s = db->prepare(QStringLiteral("SELECT id,nom_annuaire FROM t c WHERE upper(%1)=upper(?)")
                                      .arg(ccols.join(QStringLiteral("||"))));
        s.bind(1, values.join(QString()));
        while (s.step()) {
            const QString id = s.text(0), book = s.text(1);
            if (id == keptId && book.compare(keptBook, Qt::CaseInsensitive) == 0)
                continue;
            doomed.emplace_back(id, book);
        }
    }
    for (const auto &[id, book] : doomed) {
        auto bookDb = Database::open(bookPath(book));
        bookDb->prepare(QStringLiteral("DELETE FROM t WHERE id=?")).bind(1, id.toLongLong()).run();
        db->prepare(QStringLiteral("DELETE FROM t WHERE id=? AND nom_annuaire=?")).bind(1, id.toLongLong()).bind(2, book).run();
    }
}

void Tbase::DeleteRowsById(const QString &table, const QString &idList)
{
    const QList<qint64> ids = parseIdList(idList);
    auto db = openTable(table);
    deleteIds(*db, ids);
}

// ---------------------------------------------------------------- export, address-book import

namespace {

// CsvField on UTF-8 bytes, appended to out.
void appendCsvField(QByteArray &out, QByteArrayView value)
{
    bool quote = false;
    for (char c : value)
        if (c == '"' || c == ';' || c == '\n' || c == '\r') {
            quote = true;
            break;
        }
    if (!quote) {
        out += value;
        return;
    }
    out += '"';
    for (char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

} // namespace

QString Tbase::CsvField(const QString &value)
{
    // A line break is quoted too: unquoted, a comment of two lines would split
    // its record when the file is read back.
    QByteArray out;
    appendCsvField(out, value.toUtf8());
    return QString::fromUtf8(out);
}

void Tbase::ExportBook(const QString &book, const QString &path)
{
    T_contact labels = emptyContact();
    readLabels(labelPath(book), labels);
    auto db = Database::open(bookPath(book)); // read-write: only then is a journal left by a crash played back
    QStringList heading;
    for (int k = 1; k < kContactFields; ++k)
        heading << labels[k].label;
    // Built as UTF-8, then written in Windows-1252 when every character fits.
    QByteArray text = heading.join(u';').toUtf8() + "\r\n";
    Statement s = db->prepare(QStringLiteral("SELECT %1 FROM t").arg(kBookColumns));
    while (s.step()) {
        for (int k = 0; k < kContactFields - 1; ++k) {
            if (k)
                text += ';';
            appendCsvField(text, s.utf8(k));
        }
        text += "\r\n";
    }
    bool ascii = true;
    for (char c : std::as_const(text))
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw StoreError(QStringLiteral("cannot write %1: %2").arg(path, f.errorString()).toStdString());
    f.write(ascii ? text : encodeLegacyText(QString::fromUtf8(text), true).bytes);
    if (!f.commit())
        throw StoreError(QStringLiteral("cannot write %1: %2").arg(path, f.errorString()).toStdString());
}

void Tbase::BuildWabTable(bool preview, int previewRows, const WabReader &reader, const WorkProgress &progress)
{
    const QString path = bookFile(QStringLiteral("tmp_base.db"));
    QFile::remove(path);
    // A journal left by an interrupted run would be played back into the new file.
    QFile::remove(path + QStringLiteral("-journal"));
    auto db = Database::open(path, Database::Mode::Create);
    db->exec(QStringLiteral("CREATE TABLE t (DISPLAY_NAME TEXT)"));
    const int count = reader.count ? reader.count() : 0;
    report(progress, 0, count);
    QStringList known = {QStringLiteral("display_name")};
    Transaction tx(*db);
    for (int e = 0; e < count; ++e) {
        if (preview && e >= previewRows)
            break;
        if (progress.processEvents)
            progress.processEvents();
        report(progress, e + 1, count);
        QStringList names, values;
        for (const QString &line : reader.properties(e)) {
            const int eq = line.indexOf(u'=');
            if (eq < 0)
                continue;
            const QString name = line.left(eq).left(25);
            if (name.contains(u'[') || name.trimmed().isEmpty())
                continue;
            const QString lname = name.toLower();
            // One column per name whatever its letter case; the last value wins.
            const auto seen = std::find_if(names.begin(), names.end(), [&](const QString &n) {
                return n.compare(name, Qt::CaseInsensitive) == 0;
            });
            if (seen != names.end()) {
                values[seen - names.begin()] = line.mid(eq + 1);
                continue;
            }
            if (!known.contains(lname)) {
                try {
                    db->exec(QStringLiteral("ALTER TABLE t ADD COLUMN %1 TEXT").arg(quoteIdentifier(name)));
                } catch (const StoreError &) {
                    // the column may exist under another letter case
                }
                known << lname;
            }
            names << name;
            values << line.mid(eq + 1);
        }
        if (names.isEmpty())
            continue;
        QStringList quoted, marks;
        for (const QString &n : names) {
            quoted << quoteIdentifier(n);
            marks << QStringLiteral("?");
        }
        Statement s = db->prepare(QStringLiteral("INSERT INTO t (%1) VALUES (%2)").arg(quoted.join(u','), marks.join(u',')));
        for (int i = 0; i < values.size(); ++i)
            s.bind(i + 1, values[i]);
        s.run();
    }
    tx.commit();
}

} // namespace kirvane
