// Unpinning on the prefix. Wine has no taskbar pins and no shell extension for the
// "taskbarunpin" verb, so what can be checked here is that asking for it is harmless: the shell
// refuses quietly (no dialog that would hold a silent uninstallation), the recorded link stays
// for the deletion pass, and the caller still learns that there was a pin to wait for. Whether
// Windows 7 to 8.1 really drop the taskbar button could not be exercised.
#include "uninstall/taskbar_unpin.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "core/convert.h"
#include "recording_reporter.h"
#include "scratch_folder.h"

namespace tessarin {
namespace {

using testing::get;
using testing::put;
using testing::RecordingReporter;
using testing::ScratchFolder;
using testing::utf8;

FileDeletion recordedFile(const std::u16string& path) {
    FileDeletion deletion;
    deletion.path = pathText(String(path.c_str()));
    return deletion;
}

TEST(TaskbarUnpinOnThePrefix, AnUnknownVerbIsRefusedQuietlyAndTheLinkStays) {
    ScratchFolder scratch(u"unpin");
    std::u16string pinned = scratch / u"User Pinned";
    CreateDirectoryW(testing::w(pinned), nullptr);
    CreateDirectoryW(testing::w(pinned + u"\\TaskBar"), nullptr);
    std::u16string link = pinned + u"\\TaskBar\\App.lnk";
    ASSERT_TRUE(put(link, "not really a link"));

    Vector<FileDeletion> list;
    list.append(recordedFile(link));
    list.append(recordedFile(pinned + u"\\TaskBar\\Missing.lnk"));
    RecordingReporter reporter;
    EXPECT_TRUE(UnpinFromTaskbar(list, reporter));

    EXPECT_EQ(get(link), "not really a link");
    EXPECT_EQ(reporter.logged, "Unpin from taskbar(" + utf8(String(link.c_str())) +
                                   "): FAIL\r\nUnpin from taskbar(" +
                                   utf8(String((pinned + u"\\TaskBar\\Missing.lnk").c_str())) +
                                   "): FAIL\r\n");
}

}  // namespace
}  // namespace tessarin
