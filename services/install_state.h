// What the checks before the files leave for the rest of the installation (the wizard, the
// install actions): the previous installation being replaced, the portable mode, the space
// estimate, the folders made for the product (made here, and removed again when the
// installation is cancelled).
#pragma once

#include <cstdint>
#include <vector>

#include "core/containers.h"
#include "core/string.h"

namespace tessarin {

struct PreInstallState {
    bool replacingInstallation = false;
    int32_t upgradeKind = 3;         // 3 none, 4 same, 5 upgrade, 6 downgrade
    String previousFolder;           // UTF-16
    String previousSharedFiles;      // 8-bit, "SharedFiles" of the previous entry
    String previousFonts;            // 8-bit, "ProductFonts" of the previous entry
    String previousStartMenu;        // UTF-16
    String previousUninstallFolder;  // UTF-16; where the previous installation's record lies
    bool portable = false;
    bool spaceEstimated = false;
    uint64_t spaceEstimate = 0;
    bool restorePointStarted = false;  // commit it at the end (core/restore_point.h restorePoint())
    String oldVersion8;                // "DisplayVersion" of the previous entry as stored
    Vector<String> madeFolders;        // the install folder and its parents as made, deepest first
};
PreInstallState& preInstallState();

inline constexpr int64_t kDefaultClusterSize = 4096;

// Each file size rounded up to whole clusters (4096 bytes when the size is not known), the
// uninstaller and the extra space.
uint64_t spaceEstimate(const std::vector<int32_t>& fileSizes, int64_t clusterSize,
                       uint64_t uninstallerSize, int64_t extraSpace);
// The space estimate for the drive of the folder, with the payload's file sizes.
uint64_t estimateSpaceFor(const String& installDir);
// Makes the install folder with its parents; the folders it made (the install folder too) are
// recorded for the uninstaller. False with the system's error when the folder could not be made.
bool CreateInstallFolder(const String& folder);
// Removes the folders CreateInstallFolder made while they are empty: a cancelled installation
// leaves nothing behind.
void RemoveMadeFolders();
// Whether a file can be made in the folder (a test file, deleted again).
bool folderWritable(const String& folder);

}  // namespace tessarin
