#include "package/install_script.h"
#include "services/setup_state.h"
#include "setup/script_hooks.h"
#include "ui/background_settings.h"
#include "ui/background_window.h"

namespace tessarin {
namespace {

String messageZero() {
    return Message(0);
}

void takeSettingsFromScript() {
    BackgroundWindowSettings& settings = backgroundWindowSettings();
    backgroundSettingsFromScript(installScript(), settings);
    settings.icons = setupState().icons;
    settings.defaultTitle = messageZero;
}

}  // namespace

// The window is created after the script's first fields; the rest of its appearance (colours,
// picture, copyright, the texts of message 0) is read afterwards and applied by
// applyScriptToBackgroundWindow.
void showBackgroundWindowFromScript(bool minimized) {
    takeSettingsFromScript();
    CreateBackgroundWindow(minimized);
}

void applyScriptToBackgroundWindow() {
    if (!backgroundWindow()) return;
    takeSettingsFromScript();
    repaintBackgroundWindow();
}

// Filled in by the networking module.
void startNetworking() {}

// Filled in by the install notifications module.
void queueLaunchNotification(const String&) {}

}  // namespace tessarin
