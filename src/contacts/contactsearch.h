#pragma once
// ContactSearch: finds the contacts of some address books whose name, first
// name, company, e-mail address or town equal given texts. A criterion
// matches a whole value, letter case ignored for every letter ("élodie" finds
// "Élodie"); there is no partial match and no wildcard. Empty criteria are
// left out; with none, nothing is found. The texts go to the store as bound
// conditions, never as statement text.

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

namespace kirvane::store {
class ContactTable;
struct Condition;
}

namespace kirvane::contacts {

struct SearchCriteria {
    QString nom, prenom, societe, email, ville;

    [[nodiscard]] bool isEmpty() const;
    // One condition per non-empty criterion, in the order name, first name,
    // company, e-mail, town.
    [[nodiscard]] QList<store::Condition> conditions() const;
};

// A contact found: its book, its id there and the five columns shown.
struct SearchHit {
    QString book;
    qint64 id = 0;
    QString nom, prenom, societe, email, ville;
};

class ContactSearch : public QObject {
    Q_OBJECT
public:
    explicit ContactSearch(store::ContactTable &contacts, QObject *parent = nullptr)
        : QObject(parent), m_contacts(contacts) {}

    // Searches books in the order given, emitting found() for each contact
    // as it is read; returns them all. A book that cannot be read is skipped
    // after bookFailed().
    QList<SearchHit> run(const QStringList &books, const SearchCriteria &criteria);

    // Deletes a contact found from its book. False with the reason when the
    // book cannot be written.
    bool remove(const SearchHit &hit, QString *error = nullptr);

Q_SIGNALS:
    void found(const kirvane::contacts::SearchHit &hit);
    void bookFailed(const QString &book, const QString &reason);
    void finished(int count);

private:
    store::ContactTable &m_contacts;
};

} // namespace kirvane::contacts
