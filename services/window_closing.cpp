#include "services/window_closing.h"

#include <cstring>

#include "core/convert.h"
#include "core/format.h"

namespace tessarin {

bool windowTextMatches(const String& pattern, const String& text) {
    if (pattern.empty()) return true;
    if (pattern.get(0) == '*') return std::strstr(text.c_str(), pattern.c_str() + 1) != nullptr;
    return pattern == text;
}

bool closeRuleMatches(const CloseRule& rule, const String& className, const String& title) {
    if (rule.classPattern.empty() && rule.titlePattern.empty()) return false;
    return windowTextMatches(rule.classPattern, className) &&
           windowTextMatches(rule.titlePattern, title);
}

int32_t closeRuleFor(const Vector<CloseRule>& rules, const String& className, const String& title) {
    for (int32_t i = 0; i < rules.count(); ++i) {
        if (closeRuleMatches(rules[i], className, title)) return i;
    }
    return -1;
}

Vector<CloseRule> closeRulesForPhase(const Vector<WindowCloseRule>& rules, int32_t phase) {
    Vector<CloseRule> chosen;
    for (const WindowCloseRule& rule : rules) {
        if ((rule.phases & phase) == 0) continue;
        CloseRule r;
        r.classPattern = rule.classPattern;
        r.titlePattern = rule.titlePattern;
        r.displayName = rule.displayName;
        r.mode = rule.mode;
        chosen.append(r);
    }
    return chosen;
}

String closeQuestion(const String& questionTemplate, const CloseRule& rule) {
    String name;
    toWide(rule.displayName.c_str(), rule.displayName.length(), name, 1252);
    return fillPlaceholder(questionTemplate, name);
}

WindowClosingResult closeWindows(WindowClosingSystem& system, const Vector<CloseRule>& rules,
                                 const String& questionTemplate, const String& caption,
                                 bool silent) {
    if (rules.empty()) return WindowClosingResult::Done;
    const uint32_t self = system.ownProcessId();
    for (const TopLevelWindow& window : system.windows()) {
        if (window.processId == self) continue;
        int32_t index = closeRuleFor(rules, window.className, window.title);
        if (index < 0) continue;
        const CloseRule& rule = rules[index];
        switch (rule.mode) {
            case kCloseByMessage:
                system.postClose(window.window);
                break;
            case kCloseByQuit:
                system.postQuit(window.window);
                break;
            case kCloseByAsking:
                if (silent) break;
                while (system.exists(window.window)) {
                    if (!system.askRetry(closeQuestion(questionTemplate, rule), caption))
                        return WindowClosingResult::Cancelled;
                }
                break;
            case kCloseByEnding:
                system.endProcess(window.processId);
                break;
            default:
                break;
        }
    }
    return WindowClosingResult::Done;
}

}  // namespace tessarin
