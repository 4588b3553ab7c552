// The order in which each special folder's sources are tried, on a system whose answers the
// test chooses.
#include "core/special_folders.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "core/convert.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::fromUtf8;
using testing::utf8;

// Answers come from maps keyed by a readable source name: "csidl:38", "known:905E63B6",
// "HKLM:Common Startup", "HKCU:Desktop", "CV:ProgramFilesDir", "env:ProgramW6432".
class FakeSources : public FolderSources {
  public:
    std::map<std::string, std::string> answers;
    std::string windows = "C:\\windows";

    String shellFolder(int csidl) const override {
        return answer("csidl:" + std::to_string(csidl));
    }
    String knownFolder(const KnownFolderId& id) const override {
        char key[32];
        snprintf(key, sizeof key, "known:%08X", id.data1);
        return answer(key);
    }
    String registryText(RegistryRootKind root, const char16_t* key,
                        const char16_t* value) const override {
        std::string k = utf8(String(key));
        std::string prefix = root == RegistryRootKind::CurrentUser ? "HKCU:" : "HKLM:";
        if (k.find("Shell Folders") == std::string::npos) {
            prefix = k == "Software\\Microsoft\\Windows\\CurrentVersion" ? "CV:" : prefix + k + ":";
        }
        return answer(prefix + utf8(String(value)));
    }
    String environmentVariable(const char16_t* name) const override {
        return answer("env:" + utf8(String(name)));
    }
    String expandEnvironment(const String& text) const override {
        std::string t = utf8(text);
        size_t at = t.find("%SystemRoot%");
        if (at != std::string::npos) t.replace(at, 12, windows);
        return fromUtf8(t);
    }
    String windowsFolder() const override { return fromUtf8(windows); }

  private:
    String answer(const std::string& key) const {
        auto it = answers.find(key);
        return it == answers.end() ? String() : fromUtf8(it->second);
    }
};

std::string resolve(SpecialFolder f, const FakeSources& s) {
    return utf8(resolveSpecialFolder(f, s));
}

TEST(SpecialFolders, FirstSourceWithAnAnswerWins) {
    FakeSources s;
    EXPECT_EQ(resolve(SpecialFolder::ProgramFiles, s), "c:\\Program Files");
    s.answers["CV:ProgramFilesDir"] = "D:\\Apps\\";
    EXPECT_EQ(resolve(SpecialFolder::ProgramFiles, s), "D:\\Apps");
    s.answers["known:905E63B6"] = "E:\\Known";
    EXPECT_EQ(resolve(SpecialFolder::ProgramFiles, s), "E:\\Known");
    s.answers["csidl:38"] = "F:\\Shell";
    EXPECT_EQ(resolve(SpecialFolder::ProgramFiles, s), "F:\\Shell");
}

TEST(SpecialFolders, SixtyFourBitProgramFilesFallsBackToTheX86FolderWithoutItsSuffix) {
    FakeSources s;
    s.answers["csidl:42"] = "C:\\Program Files (x86)";
    EXPECT_EQ(resolve(SpecialFolder::ProgramFiles64, s), "C:\\Program Files");
    s.answers["env:ProgramW6432"] = "C:\\P64";
    EXPECT_EQ(resolve(SpecialFolder::ProgramFiles64, s), "C:\\P64");
    s.answers["csidl:44"] = "C:\\Program Files (x86)\\Common Files";
    EXPECT_EQ(resolve(SpecialFolder::CommonFiles64, s), "C:\\Program Files\\Common Files");
}

TEST(SpecialFolders, ShellFolderValuesKeepTheBackslashOfABareRootOnly) {
    FakeSources s;
    s.answers["HKCU:Desktop"] = "D:\\";
    EXPECT_EQ(resolve(SpecialFolder::Desktop, s), "D:\\");
    s.answers["HKCU:Desktop"] = "D:\\Users\\Me\\Desktop\\";
    EXPECT_EQ(resolve(SpecialFolder::Desktop, s), "D:\\Users\\Me\\Desktop");
}

