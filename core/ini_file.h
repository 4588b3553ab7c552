// Values of initialization files ("[section]" and "key=value" lines), as the system writes them.
#pragma once

#include "core/string.h"

namespace tessarin {

// Sets key in section of file (all UTF-16), creating the file or section when missing; false
// (the error left) on failure.
bool writeIniValue(const String& file, const char16_t* section, const char16_t* key,
                   const String& value);

}  // namespace tessarin
