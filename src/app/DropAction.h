// Which drag action the drop area answers, given what the source offers and the window system.
#pragma once

#include <Qt>

namespace ptcdrop {

// The drop area links to the dropped files; it never copies them into itself and never
// answers move, because after a move the drag source may delete its file. Where the window
// system has no link action at all (Wayland knows only copy, move and ask), copy stands in
// for link so that drops still work. Returns Qt::IgnoreAction to refuse the drag.
Qt::DropAction dropActionFor(Qt::DropActions offered, bool platformOffersLink);

// False on the Wayland platform plugins, true everywhere else (X11 among them).
bool platformOffersLink();

} // namespace ptcdrop
