#include "uninstall/uninstall_entry.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "recording_reporter.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::fromUtf8;
using testing::utf8;

using testing::RecordingReporter;

// An entry as a map of values: texts (read either way) and numbers. System colour n is 0x100+n.
class ScriptedEntry : public EntryValues {
  public:
    std::map<std::string, std::string> texts;  // UTF-8; the 8-bit reading gets the bytes
    std::map<std::string, uint32_t> numbers;
    bool portableDrive = false;
    std::vector<std::string> drivesAsked;

    bool wideText(const char* name, String& text) override {
        auto found = texts.find(name);
        if (found == texts.end()) return false;
        text = fromUtf8(found->second);
        return true;
    }
    bool narrowText(const char* name, String& text) override {
        auto found = texts.find(name);
        if (found == texts.end()) return false;
        text = String(found->second.c_str(), static_cast<int32_t>(found->second.size()));
        return true;
    }
    bool number(const char* name, uint32_t& value) override {
        auto found = numbers.find(name);
        if (found == numbers.end()) return false;
        value = found->second;
        return true;
    }
    int32_t systemColour(int index) override { return 0x100 + index; }
    bool onPortableDrive(const String& folder) override {
        drivesAsked.push_back(utf8(folder));
        return portableDrive;
    }
};

struct Read {
    UninstallSettings settings;
    std::string message;
    RecordingReporter reporter;
};

void readEntry(ScriptedEntry& entry, Read& out, const char* name = "Tool") {
    out.message = utf8(readUninstallSettings(fromUtf8(name), entry, out.settings, out.reporter));
}

// An entry that holds nothing but the install folder gets every default of the table.
TEST(UninstallSettings, MissingValuesTakeTheirDefaults) {
    ScriptedEntry entry;
    entry.texts["InstallLocation"] = "C:\\Apps\\Tool";
    Read r;
    readEntry(entry, r, "Tool Key");
    ASSERT_EQ(r.message, "");
    const UninstallSettings& s = r.settings;
    EXPECT_EQ(utf8(s.DisplayName), "Tool Key");
    EXPECT_EQ(s.ProductFlags, 0u);
    EXPECT_EQ(s.ProductFlags2, 0u);
    EXPECT_EQ(s.Bitness, 0u);
    EXPECT_EQ(s.TitleSize, 1.0);
    EXPECT_EQ(s.TitleColor, 0x108);
    EXPECT_EQ(s.TitleShadow, 1u);
    EXPECT_EQ(s.TopColor, 0x105);
    EXPECT_EQ(s.BottomColor, 0);
    EXPECT_EQ(s.MonoColor, 1u);
    EXPECT_EQ(s.TitlePosition, 0u);
    EXPECT_EQ(utf8(s.TaskbarText), "Setup");
    EXPECT_EQ(s.CopyrightSize, 0.0);
    EXPECT_EQ(s.CopyrightColor, 0);
    EXPECT_EQ(s.CopyrightPos, 0u);
    EXPECT_EQ(s.ShortcutMode, 0u);
    EXPECT_EQ(s.BitmapTPI, -1);
    EXPECT_EQ(s.StretchMode, 0);
    EXPECT_EQ(s.BitmapSize, 0);
    for (const String* text :
         {&s.DisplayTitle, &s.TitleFont, &s.CopyrightText, &s.CopyrightFont, &s.DisplayVersion,
          &s.DisplayVersion8, &s.UninstallSubdir, &s.AddToPathSubfolder, &s.ProductFonts,
          &s.NotifyURL, &s.DesktopFolder, &s.SupportOffer, &s.SharedPath, &s.ProductStartMenu,
          &s.UninstallBatch1, &s.UninstallBatch2, &s.SharedFiles, &s.ProductRegistry})
        EXPECT_TRUE(text->empty());
    EXPECT_EQ(utf8(s.uninstallFolder), "C:\\Apps\\Tool");
    EXPECT_FALSE(s.portable);
    EXPECT_FALSE(s.forcesAutomaticMode());
    EXPECT_EQ(r.reporter.logged, "");
}

