// InstallScript: the process-wide install state. The script reader fills it, the command line
// and the wizard change it, and every install step reads it. Field names are the names of the
// registry values and path variables that expose them.
#pragma once

#include <cstdint>

#include "core/string.h"

namespace tessarin {

struct InstallScript {
    // Texts are UTF-16 unless their name ends in 8 (the 8-bit twins).
    String ProductName;
    String CompanyName;
    String Version;
    String InstallDir;
    String SharedDir;
    String UninstallDir;
    String DesktopShortcuts;  // the desktop folder that receives shortcuts
    String ProductStartMenu;
    String OldVersion;        // version of the installation being replaced
    uint8_t ShortcutMode = 0;  // 1: shortcuts and desktop folder for all users
    uint8_t Bitness = 0;       // 1: 64-bit product; 2: needs 32-bit Windows
};

InstallScript& installScript();

}  // namespace tessarin
