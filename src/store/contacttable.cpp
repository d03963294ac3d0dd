#include "store/contacttable.h"

#include "store/bookfiles.h"
#include "store/tableschemas.h"

#include <QSet>

#include <sqlite3.h>

namespace kirvane::store {

namespace {

void bindContact(Statement &s, const ContactRecord &c)
{
    for (int k = 1; k < kContactFields; ++k)
        s.bind(k, c[k].value);
}

// Inserts values 1..18 of contact (the table gives the id) and returns the new id.
qint64 insertContact(Database &db, const ContactRecord &contact)
{
    Statement s = db.prepare(insertContactSql());
    bindContact(s, contact);
    s.run();
    return db.lastInsertId();
}

bool anyRow(Database &db, const QString &sql, const QStringList &values)
{
    Statement s = db.prepare(sql);
    for (int i = 0; i < values.size(); ++i)
        s.bind(i + 1, values[i]);
    return s.step();
}

} // namespace

void deleteRowsWithIds(Database &db, const QList<qint64> &ids)
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

QList<qint64> ContactTable::parseIdList(const QString &ids)
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

bool ContactTable::saveContact(const ContactRecord &contact, const QString &book, QString *why)
{
    try {
        auto db = m_files.openBook(book);
        if (contact[F_id].value.isEmpty()) {
            insertContact(*db, contact);
            return true;
        }
        bool ok = false;
        const qint64 id = contact[F_id].value.toLongLong(&ok);
        if (!ok) {
            if (why)
                *why = QStringLiteral("no contact has the id %1").arg(contact[F_id].value);
            return false;
        }
        QString sql = QStringLiteral("UPDATE t SET ");
        for (int k = 1; k < kContactFields; ++k)
            sql += contactColumns()[k] + (k + 1 < kContactFields ? QStringLiteral("=?,") : QStringLiteral("=?"));
        sql += QStringLiteral(" WHERE id=?");
        Statement s = db->prepare(sql);
        bindContact(s, contact);
        s.bind(kContactFields, id);
        s.run();
    } catch (const StoreError &e) {
        if (why)
            *why = QString::fromStdString(e.what());
        return false;
    }
    return true;
}

qint64 ContactTable::addContact(const ContactRecord &contact, const QString &book)
{
    auto db = m_files.openBook(book);
    return insertContact(*db, contact);
}

int ContactTable::saveContacts(const std::vector<ContactRecord> &contacts, const QString &book)
{
    auto db = m_files.openBook(book);
    Transaction tx(*db);
    Statement s = db->prepare(insertContactSql());
    int n = 0;
    for (const ContactRecord &c : contacts) {
        bindContact(s, c);
        s.run();
        s.reset();
        ++n;
    }
    tx.commit();
    return n;
}

void ContactTable::readContact(qint64 id, const QString &book, ContactRecord &contact)
{
    auto db = m_files.openBook(book);
    Statement s = db->prepare(QStringLiteral("SELECT * FROM t WHERE id=?"));
    s.bind(1, id);
    if (!s.step())
        throw StoreError(QStringLiteral("no contact %1 in %2").arg(id).arg(book).toStdString());
    for (int k = 0; k < kContactFields; ++k)
        contact[k].value = s.text(k);
}

bool ContactTable::contactExists(const QString &book, const QString &nom, const QString &prenom)
{
    auto db = m_files.openBook(book);
    return anyRow(*db, QStringLiteral("SELECT 1 FROM t WHERE lower(nom)=? AND lower(prenom)=?"),
                  {nom.toLower(), prenom.toLower()});
}

bool ContactTable::nameExists(const QString &book, const QString &nom)
{
    auto db = m_files.openBook(book);
    return anyRow(*db, QStringLiteral("SELECT 1 FROM t WHERE lower(nom)=?"), {nom.toLower()});
}

bool ContactTable::emailExists(const QString &book, const QString &email)
{
    auto db = m_files.openBook(book);
    return anyRow(*db, QStringLiteral("SELECT 1 FROM t WHERE lower(email)=?"), {email.toLower()});
}

QList<qint64> ContactTable::selectIds(const QString &book, const QList<Condition> &conditions)
{
    QList<qint64> ids;
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
            // The value is folded here the same way lower() folds the column.
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
    auto db = m_files.openBook(book); // read-write: only then is a journal left by a crash played back
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
        ids << s.int64(0);
    return ids;
}

void ContactTable::deleteContacts(const QString &book, const QList<qint64> &ids)
{
    auto db = m_files.openBook(book);
    deleteRowsWithIds(*db, ids);
}

int ContactTable::deleteByEmail(const QString &book, const QString &email)
{
    auto db = m_files.openBook(book);
    db->prepare(QStringLiteral("DELETE FROM t WHERE lower(email)=?")).bind(1, email.toLower()).run();
    return sqlite3_changes(db->handle());
}

QList<qint64> ContactTable::copyOrMove(const QString &source, const QList<qint64> &ids, const QString &target,
                                       const ConflictDecision &decide, bool move)
{
    // Every row is read before anything changes.
    struct Picked {
        qint64 id;
        ContactRecord record;
    };
    std::vector<Picked> picked;
    {
        auto sourceDb = m_files.openBook(source);
        Statement s = sourceDb->prepare(QStringLiteral("SELECT * FROM t WHERE id=?"));
        for (qint64 id : ids) {
            s.bind(1, id);
            if (s.step()) {
                Picked p{id, {}};
                for (int k = 1; k < kContactFields; ++k)
                    p.record[k].value = s.text(k);
                picked.push_back(std::move(p));
            }
            s.reset();
        }
    }
    QList<qint64> taken;
    if (picked.empty())
        return taken;

    // The target's names and addresses, folded as contactExists and
    // emailExists fold them, read once and kept up to date with the rows
    // taken: a lookup per row would read the whole target each time.
    auto targetDb = m_files.openBook(target);
    QSet<QPair<QString, QString>> names;
    QSet<QString> emails;
    {
        Statement s = targetDb->prepare(QStringLiteral("SELECT nom, prenom, email FROM t"));
        while (s.step()) {
            names.insert({s.text(0).toLower(), s.text(1).toLower()});
            emails.insert(s.text(2).toLower());
        }
    }
    // The decisions come first, with no table locked while they are taken.
    std::vector<const Picked *> chosen;
    for (const Picked &p : picked) {
        const QString &email = p.record[F_email].value;
        const QPair<QString, QString> name{p.record[F_nom].value.toLower(), p.record[F_prenom].value.toLower()};
        if (names.contains(name) && !decide(TransferConflict::SameName, p.record))
            continue;
        // No address is no duplicate: every other contact without one would match.
        if (!email.isEmpty() && emails.contains(email.toLower()) && !decide(TransferConflict::SameEmail, p.record))
            continue;
        names.insert(name);
        if (!email.isEmpty())
            emails.insert(email.toLower());
        chosen.push_back(&p);
    }
    if (chosen.empty())
        return taken;
    // One transaction for the copies; when it fails nothing is copied, and so
    // nothing is deleted from the source.
    {
        Transaction tx(*targetDb);
        Statement ins = targetDb->prepare(insertContactSql());
        for (const Picked *p : chosen) {
            bindContact(ins, p->record);
            ins.run();
            ins.reset();
        }
        tx.commit();
    }
    for (const Picked *p : chosen)
        taken << p->id;
    if (move) {
        auto sourceDb = m_files.openBook(source);
        deleteRowsWithIds(*sourceDb, taken);
    }
    return taken;
}

QList<qint64> ContactTable::copyContacts(const QString &source, const QList<qint64> &ids, const QString &target,
                                         const ConflictDecision &decide)
{
    return copyOrMove(source, ids, target, decide, false);
}

QList<qint64> ContactTable::moveContacts(const QString &source, const QList<qint64> &ids, const QString &target,
                                         const ConflictDecision &decide)
{
    return copyOrMove(source, ids, target, decide, true);
}

BookScan ContactTable::scan(const QString &book, bool descending)
{
    return BookScan(m_files.openBook(book), descending);
}

} // namespace kirvane::store
