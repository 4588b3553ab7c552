// Special folders, OS facts and path variables in the test prefix: a 64-bit Wine prefix in
// which this program runs under WOW64 (the 32-bit build) or natively (the 64-bit build).
#include "core/special_folders.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "core/convert.h"
#include "core/environment.h"
#include "core/os_info.h"
#include "package/install_script.h"
#include "services/path_variables.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::fromUtf8;
using testing::utf8;

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

bool isFolder(const String& path) {
    DWORD a = GetFileAttributesW(reinterpret_cast<const wchar_t*>(path.w_str()));
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string variable(const char* name) {
    String v;
    environmentVariable(fromUtf8(name).w_str(), v);
    return utf8(v);
}

std::string expanded(const char* text) {
    String s = fromUtf8(text);
    expandPathVariables(s);
    return utf8(s);
}

TEST(WineSystem, OsRecordAndNameTellWineAndItsVersion) {
    const OsRecord& os = osRecord();
    ASSERT_FALSE(os.wineVersion.empty()) << "not running under Wine";
    EXPECT_EQ(os.platform, kPlatformNt);
    EXPECT_TRUE(os.is64Bit) << "the test prefix is 64-bit";
    std::string name = osName(0).c_str();
    EXPECT_EQ(
        name.rfind(std::string("WINE ") + os.wineVersion.c_str() + " reporting as Windows ", 0), 0u)
        << name;
    EXPECT_NE(name.find(" x64"), std::string::npos) << name;
    std::string shortName = osName(kOsNameShort).c_str();
    EXPECT_EQ(shortName.find("WINE"), std::string::npos);
    EXPECT_EQ(shortName.find("Windows"), std::string::npos);
    EXPECT_EQ(&osRecord(), &os);
}

TEST(WineSystem, ProgramFilesFoldersFollowTheBitness) {
    String p32 = programFilesFolder(kBitnessSelector32);
    String p64 = programFilesFolder(kBitnessSelector64);
    String native = programFilesFolder(kBitnessSelectorNative);
    String seen = programFilesFolder(kBitnessSelectorDefault);
    EXPECT_EQ(lower(utf8(p64)), "c:\\program files");
    EXPECT_EQ(lower(utf8(p32)), "c:\\program files (x86)");
    EXPECT_EQ(utf8(native), utf8(p64));
    if (sizeof(void*) == 4) {
        EXPECT_EQ(utf8(seen), utf8(p32)) << "a 32-bit process sees the x86 folder by default";
    } else {
        EXPECT_EQ(utf8(seen), utf8(p64)) << "a 64-bit process sees its own folder by default";
    }
    EXPECT_EQ(lower(utf8(commonFilesFolder(kBitnessSelector64))),
              "c:\\program files\\common files");
    EXPECT_EQ(lower(utf8(commonFilesFolder(kBitnessSelector32))),
              "c:\\program files (x86)\\common files");
    for (const String* p : {&p32, &p64}) EXPECT_TRUE(isFolder(*p)) << utf8(*p);
}

TEST(WineSystem, UserAndCommonFoldersAreThePrefixsOwn) {
    std::string profile = lower(variable("USERPROFILE"));
    std::string appData = lower(variable("APPDATA"));
    std::string publicDir = lower(variable("PUBLIC"));
    ASSERT_FALSE(profile.empty());
    struct Case {
        SpecialFolder folder;
        std::string expected;
    } cases[] = {
        {SpecialFolder::Desktop, profile + "\\desktop"},
        {SpecialFolder::Documents, profile + "\\documents"},
        {SpecialFolder::AppData, appData},
        {SpecialFolder::StartMenu, appData + "\\microsoft\\windows\\start menu"},
        {SpecialFolder::ProgramsMenu, appData + "\\microsoft\\windows\\start menu\\programs"},
        {SpecialFolder::Startup, appData + "\\microsoft\\windows\\start menu\\programs\\startup"},
        {SpecialFolder::DesktopAllUsers, publicDir + "\\desktop"},
        {SpecialFolder::AppDataAllUsers, "c:\\programdata"},
        {SpecialFolder::StartMenuAllUsers, "c:\\programdata\\microsoft\\windows\\start menu"},
        {SpecialFolder::Fonts, "c:\\windows\\fonts"},
        {SpecialFolder::System32Bit, "c:\\windows\\syswow64"},
    };
    for (const Case& c : cases) {
        String path = specialFolder(c.folder);
        EXPECT_EQ(lower(utf8(path)), c.expected) << static_cast<int>(c.folder);
        EXPECT_TRUE(isFolder(path)) << utf8(path);
    }
    EXPECT_EQ(lower(utf8(windowsFolder())), "c:\\windows");
    // A 32-bit process is told "system32" and the system redirects it.
    EXPECT_EQ(lower(utf8(systemFolder())), "c:\\windows\\system32");
    EXPECT_EQ(lower(utf8(systemFolder32())), "c:\\windows\\syswow64");
    EXPECT_EQ(bootDriveLetter(), 'C');
}

TEST(WineSystem, EnvironmentVariablesAndTheirLimit) {
    String value;
    ASSERT_TRUE(SetEnvironmentVariableW(L"TESSARIN_TEST_VAR", L"abc"));
    EXPECT_TRUE(environmentVariable(u"TESSARIN_TEST_VAR", value));
    EXPECT_EQ(utf8(value), "abc");
    // The largest value the system keeps (32767 characters) comes back whole. The refusal of
    // values from 65536 characters on cannot be reached here: the system does not store them.
    std::wstring big(32766, L'x');
    ASSERT_TRUE(SetEnvironmentVariableW(L"TESSARIN_TEST_VAR", big.c_str()));
    EXPECT_TRUE(environmentVariable(u"TESSARIN_TEST_VAR", value));
    EXPECT_EQ(value.wideLength(), 32766);
    SetEnvironmentVariableW(L"TESSARIN_TEST_VAR", nullptr);
    EXPECT_FALSE(environmentVariable(u"TESSARIN_TEST_VAR", value));
}

TEST(WineSystem, PathVariablesExpandToThePrefixsFolders) {
    InstallScript& script = installScript();
    InstallScript saved = script;
    script.InstallDir = fromUtf8("D:\\Apps\\Demo");
    script.ProductName = fromUtf8("Demo");
    script.OldVersion = fromUtf8("2.5.1");
    script.ProductStartMenu = fromUtf8("Demo Tools");
    script.ShortcutMode = 0;

    script.Bitness = 1;
    EXPECT_EQ(expanded("%ProgramsDir%"), expanded("%ProgramsDir64%"));
    EXPECT_EQ(expanded("%CommonDir%"), expanded("%CommonDir64%"));
    script.Bitness = 0;
    EXPECT_EQ(expanded("%ProgramsDir%"), expanded("%ProgramsDir32%"));
    EXPECT_NE(expanded("%ProgramsDir64%"), expanded("%ProgramsDir32%"));

    EXPECT_EQ(expanded("%installdir%\\bin"), "D:\\Apps\\Demo\\bin");
    EXPECT_EQ(expanded("%InstallDrive%|%BootDrive%|%Bits%"), "D:|C:|64");
    EXPECT_EQ(expanded("%OldVersionMajor%-%OldVersionMinor%-%oldversionmajor%"),
              "2-5-%oldversionmajor%");
    EXPECT_EQ(lower(expanded("%WinDir%|%SystemDir%|%FontDir%")),
              "c:\\windows|c:\\windows\\system32|c:\\windows\\fonts");
    EXPECT_EQ(expanded("%StartMenuChosen%"), expanded("%SMProgramsDir%") + "\\Demo Tools");
    script.ShortcutMode = 1;
    EXPECT_EQ(expanded("%StartMenuChosen%"), expanded("%SMProgramsAllDir%") + "\\Demo Tools");

    wchar_t module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::string modulePath = utf8(String(reinterpret_cast<const char16_t*>(module)));
    EXPECT_EQ(expanded("%InstallerFilepath%"), modulePath);
    EXPECT_EQ(expanded("%InstallerDir%\\%InstallerFilename%"), modulePath);
    // The prefix reports a workstation of the version its Wine is set to imitate.
    OSVERSIONINFOEXW v = {};
    v.dwOSVersionInfoSize = sizeof v;
    auto rtlGetVersion = reinterpret_cast<LONG(WINAPI*)(OSVERSIONINFOEXW*)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    ASSERT_TRUE(rtlGetVersion && rtlGetVersion(&v) == 0);
    ASSERT_EQ(v.wProductType, VER_NT_WORKSTATION);
    std::string version = std::to_string(v.dwMajorVersion) + "." + std::to_string(v.dwMinorVersion);
    struct Known {
        const char* version;
        const char* code;
        const char* name;
    } known[] = {{"5.1", "20", "XP"}, {"6.0", "30", "Vista"}, {"6.1", "36", "7"},
                 {"6.2", "40", "8"},  {"6.3", "44", "8"},     {"10.0", "48", "10"}};
    EXPECT_EQ(expanded("%OSMajor%.%OSMinor%"), version);
    bool found = false;
    for (const Known& k : known) {
        if (version != k.version) continue;
        found = true;
        EXPECT_EQ(expanded("%OS%"), k.code);
        EXPECT_EQ(expanded("%OSName%"), k.name);
    }
    EXPECT_TRUE(found) << "Wine imitates Windows " << version;
    EXPECT_EQ(expanded("%Portable%"), "0");
    wchar_t temp[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    ASSERT_GT(n, 1u);
    temp[n - 1] = 0;  // the folder without its trailing backslash
    EXPECT_EQ(lower(expanded("%Temp%")), lower(utf8(String(reinterpret_cast<char16_t*>(temp)))));

    // Environment variables are expanded by the system after the table; unknown names stay.
    ASSERT_TRUE(SetEnvironmentVariableW(L"TESSARIN_USER", L"alice"));
    EXPECT_EQ(expanded("%TESSARIN_USER%\\%NoSuchVariable%"), "alice\\%NoSuchVariable%");
    SetEnvironmentVariableW(L"TESSARIN_USER", nullptr);
    script = saved;
}

}  // namespace
}  // namespace tessarin
