// desktop_keeper.exe - holds one hidden top-level window for the length of a test run.
//
// Wine closes its desktop process shortly after the last program with windows ends, and a
// program started in that moment can end up with its windows on the dying desktop, where no
// other process finds them. Keeping one window alive keeps one desktop for the whole run.
// The test harness starts it after the prefix and stops it with the wineserver.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.lpszClassName = L"TessarinDesktopKeeper";
    if (!RegisterClassW(&wc)) return 1;
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 1, 1, nullptr,
                                  nullptr, instance, nullptr);
    if (!window) return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
