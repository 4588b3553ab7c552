#include "uninstall/self_removal.h"

#include <gtest/gtest.h>

#include <string>

#include "services/batch.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::bytes;
using testing::fromUtf8;
using testing::utf8;

const char* const kLoop =
    "set TessarinAttempts=0\r\n"
    ":Repeat\r\n"
    "del \"C:\\Temp\\TSN1\\unins000.exe\"\r\n"
    "set /a TessarinAttempts+=1\r\n"
    "if %TessarinAttempts% GEQ 180 goto GaveUp\r\n"
    "if exist \"C:\\Temp\\TSN1\\unins000.exe\" ping -n 2 127.0.0.1 >nul\r\n"
    "if exist \"C:\\Temp\\TSN1\\unins000.exe\" goto Repeat\r\n"
    ":GaveUp\r\n"
    "CHOICE /T 3 /D Y\r\n";

// After the install folder the private folder that held the moved executable goes; the script,
// beside it, deletes itself last.
const char* const kLastLines =
    "rd \"C:\\Temp\\TSN1\"\r\n"
    "del \"C:\\Temp\\delunins-TSN1.bat\"\r\n";

std::string script(const char* installDir, const char* subdir) {
    return utf8(selfRemovalScript(fromUtf8("C:\\Temp\\TSN1\\unins000.exe"), fromUtf8(installDir),
                                  fromUtf8(subdir), fromUtf8("C:\\Temp\\TSN1"),
                                  fromUtf8("C:\\Temp\\delunins-TSN1.bat")));
}

TEST(SelfRemovalScript, RemovesTheUninstallFoldersDeepestFirstThenTheInstallFolder) {
    struct Case {
        const char* subdir;
        const char* rdLines;
    } cases[] = {
        {"", ""},
        {"uninst", "rd \"C:\\App\\uninst\"\r\n"},
        {"a\\b", "rd \"C:\\App\\a\\b\"\r\nrd \"C:\\App\\a\"\r\n"},
        // A stored trailing backslash is kept on the first line only; rd takes both forms.
        {"a\\b\\", "rd \"C:\\App\\a\\b\\\"\r\nrd \"C:\\App\\a\"\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.subdir);
        EXPECT_EQ(script("C:\\App", c.subdir),
                  std::string(kLoop) + c.rdLines + "rd \"C:\\App\"\r\n" + kLastLines);
    }
}

// The script lies beside its private folder, named after it, so that its name is as new as
// the folder's.
TEST(SelfRemovalScript, LiesBesideThePrivateFolderUnderItsName) {
    for (const char* folder : {"C:\\Temp\\TSN1", "C:\\Temp\\TSN1\\"})
        EXPECT_EQ(utf8(selfRemovalScriptPath(fromUtf8(folder))), "C:\\Temp\\delunins-TSN1.bat")
            << folder;
}

TEST(SelfRemovalScript, StopsAfterFiftyUninstallFolders) {
    std::string deep;
    for (int i = 0; i < 60; ++i) deep += (i ? "\\d" : "d") + std::to_string(i);
    Vector<String> folders = uninstallFoldersDeepestFirst(fromUtf8("C:\\App"), fromUtf8(deep));
    ASSERT_EQ(folders.count(), 50);
    EXPECT_EQ(utf8(folders[0]), "C:\\App\\" + deep);
    EXPECT_EQ(utf8(folders[49]).rfind("\\d10"), utf8(folders[49]).size() - 4);
}

TEST(SelfRemovalScript, ConsoleEncodingFollowsTheFolderName) {
    String ascii =
        selfRemovalScript(fromUtf8("C:\\Temp\\TSN1\\unins000.exe"), fromUtf8("C:\\App"), String(),
                          fromUtf8("C:\\Temp\\TSN1"), fromUtf8("C:\\Temp\\delunins-TSN1.bat"));
    EXPECT_EQ(bytes(encodeForConsole(ascii, true)).rfind("@chcp 1252 >nul\r\nset ", 0), 0u);

    String named = selfRemovalScript(
        fromUtf8("C:\\Temp\\TSN1\\unins000.exe"), fromUtf8("C:\\Änderung ✓"), String(),
        fromUtf8("C:\\Temp\\TSN1"), fromUtf8("C:\\Temp\\delunins-TSN1.bat"));
    std::string utf8Console = bytes(encodeForConsole(named, true));
    EXPECT_EQ(utf8Console.rfind("@chcp 65001 >nul\r\n", 0), 0u);
    EXPECT_NE(utf8Console.find("rd \"C:\\Änderung ✓\"\r\n"), std::string::npos);
    // Before Windows 7 the console reads code page 1252: unconvertible characters become "?".
    std::string olderConsole = bytes(encodeForConsole(named, false));
    EXPECT_EQ(olderConsole.rfind("@chcp 1252 >nul\r\n", 0), 0u);
    EXPECT_NE(olderConsole.find("rd \"C:\\\xC4nderung ?\"\r\n"), std::string::npos);
}

// Only the uninstaller copy removes itself: an installer started with /u: from a downloads
// folder stays where the user keeps it.
TEST(SelfRemoval, OnlyTheInstalledUninstallerRemovesItself) {
    struct Case {
        const char* executable;
        const char* installDir;
        const char* subfolder;
        bool removes;
    } cases[] = {
        {"C:\\App\\Uninstall\\uninstall.exe", "C:\\App", "Uninstall", true},
        {"c:\\app\\uninstall\\UNINSTALL.EXE", "C:\\App\\", "Uninstall", true},
        {"C:\\App\\uninstall.exe", "C:\\App", "", true},
        {"C:\\App\\Sub\\..\\uninstall.exe", "C:\\App", "", true},
        {"C:\\Users\\Jo\\Downloads\\setup.exe", "C:\\App", "Uninstall", false},
        {"C:\\App\\setup.exe", "C:\\App", "Uninstall", false},
        {"C:\\App\\Uninstall\\Old\\uninstall.exe", "C:\\App", "Uninstall", false},
        {"uninstall.exe", "C:\\App", "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isInstalledUninstaller(fromUtf8(c.executable), fromUtf8(c.installDir),
                                         fromUtf8(c.subfolder)),
                  c.removes)
            << c.executable;
    }
}

}  // namespace
}  // namespace tessarin