TEST(SpecialFolders, LastResortsAreBuiltFromOtherFolders) {
    FakeSources s;
    struct Case {
        SpecialFolder folder;
        const char* expected;
    } cases[] = {
        {SpecialFolder::Desktop, "C:\\windows\\Desktop"},
        {SpecialFolder::DesktopAllUsers, "C:\\windows\\Desktop"},
        {SpecialFolder::Documents, "c:\\My Documents"},
        {SpecialFolder::Favorites, "C:\\windows\\Favorites"},
        {SpecialFolder::Fonts, "C:\\windows\\Fonts"},
        {SpecialFolder::StartMenu, "C:\\windows\\Start Menu"},
        {SpecialFolder::ProgramsMenu, "C:\\windows\\Start Menu\\Programs"},
        {SpecialFolder::Startup, "C:\\windows\\Start Menu\\Programs\\StartUp"},
        {SpecialFolder::StartupAllUsers, "C:\\windows\\Start Menu\\Programs\\StartUp"},
        {SpecialFolder::CommonFiles, "c:\\Program Files\\Common Files"},
        {SpecialFolder::AppData, "c:\\Program Files\\Common Files"},
        {SpecialFolder::DevicePath, "C:\\windows\\INF"},
        {SpecialFolder::Media, "C:\\windows\\Media"},
        {SpecialFolder::WebRoot, "c:\\Inetpub\\wwwroot"},
        {SpecialFolder::WebServer, "c:\\Inetpub"},
        {SpecialFolder::ProgramFiles32, ""},
        {SpecialFolder::System32Bit, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(resolve(c.folder, s), c.expected) << static_cast<int>(c.folder);
    }
}

TEST(SpecialFolders, AllUsersMenusComeFromTheCommonStartupFolderBeforeTheUsersOwn) {
    FakeSources s;
    s.answers["HKLM:Common Startup"] = "C:\\All\\Start Menu\\Programs\\Startup\\";
    EXPECT_EQ(resolve(SpecialFolder::StartMenuAllUsers, s), "C:\\All\\Start Menu");
    EXPECT_EQ(resolve(SpecialFolder::ProgramsMenuAllUsers, s), "C:\\All\\Start Menu\\Programs");
}

TEST(SpecialFolders, DevicePathTakesTheFirstFolderWithTheSystemRootFilledIn) {
    FakeSources s;
    s.answers["CV:DevicePath"] = "%systemroot%\\inf;D:\\drivers";
    EXPECT_EQ(resolve(SpecialFolder::DevicePath, s), "C:\\windows\\inf");
}

TEST(SpecialFolders, WebServerFolderIsTheParentOfTheWebRoot) {
    FakeSources s;
    s.answers["HKLM:SOFTWARE\\Microsoft\\INetStp:PathWWWRoot"] = "%SystemRoot%\\web\\root\\";
    EXPECT_EQ(resolve(SpecialFolder::WebRoot, s), "C:\\windows\\web\\root");
    EXPECT_EQ(resolve(SpecialFolder::WebServer, s), "C:\\windows\\web");
}

TEST(SpecialFolders, BitnessSelectorsAreNormalisedForTheSystem) {
    struct Case {
        int selector;
        bool is64;
        SpecialFolder folder;
    } cases[] = {
        {1, false, SpecialFolder::ProgramFiles},  {2, false, SpecialFolder::ProgramFiles},
        {4, false, SpecialFolder::ProgramFiles},  {1, true, SpecialFolder::ProgramFiles},
        {2, true, SpecialFolder::ProgramFiles64}, {3, true, SpecialFolder::ProgramFiles},
        {4, true, SpecialFolder::ProgramFiles64},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(programFilesFolderFor(c.selector, c.is64), c.folder)
            << c.selector << " " << c.is64;
    }
    EXPECT_EQ(commonFilesFolderFor(4, true), SpecialFolder::CommonFiles64);
    // A 64-bit process sees the 64-bit folders by default: the 32-bit selector is the x86 one.
    EXPECT_EQ(programFilesFolderFor(1, true, true), SpecialFolder::ProgramFiles32);
    EXPECT_EQ(commonFilesFolderFor(1, true, true), SpecialFolder::CommonFiles32);
    EXPECT_EQ(programFilesFolderFor(3, true, true), SpecialFolder::ProgramFiles);
    EXPECT_EQ(programFilesFolderFor(1, false, true), SpecialFolder::ProgramFiles);
}

}  // namespace
}  // namespace tessarin
