#include "services/pending_renames.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recording_reporter.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::fromUtf8;
using testing::utf8;

using testing::RecordingReporter;

// The value as a list of UTF-8 strings; writes and recycled files are recorded.
class ScriptedValue : public PendingRenameSystem {
  public:
    explicit ScriptedValue(std::vector<std::string> strings, bool readable = true)
        : strings_(std::move(strings)), readable_(readable) {}
    bool read(Vector<String>& strings) override {
        for (const std::string& s : strings_) strings.append(fromUtf8(s));
        return readable_;
    }
    void write(const Vector<String>& strings) override {
        ++writes;
        strings_.clear();
        for (const String& s : strings) strings_.push_back(utf8(s));
    }
    void recycle(const String& path) override { recycled.push_back(utf8(path)); }
    const std::vector<std::string>& strings() const { return strings_; }

    int writes = 0;
    std::vector<std::string> recycled;

  private:
    std::vector<std::string> strings_;
    bool readable_;
};

PathSet paths(std::initializer_list<const char*> list) {
    PathSet set;
    for (const char* p : list) set.add(fromUtf8(p));
    return set;
}

TEST(PendingRenames, ValueDataKeepsEmptyTargets) {
    const char16_t raw[] = u"\\??\\C:\\a.tmp\0!\\??\\C:\\a.dll\0\\??\\C:\\old.txt\0\0";
    String data(raw, static_cast<int32_t>(sizeof raw / 2));  // the final zero included
    Vector<String> strings = splitPendingOperations(data);
    ASSERT_EQ(strings.count(), 4);
    EXPECT_EQ(utf8(strings[1]), "!\\??\\C:\\a.dll");
    EXPECT_EQ(strings[3].length(), 0);  // a deletion
    EXPECT_TRUE(joinPendingOperations(strings) == data);
    // Data without its final zero, or nothing at all.
    EXPECT_EQ(splitPendingOperations(String(raw, 5)).count(), 1);
    EXPECT_EQ(splitPendingOperations(String()).count(), 0);
}

// The installer hands over every file it wrote as a list, the uninstaller its deleted files as a
// set: both take out the same pairs.
TEST(PendingRenames, OperationsOnWrittenOrDeletedFilesAreTakenOut) {
    for (bool asList : {false, true}) {
        SCOPED_TRACE(asList ? "list" : "set");
        ScriptedValue value({"\\??\\C:\\App\\new.tmp", "!\\??\\C:\\App\\Main.DLL",  // move onto
                             "\\??\\C:\\App\\Gone.txt", "",                         // deletion
                             "\\??\\C:\\Other\\kept.txt", "",                       // not ours
                             "\\??\\", "",                                          // empty source
                             "\\??\\C:\\Other\\x.tmp", "\\??\\C:\\Other\\x.dll"});
        RecordingReporter reporter;
        const char* written[] = {"c:\\app\\main.dll", "C:\\APP\\gone.txt", "C:\\App\\new.tmp",
                                 "C:\\Other\\x.tmp", "C:\\Other\\y.dll"};
        if (asList) {
            PathList list;
            for (const char* p : written) list.add(fromUtf8(p));
            removePendingOperations(value, list, DeletionPhase::Install, reporter);
        } else {
            PathSet set;
            for (const char* p : written) set.add(fromUtf8(p));
            removePendingOperations(value, set, DeletionPhase::Install, reporter);
        }
        EXPECT_EQ(value.strings(),
                  (std::vector<std::string>{"\\??\\C:\\Other\\kept.txt", "",
                                            "\\??\\C:\\Other\\x.tmp", "\\??\\C:\\Other\\x.dll"}));
        EXPECT_EQ(value.writes, 1);
        EXPECT_EQ(value.recycled, std::vector<std::string>{"C:\\App\\new.tmp"});
        EXPECT_EQ(reporter.logged,
                  "\r\n"
                  "File \"C:\\App\\Main.DLL\" was removed from the list of pending moves.\r\n"
                  "File \"C:\\App\\Gone.txt\" was removed from the list of pending deletions.\r\n");
    }
}

TEST(PendingRenames, UninstallingLogsNothing) {
    ScriptedValue value({"\\??\\C:\\App\\Gone.txt", ""});
    RecordingReporter reporter;
    removePendingOperations(value, paths({"c:\\app\\gone.txt"}), DeletionPhase::Uninstall,
                            reporter);
    EXPECT_TRUE(value.strings().empty());
    EXPECT_EQ(value.writes, 1);
    EXPECT_EQ(reporter.logged, "");
}

TEST(PendingRenames, AnOddListEndsWithADeletion) {
    ScriptedValue value({"\\??\\C:\\a.tmp", "\\??\\C:\\a.dll", "\\??\\C:\\App\\Gone.txt"});
    RecordingReporter reporter;
    removePendingOperations(value, paths({"c:\\app\\gone.txt"}), DeletionPhase::Uninstall,
                            reporter);
    EXPECT_EQ(value.strings(), (std::vector<std::string>{"\\??\\C:\\a.tmp", "\\??\\C:\\a.dll"}));
}

TEST(PendingRenames, NothingToDoWritesNothing) {
    RecordingReporter reporter;
    ScriptedValue unrelated({"\\??\\C:\\a.tmp", "\\??\\C:\\a.dll"});
    removePendingOperations(unrelated, paths({"c:\\b.dll"}), DeletionPhase::Install, reporter);
    EXPECT_EQ(unrelated.writes, 0);
    EXPECT_EQ(reporter.logged, "\r\n");  // the list was not empty

    RecordingReporter quiet;
    ScriptedValue empty({});
    removePendingOperations(empty, paths({"c:\\b.dll"}), DeletionPhase::Install, quiet);
    ScriptedValue unreadable({"\\??\\C:\\b.dll", ""}, false);
    removePendingOperations(unreadable, paths({"c:\\b.dll"}), DeletionPhase::Install, quiet);
    EXPECT_EQ(empty.writes + unreadable.writes, 0);
    EXPECT_EQ(quiet.logged, "");
}

}  // namespace
}  // namespace tessarin
