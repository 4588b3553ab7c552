// Starting a program through the desktop shell of the prefix.
#include "core/shell_launch.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <string>

#include "scratch_folder.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::S;

using testing::get;
using testing::ScratchFolder;

std::u16string systemFolder() {
    wchar_t buffer[MAX_PATH];
    UINT n = GetSystemDirectoryW(buffer, MAX_PATH);
    return std::u16string(reinterpret_cast<char16_t*>(buffer), n);
}

TEST(ShellLaunch, TheDesktopShellStartsTheProgramInTheFolderOrRefuses) {
    CoInitialize(nullptr);
    ScratchFolder scratch(u"tessarin-shell-launch-");
    bool started = launchThroughDesktopShell(S(systemFolder() + u"\\cmd.exe"),
                                             S(u"/c echo started> started.txt"), S(scratch.path()));
    if (!started) {
        CoUninitialize();
        // Windows' Explorer always answers; a prefix whose desktop has no shell view cannot,
        // and the caller then starts the program itself.
        GTEST_SKIP() << "the prefix's desktop offers no shell view to start programs through";
    }
    // The shell starts the program on its own; wait for its line, up to the harness's limit.
    std::u16string file = scratch / u"started.txt";
    for (int i = 0; i < 600 && get(file) != "started\r\n"; ++i) Sleep(50);
    EXPECT_EQ(get(file), "started\r\n");
    CoUninitialize();
}

}  // namespace
}  // namespace tessarin
