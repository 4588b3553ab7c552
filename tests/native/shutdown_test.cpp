// Which system call each kind of shutdown request becomes.
#include "core/shutdown.h"

#include <gtest/gtest.h>

namespace tessarin {
namespace {

using Call = ShutdownPlan::Call;

TEST(ShutdownPlan, KindsAndForceBecomeExitWindowsFlags) {
    struct Case {
        int kind;
        uint32_t options;
        bool restartAppsKnown;
        uint32_t flags;
    };
    // EWX_LOGOFF 0, SHUTDOWN 1, REBOOT 2, FORCE 4, POWEROFF 8, FORCEIFHUNG 0x10, RESTARTAPPS 0x40.
    const Case cases[] = {
        {kShutdownShutDown, 0, true, 0x1 | 0x10},
        {kShutdownShutDown, kShutdownForce, true, 0x1 | 0x4},
        {kShutdownPowerOff, 0, true, 0x8 | 0x10},
        {kShutdownRestart, 0, true, 0x2 | 0x10},
        {kShutdownRestart, kShutdownForce, true, 0x2 | 0x4},
        {kShutdownLogOff, kShutdownForce, true, 0x0 | 0x4},
        {kShutdownRestartApps, 0, true, 0x40 | 0x10},
        {kShutdownRestartApps, kShutdownForce, false, 0x2 | 0x4},
        // The wake-events option means nothing here.
        {kShutdownRestart, kShutdownNoWakeEvents, true, 0x2 | 0x10},
    };
    for (const Case& c : cases) {
        ShutdownPlan plan = shutdownPlan(c.kind, c.options, c.restartAppsKnown);
        EXPECT_EQ(plan.call, Call::ExitWindows) << c.kind;
        EXPECT_EQ(plan.exitFlags, c.flags) << c.kind << " options " << c.options;
    }
}

TEST(ShutdownPlan, SuspendAndHibernateGoToThePowerLibrary) {
    ShutdownPlan suspend = shutdownPlan(kShutdownSuspend, 0, true);
    EXPECT_EQ(suspend.call, Call::SuspendState);
    EXPECT_FALSE(suspend.hibernate);
    EXPECT_FALSE(suspend.force);
    EXPECT_FALSE(suspend.disableWakeEvents);
    ShutdownPlan hibernate =
        shutdownPlan(kShutdownHibernate, kShutdownForce | kShutdownNoWakeEvents, false);
    EXPECT_EQ(hibernate.call, Call::SuspendState);
    EXPECT_TRUE(hibernate.hibernate);
    EXPECT_TRUE(hibernate.force);
    EXPECT_TRUE(hibernate.disableWakeEvents);
}

TEST(ShutdownPlan, UnknownKindsAreRefused) {
    for (int kind : {-1, 7, 100})
        EXPECT_EQ(shutdownPlan(kind, kShutdownForce, true).call, Call::Invalid) << kind;
}

}  // namespace
}  // namespace tessarin
