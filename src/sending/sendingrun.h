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
//     run.stopAndSave();      // a button: a transition, taken after the current contact
//
// The SMTP dialogue runs on the sender's worker thread (MailSender): the run
// asks it to open, to send a contact's message, to settle and to close, and
// goes on when the answer comes back as a signal, so that the run's thread
// never waits on a socket. While an answer is outstanding the run is in
// Sending (or Stopping); a request made meanwhile is taken when it comes.
//
// The run is a small state machine:
//
//   state      entered by                         left by
//   Idle       construction, close()              sendNew(), resumeFrom()   -> Preparing
//   Preparing  sendNew(), resumeFrom(), a pause's end   the start timer   -> Sending
//                                                  cancel(), stopAndSave()  -> Stopping
//   Sending    the start timer                    a request                 -> Stopping
//              (and while the server's answer is awaited)
//                                                 a packet's end            -> Pausing
//                                                 the last book done        -> Finished
//                                                 a transmission error, the sender refused,
//                                                 a message put off twice, a book or the
//                                                 black list unreadable     -> Failed
//   Stopping   cancel(), stopAndSave() while       the current contact done  -> Finished (cancel),
//              preparing or sending                                             Saved (stop)
//   Pausing    a packet's end                     the pause timer           -> Preparing
//                                                 stopAndSave(), close()    -> Saved
//                                                 cancel()                  -> Finished
//   Saved, Finished, Failed: ended; close() -> Idle, or a new run.
//
// One member, m_position, owns where sending goes on (RunPosition): the pause
// snapshot "tempo", the named stopped run, the crash journal and the end of
// run all take it from there. A request is held only while a run lives: a
// new run starts without one.
//
// A run is made of segments: the first starts on the start timer, each later
// one when the pause timer fires after a packet. Every segment not stopped
// and saved writes a history record. A run that resumed a stopped run keeps
// that stopped run up to date: a stop saves it again under its own name, the
// run's end removes it.
//
// What is sure, whatever happens:
// - a recipient the server refuses for good is logged as refused with the
//   server's reply, counted and listed (the list is kept beside the history);
//   a refused sender or a message put off twice ("not now") stops the run at
//   that contact instead, the reply told;
// - a contact whose message was not answered is not marked answered, so
//   resuming sends it;
// - after every contact the position is journaled, so a killed run can be
//   resumed with no contact lost (RunJournal).
//
// A sender that pipelines is handed the next contact's message before the
// answer about the one before comes back, so that it never waits for the
// run; contacts are still logged, counted and journaled one by one, in
// order, as their answers come.

#include "sending/mailsender.h"
#include "sending/runjournal.h"
#include "sending/runposition.h"
#include "settings/settings.h"
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
class MailMessage;
class TextLineCache;
}

namespace kirvane::store {
class AddressBookStore;
class BookScan;
}
namespace kirvane::message {
class MessageDocument;
}

namespace kirvane::sending {

// What a new run would send: contacts to write to, in how many books, and
// how many of the books' contacts the exclusion books take off.
struct RunFigures {
    int contacts = 0;
    int books = 0;
    int excluded = 0;
};

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
    // The last question before a new run: send to that many?
    virtual bool confirmSending(const QString &subject, const RunFigures &figures)
    {
        (void)subject;
        (void)figures;
        return true;
    }
    // The last line of a run saved under name: how many contacts of the
    // run were done, of how many, and how to go on from there.
    [[nodiscard]] virtual QString stoppedAfter(int done, int total, const QString &name) const;
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
    enum class State { Idle, Preparing, Sending, Stopping, Pausing, Saved, Finished, Failed };
    // How the last segment ended.
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
    // The pause after a packet, in milliseconds.
    [[nodiscard]] int pauseMilliseconds() const;
    // The send command: the new-run checks, the confirmation, then prepares
    // and arms the start timer. False when the run does not start (the
    // reason was told).
    bool sendNew();
    // The new-run checks and the figures of the run they would start, or
    // nothing (the reason was told). Reads the books, sends nothing.
    [[nodiscard]] std::optional<RunFigures> checkNew();
    // "Stopped after N of M; ..." for a run that ended saved, else "":
    // where it stopped and how to go on, as RunQuestions words it.
    [[nodiscard]] QString stoppedAfter() const;
    // Reads the interrupted send at path into the document and resumes it.
    bool resumeFrom(const QString &path);
    // Sends the message once, personalised with the first contact of the
    // first destination book, to address (the sender's own when empty),
    // leaving no history, stopped run or journal. Returns at once: false
    // when it cannot be sent (the reason was told), true when it is on its
    // way; testEnded() then says how it ended.
    bool sendTest(const QString &address = QString());

