// Thin wrappers over the user-interface calls of the entry: icons and message boxes.
#pragma once

#include "core/string.h"

namespace tessarin {

inline constexpr unsigned kMbOk = 0x0;
inline constexpr unsigned kMbIconError = 0x10;

// MessageBoxW with UTF-16 text and caption; returns the button id (0 on failure).
int showMessageBox(void* owner, const String& text, const String& caption, unsigned flags);

struct ProgramIcons {
    void* large = nullptr;
    void* small = nullptr;
};
// Icon resource id at the system's large-icon and small-icon sizes.
ProgramIcons loadProgramIcons(void* instance, int resourceId);

}  // namespace tessarin
