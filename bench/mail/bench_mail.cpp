// Mail protocol benchmarks, run by bench/mail/run beside peers on the same
// servers. Each mode prints one line "name seconds count [peak-KiB]".
//
//   bench_mail smtp PORT COUNT SIZE [ehlo]     personalised text messages of about SIZE bytes;
//                                              with ehlo, greeted with EHLO and pipelined
//                                              where the server offers it
//   bench_mail smtp PORT COUNT SIZE starttls|tls CAFILE
//                                              the same encrypted, trusting CAFILE (the
//                                              handshake is not timed)
//   bench_mail attach PORT COUNT FILE IMAGE... HTML messages with FILE attached and IMAGEs embedded
//   bench_mail pop PORT USER PASSWORD          retrieve every message of the mailbox

#include "mail/pop3client.h"
#include "mail/smtpclient.h"

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

bool connectSmtp(SmtpClient &smtp, const QString &port, bool ehlo = false)
{
    smtp.useEhlo = ehlo;
    smtp.host = QStringLiteral("127.0.0.1");
    smtp.port = port;
    const bool ready = smtp.connectToHost();
    if (!ready)
        std::fprintf(stderr, "connect: %s %s\n", qPrintable(smtp.replyCode()), qPrintable(smtp.replyText()));
    return ready;
}

// One message per contact, as the sending run builds them: the text and the
// subject carry the contact's name.
MailMessage messageFor(int i, const QStringList &text)
{
    MailMessage msg;
    msg.from = QStringLiteral("news@example.org");
    msg.userName = QStringLiteral("Newsletter");
    msg.sendTo = QStringLiteral("reader%1@example.net").arg(i);
    msg.subject = QStringLiteral("News for reader %1").arg(i);
    msg.text.reserve(text.size() + 1);
    msg.text << QStringLiteral("Dear reader %1,").arg(i);
    msg.text << text;
    return msg;
}

// The number of messages the server took; a pipelined message's answer comes
// with the next one's, or at QUIT.
int sendAll(SmtpClient &smtp, int count, const std::function<MailMessage(int)> &make)
{
    int taken = 0;
    auto settled = [&] {
        if (const auto answer = smtp.takeSettled()) {
            if (answer->accepted)
                ++taken;
            else
                std::fprintf(stderr, "late answer: %s %s\n", qPrintable(answer->code), qPrintable(answer->text));
        }
    };
    for (int i = 0; i < count; ++i) {
        MailMessage msg = make(i);
        const bool accepted = smtp.sendMessage(msg);
        settled();
        if (!accepted) {
            std::fprintf(stderr, "message %d: %s %s\n", i, qPrintable(smtp.replyCode()), qPrintable(smtp.replyText()));
            return taken;
        }
        if (!smtp.hasPending())
            ++taken;
    }
    smtp.quit();
    settled();
    return taken;
}

int benchSmtp(const QStringList &args)
{
    const int count = args.value(1).toInt();
    const int size = args.value(2).toInt();
    QStringList text;
    for (int used = 300; used < size; used += 72)
        text << QString(70, QLatin1Char('a' + text.size() % 26));
    SmtpClient smtp;
    const QString how = args.value(3);
    if (how == QLatin1String("starttls") || how == QLatin1String("tls")) {
        smtp.security = how == QLatin1String("tls") ? Security::Tls : Security::StartTls;
        smtp.caFile = args.value(4);
    }
    if (!connectSmtp(smtp, args.value(0), how == QLatin1String("ehlo")))
        return 1;
    QElapsedTimer clock;
    clock.start();
    const int sent = sendAll(smtp, count, [&](int i) { return messageFor(i, text); });
    std::printf("smtp %.3f %d %s\n", clock.nsecsElapsed() / 1e9, sent, smtp.pipelines() ? "pipelined" : "plain");
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
    SmtpClient smtp;
    if (!connectSmtp(smtp, args.value(0)))
        return 1;
    QElapsedTimer clock;
    clock.start();
    const int sent = sendAll(smtp, count, [&](int i) {
        MailMessage msg = messageFor(i, html);
        msg.bodyFormat = BodyFormat::Html;
        msg.attachments.add(file);
        for (const QString &image : images)
            msg.embeddedImages.add(image);
        return msg;
    });
    std::printf("attach %.3f %d %ld\n", clock.nsecsElapsed() / 1e9, sent, peakKiB());
    return sent == count ? 0 : 1;
}

int benchPop(const QStringList &args)
{
    Pop3Client pop;
    pop.host = QStringLiteral("127.0.0.1");
    pop.port = args.value(0);
    pop.userId = args.value(1);
    pop.password = args.value(2);
    QElapsedTimer clock;
    clock.start();
    if (!pop.connectToHost() || !pop.login() || !pop.fetchMessageCount()) {
        std::fprintf(stderr, "login: %s\n", qPrintable(pop.statusText()));
        return 1;
    }
    const int count = pop.messageCount();
    qint64 bytes = 0;
    for (int n = 1; n <= count; ++n) {
        MailMessage msg;
        if (!pop.retrieve(n, msg)) {
            std::fprintf(stderr, "message %d: %s\n", n, qPrintable(pop.statusText()));
            return 1;
        }
        bytes += msg.size;
    }
    (void)pop.quit();
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
