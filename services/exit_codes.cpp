#include "services/exit_codes.h"

namespace tessarin {

unsigned installExitCode(InstallEnd end, uint32_t productFlags2) {
    if (!(productFlags2 & kFlags2ConventionalExitCodes)) return kExitInstallDefault;
    switch (end) {
        case InstallEnd::Completed:
            return kExitSuccess;
        case InstallEnd::RestartRequired:
            return kExitRestartRequired;
        case InstallEnd::RestartStarted:
            return kExitRestartStarted;
        case InstallEnd::Cancelled:
            return kExitCancelled;
        case InstallEnd::Refused:
        case InstallEnd::Failed:
            return kExitFailed;
    }
    return kExitFailed;
}

unsigned uninstallExitCode(UninstallEnd end, uint32_t productFlags2) {
    if (!(productFlags2 & kFlags2ConventionalExitCodes))
        return end == UninstallEnd::Declined ? kExitInstallDefault : kExitSuccess;
    switch (end) {
        case UninstallEnd::Completed:
            return kExitSuccess;
        case UninstallEnd::RestartRequired:
            return kExitRestartRequired;
        case UninstallEnd::RestartStarted:
            return kExitRestartStarted;
        case UninstallEnd::Declined:
        case UninstallEnd::NotPerformed:
            return kExitCancelled;
        case UninstallEnd::Failed:
            return kExitFailed;
    }
    return kExitFailed;
}

}  // namespace tessarin
