// Which links are made for a shortcut list, with what, and what is logged and recorded:
// decided against a scripted shell.
#include "actions/shortcuts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/shell_link.h"
#include "memory_log_body.h"
#include "services/install_log.h"
#include "services/progress.h"
#include "services/uninstall_data.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::bytes;
using testing::MemoryBody;

using testing::fromUtf8;
using testing::utf8;

// A shell with a desktop, a programs menu and Startup folders; links whose path contains
// refuse fail with "Access is denied.".
class ScriptedShell : public ShortcutSystem {
  public:
    struct Link {
        std::string where, path, target, arguments, folder, icon;
        uint32_t options;
    };
    void expand(String& text) override {
        text.replaceAllWide(u"%InstallDir%", u"C:\\App");
        text.replaceAllWide(u"%Docs%", u"C:\\Docs");
    }
    bool folderExists(const String& path) override {
        return utf8(path) == "C:\\App\\bin" || utf8(path) == "C:\\App";
    }
    bool createLink(const String& linkFile, const String& target, const String& arguments,
                    const String& folder, const String& icon, uint32_t options,
                    String& finalPath) override {
        return make("plain", linkFileName(linkFile), target, arguments, folder, icon, options,
                    finalPath);
    }
    bool createDesktopLink(const String& name, const String& target, const String& arguments,
                           const String& folder, const String& icon, uint32_t options,
                           String& finalPath) override {
        String path(options & kShortcutAllUsers ? u"C:\\Users\\Public\\Desktop\\"
                                                : u"C:\\Users\\me\\Desktop\\");
        path.append(linkFileName(name));
        return make("desktop", path, target, arguments, folder, icon, options, finalPath);
    }
    bool createProgramsMenuLink(const String& name, const String& target, const String& arguments,
                                const String& folder, const String& icon, uint32_t options,
                                String& finalPath) override {
        String path(u"C:\\Menu\\");
        path.append(linkFileName(name));
        return make("menu", path, target, arguments, folder, icon, options, finalPath);
    }
    String startupFolder(bool allUsers) override {
        return String(allUsers ? u"C:\\Common Startup" : u"C:\\My Startup");
    }
    bool createFolder(const String& path) override {
        made.push_back("folder " + utf8(path));
        return refuse.empty() || utf8(path).find(refuse) == std::string::npos;
    }
    bool writeDesktopFolderIcon(const String& path) override {
        made.push_back("icon " + utf8(path));
        return !iconRefused;
    }
    void setFolderIcon(const String& folder, const String& icon) override {
        made.push_back("folder icon " + utf8(folder) + " " + utf8(icon));
    }
    String lastErrorText() override { return String("Access is denied."); }
    void showStatus(const String& text) override { shown.push_back(utf8(text)); }

    bool make(const char* where, const String& path, const String& target, const String& arguments,
              const String& folder, const String& icon, uint32_t options, String& finalPath) {
        if (!refuse.empty() && utf8(path).find(refuse) != std::string::npos) return false;
        finalPath = path;
        links.push_back(
            {where, utf8(path), utf8(target), utf8(arguments), utf8(folder), utf8(icon), options});
        return true;
    }

    std::string refuse;
    bool iconRefused = false;
    std::vector<std::string> made;  // folders, icons and folder icons, in order
    std::vector<Link> links;
    std::vector<std::string> shown;
};

class Shortcuts : public ::testing::Test {
  protected:
    void SetUp() override {
        setLogBody(&body);
        errorList().clear();
        uninstallData().clear();
        settings.installDir = String(u"C:\\App");
        settings.uninstallDir = String(u"C:\\App\\Uninstall");
        settings.productStartMenu = String(u"Product");
        settings.defaultNameText = String(u"Start %s");
        settings.failureText = String("Could not create the shortcut");
    }
    void TearDown() override {
        setLogBody(nullptr);
        errorList().clear();
        uninstallData().clear();
    }
    ShortcutRecord record(const char* target, const char* name) {
        ShortcutRecord r;
        r.target = String(target);
        r.name = fromUtf8(name);
        return r;
    }
    MemoryBody body;
    ShortcutSettings settings;
    ScriptedShell shell;
};

