#include "core/convert.h"
#include "core/process.h"
#include "core/ui.h"
#include "package/install_script.h"
#include "services/exit.h"
#include "services/exit_codes.h"
#include "services/install_log.h"
#include "services/setup_state.h"

namespace tessarin {

namespace {

void (*&windowCloser())() {
    static void (*closer)() = nullptr;
    return closer;
}

void runExitSteps() {
    // The installation log's temporary working file is closed and deleted first.
    discardLogBody();
    if (windowCloser()) windowCloser()();
    dispatchPendingMessages();
    // The notification worker is stopped here once notifications exist.
    SetupState& state = setupState();
    state.icons = ProgramIcons{};
    if (state.oleInitialized) {
        state.oleInitialized = false;
        uninitializeOle();
    }
}

}  // namespace

void closeAtExit(void (*closeWindow)()) {
    windowCloser() = closeWindow;
}

void ExitSetup(unsigned code) {
    try {
        runExitSteps();
    } catch (...) {
        terminateProcess(code);
    }
    exitProcess(code);
}

namespace {

// Message 21 of the script's message table once a script is loaded, "Error" before that or
// when the script leaves it empty.
String fatalErrorCaption() {
    String caption = Message(21);
    if (caption.empty()) caption.assignWide(u"Error");
    return caption;
}

}  // namespace

// The installer's own 8-bit messages are code page 1252.
void FatalErrorHandler(const char* text) {
    String wide;
    toWide(text, kWholeLength, wide, 1252);
    FatalErrorHandlerWide(wide.w_str());
}

// An installation that stops here failed: with the conventional exit codes that is 1603. The
// uninstaller, and an installer whose script is not read yet, end with 1.
void FatalErrorHandlerWide(const char16_t* text) {
    const SetupState& state = setupState();
    if (!state.SilentMode)
        showMessageBox(nullptr, String(text), fatalErrorCaption(), kMbOk | kMbIconError);
    uint32_t flags2 = state.options.UninstallMode ? 0 : installScript().ProductFlags2;
    ExitSetup(installExitCode(InstallEnd::Failed, flags2));
}

}  // namespace tessarin
