#include "services/uninstall_data.h"

#include <gtest/gtest.h>

#include <string>

#include "core/file.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::bytes;

using testing::fromUtf8;
using testing::utf8;

void read(const std::string& text, UninstallData& data, Vector<String>* notes = nullptr) {
    readUninstallDataText(text.data(), static_cast<int32_t>(text.size()), data, notes);
}

// The [Strings] section as the format lays it out, built here from the list of numbers
// independently of the writer: text n is "T<n>" unless given.
std::string stringsSection(const std::string& banner,
                           std::initializer_list<std::pair<int, std::string>> special = {}) {
    const int numbers[] = {10, 15, 20, 30, 34, 35, 49, 53,  55,  56,  57,  58,  59,  65,  67, 68,
                           69, 70, 71, 74, 79, 80, 99, 100, 101, 104, 107, 108, 109, 110, 111};
    std::string text = "\r\n\r\n[Strings]\r\n";
    for (int n : numbers) {
        std::string body = "T" + std::to_string(n);
        for (const auto& [number, value] : special)
            if (number == n) body = value;
        text += "~" + std::to_string(n) + "\r\n" + body + "\r\n";
    }
    return text + "~999\r\n" + banner + "\r\n";
}

void setTexts(UninstallData& data) {
    for (int32_t n : kUninstallTextNumbers) data.setText(n, fromUtf8("T" + std::to_string(n)));
}

// Every section and every deletion kind, as the installer would leave them.
void fill(UninstallData& data) {
    data.recordDeletion("C:\\App\\app.exe", DeletionKind::File);
    data.recordDeletion("C:\\App\\Data", DeletionKind::Folder);
    data.recordDeletion("\\HKLM\\Software\\App\\Path", DeletionKind::RegistryValue);
    data.recordDeletion("\\HKCU\\Software\\App", DeletionKind::RegistryKey);
    data.recordDeletion("\\HKLM\\Software\\App64", DeletionKind::RegistryKey64);
    data.recordDeletionWide(fromUtf8("C:\\Café\\報告.txt"), DeletionKind::File);
    setTexts(data);
    data.setText(53, fromUtf8("Remove «App»?\r\nAll of it."));
    data.banner = fromUtf8("App 2.0 for Windows ™");
    data.closeRules.append({"AppWindow", "*App, the editor", "App", 2, kClosePhaseInstall});
    data.closeRules.append({"", "Viewer", "Viewer \"Pro\"", 0, kClosePhaseInstall});
    data.associations.append({".app", "App.Document", "open", "C:\\App\\app.exe,1"});
    data.associations.append({".apx", "App.Extra", "edit", ""});
    data.firewall.append("app.exe;App;0;1");
    data.firewall.append("8080;App server;1;0");
    data.inf.append("C:\\Windows\\INF\\oem7.inf");
    data.msi.append("\"C:\\App\\runtime.msi\",2");
    data.registryTable = String("\\HKLM\\Software\\App\r\n\\HKLM\\Software\\App,Name,1,x,2\r\n");
    data.conditionalDeletions.append({"%InstallDir%\\*.log", 5, "1024", 8 | 2});
    data.conditionalDeletions.append({"C:\\App\\only at install.tmp", 0, "", 4});
    data.conditionalDeletions.append({"C:\\App\\a;b.dll", 2, "1.2.3", 8});
}

