// SPDX-License-Identifier: MIT
// The window program's start: its command line, the application object and the delegate.
#pragma once

#include <functional>

class QvAppDelegate;

namespace ptcdrop {

// Runs the window program and returns its exit status. `started`, when given, is called
// once the window is shown (the start-up benchmark hooks in there).
int runWindowApplication(int argc, char* argv[],
                         const std::function<void(QvAppDelegate&)>& started = {});

} // namespace ptcdrop
