// The background window's appearance as the install script gives it.
#pragma once

#include "package/install_script.h"
#include "ui/background_window.h"

namespace tessarin {

// Copies the script's appearance fields into the window's settings; the icons and the default
// title are the caller's.
void backgroundSettingsFromScript(const InstallScript& script, BackgroundWindowSettings& settings);

}  // namespace tessarin
