// Removing the uninstaller itself once an uninstallation has succeeded. A running program
// cannot delete its own file, but it may move it within its volume: the uninstaller moves its
// file into the temporary folder, removes the emptied uninstall and install folders, and leaves
// the moved file to a hidden batch script ("delunins.bat" in the temporary folder) that waits
// for the process to end, deletes the file and then itself. When the script cannot be started
// the moved file is registered for deletion at the next restart.
//
// The script's text and command line are portable (self_removal.cpp); the file work and the
// start are in self_removal_win.cpp.
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "core/string.h"

namespace tessarin {

inline constexpr const char16_t* kSelfRemovalScriptName = u"delunins.bat";
// While an earlier uninstallation's script still runs, "delunins1.bat" and onwards up to this
// many names in all are tried.
inline constexpr int32_t kSelfRemovalScriptNames = 10;
// The script stops waiting for the executable's file after this many attempts, about a second
// apart, so that a hidden console does not spin for ever when another program holds the file.
inline constexpr int32_t kSelfRemovalAttempts = 180;
// At most this many "rd" lines for the uninstall folder and its parents inside the install
// folder.
inline constexpr int32_t kSelfRemovalMaxSubfolders = 50;

// The uninstall folder and each of its parents inside the install folder, deepest first, as
// full paths (UTF-16), without the install folder itself; at most kSelfRemovalMaxSubfolders.
Vector<String> uninstallFoldersDeepestFirst(const String& installDir,
                                            const String& uninstallSubdir);

// Whether the running executable is the installation's uninstaller: a file directly in the
// uninstall folder (the install folder when there is no uninstall subfolder). Only that copy
// removes itself; an installer started with /u: from wherever the user keeps it stays.
bool isInstalledUninstaller(const String& executable, const String& installDir,
                            const String& uninstallSubdir);

// The script (UTF-16, lines ended by CR LF, before the console's code-page line): the loop that
// deletes the executable, bounded by kSelfRemovalAttempts; a three-second pause; "rd" of the
// uninstall folders deepest first and of the install folder; the deletion of the script.
String selfRemovalScript(const String& executable, const String& installDir,
                         const String& uninstallSubdir, const String& scriptPath);

// Writes the script for the executable into the temporary folder and starts it hidden in a new
// console without waiting (through the shell when the process cannot be created). False when
// it could not be written or started. Windows only.
bool startSelfRemovalScript(const String& executable, const String& installDir,
                            const String& uninstallSubdir);

// The uninstaller's last step: moves the running executable out of the uninstall folder (to a
// temporary name in the temporary folder, when that is on the same volume), removes the
// uninstall folder, its parents inside the install folder and the install folder when they are
// empty, and leaves the executable's file to the script (or to the next restart when the
// script cannot be started). Returns once the folders are gone. Another program that ran the
// uninstallation (the installer started with /u:) leaves its own file alone and deletes the
// installed uninstaller instead, when that lies in the uninstall folder. Windows only.
void RemoveUninstaller(const String& installDir, const String& uninstallSubdir,
                       const String& installedUninstaller = String());

}  // namespace tessarin
