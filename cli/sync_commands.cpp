// kirvane-cli sync: the synchronisation of the subscription mailbox with the
// settings of config.ini, one line per message on standard output.

#include "cli/cli.h"

#include "common/logline.h"

#include "mail/pop3client.h"
#include "mail/smtpclient.h"
#include "texts/asker.h"
#include "store/addressbookstore.h"
#include "subscriptions/syncjob.h"

#include <QCoreApplication>
#include <QEventLoop>

using namespace kirvane::common;
using namespace kirvane::contacts;
using namespace kirvane::store;
using namespace kirvane::texts;

namespace kirvane::cli {

namespace {

using subscriptions::SyncJob;

// Answers the unsubscribe question as the command line was told; the
// notices go to standard error like every command's.
class SyncAsker : public CommandLineAsker {
public:
    explicit SyncAsker(bool everywhere) : m_everywhere(everywhere) {}
    Answer ask(DialogKind kind, const QString &text) override
    {
        if (kind == DialogKind::UnsubscribeEverywhere)
            return m_everywhere ? Answer::Yes : Answer::No;
        out().flush();
        return CommandLineAsker::ask(kind, text);
    }

private:
    bool m_everywhere;
};

QString what(SyncJob::Outcome outcome, const QString &detail)
{
    switch (outcome) {
    case SyncJob::Outcome::Subscribed: return QStringLiteral("subscribed ") + detail;
    case SyncJob::Outcome::AlreadySubscribed: return QStringLiteral("already subscribed ") + detail;
    case SyncJob::Outcome::Unsubscribed: return QStringLiteral("unsubscribed ") + detail;
    case SyncJob::Outcome::UnsubscribedEverywhere: return QStringLiteral("unsubscribed from every book ") + detail;
    case SyncJob::Outcome::UnsubscribeUnmatched: return QStringLiteral("unsubscribe request matched no contact ") + detail;
    case SyncJob::Outcome::Forwarded: return QStringLiteral("forwarded to ") + detail;
    case SyncJob::Outcome::DeliveryNotice:
        return detail.isEmpty() ? QStringLiteral("delivery notice") : QStringLiteral("delivery notice, bounces: ") + detail;
    case SyncJob::Outcome::Unreadable: return QStringLiteral("unreadable, left on the server: ") + detail;
    }
    return QString();
}

} // namespace

int runSyncCommand(QStringList args)
{
    QString everywhere = QStringLiteral("no");
    takeOption(args, QStringLiteral("unsubscribe-everywhere"), &everywhere);
    if (!args.isEmpty())
        return fail(QStringLiteral("unexpected argument: %1").arg(args.first()));
    if (everywhere != QLatin1String("yes") && everywhere != QLatin1String("no"))
        return fail(QStringLiteral("--unsubscribe-everywhere takes yes or no"));

    AddressBookStore store;
    store.initDataFolder();
    mail::Pop3Client pop;
    mail::SmtpClient smtp;
    SyncAsker asker(everywhere == QLatin1String("yes"));
    SyncJob job(store, pop, smtp, asker);
    QObject::connect(&job, &SyncJob::messageDone, [](int number, const QString &from, SyncJob::Outcome outcome,
                                                     const QString &detail) {
        // A line per message, its fields between tabs, whatever the message holds.
        out() << number << '\t' << logSafe(from, TabInLine::Escape) << '\t'
              << logSafe(what(outcome, detail), TabInLine::Escape) << Qt::endl;
    });
    QEventLoop loop;
    QObject::connect(&job, &SyncJob::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();
    switch (job.end()) {
    case SyncJob::End::Done:
    case SyncJob::End::Cancelled:
        return 0;
    default:
        return 1;
    }
}

} // namespace kirvane::cli
