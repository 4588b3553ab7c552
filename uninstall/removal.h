// The uninstaller's removal pass: the recorded files, folders, registry values and keys of
// Uninstall.DAT, the emptied folders above them, the Start-menu folder, the product's own key
// and the registry table's keys and values.
//
// The decisions are portable (removal.cpp) and ask the system through RemovalSystem;
// removal_win.cpp answers for the running system. Failures never stop the pass: files that
// stay are reported and recorded again, so that the rewritten Uninstall.DAT retries them.
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "core/registry.h"
#include "core/string.h"
#include "services/pending_renames.h"
#include "services/protected_paths.h"
#include "services/reporter.h"
#include "services/uninstall_data.h"

namespace tessarin {

// The language text that begins the line of a file that could not be deleted.
inline constexpr int32_t kTextUndeletableFile = 58;

// Progress of the deletion list: from the first to the last value in proportion.
inline constexpr int32_t kRemovalProgressFirst = 11;
inline constexpr int32_t kRemovalProgressLast = 92;

// A climb from a recorded folder upwards stops after this many folders; the Start-menu
// folder and the product key climb at most kMaxParentLevels.
inline constexpr int32_t kMaxFolderClimb = 50;
inline constexpr int32_t kMaxParentLevels = 20;

// What the removal asks of the system. Paths are UTF-16; registry sub-keys are UTF-16 and
// have no leading backslash; view is 0 or kRegView64.
class RemovalSystem {
  public:
    virtual ~RemovalSystem() = default;
    virtual bool fileExists(const String& path) = 0;
    // Deletes the file at once, read-only or not (no recycle bin, no restart); false when it
    // stays or was not there.
    virtual bool deleteFile(const String& path) = 0;
    // Removes an empty folder (after the shell's thumbs.db and desktop.ini in it).
    virtual bool removeFolder(const String& path) = 0;
    // The value name of the key below the root.
    virtual void deleteValue(RegistryRoot root, const String& subKey, const String& name,
                             uint32_t view) = 0;
    // The key and everything below it; with onlyIfEmpty only a key without sub-keys and
    // values. True when the key was deleted.
    virtual bool deleteKey(RegistryRoot root, const String& subKey, bool onlyIfEmpty,
                           uint32_t view) = 0;
    // The names of the users' hives under HKEY_USERS that are loaded.
    virtual Vector<String> userHives() = 0;
    virtual const ProtectedFolders& protectedFolders() = 0;
};

struct RemovalSettings {
    String installDir;      // UTF-16; the folder climb stops here
    uint64_t productFlags;  // high word 0x20000: the status line never shows paths
};

// What the deletion list leaves for the later steps.
struct RemovalOutcome {
    Vector<String> folders;  // "~" entries as stored (narrow path form), in list order
    PathSet deletedFiles;    // full paths of the files deleted, ASCII lower-cased
};

// Carries out data.deletions in file order after clearing the recorded list: files are
// deleted, registry values and keys removed ("*" keys in the 64-bit view, the others in the
// process's own), folders collected. The status line and the
// percentage go to the progress display (services/progress.h). A file that stays adds
// language text 58 and its path to the error list and is recorded again.
void removeRecordedItems(UninstallData& data, const RemovalSettings& settings,
                         RemovalSystem& system, Reporter& reporter, RemovalOutcome& outcome);

// Removes the collected folders, longest stored text first, each with its parents while they
// are empty, never the install folder or above it.
void removeRecordedFolders(const Vector<String>& folders, const RemovalSettings& settings,
                           RemovalSystem& system, Reporter& reporter);

// Removes folder when empty and its parents while they become empty, never top or a folder
// outside it.
void removeEmptyFolderTree(const String& folder, const String& top, RemovalSystem& system,
                           Reporter& reporter);

// Deletes Software\<productKey> with its sub-keys and then each parent while it is empty
// (never Software itself), under HKEY_LOCAL_MACHINE and in every user's hive. The system's
// own keys below Software (those a "^" record may not name either, such as Classes\CLSID) are
// refused with an error-list line.
void removeProductRegistry(const String& productKey, uint32_t view, RemovalSystem& system,
                           Reporter& reporter);

// The registry table's records (UTF-8 CSV, one per line): keys of one field are deleted when
// empty, values of five fields with action code 2, 3 or 5 are deleted; "\HKAU\" names every
// user's hive. A value in a key the system lives by (services, the system's own classes and
// policies) is refused with an error-list line, as recorded "!" values are.
void removeRegistryTable(const String& table, uint32_t view, RemovalSystem& system,
                         Reporter& reporter);

// ---- The running system (Windows) ----------------------------------------------------------

RemovalSystem& systemRemoval();
// The Start-menu folder (ProductStartMenu below the Programs menu of all users or of the
// user) when it is empty, and its empty parents below the Programs menu.
void removeStartMenuFolder(const String& productStartMenu, bool allUsers, Reporter& reporter);
// Deletes the folder with every file and folder in it; a link inside is removed itself, never
// followed (deleteFolderTree). A protected folder is refused with an error-list line. What
// cannot be deleted stays.
void removeFolderWithContents(const String& folder, Reporter& reporter);

}  // namespace tessarin
