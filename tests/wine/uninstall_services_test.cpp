// Uninstall.DAT on disk, conditional deletions on real files, the session manager's list of
// reboot-time operations and a restart of the prefix, and the guard's view of the system's
// folders, in the Wine prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "core/convert.h"
#include "core/file.h"
#include "core/file_system.h"
#include "held_file.h"
#include "pending_operations.h"
#include "recording_reporter.h"
#include "restart_prefix.h"
#include "scratch_folder.h"
#include "services/conditional_deletion.h"
#include "services/pending_renames.h"
#include "services/protected_paths.h"
#include "services/reboot_marker.h"
#include "services/uninstall_data.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::S;
using testing::utf8;

using testing::get;
using testing::HeldFile;
using testing::PendingOperations;
using testing::present;
using testing::put;
using testing::restartPrefix;
using testing::ScratchFolder;
using testing::w;

using testing::RecordingReporter;

class UninstallServices : public ::testing::Test {
  protected:
    ScratchFolder folder_{u"tessarin_uninst_"};
    std::u16string path(const std::u16string& leaf) const { return folder_ / leaf; }
};

// ---- Uninstall.DAT ---------------------------------------------------------------------------

TEST_F(UninstallServices, UninstallDataFileIsWrittenAndReadBack) {
    std::u16string folder = path(u"Caf\u00e9 \u5831\u544a");
    CreateDirectoryW(w(folder), nullptr);
    UninstallData data;
    data.recordDeletionWide(S(folder + u"\\app.exe"), DeletionKind::File);
    data.recordDeletionWide(S(folder), DeletionKind::Folder);
    data.setText(53, String(u"Remove it?\r\nReally?"));
    data.msi.append(String("\"C:\\x.msi\",2"));
    data.conditionalDeletions.append({"*.log", kConditionSizeNotBelow, "0", 8});
    String file = uninstallDataPath(S(folder));
    ASSERT_EQ(writeUninstallDataFile(data, file), kFileOk);
    std::string bytes = get(folder + u"\\Uninstall.DAT");
    EXPECT_EQ(bytes.compare(0, 1, "|"), 0);  // the non-ASCII path in the narrow path form

    UninstallData back;
    Vector<String> notes;
    ASSERT_EQ(readUninstallDataFile(file, back, &notes), kFileOk);
    EXPECT_EQ(notes.count(), 0);
    ASSERT_EQ(back.deletions.count(), 4);  // and the two blank lines before "[Strings]"
    EXPECT_TRUE(deletionPathWide(back.deletions[1]) == S(folder));
    EXPECT_EQ(back.deletions[1].kind, DeletionKind::Folder);
    EXPECT_EQ(utf8(back.text(53)), "Remove it?\r\nReally?");
    ASSERT_EQ(back.msi.count(), 3);  // and the blank lines before the next header
    EXPECT_STREQ(back.msi[0].c_str(), "\"C:\\x.msi\",2");
    EXPECT_EQ(back.conditionalDeletions.count(), 1);
}

// A list of thousands of files goes out in several buffers: the file holds exactly the text.
TEST_F(UninstallServices, ALongDeletionListIsWrittenByteForByte) {
    UninstallData data;
    for (int i = 0; i < 3000; ++i) {
        std::string folder = "C:\\Program Files\\Product\\data" + std::to_string(i / 100);
        if (i % 100 == 0) data.recordDeletion(folder.c_str(), DeletionKind::Folder);
        data.recordDeletion((folder + "\\file number " + std::to_string(i) + ".dat").c_str(),
                            DeletionKind::File);
    }
    data.setText(53, String(u"Remove it?"));
    String file = uninstallDataPath(S(folder_.path()));
    ASSERT_EQ(writeUninstallDataFile(data, file), kFileOk);
    std::string bytes = get(folder_ / u"Uninstall.DAT");
    String expected = uninstallDataText(data);
    EXPECT_GT(bytes.size(), 128u * 1024);
    EXPECT_TRUE(bytes == std::string(expected.c_str(), static_cast<size_t>(expected.length())));
    std::string first = "~C:\\Program Files\\Product\\data0\r\n";
    EXPECT_EQ(bytes.compare(0, first.size(), first), 0);
}

