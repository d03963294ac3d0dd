// One running copy per data folder: the lock, the call to the running copy,
// a lock left by a copy that died, and the program itself started twice.

#include "shell/singleinstance.h"
#include "shell/startup.h"
#include "common/folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kirvane::common;
using namespace kirvane::shell;

class TestSingleInstance : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void secondCopyRefusedAndFirstCalled();
    void otherDataFolderIsIndependent();
    void lockOfADeadCopyIsTakenOver();
    void programStartedTwice();
};

void TestSingleInstance::secondCopyRefusedAndFirstCalled()
{
    QTemporaryDir home;
    SingleInstance first(home.path());
    QVERIFY(first.acquire());
    QSignalSpy raised(&first, &SingleInstance::raiseRequested);

    // The same folder written differently is the same folder.
    SingleInstance second(home.path() + QStringLiteral("/./"));
    QVERIFY(!second.acquire());
    QVERIFY(second.notifyRunning());
    QVERIFY(raised.wait(5000));
    QCOMPARE(raised.count(), 1);
}

void TestSingleInstance::otherDataFolderIsIndependent()
{
    QTemporaryDir a, b;
    auto first = std::make_unique<SingleInstance>(a.path());
    SingleInstance other(b.path());
    QVERIFY(first->acquire());
    QVERIFY(other.acquire());
    QVERIFY(first->lockPath() != other.lockPath());
    QVERIFY(!SingleInstance(a.path()).acquire());

    // Once the first copy has ended, its folder is free again, and it has
    // left nothing behind.
    const QString lockPath = first->lockPath();
    const QString serverName = first->serverName();
    first.reset();
    QVERIFY(!QFile::exists(lockPath));
    QVERIFY(!QFile::exists(serverName));
    QVERIFY(SingleInstance(a.path()).acquire());
}

void TestSingleInstance::lockOfADeadCopyIsTakenOver()
{
    QTemporaryDir home;
    SingleInstance probe(home.path());
    // The lock file of a copy that died, naming a process id that has since
    // gone to a running program: its content counts for nothing.
    QFile lock(probe.lockPath());
    QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
    lock.write(QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
               QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() + '\n' +
               QSysInfo::machineHostName().toUtf8() + '\n');
    lock.close();
    QVERIFY(probe.acquire());
    QVERIFY(!SingleInstance(home.path()).acquire());
}

void TestSingleInstance::programStartedTwice()
{
    const QString program = qEnvironmentVariable("KIRVANE_BIN_DIR") + QStringLiteral("/kirvane");
    if (!QFile::exists(program))
        QSKIP("the kirvane program is not built");
    QTemporaryDir home;
    const QStringList arguments{QStringLiteral("--home"), home.path(), QStringLiteral("--no-splash")};

    QProcess first;
    first.start(program, arguments);
    QVERIFY(first.waitForStarted());
    // Running once its data folder is made and its lock is held.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(SingleInstance(home.path()).lockPath()), 20000);

    QProcess second;
    second.start(program, arguments);
    QVERIFY(second.waitForStarted());
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT((said += second.readAllStandardError()).contains(kAlreadyRunning), 20000);
    // The second copy waits only for its notice to be read; the first goes on.
    QCOMPARE(first.state(), QProcess::Running);

    second.kill();
    second.waitForFinished();

    // A copy that crashes leaves nothing that refuses the next one, and the
    // next one answers on the socket name the dead copy left behind.
    first.kill();
    first.waitForFinished();
    SingleInstance next(home.path());
    QVERIFY(next.acquire());
    QSignalSpy raised(&next, &SingleInstance::raiseRequested);
    QVERIFY(SingleInstance(home.path()).notifyRunning());
    QVERIFY(raised.wait(5000));
}

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
