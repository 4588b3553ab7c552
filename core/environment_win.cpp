// Environment variables through the system.
#include <windows.h>

#include "core/environment.h"
#include "core/wide_win.h"

namespace tessarin {
bool environmentVariable(const char16_t* name, String& value) {
    constexpr DWORD kLimit = 65536;
    value.clear();
    DWORD needed = GetEnvironmentVariableW(win(name), nullptr, 0);
    if (needed == 0) return false;
    if (needed >= kLimit) return false;
    // The variable may change between the two calls; a second sizing covers that.
    for (int attempt = 0; attempt < 2; ++attempt) {
        value.setWideLength(static_cast<int32_t>(needed));
        SetLastError(ERROR_SUCCESS);
        DWORD got = GetEnvironmentVariableW(win(name), win(value.wideData()), needed);
        if (got == 0 && GetLastError() != ERROR_SUCCESS) break;
        if (got < needed) {
            value.setWideLength(static_cast<int32_t>(got));
            return true;
        }
        needed = got;
        if (needed >= kLimit) break;
    }
    value.clear();
    return false;
}

bool expandEnvironmentStrings(String& text, int32_t maxChars) {
    String result;
    result.setWideLength(maxChars + 1);
    DWORD n = ExpandEnvironmentStringsW(win(text.w_str()), win(result.wideData()),
                                        static_cast<DWORD>(maxChars + 1));
    if (n == 0 || n > static_cast<DWORD>(maxChars + 1)) return false;
    result.setWideLength(static_cast<int32_t>(n - 1));
    text = static_cast<String&&>(result);
    return true;
}

void broadcastEnvironmentChange() {
    // Hung windows would otherwise hold the caller for the whole timeout each.
    constexpr UINT kTimeoutMs = 1000;
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                        reinterpret_cast<LPARAM>(L"Environment"), SMTO_ABORTIFHUNG, kTimeoutMs,
                        &result);
}

}  // namespace tessarin
