// Shortcuts: the links an installation asks for (desktop, Start menu, Startup folder, a named
// folder), the uninstaller's own links, the link in the root of a portable drive and the
// taskbar pin. Every link made is logged and recorded for the uninstaller.
//
// Which links are made, with what, and what is logged and recorded is decided here
// (shortcuts.cpp) against ShortcutSystem; shortcuts_win.cpp answers with the shell and the
// file system.
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "core/string.h"
#include "package/install_script.h"

namespace tessarin {

// One shortcut request.
struct ShortcutRecord {
    bool desktop = false;
    bool startMenu = false;
    bool startup = false;
    bool permanent = false;     // the links are not recorded for removal
    bool expandTarget = false;  // %...% in the target is expanded
    bool quiet = false;         // a failure is not reported to the error list
    uint8_t windowState = 0;    // 0 normal, 1 minimized without activation, 2 maximized
    String target;              // 8-bit, narrow path form
    String name;                // UTF-16; backslashes name subfolders
    String icon;                // 8-bit, narrow path form; empty: the target's own icon
    String arguments;           // UTF-16
    String workingFolder;       // 8-bit, narrow path form
    String folder;              // 8-bit: a plain link is also made here when not empty
};
template <>
struct TypeName<ShortcutRecord> {
    static constexpr const char* value = "ShortcutRecord";
};

// ProductFlags bits that ask for shortcuts to the uninstaller and the log.
inline constexpr uint64_t kFlagsUninstallerStartMenu = 0x2;
inline constexpr uint64_t kFlagsUninstallerDesktop = 0x2ull << 32;
inline constexpr uint64_t kFlagsUninstallerInFolder = 0x40ull << 32;
inline constexpr uint64_t kFlagsLogStartMenu = 0x08000000ull << 32;
// ProductFlags2: no shortcuts of the list on a portable installation.
inline constexpr uint32_t kFlags2NoPortableShortcuts = 0x800;

// Message numbers.
inline constexpr int32_t kMessageShortcutFailed = 31;
inline constexpr int32_t kMessageUninstallShortcut = 33;
inline constexpr int32_t kMessageDefaultShortcutName = 38;
inline constexpr int32_t kMessageShortcutsDone = 78;
inline constexpr int32_t kMessageLogShortcut = 86;

inline constexpr const char16_t* kUninstallIconName = u"uninstall.ico";
inline constexpr const char16_t* kDesktopFolderIconName = u"Desktop Icon.ico";

// The script's requests: expand-target set, quiet clear.
void appendScriptShortcuts(const InstallScript& script, Vector<ShortcutRecord>& list);

// The uninstaller's links the options ask for (all quiet but the log link). uninstaller and
// logFile are UTF-16 paths; icon is the 8-bit icon path or empty.
struct UninstallerShortcuts {
    uint64_t productFlags = 0;
    String uninstaller;   // UTF-16
    String keyName;       // UTF-16: the uninstall key's name
    String name;          // UTF-16: message 33
    String icon;          // 8-bit, narrow path form; empty for none
    String uninstallDir;  // UTF-16
    String logFile;       // UTF-16
    String logName;       // UTF-16: message 86
};
void appendUninstallerShortcuts(const UninstallerShortcuts& request, Vector<ShortcutRecord>& list);

// Whether the list is processed.
bool shortcutListRuns(bool portable, uint32_t productFlags2);
// Whether the taskbar pin is attempted: Windows 7 to 8.1 (6.1 up to 6.3), not portable.
bool taskbarPinAllowed(uint32_t major, uint32_t minor, bool portable);

// The link in the root of the installation's drive: "<drive>:\\<name>.lnk" (UTF-16).
String rootShortcutPath(const String& installDir, const String& name);
// The root shortcut's command: its first token (double-quoted, or up to the first blank)
// without quotes, and the rest, trimmed, as the arguments.
void splitFirstToken(const String& command, String& program, String& arguments);
// The pin command: a leading double-quoted token is the program and the rest, trimmed, the
// arguments; otherwise the whole text is the program.
void splitPinCommand(const String& command, String& program, String& arguments);
// The copy the shell keeps of a pinned link, below the roaming application-data folder.
String pinnedLinkPath(const String& appData, const String& pinName);

// What the link step asks of the system.
class ShortcutSystem {
  public:
    virtual ~ShortcutSystem() = default;
    virtual void expand(String& text) = 0;  // path variables, UTF-16
    virtual bool folderExists(const String& path) = 0;
    // The link at linkFile (".LNK" appended as the primitive does); finalPath gets its name.
    virtual bool createLink(const String& linkFile, const String& target, const String& arguments,
                            const String& workingFolder, const String& icon, uint32_t options,
                            String& finalPath) = 0;
    virtual bool createDesktopLink(const String& name, const String& target,
                                   const String& arguments, const String& workingFolder,
                                   const String& icon, uint32_t options, String& finalPath) = 0;
    virtual bool createProgramsMenuLink(const String& name, const String& target,
                                        const String& arguments, const String& workingFolder,
                                        const String& icon, uint32_t options,
                                        String& finalPath) = 0;
    virtual String startupFolder(bool allUsers) = 0;
    // The folder of desktop shortcuts, made with its parents; true when it exists afterwards.
    virtual bool createFolder(const String& path) = 0;
    // Writes the script's desktop folder icon to path.
    virtual bool writeDesktopFolderIcon(const String& path) = 0;
    // Gives folder the icon: its "Desktop.ini" names it, the folder gets the system attribute
    // and "Desktop.ini" the hidden and system attributes.
    virtual void setFolderIcon(const String& folder, const String& icon) = 0;
    // The system's text of the last error, 8-bit.
    virtual String lastErrorText() = 0;
    virtual void showStatus(const String& text) = 0;
};

// What the link step needs to know about the installation.
struct ShortcutSettings {
    String installDir;        // UTF-16
    String uninstallDir;      // UTF-16
    String productStartMenu;  // UTF-16
    bool allUsers = false;    // ShortcutMode 1
    uint64_t productFlags = 0;
    String defaultNameText;  // UTF-16: message 38, "%s" standing for the target's file name
    String failureText;      // 8-bit: message 31
    // DesktopShortcuts (UTF-16): desktop links go into this folder instead of onto the desktop
    // when it is set (the script names a DesktopFolder).
    String desktopShortcuts;
    bool desktopFolderIcon = false;  // the script carries DesktopFolderIcon
};

// A record made ready for the shell: texts in UTF-16.
struct PreparedShortcut {
    String target, arguments, workingFolder, icon, name;
    uint32_t options = 0;  // ShortcutOptions
};
PreparedShortcut prepareShortcut(const ShortcutRecord& record, const ShortcutSettings& settings,
                                 ShortcutSystem& system);

// Makes every link of the list, logs and records them (UninstallData) and reports failures to
// the error list.
void createShortcutLinks(const Vector<ShortcutRecord>& list, const ShortcutSettings& settings,
                         ShortcutSystem& system);

// The process-wide list: the script's requests, then the file loop's, then the uninstaller's.
Vector<ShortcutRecord>& shortcutList();

// Writes the script's uninstaller icon to UninstallDir\uninstall.ico and records it; the 8-bit
// icon path for the uninstaller's links, empty when the script has none or it failed (logged).
// The uninstall registration calls it before it adds the uninstaller's links.
String installUninstallerIcon();

// The install action: the links of the process-wide list.
void CreateShortcuts();
// The link in the root of a portable drive to the script's root-shortcut command (the caller
// checks that the installation is portable and the command is set). A crash inside is caught
// and listed.
void CreateRootShortcut();
// Pins the script's pin command to the taskbar on the systems that allow it (Windows 7 to
// 8.1, not portable); the shell's pinned copy is recorded for removal.
void PinToTaskbar();

}  // namespace tessarin
