#include "sending/sendingrun.h"
#include "common/product.h"

#include "mail/dkimsigner.h"
#include "mail/mailmessage.h"
#include "message/htmlbody.h"
#include "message/messagearchive.h"
#include "message/messagedocument.h"
#include "message/placeholders.h"
#include "message/plaintextalternative.h"
#include "sending/history.h"
#include "sending/listunsubscribe.h"
#include "texts/texttable.h"
#include "store/database.h"
#include "common/folders.h"
#include "common/logline.h"
#include "store/addressbookstore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kirvane::sending {

using namespace kirvane::common;
using namespace kirvane::store;
using namespace kirvane::texts;

namespace tr = texts;

namespace {

const QString kEnd = endOfBookKey();
const QString kPauseSnapshot = pauseSnapshotName();
const QString kArchiveExtension = message::archiveExtension(message::ArchiveKind::InterruptedSend);

// The command as it stands on the wire, for the texts that name it.
QString commandName(mail::SmtpCommand command)
{
    switch (command) {
    case mail::SmtpCommand::MailFrom:
        return QStringLiteral("MAIL FROM");
    case mail::SmtpCommand::RcptTo:
        return QStringLiteral("RCPT TO");
    case mail::SmtpCommand::Data:
        return QStringLiteral("DATA");
    case mail::SmtpCommand::None:
        break;
    }
    return QStringLiteral("SMTP");
}

QString replyText(const MailSender::Result &r)
{
    return (r.code + u' ' + r.text).trimmed();
}

} // namespace

SendingRun::SendingRun(store::AddressBookStore &store, message::MessageDocument &message, RunQuestions &ask, QObject *parent)
    : QObject(parent), m_store(store), m_message(message), m_ask(ask)
{
    setSender(std::make_unique<SmtpSender>());
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
    connect(m_sender.get(), &MailSender::answered, this, &SendingRun::onAnswer);
}

void SendingRun::onAnswer(const MailSender::Answer &a)
{
    // Answers about earlier messages first: they came before this one's.
    const bool anyLate = takeLateAnswers(a.late);
    switch (a.request) {
    case MailSender::Request::Open:
        onOpened(a);
        break;
    case MailSender::Request::Deliver: {
        const RefusedRecipient who = m_inFlight.isEmpty() ? RefusedRecipient{} : m_inFlight.takeFirst();
        // A sender that leaves answers for later pipelines: it may be handed
        // the next message before this one's answer comes.
        m_pipelining = a.attempted && a.result.outcome == MailSender::Outcome::Pending;
        if (a.attempted)
            take(who, a.tag, a.result);
        contactDone(true);
        break;
    }
    case MailSender::Request::Settle:
        onSettled(anyLate);
        break;
    case MailSender::Request::Close:
        onClosed();
        break;
    case MailSender::Request::SendAlone:
        onTestAnswered(a);
        break;
    }
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
    // A contact's values or a server's reply cannot add lines to the log.
    Q_EMIT logged(common::logSafe(line));
}

QString SendingRun::pauseSnapshotBase()
{
    return stoppedRunBase(kPauseSnapshot);
}

int SendingRun::pauseMilliseconds() const
{
    return m_pauseOverride ? *m_pauseOverride : m_packets.pauseMinutes * 60000;
}

// ------------------------------------------------------------- preparing

void SendingRun::beginRun()
{
    // A new run: nothing of an earlier one is read again.
    m_request = Request::None;
    m_pauseDue = false;
    m_afterPause = false;
    m_failure.clear();
    m_failureNotice.clear();
    m_savedName.clear();
    m_counts = {};
    m_refused.clear();
    m_refusedWritten = 0;
    m_historyErrors.clear();
    m_pauseTimer.stop();
    m_runTotal = 0;
    m_runDone = 0;
}