// Values present override the defaults; the uninstall folder and the portable flag follow from
// them; the picture values are read because the flags say there is a picture.
TEST(UninstallSettings, PresentValuesAreTaken) {
    ScriptedEntry entry;
    entry.texts = {{"DisplayName", "Tool \xC3\xA9"},
                   {"InstallLocation", "E:\\Tool"},
                   {"ProductFlags", "-9223372036854742528"},  // high bit, 0x8000 and 0x200
                   {"ProductFlags2", "4294967295"},
                   {"DisplayTitle", "Title"},
                   {"TitleSize", "18.5"},
                   {"TitleFont", "Arial"},
                   {"TaskbarText", "Bar"},
                   {"CopyrightText", "(c)"},
                   {"CopyrightFont", "Tahoma"},
                   {"CopyrightSize", "9"},
                   {"CopyrightColor", "16711680"},
                   {"DisplayVersion", "2.5"},
                   {"UninstallSubdir", "uninst"},
                   {"AddToPathSubfolder", "bin"},
                   {"ProductFonts", "\"F\" \"f.ttf\" "},
                   {"NotifyURL", "http://n/"},
                   {"DesktopFolder", "Tools"},
                   {"SupportOffer", "mailto:a@b"},
                   {"SharedPath", "C:\\Shared"},
                   {"ProductStartMenu", "Tool"},
                   {"UninstallBatch1", "b1"},
                   {"UninstallBatch2", "b2"},
                   {"SharedFiles", "\"C:\\s.dll\""},
                   {"ProductRegistry", "Vendor\\Tool"}};
    entry.numbers = {{"Bitness", 1},       {"TitleColor", 7},   {"TitleShadow", 0},
                     {"TopColor", 0},      {"BottomColor", 9},  {"MonoColor", 0},
                     {"TitlePosition", 2}, {"CopyrightPos", 3}, {"ShortcutMode", 1},
                     {"BitmapTPI", 96},    {"StretchMode", 2},  {"BitmapSize", 50}};
    entry.portableDrive = true;
    Read r;
    readEntry(entry, r);
    ASSERT_EQ(r.message, "");
    const UninstallSettings& s = r.settings;
    EXPECT_EQ(utf8(s.DisplayName), "Tool \xC3\xA9");
    EXPECT_EQ(s.ProductFlags, 0x8000000000008200u);
    EXPECT_TRUE(s.forcesAutomaticMode());
    EXPECT_EQ(s.ProductFlags2, 0xFFFFFFFFu);
    EXPECT_EQ(s.Bitness, 1u);
    EXPECT_EQ(s.TitleSize, 18.5);
    EXPECT_EQ(s.TitleColor, 7);
    EXPECT_EQ(s.TitleShadow, 0u);
    EXPECT_EQ(s.TopColor, 0);
    EXPECT_EQ(s.BottomColor, 9);
    EXPECT_EQ(s.MonoColor, 0u);
    EXPECT_EQ(s.TitlePosition, 2u);
    EXPECT_STREQ(s.TitleFont.c_str(), "Arial");
    EXPECT_EQ(utf8(s.TaskbarText), "Bar");
    EXPECT_EQ(utf8(s.CopyrightText), "(c)");
    EXPECT_STREQ(s.CopyrightFont.c_str(), "Tahoma");
    EXPECT_EQ(s.CopyrightSize, 9.0);
    EXPECT_EQ(s.CopyrightColor, 0xFF0000);
    EXPECT_EQ(s.CopyrightPos, 3u);
    EXPECT_EQ(utf8(s.DisplayVersion), "2.5");
    EXPECT_STREQ(s.DisplayVersion8.c_str(), "2.5");
    EXPECT_EQ(utf8(s.AddToPathSubfolder), "bin");
    EXPECT_STREQ(s.ProductFonts.c_str(), "\"F\" \"f.ttf\" ");
    EXPECT_EQ(s.ShortcutMode, 1u);
    EXPECT_STREQ(s.NotifyURL.c_str(), "http://n/");
    EXPECT_EQ(utf8(s.DesktopFolder), "Tools");
    EXPECT_EQ(s.BitmapTPI, 96);
    EXPECT_EQ(s.StretchMode, 2);
    EXPECT_EQ(s.BitmapSize, 50);
    EXPECT_STREQ(s.SupportOffer.c_str(), "mailto:a@b");
    EXPECT_EQ(utf8(s.SharedPath), "C:\\Shared");
    EXPECT_EQ(utf8(s.ProductStartMenu), "Tool");
    EXPECT_STREQ(s.UninstallBatch1.c_str(), "b1");
    EXPECT_STREQ(s.UninstallBatch2.c_str(), "b2");
    EXPECT_STREQ(s.SharedFiles.c_str(), "\"C:\\s.dll\"");
    EXPECT_EQ(utf8(s.ProductRegistry), "Vendor\\Tool");
    EXPECT_EQ(utf8(s.uninstallFolder), "E:\\Tool\\uninst");
    EXPECT_TRUE(s.portable);
    EXPECT_EQ(entry.drivesAsked, std::vector<std::string>{"E:\\Tool"});
    EXPECT_EQ(r.reporter.logged, "");
}

