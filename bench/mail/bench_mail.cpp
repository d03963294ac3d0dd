// Mail protocol benchmarks, run by bench/mail/run beside peers on the same
// servers. Each mode prints one line "name seconds count [peak-KiB]".
//
//   bench_mail smtp PORT COUNT SIZE            personalised text messages of about SIZE bytes
//   bench_mail attach PORT COUNT FILE IMAGE... HTML messages with FILE attached and IMAGEs embedded
//   bench_mail pop PORT USER PASSWORD          retrieve every message of the mailbox

#include "mail/qzvpop.h"
#include "mail/qzvsmtp.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>
#include <sys/resource.h>

using namespace kirvane::mail;

namespace {

long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

bool connectSmtp(TQzvSMTP &smtp, const QString &port)
{
    smtp.Host = QStringLiteral("127.0.0.1");
    smtp.Port = port;
    smtp.Connect();
    if (smtp.Failed())
        std::fprintf(stderr, "connect: %s %s\n", qPrintable(smtp.ReplyCode()), qPrintable(smtp.ReplyText()));
    return !smtp.Failed();
}

// One message per contact, as the sending run builds them: the text and the
// subject carry the contact's name.
TQzvMsg messageFor(int i, const QStringList &text)
{
    TQzvMsg msg;
    msg.From = QStringLiteral("news@example.org");
    msg.UserName = QStringLiteral("Newsletter");
    msg.SendTo = QStringLiteral("reader%1@example.net").arg(i);
    msg.Subject = QStringLiteral("News for reader %1").arg(i);
    msg.Text.reserve(text.size() + 1);
    msg.Text << QStringLiteral("Dear reader %1,").arg(i);
    msg.Text << text;
    return msg;
}

int sendAll(TQzvSMTP &smtp, int count, const std::function<TQzvMsg(int)> &make)
{
    for (int i = 0; i < count; ++i) {
        TQzvMsg msg = make(i);
        smtp.SendMessage(msg);
        if (smtp.Failed()) {
            std::fprintf(stderr, "message %d: %s %s\n", i, qPrintable(smtp.ReplyCode()), qPrintable(smtp.ReplyText()));
            return i;
        }
    }
    return count;
}

int benchSmtp(const QStringList &args)
{
    const int count = args.value(1).toInt();
    const int size = args.value(2).toInt();
    QStringList text;
    for (int used = 300; used < size; used += 72)
        text << QString(70, QLatin1Char('a' + text.size() % 26));
    TQzvSMTP smtp;
    if (!connectSmtp(smtp, args.value(0)))
        return 1;
    QElapsedTimer clock;
    clock.start();
    const int sent = sendAll(smtp, count, [&](int i) { return messageFor(i, text); });
    smtp.Quit();
    std::printf("smtp %.3f %d\n", clock.nsecsElapsed() / 1e9, sent);
    return sent == count ? 0 : 1;
}

int benchAttach(const QStringList &args)
{
    const int count = args.value(1).toInt();
    const QString file = args.value(2);
    const QStringList images = args.mid(3);
    QStringList html{QStringLiteral("<html><body><p>Hello</p>")};
    for (const QString &image : images)
        html << QStringLiteral("<img src=\"cid:%1\">").arg(QFileInfo(image).fileName());
    html << QStringLiteral("</body></html>");
    TQzvSMTP smtp;
    if (!connectSmtp(smtp, args.value(0)))
        return 1;
    QElapsedTimer clock;
    clock.start();
    const int sent = sendAll(smtp, count, [&](int i) {
        TQzvMsg msg = messageFor(i, html);
        msg.MessageType = mtHTML;
        msg.AttachedFiles.Add(file);
        for (const QString &image : images)
            msg.EmbeddedImages.Add(image);
        return msg;
    });
    smtp.Quit();
    std::printf("attach %.3f %d %ld\n", clock.nsecsElapsed() / 1e9, sent, peakKiB());
    return sent == count ? 0 : 1;
}

int benchPop(const QStringList &args)
{
    TQzvPOP pop;
    pop.Host = QStringLiteral("127.0.0.1");
    pop.Port = args.value(0);
    pop.UserId = args.value(1);
    pop.UserPasswd = args.value(2);
    QElapsedTimer clock;
    clock.start();
    pop.Connect();
    if (pop.Failed() || !pop.Login()) {
        std::fprintf(stderr, "login: %s\n", qPrintable(pop.StatusText()));
        return 1;
    }
    pop.GetMessageCount();
    const int count = pop.MessageCount();
    qint64 bytes = 0;
    for (int n = 1; n <= count; ++n) {
        TQzvMsg msg;
        if (!pop.Retrieve(n, msg)) {
            std::fprintf(stderr, "message %d: %s\n", n, qPrintable(pop.StatusText()));
            return 1;
        }
        bytes += msg.Size;
    }
    pop.Quit();
    std::printf("pop %.3f %d %lld\n", clock.nsecsElapsed() / 1e9, count, static_cast<long long>(bytes));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const QString mode = args.isEmpty() ? QString() : args.takeFirst();
    try {
        if (mode == QLatin1String("smtp"))
            return benchSmtp(args);
        if (mode == QLatin1String("attach"))
            return benchAttach(args);
        if (mode == QLatin1String("pop"))
            return benchPop(args);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_mail: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: bench_mail smtp|attach|pop ...\n");
    return 2;
}
