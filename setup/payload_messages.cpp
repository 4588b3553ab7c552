#include "core/format.h"
#include "setup/payload.h"
#include "setup/payload_format.h"

namespace tessarin {

String corruptionMessage(int code, const String& scriptMessage13) {
    if (!scriptMessage13.empty()) return format(scriptMessage13.c_str(), code);
    return format(
        "This installation program is corrupt.  This is usually caused by a faulty download, but "
        "it can also be caused by a virus on your computer.  The installation cannot proceed."
        "\r\n\r\nDelete the corrupted installer (to prevent caching), then re-download it.  If the "
        "problem persists, check your system for viruses.\r\n\r\nError code: %d",
        code);
}

String versionMismatchMessage(const String& foundVersion) {
    return format(
        "The installer version (%s) does not match the version of %s (%s).  Close all "
        "applications and reinstall %s.",
        kBuilderVersion, "Tessarin Setup", foundVersion.c_str(), "Tessarin Setup");
}

}  // namespace tessarin
