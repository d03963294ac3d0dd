// The stop table: a run over three books with packets of two, against a real
// SMTP peer that keeps what it receives, stopped at every point where a stop
// can land and by every means a user has (the dialog's and the pause
// window's buttons, the dialog's Close in a pause, SIGINT to kirvane-cli,
// kill -9 and the crash resume),
// then resumed. Whatever the stop, every contact is received exactly once
// (after kill -9, at most the message whose answer had not come, twice); the
// resumed run paces its packets, and so does a new run after it; no stopped
// run is left listed.
#include "clirun.h"
#include "sendingfixture.h"

#include "message/messagearchive.h"
#include "message/messagedocument.h"
#include "sending/widgets/interruptedsendswindow.h"
#include "sending/widgets/pausewindow.h"
#include "sending/widgets/sendingdialog.h"
#include "texts/asker.h"
#include "texts/texttable.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

#include <csignal>

using namespace kirvane;
using namespace kirvane::common;
using namespace kirvane::texts;
using sending::SendingRun;

namespace {

enum class Means { Buttons, Close, Signal, Kill };
enum class Point { BeforeFirst, MidPacket, InPause, LastOfBook, LastOfRun, HeldAnswer, AfterDrop };

// Books A, B, C of 3, 2 and 3 contacts, packets of 2: a full run pauses after
// A's second contact and after C's second, never after a book's last.
const QStringList kEveryone{"a1@x.org", "a2@x.org", "a3@x.org", "b1@x.org", "b2@x.org",
                            "c1@x.org", "c2@x.org", "c3@x.org"};
constexpr int kPacket = 2;

// The pauses a run that sent these messages must have made: per book, one
// after each full packet that is not the book's end.
int expectedPauses(const QStringList &sentAddresses)
{
    int pauses = 0;
    for (const QChar book : {u'a', u'b', u'c'}) {
        const qsizetype n = std::count_if(sentAddresses.cbegin(), sentAddresses.cend(),
                                          [book](const QString &a) { return a.startsWith(book); });
        if (n > 0)
            pauses += int((n - 1) / kPacket);
    }
    return pauses;
}

// The addresses of the "sent" lines of a log.
QStringList sentAddresses(const QStringList &log)
{
    QStringList out;
    const QString prefix = texts::text(texts::LogSent, texts::English);
    for (const QString &l : log) {
        if (l.startsWith(prefix))
            out << l.section(u' ', -1);
    }
    return out;
}

template <typename T>
T *child(QWidget *w, const char *name)
{
    return w->findChild<T *>(QString::fromLatin1(name));
}

// Names the stopped run as soon as the name window shows.
void nameWhenAsked(const QString &name)
{
    auto *timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [=] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && w->objectName() == QLatin1String("Dialogue_msg_envoi_ulterieur")) {
                w->findChild<QLineEdit *>(QStringLiteral("Edit1"))->setText(name);
                w->findChild<QPushButton *>(QStringLiteral("Btn_valider"))->click();
                timer->deleteLater();
                return;
            }
        }
    });
    timer->start();
}

} // namespace

class TstStopTable : public QObject {
    Q_OBJECT

    struct Setup {
        DataFolder data;
        QTemporaryDir mail;
        SmtpPeer peer;
        QString message; // msg.MNL
    };

