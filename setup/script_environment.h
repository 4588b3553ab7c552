// The install script reader on the running system.
#pragma once

#include "package/payload.h"

namespace tessarin {

// Reads the payload's unpacked script into the process-wide install state with the command
// line's options, the system's folders and facts, and the background window, notifications and
// uninstaller image of this installer. A failed check ends the process with the corruption
// message.
void LoadInstallScript(Payload& payload);

}  // namespace tessarin
