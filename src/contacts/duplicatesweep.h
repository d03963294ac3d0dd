#pragma once
// DuplicateSweep: finds the contacts of some address books that could be
// duplicates. The books are merged into the merge table fusion_mnl (each row
// keeping its book's name and its id there), then the table is filtered in
// two cycles over the criteria: a pass per criterion deletes every row whose
// value of that column no other row left shares (exact comparison, an empty
// value being a value like any other). The rows left are candidates for the
// user to judge; nothing is deleted from a book without a command.
//
// The sweep runs synchronously (run(), for the command line and tests) or in a
// worker thread (start()), reporting the step n of 2k + 1 (k criteria) and the
// rows of the current pass by signals; cancel() stops it between rows.

#include "store/worktables.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>

class QThread;

namespace kirvane::store {
class AddressBookStore;
}

namespace kirvane::contacts {

class DuplicateSweep : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Done,        // the merge table holds the candidates
        NoCriterion, // the merge table was remade empty, nothing else done
        Cancelled,
        Failed,      // a book or the merge table could not be read or written
    };
    Q_ENUM(Outcome)

    explicit DuplicateSweep(store::AddressBookStore &store, QObject *parent = nullptr);
    // Cancels a sweep still running and waits for it.
    ~DuplicateSweep() override;

    // The criterion columns in their fixed order: nom, prenom, societe, email, champ16 ... champ19.
    [[nodiscard]] static const QStringList &criterionColumns();
    // criteria (any letter case, any order) put in the fixed order, each once.
    // An unknown column leaves it in bad and gives an empty list.
    [[nodiscard]] static QStringList orderedCriteria(const QStringList &criteria, QString *bad = nullptr);
    [[nodiscard]] static int stepTotal(int criteria) { return 2 * criteria + 1; }

    // Remakes the merge table; with criteria, remembers them, merges books
    // in the order given and filters. error holds the reason of a failure.
    Outcome run(const QStringList &books, const QStringList &criteria, QString *error = nullptr);
    // The two cycles again over the rows the merge table holds, with the
    // criteria of the last sweep.
    Outcome prune(QString *error = nullptr);

    // The same two in a worker thread; finished() reports the end on the
    // thread of this object. Refused (false) while one runs.
    bool start(const QStringList &books, const QStringList &criteria);
    bool startPrune();
    void cancel() { m_cancel = true; }
    [[nodiscard]] bool isRunning() const { return m_thread != nullptr; }
    [[nodiscard]] Outcome lastOutcome() const { return m_outcome; }
    [[nodiscard]] const QString &lastError() const { return m_error; }

    // The criteria of the last sweep, and them joined by "," (the result's order).
    [[nodiscard]] const QStringList &criteria() const { return m_criteria; }
    [[nodiscard]] QString orderList() const { return m_criteria.join(u','); }

    // Deletes the contact id from book, and its row (that id of that book,
    // not the rows of other books with the same id) from the merge table.
    bool deleteContact(const QString &book, qint64 id, QString *error = nullptr);
    // Reads the contact id of book and deletes, from their books and the merge
    // table, the other rows of the merge table that hold its values of the
    // last sweep's criteria (each column compared on its own, letter case
    // ignored). Returns the rows deleted. Throws store::StoreError. Filter
    // again (prune) afterwards.
    QList<store::WorkRow> deleteOtherOccurrences(const QString &book, qint64 id);
    // The same for a window: false, with the store's reason in error, when
    // the book or the merge table cannot be read or written.
    bool deleteOtherOccurrences(const QString &book, qint64 id, QString *error);

Q_SIGNALS:
    void stepChanged(int step, int total);
    void progressChanged(int value, int maximum);
    void finished(kirvane::contacts::DuplicateSweep::Outcome outcome);

private:
    Outcome work(const QStringList *books, QString *error);
    bool startWork(std::optional<QStringList> books);
    store::WorkProgress progress();

    store::AddressBookStore &m_store;
    QStringList m_criteria;
    std::atomic_bool m_cancel = false;
    QThread *m_thread = nullptr;
    Outcome m_outcome = Outcome::Done;
    QString m_error;
    int m_lastPercent = -1;
};

} // namespace kirvane::contacts
