#include "actions/pre_install.h"
#include "actions/rollback.h"
#include "actions/shared_files.h"
#include "actions/uninstall_registration.h"
#include "core/file_system.h"
#include "core/registry.h"
#include "package/install_script.h"
#include "services/log_reports.h"
#include "services/protected_paths.h"
#include "setup/rollback.h"
#include "uninstall/removal.h"

namespace tessarin {

namespace {

// The entry goes when this installation made it; an entry that was there before gets back the
// list of shared files whose counts it holds, since the counts are taken back.
void takeBackUninstallEntry(const InstallRollback& rollback, const InstallScript& script) {
    if (rollback.entryCreated) {
        RegistryKey parent;
        if (parent.open(kHkeyLocalMachine, kUninstallKeyParent, kRegOpenExisting,
                        kRegAccessDelete | kRegView32) != kRegOpenFailed)
            parent.deleteKey(script.UninstallKeyName.w_str(), 0, kRegView32);
        return;
    }
    if (!rollback.entryWritten) return;
    RegistryKey entry;
    if (entry.open(kHkeyLocalMachine, uninstallKeyPath(script).w_str(), kRegOpenExisting,
                   kRegAccessWriteValues | kRegView32) == kRegOpenFailed)
        return;
    const String& previous = preInstallState().previousSharedFiles;
    if (previous.empty()) {
        entry.deleteValue(u"SharedFiles");
    } else {
        entry.writeText("SharedFiles", previous);
    }
}

}  // namespace

void ArmRollback() {
    InstallRollback& rollback = installRollback();
    rollback = InstallRollback();
    rollback.deletionMark = uninstallData().deletionLines().count();
    rollback.armed = true;
}

void SealInstallation() {
    installRollback().armed = false;
}

void RollBackInstallation() {
    InstallRollback& rollback = installRollback();
    const bool armed = rollback.armed;
    // A fault while taking back must not start it again.
    rollback.armed = false;
    const InstallScript& script = installScript();
    if (armed) {
        InstallLogReporter reporter;
        RemovalSystem& system = systemRemoval();
        if (rollback.raisedCounts.count() != 0) TakeBackSharedFileCounts(rollback.raisedCounts);
        for (int32_t i = 0; i < rollback.createdFiles.count(); ++i) {
            const String& file = rollback.createdFiles[i];
            if (!refuseProtectedPath(file, system.protectedFolders(), reporter))
                system.deleteFile(file);
        }
        // Files, shortcuts and registry entries through the uninstaller's own pass, which
        // refuses the system's folders and keys whatever the record says.
        UninstallData back;
        back.deletions = deletionsToTakeBack(uninstallData(), rollback.deletionMark, rollback.kept);
        RemovalSettings settings{script.InstallDir, script.ProductFlags};
        RemovalOutcome outcome;
        removeRecordedItems(back, settings, system, reporter, outcome);
        removeRecordedFolders(outcome.folders, settings, system, reporter);
        takeBackUninstallEntry(rollback, script);
        if (!script.UninstallDir.empty())
            removeEmptyFolderTree(script.UninstallDir, script.InstallDir, system, reporter);
        if (!script.SharedDir.empty()) system.removeFolder(script.SharedDir);
    }
    RemoveMadeFolders();
}

}  // namespace tessarin
