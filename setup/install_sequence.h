// The install action sequence: once the wizard has ended and the system is prepared, the
// install actions run in a fixed order, each under its own condition, and each step moves the
// progress display on. A failing action never stops the sequence; its failures go to the
// error list. Only a damaged payload or a fatal error ends it early.
//
// The steps are a table (install_sequence_win.cpp) that the step runner walks; the conditions
// read the install state and are portable.
#pragma once

#include <cstdint>

#include "services/step_sequence.h"

namespace tessarin {

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
