// WOW64 file-system redirection against the prefix's real system folders: the installer is a
// 32-bit process, so on 64-bit Windows "system32" shows the 32-bit files until redirection is
// switched off. Its 64-bit build sees the native folder without redirection.
#include "core/wow64.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace tessarin {
namespace {

// The machine field of a PE file's header, 0 when the file cannot be read.
uint16_t machineOf(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    unsigned char head[4096] = {};
    DWORD got = 0;
    ReadFile(file, head, sizeof head, &got, nullptr);
    CloseHandle(file);
    if (got < 64) return 0;
    DWORD pe = head[60] | head[61] << 8;
    if (pe + 6 > got) return 0;
    return static_cast<uint16_t>(head[pe + 4] | head[pe + 5] << 8);
}

TEST(Wow64, RedirectionOffShowsTheNativeSystemFolder) {
    wchar_t windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    std::wstring kernel = std::wstring(windows) + L"\\system32\\kernel32.dll";
    if (sizeof(void*) == 8) {
        // A 64-bit process sees the native system folder as it is; the 32-bit files, where the
        // prefix has them, are in SysWOW64.
        EXPECT_EQ(machineOf(kernel), IMAGE_FILE_MACHINE_AMD64);
        uint16_t wow = machineOf(std::wstring(windows) + L"\\syswow64\\kernel32.dll");
        if (wow != 0) {
            EXPECT_EQ(wow, IMAGE_FILE_MACHINE_I386);
        }
        GTEST_SKIP() << "a 64-bit process: file-system redirection does not apply to it";
    }
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    if (!wow64) GTEST_SKIP() << "the prefix is 32-bit: there is no redirection to switch off";
    EXPECT_EQ(machineOf(kernel), IMAGE_FILE_MACHINE_I386);

    void* old = nullptr;
    ASSERT_TRUE(disableFileSystemRedirection(old));
    EXPECT_EQ(machineOf(kernel), IMAGE_FILE_MACHINE_AMD64);
    ASSERT_TRUE(revertFileSystemRedirection(old));
    EXPECT_EQ(machineOf(kernel), IMAGE_FILE_MACHINE_I386);
}

}  // namespace
}  // namespace tessarin
