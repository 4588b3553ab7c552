#include "services/conditional_deletion.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "recording_reporter.h"
#include "services/uninstall_data.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::fromUtf8;
using testing::utf8;

using testing::RecordingReporter;

struct FakeFile {
    std::string version;
    int64_t size = 0;
    bool locked = false;
};

constexpr uint32_t kAccessDenied = 5;
constexpr uint32_t kFileNotFound = 2;

// A file system of a few files; what the rules did is in calls.
class ScriptedSystem : public ConditionalDeletionSystem {
  public:
    void findFiles(const String& path, Vector<String>& files) override {
        std::string p = utf8(path);
        asked.push_back(p);
        auto match = matches.find(p);
        if (match == matches.end()) {
            if (this->files.count(p)) files.append(fromUtf8(p));
            return;
        }
        for (const std::string& f : match->second) files.append(fromUtf8(f));
    }
    bool fileExists(const String& path) override { return files.count(utf8(path)) != 0; }
    String fileVersion(const String& path) override {
        return String(files[utf8(path)].version.c_str());
    }
    int64_t fileSize(const String& path) override { return files[utf8(path)].size; }
    void clearAttributes(const String& path) override {
        calls.push_back("attributes " + utf8(path));
    }
    bool deleteNow(const String& path, uint32_t& error) override {
        std::string p = utf8(path);
        if (files[p].locked) {
            error = kAccessDenied;
            return false;
        }
        calls.push_back("delete " + p);
        files.erase(p);
        return true;
    }
    bool deleteAtRestart(const String& path, uint32_t& error) override {
        if (schedulingFails) {
            error = kFileNotFound;
            return false;
        }
        calls.push_back("schedule " + utf8(path));
        return true;
    }
    String errorText(uint32_t error) override {
        return String(error == kAccessDenied ? u"Access is denied." : u"Not found.");
    }
    const ProtectedFolders& protectedFolders() override { return folders; }
    void corrupt(int code) override { corruptCodes.push_back(code); }

    std::map<std::string, FakeFile> files;
    std::map<std::string, std::vector<std::string>> matches;  // wildcard answers
    std::vector<std::string> asked;
    std::vector<std::string> calls;
    std::vector<int> corruptCodes;
    bool schedulingFails = false;
    ProtectedFolders folders;
};

const char* const kFile = "C:\\App\\old.dll";

Vector<ConditionalDeletion> oneRule(uint8_t flags, uint8_t kind = 0, const char* value = "") {
    Vector<ConditionalDeletion> rules;
    rules.append({kFile, kind, value, flags});
    return rules;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& l : lines) all += l + "|";
    return all;
}

// ---- Flags and phases --------------------------------------------------------------------

TEST(ConditionalDeletion, FlagsDecideNowLaterOrNotAtAll) {
    struct Case {
        DeletionPhase phase;
        uint8_t flags;
        bool locked;
        std::string calls;  // after clearing the attributes
        bool ruleKept;
        uint64_t restartFlag;
        std::string log;
    } cases[] = {
        // Uninstalling: silent; a rule that was carried out is dropped.
        {DeletionPhase::Uninstall, 8, false, "delete C:\\App\\old.dll|", false, 0, ""},
        {DeletionPhase::Uninstall, 8, true, "", true, 0, ""},
        {DeletionPhase::Uninstall, 8 | 2, true, "schedule C:\\App\\old.dll|", false,
         kRestartNeededUninstall, ""},
        {DeletionPhase::Uninstall, 8 | 1, false, "schedule C:\\App\\old.dll|", false,
         kRestartNeededUninstall, ""},
        // Installing: every step is logged, and the rules stay for the uninstaller.
        {DeletionPhase::Install, 4, false, "delete C:\\App\\old.dll|", true, 0,
         "Deleted file: C:\\App\\old.dll\r\n\r\n"},
        {DeletionPhase::Install, 4, true, "", true, 0,
         "Failed to delete file \"C:\\App\\old.dll\": Access is denied.\r\n\r\n"},
        {DeletionPhase::Install, 4 | 2, true, "schedule C:\\App\\old.dll|", true,
         kRestartNeededInstall,
         "File \"C:\\App\\old.dll\" will be deleted after rebooting: Access is denied.\r\n\r\n"},
        {DeletionPhase::Install, 4 | 1, false, "schedule C:\\App\\old.dll|", true,
         kRestartNeededInstall,
         "File \"C:\\App\\old.dll\" will be deleted after rebooting.\r\n\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << int(c.flags) << (c.locked ? " locked" : "")
                                          << (c.phase == DeletionPhase::Install ? " install" : ""));
        ScriptedSystem system;
        system.files[kFile] = {"", 10, c.locked};
        RecordingReporter reporter;
        Vector<ConditionalDeletion> rules = oneRule(c.flags);
        uint64_t flags = 0x1;
        carryOutConditionalDeletions(rules, c.phase, system, reporter, flags);
        EXPECT_EQ(joined(system.calls), "attributes C:\\App\\old.dll|" + c.calls);
        EXPECT_EQ(rules.count(), c.ruleKept ? 1 : 0);
        EXPECT_EQ(flags, 0x1 | c.restartFlag);
        EXPECT_EQ(reporter.logged, c.log);
        EXPECT_EQ(reporter.errors, "");
    }
}

