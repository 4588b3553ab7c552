#include "uninstall/removal.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "recording_reporter.h"
#include "services/progress.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::fromUtf8;
using testing::utf8;

using testing::RecordingReporter;

// Records every status the removal announces: its clock moves a second on every reading, so
// that no text waits for the display's pacing.
class RecordingDisplay : public ProgressDisplay, public ProgressClock {
  public:
    RecordingDisplay() {
        setProgressDisplay(this);
        setProgressClock(this);
    }
    ~RecordingDisplay() override {
        setProgressDisplay(nullptr);
        setProgressClock(nullptr);
        resetProgress();
    }
    uint32_t ticks() override { return now += 1000; }
    void pumpAndWait(uint32_t milliseconds) override { now += milliseconds; }
    uint32_t now = 0;
    void showStatus(const String& text) override { statuses.push_back(utf8(text)); }
    void showPercent(int32_t percent) override { percents.push_back(percent); }
    std::vector<std::string> statuses;
    std::vector<int32_t> percents;
};

std::string viewName(uint32_t view) {
    return view == kRegView64 ? "64" : "32";
}

std::string rootName(RegistryRoot root) {
    const RegistryRootName* name = findRegistryRoot(root);
    return name ? name->abbreviation : "?";
}

// A file system of folders and files and a registry that records what was asked of it.
class ScriptedSystem : public RemovalSystem {
  public:
    bool fileExists(const String& path) override { return files.count(utf8(path)) != 0; }
    bool deleteFile(const String& path) override {
        std::string p = utf8(path);
        if (locked.count(p) || !files.count(p)) return false;
        calls.push_back("del " + p);
        files.erase(p);
        return true;
    }
    bool removeFolder(const String& path) override {
        std::string p = utf8(path);
        if (!folders.count(p)) return false;
        for (const std::set<std::string>* names : {&files, &folders})
            for (const std::string& name : *names)
                if (name.rfind(p + "\\", 0) == 0) return false;
        calls.push_back("rmdir " + p);
        folders.erase(p);
        return true;
    }
    void deleteValue(RegistryRoot root, const String& subKey, const String& name,
                     uint32_t view) override {
        calls.push_back("value " + rootName(root) + "\\" + utf8(subKey) + " [" + utf8(name) + "] " +
                        viewName(view));
    }
    bool deleteKey(RegistryRoot root, const String& subKey, bool onlyIfEmpty,
                   uint32_t view) override {
        std::string key = rootName(root) + "\\" + utf8(subKey);
        calls.push_back((onlyIfEmpty ? "empty " : "tree ") + key + " " + viewName(view));
        return !onlyIfEmpty || emptyKeys.count(key) != 0;
    }
    Vector<String> userHives() override {
        Vector<String> names;
        for (const char16_t* hive : {u"S-1-5-21-1", u"S-1-5-21-2"}) names.append(String(hive));
        return names;
    }
    const ProtectedFolders& protectedFolders() override { return protectedSet; }

    std::set<std::string> files;
    std::set<std::string> locked;
    std::set<std::string> folders;
    std::set<std::string> emptyKeys;
    std::vector<std::string> calls;
    ProtectedFolders protectedSet;
};

std::string joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& l : lines) all += l + "|";
    return all;
}

void plant(UninstallData& data, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        FileDeletion d;
        std::string path = line;
        static const std::string prefixes = "~!^*";
        size_t kind = path.empty() ? std::string::npos : prefixes.find(path[0]);
        if (kind != std::string::npos) {
            d.kind = static_cast<DeletionKind>(kind + 1);
            path.erase(0, 1);
        }
        d.path = String(path.c_str());
        data.deletions.append(d);
    }
}

RemovalSettings settings(uint64_t flags = 0) {
    return RemovalSettings{String(u"C:\\App"), flags};
}

// ---- The deletion list -------------------------------------------------------------------

