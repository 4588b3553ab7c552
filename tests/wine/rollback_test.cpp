// A stopped installation against the prefix: files, folders, registry entries, shared-file
// counts and the uninstall entry that the installation made go again; what was there before
// stays. Set up and read back with raw Win32 calls.
#include "actions/rollback.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "actions/pre_install.h"
#include "actions/shared_files.h"
#include "actions/uninstall_registration.h"
#include "package/install_script.h"
#include "recording_reporter.h"
#include "scratch_folder.h"
#include "services/install_log.h"
#include "services/uninstall_data.h"
#include "setup/rollback.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::present;
using testing::put;
using testing::S;
using testing::ScratchFolder;
using testing::w;

const wchar_t* kCounts = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

std::u16string pidText() {
    return reinterpret_cast<const char16_t*>(std::to_wstring(GetCurrentProcessId()).c_str());
}

// The count as the registry holds it; -1 when the value is missing.
long long rawCount(const std::u16string& name) {
    DWORD data = 0, size = sizeof data;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kCounts, w(name), RRF_RT_REG_DWORD, nullptr, &data,
                     &size) != ERROR_SUCCESS)
        return -1;
    return data;
}

void setCount(const std::u16string& name, DWORD count) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kCounts, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, w(name), 0, REG_DWORD, reinterpret_cast<BYTE*>(&count), sizeof count);
    RegCloseKey(key);
}

void removeCount(const std::u16string& name) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCounts, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueW(key, w(name));
    RegCloseKey(key);
}

bool valuePresent(const std::u16string& key, const std::u16string& name, REGSAM view = 0) {
    HKEY opened;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, w(key), 0, KEY_READ | view, &opened) != ERROR_SUCCESS)
        return false;
    bool found = RegQueryValueExW(opened, w(name), nullptr, nullptr, nullptr, nullptr) == 0;
    RegCloseKey(opened);
    return found;
}

// An 8-bit text value of the uninstall entry (32-bit view).
std::string narrowValue(const std::u16string& key, const char* name) {
    HKEY opened;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, w(key), 0, KEY_READ | KEY_WOW64_32KEY, &opened) !=
        ERROR_SUCCESS)
        return "<missing>";
    char data[512] = {};
    DWORD size = sizeof data - 1;
    LONG r = RegQueryValueExA(opened, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(opened);
    return r == ERROR_SUCCESS ? std::string(data) : "<missing>";
}

bool keyPresent(const std::u16string& key, REGSAM view = 0) {
    HKEY opened;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, w(key), 0, KEY_READ | view, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

void setText(const std::u16string& key, const std::u16string& name, REGSAM view = 0) {
    HKEY opened;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, w(key), 0, nullptr, 0, KEY_SET_VALUE | view,
                              nullptr, &opened, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(opened, w(name), 0, REG_SZ, reinterpret_cast<const BYTE*>(L"x"), 4);
    RegCloseKey(opened);
}

class StoppedInstallation : public ::testing::Test {
  protected:
    ScratchFolder folder{u"rollback-"};
    std::u16string installDir = folder / u"Product";
    std::u16string productKey = u"Software\\TessarinRollback" + pidText();
    std::u16string entryName = u"TessarinRollback-" + pidText();
    std::u16string entryKey =
        u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + entryName;
    std::u16string newCount = u"C:\\windows\\system32\\tessarin-rollback-new.dll";
    std::u16string usedCount = u"C:\\windows\\system32\\tessarin-rollback-used.dll";
    // A shared-file list entry: the 8-bit path and its mark.
    static String entry(const std::u16string& path, const char* mark = "") {
        return String((std::string(path.begin(), path.end()) + mark).c_str());
    }
    InstallScript saved;

    void SetUp() override {
        InstallScript& s = installScript();
        saved.InstallDir = s.InstallDir;
        saved.UninstallDir = s.UninstallDir;
        saved.SharedDir = s.SharedDir;
        saved.UninstallKeyName = s.UninstallKeyName;
        saved.UninstallerName = s.UninstallerName;
        saved.ProductFlags = s.ProductFlags;
        s.InstallDir = S(installDir);
        s.UninstallDir = S(installDir + u"\\Uninstall");
        s.SharedDir = String();
        s.UninstallKeyName = S(entryName);
        s.UninstallerName = "unins.exe";
        s.ProductFlags = kFlagsUninstallEntry;
        uninstallData().clear();
        sharedFileList().clear();
        preInstallState().madeFolders = Vector<String>();
        preInstallState().previousSharedFiles.clear();
        installRollback() = InstallRollback();
        errorList().clear();
    }
    void TearDown() override {
        InstallScript& s = installScript();
        s.InstallDir = saved.InstallDir;
        s.UninstallDir = saved.UninstallDir;
        s.SharedDir = saved.SharedDir;
        s.UninstallKeyName = saved.UninstallKeyName;
        s.UninstallerName = saved.UninstallerName;
        s.ProductFlags = saved.ProductFlags;
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, w(productKey));
        HKEY parent;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                          L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", 0,
                          KEY_ALL_ACCESS | KEY_WOW64_32KEY, &parent) == ERROR_SUCCESS) {
            RegDeleteTreeW(parent, w(entryName));
            RegCloseKey(parent);
        }
        removeCount(newCount);
        removeCount(usedCount);
        uninstallData().clear();
        sharedFileList().clear();
        sharedFilesText().clear();
        preInstallState().madeFolders = Vector<String>();
        preInstallState().previousSharedFiles.clear();
        installRollback() = InstallRollback();
        errorList().clear();
    }

    // Records a file for the uninstaller as the file loop does; existed: it was there before.
    void writeRecorded(const std::u16string& path, bool existed) {
        ASSERT_TRUE(put(path, "new"));
        uninstallData().recordDeletionWide(S(path), DeletionKind::File);
        if (existed) installRollback().kept.add(S(path));
    }

    bool registerEntry() {
        RegistrationFacts facts;
        facts.installerPath = String(u"D:\\setup.exe");
        facts.sharedFiles = sharedFilesText();
        testing::RecordingReporter reporter;
        return RegisterUninstallEntry(installScript(), facts, reporter);
    }
};

