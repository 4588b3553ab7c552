// Runs the prefix's restart: wineboot -r carries out the reboot-time operations.
#pragma once

#include <windows.h>

namespace tessarin::testing {

inline bool restartPrefix() {
    wchar_t command[] = L"wineboot.exe -r";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code == 0;
}

}  // namespace tessarin::testing