std::optional<RunFigures> SendingRun::checkNew()
{
    if (m_message.subject().isEmpty() && !m_ask.askSendWithoutSubject())
        return std::nullopt;
    if (!QFileInfo::exists(settings::settingsPath())) {
        m_ask.inform(tr::text(tr::SettingsMissing));
        return std::nullopt;
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
        return std::nullopt;
    }
    if (m_message.destinationBooks().isEmpty()) {
        m_ask.inform(tr::text(tr::NoDestinationBooks));
        return std::nullopt;
    }
    RunFigures f;
    try {
        buildBlackList();
        store::ContactRecord c;
        for (const QString &book : m_message.destinationBooks()) {
            BookScan scan = m_store.contacts().scan(book);
            ++f.books;
            // Without exclusion books nobody is excluded: the book's count
            // is the figure, and its contacts need not be read one by one.
            if (!m_excluding) {
                f.contacts += scan.count();
                continue;
            }
            while (scan.next(c)) {
                if (isExcluded(c[F_email].value))
                    ++f.excluded;
                else
                    ++f.contacts;
            }
        }
    } catch (const StoreError &e) {
        m_ask.inform(QString::fromStdString(e.what()));
        return std::nullopt;
    }
    return f;
}

void SendingRun::buildBlackList()
{
    m_store.workTables().buildBlackList(m_message.exclusionBooks());
    m_excluding = !m_message.exclusionBooks().isEmpty();
}

bool SendingRun::isExcluded(const QString &address)
{
    // Without exclusion books the black list is empty: no lookup per contact.
    if (!m_excluding)
        return false;
    try {
        return m_store.workTables().isBlackListed(address);
    } catch (const StoreError &e) {
        // Sending without the exclusions would mail people who asked not to
        // be: the run stops at this contact as at an unreadable book,
        // resumable once the list can be read again.
        throw StoreError(tr::text(tr::ExclusionsUnreadable).arg(QString::fromStdString(e.what()), address).toStdString());
    }
}

bool SendingRun::sendNew()
{
    if (isBusy() || m_state == State::Pausing)
        return false;
    const std::optional<RunFigures> figures = checkNew();
    if (!figures || !m_ask.confirmSending(m_message.subject(), *figures))
        return false;
    beginRun();
    m_runTotal = figures->contacts + figures->excluded;
    m_origin.clear();
    // A document that holds a resume position goes on from there.
    m_position = {};
    m_position.book = m_message.resumeBook();
    m_position.key = m_message.resumeKey();
    if (!prepare())
        return false;
    Q_EMIT opened();
    return true;
}

bool SendingRun::resumeFrom(const QString &path)
{
    if (isBusy() || m_state == State::Pausing)
        return false;
    if (message::readArchive(path, m_message) != message::ArchiveReadStatus::Ok) {
        m_ask.inform(tr::text(tr::CorruptMessage));
        return false;
    }
    beginRun();
    const QString base = path.endsWith(kArchiveExtension, Qt::CaseInsensitive) ? path.chopped(kArchiveExtension.size()) : path;
    m_origin = base;
    m_position = readStoppedPosition(m_message, base);
    if (!prepare())
        return false;
    Q_EMIT opened();
    return true;
}