TEST_F(Shortcuts, PreparationFillsTargetFolderNameAndOptions) {
    struct Case {
        const char* target;
        bool expand;
        const char* arguments;
        const char* folder;
        const char* name;
        uint8_t window;
        const char* wantTarget;
        const char* wantArguments;
        const char* wantFolder;
        const char* wantName;
        uint32_t wantOptions;
    } cases[] = {
        {"%InstallDir%\\app.exe", true, "-x %InstallDir%", "%InstallDir%\\bin", " App ", 0,
         "C:\\App\\app.exe", "-x C:\\App", "C:\\App\\bin", "App", 0},
        // Without expand-target the variable stays, and the target has no colon: it is
        // completed against the install folder.
        {"%InstallDir%\\app.exe", false, "", "C:\\Missing", "App", 1,
         "C:\\App\\%InstallDir%\\app.exe", "", "C:\\App", "App", kShortcutMinimized},
        {"tool.exe", true, "", "", "", 2, "C:\\App\\tool.exe", "", "C:\\App", "Start tool.exe",
         kShortcutMaximized},
        {"ignored.exe", true, "~\" %Docs%\\read me.txt \"  /p  ", "", "Doc", 0,
         "C:\\Docs\\read me.txt", "/p", "C:\\App", "Doc", 0},
    };
    for (const Case& c : cases) {
        ShortcutRecord r = record(c.target, c.name);
        r.expandTarget = c.expand;
        r.arguments = fromUtf8(c.arguments);
        r.workingFolder = String(c.folder);
        r.windowState = c.window;
        PreparedShortcut p = prepareShortcut(r, settings, shell);
        EXPECT_EQ(utf8(p.target), c.wantTarget) << c.target;
        EXPECT_EQ(utf8(p.arguments), c.wantArguments) << c.arguments;
        EXPECT_EQ(utf8(p.workingFolder), c.wantFolder) << c.folder;
        EXPECT_EQ(utf8(p.name), c.wantName) << c.name;
        EXPECT_EQ(p.options, c.wantOptions) << c.target;
    }
    settings.allUsers = true;
    EXPECT_EQ(prepareShortcut(record("C:\\a.exe", "A"), settings, shell).options,
              static_cast<uint32_t>(kShortcutAllUsers));
}

TEST_F(Shortcuts, IconIsExpandedThenCompletedAgainstTheUninstallFolder) {
    const struct {
        const char* icon;  // narrow path form
        const char* want;
    } cases[] = {
        {"uninstall.ico", "C:\\App\\Uninstall\\uninstall.ico"},
        {"D:\\icons\\a.ico", "D:\\icons\\a.ico"},
        {"%InstallDir%\\bin\\app.ico", "C:\\App\\bin\\app.ico"},
        {"|%Docs%\\Caf\xC3\xA9.ico", "C:\\Docs\\Café.ico"},
        {"", ""},
    };
    for (const auto& c : cases) {
        ShortcutRecord r = record("C:\\a.exe", "A");
        r.icon = String(c.icon);
        EXPECT_EQ(utf8(prepareShortcut(r, settings, shell).icon), c.want) << c.icon;
    }
}

TEST_F(Shortcuts, EveryPlaceGetsItsLinkLogLineAndRecords) {
    settings.productFlags = kFlagsLogEveryItem;
    ShortcutRecord r = record("C:\\App\\app.exe", "Tools\\App");
    r.desktop = r.startMenu = r.startup = true;
    r.folder = String("%Docs%");
    Vector<ShortcutRecord> list;
    list.append(r);
    createShortcutLinks(list, settings, shell);

    ASSERT_EQ(shell.links.size(), 4u);
    EXPECT_EQ(shell.links[0].where, "desktop");
    EXPECT_EQ(shell.links[1].path, "C:\\Menu\\Product\\Tools\\App.LNK");
    EXPECT_EQ(shell.links[2].path, "C:\\My Startup\\Tools\\App.LNK");
    EXPECT_EQ(shell.links[3].path, "C:\\Docs\\Tools\\App.LNK");
    for (auto& link : shell.links) EXPECT_EQ(link.target, "C:\\App\\app.exe") << link.where;

    EXPECT_EQ(bytes(body.text),
              "\r\n"
              "Desktop Shortcut(Tools\\App) >>> C:\\Users\\me\\Desktop\\Tools\\App.LNK\r\n"
              "Start Menu Shortcut(Tools\\App) >>> C:\\Menu\\Product\\Tools\\App.LNK\r\n"
              "Startup Shortcut(Tools\\App) >>> C:\\My Startup\\Tools\\App.LNK\r\n"
              "Shortcut(Tools\\App) >>> C:\\Docs\\Tools\\App.LNK\r\n");
    // A subfolder of the desktop and the menu goes with its link; Startup links record only
    // the link; a plain link always records its folder.
    EXPECT_EQ(bytes(uninstallData().deletionText()),
              "C:\\Users\\me\\Desktop\\Tools\\App.LNK\r\n"
              "~C:\\Users\\me\\Desktop\\Tools\r\n"
              "C:\\Menu\\Product\\Tools\\App.LNK\r\n"
              "~C:\\Menu\\Product\\Tools\r\n"
              "C:\\My Startup\\Tools\\App.LNK\r\n"
              "C:\\Docs\\Tools\\App.LNK\r\n"
              "~C:\\Docs\\Tools\r\n");
    EXPECT_TRUE(errorList().empty());
}