const std::string kFullFile =
    "C:\\App\\app.exe\r\n"
    "~C:\\App\\Data\r\n"
    "!\\HKLM\\Software\\App\\Path\r\n"
    "^\\HKCU\\Software\\App\r\n"
    "*\\HKLM\\Software\\App64\r\n"
    "|C:\\Caf\xC3\xA9\\\xE5\xA0\xB1\xE5\x91\x8A.txt\r\n" +
    stringsSection("App 2.0 for Windows \xE2\x84\xA2", {{53,
                                                         "Remove \xC2\xAB"
                                                         "App\xC2\xBB?\r\nAll of it."}}) +
    "\r\n\r\n[AutoClose]\r\n"
    "AppWindow,\"*App, the editor\",App,2\r\n"
    ",Viewer,\"Viewer \"\"Pro\"\"\",0\r\n"
    "\r\n\r\n[Associations]\r\n"
    ".app~!~App.Document~!~open~!~C:\\App\\app.exe,1\r\n"
    ".apx~!~App.Extra~!~edit~!~\r\n"
    "\r\n\r\n[Firewall]\r\n"
    "app.exe;App;0;1\r\n"
    "8080;App server;1;0\r\n"
    "\r\n\r\n[INF]\r\n"
    "C:\\Windows\\INF\\oem7.inf\r\n"
    "\r\n\r\n[MSI]\r\n"
    "\"C:\\App\\runtime.msi\",2\r\n"
    "\r\n\r\n[Registry2]\r\n"
    "\\HKLM\\Software\\App\r\n"
    "\\HKLM\\Software\\App,Name,1,x,2\r\n"
    "\r\n\r\n[ConditionalDelete]\r\n"
    "%InstallDir%\\*.log,5,1024,10\r\n"
    "\"C:\\App\\a;b.dll\",2,1.2.3,8\r\n";

// ---- Writing -----------------------------------------------------------------------------

TEST(UninstallDataWriter, NothingRecordedStillCarriesTheTexts) {
    UninstallData data;
    setTexts(data);
    data.banner = String(u"Banner");
    EXPECT_EQ(bytes(uninstallDataText(data)), stringsSection("Banner"));
}

TEST(UninstallDataWriter, EverySectionInOrder) {
    UninstallData data;
    fill(data);
    EXPECT_EQ(bytes(uninstallDataText(data)), kFullFile);
}

TEST(UninstallDataWriter, TextsWithoutAUtf8FormBecomeQuestionMarks) {
    UninstallData data;
    const char16_t lone[] = {u'a', 0xD800, u'b', 0xDC00, 0};
    data.setText(10, String(lone));
    data.banner = String(u"\U0001F600");  // a pair is a character, not two
    std::string text = bytes(uninstallDataText(data));
    EXPECT_NE(text.find("~10\r\na?b?\r\n"), std::string::npos);
    EXPECT_NE(text.find("~999\r\n\xF0\x9F\x98\x80\r\n"), std::string::npos);
}

TEST(UninstallDataWriter, TheInstallersTextsInItsLanguage) {
    InstallScript script;
    script.Messages.Languages.append(String(u"English"));
    script.Messages.Languages.append(String(u"Deutsch"));
    script.Messages.CurrentLanguage = 1;
    script.Messages.MessageCount = 112;
    script.Messages.Texts.setCount(112 * 2);
    script.Messages.Texts[53 * 2] = String(u"Remove <product>?");
    script.Messages.Texts[53 * 2 + 1] = String(u"<product> entfernen?");
    script.ProductName = String(u"App");
    script.BannerText = String(u"App 2.0");
    UninstallData data;
    takeInstallerTexts(data, script);
    EXPECT_EQ(utf8(data.text(53)), "App entfernen?");
    EXPECT_EQ(utf8(data.banner), "App 2.0");
    EXPECT_NE(bytes(uninstallDataText(data)).find("~53\r\nApp entfernen?\r\n"), std::string::npos);
}

