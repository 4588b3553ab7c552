// Uninstall registration against the prefix: the uninstaller file in a scratch folder and the
// uninstall key under HKLM (32-bit view), read back with direct Win32 calls.
#include "actions/uninstall_registration.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/convert.h"
#include "core/file_system.h"
#include "core/registry.h"
#include "fatal_capture.h"
#include "held_file.h"
#include "key_access.h"
#include "package/payload_format.h"
#include "scratch_folder.h"
#include "services/uninstall_data.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::everyoneHasFullAccess;
using testing::get;
using testing::HeldFile;
using testing::present;
using testing::put;
using testing::ScratchFolder;
using testing::w;

using testing::S;

std::u16string moduleFolder() {
    wchar_t buffer[MAX_PATH + 1];
    std::u16string path(reinterpret_cast<char16_t*>(buffer),
                        GetModuleFileNameW(nullptr, buffer, MAX_PATH + 1));
    return path.substr(0, path.rfind(u'\\'));
}

// The stub of this build tree: an executable without a payload section, as the uninstaller image
// is.
std::string treeStubBytes() {
    return get(moduleFolder() +
               (sizeof(void*) == 8 ? u"\\tessarin-setup64.exe" : u"\\tessarin-setup.exe"));
}

int entries(const std::u16string& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(w(folder + u"\\*"), &found);
    int n = 0;
    if (search == INVALID_HANDLE_VALUE) return n;
    do {
        std::u16string leaf(reinterpret_cast<char16_t*>(found.cFileName));
        if (leaf != u"." && leaf != u"..") ++n;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return n;
}

class RecordingReporter : public Reporter {
  public:
    void log(const String& text) override { logged += testing::pathForm(text); }
    void error(const String& text) override { errors += text.c_str(); }
    std::string logged, errors;
};

// One image of 16x16 whose bytes are "pixels".
std::string oneImageIcon() {
    return std::string("\0\0\1\0\1\0\x10\x10\0\0\1\0\x20\0\6\0\0\0\x16\0\0\0", 22) + "pixels";
}

// The names of the file's PE sections.
std::vector<std::string> sectionNames(const std::string& pe) {
    std::vector<std::string> names;
    if (pe.size() < 0x40) return names;
    uint32_t header = *reinterpret_cast<const uint32_t*>(pe.data() + 0x3C);
    if (header + 24 > pe.size()) return names;
    uint16_t count = *reinterpret_cast<const uint16_t*>(pe.data() + header + 6);
    uint16_t optional = *reinterpret_cast<const uint16_t*>(pe.data() + header + 20);
    size_t table = header + 24 + optional;
    for (uint16_t i = 0; i < count && table + 40 * (i + 1) <= pe.size(); ++i)
        names.push_back(std::string(pe.data() + table + 40 * i, 8).c_str());
    return names;
}

std::string iconGroupOf(const std::u16string& file) {
    HMODULE module = LoadLibraryExW(w(file), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) return "<not loadable>";
    std::string result = "<no group>";
    HRSRC group = FindResourceExW(module, MAKEINTRESOURCEW(14), MAKEINTRESOURCEW(1), 1033);
    HRSRC image = FindResourceExW(module, MAKEINTRESOURCEW(3), MAKEINTRESOURCEW(1), 1033);
    if (group != nullptr && image != nullptr) {
        result = std::string(static_cast<const char*>(LockResource(LoadResource(module, group))),
                             SizeofResource(module, group));
        result +=
            "|" + std::string(static_cast<const char*>(LockResource(LoadResource(module, image))),
                              SizeofResource(module, image));
    }
    FreeLibrary(module);
    return result;
}

class UninstallerFile : public ::testing::Test {
  protected:
    ScratchFolder folder{u"uninstaller-file-"};
    InstallScript script;
    RegistrationFacts facts;
    RecordingReporter reporter;
    std::string image = treeStubBytes();
    String imageText{image.data(), static_cast<int32_t>(image.size())};
    std::u16string target = folder / u"unins.exe";

    void SetUp() override {
        ASSERT_GT(image.size(), 1000u);
        script.UninstallDir = S(folder.path());
        script.UninstallerName = "unins.exe";
        script.UninstallKeyName = String(u"Tool");
        facts.uninstallerImage = &imageText;
        facts.installerPath = S(folder / u"installer.exe");
        put(folder / u"installer.exe", "the whole installer");
    }
};

TEST_F(UninstallerFile, TheImageIsWrittenWithTheIconAndTheScriptDate) {
    script.ProductFlags2 = kFlags2CutSetupSection;
    script.UninstallIcon =
        String(oneImageIcon().data(), static_cast<int32_t>(oneImageIcon().size()));
    script.ScriptDate = {2021, 3, 4, 5, 6, 8};
    EXPECT_FALSE(InstallUninstaller(script, facts, reporter));
    EXPECT_EQ(reporter.errors, "");
    EXPECT_EQ(reporter.logged, "");

    std::string written = get(target);
    EXPECT_EQ(sectionNames(written), sectionNames(image));
    for (const std::string& name : sectionNames(written)) EXPECT_NE(name, ".setup");
    std::string group = iconGroupOf(target);
    ASSERT_EQ(group.size(), 6u + 14 + 1 + 6) << group;
    EXPECT_EQ(group.substr(0, 6), std::string("\0\0\1\0\1\0", 6));
    EXPECT_EQ(group.substr(6 + 12, 2), std::string("\1\0", 2));
    EXPECT_EQ(group.substr(6 + 14), "|pixels");

    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExW(w(target), GetFileExInfoStandard, &data));
    FILETIME local;
    SYSTEMTIME time;
    FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
    FileTimeToSystemTime(&local, &time);
    EXPECT_EQ(time.wYear, 2021);
    EXPECT_EQ(time.wMonth, 3);
    EXPECT_EQ(time.wDay, 4);
    EXPECT_EQ(time.wHour, 5);
    // No temporary file is left beside it.
    EXPECT_EQ(entries(folder.path()), 2);
}

