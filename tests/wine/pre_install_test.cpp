// The pre-install steps against the prefix: a previous installation's uninstall key (HKLM,
// 32-bit view), a default folder named by an HKCU value, the single-instance mutex held by
// another owner, the folders and the log lines of the preparation, and the space estimate for a
// real drive. Keys and values are written and read back with direct Win32 calls.
#include "actions/pre_install.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "core/desktop.h"
#include "core/privilege.h"
#include "package/payload.h"
#include "scratch_folder.h"
#include "services/install_log.h"
#include "services/setup_state.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::get;
using testing::present;
using testing::ScratchFolder;
using testing::utf8;
using testing::w;

std::u16string pid() {
    return reinterpret_cast<const char16_t*>(std::to_wstring(GetCurrentProcessId()).c_str());
}

// A key of the test, deleted with its values at the end.
class TestKey {
  public:
    TestKey(HKEY root, const std::u16string& path, REGSAM view)
        : root_(root), path_(path), view_(view) {
        RegCreateKeyExW(root, w(path), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key_,
                        nullptr);
    }
    ~TestKey() {
        RegCloseKey(key_);
        RegDeleteKeyExW(root_, w(path_), view_, 0);
    }
    void text(const char16_t* name, const std::u16string& value) {
        RegSetValueExW(key_, w(name), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * 2));
    }
    void ansi(const char* name, const std::string& value) {
        RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    }

  private:
    HKEY root_;
    std::u16string path_;
    REGSAM view_;
    HKEY key_ = nullptr;
};

class PreInstallTest : public ::testing::Test {
  protected:
    void SetUp() override { reset(); }
    void TearDown() override { reset(); }
    static void reset() {
        installScript() = InstallScript();
        preInstallState() = PreInstallState();
        setupState().AutomaticMode = true;
    }
};

TEST_F(PreInstallTest, PreviousInstallationGivesFolderVersionAndUpgradeKind) {
    ScratchFolder folder(u"previous");
    std::u16string name = u"TessarinPreInstall" + pid();
    TestKey key(HKEY_LOCAL_MACHINE,
                u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + name,
                KEY_WOW64_32KEY);
    key.text(u"InstallLocation", folder.path());
    key.ansi("DisplayVersion", "2.10");
    key.ansi("SharedFiles", "C:\\Shared\\a.dll");
    key.text(u"ProductStartMenu", u"Vendor\\Product");

    InstallScript& s = installScript();
    s.UninstallKeyName = String(name.c_str());
    s.ProductFlags = kFlagsUninstallEntry | kFlagsUpgradeKinds;
    s.Version8 = String("2.9");
    s.InstallDir = String(u"C:\\Elsewhere");
    s.ProductStartMenu = String(u"Fresh");

    RunPreInstallChecks();
    const PreInstallState& state = preInstallState();
    EXPECT_TRUE(state.replacingInstallation);
    EXPECT_EQ(utf8(state.previousFolder), utf8(String(folder.path().c_str())));
    EXPECT_EQ(testing::bytes(state.previousSharedFiles), "C:\\Shared\\a.dll");
    EXPECT_EQ(utf8(s.OldVersion), "2.10");

    DecideTargetFolder();
    EXPECT_EQ(state.upgradeKind, kUpgradeDowngrade);  // 2.10 installed, 2.9 offered
    EXPECT_EQ(utf8(s.InstallDir), utf8(String(folder.path().c_str())));
    EXPECT_EQ(utf8(s.ProductStartMenu), "Vendor\\Product");
    EXPECT_FALSE(state.portable);
}

TEST_F(PreInstallTest, MissingPreviousFolderIsNoReplacement) {
    std::u16string name = u"TessarinPreInstallGone" + pid();
    TestKey key(HKEY_LOCAL_MACHINE,
                u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + name,
                KEY_WOW64_32KEY);
    key.text(u"InstallLocation", u"C:\\No\\Such\\Folder" + pid());
    installScript().UninstallKeyName = String(name.c_str());
    installScript().ProductFlags = kFlagsUninstallEntry;
    RunPreInstallChecks();
    EXPECT_FALSE(preInstallState().replacingInstallation);
}

