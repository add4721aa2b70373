// SPDX-License-Identifier: MIT
// The window manager's close request for the main window, seen before Qt's modal blocking.
#include "X11CloseRequests.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMetaObject>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace ptcdrop {
namespace {

quint32 internAtom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, quint16(std::strlen(name)), name), nullptr);
    const quint32 atom = reply != nullptr ? reply->atom : 0;
    std::free(reply);
    return atom;
}

} // namespace

X11CloseRequests::X11CloseRequests(QWidget* window) : m_window(window)
{
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                                   : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr)
        return;
    m_protocols = internAtom(x11->connection(), "WM_PROTOCOLS");
    m_deleteWindow = internAtom(x11->connection(), "WM_DELETE_WINDOW");
    if (m_protocols == 0 || m_deleteWindow == 0)
        return;
    QCoreApplication::instance()->installNativeEventFilter(this);
    m_installed = true;
}

X11CloseRequests::~X11CloseRequests()
{
    if (m_installed && QCoreApplication::instance() != nullptr)
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool X11CloseRequests::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t" || m_window == nullptr)
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
        return false;
    const auto* client = static_cast<const xcb_client_message_event_t*>(message);
    if (client->format != 32 || client->type != m_protocols ||
        client->data.data32[0] != m_deleteWindow || client->window != m_window->winId())
        return false;
    // Only where Qt would drop it; otherwise Qt's own handling closes the window.
    if (QGuiApplication::modalWindow() == nullptr)
        return false;
    QMetaObject::invokeMethod(m_window.data(), &QWidget::close, Qt::QueuedConnection);
    return true;
}

} // namespace ptcdrop
