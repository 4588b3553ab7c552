// The shared-file list entries, the SharedFiles text and the counting against a scripted
// registry.
#include "actions/shared_files.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "memory_log_body.h"
#include "services/install_log.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::bytes;
using testing::MemoryBody;

// The registry as a map of counts; names listed in refused cannot be written.
class ScriptedCounts : public SharedFileCounts {
  public:
    bool open() override {
        opened = opens;
        return opens;
    }
    bool counted(const String& path) override {
        auto it = counts.find(bytes(path));
        return it != counts.end() && it->second > 0;
    }
    bool increment(const String& path, String& errorText) override {
        incremented.push_back(bytes(path));
        if (bytes(path) == refused) {
            errorText = String(u"Access is denied.");
            return false;
        }
        ++counts[bytes(path)];
        return true;
    }
    void close() override { closed = true; }

    bool opens = true;
    bool opened = false;
    bool closed = false;
    std::string refused;
    std::map<std::string, uint32_t> counts;
    std::vector<std::string> incremented;
};

class SharedFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        setLogBody(&body);
        errorList().clear();
    }
    void TearDown() override {
        setLogBody(nullptr);
        errorList().clear();
    }
    MemoryBody body;
};

TEST(SharedFileEntries, KindPermanenceAndPortabilityDecideEntryAndMark) {
    struct Case {
        int32_t kind;
        bool permanent, portable;
        const char* entry;  // "" when the record is not counted
    } cases[] = {
        {1, false, false, "C:\\F\\a.dll"},
        {1, false, true, ""},
        {1, true, false, "C:\\F\\a.dll "},
        {6, false, false, "C:\\F\\a.dll"},
        {6, false, true, "C:\\F\\a.dll"},
        {7, false, false, "C:\\F\\a.dll^"},
        {7, true, false, "C:\\F\\a.dll "},
        {7, false, true, ""},
        {8, false, false, "C:\\F\\a.dll\xA9"},
        {8, false, true, "C:\\F\\a.dll\xA9"},
        {8, true, true, "C:\\F\\a.dll "},
        {0, false, false, ""},
        {2, false, false, ""},
        {5, false, false, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bytes(sharedFileEntry(String("C:\\F\\a.dll"), c.kind, c.permanent, c.portable)),
                  c.entry)
            << "kind " << c.kind << " permanent " << c.permanent << " portable " << c.portable;
    }
}

TEST(SharedFileEntries, CountPathLosesOnlyItsMark) {
    const char* cases[][2] = {
        {"C:\\a.dll", "C:\\a.dll"},
        {"C:\\a.ocx^", "C:\\a.ocx"},
        {"C:\\a.dll ", "C:\\a.dll"},
        {"C:\\a.tlb\xA9", "C:\\a.tlb"},
        {"|C:\\\xC3\xA4.dll^", "|C:\\\xC3\xA4.dll"},
    };
    for (auto& c : cases) EXPECT_EQ(bytes(sharedFileCountPath(String(c[0]))), c[1]) << c[0];
}

TEST(SharedFileEntries, CountingNeedsUninstallSupportAndAFixedDrive) {
    EXPECT_TRUE(sharedFilesCounted(kFlagsUninstallEntry, false));
    EXPECT_TRUE(sharedFilesCounted(kFlagsUninstallEntry | 0x2, false));
    EXPECT_FALSE(sharedFilesCounted(kFlagsUninstallEntry, true));
    EXPECT_FALSE(sharedFilesCounted(0x2, false));
}

TEST_F(SharedFiles, EachFileIsCountedOnceUnderItsPlainPath) {
    Vector<String> list;
    for (const char* e : {"C:\\Sys\\a.ocx^", "C:\\Shared\\b.dll", "c:\\shared\\B.DLL",
                          "C:\\Sys\\t.tlb\xA9", "C:\\Sys\\keep.dll ", "C:\\Sys\\a.ocx^"})
        list.append(String(e));
    ScriptedCounts counts;
    counts.counts["C:\\Shared\\b.dll"] = 4;  // another product uses it already
    String text = countSharedFiles(list, String(), counts);
    EXPECT_EQ(bytes(text),
              "\"C:\\Sys\\a.ocx^\";\"C:\\Shared\\b.dll\";\"C:\\Sys\\t.tlb\xA9\";"
              "\"C:\\Sys\\keep.dll \"");
    EXPECT_EQ(counts.counts["C:\\Sys\\a.ocx"], 1u);
    EXPECT_EQ(counts.counts["C:\\Shared\\b.dll"], 5u);
    EXPECT_EQ(counts.counts["C:\\Sys\\t.tlb"], 1u);
    EXPECT_EQ(counts.counts["C:\\Sys\\keep.dll"], 1u);
    EXPECT_EQ(counts.incremented.size(), 4u);
    EXPECT_TRUE(counts.closed);
    EXPECT_TRUE(errorList().empty());
    EXPECT_EQ(bytes(body.text), "");
}

