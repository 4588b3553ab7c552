// Closing programs by rules: matching of window texts, the rules of a phase, and what is done
// with each window of another process.
#include "services/window_closing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_text.h"

namespace tessarin {
namespace {

using testing::bytes;
using testing::utf8;

CloseRule rule(const char* cls, const char* title, int32_t mode = kCloseByMessage,
               const char* name = "") {
    CloseRule r;
    r.classPattern = String(cls);
    r.titlePattern = String(title);
    r.displayName = String(name);
    r.mode = mode;
    return r;
}

TEST(WindowClosingRules, WindowMatching) {
    struct Case {
        const char* cls;
        const char* title;
        const char* windowClass;
        const char* windowTitle;
        bool matches;
    } cases[] = {
        {"", "*Editor", "Anything", "My Editor - a.txt", true},
        {"", "*Editor", "Anything", "My editor", false},  // case counts
        {"Notepad", "", "Notepad", "x", true},
        {"Notepad", "", "Notepad2", "x", false},  // without "*" the text must be equal
        {"*pad", "", "Notepad2", "x", true},
        {"Notepad", "Untitled", "Notepad", "Untitled - Notepad", false},
        {"Notepad", "*Untitled", "Notepad", "Untitled - Notepad", true},
        {"", "", "Notepad", "x", false},  // at least one text is needed
        {"*", "", "Notepad", "", true},   // "*" alone finds the empty text
    };
    for (const Case& c : cases)
        EXPECT_EQ(
            closeRuleMatches(rule(c.cls, c.title), String(c.windowClass), String(c.windowTitle)),
            c.matches)
            << c.cls << "|" << c.title << " on " << c.windowClass << "|" << c.windowTitle;
}

WindowCloseRule stored(const char* title, int32_t mode, int32_t phases) {
    WindowCloseRule r;
    r.titlePattern = String(title);
    r.displayName = String(title);
    r.mode = mode;
    r.phases = phases;
    return r;
}

TEST(WindowClosingRules, PhaseSelectsRulesInTheirOrder) {
    Vector<WindowCloseRule> rules;
    rules.append(stored("A", 0, kClosePhaseBeforeQuestion));
    rules.append(stored("B", 1, kClosePhaseAfterQuestion));
    rules.append(stored("C", 2, kClosePhaseBeforeQuestion | kClosePhaseAfterQuestion));
    rules.append(stored("D", 3, kClosePhaseInstall));
    rules.append(stored("E", 0, 0));
    struct Case {
        int32_t phase;
        const char* titles;
    } cases[] = {
        {kClosePhaseBeforeQuestion, "AC"},
        {kClosePhaseAfterQuestion, "BC"},
        {kClosePhaseInstall, "D"},
        {8, ""},
    };
    for (const Case& c : cases) {
        std::string titles;
        for (const CloseRule& r : closeRulesForPhase(rules, c.phase)) {
            titles += bytes(r.titlePattern);
            EXPECT_EQ(bytes(r.displayName), bytes(r.titlePattern));
        }
        EXPECT_EQ(titles, c.titles) << "phase " << c.phase;
    }
    Vector<CloseRule> chosen = closeRulesForPhase(rules, kClosePhaseAfterQuestion);
    ASSERT_EQ(chosen.count(), 2);
    EXPECT_EQ(chosen[0].mode, 1);
    EXPECT_EQ(chosen[1].mode, 2);
}

// A desktop of listed windows; every action is recorded in order.
class ScriptedDesktop : public WindowClosingSystem {
  public:
    std::vector<TopLevelWindow> windows() override { return list; }
    uint32_t ownProcessId() override { return 7; }
    bool exists(void* window) override { return existChecks-- > 0 && window != nullptr; }
    void postClose(void* window) override { did("close " + name(window)); }
    void postQuit(void* window) override { did("quit " + name(window)); }
    void endProcess(uint32_t processId) override { did("end " + std::to_string(processId)); }
    bool askRetry(const String& text, const String& caption) override {
        did("ask " + utf8(text) + " / " + utf8(caption));
        return answers.empty() ? false : (answers.erase(answers.begin()), true);
    }

    void add(intptr_t id, const char* cls, const char* title, uint32_t process) {
        TopLevelWindow w;
        w.window = reinterpret_cast<void*>(id);
        w.className = String(cls);
        w.title = String(title);
        w.processId = process;
        list.push_back(w);
    }
    static std::string name(void* window) {
        return std::to_string(reinterpret_cast<intptr_t>(window));
    }
    void did(const std::string& what) { actions.push_back(what); }

    std::vector<TopLevelWindow> list;
    int existChecks = 0;
    std::vector<bool> answers;  // each entry is one Retry
    std::vector<std::string> actions;
};

TEST(WindowClosing, FirstMatchingRuleHandlesEachWindowOfOtherProcesses) {
    ScriptedDesktop desktop;
    desktop.add(1, "Editor", "a.txt", 10);
    desktop.add(2, "Editor", "own.txt", 7);  // this process: never touched
    desktop.add(3, "Viewer", "Photo View", 11);
    desktop.add(4, "Player", "Tune", 12);
    desktop.add(5, "Other", "Nothing", 13);
    Vector<CloseRule> rules;
    rules.append(rule("Editor", "", kCloseByMessage));
    rules.append(rule("", "*View", kCloseByQuit));
    rules.append(rule("*", "", kCloseByEnding));  // matches every window left
    rules.append(rule("Player", "", kCloseByMessage));
    EXPECT_EQ(closeWindows(desktop, rules, String(u"%s?"), String(u"C"), false),
              WindowClosingResult::Done);
    EXPECT_EQ(desktop.actions, (std::vector<std::string>{"close 1", "quit 3", "end 12", "end 13"}));
}

TEST(WindowClosing, AskingRepeatsWhileTheWindowExistsAndCancelStops) {
    Vector<CloseRule> rules;
    rules.append(rule("", "*Editor", kCloseByAsking, "Caf\xE9 Editor"));
    rules.append(rule("Other", "", kCloseByMessage));

    // Retry twice, then the window is gone; the next window is still handled.
    ScriptedDesktop retried;
    retried.add(1, "E", "My Editor", 10);
    retried.add(2, "Other", "x", 10);
    retried.existChecks = 2;
    retried.answers = {true, true};
    EXPECT_EQ(closeWindows(retried, rules, String(u"Close %s first."), String(u"Uninstall"), false),
              WindowClosingResult::Done);
    EXPECT_EQ(retried.actions, (std::vector<std::string>{
                                   "ask Close Caf\xC3\xA9 Editor first. / Uninstall",
                                   "ask Close Caf\xC3\xA9 Editor first. / Uninstall", "close 2"}));

    // Cancel stops at once: the next window is not touched.
    ScriptedDesktop cancelled;
    cancelled.add(1, "E", "My Editor", 10);
    cancelled.add(2, "Other", "x", 10);
    cancelled.existChecks = 5;
    EXPECT_EQ(closeWindows(cancelled, rules, String(u"%s"), String(u"C"), false),
              WindowClosingResult::Cancelled);
    EXPECT_EQ(cancelled.actions.size(), 1u);

    // Silent: no question, the window is left as it is.
    ScriptedDesktop silent;
    silent.add(1, "E", "My Editor", 10);
    silent.existChecks = 5;
    EXPECT_EQ(closeWindows(silent, rules, String(u"%s"), String(u"C"), true),
              WindowClosingResult::Done);
    EXPECT_TRUE(silent.actions.empty());
}

}  // namespace
}  // namespace tessarin
