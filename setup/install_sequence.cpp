#include "setup/install_sequence.h"

#include "actions/file_installation.h"
#include "actions/finishing.h"
#include "actions/pre_install.h"
#include "actions/shared_files.h"
#include "actions/shortcuts.h"
#include "package/install_script.h"
#include "services/progress.h"
#include "services/reboot_marker.h"

namespace tessarin {
namespace {

// ProductFlags low word: add a folder to the system PATH.
constexpr uint64_t kFlagsAddToPath = 0x00001000;
// ProductFlags2: no registry entries on a portable installation.
constexpr uint32_t kFlags2NoPortableRegistry = 0x00008000;

bool portable() {
    return preInstallState().portable;
}

}  // namespace

bool hasUninstallSupport() {
    return (installScript().ProductFlags & kFlagsUninstallEntry) != 0;
}

bool fontWasInstalled() {
    return fileInstallationState().fontsChanged;
}

// Without shared files, this installation's or the replaced one's, there is nothing to count or
// keep listed, and a missing count key is no error.
bool sharedFilesAreCounted() {
    return (sharedFileList().count() > 0 || !preInstallState().previousSharedFiles.empty()) &&
           sharedFilesCounted(installScript().ProductFlags, portable());
}

bool componentsListed() {
    const FileInstallationState& files = fileInstallationState();
    return !files.comServers.empty() || !files.typeLibraries.empty();
}

bool driversListed() {
    return !fileInstallationState().drivers.empty();
}

bool shortcutsListed() {
    return shortcutList().count() > 0 &&
           shortcutListRuns(portable(), installScript().ProductFlags2);
}

bool rootShortcutWanted() {
    return portable() && !installScript().RootShortcutCommand.empty();
}

bool registryTableApplies() {
    return !(portable() && (installScript().ProductFlags2 & kFlags2NoPortableRegistry));
}

bool registryMergeGiven() {
    return !installScript().RegistryMergeText.empty();
}

bool associationsGiven() {
    return installScript().FileAssociations.count() > 0;
}

bool firewallGiven() {
    return !installScript().FirewallText.empty();
}

bool pathAdditionWanted() {
    return (installScript().ProductFlags & kFlagsAddToPath) != 0;
}

bool rebootMarkerWanted() {
    return (installScript().ProductFlags & kFlagsRebootMarker) != 0;
}

bool restorePointStarted() {
    return (installScript().ProductFlags2 & kFlags2RestorePoint) != 0;
}

}  // namespace tessarin
