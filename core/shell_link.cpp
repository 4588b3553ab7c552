// The naming and field rules of shortcut files.
#include "core/shell_link.h"

namespace tessarin {
namespace {

constexpr int kShowMaximized = 3;      // SW_SHOWMAXIMIZED
constexpr int kShowMinNoActivate = 7;  // SW_SHOWMINNOACTIVE

}  // namespace

String linkFileName(const String& name) {
    String result = name;
    int32_t n = result.wideLength();
    String tail;
    if (n >= 4) result.substringWide(tail, n - 4, 4);
    if (!tail.equalsNoCaseWide(u".lnk")) result.appendWide(u".LNK");
    return result;
}

String shortcutWorkingFolder(const String& folder) {
    String result = folder;
    result.trimWide(u" \t\r\n");
    result.removeBackWideChar(u'\\');
    if (result.wideLength() == 2 && result.getWide(1) == u':') result.appendWideChar(u'\\');
    return result;
}

int shortcutShowCommand(uint32_t options) {
    if (options & kShortcutMinimized) return kShowMinNoActivate;
    if (options & kShortcutMaximized) return kShowMaximized;
    return 0;
}

}  // namespace tessarin
