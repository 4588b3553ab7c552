#include "uninstall/taskbar_unpin.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recording_reporter.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::RecordingReporter;
using testing::utf8;

class ScriptedShell : public TaskbarUnpinSystem {
  public:
    bool unpin(const String& link) override {
        asked.push_back(utf8(link));
        return asked.size() != refuseCall;
    }
    std::vector<std::string> asked;
    size_t refuseCall = 0;  // 1-based; 0 refuses none
};

FileDeletion deletion(DeletionKind kind, const char* path) {
    FileDeletion d;
    d.kind = kind;
    d.path = String(path);
    return d;
}

const char kPinned[] =
    "C:\\Users\\u\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch\\User "
    "Pinned\\TaskBar\\";

TEST(TaskbarUnpin, AsksTheShellForEveryRecordedLinkBelowUserPinnedOnly) {
    Vector<FileDeletion> list;
    list.append(deletion(DeletionKind::File, "C:\\Program Files\\App\\app.exe"));
    list.append(deletion(DeletionKind::File, (std::string(kPinned) + "App.lnk").c_str()));
    // The folder name in another letter case, and a path in the narrow path form.
    list.append(deletion(DeletionKind::File, "C:\\x\\user pinned\\TaskBar\\Lower.lnk"));
    list.append(deletion(DeletionKind::File, "|C:\\x\\User Pinned\\TaskBar\\\xC3\x9C.lnk"));
    // Neither a folder nor a registry entry is a pin; nor a name that only resembles it.
    list.append(deletion(DeletionKind::Folder, (std::string(kPinned) + "Sub").c_str()));
    list.append(deletion(DeletionKind::RegistryKey, "HKCU\\User Pinned\\x"));
    list.append(deletion(DeletionKind::File, "C:\\x\\User Pinned.lnk"));
    list.append(deletion(DeletionKind::File, ""));

    ScriptedShell shell;
    shell.refuseCall = 2;
    RecordingReporter reporter;
    EXPECT_TRUE(unpinFromTaskbar(list, shell, reporter));

    std::vector<std::string> expected = {std::string(kPinned) + "App.lnk",
                                         "C:\\x\\user pinned\\TaskBar\\Lower.lnk",
                                         "C:\\x\\User Pinned\\TaskBar\\\xC3\x9C.lnk"};
    EXPECT_EQ(shell.asked, expected);
    EXPECT_EQ(reporter.logged, "Unpin from taskbar(" + expected[0] + "): OK\r\n" +
                                   "Unpin from taskbar(" + expected[1] + "): FAIL\r\n" +
                                   "Unpin from taskbar(" + expected[2] + "): OK\r\n");
    EXPECT_EQ(reporter.errors, "");
}

TEST(TaskbarUnpin, NoPinnedLinkMeansNothingToWaitFor) {
    Vector<FileDeletion> list;
    list.append(deletion(DeletionKind::File, "C:\\Program Files\\App\\app.exe"));
    ScriptedShell shell;
    RecordingReporter reporter;
    EXPECT_FALSE(unpinFromTaskbar(list, shell, reporter));
    EXPECT_TRUE(shell.asked.empty());
    EXPECT_EQ(reporter.logged, "");
}

}  // namespace
}  // namespace tessarin