TEST(UninstallDataWriter, ProgramsKeptForTheUninstallerBecomeItsCloseRules) {
    Vector<ProgramToClose> programs;
    programs.append({String("InstallOnly"), String(), String("Install only"), 0, 0x1});
    programs.append({String("*Editor"), String("Doc, 1"), String("Editor"), 2, 0x1 | 0x2});
    programs.append({String(), String("Viewer"), String("Viewer"), 3, 0x2});
    UninstallData data;
    data.closeRules.append({"Stale", "", "", 0, kClosePhaseInstall});
    takeUninstallCloseRules(data, programs);
    std::string text = bytes(uninstallDataText(data));
    size_t section = text.find("\r\n\r\n[AutoClose]\r\n");
    ASSERT_NE(section, std::string::npos) << text;
    EXPECT_EQ(text.substr(section + 17), "*Editor,\"Doc, 1\",Editor,2\r\n,Viewer,Viewer,3\r\n");

    // The uninstaller reads back the rules the installer kept, each in its phase.
    UninstallData back;
    read(text, back);
    ASSERT_EQ(back.closeRules.count(), data.closeRules.count());
    for (int32_t i = 0; i < back.closeRules.count(); ++i) {
        const WindowCloseRule& kept = data.closeRules[i];
        const WindowCloseRule& read = back.closeRules[i];
        EXPECT_EQ(bytes(read.classPattern), bytes(kept.classPattern));
        EXPECT_EQ(bytes(read.titlePattern), bytes(kept.titlePattern));
        EXPECT_EQ(bytes(read.displayName), bytes(kept.displayName));
        EXPECT_EQ(read.mode, kept.mode);
        EXPECT_EQ(read.phases, kept.phases);
    }
    EXPECT_EQ(back.closeRules[0].phases, kClosePhaseAfterQuestion);
    EXPECT_EQ(back.closeRules[1].phases, kClosePhaseBeforeQuestion);
}

// ---- Recording ---------------------------------------------------------------------------

TEST(UninstallDataRecording, RootsLineBreaksAndRepeatedFoldersAreNotRecorded) {
    UninstallData data;
    EXPECT_FALSE(data.recordDeletion("C:\\", DeletionKind::Folder));
    EXPECT_FALSE(data.recordDeletion("C:", DeletionKind::File));
    EXPECT_FALSE(data.recordDeletion("", DeletionKind::File));
    EXPECT_FALSE(data.recordDeletion(nullptr, DeletionKind::File));
    EXPECT_FALSE(data.recordDeletion("C:\\a\r\nC:\\Windows", DeletionKind::File));
    EXPECT_TRUE(data.recordDeletion("C:\\Ab", DeletionKind::Folder));
    EXPECT_FALSE(data.recordDeletion("c:\\aB", DeletionKind::Folder));
    // Files are recorded as often as they are installed; the uninstaller skips what is gone.
    EXPECT_TRUE(data.recordDeletion("C:\\Ab\\f", DeletionKind::File));
    EXPECT_TRUE(data.recordDeletion("C:\\Ab\\f", DeletionKind::File));
    EXPECT_EQ(bytes(data.deletionText()), "~C:\\Ab\r\nC:\\Ab\\f\r\nC:\\Ab\\f\r\n");

    data.clearDeletions();
    EXPECT_EQ(data.deletionText().length(), 0);
    EXPECT_TRUE(data.recordDeletion("c:\\AB", DeletionKind::Folder));  // the set was reset
}

TEST(UninstallDataRecording, StoredPathsDecodeByTheirForm) {
    FileDeletion utf8Form{DeletionKind::File, String("|C:\\Caf\xC3\xA9")};
    FileDeletion ansiForm{DeletionKind::File, String("C:\\Caf\xE9")};  // code page 1252
    EXPECT_EQ(utf8(deletionPathWide(utf8Form)), "C:\\Café");
    EXPECT_EQ(utf8(deletionPathWide(ansiForm)), "C:\\Café");
}

// ---- Reading -----------------------------------------------------------------------------