TEST_F(Shortcuts, CommonStartupAndNoFolderRecordForAPlainName) {
    settings.allUsers = true;
    ShortcutRecord r = record("C:\\App\\app.exe", "App");
    r.startup = r.desktop = true;
    Vector<ShortcutRecord> list;
    list.append(r);
    createShortcutLinks(list, settings, shell);
    ASSERT_EQ(shell.links.size(), 2u);
    EXPECT_EQ(shell.links[0].path, "C:\\Users\\Public\\Desktop\\App.LNK");
    EXPECT_EQ(shell.links[1].path, "C:\\Common Startup\\App.LNK");
    // The desktop line is written only when every item is logged.
    EXPECT_EQ(bytes(body.text), "Startup Shortcut(App) >>> C:\\Common Startup\\App.LNK\r\n");
    EXPECT_EQ(bytes(uninstallData().deletionText()),
              "C:\\Users\\Public\\Desktop\\App.LNK\r\nC:\\Common Startup\\App.LNK\r\n");
}

TEST_F(Shortcuts, PermanentLinksAreNotRecordedAndFailuresReportedUnlessQuiet) {
    Vector<ShortcutRecord> list;
    ShortcutRecord kept = record("C:\\App\\app.exe", "Sub\\Kept");
    kept.startMenu = kept.permanent = true;
    list.append(kept);
    ShortcutRecord refused = record("C:\\App\\app.exe", "Refused");
    refused.startMenu = true;
    list.append(refused);
    ShortcutRecord quiet = refused;
    quiet.quiet = true;
    list.append(quiet);
    shell.refuse = "Refused";
    createShortcutLinks(list, settings, shell);
    ASSERT_EQ(shell.links.size(), 1u);
    EXPECT_TRUE(uninstallData().deletionText().empty());
    EXPECT_EQ(bytes(errorList()),
              "Could not create the shortcut Product\\Refused\r\nAccess is denied.\r\n\r\n");
    EXPECT_EQ(bytes(body.text),
              "Start Menu Shortcut(Sub\\Kept) >>> C:\\Menu\\Product\\Sub\\Kept.LNK\r\n");
}

TEST_F(Shortcuts, StatusLineShowsEachLinkUnlessNamesAreHidden) {
    ShortcutRecord r = record("C:\\App\\app.exe", "App");
    r.startup = true;
    Vector<ShortcutRecord> list;
    list.append(r);
    createShortcutLinks(list, settings, shell);
    EXPECT_EQ(shell.shown, std::vector<std::string>{"C:\\My Startup\\App.lnk"});
    shell.shown.clear();
    settings.productFlags = kFlagsHideFileNames;
    createShortcutLinks(list, settings, shell);
    EXPECT_TRUE(shell.shown.empty());
}

