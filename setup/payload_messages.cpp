#include "core/format.h"
#include "setup/payload.h"
#include "setup/payload_format.h"

namespace tessarin {
namespace {

// The script's text is the publisher's, not a trusted format: "%d" takes the code and "%%" is a
// percent sign; any other "%" stays as written instead of reading arguments that do not exist.
String fillCode(const String& text, int code) {
    String out;
    const char* t = text.c_str();
    for (int32_t i = 0; i < text.length(); ++i) {
        if (t[i] == '%' && t[i + 1] == 'd') {
            formatAppend(out, "%d", code);
            ++i;
        } else if (t[i] == '%' && t[i + 1] == '%') {
            out.appendChar('%');
            ++i;
        } else {
            out.appendChar(t[i]);
        }
    }
    return out;
}

}  // namespace

String corruptionMessage(int code, const String& scriptMessage13) {
    if (!scriptMessage13.empty()) return fillCode(scriptMessage13, code);
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
