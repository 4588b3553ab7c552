#include "setup/script_hooks.h"

namespace tessarin {

// Filled in by the background window module.
void createBackgroundWindow(bool) {}

// Filled in by the networking module.
void startNetworking() {}

// Filled in by the install notifications module.
void queueLaunchNotification(const String&) {}

}  // namespace tessarin
