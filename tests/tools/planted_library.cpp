// planted_library.dll - copied under the names of system libraries beside a program by the
// library-search test. Once loaded into a process it leaves a mark: a file named after itself
// with ".loaded" added (for example C:\test\dwmapi.dll.loaded), holding the loading program's
// path.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t mark[MAX_PATH + 8], program[MAX_PATH];
    DWORD n = GetModuleFileNameW(self, mark, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return TRUE;
    lstrcatW(mark, L".loaded");
    DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
    HANDLE file =
        CreateFileW(mark, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, program, length * sizeof(wchar_t), &written, nullptr);
        CloseHandle(file);
    }
    return TRUE;
}
