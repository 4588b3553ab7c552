#include "core/convert.h"
#include "core/process.h"
#include "core/ui.h"
#include "services/install_log.h"
#include "setup/background_window.h"
#include "setup/setup_state.h"

namespace tessarin {

SetupState& setupState() {
    static SetupState state;
    return state;
}

Payload& setupPayload() {
    static Payload payload;
    return payload;
}

namespace {

void runExitSteps() {
    // The installation log's temporary working file is closed and deleted first.
    discardLogBody();
    destroyBackgroundWindow();
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

void ExitSetup(unsigned code) {
    try {
        runExitSteps();
    } catch (...) {
        terminateProcess(code);
    }
    exitProcess(code);
}

// The installer's own 8-bit messages are code page 1252. The caption is message 21 of the
// script's message table once a script is loaded, "Error" before that.
void FatalErrorHandler(const char* text) {
    if (!setupState().SilentMode) {
        String wide, caption(u"Error");
        toWide(text, kWholeLength, wide, 1252);
        showMessageBox(nullptr, wide, caption, kMbOk | kMbIconError);
    }
    ExitSetup(1);
}

}  // namespace tessarin