TEST_F(PreInstallTest, DefaultFolderFromCurrentUserValue) {
    ScratchFolder folder(u"regfolder");
    std::u16string keyPath = u"Software\\TessarinPreInstall" + pid();
    TestKey key(HKEY_CURRENT_USER, keyPath, 0);
    key.text(u"Path", folder.path());
    key.text(u"Empty", u"");
    key.text(u"Gone", folder.path() + u"\\missing");
    String found, refusal;
    String text((u"HKCU\\" + keyPath).c_str());
    String valueText = text;
    valueText.appendWide(u"\\Path");
    ASSERT_TRUE(registryDefaultFolder(valueText, found, refusal)) << utf8(refusal);
    EXPECT_EQ(utf8(found), utf8(String(folder.path().c_str())));

    String emptyText = text;
    emptyText.appendWide(u"\\Empty");
    EXPECT_FALSE(registryDefaultFolder(emptyText, found, refusal));
    EXPECT_EQ(utf8(refusal), "Failed to obtain installation path from \"" + utf8(emptyText) + "\"");

    String goneText = text;
    goneText.appendWide(u"\\Gone");
    EXPECT_FALSE(registryDefaultFolder(goneText, found, refusal));
    EXPECT_EQ(utf8(refusal), "Installation path \"" + utf8(String(folder.path().c_str())) +
                                 "\\missing\" obtained from \"" + utf8(goneText) +
                                 "\" does not exist.");

    // The step itself takes the folder and looks at no previous installation.
    installScript().DefaultInstallDir = valueText;
    installScript().ProductFlags = kFlagsUninstallEntry;
    preInstallState().replacingInstallation = true;
    preInstallState().previousFolder = String(u"C:\\Previous");
    DecideTargetFolder();
    EXPECT_EQ(utf8(installScript().InstallDir), utf8(String(folder.path().c_str())));
}

DWORD WINAPI holdMutex(void* events) {
    HANDLE* e = static_cast<HANDLE*>(events);
    HANDLE mutex = CreateMutexW(nullptr, TRUE, L"Tessarin TQS");
    SetEvent(e[0]);
    WaitForSingleObject(e[1], INFINITE);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 0;
}

