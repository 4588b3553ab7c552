// The uninstaller's end on a real prefix: a copy of self_remover (a program that calls
// RemoveUninstaller) runs from a scratch uninstall folder; when it has exited its folders are
// gone, and its file goes once the hidden script has run, with the script and the private
// folder that held both. What another user put in the temporary folder or in the folder the
// uninstaller was started in is neither overwritten nor run.
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

// The names in the temporary folder.
std::string utf8(const std::u16string& text) {
    return std::string(text.begin(), text.end());  // for messages: the names here are ASCII
}

std::set<std::u16string> temporaryNames() {
    std::set<std::u16string> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(w(tempFolder() + u"*"), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        names.insert(reinterpret_cast<char16_t*>(found.cFileName));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// Runs the program in the folder (the test's own current folder when empty) and returns its
// exit code once it has ended.
DWORD runToEnd(std::u16string commandLine, const std::u16string& folder) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, const_cast<wchar_t*>(w(commandLine)), nullptr, nullptr, FALSE, 0,
                        nullptr, folder.empty() ? nullptr : w(folder), &startup, &process)) {
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
    enum class StartedIn { TestsFolder, UninstallFolder, PlantedFolder };
    struct Case {
        const char* name;
        const char16_t* subdir;
        const char16_t* keptFile;  // relative to the install folder; empty: none
        StartedIn folder;
    } cases[] = {
        {"two levels", u"Uninstall\\Data", u"", StartedIn::TestsFolder},
        {"no subfolder", u"", u"", StartedIn::TestsFolder},
        {"a file that stays", u"Uninstall\\Data", u"Uninstall\\kept.txt", StartedIn::TestsFolder},
        // Its current folder would keep the folder, and the script would inherit it.
        {"started in the uninstall folder", u"Uninstall\\Data", u"", StartedIn::UninstallFolder},
        // The interpreter looks for CHOICE and ping in its current folder first. (Wine's takes
        // both from the system whatever that folder holds, so only Windows shows this case.)
        {"started beside planted programs", u"Uninstall", u"", StartedIn::PlantedFolder},
    };
    // A script of a fixed name that another user made first, and kept the right to change.
    const std::u16string plantedScript = tempFolder() + u"delunins.bat";
    ASSERT_TRUE(testing::put(plantedScript, "echo planted\r\n"));
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
        std::u16string planted = scratch / u"planted";
        std::u16string marker = scratch / u"marker.txt";  // ASCII: the scratch folder's name
        ASSERT_TRUE(CreateDirectoryW(w(planted), nullptr));
        for (const char16_t* program : {u"\\CHOICE.bat", u"\\ping.bat"}) {
            std::string line = "echo ran> \"" + utf8(marker) + "\"\r\n";
            ASSERT_TRUE(testing::put(planted + program, line));
        }
        std::u16string startIn = c.folder == StartedIn::UninstallFolder ? home
                                 : c.folder == StartedIn::PlantedFolder ? planted
                                                                        : u"";

        std::set<std::u16string> before = temporaryNames();
        ASSERT_EQ(runToEnd(u"\"" + program + u"\" \"" + app + u"\" \"" + subdir + u"\"", startIn),
                  0u);

        EXPECT_FALSE(present(program));
        if (kept.empty()) {
            EXPECT_FALSE(present(app));
        } else {
            EXPECT_FALSE(present(home));
            EXPECT_EQ(testing::get(app + u"\\" + kept), "keep");
        }
        // The moved file waits in a new folder of its own in the temporary folder, the script
        // beside it under a name made from the folder's; both go when the script has run.
        std::set<std::u16string> added;
        for (const std::u16string& name : temporaryNames()) {
            if (before.count(name) == 0) added.insert(name);
        }
        ASSERT_FALSE(added.empty());
        std::u16string folder = *added.begin();  // "TSN…" sorts before "delunins-…"
        EXPECT_EQ(folder.substr(0, 3), u"TSN");
        EXPECT_EQ(GetFileAttributesW(w(tempFolder() + folder)) & FILE_ATTRIBUTE_DIRECTORY,
                  DWORD{FILE_ATTRIBUTE_DIRECTORY});
        for (const std::u16string& name : added) {
            EXPECT_TRUE(name == folder || name == u"delunins-" + folder + u".bat") << utf8(name);
            waitUntilGone(tempFolder() + name);
        }
        // The script's "rd" lines leave a folder that still holds a file.
        if (!kept.empty()) {
            EXPECT_EQ(testing::get(app + u"\\" + kept), "keep");
        }
        EXPECT_FALSE(present(marker));
        EXPECT_EQ(testing::get(plantedScript), "echo planted\r\n");
    }
    DeleteFileW(w(plantedScript));
}

}  // namespace
}  // namespace tessarin