// An install folder near the length limit of plain paths: the record is read back from where it
// was written. (Wine opens plain paths beyond that limit as well, so here only the round trip
// shows; Windows refuses them, which the "\\?\" form of both the writer and the reader avoids.)
TEST_F(UninstallServices, ARecordBeyondThePlainPathLimitIsReadBack) {
    std::u16string folder = folder_.path();
    while (folder.size() < MAX_PATH) {
        folder += u"\\a-folder-of-thirty-characters";
        ASSERT_TRUE(CreateDirectoryW(w(u"\\\\?\\" + folder), nullptr) ||
                    GetLastError() == ERROR_ALREADY_EXISTS);
    }
    UninstallData data;
    data.recordDeletionWide(S(folder + u"\\app.exe"), DeletionKind::File);
    String file = uninstallDataPath(S(folder));
    ASSERT_EQ(writeUninstallDataFile(data, file), kFileOk);
    UninstallData back;
    ASSERT_EQ(readUninstallDataFile(file, back), kFileOk);
    ASSERT_GE(back.deletions.count(), 1);  // and the blank lines before the next header
    EXPECT_TRUE(deletionPathWide(back.deletions[0]) == S(folder + u"\\app.exe"));
    DeleteFileW(w(u"\\\\?\\" + folder + u"\\Uninstall.DAT"));
    for (; folder.size() > folder_.path().size(); folder.resize(folder.rfind(u'\\')))
        RemoveDirectoryW(w(u"\\\\?\\" + folder));
}

TEST_F(UninstallServices, UninstallDataFileFailures) {
    UninstallData data;
    EXPECT_EQ(readUninstallDataFile(S(path(u"Uninstall.DAT")), data), kFileErrorNotFound);
    EXPECT_EQ(readUninstallDataFile(S(path(u"none\\Uninstall.DAT")), data), kFileErrorNoDirectory);

    // The notes of a damaged file name it.
    put(path(u"Uninstall.DAT"), "C:\\a\r\n[AutoClose]\r\nx,y\r\n");
    Vector<String> notes;
    ASSERT_EQ(readUninstallDataFile(S(path(u"Uninstall.DAT")), data, &notes), kFileOk);
    ASSERT_EQ(notes.count(), 1);
    EXPECT_EQ(std::string(notes[0].c_str()),
              utf8(S(path(u"Uninstall.DAT"))) + ", line 3: not four fields, ignored");

    // The installer reports a file it cannot write in the error list and goes on.
    RecordingReporter reporter;
    EXPECT_FALSE(
        saveUninstallData(data, S(path(u"missing")), String(u"Could not write:"), reporter));
    std::string expected = "Could not write: " + utf8(S(path(u"missing\\Uninstall.DAT"))) + "\r\n";
    EXPECT_EQ(reporter.errors.compare(0, expected.size(), expected), 0) << reporter.errors;
    EXPECT_GT(reporter.errors.size(), expected.size() + 4);  // the system's reason follows
    EXPECT_EQ(reporter.errors.substr(reporter.errors.size() - 4), "\r\n\r\n");
}

// ---- Conditional deletions ---------------------------------------------------------------

