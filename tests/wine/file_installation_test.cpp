// Writing installed files in the Wine prefix: bytes, times and attributes, a failed write that
// leaves the previous file intact, and a held file replaced at the next restart.
#include "actions/file_installation.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "actions/shared_files.h"
#include "actions/shortcuts.h"
#include "core/convert.h"
#include "core/date_time.h"
#include "core/file_system.h"
#include "core/registry.h"
#include "held_file.h"
#include "package/install_script.h"
#include "package/payload_section.h"
#include "pending_operations.h"
#include "restart_prefix.h"
#include "scratch_folder.h"
#include "services/install_log.h"
#include "services/setup_state.h"
#include "services/uninstall_data.h"
#include "test_text.h"
#include "tests/native/pe_sample.h"
#include "tools/build/payload_writer.h"

namespace tessarin {
namespace {

using testing::S;

using testing::get;
using testing::HeldFile;
using testing::PendingOperations;
using testing::present;
using testing::put;
using testing::restartPrefix;
using testing::ScratchFolder;
using testing::w;

std::u16string wide16(const String& s) {
    return std::u16string(s.w_str(), static_cast<size_t>(s.wideLength()));
}

std::string narrow(const std::u16string& s) {
    String n;
    toNarrow(s.c_str(), static_cast<int32_t>(s.size()), n);
    return n.c_str();
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

// The built installer's payload as the running installer's own, as OpenPayload leaves it.
bool openAsRunningPayload(const std::vector<uint8_t>& image) {
    Payload& payload = setupPayload();
    payload.section = locateSetupSection(image.data(), image.size());
    if (!payload.section.found) return false;
    payload.sectionBase = image.data() + payload.section.rawOffset;
    return openPayload(payload.sectionBase, payload.section.rawSize, payload.header, payload.script)
        .ok();
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
    BytesFileData source_{data_};
};

TEST_F(FileInstallation, FileLandsWithItsBytesTimesAndAttributes) {
    std::u16string target = path(u"sub\\deeper\\app.dat");
    bool scheduled = true;
    // 0x10000 lies outside the mask and is not applied.
    ASSERT_TRUE(WriteInstalledFile(S(target), source_, date_,
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

// A target that did not exist in an existing folder is written in place: bytes, both times and
// the record's attributes (the archive attribute alone, none, or more) as through the temporary
// file, and nothing else left in the folder.
TEST_F(FileInstallation, NewFileInAnExistingFolderGetsItsTimesAndExactlyItsAttributes) {
    struct Case {
        const char16_t* name;
        int32_t attributes;
        DWORD expected;
    };
    const Case cases[] = {
        {u"archive.dat", FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_ARCHIVE},
        // Windows leaves none; Wine reports the archive attribute on every file.
        {u"none.dat", 0, 0},
        {u"ro.dat", FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY,
         FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY},
    };
    uint64_t expected = 0;
    ASSERT_TRUE(recordToFileTime(date_, expected));
    auto value = [](FILETIME t) { return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
    for (const Case& c : cases) {
        std::u16string target = path(c.name);
        bool scheduled = true;
        BytesFileData source(data_);
        ASSERT_TRUE(WriteInstalledFile(S(target), source, date_, c.attributes, false, scheduled));
        EXPECT_FALSE(scheduled);
        EXPECT_EQ(get(target), "new bytes");
        WIN32_FILE_ATTRIBUTE_DATA info;
        ASSERT_TRUE(GetFileAttributesExW(w(target), GetFileExInfoStandard, &info));
        DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                     (c.attributes ? FILE_ATTRIBUTE_ARCHIVE : 0);
        EXPECT_EQ(info.dwFileAttributes & kept, c.expected) << int(c.attributes);
        if (c.attributes == FILE_ATTRIBUTE_ARCHIVE) {
            EXPECT_EQ(info.dwFileAttributes, c.expected);
        }
        EXPECT_EQ(value(info.ftLastWriteTime), expected);
        EXPECT_EQ(value(info.ftCreationTime), expected);
        SetFileAttributesW(w(target), FILE_ATTRIBUTE_NORMAL);
    }
    EXPECT_EQ(otherEntries(folder_.path(), u"archive.dat"), 2);  // none.dat and ro.dat
    EXPECT_STREQ(errorList().c_str(), "");
}

TEST_F(FileInstallation, AttributesMinusOneLeaveTheWrittenOnesAndExistingFilesAreReplaced) {
    std::u16string target = path(u"app.dat");
    put(target, "old bytes that are longer");
    bool scheduled = false;
    ASSERT_TRUE(
        WriteInstalledFile(S(target), source_, FileDateTime(), kNoAttributes, true, scheduled));
    EXPECT_EQ(get(target), "new bytes");
    EXPECT_EQ(GetFileAttributesW(w(target)) & FILE_ATTRIBUTE_READONLY, 0u);
    EXPECT_EQ(otherEntries(folder_.path(), u"app.dat"), 0);
}

TEST_F(FileInstallation, ReadOnlyTargetIsKeptWholeAndTheFailureListed) {
    std::u16string target = path(u"app.dat");
    put(target, "old");
    SetFileAttributesW(w(target), FILE_ATTRIBUTE_READONLY);
    bool scheduled = true;
    EXPECT_FALSE(WriteInstalledFile(S(target), source_, date_, kNoAttributes, false, scheduled));
    EXPECT_FALSE(scheduled);
    EXPECT_EQ(get(target), "old");
    EXPECT_EQ(otherEntries(folder_.path(), u"app.dat"), 0);
    std::string errors = errorList().c_str();
    EXPECT_NE(errors.find("app.dat"), std::string::npos) << errors;
    EXPECT_FALSE(fileInstallationState().rebootRequired);

    // The overwrite-protected option clears the attribute and writes.
    installScript().ProductFlags = kFlagsOverwriteProtected;
    EXPECT_TRUE(WriteInstalledFile(S(target), source_, date_, kNoAttributes, false, scheduled));
    EXPECT_EQ(get(target), "new bytes");
}

TEST_F(FileInstallation, HeldFileIsReplacedAtTheRestart) {
    PendingOperations pending;
    std::u16string target = path(u"held.dll");
    put(target, "old");
    HeldFile holder(target);
    ASSERT_TRUE(holder.ready());
    bool scheduled = false;
    EXPECT_FALSE(WriteInstalledFile(S(target), source_, date_, kNoAttributes, true, scheduled));
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
    EXPECT_FALSE(WriteInstalledFile(S(target), source_, date_, kNoAttributes, false, scheduled));
    EXPECT_FALSE(scheduled);
    EXPECT_FALSE(fileInstallationState().rebootRequired);
    EXPECT_NE(std::string(errorList().c_str()).find("held.exe"), std::string::npos);
    holder.release();
    EXPECT_EQ(get(target), "old");
    EXPECT_EQ(otherEntries(folder_.path(), u"held.exe"), 0);
}

// A source that gives its first piece and then fails (as a record whose checksum does not
// match): the write stops, and neither the target nor a temporary file is left; nothing is
// listed, since the caller ends the installation with the source's code.
TEST_F(FileInstallation, FailingSourceLeavesNothingBehind) {
    class Failing : public FileData {
      public:
        bool next(const uint8_t*& piece, size_t& size) override {
            piece = reinterpret_cast<const uint8_t*>("part");
            size = 4;
            return calls_++ == 0;
        }
        bool rewind() override { return true; }

      private:
        int calls_ = 0;
    } failing;
    for (bool existed : {false, true}) {
        std::u16string target = path(u"broken.dat");
        if (existed) put(target, "old");
        bool scheduled = true;
        EXPECT_FALSE(
            WriteInstalledFile(S(target), failing, date_, kNoAttributes, existed, scheduled));
        EXPECT_FALSE(scheduled);
        EXPECT_EQ(present(target), existed);
        if (existed) {
            EXPECT_EQ(get(target), "old");
        }
        EXPECT_EQ(otherEntries(folder_.path(), u"broken.dat"), 0);
        EXPECT_STREQ(errorList().c_str(), "");
    }
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
    // A file over many blocks lands whole.
    std::string big(200000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = char(i * 7919 >> 3);
    add("big.bin", 0, "");
    spec.files.back().data = String(big.data(), int32_t(big.size()));
    spec.blockSize = 4096;
    std::vector<uint8_t> image = build::buildInstaller(testing::fakeStub(), spec);

    ASSERT_TRUE(openAsRunningPayload(image));
    InstallScript& script = installScript();
    script.ExternalData = 0;
    script.InstallDir = S(path(u"app"));
    script.UninstallDir = S(path(u"app"));
    script.SharedDir = S(path(u"shared"));
    CreateDirectoryW(w(path(u"app")), nullptr);
    put(path(u"app\\kept.txt"), "already here");
    // Every file is read back against its record's bytes.
    script.ProductFlags = kFlagsVerifyWrittenFiles;
    uninstallData().clear();

    OpenFileData();
    InstallFiles();
    FinishFileData();

    EXPECT_EQ(get(path(u"app\\a.txt")), "first");
    EXPECT_EQ(get(path(u"app\\sub\\b.bin")), "second");
    EXPECT_FALSE(present(path(u"app\\skipped.txt")));
    EXPECT_EQ(get(path(u"app\\kept.txt")), "already here");
    EXPECT_TRUE(get(path(u"app\\big.bin")) == big);
    EXPECT_EQ(otherEntries(path(u"app"), u"big.bin"), 3);  // a.txt, sub and kept.txt
    String app;
    toNarrow(script.InstallDir.w_str(), script.InstallDir.wideLength(), app);
    std::string root = app.c_str();
    EXPECT_EQ(std::string(uninstallData().deletionText().c_str()),
              root + "\\a.txt\r\n~" + root + "\\sub\r\n" + root + "\\sub\\b.bin\r\n" + root +
                  "\\kept.txt\r\n" + root + "\\big.bin\r\n");
    EXPECT_EQ(fileInstallationState().writtenInPlace.count(), 3);
    EXPECT_STREQ(errorList().c_str(), "");
    uninstallData().clear();
    setupPayload() = Payload();
}

// The follow-up work of a loop: shortcut records, shared-file entries, the COM and driver lists,
// a font registered, and a name the file system refuses listed as failed with nothing left.
TEST_F(FileInstallation, LoopQueuesFollowUpsRegistersFontsAndListsRefusedNames) {
    build::PayloadSpec spec;
    spec.script = String("script");
    spec.compressBlocks = true;
    auto add = [&](const char* name, int32_t kind, int32_t options, const char* label,
                   const std::u16string& targetPath) {
        build::FileEntry f;
        f.name = String(name);
        f.kind = kind;
        f.options = options;
        f.label = String(label);
        f.targetPath = S(targetPath);
        date_.write(f.date);
        f.data = String(name);
        spec.files.push_back(f);
        return spec.files.size() - 1;
    };
    add("app.exe", 0, 0x3, "App", u"");
    add("run.exe", 5, 0x20, "Run", u"");
    add("demo.ttf", 4, 0, "Tessarin Test Font (TrueType)", path(u"fonts\\"));
    add("com.dll", 7, 0, "", path(u"sys\\"));
    add("drv.inf", 10, 0, "", u"");
    add("bad?name.txt", 0, 0, "", u"");
    std::vector<uint8_t> image = build::buildInstaller(testing::fakeStub(), spec);

    ASSERT_TRUE(openAsRunningPayload(image));
    InstallScript& script = installScript();
    script.ExternalData = 0;
    // Every file is read back and compared.
    script.ProductFlags = kFlagsCompressedBlocks | kFlagsVerifyWrittenFiles;
    script.InstallDir = S(path(u"app"));
    script.UninstallDir = S(path(u"app"));
    script.SharedDir = S(path(u"shared"));
    CreateDirectoryW(w(path(u"app")), nullptr);
    uninstallData().clear();
    shortcutList().clear();
    sharedFileList().clear();

    OpenFileData();
    InstallFiles();
    FinishFileData();

    ASSERT_EQ(shortcutList().count(), 2);
    const ShortcutRecord& app = shortcutList()[0];
    EXPECT_TRUE(app.desktop && app.startMenu && !app.startup && !app.permanent);
    EXPECT_EQ(wide16(app.name), u"App");
    const ShortcutRecord& run = shortcutList()[1];
    EXPECT_TRUE(!run.desktop && !run.startMenu && run.startup && run.permanent);

    std::u16string font = path(u"fonts\\demo.ttf");
    EXPECT_EQ(get(font), "demo.ttf");
    RegistryKey key;
    ASSERT_NE(key.open(kHkeyLocalMachine, u"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                       kRegOpenExisting, kRegAccessAll),
              kRegOpenFailed);
    EXPECT_EQ(wide16(key.readText(u"Tessarin Test Font (TrueType)")), font);
    key.deleteValue(u"Tessarin Test Font (TrueType)");
    FileInstallationState& state = fileInstallationState();
    EXPECT_TRUE(state.fontsChanged);
    EXPECT_STREQ(state.fontList.c_str(), "\"Tessarin Test Font (TrueType)\" \"demo.ttf\" ");

    ASSERT_EQ(state.comServers.size(), 1u);
    EXPECT_EQ(wide16(state.comServers[0]), path(u"sys\\com.dll"));
    ASSERT_EQ(sharedFileList().count(), 1);
    EXPECT_EQ(std::string(sharedFileList()[0].c_str()), narrow(path(u"sys\\com.dll")) + "^");
    ASSERT_EQ(state.drivers.size(), 1u);
    EXPECT_EQ(wide16(state.drivers[0]), path(u"app\\drv.inf"));

    // The refused name: listed with its path, no file and no temporary file left behind.
    std::string errors = errorList().c_str();
    EXPECT_NE(errors.find("bad?name.txt"), std::string::npos) << errors;
    EXPECT_EQ(otherEntries(path(u"app"), u"app.exe"), 2);  // run.exe and drv.inf
    EXPECT_EQ(state.writtenInPlace.count(), 5);
    shortcutList().clear();
    sharedFileList().clear();
    uninstallData().clear();
    setupPayload() = Payload();
}

}  // namespace
}  // namespace tessarin
