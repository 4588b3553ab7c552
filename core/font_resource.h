// Installed fonts: the system's font registration key, adding a font file to the system's font
// table for this session or taking it out again, and telling every window that the table
// changed.
#pragma once

#include "core/string.h"

namespace tessarin {

// Adds the fonts of file (UTF-16) to the font table; false (the error left) when none was added.
bool addFontResource(const String& file);
// Takes the fonts of file (UTF-16) out of the font table; false (the error left) when it held
// none of them.
bool removeFontResource(const String& file);
// The key below HKEY_LOCAL_MACHINE whose values name the installed font files.
const char16_t* fontRegistrationKey();
// Broadcasts WM_FONTCHANGE to the top-level windows.
void broadcastFontChange();

}  // namespace tessarin
