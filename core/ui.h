// Thin wrappers over the user-interface calls of the entry: icons and message boxes.
#pragma once

#include "core/string.h"

namespace tessarin {

inline constexpr unsigned kMbOk = 0x0;
inline constexpr unsigned kMbIconError = 0x10;
inline constexpr unsigned kMbTaskModal = 0x2000;
inline constexpr unsigned kMbTopmost = 0x40000;

// MessageBoxW with UTF-16 text and caption; returns the button id (0 on failure).
int showMessageBox(void* owner, const String& text, const String& caption, unsigned flags);

// The program's title in the fatal message's caption, 8-bit and UTF-16.
void setProgramTitles(const String& title, const String& titleWide);
// The display of a fatal error: the arrow cursor, then a top-most task-modal error box with
// the caption "FATAL ERROR - " and the program's title.
void showFatalMessage(const char* text);
void showFatalMessageWide(const char16_t* text);

struct ProgramIcons {
    void* large = nullptr;
    void* small = nullptr;
};
// Icon resource id at the system's large-icon and small-icon sizes.
ProgramIcons loadProgramIcons(void* instance, int resourceId);
// An icon file at the system's large-icon and small-icon sizes; null members when it cannot be
// loaded.
ProgramIcons loadIconFile(const String& path);
// Gives a window the icons for its title bar and taskbar button (WM_SETICON).
void setWindowIcons(void* window, const ProgramIcons& icons);

}  // namespace tessarin
