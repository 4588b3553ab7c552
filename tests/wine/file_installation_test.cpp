// Writing installed files in the Wine prefix: bytes, times and attributes, a failed write that
// leaves the previous file intact, and a held file replaced at the next restart.
#include "actions/file_installation.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "core/convert.h"
#include "core/date_time.h"
#include "core/file_system.h"
#include "held_file.h"
#include "pending_operations.h"
#include "restart_prefix.h"
#include "scratch_folder.h"
#include "services/install_log.h"
#include "setup/install_script.h"
#include "setup/payload_section.h"
#include "setup/setup_state.h"
#include "tests/native/pe_sample.h"
#include "tools/build/payload_writer.h"
#include "uninstall/uninstall_data.h"

namespace tessarin {
namespace {

using testing::get;
using testing::HeldFile;
using testing::PendingOperations;
using testing::present;
using testing::put;
using testing::restartPrefix;
using testing::ScratchFolder;
using testing::w;

String S(const std::u16string& s) {
    return String(s.c_str(), static_cast<int32_t>(s.size()));
}

// Entries of the folder other than the given name (and the holder's "<name>.held" marker): a
// leftover temporary file shows here.
int otherEntries(const std::u16string& folder, const std::u16string& name) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(w(folder + u"\\*"), &found);
    int count = 0;
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        std::u16string leaf(reinterpret_cast<char16_t*>(found.cFileName));
        if (leaf != u"." && leaf != u".." && leaf != name && leaf != name + u".held") ++count;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

class FileInstallation : public ::testing::Test {
  protected:
    void SetUp() override {
        installScript().ProductFlags = 0;
        errorList().clear();
        fileInstallationState() = FileInstallationState();
        date_.year = 2021;
        date_.month = 3;
        date_.day = 4;
        date_.hour = 5;
        date_.minute = 6;
        date_.second = 8;
    }
    void TearDown() override { errorList().clear(); }
    std::u16string path(const std::u16string& leaf) const { return folder_ / leaf; }