// Without a background picture the stored placement values are not taken.
TEST(UninstallSettings, PictureValuesNeedThePictureFlag) {
    ScriptedEntry entry;
    entry.texts = {{"InstallLocation", "C:\\T"}, {"ProductFlags", "32768"}};
    entry.numbers = {{"BitmapTPI", 96}, {"StretchMode", 2}, {"BitmapSize", 50}};
    Read with;
    readEntry(entry, with);
    EXPECT_EQ(with.settings.BitmapTPI, 96);

    entry.texts["ProductFlags"] = "4294901760";  // 0xFFFF0000: the bit is not among them
    Read without;
    readEntry(entry, without);
    EXPECT_EQ(without.settings.BitmapTPI, -1);
    EXPECT_EQ(without.settings.StretchMode, 0);
    EXPECT_EQ(without.settings.BitmapSize, 0);
}

// The limited texts take 4096 characters and refuse one more; the refusal is logged with the
// value's name.
TEST(UninstallSettings, LimitedTextsRefuseMoreThan4096Characters) {
    for (const char* name : {"InstallLocation", "UninstallSubdir", "DesktopFolder", "SharedPath",
                             "ProductStartMenu", "ProductRegistry", "AddToPathSubfolder"}) {
        SCOPED_TRACE(name);
        ScriptedEntry entry;
        entry.texts["InstallLocation"] = "C:\\T";
        entry.texts[name] = "C:\\" + std::string(4093, 'a');
        Read fits;
        readEntry(entry, fits);
        EXPECT_EQ(fits.reporter.logged, "");

        entry.texts[name] += "a";
        Read over;
        readEntry(entry, over);
        EXPECT_NE(over.reporter.logged.find(std::string("\"") + name + "\" is longer than 4096"),
                  std::string::npos)
            << over.reporter.logged;
        if (std::string(name) == "InstallLocation")
            EXPECT_EQ(over.message,
                      "The uninstall information for Tool is corrupt.\r\n\r\n"
                      "The uninstallation cannot be performed.");
        else
            EXPECT_EQ(over.message, "");
    }
    // Unlimited texts are taken whole.
    ScriptedEntry entry;
    entry.texts = {{"InstallLocation", "C:\\T"}, {"SharedFiles", std::string(10000, 's')}};
    Read r;
    readEntry(entry, r);
    EXPECT_EQ(r.settings.SharedFiles.length(), 10000);
}

