// Icon replacement on a real executable: a copy of this test program gets a new icon group,
// which is then read back through the loader's resource functions.
#include "core/icon_replacement.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "scratch_folder.h"

namespace tessarin {
namespace {

using testing::get;
using testing::ScratchFolder;
using testing::w;

std::u16string ownPath() {
    wchar_t buffer[MAX_PATH + 1];
    DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH + 1);
    return std::u16string(reinterpret_cast<char16_t*>(buffer), n);
}

// Two images ("first", "second!") of 16x16 and 32x32.
std::string twoImageIcon() {
    std::string s("\0\0\1\0\2\0", 6);
    auto entry = [&s](char size, uint32_t bytes, uint32_t offset) {
        s += size;
        s += size;
        s += std::string("\0\0\1\0\x20\0", 6);
        s += std::string(reinterpret_cast<const char*>(&bytes), 4);
        s += std::string(reinterpret_cast<const char*>(&offset), 4);
    };
    entry(16, 5, 38);
    entry(32, 7, 43);
    return s + "first" + "second!";
}

std::string resource(HMODULE module, WORD type, WORD name) {
    HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(type), MAKEINTRESOURCEW(name), 1033);
    if (found == nullptr) return "<none>";
    HGLOBAL loaded = LoadResource(module, found);
    return std::string(static_cast<const char*>(LockResource(loaded)),
                       SizeofResource(module, found));
}

class IconReplacementFile : public ::testing::Test {
  protected:
    ScratchFolder folder{u"icon-replacement-"};
    std::u16string copy = folder / u"copy.exe";
    void SetUp() override { ASSERT_TRUE(CopyFileW(w(ownPath()), w(copy), FALSE)); }
    String copyPath() const { return String(copy.c_str()); }
};

TEST_F(IconReplacementFile, TheCopyCarriesTheNewIconGroupAndImages) {
    std::string icon = twoImageIcon();
    bool opened = false;
    ASSERT_TRUE(replaceExecutableIcon(
        copyPath(), String(icon.data(), static_cast<int32_t>(icon.size())), opened));
    EXPECT_TRUE(opened);

    HMODULE module = LoadLibraryExW(w(copy), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(resource(module, 3, 1), "first");
    EXPECT_EQ(resource(module, 3, 2), "second!");
    std::string group = resource(module, 14, 1);
    ASSERT_EQ(group.size(), 6u + 2 * 14);
    EXPECT_EQ(group.substr(0, 6), std::string("\0\0\1\0\2\0", 6));
    EXPECT_EQ(static_cast<uint8_t>(group[6 + 14]), 32);  // second entry's width
    EXPECT_EQ(group.substr(6 + 14 + 12, 2), std::string("\2\0", 2));
    FreeLibrary(module);
}

TEST_F(IconReplacementFile, ABrokenIconFileLeavesTheExecutableUnchanged) {
    std::string before = get(copy);
    std::string icon = twoImageIcon();
    icon.resize(icon.size() - 1);  // the second image runs past the end
    bool opened = false;
    EXPECT_FALSE(replaceExecutableIcon(
        copyPath(), String(icon.data(), static_cast<int32_t>(icon.size())), opened));
    EXPECT_TRUE(opened);
    EXPECT_TRUE(get(copy) == before);
}

TEST(IconReplacement, MissingExecutableAndClosedUpdateFail) {
    bool opened = true;
    EXPECT_FALSE(replaceExecutableIcon(String(u"C:\\no\\such\\file.exe"), String("\0\0\1\0\0\0", 6),
                                       opened));
    EXPECT_FALSE(opened);

    ResourceUpdate update;
    EXPECT_FALSE(update.end(false));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
}  // namespace tessarin