TEST(UninstallDataReader, ReadsBackEverySectionAndWritesTheSameBytes) {
    UninstallData data;
    Vector<String> notes;
    read(kFullFile, data, &notes);
    EXPECT_EQ(notes.count(), 0);

    // The two blank lines before "[Strings]" belong to the list.
    ASSERT_EQ(data.deletions.count(), 8);
    EXPECT_EQ(data.deletions[7].path.length(), 0);
    const DeletionKind kinds[] = {DeletionKind::File,          DeletionKind::Folder,
                                  DeletionKind::RegistryValue, DeletionKind::RegistryKey,
                                  DeletionKind::RegistryKey64, DeletionKind::File};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(data.deletions[i].kind, kinds[i]) << i;
    EXPECT_STREQ(data.deletions[1].path.c_str(), "C:\\App\\Data");
    EXPECT_STREQ(data.deletions[2].path.c_str(), "\\HKLM\\Software\\App\\Path");
    EXPECT_EQ(utf8(deletionPathWide(data.deletions[5])), "C:\\Café\\報告.txt");

    EXPECT_EQ(utf8(data.text(53)), "Remove «App»?\r\nAll of it.");
    EXPECT_EQ(utf8(data.text(111)), "T111");
    EXPECT_EQ(utf8(data.banner), "App 2.0 for Windows ™");

    ASSERT_EQ(data.closeRules.count(), 2);
    EXPECT_STREQ(data.closeRules[0].titlePattern.c_str(), "*App, the editor");
    EXPECT_EQ(data.closeRules[0].mode, 2);
    EXPECT_EQ(data.closeRules[0].phases, kClosePhaseAfterQuestion);
    EXPECT_STREQ(data.closeRules[1].displayName.c_str(), "Viewer \"Pro\"");
    EXPECT_EQ(data.closeRules[1].phases, kClosePhaseBeforeQuestion);

    ASSERT_EQ(data.associations.count(), 2);
    EXPECT_STREQ(data.associations[0].icon.c_str(), "C:\\App\\app.exe,1");
    EXPECT_STREQ(data.associations[1].verb.c_str(), "edit");
    EXPECT_TRUE(data.associations[1].icon.empty());

    ASSERT_EQ(data.firewall.count(), 4);  // the blank lines before the next header count
    EXPECT_STREQ(data.firewall[1].c_str(), "8080;App server;1;0");
    EXPECT_STREQ(data.inf[0].c_str(), "C:\\Windows\\INF\\oem7.inf");
    EXPECT_STREQ(data.msi[0].c_str(), "\"C:\\App\\runtime.msi\",2");
    EXPECT_STREQ(data.registryTable.c_str(),
                 "\\HKLM\\Software\\App\r\n\\HKLM\\Software\\App,Name,1,x,2\r\n");

    ASSERT_EQ(data.conditionalDeletions.count(), 2);
    EXPECT_STREQ(data.conditionalDeletions[1].Path.c_str(), "C:\\App\\a;b.dll");
    EXPECT_EQ(data.conditionalDeletions[1].Kind, 2);
    EXPECT_STREQ(data.conditionalDeletions[1].Value.c_str(), "1.2.3");
    EXPECT_EQ(data.conditionalDeletions[0].Flags, 10);

    // Written again without changes, the file is the same: blank lines do not pile up.
    UninstallData original;
    fill(original);
    EXPECT_EQ(bytes(uninstallDataText(data)), bytes(uninstallDataText(original)));
}

TEST(UninstallDataReader, ReadingReplacesWhatTheBuffersHeld) {
    UninstallData data;
    fill(data);
    read("C:\\Other\\file.txt\r\n", data);
    EXPECT_EQ(data.deletions.count(), 1);
    EXPECT_EQ(bytes(data.deletionText()), "C:\\Other\\file.txt\r\n");
    EXPECT_EQ(data.associations.count(), 0);
    EXPECT_EQ(data.text(53).length(), 0);
    // A folder read back is known to the recorder.
    read("~C:\\Other\r\n", data);
    EXPECT_FALSE(data.recordDeletion("C:\\OTHER", DeletionKind::Folder));
}

TEST(UninstallDataReader, EveryLineEndAndTrimmedHeaders) {
    UninstallData data;
    read("C:\\a\rC:\\b\nC:\\c\n\rC:\\d\r\n \t[INF] \nC:\\x.inf\r[inf]\r\n  C:\\y.inf  ", data);
    ASSERT_EQ(data.deletions.count(), 4);
    EXPECT_STREQ(data.deletions[3].path.c_str(), "C:\\d");
    // A header in other letter case is an ordinary line of the current section.
    ASSERT_EQ(data.inf.count(), 3);
    EXPECT_STREQ(data.inf[1].c_str(), "[inf]");
    EXPECT_STREQ(data.inf[2].c_str(), "C:\\y.inf");
}