    // Transitions asked for by the buttons and signals.
    void cancel();
    void stopAndSave();
    // The pause window's button: the run is saved where the pause holds it.
    void stopAndSaveFromPause() { stopAndSave(); }
    // "Fermer": at the end; during a pause the run is saved first.
    void close();

    [[nodiscard]] State state() const { return m_state; }
    [[nodiscard]] bool hasEnded() const
    {
        return m_state == State::Saved || m_state == State::Finished || m_state == State::Failed;
    }
    [[nodiscard]] bool isBusy() const
    {
        return m_state == State::Preparing || m_state == State::Sending || m_state == State::Stopping || m_testing;
    }
    [[nodiscard]] bool pauseArmed() const { return m_pauseTimer.isActive(); }
    [[nodiscard]] const RunCounts &counts() const { return m_counts; }
    [[nodiscard]] const QList<RefusedRecipient> &refusedRecipients() const { return m_refused; }
    [[nodiscard]] int total() const { return m_total; }
    [[nodiscard]] int processed() const { return m_processed; }
    [[nodiscard]] const RunPosition &position() const { return m_position; }
    [[nodiscard]] const QString &currentBook() const { return m_position.book; }
    [[nodiscard]] const QString &resumeKey() const { return m_position.key; }
    // The name the last interrupted send was saved under.
    [[nodiscard]] const QString &savedName() const { return m_savedName; }
    // True when the run stopped on a failure (transmission, a refusal that stops it, a file unreadable).
    [[nodiscard]] bool hadTransmissionError() const { return !m_failure.isEmpty(); }
    [[nodiscard]] const QString &failure() const { return m_failure; }
    // True when a history record of the run could not be written.
    [[nodiscard]] bool historyLost() const { return !m_historyErrors.isEmpty(); }
    [[nodiscard]] const settings::Settings &settings() const { return m_settings; }

    // The end-of-run summary: how many were sent, refused, excluded and
    // without an address.
    [[nodiscard]] QString summary() const;

    // The X-Mailer text of every message.
    [[nodiscard]] static QString mailerName();
    // Where the pause snapshot lives (path without extension).
    [[nodiscard]] static QString pauseSnapshotBase();

Q_SIGNALS:
    // A new run or a resumed one is about to start: the dialog opens.
    void opened();
    void logged(const QString &line);
    // Progress counter and bar: contacts of the run done, of how many.
    void progressChanged(int processed, int total);
    void recipientChanged(const QString &address);
    void stateChanged(kirvane::sending::SendingRun::State state);
    void segmentEnded(kirvane::sending::SendingRun::End end);
    void pauseStarted(int milliseconds);
    void pauseEnded();
    // A test message ended: sent to address, or not (the reason was told).
    void testEnded(bool sent, const QString &address);

private:
    enum class Request { None, Cancel, StopAndSave };

