// The removal pass on real files, folders and keys of the prefix.
#include "uninstall/removal.h"

#include <gtest/gtest.h>
#include <windows.h>
// shlobj.h builds on the types of windows.h.
#include <shlobj.h>

#include <string>

#include "core/convert.h"
#include "held_file.h"
#include "recording_reporter.h"
#include "scratch_folder.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::S;

using testing::HeldFile;
using testing::present;
using testing::put;
using testing::ScratchFolder;
using testing::w;

std::string narrow(const std::u16string& s) {
    return pathText(S(s)).c_str();
}

using testing::RecordingReporter;

bool keyExists(HKEY root, const std::u16string& path) {
    HKEY key;
    if (RegOpenKeyExW(root, w(path), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool valueExists(HKEY root, const std::u16string& path, const wchar_t* name) {
    return RegGetValueW(root, w(path), name, RRF_RT_ANY, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

void plantValue(HKEY root, const std::u16string& path, const wchar_t* name) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(root, w(path), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    DWORD one = 1;
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    RegCloseKey(key);
}

class RemovalOnSystem : public ::testing::Test {
  protected:
    RemovalOnSystem() {
        base_ = u"Software\\TessarinRemoval" + std::u16string(reinterpret_cast<const char16_t*>(
                                                   std::to_wstring(GetCurrentProcessId()).c_str()));
    }
    ~RemovalOnSystem() override { RegDeleteTreeW(HKEY_CURRENT_USER, w(base_)); }

    ScratchFolder folder_{u"tessarin_removal_"};
    std::u16string base_;
};

TEST_F(RemovalOnSystem, PlantedTreeAndDeletionList) {
    std::u16string app = folder_ / u"App";
    std::u16string deep = app + u"\\sub\\deep";
    CreateDirectoryW(w(app), nullptr);
    CreateDirectoryW(w(app + u"\\sub"), nullptr);
    CreateDirectoryW(w(deep), nullptr);
    ASSERT_TRUE(put(app + u"\\a.txt", "a"));
    ASSERT_TRUE(put(deep + u"\\b.dll", "b"));
    SetFileAttributesW(w(deep + u"\\b.dll"), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(put(deep + u"\\desktop.ini", "shell"));
    ASSERT_TRUE(put(app + u"\\held.dat", "held"));
    plantValue(HKEY_CURRENT_USER, base_ + u"\\Tree\\Sub", L"X");
    plantValue(HKEY_CURRENT_USER, base_ + u"\\Values", L"Gone");
    plantValue(HKEY_CURRENT_USER, base_ + u"\\Values", L"Stays");
    wchar_t windows[MAX_PATH];
    GetWindowsDirectoryW(windows, MAX_PATH);
    std::u16string windowsFolder(reinterpret_cast<char16_t*>(windows));

    std::string hkcu = "\\HKCU\\" + narrow(base_);
    std::string list = narrow(app + u"\\a.txt") + "\r\n~" + narrow(app + u"\\sub") + "\r\n~" +
                       narrow(deep) + "\r\n" + narrow(deep + u"\\desktop.ini") + "\r\n" +
                       narrow(deep + u"\\b.dll") + "\r\n!" + hkcu + "\\Values\\Gone\r\n^" + hkcu +
                       "\\Tree\r\n" + narrow(app + u"\\held.dat") + "\r\n" + narrow(windowsFolder) +
                       "\r\n\r\n[Strings]\r\n~58\r\nUnable to delete\r\n";
    UninstallData data;
    readUninstallDataText(list.c_str(), static_cast<int32_t>(list.size()), data);

    HeldFile holder(app + u"\\held.dat");
    ASSERT_TRUE(holder.ready());
    RecordingReporter reporter;
    RemovalOutcome outcome;
    RemovalSettings settings{S(app), 0};
    removeRecordedItems(data, settings, systemRemoval(), reporter, outcome);
    removeRecordedFolders(outcome.folders, settings, systemRemoval(), reporter);
    holder.release();

    EXPECT_FALSE(present(app + u"\\a.txt"));
    EXPECT_FALSE(present(deep + u"\\b.dll"));  // read-only and hidden
    EXPECT_FALSE(present(deep));
    EXPECT_FALSE(present(app + u"\\sub"));
    EXPECT_TRUE(present(app));  // the install folder stays
    EXPECT_TRUE(present(app + u"\\held.dat"));
    EXPECT_TRUE(present(windowsFolder));
    EXPECT_EQ(reporter.errors, "Unable to delete " + narrow(app + u"\\held.dat") + "\r\n" +
                                   "Not removed: \"" + narrow(windowsFolder) +
                                   "\" is a system folder.\r\n");
    EXPECT_EQ(std::string(data.deletionText().c_str()), narrow(app + u"\\held.dat") + "\r\n");
    EXPECT_TRUE(outcome.deletedFiles.contains(S(app + u"\\A.TXT")));

    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, base_ + u"\\Tree"));
    EXPECT_FALSE(valueExists(HKEY_CURRENT_USER, base_ + u"\\Values", L"Gone"));
    EXPECT_TRUE(valueExists(HKEY_CURRENT_USER, base_ + u"\\Values", L"Stays"));
}

TEST_F(RemovalOnSystem, ProductKeyAndRegistryTableInTheUsersHives) {
    // The product key below Software\<base>: HKEY_CURRENT_USER is one of the users' hives.
    plantValue(HKEY_CURRENT_USER, base_ + u"\\Co\\App\\Settings", L"X");
    plantValue(HKEY_CURRENT_USER, base_ + u"\\Other", L"Y");
    std::u16string product = base_.substr(9) + u"\\Co\\App";
    RecordingReporter reporter;
    removeProductRegistry(S(product), 0, systemRemoval(), reporter);
    EXPECT_EQ(reporter.errors, "");
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, base_ + u"\\Co"));  // emptied parent
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, base_ + u"\\Other"));

    plantValue(HKEY_CURRENT_USER, base_ + u"\\Table\\Empty", L"V");
    std::string table = "\\HKAU\\" + narrow(base_) + "\\Table\\Empty,V,4,1,2\r\n\\HKAU\\" +
                        narrow(base_) + "\\Table\\Empty\r\n\\HKAU\\" + narrow(base_) +
                        "\\Other\r\n";
    removeRegistryTable(String(table.c_str()), 0, systemRemoval(), reporter);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, base_ + u"\\Table\\Empty"));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, base_ + u"\\Other"));  // not empty
}

