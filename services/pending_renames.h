// The system's list of reboot-time file operations ("PendingFileRenameOperations" of the
// session manager) kept consistent with what a run did: a file that the installer has just
// written or the uninstaller has just deleted must not be moved onto or deleted at the next
// restart.
//
// The list walk is portable (pending_renames.cpp) and reads and writes the value through
// PendingRenameSystem; pending_renames_win.cpp works on the registry.
#pragma once

#include "core/containers.h"
#include "core/path.h"
#include "core/string.h"
#include "services/conditional_deletion.h"
#include "services/reporter.h"

namespace tessarin {

// Full paths with their ASCII letters lower-cased (UTF-16).
class PathSet {
  public:
    void add(const String& path);
    bool contains(const String& path) const;  // path in any letter case
    int32_t count() const { return set_.count(); }

  private:
    List<bool, String> set_{64};
};

// A path as the list is compared: without leading backslashes, question marks and
// exclamation marks (the system's "\??\" prefix and the "!" of replacements), ASCII letters
// lower-cased.
String pendingOperationKey(const String& path);

// The value's strings (REG_MULTI_SZ data, UTF-16), empty strings included: an empty target
// means "delete the source". The data ends with one zero after the last string and a final one.
Vector<String> splitPendingOperations(const String& data);
String joinPendingOperations(const Vector<String>& strings);

class PendingRenameSystem {
  public:
    virtual ~PendingRenameSystem() = default;
    // The strings of the value; false when the key or the value cannot be read.
    virtual bool read(Vector<String>& strings) = 0;
    virtual void write(const Vector<String>& strings) = 0;
    virtual void recycle(const String& path) = 0;  // to the recycle bin
};

// Takes out every pair whose target (or, for a deletion, whose source) is in paths; the source
// of a move onto such a file goes to the recycle bin. While installing each removal is logged.
// Never reports a failure.
void removePendingOperations(PendingRenameSystem& system, const PathSet& paths, DeletionPhase phase,
                             Reporter& reporter);
// The same for the paths of a list, in any letter case.
void removePendingOperations(PendingRenameSystem& system, const PathList& paths,
                             DeletionPhase phase, Reporter& reporter);
// Both on the registry of the running system (Windows only).
void removePendingOperations(const PathSet& paths, DeletionPhase phase, Reporter& reporter);
void removePendingOperations(const PathList& paths, DeletionPhase phase, Reporter& reporter);

}  // namespace tessarin