bool SendingRun::loadForSending()
{
    m_body = message::preparedBody(m_message, message::BodyPurpose::Sending);
    settings::Settings s;
    if (QString why; !settings::loadSettings(s, settings::settingsPath(), &why) && !why.isEmpty()) {
        m_ask.inform(why);
        return false;
    }
    if (!s.isAvailable()) {
        m_ask.inform(tr::text(tr::SettingsMissing));
        return false;
    }
    // A hand-edited file may hold what the window refuses: a DKIM key that
    // cannot sign, a CA file that cannot be read.
    if (const QString why = settings::checkMailSettings(s); !why.isEmpty()) {
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
    // The lines without placeholders are the same in every message: encoded once.
    m_lineCache = std::make_shared<mail::TextLineCache>(m_body + m_plainAlternative);
    m_settings = s;
    m_sender->setEndpoint(settings::smtpEndpoint(s));
    m_packets = settings::packetPlan(s);
    return true;
}

bool SendingRun::prepare()
{
    if (!loadForSending())
        return false;
    try {
        buildBlackList();
    } catch (const StoreError &e) {
        // Sending without the exclusions would mail people who asked not to be.
        m_ask.inform(QString::fromStdString(e.what()));
        return false;
    }
    setState(State::Preparing);
    m_startTimer.start();
    return true;
}

// ------------------------------------------------------------- a segment

void SendingRun::startSegment()
{
    m_startTimer.stop();
    m_total = 0;
    m_processed = 0;
    m_pauseDue = false;
    m_nextKey.clear();
    m_failedKey.clear();
    m_pending.clear();
    m_newlyAnswered.clear();
    m_inFlight.clear();
    m_pipelining = false;

    m_resumed = !m_message.resumeBook().isEmpty();
    if (m_resumed) {
        QStringList books = m_message.destinationBooks();
        const qsizetype at = books.indexOf(m_message.resumeBook());
        books.remove(0, at < 0 ? books.size() : at);
        m_message.setDestinationBooks(books);
    } else {
        m_position = {};
        if (!m_message.destinationBooks().isEmpty())
            m_position.enterBook(m_message.destinationBooks().constFirst());
    }
    m_books = m_message.destinationBooks();
    if (m_request != Request::None) {
        // Stopped before the first contact: the position stays as it came.
        endSegment(m_request == Request::Cancel ? End::Cancelled : End::StoppedAndSaved);
        return;
    }
    setState(State::Sending);
    m_sender->open();
}

void SendingRun::onOpened(const MailSender::Answer &a)
{
    if (!a.ready) {
        log(a.failureText);
        m_ask.inform(tr::text(tr::CheckConnection));
        endSegment(End::ConnectionFailed);
        return;
    }
    if (m_resumed && !m_position.tracked) {
        try {
            trackFromKey();
        } catch (const StoreError &e) {
            const QString why = tr::text(tr::LogBook) + m_position.book + QStringLiteral(": ") + QString::fromStdString(e.what());
            fail({m_position.book, m_position.key, {}, {}, {}, {}, {}}, why, why);
            endSegment(End::StoppedAndSaved);
            return;
        }
    }
    try {
        for (const QString &book : std::as_const(m_books)) {
            if (m_store.files().bookExists(book))
                m_total += m_store.contacts().scan(book).count();
        }
    } catch (const StoreError &) {
        // Counted as empty; the book is reported when it is opened.
    }
    if (m_resumed && !m_books.isEmpty() && m_books.constFirst() == m_position.book)
        m_total = std::max(0, m_total - int(m_position.answered.size()));
    if (m_runTotal == 0)
        m_runTotal = m_total;
    reportProgress();
    QString error;
    if (!m_journal.begin(m_message, m_position, &error))
        log(QStringLiteral("(journal: %1)").arg(error));
    m_bookIndex = -1;
    nextBook();
}

void SendingRun::trackFromKey()
{
    if (m_position.key.isEmpty() || !m_store.files().bookExists(m_position.book)) {
        m_position.tracked = true;
        return;
    }
    BookScan scan = m_store.contacts().scan(m_position.book);
    bool isNumber = false;
    const qint64 id = m_position.key.toLongLong(&isNumber);
    // "END" and a key not in the book pass the whole book over.
    IdSet answered;
    scan.forEachIdBefore(isNumber ? id : -1, [&answered](qint64 before) { answered.insert(before); });
    m_position.answered = std::move(answered);
    m_position.tracked = true;
}

void SendingRun::nextBook()
{
    dropScan();
    if (!m_failure.isEmpty() || m_request != Request::None || m_pauseDue || ++m_bookIndex >= m_books.size()) {
        endSegment(!m_failure.isEmpty()                  ? End::StoppedAndSaved
                   : m_request == Request::StopAndSave   ? End::StoppedAndSaved
                   : m_request == Request::Cancel        ? End::Cancelled
                   : m_pauseDue                          ? End::Paused
                                                         : End::Finished);
        return;
    }
    const QString book = m_books[m_bookIndex];
    // The answered ids belong to the resume book alone: any other book starts afresh.
    if (!(m_bookIndex == 0 && m_resumed && book == m_position.book))
        m_position.enterBook(book);
    const QString heading = tr::text(tr::LogBook) + book;
    m_nextKey.clear();
    if (!m_store.files().bookExists(book)) {
        log(heading + tr::text(tr::LogBookMissing));
        m_position.key = m_nextKey = kEnd;
        QTimer::singleShot(0, this, &SendingRun::nextBook);
        return;
    }
    try {
        m_scan = std::make_unique<BookScan>(m_store.contacts().scan(book));
        readLabels(m_store.files().labelPath(book), m_contact);
        log(heading);
        m_packetPosition = 1;
        const qint64 first = nextToSend();
        m_position.key = m_nextKey = first < 0 ? kEnd : QString::number(first);
    } catch (const StoreError &e) {
        const QString why = heading + QStringLiteral(": ") + QString::fromStdString(e.what());
        fail({book, m_position.key, {}, {}, {}, {}, {}}, why, why);
        QTimer::singleShot(0, this, &SendingRun::nextBook);
        return;
    }
    m_stepTimer.start();
}

qint64 SendingRun::nextToSend()
{
    // Contacts answered before a stop are passed over, wherever the book's
    // changes have put them in the name order.
    qint64 id = m_scan->peekId();
    while (id >= 0 && m_position.answered.contains(id)) {
        m_scan->skip();
        id = m_scan->peekId();
    }
    return id;
}

void SendingRun::bookDone()
{
    dropScan();
    // The book's last message is answered before the next book starts, so
    // that the place where sending goes on is never in two books at once.
    m_sender->settle();
}

void SendingRun::onSettled(bool anyLate)
{
    if (anyLate) {
        m_nextKey = kEnd;
        updateResumeKey();
        journal();
    }
    nextBook();
}

void SendingRun::processContact()
{
    try {
        bool excluded = false;
        if (m_ahead.read) {
            // Read while the sender worked on the contact before.
            m_ahead.read = false;
            excluded = m_ahead.excluded;
        } else {
            if (nextToSend() < 0 || !m_scan->next(m_contact)) {
                bookDone();
                return;
            }
            excluded = isExcluded(m_contact[F_email].value);
        }
        const QString id = m_contact[F_id].value;
        const QString address = m_contact[F_email].value;
        const QString nom = m_contact[F_nom].value;
        const QString prenom = m_contact[F_prenom].value;
        Q_EMIT recipientChanged(address);

        if (excluded) {
            log(tr::text(tr::LogExcluded) + address);
            ++m_counts.excluded;
            answered(id);
        } else if (address.isEmpty()) {
            log(tr::text(tr::LogNoAddress) + nom + u' ' + prenom);
            ++m_counts.noAddress;
            answered(id);
        } else {
            // Goes on in contactDone() when the sender has answered.
            sendTo(id, address, nom, prenom);
            return;
        }
    } catch (const StoreError &e) {
        bookUnreadable(QString::fromStdString(e.what()));
        contactDone(false);
        return;
    }
    contactDone(true);
}

void SendingRun::bookUnreadable(const QString &error)
{
    // The book cannot be read any more (replaced, removed, damaged): the
    // run stops there as on a lost connection, resumable once it is back.
    const QString why = tr::text(tr::LogBook) + m_position.book + QStringLiteral(": ") + error;
    fail({m_position.book, m_nextKey, {}, {}, {}, {}, {}}, why, why);
}

void SendingRun::readAhead()
{
    // Not past the end of a packet: the contact after it is read after the pause.
    if (!m_scan || m_request != Request::None || !m_failure.isEmpty()
        || (m_packets.on && m_packetPosition % m_packets.size == 0))
        return;
    try {
        if (nextToSend() < 0 || !m_scan->next(m_contact))
            return;
        m_ahead.read = true;
        m_ahead.id = m_contact[F_id].value.toLongLong();
        const QString address = m_contact[F_email].value;
        m_ahead.excluded = isExcluded(address);
        if (!m_ahead.excluded && !address.isEmpty()) {
            m_ahead.message = std::make_unique<mail::MailMessage>();
            composeFor(address, *m_ahead.message, &m_ahead.failInstead);
            if (m_pipelining && m_inFlight.size() == 1 && m_ahead.failInstead.isEmpty())
                deliverAhead();
        }
    } catch (const StoreError &e) {
        // Said when the contact before is done, as if read then.
        m_ahead = {};
        m_ahead.error = QString::fromStdString(e.what());
    }
}

void SendingRun::deliverAhead()
{
    // The sender goes on with this message as soon as it has handed over the
    // one before, without waiting for the run to take that one's answer. Its
    // contact is logged and counted when its answer comes, as any other.
    m_inFlight.append({m_position.book, m_contact[F_id].value, m_contact[F_nom].value, m_contact[F_prenom].value,
                       m_contact[F_email].value, {}, {}});
    m_sender->deliverNext(*m_ahead.message, ++m_tag);
    m_ahead.message.reset();
    m_ahead.delivered = true;
}

void SendingRun::dropScan()
{
    m_scan.reset();
    m_ahead = {};
}

void SendingRun::contactDone(bool readable)
{
    qint64 next = -1;
    if (readable && !m_ahead.error.isEmpty()) {
        bookUnreadable(std::exchange(m_ahead.error, QString()));
    } else if (readable && m_ahead.read) {
        next = m_ahead.id;
    } else if (readable) {
        try {
            next = nextToSend();
        } catch (const StoreError &e) {
            bookUnreadable(QString::fromStdString(e.what()));
        }
    }

    // A contact whose message was lost is where sending goes on, so that
    // resuming sends it; otherwise the one after this one, once every message
    // before it was answered.
    m_nextKey = next < 0 ? kEnd : QString::number(next);
    updateResumeKey();
    journal();

    // A packet never spans two books, and no pause follows a book's last contact.
    if (m_packets.on && m_packetPosition % m_packets.size == 0 && next >= 0)
        m_pauseDue = true;
    reportProgress();
    if (m_request != Request::None || !m_failure.isEmpty() || m_pauseDue) {
        if (!m_inFlight.isEmpty()) {
            // The message handed over ahead is answered first; the segment
            // ends after its contact.
            m_ahead = {};
            return;
        }
        dropScan();
        QTimer::singleShot(0, this, &SendingRun::nextBook);
        return;
    }
    ++m_processed;
    ++m_packetPosition;
    if (next < 0)
        bookDone();
    else if (m_ahead.delivered)
        processContact(); // now, so that it is the contact in flight when the answer comes
    else
        m_stepTimer.start();
}

bool SendingRun::sendTest(const QString &address)
{
    if (isBusy() || m_state == State::Pausing)
        return false;
    if (m_message.destinationBooks().isEmpty()) {
        m_ask.inform(tr::text(tr::NoDestinationBooks));
        return false;
    }
    if (!loadForSending())
        return false;
    const QString to = address.isEmpty() ? m_settings.senderAddress : address;
    const QString book = m_message.destinationBooks().constFirst();
    try {
        // Personalised with the first contact of the first book, as the run
        // would send it first.
        BookScan scan = m_store.contacts().scan(book);
        readLabels(m_store.files().labelPath(book), m_contact);
        if (!scan.next(m_contact))
            m_contact = emptyContact();
    } catch (const StoreError &e) {
        m_ask.inform(tr::text(tr::LogBook) + book + QStringLiteral(": ") + QString::fromStdString(e.what()));
        return false;
    }
    mail::MailMessage msg = compose(to);
    msg.lineCache.reset(); // composed on the sender's thread
    QString why;
    if (m_signer && !mail::composeSigned(msg, m_signer.get(), &why)) {
        m_ask.inform(why);
        return false;
    }
    m_testing = true;
    m_testTo = to;
    m_sender->sendAlone(msg);
    return true;
}

void SendingRun::onTestAnswered(const MailSender::Answer &a)
{
    m_testing = false;
    const QString to = std::exchange(m_testTo, QString());
    bool sent = false;
    if (!a.ready) {
        log(a.failureText);
        m_ask.inform(tr::text(tr::CheckConnection));
    } else if (a.result.outcome != MailSender::Outcome::Sent) {
        m_ask.inform(replyText(a.result));
    } else {
        log(tr::text(tr::TestSent).arg(to));
        sent = true;
    }
    Q_EMIT testEnded(sent, to);
}

mail::MailMessage SendingRun::compose(const QString &address) const
{
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
    msg.lineCache = m_lineCache;
    return msg;
}

void SendingRun::composeFor(const QString &address, mail::MailMessage &msg, QString *failInstead) const
{
    msg = compose(address);
    // Signed once composed; a message that cannot be signed is not sent
    // unsigned, and the run stops there as on a lost connection. Composed
    // here, the sender's thread only sends it; one that cannot be composed
    // goes as it is, and the sender says why.
    QString error;
    const bool composed = mail::composeSigned(msg, m_signer.get(), &error);
    // The cache is this thread's: the sender's thread composes without it.
    msg.lineCache.reset();
    if (!composed) {
        if (m_signer)
            *failInstead = error.isEmpty() ? QStringLiteral("cannot sign") : error;
        else
            msg.wireLines.clear();
    }
}

void SendingRun::sendTo(const QString &id, const QString &address, const QString &nom, const QString &prenom)
{
    if (std::exchange(m_ahead.delivered, false)) {
        // Handed to the sender already, with the message before.
        readAhead();
        return;
    }
    mail::MailMessage msg;
    QString failInstead;
    if (m_ahead.message) {
        msg = std::move(*m_ahead.message);
        failInstead = std::exchange(m_ahead.failInstead, QString());
        m_ahead.message.reset();
    } else {
        composeFor(address, msg, &failInstead);
    }
    const qint64 tag = ++m_tag;
    const RefusedRecipient who{m_position.book, id, nom, prenom, address, {}, {}};
    // The sender's answer comes back to onAnswer(); a connection lost under
    // the message is opened once more, a 4xx tried once more.
    m_inFlight.append(who);
    m_sender->deliver(msg, tag, failInstead);
    readAhead();
}

void SendingRun::reportProgress()
{
    // The whole run's figures: a pause or a new segment does not start them
    // again from nothing.
    Q_EMIT progressChanged(m_runDone, std::max(m_runTotal, m_runDone));
}

void SendingRun::answered(const QString &id)
{
    bool isNumber = false;
    const qint64 n = id.toLongLong(&isNumber);
    if (!isNumber)
        return;
    m_position.answered.insert(n);
    m_newlyAnswered << n;
    ++m_runDone;
}

void SendingRun::take(const RefusedRecipient &who, qint64 tag, const MailSender::Result &r)
{
    switch (r.outcome) {
    case MailSender::Outcome::Sent:
        log(tr::text(tr::LogSent) + who.nom + u' ' + who.prenom + u' ' + who.address);
        ++m_counts.sent;
        answered(who.id);
        for (const MailSender::RefusedAddress &a : r.refusedAddresses) {
            RefusedRecipient x = who;
            x.address = a.address;
            x.code = a.code;
            x.text = a.text;
            refuse(x);
        }
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
        answered(who.id);
        break;
    }
    case MailSender::Outcome::Invalid: {
        RefusedRecipient x = who;
        x.text = r.text;
        log(texts::text(texts::LogInvalidAddress) + who.nom + u' ' + who.prenom + u' ' + who.address
            + QStringLiteral(" (") + r.text + u')');
        ++m_counts.invalid;
        m_refused << x;
        answered(who.id);
        break;
    }
    case MailSender::Outcome::Deferred: {
        // Nobody got it, and the server may take it later: the run stops at
        // this contact, so that resuming sends it.
        const QString why = tr::text(tr::ServerDeferred).arg(commandName(r.command), replyText(r), who.address);
        fail(who, why, why);
        break;
    }
    case MailSender::Outcome::SenderRefused: {
        // No message of the run can go with this sender: listing every
        // recipient as refused would say the run ended well.
        const QString why = tr::text(tr::SenderRefused).arg(replyText(r));
        fail(who, why, why);
        break;
    }
    case MailSender::Outcome::Error:
        fail(who, tr::text(tr::LogTransmissionError) + QStringLiteral(" (") + r.text + u')');
        break;
    }
}