TEST(Removal, DeletionListIsCarriedOutInFileOrder) {
    UninstallData data;
    data.setText(kTextUndeletableFile, String(u"Unable to delete"));
    data.recordDeletion("C:\\App\\stale.txt", DeletionKind::File);  // cleared first
    plant(data, {"C:\\App\\A.EXE", "~C:\\App\\Sub", "!\\HKLM\\Software\\Co\\App\\Path",
                 "^HKEY_CURRENT_USER\\Software\\Co\\App", "", "*\\HKLM\\Software\\Co\\App64",
                 "C:\\App\\held.dll", "C:\\App\\gone.txt", "|C:\\App\\\xc3\xa9t\xc3\xa9.txt"});
    ScriptedSystem system;
    system.files = {"C:\\App\\A.EXE", "C:\\App\\held.dll", "C:\\App\\\xc3\xa9t\xc3\xa9.txt"};
    system.locked = {"C:\\App\\held.dll"};
    RecordingReporter reporter;
    RecordingDisplay display;
    RemovalOutcome outcome;
    removeRecordedItems(data, settings(), system, reporter, outcome);

    EXPECT_EQ(joined(system.calls),
              "del C:\\App\\A.EXE|"
              "value HKLM\\Software\\Co\\App [Path] 32|"
              "tree HKCU\\Software\\Co\\App 32|"
              "tree HKLM\\Software\\Co\\App64 64|"
              "del C:\\App\\\xc3\xa9t\xc3\xa9.txt|");
    EXPECT_EQ(reporter.errors, "Unable to delete C:\\App\\held.dll\r\n");
    // Only the file that stayed is recorded for the rewritten file.
    EXPECT_EQ(data.deletionText().c_str(), std::string("C:\\App\\held.dll\r\n"));
    ASSERT_EQ(outcome.folders.count(), 1);
    EXPECT_STREQ(outcome.folders[0].c_str(), "C:\\App\\Sub");
    EXPECT_EQ(outcome.deletedFiles.count(), 2);
    EXPECT_TRUE(outcome.deletedFiles.contains(String(u"c:\\app\\a.exe")));
    EXPECT_FALSE(outcome.deletedFiles.contains(String(u"C:\\App\\held.dll")));
    EXPECT_EQ(joined(display.statuses),
              "C:\\App\\A.EXE|C:\\App\\held.dll|C:\\App\\gone.txt|C:\\App\\\xc3\xa9t\xc3\xa9.txt|");
}

TEST(Removal, ProgressMovesFromElevenToNinetyTwoInProportion) {
    struct Case {
        int entries;
        std::vector<int32_t> percents;
    } cases[] = {
        {0, {11}},
        {1, {11, 92}},
        {3, {11, 38, 65, 92}},
        {4, {11, 31, 51, 71, 92}},
    };
    for (const Case& c : cases) {
        UninstallData data;
        std::vector<std::string> lines(static_cast<size_t>(c.entries), "C:\\App\\missing.txt");
        plant(data, lines);
        ScriptedSystem system;
        RecordingReporter reporter;
        RecordingDisplay display;
        RemovalOutcome outcome;
        removeRecordedItems(data, settings(), system, reporter, outcome);
        EXPECT_EQ(display.percents, c.percents) << c.entries << " entries";
    }
}

TEST(Removal, HiddenFileNamesShowNoStatus) {
    UninstallData data;
    plant(data, {"C:\\App\\A.EXE", "~C:\\App\\Sub"});
    ScriptedSystem system;
    system.files = {"C:\\App\\A.EXE"};
    system.folders = {"C:\\App\\Sub"};
    RecordingReporter reporter;
    RecordingDisplay display;
    RemovalOutcome outcome;
    removeRecordedItems(data, settings(kFlagsHideFileNames), system, reporter, outcome);
    removeRecordedFolders(outcome.folders, settings(kFlagsHideFileNames), system, reporter);
    EXPECT_TRUE(display.statuses.empty());
    EXPECT_EQ(joined(system.calls), "del C:\\App\\A.EXE|rmdir C:\\App\\Sub|");
}

