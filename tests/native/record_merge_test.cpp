// An earlier installation's record carried into a reinstallation's: what is kept, what is
// dropped because it is gone, what is not doubled, and the uninstaller's guards on what was
// carried.
#include "services/record_merge.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "recording_reporter.h"
#include "test_text.h"
#include "uninstall/removal.h"

namespace tessarin {
namespace {

using testing::RecordingReporter;
using testing::utf8;

// What is still on the machine: paths and deletion lines (with their marks) that exist.
class ScriptedPresence : public RecordPresence {
  public:
    bool fileExists(const String& path) override { return present.count(utf8(path)) != 0; }
    bool folderExists(const String& path) override { return present.count("~" + utf8(path)) != 0; }
    bool registryEntryExists(const FileDeletion& deletion) override {
        return present.count(std::string(1, deletionPrefix(deletion.kind)) +
                             deletion.path.c_str()) != 0;
    }
    bool writtenUnrecorded(const String& path) override {
        return unrecorded.count(utf8(path)) != 0;
    }
    std::set<std::string> present;
    std::set<std::string> unrecorded;
};

void read(const std::string& text, UninstallData& data) {
    readUninstallDataText(text.data(), static_cast<int32_t>(text.size()), data);
}

std::string deletionText(const UninstallData& data) {
    return std::string(data.deletionText().c_str());
}

// Version 1 installed a and b, a shortcut, a registry value and key, and made the publisher's
// folder; version 2 installs b and c into the folder it found.
const char* const kPrevious =
    "~C:\\Program Files\\Co\r\n"
    "~C:\\Program Files\\Co\\App\r\n"
    "C:\\Program Files\\Co\\App\\a.exe\r\n"
    "C:\\Program Files\\Co\\App\\b.dll\r\n"
    "C:\\Users\\Public\\Desktop\\App.lnk\r\n"
    "!\\HKLM\\Software\\Co\\App\\Path\r\n"
    "^\\HKCU\\Software\\Co\\App\r\n"
    "*\\HKLM\\Software\\Co\\Gone\r\n"
    "C:\\Program Files\\Co\\App\\removed.txt\r\n"
    "C:\\Program Files\\Co\\App\\keep.dat\r\n"
    "\r\n\r\n[Associations]\r\n.app~!~App.Doc~!~open~!~\r\n"
    "\r\n\r\n[Firewall]\r\napp.exe;App;0;1\r\nold.exe;Old;0;1\r\n"
    "\r\n\r\n[INF]\r\nC:\\Windows\\INF\\oem7.inf\r\n"
    "\r\n\r\n[MSI]\r\n\"C:\\App\\runtime.msi\",2\r\n"
    "\r\n\r\n[Registry2]\r\nHKLM\\Software\\Co,Old,,,1\r\nHKLM\\Software\\Co,Both,,,1\r\n";

TEST(RecordMerge, CarriesWhatIsStillThereOnceAndDropsWhatIsGone) {
    UninstallData previous;
    read(kPrevious, previous);
    UninstallData current;
    current.recordDeletion("C:\\Program Files\\Co\\App\\b.dll", DeletionKind::File);
    current.recordDeletion("C:\\Program Files\\Co\\App\\c.dll", DeletionKind::File);
    current.recordDeletion("C:\\PROGRAM FILES\\CO\\APP", DeletionKind::Folder);
    current.firewall.append("app.exe;App;0;1");
    current.registryTable.append("HKLM\\Software\\Co,Both,,,1\r\n");

    ScriptedPresence presence;
    presence.present = {"~C:\\Program Files\\Co",
                        "~C:\\Program Files\\Co\\App",
                        "C:\\Program Files\\Co\\App\\a.exe",
                        "C:\\Program Files\\Co\\App\\b.dll",
                        "C:\\Users\\Public\\Desktop\\App.lnk",
                        "!\\HKLM\\Software\\Co\\App\\Path",
                        "^\\HKCU\\Software\\Co\\App",
                        "C:\\Program Files\\Co\\App\\keep.dat"};
    // Version 2 installs keep.dat as a permanent file: it is its, and stays.
    presence.unrecorded = {"C:\\Program Files\\Co\\App\\keep.dat"};
    RecordMergeCounts counts = carryPreviousRecord(previous, current, presence);

    struct Case {
        const char* line;
        bool carried;
        const char* why;
    } cases[] = {
        {"~C:\\Program Files\\Co", true, "a folder the earlier installation made"},
        {"C:\\Program Files\\Co\\App\\a.exe", true, "a file only the earlier version installed"},
        {"C:\\Users\\Public\\Desktop\\App.lnk", true, "a shortcut only it made"},
        {"!\\HKLM\\Software\\Co\\App\\Path", true, "a value only it wrote"},
        {"^\\HKCU\\Software\\Co\\App", true, "a key only it wrote"},
        {"*\\HKLM\\Software\\Co\\Gone", false, "a key that is gone"},
        {"C:\\Program Files\\Co\\App\\removed.txt", false, "a file that is gone"},
        {"C:\\Program Files\\Co\\App\\keep.dat", false, "a file this one keeps unrecorded"},
    };
    std::string text = deletionText(current);
    for (const Case& c : cases) {
        std::string line = std::string(c.line) + "\r\n";
        EXPECT_EQ(text.find(line) != std::string::npos, c.carried) << c.why;
    }
    // Recorded by this installation already, in its own spelling: not doubled.
    EXPECT_EQ(text,
              "C:\\Program Files\\Co\\App\\b.dll\r\n"
              "C:\\Program Files\\Co\\App\\c.dll\r\n"
              "~C:\\PROGRAM FILES\\CO\\APP\r\n"
              "~C:\\Program Files\\Co\r\n"
              "C:\\Program Files\\Co\\App\\a.exe\r\n"
              "C:\\Users\\Public\\Desktop\\App.lnk\r\n"
              "!\\HKLM\\Software\\Co\\App\\Path\r\n"
              "^\\HKCU\\Software\\Co\\App\r\n");
    ASSERT_EQ(current.associations.count(), 1);
    EXPECT_STREQ(current.associations[0].programId.c_str(), "App.Doc");
    ASSERT_EQ(current.firewall.count(), 2);
    EXPECT_STREQ(current.firewall[1].c_str(), "old.exe;Old;0;1");
    ASSERT_EQ(current.inf.count(), 1);
    ASSERT_EQ(current.msi.count(), 1);
    EXPECT_STREQ(current.registryTable.c_str(),
                 "HKLM\\Software\\Co,Both,,,1\r\nHKLM\\Software\\Co,Old,,,1\r\n");
    EXPECT_EQ(counts.carried, 10);
    EXPECT_EQ(counts.dropped, 2);

    // A second reinstallation carries nothing more: the record holds it all.
    UninstallData again;
    read(std::string(uninstallDataText(current).c_str()), again);
    UninstallData merged;
    read(std::string(uninstallDataText(current).c_str()), merged);
    RecordMergeCounts twice = carryPreviousRecord(again, merged, presence);
    EXPECT_EQ(twice.carried, 0);
    EXPECT_EQ(deletionText(merged), text);
}

// A folder made by nobody but everyone's (a planted or damaged earlier record) may be carried
// like any line; the uninstaller's guards refuse it as they refuse a line of its own.
class FolderSystem : public RemovalSystem {
  public:
    bool fileExists(const String&) override { return false; }
    bool deleteFile(const String&) override { return false; }
    bool removeFolder(const String& path) override {
        removed.insert(utf8(path));
        return true;
    }
    void deleteValue(RegistryRoot, const String&, const String&, uint32_t) override {}
    bool deleteKey(RegistryRoot, const String&, bool, uint32_t) override { return false; }
    Vector<String> userHives() override { return Vector<String>(); }
    const ProtectedFolders& protectedFolders() override { return guarded; }
    std::set<std::string> removed;
    ProtectedFolders guarded;
};

TEST(RecordMerge, CarriedLinesMeetTheUninstallersGuards) {
    UninstallData previous;
    read("~C:\\Program Files\r\n~C:\\Program Files\\Co\r\n", previous);
    UninstallData current;
    ScriptedPresence presence;
    presence.present = {"~C:\\Program Files", "~C:\\Program Files\\Co"};
    carryPreviousRecord(previous, current, presence);

    UninstallData reread;
    read(std::string(uninstallDataText(current).c_str()), reread);
    FolderSystem system;
    system.guarded.folders.append(String(u"C:\\Program Files"));
    RecordingReporter reporter;
    RemovalOutcome outcome;
    RemovalSettings settings{String(u"C:\\Program Files\\Co\\App"), 0};
    removeRecordedItems(reread, settings, system, reporter, outcome);
    removeRecordedFolders(outcome.folders, settings, system, reporter);
    EXPECT_EQ(system.removed, std::set<std::string>{"C:\\Program Files\\Co"});
    EXPECT_EQ(reporter.errors, "Not removed: \"C:\\Program Files\" is a system folder.\r\n");
}

}  // namespace
}  // namespace tessarin