// The flags are decimal text; anything else keeps the default and is logged.
TEST(UninstallSettings, FlagsAreSignedDecimalText) {
    struct Case {
        const char* text;
        uint64_t flags;
        bool refused;
    } cases[] = {
        {"0", 0, false},
        {"512", 0x200, false},
        {"-1", 0xFFFFFFFFFFFFFFFFu, false},
        {"9223372036854775807", 0x7FFFFFFFFFFFFFFFu, false},
        {"-9223372036854775808", 0x8000000000000000u, false},
        {"9223372036854775808", 0, true},
        {"", 0, true},
        {"-", 0, true},
        {"12a", 0, true},
        {" 5", 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ScriptedEntry entry;
        entry.texts = {{"InstallLocation", "C:\\T"}, {"ProductFlags", c.text}};
        Read r;
        readEntry(entry, r);
        EXPECT_EQ(r.settings.ProductFlags, c.flags);
        EXPECT_EQ(r.reporter.logged.find("\"ProductFlags\"") != std::string::npos, c.refused);
    }
}

// An entry without an install folder is corrupt, named by its display name; an empty display
// name falls back to the name given.
TEST(UninstallSettings, MissingInstallFolderGivesTheCorruptMessage) {
    ScriptedEntry entry;
    entry.texts["DisplayName"] = "Tool Deluxe";
    Read r;
    readEntry(entry, r);
    EXPECT_EQ(r.message,
              "The uninstall information for Tool Deluxe is corrupt.\r\n\r\n"
              "The uninstallation cannot be performed.");
    EXPECT_TRUE(entry.drivesAsked.empty());

    entry.texts = {{"DisplayName", ""}, {"InstallLocation", ""}};
    Read empty;
    readEntry(entry, empty, "Key Name");
    EXPECT_EQ(utf8(empty.settings.DisplayName), "Key Name");
    EXPECT_NE(empty.message.find("for Key Name is corrupt"), std::string::npos);
}

TEST(UninstallEntryMessages, AreFilledWithTheName) {
    EXPECT_EQ(utf8(notInstalledMessage(fromUtf8("Tool"))), "No product named 'Tool' is installed.");
    EXPECT_EQ(utf8(permissionDeniedMessage()),
              "Permission denied.  Please run the uninstaller with administrator rights.");
    EXPECT_EQ(utf8(inaccessibleEntryMessage(fromUtf8("Tool"))),
              "Unable to access the uninstall information for:\r\nTool\r\n\r\n"
              "The uninstallation cannot be performed.");
}

// The folder and Uninstall.DAT as an elevated uninstaller finds them: each a list built here.
TEST(UninstallRecords, OpenOrUnreadableRecordsStopTheUninstallation) {
    const std::vector<uint8_t> self = sidBytes("S-1-5-21-1-2-3-1000");
    const std::vector<uint8_t> administrators = sidBytes("S-1-5-32-544");
    const std::vector<uint8_t> user = sidBytes("S-1-5-21-1-2-3-1001");
    const ObjectSecurity closed{administrators, true, accessListBytes(uninstallFolderEntries())};
    const ObjectSecurity ownedByUser{user, true, closed.accessList};
    const ObjectSecurity usersMayWrite{administrators, true,
                                       accessListBytes({{"S-1-5-32-545", kFileFullControl, 0}})};
    const ObjectSecurity noList{administrators, false, {}};
    struct Record {
        uint32_t error;
        ObjectSecurity security;
    };
    const Record missing{2, {}}, pathMissing{3, {}}, denied{5, {}};
    struct Case {
        const char* label;
        Record folder, file;
        const char* refused;  // which record the message names, or nothing
    } cases[] = {
        {"both closed", {0, closed}, {0, closed}, nullptr},
        {"no file yet: the reading reports it", {0, closed}, missing, nullptr},
        {"no folder", pathMissing, pathMissing, nullptr},
        {"a file a user owns", {0, closed}, {0, ownedByUser}, "file"},
        {"a file users may write", {0, closed}, {0, usersMayWrite}, "file"},
        {"a file without a list", {0, closed}, {0, noList}, "file"},
        {"a folder users may write", {0, usersMayWrite}, {0, closed}, "folder"},
        {"a folder a user owns", {0, ownedByUser}, {0, closed}, "folder"},
        {"a folder whose list cannot be read", denied, {0, closed}, "folder"},
        {"a file whose list cannot be read", {0, closed}, denied, "file"},
    };
    const String folder = fromUtf8("C:\\App\\Uninstall");
    const String file = fromUtf8("C:\\App\\Uninstall\\Uninstall.DAT");
    for (const Case& c : cases) {
        std::vector<std::string> asked;
        SecurityReader read = [&](const String& path, ObjectSecurity& security) {
            asked.push_back(utf8(path));
            const Record& r = path == folder ? c.folder : c.file;
            security = r.security;
            return r.error;
        };
        const std::string message =
            utf8(unprotectedRecordsMessage(fromUtf8("App"), folder, read, self));
        if (c.refused == nullptr) {
            EXPECT_EQ(message, "") << c.label;
            EXPECT_EQ(asked, (std::vector<std::string>{utf8(folder), utf8(file)})) << c.label;
            continue;
        }
        const std::string named = utf8(std::string(c.refused) == "file" ? file : folder);
        EXPECT_EQ(message,
                  "The uninstall information for App is not protected: users who are not "
                  "administrators can change it.\r\n\r\nPath: " +
                      named + "\r\n\r\nThe uninstallation cannot be performed.")
            << c.label;
    }
}

// ---- Fonts -------------------------------------------------------------------------------

TEST(ProductFonts, ListIsReadAsQuotedPairs) {
    struct Case {
        const char* list;
        std::vector<std::pair<std::string, std::string>> fonts;
    } cases[] = {
        {"", {}},
        {"\"A (TrueType)\" \"a.ttf\" ", {{"A (TrueType)", "a.ttf"}}},
        {"\"A\" \"a.ttf\" \"B\" \"b.fon\" ", {{"A", "a.ttf"}, {"B", "b.fon"}}},
        // UTF-8 name, file name in the narrow path form.
        {"\"Caf\xC3\xA9\" \"|caf\xC3\xA9.ttf\" ", {{"Caf\xC3\xA9", "caf\xC3\xA9.ttf"}}},
        // A pair without a file name is left out; so is a name without its file.
        {"\"A\" \"\" \"B\" \"b.ttf\" \"C\" ", {{"B", "b.ttf"}}},
        // The last file without its closing quote still counts.
        {"\"A\" \"a.ttf", {{"A", "a.ttf"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        std::vector<std::pair<std::string, std::string>> got;
        for (const ProductFont& f : parseProductFonts(String(c.list)))
            got.emplace_back(utf8(f.name), utf8(f.file));
        EXPECT_EQ(got, c.fonts);
    }
}

// Each call of the system as a line; answers to the questions in order, failure codes by call.
class ScriptedFonts : public FontSystem {
  public:
    std::vector<bool> answers;
    std::map<std::string, uint32_t> failures;  // "registration"/"file" -> code
    std::vector<std::string> calls;

    bool confirm(const String& question, const String& caption) override {
        calls.push_back("ask " + utf8(question) + " / " + utf8(caption));
        bool yes = answers.empty() || answers.front();
        if (!answers.empty()) answers.erase(answers.begin());
        return yes;
    }
    String fontsFolder() override { return fromUtf8("C:\\Windows\\Fonts"); }
    uint32_t deleteRegistration(const String& name) override {
        calls.push_back("unregister " + utf8(name));
        return failures["registration"];
    }
    uint32_t removeResource(const String& path) override {
        calls.push_back("unload " + utf8(path));
        return 5;  // never loaded in this session: not reported
    }
    uint32_t deleteFontFile(const String& path) override {
        calls.push_back("delete " + utf8(path));
        return failures["file"];
    }
    void clearFontList() override { calls.push_back("clear"); }
    void broadcastFontChange() override { calls.push_back("broadcast"); }
    String errorText(uint32_t code) override { return fromUtf8("error " + std::to_string(code)); }
};

FontRemoval twoFonts(bool ask) {
    FontRemoval r;
    r.list = String("\"A\" \"a.ttf\" \"B\" \"b.ttf\" ");
    r.ask = ask;
    r.question = fromUtf8("Remove %s?");
    r.caption = fromUtf8("Fonts");
    return r;
}

TEST(ProductFonts, RemovalAsksWhenToldAndEmptiesTheList) {
    ScriptedFonts system;
    system.answers = {false, true};
    RecordingReporter reporter;
    EXPECT_EQ(removeFonts(twoFonts(true), system, reporter), 1);
    EXPECT_EQ(system.calls,
              (std::vector<std::string>{"ask Remove A? / Fonts", "ask Remove B? / Fonts",
                                        "unregister B", "unload C:\\Windows\\Fonts\\b.ttf",
                                        "delete C:\\Windows\\Fonts\\b.ttf", "clear", "broadcast"}));
    EXPECT_EQ(reporter.logged, "");

    // Every font declined: the list is still emptied, but nothing is broadcast.
    ScriptedFonts declined;
    declined.answers = {false, false};
    EXPECT_EQ(removeFonts(twoFonts(true), declined, reporter), 0);
    EXPECT_EQ(declined.calls.back(), "clear");

    // Without asking both go; an empty list touches nothing.
    ScriptedFonts silent;
    EXPECT_EQ(removeFonts(twoFonts(false), silent, reporter), 2);
    EXPECT_EQ(silent.calls.size(), 8u);
    ScriptedFonts none;
    EXPECT_EQ(removeFonts(FontRemoval(), none, reporter), 0);
    EXPECT_TRUE(none.calls.empty());
}

TEST(ProductFonts, AskingFollowsTheFlagsAndAutomaticMode) {
    EXPECT_TRUE(asksForFonts(0x10, false));
    EXPECT_FALSE(asksForFonts(0x10, true));
    EXPECT_FALSE(asksForFonts(0x1000000000000000u | 0x200, false));
    EXPECT_FALSE(asksForFonts(uint64_t{0x10} << 32, false));  // the same bit in the high word
}

TEST(ProductFonts, FailuresAreLoggedAndTheRestGoesOn) {
    ScriptedFonts system;
    system.failures = {{"registration", 5}, {"file", 32}};
    RecordingReporter reporter;
    EXPECT_EQ(removeFonts(twoFonts(false), system, reporter), 2);
    EXPECT_EQ(reporter.logged,
              "Failed to delete the registration of font A: error 5\r\n"
              "Failed to delete font file C:\\Windows\\Fonts\\a.ttf: error 32\r\n"
              "Failed to delete the registration of font B: error 5\r\n"
              "Failed to delete font file C:\\Windows\\Fonts\\b.ttf: error 32\r\n");
    EXPECT_EQ(system.calls.back(), "broadcast");
    EXPECT_EQ(reporter.errors, "");
}

}  // namespace
}  // namespace tessarin
