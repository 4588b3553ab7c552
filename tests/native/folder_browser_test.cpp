// The browse request's flags, root and initial folder.
#include "core/folder_browser.h"

#include <gtest/gtest.h>

#include "core/convert.h"

namespace tessarin {
namespace {

TEST(FolderBrowser, FlagsFollowTheOptions) {
    struct Case {
        uint32_t options, flags;
    } cases[] = {
        {0, 0x8041},  // BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_SHAREABLE
        {kBrowseNotShareable, 0x41},
        {kBrowseEditBox, 0x8051},
        {kBrowseNotShareable | kBrowseEditBox | kBrowseInitialBelowRoot, 0x51},
    };
    for (const Case& c : cases) EXPECT_EQ(browseFlags(c.options), c.flags) << c.options;
}

TEST(FolderBrowser, RootKinds) {
    EXPECT_EQ(browseRootFolderId(kBrowseRootComputer), 0x11);
    EXPECT_EQ(browseRootFolderId(kBrowseRootPrograms), 0x02);
    EXPECT_EQ(browseRootFolderId(kBrowseRootCommonPrograms), 0x17);
    EXPECT_EQ(browseRootFolderId(0), -1);
    EXPECT_EQ(browseRootFolderId(7), -1);
    EXPECT_EQ(browseRootPathFolderId(7), 0);
    EXPECT_EQ(browseRootPathFolderId(kBrowseRootPrograms), 0x02);
}

TEST(FolderBrowser, InitialFolderBelowTheRoot) {
    struct Case {
        const char16_t *root, *folder, *joined;
    } cases[] = {
        {u"C:\\Menu", u"Product", u"C:\\Menu\\Product"},
        {u"C:\\Menu\\", u"\\Product\\Sub", u"C:\\Menu\\Product\\Sub"},
        {u"C:\\", u"", u"C:\\"},
        {u"", u"Product", u"Product"},
    };
    for (const Case& c : cases) {
        String joined = joinBrowsePath(String(c.root), String(c.folder));
        EXPECT_TRUE(joined.equalsWide(c.joined));
    }
}

}  // namespace
}  // namespace tessarin
