// The uninstall entry against the prefix: an entry written by the installer's own registration
// (HKLM, 32-bit view) read back into the settings, the messages for entries that cannot be used,
// and a font taken out of the system again. Results are checked with direct Win32 calls.
#include "uninstall/uninstall_entry.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "actions/uninstall_registration.h"
#include "core/file.h"
#include "core/folder_protection.h"
#include "core/privilege.h"
#include "core/registry.h"
#include "core/special_folders.h"
#include "recording_reporter.h"
#include "scratch_folder.h"
#include "services/uninstall_data.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::U;

using testing::present;
using testing::put;
using testing::ScratchFolder;
using testing::utf8;
using testing::w;

using testing::S;

std::u16string processId() {
    return reinterpret_cast<const char16_t*>(std::to_wstring(GetCurrentProcessId()).c_str());
}

using testing::RecordingReporter;

const std::u16string kUninstallParent =
    u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::u16string kFontsKey = u"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

class UninstallEntry : public ::testing::Test {
  protected:
    ScratchFolder folder{u"uninstall-entry-"};
    std::u16string name = u"TessarinEntry-" + processId();
    std::u16string keyPath = kUninstallParent + name;
    RecordingReporter reporter;
    RegistryKey key;
    UninstallSettings settings;

    void TearDown() override {
        key.closeAll();
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, w(keyPath), KEY_WOW64_32KEY, 0);
    }
    // A bare entry in the 32-bit view holding the given wide and 8-bit texts.
    void writeEntry(std::initializer_list<std::pair<const char16_t*, std::u16string>> wide,
                    std::initializer_list<std::pair<const char*, std::string>> narrow = {}) {
        HKEY k;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, w(keyPath), 0, nullptr, 0,
                                  KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &k, nullptr),
                  0);
        for (const auto& [valueName, text] : wide)
            RegSetValueExW(k, w(valueName), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>((text.size() + 1) * 2));
        for (const auto& [valueName, text] : narrow)
            RegSetValueExA(k, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>(text.size() + 1));
        RegCloseKey(k);
    }
    bool entryHasValue(const char16_t* valueName, std::u16string* text = nullptr) {
        return readValue(keyPath, KEY_WOW64_32KEY, valueName, text);
    }
    static bool readValue(const std::u16string& path, REGSAM view, const std::u16string& valueName,
                          std::u16string* text = nullptr) {
        HKEY k;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, w(path), 0, KEY_READ | view, &k) != 0) return false;
        wchar_t buffer[512] = {};
        DWORD bytes = sizeof buffer - sizeof(wchar_t);
        DWORD type = 0;
        bool found = RegQueryValueExW(k, w(valueName), nullptr, &type,
                                      reinterpret_cast<BYTE*>(buffer), &bytes) == 0;
        RegCloseKey(k);
        if (found && text) *text = reinterpret_cast<const char16_t*>(buffer);
        return found;
    }
    static void writeValue(const std::u16string& path, const std::u16string& valueName,
                           const std::u16string& text) {
        HKEY k;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, w(path), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &k, nullptr),
                  0);
        RegSetValueExW(k, w(valueName), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * 2));
        RegCloseKey(k);
    }
};