TEST(UninstallDataReader, TextHeadersAndWhatEndsAText) {
    UninstallData data;
    Vector<String> notes;
    read(
        "[Strings]\r\n"
        "~0\r\nzero\r\n"
        "~1001\r\n"
        "~\r\n"
        "~12x\r\n"
        "~7\r\n  first\r\n\r\n\tthird  \r\n\r\n"
        "~1000\r\nlast\r\n"
        "~8\r\nup to a header\r\n[MSI]  trailing\r\n"
        "~9\r\n~10\r\nten\r\n",
        data, &notes);
    EXPECT_EQ(data.text(0).length(), 0);
    EXPECT_EQ(utf8(data.text(7)), "  first\r\n\r\n\tthird");
    EXPECT_EQ(utf8(data.text(1000)), "last");
    EXPECT_EQ(utf8(data.text(8)), "up to a header");
    EXPECT_EQ(data.text(9).length(), 0);
    EXPECT_EQ(utf8(data.text(10)), "ten");
    EXPECT_EQ(data.msi.count(), 0);  // "[MSI]  trailing" ends the text but is no header
    // The ignored lines are named by number.
    std::string all;
    for (const String& n : notes) all += std::string(n.c_str()) + "|";
    EXPECT_EQ(all,
              "line 2: not a text number, ignored|line 3: not a text number, ignored|"
              "line 4: not a text number, ignored|line 5: not a text number, ignored|"
              "line 6: not a text number, ignored|line 16: not a text number, ignored|");
}

TEST(UninstallDataReader, MalformedRecordsAreSkipped) {
    UninstallData data;
    Vector<String> notes;
    read(
        "[Associations]\r\n"
        ".a~!~~!~open~!~icon\r\n"  // no identifier
        ".b~!~B.File~!~open\r\n"   // no icon separator: the verb is the rest
        ".c~!~C.File\r\n"          // no verb
        "[AutoClose]\r\n"
        "a,b,c\r\n"
        "a,b,c,d\r\n"
        "a,b,c,4\r\n"
        "a,b,c,1,e\r\n"
        "A,,Name,3\r\n"
        "[ConditionalDelete]\r\n"
        "C:\\x,7,,8\r\n"
        "C:\\x,1,1.0,256\r\n"
        "C:\\x,-1,1.0,8\r\n"
        "C:\\y,6,99,9\r\n",
        data, &notes);
    ASSERT_EQ(data.associations.count(), 1);
    EXPECT_STREQ(data.associations[0].verb.c_str(), "open");
    ASSERT_EQ(data.closeRules.count(), 1);
    EXPECT_EQ(data.closeRules[0].mode, 3);
    ASSERT_EQ(data.conditionalDeletions.count(), 1);
    EXPECT_STREQ(data.conditionalDeletions[0].Path.c_str(), "C:\\y");
    EXPECT_EQ(notes.count(), 9);
    EXPECT_STREQ(notes[0].c_str(),
                 "line 2: association without extension, identifier or verb, ignored");
    EXPECT_STREQ(notes[8].c_str(), "line 14: unknown condition or flags, ignored");
}

// ---- Damaged files -----------------------------------------------------------------------

