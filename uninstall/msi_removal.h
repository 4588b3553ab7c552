// Uninstalling the MSI packages an installation ran: each "[MSI]" line of the uninstall data
// names a package and the user-interface level it was installed with. A package that does not
// uninstall keeps its line, so that the rewritten uninstall data lets a later run try again.
//
// The lines and the decisions are portable (msi_removal.cpp); the MSI library is called in
// msi_removal_win.cpp.
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "core/string.h"
#include "services/reporter.h"

namespace tessarin {

// The user-interface level of the MSI library that shows nothing (INSTALLUILEVEL_NONE).
inline constexpr int32_t kMsiUiLevelNone = 2;
// The result when the MSI library or its install function is missing (ERROR_CALL_NOT_IMPLEMENTED).
inline constexpr uint32_t kMsiLibraryMissing = 120;
// The result when the MSI call raised a processor exception (E_UNEXPECTED).
inline constexpr uint32_t kMsiCrashed = 0x8000FFFF;
inline constexpr const char16_t* kMsiRemoveCommand = u"REBOOT=R REMOVE=ALL";

struct MsiPackageLine {
    String path;  // 8-bit as stored: the system code page, or "|" and UTF-8
    int32_t uiLevel = 0;
};

// A line as the installer writes it: the package path in double quotes, a comma and the level
// in decimal. The level is the text after the last comma (a path may hold commas); the quotes
// are optional. False for anything else: no comma, an empty path, a level that is not a
// decimal number.
bool parseMsiLine(const String& line, MsiPackageLine& package);

class MsiSystem {
  public:
    virtual ~MsiSystem() = default;
    // Uninstalls the package (UTF-16 path) at the level; the MSI library's result (0 = done).
    virtual uint32_t uninstall(const String& path, int32_t uiLevel) = 0;
    // The system's text for the code (8-bit, system code page), empty when it has none.
    virtual String errorText(uint32_t code) = 0;
};

// Uninstalls the package of every line, in order; lines that succeeded are taken out of lines,
// failed and malformed ones stay as they are. silent forces the level that shows nothing. A
// failure adds "Failed to uninstall <file name>, code <code>: <text>" to the error list.
void removeMsiPackages(Vector<String>& lines, bool silent, MsiSystem& system, Reporter& reporter);

// The running system's side: MsiSetInternalUI and MsiInstallProductW of the system's msi.dll,
// under the crash guard. Windows only.
void RemoveMsiPackages(Vector<String>& lines, bool silent, Reporter& reporter);

}  // namespace tessarin
