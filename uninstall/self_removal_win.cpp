// Moving the running uninstaller aside, removing its folders, and starting the script that
// deletes its file once the process has ended.
#include <windows.h>

#include "core/file.h"
#include "core/file_system.h"
#include "core/format.h"
#include "core/os_info.h"
#include "core/path.h"
#include "core/process.h"
#include "services/batch.h"
#include "uninstall/self_removal.h"

namespace tessarin {
namespace {

const wchar_t* win(const String& s) {
    return reinterpret_cast<const wchar_t*>(s.w_str());
}

// The executable under a temporary name in the temporary folder. Without MOVEFILE_COPY_ALLOWED
// the system refuses a move to another volume, where a running file could only be copied.
// Empty when it stays where it is.
String moveAside(const String& executable) {
    String target = temporaryFileName();
    if (target.empty()) return String();
    if (MoveFileExW(win(executable), win(target), MOVEFILE_REPLACE_EXISTING)) return target;
    deleteFile(target);
    return String();
}

// The script of an uninstallation that has just ended may still be running and hold its file;
// the next one then takes a numbered name beside it rather than falling back to the restart.
bool writeSelfRemovalScript(const String& executable, const String& installDir,
                            const String& uninstallSubdir, String& script) {
    const OsRecord& os = osRecord();
    for (int32_t attempt = 0; attempt < kSelfRemovalScriptNames; ++attempt) {
        String name(kSelfRemovalScriptName);
        if (attempt > 0) name = formatWide(u"delunins%d.bat", static_cast<int>(attempt));
        script = joinPath(temporaryFolder(), name);
        String bytes =
            encodeForConsole(selfRemovalScript(executable, installDir, uninstallSubdir, script),
                             consoleReadsUtf8(isNtFamily(), os.major, os.minor));
        if (writeFile(script, bytes.c_str(), bytes.length()) == kFileOk) return true;
    }
    return false;
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
                            const String& uninstallSubdir) {
    String script;
    if (!writeSelfRemovalScript(executable, installDir, uninstallSubdir, script)) return false;
    String commandLine = batchCommandLine(systemCommandInterpreter(), script);
    if (launch(commandLine, kLaunchNewConsole | kLaunchHidden) != kLaunchNotStarted) return true;
    return shellOpen(script, String(), String(), String(u"open"), SW_HIDE);
}

void RemoveUninstaller(const String& installDir, const String& uninstallSubdir,
                       const String& installedUninstaller) {
    String executable = currentModulePath();
    if (!isInstalledUninstaller(executable, installDir, uninstallSubdir)) {
        if (isInstalledUninstaller(installedUninstaller, installDir, uninstallSubdir))
            deleteFile(installedUninstaller, kDeleteRebootFallback);
        removeEmptiedFolders(installDir, uninstallSubdir);
        return;
    }
    String moved = moveAside(executable);
    if (!moved.empty()) removeEmptiedFolders(installDir, uninstallSubdir);
    const String& left = moved.empty() ? executable : moved;
    if (!startSelfRemovalScript(left, installDir, uninstallSubdir)) {
        deleteFile(left, kDeleteAtReboot);
    }
}

}  // namespace tessarin
