#include <windows.h>

#include "actions/shortcuts.h"
#include "core/convert.h"
#include "core/file_system.h"
#include "core/path.h"
#include "core/shell_link.h"
#include "core/special_folders.h"
#include "core/system_error.h"
#include "services/install_log.h"
#include "services/path_variables.h"
#include "uninstall/uninstall_data.h"

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
    String lastErrorText() override { return systemErrorText8(error_); }
    // The progress display shows the link being made once the wizard's pages exist.
    void showStatus(const String&) override {}

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
    if (!shortcutListRuns(onPortableDrive(installScript().InstallDir), script.ProductFlags2))
        return;
    ShellShortcuts system;
    createShortcutLinks(shortcutList(), settingsOfScript(), system);
}

}  // namespace tessarin
