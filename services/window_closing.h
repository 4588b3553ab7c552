// Closing the programs that must not run while files are replaced or removed: rules that name
// top-level windows by class and title, and what to do with each window found. The installer
// takes its rules from its programs-to-close list, the uninstaller from its close rules of the
// current phase.
//
// The matching is portable (window_closing.cpp); the closing itself asks the running desktop
// (window_closing_win.cpp).
#pragma once

#include <cstdint>
#include <vector>

#include "core/containers.h"
#include "core/desktop.h"
#include "core/string.h"
#include "services/uninstall_data.h"

namespace tessarin {

// What is done with a window that a rule matches.
enum CloseMode : int32_t {
    kCloseByMessage = 0,  // WM_CLOSE
    kCloseByQuit = 1,     // WM_QUIT
    kCloseByAsking = 2,   // Retry/Cancel question until the window is gone
    kCloseByEnding = 3,   // the owning process is terminated
};

struct CloseRule {
    String classPattern;  // 8-bit; a leading "*" finds the rest anywhere
    String titlePattern;  // 8-bit; the same
    String displayName;   // 8-bit, code page 1252
    int32_t mode = kCloseByMessage;
};

// A window text against a pattern (8-bit): "*word" finds word anywhere, any other pattern must
// be equal; an empty pattern matches anything.
bool windowTextMatches(const String& pattern, const String& text);
// Both patterns match and at least one of them is not empty.
bool closeRuleMatches(const CloseRule& rule, const String& className, const String& title);
// The first rule that matches the window; -1 for none.
int32_t closeRuleFor(const Vector<CloseRule>& rules, const String& className, const String& title);
// The uninstaller's rules whose phase bits include phase, in their order.
Vector<CloseRule> closeRulesForPhase(const Vector<WindowCloseRule>& rules, int32_t phase);
// The question of an asking rule (UTF-16): the template with "%s" filled with the rule's
// display name, read in code page 1252.
String closeQuestion(const String& questionTemplate, const CloseRule& rule);

enum class WindowClosingResult {
    Done,       // every matching window was handled
    Cancelled,  // the user answered Cancel to a question
};

// What the closing asks of the running desktop.
class WindowClosingSystem {
  public:
    virtual ~WindowClosingSystem() = default;
    virtual std::vector<TopLevelWindow> windows() = 0;
    virtual uint32_t ownProcessId() = 0;
    virtual bool exists(void* window) = 0;
    virtual void postClose(void* window) = 0;
    virtual void postQuit(void* window) = 0;
    virtual void endProcess(uint32_t processId) = 0;
    // Retry/Cancel with the warning icon; true for Retry.
    virtual bool askRetry(const String& text, const String& caption) = 0;
};

// Every top-level window of another process is handled by the first rule that matches it.
// Asking rules are skipped when silent. Stops at the first Cancel.
WindowClosingResult closeWindows(WindowClosingSystem& system, const Vector<CloseRule>& rules,
                                 const String& questionTemplate, const String& caption,
                                 bool silent);

// The running desktop (window_closing_win.cpp); questions are owned by owner (may be null).
WindowClosingSystem& desktopWindowClosing(void* owner = nullptr);
WindowClosingResult closeWindows(const Vector<CloseRule>& rules, const String& questionTemplate,
                                 const String& caption, bool silent, void* owner = nullptr);
// The uninstaller's rules of one phase (kClosePhaseBeforeQuestion, kClosePhaseAfterQuestion)
// against the running desktop; questionTemplate is UTF-16 with "%s" for the display name.
WindowClosingResult CloseWindowsForPhase(const Vector<WindowCloseRule>& rules, int32_t phase,
                                         const String& questionTemplate, const String& caption,
                                         bool silent, void* owner = nullptr);

}  // namespace tessarin
