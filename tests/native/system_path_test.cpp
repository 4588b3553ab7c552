#include "services/system_path.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "recording_reporter.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::fromUtf8;
using testing::RecordingReporter;
using testing::utf8;

struct EditCase {
    const char* path;
    const char* folder;
    const char* expected;  // null: the text stays as it is
};

std::string added(const EditCase& c) {
    String result;
    if (!pathWithFolder(fromUtf8(c.path), fromUtf8(c.folder), result)) return "(unchanged)";
    return utf8(result);
}

std::string removed(const EditCase& c) {
    String result;
    if (!pathWithoutFolder(fromUtf8(c.path), fromUtf8(c.folder), result)) return "(unchanged)";
    return utf8(result);
}

TEST(SystemPath, AddingAppendsOnlyAFolderThatIsNoEntryYet) {
    const EditCase cases[] = {
        {"C:\\Windows;C:\\Tools", "C:\\App", "C:\\Windows;C:\\Tools;C:\\App"},
        {"C:\\Windows;", "C:\\App", "C:\\Windows;C:\\App"},
        {"C:\\Windows;C:\\App;C:\\Tools", "c:\\app", nullptr},
        {"C:\\Windows;C:\\App\\", "C:\\App", nullptr},
        {"C:\\App", "C:\\App\\", nullptr},
        // Neighbours that only begin or end with the folder are other folders.
        {"C:\\App2;D:\\Tools\\C:\\App", "C:\\App", "C:\\App2;D:\\Tools\\C:\\App;C:\\App"},
        {"%SystemRoot%;;C:\\Bin", "C:\\App", "%SystemRoot%;;C:\\Bin;C:\\App"},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " + " + c.folder);
        EXPECT_EQ(added(c), c.expected ? c.expected : "(unchanged)");
    }
}

TEST(SystemPath, RemovingCutsWholeEntriesAndKeepsTheRest) {
    const EditCase cases[] = {
        {"C:\\App;C:\\Windows;C:\\Tools", "C:\\App", "C:\\Windows;C:\\Tools"},
        {"C:\\Windows;C:\\App;C:\\Tools", "C:\\App", "C:\\Windows;C:\\Tools"},
        {"C:\\Windows;C:\\Tools;C:\\App", "C:\\App", "C:\\Windows;C:\\Tools"},
        {"C:\\App", "C:\\App", ""},
        {"C:\\Windows;C:\\App;", "C:\\App", "C:\\Windows;"},
        {"C:\\Windows;c:\\APP\\;%TOOLS%", "C:\\App", "C:\\Windows;%TOOLS%"},
        {"C:\\Windows;C:\\App", "C:\\App\\", "C:\\Windows"},
        {"C:\\App;C:\\Windows;C:\\App", "C:\\App", "C:\\Windows"},
        {";;C:\\App;;x", "C:\\App", ";;;x"},
        // Only the whole entry matches: these stay untouched.
        {"C:\\App2;C:\\Windows", "C:\\App", nullptr},
        {"D:\\Tools\\C:\\App;C:\\Apps", "C:\\App", nullptr},
        {"C:\\Windows;C:\\App2", "C:\\App", nullptr},
        {"C:\\App2;C:\\App;C:\\App3", "C:\\App", "C:\\App2;C:\\App3"},
        {"C:\\Windows", "C:\\App", nullptr},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " - " + c.folder);
        EXPECT_EQ(removed(c), c.expected ? c.expected : "(unchanged)");
    }
}

TEST(SystemPath, FolderIsInstallDirOrSubfolderBelowOrAbsolute) {
    String dir = fromUtf8("C:\\Program Files\\Demo");
    EXPECT_EQ(utf8(systemPathFolder(String(), dir)), "C:\\Program Files\\Demo");
    EXPECT_EQ(utf8(systemPathFolder(fromUtf8("bin"), dir)), "C:\\Program Files\\Demo\\bin");
    EXPECT_EQ(utf8(systemPathFolder(fromUtf8("D:\\Shared\\bin"), dir)), "D:\\Shared\\bin");
}

class ScriptedEnvironment : public SystemPathAccess {
  public:
    bool readPath(String& path) override {
        if (!keyOpens) return false;
        path = fromUtf8(value);
        return true;
    }
    bool writePath(const String& path) override {
        if (!writable) return false;
        value = utf8(path);
        ++writes;
        return true;
    }
    bool folderExists(const String& folder) override { return folders.count(utf8(folder)) != 0; }
    void announceChange() override { ++announced; }

    bool keyOpens = true;
    bool writable = true;
    std::string value = "C:\\Windows;C:\\Windows\\System32";
    std::set<std::string> folders{"C:\\App", "C:\\App\\bin"};
    int writes = 0;
    int announced = 0;
};

TEST(SystemPath, AddThenRemoveGivesBackTheOriginalText) {
    ScriptedEnvironment env;
    RecordingReporter reporter;
    editSystemPath(true, fromUtf8("bin"), fromUtf8("C:\\App"), env, reporter);
    EXPECT_EQ(env.value, "C:\\Windows;C:\\Windows\\System32;C:\\App\\bin");
    // A second install leaves the value alone.
    editSystemPath(true, fromUtf8("bin"), fromUtf8("C:\\App"), env, reporter);
    EXPECT_EQ(env.writes, 1);
    editSystemPath(false, fromUtf8("bin"), fromUtf8("C:\\App"), env, reporter);
    EXPECT_EQ(env.value, "C:\\Windows;C:\\Windows\\System32");
    EXPECT_EQ(env.writes, 2);
    EXPECT_EQ(env.announced, 2);
    EXPECT_EQ(reporter.logged, "");
}

TEST(SystemPath, NothingChangesWithoutAFolderAKeyOrAValue) {
    ScriptedEnvironment missingFolder;
    RecordingReporter reporter;
    editSystemPath(true, fromUtf8("lib"), fromUtf8("C:\\App"), missingFolder, reporter);
    EXPECT_EQ(reporter.logged,
              "Couldn't add \"C:\\App\\lib\" to the PATH because it does not exist.\r\n");

    ScriptedEnvironment noKey;
    noKey.keyOpens = false;
    editSystemPath(true, String(), fromUtf8("C:\\App"), noKey, reporter);
    ScriptedEnvironment emptyValue;
    emptyValue.value = "";
    editSystemPath(true, String(), fromUtf8("C:\\App"), emptyValue, reporter);
    for (ScriptedEnvironment* env : {&missingFolder, &noKey, &emptyValue}) {
        EXPECT_EQ(env->writes, 0);
        EXPECT_EQ(env->announced, 0);
    }
}

TEST(SystemPath, FailedWriteIsLoggedAndNotAnnounced) {
    ScriptedEnvironment env;
    env.writable = false;
    env.value = "C:\\Windows;C:\\App";
    RecordingReporter reporter;
    editSystemPath(false, String(), fromUtf8("C:\\App"), env, reporter);
    EXPECT_EQ(reporter.logged, "Couldn't remove \"C:\\App\" from the PATH.\r\n");
    EXPECT_EQ(env.announced, 0);
}

}  // namespace
}  // namespace tessarin