void SendingRun::fail(const RefusedRecipient &who, const QString &text, const QString &notice)
{
    if (!m_failure.isEmpty())
        return; // the first failure of the segment is where sending goes on
    log(text);
    m_failure = text;
    m_failureNotice = notice.isEmpty() ? tr::text(tr::CheckConnection) : notice;
    m_failedKey = who.id;
}

void SendingRun::updateResumeKey()
{
    // The key is what archives without answered ids resume by: the failed
    // contact, else the oldest one not answered, else the next one.
    if (!m_failure.isEmpty() && !m_failedKey.isEmpty()) {
        m_position.key = m_failedKey;
        return;
    }
    if (m_pending.isEmpty()) {
        if (!m_nextKey.isEmpty())
            m_position.key = m_nextKey;
        return;
    }
    const auto oldest = std::min_element(m_pending.keyBegin(), m_pending.keyEnd());
    m_position.key = m_pending.value(*oldest).id;
}

void SendingRun::journal()
{
    m_journal.record(m_position, m_newlyAnswered);
    m_newlyAnswered.clear();
}

void SendingRun::refuse(const RefusedRecipient &r, bool logIt)
{
    if (logIt)
        log(texts::text(texts::LogRefused) + r.nom + u' ' + r.prenom + u' ' + r.address + QStringLiteral(" (")
            + (r.code + u' ' + r.text).trimmed() + u')');
    ++m_counts.refused;
    m_refused << r;
}

