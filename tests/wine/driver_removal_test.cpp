// Removing driver packages with the prefix's setup API. The prefix has no third-party driver in
// its store, so only refusals can be exercised: an OEM INF name the store does not hold is
// logged as a failure with the system's code, and nothing crashes or reaches the error list.
#include "uninstall/driver_removal.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "recording_reporter.h"

namespace tessarin {
namespace {

using testing::RecordingReporter;

TEST(DriverRemovalOnThePrefix, AnInfTheStoreDoesNotHoldIsLoggedAsFailed) {
    Vector<String> infs;
    infs.append(String("C:\\windows\\inf\\oem9731.inf"));
    RecordingReporter reporter;

    RemoveDriverPackages(infs, reporter);

    const std::string start =
        "Uninstalling driver \"C:\\windows\\inf\\oem9731.inf\"...FAILED!  Code 0x";
    EXPECT_EQ(reporter.logged.compare(0, start.size(), start), 0) << reporter.logged;
    EXPECT_EQ(reporter.logged.substr(reporter.logged.size() - 2), "\r\n");
    EXPECT_EQ(reporter.logged.find("0x00000000"), std::string::npos) << reporter.logged;
    EXPECT_EQ(reporter.errors, "");
}

}  // namespace
}  // namespace tessarin
