// Launching, ending and shell-opening programs in the Wine prefix.
#include "core/process.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "core/convert.h"
#include "scratch_folder.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::S;
using testing::U;

using testing::get;
using testing::present;
using testing::put;
using testing::ScratchFolder;
using testing::w;

std::u16string systemFolder() {
    wchar_t buffer[MAX_PATH];
    UINT n = GetSystemDirectoryW(buffer, MAX_PATH);
    return std::u16string(reinterpret_cast<char16_t*>(buffer), n);
}

std::u16string cmd() {
    return u"\"" + systemFolder() + u"\\cmd.exe\"";
}

std::u16string moduleFolder() {
    wchar_t buffer[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    std::u16string path(reinterpret_cast<char16_t*>(buffer), n);
    return path.substr(0, path.rfind(u'\\'));
}

TEST(Launch, WaitingGivesTheExitCodeOtherwiseUnknown) {
    uint32_t id = 0;
    EXPECT_EQ(launch(S(cmd() + u" /c exit 3"), kLaunchWait | kLaunchHidden, String(), &id), 3);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(launch(S(cmd() + u" /c exit 3"), kLaunchWait | kLaunchPumpMessages | kLaunchHidden),
              3);
    EXPECT_EQ(launch(S(cmd() + u" /c exit 3"), kLaunchHidden), kLaunchExitCodeUnknown);
    EXPECT_EQ(static_cast<uint32_t>(kLaunchExitCodeUnknown), 0x80000001u);
}

TEST(Launch, AMissingProgramIsNotStarted) {
    SetLastError(0);
    int32_t result = launch(S(u"C:\\no\\such\\program.exe /x"), kLaunchWait);
    EXPECT_EQ(static_cast<uint32_t>(result), 0x80000000u);
    DWORD error = GetLastError();
    EXPECT_TRUE(error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) << error;
    EXPECT_EQ(launch(String(), kLaunchWait), kLaunchNotStarted);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(Launch, ProgramFolderIsTheWorkingFolderWhenNoneIsGiven) {
    ScratchFolder scratch(u"tessarin-launch-");
    ASSERT_TRUE(put(scratch / u"where.bat", "@cd > cwd.txt\r\n"));
    std::u16string line = u"\"" + (scratch / u"where.bat") + u"\"";
    EXPECT_EQ(launch(S(line), kLaunchWait | kLaunchHidden | kLaunchProgramFolder), 0);
    std::string cwd = get(scratch / u"cwd.txt");
    String expected;
    wideToPath(scratch.path().c_str(), static_cast<int32_t>(scratch.path().size()), expected);
    EXPECT_EQ(cwd, std::string(expected.c_str()) + "\r\n");

    // A folder given wins; without the option the caller's folder stays.
    ScratchFolder other(u"tessarin-launch-other-");
    EXPECT_EQ(launch(S(line), kLaunchWait | kLaunchHidden | kLaunchProgramFolder, S(other.path())),
              0);
    EXPECT_TRUE(present(other / u"cwd.txt"));
}

// A window whose edit control another process fills through SendMessage: the text arrives
// only while this thread dispatches messages.
LRESULT CALLBACK plainWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(Launch, WaitingWithPumpingServesTheCallersWindows) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = plainWindow;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TessarinLaunchPump";
    RegisterClassW(&windowClass);
    std::wstring title = L"Launch pump " + std::to_wstring(GetCurrentProcessId());
    HWND window = CreateWindowW(L"TessarinLaunchPump", title.c_str(), WS_OVERLAPPEDWINDOW, 0, 0,
                                300, 200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    HWND edit = CreateWindowW(L"EDIT", L"", WS_CHILD | WS_VISIBLE, 0, 0, 200, 20, window,
                              reinterpret_cast<HMENU>(100), GetModuleHandleW(nullptr), nullptr);
    ShowWindow(window, SW_SHOW);
    dispatchPendingMessages();

    std::u16string probe = moduleFolder() + u"\\uiprobe.exe";
    ASSERT_TRUE(present(probe));
    std::u16string line = u"\"" + probe + u"\" --title \"" +
                          reinterpret_cast<const char16_t*>(title.c_str()) +
                          u"\" --set-text 100 pumped";
    EXPECT_EQ(launch(S(line), kLaunchWait | kLaunchPumpMessages | kLaunchHidden), 0);
    // Read before this thread pumps again.
    wchar_t text[32] = {};
    GetWindowTextW(edit, text, 32);
    EXPECT_STREQ(text, L"pumped");
    DestroyWindow(window);
}

TEST(EndProcess, EndsAStartedProgramWithTheCode) {
    std::u16string probe = moduleFolder() + u"\\uiprobe.exe";
    // The probe looks for a window that never comes until it is ended.
    std::u16string line = u"\"" + probe + u"\" --title \"no such window\" --wait-ms 600000";
    uint32_t id = 0;
    ASSERT_EQ(launch(S(line), kLaunchHidden, String(), &id), kLaunchExitCodeUnknown);
    HANDLE process =
        OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, id);
    ASSERT_NE(process, nullptr);
    EXPECT_TRUE(endProcess(process, 7));
    WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    EXPECT_EQ(code, 7u);
    CloseHandle(process);
}

// A shell that records what it was asked and answers from a script.
struct ShellCall {
    std::u16string verb, file, parameters, folder;
    int show;
};
std::vector<ShellCall> shellCalls;
std::vector<intptr_t> shellAnswers;

intptr_t recordingShell(const String& verb, const String& file, const String& parameters,
                        const String& folder, int show) {
    shellCalls.push_back({U(verb), U(file), U(parameters), U(folder), show});
    intptr_t answer = shellAnswers.empty() ? 42 : shellAnswers.front();
    if (!shellAnswers.empty()) shellAnswers.erase(shellAnswers.begin());
    return answer;
}

class ShellOpenCalls : public ::testing::Test {
  protected:
    void SetUp() override {
        shellCalls.clear();
        shellAnswers.clear();
        setShellExecute(recordingShell);
    }
    void TearDown() override { setShellExecute(nullptr); }
};

TEST_F(ShellOpenCalls, RefusalIsRetriedWithRunasAndSuccessClearsTheError) {
    shellAnswers = {5, 42};
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_TRUE(shellOpen(S(u"C:\\setup.exe"), S(u"/x"), S(u"C:\\"), String(), SW_SHOWNORMAL));
    EXPECT_EQ(GetLastError(), 0u);
    ASSERT_EQ(shellCalls.size(), 2u);
    EXPECT_EQ(shellCalls[1].verb, u"runas");
    EXPECT_EQ(shellCalls[1].parameters, u"/x");
    EXPECT_EQ(shellCalls[1].show, SW_SHOWNORMAL);

    shellCalls.clear();
    shellAnswers = {5};
    EXPECT_FALSE(shellOpen(S(u"C:\\doc.txt"), String(), String(), S(u"print"), SW_SHOWNORMAL));
    EXPECT_EQ(shellCalls.size(), 1u);

    shellCalls.clear();
    EXPECT_FALSE(shellOpen(String()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_TRUE(shellCalls.empty());
}

TEST_F(ShellOpenCalls, NarrowFormsAreDecoded) {
    ScratchFolder scratch(u"tessarin-shell-\u00e9-");
    ASSERT_TRUE(put(scratch / u"read me.txt", "x"));
    String scratchNarrow;
    wideToPath(scratch.path().c_str(), static_cast<int32_t>(scratch.path().size()), scratchNarrow);
    ASSERT_EQ(scratchNarrow.get(0), '|');

    // The narrow path form for the file and the folder; parameters as they are.
    std::string file = std::string(scratchNarrow.c_str()) + "\\read me.txt";
    EXPECT_TRUE(shellOpen8(file.c_str(), "|a", scratchNarrow.c_str(), "open", SW_SHOW));
    ASSERT_EQ(shellCalls.size(), 1u);
    EXPECT_EQ(shellCalls[0].file, scratch / u"read me.txt");
    EXPECT_EQ(shellCalls[0].folder, scratch.path());
    EXPECT_EQ(shellCalls[0].parameters, u"|a");
    EXPECT_EQ(shellCalls[0].verb, u"open");

    // "file:///" with escapes becomes the local path when that exists.
    std::string url = "file:///";
    for (const char* p = scratchNarrow.c_str() + 1; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        char escape[4];
        snprintf(escape, sizeof escape, "%%%02X", c);
        url += c == '\\' ? std::string("/") : c >= 0x80 ? std::string(escape) : std::string(1, *p);
    }
    url += "/read%20me.txt";
    shellCalls.clear();
    EXPECT_TRUE(shellOpen8(url.c_str()));
    ASSERT_EQ(shellCalls.size(), 1u);
    EXPECT_EQ(shellCalls[0].file, scratch / u"read me.txt");

    // A missing one stays the address it was.
    shellCalls.clear();
    EXPECT_TRUE(shellOpen8("file:///C:/no/such%20file.txt"));
    ASSERT_EQ(shellCalls.size(), 1u);
    EXPECT_EQ(shellCalls[0].file, u"file:///C:/no/such%20file.txt");
}

TEST(ShellOpen, AMissingFileFailsWithTheShellsError) {
    SetLastError(0);
    EXPECT_FALSE(shellOpen(S(u"C:\\no\\such\\file.tessarin")));
    EXPECT_NE(GetLastError(), 0u);
}

}  // namespace
}  // namespace tessarin
