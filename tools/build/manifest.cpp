// Reading the manifest: every table is read through a Section that knows its key path, checks
// each value's type and refuses keys it does not know, so a typo never passes silently.
#include "tools/build/manifest.h"

#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "core/convert.h"
#include "package/script_format.h"
#include "tools/build/default_messages.h"
#include "tools/build/manifest_files.h"
#include "tools/build/manifest_section.h"

namespace tessarin::build {
namespace fs = std::filesystem;

namespace {

// ProductFlags: add AddToPathSubfolder (below the install folder) to the system PATH.
constexpr uint64_t kFlagsAddToPath = 0x1000;

// ---- Product, folders, versions ------------------------------------------------------

void readProduct(Section s, InstallScript& script, PayloadSpec& payload, ExecutionLevel& level) {
    script.ProductName = s.wide("name");
    if (!s.has("name") || script.ProductName.empty()) s.fail("name", "missing (required)");
    script.CompanyName = s.wide("company");
    script.ProductDescription = s.wide("description");
    script.Version8 = s.ansi("version");
    script.Bitness = static_cast<uint8_t>(
        s.choice("bitness", 0, {{"any", 0}, {"64-bit", 1}, {"32-bit", 2}}, 0, 255));
    script.DefaultInstallDir = s.wide("install-folder");
    script.ProductStartMenu = s.wide("start-menu-folder");
    script.SharedDir = s.wide("shared-folder");
    script.SharedBase = static_cast<uint8_t>(s.choice(
        "shared-base", 0,
        {{"auto", 0}, {"app-data", 1}, {"common-files-32", 2}, {"common-files-64", 3}}, 0, 255));
    script.PortableSharedSubdir = s.wide("portable-shared-subfolder");
    script.ProductRegistry = s.wide("registry-key");
    script.PreviousInstallKey = s.ansi("previous-install-key");
    script.ProductIcon = s.fileBytes("icon");
    script.ShortcutMode = s.flag("all-users", false) ? 1 : 0;
    script.ExtraSpace = s.integer("extra-space", 0, 0, INT64_MAX);
    script.ExcludedSystems =
        static_cast<int32_t>(s.integer("excluded-systems", 0, INT32_MIN, INT32_MAX));
    script.ExternalData = s.flag("external-data", false) ? 1 : 0;
    payload.externalData = script.ExternalData != 0;
    script.LaunchProgram = s.narrowPath("launch-program");
    script.ReadmeFile = s.wide("readme-file");
    script.FinishDocument = s.wide("finish-document");
    // Given at all (also as "", the install folder itself), the folder joins the system PATH.
    if (s.has("add-to-path")) script.ProductFlags |= kFlagsAddToPath;
    script.AddToPathSubfolder = s.wide("add-to-path");
    script.StartSound = s.fileBytes("start-sound");
    script.Password = s.wide("password");
    script.AutomaticModeByte = static_cast<uint8_t>(
        s.choice("automatic", 0, {{"default", 0}, {"on", 1}, {"off", 2}}, 0, 255));
    level = static_cast<ExecutionLevel>(
        s.choice("execution-level", static_cast<int64_t>(ExecutionLevel::Admin),
                 {{"admin", static_cast<int64_t>(ExecutionLevel::Admin)},
                  {"highest", static_cast<int64_t>(ExecutionLevel::Highest)},
                  {"user", static_cast<int64_t>(ExecutionLevel::User)}},
                 0, 2));
    s.finish();
}

void readVersions(Section s, InstallScript& script) {
    script.MustUninstallBelow = s.ansi("must-uninstall-below");
    script.UpgradeWarningBelow = s.ansi("upgrade-warning-below");
    script.NoDowngradeBelow = s.ansi("no-downgrade-below");
    if (script.NoDowngradeBelow.length() > 255)
        s.fail("no-downgrade-below", "longer than 255 bytes");
    s.finish();
}

// ---- Wizard and background window ----------------------------------------------------

void readWizard(Section s, InstallScript& script) {
    script.StepDelay = static_cast<uint16_t>(s.integer("step-delay", 0, 0, kMaxStepDelay));
    script.ProgressPlacement =
        static_cast<int32_t>(s.integer("progress-placement", 0, INT32_MIN, INT32_MAX));
    const char* banner = defaultMessage(kBannerTextNumber);
    script.BannerText = s.wide("banner", banner ? banner : "");
    script.GreetingLink = s.wide("greeting-link");
    if (script.GreetingLink.length() > 0xFFFF) s.fail("greeting-link", "longer than 65535 bytes");
    script.GreetingLinkNotify = s.ansi("greeting-link-notify");
    script.PictureBorder = static_cast<uint8_t>(
        s.choice("picture-border", 0,
                 {{"none", 0}, {"sunken", 1}, {"thin", 2}, {"sunken-layout-1", 3}}, 0, 255));
    std::vector<std::string> licenses = s.texts("licenses");
    if (licenses.size() > kMaxLicenseTexts) s.fail("licenses", "at most 20 licence pages");
    for (const std::string& name : licenses)
        script.LicenseTexts.append(s.readSource("licenses", name));
    std::vector<std::string> readmes = s.texts("readmes");
    if (readmes.size() > kMaxReadmeTexts) s.fail("readmes", "at most 20 readme pages");
    for (const std::string& name : readmes)
        script.ReadmeTexts.append(s.readSource("readmes", name));
    Section layouts = s.table("layouts");
    const char* pages[kPageLayoutCount] = {"greeting", "language",   "license",  "readme",
                                           "folder",   "start-menu", "progress", "summary"};
    for (int i = 0; i < kPageLayoutCount; ++i) {
        script.PageLayouts[i] = static_cast<int32_t>(layouts.integer(pages[i], 0, 0, INT32_MAX));
    }
    layouts.finish();
    s.finish();
}

void readBackground(Section s, InstallScript& script) {
    script.TaskbarText = s.wide("taskbar-text");
    script.DisplayTitle = s.wide("title");
    script.TitleSize = s.real("title-size", 0);
    script.TitleColor = s.colour("title-color", 0xFFFFFF);
    script.TitleShadow = static_cast<uint8_t>(s.integer("title-shadow", 0, 0, 255));
    script.TitlePosition = static_cast<uint8_t>(s.integer("title-position", 0, 0, 255));
    script.TitleFont = s.ansi("title-font");
    script.TopColor = s.colour("top-color", 0x800000);
    script.BottomColor = s.colour("bottom-color", 0);
    script.BackgroundBitmap = s.fileBytes("picture");
    if (!script.BackgroundBitmap.empty()) {
        const uint8_t* b = script.BackgroundBitmap.bytes();
        // A ".bmp" file carries a 14-byte file header before the bitmap itself.
        if (script.BackgroundBitmap.length() > 14 && b[0] == 'B' && b[1] == 'M') {
            script.BackgroundBitmap.removeFront(14);
        }
        if (script.BackgroundBitmap.length() < 40) s.fail("picture", "is not a bitmap");
    }
    script.BitmapTPI = static_cast<int32_t>(s.integer("picture-tpi", 0, INT32_MIN, INT32_MAX));
    script.BitmapSize = static_cast<int32_t>(s.integer("picture-size", 100, 0, kMaxBitmapSize));
    script.StretchMode = static_cast<int32_t>(s.integer("stretch-mode", 0, INT32_MIN, INT32_MAX));
    Section c = s.table("copyright");
    if (c.raw()) {
        script.CopyrightText = c.wide("text");
        script.CopyrightPos = static_cast<uint8_t>(c.integer("position", 1, 1, 255));
        script.CopyrightColor = c.colour("color", 0xFFFFFF);
        script.CopyrightSize = c.real("size", 0);
        script.CopyrightFont = c.ansi("font");
    }
    c.finish();
    s.finish();
}

// ---- Uninstall, batches, registry, notifications --------------------------------------

// The uninstaller copy needs a file name of its own; the entry's commands name it.
constexpr const char* kDefaultUninstallerName = "uninstall.exe";

bool holdsQuote(const String& text) {
    for (int32_t i = 0; i < text.wideLength(); ++i)
        if (text.w_str()[i] == u'"') return true;
    return false;
}

// The uninstall entry starts the uninstaller with /u:"<key name>": a double quote in the name
// would end that argument early, and the product could never be uninstalled. The key is named
// by key-name, or by the product's name without one.
void refuseQuotedKeyName(Section& s, const InstallScript& script) {
    const char* reason = "holds a double quote, which the uninstall command cannot carry";
    if (!isBlankWide(script.UninstallKeyName)) {
        if (holdsQuote(script.UninstallKeyName)) s.fail("key-name", reason);
    } else if (holdsQuote(script.ProductName)) {
        throw ManifestError(s.file().string() + ": product.name: " + reason +
                            " (it names the uninstall key; uninstall.key-name can name another)");
    }
}

// True when the publisher accepts the records in an install folder opened to everyone.
bool readUninstall(Section s, InstallScript& script) {
    script.UninstallKeyName = s.wide("key-name");
    refuseQuotedKeyName(s, script);
    script.UninstallSubdir = s.wide("subfolder");
    script.UninstallerName = s.ansi("uninstaller-name", kDefaultUninstallerName);
    script.UninstallIcon = s.fileBytes("icon");
    script.SupportOffer = s.ansi("support-offer");
    if (script.SupportOffer.length() > 0xFFFF) s.fail("support-offer", "longer than 65535 bytes");
    for (Section v : s.tables("values")) {
        ScriptUninstallValue value;
        value.Name = v.ansi("name");
        if (value.Name.empty()) v.fail("name", "missing (required)");
        value.Type = static_cast<uint8_t>(
            v.choice("type", 1, {{"string", 1}, {"expandable", 2}, {"number", 4}}, 1, 4));
        value.Text = v.ansi("value");
        v.finish();
        script.UninstallValues.append(value);
    }
    if (script.UninstallValues.count() > kMaxUninstallValues)
        s.fail("values", "at most 1000 values");
    for (Section e : s.tables("extras")) {
        ConditionalDeletion d;
        d.Path = e.narrowPath("path");
        if (d.Path.empty()) e.fail("path", "missing (required)");
        if (d.Path.equals(kUninstallExtrasEnd)) e.fail("path", "is the list's end marker");
        d.Kind = static_cast<uint8_t>(e.integer("kind", 0, 0, 255));
        d.Value = e.ansi("value");
        d.Flags = static_cast<uint8_t>(e.integer("flags", 0, 0, 255));
        e.finish();
        script.UninstallExtras.append(d);
    }
    if (script.UninstallExtras.count() > kMaxUninstallExtras)
        s.fail("extras", "at most 1001 entries");
    bool openRecordsAccepted = s.flag("records-in-open-folder", false);
    s.finish();
    return openRecordsAccepted;
}

void readBatches(Section s, InstallScript& script) {
    script.PreInstallBatch = s.ansi("pre-install");
    script.PostInstallBatch = s.ansi("post-install");
    script.ExitBatch = s.ansi("exit");
    script.UninstallBatch1 = s.ansi("uninstall-1");
    script.UninstallBatch2 = s.ansi("uninstall-2");
    script.UpgradeBatch = s.ansi("upgrade");
    script.ReinstallBatch = s.ansi("reinstall");
    s.finish();
}

void readRegistry(Section s, InstallScript& script) {
    std::vector<std::string> lines = s.texts("entries");
    std::string table;
    for (const std::string& l : lines) table += l + "\r\n";
    script.RegistryTable = s.toAnsi("entries", table);
    script.RegistryMergeText = s.fileBytes("merge-file");
    s.finish();
}

void readNotifications(Section s, InstallScript& script) {
    script.NotifyLaunch = s.ansi("launch");
    script.NotifyInstallStart = s.ansi("install-start");
    script.NotifyFreshInstall = s.ansi("fresh-install");
    script.NotifyUpgrade = s.ansi("upgrade");
    script.NotifyDowngrade = s.ansi("downgrade");
    script.NotifyReinstall = s.ansi("reinstall");
    script.NotifyURL = s.ansi("uninstall");
    s.finish();
}

void readPrerequisite(Section s, InstallScript& script) {
    if (!s.raw()) return;
    script.PrerequisiteKey = s.ansi("registry-value");
    script.PrerequisiteName = s.ansi("name");
    script.PrerequisiteVersion = s.ansi("minimum-version");
    if (script.PrerequisiteKey.empty()) s.fail("registry-value", "missing (required)");
    script.ProductFlags |= kFlagsPrerequisite;
    s.finish();
}

void readDesktop(Section s, InstallScript& script) {
    script.DesktopFolder = s.wide("folder");
    script.DesktopFolderIcon = s.fileBytes("folder-icon");
    s.finish();
}

void readTaskbar(Section s, InstallScript& script) {
    script.PinCommand = s.wide("pin-command");
    script.PinName = s.wide("pin-name");
    script.RootShortcutCommand = s.ansi("root-shortcut-command");
    script.RootShortcutName = s.ansi("root-shortcut-name");
    s.finish();
}

void readShortcuts(Section& root, InstallScript& script) {
    for (Section s : root.tables("shortcuts")) {
        ScriptShortcut sc;
        sc.Target = s.narrowPath("target");
        if (sc.Target.empty()) s.fail("target", "missing (required)");
        sc.Name = s.wide("name");
        if (sc.Name.empty()) s.fail("name", "missing (required)");
        sc.Icon = s.narrowPath("icon");
        sc.Arguments = s.ansi("arguments");
        sc.WorkingFolder = s.narrowPath("working-folder");
        sc.Desktop = s.flag("desktop", false);
        sc.StartMenu = s.flag("start-menu", true);
        sc.Startup = s.flag("startup", false);
        sc.Folder = s.narrowPath("folder");
        sc.WindowState = static_cast<uint8_t>(
            s.choice("window", 0, {{"normal", 0}, {"minimized", 1}, {"maximized", 2}}, 0, 2));
        sc.Permanent = s.flag("permanent", false);
        s.finish();
        script.Shortcuts.append(sc);
    }
    if (script.Shortcuts.count() > kMaxShortcuts) root.fail("shortcuts", "at most 1000 shortcuts");
}

void readAssociations(Section& root, InstallScript& script) {
    for (Section s : root.tables("associations")) {
        ScriptAssociation a;
        a.Mode = static_cast<int32_t>(s.integer("mode", 0, INT32_MIN, INT32_MAX));
        a.Extension = s.ansi("extension");
        if (a.Extension.empty()) s.fail("extension", "missing (required)");
        a.Label = s.ansi("label");
        a.Description = s.ansi("description");
        a.Verb = s.ansi("verb", "open");
        a.VerbName = s.ansi("verb-name");
        a.Command = s.narrowPath("command");
        a.Language = s.wide("language");
        a.Icon = s.ansi("icon");
        s.finish();
        script.FileAssociations.append(a);
    }
    if (script.FileAssociations.count() > kMaxFileAssociations) {
        root.fail("associations", "at most 1000 associations");
    }
}

void readProgramsToClose(Section& root, InstallScript& script) {
    for (Section s : root.tables("programs-to-close")) {
        ProgramToClose p;
        p.ClassText = s.ansi("window-class");
        p.TitleText = s.ansi("window-title");
        if (p.ClassText.empty() && p.TitleText.empty()) {
            s.fail("window-class", "window-class or window-title is required");
        }
        if (p.ClassText.equals(kProgramsToCloseEnd))
            s.fail("window-class", "is the list's end marker");
        p.DisplayName = s.ansi("display-name");
        p.Action = static_cast<uint8_t>(
            s.choice("action", 0, {{"close", 0}, {"quit", 1}, {"ask", 2}, {"terminate", 3}}, 0, 3));
        bool during = s.flag("during-install", true);
        bool keep = s.flag("during-uninstall", false);
        p.Options = static_cast<uint8_t>((during ? 0x1 : 0) | (keep ? 0x2 : 0));
        s.finish();
        script.ProgramsToClose.append(p);
    }
    if (script.ProgramsToClose.count() > kMaxProgramsToClose) {
        root.fail("programs-to-close", "at most 1000 entries");
    }
}

// ---- Options --------------------------------------------------------------------------

void applyOption(uint64_t& flags, uint32_t& flags2, const NamedOption& o, bool on) {
    bool set = on != o.inverted;
    if (o.word == OptionWord::ProductFlags)
        flags = set ? (flags | o.bit) : (flags & ~o.bit);
    else
        flags2 = set ? (flags2 | uint32_t(o.bit)) : (flags2 & ~uint32_t(o.bit));
}

// Defaults a publisher expects from an installer: compressed, with an uninstall entry, the
// folder, Start-menu and progress pages, a background window and a log.
void readOptions(Section s, InstallScript& script, PayloadSpec& payload) {
    uint64_t flags = script.ProductFlags;
    uint32_t flags2 = 0;
    const std::set<std::string> onByDefault = {
        "compress",        "uninstall-entry", "folder-page",     "start-menu-page",
        "progress-window", "background",      "cut-uninstaller", "log"};
    for (const NamedOption& o : namedOptions()) {
        applyOption(flags, flags2, o, s.flag(o.name, onByDefault.count(o.name) > 0));
    }
    flags |= static_cast<uint64_t>(s.integer("raw-product-flags", 0, INT64_MIN, INT64_MAX));
    flags2 |= static_cast<uint32_t>(s.integer("raw-product-flags2", 0, 0, UINT32_MAX));
    payload.blockSize = static_cast<size_t>(s.integer("block-size", 1 << 20, 4096, 1 << 30));
    payload.level = static_cast<int>(
        s.integer("compression-level", kDefaultCompressionLevel, 1, kMaxCompressionLevel));
    std::string key = s.text("cipher-key");
    if (!key.empty()) {
        if (key.size() != 16 ||
            key.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            s.fail("cipher-key", "expected 16 hexadecimal digits");
        }
        std::array<uint8_t, 8> k{};
        for (size_t i = 0; i < 8; ++i)
            k[i] = static_cast<uint8_t>(std::stoul(key.substr(2 * i, 2), nullptr, 16));
        payload.key = k;
        flags2 |= 0x1000;
    }
    s.finish();
    script.ProductFlags = flags;
    payload.productFlags2 = flags2;
    payload.compressBlocks = (flags & 0x20) != 0;
    payload.checkImage = (flags & highWord(0x1)) != 0;
    payload.encipher = (flags2 & 0x1000) != 0;
}

// ---- Languages and messages -----------------------------------------------------------

// The installer fills a message whose default is a printf format with the default's
// arguments; a text with other conversions would format garbage or read arguments that are not
// there. Texts shown as they are (no conversions in the default) are not checked.
void checkFormat(Section& m, const std::string& key, const std::string& language, int number,
                 const std::string& text) {
    const char* fallback = defaultMessage(number);
    if (!fallback || formatConversions(fallback).empty()) return;
    std::string why = conversionMismatch(fallback, text);
    if (!why.empty())
        m.fail(key,
               "language \"" + language + "\", message " + std::to_string(number) + ": " + why);
}

void readLanguages(Section& root, InstallScript& script) {
    std::vector<Section> languages = root.tables("languages");
    struct Language {
        String name;
        std::map<int, String> texts;
    };
    std::vector<Language> read;
    int highest = kHighestMessageNumber;
    for (Section& s : languages) {
        Language l;
        std::string languageName = s.text("name");
        l.name = utf16(languageName);
        if (l.name.empty()) s.fail("name", "missing (required)");
        Section m = s.table("messages");
        if (m.raw()) {
            for (const auto& [k, v] : *m.raw()) {
                std::string key(k.str());
                char* end = nullptr;
                long n = std::strtol(key.c_str(), &end, 10);
                if (key.empty() || *end || n < 0 || n >= kMaxMessages) {
                    m.fail(key, "expected a message number 0 to 9999");
                }
                if (!v.is_string())
                    m.fail(key, std::string("expected a string, found ") + Section::typeName(v));
                const std::string& text = m.checkedText(key, v.as_string()->get());
                checkFormat(m, key, languageName, static_cast<int>(n), text);
                l.texts[static_cast<int>(n)] = utf16(text);
                m.get(key);
                highest = std::max(highest, static_cast<int>(n));
            }
        }
        m.finish();
        s.finish();
        read.push_back(std::move(l));
    }
    if (read.empty()) read.push_back({utf16("English"), {}});
    if (read.size() > kMaxLanguages) root.fail("languages", "at most 200 languages");
    MessageTable& table = script.Messages;
    table.MessageCount = highest + 1;
    for (const Language& l : read) table.Languages.append(l.name);
    for (int n = 0; n <= highest; ++n) {
        for (const Language& l : read) {
            auto it = l.texts.find(n);
            const char* fallback = defaultMessage(n);
            table.Texts.append(it != l.texts.end() ? it->second : utf16(fallback ? fallback : ""));
        }
    }
}

// ---- The script date -------------------------------------------------------------------

void stampScriptDate(InstallScript& script) {
    std::time_t now = std::time(nullptr);
    std::tm t = *std::gmtime(&now);
    script.ScriptDate.year = t.tm_year + 1900;
    script.ScriptDate.month = t.tm_mon + 1;
    script.ScriptDate.day = t.tm_mday;
    script.ScriptDate.hour = t.tm_hour;
    script.ScriptDate.minute = t.tm_min;
    script.ScriptDate.second = t.tm_sec;
}

// The full-access option opens the install folder to every user. An elevated installer keeps
// the uninstaller's records in a protected subfolder (one of its own when none is named), but
// an installer that runs without elevation would leave Uninstall.DAT, Install.log and the
// uninstaller copy in the opened folder, where any user could rewrite what a later
// uninstallation by an administrator deletes or runs. So the combination is refused unless the
// publisher accepts it by name; then the tool still says what it means.
void checkOpenUninstallFolder(const fs::path& file, Manifest& m, bool accepted) {
    const uint64_t fullAccess = uint64_t(0x40000) << 32;
    if ((m.script.ProductFlags & fullAccess) == 0 ||
        (m.script.ProductFlags & kFlagsUninstallEntry) == 0 || !m.script.UninstallSubdir.empty())
        return;
    const std::string problem =
        ": options.install-folder-full-access without uninstall.subfolder: the uninstaller, "
        "Uninstall.DAT and Install.log of an installation without administrator rights go into "
        "the install folder, which every user may change";
    if (!accepted)
        throw ManifestError(file.string() + problem +
                            "; name an uninstall.subfolder to keep them protected, or set "
                            "uninstall.records-in-open-folder = true to accept this");
    m.warnings.push_back(file.string() + problem +
                         " (accepted by uninstall.records-in-open-folder)");
}

}  // namespace

Manifest readManifest(const fs::path& file) {
    toml::table root;
    try {
        root = toml::parse_file(file.string());
    } catch (const toml::parse_error& e) {
        const auto& where = e.source().begin;
        throw ManifestError(file.string() + ":" + std::to_string(where.line) + ":" +
                            std::to_string(where.column) + ": " + std::string(e.description()));
    }
    Manifest m;
    Section top(file, "", &root);
    // A misspelt table name is the likeliest mistake; it is reported before anything else.
    top.allowOnly({"stub", "options", "product", "versions", "wizard", "background", "uninstall",
                   "batches", "registry", "firewall", "notifications", "prerequisite", "desktop",
                   "taskbar", "shortcuts", "associations", "programs-to-close", "languages",
                   "files"});
    std::string stub = top.text("stub");
    if (!stub.empty()) m.stub = file.parent_path() / fs::u8path(stub);
    readOptions(top.table("options"), m.script, m.payload);
    readProduct(top.table("product"), m.script, m.payload, m.executionLevel);
    readVersions(top.table("versions"), m.script);
    readWizard(top.table("wizard"), m.script);
    readBackground(top.table("background"), m.script);
    const bool openRecordsAccepted = readUninstall(top.table("uninstall"), m.script);
    readBatches(top.table("batches"), m.script);
    readRegistry(top.table("registry"), m.script);
    m.script.FirewallText = top.toAnsi("firewall", [&] {
        std::string t;
        for (const std::string& l : top.texts("firewall")) t += l + "\r\n";
        return t;
    }());
    readNotifications(top.table("notifications"), m.script);
    readPrerequisite(top.table("prerequisite"), m.script);
    readDesktop(top.table("desktop"), m.script);
    readTaskbar(top.table("taskbar"), m.script);
    readShortcuts(top, m.script);
    readAssociations(top, m.script);
    readProgramsToClose(top, m.script);
    readLanguages(top, m.script);
    m.payload.files = readFileSets(top);
    top.finish();
    if ((m.script.ProductFlags & kFlagsUninstallEntry) == 0 && !m.script.UninstallIcon.empty()) {
        throw ManifestError(file.string() + ": uninstall.icon: needs the uninstall-entry option");
    }
    checkOpenUninstallFolder(file, m, openRecordsAccepted);
    stampScriptDate(m.script);
    return m;
}

}  // namespace tessarin::build
