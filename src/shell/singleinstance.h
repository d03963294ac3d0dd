#pragma once
// SingleInstance: one running copy of the program per data folder. The first
// copy holds an exclusive lock on a file in the user's temporary folder, keyed
// by the data folder, for the life of the process, and listens on a local
// socket; a later copy finds the lock held, asks the first through the socket
// to come to the front, and ends. The system drops the lock when its holder
// ends, however it ends: a crash leaves a file but nothing that refuses the
// next start.

#include <QObject>

class QLocalServer;

namespace kirvane::shell {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString &dataFolder, QObject *parent = nullptr);
    ~SingleInstance() override;

    // False when another copy holds the data folder. True when this copy now
    // holds it and answers later copies, and also when no lock can be had at
    // all (a warning says so): the program then runs unguarded rather than
    // refuse with a false "already running".
    [[nodiscard]] bool acquire();
    // Asks the running copy to come to the front; false when it did not answer.
    bool notifyRunning(int timeoutMs = 2000);

    [[nodiscard]] QString lockPath() const;
    [[nodiscard]] QString serverName() const;

Q_SIGNALS:
    // A later copy asked this one to come to the front.
    void raiseRequested();

private:
    QString m_key;
    int m_lockFd = -1;
    bool m_acquired = false;
    QLocalServer *m_server = nullptr;
};

} // namespace kirvane::shell
