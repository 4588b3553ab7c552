#include <windows.h>

#include "core/convert.h"
#include "core/file.h"
#include "core/path.h"
#include "core/wininit.h"

namespace tessarin {
namespace {

String wininitPath() {
    char folder[MAX_PATH];
    UINT n = GetWindowsDirectoryA(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return String();
    String wide;
    if (!toWide(folder, static_cast<int32_t>(n), wide, kCodePageSystem)) return String();
    return joinPath(wide, String(u"wininit.ini"));
}

}  // namespace

bool scheduleWininitRename(const char* target, const char* source) {
    SetLastError(ERROR_SUCCESS);
    if (target == nullptr || source == nullptr || target[0] == 0 || source[0] == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    String path = wininitPath();
    if (path.empty()) return false;
    File file;
    if (file.open(path.w_str(), kFileOpenAlways) != kFileOk) return false;
    String text;
    if (!file.readAll(text)) return false;
    addWininitRename(text, target, source);
    return file.writeAll(text);
}

}  // namespace tessarin
