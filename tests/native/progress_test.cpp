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

// A loop that updates far faster than anyone reads: the bar is drawn (and messages pumped) only
// when the percentage changes, a status text that follows the last drawn one within 40 ms waits,
// and the waiting text is drawn with the next change of percentage, the next text after the
// interval, or before a step's pause. An empty text is drawn at once.
TEST_F(ProgressTest, RapidUpdatesDrawOnlyChangesAndTheLatestText) {
    RecordingDisplay display;
    setProgressDisplay(&display);
    setProgress(10);
    setProgress(10);
    EXPECT_EQ(display.percents, (std::vector<int32_t>{10}));
    EXPECT_EQ(clock.waits.size(), 1u);  // one pump

    showStatusText(String(u"a"));
    showStatusText(String(u"b"));
    showStatusText(String(u"c"));
    setProgress(10);  // the same percentage: c still waits
    ASSERT_EQ(display.texts.size(), 1u);
    EXPECT_TRUE(display.texts[0].equalsWide(u"a"));
    setProgress(11);  // drawn with the change
    ASSERT_EQ(display.texts.size(), 2u);
    EXPECT_TRUE(display.texts[1].equalsWide(u"c"));
    EXPECT_EQ(display.percents, (std::vector<int32_t>{10, 11}));

    showStatusText(String(u"d"));
    clock.now += 40;
    showStatusText(String(u"e"));  // the interval has passed
    ASSERT_EQ(display.texts.size(), 3u);
    EXPECT_TRUE(display.texts[2].equalsWide(u"e"));
    showStatusText(String(u"f"));
    lingerForStepDelay(0, true);  // a step ends: nothing waits past it
    ASSERT_EQ(display.texts.size(), 4u);
    EXPECT_TRUE(display.texts[3].equalsWide(u"f"));
    showStatusText(String(u"g"));
    clearStatus();
    ASSERT_EQ(display.texts.size(), 5u);
    EXPECT_TRUE(display.texts[4].empty());
    EXPECT_TRUE(currentStatus().empty());
}

}  // namespace
}  // namespace tessarin
