#pragma once
// A data folder of the test's with address books filled from short lists.

#include "contacts/bookmanager.h"
#include "store/contactrecord.h"
#include "support/datafolder.h"

#include <QTest>

#include <initializer_list>
#include <memory>

namespace kirvane::testing {

// nom, prenom, societe, email, ville, champ16.
struct Person {
    // Given from the name on; the values left out are empty.
    Person(QString n = {}, QString p = {}, QString s = {}, QString e = {}, QString v = {}, QString c16 = {})
        : nom(std::move(n)), prenom(std::move(p)), societe(std::move(s)), email(std::move(e)), ville(std::move(v)),
          champ16(std::move(c16))
    {
    }
    QString nom, prenom, societe, email, ville, champ16;
};

class BooksFixture {
    test::TestDataFolder m_data;

public:
    store::AddressBookStore &store = m_data.store();

    // Makes book (from the template) holding people, ids 1, 2, ... in order.
    void book(const QString &name, std::initializer_list<Person> people)
    {
        if (!contacts::BookManager(store).create(name, {}).ok())
            qFatal("cannot create the book %s", qPrintable(name));
        std::vector<store::ContactRecord> records;
        for (const Person &p : people) {
            store::ContactRecord c = store::emptyContact();
            c[store::F_nom].value = p.nom;
            c[store::F_prenom].value = p.prenom;
            c[store::F_societe].value = p.societe;
            c[store::F_email].value = p.email;
            c[store::F_ville].value = p.ville;
            c[store::F_champ16].value = p.champ16;
            records.push_back(c);
        }
        store.contacts().saveContacts(records, name);
    }
    [[nodiscard]] QString home() const { return m_data.path(); }
};

} // namespace kirvane::testing
