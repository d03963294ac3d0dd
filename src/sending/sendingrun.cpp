#include "sending/sendingrun.h"
#include "common/product.h"

#include "mail/dkimsigner.h"
#include "mail/mailmessage.h"
#include "message/htmlbody.h"
#include "message/messagearchive.h"
#include "message/messagedocument.h"
#include "message/placeholders.h"
#include "message/plaintextalternative.h"
#include "sending/bookscan.h"
#include "sending/history.h"
#include "sending/listunsubscribe.h"
#include "texts/texttable.h"
#include "store/database.h"
#include "common/folders.h"
#include "store/addressbookstore.h"

#include <QFile>
#include <QFileInfo>

namespace kirvane::sending {

using namespace kirvane::common;
using namespace kirvane::store;
using namespace kirvane::texts;

namespace tr = texts;

namespace {

const QString kEnd = QStringLiteral("END");
const QString kPauseSnapshot = QStringLiteral("tempo");

QString interruptedPath(const QString &name)
{
    return stoppedFolder() + name + message::archiveExtension(message::ArchiveKind::InterruptedSend);
}

} // namespace

SendingRun::SendingRun(store::AddressBookStore &store, message::MessageDocument &message, RunQuestions &ask, QObject *parent)
    : QObject(parent), m_store(store), m_message(message), m_ask(ask), m_sender(std::make_unique<SmtpSender>())
{
    m_startTimer.setSingleShot(true);
    m_startTimer.setInterval(1);
    connect(&m_startTimer, &QTimer::timeout, this, &SendingRun::startSegment);
    m_pauseTimer.setSingleShot(true);
    connect(&m_pauseTimer, &QTimer::timeout, this, &SendingRun::onPauseTimer);
    // One contact per turn of the event loop: the windows stay live between
    // contacts without a nested loop.
    m_stepTimer.setSingleShot(true);
    m_stepTimer.setInterval(0);
    connect(&m_stepTimer, &QTimer::timeout, this, &SendingRun::processContact);
}

SendingRun::~SendingRun() = default;

void SendingRun::setSender(std::unique_ptr<MailSender> sender)
{
    m_sender = std::move(sender);
    m_sender->setProcessEvents(m_processEvents);
}

void SendingRun::setProcessEvents(std::function<void()> processEvents)
{
    m_processEvents = std::move(processEvents);
    m_sender->setProcessEvents(m_processEvents);
}

QString SendingRun::mailerName()
{
    return common::mailerName();
}

void SendingRun::setState(State s)
{
    if (m_state == s)
        return;
    m_state = s;
    Q_EMIT stateChanged(s);
}

void SendingRun::log(const QString &line)
{
    Q_EMIT logged(line);
}

// ------------------------------------------------------------- preparing

bool SendingRun::sendNew()
{
    if (m_state == State::Sending || m_state == State::Prepared)
        return false;
    if (m_message.subject().isEmpty() && !m_ask.askSendWithoutSubject())
        return false;
    if (!QFileInfo::exists(settingsPath())) {
        m_ask.inform(tr::text(tr::SettingsMissing));
        return false;
    }
    QStringList missing;
    for (const QString &book : m_message.destinationBooks()) {
        if (!m_store.files().bookExists(book))
            missing << book;
    }
    if (!missing.isEmpty()) {
        if (m_ask.askRemoveMissingBooks(missing)) {
            QStringList kept = m_message.destinationBooks();
            for (const QString &book : missing)
                kept.removeAll(book);
            m_message.setDestinationBooks(kept);
        }
        return false;
    }
    if (m_message.destinationBooks().isEmpty()) {
        m_ask.inform(tr::text(tr::NoDestinationBooks));
        return false;
    }
    // A new run: its counts start from nothing.
    m_counts = {};
    m_refused.clear();
    m_refusedWritten = 0;
    m_historyErrors.clear();
    return prepare();
}

bool SendingRun::resume()
{
    if (m_state == State::Sending || m_state == State::Prepared)
        return false;
    if (m_state == State::Idle || m_state == State::Ended) {
        m_counts = {};
        m_refused.clear();
        m_refusedWritten = 0;
        m_historyErrors.clear();
    }
    return prepare();
}

bool SendingRun::resumeFrom(const QString &path)
{
    if (m_state == State::Sending || m_state == State::Prepared)
        return false;
    if (message::readArchive(path, m_message) != message::ArchiveReadStatus::Ok) {
        m_ask.inform(tr::text(tr::CorruptMessage));
        return false;
    }
    return resume();
}

bool SendingRun::prepare()
{
    m_body = message::preparedBody(m_message, message::BodyPurpose::Sending);
    Settings s;
    loadSettings(s);
    if (!s.isAvailable()) {
        m_ask.inform(tr::text(tr::SettingsMissing));
        return false;
    }
    // A hand-edited file may hold what the window refuses: a DKIM key that
    // cannot sign, a CA file that cannot be read.
    if (const QString why = checkMailSettings(s); !why.isEmpty()) {
        m_ask.inform(why);
        return false;
    }
    m_signer.reset();
    if (s.dkimOn()) {
        QString why;
        m_signer = mail::DkimSigner::fromKeyFile(s.dkimKeyFile, s.dkimDomain, s.dkimSelector, &why);
        if (!m_signer) {
            m_ask.inform(why);
            return false;
        }
    }
    m_plainAlternative.clear();
    if (s.textAlternativeOn() && m_message.mode() != message::ComposeMode::PlainText)
        m_plainAlternative = message::plainTextAlternative(m_body);
    m_settings = s;
    m_sender->setEndpoint(smtpEndpoint(s));
    m_packets = packetPlan(s);
    // A stop or cancel pressed during the pause keeps packets off.
    m_packetsOn = m_packets.on && !(m_requests & (StopRequest | CancelRequest));
    try {
        m_store.workTables().buildBlackList(m_message.exclusionBooks());
    } catch (const StoreError &e) {
        // Sending without the exclusions would mail people who asked not to be.
        m_ask.inform(QString::fromStdString(e.what()));
        return false;
    }
    setState(State::Prepared);
    m_startTimer.start();
    if (!m_dialogShown) {
        m_dialogShown = true;
        m_requests = NoRequest;
        Q_EMIT opened();
    }
    return true;
}

// ------------------------------------------------------------- a segment

void SendingRun::startSegment()
{
    m_startTimer.stop();
    setState(State::Sending);
    m_total = 0;
    m_processed = 0;
    m_transmissionError = false;
    // The pause that led here is over.
    m_requests &= ~PauseRequest;
    m_currentBook.clear();
    m_resumeKey.clear();
    m_nextKey.clear();
    m_pending.clear();
    Q_EMIT progressChanged(0, 0);

    m_resumed = !m_message.resumeBook().isEmpty();
    m_resumeBookOfSegment = m_message.resumeBook();
    m_pendingKey = m_message.resumeKey();
    if (!m_sender->open()) {
        log(m_sender->failureText());
        m_ask.inform(tr::text(tr::CheckConnection));
        endSegment(End::ConnectionFailed);
        return;
    }
    if (m_resumed) {
        QStringList books = m_message.destinationBooks();
        const qsizetype at = books.indexOf(m_message.resumeBook());
        books.remove(0, at < 0 ? books.size() : at);
        m_message.setDestinationBooks(books);
    }
    m_books = m_message.destinationBooks();
    for (const QString &book : m_books) {
        if (m_store.files().bookExists(book)) {
            try {
                m_total += BookScan(Database::open(m_store.files().bookPath(book), Database::Mode::ReadOnly)).count();
            } catch (const StoreError &) {
                // Counted as empty; the book is reported when it is opened.
            }
        }
    }
    Q_EMIT progressChanged(0, m_total);
    QString error;
    if (!m_journal.begin(m_message, m_message.resumeBook(), m_message.resumeKey(), &error))
        log(QStringLiteral("(journal: %1)").arg(error));
    m_bookIndex = -1;
    nextBook();
}

void SendingRun::nextBook()
{
    m_scan.reset();
    if (m_transmissionError) {
        m_ask.inform(tr::text(tr::CheckConnection));
        endSegment(End::StoppedAndSaved);
        return;
    }
    if (requested() || ++m_bookIndex >= m_books.size()) {
        endSegment((m_requests & StopRequest)     ? End::StoppedAndSaved
                   : (m_requests & CancelRequest) ? End::Cancelled
                   : (m_requests & PauseRequest)  ? End::Paused
                                                  : End::Finished);
        return;
    }
    const QString book = m_books[m_bookIndex];
    m_currentBook = book;
    // The resume key belongs to the resume book alone: a missing resume book
    // must not make the next book be passed over.
    const bool isResumeBook = m_bookIndex == 0 && m_resumed && book == m_resumeBookOfSegment;
    const QString key = isResumeBook ? m_pendingKey : QString();
    m_pendingKey.clear();
    const QString heading = tr::text(tr::LogBook) + book;
    if (!m_store.files().bookExists(book)) {
        log(heading + tr::text(tr::LogBookMissing));
        QTimer::singleShot(0, this, &SendingRun::nextBook);
        return;
    }
    try {
        m_scan = std::make_unique<BookScan>(Database::open(m_store.files().bookPath(book), Database::Mode::ReadOnly));
    } catch (const StoreError &) {
        log(heading + tr::text(tr::LogBookMissing));
        QTimer::singleShot(0, this, &SendingRun::nextBook);
        return;
    }
    readLabels(m_store.files().labelPath(book), m_contact);
    log(heading);
    if (key == kEnd) {
        const int n = m_scan->count();
        m_total -= n;
        Q_EMIT progressChanged(m_processed, m_total);
        m_resumeKey = m_nextKey = kEnd;
        bookDone();
        return;
    }
    if (!key.isEmpty()) {
        bool isNumber = false;
        const qint64 id = key.toLongLong(&isNumber);
        const int passed = isNumber ? m_scan->seek(id) : -1;
        if (passed < 0) {
            // A key that is not in the book: every contact is passed over.
            m_total -= m_scan->count();
            m_scan->seek(-1);
        } else {
            m_total -= passed;
        }
        Q_EMIT progressChanged(m_processed, m_total);
    }
    m_packetPosition = 1;
    m_requests &= ~PauseRequest;
    const qint64 first = m_scan->peekId();
    m_resumeKey = m_nextKey = first < 0 ? kEnd : QString::number(first);
    m_stepTimer.start();
}

void SendingRun::bookDone()
{
    m_scan.reset();
    // The book's last message is answered before the next book starts, so
    // that the place where sending goes on is never in two books at once.
    m_sender->settle();
    if (takeLateAnswers()) {
        m_nextKey = kEnd;
        updateResumeKey();
        journal();
    }
    QTimer::singleShot(0, this, &SendingRun::nextBook);
}

void SendingRun::processContact()
{
    if (!m_scan->next(m_contact)) {
        bookDone();
        return;
    }
    const QString id = m_contact[F_id].value;
    const QString address = m_contact[F_email].value;
    const QString nom = m_contact[F_nom].value;
    const QString prenom = m_contact[F_prenom].value;
    Q_EMIT progressChanged(m_processed, m_total);
    Q_EMIT recipientChanged(address);

    if (m_store.workTables().isBlackListed(address)) {
        log(tr::text(tr::LogExcluded) + address);
        ++m_counts.excluded;
    } else if (address.isEmpty()) {
        log(tr::text(tr::LogNoAddress) + nom + u' ' + prenom);
        ++m_counts.noAddress;
    } else {
        mail::MailMessage msg;
        msg.userName = m_settings.senderName;
        msg.from = m_settings.senderAddress;
        msg.xMailer = mailerName();
        const bool html = m_message.mode() != message::ComposeMode::PlainText;
        msg.bodyFormat = html ? mail::BodyFormat::Html : mail::BodyFormat::Plain;
        for (const QString &path : m_message.attachments())
            msg.attachments.add(path);
        if (m_message.mode() == message::ComposeMode::HtmlFile && m_message.images()) {
            for (const QString &path : *m_message.images())
                msg.embeddedImages.add(path);
        }
        msg.subject = message::personalise(m_message.subject(), m_contact);
        msg.text = message::personaliseLines(m_body, m_contact, message::bodyValueForm(m_message.mode()));
        msg.sendTo = address;
        if (!m_plainAlternative.isEmpty())
            msg.plainAlternative = message::personaliseLines(m_plainAlternative, m_contact, message::ValueForm::AsTyped);
        msg.listUnsubscribe = listUnsubscribeUris(m_settings, m_contact);
        const qint64 tag = ++m_tag;
        const RefusedRecipient who{m_currentBook, id, nom, prenom, address, {}, {}};
        // Signed once composed; a message that cannot be signed is not sent
        // unsigned, and the run stops there as on a lost connection.
        QString signError;
        const bool signedOk = !m_signer || mail::composeSigned(msg, m_signer.get(), &signError);

        if (!m_sender->isOpen())
            m_sender->open();
        // The connection may have taken the answer about the message before
        // this one with it: the run stops there, before sending another.
        takeLateAnswers();
        if (!m_transmissionError && !signedOk) {
            take(who, tag, {MailSender::Outcome::Error, QString(), signError});
        } else if (!m_transmissionError) {
            MailSender::Result r = m_sender->send(msg, tag);
            takeLateAnswers();
            // The connection was lost under this message: one new connection,
            // one more try, before the run stops; not when the message before
            // it was lost too, which resuming sends before this one.
            if (r.outcome == MailSender::Outcome::Error && !m_transmissionError && !m_sender->isOpen()
                && m_sender->open())
                r = m_sender->send(msg, tag);
            take(who, tag, r);
            takeLateAnswers();
        }
    }

    // A contact whose message was lost is where sending goes on, so that
    // resuming sends it; otherwise the one after this one, once every message
    // before it was answered.
    const qint64 next = m_scan->peekId();
    m_nextKey = next < 0 ? kEnd : QString::number(next);
    updateResumeKey();
    journal();

    if (m_packetsOn && m_packetPosition % m_packets.size == 0)
        m_requests |= PauseRequest;
    if (next < 0)
        m_requests &= ~PauseRequest; // no pause after a book's last contact
    if (requested() || m_transmissionError) {
        Q_EMIT progressChanged(0, 0);
        m_scan.reset();
        QTimer::singleShot(0, this, &SendingRun::nextBook);
        return;
    }
    ++m_processed;
    ++m_packetPosition;
    Q_EMIT progressChanged(m_processed, m_total);
    if (next < 0)
        bookDone();
    else
        m_stepTimer.start();
}

void SendingRun::take(const RefusedRecipient &who, qint64 tag, const MailSender::Result &r)
{
    switch (r.outcome) {
    case MailSender::Outcome::Sent:
        log(tr::text(tr::LogSent) + who.nom + u' ' + who.prenom + u' ' + who.address);
        ++m_counts.sent;
        break;
    case MailSender::Outcome::Pending:
        // Neither sent nor refused until the server has answered.
        m_pending.insert(tag, who);
        break;
    case MailSender::Outcome::Refused: {
        RefusedRecipient x = who;
        x.code = r.code;
        x.text = r.text;
        refuse(x);
        break;
    }
    case MailSender::Outcome::Invalid: {
        RefusedRecipient x = who;
        x.text = r.text;
        log(texts::text(texts::LogInvalidAddress) + who.nom + u' ' + who.prenom + u' ' + who.address
            + QStringLiteral(" (") + r.text + u')');
        ++m_counts.invalid;
        m_refused << x;
        break;
    }
    case MailSender::Outcome::Error:
        transmissionError(who, r.text);
        break;
    }
}

void SendingRun::transmissionError(const RefusedRecipient &who, const QString &text)
{
    if (m_transmissionError)
        return; // the first failure of the segment is where sending goes on
    log(tr::text(tr::LogTransmissionError) + QStringLiteral(" (") + text + u')');
    m_requests |= StopRequest;
    m_packetsOn = false;
    m_transmissionError = true;
    m_failedBook = who.book;
    m_failedKey = who.id;
}

void SendingRun::updateResumeKey()
{
    if (m_transmissionError) {
        m_currentBook = m_failedBook;
        m_resumeKey = m_failedKey;
        return;
    }
    if (m_pending.isEmpty()) {
        m_resumeKey = m_nextKey;
        return;
    }
    // The oldest message not answered yet: a run that dies now sends it again.
    const auto oldest = std::min_element(m_pending.keyBegin(), m_pending.keyEnd());
    m_resumeKey = m_pending.value(*oldest).id;
}

void SendingRun::journal()
{
    m_journal.record(m_currentBook, m_resumeKey);
}

void SendingRun::refuse(const RefusedRecipient &r, bool logIt)
{
    if (logIt)
        log(texts::text(texts::LogRefused) + r.nom + u' ' + r.prenom + u' ' + r.address + QStringLiteral(" (")
            + (r.code + u' ' + r.text).trimmed() + u')');
    ++m_counts.refused;
    m_refused << r;
}

bool SendingRun::takeLateAnswers()
{
    const QList<MailSender::LateAnswer> answers = m_sender->takeLateAnswers();
    for (const MailSender::LateAnswer &late : answers) {
        const auto it = m_pending.constFind(late.tag);
        if (it == m_pending.constEnd())
            continue;
        const RefusedRecipient who = *it;
        m_pending.erase(it);
        take(who, late.tag, late.result);
    }
    return !answers.isEmpty();
}

// ------------------------------------------------------------- the end step

void SendingRun::endSegment(End end)
{
    m_stepTimer.stop();
    m_scan.reset();
    const bool hadError = m_transmissionError;
    takeLateAnswers();
    m_sender->close();
    takeLateAnswers();
    // A sender that never answered: those messages count as sent nowhere.
    if (!m_pending.isEmpty())
        transmissionError(m_pending.value(*std::min_element(m_pending.keyBegin(), m_pending.keyEnd())),
                          tr::text(tr::CheckConnection));
    m_pending.clear();
    if (m_state == State::Sending) {
        updateResumeKey();
        journal();
    }
    if (m_transmissionError && !hadError)
        m_ask.inform(tr::text(tr::CheckConnection));

    const bool stop = m_requests & StopRequest;
    const bool pause = (m_requests & PauseRequest) && !stop && !(m_requests & CancelRequest);
    if (pause) {
        makeFolder(stoppedFolder());
        QString error;
        if (!writeArchive(m_message, stoppedFolder() + kPauseSnapshot, message::ArchiveKind::InterruptedSend,
                          m_resumeKey, m_currentBook, &error)) {
            // Without the snapshot the next segment would start from a stale
            // place; stop here and save the run under a name instead.
            log(error);
            m_requests |= StopRequest;
        }
    }
    if (m_requests & StopRequest) {
        saveInterruptedSend();
        end = End::StoppedAndSaved;
    } else {
        writeHistory();
    }
    if (m_resumed)
        m_message.clear();
    Q_EMIT progressChanged(0, 0);
    Q_EMIT recipientChanged(QString());

    if (pause && !(m_requests & StopRequest)) {
        const int ms = m_pauseOverride ? *m_pauseOverride : m_packets.pauseMinutes * 60000;
        m_pauseTimer.start(ms);
        setState(State::Pausing);
        Q_EMIT segmentEnded(End::Paused);
        Q_EMIT pauseStarted(ms);
        return;
    }
    m_journal.finish();
    setState(State::Ended);
    logEndOfRun();
    Q_EMIT segmentEnded(end);
}

void SendingRun::logEndOfRun()
{
    log(summary());
    // A run whose history is lost says so again where the user reads last.
    for (const QString &error : std::as_const(m_historyErrors))
        log(texts::text(texts::HistoryNotWritten) + error);
    if (m_refused.isEmpty())
        return;
    log(texts::text(texts::RefusedHeading));
    for (const RefusedRecipient &r : m_refused)
        log(QStringLiteral("  %1 %2 %3 (%4)").arg(r.nom, r.prenom, r.address, (r.code + u' ' + r.text).trimmed()));
}

void SendingRun::saveInterruptedSend()
{
    QString name = m_ask.askLaterSendName(m_message.subject());
    for (;;) {
        name = name.trimmed();
        if (name.isEmpty() || name.contains(u'/') || name.contains(u'\\') || name.startsWith(u'.'))
            name = freeInterruptedName(name.isEmpty() ? m_message.subject() : name);
        if (!QFile::exists(findNoCase(stoppedFolder(), name + message::archiveExtension(message::ArchiveKind::InterruptedSend))))
            break;
        if (m_ask.askReplaceInterrupted(name)) {
            QFile::remove(findNoCase(stoppedFolder(), name + message::archiveExtension(message::ArchiveKind::InterruptedSend)));
            break;
        }
        name = m_ask.askLaterSendName(m_message.subject());
    }
    makeFolder(stoppedFolder());
    QString error;
    if (writeArchive(m_message, stoppedFolder() + name, message::ArchiveKind::InterruptedSend, m_resumeKey,
                     m_currentBook, &error)) {
        m_savedName = name;
    } else {
        // The journal stays, so the run is offered again at the next start.
        m_savedName.clear();
        m_ask.inform(error);
        return;
    }
    keepRefused(m_refused.mid(m_refusedWritten), QString(), name);
    m_refusedWritten = int(m_refused.size());
}

void SendingRun::writeHistory()
{
    QString error;
    const qint64 id = writeHistoryRecord(m_store, m_message, &error);
    if (id <= 0) {
        m_historyErrors << error;
        log(texts::text(texts::HistoryNotWritten) + error);
    }
    keepRefused(m_refused.mid(m_refusedWritten), id > 0 ? QString::number(id) : QString(), QString());
    m_refusedWritten = int(m_refused.size());
}

void SendingRun::onPauseTimer()
{
    m_pauseTimer.stop();
    Q_EMIT pauseEnded();
    resumeFrom(interruptedPath(kPauseSnapshot));
}

// ------------------------------------------------------------- buttons

void SendingRun::cancel()
{
    m_pauseTimer.stop();
    m_requests |= CancelRequest;
    m_packetsOn = false;
    if (m_state == State::Pausing) {
        // Nothing is running to read the request; the run ends here.
        Q_EMIT pauseEnded();
        m_journal.finish();
        setState(State::Ended);
        logEndOfRun();
        Q_EMIT segmentEnded(End::Cancelled);
    }
}

void SendingRun::stopAndSave()
{
    if (m_state == State::Pausing) {
        stopAndSaveFromPause();
        return;
    }
    m_pauseTimer.stop();
    m_requests |= StopRequest;
    m_packetsOn = false;
}

void SendingRun::stopAndSaveFromPause()
{
    m_pauseTimer.stop();
    m_packetsOn = false;
    m_requests |= StopRequest;
    onPauseTimer();
}

void SendingRun::close()
{
    if (m_state == State::Sending || m_state == State::Prepared)
        return;
    m_pauseTimer.stop();
    if (m_state == State::Pausing) {
        Q_EMIT pauseEnded();
        m_journal.finish();
    }
    m_dialogShown = false;
    setState(State::Idle);
}

QString SendingRun::summary() const
{
    return texts::text(texts::SendingSummary)
        .arg(m_counts.sent)
        .arg(m_counts.refused)
        .arg(m_counts.excluded)
        .arg(m_counts.noAddress)
        .arg(m_counts.invalid);
}

} // namespace kirvane::sending
