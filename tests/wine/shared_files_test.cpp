// Shared-file counts written to the registry and read back with the raw calls.
#include "actions/shared_files.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "package/install_script.h"
#include "services/install_log.h"

namespace tessarin {
namespace {

const wchar_t* kKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// The count as the registry holds it; -1 when the value is missing, -2 when it is no DWORD.
long long rawCount(const std::wstring& name) {
    DWORD type = 0, data = 0, size = sizeof data;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kKey, name.c_str(), RRF_RT_ANY, &type, &data, &size) !=
        ERROR_SUCCESS)
        return -1;
    return type == REG_DWORD && size == 4 ? static_cast<long long>(data) : -2;
}

void removeValue(const std::wstring& name) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueW(key, name.c_str());
    RegCloseKey(key);
}

class SharedFileCounting : public ::testing::Test {
  protected:
    void SetUp() override {
        for (auto& n : names) removeValue(n);
        saved = installScript().ProductFlags;
        savedDir = installScript().InstallDir;
        installScript().ProductFlags = kFlagsUninstallEntry;
        installScript().InstallDir = String(u"C:\\Program Files\\Counted");
        errorList().clear();
    }
    void TearDown() override {
        for (auto& n : names) removeValue(n);
        installScript().ProductFlags = saved;
        installScript().InstallDir = savedDir;
        sharedFileList().clear();
        sharedFilesText().clear();
        errorList().clear();
    }
    std::wstring names[2] = {L"C:\\windows\\system32\\tessarin-shared.ocx",
                             L"C:\\windows\\system32\\tessarin-\u00e4\u4e2d.dll"};
    uint64_t saved = 0;
    String savedDir;
};

TEST_F(SharedFileCounting, EachInstallationAddsOneUnderThePlainPath) {
    sharedFileList().append(String("C:\\windows\\system32\\tessarin-shared.ocx^"));
    // Outside every code page the name is held as "|" and UTF-8.
    sharedFileList().append(String("|C:\\windows\\system32\\tessarin-\xC3\xA4\xE4\xB8\xAD.dll"));
    CountSharedFiles();
    EXPECT_EQ(rawCount(names[0]), 1);
    EXPECT_EQ(rawCount(names[1]), 1);
    EXPECT_STREQ(sharedFilesText().c_str(),
                 "\"C:\\windows\\system32\\tessarin-shared.ocx^\";"
                 "\"|C:\\windows\\system32\\tessarin-\xC3\xA4\xE4\xB8\xAD.dll\"");
    CountSharedFiles();  // a second installation of a product using the same files
    EXPECT_EQ(rawCount(names[0]), 2);
    EXPECT_EQ(rawCount(names[1]), 2);
    EXPECT_TRUE(errorList().empty());
}

// A system that has counted no shared file yet has no key (a new Wine prefix lacks it in one
// view): the first count makes it.
TEST_F(SharedFileCounting, TheKeyIsMadeWhereTheSystemHasNone) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD values = 0, subKeys = 0;
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(key);
        if (values != 0 || subKeys != 0)
            GTEST_SKIP() << "this prefix keeps counts of its own in the key; it stays";
        ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, kKey), ERROR_SUCCESS);
    }
    sharedFileList().append(String("C:\\windows\\system32\\tessarin-shared.ocx^"));
    CountSharedFiles();
    EXPECT_EQ(rawCount(names[0]), 1);
    EXPECT_TRUE(errorList().empty()) << errorList().c_str();
}

TEST_F(SharedFileCounting, NothingIsCountedWithoutAnUninstaller) {
    installScript().ProductFlags = 0;
    sharedFileList().append(String("C:\\windows\\system32\\tessarin-shared.ocx^"));
    CountSharedFiles();
    EXPECT_EQ(rawCount(names[0]), -1);
    EXPECT_TRUE(sharedFilesText().empty());
}

}  // namespace
}  // namespace tessarin
