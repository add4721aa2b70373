// SPDX-License-Identifier: MIT
// Lets the window manager's close reach the main window while a message box blocks it.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QPointer>
#include <QWidget>

namespace ptcdrop {

// Qt drops a window manager's close request (WM_DELETE_WINDOW) for a window that a modal
// window blocks, so while an alert of a running batch is up, the main window's close button
// would do nothing. This filter sees the request first and closes the main window itself,
// which stops the batch and ends the program as any other close does. Only on X11; it does
// nothing elsewhere.
class X11CloseRequests : public QAbstractNativeEventFilter
{
public:
    // Installs itself on the application when it runs on X11.
    explicit X11CloseRequests(QWidget* window);
    ~X11CloseRequests() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    QPointer<QWidget> m_window;
    quint32 m_protocols = 0;
    quint32 m_deleteWindow = 0;
    bool m_installed = false;
};

} // namespace ptcdrop
