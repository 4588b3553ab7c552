#include "core/file.h"
#include "core/file_system.h"
#include "core/path.h"
#include "services/reboot_marker.h"

namespace tessarin {

bool placeRebootMarker(uint64_t productFlags, const String& installDir) {
    if (!(productFlags & kFlagsRebootMarker)) return false;
    String marker = joinPath(installDir, String(kRebootMarkerName));
    return writeFile(marker, nullptr, 0) == kFileOk && deleteFile(marker, kDeleteAtReboot);
}

}  // namespace tessarin
