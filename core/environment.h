// Environment variables of the process.
#pragma once

#include "core/string.h"

namespace tessarin {

// The value of a variable (UTF-16). Values of 65536 characters or more are refused.
bool environmentVariable(const char16_t* name, String& value);
// ExpandEnvironmentStringsW into a result of at most maxChars characters; false (and the text
// unchanged) when the expansion fails or does not fit.
bool expandEnvironmentStrings(String& text, int32_t maxChars = 31999);
// Tells the running programs that the system's environment variables changed
// (WM_SETTINGCHANGE "Environment"); a program that does not answer within a short time is
// skipped.
void broadcastEnvironmentChange();

}  // namespace tessarin
