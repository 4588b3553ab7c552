// Which call each kind of shutdown request becomes.
#include "core/shutdown.h"

namespace tessarin {

ShutdownPlan shutdownPlan(int kind, uint32_t options, bool restartAppsKnown) {
    ShutdownPlan plan;
    bool force = (options & kShutdownForce) != 0;
    if (kind == kShutdownSuspend || kind == kShutdownHibernate) {
        plan.call = ShutdownPlan::Call::SuspendState;
        plan.hibernate = kind == kShutdownHibernate;
        plan.force = force;
        plan.disableWakeEvents = (options & kShutdownNoWakeEvents) != 0;
        return plan;
    }
    switch (kind) {
        case kShutdownShutDown:
            plan.exitFlags = kExitShutDown;
            break;
        case kShutdownPowerOff:
            plan.exitFlags = kExitPowerOff;
            break;
        case kShutdownRestart:
            plan.exitFlags = kExitReboot;
            break;
        case kShutdownLogOff:
            plan.exitFlags = kExitLogOff;
            break;
        case kShutdownRestartApps:
            plan.exitFlags = restartAppsKnown ? kExitRestartApps : kExitReboot;
            break;
        default:
            return plan;  // Invalid
    }
    plan.call = ShutdownPlan::Call::ExitWindows;
    // Without force, only programs that stopped answering are ended.
    plan.exitFlags |= force ? kExitForce : kExitForceIfHung;
    return plan;
}

}  // namespace tessarin
