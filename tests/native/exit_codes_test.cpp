#include "services/exit_codes.h"

#include <gtest/gtest.h>

namespace tessarin {
namespace {

TEST(ExitCodesTest, EveryEndGivesOneUnlessTheConventionalCodesAreChosen) {
    struct Case {
        InstallEnd end;
        unsigned conventional;
    };
    const Case cases[] = {
        {InstallEnd::Completed, 0},         {InstallEnd::RestartRequired, 3010},
        {InstallEnd::RestartStarted, 1641}, {InstallEnd::Cancelled, 1602},
        {InstallEnd::Refused, 1603},        {InstallEnd::Failed, 1603},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(installExitCode(c.end, 0xFFFFFFFFu & ~kFlags2ConventionalExitCodes), 1u);
        EXPECT_EQ(installExitCode(c.end, kFlags2ConventionalExitCodes), c.conventional);
    }
}

TEST(ExitCodesTest, AnUninstallationEndsWithZeroUnlessDeclinedOrConventional) {
    struct Case {
        UninstallEnd end;
        unsigned plain;
        unsigned conventional;
    };
    const Case cases[] = {
        {UninstallEnd::Completed, 0, 0},         {UninstallEnd::RestartRequired, 0, 3010},
        {UninstallEnd::RestartStarted, 0, 1641}, {UninstallEnd::Declined, 1, 1602},
        {UninstallEnd::NotPerformed, 0, 1602},   {UninstallEnd::Failed, 0, 1603},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(uninstallExitCode(c.end, 0xFFFFFFFFu & ~kFlags2ConventionalExitCodes), c.plain);
        EXPECT_EQ(uninstallExitCode(c.end, kFlags2ConventionalExitCodes), c.conventional);
    }
}

}  // namespace
}  // namespace tessarin
