// The summary page at the end of an installation: the closing text, what failed, and the
// finish options the product offers, laid out without gaps for the options it does not offer.
#include <windows.h>

#include "core/convert.h"
#include "core/dialog.h"
#include "package/install_script.h"
#include "resources/control_ids.h"
#include "services/setup_state.h"
#include "ui/background_window.h"
#include "ui/wizard.h"
#include "ui/wizard_pages.h"

namespace tessarin {
namespace {

LPCWSTR win(const String& text) {
    return reinterpret_cast<LPCWSTR>(text.w_str());
}

struct FinishBox {
    int id;
    int32_t message;
    bool FinishOptions::*option;
};
constexpr FinishBox kFinishBoxes[] = {
    {ID_OPEN_README, 83, &FinishOptions::openReadme},
    {ID_LAUNCH_PROGRAM, 84, &FinishOptions::launchProgram},
    {ID_FOURTH_OPTION, 85, &FinishOptions::showLog},
    {ID_OPEN_DOCUMENT, 87, &FinishOptions::openDocument},
};

bool offered(int id) {
    const InstallScript& s = installScript();
    switch (id) {
        case ID_OPEN_README:
            return !s.ReadmeFile.empty();
        case ID_LAUNCH_PROGRAM:
            return !s.LaunchProgram.empty();
        case ID_FOURTH_OPTION:
            return (s.ProductFlags & kFlagsFourthOption) != 0;
        default:
            return !s.FinishDocument.empty();
    }
}

// The offered boxes take the places of the first boxes of the template, in order.
void layOutBoxes(HWND dialog) {
    RECT places[4];
    int count = 0;
    for (const FinishBox& box : kFinishBoxes) {
        HWND item = GetDlgItem(dialog, box.id);
        if (item == nullptr) continue;
        GetWindowRect(item, &places[count]);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&places[count]), 2);
        ++count;
    }
    int next = 0;
    for (const FinishBox& box : kFinishBoxes) {
        HWND item = GetDlgItem(dialog, box.id);
        if (item == nullptr) continue;
        if (!offered(box.id)) {
            ShowWindow(item, SW_HIDE);
            continue;
        }
        SetWindowTextW(item, win(Message(box.message)));
        SendMessageW(item, BM_SETCHECK, BST_CHECKED, 0);
        const RECT& place = places[next++];
        SetWindowPos(item, nullptr, place.left, place.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

intptr_t TESSARIN_CALLBACK summaryProcedure(void* window, unsigned message, uintptr_t wParam,
                                            intptr_t lParam) {
    HWND dialog = static_cast<HWND>(window);
    switch (message) {
        case WM_INITDIALOG: {
            const InstallScript& s = installScript();
            SetWindowTextW(dialog, win(Message(65)));
            if (s.ProductFlags & kFlagsPageIcons) setWindowIcons(dialog, setupState().icons);
            SetDlgItemTextW(dialog, ID_BANNER_TITLE, win(Message(65)));
            SetDlgItemTextW(dialog, ID_BANNER_SUBTITLE, win(s.BannerText));
            const String* text = reinterpret_cast<const String*>(lParam);
            SetDlgItemTextW(dialog, ID_MAIN_TEXT, win(*text));
            String accept = Message(95);
            if (s.ProductFlags2 & kFlags2ButtonImages) {
                accept.prependWide(u" ");
                setButtonImage(GetDlgItem(dialog, ID_ACCEPT), ID_IMAGE_ACCEPT);
            }
            SetDlgItemTextW(dialog, ID_ACCEPT, win(accept));
            layOutBoxes(dialog);
            placeOverBackground(dialog);
            SetForegroundWindow(dialog);
            SetFocus(GetDlgItem(dialog, ID_ACCEPT));
            return FALSE;
        }
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORSTATIC: {
            if (installScript().PageLayouts[kLayoutSummary] == 1) return FALSE;
            int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
            if (id == ID_SIDE_PICTURE) return FALSE;
            SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
            return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == ID_ACCEPT || LOWORD(wParam) == IDOK) {
                FinishOptions& options = finishOptions();
                for (const FinishBox& box : kFinishBoxes) {
                    options.*box.option =
                        offered(box.id) && IsDlgButtonChecked(dialog, box.id) == BST_CHECKED;
                }
                EndDialog(dialog, IDOK);
            } else if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == ID_CANCEL) {
                finishOptions() = FinishOptions();
                EndDialog(dialog, IDCANCEL);
            }
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void ShowSummaryPage(const String& errors) {
    const SetupState& state = setupState();
    if (state.AutomaticMode || state.SilentMode) return;
    String text = Message(42);
    if (!errors.empty()) {
        String wide;
        toWide(errors.c_str(), errors.length(), wide);
        text.appendWide(u"\r\n\r\n");
        text.append(wide);
    }
    String name = pageTemplateName("SummaryDlg", installScript().PageLayouts[kLayoutSummary]);
    runDialog(name.c_str(), backgroundWindow(), summaryProcedure,
              reinterpret_cast<intptr_t>(&text));
}

}  // namespace tessarin
