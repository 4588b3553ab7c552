#include "core/desktop.h"
#include "core/ui.h"
#include "services/window_closing.h"

namespace tessarin {

namespace {

class DesktopWindowClosing : public WindowClosingSystem {
  public:
    void* owner = nullptr;

    std::vector<TopLevelWindow> windows() override { return topLevelWindows(); }
    uint32_t ownProcessId() override { return currentProcessId(); }
    bool exists(void* window) override { return windowExists(window); }
    void postClose(void* window) override {
        bringWindowForward(window);
        postCloseMessage(window);
    }
    void postQuit(void* window) override {
        bringWindowForward(window);
        postQuitMessage(window);
    }
    void endProcess(uint32_t processId) override { terminateProcessById(processId, 0); }
    bool askRetry(const String& text, const String& caption) override {
        return showMessageBox(owner, text, caption, kMbRetryCancel | kMbIconWarning) != kIdCancel;
    }
};

}  // namespace

WindowClosingSystem& desktopWindowClosing(void* owner) {
    static DesktopWindowClosing system;
    system.owner = owner;
    return system;
}

WindowClosingResult closeWindows(const Vector<CloseRule>& rules, const String& questionTemplate,
                                 const String& caption, bool silent, void* owner) {
    return closeWindows(desktopWindowClosing(owner), rules, questionTemplate, caption, silent);
}

WindowClosingResult CloseWindowsForPhase(const Vector<WindowCloseRule>& rules, int32_t phase,
                                         const String& questionTemplate, const String& caption,
                                         bool silent, void* owner) {
    return closeWindows(closeRulesForPhase(rules, phase), questionTemplate, caption, silent, owner);
}

}  // namespace tessarin
