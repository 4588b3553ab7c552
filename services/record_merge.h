// Carrying an earlier installation's record into the one a reinstallation, upgrade or downgrade
// writes: what the earlier installations made and this one did not make again stays recorded,
// so that one uninstallation removes what any of them left. A file, folder or registry entry
// that is gone is dropped; a line this installation recorded itself is not doubled.
//
// The merge is portable; record_merge_win.cpp asks the running system what is still there and
// reads the earlier record.
#pragma once

#include <cstdint>

#include "core/string.h"
#include "services/uninstall_data.h"

namespace tessarin {

// What is still on the machine. Paths are UTF-16.
class RecordPresence {
  public:
    virtual ~RecordPresence() = default;
    virtual bool fileExists(const String& path) = 0;
    virtual bool folderExists(const String& path) = 0;
    // A "!", "^" or "*" deletion line's target: the value or the key.
    virtual bool registryEntryExists(const FileDeletion& deletion) = 0;
    // Whether this installation wrote the file and left it out of its record on purpose (a
    // permanent or shared file): an earlier record's line for it is not carried.
    virtual bool writtenUnrecorded(const String& path) { return false; }
};

struct RecordMergeCounts {
    int32_t carried = 0;  // lines added to the current record
    int32_t dropped = 0;  // lines of the earlier record whose target is gone
};

// Adds to current what previous holds and current does not: deletion lines whose target is
// still there (a file this installation wrote unrecorded excepted), associations, firewall, driver
// and MSI lines, registry table records and conditional deletions. Deletion lines are compared
// without regard to ASCII case.
RecordMergeCounts carryPreviousRecord(const UninstallData& previous, UninstallData& current,
                                      RecordPresence& presence);

// The record of the installation being replaced: read from folder\Uninstall.DAT and merged into
// the running installation's record, when the folder and the file can be changed only by
// trusted accounts (an elevated process) and the file reads. Anything else is logged and the
// record stays as it is.
// writtenUnrecorded: the files this installation wrote and did not record (UTF-16).
void carryPreviousInstallationRecord(const String& previousUninstallFolder,
                                     const Vector<String>& writtenUnrecorded);

}  // namespace tessarin
