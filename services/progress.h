// The progress display of the running installation: a status line and a percentage. Install
// steps report here; the progress window draws what it is given once it is open. Without one
// (silent runs, and before the window opens) the values are kept and nothing is drawn.
//
// Pacing: every status change notes the tick count, and so does the start of each file record;
// at its main steps the sequence lingers until the script's step delay has passed since that
// note, so that a fast installation still shows each step.
#pragma once

#include <cstdint>

#include "core/string.h"

namespace tessarin {

// ProductFlags high word: the status line never shows file names.
inline constexpr uint64_t kFlagsHideFileNames = uint64_t{0x00020000} << 32;

// What draws the progress: the progress window.
class ProgressDisplay {
  public:
    virtual ~ProgressDisplay() = default;
    virtual void showStatus(const String& text) = 0;  // UTF-16
    virtual void showPercent(int32_t percent) = 0;
};

// Time and the message pump, as the pacing needs them.
class ProgressClock {
  public:
    virtual ~ProgressClock() = default;
    virtual uint32_t ticks() = 0;  // milliseconds, wrapping
    // Dispatches pending window messages, then waits up to milliseconds.
    virtual void pumpAndWait(uint32_t milliseconds) = 0;
};
// The system's clock (progress_win.cpp; a steady clock without messages natively).
ProgressClock& systemProgressClock();
// The clock in use: the system's, or the one a test set (null restores the system's).
ProgressClock& progressClock();
void setProgressClock(ProgressClock* clock);

// The display that is drawn on; null: none. The caller keeps it alive while it is set.
void setProgressDisplay(ProgressDisplay* display);

// Shows a UTF-16 text on the status line and notes the tick count.
void showStatusText(const String& text);
// Shows message n of the script's message table.
void showStatusMessage(int32_t n);
void clearStatus();
// Sets the percentage and lets pending window messages through.
void setProgress(int32_t percent);
// Notes the tick count without changing the status line.
void noteProgressTick();

int32_t currentProgress();
const String& currentStatus();

// Waits until stepDelay milliseconds have passed since the last noted tick, pumping messages
// and checking every 50 ms. Does nothing in automatic mode or before any tick was noted.
void lingerForStepDelay(uint32_t stepDelay, bool automatic);

// Forgets the values and the noted tick (a new run; tests).
void resetProgress();

}  // namespace tessarin
