#include <ole2.h>
#include <windows.h>

#include "core/dialog.h"
#include "core/handle_win.h"
#include "core/process.h"

namespace tessarin {

String currentCommandLine() {
    return String(reinterpret_cast<const char16_t*>(GetCommandLineW()));
}

String currentModulePath() {
    String path;
    for (DWORD size = MAX_PATH;; size *= 2) {
        path.setWideLength(static_cast<int32_t>(size));
        DWORD n = GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(path.wideData()), size);
        if (n == 0) {
            path.clear();
            return path;
        }
        if (n < size) {
            path.setWideLength(static_cast<int32_t>(n));
            return path;
        }
    }
}

const void* currentImageBase() {
    return GetModuleHandleW(nullptr);
}

bool enablePrivilege(const char16_t* name) {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw))
        return false;
    Handle token(raw);
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueW(nullptr, reinterpret_cast<const wchar_t*>(name),
                               &privileges.Privileges[0].Luid))
        return false;
    if (!AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr)) return false;
    return GetLastError() == ERROR_SUCCESS;
}

void failCriticalErrorsQuietly() {
    SetErrorMode(SetErrorMode(0) | SEM_FAILCRITICALERRORS);
}

bool initializeOle() {
    return SUCCEEDED(OleInitialize(nullptr));
}

void uninitializeOle() {
    OleUninitialize();
}

void dispatchPendingMessages() {
    while (pumpOneMessage(nullptr)) {
    }
}

void exitProcess(unsigned code) {
    ExitProcess(code);
}

void terminateProcess(unsigned code) {
    TerminateProcess(GetCurrentProcess(), code);
    ExitProcess(code);
}

}  // namespace tessarin
