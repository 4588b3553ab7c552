#include "actions/file_installation.h"
#include "actions/finishing.h"
#include "actions/pre_install.h"
#include "actions/shared_files.h"
#include "actions/shortcuts.h"
#include "actions/uninstall_registration.h"
#include "core/os_info.h"
#include "package/install_script.h"
#include "services/conditional_deletion.h"
#include "services/install_log.h"
#include "services/log_reports.h"
#include "services/pending_renames.h"
#include "services/progress.h"
#include "services/reboot_marker.h"
#include "services/setup_state.h"
#include "services/system_path.h"
#include "services/uninstall_data.h"
#include "setup/install_sequence.h"

namespace tessarin {
namespace {

// The script's own shortcut requests come first in the list, before those of the files.
void AddScriptShortcuts() {
    appendScriptShortcuts(installScript(), shortcutList());
}

// The rules of the script that remove files while installing; all of them go on to the
// uninstaller, which applies those of its own phase.
void CarryOutInstallDeletions() {
    InstallScript& script = installScript();
    InstallLogReporter reporter;
    Vector<ConditionalDeletion> rules = script.UninstallExtras;
    carryOutConditionalDeletions(rules, DeletionPhase::Install, script.InstallDir, reporter,
                                 script.ProductFlags);
    uninstallData().conditionalDeletions = script.UninstallExtras;
}

// Pending renames and deletions left from earlier runs must not undo the files just written.
void RemoveStalePendingOperations() {
    const PathList& written = fileInstallationState().writtenInPlace;
    if (written.count() == 0) return;
    InstallLogReporter reporter;
    removePendingOperations(written, DeletionPhase::Install, reporter);
}

void AddInstallFolderToPath() {
    InstallLogReporter reporter;
    AddToSystemPath(true, installScript().AddToPathSubfolder, installScript().InstallDir, reporter);
}

void PlaceRebootMarker() {
    placeRebootMarker(installScript().ProductFlags, installScript().InstallDir);
}

bool taskbarPinWanted() {
    if (installScript().PinCommand.empty()) return false;
    const OsRecord& os = osRecord();
    return taskbarPinAllowed(os.major, os.minor, preInstallState().portable);
}

constexpr int32_t kNone = -1;
// Message shown once the drivers are installed.
constexpr int32_t kMessageDriversDone = 26;

// clang-format off
const SequenceStep kInstallSequence[] = {
    // The step delay is kept before the step's status message (pause) and after the step (after).
    // # step                                     runs when              action                        status                 %      pause  after
    {1,  "the script's shortcut requests",        nullptr,               AddScriptShortcuts,           0,                     kNone, false, false},
    {1,  "file data",                             nullptr,               OpenFileData,                 0,                     kNone, false, false},
    {1,  "conditional deletions",                 nullptr,               CarryOutInstallDeletions,     0,                     27,    false, false},
    {2,  "file loop",                             nullptr,               InstallFiles,                 0,                     90,    false, false},
    {3,  "checks after the file loop",            nullptr,               FinishFileData,               0,                     kNone, false, false},
    {4,  "font-change broadcast",                 fontWasInstalled,      BroadcastFontChange,          0,                     kNone, false, false},
    {5,  "stale pending operations",              nullptr,               RemoveStalePendingOperations, 0,                     92,    false, false},
    {6,  "shared-file counts",                    sharedFilesAreCounted, CountSharedFiles,             0,                     93,    false, false},
    // COM servers and type libraries, then drivers: the component registration comes with
    // its own part of the installer.
    {7,  "COM servers and type libraries",        componentsListed,      nullptr,                      0,                     kNone, false, false},
    {8,  "drivers",                               driversListed,         nullptr,                      kMessageDriversDone,   95,    true,  false},
    {9,  "uninstaller icon and shortcuts",        hasUninstallSupport,   AddUninstallerShortcuts,      0,                     kNone, false, false},
    {10, "shortcuts",                             shortcutsListed,       CreateShortcuts,              0,                     kNone, false, false},
    {11, "root shortcut",                         rootShortcutWanted,    CreateRootShortcut,           0,                     kNone, false, false},
    {12, "taskbar pin",                           taskbarPinWanted,      PinToTaskbar,                 kMessageShortcutsDone, 97,    false, false},
    // Registry entries, the merge file, file associations and the firewall exceptions come
    // with their own parts of the installer.
    {13, "product key and registry entries",      registryTableApplies,  nullptr,                      0,                     kNone, false, false},
    {14, "registry merge file",                   registryMergeGiven,    nullptr,                      0,                     kNone, false, false},
    {15, "file associations",                     associationsGiven,     nullptr,                      0,                     kNone, false, false},
    {16, "firewall exceptions",                   firewallGiven,         nullptr,                      kMessageFinishing,     98,    true,  false},
    {17, "background picture, readme, licence",   nullptr,               WriteUserFiles,               0,                     kNone, false, false},
    {18, "PATH addition",                         pathAdditionWanted,    AddInstallFolderToPath,       0,                     99,    false, false},
    {19, "uninstaller and uninstall entry",       hasUninstallSupport,   RegisterUninstaller,          0,                     kNone, false, false},
    {20, "reboot marker",                         rebootMarkerWanted,    PlaceRebootMarker,            kMessageCompleting,    100,   true,  false},
    {21, "uninstall data file",                   hasUninstallSupport,   WriteUninstallData,           0,                     kNone, false, false},
    {22, "post-install batch",                    nullptr,               RunPostInstallBatch,          0,                     kNone, false, false},
    // The notification of the installation's kind comes with the notifications.
    {22, "notification",                          nullptr,               nullptr,                      0,                     kNone, false, false},
    {22, "desktop refresh",                       nullptr,               RefreshDesktop,               0,                     kNone, false, false},
    {22, "restore-point commit",                  restorePointStarted,   CommitRestorePoint,           0,                     kNone, false, true},
    {23, "closing: summary, restart, exit batch", nullptr,               CloseInstallation,            0,                     kNone, false, false},
};
// clang-format on

}  // namespace

void RunInstallSequence() {
    const InstallScript& script = installScript();
    runSequenceSteps(kInstallSequence, script.StepDelay, setupState().AutomaticMode);
    // Step 24: the restart, or the launches at the end; the process ends there.
    EndInstallation();
}

}  // namespace tessarin
