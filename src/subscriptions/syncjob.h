#pragma once
// The synchronisation of the subscription mailbox: logs in to the POP3
// mailbox, fetches every message, records it in log.txt, applies subscribe
// requests to the book "subscribers" and unsubscribe requests to that book
// and, on the user's word, to every book, adds the addresses that delivery
// notices report as failed for good to the book "bounces", forwards every
// other message to the redirection address, and deletes each message it has
// processed (the server deletes them at QUIT).
//
//     SyncJob job(store, pop, smtp, asker);
//     job.setConfigPath(dataFolder() + "config.ini");
//     QObject::connect(&job, &SyncJob::finished, ...);
//     job.start();                       // returns at once
//
// The dialogue with the servers (POP3, and SMTP for the forwards) runs on a
// worker thread that the job owns: it starts it with the first job and stops
// and joins it when it is destroyed, aborting a wait still under way. Each
// step of the dialogue is handed to that thread and its answer comes back as
// a queued call on the job's thread, where the books, log.txt and the Asker
// are used; the job's thread never waits on a socket. The job is a small
// machine: opening, then for each message fetching, applying (forwarding,
// or showing a known address for a while), deleting; closing. cancel() is
// read between two messages. Whatever ends the job, it sends QUIT when the
// connection still allows it, so that the messages already processed, and
// only those, are deleted. Its one question, whether to remove an
// unsubscribing address from every book, and its notices go through the
// Asker; its progress goes out as signals that a window shows. The clients
// belong to the job's worker while a job runs.

#include "contacts/bookmanager.h"
#include "mail/mailmessage.h"
#include "settings/settings.h"
#include "texts/asker.h"

#include <QObject>
#include <QString>
#include <QThread>

#include <functional>
#include <memory>

namespace kirvane::store {
class AddressBookStore;
}
namespace kirvane::mail {
class Pop3Client;
class SmtpClient;
} // namespace kirvane::mail

namespace kirvane::subscriptions {

class SyncJob : public QObject {
    Q_OBJECT
public:
    // What was done with one message.
    enum class Outcome {
        Subscribed,             // detail: the address
        AlreadySubscribed,      // detail: the address
        Unsubscribed,           // detail: the address
        UnsubscribedEverywhere, // detail: the address
        UnsubscribeUnmatched,   // detail: the address, which no contact removed had
        Forwarded,              // detail: the redirection address
        DeliveryNotice,         // detail: the addresses added to "bounces", comma-separated
        Unreadable,             // detail: why; the message stays on the server
    };
    Q_ENUM(Outcome)

    // How the job ended.
    enum class End {
        Done,           // every message processed (or none there)
        Cancelled,      // cancel() after a message
        ConnectFailed,  // no connection, or its greeting refused
        LoginRefused,   // user or password refused
        ConnectionLost, // the dialogue broke down in the middle
        ForwardFailed,  // a message could not be forwarded
        Failed,         // the store or the log refused a write
    };
    Q_ENUM(End)

    static inline const QString &kSubscribers = contacts::BookManager::kSubscribers;
    static inline const QString &kBounces = contacts::BookManager::kBounces;

    SyncJob(store::AddressBookStore &store, mail::Pop3Client &pop, mail::SmtpClient &smtp, texts::Asker &asker, QObject *parent = nullptr);
    ~SyncJob() override;

    // config.ini, read again at every start; log.txt. Both default to the
    // data folder's.
    void setConfigPath(const QString &path) { m_configPath = path; }
    void setLogPath(const QString &path) { m_logPath = path; }
    // How long the refusal of a known address stays shown (knownAddress());
    // 0, the default, does not wait.
    void setKnownAddressPause(int ms) { m_knownAddressPauseMs = ms; }

    // Starts the dialogue on the worker thread and returns at once;
    // finished() follows.
    void start();
    // Asks the job to stop after the message being processed; the messages
    // processed so far are deleted from the server, the others stay.
    void cancel() { m_cancel = true; }

    [[nodiscard]] bool isRunning() const { return m_running; }
    [[nodiscard]] End end() const { return m_end; }
    // Messages processed (and deleted) by the last run. An unsubscribe
    // request that matched no contact is deleted too (the log keeps it) but
    // is not counted: nothing was done.
    [[nodiscard]] int processed() const { return m_processed; }

Q_SIGNALS:
    // Message number of count is being fetched and processed.
    void messageStarted(int number, int count);
    // A message that is not a request is being forwarded / is forwarded.
    void forwarding(bool active);
    // A subscribe request for an address already in "subscribers" was refused.
    void knownAddress(bool shown);
    void messageDone(int number, const QString &from, kirvane::subscriptions::SyncJob::Outcome outcome,
                     const QString &detail);
    void finished(kirvane::subscriptions::SyncJob::End end);

public:
    // What the steps on the worker thread answer (defined with them).
    struct Opened;
    struct Fetched;

private:
    // Runs work on the worker thread, then then(its answer) on this one.
    template<typename Answer>
    void onWorker(std::function<Answer()> work, void (SyncJob::*then)(const Answer &));

    void opened(const Opened &answer);
    // The next message, or the end when none is left or cancel() was asked.
    void fetchNext();
    void fetched(const Fetched &answer);
    // Logs and applies message m_number; false when the job has ended.
    bool apply(mail::MailMessage &msg);
    void forwarded(const bool &ok);
    // The message is applied: its deletion is asked for.
    void deleteCurrent();
    void deleted(const bool &ok);
    // Each returns the detail of its outcome; store errors throw StoreError.
    Outcome subscribe(const QString &address, const QStringList &body);
    Outcome unsubscribe(const QString &address);
    QString recordBounces(const QStringList &addresses);
    // True when a book holds address (letter case aside), or cannot be read.
    bool inSomeBook(const QString &address);
    // Makes a book from the template when its table is missing.
    void ensureBook(const QString &book);
    // Ends the job: QUIT when the connection still allows it, then the
    // notice (when any) through the asker and finished().
    void finish(End end, const QString &notice = QString());
    void closed(const bool &);

    store::AddressBookStore &m_store;
    mail::Pop3Client &m_pop;
    mail::SmtpClient &m_smtp;
    texts::Asker &m_asker;
    QString m_configPath;
    QString m_logPath;
    int m_knownAddressPauseMs = 0;
    QString m_redirection;
    settings::SmtpEndpoint m_smtpEndpoint;

    // The worker: its thread, and an object living there that runs the steps.
    QThread m_thread;
    QObject *m_worker = nullptr;

    bool m_running = false;
    bool m_cancel = false;
    End m_end = End::Done;
    QString m_notice; // shown once the connection is closed
    int m_count = 0;
    int m_number = 0;
    int m_processed = 0;
    // The message being applied: its number, sender, outcome and detail.
    QString m_from;
    Outcome m_outcome = Outcome::Forwarded;
    QString m_detail;
};

} // namespace kirvane::subscriptions
