#include "setup/install_sequence.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actions/shared_files.h"
#include "package/install_script.h"
#include "services/install_state.h"
#include "services/progress.h"

namespace tessarin {
namespace {

std::vector<std::string>& trace() {
    static std::vector<std::string> calls;
    return calls;
}

bool conditionHolds = false;
bool condition() {
    trace().push_back("condition");
    return conditionHolds;
}
void first() {
    trace().push_back("first");
}
void second() {
    trace().push_back("second");
}

class TracingDisplay : public ProgressDisplay {
  public:
    void showStatus(const String&) override { trace().push_back("status"); }
    void showPercent(int32_t percent) override {
        trace().push_back("percent " + std::to_string(percent));
    }
};

class TracingClock : public ProgressClock {
  public:
    uint32_t now = 0;
    uint32_t ticks() override { return now; }
    void pumpAndWait(uint32_t milliseconds) override {
        if (milliseconds) trace().push_back("wait " + std::to_string(milliseconds));
        now += milliseconds;
    }
};

class InstallSequenceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        trace().clear();
        resetProgress();
        setProgressClock(&clock);
        setProgressDisplay(&display);
    }
    void TearDown() override {
        setProgressDisplay(nullptr);
        setProgressClock(nullptr);
        resetProgress();
    }
    TracingClock clock;
    TracingDisplay display;
};

const SequenceStep kSteps[] = {
    {1, "always", nullptr, first, 0, 10, false, false},
    {2, "conditional", condition, second, 0, -1, false, false},
    {3, "later part", condition, nullptr, 26, 95, true, false},
    {4, "paced", nullptr, first, 0, -1, false, true},
};

TEST_F(InstallSequenceTest, StepsRunInOrderUnderTheirConditionsAndTheDisplayMovesOnRegardless) {
    conditionHolds = false;
    runSequenceSteps(kSteps, 4, 100, false);
    // A step whose action comes later asks no condition; its status and progress still show.
    // Nothing was noted before that status, so only the paced step waits out the delay.
    EXPECT_EQ(trace(), (std::vector<std::string>{"first", "percent 10", "condition", "status",
                                                 "percent 95", "first", "wait 50", "wait 50"}));
    EXPECT_EQ(currentProgress(), 95);
}

TEST_F(InstallSequenceTest, AConditionThatHoldsRunsItsStepAndAutomaticModeNeverLingers) {
    conditionHolds = true;
    runSequenceSteps(kSteps, 4, 100, true);
    EXPECT_EQ(trace(), (std::vector<std::string>{"first", "percent 10", "condition", "second",
                                                 "status", "percent 95", "first"}));
}

// An upgrade that no longer ships the shared files an earlier version counted still keeps them
// listed (the counting step does), so the step runs for the earlier list alone.
TEST(InstallSequenceConditions, SharedFilesOfThisOrTheReplacedInstallationAreCounted) {
    struct Case {
        bool listedNow;
        const char* listedBefore;
        bool portableDrive;
        bool counted;
    } cases[] = {
        {false, "", false, false},
        {true, "", false, true},
        {false, "\"C:\\Sys\\old.dll\"", false, true},
        {false, "\"C:\\Sys\\old.dll\"", true, false},
    };
    const uint64_t flags = installScript().ProductFlags;
    installScript().ProductFlags |= kFlagsUninstallEntry;
    for (const Case& c : cases) {
        sharedFileList().clear();
        if (c.listedNow) sharedFileList().append(String("C:\\Sys\\a.dll"));
        preInstallState().previousSharedFiles = String(c.listedBefore);
        preInstallState().portable = c.portableDrive;
        EXPECT_EQ(sharedFilesAreCounted(), c.counted) << c.listedNow << c.listedBefore;
    }
    sharedFileList().clear();
    preInstallState().previousSharedFiles.clear();
    preInstallState().portable = false;
    installScript().ProductFlags = flags;
}

}  // namespace
}  // namespace tessarin
