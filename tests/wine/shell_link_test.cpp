// Shortcut files written by the library and read back through the shell's own object.
#include "core/shell_link.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "core/special_folders.h"
#include "scratch_folder.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::S;
using testing::U;

using testing::present;
using testing::ScratchFolder;
using testing::w;

std::u16string U(const wchar_t* s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s));
}

struct LinkFields {
    std::u16string target, arguments, folder, icon;
    int iconIndex = -1;
    int show = -1;
};

// Loads the link with IShellLinkW, independently of the code that wrote it.
bool readLink(const std::u16string& file, LinkFields& fields) {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return false;
    IPersistFile* persist = nullptr;
    bool ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)));
    ok = ok && SUCCEEDED(persist->Load(w(file), STGM_READ));
    wchar_t text[MAX_PATH * 2];
    if (ok && SUCCEEDED(link->GetPath(text, MAX_PATH * 2, nullptr, SLGP_RAWPATH)))
        fields.target = U(text);
    if (ok && SUCCEEDED(link->GetArguments(text, MAX_PATH * 2))) fields.arguments = U(text);
    if (ok && SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH * 2))) fields.folder = U(text);
    if (ok && SUCCEEDED(link->GetIconLocation(text, MAX_PATH * 2, &fields.iconIndex)))
        fields.icon = U(text);
    if (persist != nullptr) persist->Release();
    link->Release();
    // Wine's link object does not take the show command back from a loaded file, so it is read
    // from the file's header (a 32-bit value at offset 0x3C of the link format).
    std::string bytes = testing::get(file);
    if (ok && bytes.size() >= 0x40) std::memcpy(&fields.show, bytes.data() + 0x3C, 4);
    return ok;
}

class ShellLink : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }
};

TEST_F(ShellLink, WrittenFieldsReadBack) {
    ScratchFolder scratch(u"tessarin-link-");
    Shortcut shortcut;
    shortcut.target = S(u"C:\\windows\\notepad.exe");
    shortcut.arguments = S(u"/p \"C:\\a b\\readme.txt\"");
    shortcut.workingFolder = S(u"  C:\\windows\\temp\\ ");
    shortcut.iconFile = S(u"C:\\windows\\system32\\shell32.dll");
    shortcut.options = kShortcutMaximized;
    String saved;
    // Parent folders are made; the name gets its extension.
    std::u16string link = scratch / u"Menu\\Sub\\My \u00dcn\u00efcode App";
    ASSERT_TRUE(createShortcut(S(link), shortcut, &saved));
    EXPECT_EQ(U(saved), link + u".LNK");
    ASSERT_TRUE(present(link + u".LNK"));

    LinkFields fields;
    ASSERT_TRUE(readLink(link + u".LNK", fields));
    EXPECT_EQ(fields.target, u"C:\\windows\\notepad.exe");
    EXPECT_EQ(fields.arguments, u"/p \"C:\\a b\\readme.txt\"");
    EXPECT_EQ(fields.folder, u"C:\\windows\\temp");
    EXPECT_EQ(fields.icon, u"C:\\windows\\system32\\shell32.dll");
    EXPECT_EQ(fields.iconIndex, 0);
    EXPECT_EQ(fields.show, SW_SHOWMAXIMIZED);
}

TEST_F(ShellLink, DefaultsIconFromTargetAndMinimizedShow) {
    ScratchFolder scratch(u"tessarin-link2-");
    Shortcut shortcut;
    shortcut.target = S(u"C:\\windows\\regedit.exe");
    shortcut.workingFolder = S(u"C:");
    shortcut.options = kShortcutMinimized;
    // A name that already ends in .lnk keeps it.
    std::u16string link = scratch / u"tool.Lnk";
    ASSERT_TRUE(createShortcut(S(link), shortcut));
    EXPECT_FALSE(present(link + u".LNK"));
    LinkFields fields;
    ASSERT_TRUE(readLink(link, fields));
    EXPECT_EQ(fields.arguments, u"");
    EXPECT_EQ(fields.folder, u"C:\\");
    EXPECT_EQ(fields.icon, u"C:\\windows\\regedit.exe");
    EXPECT_EQ(fields.show, SW_SHOWMINNOACTIVE);
}

TEST_F(ShellLink, EmptyTargetIsRefused) {
    ScratchFolder scratch(u"tessarin-link3-");
    Shortcut shortcut;
    SetLastError(0);
    EXPECT_FALSE(createShortcut(S(scratch / u"none"), shortcut));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(present(scratch / u"none.LNK"));
}

TEST_F(ShellLink, DesktopAndProgramsMenuForms) {
    Shortcut shortcut;
    shortcut.target = S(u"C:\\windows\\notepad.exe");
    std::u16string name =
        u"Tessarin Link Test " + std::u16string(reinterpret_cast<const char16_t*>(
                                     std::to_wstring(GetCurrentProcessId()).c_str()));
    struct Form {
        bool (*create)(const String&, const Shortcut&, String*);
        SpecialFolder folder;
        uint32_t options;
    };
    const Form forms[] = {
        {createDesktopShortcut, SpecialFolder::Desktop, 0},
        {createDesktopShortcut, SpecialFolder::DesktopAllUsers, kShortcutAllUsers},
        {createProgramsMenuShortcut, SpecialFolder::ProgramsMenu, 0},
        {createProgramsMenuShortcut, SpecialFolder::ProgramsMenuAllUsers, kShortcutAllUsers},
    };
    for (const Form& form : forms) {
        shortcut.options = form.options;
        String saved;
        ASSERT_TRUE(form.create(S(u"Tessarin\\" + name), shortcut, &saved));
        std::u16string expected = U(specialFolder(form.folder)) + u"\\Tessarin\\" + name + u".LNK";
        EXPECT_EQ(U(saved), expected);
        LinkFields fields;
        EXPECT_TRUE(readLink(expected, fields));
        EXPECT_EQ(fields.target, u"C:\\windows\\notepad.exe");
        DeleteFileW(w(expected));
        RemoveDirectoryW(w(U(specialFolder(form.folder)) + u"\\Tessarin"));
    }
}

}  // namespace
}  // namespace tessarin
