#pragma once
// The journal of a sending run in progress: the message as it was when the
// segment started (an interrupted-send archive) and, after every contact, the
// place where sending must go on (book and resume key) with the ids newly
// answered, appended each time (RunPosition says what they mean). A run that ends in any regular way removes its journal; one
// that was killed, crashed or lost its power leaves it, and the next start
// turns it into an ordinary interrupted send that the user resumes like any
// other: every contact not yet sent is still to send, and at most the
// messages in flight when the run died, whose answers had not come (one, or
// two with a server that pipelines), are sent twice.
//
// The journal is held under an advisory lock for as long as its run lives, so
// a journal is taken for a dead run's only when no process holds it.
//
// Cost: one small append per contact; the appends reach the disk (fdatasync)
// at most once a second, so a power cut may take back the last second of
// positions: those contacts are sent again on resumption, none is skipped.

#include "sending/runposition.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

namespace kirvane::message {
class MessageDocument;
}

namespace kirvane::sending {

class RunJournal {
public:
    RunJournal() = default;
    ~RunJournal();
    RunJournal(const RunJournal &) = delete;
    RunJournal &operator=(const RunJournal &) = delete;

    // Where journals live: a hidden folder inside the interrupted sends' folder.
    [[nodiscard]] static QString folder();

    // Starts (or restarts, at a new segment) the journal of this run with the
    // message and its starting place. False with a reason when it cannot be
    // written; the run then goes on without one.
    bool begin(const message::MessageDocument &message, const RunPosition &position, QString *error = nullptr);
    // The place where sending goes on, after a contact, and the ids of its
    // book answered since the last record.
    void record(const RunPosition &position, const QList<qint64> &answered);
    // The run ended in a regular way: the journal goes.
    void finish();
    // The run ended without being saved: the journal is left for the next
    // start to offer.
    void leave() { close(); }
    [[nodiscard]] bool isOpen() const { return m_fd >= 0; }

    // A journal left by a run that no longer lives.
    struct Left {
        QString base;    // path without extension
        QString subject;
        RunPosition position; // where sending goes on
        QStringList books; // destination books
    };
    [[nodiscard]] static QList<Left> findLeft();
    // Turns a left journal into the interrupted send <name>.MNS of the
    // stopped sends' folder (a free name made from the subject), its answered
    // ids beside it, and removes the journal. Returns the name, or "" with a reason.
    static QString recover(const Left &left, QString *error = nullptr);
    // Recovers every left journal; the names made, in order.
    static QStringList recoverAll(QStringList *errors = nullptr);

private:
    void close();

    int m_fd = -1;
    QString m_base;
    QElapsedTimer m_sinceSync;
};

// A name for a new interrupted send made from text: characters a file name
// cannot hold become "_", and " (2)", " (3)"... are added while the name is
// taken in the stopped sends' folder.
[[nodiscard]] QString freeInterruptedName(const QString &text);

} // namespace kirvane::sending