TEST_F(Shortcuts, DesktopFolderReceivesTheDesktopLinksAndIsPreparedOnce) {
    settings.desktopShortcuts = String(u"C:\\Users\\me\\Desktop\\Product");
    settings.desktopFolderIcon = true;
    settings.productFlags = kFlagsLogEveryItem;
    Vector<ShortcutRecord> list;
    ShortcutRecord a = record("a.exe", "A");
    a.desktop = true;
    ShortcutRecord b = record("b.exe", "Tools\\B");
    b.desktop = true;
    list.append(a);
    list.append(b);
    createShortcutLinks(list, settings, shell);

    ASSERT_EQ(shell.links.size(), 2u);
    EXPECT_EQ(shell.links[0].where, "plain");
    EXPECT_EQ(shell.links[0].path, "C:\\Users\\me\\Desktop\\Product\\A.LNK");
    EXPECT_EQ(shell.links[1].path, "C:\\Users\\me\\Desktop\\Product\\Tools\\B.LNK");
    const std::vector<std::string> made = {
        "folder C:\\Users\\me\\Desktop\\Product", "icon C:\\App\\Uninstall\\Desktop Icon.ico",
        "folder icon C:\\Users\\me\\Desktop\\Product C:\\App\\Uninstall\\Desktop Icon.ico"};
    EXPECT_EQ(shell.made, made);
    EXPECT_EQ(bytes(uninstallData().deletionText()),
              "C:\\Users\\me\\Desktop\\Product\\Desktop.ini\r\n"
              "~C:\\Users\\me\\Desktop\\Product\r\n"
              "C:\\App\\Uninstall\\Desktop Icon.ico\r\n"
              "C:\\Users\\me\\Desktop\\Product\\A.LNK\r\n"
              "C:\\Users\\me\\Desktop\\Product\\Tools\\B.LNK\r\n"
              "~C:\\Users\\me\\Desktop\\Product\\Tools\r\n");
    EXPECT_NE(bytes(body.text).find("Desktop Folder Shortcut(A) >>> "
                                    "C:\\Users\\me\\Desktop\\Product\\A.LNK\r\n"),
              std::string::npos)
        << bytes(body.text);
    EXPECT_TRUE(errorList().empty());
}

TEST_F(Shortcuts, DesktopFolderFailuresAreListed) {
    settings.desktopShortcuts = String(u"C:\\Locked\\Product");
    settings.desktopFolderIcon = true;
    shell.refuse = "Locked";
    shell.iconRefused = true;
    Vector<ShortcutRecord> list;
    ShortcutRecord a = record("a.exe", "A");
    a.desktop = true;
    list.append(a);
    createShortcutLinks(list, settings, shell);
    EXPECT_EQ(std::string(errorList().c_str()),
              "Failed to create directory C:\\Locked\\Product: Access is denied.\r\n\r\n"
              "Failed to create Desktop shortcut folder icon \"C:\\App\\Uninstall\\Desktop "
              "Icon.ico\"\r\n"
              "Could not create the shortcut C:\\Locked\\Product\\A\r\nAccess is denied.\r\n\r\n");
    // No icon is set on a folder whose icon file could not be written.
    EXPECT_EQ(shell.made.size(), 2u);
}

TEST(ShortcutRecords, ScriptRequestsExpandTheirTargets) {
    InstallScript script;
    ScriptShortcut s;
    s.Target = String("%InstallDir%\\a.exe");
    s.Name = String(u"A");
    s.Desktop = 1;
    s.Startup = 1;
    s.WindowState = 2;
    s.Permanent = 1;
    s.Folder = String("C:\\F");
    script.Shortcuts.append(s);
    Vector<ShortcutRecord> list;
    appendScriptShortcuts(script, list);
    ASSERT_EQ(list.count(), 1);
    const ShortcutRecord& r = list[0];
    EXPECT_TRUE(r.expandTarget && r.desktop && r.startup && r.permanent);
    EXPECT_FALSE(r.startMenu || r.quiet);
    EXPECT_EQ(r.windowState, 2);
    EXPECT_EQ(bytes(r.folder), "C:\\F");
}