// The installer's registration and the uninstaller's reading agree on every value they share,
// 8-bit and wide, numbers and texts.
TEST_F(UninstallEntry, WhatTheInstallerRegistersIsReadBack) {
    InstallScript script;
    script.ProductName = String(u"Tessarin Tool");
    script.UninstallKeyName = S(name);
    script.UninstallerName = "unins.exe";
    script.UninstallDir = S(folder.path());
    script.InstallDir = String(u"C:\\Apps\\Tool");
    script.UninstallSubdir = String(u"uninst");
    script.ProductFlags = 0x8210 | (uint64_t{0x400000} << 32);
    script.ProductFlags2 = 0x80000020;
    script.Version8 = "5.12.3";
    script.TitleSize = 24.5;
    script.TitleColor = 0x123456;
    script.TitleShadow = 0;
    script.TitlePosition = 2;
    script.TopColor = 0x010203;
    script.MonoColor = true;
    script.TitleFont = "Arial";
    script.TaskbarText = String(u"Tool Setup");
    script.CopyrightText = String(u"(c) Acme");
    script.CopyrightFont = "Tahoma";
    script.CopyrightSize = 8.5;
    script.CopyrightColor = 255;
    script.CopyrightPos = 3;
    script.BackgroundBitmap = String("bitmap");
    script.BitmapTPI = 96;
    script.StretchMode = 2;
    script.BitmapSize = 50;
    script.ShortcutMode = 1;
    script.NotifyURL = "http://example.invalid/bye";
    script.SupportOffer = "mailto:help@example.invalid";
    script.DesktopFolder = String(u"Tools");
    script.SharedDir = String(u"C:\\Shared");
    script.ProductStartMenu = String(u"Acme\\Tool");
    script.UninstallBatch1 = "echo one";
    script.UninstallBatch2 = "echo two";
    script.ProductRegistry = String(u"Acme\\Tool");
    script.AddToPathSubfolder = String(u"bin");
    RegistrationFacts facts;
    facts.installerPath = String(u"D:\\setup.exe");
    facts.fontList = "\"Tool Font (TrueType)\" \"tool.ttf\" ";
    facts.sharedFiles = "\"C:\\Shared\\s.dll\"";
    facts.displayTitle = String(u"Tool");
    facts.today = "20261210";
    ASSERT_TRUE(RegisterUninstallEntry(script, facts, reporter)) << reporter.errors;

    ASSERT_EQ(utf8(OpenUninstallEntry(S(name), key, settings, reporter)), "");
    EXPECT_TRUE(key.isOpen());
    const UninstallSettings& s = settings;
    EXPECT_EQ(U(s.DisplayName), u"Tessarin Tool");
    EXPECT_EQ(U(s.InstallLocation), u"C:\\Apps\\Tool");
    EXPECT_EQ(U(s.uninstallFolder), u"C:\\Apps\\Tool\\uninst");
    EXPECT_FALSE(s.portable);
    EXPECT_EQ(s.ProductFlags, script.ProductFlags);
    EXPECT_EQ(s.ProductFlags2, 0x80000020u);
    EXPECT_EQ(s.Bitness, 0u);
    EXPECT_EQ(U(s.DisplayTitle), u"Tool");
    EXPECT_EQ(s.TitleSize, 24.5);
    EXPECT_EQ(s.TitleColor, 0x123456);
    EXPECT_EQ(s.TitleShadow, 0u);
    EXPECT_EQ(s.TitlePosition, 2u);
    EXPECT_EQ(s.TopColor, 0x010203);
    EXPECT_EQ(s.BottomColor, 0);  // not stored for a single colour
    EXPECT_EQ(s.MonoColor, 1u);
    EXPECT_STREQ(s.TitleFont.c_str(), "Arial");
    EXPECT_EQ(U(s.TaskbarText), u"Tool Setup");
    EXPECT_EQ(U(s.CopyrightText), u"(c) Acme");
    EXPECT_STREQ(s.CopyrightFont.c_str(), "Tahoma");
    EXPECT_EQ(s.CopyrightSize, 8.5);
    EXPECT_EQ(s.CopyrightColor, 255);
    EXPECT_EQ(s.CopyrightPos, 3u);
    EXPECT_EQ(U(s.DisplayVersion), u"5.12.3");
    EXPECT_STREQ(s.DisplayVersion8.c_str(), "5.12.3");
    EXPECT_EQ(U(s.AddToPathSubfolder), u"bin");
    EXPECT_STREQ(s.ProductFonts.c_str(), facts.fontList.c_str());
    EXPECT_EQ(s.ShortcutMode, 1u);
    EXPECT_STREQ(s.NotifyURL.c_str(), "http://example.invalid/bye");
    EXPECT_EQ(U(s.DesktopFolder), u"Tools");
    EXPECT_EQ(s.BitmapTPI, 96);
    EXPECT_EQ(s.StretchMode, 2);
    EXPECT_EQ(s.BitmapSize, 50);
    EXPECT_STREQ(s.SupportOffer.c_str(), "mailto:help@example.invalid");
    EXPECT_EQ(U(s.SharedPath), u"C:\\Shared");
    EXPECT_EQ(U(s.ProductStartMenu), u"Acme\\Tool");
    EXPECT_STREQ(s.UninstallBatch1.c_str(), "echo one");
    EXPECT_STREQ(s.UninstallBatch2.c_str(), "echo two");
    EXPECT_STREQ(s.SharedFiles.c_str(), facts.sharedFiles.c_str());
    EXPECT_EQ(U(s.ProductRegistry), u"Acme\\Tool");
    EXPECT_EQ(reporter.logged, "");
}

TEST_F(UninstallEntry, AProductWithoutAnEntryIsNotInstalled) {
    EXPECT_EQ(utf8(OpenUninstallEntry(S(name), key, settings, reporter)),
              "No product named '" + utf8(S(name)) + "' is installed.");
    EXPECT_FALSE(key.isOpen());
    HKEY k;
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, w(keyPath), 0, KEY_READ | KEY_WOW64_32KEY, &k), 0);
}

