#include "services/progress.h"

#include "setup/install_script.h"

namespace tessarin {
namespace {

constexpr uint32_t kLingerCheck = 50;

struct ProgressState {
    ProgressDisplay* display = nullptr;
    ProgressClock* clock = nullptr;
    String status;
    int32_t percent = 0;
    bool tickNoted = false;
    uint32_t tick = 0;
};

ProgressState& state() {
    static ProgressState value;
    return value;
}

}  // namespace

ProgressClock& progressClock() {
    ProgressClock* clock = state().clock;
    return clock ? *clock : systemProgressClock();
}

void setProgressClock(ProgressClock* clock) {
    state().clock = clock;
}

void setProgressDisplay(ProgressDisplay* display) {
    state().display = display;
}

void noteProgressTick() {
    ProgressState& s = state();
    s.tick = progressClock().ticks();
    s.tickNoted = true;
}

void showStatusText(const String& text) {
    ProgressState& s = state();
    s.status = text;
    noteProgressTick();
    if (s.display) s.display->showStatus(text);
}

void showStatusMessage(int32_t n) {
    showStatusText(Message(n));
}

void clearStatus() {
    showStatusText(String());
}

void setProgress(int32_t percent) {
    ProgressState& s = state();
    s.percent = percent;
    if (s.display) {
        s.display->showPercent(percent);
        progressClock().pumpAndWait(0);
    }
}

int32_t currentProgress() {
    return state().percent;
}

const String& currentStatus() {
    return state().status;
}

void lingerForStepDelay(uint32_t stepDelay, bool automatic) {
    ProgressState& s = state();
    if (automatic || !s.tickNoted || stepDelay == 0) return;
    ProgressClock& clock = progressClock();
    for (;;) {
        uint32_t passed = clock.ticks() - s.tick;
        if (passed >= stepDelay) return;
        uint32_t left = stepDelay - passed;
        clock.pumpAndWait(left < kLingerCheck ? left : kLingerCheck);
    }
}

void resetProgress() {
    ProgressState& s = state();
    s.status = String();
    s.percent = 0;
    s.tickNoted = false;
    s.tick = 0;
}

}  // namespace tessarin