TEST_F(UninstallServices, ConditionalDeletionsOnRealFiles) {
    PendingOperations pending;
    put(path(u"free.log"), "12345");
    put(path(u"small.log"), "1");
    put(path(u"locked.log"), "12345");
    put(path(u"kept.dll"), "12345");
    SetFileAttributesW(w(path(u"free.log")), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    HeldFile holder(path(u"locked.log"));
    ASSERT_TRUE(holder.ready());

    Vector<ConditionalDeletion> rules;
    rules.append({"*.log", kConditionSizeNotBelow, "5", 8 | 2});  // relative to the folder
    rules.append({"kept.dll", kConditionNone, "", 8});
    RecordingReporter reporter;
    uint64_t flags = 0;
    {
        HeldFile dll(path(u"kept.dll"));
        ASSERT_TRUE(dll.ready());
        carryOutConditionalDeletions(rules, DeletionPhase::Uninstall, S(folder_.path()), reporter,
                                     flags);
    }
    EXPECT_FALSE(present(path(u"free.log")));  // read-only and hidden made no difference
    EXPECT_TRUE(present(path(u"small.log")));
    EXPECT_TRUE(present(path(u"locked.log")));
    EXPECT_TRUE(PendingOperations::holds(path(u"locked.log"), u""));
    EXPECT_TRUE(present(path(u"kept.dll")));  // locked, without the restart fallback
    EXPECT_FALSE(PendingOperations::holds(path(u"kept.dll"), u""));
    ASSERT_EQ(rules.count(), 1);
    EXPECT_STREQ(rules[0].Path.c_str(), "kept.dll");
    EXPECT_EQ(flags, kRestartNeededUninstall);
    EXPECT_EQ(reporter.logged + reporter.errors, "");
}

// ---- Reboot-time operations --------------------------------------------------------------

TEST_F(UninstallServices, ScheduledDeletionHappensAtTheRestart) {
    PendingOperations pending;
    std::u16string file = path(u"at restart.txt");
    put(file, "x");
    Vector<ConditionalDeletion> rules;
    rules.append({"at restart.txt", kConditionNone, "", 4 | 1});
    RecordingReporter reporter;
    uint64_t flags = 0;
    carryOutConditionalDeletions(rules, DeletionPhase::Install, S(folder_.path()), reporter, flags);
    EXPECT_EQ(flags, kRestartNeededInstall);
    EXPECT_EQ(reporter.logged,
              "File \"" + utf8(S(file)) + "\" will be deleted after rebooting.\r\n\r\n");
    EXPECT_EQ(get(file), "x");
    ASSERT_TRUE(PendingOperations::holds(file, u""));

    ASSERT_TRUE(restartPrefix());
    EXPECT_FALSE(present(file));
    EXPECT_FALSE(PendingOperations::holds(file, u""));
}

TEST_F(UninstallServices, OperationsOnFilesWrittenAgainAreTakenOut) {
    PendingOperations pending;
    std::u16string deleted = path(u"Deleted Later.txt"), target = path(u"target.dll"),
                   replacement = path(u"replacement.tmp"), other = path(u"other.txt");
    for (const std::u16string& f : {deleted, target, replacement, other}) put(f, "old");
    ASSERT_TRUE(deleteFile(S(deleted), kDeleteAtReboot));
    ASSERT_TRUE(moveFile(S(replacement), S(target), kMoveAtReboot));
    ASSERT_TRUE(deleteFile(S(other), kDeleteAtReboot));
    ASSERT_TRUE(PendingOperations::holds(deleted, u""));
    ASSERT_TRUE(PendingOperations::holds(replacement, target));

    // The installer has just written both files again: the restart must leave them alone.
    PathSet written;
    written.add(S(deleted));
    written.add(S(target));
    RecordingReporter reporter;
    removePendingOperations(written, DeletionPhase::Install, reporter);
    EXPECT_FALSE(PendingOperations::holds(deleted, u""));
    EXPECT_FALSE(PendingOperations::holds(replacement, target));
    EXPECT_TRUE(PendingOperations::holds(other, u""));
    EXPECT_FALSE(present(replacement));  // the stale replacement went to the recycle bin
    // The lines come in the list's order, which is the system's.
    std::string moved =
        "File \"" + utf8(S(target)) + "\" was removed from the list of pending moves.\r\n";
    std::string gone =
        "File \"" + utf8(S(deleted)) + "\" was removed from the list of pending deletions.\r\n";
    EXPECT_TRUE(reporter.logged == "\r\n" + moved + gone ||
                reporter.logged == "\r\n" + gone + moved)
        << reporter.logged;
}

TEST_F(UninstallServices, RebootMarkerLastsUntilTheRestart) {
    PendingOperations pending;
    EXPECT_FALSE(placeRebootMarker(kFlagsRebootMarker >> 1, S(folder_.path())));
    EXPECT_FALSE(present(path(u"reboot.dat")));
    EXPECT_TRUE(placeRebootMarker(kFlagsRebootMarker | 0x4, S(folder_.path())));
    EXPECT_EQ(get(path(u"reboot.dat")), "");
    EXPECT_TRUE(PendingOperations::holds(path(u"reboot.dat"), u""));
}

// ---- The guard ---------------------------------------------------------------------------

TEST(UninstallGuard, TheSystemsOwnFoldersAreRefused) {
    const ProtectedFolders& folders = systemProtectedFolders();
    wchar_t buffer[MAX_PATH];
    GetWindowsDirectoryW(buffer, MAX_PATH);
    std::u16string windows(reinterpret_cast<char16_t*>(buffer));
    GetSystemDirectoryW(buffer, MAX_PATH);
    std::u16string system(reinterpret_cast<char16_t*>(buffer));
    DWORD n = GetEnvironmentVariableW(L"USERPROFILE", buffer, MAX_PATH);
    std::u16string profile(reinterpret_cast<char16_t*>(buffer), n);
    n = GetEnvironmentVariableW(L"ProgramFiles", buffer, MAX_PATH);
    std::u16string programs(reinterpret_cast<char16_t*>(buffer), n);
    n = GetShortPathNameW(w(programs), buffer, MAX_PATH);
    std::u16string programsShort(reinterpret_cast<char16_t*>(buffer), n);

    EXPECT_STREQ(protectedPathReason(S(windows + u"\\"), folders), "is a system folder");
    EXPECT_STREQ(protectedPathReason(S(system), folders), "is a system folder");
    EXPECT_STREQ(protectedPathReason(S(programs), folders), "is a system folder");
    EXPECT_STREQ(protectedPathReason(S(programsShort), folders), "is a system folder");
    EXPECT_STREQ(protectedPathReason(S(profile), folders), "is a user profile folder");
    std::u16string profiles = profile.substr(0, profile.rfind(u'\\'));
    EXPECT_STREQ(protectedPathReason(S(profiles + u"\\Someone Else"), folders),
                 "is a user profile folder");
    EXPECT_STREQ(protectedPathReason(S(windows.substr(0, 3)), folders), "is a drive root");
    EXPECT_EQ(protectedPathReason(S(programs + u"\\Product"), folders), nullptr);
    EXPECT_EQ(protectedPathReason(S(profile + u"\\Documents\\Product"), folders), nullptr);
}

}  // namespace
}  // namespace tessarin
