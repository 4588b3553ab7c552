// Closing programs by rules against real windows: a top-level window of a helper process is
// closed by a rule of the current phase and left alone by a rule of another phase.
#include "services/window_closing.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/string.h"

namespace tessarin {
namespace {

constexpr wchar_t kHolderArgument[] = L"--hold-window=";
constexpr wchar_t kHolderClass[] = L"TessarinCloseProbe";
constexpr UINT kMark = WM_APP + 3;
constexpr UINT kClosedExitCode = 7;

LRESULT CALLBACK holderProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kMark) {
        wchar_t title[256] = {};
        GetWindowTextW(window, title, 200);
        SetWindowTextW(window, (std::wstring(title) + L" marked").c_str());
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(kClosedExitCode);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The helper role: one visible top-level window with the given title until it is closed; the
// process then ends with kClosedExitCode.
[[maybe_unused]] const bool kHolderRole = [] {
    std::wstring line(GetCommandLineW());
    size_t at = line.find(kHolderArgument);
    if (at == std::wstring::npos) return false;
    std::wstring title = line.substr(at + wcslen(kHolderArgument));
    WNDCLASSW wc = {};
    wc.lpfnWndProc = holderProcedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kHolderClass;
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, kHolderClass, title.c_str(), WS_OVERLAPPED | WS_VISIBLE, 0, 0,
                                  100, 100, nullptr, nullptr, wc.hInstance, nullptr);
    if (window == nullptr) ExitProcess(2);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    ExitProcess(static_cast<UINT>(msg.wParam));
}();

// A helper process whose window carries the title; ends it when the test is done.
class WindowHolder {
  public:
    explicit WindowHolder(const std::wstring& title) {
        wchar_t module[MAX_PATH];
        GetModuleFileNameW(nullptr, module, MAX_PATH);
        std::wstring command = L"\"" + std::wstring(module) + L"\" " + kHolderArgument + title;
        std::vector<wchar_t> line(command.begin(), command.end());
        line.push_back(0);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process_))
            return;
        while ((window = FindWindowW(kHolderClass, title.c_str())) == nullptr) {
            if (WaitForSingleObject(process_.hProcess, 50) == WAIT_OBJECT_0) return;
        }
    }
    ~WindowHolder() {
        if (process_.hProcess == nullptr) return;
        TerminateProcess(process_.hProcess, 0);
        WaitForSingleObject(process_.hProcess, 10000);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
    // The exit code once the process ended by itself, STILL_ACTIVE while it runs on.
    DWORD endedWith(DWORD waitMs) {
        WaitForSingleObject(process_.hProcess, waitMs);
        DWORD code = 0;
        GetExitCodeProcess(process_.hProcess, &code);
        return code;
    }
    // Posts a mark (" marked" after the title, which a "*" title pattern still matches)
    // behind everything posted so far and waits until the window handled it (true)
    // or is gone (false): a WM_CLOSE posted earlier would have been handled first.
    bool handlesMarkAfterPostedMessages() {
        PostMessageW(window, kMark, 0, 0);
        wchar_t text[256] = {};
        while (IsWindow(window)) {
            if (GetWindowTextW(window, text, 256) > 0 && std::wstring(text).ends_with(L" marked"))
                return true;
            if (WaitForSingleObject(process_.hProcess, 20) == WAIT_OBJECT_0) return false;
        }
        return false;
    }

    HWND window = nullptr;

  private:
    PROCESS_INFORMATION process_ = {};
};

WindowCloseRule stored(const char* title, int32_t mode, int32_t phases) {
    WindowCloseRule r;
    r.titlePattern = String(title);
    r.mode = mode;
    r.phases = phases;
    return r;
}

TEST(WindowClosingDesktop, HelperWindowIsClosedOnlyByARuleOfThePhase) {
    std::string title = "Probe Viewer " + std::to_string(GetCurrentProcessId());
    WindowHolder holder(std::wstring(title.begin(), title.end()));
    ASSERT_NE(holder.window, nullptr);
    std::string pattern = "*" + title;

    // A rule of the later phase alone leaves the window as it is.
    Vector<WindowCloseRule> later;
    later.append(stored(pattern.c_str(), kCloseByMessage, kClosePhaseAfterQuestion));
    EXPECT_EQ(CloseWindowsForPhase(later, kClosePhaseBeforeQuestion, String(u"%s"),
                                   String(u"Uninstall"), false),
              WindowClosingResult::Done);
    EXPECT_TRUE(holder.handlesMarkAfterPostedMessages());

    // The first rule of the phase handles it: WM_CLOSE, not the termination of a later-phase
    // rule listed before it.
    Vector<WindowCloseRule> rules;
    rules.append(stored(pattern.c_str(), kCloseByEnding, kClosePhaseAfterQuestion));
    rules.append(stored(pattern.c_str(), kCloseByMessage, kClosePhaseBeforeQuestion));
    rules.append(stored(pattern.c_str(), kCloseByEnding, kClosePhaseBeforeQuestion));
    EXPECT_EQ(CloseWindowsForPhase(rules, kClosePhaseBeforeQuestion, String(u"%s"),
                                   String(u"Uninstall"), false),
              WindowClosingResult::Done);
    EXPECT_EQ(holder.endedWith(30000), kClosedExitCode);
}

}  // namespace
}  // namespace tessarin
