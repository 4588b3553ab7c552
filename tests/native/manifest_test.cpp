// The build tool's manifest: a publisher's TOML file becomes an install script that the
// installer's own reader takes back field by field, and the file records of the payload; bad
// manifests are refused with the file, the key and the reason.
#include "tools/build/manifest.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/convert.h"
#include "package/script_reader.h"
#include "script_sample.h"
#include "test_text.h"
#include "tools/build/default_messages.h"
#include "tools/build/script_writer.h"

namespace tessarin {
namespace {

using testing::utf8;

namespace fs = std::filesystem;
using build::ManifestError;
using testing::FakeScriptEnvironment;

// A product folder in the temporary folder, removed afterwards.
class ProductFolder {
  public:
    ProductFolder() {
        root_ = fs::temp_directory_path() /
                ("tessarin-manifest-" + std::to_string(reinterpret_cast<uintptr_t>(this)) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    ~ProductFolder() { fs::remove_all(root_); }

    void write(const std::string& name, const std::string& bytes) {
        fs::path p = root_ / fs::u8path(name);
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << bytes;
    }
    fs::path manifest(const std::string& text) {
        write("setup.toml", text);
        return root_ / "setup.toml";
    }
    const fs::path& root() const { return root_; }

  private:
    fs::path root_;
};

// Writes the manifest's script and reads it back with the installer's reader.
InstallScript roundTrip(const build::Manifest& m) {
    String bytes = build::writeInstallScript(m.script);
    FakeScriptEnvironment env;
    ScriptSource source;
    source.bytes = bytes.bytes();
    source.size = static_cast<size_t>(bytes.length());
    source.scriptCheck = hashBytes(bytes.c_str(), bytes.length());
    source.productFlags2 = m.payload.productFlags2;
    InstallScript read;
    EXPECT_EQ(ReadInstallScript(source, env, read), 0);
    return read;
}

constexpr const char* kRichManifest = R"toml(
[product]
name = "Démo Tool"
company = "Example Ltd"
description = "A demonstration"
version = "2.5.1"
bitness = "64-bit"
install-folder = "%ProgramsDir%\\Example\\Demo"
start-menu-folder = "Example Demo"
registry-key = "Software\\Example\\Demo"
all-users = true
launch-program = "%InstallDir%\\démo.exe"
extra-space = 1048576

[versions]
must-uninstall-below = "1.0"
no-downgrade-below = "2.0"

[options]
single-instance = true
background = false
log-every-item = true
raw-product-flags = 0x40000000_00000000
compression-level = 12

[wizard]
banner = "<product> setup"
licenses = ["LICENSE.txt"]
layouts = { folder = 2 }

[background]
title = "Demo"
title-color = "#FF8000"
top-color = "#000080"
bottom-color = "#000000"
picture-size = 50
stretch-mode = 2

[background.copyright]
text = "(c) Example"
position = 3

[uninstall]
subfolder = "uninstall"
values = [ { name = "HelpLink", value = "https://example.com/help" } ]

[batches]
post-install = "echo done"

[[shortcuts]]
target = "%InstallDir%\\demo.exe"
name = "Demo"
desktop = true

[[programs-to-close]]
window-class = "DemoMainWindow"
display-name = "Demo"
action = "ask"

[[languages]]
name = "English"
messages = { 0 = "Demo Setup" }

[[languages]]
name = "Deutsch"
messages = { 0 = "Demo Installation", 120 = "Extra" }

[[files]]
source = "payload"
include = ["**/*.exe", "**/*.txt"]
exclude = ["**/skip*"]
into = "bin"
start-menu-shortcut = true

[[files]]
source = "fonts"
kind = "font"
overwrite = "if-missing"
font-name = "Demo Sans"
)toml";

void writeRichProduct(ProductFolder& p) {
    p.write("LICENSE.txt", "Licence text\r\n");
    p.write("payload/démo.exe", "MZ demo");
    p.write("payload/docs/readme.txt", "read me");
    p.write("payload/docs/skip-this.txt", "skipped");
    p.write("payload/data.bin", "not included");
    p.write("fonts/demo.ttf", "font bytes");
}

TEST(Manifest, EveryAreaReachesTheScriptAndComesBackThroughTheReader) {
    ProductFolder p;
    writeRichProduct(p);
    build::Manifest m = build::readManifest(p.manifest(kRichManifest));
    InstallScript s = roundTrip(m);

    EXPECT_EQ(utf8(s.ProductName), "Démo Tool");
    EXPECT_EQ(utf8(s.CompanyName), "Example Ltd");
    EXPECT_EQ(utf8(s.ProductDescription), "A demonstration");
    EXPECT_STREQ(s.Version8.c_str(), "2.5.1");
    EXPECT_EQ(s.Bitness, 1);
    EXPECT_EQ(utf8(s.DefaultInstallDir), "%ProgramsDir%\\Example\\Demo");
    EXPECT_EQ(utf8(s.ProductStartMenu), "Example Demo");
    EXPECT_EQ(utf8(s.ProductRegistry), "Software\\Example\\Demo");
    EXPECT_EQ(s.ShortcutMode, 1);
    EXPECT_STREQ(s.LaunchProgram.c_str(), "|%InstallDir%\\d\xC3\xA9mo.exe");
    EXPECT_EQ(s.ExtraSpace, 1048576);
    EXPECT_STREQ(s.MustUninstallBelow.c_str(), "1.0");
    EXPECT_STREQ(s.NoDowngradeBelow.c_str(), "2.0");

    // Named options on top of the defaults, and the raw escape hatch.
    EXPECT_TRUE(s.ProductFlags & 0x100);                  // single-instance
    EXPECT_TRUE(s.ProductFlags & 0x20000000);             // background = false
    EXPECT_TRUE(s.ProductFlags & 0x100000);               // log-every-item
    EXPECT_TRUE(s.ProductFlags & (uint64_t(0x4) << 32));  // start-menu-page by default
    EXPECT_TRUE(s.ProductFlags & 0x4);                    // uninstall entry by default
    EXPECT_TRUE(s.ProductFlags & 0x20);                   // compressed by default
    EXPECT_TRUE(s.ProductFlags & (uint64_t(0x40000000) << 32));
    EXPECT_FALSE(s.ProductFlags & 0x8);
    EXPECT_TRUE(m.payload.compressBlocks);
    EXPECT_EQ(m.payload.level, 12);

    EXPECT_EQ(utf8(s.BannerText), "Démo Tool setup");
    ASSERT_EQ(s.LicenseTexts.count(), 1);
    EXPECT_STREQ(s.LicenseTexts[0].c_str(), "Licence text\r\n");
    EXPECT_EQ(s.PageLayouts[kLayoutFolder], 2);
    EXPECT_EQ(utf8(s.DisplayTitle), "Demo");
    EXPECT_EQ(s.TitleColor, 0x0080FF);  // #FF8000 as a Windows colour value
    EXPECT_EQ(s.TopColor, 0x800000);
    EXPECT_EQ(s.BitmapSize, 50);
    EXPECT_EQ(s.StretchMode, 2);
    EXPECT_EQ(s.CopyrightPos, 3);
    EXPECT_EQ(utf8(s.CopyrightText), "(c) Example");
    EXPECT_EQ(utf8(s.UninstallSubdir), "uninstall");
    ASSERT_EQ(s.UninstallValues.count(), 1);
    EXPECT_STREQ(s.UninstallValues[0].Name.c_str(), "HelpLink");
    EXPECT_EQ(s.UninstallValues[0].Type, 1);
    EXPECT_STREQ(s.PostInstallBatch.c_str(), "echo done");
    ASSERT_EQ(s.Shortcuts.count(), 1);
    EXPECT_EQ(s.Shortcuts[0].Desktop, 1);
    EXPECT_EQ(s.Shortcuts[0].StartMenu, 1);
    ASSERT_EQ(s.ProgramsToClose.count(), 1);
    EXPECT_EQ(s.ProgramsToClose[0].Action, 2);
    EXPECT_EQ(s.ProgramsToClose[0].Options, 1);

    // Messages: the defaults fill what a language leaves out; the table reaches the highest
    // number any language uses.
    EXPECT_EQ(s.Messages.MessageCount, 121);
    ASSERT_EQ(s.Messages.Languages.count(), 2);
    EXPECT_EQ(utf8(s.Messages.text(0, 0)), "Demo Setup");
    EXPECT_EQ(utf8(s.Messages.text(0, 1)), "Demo Installation");
    EXPECT_EQ(utf8(s.Messages.text(120, 1)), "Extra");
    EXPECT_EQ(utf8(s.Messages.text(120, 0)), "");
    EXPECT_EQ(utf8(s.Messages.text(13, 1)), build::defaultMessage(13));
}

TEST(Manifest, FileSetsBecomeRecordsWithKindTargetAndOptions) {
    ProductFolder p;
    writeRichProduct(p);
    build::Manifest m = build::readManifest(p.manifest(kRichManifest));
    ASSERT_EQ(m.payload.files.size(), 3u);
    // Grouped by extension within a set, then sorted by path: ".exe" before ".txt", although
    // "docs" sorts before "démo" (bytes of UTF-8).
    EXPECT_STREQ(m.payload.files[1].name.c_str(), "bin\\docs\\readme.txt");
    const build::FileEntry& exe = m.payload.files[0];
    EXPECT_STREQ(exe.name.c_str(), "|bin\\d\xC3\xA9mo.exe");
    EXPECT_EQ(exe.kind, 0);
    EXPECT_EQ(exe.options, 0x2);                     // Start-menu shortcut, overwrite mode 0
    EXPECT_STREQ(exe.label.c_str(), "d\xC3\xA9mo");  // shortcut name from the file name
    EXPECT_STREQ(exe.data.c_str(), "MZ demo");
    EXPECT_EQ(exe.attributes, -1);
    FileDateTime date = FileDateTime::read(exe.date);
    EXPECT_FALSE(date.isUnset());
    EXPECT_GE(date.year, 2020);
    const build::FileEntry& font = m.payload.files[2];
    EXPECT_STREQ(font.name.c_str(), "demo.ttf");
    EXPECT_EQ(font.kind, 4);
    EXPECT_EQ(font.options, 3 << 2);
    EXPECT_STREQ(font.label.c_str(), "Demo Sans");
}

// The areas the rich manifest leaves out, each value distinct so that a field mixed up with
// its neighbour shows.
TEST(Manifest, RemainingAreasReachTheirOwnFields) {
    ProductFolder p;
    p.write("f/a.txt", "a");
    p.write("README.txt", "read me");
    p.write("merge.reg", "REGEDIT4");
    p.write("folder.ico", "icon");
    build::Manifest m = build::readManifest(p.manifest(R"toml(
firewall = ["rule one", "rule two"]
[product]
name = "Areas"
shared-base = "common-files-64"
portable-shared-subfolder = "shared"
readme-file = "%InstallDir%\\README.txt"
finish-document = "%InstallDir%\\done.txt"
add-to-path = "bin"
password = "secret"
automatic = "off"
[versions]
upgrade-warning-below = "3.0"
[wizard]
readmes = ["README.txt"]
greeting-link = "https://example.com/hello"
greeting-link-notify = "https://example.com/clicked"
picture-border = "thin"
step-delay = 250
[uninstall]
support-offer = "mailto:help@example.com"
extras = [ { path = "%InstallDir%\\*.log", kind = 2, value = "1.0", flags = 1 } ]
[batches]
pre-install = "b1"
exit = "b3"
uninstall-1 = "u1"
uninstall-2 = "u2"
upgrade = "up"
reinstall = "re"
[registry]
entries = ["\\HKLM\\Software\\Areas", "x"]
merge-file = "merge.reg"
[notifications]
launch = "n-launch"
install-start = "n-start"
fresh-install = "n-fresh"
upgrade = "n-up"
downgrade = "n-down"
reinstall = "n-re"
uninstall = "n-un"
[prerequisite]
registry-value = "\\HKLM\\Software\\Base\\Version"
name = "Base"
minimum-version = "2.0"
[desktop]
folder = "Areas Tools"
folder-icon = "folder.ico"
[taskbar]
pin-command = "%InstallDir%\\a.txt"
pin-name = "Pinned"
[[associations]]
extension = ".area"
label = "AreaFile"
description = "Area document"
command = "%InstallDir%\\a.exe \"%1\""
[[files]]
source = "f"
)toml"));
    InstallScript s = roundTrip(m);
    EXPECT_EQ(s.SharedBase, 3);
    EXPECT_EQ(utf8(s.PortableSharedSubdir), "shared");
    EXPECT_EQ(utf8(s.ReadmeFile), "%InstallDir%\\README.txt");
    EXPECT_EQ(utf8(s.FinishDocument), "%InstallDir%\\done.txt");
    EXPECT_EQ(utf8(s.AddToPathSubfolder), "bin");
    EXPECT_EQ(utf8(s.Password), "secret");
    EXPECT_EQ(s.AutomaticModeByte, 2);
    EXPECT_STREQ(s.UpgradeWarningBelow.c_str(), "3.0");
    ASSERT_EQ(s.ReadmeTexts.count(), 1);
    EXPECT_STREQ(s.ReadmeTexts[0].c_str(), "read me");
    EXPECT_EQ(utf8(s.GreetingLink), "https://example.com/hello");
    EXPECT_STREQ(s.GreetingLinkNotify.c_str(), "https://example.com/clicked");
    EXPECT_EQ(s.PictureBorder, 2);
    EXPECT_EQ(s.StepDelay, 250);
    EXPECT_STREQ(s.SupportOffer.c_str(), "mailto:help@example.com");
    ASSERT_EQ(s.UninstallExtras.count(), 1);
    EXPECT_STREQ(s.UninstallExtras[0].Path.c_str(), "%InstallDir%\\*.log");
    EXPECT_EQ(s.UninstallExtras[0].Kind, 2);
    EXPECT_STREQ(s.UninstallExtras[0].Value.c_str(), "1.0");
    EXPECT_EQ(s.UninstallExtras[0].Flags, 1);
    const char* batches[] = {s.PreInstallBatch.c_str(), s.PostInstallBatch.c_str(),
                             s.ExitBatch.c_str(),       s.UninstallBatch1.c_str(),
                             s.UninstallBatch2.c_str(), s.UpgradeBatch.c_str(),
                             s.ReinstallBatch.c_str()};
    const char* expectedBatches[] = {"b1", "", "b3", "u1", "u2", "up", "re"};
    for (int i = 0; i < 7; ++i) EXPECT_STREQ(batches[i], expectedBatches[i]) << i;
    EXPECT_STREQ(s.RegistryTable.c_str(), "\\HKLM\\Software\\Areas\r\nx\r\n");
    EXPECT_STREQ(s.RegistryMergeText.c_str(), "REGEDIT4");
    EXPECT_STREQ(s.FirewallText.c_str(), "rule one\r\nrule two\r\n");
    const char* notifications[] = {s.NotifyLaunch.c_str(),       s.NotifyInstallStart.c_str(),
                                   s.NotifyFreshInstall.c_str(), s.NotifyUpgrade.c_str(),
                                   s.NotifyDowngrade.c_str(),    s.NotifyReinstall.c_str(),
                                   s.NotifyURL.c_str()};
    const char* expectedNotifications[] = {"n-launch", "n-start", "n-fresh", "n-up",
                                           "n-down",   "n-re",    "n-un"};
    for (int i = 0; i < 7; ++i) EXPECT_STREQ(notifications[i], expectedNotifications[i]) << i;
    EXPECT_TRUE(s.ProductFlags & 0x10000);  // a prerequisite is named
    EXPECT_STREQ(s.PrerequisiteKey.c_str(), "\\HKLM\\Software\\Base\\Version");
    EXPECT_STREQ(s.PrerequisiteName.c_str(), "Base");
    EXPECT_STREQ(s.PrerequisiteVersion.c_str(), "2.0");
    EXPECT_EQ(utf8(s.DesktopFolder), "Areas Tools");
    EXPECT_STREQ(s.DesktopFolderIcon.c_str(), "icon");
    EXPECT_EQ(utf8(s.PinCommand), "%InstallDir%\\a.txt");
    EXPECT_EQ(utf8(s.PinName), "Pinned");
    ASSERT_EQ(s.FileAssociations.count(), 1);
    const ScriptAssociation& a = s.FileAssociations[0];
    EXPECT_STREQ(a.Extension.c_str(), ".area");
    EXPECT_STREQ(a.Label.c_str(), "AreaFile");
    EXPECT_STREQ(a.Description.c_str(), "Area document");
    EXPECT_STREQ(a.Verb.c_str(), "open");
    EXPECT_STREQ(a.Command.c_str(), "%InstallDir%\\a.exe \"%1\"");
}

TEST(Manifest, SingleLanguageWithoutOverridesTakesTheEnglishDefaults) {
    ProductFolder p;
    p.write("f/a.txt", "a");
    build::Manifest m =
        build::readManifest(p.manifest("[product]\nname = \"Tiny\"\n[[files]]\nsource = \"f\"\n"));
    InstallScript s = roundTrip(m);
    EXPECT_EQ(s.Messages.MessageCount, build::kHighestMessageNumber + 1);
    ASSERT_EQ(s.Messages.Languages.count(), 1);
    EXPECT_EQ(utf8(s.Messages.Languages[0]), "English");
    for (int n : {0, 13, 21, 49, 113}) {
        EXPECT_EQ(utf8(s.Messages.text(n, 0)), build::defaultMessage(n)) << n;
    }
    EXPECT_EQ(utf8(s.BannerText), build::defaultMessage(build::kBannerTextNumber));
}

TEST(Manifest, BadManifestsNameFileKeyAndReason) {
    struct Case {
        const char* label;
        const char* text;
        const char* expected;  // after "<file>: "
    } cases[] = {
        {"typo", "[product]\nname = \"X\"\nnmae = \"Y\"\n", "product.nmae: unknown key"},
        {"unknown table", "[produtc]\nname = \"X\"\n", "produtc: unknown key"},
        {"wrong type", "[product]\nname = 5\n",
         "product.name: expected a string, found an integer"},
        {"missing name", "[product]\ncompany = \"C\"\n", "product.name: missing (required)"},
        {"bad choice", "[product]\nname = \"X\"\nbitness = \"128-bit\"\n",
         "product.bitness: unknown value \"128-bit\" (expected \"any\", \"64-bit\", \"32-bit\")"},
        {"range", "[product]\nname = \"X\"\n[background]\npicture-size = 101\n",
         "background.picture-size: 101 is outside 0..100"},
        {"level", "[product]\nname = \"X\"\n[options]\ncompression-level = 13\n",
         "options.compression-level: 13 is outside 1..12"},
        {"colour", "[product]\nname = \"X\"\n[background]\ntop-color = \"blue\"\n",
         "background.top-color: expected a colour \"#RRGGBB\", found \"blue\""},
        {"missing licence", "[product]\nname = \"X\"\n[wizard]\nlicenses = [\"EULA.txt\"]\n",
         "wizard.licenses: \"EULA.txt\" does not exist"},
        {"missing source", "[product]\nname = \"X\"\n[[files]]\nsource = \"nowhere\"\n",
         "files[0].source: \"nowhere\" is not a folder"},
        {"no match", "[product]\nname = \"X\"\n[[files]]\nsource = \"f\"\ninclude = [\"*.dll\"]\n",
         "files[0].include: no file in \"f\" matches"},
        {"file key typo", "[product]\nname = \"X\"\n[[files]]\nsource = \"f\"\nknid = \"font\"\n",
         "files[0].knid: unknown key"},
        {"option typo", "[product]\nname = \"X\"\n[options]\nsingle-instnace = true\n",
         "options.single-instnace: unknown key"},
        {"option type", "[product]\nname = \"X\"\n[options]\nlog = \"yes\"\n",
         "options.log: expected true or false, found a string"},
        {"message number",
         "[product]\nname = \"X\"\n[[languages]]\nname = \"E\"\nmessages = { x = \"a\" }\n",
         "languages[0].messages.x: expected a message number 0 to 9999"},
        {"not western", "[product]\nname = \"X\"\nversion = \"1.0 \xCE\xB1\"\n",
         "product.version: holds characters outside the Western (1252) code page"},
        {"table as value", "product = \"X\"\n", "product: expected a table, found a string"},
        // A zero character would cut a zero-terminated script text short.
        {"zero in a text", "[product]\nname = \"X\"\nstart-menu-folder = \"a\\u0000b\"\n",
         "product.start-menu-folder: holds a zero character"},
        {"zero in a list", "firewall = [\"ok\", \"a\\u0000\"]\n[product]\nname = \"X\"\n",
         "firewall[1]: holds a zero character"},
        {"zero in a message",
         "[product]\nname = \"X\"\n[[languages]]\nname = \"E\"\nmessages = { 0 = \"\\u0000\" }\n",
         "languages[0].messages.0: holds a zero character"},
        // The uninstall command quotes the uninstall key's name.
        {"quoted key name", "[product]\nname = \"X\"\n[uninstall]\nkey-name = \"5\\\" Disk\"\n",
         "uninstall.key-name: holds a double quote"},
        {"quoted product name as key", "[product]\nname = \"5\\\" Disk\"\n",
         "product.name: holds a double quote"},
        {"overwrite never",
         "[product]\nname = \"X\"\n[[files]]\nsource = \"f\"\noverwrite = \"never\"\n",
         "files[0].overwrite: \"never\" is not a mode: \"skip\" leaves these files out"},
    };
    for (const Case& c : cases) {
        ProductFolder p;
        p.write("f/a.txt", "a");
        fs::path file = p.manifest(c.text);
        try {
            build::readManifest(file);
            ADD_FAILURE() << c.label << ": accepted";
        } catch (const ManifestError& e) {
            std::string message = e.what();
            std::string prefix = file.string() + ": ";
            EXPECT_EQ(message.substr(0, prefix.size()), prefix) << c.label;
            EXPECT_EQ(message.substr(prefix.size(), std::strlen(c.expected)), c.expected)
                << c.label << ": " << message;
        }
    }
}

// A message whose default is a printf format is filled with the default's arguments: an
// override must keep its conversions in count, order and type.
// The options the installation reads at its end and those of the uninstaller's questions, by
// name, each on its own bit of its own word.
TEST(Manifest, FinishingOptionsSetTheirBits) {
    const uint64_t high = uint64_t(1) << 32;
    struct Case {
        const char* name;
        uint64_t flags;   // ProductFlags
        uint32_t flags2;  // ProductFlags2
    } cases[] = {
        {"conventional-exit-codes", 0, 0x04000000},
        {"readme-files", 0x4000 * high, 0},
        {"license-files", 0x8000 * high, 0},
        {"reboot-marker", 0x200000 * high, 0},
        {"background-picture-file", 0x8000, 0},
        {"uninstaller-start-menu-shortcut", 0x2, 0},
        {"uninstaller-desktop-shortcut", 0x2 * high, 0},
        {"uninstaller-folder-shortcut", 0x40 * high, 0},
        {"log-start-menu-shortcut", 0x08000000 * high, 0},
        {"offer-log", 0x02000000 * high, 0},
        {"launch-directly", 0, 0x100000},
        {"keep-install-log", 0x400000 * high, 0},
        // Set, they make the uninstaller ask; clear, it removes fonts and unused shared files
        // without a question.
        {"uninstall-ask-fonts", 0x10, 0},
        {"uninstall-ask-shared", 0x20000, 0},
        {"uninstall-completion-message", 0, 0x40000},
    };
    ProductFolder product;
    const build::Manifest plain =
        build::readManifest(product.manifest("[product]\nname = \"X\"\n"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        build::Manifest m = build::readManifest(product.manifest(
            std::string("[product]\nname = \"X\"\n[options]\n") + c.name + " = true\n"));
        EXPECT_EQ(m.script.ProductFlags ^ plain.script.ProductFlags, c.flags);
        EXPECT_EQ(m.payload.productFlags2 ^ plain.payload.productFlags2, c.flags2);
        // Off by default.
        EXPECT_EQ(plain.script.ProductFlags & c.flags, 0u);
        EXPECT_EQ(plain.payload.productFlags2 & c.flags2, 0u);
    }
}

// Naming a PATH folder, even the install folder itself (""), turns the PATH change on.
TEST(Manifest, AddToPathTurnsThePathChangeOn) {
    struct Case {
        const char* product;
        bool on;
        const char* subfolder;
    } cases[] = {
        {"", false, ""},
        {"add-to-path = \"bin\"\n", true, "bin"},
        {"add-to-path = \"\"\n", true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.product);
        ProductFolder product;
        build::Manifest m = build::readManifest(
            product.manifest(std::string("[product]\nname = \"X\"\n") + c.product));
        EXPECT_EQ((m.script.ProductFlags & 0x1000) != 0, c.on);
        EXPECT_EQ(utf8(m.script.AddToPathSubfolder), c.subfolder);
    }
}

// Opening the install folder to everyone leaves an uninstaller kept beside the product open too
// (when the installer runs without elevation): the tool refuses unless the publisher accepts it
// by name, and then says so.
TEST(Manifest, FullAccessWithoutUninstallSubfolderIsRefusedUnlessAccepted) {
    enum Outcome { Built, Warned, Refused };
    struct Case {
        const char* label;
        const char* text;
        Outcome outcome;
    } cases[] = {
        {"in the install folder", "[options]\ninstall-folder-full-access = true\n", Refused},
        {"empty subfolder",
         "[options]\ninstall-folder-full-access = true\n[uninstall]\nsubfolder = \"\"\n", Refused},
        {"accepted",
         "[options]\ninstall-folder-full-access = true\n[uninstall]\nrecords-in-open-folder = "
         "true\n",
         Warned},
        {"not accepted",
         "[options]\ninstall-folder-full-access = true\n[uninstall]\nrecords-in-open-folder = "
         "false\n",
         Refused},
        {"own subfolder",
         "[options]\ninstall-folder-full-access = true\n[uninstall]\nsubfolder = \"uninstall\"\n",
         Built},
        {"folder not opened", "[uninstall]\nsubfolder = \"\"\n", Built},
        {"no uninstaller",
         "[options]\ninstall-folder-full-access = true\nuninstall-entry = false\n", Built},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ProductFolder product;
        fs::path file = product.manifest(std::string("[product]\nname = \"X\"\n") + c.text);
        if (c.outcome == Refused) {
            try {
                build::readManifest(file);
                ADD_FAILURE() << "built";
            } catch (const build::ManifestError& e) {
                const std::string message = e.what();
                EXPECT_EQ(message.rfind(file.string() + ": ", 0), 0u) << message;
                EXPECT_NE(message.find("options.install-folder-full-access without "
                                       "uninstall.subfolder"),
                          std::string::npos)
                    << message;
                EXPECT_NE(message.find("Uninstall.DAT"), std::string::npos) << message;
                EXPECT_NE(message.find("uninstall.records-in-open-folder = true"),
                          std::string::npos)
                    << message;
            }
            continue;
        }
        build::Manifest m = build::readManifest(file);
        if (c.outcome == Built) {
            EXPECT_TRUE(m.warnings.empty());
            continue;
        }
        ASSERT_EQ(m.warnings.size(), 1u);
        EXPECT_NE(m.warnings[0].find("(accepted by uninstall.records-in-open-folder)"),
                  std::string::npos)
            << m.warnings[0];
        EXPECT_GT(build::writeInstallScript(m.script).length(), 0);
    }
}

TEST(Manifest, MessageOverridesKeepTheirFormatsConversions) {
    struct Case {
        const char* messages;
        const char* expected;  // after "<file>: "; null: accepted
    } cases[] = {
        {"19 = \"%-10s frei auf %c: (%s, 100%%)\"", nullptr},
        {"13 = \"Kaputt (%d).\"", nullptr},
        {"21 = \"50% Fehler %s\"", nullptr},  // not a format: shown as it is
        {"19 = \"%s %s %s\"",
         "languages[1].messages.19: language \"Deutsch\", message 19: conversion 2 is \"%s\" "
         "where the default has \"%c\" (the default's conversions, in order: %s %c %s;"},
        {"12 = \"Fehlt: %s %s\"",
         "languages[1].messages.12: language \"Deutsch\", message 12: conversion 2 \"%s\" is one "
         "more than the format takes"},
        {"10 = \"Fehler\"",
         "languages[1].messages.10: language \"Deutsch\", message 10: conversion 1 (%s) is "
         "missing"},
        {"13 = \"Fehler %n\"",
         "languages[1].messages.13: language \"Deutsch\", message 13: "
         "conversion 1 is \"%n\" where the default has \"%d\""},
        {"16 = \"Laufwerk %*c\"", "message 16: conversion 1 is \"%*c\" where"},
        {"112 = \"%2$s %1$s\"", "message 112: conversion 1 is \"%2$s\" where"},
        {"18 = \"50% of %s\"", "message 18: conversion 1 is \"% o\" where the default has"},
    };
    for (const Case& c : cases) {
        ProductFolder p;
        fs::path file =
            p.manifest(std::string("[product]\nname = \"X\"\n[[languages]]\nname = \"English\"\n"
                                   "[[languages]]\nname = \"Deutsch\"\nmessages = { ") +
                       c.messages + " }\n");
        try {
            build::Manifest m = build::readManifest(file);
            EXPECT_EQ(c.expected, nullptr) << c.messages << ": accepted";
        } catch (const ManifestError& e) {
            std::string message = e.what();
            if (!c.expected) {
                ADD_FAILURE() << message;
                continue;
            }
            EXPECT_NE(message.find(file.string() + ": "), std::string::npos) << message;
            EXPECT_NE(message.find(c.expected), std::string::npos) << message;
        }
    }
}

// Overwrite modes are named for what they do; mode 1 leaves the files out altogether.
TEST(Manifest, OverwriteModesByName) {
    const std::pair<const char*, int32_t> cases[] = {
        {"always", 0}, {"skip", 1}, {"if-exists", 2}, {"if-missing", 3}, {"unless-newer", 4}};
    for (const auto& [name, mode] : cases) {
        ProductFolder p;
        p.write("f/a.txt", "a");
        build::Manifest m = build::readManifest(p.manifest(
            std::string("[product]\nname = \"X\"\n[[files]]\nsource = \"f\"\noverwrite = \"") +
            name + "\"\n"));
        ASSERT_EQ(m.payload.files.size(), 1u);
        EXPECT_EQ((m.payload.files[0].options >> 2) & 7, mode) << name;
    }
}

// Two sets may not install the same name; names differ by ASCII case only when their other
// characters, non-ASCII ones included, are the same bytes.
TEST(Manifest, DuplicateNamesFoldOnlyAsciiCase) {
    const std::pair<const char*, bool> cases[] = {
        {"README.txt", true}, {"\xC3\x84rger.txt", false}, {"\xC3\xA4RGER.TXT", true}};
    for (const auto& [second, refused] : cases) {
        ProductFolder p;
        p.write("one/\xC3\xA4rger.txt", "1");
        p.write("one/readme.txt", "1");
        p.write(std::string("two/") + second, "2");
        fs::path file = p.manifest(
            "[product]\nname = \"X\"\n[[files]]\nsource = \"one\"\n[[files]]\nsource = \"two\"\n");
        bool threw = false;
        try {
            build::readManifest(file);
        } catch (const ManifestError& e) {
            threw = true;
            EXPECT_NE(std::string(e.what()).find("files[1].source: "), std::string::npos)
                << e.what();
        }
        EXPECT_EQ(threw, refused) << second;
    }
}

TEST(Manifest, SyntaxErrorsGiveLineAndColumn) {
    ProductFolder p;
    fs::path file = p.manifest("[product]\nname = \"X\n");
    try {
        build::readManifest(file);
        ADD_FAILURE() << "accepted";
    } catch (const ManifestError& e) {
        EXPECT_EQ(std::string(e.what()).rfind(file.string() + ":2:", 0), 0u) << e.what();
    }
}

TEST(Manifest, GlobsMatchWithinAndAcrossFolders) {
    struct Case {
        const char* pattern;
        const char* path;
        bool match;
    } cases[] = {
        {"**", "a/b/c.txt", true},        {"*.txt", "c.txt", true},
        {"*.txt", "a/c.txt", false},      {"**/*.txt", "c.txt", true},
        {"**/*.txt", "a/b/c.txt", true},  {"a/**/c.txt", "a/c.txt", true},
        {"a/*/c.txt", "a/b/c.txt", true}, {"a/*/c.txt", "a/b/d/c.txt", false},
        {"?.txt", "c.txt", true},         {"?.txt", "cc.txt", false},
        {"docs/*", "docs/x", true},       {"docs/*", "docs", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(build::globMatch(c.pattern, c.path), c.match) << c.pattern << " " << c.path;
    }
}

// The uninstaller copy is a file: without a name of the publisher's it still gets one.
TEST(Manifest, TheUninstallerHasAFileNameByDefault) {
    ProductFolder product;
    build::Manifest plain = build::readManifest(product.manifest("[product]\nname = \"X\"\n"));
    EXPECT_STREQ(plain.script.UninstallerName.c_str(), "uninstall.exe");
    build::Manifest named = build::readManifest(product.manifest(
        "[product]\nname = \"X\"\n[uninstall]\nuninstaller-name = \"remove.exe\"\n"));
    EXPECT_STREQ(named.script.UninstallerName.c_str(), "remove.exe");
}

TEST(Manifest, ExecutionLevelByName) {
    ProductFolder product;
    EXPECT_EQ(build::readManifest(product.manifest("[product]\nname = \"X\"\n")).executionLevel,
              build::ExecutionLevel::Admin);
    const std::pair<const char*, build::ExecutionLevel> names[] = {
        {"admin", build::ExecutionLevel::Admin},
        {"highest", build::ExecutionLevel::Highest},
        {"user", build::ExecutionLevel::User}};
    for (const auto& [name, level] : names) {
        build::Manifest m = build::readManifest(product.manifest(
            std::string("[product]\nname = \"X\"\nexecution-level = \"") + name + "\"\n"));
        EXPECT_EQ(m.executionLevel, level) << name;
    }
    fs::path bad = product.manifest("[product]\nname = \"X\"\nexecution-level = \"root\"\n");
    try {
        build::readManifest(bad);
        ADD_FAILURE() << "an unknown level was taken";
    } catch (const ManifestError& e) {
        EXPECT_EQ(std::string(e.what()),
                  bad.string() +
                      ": product.execution-level: unknown value \"root\" (expected "
                      "\"admin\", \"highest\", \"user\")");
    }
}

}  // namespace
}  // namespace tessarin
