// Taking back a stopped installation with the uninstaller's own removal: the journal the install
// actions keep is in actions/rollback.h.
#pragma once

namespace tessarin {

// Starts the journal: what the deletion list holds now stays out of it.
void ArmRollback();
// The installation's record is saved: a later stop takes nothing back.
void SealInstallation();
// Takes back what the running installation did so far, when the journal is armed, and removes
// the install folder and its parents where the installation made them and they are empty. Runs
// once; the caller then ends the process.
void RollBackInstallation();

}  // namespace tessarin
