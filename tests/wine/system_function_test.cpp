// System libraries are taken from the system folder, never from the program's own folder.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "core/system_function_win.h"

namespace tessarin {
namespace {

std::wstring lower(std::wstring text) {
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

std::wstring systemFolder() {
    wchar_t path[MAX_PATH];
    UINT n = GetSystemDirectoryW(path, MAX_PATH);
    return lower(std::wstring(path, n)) + L"\\";
}

std::wstring modulePath(HMODULE module) {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
    return lower(std::wstring(path, n));
}

using Loader = HMODULE (*)(const wchar_t*);

TEST(SystemLibraries, LoadedFromTheSystemFolderOnly) {
    // planted_library.dll lies beside this program: a search by name would find it there.
    wchar_t found[MAX_PATH];
    ASSERT_NE(SearchPathW(nullptr, L"planted_library.dll", nullptr, MAX_PATH, found, nullptr), 0u);
    for (Loader load : {Loader(loadSystemLibrary), Loader(loadSystemLibraryByPath)}) {
        HMODULE module = load(L"msimg32.dll");
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(modulePath(module), systemFolder() + L"msimg32.dll");
        FreeLibrary(module);
        SetLastError(0);
        EXPECT_EQ(load(L"planted_library.dll"), nullptr);
        EXPECT_NE(GetLastError(), 0u);
    }
    EXPECT_EQ(GetModuleHandleW(L"planted_library.dll"), nullptr);
}

}  // namespace
}  // namespace tessarin
