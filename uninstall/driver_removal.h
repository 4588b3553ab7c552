// Removing the driver packages an installation put into the system's driver store: each "[INF]"
// line of the uninstall data is the INF file the system copied there (the "oemN.inf" name), which
// the setup API deletes together with its package. Failures are logged only.
//
// The walk and its log lines are portable (driver_removal.cpp); the setup API is called in
// driver_removal_win.cpp.
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "core/string.h"
#include "services/reporter.h"

namespace tessarin {

inline constexpr const char16_t* kDriverRemovalUnavailable =
    u"Cannot uninstall INF files...unable to link to SetupUninstallOEMInf()\r\n";

enum class DriverRemovalResult { Removed, Failed, Crashed };

class DriverRemovalSystem {
  public:
    virtual ~DriverRemovalSystem() = default;
    // Whether the setup API and its uninstall function are there.
    virtual bool available() = 0;
    // Clears the file's attributes (UTF-16 path); the result does not matter.
    virtual void clearAttributes(const String& path) = 0;
    // Removes the package of the INF file name; on failure error is the system's code.
    virtual DriverRemovalResult uninstall(const String& infName, uint32_t& error) = 0;
    virtual String errorText(uint32_t code) = 0;  // UTF-16, empty when the system has none
};

// Removes the package of every non-empty path (8-bit, narrow path form allowed), in order.
void removeDriverPackages(const Vector<String>& infPaths, DriverRemovalSystem& system,
                          Reporter& reporter);

// The running system's side: SetupUninstallOEMInfW of the system's setupapi.dll with
// SUOI_FORCEDELETE, under the crash guard. Windows only.
void RemoveDriverPackages(const Vector<String>& infPaths, Reporter& reporter);

}  // namespace tessarin
