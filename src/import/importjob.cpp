#include "import/importjob.h"

#include <QElapsedTimer>
#include <QThread>

#include <utility>

namespace kirvane::import {

namespace {

// The least time between two progress signals: the window repaints its bar,
// it needs no signal per row.
constexpr qint64 kProgressEveryMs = 100;

} // namespace

ImportJob::ImportJob(const store::BookFiles &files, QObject *parent) : QObject(parent), m_files(files) {}

ImportJob::~ImportJob()
{
    cancel();
    if (m_thread)
        m_thread->wait();
}

bool ImportJob::start(const ImportPlan &plan, const QString &book, ImportOptions options)
{
    if (m_thread)
        return false;
    m_cancel = false;
    m_result = ImportResult();
    // The folder is resolved here, on the owner's thread: the worker reads no
    // setting of the program.
    const store::BookFiles files(m_files.folder());
    auto clock = std::make_shared<QElapsedTimer>();
    options.progress = [this, clock](int value, int maximum) {
        if (clock->isValid() && clock->elapsed() < kProgressEveryMs && value != maximum)
            return;
        clock->start();
        Q_EMIT progressed(value, maximum);
    };
    options.cancelled = [this] { return m_cancel.load(std::memory_order_relaxed); };
    m_thread.reset(QThread::create([this, files, plan, book, options] {
        try {
            m_result = importPlan(files, plan, book, options);
        } catch (const std::exception &e) {
            // Nothing may leave the thread's function: the import says why it stopped.
            m_result = ImportResult();
            m_result.error = QString::fromStdString(e.what());
        }
    }));
    m_thread->setObjectName(QStringLiteral("import"));
    connect(m_thread.get(), &QThread::finished, this, &ImportJob::threadFinished, Qt::QueuedConnection);
    m_thread->start();
    return true;
}

void ImportJob::cancel()
{
    m_cancel = true;
}

void ImportJob::threadFinished()
{
    if (!m_thread)
        return;
    m_thread->wait();
    m_thread.reset();
    const ImportResult result = std::exchange(m_result, ImportResult());
    Q_EMIT finished(result);
}

} // namespace kirvane::import
