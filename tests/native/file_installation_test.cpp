#include "actions/file_installation.h"

#include <gtest/gtest.h>

#include <string>

#include "core/convert.h"
#include "services/progress.h"

namespace tessarin {
namespace {

// One existing file, scripted: whether it is there, its version resource and its time stamp.
struct ScriptedFile : ExistingFiles {
    bool present = false;
    const char* version = "";
    bool dateReadable = true;
    FileDateTime date;
    String asked;  // the last path a question named

    bool exists(const String& path) override {
        asked = path;
        return present;
    }
    String versionText(const String& path) override {
        asked = path;
        return String(version);
    }
    bool timeStamp(const String& path, FileDateTime& stamp) override {
        asked = path;
        if (!present || !dateReadable) return false;
        stamp = date;
        return true;
    }
};

FileDateTime at(int32_t year, int32_t month, int32_t day, int32_t hour = 12) {
    FileDateTime d;
    d.year = year;
    d.month = month;
    d.day = day;
    d.hour = hour;
    return d;
}

const FileDateTime kOld = at(2020, 1, 1);
const FileDateTime kNew = at(2024, 6, 1);
const FileDateTime kUnset = FileDateTime();

FileRecord record(int32_t kind, int32_t options, const FileDateTime& date, const char* version) {
    FileRecord r;
    r.name.assign("app.dll");
    r.kind = kind;
    r.options = options;
    date.write(r.date);
    r.label.assign(version);
    return r;
}

enum Existing { kMissing, kPresent, kNoDate };

struct DecisionCase {
    const char* what;
    int32_t kind;
    int32_t options;
    FileDateTime ours;
    const char* ourVersion;
    Existing existing;
    FileDateTime theirs;
    const char* theirVersion;
    bool install;
    bool recordRefused;
    const char* message;
};

constexpr int32_t mode(int32_t m) {
    return m << 2;
}

TEST(FileDecision, WhichFileWins) {
    const String target(u"C:\\App\\app.dll");
    const DecisionCase cases[] = {
        // Overwrite modes.
        {"mode 1 leaves no trace", 0, mode(1), kNew, "", kPresent, kOld, "", false, false, ""},
        {"mode 5 leaves no trace", 9, mode(5), kNew, "", kMissing, kOld, "", false, false, ""},
        {"mode 2, missing target", 0, mode(2), kNew, "", kMissing, kOld, "", false, false,
         " was not installed because it does not already exist.\r\n"},
        {"mode 2, existing target", 0, mode(2), kNew, "", kPresent, kNew, "", true, false, ""},
        {"mode 3, existing target is recorded", 0, mode(3), kNew, "", kPresent, kOld, "", false,
         true, " was not installed because it already exists.\r\n"},
        {"mode 3, permanent is not recorded", 0, mode(3) | 0x20, kNew, "", kPresent, kOld, "",
         false, false, " was not installed because it already exists.\r\n"},
        {"mode 3, missing target", 0, mode(3), kNew, "", kMissing, kOld, "", true, false, ""},
        {"mode 4, existing newer", 0, mode(4), kOld, "", kPresent, kNew, "", false, true,
         " was not installed because the existing file is newer.\r\n"},
        {"mode 4, existing older", 0, mode(4), kNew, "", kPresent, kOld, "", true, false, ""},
        {"mode 4, equal dates", 0, mode(4), kNew, "", kPresent, kNew, "", true, false, ""},
        {"mode 4, our date unset", 0, mode(4), kUnset, "", kPresent, kNew, "", true, false, ""},
        {"mode 4, unreadable date", 0, mode(4), kOld, "", kNoDate, kNew, "", true, false, ""},
        // Kind 0 never compares.
        {"kind 0 replaces a newer file", 0, 0, kOld, "", kPresent, kNew, "", true, false, ""},
        // Dates: kinds 1 and 4.
        {"shared, missing", 1, 0, kOld, "", kMissing, kNew, "", true, false, ""},
        {"shared, older existing", 1, 0, kNew, "", kPresent, kOld, "", true, false,
         " is out of date and will be replaced.\r\n"},
        {"shared, equal", 1, 0, kNew, "", kPresent, kNew, "", false, false, " is up to date.\r\n"},
        {"font, newer existing", 4, 0, kOld, "", kPresent, kNew, "", false, false,
         " is up to date.\r\n"},
        {"shared, our date unset", 1, 0, kUnset, "", kPresent, kNew, "", true, false,
         " is out of date and will be replaced.\r\n"},
        {"font, unreadable date", 4, 0, kOld, "", kNoDate, kNew, "", true, false,
         " is out of date and will be replaced.\r\n"},
        // Versions and dates: kinds 6 to 9.
        {"newer version and date", 6, 0, kNew, "2.0", kPresent, kOld, "1.0", true, false,
         " needs replacement because its version (2.0) is newer than 1.0 and its date "
         "(2024-06-01 12:00:00) is newer than 2020-01-01 12:00:00\r\n"},
        {"newer version, older date", 6, 0, kOld, "2.0", kPresent, kNew, "1.0", false, false,
         " was not installed because its date (2020-01-01 12:00:00) is not newer than "
         "2024-06-01 12:00:00.\r\n"},
        {"equal version", 8, 0, kNew, "1.0", kPresent, kOld, "1.0", false, false,
         " was not installed because its version (1.0) is not newer than 1.0\r\n"},
        {"older version, kind 9 recorded", 9, 0, kNew, "1.0", kPresent, kOld, "1.5", false, true,
         " was not installed because its version (1.0) is not newer than 1.5\r\n"},
        {"older version, permanent kind 9", 9, 0x20, kNew, "1.0", kPresent, kOld, "1.5", false,
         false, " was not installed because its version (1.0) is not newer than 1.5\r\n"},
        {"no version resource, newer date", 7, 0, kNew, "2.0", kPresent, kOld, "", true, false,
         " needs replacement because its date (2024-06-01 12:00:00) is newer than 2020-01-01 "
         "12:00:00\r\n"},
        {"no version resource, equal date", 7, 0, kNew, "2.0", kPresent, kNew, "", false, false,
         " was not installed because its date (2024-06-01 12:00:00) is not newer than "
         "2024-06-01 12:00:00.\r\n"},
        {"no version resource, unreadable date", 7, 0, kOld, "2.0", kNoDate, kNew, "", true, false,
         " is out of date and will be replaced.\r\n"},
        {"our date unset never wins", 9, 0, kUnset, "", kPresent, kOld, "", false, true,
         " was not installed because its date (no date) is not newer than 2020-01-01 "
         "12:00:00.\r\n"},
        {"versioned, missing target", 9, 0, kOld, "1.0", kMissing, kNew, "9.0", true, false, ""},
    };
    for (const DecisionCase& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedFile file;
        file.present = c.existing != kMissing;
        file.dateReadable = c.existing != kNoDate;
        file.date = c.theirs;
        file.version = c.theirVersion;
        FileDecision d =
            decideFile(record(c.kind, c.options, c.ours, c.ourVersion), target, false, file);
        EXPECT_EQ(d.install, c.install);
        EXPECT_EQ(d.recordRefused, c.recordRefused);
        EXPECT_EQ(std::string(d.message.c_str()), c.message);
        if (!file.asked.empty()) {
            EXPECT_TRUE(file.asked == target);
        }
    }
}

TEST(FileDecision, ExistingTargetOfACheckedKindAllowsReplacementAtRestart) {
    ScriptedFile file;
    file.present = true;
    file.date = kOld;
    EXPECT_TRUE(decideFile(record(6, 0, kNew, ""), String(u"x"), false, file).foundExisting);
    EXPECT_FALSE(decideFile(record(0, 0, kNew, ""), String(u"x"), false, file).foundExisting);
    file.present = false;
    EXPECT_FALSE(decideFile(record(6, 0, kNew, ""), String(u"x"), false, file).foundExisting);
}

TEST(FileDecision, PortableSharedFileUpToDateIsRecorded) {
    ScriptedFile file;
    file.present = true;
    file.date = kNew;
    FileDecision d = decideFile(record(1, 0, kOld, ""), String(u"x"), true, file);
    EXPECT_FALSE(d.install);
    EXPECT_TRUE(d.recordRefused);
    EXPECT_FALSE(decideFile(record(1, 0, kOld, ""), String(u"x"), false, file).recordRefused);
}

TEST(FileDecision, CountedRecords) {
    for (int32_t kind : {0, 5, 9, 10, 11, 12}) {
        EXPECT_TRUE(isCountedRecord(kind, 0, false)) << kind;
        EXPECT_FALSE(isCountedRecord(kind, kFileOptionPermanent, false)) << kind;
    }
    for (int32_t kind : {1, 4, 6, 7, 8}) EXPECT_FALSE(isCountedRecord(kind, 0, false)) << kind;
    EXPECT_TRUE(isCountedRecord(1, 0, true));
}

TEST(FileDecision, KnownKinds) {
    for (int32_t kind = -1; kind <= 13; ++kind) {
        bool known = kind == 0 || kind == 1 || (kind >= 4 && kind <= 12);
        EXPECT_EQ(isKnownFileKind(kind), known) << kind;
    }
}

void expandTest(String& text) {
    text.replaceAllWide(u"%Data%", u"D:\\Data");
}

std::u16string wide(const String& s) {
    return std::u16string(s.w_str(), s.wideLength());
}

struct TargetCase {
    const char* what;
    int32_t kind;
    int32_t options;
    const char16_t* targetPath;
    bool portable;
    const char16_t* expected;
    bool createFolder;
};

TEST(FileTarget, WhereARecordGoes) {
    FileFolders folders;
    folders.installDir.assignWide(u"C:\\App");
    folders.sharedDir.assignWide(u"C:\\Shared");
    folders.uninstallDir.assignWide(u"C:\\App\\Uninstall");
    folders.fontsDir.assignWide(u"C:\\Windows\\Fonts");
    folders.systemDir.assignWide(u"C:\\Windows\\system32");
    const TargetCase cases[] = {
        {"program", 0, 0, u"", false, u"C:\\App\\sub\\app.dll", true},
        {"shared", 1, 0, u"", false, u"C:\\Shared\\sub\\app.dll", false},
        {"font", 4, 0, u"", false, u"C:\\Windows\\Fonts\\sub\\app.dll", false},
        {"system", 7, 0, u"", false, u"C:\\Windows\\system32\\sub\\app.dll", false},
        {"uninstall folder", 0, 0x40, u"", false, u"C:\\App\\Uninstall\\sub\\app.dll", false},
        {"folder with backslash", 0, 0, u"bin\\", false, u"C:\\App\\bin\\app.dll", true},
        {"shared folder", 1, 0, u"bin\\", false, u"C:\\Shared\\bin\\app.dll", true},
        {"plain name renames", 6, 0, u"other.dll", false, u"C:\\App\\other.dll", true},
        {"leading backslash dropped", 0, 0x40, u"\\x\\y.dll", false, u"C:\\App\\x\\y.dll", true},
        {"variables expanded", 0, 0, u"%Data%\\", false, u"D:\\Data\\app.dll", true},
        {"absolute", 4, 0, u"E:\\f.ttf", false, u"E:\\f.ttf", true},
        {"portable: plain relative kept", 1, 0, u"bin\\x.dll", true, u"C:\\Shared\\bin\\x.dll",
         true},
        {"portable: absolute ignored", 1, 0, u"E:\\x.dll", true, u"C:\\Shared\\sub\\app.dll",
         false},
        {"portable: variable ignored", 1, 0, u"%Data%\\x", true, u"C:\\Shared\\sub\\app.dll",
         false},
    };
    for (const TargetCase& c : cases) {
        SCOPED_TRACE(c.what);
        folders.portable = c.portable;
        FileRecord r;
        r.name.assign("sub\\app.dll");
        r.kind = c.kind;
        r.options = c.options;
        r.targetPath.assignWide(c.targetPath);
        FileTarget t = resolveFileTarget(r, folders, expandTest);
        EXPECT_EQ(wide(t.path), std::u16string(c.expected));
        EXPECT_EQ(t.createFolder, c.createFolder);
    }
}

TEST(FileLoop, ProgressSpansTheFilePhase) {
    EXPECT_EQ(fileProgress(0, 1), 28);
    EXPECT_EQ(fileProgress(0, 3), 28);
    EXPECT_EQ(fileProgress(1, 3), 48);  // 62 / 3 = 20, integer arithmetic
    EXPECT_EQ(fileProgress(2, 3), 69);
    EXPECT_EQ(fileProgress(99, 100), 89);
    // No overflow on a large table.
    EXPECT_EQ(fileProgress(0x7FFFFFFE, 0x7FFFFFFF), 89);
}

TEST(FileLoop, HiddenNamesShowTheGeneralMessage) {
    FileRecord r;
    r.name.assign("app.exe");
    EXPECT_FALSE(fileNameHidden(r, 0));
    EXPECT_TRUE(fileNameHidden(r, kFlagsHideFileNames));
    EXPECT_FALSE(fileNameHidden(r, 0x00020000));  // the low word's bit is something else
    r.name.assign("b/0@+");
    EXPECT_TRUE(fileNameHidden(r, 0));
    r.name.assign("b/0@+x");
    EXPECT_FALSE(fileNameHidden(r, 0));
}

struct ShortcutCase {
    const char* what;
    int32_t kind;
    int32_t options;
    bool made, desktop, startMenu, startup, permanent;
};

TEST(FileLoop, ShortcutRecordOfAFile) {
    const ShortcutCase cases[] = {
        {"program without bits", 0, 0, false, false, false, false, false},
        {"program, desktop", 0, 0x1, true, true, false, false, false},
        {"program, start menu, permanent", 0, 0x22, true, false, true, false, true},
        {"startup kind always", 5, 0, true, false, false, true, false},
        {"startup kind with both bits", 5, 0x3, true, true, true, true, false},
        {"shared kind ignores the bits", 1, 0x3, false, false, false, false, false},
        {"versioned kind ignores the bits", 9, 0x1, false, false, false, false, false},
    };
    for (const ShortcutCase& c : cases) {
        SCOPED_TRACE(c.what);
        FileRecord r;
        r.kind = c.kind;
        r.options = c.options;
        r.label.assign("Caf\xC3\xA9");  // UTF-8
        r.shortcutIcon.assign("app.ico");
        r.arguments.assign("-x");
        r.auxiliary.assign("C:\\Work");
        ShortcutRecord s;
        s.name.assign("stale");
        ASSERT_EQ(fileShortcutRecord(r, String(u"C:\\App\\app.exe"), s), c.made);
        if (!c.made) continue;
        EXPECT_EQ(s.desktop, c.desktop);
        EXPECT_EQ(s.startMenu, c.startMenu);
        EXPECT_EQ(s.startup, c.startup);
        EXPECT_EQ(s.permanent, c.permanent);
        EXPECT_FALSE(s.expandTarget);
        EXPECT_FALSE(s.quiet);
        EXPECT_STREQ(s.target.c_str(), "C:\\App\\app.exe");
        EXPECT_EQ(wide(s.name), std::u16string(u"Caf\u00E9"));
        EXPECT_STREQ(s.icon.c_str(), "app.ico");
        EXPECT_EQ(wide(s.arguments), std::u16string(u"-x"));
        EXPECT_STREQ(s.workingFolder.c_str(), "C:\\Work");
    }
}

TEST(FileLoop, FontTexts) {
    String list = fontListEntry(String("Demo Sans"), String("demo.ttf"));
    list.append(fontListEntry(String("Demo Mono"), String("mono.ttf")));
    EXPECT_STREQ(list.c_str(), "\"Demo Sans\" \"demo.ttf\" \"Demo Mono\" \"mono.ttf\" ");
    EXPECT_EQ(wide(fontStatusText(String(u"Registering <file>..."), String(u"demo.ttf"))),
              std::u16string(u"Registering demo.ttf..."));
}

// An upgrade keeps listing the fonts an earlier version registered and this one did not, while
// their files are there; one it lists again (in any letter case) is not doubled.
TEST(FileLoop, EarlierFontsStayListedWhileTheirFilesAreThere) {
    const String previous(
        "\"Old Sans\" \"old.ttf\" \"Gone Serif\" \"gone.ttf\" "
        "\"Demo Sans\" \"DEMO.TTF\" ");
    const String current = fontListEntry(String("Demo Sans"), String("demo.ttf"));
    std::vector<std::string> asked;
    auto present = [&](const String& fileName) {
        asked.push_back(fileName.c_str());
        return !fileName.equals("gone.ttf");
    };
    EXPECT_STREQ(carriedFontList(current, previous, present).c_str(),
                 "\"Demo Sans\" \"demo.ttf\" \"Old Sans\" \"old.ttf\" ");
    EXPECT_EQ(asked, (std::vector<std::string>{"old.ttf", "gone.ttf"}));
    EXPECT_STREQ(carriedFontList(String(), String(), present).c_str(), "");
    EXPECT_STREQ(carriedFontList(current, String("\"Broken\" \"x.ttf"), present).c_str(),
                 current.c_str());
}

TEST(FileLoop, DateTextOfSetAndUnsetDates) {
    EXPECT_STREQ(fileDateText(at(2024, 6, 1, 9)).c_str(), "2024-06-01 09:00:00");
    EXPECT_STREQ(fileDateText(FileDateTime()).c_str(), "no date");
    FileDateTime negativeTime = at(2024, 6, 1);
    negativeTime.hour = -1;
    EXPECT_STREQ(fileDateText(negativeTime).c_str(), "no date");
}

}  // namespace
}  // namespace tessarin
