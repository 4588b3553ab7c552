// The PATH edit against the prefix's machine environment: the "Path" value is replaced for the
// test (and put back afterwards), a folder is added and removed, and the value is read back raw
// with its type. Whether running programs re-read the environment cannot be seen here; the
// broadcast must only return.
#include "services/system_path.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "recording_reporter.h"
#include "scratch_folder.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::RecordingReporter;
using testing::S;
using testing::ScratchFolder;
using testing::w;

const std::u16string kEnvironment =
    u"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

struct RawValue {
    DWORD type = 0;
    std::vector<BYTE> data;
    bool present = false;
};

RawValue readRaw() {
    RawValue v;
    HKEY k;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, w(kEnvironment), 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS)
        return v;
    DWORD bytes = 0;
    if (RegQueryValueExW(k, L"Path", nullptr, &v.type, nullptr, &bytes) == ERROR_SUCCESS) {
        v.data.resize(bytes);
        v.present =
            RegQueryValueExW(k, L"Path", nullptr, &v.type, v.data.data(), &bytes) == ERROR_SUCCESS;
        v.data.resize(bytes);
    }
    RegCloseKey(k);
    return v;
}

void writeRaw(const RawValue& v) {
    HKEY k;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, w(kEnvironment), 0, KEY_SET_VALUE, &k),
              ERROR_SUCCESS);
    if (v.present)
        RegSetValueExW(k, L"Path", 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
    else
        RegDeleteValueW(k, L"Path");
    RegCloseKey(k);
}

RawValue expandable(const std::u16string& text) {
    RawValue v;
    v.present = true;
    v.type = REG_EXPAND_SZ;
    auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    v.data.assign(bytes, bytes + (text.size() + 1) * 2);
    return v;
}

std::u16string textOf(const RawValue& v) {
    std::u16string s(reinterpret_cast<const char16_t*>(v.data.data()), v.data.size() / 2);
    while (!s.empty() && s.back() == 0) s.pop_back();
    return s;
}

class SystemPathOnThePrefix : public ::testing::Test {
  protected:
    RawValue original = readRaw();
    ScratchFolder folder{u"system-path-"};
    RecordingReporter reporter;

    void TearDown() override { writeRaw(original); }
};

TEST_F(SystemPathOnThePrefix, AddsAndRemovesTheFolderAsAnExpandableText) {
    std::u16string dir = folder.path();
    ASSERT_TRUE(CreateDirectoryW(w(dir + u"\\bin"), nullptr));
    // A neighbour that begins with the same text must survive the removal untouched.
    std::u16string before = u"%SystemRoot%\\system32;" + dir + u"\\bin2;;%SystemRoot%";
    writeRaw(expandable(before));

    AddToSystemPath(true, S(u"bin"), S(dir), reporter);
    RawValue afterAdd = readRaw();
    EXPECT_EQ(afterAdd.type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(textOf(afterAdd), before + u";" + dir + u"\\bin");

    AddToSystemPath(false, S(u"bin"), S(dir), reporter);
    RawValue afterRemove = readRaw();
    EXPECT_EQ(afterRemove.type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(textOf(afterRemove), before);
    EXPECT_EQ(reporter.logged, "");
}

TEST_F(SystemPathOnThePrefix, MissingFolderIsLoggedAndNotAdded) {
    std::u16string before = u"C:\\windows;C:\\windows\\system32";
    writeRaw(expandable(before));
    AddToSystemPath(true, S(u"absent"), S(folder.path()), reporter);
    EXPECT_EQ(textOf(readRaw()), before);
    EXPECT_NE(reporter.logged.find("to the PATH because it does not exist.\r\n"),
              std::string::npos);
}

}  // namespace
}  // namespace tessarin
