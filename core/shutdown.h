// Shutting down, restarting, logging off, suspending and hibernating Windows.
//
// Which system call a request becomes is portable (shutdown.cpp); the calls themselves go
// through one replaceable seam (shutdown_win.cpp), so that tests record the request instead of
// ending the session.
#pragma once

#include <cstdint>

namespace tessarin {

enum ShutdownKind : int {
    kShutdownShutDown = 0,
    kShutdownPowerOff = 1,
    kShutdownRestart = 2,
    kShutdownLogOff = 3,
    kShutdownSuspend = 4,
    kShutdownHibernate = 5,
    kShutdownRestartApps = 6,  // restart and reopen the applications that registered
};

enum ShutdownOptions : uint32_t {
    kShutdownForce = 0x1,
    kShutdownNoWakeEvents = 0x2,  // suspend and hibernate only
};

// ExitWindowsEx flags.
inline constexpr uint32_t kExitLogOff = 0x0;
inline constexpr uint32_t kExitShutDown = 0x1;
inline constexpr uint32_t kExitReboot = 0x2;
inline constexpr uint32_t kExitForce = 0x4;
inline constexpr uint32_t kExitPowerOff = 0x8;
inline constexpr uint32_t kExitForceIfHung = 0x10;
inline constexpr uint32_t kExitRestartApps = 0x40;

struct ShutdownPlan {
    enum class Call { ExitWindows, SuspendState, Invalid };
    Call call = Call::Invalid;
    uint32_t exitFlags = 0;  // for ExitWindows
    bool hibernate = false;  // for SuspendState
    bool force = false;
    bool disableWakeEvents = false;
};
// restartAppsKnown: the system has the restart-and-reopen flag (NT family from version 6 on).
ShutdownPlan shutdownPlan(int kind, uint32_t options, bool restartAppsKnown);

// The system calls a shutdown ends in. suspend answers false with ERROR_CALL_NOT_IMPLEMENTED
// where the power library is missing.
struct ShutdownCalls {
    bool (*exitWindows)(uint32_t flags, uint32_t reason) = nullptr;
    bool (*suspend)(bool hibernate, bool force, bool disableWakeEvents) = nullptr;
};
ShutdownCalls systemShutdownCalls();
// Replaces the calls and returns the previous ones.
ShutdownCalls setShutdownCalls(const ShutdownCalls& calls);

// Clears the last error, then: an unknown kind fails with ERROR_INVALID_PARAMETER; suspend and
// hibernate go to the power library; the rest to ExitWindowsEx with the shutdown privilege
// enabled around the call. The result is the system call's.
bool shutDown(int kind, uint32_t options, uint32_t reason);

}  // namespace tessarin
