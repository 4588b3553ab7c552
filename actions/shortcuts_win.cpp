#include <windows.h>

#include "actions/shortcuts.h"
#include "core/convert.h"
#include "core/crash_guard.h"
#include "core/file_system.h"
#include "core/ini_file.h"
#include "core/os_info.h"
#include "core/path.h"
#include "core/process.h"
#include "core/shell_link.h"
#include "core/special_folders.h"
#include "core/system_error.h"
#include "services/install_log.h"
#include "services/path_variables.h"
#include "services/progress.h"
#include "services/uninstall_data.h"

namespace tessarin {

namespace {

Shortcut shortcutOf(const String& target, const String& arguments, const String& workingFolder,
                    const String& icon, uint32_t options) {
    Shortcut s;
    s.target = target;
    s.arguments = arguments;
    s.workingFolder = workingFolder;
    s.iconFile = icon;
    s.options = options;
    return s;
}

class ShellShortcuts : public ShortcutSystem {
  public:
    void expand(String& text) override { expandPathVariables(text); }
    bool folderExists(const String& path) override { return tessarin::folderExists(path); }
    bool createLink(const String& linkFile, const String& target, const String& arguments,
                    const String& workingFolder, const String& icon, uint32_t options,
                    String& finalPath) override {
        return keep(createShortcut(
            linkFile, shortcutOf(target, arguments, workingFolder, icon, options), &finalPath));
    }
    bool createDesktopLink(const String& name, const String& target, const String& arguments,
                           const String& workingFolder, const String& icon, uint32_t options,
                           String& finalPath) override {
        return keep(createDesktopShortcut(
            name, shortcutOf(target, arguments, workingFolder, icon, options), &finalPath));
    }
    bool createProgramsMenuLink(const String& name, const String& target, const String& arguments,
                                const String& workingFolder, const String& icon, uint32_t options,
                                String& finalPath) override {
        return keep(createProgramsMenuShortcut(
            name, shortcutOf(target, arguments, workingFolder, icon, options), &finalPath));
    }
    String startupFolder(bool allUsers) override {
        return specialFolder(allUsers ? SpecialFolder::StartupAllUsers : SpecialFolder::Startup);
    }
    bool createFolder(const String& path) override { return keep(tessarin::createFolder(path)); }
    bool writeDesktopFolderIcon(const String& path) override {
        const String& icon = installScript().DesktopFolderIcon;
        return keep(writeFile(path, icon.c_str(), icon.length()) == 0);
    }
    void setFolderIcon(const String& folder, const String& icon) override {
        String ini = joinPath(folder, String(u"Desktop.ini"));
        writeIniValue(ini, u".ShellClassInfo", u"IconFile", icon);
        writeIniValue(ini, u".ShellClassInfo", u"IconIndex", String(u"0"));
        int32_t now = fileAttributes(folder);
        setFileAttributes(folder, (now == kNoAttributes ? 0u : static_cast<uint32_t>(now)) |
                                      FILE_ATTRIBUTE_SYSTEM);
        setFileAttributes(ini, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    }
    String lastErrorText() override { return systemErrorText8(error_); }
    void showStatus(const String& text) override { showStatusText(text); }

  private:
    bool keep(bool ok) {
        error_ = ok ? 0 : GetLastError();
        return ok;
    }
    DWORD error_ = 0;
};

ShortcutSettings settingsOfScript() {
    const InstallScript& script = installScript();
    ShortcutSettings s;
    s.installDir = script.InstallDir;
    s.uninstallDir = script.UninstallDir;
    s.productStartMenu = script.ProductStartMenu;
    s.allUsers = script.ShortcutMode == 1;
    s.productFlags = script.ProductFlags;
    s.defaultNameText = script.message(kMessageDefaultShortcutName);
    if (!script.DesktopFolder.empty()) {
        s.desktopShortcuts = script.DesktopShortcuts;
    }
    s.desktopFolderIcon = !script.DesktopFolderIcon.empty();
    String failure = script.message(kMessageShortcutFailed);
    toNarrow(failure.w_str(), failure.wideLength(), s.failureText, kCodePageSystem, "?");
    return s;
}

}  // namespace

String installUninstallerIcon() {
    const InstallScript& script = installScript();
    if (!(script.ProductFlags & 0x4) || script.UninstallIcon.empty()) return String();
    String path = joinPath(script.UninstallDir, String(kUninstallIconName));
    if (writeFile(path, script.UninstallIcon.c_str(), script.UninstallIcon.length()) != 0) {
        String error = systemErrorText(GetLastError());
        logFormatWide(u"Failed to install uninstaller icon to %s\r\n%s\r\n", path.w_str(),
                      error.w_str());
        return String();
    }
    uninstallData().recordDeletionWide(path, DeletionKind::File);
    return pathText(path);
}

void CreateShortcuts() {
    const InstallScript& script = installScript();
    if (shortcutListRuns(onPortableDrive(script.InstallDir), script.ProductFlags2)) {
        ShellShortcuts system;
        createShortcutLinks(shortcutList(), settingsOfScript(), system);
    }
}

namespace {

// "<message 31> <link>\r\n<error>\r\n\r\n", as every failed link is listed.
void listFailedLink(const String& link, uint32_t error) {
    String text = Message(kMessageShortcutFailed);
    text.appendWide(u" ");
    text.append(link);
    text.appendWide(u"\r\n");
    text.append(systemErrorText(error));
    text.appendWide(u"\r\n\r\n");
    String narrow;
    toNarrow(text.w_str(), text.wideLength(), narrow, kCodePageSystem, "?");
    appendError(narrow.c_str(), narrow.length());
}

void makeRootShortcut(void*) {
    const InstallScript& script = installScript();
    String command, name;
    toWide(script.RootShortcutCommand.c_str(), script.RootShortcutCommand.length(), command);
    toWide(script.RootShortcutName.c_str(), script.RootShortcutName.length(), name);
    expandPathVariables(command);
    expandPathVariables(name);
    String link = rootShortcutPath(script.InstallDir, name);
    Shortcut shortcut;
    splitFirstToken(command, shortcut.target, shortcut.arguments);
    shortcut.workingFolder = script.InstallDir;
    String made;
    if (!createShortcut(link, shortcut, &made)) {
        listFailedLink(link, GetLastError());
        return;
    }
    if (script.ProductFlags & kFlagsLogEveryItem)
        logFormatWide(u"Root Shortcut(%s) >>> %s\r\n", name.w_str(), made.w_str());
    uninstallData().recordDeletionWide(made, DeletionKind::File);
}

void pinToTaskbar(void*) {
    const InstallScript& script = installScript();
    String program, arguments;
    splitPinCommand(script.PinCommand, program, arguments);
    String pinName = script.PinName;
    if (pinName.empty()) {
        pinName = script.ProductName;
    } else {
        expandPathVariables(pinName);
    }
    showStatusText(String(u"Pin to taskbar"));
    Shortcut shortcut;
    shortcut.target = program;
    shortcut.arguments = arguments;
    // The link is made in a private folder of its own: a link of that name in the temporary
    // folder itself could have been put there first by another user, who would keep the right
    // to change what gets pinned.
    String folder = createPrivateFolder();
    String link = joinPath(folder.empty() ? temporaryFolder() : folder, pinName);
    String made;
    if (folder.empty() || !createShortcut(link, shortcut, &made)) {
        listFailedLink(link, GetLastError());
        if (!folder.empty()) removeFolder(folder);
        return;
    }
    bool pinned = shellOpen(made, String(), String(), String(u"taskbarpin"), 1);
    uint32_t error = pinned ? 0 : GetLastError();
    logFormatWide(u"Pin to taskbar(%s): %s\r\n", program.w_str(), pinned ? u"OK" : u"FAIL");
    if (!pinned) {
        logText(systemErrorText(error));
        logText8("\r\n");
    }
    deleteFile(made);
    removeFolder(folder);
    uninstallData().recordDeletionWide(
        pinnedLinkPath(specialFolder(SpecialFolder::AppData), pinName), DeletionKind::File);
}

}  // namespace

void CreateRootShortcut() {
    if (installScript().RootShortcutCommand.empty()) return;
    if (!runGuarded(makeRootShortcut, nullptr))
        appendError("Crash while installing root shortcut.\r\n");
}

void PinToTaskbar() {
    const InstallScript& script = installScript();
    const OsRecord& os = osRecord();
    if (script.PinCommand.empty() ||
        !taskbarPinAllowed(os.major, os.minor, onPortableDrive(script.InstallDir)))
        return;
    if (!runGuarded(pinToTaskbar, nullptr)) appendError("Crash while pinning to taskbar.\r\n");
}

}  // namespace tessarin
