// The installer's questions and error boxes: standard message boxes whose buttons speak the
// installation's language. A one-shot hook catches the box as it becomes active, relabels its
// buttons from the message table, gives them their images and centres the box like a page.
#include <windows.h>

#include "core/program_label.h"
#include "core/ui.h"
#include "package/install_script.h"
#include "resources/control_ids.h"
#include "services/exit.h"
#include "services/exit_codes.h"
#include "services/install_state.h"
#include "services/setup_state.h"
#include "ui/background_window.h"
#include "ui/wizard.h"
#include "ui/wizard_pages.h"

namespace tessarin {
namespace {

// ProductFlags high word: error boxes show even in automatic mode.
constexpr uint64_t kFlagsErrorsWhenAutomatic = uint64_t{0x8} << 32;

struct ButtonLabel {
    int id;
    int32_t message;
    int image;
};
constexpr ButtonLabel kButtonLabels[] = {
    {IDOK, 0, ID_IMAGE_ACCEPT},      {IDYES, 79, ID_IMAGE_ACCEPT},   {IDNO, 80, ID_IMAGE_CANCEL},
    {IDCANCEL, 49, ID_IMAGE_CANCEL}, {IDRETRY, 100, ID_IMAGE_RETRY},
};

HHOOK& questionHook() {
    static HHOOK hook = nullptr;
    return hook;
}

void labelButtons(HWND box) {
    const bool images = (installScript().ProductFlags2 & kFlags2ButtonImages) != 0;
    for (const ButtonLabel& label : kButtonLabels) {
        HWND button = GetDlgItem(box, label.id);
        if (button == nullptr) continue;
        String text = label.message > 0 ? Message(label.message) : String();
        // A button without a message of its own keeps the system's label.
        if (text.empty() && images) text = windowText(button);
        if (text.empty()) continue;
        if (images) {
            text.prependWide(u" ");
            setButtonImage(button, label.image);
        }
        SetWindowTextW(button, reinterpret_cast<LPCWSTR>(text.w_str()));
    }
}

LRESULT CALLBACK questionHookProcedure(int code, WPARAM wParam, LPARAM lParam) {
    HHOOK hook = questionHook();
    if (code == HCBT_ACTIVATE) {
        // One box per hook: the hook goes at its first activation.
        UnhookWindowsHookEx(hook);
        questionHook() = nullptr;
        HWND box = reinterpret_cast<HWND>(wParam);
        labelButtons(box);
        placeOverBackground(box);
        return 0;
    }
    return CallNextHookEx(hook, code, wParam, lParam);
}

int askQuestion(const String& text, const String& caption, unsigned buttons) {
    if (questionHook() == nullptr)
        questionHook() =
            SetWindowsHookExW(WH_CBT, questionHookProcedure, nullptr, GetCurrentThreadId());
    int answer = showMessageBox(backgroundWindow(), text, caption,
                                buttons | MB_ICONQUESTION | MB_SETFOREGROUND);
    if (questionHook() != nullptr) {
        UnhookWindowsHookEx(questionHook());
        questionHook() = nullptr;
    }
    return answer;
}

}  // namespace

bool AskYesNo(const String& text, const String& caption) {
    if (setupState().SilentMode) return true;
    return askQuestion(text, caption, MB_YESNO) == IDYES;
}

bool AskOkCancel(const String& text, const String& caption) {
    if (setupState().SilentMode) return true;
    return askQuestion(text, caption, MB_OKCANCEL) == IDOK;
}

void ShowError(const String& text) {
    if (setupState().AutomaticMode &&
        (installScript().ProductFlags & kFlagsErrorsWhenAutomatic) == 0)
        return;
    String caption = Message(21);
    if (caption.empty()) caption.assignWide(u"Error");
    showMessageBox(backgroundWindow(), text, caption, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

void CancelInstallation() {
    const SetupState& state = setupState();
    if (!state.AutomaticMode) {
        const bool uninstalling = state.options.UninstallMode;
        showMessageBox(backgroundWindow(), Message(uninstalling ? 101 : 98), Message(111),
                       MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
    }
    if (!state.options.UninstallMode) TakeBackStoppedInstallation();
    ExitSetup(installExitCode(InstallEnd::Cancelled, installScript().ProductFlags2));
}

}  // namespace tessarin
