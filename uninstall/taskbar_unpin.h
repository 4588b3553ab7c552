// Undoing taskbar pins: the installer records the pinned copy the shell made (a link below
// "...\User Pinned\") in the deletion list; before that list is carried out the shell is asked
// to unpin each such link, so that the taskbar button goes with it.
//
// The selection is portable (taskbar_unpin.cpp); the shell verb is in taskbar_unpin_win.cpp.
#pragma once

#include "core/containers.h"
#include "core/string.h"
#include "services/reporter.h"
#include "services/uninstall_data.h"

namespace tessarin {

// The UTF-16 paths of the recorded files that lie below a "\User Pinned\" folder (any letter
// case), in list order. Folders and registry entries are never pins.
Vector<String> pinnedLinks(const Vector<FileDeletion>& deletions);

// Asks the shell to unpin one link; false when it refused (or crashed inside).
class TaskbarUnpinSystem {
  public:
    virtual ~TaskbarUnpinSystem() = default;
    virtual bool unpin(const String& link) = 0;
};

// Unpins every pinned link and logs each attempt. True when there was at least one (the caller
// then gives the shell a moment before the links are deleted).
bool unpinFromTaskbar(const Vector<FileDeletion>& deletions, TaskbarUnpinSystem& system,
                      Reporter& reporter);

// The running system's side: the shell verb "taskbarunpin" on each link, under the crash
// guard. Windows only.
bool UnpinFromTaskbar(const Vector<FileDeletion>& deletions, Reporter& reporter);

}  // namespace tessarin