TEST(ConditionalDeletion, RulesOfTheOtherPhaseAndMissingFilesDoNothing) {
    ScriptedSystem system;
    system.files[kFile] = {};
    RecordingReporter reporter;
    Vector<ConditionalDeletion> rules = oneRule(4 | 1);
    rules.append({"C:\\App\\gone.dll", 0, "", 8});
    uint64_t flags = 0;
    carryOutConditionalDeletions(rules, DeletionPhase::Uninstall, system, reporter, flags);
    EXPECT_EQ(joined(system.asked), "C:\\App\\gone.dll|");  // the install rule is not looked at
    EXPECT_TRUE(system.calls.empty());
    EXPECT_EQ(rules.count(), 2);
    EXPECT_EQ(flags, 0u);
    EXPECT_EQ(reporter.logged, "");  // nothing logged, not even the closing empty line
}

TEST(ConditionalDeletion, FailedSchedulingIsAnErrorOnlyWhileInstalling) {
    for (DeletionPhase phase : {DeletionPhase::Install, DeletionPhase::Uninstall}) {
        ScriptedSystem system;
        system.files["C:\\Café\\old.dll"] = {};
        system.schedulingFails = true;
        RecordingReporter reporter;
        Vector<ConditionalDeletion> rules;
        rules.append({"|C:\\Caf\xC3\xA9\\old.dll", 0, "", 4 | 8 | 1});
        uint64_t flags = 0;
        carryOutConditionalDeletions(rules, phase, system, reporter, flags);
        EXPECT_EQ(flags, 0u);
        EXPECT_EQ(rules.count(), 1);
        if (phase == DeletionPhase::Install)
            EXPECT_EQ(
                reporter.errors,
                "Failed to register \"|C:\\Caf\xC3\xA9\\old.dll\" for deletion: Not found.\r\n");
        else
            EXPECT_EQ(reporter.errors, "");
    }
}

// ---- Conditions --------------------------------------------------------------------------

