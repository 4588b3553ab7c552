// The portable decisions of launching programs and of the shell open.
#include "core/process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_text.h"

namespace tessarin {
namespace {

using testing::fromUtf8;
using testing::utf8;

TEST(LaunchPlan, OptionsBecomeCreationFlagsAndShowState) {
    struct Case {
        uint32_t options;
        uint32_t creationFlags;
        bool setShowWindow;
        uint16_t showWindow;
    };
    // NORMAL 0x20, IDLE 0x40, HIGH 0x80, CREATE_NEW_CONSOLE 0x10; SW_HIDE 0, SW_MAXIMIZE 3,
    // SW_MINIMIZE 6.
    const Case cases[] = {
        {0, 0x20, false, 0},
        {kLaunchWait | kLaunchPumpMessages | kLaunchFailureBox, 0x20, false, 0},
        {kLaunchIdlePriority, 0x60, false, 0},
        {kLaunchHighPriority, 0xA0, false, 0},
        {kLaunchHighPriority | kLaunchIdlePriority, 0xA0, false, 0},
        {kLaunchNewConsole, 0x30, false, 0},
        {kLaunchHidden, 0x20, true, 0},
        {kLaunchMinimized | kLaunchHidden, 0x20, true, 6},
        {kLaunchMaximized | kLaunchMinimized | kLaunchHidden, 0x20, true, 3},
        {kLaunchMaximized | kLaunchIdlePriority | kLaunchNewConsole, 0x70, true, 3},
    };
    for (const Case& c : cases) {
        LaunchPlan plan = launchPlan(c.options);
        EXPECT_EQ(plan.creationFlags, c.creationFlags) << std::hex << c.options;
        EXPECT_EQ(plan.setShowWindow, c.setShowWindow) << std::hex << c.options;
        EXPECT_EQ(plan.showWindow, c.showWindow) << std::hex << c.options;
        EXPECT_FALSE(plan.inheritHandles);
    }
    EXPECT_TRUE(launchPlan(kLaunchInheritHandles).inheritHandles);
}

TEST(LaunchPlan, ProgramFolderIsTheCommandLineBeforeItsLastBackslash) {
    EXPECT_EQ(utf8(programFolderOf(fromUtf8("\"C:\\Program Files\\App\\app.exe\" /x"))),
              "C:\\Program Files\\App");
    EXPECT_EQ(utf8(programFolderOf(fromUtf8("C:\\Tools\\run.exe"))), "C:\\Tools");
    // The rule takes the last backslash of the whole line, also one in an argument.
    EXPECT_EQ(utf8(programFolderOf(fromUtf8("C:\\a\\b.exe D:\\data\\file"))),
              "C:\\a\\b.exe D:\\data");
    EXPECT_EQ(utf8(programFolderOf(fromUtf8("notepad.exe"))), "");
}

TEST(CommandLines, SplitIntoProgramAndArguments) {
    struct Case {
        const char16_t* command;
        const char* program;
        const char* arguments;
    } cases[] = {
        {u"\"C:\\Program Files\\App\\app.exe\" /x y", "C:\\Program Files\\App\\app.exe", "/x y"},
        {u"C:\\Program Files\\App\\app.exe /x", "C:\\Program Files\\App\\app.exe", "/x"},
        {u"notepad.exe readme.txt", "notepad.exe", "readme.txt"},
        {u"  C:\\App\\app.exe", "C:\\App\\app.exe", ""},
        {u"\"C:\\unterminated", "C:\\unterminated", ""},
        {u"C:\\Tools\\RUN.CMD C:\\a b.exe", "C:\\Tools\\RUN.CMD", "C:\\a b.exe"},
        {u"C:\\app.exes\\x.exe -q", "C:\\app.exes\\x.exe", "-q"},
    };
    for (const Case& c : cases) {
        SplitCommand split = splitCommand(String(c.command));
        EXPECT_EQ(utf8(split.program), c.program);
        EXPECT_EQ(utf8(split.arguments), c.arguments);
    }
}

TEST(LaunchPlan, SystemProgramsAreStartedByTheirFullPath) {
    EXPECT_EQ(utf8(systemProgramCommand(fromUtf8("C:\\Windows\\system32"), u"regsvr32.exe",
                                        fromUtf8("/s /u \"C:\\x.dll\""))),
              "\"C:\\Windows\\system32\\regsvr32.exe\" /s /u \"C:\\x.dll\"");
    EXPECT_EQ(utf8(systemProgramCommand(fromUtf8("C:\\My Windows\\system32\\"), u"notepad.exe",
                                        fromUtf8("\"C:\\log.txt\""))),
              "\"C:\\My Windows\\system32\\notepad.exe\" \"C:\\log.txt\"");
}

TEST(LaunchPlan, FailureTextNamesTheCommandAndTheSystemText) {
    EXPECT_EQ(utf8(launchFailureText(fromUtf8("C:\\x.exe /q"),
                                     fromUtf8("The system cannot find the file specified."))),
              "Unable to create process:\r\nC:\\x.exe /q\r\n\r\n"
              "The system cannot find the file specified.");
}

// A shell that answers from a script and records each call's verb.
std::vector<std::string> calledVerbs;
std::vector<intptr_t> answers;

intptr_t scriptedShell(const String& verb, const String& file, const String& parameters,
                       const String& folder, int showCommand) {
    calledVerbs.push_back(utf8(verb));
    intptr_t answer = answers.front();
    answers.erase(answers.begin());
    return answer;
}

intptr_t openWith(const char* verb, std::vector<intptr_t> script) {
    calledVerbs.clear();
    answers = std::move(script);
    return shellExecuteWithElevation(scriptedShell, fromUtf8("C:\\a.txt"), String(), String(),
                                     fromUtf8(verb), 1);
}

TEST(ShellOpen, AccessDeniedOpeningIsAskedOnceMoreWithRunas) {
    EXPECT_EQ(openWith("", {5, 42}), 42);
    EXPECT_EQ(calledVerbs, (std::vector<std::string>{"", "runas"}));
    EXPECT_EQ(openWith("OPEN", {5, 5}), 5);
    EXPECT_EQ(calledVerbs, (std::vector<std::string>{"OPEN", "runas"}));
    // Another verb, or another refusal, is not retried.
    EXPECT_EQ(openWith("print", {5}), 5);
    EXPECT_EQ(calledVerbs, (std::vector<std::string>{"print"}));
    EXPECT_EQ(openWith("open", {2}), 2);
    EXPECT_EQ(calledVerbs, (std::vector<std::string>{"open"}));
    EXPECT_EQ(openWith("open", {33}), 33);
    EXPECT_EQ(calledVerbs.size(), 1u);
}

TEST(ShellOpen, FileUrlBecomesADecodedLocalPath) {
    EXPECT_EQ(utf8(localPathOfFileUrl(fromUtf8("file:///C:/Program%20Files/App/read%20me.txt"))),
              "C:\\Program Files\\App\\read me.txt");
    EXPECT_EQ(utf8(localPathOfFileUrl(fromUtf8("FILE:///c:/x/caf%C3%A9.txt"))), "c:\\x\\café.txt");
    EXPECT_EQ(utf8(localPathOfFileUrl(fromUtf8("file:///c:/Ω/é.txt"))), "c:\\Ω\\é.txt");
    // A stray percent sign stays as it is.
    EXPECT_EQ(utf8(localPathOfFileUrl(fromUtf8("file:///c:/100%/a%2"))), "c:\\100%\\a%2");
    EXPECT_EQ(utf8(localPathOfFileUrl(fromUtf8("http://example.com/a"))), "");
    EXPECT_EQ(utf8(localPathOfFileUrl(fromUtf8("C:\\a.txt"))), "");
}

}  // namespace
}  // namespace tessarin
