// Reboot-time renames through the "[rename]" section of "wininit.ini", the mechanism of the
// systems that lack MoveFileEx's delay flag. A target of "NUL" deletes the source.
#pragma once

#include "core/string.h"

namespace tessarin {

// Adds "target=source" to the "[rename]" section of an 8-bit wininit.ini text: right after the
// section header (found without regard to case), so the newest entry comes first, or in a new
// section at the end.
void addWininitRename(String& text, const char* target, const char* source);

// Schedules the rename in "wininit.ini" of the Windows folder (8-bit names in the ANSI code
// page). False for an empty name or when the file cannot be read or written.
bool scheduleWininitRename(const char* target, const char* source);

}  // namespace tessarin
