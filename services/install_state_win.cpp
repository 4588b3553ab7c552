#include "core/file_system.h"
#include "core/path.h"
#include "core/temp_name.h"
#include "package/install_script.h"
#include "package/payload.h"
#include "services/install_state.h"
#include "services/setup_state.h"
#include "services/uninstall_data.h"

namespace tessarin {

namespace {

// The folders made above the install folder go with the product.
void recordFoldersAbove(const Vector<String>& made) {
    for (int32_t i = 0; i < made.count(); ++i)
        uninstallData().recordDeletionWide(made[i], DeletionKind::Folder);
}

}  // namespace

uint64_t estimateSpaceFor(const String& installDir) {
    const Payload& payload = setupPayload();
    return spaceEstimate(payload.header.FileSizes, clusterSize(installDir), payload.uninstallerSize,
                         installScript().ExtraSpace);
}

bool CreateInstallFolder(const String& folder) {
    Vector<String> missingAbove;
    for (String above = parentFolder(folder); above.wideLength() > 3 && !folderExists(above);
         above = parentFolder(above))
        missingAbove.append(above);
    const bool existed = folderExists(folder);
    if (!createFolder(folder)) return false;
    recordFoldersAbove(missingAbove);
    Vector<String>& made = preInstallState().madeFolders;
    if (!existed) made.append(folder);
    for (int32_t i = 0; i < missingAbove.count(); ++i) made.append(missingAbove[i]);
    return true;
}

void RemoveMadeFolders() {
    Vector<String>& made = preInstallState().madeFolders;
    for (int32_t i = 0; i < made.count(); ++i) removeFolder(made[i]);
    made = Vector<String>();
}

bool folderWritable(const String& folder) {
    String probe = temporaryFileName(folder, String(), kTempNameKeepFolder);
    if (probe.empty()) return false;
    deleteFile(probe);
    return true;
}

}  // namespace tessarin
