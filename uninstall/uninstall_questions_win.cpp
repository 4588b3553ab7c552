#include <windows.h>

#include "core/desktop.h"
#include "core/dialog.h"
#include "core/process.h"
#include "core/shell_launch.h"
#include "core/ui.h"
#include "uninstall/uninstall_questions.h"

namespace tessarin {

namespace {

struct SupportOffer {
    const String* address;
    const String* caption;
};

LPCWSTR win(const String& text) {
    return reinterpret_cast<LPCWSTR>(text.w_str());
}

intptr_t TESSARIN_CALLBACK supportOfferProcedure(void* dialog, unsigned message, uintptr_t wParam,
                                                 intptr_t lParam) {
    HWND hwnd = static_cast<HWND>(dialog);
    switch (message) {
        case WM_INITDIALOG: {
            const SupportOffer* offer = reinterpret_cast<const SupportOffer*>(lParam);
            SetWindowTextW(hwnd, win(*offer->caption));
            SetDlgItemTextW(hwnd, kSupportAddressItem, win(*offer->address));
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case kGetSupportButton:
                    EndDialog(hwnd, 1);
                    return TRUE;
                case kUninstallButton:
                case IDCANCEL:
                    EndDialog(hwnd, 0);
                    return TRUE;
                default:
                    return FALSE;
            }
        default:
            return FALSE;
    }
}

}  // namespace

bool ConfirmUninstall(const String& question, const String& caption, void* owner) {
    return showMessageBox(owner, question, caption, kMbYesNo | kMbIconQuestion) == kIdYes;
}

bool askSupportOffer(const String& address, const String& caption, void* owner) {
    SupportOffer offer{&address, &caption};
    return runDialog(kSupportOfferTemplate, owner, supportOfferProcedure,
                     reinterpret_cast<intptr_t>(&offer)) == 1;
}

bool OfferSupport(const String& address, const String& caption, void* owner) {
    if (!askSupportOffer(address, caption, owner)) return false;
    if (!launchThroughDesktopShell(address, String(), String())) shellOpen(address);
    return true;
}

}  // namespace tessarin
