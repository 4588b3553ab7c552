// The folder-browse dialog, operated from a second thread the way a user would: wait for the
// dialog, then press OK or Cancel.
#include "core/folder_browser.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>

namespace tessarin {
namespace {

struct Search {
    DWORD process;
    HWND found;
};

BOOL CALLBACK onWindow(HWND window, LPARAM context) {
    Search* search = reinterpret_cast<Search*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t cls[16] = {};
    GetClassNameW(window, cls, 16);
    if (pid == search->process && IsWindowVisible(window) && std::wstring(cls) == L"#32770") {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// Presses a button of the browse dialog once it is shown and its OK button is usable. Should
// the dialog never become usable, the operator ends the dialog's message loop with WM_QUIT
// after 30 seconds, so that a failure cannot hang the test run.
class DialogOperator {
  public:
    explicit DialogOperator(int button)
        : owner_(GetCurrentThreadId()), thread_([this, button] { run(button); }) {}
    ~DialogOperator() {
        done_ = true;
        thread_.join();
    }
    bool pressed() const { return pressed_; }

  private:
    void run(int button) {
        for (int waited = 0; waited < 30000 && !done_; waited += 50) {
            Search search{GetCurrentProcessId(), nullptr};
            EnumWindows(onWindow, reinterpret_cast<LPARAM>(&search));
            HWND ok = search.found ? GetDlgItem(search.found, IDOK) : nullptr;
            if (!pressed_ && ok && IsWindowEnabled(ok)) {
                PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(search.found, button)));
                pressed_ = true;
            }
            Sleep(50);
        }
        if (!done_) PostThreadMessageW(owner_, WM_QUIT, 0, 0);
    }
    DWORD owner_;
    std::atomic<bool> done_{false};
    std::atomic<bool> pressed_{false};
    std::thread thread_;
};

String systemFolder() {
    wchar_t path[MAX_PATH];
    GetSystemDirectoryW(path, MAX_PATH);
    return String(reinterpret_cast<const char16_t*>(path));
}

class FolderBrowse : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
    void TearDown() override { OleUninitialize(); }
};

// The dialog opens on the initial folder, so accepting it at once returns that folder.
TEST_F(FolderBrowse, AcceptingReturnsTheInitialFolder) {
    BrowseRequest request;
    request.title = String(u"Choose the folder");
    request.initialFolder = systemFolder();
    DialogOperator user(IDOK);
    bool chosen = browseForFolder(request);
    ASSERT_TRUE(user.pressed());
    ASSERT_TRUE(chosen);
    EXPECT_EQ(request.chosen.compareNoCaseWide(systemFolder()), 0)
        << std::wstring(reinterpret_cast<const wchar_t*>(request.chosen.w_str()));
}

TEST_F(FolderBrowse, InitialFolderBelowTheRootsPath) {
    // The desktop kind's path is the user's desktop folder; a folder made below it is found.
    wchar_t desktop[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, desktop, CSIDL_DESKTOP, TRUE));
    std::wstring below = std::wstring(desktop) + L"\\Tessarin Browse Test";
    CreateDirectoryW(below.c_str(), nullptr);
    BrowseRequest request;
    request.initialFolder = String(u"Tessarin Browse Test");
    request.options = kBrowseInitialBelowRoot | kBrowseEditBox;
    DialogOperator user(IDOK);
    bool chosen = browseForFolder(request);
    RemoveDirectoryW(below.c_str());
    ASSERT_TRUE(user.pressed());
    ASSERT_TRUE(chosen);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(request.chosen.w_str())), below);
}

TEST_F(FolderBrowse, CancellingChoosesNothing) {
    BrowseRequest request;
    request.initialFolder = systemFolder();
    DialogOperator user(IDCANCEL);
    EXPECT_FALSE(browseForFolder(request));
    EXPECT_TRUE(user.pressed());
    EXPECT_TRUE(request.chosen.empty());
}

// A processor exception or a C++ exception out of the system's dialog is no choice, and the
// program goes on.
TEST_F(FolderBrowse, ExceptionOutOfTheDialogChoosesNothing) {
    FolderBrowseCall system = folderBrowseCall();
    const FolderBrowseCall faults[] = {
        [](void*) -> void* {
            volatile int* nowhere = nullptr;
            return reinterpret_cast<void*>(static_cast<intptr_t>(*nowhere));
        },
        [](void*) -> void* {
            RaiseException(EXCEPTION_ACCESS_VIOLATION, 0, 0, nullptr);
            return nullptr;
        },
        [](void*) -> void* { throw std::runtime_error("shell extension failed"); },
    };
    for (FolderBrowseCall fault : faults) {
        folderBrowseCall() = fault;
        BrowseRequest request;
        request.initialFolder = systemFolder();
        EXPECT_FALSE(browseForFolder(request));
        EXPECT_TRUE(request.chosen.empty());
    }
    folderBrowseCall() = system;
    // The guard is gone with the call: the dialog works as before.
    BrowseRequest request;
    request.initialFolder = systemFolder();
    DialogOperator user(IDOK);
    EXPECT_TRUE(browseForFolder(request));
}

}  // namespace
}  // namespace tessarin
