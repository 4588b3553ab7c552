// The uninstaller's end on a real prefix: a copy of self_remover (a program that calls
// RemoveUninstaller) runs from a scratch uninstall folder; when it has exited its folders are
// gone, and its file goes once the hidden script has run.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "scratch_folder.h"

namespace tessarin {
namespace {

using testing::present;
using testing::ScratchFolder;
using testing::w;

std::u16string beside(const std::u16string& leaf) {
    wchar_t buffer[MAX_PATH + 1];
    DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH + 1);
    std::u16string path(reinterpret_cast<char16_t*>(buffer), n);
    return path.substr(0, path.rfind(u'\\') + 1) + leaf;
}

std::u16string tempFolder() {
    wchar_t buffer[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    return std::u16string(reinterpret_cast<char16_t*>(buffer), n);
}

std::set<std::u16string> temporaryNames() {
    std::set<std::u16string> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(w(tempFolder() + u"OQT*.tmp"), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        names.insert(reinterpret_cast<char16_t*>(found.cFileName));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// Runs the program and returns its exit code once it has ended.
DWORD runToEnd(std::u16string commandLine) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, const_cast<wchar_t*>(w(commandLine)), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process)) {
        return 0xFFFFFFFF;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

// Waits (bounded by the test's own timeout) until the path is gone.
void waitUntilGone(const std::u16string& path) {
    while (present(path)) Sleep(50);
}

TEST(SelfRemoval, FoldersAreGoneWhenTheUninstallerHasExitedAndItsFileAfterTheScript) {
    struct Case {
        const char* name;
        const char16_t* subdir;
        const char16_t* keptFile;  // relative to the install folder; empty: none
    } cases[] = {
        {"two levels", u"Uninstall\\Data", u""},
        {"no subfolder", u"", u""},
        {"a file that stays", u"Uninstall\\Data", u"Uninstall\\kept.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder scratch(u"selfrm");
        std::u16string app = scratch / u"App ü";
        std::u16string subdir = c.subdir;
        std::u16string home = subdir.empty() ? app : app + u"\\" + subdir;
        for (size_t at = scratch.path().size() + 1; at != std::u16string::npos;) {
            at = home.find(u'\\', at + 1);
            CreateDirectoryW(w(home.substr(0, at)), nullptr);
        }
        ASSERT_TRUE(present(home));
        std::u16string program = home + u"\\unins000.exe";
        ASSERT_TRUE(CopyFileW(w(beside(u"self_remover.exe")), w(program), FALSE));
        std::u16string kept = c.keptFile;
        if (!kept.empty()) {
            ASSERT_TRUE(testing::put(app + u"\\" + kept, "keep"));
        }

        std::set<std::u16string> before = temporaryNames();
        ASSERT_EQ(runToEnd(u"\"" + program + u"\" \"" + app + u"\" \"" + subdir + u"\""), 0u);

        EXPECT_FALSE(present(program));
        if (kept.empty()) {
            EXPECT_FALSE(present(app));
        } else {
            EXPECT_FALSE(present(home));
            EXPECT_EQ(testing::get(app + u"\\" + kept), "keep");
        }
        // The moved file waits in the temporary folder for the script, which then goes too.
        std::set<std::u16string> added;
        for (const std::u16string& name : temporaryNames()) {
            if (before.count(name) == 0) added.insert(name);
        }
        ASSERT_EQ(added.size(), 1u);
        waitUntilGone(tempFolder() + *added.begin());
        waitUntilGone(tempFolder() + u"delunins.bat");
        // The script's "rd" lines leave a folder that still holds a file.
        if (!kept.empty()) {
            EXPECT_EQ(testing::get(app + u"\\" + kept), "keep");
        }
    }
}

}  // namespace
}  // namespace tessarin
