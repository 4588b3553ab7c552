#include "uninstall/shared_file_release.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "recording_reporter.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::fromUtf8;
using testing::utf8;

using testing::RecordingReporter;

// Counts by stored path, files by UTF-8 path; every action is recorded in order.
class ScriptedSystem : public SharedFileSystem {
  public:
    bool openCounts() override { return keyOpens; }
    bool readCount(const String& path, uint32_t& count) override {
        auto found = counts.find(path.c_str());
        if (found == counts.end()) return false;
        count = found->second;
        return true;
    }
    bool writeCount(const String& path, uint32_t count) override {
        counts[path.c_str()] = count;
        return true;
    }
    void deleteCount(const String& path) override { counts.erase(path.c_str()); }
    void closeCounts() override {}
    void unregisterComServer(const String& path) override { did("unregister " + utf8(path)); }
    void unregisterTypeLibrary(const String& path) override { did("typelib " + utf8(path)); }
    bool fileExists(const String& path) override { return files.count(utf8(path)) != 0; }
    bool userKeepsFile(const String& path) override {
        did("ask " + utf8(path));
        return keepAnswer;
    }
    void deleteFile(const String& path) override {
        did("delete " + utf8(path));
        files.erase(utf8(path));
    }
    void forgetList() override { did("forget"); }

    void did(const std::string& what) { actions.push_back(what); }

    bool keyOpens = true;
    bool keepAnswer = false;
    std::map<std::string, uint32_t> counts;
    std::set<std::string> files;
    std::vector<std::string> actions;
};

TEST(SharedFileRelease, ParsesFlagsAtEitherEndOfEachQuotedEntry) {
    Vector<SharedFileEntry> entries = parseSharedFiles(
        String("\"C:\\a.dll\";\"C:\\b.ocx^\";\"^C:\\c.ocx\";\" C:\\d.dll\";\"C:\\e.tlb\xA9\";"
               "\"|C:\\\xC3\xA9.dll \";\"\""));
    ASSERT_EQ(entries.count(), 6);
    struct Expected {
        const char* path;
        bool com, permanent, typeLibrary;
    } expected[] = {
        {"C:\\a.dll", false, false, false}, {"C:\\b.ocx", true, false, false},
        {"C:\\c.ocx", true, false, false},  {"C:\\d.dll", false, true, false},
        {"C:\\e.tlb", false, false, true},  {"|C:\\\xC3\xA9.dll", false, true, false},
    };
    for (int32_t i = 0; i < entries.count(); ++i) {
        SCOPED_TRACE(expected[i].path);
        EXPECT_STREQ(entries[i].path.c_str(), expected[i].path);
        EXPECT_EQ(entries[i].comServer, expected[i].com);
        EXPECT_EQ(entries[i].permanent, expected[i].permanent);
        EXPECT_EQ(entries[i].typeLibrary, expected[i].typeLibrary);
    }
}

TEST(SharedFileRelease, DecrementsAndReleasesOnlyFilesNobodyUses) {
    ScriptedSystem system;
    system.counts = {{"C:\\used.dll", 3}, {"C:\\last.dll", 1}, {"C:\\com.ocx", 1},
                     {"C:\\keep.dll", 1}, {"C:\\zero.dll", 0}, {"C:\\lib.tlb", 1},
                     {"C:\\gone.dll", 1}};
    system.files = {"C:\\used.dll", "C:\\last.dll", "C:\\com.ocx",      "C:\\keep.dll",
                    "C:\\zero.dll", "C:\\lib.tlb",  "C:\\uncounted.dll"};
    RecordingReporter reporter;
    releaseSharedFiles(String("\"C:\\used.dll\";\"C:\\last.dll\";\"C:\\com.ocx^\";"
                              "\"C:\\keep.dll \";\"C:\\zero.dll\";\"C:\\lib.tlb\xA9\";"
                              "\"C:\\uncounted.dll\";\"C:\\gone.dll\""),
                       false, system, reporter);

    // The counts of the files that went go with them; a permanent file keeps its zero count.
    EXPECT_EQ(system.counts,
              (std::map<std::string, uint32_t>{{"C:\\used.dll", 2}, {"C:\\keep.dll", 0}}));
    EXPECT_EQ(system.actions,
              (std::vector<std::string>{"delete C:\\last.dll", "unregister C:\\com.ocx",
                                        "delete C:\\com.ocx", "delete C:\\zero.dll",
                                        "typelib C:\\lib.tlb", "delete C:\\lib.tlb", "forget"}));
    EXPECT_EQ(system.files,
              (std::set<std::string>{"C:\\used.dll", "C:\\keep.dll", "C:\\uncounted.dll"}));
    EXPECT_EQ(reporter.errors, "");
}

TEST(SharedFileRelease, AsksOnlyWhenToldAndKeepsTheFileOnNo) {
    for (bool keep : {true, false}) {
        SCOPED_TRACE(keep);
        ScriptedSystem system;
        system.counts = {{"C:\\last.dll", 1}};
        system.files = {"C:\\last.dll"};
        system.keepAnswer = keep;
        RecordingReporter reporter;
        releaseSharedFiles(String("\"C:\\last.dll\""), true, system, reporter);
        EXPECT_EQ(system.files.count("C:\\last.dll"), keep ? 1u : 0u);
        EXPECT_EQ(system.counts.count("C:\\last.dll"), keep ? 1u : 0u);
        EXPECT_EQ(system.actions.front(), "ask C:\\last.dll");
    }
    EXPECT_TRUE(askBeforeSharedDelete(false, 0x20004));
    EXPECT_FALSE(askBeforeSharedDelete(true, 0x20004));
    EXPECT_FALSE(askBeforeSharedDelete(false, 0x4));
}

TEST(SharedFileRelease, AKeyThatCannotBeOpenedIsReportedAndChangesNothing) {
    ScriptedSystem system;
    system.keyOpens = false;
    system.counts = {{"C:\\last.dll", 1}};
    system.files = {"C:\\last.dll"};
    RecordingReporter reporter;
    releaseSharedFiles(String("\"C:\\last.dll\""), false, system, reporter);
    EXPECT_EQ(reporter.errors,
              "REGISTRY ERROR:  Unable to adjust shared file reference counts.\r\n\r\n");
    EXPECT_EQ(system.counts["C:\\last.dll"], 1u);
    EXPECT_TRUE(system.actions.empty());  // the list value stays too
}

TEST(SharedFileRelease, QuestionTextNamesThePath) {
    EXPECT_EQ(utf8(sharedFileQuestionText(fromUtf8("Delete %s now? 100%"), fromUtf8("C:\\é.dll"))),
              "Delete C:\\é.dll now? 100%");
}

}  // namespace
}  // namespace tessarin