TEST(Removal, ProtectedPathsAndRegistryRootsAreRefused) {
    UninstallData data;
    plant(data, {"C:\\", "C:\\Windows", "c:\\windows\\.", "~C:\\Program Files", "^\\HKLM",
                 "^\\HKLM\\SOFTWARE", "!\\HKCU\\Software\\", "*\\HKLM\\Software\\Co"});
    ScriptedSystem system;
    system.protectedSet.folders.append(String(u"C:\\Windows"));
    system.protectedSet.folders.append(String(u"C:\\Program Files"));
    system.files = {"C:\\", "C:\\Windows", "c:\\windows\\."};
    system.folders = {"C:\\Program Files"};
    RecordingReporter reporter;
    RecordingDisplay display;
    RemovalOutcome outcome;
    removeRecordedItems(data, settings(), system, reporter, outcome);
    removeRecordedFolders(outcome.folders, settings(), system, reporter);

    EXPECT_EQ(joined(system.calls), "tree HKLM\\Software\\Co 64|");
    EXPECT_EQ(reporter.errors,
              "Not removed: \"C:\\\" is a drive root.\r\n"
              "Not removed: \"C:\\Windows\" is a system folder.\r\n"
              "Not removed: \"c:\\windows\\.\" is a system folder.\r\n"
              "Not removed: \"\\HKLM\" is a registry root.\r\n"
              "Not removed: \"\\HKLM\\SOFTWARE\" is a registry root.\r\n"
              "Not removed: \"\\HKCU\\Software\" is a registry root.\r\n"
              "Not removed: \"C:\\Program Files\" is a system folder.\r\n");
    // Refused paths are not recorded again: a run never retries them.
    EXPECT_EQ(data.deletionText().length(), 0);
}

