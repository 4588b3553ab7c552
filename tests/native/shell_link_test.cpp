// The naming and field rules of shortcut files.
#include "core/shell_link.h"

#include <gtest/gtest.h>

#include "test_text.h"

namespace tessarin {
namespace {

using testing::fromUtf8;
using testing::utf8;

TEST(ShellLinkRules, LinkNamesGetTheExtensionOnce) {
    const char* cases[][2] = {
        {"C:\\Menu\\App", "C:\\Menu\\App.LNK"},
        {"C:\\Menu\\App.lnk", "C:\\Menu\\App.lnk"},
        {"C:\\Menu\\App.LnK", "C:\\Menu\\App.LnK"},
        {"C:\\Menu\\App.lnk.txt", "C:\\Menu\\App.lnk.txt.LNK"},
        {"C:\\Menu\\Ünïcode", "C:\\Menu\\Ünïcode.LNK"},
        {"lnk", "lnk.LNK"},
    };
    for (auto& c : cases) EXPECT_EQ(utf8(linkFileName(fromUtf8(c[0]))), c[1]) << c[0];
}

TEST(ShellLinkRules, WorkingFolderIsTrimmedButABareDriveKeepsItsBackslash) {
    const char* cases[][2] = {
        {"  C:\\Program Files\\App\\ \t", "C:\\Program Files\\App"},
        {"C:\\App", "C:\\App"},
        {"C:\\", "C:\\"},
        {" D: ", "D:\\"},
        {"\\\\server\\share\\", "\\\\server\\share"},
        {"   ", ""},
        {"", ""},
    };
    for (auto& c : cases) EXPECT_EQ(utf8(shortcutWorkingFolder(fromUtf8(c[0]))), c[1]) << c[0];
}

TEST(ShellLinkRules, ShowCommandFromOptions) {
    EXPECT_EQ(shortcutShowCommand(0), 0);
    EXPECT_EQ(shortcutShowCommand(kShortcutAllUsers), 0);
    EXPECT_EQ(shortcutShowCommand(kShortcutMinimized), 7);
    EXPECT_EQ(shortcutShowCommand(kShortcutMaximized), 3);
}

}  // namespace
}  // namespace tessarin
