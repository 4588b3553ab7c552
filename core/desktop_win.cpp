#include <windows.h>
// After windows.h, which it needs.
#include <mmsystem.h>

#include "core/desktop.h"
#include "core/handle_win.h"
#include "core/system_function_win.h"

namespace tessarin {

namespace {

Handle& instanceMutex() {
    static Handle mutex;
    return mutex;
}

BOOL CALLBACK collectWindow(HWND window, LPARAM context) {
    auto* list = reinterpret_cast<std::vector<TopLevelWindow>*>(context);
    TopLevelWindow w;
    w.window = window;
    char text[512];
    int n = GetClassNameA(window, text, sizeof(text));
    w.className.assign(text, n > 0 ? n : 0);
    n = GetWindowTextA(window, text, sizeof(text));
    w.title.assign(text, n > 0 ? n : 0);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    w.processId = process;
    list->push_back(std::move(w));
    return TRUE;
}

}  // namespace

bool takeSingleInstanceMutex(const char16_t* name) {
    Handle& mutex = instanceMutex();
    if (mutex) return true;
    Handle opened(CreateMutexW(nullptr, FALSE, reinterpret_cast<const wchar_t*>(name)));
    if (!opened) return false;
    DWORD wait = WaitForSingleObject(opened.get(), 0);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) return false;
    mutex = std::move(opened);
    return true;
}

void releaseSingleInstanceMutex() {
    Handle& mutex = instanceMutex();
    if (mutex) ReleaseMutex(mutex.get());
    mutex.reset();
}

std::vector<TopLevelWindow> topLevelWindows() {
    std::vector<TopLevelWindow> list;
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&list));
    return list;
}

uint32_t currentProcessId() {
    return GetCurrentProcessId();
}

bool windowExists(void* window) {
    return IsWindow(static_cast<HWND>(window)) != FALSE;
}

void bringWindowForward(void* window) {
    HWND w = static_cast<HWND>(window);
    if (IsIconic(w)) ShowWindow(w, SW_RESTORE);
    ShowWindow(w, SW_SHOW);
    SetForegroundWindow(w);
}

bool postCloseMessage(void* window) {
    return PostMessageW(static_cast<HWND>(window), WM_CLOSE, 0, 0) != FALSE;
}

bool postQuitMessage(void* window) {
    return PostMessageW(static_cast<HWND>(window), WM_QUIT, 0, 0) != FALSE;
}

bool terminateProcessById(uint32_t processId, unsigned exitCode) {
    Handle process(OpenProcess(PROCESS_TERMINATE, FALSE, processId));
    return process && TerminateProcess(process.get(), exitCode) != FALSE;
}

bool playSoundFromMemory(const String& wave) {
    using PlaySoundFunction = BOOL(WINAPI*)(LPCWSTR, HMODULE, DWORD);
    static PlaySoundFunction play = systemFunction<PlaySoundFunction>(L"winmm.dll", "PlaySoundW");
    if (play == nullptr || wave.empty()) return false;
    return play(reinterpret_cast<LPCWSTR>(wave.c_str()), nullptr,
                SND_MEMORY | SND_ASYNC | SND_NODEFAULT) != FALSE;
}

}  // namespace tessarin
