#pragma once
// The sending run: sends the message document to every contact of its
// destination books, one personalised message per contact over one SMTP
// connection, skipping excluded and empty addresses, in packets separated by
// a timed pause when the settings ask for it. The sending dialog and
// kirvane-cli both drive it; it shows nothing itself and asks its questions
// through RunQuestions.
//
// As the settings ask, every message names its unsubscription addresses
// (List-Unsubscribe), carries a text alternative of its HTML and is signed
// with DKIM; the connection is made with the settings' security and login.
//
//     SendingRun run(store, document, questions);
//     connect(&run, &SendingRun::logged, ...);
//     run.sendNew();          // checks, prepares, and starts on a 1 ms timer
//     ... the event loop runs; one contact per turn of the loop ...
//     run.stopAndSave();      // a button: read after the current contact
//
// A run is made of segments: the first starts on the start timer, each later
// one when the pause timer fires after a packet. A segment ends finished,
// cancelled, stopped and saved as an interrupted send, or paused; every
// segment not stopped and saved writes a history record.
//
// What is sure, whatever happens:
// - a recipient the server refuses is logged as refused with the server's
//   reply, counted and listed (the list is kept beside the history);
// - a contact whose sending failed is where an interrupted send resumes, so
//   resuming sends it;
// - after every contact the place where sending goes on is journaled, so a
//   killed run can be resumed with no contact lost (RunJournal).

#include "sending/mailsender.h"
#include "sending/runjournal.h"
#include "sending/settings.h"
#include "store/contactrecord.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <optional>

namespace kirvane::mail {
class DkimSigner;
}

namespace kirvane::store {
class AddressBookStore;
}
namespace kirvane::message {
class MessageDocument;
}

namespace kirvane::sending {

class BookScan;

// The questions and notices of a run; the windows answer them with dialogs,
// the command line with the answer that sends nothing extra and loses nothing.
class RunQuestions {
public:
    virtual ~RunQuestions() = default;
    // The subject is empty: send all the same?
    virtual bool askSendWithoutSubject() = 0;
    // These destination books are gone: remove them from the list? Either way
    // the command stops.
    virtual bool askRemoveMissingBooks(const QStringList &books) = 0;
    // A notice (the settings or destination message, the connection message).
    virtual void inform(const QString &text) = 0;
    // The name of the interrupted send being saved; proposal is the subject.
    virtual QString askLaterSendName(const QString &proposal) = 0;
    // An interrupted send of that name exists: replace it?
    virtual bool askReplaceInterrupted(const QString &name) = 0;
};

// Counts of one run (all its segments).
struct RunCounts {
    int sent = 0;
    int refused = 0;   // refused by the server
    int invalid = 0;   // an address that cannot be sent to
    int excluded = 0;  // found in the exclusion books
    int noAddress = 0; // contacts without an address
    bool operator==(const RunCounts &) const = default;
};

// A recipient the server refused, or whose address could not be used.
struct RefusedRecipient {
    QString book;
    QString id;
    QString nom;
    QString prenom;
    QString address;
    QString code; // the server's reply code; empty for an unusable address
    QString text; // the server's reply text, or why the address cannot be used
};

class SendingRun : public QObject {
    Q_OBJECT
public:
    enum class State { Idle, Prepared, Sending, Ended, Pausing };
    enum class End {
        Finished,          // every book done
        Cancelled,         // "Annuler"
        StoppedAndSaved,   // an interrupted send was saved (stop request or transmission error)
        Paused,            // a packet ended; the pause timer runs
        ConnectionFailed,  // the server could not be reached at the segment's start
    };

    SendingRun(store::AddressBookStore &store, message::MessageDocument &message, RunQuestions &ask, QObject *parent = nullptr);
    ~SendingRun() override;

    // The connection to use; an SmtpSender unless a test sets another.
    void setSender(std::unique_ptr<MailSender> sender);
    [[nodiscard]] MailSender &sender() { return *m_sender; }
    // A pause of this many milliseconds instead of the settings' minutes.
    void setPauseOverride(std::optional<int> milliseconds) { m_pauseOverride = milliseconds; }
    // Called while waiting for the network (the dialog lets events run).
    void setProcessEvents(std::function<void()> processEvents);

    // The send command: the new-run checks, then prepares and arms the start
    // timer. False when the run does not start (the reason was told).
    bool sendNew();
    // The resume command: the document holds an interrupted send's resume
    // position. False when the run does not start.
    bool resume();
    // Reads the interrupted send at path into the document and resumes it.
    bool resumeFrom(const QString &path);

    // Buttons. Each request is read after the current contact.
    void cancel();
    void stopAndSave();
    // The pause window's button: no more pausing; the next segment starts now,
    // sends one contact and saves the interrupted send.
    void stopAndSaveFromPause();
    // "Fermer": between segments and at the end.
    void close();

