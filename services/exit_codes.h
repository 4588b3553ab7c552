// The exit codes of the install branch. By default every end of an installation, success or
// not, exits with code 1. A publisher whose installers are deployed by tools that read the
// conventional codes (0 success, 3010 restart required, 1641 restart started, 1602 cancelled by
// the user, 1603 failed) sets the option bit below, and the same ends give those codes.
#pragma once

#include <cstdint>

namespace tessarin {

// ProductFlags2: the install branch ends with the conventional codes.
inline constexpr uint32_t kFlags2ConventionalExitCodes = 0x04000000;

inline constexpr unsigned kExitInstallDefault = 1;
inline constexpr unsigned kExitSuccess = 0;
inline constexpr unsigned kExitRestartRequired = 3010;
inline constexpr unsigned kExitRestartStarted = 1641;
inline constexpr unsigned kExitCancelled = 1602;
inline constexpr unsigned kExitFailed = 1603;

// How an installation ended.
enum class InstallEnd {
    Completed,        // everything installed
    RestartRequired,  // installed; some files are replaced at the next restart, not restarted
    RestartStarted,   // installed, and the machine is being restarted
    Cancelled,        // the user cancelled
    Refused,          // a check refused to install here (system, version, single instance, ...)
    Failed,           // installed with errors, or stopped by an error
};

unsigned installExitCode(InstallEnd end, uint32_t productFlags2);

// How an uninstallation ended. The uninstaller exits with 0 whatever the outcome, except that a
// user who answers No to the removal question, or cancels while programs are closed, ends it
// with 1; the conventional codes, when the product asked for them, tell the ends apart.
enum class UninstallEnd {
    Completed,
    RestartRequired,  // removed; files go at the next restart, not restarted
    RestartStarted,
    Declined,      // the user answered No or cancelled
    NotPerformed,  // the user chose support instead; nothing changed
    Failed,        // some items stay, or the entry or its record could not be used
};

unsigned uninstallExitCode(UninstallEnd end, uint32_t productFlags2);

}  // namespace tessarin
