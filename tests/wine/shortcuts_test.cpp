// The shortcut action under Wine: links made in the real folders resolve to their targets
// through the shell's own link object, and the log and the uninstall record list them.
//
// The taskbar pin is decided for Windows 7 to 8.1 only. What Wine cannot show: a pinned
// taskbar button. Its default prefix reports Windows 10, where no pin is attempted and nothing
// is logged; a prefix set to Windows 7 would run the pin, but Wine has no "taskbarpin" verb, so
// the log says "FAIL". The test checks whichever of the two the prefix reports.
#include "actions/shortcuts.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/file_system.h"
#include "core/os_info.h"
#include "core/special_folders.h"
#include "memory_log_body.h"
#include "scratch_folder.h"
#include "services/install_log.h"
#include "services/progress.h"
#include "services/uninstall_data.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::S;
using testing::U;

using testing::MemoryBody;

using testing::present;
using testing::ScratchFolder;
using testing::w;

std::string bytes(const String& s) {
    return std::string(s.c_str(), static_cast<size_t>(s.length()));
}
std::string narrow(const std::u16string& s) {
    return std::string(s.begin(), s.end());  // ASCII paths only
}

// The link's target and arguments as IShellLinkW reads them.
bool resolve(const std::u16string& file, std::u16string& target, std::u16string& arguments) {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return false;
    IPersistFile* persist = nullptr;
    bool ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)));
    ok = ok && SUCCEEDED(persist->Load(w(file), STGM_READ));
    wchar_t text[MAX_PATH * 2];
    ok = ok && SUCCEEDED(link->GetPath(text, MAX_PATH * 2, nullptr, SLGP_RAWPATH));
    if (ok) target = reinterpret_cast<const char16_t*>(text);
    ok = ok && SUCCEEDED(link->GetArguments(text, MAX_PATH * 2));
    if (ok) arguments = reinterpret_cast<const char16_t*>(text);
    if (persist != nullptr) persist->Release();
    link->Release();
    return ok;
}

// The link's icon location as IShellLinkW reads it.
std::u16string iconOf(const std::u16string& file) {
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return u"(no link object)";
    IPersistFile* persist = nullptr;
    bool ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)));
    ok = ok && SUCCEEDED(persist->Load(w(file), STGM_READ));
    wchar_t text[MAX_PATH * 2] = {};
    int index = 0;
    ok = ok && SUCCEEDED(link->GetIconLocation(text, MAX_PATH * 2, &index));
    if (persist != nullptr) persist->Release();
    link->Release();
    return ok ? std::u16string(reinterpret_cast<const char16_t*>(text)) : u"(not read)";
}

// The status lines the progress window draws, in order (a line that follows the last one too
// soon waits for the next progress step).
struct ShownStatus : ProgressDisplay {
    std::vector<std::u16string> lines;
    void showStatus(const String& text) override { lines.push_back(U(text)); }
    void showPercent(int32_t) override {}
};

class ShortcutAction : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        saved_ = installScript().InstallDir;
        savedMenu_ = installScript().ProductStartMenu;
        savedFlags_ = installScript().ProductFlags;
        installScript().InstallDir = S(scratch.path());
        installScript().ProductStartMenu = S(menuName);
        installScript().ProductFlags = kFlagsLogEveryItem;
        uninstallData().clear();
        errorList().clear();
        setLogBody(&body);
    }
    void TearDown() override {
        setLogBody(nullptr);
        testing::removeTree(U(specialFolder(SpecialFolder::ProgramsMenu)) + u"\\" + menuName);
        DeleteFileW(w(U(specialFolder(SpecialFolder::Desktop)) + u"\\" + linkName + u".LNK"));
        DeleteFileW(w(U(specialFolder(SpecialFolder::Startup)) + u"\\" + linkName + u".LNK"));
        installScript().InstallDir = saved_;
        installScript().ProductStartMenu = savedMenu_;
        installScript().ProductFlags = savedFlags_;
        shortcutList().clear();
        uninstallData().clear();
        errorList().clear();
        CoUninitialize();
    }

    ScratchFolder scratch{u"tessarin-shortcuts-"};
    std::u16string menuName = u"Tessarin Shortcut Test";
    std::u16string linkName = u"Tessarin Shortcut Test App";
    MemoryBody body;
    String saved_, savedMenu_;
    uint64_t savedFlags_ = 0;
};

