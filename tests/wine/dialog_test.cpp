// Dialogs from templates, dialog units and the message pumps, through the real user interface
// under Wine.
#include "core/dialog.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "dialog_children.h"

namespace tessarin {
namespace {

constexpr UINT kEndWith = WM_APP + 7;

struct DialogSeen {
    int initCount = 0;
    intptr_t parameter = 0;
};
DialogSeen g_seen;

// Records the creation parameter; a posted kEndWith ends a modal dialog with its wParam, so a
// modal result proves that the dialog's own message loop ran.
intptr_t TESSARIN_CALLBACK testProcedure(void* dialog, unsigned message, uintptr_t wParam,
                                         intptr_t lParam) {
    HWND hwnd = static_cast<HWND>(dialog);
    if (message == WM_INITDIALOG) {
        ++g_seen.initCount;
        g_seen.parameter = lParam;
        if (lParam >= 0) PostMessageW(hwnd, kEndWith, static_cast<WPARAM>(lParam), 0);
        return TRUE;
    }
    if (message == kEndWith) {
        EndDialog(hwnd, static_cast<INT_PTR>(wParam));
        return TRUE;
    }
    return FALSE;
}

using testing::windowText;

// Counts the calls of each entry point and lets a test make the wide ones answer like a system
// without UTF-16 user-interface functions.
struct EntryPointSpy {
    static inline int narrowCalls = 0;
    static inline bool wideMissing = false;
    static inline DialogEntryPoints system;