TEST_F(StoppedInstallation, WhatTheInstallationMadeGoesAndWhatWasThereStays) {
    ASSERT_TRUE(CreateInstallFolder(S(installDir)));
    // Recorded before the install actions: the previous installation's value, not this one's.
    setText(productKey, u"Before");
    uninstallData().recordDeletionWide(S(u"HKLM\\" + productKey + u"\\Before"),
                                       DeletionKind::RegistryValue);
    ArmRollback();

    writeRecorded(installDir + u"\\made.txt", false);
    ASSERT_TRUE(put(installDir + u"\\old.txt", "old"));
    writeRecorded(installDir + u"\\old.txt", true);
    ASSERT_TRUE(CreateDirectoryW(w(installDir + u"\\sub"), nullptr));
    uninstallData().recordDeletionWide(S(installDir + u"\\sub"), DeletionKind::Folder);
    writeRecorded(installDir + u"\\sub\\deep.txt", false);
    setText(productKey, u"After");
    uninstallData().recordDeletionWide(S(u"HKLM\\" + productKey + u"\\After"),
                                       DeletionKind::RegistryValue);
    ASSERT_TRUE(CreateDirectoryW(w(folder / u"system"), nullptr));
    ASSERT_TRUE(put(folder / u"system\\made.dll", "library"));
    installRollback().createdFiles.append(S(folder / u"system\\made.dll"));
    setCount(usedCount, 3);  // another product's
    sharedFileList().append(entry(newCount));
    sharedFileList().append(entry(usedCount, "^"));
    CountSharedFiles();
    ASSERT_EQ(rawCount(newCount), 1);
    ASSERT_EQ(rawCount(usedCount), 4);
    ASSERT_TRUE(registerEntry());
    ASSERT_TRUE(keyPresent(entryKey, KEY_WOW64_32KEY));

    RollBackInstallation();
    EXPECT_FALSE(present(installDir + u"\\made.txt"));
    EXPECT_FALSE(present(installDir + u"\\sub"));
    EXPECT_FALSE(present(folder / u"system\\made.dll"));
    EXPECT_EQ(testing::get(installDir + u"\\old.txt"), "new");
    EXPECT_TRUE(valuePresent(productKey, u"Before"));
    EXPECT_FALSE(valuePresent(productKey, u"After"));
    EXPECT_EQ(rawCount(newCount), -1);
    EXPECT_EQ(rawCount(usedCount), 3);
    EXPECT_FALSE(keyPresent(entryKey, KEY_WOW64_32KEY));
    // The install folder was made by the installation but still holds a file that was there.
    EXPECT_TRUE(present(installDir));
}

// A reinstallation's entry was there before: it stays, with the SharedFiles whose counts stand.
TEST_F(StoppedInstallation, AnEntryThatWasThereStaysWithItsSharedFiles) {
    preInstallState().previousSharedFiles =
        "\"C:\\windows\\system32\\tessarin-rollback-used.dll^\"";
    setCount(usedCount, 1);
    setText(entryKey, u"DisplayName", KEY_WOW64_32KEY);
    ArmRollback();
    sharedFileList().append(entry(usedCount, "^"));
    sharedFileList().append(entry(newCount));
    CountSharedFiles();
    ASSERT_TRUE(registerEntry());
    ASSERT_NE(narrowValue(entryKey, "SharedFiles"), preInstallState().previousSharedFiles.c_str());

    RollBackInstallation();
    EXPECT_TRUE(keyPresent(entryKey, KEY_WOW64_32KEY));
    EXPECT_EQ(narrowValue(entryKey, "SharedFiles"), preInstallState().previousSharedFiles.c_str());
    EXPECT_EQ(rawCount(usedCount), 1);
    EXPECT_EQ(rawCount(newCount), -1);
}

TEST_F(StoppedInstallation, ASealedInstallationStays) {
    ASSERT_TRUE(CreateInstallFolder(S(installDir)));
    ArmRollback();
    writeRecorded(installDir + u"\\made.txt", false);
    sharedFileList().append(entry(newCount));
    CountSharedFiles();
    SealInstallation();
    RollBackInstallation();
    EXPECT_TRUE(present(installDir + u"\\made.txt"));
    EXPECT_EQ(rawCount(newCount), 1);
}

}  // namespace
}  // namespace tessarin
