// Moving the running uninstaller aside, removing its folders, and starting the script that
// deletes its file once the process has ended.
#include <windows.h>

#include "core/file.h"
#include "core/file_system.h"
#include "core/format.h"
#include "core/os_info.h"
#include "core/path.h"
#include "core/process.h"
#include "core/special_folders.h"
#include "services/batch.h"
#include "uninstall/self_removal.h"

namespace tessarin {
namespace {

const wchar_t* win(const String& s) {
    return reinterpret_cast<const wchar_t*>(s.w_str());
}

// The executable under its own name in the private folder. Without MOVEFILE_COPY_ALLOWED the
// system refuses a move to another volume, where a running file could only be copied. Empty
// when it stays where it is.
String moveAside(const String& executable, const String& folder) {
    String target = joinPath(folder, fileName(executable));
    if (MoveFileExW(win(executable), win(target), 0)) return target;
    return String();
}

// CREATE_NEW: in the temporary folder an entry of the name that exists already (another user's
// file, a link) is never opened.
bool writeNewFile(const String& path, const String& bytes) {
    File file;
    if (file.open(path.w_str(), kFileCreateNew) != kFileOk) return false;
    bool written = file.write(bytes);
    file.close();
    if (!written) deleteFile(path);
    return written;
}

// The uninstall folders deepest first, then the install folder, each only when empty.
void removeEmptiedFolders(const String& installDir, const String& uninstallSubdir) {
    Vector<String> folders = uninstallFoldersDeepestFirst(installDir, uninstallSubdir);
    for (int32_t i = 0; i < folders.count(); ++i) {
        removeFolder(folders[i], kRemoveFolderKeepShellFiles);
    }
    removeFolder(installDir, kRemoveFolderKeepShellFiles);
}

}  // namespace

bool startSelfRemovalScript(const String& executable, const String& installDir,
                            const String& uninstallSubdir, const String& privateFolder) {
    String script = selfRemovalScriptPath(privateFolder);
    const OsRecord& os = osRecord();
    String bytes = encodeForConsole(
        selfRemovalScript(executable, installDir, uninstallSubdir, privateFolder, script),
        consoleReadsUtf8(isNtFamily(), os.major, os.minor));
    if (!writeNewFile(script, bytes)) return false;
    // The interpreter looks for the programs the script names (CHOICE, ping) in its current
    // folder first: the system folder, where they are, and none of the folders it removes.
    String workingFolder = systemFolder();
    String commandLine = batchCommandLine(systemCommandInterpreter(), script);
    if (launch(commandLine, kLaunchNewConsole | kLaunchHidden, workingFolder) != kLaunchNotStarted)
        return true;
    if (shellOpen(script, String(), workingFolder, String(u"open"), SW_HIDE)) return true;
    deleteFile(script);
    return false;
}

void RemoveUninstaller(const String& installDir, const String& uninstallSubdir,
                       const String& installedUninstaller) {
    // A process's current folder cannot be removed: wherever the uninstaller was started, it
    // leaves the folders it removes.
    setCurrentDirectory(systemFolder());
    String executable = currentModulePath();
    if (!isInstalledUninstaller(executable, installDir, uninstallSubdir)) {
        if (isInstalledUninstaller(installedUninstaller, installDir, uninstallSubdir))
            deleteFile(installedUninstaller, kDeleteRebootFallback);
        removeEmptiedFolders(installDir, uninstallSubdir);
        return;
    }
    String folder = createPrivateFolder();
    String moved = folder.empty() ? String() : moveAside(executable, folder);
    if (!moved.empty()) removeEmptiedFolders(installDir, uninstallSubdir);
    const String& left = moved.empty() ? executable : moved;
    if (folder.empty() || !startSelfRemovalScript(left, installDir, uninstallSubdir, folder)) {
        deleteFile(left, kDeleteAtReboot);
        // After the file, in the order the restart works through them.
        if (!folder.empty() && !removeFolder(folder))
            deleteFile(folder, kDeleteAtReboot | kDeleteKeepAttributes);
    }
}

}  // namespace tessarin
