#include "contacts/contactsearch.h"

#include "store/contactrecord.h"
#include "store/contacttable.h"
#include "store/database.h"

namespace kirvane::contacts {

using store::Condition;

bool SearchCriteria::isEmpty() const { return conditions().isEmpty(); }

QList<Condition> SearchCriteria::conditions() const
{
    QList<Condition> out;
    const std::pair<const char *, const QString *> parts[] = {
        {"nom", &nom}, {"prenom", &prenom}, {"societe", &societe}, {"email", &email}, {"ville", &ville},
    };
    for (const auto &[column, value] : parts)
        if (!value->isEmpty())
            out.append(Condition{QLatin1String(column), Condition::EqualIgnoringCase, {*value}});
    return out;
}

QList<SearchHit> ContactSearch::run(const QStringList &books, const SearchCriteria &criteria)
{
    QList<SearchHit> hits;
    const QList<Condition> conditions = criteria.conditions();
    if (!conditions.isEmpty()) {
        for (const QString &book : books) {
            try {
                const QList<qint64> ids = m_contacts.selectIds(book, conditions);
                for (qint64 id : ids) {
                    store::ContactRecord c = store::emptyContact();
                    m_contacts.readContact(id, book, c);
                    SearchHit hit{book, id, c[store::F_nom].value, c[store::F_prenom].value,
                                  c[store::F_societe].value, c[store::F_email].value, c[store::F_ville].value};
                    hits.append(hit);
                    Q_EMIT found(hit);
                }
            } catch (const store::StoreError &e) {
                Q_EMIT bookFailed(book, QString::fromUtf8(e.what()));
            }
        }
    }
    Q_EMIT finished(int(hits.size()));
    return hits;
}

bool ContactSearch::remove(const SearchHit &hit, QString *error)
{
    try {
        m_contacts.deleteContacts(hit.book, {hit.id});
    } catch (const store::StoreError &e) {
        if (error)
            *error = QString::fromUtf8(e.what());
        return false;
    }
    return true;
}

} // namespace kirvane::contacts