// A reinstallation of the product over its previous installation: a file that the previous
// installation listed holds the product's count already; only a file new to the product, or
// one whose count is gone, is counted.
TEST_F(SharedFiles, AFileThePreviousInstallationCountedIsNotCountedAgain) {
    struct Case {
        const char* what;
        const char* previous;  // the previous installation's SharedFiles text
        uint32_t before;       // the count before this installation (0: no value)
        uint32_t after;
    } cases[] = {
        {"first installation", "", 0, 1},
        {"first, another product counted it", "", 3, 4},
        {"reinstallation", "\"C:\\Sys\\a.ocx^\"", 1, 1},
        {"reinstallation, another product too", "\"C:\\Sys\\a.ocx^\"", 2, 2},
        {"listed in another letter case and mark", "\"c:\\SYS\\A.OCX \"", 1, 1},
        {"listed among others", "\"C:\\Sys\\b.dll\";\"C:\\Sys\\a.ocx^\"", 1, 1},
        {"listed, but its count is gone", "\"C:\\Sys\\a.ocx^\"", 0, 1},
        {"another file of that name only", "\"C:\\Other\\a.ocx^\"", 1, 2},
        {"a longer name only", "\"C:\\Sys\\a.ocx2^\"", 1, 2},
    };
    for (const Case& c : cases) {
        Vector<String> list;
        list.append(String("C:\\Sys\\a.ocx^"));
        ScriptedCounts counts;
        if (c.before) counts.counts["C:\\Sys\\a.ocx"] = c.before;
        Vector<String> raised;
        String text = countSharedFiles(list, String(c.previous), counts, &raised);
        EXPECT_EQ(bytes(text), "\"C:\\Sys\\a.ocx^\"") << c.what;
        EXPECT_EQ(counts.counts["C:\\Sys\\a.ocx"], c.after) << c.what;
        EXPECT_EQ(raised.count(), c.after > c.before ? 1 : 0) << c.what;
    }
}

// An upgrade that no longer ships a shared file: the count the earlier version took stays the
// product's, so the file stays listed with its mark, once, for the uninstaller to take back.
TEST_F(SharedFiles, AFileOnlyTheEarlierVersionCountedStaysListed) {
    struct Case {
        const char* what;
        const char* previous;
        uint32_t oldCount;  // C:\Sys\old.dll's count now (0: no value)
        const char* text;
    } cases[] = {
        {"count stands", "\"C:\\Sys\\old.dll^\"", 1, "\"C:\\Sys\\a.ocx^\";\"C:\\Sys\\old.dll^\""},
        {"permanent mark kept", "\"C:\\Sys\\old.dll \"", 2,
         "\"C:\\Sys\\a.ocx^\";\"C:\\Sys\\old.dll \""},
        {"listed twice before", "\"C:\\Sys\\old.dll\";\"c:\\sys\\OLD.dll\"", 1,
         "\"C:\\Sys\\a.ocx^\";\"C:\\Sys\\old.dll\""},
        {"count gone", "\"C:\\Sys\\old.dll^\"", 0, "\"C:\\Sys\\a.ocx^\""},
        {"listed now in another case", "\"c:\\sys\\A.OCX\"", 1, "\"C:\\Sys\\a.ocx^\""},
    };
    for (const Case& c : cases) {
        Vector<String> list;
        list.append(String("C:\\Sys\\a.ocx^"));
        ScriptedCounts counts;
        counts.counts["C:\\Sys\\a.ocx"] = 1;
        if (c.oldCount) counts.counts["C:\\Sys\\old.dll"] = c.oldCount;
        String text = countSharedFiles(list, String(c.previous), counts);
        EXPECT_EQ(bytes(text), c.text) << c.what;
        if (c.oldCount) EXPECT_EQ(counts.counts["C:\\Sys\\old.dll"], c.oldCount) << c.what;
    }
}

TEST_F(SharedFiles, AKeyThatCannotBeOpenedCountsNothing) {
    Vector<String> list;
    list.append(String("C:\\Sys\\a.dll"));
    ScriptedCounts counts;
    counts.opens = false;
    EXPECT_TRUE(countSharedFiles(list, String(), counts).empty());
    EXPECT_TRUE(counts.incremented.empty());
    EXPECT_EQ(bytes(errorList()),
              "Registry error: unable to increment shared file reference counts.\r\n\r\n");
}

TEST_F(SharedFiles, AFailedCountIsLoggedAndTheFileStillListed) {
    Vector<String> list;
    list.append(String("|C:\\Sys\\\xC3\xA4.ocx^"));
    list.append(String("C:\\Sys\\b.dll"));
    ScriptedCounts counts;
    counts.refused = "|C:\\Sys\\\xC3\xA4.ocx";
    String text = countSharedFiles(list, String(), counts);
    EXPECT_EQ(bytes(text), "\"|C:\\Sys\\\xC3\xA4.ocx^\";\"C:\\Sys\\b.dll\"");
    EXPECT_EQ(counts.counts["C:\\Sys\\b.dll"], 1u);
    EXPECT_EQ(bytes(body.text),
              "Failed to increment reference count of shared file \"C:\\Sys\\\xC3\xA4.ocx\" : "
              "Access is denied.\r\n");
    EXPECT_TRUE(errorList().empty());
}

}  // namespace
}  // namespace tessarin
