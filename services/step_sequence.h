// A sequence of steps that moves the progress display on: the installer's actions and the
// uninstaller's removal both run as a table of rows, each with its condition, its action, and
// the status message and percentage shown once it is done. A failing action never stops the
// sequence; its failures go to the error list.
#pragma once

#include <cstdint>

namespace tessarin {

struct SequenceStep {
    int32_t number;  // the step's place in the sequence; several rows may share one
    const char* name;
    bool (*runsWhen)();       // null: always
    void (*run)();            // null: the action comes with a later part of the program
    int32_t statusAfter;      // message shown after the step, 0 for none
    int32_t progressAfter;    // percent after the step, -1 for none
    bool lingerBeforeStatus;  // the step delay is kept before the status message
    bool lingerAfter;         // and after the step
};

// Runs the steps in order. A step's status message and progress are shown whether or not its
// condition held, so that the display moves through every step. stepDelay and automatic pace
// the display (never in automatic mode).
void runSequenceSteps(const SequenceStep* steps, int32_t count, uint32_t stepDelay, bool automatic);

template <int32_t N>
void runSequenceSteps(const SequenceStep (&steps)[N], uint32_t stepDelay, bool automatic) {
    runSequenceSteps(steps, N, stepDelay, automatic);
}

}  // namespace tessarin