TEST(ConditionalDeletion, VersionAndSizeConditions) {
    struct Case {
        uint8_t kind;
        const char* value;
        FakeFile file;
        bool deleted;
    } cases[] = {
        {kConditionVersionEqual, "1.2.0.4", {"1.2.0.4", 0, false}, true},
        {kConditionVersionEqual, "1.2", {"1.2.0.4", 0, false}, false},
        {kConditionVersionNotLower, "1.2.0.4", {"1.2.0.4", 0, false}, true},
        {kConditionVersionNotLower, "1.10", {"1.9", 0, false}, false},
        {kConditionVersionNotHigher, "1.10", {"1.9", 0, false}, true},
        {kConditionVersionNotHigher, "2.0a", {"2.0b", 0, false}, false},
        // A file without a version resource is never taken for a version.
        {kConditionVersionNotHigher, "9.9", {"", 0, false}, false},
        {kConditionSizeEqual, "1024", {"", 1024, false}, true},
        {kConditionSizeEqual, "1024", {"", 1023, false}, false},
        {kConditionSizeNotBelow, "1024", {"", 1025, false}, true},
        {kConditionSizeNotBelow, "1024", {"", 1023, false}, false},
        {kConditionSizeNotAbove, "1024", {"", 1023, false}, true},
        {kConditionSizeNotAbove, " 1024 ", {"", 1024, false}, true},
        // The value is a signed 32-bit number, widened: no file is below -1.
        {kConditionSizeNotBelow, "-1", {"", 5000000000, false}, true},
        {kConditionSizeNotAbove, "-1", {"", 0, false}, false},
        // A size value without a number, an unreadable size or an unknown kind deletes nothing.
        {kConditionSizeNotBelow, "", {"", 1, false}, false},
        {kConditionSizeNotBelow, "big", {"", 1, false}, false},
        {kConditionSizeNotBelow, "0", {"", -1, false}, false},
        {7, "0", {"1.0", 1, false}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << int(c.kind) << " " << c.value);
        ScriptedSystem system;
        system.files[kFile] = c.file;
        RecordingReporter reporter;
        Vector<ConditionalDeletion> rules = oneRule(8, c.kind, c.value);
        uint64_t flags = 0;
        carryOutConditionalDeletions(rules, DeletionPhase::Uninstall, system, reporter, flags);
        EXPECT_EQ(system.files.count(kFile) == 0, c.deleted);
        EXPECT_TRUE(system.corruptCodes.empty());
    }
}

TEST(ConditionalDeletion, AnUnreadableVersionTextIsACorruptInstallation) {
    for (const char* value : {"", "abc", "1.0-beta", "1;2"}) {
        ScriptedSystem system;
        system.files[kFile] = {"1.0", 0, false};
        RecordingReporter reporter;
        Vector<ConditionalDeletion> rules = oneRule(4, kConditionVersionEqual, value);
        uint64_t flags = 0;
        carryOutConditionalDeletions(rules, DeletionPhase::Install, system, reporter, flags);
        EXPECT_EQ(system.corruptCodes, std::vector<int>{65}) << value;
        EXPECT_EQ(system.files.count(kFile), 1u) << value;
    }
    EXPECT_TRUE(isVersionText(String("1, 2, 0, 4")));
    EXPECT_TRUE(isVersionText(String("2.0b")));
}

// ---- Several files -----------------------------------------------------------------------

TEST(ConditionalDeletion, EveryMatchOfAPatternInOrder) {
    ScriptedSystem system;
    system.files["C:\\App\\a.log"] = {"", 10, false};
    system.files["C:\\App\\b.log"] = {"", 10, true};
    system.files["C:\\App\\c.log"] = {"", 99, false};
    system.matches["%InstallDir%\\*.log"] = {"C:\\App\\a.log", "C:\\App\\b.log", "C:\\App\\c.log",
                                             "C:\\App\\gone.log"};
    RecordingReporter reporter;
    Vector<ConditionalDeletion> rules;
    rules.append({"%InstallDir%\\*.log", kConditionSizeNotAbove, "50", 4 | 8 | 2});
    uint64_t flags = 0;
    carryOutConditionalDeletions(rules, DeletionPhase::Install, system, reporter, flags);
    EXPECT_EQ(joined(system.calls),
              "attributes C:\\App\\a.log|delete C:\\App\\a.log|"
              "attributes C:\\App\\b.log|schedule C:\\App\\b.log|");
    EXPECT_EQ(reporter.logged,
              "Deleted file: C:\\App\\a.log\r\n"
              "File \"C:\\App\\b.log\" will be deleted after rebooting: Access is denied.\r\n"
              "\r\n");
    EXPECT_EQ(flags, kRestartNeededInstall);

    // Uninstalling, a rule that deleted one file of several is dropped, the others stay.
    system.calls.clear();
    system.files["C:\\App\\a.log"] = {"", 10, false};
    rules.append({"C:\\App\\c.log", kConditionSizeNotBelow, "100", 8});
    carryOutConditionalDeletions(rules, DeletionPhase::Uninstall, system, reporter, flags);
    ASSERT_EQ(rules.count(), 1);
    EXPECT_STREQ(rules[0].Path.c_str(), "C:\\App\\c.log");
}

}  // namespace
}  // namespace tessarin