TEST_F(UninstallerFile, ABrokenIconIsLoggedAndTheImageStaysAsBuilt) {
    script.ProductFlags2 = kFlags2CutSetupSection;
    script.UninstallIcon = String("\0\0\1\0\5\0", 6);  // five images announced, none there
    EXPECT_FALSE(InstallUninstaller(script, facts, reporter));
    EXPECT_EQ(reporter.logged, "Failed to replace uninstaller icon.\r\n");
    EXPECT_TRUE(get(target) == image);
}

TEST_F(UninstallerFile, WithoutTheOptionTheInstallerItselfIsCopied) {
    EXPECT_FALSE(InstallUninstaller(script, facts, reporter));
    EXPECT_EQ(get(target), "the whole installer");
    EXPECT_EQ(reporter.errors, "");
}

std::vector<std::u16string> rebootMoves;
bool recordRebootMove(const char16_t* source, const char16_t* target, uint32_t) {
    rebootMoves.push_back(source);
    rebootMoves.push_back(target ? target : u"");
    return true;
}

TEST_F(UninstallerFile, ALockedUninstallerIsReplacedAtTheRestart) {
    put(target, "old uninstaller");
    HeldFile held(target);
    ASSERT_TRUE(held.ready());
    rebootMoves.clear();
    setRebootMove(recordRebootMove);
    script.ProductFlags2 = kFlags2CutSetupSection;
    EXPECT_TRUE(InstallUninstaller(script, facts, reporter));
    resetRebootMove();
    held.release();

    ASSERT_EQ(rebootMoves.size(), 2u);
    EXPECT_EQ(get(rebootMoves[0]) == image, true);
    EXPECT_EQ(rebootMoves[1], target);
    EXPECT_EQ(get(target), "old uninstaller");
    EXPECT_NE(reporter.logged.find("\" was successfully registered for replacement.\r\nTemporary "
                                   "file is \""),
              std::string::npos)
        << reporter.logged;
    EXPECT_NE(reporter.logged.find("Reboot will be required.\r\n\r\n"), std::string::npos);
}

// ---- The key -----------------------------------------------------------------------------

struct RawValue {
    DWORD type = 0;
    std::string bytes;
    bool present = false;
};

class UninstallKey : public ::testing::Test {
  protected:
    ScratchFolder folder{u"uninstall-key-"};
    InstallScript script;
    RegistrationFacts facts;
    RecordingReporter reporter;
    String savedInstallDir;
    std::u16string name = u"TessarinTest-" + std::u16string(reinterpret_cast<const char16_t*>(
                                                 std::to_wstring(GetCurrentProcessId()).c_str()));
    std::u16string keyPath = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + name;