bool SendingRun::takeLateAnswers(const QList<MailSender::LateAnswer> &answers)
{
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
    dropScan();
    m_ending = end;
    // Goes on in onClosed() once the answers still pending have come.
    m_sender->close();
}

void SendingRun::onClosed()
{
    End end = m_ending;
    // A sender that never answered: those messages count as sent nowhere.
    if (!m_pending.isEmpty())
        fail(m_pending.value(*std::min_element(m_pending.keyBegin(), m_pending.keyEnd())), tr::text(tr::CheckConnection));
    m_pending.clear();
    updateResumeKey();
    journal();
    if (!m_failure.isEmpty())
        m_ask.inform(m_failureNotice);
    // A continuation after a pause that cannot reach the server is saved, or
    // its position would live only in the pause snapshot.
    if (end == End::ConnectionFailed && m_afterPause)
        m_failure = tr::text(tr::CheckConnection);

    const bool stop = !m_failure.isEmpty() || m_request == Request::StopAndSave;
    bool pause = end == End::Paused && !stop && m_request == Request::None;
    if (pause) {
        makeFolder(stoppedFolder());
        QString error;
        if (!writeStoppedRun(m_message, pauseSnapshotBase(), m_position, &error)) {
            // Without the snapshot the next segment would start from a stale
            // place; stop here and save the run under a name instead.
            log(error);
            m_request = Request::StopAndSave;
            pause = false;
        }
    }
    const bool saved = (stop || m_request == Request::StopAndSave) && saveInterruptedSend(&m_message);
    if (stop || m_request == Request::StopAndSave)
        end = End::StoppedAndSaved;
    else
        writeHistory();
    if (m_resumed)
        m_message.clear();
    reportProgress();
    Q_EMIT recipientChanged(QString());

    if (pause) {
        const int ms = pauseMilliseconds();
        m_pauseTimer.start(ms);
        setState(State::Pausing);
        Q_EMIT segmentEnded(End::Paused);
        Q_EMIT pauseStarted(ms);
        return;
    }
    if (end == End::StoppedAndSaved)
        endRun(!m_failure.isEmpty() || !saved ? State::Failed : State::Saved, end);
    else
        endRun(end == End::ConnectionFailed ? State::Failed : State::Finished, end);
}

