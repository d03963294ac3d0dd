#pragma once
// abfOneInstance: one running copy of the program per data folder. The first
// copy holds a lock file in the user's temporary folder, keyed by the data
// folder, for the life of the process (a crash leaves a lock that the next
// start sees as stale), and listens on a local socket; a later copy finds the
// lock held, asks the first through the socket to come to the front, and ends.

#include <QLockFile>
#include <QObject>

#include <memory>

class QLocalServer;

namespace kirvane {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString &dataFolder, QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this is the only copy for the data folder; it then holds the
    // lock and answers later copies.
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
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};

} // namespace kirvane