    void SetUp() override {
        uninstallData().clear();
        savedInstallDir = installScript().InstallDir;
        installScript().InstallDir = String(u"C:\\Apps\\Tool");
        script.ProductName = String(u"Tessarin Tool");
        script.CompanyName = String(u"Acme");
        script.UninstallKeyName = S(name);
        script.UninstallerName = "unins.exe";
        script.UninstallDir = S(folder.path());
        script.InstallDir = String(u"C:\\Apps\\Tool");
        script.Version8 = "5.12.3";
        script.ProductIcon = String("icon bytes");
        script.ProductFlags = 0x8004;
        script.TitleSize = 24.5;
        script.UninstallValues.append(ScriptUninstallValue{"Data", 2, String("%InstallDir%\\d")});
        script.UninstallValues.append(ScriptUninstallValue{"Sub\\Count", 4, String("42")});
        facts.installerPath = String(u"D:\\setup.exe");
        facts.spaceEstimate = 3 * 1024 * 1024;
        facts.today = "20261210";
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, w(keyPath));
        installScript().InstallDir = savedInstallDir;
        uninstallData().clear();
    }
    RawValue value(const char16_t* valueName, const std::u16string& sub = u"") {
        RawValue v;
        HKEY key;
        std::u16string path = sub.empty() ? keyPath : keyPath + u"\\" + sub;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, w(path), 0, KEY_READ | KEY_WOW64_32KEY, &key) != 0)
            return v;
        DWORD size = 0;
        if (RegQueryValueExW(key, w(valueName), nullptr, &v.type, nullptr, &size) == 0) {
            v.bytes.resize(size);
            RegQueryValueExW(key, w(valueName), nullptr, &v.type,
                             reinterpret_cast<BYTE*>(v.bytes.data()), &size);
            v.present = true;
        }
        RegCloseKey(key);
        return v;
    }
    static std::string wide(const std::u16string& text) {
        return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * 2);
    }
    static std::string dword(uint32_t n) { return std::string(reinterpret_cast<char*>(&n), 4); }
};

TEST_F(UninstallKey, ValuesAreReadBackWithTheirTypes) {
    ASSERT_TRUE(RegisterUninstallEntry(script, facts, reporter)) << reporter.errors;
    EXPECT_EQ(reporter.errors, "");
    const std::u16string uninstaller = folder / u"unins.exe";
    const std::u16string icon = folder / u"product.ico";
    struct Expected {
        const char16_t* name;
        DWORD type;
        std::string bytes;
    } table[] = {
        {u"UninstallString", REG_SZ, wide(u"\"" + uninstaller + u"\" /u:\"" + name + u"\"")},
        {u"QuietUninstallString", REG_SZ,
         wide(u"\"" + uninstaller + u"\" /a /u:\"" + name + u"\"")},
        {u"DisplayName", REG_SZ, wide(u"Tessarin Tool")},
        {u"InstallSource", REG_SZ, wide(u"D:\\setup.exe")},
        {u"Publisher", REG_SZ, wide(u"Acme")},
        {u"DisplayVersion", REG_SZ, wide(u"5.12.3")},
        {u"DisplayIcon", REG_SZ, wide(icon)},
        {u"VersionMajor", REG_DWORD, dword(5)},
        {u"VersionMinor", REG_DWORD, dword(12)},
        {u"EstimatedSize", REG_DWORD, dword(3072)},
        {u"ProductFlags", REG_SZ, wide(u"32772")},
        {u"TitleSize", REG_SZ, wide(u"24.5")},
        {u"MonoColor", REG_DWORD, dword(0)},
        {u"Data", REG_EXPAND_SZ, wide(u"C:\\Apps\\Tool\\d")},
        {u"InstallLocation", REG_SZ, wide(u"C:\\Apps\\Tool")},
        {u"InstallDate", REG_SZ, wide(u"20261210")},
    };
    for (const Expected& e : table) {
        RawValue v = value(e.name);
        EXPECT_TRUE(v.present) << testing::pathForm(String(e.name));
        EXPECT_EQ(v.type, e.type) << testing::pathForm(String(e.name));
        EXPECT_EQ(v.bytes, e.bytes) << testing::pathForm(String(e.name));
    }
    EXPECT_EQ(value(u"Count", u"Sub").bytes, dword(42));
    EXPECT_FALSE(value(u"NoDowngradeBelow").present);
    EXPECT_TRUE(value(u"BottomColor").present);
    EXPECT_EQ(get(icon), "icon bytes");
    EXPECT_NE(std::string(uninstallData().deletionText().c_str()).find(testing::pathForm(S(icon))),
              std::string::npos);
}

