// Starting a program through the desktop shell, so that it runs with the rights of the user's
// shell instead of those of the (possibly elevated) program that asks. Windows only
// (shell_launch_win.cpp).
#pragma once

#include "core/string.h"

namespace tessarin {

// Asks the running desktop shell to start program with arguments in folder. False when there
// is no desktop shell to ask or it refused; the caller then starts the program itself.
bool launchThroughDesktopShell(const String& program, const String& arguments,
                               const String& folder);

}  // namespace tessarin