void SendingRun::endRun(State state, End end)
{
    const QString origin = std::exchange(m_origin, QString());
    if (!origin.isEmpty() && origin != pauseSnapshotBase() && state == State::Finished && end != End::ConnectionFailed) {
        if (end == End::Finished) {
            // Resumed to its end: the stopped run is done with.
            removeStoppedRun(origin);
        } else {
            // Cancelled: the stopped run keeps the place reached, so that
            // resuming it later sends nobody twice.
            message::MessageDocument doc;
            if (message::readArchive(origin + kArchiveExtension, doc) == message::ArchiveReadStatus::Ok)
                (void)writeStoppedRun(doc, origin, m_position);
        }
    }
    // The journal of a run that could not be saved stays, so that the next
    // start offers the run again.
    if (state != State::Failed || !m_savedName.isEmpty() || m_failure.isEmpty())
        m_journal.finish();
    else
        m_journal.leave();
    setState(state);
    logEndOfRun();
    Q_EMIT segmentEnded(end);
}

void SendingRun::logEndOfRun()
{
    log(summary());
    if (!m_savedName.isEmpty() && (m_state == State::Saved || m_state == State::Failed))
        log(stoppedAfter());
    // A run whose history is lost says so again where the user reads last.
    for (const QString &error : std::as_const(m_historyErrors))
        log(texts::text(texts::HistoryNotWritten) + error);
    if (m_refused.isEmpty())
        return;
    log(texts::text(texts::RefusedHeading));
    for (const RefusedRecipient &r : m_refused)
        log(QStringLiteral("  %1 %2 %3 (%4)").arg(r.nom, r.prenom, r.address, (r.code + u' ' + r.text).trimmed()));
}

