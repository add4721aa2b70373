// SPDX-License-Identifier: MIT
// Alerts raised on the batch's worker thread, shown one at a time by the GUI thread.
#pragma once

#include "Alert.h"

#include <QObject>

#include <condition_variable>
#include <mutex>
#include <optional>

namespace ptcdrop {

// The worker's alert sink. Each alert is handed to the GUI thread, which shows it through
// the presenter (a message box), and the worker waits until it has been dismissed, so the
// batch goes on exactly as it would if it ran on the GUI thread itself. A release (Cancel,
// closing the window) lets a waiting worker go on at once without waiting for the GUI
// thread: the GUI thread may then wait for the worker without both waiting for each other.
class AlertBridge : public QObject, public AlertSink
{
    Q_OBJECT

public:
    // `presenter` shows an alert on the GUI thread and returns when it was dismissed.
    explicit AlertBridge(AlertSink& presenter, QObject* parent = nullptr);

    void setPresenter(AlertSink& presenter) { m_presenter = &presenter; }

    // Worker thread. Returns when the GUI thread has shown and the user dismissed the alert,
    // or at once once released.
    void alert(const Alert& alert) override;

    // Any thread. Until rearm(), alerts are dropped and a waiting worker returns at once.
    void release();
    // GUI thread, before a batch starts.
    void rearm();

private:
    // GUI thread: shows the alert waiting to be shown, if any. Invoked by name, so that the
    // only data handed between the threads is the member below, under the mutex.
    Q_INVOKABLE void presentPending();

    AlertSink* m_presenter;
    std::mutex m_mutex;
    std::condition_variable m_dismissed;
    quint64 m_posted = 0;           // alerts handed to the GUI thread
    quint64 m_answered = 0;         // the last of them that was dismissed
    std::optional<Alert> m_pending; // handed over, not yet shown
    bool m_released = false;
};

} // namespace ptcdrop