TEST(Removal, SystemKeyTreesAreRefusedAndProductKeysBelowThemGo) {
    struct Case {
        const char* line;
        const char* call;  // empty: refused
    } cases[] = {
        {"^\\HKLM\\System", ""},
        {"^\\HKLM\\System\\CurrentControlSet", ""},
        {"^\\HKLM\\System\\CurrentControlSet\\Services", ""},
        {"^\\HKLM\\System\\CurrentControlSet\\Services\\CoDriver",
         "tree HKLM\\System\\CurrentControlSet\\Services\\CoDriver 32"},
        {"^\\HKLM\\Software\\Microsoft", ""},
        {"*\\HKLM\\Software\\Wow6432Node\\Microsoft\\Windows", ""},
        {"^\\HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", ""},
        {"^\\HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Co App",
         "tree HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Co App 32"},
        {"^\\HKLM\\Software\\Classes\\CLSID", ""},
        {"*\\HKLM\\Software\\Classes\\CLSID\\{1234}",
         "tree HKLM\\Software\\Classes\\CLSID\\{1234} 64"},
        {"^\\HKCU\\Control Panel", ""},
        {"^\\HKCU\\Software\\Co\\App", "tree HKCU\\Software\\Co\\App 32"},
        {"^\\HKU\\S-1-5-21-1\\Software", ""},
        {"^\\HKCR\\CLSID", ""},
        {"^\\HKCR\\.coapp", "tree HKCR\\.coapp 32"},
        {"^\\HKCR\\exefile", ""},
        {"*\\HKLM\\Software\\Classes\\.exe", ""},
        {"^\\HKCU\\Software\\Classes\\batfile", ""},
        {"^\\HKCR\\exefile\\shell\\CoVerb", "tree HKCR\\exefile\\shell\\CoVerb 32"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        UninstallData data;
        plant(data, {c.line});
        ScriptedSystem system;
        RecordingReporter reporter;
        RecordingDisplay display;
        RemovalOutcome outcome;
        removeRecordedItems(data, settings(), system, reporter, outcome);
        if (*c.call) {
            EXPECT_EQ(joined(system.calls), std::string(c.call) + "|");
            EXPECT_EQ(reporter.errors, "");
        } else {
            EXPECT_EQ(joined(system.calls), "");
            EXPECT_NE(reporter.errors.find("is a system registry key"), std::string::npos);
        }
    }
}

// A recorded value is deleted unless its key is one the system lives by.
TEST(Removal, RecordedValuesOfSystemKeysAreRefused) {
    struct Case {
        const char* line;
        const char* call;  // empty: refused
    } cases[] = {
        {"!\\HKCR\\exefile\\shell\\open\\command\\", ""},
        {"!\\HKCR\\.exe\\", ""},
        {"!\\HKCU\\Software\\Classes\\exefile\\shell\\open\\command\\", ""},
        {"!\\HKU\\S-1-5-21-1\\Software\\Wow6432Node\\Classes\\cmdfile\\IsShortcut", ""},
        {"!\\HKCR\\CLSID\\Default", ""},
        {"!\\HKLM\\System\\CurrentControlSet\\Services\\WinDefend\\Start", ""},
        {"!\\HKLM\\SYSTEM\\ControlSet001\\Control\\Session Manager\\KnownDLLs\\kernel32", ""},
        {"!\\HKLM\\System\\CurrentControlSet\\Control\\Lsa\\RunAsPPL", ""},
        {"!\\HKLM\\Software\\Policies\\Microsoft\\Windows Defender\\DisableAntiSpyware", ""},
        {"!\\HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\EnableLUA", ""},
        {"!\\HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Userinit", ""},
        {"!\\HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows\\AppInit_DLLs", ""},
        {"!\\HKLM\\Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\ProgramFilesDir", ""},
        {"!\\HKLM\\Software\\Co\\App\\Path", "value HKLM\\Software\\Co\\App [Path] 32"},
        {"!\\HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\CoApp",
         "value HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run [CoApp] 32"},
        {"!\\HKLM\\System\\CurrentControlSet\\Control\\Session Manager\\Environment\\CO_HOME",
         "value HKLM\\System\\CurrentControlSet\\Control\\Session Manager\\Environment [CO_HOME] "
         "32"},
        {"!\\HKLM\\System\\CurrentControlSet\\Services\\EventLog\\Application\\CoApp\\"
         "EventMessageFile",
         "value HKLM\\System\\CurrentControlSet\\Services\\EventLog\\Application\\CoApp "
         "[EventMessageFile] 32"},
        {"!\\HKCR\\CoApp.Document\\shell\\open\\command\\",
         "value HKCR\\CoApp.Document\\shell\\open\\command [] 32"},
        {"!\\HKCR\\CLSID\\{1234}\\InprocServer32\\ThreadingModel",
         "value HKCR\\CLSID\\{1234}\\InprocServer32 [ThreadingModel] 32"},
        {"!\\HKCU\\Environment\\CO_HOME", "value HKCU\\Environment [CO_HOME] 32"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        UninstallData data;
        plant(data, {c.line});
        ScriptedSystem system;
        RecordingReporter reporter;
        RecordingDisplay display;
        RemovalOutcome outcome;
        removeRecordedItems(data, settings(), system, reporter, outcome);
        if (*c.call) {
            EXPECT_EQ(joined(system.calls), std::string(c.call) + "|");
            EXPECT_EQ(reporter.errors, "");
        } else {
            EXPECT_EQ(joined(system.calls), "");
            EXPECT_EQ(reporter.errors, "Not removed: \"" + std::string(c.line + 1) +
                                           "\" is a value of a system registry key.\r\n");
        }
    }
}

// ---- Folders -------------------------------------------------------------------------------

TEST(Removal, FoldersAreRemovedDeepestFirstAndClimbStopsAtInstallFolder) {
    ScriptedSystem system;
    system.folders = {"C:\\App",          "C:\\App\\a",    "C:\\App\\a\\b",
                      "C:\\App\\a\\b\\c", "C:\\App\\keep", "C:\\App\\keep\\x",
                      "C:\\Data",         "C:\\Data\\Co",  "C:\\Data\\Co\\App"};
    system.files = {"C:\\App\\keep\\user.txt", "C:\\Data\\other.txt"};
    Vector<String> folders;
    for (const char* f : {"C:\\App\\a", "C:\\App\\keep\\x", "C:\\Data\\Co\\App", "C:\\App\\a\\b\\c",
                          "C:\\App\\keep"})
        folders.append(String(f));
    RecordingReporter reporter;
    RecordingDisplay display;
    removeRecordedFolders(folders, settings(), system, reporter);

    EXPECT_EQ(joined(system.calls),
              "rmdir C:\\Data\\Co\\App|rmdir C:\\Data\\Co|"
              "rmdir C:\\App\\keep\\x|"
              "rmdir C:\\App\\a\\b\\c|rmdir C:\\App\\a\\b|rmdir C:\\App\\a|");
    EXPECT_TRUE(system.folders.count("C:\\App"));  // the install folder itself stays
    EXPECT_TRUE(system.folders.count("C:\\Data"));
    EXPECT_EQ(joined(display.statuses),
              "C:\\Data\\Co\\App|C:\\App\\keep\\x|C:\\App\\a\\b\\c|C:\\App\\keep|C:\\App\\a|");
    EXPECT_EQ(reporter.errors, "");
}

TEST(Removal, EmptiedInstallFolderStaysWhateverItsSpelling) {
    for (const char16_t* installDir : {u"C:\\App", u"c:\\APP\\", u"C:/App/."}) {
        ScriptedSystem system;
        system.folders = {"C:\\App", "C:\\App\\a", "C:\\App\\a\\b"};
        Vector<String> folders;
        folders.append(String("C:\\App\\a\\b"));
        RecordingReporter reporter;
        RecordingDisplay display;
        removeRecordedFolders(folders, RemovalSettings{String(installDir), 0}, system, reporter);
        EXPECT_EQ(joined(system.calls), "rmdir C:\\App\\a\\b|rmdir C:\\App\\a|")
            << utf8(String(installDir));
    }
}

TEST(Removal, ClimbStopsAtProtectedParentWithoutReport) {
    ScriptedSystem system;
    system.protectedSet.folders.append(String(u"C:\\Program Files"));
    system.folders = {"C:\\Program Files", "C:\\Program Files\\Co"};
    Vector<String> folders;
    folders.append(String("C:\\Program Files\\Co"));
    RecordingReporter reporter;
    RecordingDisplay display;
    removeRecordedFolders(folders, RemovalSettings{String(u"D:\\App"), 0}, system, reporter);
    EXPECT_EQ(joined(system.calls), "rmdir C:\\Program Files\\Co|");
    EXPECT_EQ(reporter.errors, "");
}

TEST(Removal, StartMenuFolderAndEmptyParentsBelowProgramsMenu) {
    const String programs(u"C:\\Users\\Me\\Start Menu\\Programs");
    struct Case {
        const char16_t* folder;
        std::set<std::string> files;
        std::string calls;
    } cases[] = {
        {u"C:\\Users\\Me\\Start Menu\\Programs\\Co\\App",
         {},
         "rmdir C:\\Users\\Me\\Start Menu\\Programs\\Co\\App|"
         "rmdir C:\\Users\\Me\\Start Menu\\Programs\\Co|"},
        {u"C:\\Users\\Me\\Start Menu\\Programs\\Co\\App",
         {"C:\\Users\\Me\\Start Menu\\Programs\\Co\\Other.lnk"},
         "rmdir C:\\Users\\Me\\Start Menu\\Programs\\Co\\App|"},
        {u"C:\\Users\\Me\\Start Menu\\Programs\\Co\\App",
         {"C:\\Users\\Me\\Start Menu\\Programs\\Co\\App\\Left.lnk"},
         ""},
        // The Programs menu itself, or a folder outside it, is never removed.
        {u"C:\\Users\\Me\\Start Menu\\Programs", {}, ""},
        {u"C:\\Users\\Me\\Start Menu\\Programs\\..\\..", {}, ""},
        {u"C:\\Elsewhere", {}, ""},
    };
    for (const Case& c : cases) {
        ScriptedSystem system;
        system.folders = {"C:\\Users\\Me\\Start Menu\\Programs",
                          "C:\\Users\\Me\\Start Menu\\Programs\\Co",
                          "C:\\Users\\Me\\Start Menu\\Programs\\Co\\App", "C:\\Elsewhere"};
        system.files = c.files;
        RecordingReporter reporter;
        removeEmptyFolderTree(String(c.folder), programs, system, reporter);
        EXPECT_EQ(joined(system.calls), c.calls) << utf8(String(c.folder));
    }
}

TEST(Removal, FolderClimbIsBounded) {
    ScriptedSystem system;
    std::string path = "C:\\App";
    for (int i = 0; i < 60; ++i) {
        path += "\\d";
        system.folders.insert(path);
    }
    Vector<String> folders;
    folders.append(String(path.c_str()));
    RecordingReporter reporter;
    RecordingDisplay display;
    removeRecordedFolders(folders, settings(), system, reporter);
    EXPECT_EQ(system.calls.size(), size_t(kMaxFolderClimb));
}

// ---- Registry ----------------------------------------------------------------------------

TEST(Removal, ProductKeyAndItsEmptyParentsGoInEveryHive) {
    ScriptedSystem system;
    system.emptyKeys = {"HKLM\\Software\\Co\\Suite", "HKLM\\Software\\Co",
                        "HKU\\S-1-5-21-1\\Software\\Co\\Suite"};
    RecordingReporter reporter;
    removeProductRegistry(String(u"\\Co\\Suite\\App\\"), kRegView64, system, reporter);
    EXPECT_EQ(joined(system.calls),
              "tree HKLM\\Software\\Co\\Suite\\App 64|"
              "empty HKLM\\Software\\Co\\Suite 64|"
              "empty HKLM\\Software\\Co 64|"
              "tree HKU\\S-1-5-21-1\\Software\\Co\\Suite\\App 64|"
              "empty HKU\\S-1-5-21-1\\Software\\Co\\Suite 64|"
              "empty HKU\\S-1-5-21-1\\Software\\Co 64|"
              "tree HKU\\S-1-5-21-2\\Software\\Co\\Suite\\App 64|"
              "empty HKU\\S-1-5-21-2\\Software\\Co\\Suite 64|");

    ScriptedSystem none;
    removeProductRegistry(String(u"\\"), 0, none, reporter);
    EXPECT_TRUE(none.calls.empty());
    EXPECT_EQ(reporter.errors, "");
}

TEST(Removal, SystemKeysBelowSoftwareAreRefusedAsProductKey) {
    struct Case {
        const char16_t* key;
        bool refused;
    } cases[] = {
        {u"Microsoft", true},
        {u"\\microsoft\\", true},
        {u"Classes", true},
        {u"Policies", true},
        {u"WOW6432Node", true},
        {u"Microsoft\\Windows", true},
        {u"Microsoft\\Windows\\CurrentVersion", true},
        {u"Microsoft\\Windows NT\\CurrentVersion", true},
        {u"Microsoft\\WindowsApps", false},
        {u"Microsoft\\Product", false},
        {u"Co\\Classes", false},
        {u"Classes\\CLSID", true},
        {u"classes\\Interface\\", true},
        {u"Classes\\*", true},
        {u"Classes\\exefile", true},
        {u"Wow6432Node\\Microsoft", true},
        {u"Wow6432Node\\Classes\\TypeLib", true},
        {u"Classes\\CLSID\\{1234}", false},
        {u"Wow6432Node\\Co\\App", false},
    };
    for (const Case& c : cases) {
        ScriptedSystem system;
        RecordingReporter reporter;
        removeProductRegistry(String(c.key), 0, system, reporter);
        EXPECT_EQ(system.calls.empty(), c.refused) << utf8(String(c.key));
        EXPECT_EQ(reporter.errors.empty(), !c.refused) << utf8(String(c.key));
    }
    RecordingReporter reporter;
    ScriptedSystem system;
    removeProductRegistry(String(u"Policies"), 0, system, reporter);
    EXPECT_EQ(reporter.errors, "Not removed: \"Software\\Policies\" is a key of the system.\r\n");
}

TEST(Removal, ProductKeyClimbIsBounded) {
    ScriptedSystem system;
    std::string key;
    for (int i = 0; i < 30; ++i) key += "k\\";
    key += "App";
    std::string full = "HKLM\\Software\\" + key;
    while (full.size() > std::string("HKLM\\Software").size()) {
        full.erase(full.rfind('\\'));
        system.emptyKeys.insert(full);
    }
    RecordingReporter reporter;
    removeProductRegistry(fromUtf8(key), 0, system, reporter);
    int hklm = 0;
    for (const std::string& call : system.calls) hklm += call.rfind("empty HKLM", 0) == 0;
    EXPECT_EQ(hklm, kMaxParentLevels);
}

TEST(Removal, RegistryTableKeysAndValues) {
    const char* table =
        "\\HKLM\\Software\\Co\\App\r\n"
        "\\HKAU\\Software\\Co\\App\\\r\n"
        "HKLM\\Software\r\n"                              // one backslash: not a key of the table
        "\\HKLM\\Software\\Co\\App,Path,0,C:\\App,2\r\n"  // value, action 2
        "\\HKLM\\Software\\Co\\App,Kept,0,x,1\r\n"        // action 1 keeps it
        "\\HKAU\\Software\\Co\\App,\"Na\xc3\xafve\",1,x,5\r\n"  // value in every hive
        "\\HKCU\\Software\\Co\\App,Odd,1,x,3,extra\r\n"         // six fields
        "\\HKCU\\Software\\Co\\App,Lines,7,\"one\r\n\\HKLM\\Software\\Co\\Data\r\ntwo\",2\r\n"
        "\\HKCU\\Software\\Co\\App,Three,1,x,3\n"
        "\\HKLM\\Software\\Co\\App,Code,1,x,3x\r\n"
        "\\XX\\Software\\Co\\App\r\n";
    ScriptedSystem system;
    RecordingReporter reporter;
    removeRegistryTable(String(table), kRegView64, system, reporter);
    EXPECT_EQ(reporter.errors, "");
    EXPECT_EQ(utf8(fromUtf8(joined(system.calls))),
              "empty HKLM\\Software\\Co\\App 64|"
              "empty HKU\\S-1-5-21-1\\Software\\Co\\App 64|"
              "empty HKU\\S-1-5-21-2\\Software\\Co\\App 64|"
              "value HKLM\\Software\\Co\\App [Path] 64|"
              "value HKU\\S-1-5-21-1\\Software\\Co\\App [Na\xc3\xafve] 64|"
              "value HKU\\S-1-5-21-2\\Software\\Co\\App [Na\xc3\xafve] 64|"
              "value HKCU\\Software\\Co\\App [Lines] 64|"
              "value HKCU\\Software\\Co\\App [Three] 64|");
}

// The table's values are refused in the system's keys as recorded values are; its keys are
// only ever deleted when empty.
TEST(Removal, RegistryTableValuesOfSystemKeysAreRefused) {
    const char* table =
        "\\HKLM\\System\\CurrentControlSet\\Services\\WinDefend,Start,4,2,2\r\n"
        "\\HKCR\\exefile\\shell\\open\\command,,1,x,3\r\n"
        "\\HKAU\\Software\\Classes\\.exe,,1,x,5\r\n"
        "\\HKLM\\Software\\Policies\\Microsoft\\Windows,NoAutoUpdate,4,1,2\r\n"
        "\\HKLM\\Software\\Co\\App,Path,1,x,2\r\n"
        "\\HKAU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run,CoApp,1,x,3\r\n";
    ScriptedSystem system;
    RecordingReporter reporter;
    removeRegistryTable(String(table), 0, system, reporter);
    EXPECT_EQ(
        joined(system.calls),
        "value HKLM\\Software\\Co\\App [Path] 32|"
        "value HKU\\S-1-5-21-1\\Software\\Microsoft\\Windows\\CurrentVersion\\Run [CoApp] 32|"
        "value HKU\\S-1-5-21-2\\Software\\Microsoft\\Windows\\CurrentVersion\\Run [CoApp] 32|");
    EXPECT_EQ(reporter.errors,
              "Not removed: \"\\HKLM\\System\\CurrentControlSet\\Services\\WinDefend\\Start\" is a "
              "value of a system registry key.\r\n"
              "Not removed: \"\\HKCR\\exefile\\shell\\open\\command\\\" is a value of a system "
              "registry key.\r\n"
              "Not removed: \"\\HKAU\\Software\\Classes\\.exe\\\" is a value of a system registry "
              "key.\r\n"
              "Not removed: \"\\HKLM\\Software\\Policies\\Microsoft\\Windows\\NoAutoUpdate\" is a "
              "value of a system registry key.\r\n");
}

}  // namespace
}  // namespace tessarin
