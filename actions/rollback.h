// Taking back a stopped installation. An installation that a damaged payload, a fatal error or
// the user's Cancel ends before its record is saved leaves nothing behind: what it wrote and
// recorded so far goes again. The files it made, the shortcuts and registry entries it
// recorded for the uninstaller, the shared-file counts it raised and the uninstall entry it
// made are removed; files that were there before it wrote them stay, as do the folders and keys
// that existed before it.
//
// The install actions note here what the uninstaller's record alone cannot tell: which
// recorded files were there before, which shared and system files were made (the uninstaller
// finds those through their counts, which a stop may not have reached), which counts went up
// and whether the uninstall entry is new. The choice of what goes is portable (rollback.cpp);
// setup/rollback_win.cpp carries it out with the uninstaller's own removal.
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "core/string.h"
#include "services/pending_renames.h"
#include "services/uninstall_data.h"

namespace tessarin {

struct InstallRollback {
    // From the first install action until the installation's record is saved.
    bool armed = false;
    // Deletion-list lines recorded before the install actions began: the preparation's own,
    // which name things the installation did not make (the folders above the install folder
    // go with RemoveMadeFolders).
    int32_t deletionMark = 0;
    PathSet kept;                 // recorded files that existed before the installation wrote them
    Vector<String> createdFiles;  // UTF-16: files made that the deletion list does not name
    Vector<String> raisedCounts;  // 8-bit count paths whose shared-file count went up
    bool entryCreated = false;    // the uninstall entry's key was made by this installation
    bool entryWritten = false;    // the uninstall entry's values were written
};
InstallRollback& installRollback();

// The deletion-list entries recorded from mark on, in list order, without the files in kept.
Vector<FileDeletion> deletionsToTakeBack(const UninstallData& data, int32_t mark,
                                         const PathSet& kept);

}  // namespace tessarin
