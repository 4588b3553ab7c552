#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

#include "core/com_ptr_win.h"
#include "core/file_system.h"
#include "core/os_info.h"
#include "core/path.h"
#include "core/shell_link.h"
#include "core/special_folders.h"
#include "core/wide_win.h"

namespace tessarin {
namespace {

bool fillLink(IShellLinkW* link, const Shortcut& shortcut) {
    if (FAILED(link->SetPath(win(shortcut.target)))) return false;
    const String& icon = shortcut.iconFile.empty() ? shortcut.target : shortcut.iconFile;
    link->SetIconLocation(win(icon), 0);
    if (!shortcut.arguments.empty()) link->SetArguments(win(shortcut.arguments));
    if (int show = shortcutShowCommand(shortcut.options)) link->SetShowCmd(show);
    String folder = shortcutWorkingFolder(shortcut.workingFolder);
    if (!folder.empty()) link->SetWorkingDirectory(win(folder));
    return true;
}

bool saveLink(const String& linkFile, const Shortcut& shortcut, String* linkPath) {
    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.outVoid())))
        return false;
    if (!fillLink(link.get(), shortcut)) return false;
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.outVoid()))) return false;
    String path = linkFileName(linkFile);
    if (linkPath != nullptr) *linkPath = path;
    createParentFolders(path);
    return SUCCEEDED(file->Save(win(path), FALSE));
}

bool createIn(SpecialFolder folder, const String& name, const Shortcut& shortcut,
              String* linkPath) {
    return createShortcut(joinPath(specialFolder(folder), name), shortcut, linkPath);
}

}  // namespace

bool createShortcut(const String& linkFile, const Shortcut& shortcut, String* linkPath) {
    if (shortcut.target.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    try {
        return saveLink(linkFile, shortcut, linkPath);
    } catch (...) {
        return false;
    }
}

bool createDesktopShortcut(const String& name, const Shortcut& shortcut, String* linkPath) {
    bool allUsers = (shortcut.options & kShortcutAllUsers) != 0;
    return createIn(allUsers ? SpecialFolder::DesktopAllUsers : SpecialFolder::Desktop, name,
                    shortcut, linkPath);
}

bool createProgramsMenuShortcut(const String& name, const Shortcut& shortcut, String* linkPath) {
    if (!(shortcut.options & kShortcutAllUsers))
        return createIn(SpecialFolder::ProgramsMenu, name, shortcut, linkPath);
    bool done = createIn(SpecialFolder::ProgramsMenuAllUsers, name, shortcut, linkPath);
    // The shells of Windows 95 and 98 show only the user's own menu.
    if (isWindows9598()) {
        String common = specialFolder(SpecialFolder::ProgramsMenuAllUsers);
        String own = specialFolder(SpecialFolder::ProgramsMenu);
        if (common.compareNoCaseWide(own) != 0)
            createIn(SpecialFolder::ProgramsMenu, name, shortcut, nullptr);
    }
    return done;
}

}  // namespace tessarin