    [[nodiscard]] State state() const { return m_state; }
    [[nodiscard]] bool pauseArmed() const { return m_pauseTimer.isActive(); }
    [[nodiscard]] const RunCounts &counts() const { return m_counts; }
    [[nodiscard]] const QList<RefusedRecipient> &refusedRecipients() const { return m_refused; }
    [[nodiscard]] int total() const { return m_total; }
    [[nodiscard]] int processed() const { return m_processed; }
    [[nodiscard]] const QString &currentBook() const { return m_currentBook; }
    [[nodiscard]] const QString &resumeKey() const { return m_resumeKey; }
    // The name the last interrupted send was saved under.
    [[nodiscard]] const QString &savedName() const { return m_savedName; }
    // True when the last segment met a transmission error.
    [[nodiscard]] bool hadTransmissionError() const { return m_transmissionError; }
    [[nodiscard]] const Settings &settings() const { return m_settings; }

    // The end-of-run summary: how many were sent, refused, excluded and
    // without an address.
    [[nodiscard]] QString summary() const;

    // The X-Mailer text of every message.
    [[nodiscard]] static QString mailerName();

Q_SIGNALS:
    // A new run or a resumed one is about to start: the dialog opens.
    void opened();
    void logged(const QString &line);
    // Progress counter and bar; total 0 and processed 0 empty them.
    void progressChanged(int processed, int total);
    void recipientChanged(const QString &address);
    void stateChanged(kirvane::sending::SendingRun::State state);
    void segmentEnded(kirvane::sending::SendingRun::End end);
    void pauseStarted(int milliseconds);
    void pauseEnded();

private:
    enum Request { NoRequest = 0, CancelRequest = 1, StopRequest = 2, PauseRequest = 4 };

    bool prepare();
    void startSegment();
    void nextBook();
    void processContact();
    void bookDone();
    void endSegment(End end);
    void logEndOfRun();
    void onPauseTimer();
    void setState(State s);
    void log(const QString &line);
    void journal();
    // The answers about messages sent Pending; true when any came.
    bool takeLateAnswers();
    // Logs and counts a message's outcome (a Pending one waits in m_pending).
    void take(const RefusedRecipient &who, qint64 tag, const MailSender::Result &r);
    // The segment stops; sending goes on at who, unless an earlier failure
    // of the segment already said where.
    void transmissionError(const RefusedRecipient &who, const QString &text);
    // m_resumeKey: the failed contact, else the oldest one not answered, else
    // the next one.
    void updateResumeKey();
    void refuse(const RefusedRecipient &r, bool logIt = true);
    void saveInterruptedSend();
    void writeHistory();
    [[nodiscard]] bool requested() const { return m_requests != NoRequest; }

    store::AddressBookStore &m_store;
    message::MessageDocument &m_message;
    RunQuestions &m_ask;
    std::unique_ptr<MailSender> m_sender;
    std::function<void()> m_processEvents;
    std::optional<int> m_pauseOverride;
    RunJournal m_journal;

    QTimer m_startTimer;
    QTimer m_pauseTimer;
    QTimer m_stepTimer;
    State m_state = State::Idle;
    bool m_dialogShown = false;
    int m_requests = NoRequest;
    Settings m_settings;
    PacketPlan m_packets;
    bool m_packetsOn = false;

    // The segment.
    QStringList m_body;
    // The text alternative of an HTML body, its placeholders not filled in;
    // empty when the message goes without one.
    QStringList m_plainAlternative;
    std::unique_ptr<mail::DkimSigner> m_signer; // when the settings ask for signatures
    QStringList m_books;
    int m_bookIndex = -1;
    bool m_resumed = false;
    QString m_pendingKey; // the resume key for the resume book
    QString m_resumeBookOfSegment;
    std::unique_ptr<BookScan> m_scan;
    store::ContactRecord m_contact;
    int m_packetPosition = 1;
    int m_total = 0;
    int m_processed = 0;
    QString m_currentBook;
    QString m_resumeKey;
    bool m_transmissionError = false;
    QString m_failedBook; // where the segment's transmission error stopped it
    QString m_failedKey;
    QString m_nextKey;    // the contact after the last one sent
    bool m_retried = false;
    qint64 m_tag = 0;

    RunCounts m_counts;
    QList<RefusedRecipient> m_refused;
    int m_refusedWritten = 0; // refused entries already kept beside the history
    QStringList m_historyErrors; // records of this run that could not be written
    QHash<qint64, RefusedRecipient> m_pending; // messages a sender has not answered yet
    QString m_savedName;
};

} // namespace kirvane::sending