TEST_F(RemovalOnSystem, StartMenuFolderAndItsEmptiedParents) {
    wchar_t buffer[MAX_PATH];
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_PROGRAMS, nullptr, 0, buffer), S_OK);
    std::u16string programs(reinterpret_cast<char16_t*>(buffer));
    std::u16string top = base_.substr(9);
    std::u16string app = programs + u"\\" + top + u"\\Co\\App";
    ASSERT_EQ(SHCreateDirectoryExW(nullptr, w(app), nullptr), ERROR_SUCCESS);
    ASSERT_TRUE(put(programs + u"\\" + top + u"\\Readme.lnk", "link"));
    RecordingReporter reporter;
    removeStartMenuFolder(S(top + u"\\Co\\App"), false, reporter);
    EXPECT_FALSE(present(app));
    EXPECT_FALSE(present(programs + u"\\" + top + u"\\Co"));
    EXPECT_TRUE(present(programs + u"\\" + top));  // not empty
    EXPECT_TRUE(present(programs));
    EXPECT_EQ(reporter.errors, "");
    testing::removeTree(programs + u"\\" + top);
}

TEST(RemovalOfAWholeFolder, EverythingGoesButAHeldFileAndProtectedFoldersAreRefused) {
    ScratchFolder scratch(u"tessarin-wholefolder");
    const std::u16string top = scratch.path() + u"\\Product";
    ASSERT_EQ(SHCreateDirectoryExW(nullptr, w(top + u"\\data\\deep\\er"), nullptr), ERROR_SUCCESS);
    ASSERT_TRUE(CreateDirectoryW(w(top + u"\\empty"), nullptr));
    for (const char16_t* file : {u"\\a.txt", u"\\data\\b.txt", u"\\data\\deep\\er\\c.txt"})
        ASSERT_TRUE(put(top + file, "x"));
    SetFileAttributesW(w(top + u"\\data\\b.txt"), FILE_ATTRIBUTE_READONLY);
    RecordingReporter reporter;
    removeFolderWithContents(S(top), reporter);
    EXPECT_FALSE(present(top));
    EXPECT_EQ(reporter.errors, "");

    // A held file stays, with the folders that lead to it; the rest goes.
    ASSERT_EQ(SHCreateDirectoryExW(nullptr, w(top + u"\\held"), nullptr), ERROR_SUCCESS);
    ASSERT_TRUE(put(top + u"\\held\\busy.dat", "x"));
    ASSERT_TRUE(put(top + u"\\free.dat", "x"));
    {
        HeldFile held(top + u"\\held\\busy.dat");
        ASSERT_TRUE(held.ready());
        removeFolderWithContents(S(top), reporter);
        EXPECT_TRUE(present(top + u"\\held\\busy.dat"));
        EXPECT_FALSE(present(top + u"\\free.dat"));
    }

    wchar_t windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    removeFolderWithContents(S(std::u16string(reinterpret_cast<char16_t*>(windows))), reporter);
    removeFolderWithContents(S(u"C:\\"), reporter);
    EXPECT_TRUE(present(reinterpret_cast<char16_t*>(windows) + std::u16string(u"\\system32")));
    EXPECT_NE(reporter.errors.find("C:\\windows"), std::string::npos) << reporter.errors;
    EXPECT_NE(reporter.errors.find("\"C:\\\" is a drive root"), std::string::npos)
        << reporter.errors;
}

}  // namespace
}  // namespace tessarin
