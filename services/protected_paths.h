// The guard before any deletion of a path that came from a record (Uninstall.DAT and the rules
// it carries): a damaged or planted record must not wipe a system. Drive roots, paths that are
// not full paths, the Windows and system folders, the Program Files folders and the user
// profile folders themselves are refused.
//
// The comparison is portable (protected_paths.cpp); protected_paths_win.cpp names the running
// system's folders.
#pragma once

#include "core/containers.h"
#include "core/string.h"
#include "services/reporter.h"

namespace tessarin {

struct ProtectedFolders {
    Vector<String> folders;       // UTF-16; each refused itself
    Vector<String> profiles;      // UTF-16; user profile folders, each refused itself
    Vector<String> profileRoots;  // UTF-16; each refused, and so is every folder right inside

    // The three lists in comparable form, in the same order. Every deletion of an uninstallation
    // is checked, so they are made once: at the first check, and again when a list has grown.
    struct Comparable {
        int32_t madeFrom = -1;  // the lists' total count they were made from
        Vector<String> folders, profiles, profileRoots;
    };
    mutable Comparable comparable;
};

// A path in the form in which the system resolves it, for comparison: "/" read as "\", the
// "\\?\" and "\??\" prefixes dropped, "." and ".." resolved, trailing dots and spaces of each
// component dropped, no trailing backslash, lower case. Empty when the path is not a full path
// (a drive letter and a backslash, or a network share).
String comparablePath(const String& path);

// Makes the lists' comparable forms now rather than at the first check.
void prepareComparableForms(const ProtectedFolders& folders);

// Why the path must not be deleted ("is a drive root", ...), or null when it may be.
const char* protectedPathReason(const String& path, const ProtectedFolders& folders);

// The one guard: true when the path is refused, after an error-list line that names it.
bool refuseProtectedPath(const String& path, const ProtectedFolders& folders, Reporter& reporter);

// The running system's folders, worked out once (Windows only).
const ProtectedFolders& systemProtectedFolders();

}  // namespace tessarin
