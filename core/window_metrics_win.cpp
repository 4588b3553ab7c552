#include <windows.h>

#include "core/dialog.h"
#include "core/system_function_win.h"
#include "core/ui.h"

namespace tessarin {
namespace {

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
using DwmGetWindowAttributeFunction = HRESULT(WINAPI*)(HWND, DWORD, PVOID, DWORD);

constexpr int kEffectiveDpi = 0;           // MDT_EFFECTIVE_DPI
constexpr DWORD kExtendedFrameBounds = 9;  // DWMWA_EXTENDED_FRAME_BOUNDS

// The functions of newer systems, looked up once; each stays null where the system lacks it.
// The libraries stay loaded for the process.
struct OptionalFunctions {
    GetDpiForWindowFunction getDpiForWindow = nullptr;
    GetDpiForMonitorFunction getDpiForMonitor = nullptr;
    DwmGetWindowAttributeFunction dwmGetWindowAttribute = nullptr;
};

const OptionalFunctions& optionalFunctions() {
    static const OptionalFunctions functions = [] {
        OptionalFunctions f;
        f.getDpiForWindow =
            systemFunction<GetDpiForWindowFunction>(L"user32.dll", "GetDpiForWindow");
        f.getDpiForMonitor =
            systemFunction<GetDpiForMonitorFunction>(L"shcore.dll", "GetDpiForMonitor");
        f.dwmGetWindowAttribute =
            systemFunction<DwmGetWindowAttributeFunction>(L"dwmapi.dll", "DwmGetWindowAttribute");
        return f;
    }();
    return functions;
}

uint32_t screenDpi() {
    HDC screen = GetDC(nullptr);
    if (!screen) return 96;
    int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<uint32_t>(dpi) : 96;
}

}  // namespace

void initializeDialogFramework(const String& title, const String& titleWide) {
    setProgramTitles(title, titleWide);
    optionalFunctions();
}

uint32_t windowDpi(void* window) {
    const OptionalFunctions& f = optionalFunctions();
    HWND hwnd = static_cast<HWND>(window);
    if (hwnd && f.getDpiForWindow) {
        if (UINT dpi = f.getDpiForWindow(hwnd)) return dpi;
    }
    if (hwnd && f.getDpiForMonitor) {
        UINT x = 0, y = 0;
        HMONITOR monitor = MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST);
        if (monitor && SUCCEEDED(f.getDpiForMonitor(monitor, kEffectiveDpi, &x, &y)) && x) return x;
    }
    return screenDpi();
}

bool windowFrameBounds(void* window, Rect& bounds) {
    const OptionalFunctions& f = optionalFunctions();
    HWND hwnd = static_cast<HWND>(window);
    RECT r;
    if (!(f.dwmGetWindowAttribute &&
          SUCCEEDED(f.dwmGetWindowAttribute(hwnd, kExtendedFrameBounds, &r, sizeof r))) &&
        !GetWindowRect(hwnd, &r))
        return false;
    bounds = {r.left, r.top, r.right, r.bottom};
    return true;
}

}  // namespace tessarin