    ScratchFolder folder_{u"tessarin_files_"};
    FileDateTime date_;
    String data_{"new bytes"};
};

TEST_F(FileInstallation, FileLandsWithItsBytesTimesAndAttributes) {
    std::u16string target = path(u"sub\\deeper\\app.dat");
    bool scheduled = true;
    // 0x10000 lies outside the mask and is not applied.
    ASSERT_TRUE(WriteInstalledFile(S(target), data_, date_,
                                   0x10000 | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, false,
                                   scheduled));
    EXPECT_FALSE(scheduled);
    EXPECT_EQ(get(target), "new bytes");
    EXPECT_EQ(
        GetFileAttributesW(w(target)) & (0x10000 | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
        DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN});
    WIN32_FILE_ATTRIBUTE_DATA info;
    ASSERT_TRUE(GetFileAttributesExW(w(target), GetFileExInfoStandard, &info));
    uint64_t expected = 0;
    ASSERT_TRUE(recordToFileTime(date_, expected));
    auto value = [](FILETIME t) { return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
    EXPECT_EQ(value(info.ftLastWriteTime), expected);
    EXPECT_EQ(value(info.ftCreationTime), expected);
    EXPECT_EQ(otherEntries(path(u"sub\\deeper"), u"app.dat"), 0);
    EXPECT_STREQ(errorList().c_str(), "");
}

TEST_F(FileInstallation, AttributesMinusOneLeaveTheWrittenOnesAndExistingFilesAreReplaced) {
    std::u16string target = path(u"app.dat");
    put(target, "old bytes that are longer");
    bool scheduled = false;
    ASSERT_TRUE(
        WriteInstalledFile(S(target), data_, FileDateTime(), kNoAttributes, true, scheduled));
    EXPECT_EQ(get(target), "new bytes");
    EXPECT_EQ(GetFileAttributesW(w(target)) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(otherEntries(folder_.path(), u"app.dat"), 0);
}

TEST_F(FileInstallation, ReadOnlyTargetIsKeptWholeAndTheFailureListed) {
    std::u16string target = path(u"app.dat");
    put(target, "old");
    SetFileAttributesW(w(target), FILE_ATTRIBUTE_READONLY);
    bool scheduled = true;
    EXPECT_FALSE(WriteInstalledFile(S(target), data_, date_, kNoAttributes, false, scheduled));
    EXPECT_FALSE(scheduled);
    EXPECT_EQ(get(target), "old");
    EXPECT_EQ(otherEntries(folder_.path(), u"app.dat"), 0);
    std::string errors = errorList().c_str();
    EXPECT_NE(errors.find("app.dat"), std::string::npos) << errors;
    EXPECT_FALSE(fileInstallationState().rebootRequired);

    // The overwrite-protected option clears the attribute and writes.
    installScript().ProductFlags = kFlagsOverwriteProtected;
    EXPECT_TRUE(WriteInstalledFile(S(target), data_, date_, kNoAttributes, false, scheduled));
    EXPECT_EQ(get(target), "new bytes");
}

TEST_F(FileInstallation, HeldFileIsReplacedAtTheRestart) {
    PendingOperations pending;
    std::u16string target = path(u"held.dll");
    put(target, "old");
    HeldFile holder(target);
    ASSERT_TRUE(holder.ready());
    bool scheduled = false;
    EXPECT_FALSE(WriteInstalledFile(S(target), data_, date_, kNoAttributes, true, scheduled));
    EXPECT_TRUE(scheduled);
    EXPECT_TRUE(fileInstallationState().rebootRequired);
    EXPECT_STREQ(errorList().c_str(), "");
    holder.release();
    EXPECT_EQ(get(target), "old");
    bool found = false;
    for (const auto& [source, to] : PendingOperations::pairs()) {
        if (to.find(u"held.dll") == std::u16string::npos) continue;
        found = true;
        EXPECT_EQ(get(source.rfind(u"\\??\\", 0) == 0 ? source.substr(4) : source), "new bytes");
    }
    ASSERT_TRUE(found);

    ASSERT_TRUE(restartPrefix());
    EXPECT_EQ(get(target), "new bytes");
    EXPECT_EQ(otherEntries(folder_.path(), u"held.dll"), 0);
}

TEST_F(FileInstallation, HeldFileWithoutExistenceCheckGoesToTheErrorList) {
    PendingOperations pending;
    std::u16string target = path(u"held.exe");
    put(target, "old");
    HeldFile holder(target);
    ASSERT_TRUE(holder.ready());
    bool scheduled = true;
    EXPECT_FALSE(WriteInstalledFile(S(target), data_, date_, kNoAttributes, false, scheduled));
    EXPECT_FALSE(scheduled);
    EXPECT_FALSE(fileInstallationState().rebootRequired);
    EXPECT_NE(std::string(errorList().c_str()).find("held.exe"), std::string::npos);
    holder.release();
    EXPECT_EQ(get(target), "old");
    EXPECT_EQ(otherEntries(folder_.path(), u"held.exe"), 0);
}

// The loop over a payload built by the build tool's library, read from the image the way the
// installer reads its own section.
TEST_F(FileInstallation, LoopInstallsRecordsAndRecordsThemForRemoval) {
    build::PayloadSpec spec;
    spec.script = String("script");
    spec.compressBlocks = false;
    auto add = [&](const char* name, int32_t options, const char* data) {
        build::FileEntry f;
        f.name = String(name);
        f.options = options;
        date_.write(f.date);
        f.data = String(data);
        spec.files.push_back(f);
    };
    add("a.txt", 0, "first");
    add("sub\\b.bin", 0, "second");
    add("skipped.txt", 1 << 2, "never");  // overwrite mode 1
    add("kept.txt", 3 << 2, "not this");  // mode 3: an existing file stays
    std::vector<uint8_t> image = build::buildInstaller(testing::fakeStub(), spec);

    Payload& payload = setupPayload();
    payload.section = locateSetupSection(image.data(), image.size());
    ASSERT_TRUE(payload.section.found);
    payload.sectionBase = image.data() + payload.section.rawOffset;
    ASSERT_TRUE(
        openPayload(payload.sectionBase, payload.section.rawSize, payload.header, payload.script)
            .ok());
    InstallScript& script = installScript();
    script.ExternalData = 0;
    script.InstallDir = S(path(u"app"));
    script.UninstallDir = S(path(u"app"));
    script.SharedDir = S(path(u"shared"));
    CreateDirectoryW(w(path(u"app")), nullptr);
    put(path(u"app\\kept.txt"), "already here");
    uninstallData().clear();

    InstallFiles();

    EXPECT_EQ(get(path(u"app\\a.txt")), "first");
    EXPECT_EQ(get(path(u"app\\sub\\b.bin")), "second");
    EXPECT_FALSE(present(path(u"app\\skipped.txt")));
    EXPECT_EQ(get(path(u"app\\kept.txt")), "already here");
    String app;
    toNarrow(script.InstallDir.w_str(), script.InstallDir.wideLength(), app);
    std::string root = app.c_str();
    EXPECT_EQ(std::string(uninstallData().deletionText().c_str()),
              root + "\\a.txt\r\n~" + root + "\\sub\r\n" + root + "\\sub\\b.bin\r\n" + root +
                  "\\kept.txt\r\n");
    EXPECT_EQ(fileInstallationState().writtenInPlace.size(), 2u);
    EXPECT_STREQ(errorList().c_str(), "");
    uninstallData().clear();
    payload = Payload();
}

}  // namespace
}  // namespace tessarin
