// The process-wide COM security that the system-restore client needs: calls are accepted from
// the administrators, the service accounts, the system and the process's own user.
// Implemented for Windows only (com_security_win.cpp).
#pragma once

#include "core/string.h"

namespace tessarin {

// CoInitializeSecurity once per process; false with an 8-bit message saying which step failed.
bool initializeComSecurity(String& message);

}  // namespace tessarin
