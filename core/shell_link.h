// Shortcut files (shell links): the link itself, and the desktop and programs-menu forms that
// place it in the user's or the common folder.
//
// The naming and field rules are portable (shell_link.cpp); the shell object is driven in
// shell_link_win.cpp and needs COM initialised on the calling thread.
#pragma once

#include <cstdint>

#include "core/string.h"

namespace tessarin {

enum ShortcutOptions : uint32_t {
    kShortcutAllUsers = 0x1,   // the common folder instead of the user's
    kShortcutMinimized = 0x2,  // SW_SHOWMINNOACTIVE
    kShortcutMaximized = 0x4,  // SW_SHOWMAXIMIZED
};

// What a shortcut starts. Texts are UTF-16; only the target is required.
struct Shortcut {
    String target;
    String arguments;
    String workingFolder;
    String iconFile;  // the target's own icon when empty
    uint32_t options = 0;
};

// The link file's name with ".LNK" appended unless it already ends in ".lnk" (any case).
String linkFileName(const String& name);
// Blanks at both ends and one trailing backslash removed; a bare drive keeps its backslash.
String shortcutWorkingFolder(const String& folder);
// The show command the options ask for, 0 when they leave the shell's default.
int shortcutShowCommand(uint32_t options);

// Writes the shortcut to linkFile (".LNK" appended as above), creating its parent folders. An
// empty target fails with ERROR_INVALID_PARAMETER. linkPath, when given, receives the file's
// full name.
bool createShortcut(const String& linkFile, const Shortcut& shortcut, String* linkPath = nullptr);
// The same with the link named name (backslashes make subfolders) in the desktop or programs
// menu of the user, or of all users with kShortcutAllUsers. On Windows 95 and 98 a common
// programs-menu shortcut is also made in the user's programs menu when that is elsewhere.
bool createDesktopShortcut(const String& name, const Shortcut& shortcut,
                           String* linkPath = nullptr);
bool createProgramsMenuShortcut(const String& name, const Shortcut& shortcut,
                                String* linkPath = nullptr);

}  // namespace tessarin
