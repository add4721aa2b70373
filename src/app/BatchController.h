// SPDX-License-Identifier: MIT
// Runs the window's batches on a worker thread: one at a time, with progress and Cancel.
#pragma once

#include "AlertBridge.h"
#include "Conversion.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QAction;
class QWidget;

namespace ptcdrop {

class MessageBoxAlert;
class ProgressWindow;

// Owns everything a running batch needs on the window's side. The worker gets plain values
// only: the mirrored gzip switch, the cancel flag, and the alert bridge; widgets stay on the
// GUI thread. Every alert is still shown by the GUI thread, one at a time and in batch order,
// with the batch waiting for it.
class BatchController : public QObject
{
    Q_OBJECT

public:
    // Alerts and the progress window are centred on `window`.
    explicit BatchController(QWidget* window);
    // Stops a running batch and waits for the worker.
    ~BatchController() override;

    // Where alerts are shown, on the GUI thread; nullptr restores the message boxes. Not owned.
    void setAlertPresenter(AlertSink* presenter);
    // An action whose shortcut must work while an alert or the progress window has the
    // keyboard (Quit). Not owned.
    void addWindowAction(QAction* action);
    // How long a batch runs before the progress window appears.
    void setProgressDelay(int milliseconds) { m_progressDelay = milliseconds; }
    // How many files the worker converts at once (the results and alerts come in batch
    // order all the same); one per core unless set.
    void setJobs(int jobs) { m_jobs = jobs; }

    bool isRunning() const { return m_thread.joinable(); }
    // The gzip switch as the worker reads it, once per file.
    bool gzip() const { return m_gzip.load(); }
    const BatchSummary& lastSummary() const { return m_summary; }

    // Converts `files` as one drop; false, and nothing done, while a batch runs.
    bool start(const QStringList& files);
    // The same for files named by native bytes (a file: URL's, a command line's): a name
    // that is not text refuses the batch with a "Name" alert.
    bool startNames(const QList<QByteArray>& names);
    // Runs `job` on the worker with a conversion set up as for a drop (alerts, gzip switch,
    // cancel flag, progress), for work other than a drop; false while a batch runs.
    using Job = std::function<BatchSummary(Conversion& conversion, AlertSink& alerts)>;
    bool startJob(qsizetype fileCount, Job job);
    // Asks the running batch to stop: the file in hand leaves nothing behind.
    void cancel();
    // Cancels and waits up to `milliseconds` for the worker; true when it has ended.
    bool stop(int milliseconds);

    ProgressWindow* progressWindow() const { return m_progressWindow; }

public slots:
    void setGzip(bool on) { m_gzip.store(on); }

signals:
    void runningChanged(bool running);
    void finished(const ptcdrop::BatchSummary& summary);

private:
    // GUI thread, invoked by name once the worker is done: the summary comes through the
    // mutex below, not through the event queue.
    Q_INVOKABLE void workerDone();
    void showProgress();
    void endBatch();

    QPointer<QWidget> m_window;
    std::unique_ptr<MessageBoxAlert> m_messageBoxes;
    AlertBridge m_bridge;
    ProgressWindow* m_progressWindow; // a child of the window
    QTimer m_progressTimer;
    int m_progressDelay = 500;
    int m_jobs = 0; // 0: one per core

    std::atomic<bool> m_gzip{false};
    std::atomic<bool> m_cancel{false};
    std::thread m_thread;
    qint64 m_startedAt = 0;
    BatchSummary m_summary;

    // The worker's latest word on where it stands, read by the progress timer.
    std::mutex m_progressMutex;
    BatchProgress m_progress;
    BatchSummary m_workerSummary;
    bool m_workerFinished = false;
    std::condition_variable m_workerFinishedChanged;
};

} // namespace ptcdrop