TEST_F(PreInstallTest, SingleInstanceMutexHeldByAnotherOwnerRefuses) {
    HANDLE events[2] = {CreateEventW(nullptr, TRUE, FALSE, nullptr),
                        CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    HANDLE thread = CreateThread(nullptr, 0, holdMutex, events, 0, nullptr);
    WaitForSingleObject(events[0], INFINITE);
    EXPECT_TRUE(anotherInstanceRunning());

    SetEvent(events[1]);
    WaitForSingleObject(thread, INFINITE);
    EXPECT_FALSE(anotherInstanceRunning());  // free now: this process takes it
    EXPECT_FALSE(anotherInstanceRunning());  // and keeps it
    releaseSingleInstanceMutex();
    for (HANDLE h : {events[0], events[1], thread}) CloseHandle(h);
}

TEST_F(PreInstallTest, SpaceEstimateUsesTheDrivesClusters) {
    ScratchFolder folder(u"space");
    std::u16string root = folder.path().substr(0, 3);
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    ASSERT_TRUE(
        GetDiskFreeSpaceW(w(root), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters));
    uint64_t cluster = uint64_t(sectorsPerCluster) * bytesPerSector;
    ASSERT_GT(cluster, 1u);

    Payload& payload = setupPayload();
    Payload saved;
    saved.header.FileSizes = payload.header.FileSizes;
    saved.uninstallerSize = payload.uninstallerSize;
    payload.header.FileSizes = {1, static_cast<int32_t>(cluster + 1)};
    payload.uninstallerSize = 1000;
    installScript().ExtraSpace = 7;
    EXPECT_EQ(estimateSpaceFor(String(folder.path().c_str())), 3 * cluster + 1000 + 7);
    payload.header.FileSizes = saved.header.FileSizes;
    payload.uninstallerSize = saved.uninstallerSize;
}

TEST_F(PreInstallTest, PreparationMakesTheFoldersAndLogsTheRights) {
    ScratchFolder folder(u"prepare");
    InstallScript& s = installScript();
    s.InstallDir = String((folder.path() + u"\\Product").c_str());
    CreateDirectoryW(w(folder.path() + u"\\Product"), nullptr);
    s.UninstallSubdir = String(u"Data\\Uninstall");
    s.SharedDir = String((folder.path() + u"\\Shared\\Vendor").c_str());
    s.ProductFlags = kFlagsUninstallEntry | kFlagsEveryoneInstallDir;

    PrepareSystem();
    String body;
    ASSERT_NE(logBody(), nullptr);
    logBody()->read(body);
    discardLogBody();

    EXPECT_TRUE(present(folder.path() + u"\\Product\\Data\\Uninstall"));
    EXPECT_EQ(utf8(s.UninstallDir),
              utf8(String((folder.path() + u"\\Product\\Data\\Uninstall").c_str())));
    EXPECT_TRUE(present(folder.path() + u"\\Shared\\Vendor"));
    EXPECT_TRUE(preInstallState().spaceEstimated);
    std::string log = testing::bytes(body);
    EXPECT_NE(log.find("Granting rights to directory \"" + utf8(s.InstallDir) + "\"...OK\r\n"),
              std::string::npos)
        << log;
}

// An elevated installation (Wine's token is an administrator's) whose script names no uninstall
// subfolder makes one, so that the uninstaller's records do not lie in an install folder users
// may change, and gives it its own access list even though the install folder is not opened.
TEST_F(PreInstallTest, ElevatedPreparationKeepsTheRecordsInAProtectedSubfolder) {
    ASSERT_TRUE(runsElevated());
    ScratchFolder folder(u"prepare-elevated");
    InstallScript& s = installScript();
    s.InstallDir = String((folder.path() + u"\\Product").c_str());
    CreateDirectoryW(w(folder.path() + u"\\Product"), nullptr);
    s.UninstallSubdir = String();
    s.SharedDir = String();
    s.ProductFlags = kFlagsUninstallEntry;

    PrepareSystem();
    String body;
    ASSERT_NE(logBody(), nullptr);
    logBody()->read(body);
    discardLogBody();

    const std::u16string records = folder.path() + u"\\Product\\Uninstall";
    EXPECT_EQ(utf8(s.UninstallSubdir), "Uninstall");
    EXPECT_EQ(utf8(s.UninstallDir), utf8(String(records.c_str())));
    EXPECT_TRUE(present(records));
    std::string log = testing::bytes(body);
    EXPECT_NE(
        log.find("Protecting uninstall data folder \"" + utf8(s.UninstallDir) + "\"...OK\r\n"),
        std::string::npos)
        << log;
    EXPECT_EQ(log.find("Granting rights"), std::string::npos) << log;
}

TEST_F(PreInstallTest, TopLevelWindowsAreFoundAndClosedByTheirEntry) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TessarinPreInstallProbe";
    RegisterClassW(&wc);
    HWND window =
        CreateWindowExW(0, wc.lpszClassName, L"Probe Editor - notes.txt", WS_OVERLAPPEDWINDOW, 0, 0,
                        100, 100, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);

    Vector<ProgramToClose> list;
    ProgramToClose entry;
    entry.TitleText = String("*Editor");
    entry.Options = 0x1;
    list.append(entry);
    const TopLevelWindow* found = nullptr;
    std::vector<TopLevelWindow> windows = topLevelWindows();
    for (const TopLevelWindow& candidate : windows)
        if (candidate.window == window) found = &candidate;
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(testing::bytes(found->className), "TessarinPreInstallProbe");
    EXPECT_EQ(found->processId, currentProcessId());
    EXPECT_EQ(closeRuleFor(installCloseRules(list), found->className, found->title), 0);

    // WM_CLOSE reaches the default procedure, which destroys the window.
    ASSERT_TRUE(postCloseMessage(window));
    MSG msg;
    while (windowExists(window) && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    EXPECT_FALSE(windowExists(window));
    UnregisterClassW(wc.lpszClassName, wc.hInstance);
}

}  // namespace
}  // namespace tessarin
