// The reboot.dat marker: an empty file in the install folder that exists until the next
// restart, so that an outside observer can tell that a restart is still pending. Nothing in
// the program reads it.
#pragma once

#include <cstdint>

#include "core/string.h"

namespace tessarin {

// ProductFlags high word 0x200000 asks for the marker.
inline constexpr uint64_t kFlagsRebootMarker = uint64_t(0x200000) << 32;
inline constexpr const char16_t* kRebootMarkerName = u"reboot.dat";

// When productFlags asks for it: creates an empty reboot.dat in installDir and schedules its
// deletion at the next restart. True when both were done (Windows only).
bool placeRebootMarker(uint64_t productFlags, const String& installDir);

}  // namespace tessarin