bool SendingRun::saveInterruptedSend(const message::MessageDocument *message)
{
    QString name;
    if (!m_origin.isEmpty()) {
        // A resumed run is saved again under its own name: one stopped run,
        // one file, always at the place reached.
        name = QFileInfo(m_origin).fileName();
    } else {
        name = m_ask.askLaterSendName(m_message.subject().isEmpty() && message ? message->subject() : m_message.subject());
        for (;;) {
            name = name.trimmed();
            if (name.isEmpty() || name.contains(u'/') || name.contains(u'\\') || name.startsWith(u'.')
                || name.compare(kPauseSnapshot, Qt::CaseInsensitive) == 0)
                name = freeInterruptedName(name.isEmpty() ? m_message.subject() : name);
            if (!QFile::exists(stoppedRunPath(name)))
                break;
            if (m_ask.askReplaceInterrupted(name)) {
                removeStoppedRun(stoppedRunBase(name));
                break;
            }
            name = m_ask.askLaterSendName(m_message.subject());
        }
    }
    QString error;
    const QString base = stoppedRunBase(name);
    bool written = makeFolder(stoppedFolder());
    if (!written) {
        error = QStringLiteral("cannot make the folder");
    } else if (message) {
        written = writeStoppedRun(*message, base, m_position, &error);
    } else {
        written = copyStoppedRun(pauseSnapshotBase(), base, m_position, &error);
    }
    if (!written) {
        // The journal stays, so the run is offered again at the next start.
        m_savedName.clear();
        m_ask.inform(tr::text(tr::StoppedRunNotSaved).arg(QDir::toNativeSeparators(stoppedFolder()), error));
        return false;
    }
    m_savedName = name;
    keepRefused(m_refused.mid(m_refusedWritten), QString(), name);
    m_refusedWritten = int(m_refused.size());
    return true;
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
    // The next segment starts where the pause snapshot holds the run.
    if (message::readArchive(pauseSnapshotBase() + kArchiveExtension, m_message) != message::ArchiveReadStatus::Ok) {
        m_failure = tr::text(tr::CorruptMessage);
        m_ask.inform(m_failure);
        endRun(State::Failed, End::StoppedAndSaved);
        return;
    }
    m_afterPause = true;
    if (!prepare()) {
        // The settings went wrong during the pause: the run is kept by name.
        m_failure = tr::text(tr::SettingsMissing);
        const bool saved = saveInterruptedSend(nullptr);
        endRun(saved ? State::Saved : State::Failed, End::StoppedAndSaved);
    }
}

