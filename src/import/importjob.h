#pragma once
// An import run on a worker thread that the job owns, so that the window's
// thread stays free while a large file is read and written. The worker opens
// the source file and the book's connection itself and closes both before it
// ends: no reader and no SQLite connection crosses threads. Progress and the
// end come back as signals, queued to the thread the job lives on.
//
//     auto *job = new ImportJob(files, this);
//     connect(job, &ImportJob::progressed, bar, [bar](int v, int max) { ... });
//     connect(job, &ImportJob::finished, this, [](const ImportResult &r) { ... });
//     job->start(*session.plan(), book, options);
//     ...
//     job->cancel(); // finished follows with result.cancelled, the book as it was
//
// The destructor cancels a running import and joins its thread.

#include "import/importsession.h"
#include "store/bookfiles.h"

#include <QObject>

#include <atomic>
#include <memory>

class QThread;

namespace kirvane::import {

class ImportJob : public QObject {
    Q_OBJECT
public:
    explicit ImportJob(const store::BookFiles &files, QObject *parent = nullptr);
    ~ImportJob() override;

    // Starts importing plan into book; false when an import is running.
    // options.progress and options.cancelled are the job's own.
    bool start(const ImportPlan &plan, const QString &book, ImportOptions options);
    // Asks the running import to stop before its next row; finished follows.
    void cancel();
    [[nodiscard]] bool isRunning() const { return bool(m_thread); }

Q_SIGNALS:
    // At most a few times a second; maximum 0 while the row count is not known.
    void progressed(int value, int maximum);
    // The import ended (or was cancelled); its thread is joined.
    void finished(const kirvane::import::ImportResult &result);

private:
    void threadFinished();

    const store::BookFiles &m_files;
    std::unique_ptr<QThread> m_thread;
    std::atomic<bool> m_cancel{false};
    ImportResult m_result; // written by the worker, read once its thread has ended
};

} // namespace kirvane::import
