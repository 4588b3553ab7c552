// dialog_gallery.exe - shows the wizard's templates one after another, for screenshots and for
// the layout rules at the display's own scale.
//
//   dialog_gallery.exe [--no-wait] [TEMPLATE...]
//
// For each template (all of them when none is named) the tool creates the dialog from its
// resources, shows it at the screen's top left (the client area's rectangle on the screen goes
// into the report), lets it paint, and writes one JSON line:
//   {"template": "LicenseDlg3", "dpi": 144, "client": [left, top, right, bottom],
//    "problems": ["control 1001 ... overlaps control 1003 ..."]}
// then waits for a line on its input before it goes on to the next (--no-wait goes on
// at once). The dialogs stay until the tool ends, each under the next. The tool carries the
// installer's manifest, so it runs with common controls 6 and aware of the display's DPI, as the
// installer does. Exit code 0, or 1 when a template could not be created.
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>
// The common controls' declarations need the system's types first.
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/dialog.h"
#include "dialog_children.h"

namespace {

// The white parts (banner, panel) show the texts on them on white, as the pages will.
HWND g_white = nullptr;

bool onWhite(HWND control) {
    if (!g_white) return false;
    RECT c, w;
    GetWindowRect(control, &c);
    GetWindowRect(g_white, &w);
    return c.left >= w.left && c.top >= w.top && c.right <= w.right && c.bottom <= w.bottom;
}

INT_PTR CALLBACK galleryProcedure(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN) {
        HWND control = reinterpret_cast<HWND>(lParam);
        if (onWhite(control)) {
            SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
            return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
        }
    }
    return FALSE;
}

intptr_t TESSARIN_CALLBACK procedure(void* dialog, unsigned message, uintptr_t wParam,
                                     intptr_t lParam) {
    return galleryProcedure(static_cast<HWND>(dialog), message, wParam, lParam);
}

std::string json(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

void say(const std::string& line) {
    std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
              &written, nullptr);
}

void waitForLine() {
    char c = 0;
    DWORD read = 0;
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    while (ReadFile(in, &c, 1, &read, nullptr) && read == 1 && c != '\n') {
    }
}

bool show(const std::string& name, bool wait) {
    HWND dialog = static_cast<HWND>(tessarin::createDialog(name.c_str(), nullptr, procedure, 0));
    if (!dialog) {
        say("{\"template\": " + json(name) + ", \"error\": " + std::to_string(GetLastError()) +
            "}");
        return false;
    }
    g_white = GetDlgItem(dialog, ID_WHITE_PANEL) ? GetDlgItem(dialog, ID_WHITE_PANEL)
                                                 : GetDlgItem(dialog, ID_BANNER);
    SendDlgItemMessageW(dialog, ID_PROGRESS_BAR, PBM_SETPOS, 40, 0);
    SetWindowPos(dialog, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    UpdateWindow(dialog);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageW(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    RECT client, onScreen;
    GetClientRect(dialog, &client);
    onScreen = client;
    MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&onScreen), 2);
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    std::string problems;
    for (const std::string& p : tessarin::testing::layoutProblems(
             {client.left, client.top, client.right, client.bottom},
             tessarin::testing::laidOut(tessarin::testing::dialogChildren(dialog)))) {
        problems += (problems.empty() ? "" : ", ") + json(p);
    }
    say("{\"template\": " + json(name) + ", \"dpi\": " + std::to_string(dpi) + ", \"client\": [" +
        std::to_string(onScreen.left) + ", " + std::to_string(onScreen.top) + ", " +
        std::to_string(onScreen.right) + ", " + std::to_string(onScreen.bottom) +
        "], \"problems\": [" + problems + "]}");
    if (wait) waitForLine();
    // Left in place under the next one rather than destroyed, hidden or moved away: Wine waits
    // up to two seconds for a window manager to confirm that a window left the screen, and the
    // test display has none. The windows go with the process.
    g_white = nullptr;
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    INITCOMMONCONTROLSEX classes = {sizeof classes,
                                    ICC_LINK_CLASS | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&classes);
    bool wait = true;
    std::vector<std::string> names;
    for (int i = 1; i < argc; ++i) {
        std::wstring a = argv[i];
        if (a == L"--no-wait") {
            wait = false;
        } else {
            names.emplace_back(a.begin(), a.end());
        }
    }
    if (names.empty()) names = tessarin::testing::wizardTemplates();
    bool created = true;
    for (const std::string& name : names) created = show(name, wait) && created;
    return created ? 0 : 1;
}
