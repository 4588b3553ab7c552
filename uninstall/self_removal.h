// Removing the uninstaller itself once an uninstallation has succeeded. A running program
// cannot delete its own file, but it may move it within its volume: the uninstaller moves its
// file into a private folder that it makes in the temporary folder (see createPrivateFolder),
// removes the emptied uninstall and install folders, and leaves the moved file to a hidden
// batch script beside that folder that waits for the process to end, deletes the file, removes
// the folders and then deletes itself. When the script cannot be started the moved file is
// registered for deletion at the next restart.
//
// The temporary folder is open to every user, and the script runs with the uninstaller's
// rights. Nobody else can put anything in the private folder; the script's name,
// "delunins-" and the private folder's random name, is new for each run and the file is
// created new, never opened when something of its name is there already. The script runs in
// the system folder, so that the programs it names come from there and none of the folders it
// removes is its current folder.
//
// The script's text and command line are portable (self_removal.cpp); the file work and the
// start are in self_removal_win.cpp.
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "core/string.h"

namespace tessarin {

// The script's name: this, the private folder's name, ".bat".
inline constexpr const char16_t* kSelfRemovalScriptPrefix = u"delunins-";
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

// The script's full path for the private folder: beside it in the same parent folder.
String selfRemovalScriptPath(const String& privateFolder);

// The script (UTF-16, lines ended by CR LF, before the console's code-page line): the loop that
// deletes the executable, bounded by kSelfRemovalAttempts; a three-second pause; "rd" of the
// uninstall folders deepest first, of the install folder and of the private folder; the
// deletion of the script.
String selfRemovalScript(const String& executable, const String& installDir,
                         const String& uninstallSubdir, const String& privateFolder,
                         const String& scriptPath);

// Creates the script for the executable beside the private folder (as a new file: false when
// anything of its name exists) and starts it hidden in a new console, in the system folder,
// without waiting (through the shell when the process cannot be created). False when it could
// not be written or started; a script that was written is then deleted again. Windows only.
bool startSelfRemovalScript(const String& executable, const String& installDir,
                            const String& uninstallSubdir, const String& privateFolder);

// The uninstaller's last step: leaves its current folder for the system folder, moves the
// running executable out of the uninstall folder (into a new private folder in the temporary
// folder, when that is on the same volume), removes the uninstall folder, its parents inside
// the install folder and the install folder when they are empty, and leaves the executable's
// file to the script (or to the next restart when the script cannot be started). Returns once
// the folders are gone. Another program that ran the uninstallation (the installer started with
// /u:) leaves its own file alone and deletes the installed uninstaller instead, when that lies
// in the uninstall folder. Windows only.
void RemoveUninstaller(const String& installDir, const String& uninstallSubdir,
                       const String& installedUninstaller = String());

}  // namespace tessarin
