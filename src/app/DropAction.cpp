// SPDX-License-Identifier: MIT
// The drop area's answer to a drag: link where the window system has it, else copy.
#include "DropAction.h"

#include <QGuiApplication>

namespace ptcdrop {

Qt::DropAction dropActionFor(Qt::DropActions offered, const DropSetting& setting)
{
    if (offered.testFlag(Qt::LinkAction))
        return Qt::LinkAction;
    // "wayland", "wayland-egl", "wayland-xcomposite-glx"...
    const bool waylandPlatform = setting.platformName.startsWith(QLatin1StringView("wayland"));
    if ((waylandPlatform || setting.waylandSession) && offered.testFlag(Qt::CopyAction))
        return Qt::CopyAction;
    return Qt::IgnoreAction;
}

bool isWaylandSession(const QByteArray& waylandDisplay, const QByteArray& sessionType)
{
    return !waylandDisplay.isEmpty() || sessionType.trimmed().toLower() == "wayland";
}

DropSetting currentDropSetting()
{
    return DropSetting{QGuiApplication::platformName(),
                       isWaylandSession(qgetenv("WAYLAND_DISPLAY"), qgetenv("XDG_SESSION_TYPE"))};
}

} // namespace ptcdrop
