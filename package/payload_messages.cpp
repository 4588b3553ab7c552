#include "core/convert.h"
#include "core/format.h"
#include "package/payload.h"
#include "package/payload_format.h"

namespace tessarin {
namespace {

// The script's text is the publisher's, not a trusted format: "%d" takes the code and "%%" is a
// percent sign; any other "%" stays as written instead of reading arguments that do not exist.
String fillCode(const String& text, int code) {
    String out;
    const char16_t* t = text.w_str();
    for (int32_t i = 0; i < text.wideLength(); ++i) {
        if (t[i] == u'%' && t[i + 1] == u'd') {
            appendDecimalWide(out, code);
            ++i;
        } else if (t[i] == u'%' && t[i + 1] == u'%') {
            out.appendWideChar(u'%');
            ++i;
        } else {
            out.appendWideChar(t[i]);
        }
    }
    return out;
}

}  // namespace

String corruptionMessage(int code, const String& scriptMessage13) {
    if (!scriptMessage13.empty()) return fillCode(scriptMessage13, code);
    return formatWide(
        u"This installation program is corrupt.  This is usually caused by a faulty download, but "
        u"it can also be caused by a virus on your computer.  The installation cannot proceed."
        u"\r\n\r\nDelete the corrupted installer (to prevent caching), then re-download it.  If "
        u"the problem persists, check your system for viruses.\r\n\r\nError code: %d",
        code);
}

String selfOpenFailureMessage(const String& path, uint32_t error, const String& errorText) {
    return formatWide(
        u"Error code 1: The installer could not open itself.\r\nFilename: %s\r\nError #%d: %s",
        path.w_str(), static_cast<int>(error), errorText.w_str());
}

String versionMismatchMessage(const String& foundVersion) {
    return format(
        "The installer version (%s) does not match the version of %s (%s).  Close all "
        "applications and reinstall %s.",
        kBuilderVersion, "Tessarin Setup", foundVersion.c_str(), "Tessarin Setup");
}

}  // namespace tessarin
