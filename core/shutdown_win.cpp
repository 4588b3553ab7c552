#include <windows.h>

#include "core/os_info.h"
#include "core/privilege.h"
#include "core/shutdown.h"
#include "core/system_function_win.h"

namespace tessarin {
namespace {

using SetSuspendStateCall = BOOLEAN(WINAPI*)(BOOLEAN hibernate, BOOLEAN force,
                                             BOOLEAN disableWakeEvents);

bool systemExitWindows(uint32_t flags, uint32_t reason) {
    return ExitWindowsEx(flags, reason) != 0;
}

bool systemSuspend(bool hibernate, bool force, bool disableWakeEvents) {
    static const auto setSuspendState =
        systemFunction<SetSuspendStateCall>(L"powrprof.dll", "SetSuspendState");
    if (setSuspendState == nullptr) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return false;
    }
    return setSuspendState(hibernate, force, disableWakeEvents) != 0;
}

ShutdownCalls& installedCalls() {
    static ShutdownCalls calls = systemShutdownCalls();
    return calls;
}

bool restartAppsKnown() {
    return isNtFamily() && osRecord().major >= 6;
}

}  // namespace

ShutdownCalls systemShutdownCalls() {
    ShutdownCalls calls;
    calls.exitWindows = systemExitWindows;
    calls.suspend = systemSuspend;
    return calls;
}

ShutdownCalls setShutdownCalls(const ShutdownCalls& calls) {
    ShutdownCalls previous = installedCalls();
    installedCalls() = calls;
    return previous;
}

bool shutDown(int kind, uint32_t options, uint32_t reason) {
    SetLastError(ERROR_SUCCESS);
    ShutdownPlan plan = shutdownPlan(kind, options, restartAppsKnown());
    const ShutdownCalls& calls = installedCalls();
    switch (plan.call) {
        case ShutdownPlan::Call::SuspendState:
            return calls.suspend(plan.hibernate, plan.force, plan.disableWakeEvents);
        case ShutdownPlan::Call::ExitWindows: {
            setPrivilege("SeShutdownPrivilege", true);
            bool done = calls.exitWindows(plan.exitFlags, reason);
            DWORD error = GetLastError();
            setPrivilege("SeShutdownPrivilege", false);
            SetLastError(error);
            return done;
        }
        case ShutdownPlan::Call::Invalid:
            break;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
}

}  // namespace tessarin