    static void fill(message::MessageDocument &doc)
    {
        doc.clear();
        doc.setSubject(QStringLiteral("News"));
        doc.setMode(message::ComposeMode::PlainText);
        doc.setPlainText(QStringLiteral("Dear &name&\n"));
        doc.setDestinationBooks({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    }

    static bool prepare(Setup &s, Point point)
    {
        s.data.makeBook(QStringLiteral("A"), {"Aa|1|a1@x.org", "Ab|2|a2@x.org", "Ac|3|a3@x.org"});
        s.data.makeBook(QStringLiteral("B"), {"Ba|1|b1@x.org", "Bb|2|b2@x.org"});
        s.data.makeBook(QStringLiteral("C"), {"Ca|1|c1@x.org", "Cb|2|c2@x.org", "Cc|3|c3@x.org"});
        // Names are "Aa 1" and so on; the log shows "Aa 1 a1@x.org".
        QStringList options{point == Point::HeldAnswer ? "delay=0.4" : "delay=0.05"};
        if (point == Point::AfterDrop)
            options << "drop=2";
        if (!s.peer.start(s.mail.filePath(QStringLiteral("md")), options))
            return false;
        s.data.writeSettings(s.peer.port, true, kPacket);
        message::MessageDocument doc;
        fill(doc);
        s.message = s.data.path() + QStringLiteral("/msg");
        if (!message::writeArchive(doc, s.message, message::ArchiveKind::SavedMessage, QString(), QString()))
            return false;
        s.message += QStringLiteral(".MNL");
        return true;
    }

    // The log line after which the stop is asked for, or "" when another
    // event says when.
    static QString triggerLine(Point point)
    {
        switch (point) {
        case Point::MidPacket:
        case Point::HeldAnswer:
            return QStringLiteral("a1@x.org");
        case Point::LastOfBook:
            return QStringLiteral("a3@x.org");
        case Point::LastOfRun:
            return QStringLiteral("c3@x.org");
        case Point::AfterDrop:
            return QStringLiteral("a2@x.org"); // sent again over a new connection
        default:
            return QString();
        }
    }

    static bool isSent(const QString &line, const QString &address)
    {
        return line.startsWith(texts::text(texts::LogSent, texts::English)) && line.endsWith(u' ' + address);
    }

    // kirvane-cli in the background; lines of standard output and error are
    // handed to onLine as they come.
    struct Cli {
        QProcess process;
        QStringList out;
        QStringList err;
    };
    static void startCli(Cli &cli, const QString &home, const QStringList &args,
                         const std::function<void(const QString &, bool)> &onLine)
    {
        auto read = [&cli, onLine](QProcess::ProcessChannel channel) {
            cli.process.setReadChannel(channel);
            while (cli.process.canReadLine()) {
                const QString line = QString::fromUtf8(cli.process.readLine()).trimmed();
                (channel == QProcess::StandardOutput ? cli.out : cli.err) << line;
                onLine(line, channel == QProcess::StandardError);
            }
        };
        QObject::connect(&cli.process, &QProcess::readyReadStandardOutput, [read] { read(QProcess::StandardOutput); });
        QObject::connect(&cli.process, &QProcess::readyReadStandardError, [read] { read(QProcess::StandardError); });
        cli.process.start(qEnvironmentVariable("KIRVANE_BIN_DIR") + QStringLiteral("/kirvane-cli"),
                          QStringList{QStringLiteral("--home"), home} + args);
        QVERIFY(cli.process.waitForStarted());
    }

    // A stop through kirvane-cli: a signal at the stop point; then the
    // resume from the list the command line prints.
    static void stopByProcess(Setup &s, Point point, int sig, QStringList *resumedSent, int *resumedPauses)
    {
        Cli cli;
        bool signalled = false;
        const QString line = triggerLine(point);
        const QString pauseArg = QStringLiteral("0.5");
        auto hit = [&] {
            if (signalled)
                return;
            signalled = true;
            if (point == Point::HeldAnswer) // while the next message waits for its answer
                QTimer::singleShot(150, [&] { ::kill(pid_t(cli.process.processId()), sig); });
            else
                ::kill(pid_t(cli.process.processId()), sig);
        };
        startCli(cli, s.data.path(), {QStringLiteral("send"), s.message, QStringLiteral("--pause"), pauseArg,
                                      QStringLiteral("--save-as"), QStringLiteral("stopped")},
                 [&](const QString &l, bool isErr) {
                     if (point == Point::BeforeFirst && isErr && l.startsWith(QLatin1String("Sending '")))
                         hit();
                     else if (point == Point::InPause && isErr && l.startsWith(QLatin1String("pause of")))
                         hit();
                     else if (!line.isEmpty() && !isErr && isSent(l, line))
                         hit();
                 });
        QTRY_VERIFY_WITH_TIMEOUT(cli.process.state() == QProcess::NotRunning, 60000);
        QVERIFY(signalled);
        if (sig == SIGINT)
            QVERIFY2(cli.process.exitCode() == 2 || cli.process.exitCode() == 0, cli.err.join(u'\n').toUtf8());

        // "runs" turns a killed run's journal into a stopped run and lists it.
        const CliRun runs = runCli(s.data.path(), {QStringLiteral("runs")});
        QCOMPARE(runs.code, 0);
        const QList<QByteArray> listed = runs.out.trimmed().split('\n');
        QString name;
        if (!runs.out.trimmed().isEmpty()) {
            QCOMPARE(listed.size(), 1);
            name = QJsonDocument::fromJson(listed.first()).object().value(QStringLiteral("name")).toString();
        }
        if (name.isEmpty()) {
            // Nothing to resume: the run had ended, or was killed before its
            // journal began, and then nothing was sent either.
            if (s.peer.recipients().isEmpty()) {
                const CliRun again = runCli(s.data.path(), {QStringLiteral("send"), s.message, QStringLiteral("--pause"), pauseArg});
                QCOMPARE(again.code, 0);
                *resumedSent = sentAddresses(QString::fromUtf8(again.out).split(u'\n'));
                *resumedPauses = int(again.err.count("pause of"));
            }
            return;
        }
        const CliRun resumed = runCli(s.data.path(), {QStringLiteral("resume"), name, QStringLiteral("--pause"), pauseArg});
        QVERIFY2(resumed.code == 0, resumed.err.constData());
        *resumedSent = sentAddresses(QString::fromUtf8(resumed.out).split(u'\n'));
        *resumedPauses = int(resumed.err.count("pause of"));
        QVERIFY2(runCli(s.data.path(), {QStringLiteral("runs")}).out.trimmed().isEmpty(), "a stopped run is still listed");
    }

private Q_SLOTS:
    void stopAndResume_data()
    {
        QTest::addColumn<Means>("means");
        QTest::addColumn<Point>("point");
        const QList<QPair<const char *, Point>> points{
            {"before the first contact", Point::BeforeFirst}, {"in the middle of a packet", Point::MidPacket},
            {"in the pause after a packet", Point::InPause},   {"at the last contact of a book", Point::LastOfBook},
            {"at the last contact of the run", Point::LastOfRun}, {"while the server holds an answer back", Point::HeldAnswer},
            {"after a dropped connection", Point::AfterDrop}};
        const QList<QPair<const char *, Means>> means{
            {"buttons", Means::Buttons}, {"SIGINT", Means::Signal}, {"kill -9", Means::Kill}};
        for (const auto &[m, meansValue] : means) {
            for (const auto &[p, pointValue] : points)
                QTest::addRow("%s, %s", m, p) << meansValue << pointValue;
        }
        // The dialog's Close, the one button it shows in a pause.
        QTest::newRow("closing the dialog, in the pause after a packet") << Means::Close << Point::InPause;
    }

    void stopAndResume()
    {
        QFETCH(Means, means);
        QFETCH(Point, point);
        Setup s;
        QVERIFY(prepare(s, point));
        QStringList resumedSent;
        int resumedPauses = 0;

        if (means == Means::Buttons || means == Means::Close) {
            message::MessageDocument doc;
            fill(doc);
            ScriptedAsker asker;
            sending::SendingDialog dialog(s.data.store(), doc, asker);
            dialog.applyLanguage(texts::English);
            SendingRun &run = dialog.run();
            run.setPauseOverride(300);
            auto *stop = child<QPushButton>(&dialog, "Btn_arreter");
            auto *pauseStop = child<QPushButton>(dialog.pauseWindow(), "Btn_arreter");
            QStringList log;
            const QString line = triggerLine(point);
            bool stopped = false;
            auto press = [&](QPushButton *button) {
                if (stopped)
                    return;
                stopped = true;
                nameWhenAsked(QStringLiteral("stopped"));
                if (point == Point::HeldAnswer)
                    QTimer::singleShot(150, button, &QPushButton::click); // during the next message's wait
                else
                    button->click();
            };
            QMetaObject::Connection onLog = connect(&run, &SendingRun::logged, [&](const QString &l) {
                log << l;
                if (!line.isEmpty() && isSent(l, line))
                    press(stop);
            });
            QMetaObject::Connection onPause = connect(&run, &SendingRun::pauseStarted, [&] {
                if (point == Point::InPause)
                    QTimer::singleShot(0, [&] {
                        // What the user sees in the pause: the run's progress,
                        // and the time left before the next packet.
                        QVERIFY(dialog.pauseWindow()->isVisible());
                        QCOMPARE(child<QLabel>(&dialog, "Label_compteur")->text(), QStringLiteral("2/8"));
                        QCOMPARE(child<QProgressBar>(&dialog, "ProgressBar1")->value(), 2);
                        QVERIFY(child<QLabel>(dialog.pauseWindow(), "Label_decompte")->text().startsWith(QLatin1String("Next packet in 0:0")));
                        press(means == Means::Close ? child<QPushButton>(&dialog, "Btn_fermer") : pauseStop);
                    });
            });
            asker.answerNext(Answer::Yes);
            QVERIFY(dialog.sendMessage());
            if (point == Point::BeforeFirst)
                press(stop);
            if (means == Means::Close) {
                // Saved, and the dialog closed with it: no pause goes on behind it.
                QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 60000);
                QCOMPARE(run.state(), SendingRun::State::Idle);
                QVERIFY(!run.pauseArmed());
            } else {
                QTRY_VERIFY_WITH_TIMEOUT(run.hasEnded(), 60000);
                QCOMPARE(run.state(), SendingRun::State::Saved);
            }
            QVERIFY(stopped);
            QCOMPARE(run.savedName(), QStringLiteral("stopped"));
            disconnect(onLog);
            disconnect(onPause);
            if (means == Means::Buttons)
                child<QPushButton>(&dialog, "Btn_fermer")->click();

            // Resumed from the list of stopped runs, in the same dialog.
            sending::InterruptedSendsWindow list(nullptr, &s.data.store().files());
            connect(&list, &sending::InterruptedSendsWindow::resumeRequested, &dialog,
                    &sending::SendingDialog::resumeInterrupted);
            list.show();
            auto *names = child<QTreeWidget>(&list, "ListBox1");
            QCOMPARE(names->topLevelItemCount(), 1);
            names->setCurrentItem(names->topLevelItem(0));
            QStringList resumedLog;
            QSignalSpy pauses(&run, &SendingRun::pauseStarted);
            QMetaObject::Connection onResumedLog = connect(&run, &SendingRun::logged, [&](const QString &l) { resumedLog << l; });
            child<QPushButton>(&list, "Btn_envoyer")->click();
            QTRY_VERIFY_WITH_TIMEOUT(run.hasEnded(), 60000);
            QCOMPARE(run.state(), SendingRun::State::Finished);
            disconnect(onResumedLog);
            resumedSent = sentAddresses(resumedLog);
            resumedPauses = int(pauses.count());
            child<QPushButton>(&dialog, "Btn_fermer")->click();
            list.show();
            QCOMPARE(names->topLevelItemCount(), 0);

            QCOMPARE(s.peer.recipients(), kEveryone);
            QCOMPARE(resumedPauses, expectedPauses(resumedSent));

            // A new run of the same session paces its packets again.
            QSignalSpy newPauses(&run, &SendingRun::pauseStarted);
            fill(doc);
            asker.answerNext(Answer::Yes);
            QVERIFY(dialog.sendMessage());
            QTRY_VERIFY_WITH_TIMEOUT(run.hasEnded(), 60000);
            QCOMPARE(newPauses.count(), 2);
            return;
        }

        stopByProcess(s, point, means == Means::Kill ? SIGKILL : SIGINT, &resumedSent, &resumedPauses);
        if (QTest::currentTestFailed())
            return;
        const QStringList got = s.peer.recipients();
        QStringList unique = got;
        unique.removeDuplicates();
        QCOMPARE(unique, kEveryone);
        // After kill -9 the message whose answer had not come may go twice.
        QVERIFY2(got.size() - unique.size() <= (means == Means::Kill ? 1 : 0), qPrintable(got.join(u',')));
        QCOMPARE(resumedPauses, expectedPauses(resumedSent));

        const CliRun again = runCli(s.data.path(), {QStringLiteral("send"), s.message, QStringLiteral("--pause"), QStringLiteral("0.2")});
        QCOMPARE(again.code, 0);
        QCOMPARE(int(again.err.count("pause of")), 2);
    }
};

QTEST_MAIN(TstStopTable)
#include "tst_stoptable.moc"
