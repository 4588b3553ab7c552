// Releasing shared files against the prefix's own SharedDLLs key, with real files: counts go
// down, files nobody uses any more go, the list value of the uninstall key goes.
#include "uninstall/shared_file_release.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "core/registry.h"
#include "recording_reporter.h"
#include "scratch_folder.h"

namespace tessarin {
namespace {

using testing::present;
using testing::put;
using testing::ScratchFolder;
using testing::w;

const wchar_t* kCounts = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const wchar_t* kUninstallKey = L"Software\\TessarinTests\\SharedFileRelease";

using testing::RecordingReporter;

// The count as the registry holds it; -1 when the value is missing.
long long count(const std::u16string& name) {
    DWORD data = 0, size = sizeof data;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kCounts, w(name), RRF_RT_REG_DWORD, nullptr, &data,
                     &size) != ERROR_SUCCESS)
        return -1;
    return data;
}

void setCount(const std::u16string& name, DWORD value) {
    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCounts, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    RegSetValueExW(key, w(name), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
}

void removeCount(const std::u16string& name) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCounts, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueW(key, w(name));
    RegCloseKey(key);
}

std::string utf8Of(const std::u16string& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, w(text), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w(text), static_cast<int>(text.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

TEST(SharedFileReleaseOnThePrefix, CountsFilesAndTheListValue) {
    // A fresh prefix may not have the counter key yet; a system always has it.
    HKEY created;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kCounts, 0, nullptr, 0, KEY_READ, nullptr,
                              &created, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(created);

    ScratchFolder scratch(u"sharedrel");
    std::u16string used = scratch / u"used.dll", last = scratch / u"last.dll",
                   permanent = scratch / u"permanent.dll", uncounted = scratch / u"uncounted.dll",
                   named = scratch / u"\u0416\u00e9.dll";
    for (const std::u16string& file : {used, last, permanent, uncounted, named}) {
        ASSERT_TRUE(put(file, "x"));
    }
    setCount(used, 3);
    setCount(last, 1);
    setCount(permanent, 1);
    setCount(named, 1);
    removeCount(uncounted);

    RegistryKey uninstallKey;
    ASSERT_NE(uninstallKey.open(kHkeyCurrentUser, reinterpret_cast<const char16_t*>(kUninstallKey),
                                0, kRegAccessAll),
              kRegOpenFailed);
    std::string ascii = utf8Of(scratch.path());  // the scratch folder's name is ASCII
    String text(("\"" + ascii + "\\used.dll\";\"" + ascii + "\\last.dll\";\"" + ascii +
                 "\\permanent.dll \";\"" + ascii + "\\uncounted.dll\";\"|" + utf8Of(named) + "\"")
                    .c_str());
    ASSERT_TRUE(uninstallKey.writeText("SharedFiles", text));

    RecordingReporter reporter;
    ReleaseSharedFiles(text, false, String(), String(), uninstallKey, reporter);

    EXPECT_EQ(reporter.errors, "");
    EXPECT_EQ(count(used), 2);
    EXPECT_TRUE(present(used));
    EXPECT_EQ(count(last), -1);  // the file went, and its count with it
    EXPECT_FALSE(present(last));
    EXPECT_EQ(count(permanent), 0);
    EXPECT_TRUE(present(permanent));
    EXPECT_EQ(count(uncounted), -1);
    EXPECT_TRUE(present(uncounted));
    EXPECT_EQ(count(named), -1);
    EXPECT_FALSE(present(named));
    RegistryValue value;
    EXPECT_FALSE(uninstallKey.read("SharedFiles", value));

    uninstallKey.closeAll();
    RegDeleteKeyW(HKEY_CURRENT_USER, kUninstallKey);
    for (const std::u16string& file : {used, last, permanent, named}) removeCount(file);
}

}  // namespace
}  // namespace tessarin
