#include <windows.h>

#include "core/convert.h"
#include "core/dialog.h"
#include "core/fatal.h"
#include "core/system_function_win.h"
#include "core/ui.h"

namespace tessarin {
namespace {

HINSTANCE moduleOrProgram(void* module) {
    return module ? static_cast<HINSTANCE>(module) : GetModuleHandleW(nullptr);
}

// Systems without UTF-16 user-interface functions answer the wide calls with this error.
bool wideCallMissing() {
    return GetLastError() == ERROR_CALL_NOT_IMPLEMENTED;
}

bool wideName(const char* name, String& wide) {
    return toWide(name, kWholeLength, wide, kCodePageSystem) && !wide.empty();
}

bool g_quitRequested = false;

// Function pointers with the system's types are handed over as the framework's opaque types;
// the calling convention and the argument sizes are the same.
template <typename To, typename From>
To entryPoint(From function) {
    return reinterpret_cast<To>(reinterpret_cast<void*>(function));
}

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

PendingMessage pending(const MSG& msg) {
    return {msg.hwnd, msg.message, msg.wParam, msg.lParam};
}

void dispatch(MSG& msg) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

}  // namespace

DialogEntryPoints systemDialogEntryPoints() {
    DialogEntryPoints e;
    e.createWide = entryPoint<decltype(e.createWide)>(&CreateDialogParamW);
    e.createNarrow = entryPoint<decltype(e.createNarrow)>(&CreateDialogParamA);
    e.runWide = entryPoint<decltype(e.runWide)>(&DialogBoxParamW);
    e.runNarrow = entryPoint<decltype(e.runNarrow)>(&DialogBoxParamA);
    return e;
}

DialogEntryPoints& dialogEntryPoints() {
    static DialogEntryPoints entryPoints = systemDialogEntryPoints();
    return entryPoints;
}

void* createDialog(const char* templateName, void* owner, DialogProcedure procedure,
                   intptr_t parameter, void* module) {
    const DialogEntryPoints& e = dialogEntryPoints();
    HINSTANCE instance = moduleOrProgram(module);
    String wide;
    if (wideName(templateName, wide)) {
        SetLastError(ERROR_SUCCESS);
        void* dialog = e.createWide(instance, wide.w_str(), owner, procedure, parameter);
        if (dialog || !wideCallMissing()) return dialog;
    }
    return e.createNarrow(instance, templateName, owner, procedure, parameter);
}

// A modal dialog reports failure as -1 (or 0 for a bad owner), values a dialog may also end
// with; the last error is cleared first so that only the system's own failure counts.
intptr_t runDialog(const char* templateName, void* owner, DialogProcedure procedure,
                   intptr_t parameter, void* module) {
    const DialogEntryPoints& e = dialogEntryPoints();
    HINSTANCE instance = moduleOrProgram(module);
    String wide;
    if (wideName(templateName, wide)) {
        SetLastError(ERROR_SUCCESS);
        intptr_t result = e.runWide(instance, wide.w_str(), owner, procedure, parameter);
        if ((result != -1 && result != 0) || !wideCallMissing()) return result;
    }
    return e.runNarrow(instance, templateName, owner, procedure, parameter);
}

DialogBaseUnits dialogBaseUnits(void* dialog) {
    RECT r = {0, 0, 8192, 8192};
    if (!MapDialogRect(static_cast<HWND>(dialog), &r)) return {};
    return baseUnitsFromMapping(r.right - r.left, r.bottom - r.top);
}

DialogBaseUnits systemDialogBaseUnits() {
    LONG units = GetDialogBaseUnits();
    return {LOWORD(units), HIWORD(units)};
}

bool pumpOneMessage(void* window) {
    MSG msg;
    if (!PeekMessageW(&msg, static_cast<HWND>(window), 0, 0, PM_REMOVE)) return false;
    dispatch(msg);
    return true;
}

bool pumpFilteredMessage(void* window, MessageFilter filter, void* context) {
    MSG msg;
    while (PeekMessageW(&msg, static_cast<HWND>(window), 0, 0, PM_REMOVE)) {
        if (filter && !filter(pending(msg), context)) continue;
        dispatch(msg);
        return true;
    }
    return false;
}

// A WM_QUIT taken here would otherwise be lost to the loop that waits for it, so it is kept
// as the quit request.
bool pumpAllMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        dispatch(msg);
        if (msg.message == WM_QUIT) g_quitRequested = true;
        if (msg.message == WM_QUIT || msg.message == WM_DESTROY) return true;
    }
    return g_quitRequested;
}

void requestQuit(bool requested) {
    g_quitRequested = requested;
}

bool quitRequested() {
    return g_quitRequested;
}

// The fatal-message functions become the display of the library's fatal errors until the
// program installs a handler of its own.
void initializeDialogFramework(const String& title, const String& titleWide) {
    setProgramTitles(title, titleWide);
    setFatalErrorHandler(showFatalMessage, showFatalMessageWide);
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
