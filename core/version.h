// Version texts: comparison of free-form versions and the padded form that compares as plain
// text.
#pragma once

#include <cstdint>

#include "core/string.h"

namespace tessarin {

// Compares two version texts: negative when a is lower, 0 when equal, positive when a is
// higher. Digit runs are numbers, a letter is a suffix ("2.0b" > "2.0a" > "2.0"), and a longer
// list of numbers is higher ("1.2.0" > "1.2").
int compareVersions(const char* a, const char* b);
int compareVersionsWide(const char16_t* a, const char16_t* b);

// A FileVersion string as resources carry it ("1, 2, 0, 4") in dotted form ("1.2.0.4"):
// commas become dots, blanks and line breaks go.
String cleanVersionText(const char* text);
// Left-pads every dot-separated component with "0" to ten characters, so that two padded
// texts compare as plain text like their versions.
String comparableVersionText(const char* text);

}  // namespace tessarin
