#include <windows.h>

#include "core/chars.h"
#include "core/convert.h"
#include "core/system_error.h"

namespace tessarin {

String systemErrorText(uint32_t error) {
    if (error == 0) return String();
    if (error == ERROR_INVALID_PASSWORD) return String(u"Incorrect password.");
    wchar_t* text = nullptr;
    DWORD chars = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
        nullptr, error, 0x400, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    String result;
    if (chars != 0 && text != nullptr) {
        const char16_t* wide = reinterpret_cast<const char16_t*>(text);
        int32_t n = static_cast<int32_t>(chars);
        while (n > 0 && isWhiteSpace(wide[n - 1])) --n;
        result.assignWide(wide, n);
    }
    if (text != nullptr) LocalFree(text);
    return result;
}

String systemErrorText8(uint32_t error) {
    String wide = systemErrorText(error);
    String narrow;
    if (!wide.empty()) toNarrow(wide.w_str(), wide.wideLength(), narrow, kCodePageSystem, "?");
    return narrow;
}

}  // namespace tessarin
