// Calls from the install script reader into modules of their own: the background window and
// the install notifications. The reader reaches them through its Windows environment.
#pragma once

#include "core/string.h"

namespace tessarin {

// Shows the background window with the appearance the script has given so far (minimized on
// request) and the program's large and small icons.
void showBackgroundWindowFromScript(bool minimized);
// Takes the appearance read since the window was shown and repaints the window (nothing when
// there is none).
void applyScriptToBackgroundWindow();

// Initialises the socket library and looks up the local host's name.
void startNetworking();

// Queues the launch notification for the given 8-bit address template; nothing for an empty
// template.
void queueLaunchNotification(const String& address);

}  // namespace tessarin
