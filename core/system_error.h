// Texts of Windows error codes.
#pragma once

#include <cstdint>

#include "core/string.h"

namespace tessarin {

// The system's message for an error code, UTF-16, without trailing blanks and line breaks.
// Error 0 and codes the system has no text for yield an empty String; error 86
// (ERROR_INVALID_PASSWORD) reads "Incorrect password.".
String systemErrorText(uint32_t error);
// The same text in the system ANSI code page ("?" for characters it lacks).
String systemErrorText8(uint32_t error);

}  // namespace tessarin
