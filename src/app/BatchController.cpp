// SPDX-License-Identifier: MIT
// The window's batch runner: worker thread, alert bridge, progress window, cancel and stop.
#include "BatchController.h"

#include "DroppedNames.h"
#include "MessageBoxAlert.h"
#include "ProgressWindow.h"

#include <QApplication>
#include <QDateTime>
#include <QThread>
#include <QWidget>

namespace ptcdrop {
namespace {

// How often the progress window is brought up to date.
constexpr int kProgressInterval = 100;

} // namespace

BatchController::BatchController(QWidget* window)
    : QObject(window), m_window(window), m_messageBoxes(std::make_unique<MessageBoxAlert>(window)),
      m_bridge(*m_messageBoxes), m_progressWindow(new ProgressWindow(window))
{
    connect(m_progressWindow, &ProgressWindow::cancelRequested, this, &BatchController::cancel);
    m_progressTimer.setInterval(kProgressInterval);
    connect(&m_progressTimer, &QTimer::timeout, this, &BatchController::showProgress);
}

BatchController::~BatchController()
{
    stop(-1);
}

void BatchController::addWindowAction(QAction* action)
{
    m_messageBoxes->addAction(action);
    m_progressWindow->addAction(action);
}

void BatchController::setAlertPresenter(AlertSink* presenter)
{
    m_bridge.setPresenter(presenter != nullptr ? *presenter : *m_messageBoxes);
}

bool BatchController::start(const QStringList& files)
{
    return startJob(files.size(), [files](Conversion& conversion, AlertSink&) {
        return conversion.convertDrop(files);
    });
}

bool BatchController::startNames(const QList<QByteArray>& names)
{
    return startJob(names.size(), [names](Conversion& conversion, AlertSink& alerts) {
        return convertDroppedNames(conversion, alerts, names);
    });
}

bool BatchController::startJob(qsizetype fileCount, Job job)
{
    if (isRunning())
        return false;
    m_cancel.store(false);
    m_bridge.rearm();
    {
        const std::lock_guard lock(m_progressMutex);
        m_progress = BatchProgress{};
        m_progress.fileCount = fileCount;
    }
    m_startedAt = QDateTime::currentMSecsSinceEpoch();

    {
        const std::lock_guard lock(m_progressMutex);
        m_workerFinished = false;
    }
    m_thread = std::thread([this, job = std::move(job), jobs = m_jobs] {
        Conversion conversion(m_bridge, [this] { return m_gzip.load(); });
        conversion.setCancelFlag(&m_cancel);
        conversion.setJobs(jobs > 0 ? jobs : QThread::idealThreadCount());
        conversion.setProgress([this](const BatchProgress& progress) {
            const std::lock_guard lock(m_progressMutex);
            if (progress.step == BatchProgress::Step::WithinFile &&
                progress.fileIndex != m_progress.fileIndex)
                return; // a file prepared ahead of the one the batch is at
            // Field by field, the name as a copy of its own: text shared with a worker's
            // temporary would be released on whichever thread lets go of it last.
            const QString name =
                m_progress.fileName == progress.fileName
                    ? m_progress.fileName
                    : QString(progress.fileName.constData(), progress.fileName.size());
            m_progress =
                BatchProgress{progress.step,      progress.fileIndex,  progress.fileCount,    name,
                              progress.bytesDone, progress.bytesTotal, progress.piecesWritten};
        });
        const BatchSummary summary = job(conversion, m_bridge);
        {
            const std::lock_guard lock(m_progressMutex);
            m_workerSummary = summary;
            m_workerFinished = true;
            m_workerFinishedChanged.notify_all();
        }
        QMetaObject::invokeMethod(this, "workerDone", Qt::QueuedConnection);
    });

    QApplication::setOverrideCursor(Qt::BusyCursor);
    m_progressTimer.start();
    emit runningChanged(true);
    return true;
}

void BatchController::cancel()
{
    if (!isRunning())
        return;
    m_cancel.store(true);
    m_bridge.release();
    m_progressWindow->showStopping();
}

bool BatchController::stop(int milliseconds)
{
    if (!isRunning())
        return true;
    cancel();
    {
        std::unique_lock lock(m_progressMutex);
        const auto finished = [this] { return m_workerFinished; };
        if (milliseconds < 0)
            m_workerFinishedChanged.wait(lock, finished);
        else if (!m_workerFinishedChanged.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                                   finished))
            return false;
    }
    m_thread.join();
    // The worker's own word on its end is still queued; the batch ends here instead.
    endBatch();
    return true;
}

void BatchController::workerDone()
{
    if (!isRunning())
        return; // already ended by stop()
    m_thread.join();
    {
        const std::lock_guard lock(m_progressMutex);
        m_summary = m_workerSummary;
    }
    endBatch();
    emit finished(m_summary);
}

void BatchController::endBatch()
{
    m_progressTimer.stop();
    m_progressWindow->hide();
    QApplication::restoreOverrideCursor();
    emit runningChanged(false);
}

void BatchController::showProgress()
{
    if (QDateTime::currentMSecsSinceEpoch() - m_startedAt < m_progressDelay)
        return;
    if (m_cancel.load())
        return; // "stopping" stays up until the batch has ended
    BatchProgress progress;
    {
        const std::lock_guard lock(m_progressMutex);
        progress = m_progress;
        // A copy of its own: the worker's next update then never releases text this
        // thread still holds.
        progress.fileName = QString(m_progress.fileName.constData(), m_progress.fileName.size());
    }
    if (progress.step == BatchProgress::Step::Finished)
        return;
    if (!m_progressWindow->isVisible() && m_window != nullptr) {
        // Centred on the main window.
        m_progressWindow->adjustSize();
        const QRect frame = m_window->frameGeometry();
        m_progressWindow->move(frame.center() - m_progressWindow->rect().center());
    }
    m_progressWindow->show(progress);
}

} // namespace ptcdrop