// ------------------------------------------------------------- transitions

void SendingRun::cancel()
{
    switch (m_state) {
    case State::Preparing:
    case State::Sending:
        m_request = Request::Cancel;
        setState(State::Stopping);
        break;
    case State::Pausing:
        // Nothing is running to read a request; the run ends here.
        m_pauseTimer.stop();
        Q_EMIT pauseEnded();
        endRun(State::Finished, End::Cancelled);
        break;
    default:
        break;
    }
}

void SendingRun::stopAndSave()
{
    switch (m_state) {
    case State::Preparing:
    case State::Sending:
        m_request = Request::StopAndSave;
        setState(State::Stopping);
        break;
    case State::Stopping:
        // "Stop and save" after "Cancel": the run is kept after all.
        m_request = Request::StopAndSave;
        break;
    case State::Pausing: {
        // Saved where the pause snapshot holds it: no contact more is sent.
        m_pauseTimer.stop();
        Q_EMIT pauseEnded();
        const bool saved = saveInterruptedSend(nullptr);
        endRun(saved ? State::Saved : State::Failed, End::StoppedAndSaved);
        break;
    }
    default:
        break;
    }
}

void SendingRun::close()
{
    if (isBusy())
        return;
    if (m_state == State::Pausing)
        stopAndSave();
    setState(State::Idle);
}

QString RunQuestions::stoppedAfter(int done, int total, const QString &name) const
{
    (void)name;
    return tr::text(tr::StoppedAfter).arg(done).arg(total);
}

QString SendingRun::stoppedAfter() const
{
    if (m_state != State::Saved && m_state != State::Failed)
        return QString();
    return m_ask.stoppedAfter(m_runDone, std::max(m_runTotal, m_runDone), m_savedName);
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
