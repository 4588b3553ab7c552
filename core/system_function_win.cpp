#include "core/system_function_win.h"

#include <cwchar>

namespace tessarin {
namespace {

constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCWSTR);

// kernel32 is in every process, so looking into it loads nothing.
FARPROC kernelFunction(const char* name) {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel != nullptr ? GetProcAddress(kernel, name) : nullptr;
}

// The search flags of LoadLibraryExW came with AddDllDirectory (Windows 8, and Windows Vista
// and 7 with their update); older systems refuse the flags.
bool searchFlagsUnderstood() {
    static const bool understood = kernelFunction("AddDllDirectory") != nullptr;
    return understood;
}

HMODULE loadFromSystemFolderWide(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    UINT folder = GetSystemDirectoryW(path, MAX_PATH);
    size_t length = std::wcslen(name);
    if (folder == 0 || folder >= MAX_PATH || folder + 1 + length >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return nullptr;
    }
    path[folder] = L'\\';
    std::wmemcpy(path + folder + 1, name, length + 1);
    return LoadLibraryW(path);
}

// Systems without UTF-16 file functions: the names of system libraries are ASCII.
HMODULE loadFromSystemFolderNarrow(const wchar_t* name) {
    char path[MAX_PATH];
    UINT folder = GetSystemDirectoryA(path, MAX_PATH);
    size_t length = std::wcslen(name);
    if (folder == 0 || folder >= MAX_PATH || folder + 1 + length >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return nullptr;
    }
    path[folder] = '\\';
    for (size_t i = 0; i <= length; ++i)
        path[folder + 1 + i] = name[i] < 0x80 ? static_cast<char>(name[i]) : '_';
    return LoadLibraryA(path);
}

}  // namespace

HMODULE loadSystemLibrary(const wchar_t* name) {
    if (searchFlagsUnderstood()) return LoadLibraryExW(name, nullptr, kSearchSystem32);
    return loadSystemLibraryByPath(name);
}

HMODULE loadSystemLibraryByPath(const wchar_t* name) {
    HMODULE module = loadFromSystemFolderWide(name);
    if (module == nullptr && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED)
        module = loadFromSystemFolderNarrow(name);
    return module;
}

void restrictLibrarySearch() {
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(kernelFunction("SetDefaultDllDirectories")));
    if (setDefault != nullptr && setDefault(kSearchSystem32)) return;
    auto setDirectory = reinterpret_cast<SetDllDirectoryFunction>(
        reinterpret_cast<void*>(kernelFunction("SetDllDirectoryW")));
    if (setDirectory != nullptr) setDirectory(L"");
}

}  // namespace tessarin
