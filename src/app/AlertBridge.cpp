// SPDX-License-Identifier: MIT
// The worker's alerts, queued to the GUI thread and waited for.
#include "AlertBridge.h"

#include <QMetaObject>

#include <utility>

namespace ptcdrop {

AlertBridge::AlertBridge(AlertSink& presenter, QObject* parent)
    : QObject(parent), m_presenter(&presenter)
{
}

void AlertBridge::alert(const Alert& alert)
{
    std::unique_lock lock(m_mutex);
    if (m_released)
        return;
    const quint64 ticket = ++m_posted;
    m_pending = alert;
    lock.unlock();
    // Queued even when called on the GUI thread: the presenter always runs from the GUI
    // thread's own event loop, never inside the worker's call.
    QMetaObject::invokeMethod(this, "presentPending", Qt::QueuedConnection);
    lock.lock();
    m_dismissed.wait(lock, [&] { return m_released || m_answered >= ticket; });
}

void AlertBridge::presentPending()
{
    std::unique_lock lock(m_mutex);
    // Nothing when the batch was stopped while this alert was on its way.
    if (m_released || !m_pending)
        return;
    const Alert alert = *std::exchange(m_pending, std::nullopt);
    const quint64 ticket = m_posted;
    lock.unlock();
    m_presenter->alert(alert);
    lock.lock();
    m_answered = std::max(m_answered, ticket);
    m_dismissed.notify_all();
}

void AlertBridge::release()
{
    const std::lock_guard lock(m_mutex);
    m_released = true;
    m_dismissed.notify_all();
}

void AlertBridge::rearm()
{
    const std::lock_guard lock(m_mutex);
    m_released = false;
    m_pending.reset();
    m_answered = m_posted;
}

} // namespace ptcdrop