    void beginRun();
    // The body, the settings and what they set up; false when the run cannot start.
    bool loadForSending();
    bool prepare();
    // The black list of the message's exclusion books, and a lookup in it.
    void buildBlackList();
    [[nodiscard]] bool isExcluded(const QString &address);
    // The message for the current contact, to address.
    [[nodiscard]] mail::MailMessage compose(const QString &address) const;
    void startSegment();
    // The sender's answers, one per request.
    void onAnswer(const MailSender::Answer &a);
    // The connection of a segment is open (or not): sending begins.
    void onOpened(const MailSender::Answer &a);
    // A contact is done with: the next one, a pause or the segment's end.
    void contactDone(bool readable);
    void onSettled(bool anyLate);
    void onClosed();
    void onTestAnswered(const MailSender::Answer &a);
    // The book of the current position cannot be read: the run stops there.
    void bookUnreadable(const QString &error);
    // An archive without answered ids: the contacts its key passes over
    // become the answered ones, so that the rest of the run goes by ids.
    void trackFromKey();
    void nextBook();
    void processContact();
    // While the sender works on a contact's message, the next contact is
    // read and its message composed (m_ahead); a stop, a pause or the end of
    // the book drops it unsent.
    void readAhead();
    // Hands the message read ahead to a pipelining sender at once.
    void deliverAhead();
    void dropScan();
    // msg for address, composed (and signed); failInstead says why it must
    // not go.
    void composeFor(const QString &address, mail::MailMessage &msg, QString *failInstead) const;
    void sendTo(const QString &id, const QString &address, const QString &nom, const QString &prenom);
    [[nodiscard]] qint64 nextToSend();
    void bookDone();
    void endSegment(End end);
    void endRun(State state, End end);
    void logEndOfRun();
    void onPauseTimer();
    void setState(State s);
    void log(const QString &line);
    void answered(const QString &id);
    void reportProgress();
    void journal();
    // Takes the answers about messages sent Pending; true when any came.
    bool takeLateAnswers(const QList<MailSender::LateAnswer> &answers);
    // Logs and counts a message's outcome (a Pending one waits in m_pending).
    void take(const RefusedRecipient &who, qint64 tag, const MailSender::Result &r);
    // The segment stops on a failure; sending goes on at who. text is
    // logged; notice is told (the connection message when empty).
    void fail(const RefusedRecipient &who, const QString &text, const QString &notice = QString());
    void updateResumeKey();
    void refuse(const RefusedRecipient &r, bool logIt = true);
    // Saves the run as a named interrupted send of message (null: the
    // message of the pause snapshot); false when it could not be written
    // (the journal then stays, so the run is offered at the next start).
    bool saveInterruptedSend(const message::MessageDocument *message);
    void writeHistory();

    store::AddressBookStore &m_store;
    message::MessageDocument &m_message;
    RunQuestions &m_ask;
    std::unique_ptr<MailSender> m_sender;
    std::optional<int> m_pauseOverride;
    RunJournal m_journal;

    QTimer m_startTimer;
    QTimer m_pauseTimer;
    QTimer m_stepTimer;
    State m_state = State::Idle;
    Request m_request = Request::None;
    bool m_pauseDue = false; // the current packet is full
    settings::Settings m_settings;
    settings::PacketPlan m_packets;

    // The run.
    RunPosition m_position;
    QString m_origin; // the stopped run this run resumed (path without extension), or ""
    QString m_failure; // why the run stopped on a failure, or ""
    QString m_failureNotice; // what the user is told about it
    bool m_afterPause = false; // the segment continues the run after a pause

    // The segment.
    QStringList m_body;
    // The text alternative of an HTML body, its placeholders not filled in;
    // empty when the message goes without one.
    QStringList m_plainAlternative;
    std::unique_ptr<mail::DkimSigner> m_signer; // when the settings ask for signatures
    std::shared_ptr<mail::TextLineCache> m_lineCache; // the wire form of m_body's and m_plainAlternative's lines
    QStringList m_books;
    int m_bookIndex = -1;
    bool m_resumed = false;
    std::unique_ptr<store::BookScan> m_scan;
    store::ContactRecord m_contact;
    // The contact read ahead: then in m_contact, not yet logged or counted.
    struct ReadAhead {
        bool read = false;
        qint64 id = -1;
        bool excluded = false;
        std::unique_ptr<mail::MailMessage> message; // for an address to send to
        QString failInstead;
        bool delivered = false; // handed to the sender already (deliverAhead())
        QString error; // the book could not be read
    };
    ReadAhead m_ahead;
    int m_packetPosition = 1;
    int m_total = 0;
    int m_processed = 0;
    QString m_failedKey; // the contact where the failure stopped the segment
    QString m_nextKey;   // the contact after the last one sent
    QList<qint64> m_newlyAnswered; // for the journal's next record
    qint64 m_tag = 0;

    RunCounts m_counts;
    int m_runTotal = 0; // contacts of the run when it began
    int m_runDone = 0;  // contacts of the run answered
    QList<RefusedRecipient> m_refused;
    int m_refusedWritten = 0; // refused entries already kept beside the history
    QStringList m_historyErrors; // records of this run that could not be written
    QHash<qint64, RefusedRecipient> m_pending; // messages a sender has not answered yet
    // The contacts whose messages the sender has not answered yet, oldest
    // first: one, or two when it pipelines.
    QList<RefusedRecipient> m_inFlight;
    bool m_excluding = false; // the black list has exclusion books behind it
    bool m_pipelining = false; // the sender left the last message's answer for later
    End m_ending = End::Finished; // how the segment being closed ends
    bool m_testing = false; // a test message is on its way
    QString m_testTo;       // to this address
    QString m_savedName;
};

} // namespace kirvane::sending
