// The drop area's answer to a drag: link where the window system has it, else copy.
#include "DropAction.h"

#include <QGuiApplication>
#include <QString>

namespace ptcdrop {

Qt::DropAction dropActionFor(Qt::DropActions offered, bool platformOffersLink)
{
    if (offered.testFlag(Qt::LinkAction))
        return Qt::LinkAction;
    if (!platformOffersLink && offered.testFlag(Qt::CopyAction))
        return Qt::CopyAction;
    return Qt::IgnoreAction;
}

bool platformOffersLink()
{
    // "wayland", "wayland-egl", "wayland-xcomposite-glx"...
    return !QGuiApplication::platformName().startsWith(QLatin1StringView("wayland"));
}

} // namespace ptcdrop
