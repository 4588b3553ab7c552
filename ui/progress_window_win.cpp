// The progress window: a modeless page over the background window that draws the progress
// display (percentage and status line) while the installation or uninstallation runs.
#include <windows.h>
// windows.h first
#include <commctrl.h>

#include "core/dialog.h"
#include "package/install_script.h"
#include "resources/control_ids.h"
#include "services/progress.h"
#include "services/setup_state.h"
#include "ui/background_window.h"
#include "ui/wizard.h"
#include "ui/wizard_pages.h"

namespace tessarin {
namespace {

LPCWSTR win(const String& text) {
    return reinterpret_cast<LPCWSTR>(text.w_str());
}

class ProgressWindow : public ProgressDisplay {
  public:
    HWND window = nullptr;
    bool uninstalling = false;

    void showStatus(const String& text) override {
        SetDlgItemTextW(window, ID_STATUS_LINE, win(text));
    }
    void showPercent(int32_t percent) override {
        SendDlgItemMessageW(window, ID_PROGRESS_BAR, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    }
};

ProgressWindow& progress() {
    static ProgressWindow window;
    return window;
}

void fillTexts(HWND dialog, bool uninstalling) {
    const InstallScript& s = installScript();
    String caption = Message(uninstalling ? 55 : 65);
    SetWindowTextW(dialog, win(caption));
    if (s.ProductFlags & kFlagsPageIcons) setWindowIcons(dialog, setupState().icons);
    SetDlgItemTextW(dialog, ID_BANNER_TITLE, win(Message(uninstalling ? 55 : 54)));
    SetDlgItemTextW(dialog, ID_BANNER_SUBTITLE, win(s.BannerText));
    SetDlgItemTextW(dialog, ID_MAIN_TEXT, win(Message(uninstalling ? 71 : 39)));
    SetDlgItemTextW(dialog, ID_CANCEL, win(Message(49)));
    SetDlgItemTextW(dialog, ID_STATUS_LINE, win(currentStatus()));
    SendDlgItemMessageW(dialog, ID_PROGRESS_BAR, PBM_SETRANGE32, 0, 100);
    SendDlgItemMessageW(dialog, ID_PROGRESS_BAR, PBM_SETPOS,
                        static_cast<WPARAM>(currentProgress() < 0 ? 0 : currentProgress()), 0);
    bool cancellable = !uninstalling && (s.ProductFlags & kFlagsNoProgressCancel) == 0;
    EnableWindow(GetDlgItem(dialog, ID_CANCEL), cancellable);
}

// Within the work area by the script's placement code, or within the background window when
// the script ties it there.
void place(HWND dialog) {
    const InstallScript& s = installScript();
    RECT area;
    HWND background = static_cast<HWND>(backgroundWindow());
    if (background == nullptr || (s.ProductFlags & kFlagsProgressOnBackground) == 0 ||
        !IsWindowVisible(background) || IsIconic(background) || !GetWindowRect(background, &area))
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT own;
    GetWindowRect(dialog, &own);
    Point at = placeWindow(Rect{area.left, area.top, area.right, area.bottom}, own.right - own.left,
                           own.bottom - own.top, s.ProgressPlacement);
    SetWindowPos(dialog, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

intptr_t TESSARIN_CALLBACK progressProcedure(void* window, unsigned message, uintptr_t wParam,
                                             intptr_t lParam) {
    HWND dialog = static_cast<HWND>(window);
    switch (message) {
        case WM_INITDIALOG:
            fillTexts(dialog, lParam != 0);
            emboldenBannerTitle(dialog);
            place(dialog);
            return TRUE;
        case WM_QUERYENDSESSION:
            // The session must not end in the middle of the installation.
            SetWindowLongPtrW(dialog, DWLP_MSGRESULT, FALSE);
            return TRUE;
        case WM_CTLCOLORSTATIC: {
            int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
            int32_t selector = installScript().PageLayouts[kLayoutProgress];
            bool onWhite = (selector != 0 && selector != 1 && selector != 3 &&
                            (id == ID_BANNER_TITLE || id == ID_BANNER_SUBTITLE)) ||
                           (selector == 3 && id != ID_SIDE_PICTURE);
            if (!onWhite) return FALSE;
            SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
            return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
        }
        case WM_COMMAND:
            if ((LOWORD(wParam) == ID_CANCEL || LOWORD(wParam) == IDCANCEL) &&
                IsWindowEnabled(GetDlgItem(dialog, ID_CANCEL)) &&
                AskYesNo(Message(28), Message(20)))
                CancelInstallation();
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void OpenProgressWindow(bool uninstalling) {
    const InstallScript& s = installScript();
    ProgressWindow& window = progress();
    // The uninstaller always shows its progress; an installation when the script wants it.
    if (window.window != nullptr || setupState().SilentMode ||
        (!uninstalling && (s.ProductFlags & kFlagsProgressWindow) == 0))
        return;
    String name = pageTemplateName("ProgressDlg", s.PageLayouts[kLayoutProgress]);
    window.uninstalling = uninstalling;
    window.window = static_cast<HWND>(
        createDialog(name.c_str(), backgroundWindow(), progressProcedure, uninstalling ? 1 : 0));
    if (window.window == nullptr) return;
    ShowWindow(window.window, SW_SHOW);
    setProgressDisplay(&window);
    pumpAllMessages();
}

void CloseProgressWindow() {
    ProgressWindow& window = progress();
    if (window.window == nullptr) return;
    setProgressDisplay(nullptr);
    DestroyWindow(window.window);
    window.window = nullptr;
}

}  // namespace tessarin
