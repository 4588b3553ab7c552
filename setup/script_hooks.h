// Calls from the install script reader into modules of their own: the background window and
// the install notifications. The reader reaches them through its Windows environment.
#pragma once

#include "core/string.h"

namespace tessarin {

// Creates and shows the background window (minimized on request) and gives it the program's
// large and small icons.
void createBackgroundWindow(bool minimized);
// Applies the appearance read since the window was created (nothing when there is none).
void refreshBackgroundWindow();

// Initialises the socket library and looks up the local host's name.
void startNetworking();

// Queues the launch notification for the given 8-bit address template; nothing for an empty
// template.
void queueLaunchNotification(const String& address);

}  // namespace tessarin
