// The install action sequence: once the wizard has ended and the system is prepared, the
// install actions run in a fixed order, each under its own condition, and each step moves the
// progress display on. A failing action never stops the sequence; its failures go to the
// error list. Only a damaged payload or a fatal error ends it early.
//
// The steps are a table (install_sequence_win.cpp) that the runner here walks; the conditions
// read the install state and are portable.
#pragma once

#include <cstdint>

namespace tessarin {

struct InstallStep {
    int32_t number;  // the step's place in the sequence; several rows may share one
    const char* name;
    bool (*runsWhen)();       // null: always
    void (*run)();            // null: the action comes with a later part of the installer
    int32_t statusAfter;      // message shown after the step, 0 for none
    int32_t progressAfter;    // percent after the step, -1 for none
    bool lingerBeforeStatus;  // the step delay is kept before the status message
    bool lingerAfter;         // and after the step
};

// Runs the steps in order. A step's status message and progress are shown whether or not its
// condition held, so that the display moves through every step. stepDelay and automatic pace
// the display (never in automatic mode).
void runInstallSteps(const InstallStep* steps, int32_t count, uint32_t stepDelay, bool automatic);

// ---- Conditions ----------------------------------------------------------------------------

bool hasUninstallSupport();
bool fontWasInstalled();
bool sharedFilesAreCounted();
bool componentsListed();  // COM servers or type libraries
bool driversListed();
bool shortcutsListed();
bool rootShortcutWanted();
bool registryTableApplies();
bool registryMergeGiven();
bool associationsGiven();
bool firewallGiven();
bool pathAdditionWanted();
bool rebootMarkerWanted();
bool restorePointStarted();

// The whole sequence of the running installation; ends the process.
[[noreturn]] void RunInstallSequence();

}  // namespace tessarin