TEST(UninstallDataReader, AFileCutAnywhereReadsAsMuchAsItHolds) {
    UninstallData full;
    read(kFullFile, full);
    for (size_t cut = 0; cut <= kFullFile.size(); ++cut) {
        UninstallData data;
        read(kFullFile.substr(0, cut), data);
        // Every deletion line but the last is read whole; the last is the start of a line of
        // the full file (a path, or the header that was cut).
        int32_t n = data.deletions.count();
        ASSERT_LE(n, full.deletions.count() + 1) << cut;
        for (int32_t i = 0; i + 1 < n; ++i)
            EXPECT_TRUE(data.deletions[i].path == full.deletions[i].path) << cut;
        if (n > 0) {
            std::string part = data.deletions[n - 1].path.c_str();
            std::string whole =
                n <= full.deletions.count() ? full.deletions[n - 1].path.c_str() : "";
            EXPECT_TRUE(whole.compare(0, part.size(), part) == 0 ||
                        std::string("[Strings]").compare(0, part.size(), part) == 0)
                << cut << ": " << part;
        }
        EXPECT_LE(data.conditionalDeletions.count(), full.conditionalDeletions.count()) << cut;
        EXPECT_LE(data.associations.count(), full.associations.count()) << cut;
    }
}

TEST(UninstallDataReader, MissingBlankLinesUnknownSectionsAndBinaryBytes) {
    UninstallData data;
    std::string text("C:\\a\r\n[MSI]\r\n\"x.msi\",1\r\n[Unknown]\r\n\"y.msi\",0\r\n[INF]\r\n");
    text += std::string("\x00\x01\xFF\xFE[\x80\r\n", 8);
    read(text, data);
    ASSERT_EQ(data.deletions.count(), 1);
    // An unknown header is an ordinary line of the section before it.
    ASSERT_EQ(data.msi.count(), 3);
    EXPECT_STREQ(data.msi[1].c_str(), "[Unknown]");
    ASSERT_EQ(data.inf.count(), 1);
    EXPECT_EQ(data.inf[0].length(), 6);  // the bytes, zero included
    EXPECT_EQ(data.inf[0].get(0), 0);

    // Bytes of every value, in every section.
    for (const char* header : {"", "[Strings]\r\n~5\r\n", "[AutoClose]\r\n", "[Associations]\r\n",
                               "[ConditionalDelete]\r\n"}) {
        std::string noise = header;
        for (int i = 0; i < 4096; ++i) noise.push_back(static_cast<char>((i * 7919) >> 3));
        UninstallData d;
        read(noise, d);
    }
}

// Found by the fuzzer: a zero byte read into a text or an association cut the written line.
TEST(UninstallDataReader, ZeroBytesAreWrittenBackWhole) {
    std::string text("[Strings]\r\n~10\r\na\0b\r\n[Associations]\r\n.a\0~!~A~!~open~!~i\0\r\n", 58);
    UninstallData data;
    read(text, data);
    EXPECT_EQ(data.text(10).wideLength(), 3);
    std::string written = bytes(uninstallDataText(data));
    EXPECT_NE(written.find(std::string("~10\r\na\0b\r\n", 10)), std::string::npos);
    EXPECT_NE(written.find(std::string(".a\0~!~A~!~open~!~i\0\r\n", 21)), std::string::npos);
}

TEST(UninstallDataReader, MegabyteLines) {
    std::string path = "C:\\" + std::string(3 << 20, 'p');
    std::string text(2 << 20, 'x');
    UninstallData data;
    read(path + "\r\n[Strings]\r\n~20\r\n" + text + "\r\n" + text + "\r\n[Registry2]\r\n" + path,
         data);
    ASSERT_EQ(data.deletions.count(), 1);
    EXPECT_EQ(data.deletions[0].path.length(), static_cast<int32_t>(path.size()));
    EXPECT_EQ(data.text(20).wideLength(), static_cast<int32_t>(2 * text.size() + 2));
    EXPECT_EQ(data.registryTable.length(), static_cast<int32_t>(path.size() + 2));
}

TEST(UninstallDataReader, LoadFailureMessage) {
    EXPECT_EQ(utf8(uninstallDataLoadFailure(fromUtf8("Äpp"), String(u"C:\\A\\Uninstall.DAT"), 3)),
              "The uninstall information for Äpp could not be loaded.\r\n\r\nFilepath: "
              "C:\\A\\Uninstall.DAT\r\nCode 3: " +
                  std::string(fileErrorText(3)));
}

}  // namespace
}  // namespace tessarin