TEST_F(ShortcutAction, LinksResolveToTheirTargetsAndAreLoggedAndRecorded) {
    ASSERT_TRUE(testing::put(scratch / u"app.exe", "MZ"));
    ShortcutRecord r;
    r.target = String("%InstallDir%\\app.exe");
    r.expandTarget = true;
    r.name = S(linkName);
    r.arguments = String(u"/start %InstallDir%");
    r.desktop = r.startMenu = r.startup = true;
    r.folder = String(narrow(scratch / u"Links").c_str());
    shortcutList().append(r);
    CreateShortcuts();
    EXPECT_TRUE(errorList().empty()) << errorList().c_str();

    std::u16string links[] = {
        U(specialFolder(SpecialFolder::Desktop)) + u"\\" + linkName + u".LNK",
        U(specialFolder(SpecialFolder::ProgramsMenu)) + u"\\" + menuName + u"\\" + linkName +
            u".LNK",
        U(specialFolder(SpecialFolder::Startup)) + u"\\" + linkName + u".LNK",
        scratch / u"Links\\" + linkName + u".LNK",
    };
    std::string log = bytes(body.text);
    std::string records = bytes(uninstallData().deletionText());
    const char* prefixes[] = {"Desktop Shortcut(", "Start Menu Shortcut(", "Startup Shortcut(",
                              "Shortcut("};
    for (int i = 0; i < 4; ++i) {
        const std::u16string& link = links[i];
        SCOPED_TRACE(narrow(link));
        ASSERT_TRUE(present(link));
        std::u16string target, arguments;
        ASSERT_TRUE(resolve(link, target, arguments));
        EXPECT_EQ(target, scratch / u"app.exe");
        EXPECT_EQ(arguments, u"/start " + scratch.path());
        std::string line =
            std::string(prefixes[i]) + narrow(linkName) + ") >>> " + narrow(link) + "\r\n";
        EXPECT_NE(log.find(line), std::string::npos) << log;
        EXPECT_NE(records.find(narrow(link) + "\r\n"), std::string::npos) << records;
    }
    // The plain link's folder goes with it.
    EXPECT_NE(records.find("~" + narrow(scratch / u"Links") + "\r\n"), std::string::npos)
        << records;
}

TEST_F(ShortcutAction, IconLocationIsExpandedAndEachLinkShownOnTheStatusLine) {
    ASSERT_TRUE(testing::put(scratch / u"app.exe", "MZ"));
    ShortcutRecord r;
    r.target = String("%InstallDir%\\app.exe");
    r.expandTarget = true;
    r.name = S(linkName);
    r.icon = String("%SystemDir%\\shell32.dll");
    r.startup = true;
    r.folder = String(narrow(scratch / u"Links").c_str());
    shortcutList().append(r);
    ShownStatus shown;
    resetProgress();
    setProgressDisplay(&shown);
    CreateShortcuts();
    // The step's progress draws a status line that came too soon after the last one.
    setProgress(97);
    setProgressDisplay(nullptr);
    resetProgress();
    EXPECT_TRUE(errorList().empty()) << errorList().c_str();

    std::u16string startup = U(specialFolder(SpecialFolder::Startup)) + u"\\" + linkName;
    std::u16string plain = scratch / u"Links\\" + linkName;
    ASSERT_FALSE(shown.lines.empty());
    EXPECT_EQ(shown.lines.front(), startup + u".lnk");
    EXPECT_EQ(shown.lines.back(), plain + u".lnk");
    std::u16string shell32 = U(systemFolder()) + u"\\shell32.dll";
    EXPECT_EQ(iconOf(startup + u".LNK"), shell32);
    EXPECT_EQ(iconOf(plain + u".LNK"), shell32);
}

TEST_F(ShortcutAction, UninstallerIconIsWrittenAndRecorded) {
    String savedIcon = installScript().UninstallIcon;
    String savedDir = installScript().UninstallDir;
    installScript().ProductFlags = 0x4;
    installScript().UninstallIcon = String("\0\0\1\0icon", 8);
    installScript().UninstallDir = S(scratch.path());
    String icon = installUninstallerIcon();
    EXPECT_EQ(bytes(icon), narrow(scratch / u"uninstall.ico"));
    EXPECT_EQ(testing::get(scratch / u"uninstall.ico"), std::string("\0\0\1\0icon", 8));
    EXPECT_EQ(bytes(uninstallData().deletionText()), narrow(scratch / u"uninstall.ico") + "\r\n");

    // An uninstall folder that is not there: logged, and the links carry no icon.
    installScript().UninstallDir = S(scratch / u"missing\\deeper");
    EXPECT_TRUE(installUninstallerIcon().empty());
    EXPECT_EQ(
        bytes(body.text).rfind("Failed to install uninstaller icon to " +
                                   narrow(scratch / u"missing\\deeper\\uninstall.ico") + "\r\n",
                               0),
        0u)
        << bytes(body.text);
    installScript().UninstallIcon = savedIcon;
    installScript().UninstallDir = savedDir;
}