TEST_F(UninstallEntry, AnEntryWithoutAnInstallFolderIsCorrupt) {
    writeEntry({{u"DisplayName", u"Tessarin Broken"}});
    EXPECT_EQ(utf8(OpenUninstallEntry(S(name), key, settings, reporter)),
              "The uninstall information for Tessarin Broken is corrupt.\r\n\r\n"
              "The uninstallation cannot be performed.");
    EXPECT_FALSE(key.isOpen());
}

// The data file is read from the uninstall folder; a missing one is named with its code.
TEST_F(UninstallEntry, UninstallDataIsLoadedFromTheUninstallFolder) {
    settings.DisplayName = String(u"Tessarin Tool");
    settings.uninstallFolder = S(folder.path());
    UninstallData data;
    const std::string message = utf8(LoadUninstallData(settings, data, reporter));
    EXPECT_EQ(message,
              "The uninstall information for Tessarin Tool could not be loaded.\r\n\r\n"
              "Filepath: " +
                  utf8(S(folder / u"Uninstall.DAT")) +
                  "\r\nCode 3: " + fileErrorText(kFileErrorNotFound));

    UninstallData written;
    written.setText(56, String(u"Remove %s?"));
    ASSERT_EQ(writeUninstallDataFile(written, S(folder / u"Uninstall.DAT")), 0);
    EXPECT_EQ(utf8(LoadUninstallData(settings, data, reporter)), "");
    EXPECT_EQ(U(data.text(56)), u"Remove %s?");
}

// The check an elevated uninstaller makes of its records runs here too: Wine's token is an
// administrator's. Wine keeps no access list of its own on files; it reports one made from the
// Unix mode (the system and the prefix's user, who owns the file, with every right; Everyone
// with reading), which passes as it should. Lists that leave the records open are decided in
// the native tests; the end-to-end tests open a folder through its Unix mode.
TEST_F(UninstallEntry, RecordsTheInstallerProtectedPassTheElevatedCheck) {
    ASSERT_TRUE(runsElevated());
    settings.DisplayName = String(u"Tessarin Tool");
    settings.uninstallFolder = S(folder / u"Uninstall");
    ASSERT_TRUE(CreateDirectoryW(w(folder / u"Uninstall"), nullptr));
    ASSERT_EQ(protectUninstallFolder(settings.uninstallFolder), 0u);
    ASSERT_EQ(writeUninstallDataFile(UninstallData(), S(folder / u"Uninstall\\Uninstall.DAT")), 0);

    std::vector<std::string> checked;
    SecurityReader recording = [&](const String& path, ObjectSecurity& security) {
        uint32_t error = readObjectSecurity(path, security);
        checked.push_back(utf8(path) +
                          (error == 0 && !security.owner.empty() && security.hasAccessList
                               ? " read"
                               : " unread"));
        return error;
    };
    EXPECT_EQ(utf8(unprotectedRecordsMessage(settings.DisplayName, settings.uninstallFolder,
                                             recording, processUserSid())),
              "");
    EXPECT_EQ(checked,
              (std::vector<std::string>{utf8(settings.uninstallFolder) + " read",
                                        utf8(S(folder / u"Uninstall\\Uninstall.DAT")) + " read"}));
    EXPECT_EQ(utf8(CheckUninstallRecords(settings)), "");
}

// A font as the installer leaves it (file in the Fonts folder, value under the system's font key,
// entry in the list) is gone afterwards, and the list is empty.
TEST_F(UninstallEntry, AnInstalledFontIsRemoved) {
    const std::u16string fonts = U(specialFolder(SpecialFolder::Fonts));
    const std::u16string file = u"tessarin-" + processId() + u".ttf";
    const std::u16string fontName = u"Tessarin Test " + processId() + u" (TrueType)";
    ASSERT_TRUE(put(fonts + u"\\" + file, "font bytes"));
    writeValue(kFontsKey, fontName, file);
    ASSERT_TRUE(readValue(kFontsKey, 0, fontName));
    writeEntry({{u"InstallLocation", u"C:\\Apps\\Tool"}},
               {{"ProductFonts", "\"" + utf8(S(fontName)) + "\" \"" + utf8(S(file)) + "\" "}});
    ASSERT_EQ(utf8(OpenUninstallEntry(S(name), key, settings, reporter)), "");

    UninstallData data;  // no question: the flags do not ask for one
    EXPECT_EQ(RemoveProductFonts(settings, false, data, key, reporter), 1);

    EXPECT_FALSE(present(fonts + u"\\" + file));
    EXPECT_FALSE(readValue(kFontsKey, 0, fontName));
    std::u16string list = u"unchanged";
    EXPECT_TRUE(entryHasValue(u"ProductFonts", &list));
    EXPECT_EQ(list, u"");
    EXPECT_EQ(reporter.logged, "");
}

}  // namespace
}  // namespace tessarin
