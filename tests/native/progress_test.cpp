#include "services/progress.h"

#include <gtest/gtest.h>

#include <vector>

namespace tessarin {
namespace {

// A clock that moves only when the pacing waits, and counts the waits.
class ScriptedClock : public ProgressClock {
  public:
    uint32_t now = 1000;
    std::vector<uint32_t> waits;
    uint32_t ticks() override { return now; }
    void pumpAndWait(uint32_t milliseconds) override {
        waits.push_back(milliseconds);
        now += milliseconds;
    }
};

class RecordingDisplay : public ProgressDisplay {
  public:
    std::vector<int32_t> percents;
    std::vector<String> texts;
    void showStatus(const String& text) override { texts.push_back(text); }
    void showPercent(int32_t percent) override { percents.push_back(percent); }
};

class ProgressTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetProgress();
        setProgressClock(&clock);
    }
    void TearDown() override {
        setProgressClock(nullptr);
        setProgressDisplay(nullptr);
        resetProgress();
    }
    ScriptedClock clock;
};

TEST_F(ProgressTest, LingersFromTheLastNoteInFiftyMillisecondChecks) {
    showStatusText(String(u"Copying"));
    clock.now += 30;  // the step itself took 30 ms
    lingerForStepDelay(160, false);
    EXPECT_EQ(clock.waits, (std::vector<uint32_t>{50, 50, 30}));
    EXPECT_EQ(clock.now, 1160u);
}

TEST_F(ProgressTest, NoLingerInAutomaticModeBeforeANoteOrOnceTheDelayHasPassed) {
    lingerForStepDelay(500, false);  // nothing noted yet
    noteProgressTick();
    lingerForStepDelay(500, true);
    clock.now += 600;
    lingerForStepDelay(500, false);
    EXPECT_TRUE(clock.waits.empty());
}

TEST_F(ProgressTest, TheTickCountMayWrapWhileLingering) {
    clock.now = 0xFFFFFFF0u;
    noteProgressTick();
    lingerForStepDelay(100, false);
    EXPECT_EQ(clock.now, 0xFFFFFFF0u + 100u);  // wrapped past zero
}

TEST_F(ProgressTest, ValuesAreKeptWithoutADisplayAndDrawnWithOne) {
    setProgress(28);
    showStatusText(String(u"a"));
    EXPECT_EQ(currentProgress(), 28);
    EXPECT_TRUE(currentStatus().equalsWide(u"a"));
    RecordingDisplay display;
    setProgressDisplay(&display);
    setProgress(91);
    clearStatus();
    EXPECT_EQ(display.percents, (std::vector<int32_t>{91}));
    ASSERT_EQ(display.texts.size(), 1u);
    EXPECT_TRUE(display.texts[0].empty());
}

}  // namespace
}  // namespace tessarin
