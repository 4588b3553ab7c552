// Installed fonts: adding a font file to the system's font table for this session, and telling
// every window that the table changed.
#pragma once

#include "core/string.h"

namespace tessarin {

// Adds the fonts of file (UTF-16) to the font table; false (the error left) when none was added.
bool addFontResource(const String& file);
// Broadcasts WM_FONTCHANGE to the top-level windows.
void broadcastFontChange();

}  // namespace tessarin
