#include "contacts/duplicatesweep.h"

#include "store/addressbookstore.h"
#include "store/contactrecord.h"
#include "store/database.h"

#include <QThread>

#include <algorithm>

namespace kirvane::contacts {

using store::AddressBookStore;
using store::StoreError;

DuplicateSweep::DuplicateSweep(AddressBookStore &store, QObject *parent) : QObject(parent), m_store(store) {}

DuplicateSweep::~DuplicateSweep()
{
    if (m_thread) {
        m_cancel = true;
        m_thread->wait();
        delete m_thread;
    }
}

const QStringList &DuplicateSweep::criterionColumns()
{
    static const QStringList columns = {
        QStringLiteral("nom"),     QStringLiteral("prenom"),  QStringLiteral("societe"), QStringLiteral("email"),
        QStringLiteral("champ16"), QStringLiteral("champ17"), QStringLiteral("champ18"), QStringLiteral("champ19"),
    };
    return columns;
}

QStringList DuplicateSweep::orderedCriteria(const QStringList &criteria, QString *bad)
{
    QStringList out;
    for (const QString &c : criteria) {
        if (!criterionColumns().contains(c.trimmed(), Qt::CaseInsensitive)) {
            if (bad)
                *bad = c;
            return {};
        }
    }
    for (const QString &column : criterionColumns())
        if (std::any_of(criteria.begin(), criteria.end(),
                        [&](const QString &c) { return c.trimmed().compare(column, Qt::CaseInsensitive) == 0; }))
            out << column;
    return out;
}

store::WorkProgress DuplicateSweep::progress()
{
    store::WorkProgress p;
    const int total = stepTotal(int(m_criteria.size()));
    p.step = [this, total](int step) {
        m_lastPercent = -1;
        Q_EMIT stepChanged(step, total);
    };
    // At most a hundred signals a pass, however many rows.
    p.bar = [this](int value, int maximum) {
        const int percent = maximum > 0 ? int(qint64(value) * 100 / maximum) : 0;
        if (percent != m_lastPercent) {
            m_lastPercent = percent;
            Q_EMIT progressChanged(value, maximum);
        }
    };
    p.cancelled = [this] { return m_cancel.load(); };
    return p;
}

DuplicateSweep::Outcome DuplicateSweep::work(const QStringList *books, QString *error)
{
    try {
        const store::WorkProgress p = progress();
        // A table of work of its own: a worker thread shares nothing but the file names.
        store::WorkTables tables(m_store.files());
        if (books) {
            if (!tables.fillWorkTable(*books, AddressBookStore::mergeTable(), p))
                return Outcome::Cancelled;
        }
        if (!tables.pruneToDuplicates(AddressBookStore::mergeTable(), m_criteria, p))
            return Outcome::Cancelled;
    } catch (const StoreError &e) {
        if (error)
            *error = QString::fromUtf8(e.what());
        return Outcome::Failed;
    }
    return Outcome::Done;
}

DuplicateSweep::Outcome DuplicateSweep::run(const QStringList &books, const QStringList &criteria, QString *error)
{
    m_cancel = false;
    const QStringList ordered = orderedCriteria(criteria);
    Q_EMIT stepChanged(0, stepTotal(int(ordered.size())));
    m_store.remakeMergeTable();
    if (ordered.isEmpty())
        return Outcome::NoCriterion;
    m_criteria = ordered;
    return work(&books, error);
}

DuplicateSweep::Outcome DuplicateSweep::prune(QString *error)
{
    m_cancel = false;
    if (m_criteria.isEmpty())
        return Outcome::NoCriterion;
    return work(nullptr, error);
}

bool DuplicateSweep::startWork(std::optional<QStringList> books)
{
    m_cancel = false;
    m_error.clear();
    m_thread = QThread::create([this, books] {
        m_outcome = work(books ? &*books : nullptr, &m_error);
    });
    connect(m_thread, &QThread::finished, this, [this] {
        m_thread->wait();
        m_thread->deleteLater();
        m_thread = nullptr;
        Q_EMIT finished(m_outcome);
    });
    m_thread->start();
    return true;
}

bool DuplicateSweep::start(const QStringList &books, const QStringList &criteria)
{
    if (m_thread)
        return false;
    const QStringList ordered = orderedCriteria(criteria);
    Q_EMIT stepChanged(0, stepTotal(int(ordered.size())));
    m_store.remakeMergeTable();
    if (ordered.isEmpty()) {
        m_outcome = Outcome::NoCriterion;
        Q_EMIT finished(m_outcome);
        return true;
    }
    m_criteria = ordered;
    return startWork(books);
}

bool DuplicateSweep::startPrune()
{
    if (m_thread)
        return false;
    if (m_criteria.isEmpty()) {
        m_outcome = Outcome::NoCriterion;
        Q_EMIT finished(m_outcome);
        return true;
    }
    return startWork(std::nullopt);
}

bool DuplicateSweep::deleteContact(const QString &book, qint64 id, QString *error)
{
    try {
        m_store.contacts().deleteContacts(book, {id});
        m_store.workTables().deleteRowsByIdAndBook(AddressBookStore::mergeTable(), book, {id});
    } catch (const StoreError &e) {
        if (error)
            *error = QString::fromUtf8(e.what());
        return false;
    }
    return true;
}

QList<store::WorkRow> DuplicateSweep::deleteOtherOccurrences(const QString &book, qint64 id)
{
    if (m_criteria.isEmpty())
        return {};
    store::ContactRecord c = store::emptyContact();
    m_store.contacts().readContact(id, book, c);
    QStringList values;
    for (const QString &column : m_criteria)
        values << c[store::contactColumns().indexOf(column)].value;
    return m_store.workTables().deleteOtherOccurrences(AddressBookStore::mergeTable(), m_criteria, book,
                                                       QString::number(id), values);
}

bool DuplicateSweep::deleteOtherOccurrences(const QString &book, qint64 id, QString *error)
{
    try {
        (void)deleteOtherOccurrences(book, id);
    } catch (const StoreError &e) {
        if (error)
            *error = QString::fromUtf8(e.what());
        return false;
    }
    return true;
}

} // namespace kirvane::contacts