TEST(ShortcutRecords, UninstallerLinksFollowTheOptions) {
    UninstallerShortcuts request;
    request.uninstaller = String(u"C:\\App\\Uninstall\\uninstall.exe");
    // A key name outside every single-byte code page reaches the link as it is.
    request.keyName = fromUtf8("Продукт 製品");
    request.name = String(u"Uninstall Product");
    request.icon = String("C:\\App\\Uninstall\\uninstall.ico");
    request.uninstallDir = String(u"C:\\App\\Uninstall");
    request.logFile = String(u"C:\\App\\Uninstall\\Install.log");
    request.logName = String(u"Installation log");

    Vector<ShortcutRecord> none;
    appendUninstallerShortcuts(request, none);
    EXPECT_TRUE(none.empty());

    request.productFlags = kFlagsUninstallerStartMenu | kFlagsUninstallerDesktop |
                           kFlagsUninstallerInFolder | kFlagsLogStartMenu;
    Vector<ShortcutRecord> list;
    appendUninstallerShortcuts(request, list);
    ASSERT_EQ(list.count(), 4);
    EXPECT_TRUE(list[0].startMenu && !list[0].desktop);
    EXPECT_TRUE(list[1].desktop && !list[1].startMenu);
    EXPECT_EQ(bytes(list[2].folder), "C:\\App\\Uninstall");
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(list[i].quiet);
        EXPECT_FALSE(list[i].expandTarget);
        EXPECT_EQ(bytes(list[i].target), "C:\\App\\Uninstall\\uninstall.exe");
        EXPECT_EQ(utf8(list[i].arguments), "/u:\"Продукт 製品\"");
        EXPECT_EQ(bytes(list[i].icon), "C:\\App\\Uninstall\\uninstall.ico");
        EXPECT_EQ(utf8(list[i].name), "Uninstall Product");
    }
    EXPECT_TRUE(list[3].startMenu && !list[3].quiet);
    EXPECT_EQ(bytes(list[3].target), "C:\\App\\Uninstall\\Install.log");
    EXPECT_EQ(utf8(list[3].name), "Installation log");
}

TEST(ShortcutRecords, ListAndPinConditions) {
    EXPECT_TRUE(shortcutListRuns(false, kFlags2NoPortableShortcuts));
    EXPECT_TRUE(shortcutListRuns(true, 0));
    EXPECT_FALSE(shortcutListRuns(true, kFlags2NoPortableShortcuts));
    struct {
        uint32_t major, minor;
        bool portable, pin;
    } cases[] = {{5, 1, false, false}, {6, 0, false, false}, {6, 1, false, true},
                 {6, 2, false, true},  {6, 3, false, true},  {6, 3, true, false},
                 {10, 0, false, false}};
    for (auto& c : cases)
        EXPECT_EQ(taskbarPinAllowed(c.major, c.minor, c.portable), c.pin)
            << c.major << "." << c.minor << " portable " << c.portable;
}

struct SplitCase {
    const char16_t* command;
    const char* rootProgram;
    const char* rootArguments;
    const char* pinProgram;
    const char* pinArguments;
};

TEST(ShortcutRecords, RootAndPinCommandsSplitByTheirOwnRules) {
    const SplitCase cases[] = {
        {u"\"E:\\My App\\app.exe\" -a  -b ", "E:\\My App\\app.exe", "-a  -b", "E:\\My App\\app.exe",
         "-a  -b"},
        // Unquoted: the root shortcut splits at the first blank, the pin keeps the whole text.
        {u"E:\\app.exe /x", "E:\\app.exe", "/x", "E:\\app.exe /x", ""},
        {u"\"E:\\open.exe", "E:\\open.exe", "", "E:\\open.exe", ""},
        {u"", "", "", "", ""},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(utf8(String(c.command)));
        String program, arguments;
        splitFirstToken(String(c.command), program, arguments);
        EXPECT_EQ(utf8(program), c.rootProgram);
        EXPECT_EQ(utf8(arguments), c.rootArguments);
        splitPinCommand(String(c.command), program, arguments);
        EXPECT_EQ(utf8(program), c.pinProgram);
        EXPECT_EQ(utf8(arguments), c.pinArguments);
    }
}

TEST(ShortcutRecords, RootLinkAndPinnedCopyPaths) {
    EXPECT_EQ(utf8(rootShortcutPath(String(u"F:\\Portable\\App"), String(u"Start App"))),
              "F:\\Start App.lnk");
    EXPECT_EQ(utf8(pinnedLinkPath(String(u"C:\\Users\\u\\AppData\\Roaming"), String(u"App"))),
              "C:\\Users\\u\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick "
              "Launch\\User Pinned\\TaskBar\\App.lnk");
}

}  // namespace
}  // namespace tessarin
