#include "services/progress.h"

#include "package/install_script.h"

namespace tessarin {
namespace {

constexpr uint32_t kLingerCheck = 50;
// A status text that follows the one shown within this time waits for the next update after it
// (a file loop changes the text far faster than anyone reads it, and every change costs a
// redraw).
constexpr uint32_t kStatusInterval = 40;

struct ProgressState {
    ProgressDisplay* display = nullptr;
    ProgressClock* clock = nullptr;
    String status;
    int32_t percent = 0;
    bool tickNoted = false;
    uint32_t tick = 0;
    // What the display shows: the percentage (-1: none yet), when the status was last drawn,
    // and whether status holds a text it has not drawn.
    int32_t shownPercent = -1;
    bool statusShown = false;
    uint32_t statusShownAt = 0;
    bool statusPending = false;
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
    ProgressState& s = state();
    s.display = display;
    s.shownPercent = -1;
    s.statusShown = false;
    s.statusPending = false;
}

namespace {

void drawStatus(ProgressState& s, uint32_t now) {
    s.display->showStatus(s.status);
    s.statusShown = true;
    s.statusShownAt = now;
    s.statusPending = false;
}

// The waiting status text, once its interval has passed (or at once with force).
void drawPendingStatus(ProgressState& s, bool force) {
    if (!s.display || !s.statusPending) return;
    uint32_t now = progressClock().ticks();
    if (force || now - s.statusShownAt >= kStatusInterval) drawStatus(s, now);
}

}  // namespace

void noteProgressTick() {
    ProgressState& s = state();
    s.tick = progressClock().ticks();
    s.tickNoted = true;
}

void showStatusText(const String& text) {
    ProgressState& s = state();
    s.status = text;
    noteProgressTick();
    if (!s.display) return;
    // An empty status (the end of a phase) is drawn at once.
    if (!s.statusShown || text.empty() || s.tick - s.statusShownAt >= kStatusInterval) {
        drawStatus(s, s.tick);
    } else {
        s.statusPending = true;
    }
}

void showStatusMessage(int32_t n) {
    showStatusText(Message(n));
}

void clearStatus() {
    showStatusText(String());
}

// The bar is drawn and the messages pumped when the percentage changes; a waiting status text
// is drawn then too.
void setProgress(int32_t percent) {
    ProgressState& s = state();
    s.percent = percent;
    if (!s.display) return;
    drawPendingStatus(s, percent != s.shownPercent);
    if (percent == s.shownPercent) return;
    s.shownPercent = percent;
    s.display->showPercent(percent);
    progressClock().pumpAndWait(0);
}

int32_t currentProgress() {
    return state().percent;
}

const String& currentStatus() {
    return state().status;
}

void lingerForStepDelay(uint32_t stepDelay, bool automatic) {
    ProgressState& s = state();
    drawPendingStatus(s, true);
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
    s.shownPercent = -1;
    s.statusShown = false;
    s.statusPending = false;
}

}  // namespace tessarin
