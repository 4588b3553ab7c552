// What a stopped installation takes back of the deletion list.
#include "actions/rollback.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_text.h"

namespace tessarin {
namespace {

using testing::bytes;

TEST(InstallRollbackList, OnlyWhatTheActionsRecordedExceptFilesThatWereThere) {
    UninstallData data;
    // The preparation's own lines: a value of the previous installation, a folder above.
    data.recordDeletion("HKLM\\Software\\Old\\Folder", DeletionKind::RegistryValue);
    data.recordDeletion("C:\\Apps", DeletionKind::Folder);
    const int32_t mark = data.deletionLines().count();
    data.recordDeletion("C:\\Apps\\P\\new.exe", DeletionKind::File);
    data.recordDeletion("C:\\Apps\\P\\old.dll", DeletionKind::File);
    data.recordDeletion("C:\\Apps\\P\\sub", DeletionKind::Folder);
    data.recordDeletion("|C:\\Apps\\P\\sub\\\xC3\xA4.txt", DeletionKind::File);
    data.recordDeletion("HKLM\\Software\\P\\Value", DeletionKind::RegistryValue);
    data.recordDeletion("HKCU\\Software\\P", DeletionKind::RegistryKey);
    data.recordDeletion("HKLM\\Software\\P64", DeletionKind::RegistryKey64);
    PathSet kept;
    kept.add(String(u"c:\\apps\\p\\OLD.DLL"));

    Vector<FileDeletion> back = deletionsToTakeBack(data, mark, kept);
    std::vector<std::string> got;
    for (int32_t i = 0; i < back.count(); ++i)
        got.push_back(std::to_string(static_cast<int>(back[i].kind)) + " " + bytes(back[i].path));
    EXPECT_EQ(got, (std::vector<std::string>{"0 C:\\Apps\\P\\new.exe", "1 C:\\Apps\\P\\sub",
                                             "0 |C:\\Apps\\P\\sub\\\xC3\xA4.txt",
                                             "2 HKLM\\Software\\P\\Value", "3 HKCU\\Software\\P",
                                             "4 HKLM\\Software\\P64"}));
    EXPECT_EQ(deletionsToTakeBack(data, data.deletionLines().count(), kept).count(), 0);
}

}  // namespace
}  // namespace tessarin