TEST_F(ShortcutAction, RootShortcutLiesInTheDriveRootAndIsRecorded) {
    ASSERT_TRUE(testing::put(scratch / u"run app.exe", "MZ"));
    InstallScript& script = installScript();
    script.RootShortcutCommand = String("\"%InstallDir%\\run app.exe\" -portable ");
    script.RootShortcutName = String("Tessarin Root Test");
    CreateRootShortcut();
    std::u16string link = scratch.path().substr(0, 3) + u"Tessarin Root Test.lnk";
    EXPECT_TRUE(errorList().empty()) << errorList().c_str();
    ASSERT_TRUE(present(link));
    std::u16string target, arguments;
    ASSERT_TRUE(resolve(link, target, arguments));
    EXPECT_EQ(target, scratch / u"run app.exe");
    EXPECT_EQ(arguments, u"-portable");
    EXPECT_NE(
        bytes(body.text).find("Root Shortcut(Tessarin Root Test) >>> " + narrow(link) + "\r\n"),
        std::string::npos)
        << bytes(body.text);
    EXPECT_EQ(bytes(uninstallData().deletionText()), narrow(link) + "\r\n");
    DeleteFileW(w(link));

    // A name the file system refuses: the link is listed as failed.
    script.RootShortcutName = String("bad|name");
    CreateRootShortcut();
    EXPECT_NE(std::string(errorList().c_str()).find("bad|name.lnk"), std::string::npos)
        << errorList().c_str();
    script.RootShortcutCommand = String();
    script.RootShortcutName = String();
}

TEST_F(ShortcutAction, TaskbarPinFollowsTheReportedSystem) {
    InstallScript& script = installScript();
    script.PinCommand = S(u"\"" + (scratch / u"app.exe") + u"\" -x");
    script.PinName = S(u"Tessarin Pin Test");
    std::u16string temporaryLink = U(temporaryFolder()) + u"\\Tessarin Pin Test.LNK";
    PinToTaskbar();
    const OsRecord& os = osRecord();
    std::string log = bytes(body.text);
    if (taskbarPinAllowed(os.major, os.minor, false)) {
        EXPECT_NE(log.find("Pin to taskbar(" + narrow(scratch / u"app.exe") + "): FAIL\r\n"),
                  std::string::npos)
            << log;
        std::string pinned = narrow(U(specialFolder(SpecialFolder::AppData))) +
                             "\\Microsoft\\Internet Explorer\\Quick Launch\\User "
                             "Pinned\\TaskBar\\Tessarin Pin Test.lnk\r\n";
        EXPECT_EQ(bytes(uninstallData().deletionText()), pinned);
    } else {
        EXPECT_EQ(log, "");
        EXPECT_TRUE(uninstallData().deletionText().empty());
    }
    EXPECT_FALSE(present(temporaryLink));
    script.PinCommand = String();
    script.PinName = String();
}

TEST_F(ShortcutAction, DesktopFolderGetsTheLinksAndItsIcon) {
    ASSERT_TRUE(testing::put(scratch / u"app.exe", "MZ"));
    InstallScript& script = installScript();
    String savedFolder = script.DesktopFolder, savedShortcuts = script.DesktopShortcuts;
    String savedIcon = script.DesktopFolderIcon, savedUninstall = script.UninstallDir;
    std::u16string folder = scratch / u"Desktop\\Product";
    script.DesktopFolder = S(u"Product");
    script.DesktopShortcuts = S(folder);
    script.DesktopFolderIcon = String("\0\0\1\0icon", 8);
    script.UninstallDir = S(scratch.path());
    ShortcutRecord r;
    r.target = String("%InstallDir%\\app.exe");
    r.expandTarget = true;
    r.name = S(linkName);
    r.desktop = true;
    shortcutList().append(r);
    CreateShortcuts();
    EXPECT_TRUE(errorList().empty()) << errorList().c_str();

    std::u16string link = folder + u"\\" + linkName + u".LNK";
    std::u16string target, arguments;
    ASSERT_TRUE(resolve(link, target, arguments));
    EXPECT_EQ(target, scratch / u"app.exe");
    std::u16string icon = scratch / u"Desktop Icon.ico";
    EXPECT_EQ(testing::get(icon), std::string("\0\0\1\0icon", 8));
    std::u16string ini = folder + u"\\Desktop.ini";
    wchar_t text[MAX_PATH];
    GetPrivateProfileStringW(L".ShellClassInfo", L"IconFile", L"", text, MAX_PATH, w(ini));
    EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(text)), icon);
    GetPrivateProfileStringW(L".ShellClassInfo", L"IconIndex", L"", text, MAX_PATH, w(ini));
    EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(text)), u"0");
    EXPECT_NE(GetFileAttributesW(w(folder)) & FILE_ATTRIBUTE_SYSTEM, 0u);
    EXPECT_EQ(GetFileAttributesW(w(ini)) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
              DWORD{FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM});
    std::string records = bytes(uninstallData().deletionText());
    EXPECT_EQ(records, narrow(ini) + "\r\n~" + narrow(folder) + "\r\n" + narrow(icon) + "\r\n" +
                           narrow(link) + "\r\n");
    SetFileAttributesW(w(ini), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesW(w(folder), FILE_ATTRIBUTE_DIRECTORY);
    script.DesktopFolder = savedFolder;
    script.DesktopShortcuts = savedShortcuts;
    script.DesktopFolderIcon = savedIcon;
    script.UninstallDir = savedUninstall;
}

}  // namespace
}  // namespace tessarin