TEST_F(UninstallKey, ASecondRegistrationDeletesValuesThatBecameEmpty) {
    ASSERT_TRUE(RegisterUninstallEntry(script, facts, reporter));
    ASSERT_TRUE(value(u"Publisher").present);
    script.CompanyName = String();
    script.Version8 = "7";
    script.MonoColor = true;
    facts.spaceEstimate = 100;
    ASSERT_TRUE(RegisterUninstallEntry(script, facts, reporter));
    EXPECT_FALSE(value(u"Publisher").present);
    EXPECT_FALSE(value(u"EstimatedSize").present);
    EXPECT_FALSE(value(u"BottomColor").present);
    EXPECT_EQ(value(u"MonoColor").bytes, dword(1));
    EXPECT_EQ(value(u"DisplayVersion").bytes, wide(u"7"));
    // The version numbers of the first registration stay: only values of the table are touched.
    EXPECT_EQ(value(u"VersionMajor").bytes, dword(5));
}

TEST_F(UninstallKey, TheKeyIsCreatedWithoutTheEveryoneDescriptor) {
    ASSERT_TRUE(RegisterUninstallEntry(script, facts, reporter));
    EXPECT_FALSE(everyoneHasFullAccess(HKEY_LOCAL_MACHINE, keyPath, KEY_WOW64_32KEY));
    // The control: a key made by the registry layer with its usual descriptor shows it where
    // this Wine keeps descriptors at all.
    RegistryKey control;
    std::u16string controlPath = keyPath + u"-control";
    ASSERT_NE(control.open(kHkeyLocalMachine, controlPath.c_str(), 0, kRegAccessAll | kRegView32),
              kRegOpenFailed);
    control.closeAll();
    const bool kept = everyoneHasFullAccess(HKEY_LOCAL_MACHINE, controlPath, KEY_WOW64_32KEY);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, w(controlPath));
    if (!kept) GTEST_SKIP() << "this Wine gives new keys default security whatever descriptor";
}

// The next installation reads the previous folder from the value in the documented form
// "HKLM\Key\Value", in the 32-bit view: it is written there, under a key no ordinary user may
// change.
TEST_F(UninstallKey, TheInstallFolderIsRememberedWhereThePreviousInstallKeyNamesIt) {
    const std::u16string remembered = keyPath + u"-previous";
    std::string path8 = "HKLM\\";
    for (char16_t c : remembered) path8 += static_cast<char>(c);  // ASCII
    script.PreviousInstallKey = String((path8 + "\\Folder").c_str());
    ASSERT_TRUE(RegisterUninstallEntry(script, facts, reporter)) << reporter.errors;
    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, w(remembered), 0, KEY_READ | KEY_WOW64_32KEY, &key),
              ERROR_SUCCESS);
    wchar_t folder[MAX_PATH] = {};
    DWORD size = sizeof folder;
    EXPECT_EQ(
        RegQueryValueExW(key, L"Folder", nullptr, nullptr, reinterpret_cast<BYTE*>(folder), &size),
        ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(folder)), u"C:\\Apps\\Tool");
    EXPECT_FALSE(everyoneHasFullAccess(HKEY_LOCAL_MACHINE, remembered, KEY_WOW64_32KEY));
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, w(remembered), KEY_WOW64_32KEY, 0);
}

TEST_F(UninstallKey, AKeyThatCannotBeCreatedIsReportedTwice) {
    script.UninstallKeyName = String(std::u16string(300, u'x').c_str());
    EXPECT_FALSE(RegisterUninstallEntry(script, facts, reporter));
    EXPECT_EQ(reporter.errors.rfind("System error: ", 0), 0u) << reporter.errors;
    EXPECT_NE(reporter.errors.find("\r\nUnable to save the uninstall information to the "
                                   "registry.  Uninstall will not work properly.\r\n\r\n"),
              std::string::npos)
        << reporter.errors;
}

TEST_F(UninstallKey, AScriptValueOfAnUnknownTypeStopsWithCode200) {
    script.UninstallValues.append(ScriptUninstallValue{"Odd", 3, String("x")});
    std::string fatal =
        testing::captureFatal([&] { RegisterUninstallEntry(script, facts, reporter); });
    EXPECT_NE(fatal.find("200"), std::string::npos) << fatal;
}

}  // namespace
}  // namespace tessarin