    static void* TESSARIN_CALLBACK createWide(void* m, const char16_t* n, void* o,
                                              DialogProcedure p, intptr_t a) {
        if (wideMissing) {
            SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
            return nullptr;
        }
        return system.createWide(m, n, o, p, a);
    }
    static void* TESSARIN_CALLBACK createNarrow(void* m, const char* n, void* o, DialogProcedure p,
                                                intptr_t a) {
        ++narrowCalls;
        return system.createNarrow(m, n, o, p, a);
    }
    static intptr_t TESSARIN_CALLBACK runWide(void* m, const char16_t* n, void* o,
                                              DialogProcedure p, intptr_t a) {
        if (wideMissing) {
            SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
            return -1;
        }
        return system.runWide(m, n, o, p, a);
    }
    static intptr_t TESSARIN_CALLBACK runNarrow(void* m, const char* n, void* o, DialogProcedure p,
                                                intptr_t a) {
        ++narrowCalls;
        return system.runNarrow(m, n, o, p, a);
    }
};

class Dialogs : public ::testing::Test {
  protected:
    void SetUp() override {
        g_seen = DialogSeen();
        EntryPointSpy::system = systemDialogEntryPoints();
        EntryPointSpy::narrowCalls = 0;
        EntryPointSpy::wideMissing = false;
        dialogEntryPoints() = {EntryPointSpy::createWide, EntryPointSpy::createNarrow,
                               EntryPointSpy::runWide, EntryPointSpy::runNarrow};
    }
    void TearDown() override { dialogEntryPoints() = systemDialogEntryPoints(); }
};

TEST_F(Dialogs, ModelessDialogFromTheProgramsTemplate) {
    HWND dialog = static_cast<HWND>(createDialog("FrameworkTestDlg", nullptr, testProcedure, -5));
    ASSERT_NE(dialog, nullptr) << GetLastError();
    EXPECT_EQ(g_seen.initCount, 1);
    EXPECT_EQ(g_seen.parameter, -5);
    EXPECT_EQ(windowText(dialog), L"Framework Test");
    EXPECT_NE(GetDlgItem(dialog, 1001), nullptr);
    EXPECT_TRUE(IsWindowUnicode(dialog));
    EXPECT_EQ(EntryPointSpy::narrowCalls, 0);
    DestroyWindow(dialog);
}

TEST_F(Dialogs, ModalDialogReturnsItsEndCode) {
    EXPECT_EQ(runDialog("FrameworkTestDlg", nullptr, testProcedure, 42), 42);
    EXPECT_EQ(g_seen.initCount, 1);
    EXPECT_EQ(EntryPointSpy::narrowCalls, 0);
}

// A missing template is the system's failure, not a reason to try the 8-bit function.
TEST_F(Dialogs, MissingTemplateFailsWithoutTheNarrowRetry) {
    EXPECT_EQ(runDialog("NoSuchTemplateDlg", nullptr, testProcedure, 1), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(createDialog("NoSuchTemplateDlg", nullptr, testProcedure, 1), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(EntryPointSpy::narrowCalls, 0);
    EXPECT_EQ(g_seen.initCount, 0);
}

// Where the wide functions are not implemented, the same template is opened through the
// 8-bit functions, for real.
TEST_F(Dialogs, SystemWithoutWideFunctionsUsesTheNarrowOnes) {
    EntryPointSpy::wideMissing = true;
    EXPECT_EQ(runDialog("FrameworkTestDlg", nullptr, testProcedure, 9), 9);
    EXPECT_EQ(EntryPointSpy::narrowCalls, 1);
    HWND dialog = static_cast<HWND>(createDialog("FrameworkTestDlg", nullptr, testProcedure, -1));
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(EntryPointSpy::narrowCalls, 2);
    EXPECT_FALSE(IsWindowUnicode(dialog));
    char caption[64] = {};
    GetWindowTextA(dialog, caption, sizeof caption);
    EXPECT_STREQ(caption, "Framework Test");
    DestroyWindow(dialog);
}

// The base units are the average character size of the dialog's font, as the system measures
// it: the text height, and the mean width of the 52 Latin letters rounded.
DialogBaseUnits measuredUnits(HWND dialog) {
    HDC dc = GetDC(dialog);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics;
    GetTextMetricsW(dc, &metrics);
    SIZE size;
    const wchar_t letters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    GetTextExtentPoint32W(dc, letters, 52, &size);
    SelectObject(dc, old);
    ReleaseDC(dialog, dc);
    return {(size.cx / 26 + 1) / 2, metrics.tmHeight};
}

TEST_F(Dialogs, BaseUnitsAreTheDialogFontsAverageCharacter) {
    HWND small = static_cast<HWND>(createDialog("FrameworkTestDlg", nullptr, testProcedure, -1));
    HWND large = static_cast<HWND>(createDialog("FrameworkLargeDlg", nullptr, testProcedure, -1));
    ASSERT_TRUE(small && large);
    DialogBaseUnits s = dialogBaseUnits(small), l = dialogBaseUnits(large);
    EXPECT_EQ(s, measuredUnits(small));
    EXPECT_EQ(l, measuredUnits(large));
    EXPECT_GT(l.width, s.width);
    EXPECT_GT(l.height, s.height);
    // The portable conversion agrees with the system's own mapping.
    RECT r = {0, 0, 151, 77};
    MapDialogRect(large, &r);
    EXPECT_EQ(dialogUnitsToPixelsX(151, l), r.right);
    EXPECT_EQ(dialogUnitsToPixelsY(77, l), r.bottom);
    EXPECT_EQ(dialogBaseUnits(nullptr), (DialogBaseUnits{0, 0}));
    DialogBaseUnits system = systemDialogBaseUnits();
    EXPECT_GT(system.width, 0);
    EXPECT_GT(system.height, 0);
    DestroyWindow(small);
    DestroyWindow(large);
}

// ---------------------------------------------------------------- pumps

struct Received {
    std::basic_string<UINT> messages;
};
Received g_received;

LRESULT CALLBACK recordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_APP) g_received.messages.push_back(message);
    return DefWindowProcW(window, message, wParam, lParam);
}

bool acceptOnlyThird(const PendingMessage& message, void*) {
    return message.message != WM_APP + 2;
}

class Pumps : public ::testing::Test {
  protected:
    void SetUp() override {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        g_received = Received();
        requestQuit(false);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = recordingProcedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TessarinPumpTest";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 wc.hInstance, nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        DestroyWindow(window);
        requestQuit(false);
    }
    HWND window = nullptr;
};

TEST_F(Pumps, OneMessageAtATime) {
    PostMessageW(window, WM_APP + 1, 0, 0);
    PostMessageW(window, WM_APP + 3, 0, 0);
    EXPECT_TRUE(pumpOneMessage(window));
    EXPECT_EQ(g_received.messages, (std::basic_string<UINT>{WM_APP + 1}));
    EXPECT_TRUE(pumpOneMessage(nullptr));
    EXPECT_FALSE(pumpOneMessage(window));
    EXPECT_EQ(g_received.messages, (std::basic_string<UINT>{WM_APP + 1, WM_APP + 3}));
}

TEST_F(Pumps, FilterDropsRejectedMessagesUntilOneIsDispatched) {
    PostMessageW(window, WM_APP + 2, 0, 0);
    PostMessageW(window, WM_APP + 2, 0, 0);
    PostMessageW(window, WM_APP + 3, 0, 0);
    PostMessageW(window, WM_APP + 4, 0, 0);
    EXPECT_TRUE(pumpFilteredMessage(window, acceptOnlyThird, nullptr));
    EXPECT_EQ(g_received.messages, (std::basic_string<UINT>{WM_APP + 3}));
    EXPECT_TRUE(pumpFilteredMessage(window, acceptOnlyThird, nullptr));
    EXPECT_FALSE(pumpFilteredMessage(window, acceptOnlyThird, nullptr));
    EXPECT_EQ(g_received.messages, (std::basic_string<UINT>{WM_APP + 3, WM_APP + 4}));
    PostMessageW(window, WM_APP + 2, 0, 0);
    EXPECT_FALSE(pumpFilteredMessage(window, acceptOnlyThird, nullptr));
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(Pumps, AllMessagesAndTheQuitRequest) {
    PostMessageW(window, WM_APP + 1, 0, 0);
    PostMessageW(window, WM_APP + 5, 0, 0);
    EXPECT_FALSE(pumpAllMessages());
    EXPECT_EQ(g_received.messages, (std::basic_string<UINT>{WM_APP + 1, WM_APP + 5}));

    requestQuit(true);
    EXPECT_TRUE(pumpAllMessages());
    requestQuit(false);

    PostMessageW(window, WM_DESTROY, 0, 0);  // a posted destroy notice ends the pump too
    PostMessageW(window, WM_APP + 6, 0, 0);
    EXPECT_TRUE(pumpAllMessages());
    EXPECT_FALSE(quitRequested());
    EXPECT_FALSE(pumpAllMessages());  // the message after it is dispatched by the next pump
    EXPECT_EQ(g_received.messages.back(), UINT(WM_APP + 6));

    PostQuitMessage(0);
    EXPECT_TRUE(pumpAllMessages());
    EXPECT_TRUE(quitRequested());  // kept for whoever waits for the quit
    EXPECT_TRUE(pumpAllMessages());
}

// ---------------------------------------------------------------- scaling queries

TEST(WindowMetrics, DpiAndFrameOfARealWindow) {
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 10, 20, 300, 200, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    HDC screen = GetDC(nullptr);
    uint32_t screenDpi = static_cast<uint32_t>(GetDeviceCaps(screen, LOGPIXELSX));
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(windowDpi(window), screenDpi);
    EXPECT_EQ(windowDpi(nullptr), screenDpi);
    Rect bounds;
    ASSERT_TRUE(windowFrameBounds(window, bounds));
    EXPECT_EQ(bounds, (Rect{10, 20, 310, 220}));
    DestroyWindow(window);
    EXPECT_FALSE(windowFrameBounds(window, bounds));
}

}  // namespace
}  // namespace tessarin
