#pragma once
// Where a sending run goes on, in one value that the run alone owns: the book
// being sent, the resume key (the id of the next contact of that book in
// name order, "END" when none is left) and the ids of that book's contacts
// already answered in this run (sent, refused, excluded, without an address).
//
// The key alone would lose or repeat people when the book changes between a
// stop and a resume: a deleted contact takes its place with it, a renamed one
// moves in the name order. So a resume with the answered ids reads the whole
// book again and sends to every contact not among them; the key stays in the
// .MNS for the archives that have no ids beside them (written before ids were
// kept, or copied alone), which resume by the key as they always did.
//
// The ids of a stopped run live beside its archive, in <name>.answered (the
// book on the first line, then one id a line); the crash journal holds them
// too (RunJournal). Every writer of a stopped run goes through
// writeStoppedRun(), so the archive and its ids never disagree.

#include <QList>
#include <QSet>
#include <QString>

#include <vector>

namespace kirvane::message {
class MessageDocument;
}

namespace kirvane::sending {

// The ids answered in a book: one bit per id up to the largest one seen,
// since a book's ids are the row numbers of its table and lie close together;
// a book of 100,000 contacts takes 12 KB. Ids out of that range (negative
// ones, or one beyond kDenseLimit given by hand) go in a hash.
class IdSet {
public:
    IdSet() = default;
    explicit IdSet(const QList<qint64> &ids)
    {
        for (qint64 id : ids)
            insert(id);
    }
    void insert(qint64 id);
    [[nodiscard]] bool contains(qint64 id) const;
    void clear();
    [[nodiscard]] qsizetype size() const { return m_count; }
    [[nodiscard]] bool isEmpty() const { return m_count == 0; }
    // Every id, smallest first.
    [[nodiscard]] QList<qint64> sorted() const;
    [[nodiscard]] bool operator==(const IdSet &other) const { return sorted() == other.sorted(); }

    static constexpr qint64 kDenseLimit = qint64(1) << 24;

private:
    std::vector<quint64> m_bits;
    QSet<qint64> m_sparse;
    qsizetype m_count = 0;
};

struct RunPosition {
    QString book;
    QString key;
    IdSet answered;
    // True when answered is complete for book: the resume goes by it.
    bool tracked = false;

    // The run enters book: nothing of it answered yet.
    void enterBook(const QString &name)
    {
        book = name;
        key.clear();
        answered.clear();
        tracked = true;
    }
    [[nodiscard]] bool operator==(const RunPosition &) const = default;
};

// The name of the pause snapshot, the resume point of a paused run.
[[nodiscard]] QString pauseSnapshotName();
// True when fileName (with its extension) is the pause snapshot's archive:
// the lists of the user's stopped runs leave it out.
[[nodiscard]] bool isPauseSnapshot(const QString &fileName);

// The archive of the stopped run called name: "<name>.MNS" in the stopped
// runs' folder, an existing file found without regard to letter case.
[[nodiscard]] QString stoppedRunPath(const QString &name);
// The same without its extension: the base the functions below take.
[[nodiscard]] QString stoppedRunBase(const QString &name);

// The resume key text for the end of a book.
[[nodiscard]] QString endOfBookKey();

// The file of answered ids beside the archive whose path without extension is base.
[[nodiscard]] QString answeredPath(const QString &base);

// Writes message as the interrupted send base + ".MNS" at position, with its
// answered ids beside it. False with a reason.
[[nodiscard]] bool writeStoppedRun(const message::MessageDocument &message, const QString &base,
                                   const RunPosition &position, QString *error = nullptr);
// Copies the interrupted send from (path without extension) to base, with
// position as its place. False with a reason.
[[nodiscard]] bool copyStoppedRun(const QString &from, const QString &base, const RunPosition &position,
                                  QString *error = nullptr);
// The position stored with the interrupted send base (message already read
// from its archive): its book and key, and its answered ids when they are
// kept beside it for that book.
[[nodiscard]] RunPosition readStoppedPosition(const message::MessageDocument &message, const QString &base);
// Removes the interrupted send base: its archive and its ids.
void removeStoppedRun(const QString &base);

} // namespace kirvane::sending
