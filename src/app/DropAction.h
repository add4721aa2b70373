// SPDX-License-Identifier: MIT
// Which drag action the drop area answers, given what the source offers and the window system.
#pragma once

#include <QByteArray>
#include <QString>
#include <Qt>

namespace ptcdrop {

// What the answer depends on besides the offered actions: the Qt platform plugin the window
// runs on, and whether the desktop session is a Wayland one.
struct DropSetting
{
    QString platformName; // QGuiApplication::platformName(): "xcb", "wayland", ...
    bool waylandSession = false;
};

// The drop area links to the dropped files; it never copies them into itself and never
// answers move, because after a move the drag source may delete its file. Wayland has no
// link action (only copy, move and ask), so copy stands in for link there, and also for an
// X11 window inside a Wayland session (XWayland): a drag from a native Wayland program
// reaches it with copy, move or ask only. Returns Qt::IgnoreAction to refuse the drag.
Qt::DropAction dropActionFor(Qt::DropActions offered, const DropSetting& setting);

// True when WAYLAND_DISPLAY is set and not empty, or XDG_SESSION_TYPE is "wayland".
bool isWaylandSession(const QByteArray& waylandDisplay, const QByteArray& sessionType);

// The setting of this process: its platform plugin and its environment.
DropSetting currentDropSetting();

} // namespace ptcdrop
