// The batch file's text, its console encoding, the interpreter and the script's batches.
#include "services/batch.h"

#include <gtest/gtest.h>

#include <string>

#include "package/install_script.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::fromUtf8;
using testing::utf8;

// Every value is "<n>" with n the variable's number, except a few the test sets.
class NumberedValues : public PathVariableValues {
  public:
    String value(PathVariable variable) const override {
        switch (variable) {
            case PathVariable::InstallDir:
                return fromUtf8("C:\\Program Files\\Ünï App");
            case PathVariable::ProductName:
                return fromUtf8("Say \"Hi\" 100%");
            case PathVariable::Portable:
                return fromUtf8("0");
            default:
                return fromUtf8("<" + std::to_string(static_cast<int>(variable)) + ">");
        }
    }
    bool expandEnvironment(String&) const override { return false; }
};

std::string lineOf(const std::string& text, const std::string& start) {
    size_t at = text.find("\r\n" + start);
    if (at == std::string::npos) return "";
    size_t end = text.find("\r\n", at + 2);
    return text.substr(at + 2, end - at - 2);
}

TEST(BatchText, SetsEveryValueThenRunsTheCommands) {
    std::string text = utf8(batchText(NumberedValues(), String("echo %InstallDir%\r\n"), false));
    ASSERT_EQ(text.rfind("@echo off\r\nSET \"InstallDir=C:\\Program Files\\Ünï App\"\r\n", 0), 0u);
    // Values go in as they are, quotes and percent signs included.
    EXPECT_EQ(lineOf(text, "SET \"ProductName="), "SET \"ProductName=Say \"Hi\" 100%\"");
    EXPECT_EQ(lineOf(text, "SET \"AppDataAllDir="), "SET \"AppDataAllDir=<0>\"");
    EXPECT_EQ(lineOf(text, "SET Portable="), "SET Portable=0");
    EXPECT_EQ(lineOf(text, "SET OSName="), "SET OSName=<49>");
    // 37 quoted lines, then 11 unquoted ones in their fixed order, then the commands.
    size_t quoted = 0, plain = 0;
    for (size_t at = 0; (at = text.find("\r\nSET ", at)) != std::string::npos; ++at)
        ++(text[at + 6] == '"' ? quoted : plain);
    EXPECT_EQ(quoted, 37u);
    EXPECT_EQ(plain, 11u);
    EXPECT_LT(text.find("SET \"AppDataAllDir="), text.find("SET InstallDrive="));
    EXPECT_LT(text.find("SET OSMinor="), text.find("SET OSName="));
    EXPECT_EQ(text.find("Temp="), std::string::npos);
    EXPECT_EQ(text.find("WinDir="), std::string::npos);
    EXPECT_EQ(text.substr(text.find("SET OSName=")), "SET OSName=<49>\r\necho %InstallDir%\r\n");
}

TEST(BatchText, CommandsAreCodePage1252AndPauseLinesGoWhenAsked) {
    // "\x80" is the euro sign in code page 1252.
    String commands("echo \x80 caf\xe9\npause\r\n  @ PaUsE \t\r\r@echo pause here\nPAUSE");
    std::string kept = utf8(batchText(NumberedValues(), commands, false));
    EXPECT_NE(kept.find("\r\necho € café\npause\r\n  @ PaUsE \t\r\r@echo pause here\nPAUSE"),
              std::string::npos);
    std::string dropped = utf8(batchText(NumberedValues(), commands, true));
    EXPECT_EQ(dropped.substr(dropped.find("\r\necho €")), "\r\necho € café\n\r@echo pause here\n");
}

TEST(BatchText, OnlyPauseGivesAFileOfValuesAlone) {
    std::string text = utf8(batchText(NumberedValues(), String("@pause"), true));
    EXPECT_EQ(text.substr(text.size() - 17), "SET OSName=<49>\r\n");
}

TEST(BatchText, PauseLines) {
    for (const char* line : {"pause", "PAUSE", " @pause ", "@ Pause\t", "\tpause\r\n"})
        EXPECT_TRUE(isPauseLine(fromUtf8(line))) << line;
    for (const char* line : {"pause > nul", "@@pause", "echo pause", "", "paused"})
        EXPECT_FALSE(isPauseLine(fromUtf8(line))) << line;
}

TEST(BatchEncoding, Utf8OnlyForNonAsciiTextOnSystemsThatReadIt) {
    String ascii = fromUtf8("@echo off\necho a\r\nb\rc\n\rd");
    EXPECT_EQ(std::string(encodeForConsole(ascii, true).c_str()),
              "@chcp 1252 >nul\r\n@echo off\r\necho a\r\nb\r\nc\r\nd\r\n");
    String latin = fromUtf8("echo café\r\n");
    EXPECT_EQ(std::string(encodeForConsole(latin, false).c_str()),
              "@chcp 1252 >nul\r\necho caf\xe9\r\n");
    String greek = fromUtf8("echo Ωmega café");
    EXPECT_EQ(std::string(encodeForConsole(greek, true).c_str()),
              "@chcp 65001 >nul\r\necho Ωmega café\r\n");
    // Before Windows 7 what code page 1252 lacks becomes "?".
    EXPECT_EQ(std::string(encodeForConsole(greek, false).c_str()),
              "@chcp 1252 >nul\r\necho ?mega caf\xe9\r\n");
}

TEST(BatchEncoding, ConsoleReadsUtf8FromWindows7) {
    EXPECT_FALSE(consoleReadsUtf8(true, 5, 1));
    EXPECT_FALSE(consoleReadsUtf8(true, 6, 0));
    EXPECT_TRUE(consoleReadsUtf8(true, 6, 1));
    EXPECT_TRUE(consoleReadsUtf8(true, 10, 0));
    EXPECT_FALSE(consoleReadsUtf8(false, 4, 90));
}

TEST(BatchInterpreter, ComspecUnlessItDidNotExpand) {
    String windows = fromUtf8("C:\\WINDOWS"), system = fromUtf8("C:\\WINDOWS\\system32");
    EXPECT_EQ(utf8(commandInterpreter(fromUtf8("D:\\tools\\tcc.exe"), false, windows, system)),
              "D:\\tools\\tcc.exe");
    EXPECT_EQ(utf8(commandInterpreter(fromUtf8("%COMSPEC%"), false, windows, system)),
              "C:\\WINDOWS\\system32\\cmd.exe");
    EXPECT_EQ(utf8(commandInterpreter(String(), false, windows, system)),
              "C:\\WINDOWS\\system32\\cmd.exe");
    EXPECT_EQ(utf8(commandInterpreter(fromUtf8("%comspec%"), true, windows, system)),
              "C:\\WINDOWS\\command.com");
}

// Batch files (the installation's and the uninstaller's self-removal script) may lie below a
// folder with a blank, on a volume that keeps no short names: every path is quoted.
TEST(BatchInterpreter, CommandLineQuotesEveryPath) {
    const String cmd = fromUtf8("C:\\WINDOWS\\system32\\cmd.exe");
    EXPECT_EQ(utf8(batchCommandLine(cmd, fromUtf8("C:\\Users\\Jo Doe\\Temp\\x.bat"))),
              "\"C:\\WINDOWS\\system32\\cmd.exe\" /s /c "
              "\"\"C:\\Users\\Jo Doe\\Temp\\x.bat\"\"");
    EXPECT_EQ(utf8(batchCommandLine(cmd, fromUtf8("C:\\My App\\SETUPBAT.BAT"),
                                    fromUtf8("C:\\My App\\cs_batch.log"))),
              "\"C:\\WINDOWS\\system32\\cmd.exe\" /s /c "
              "\"\"C:\\My App\\SETUPBAT.BAT\" > \"C:\\My App\\cs_batch.log\"\"");
}

TEST(BatchRequests, TitlesAndHiddenFromTheOptionWords) {
    InstallScript script;
    script.PreInstallBatch.assign("pre");
    script.UpgradeBatch.assign("up");
    script.ReinstallBatch.assign("re");
    script.PostInstallBatch.assign("post");
    script.ExitBatch.assign("exit");
    script.UninstallBatch1.assign("u1");
    script.UninstallBatch2.assign("u2");
    struct Case {
        BatchKind kind;
        const char* commands;
        uint32_t titleBit;
        uint64_t hiddenBit;
        const char* title;
    };
    const Case cases[] = {
        {BatchKind::PreInstallation, "pre", 0x40, 0x800000, "Pre-Installation Batch"},
        {BatchKind::Upgrade, "up", 0x100, 0x10000000ull << 32, "Upgrade Batch"},
        {BatchKind::Reinstall, "re", 0x200, 0x20000000ull << 32, "Reinstall Batch"},
        {BatchKind::PostInstallation, "post", 0x80, 0x1000000, "Post-Installation Batch"},
        {BatchKind::InstallationExit, "exit", 0, 0x2000000, ""},
        {BatchKind::Uninstall1, "u1", 0, 0x4000000, ""},
        {BatchKind::Uninstall2, "u2", 0, 0x8000000, ""},
    };
    for (const Case& c : cases) {
        script.ProductFlags = 0;
        script.ProductFlags2 = 0;
        BatchRequest plain = batchRequest(c.kind, script, false, false);
        EXPECT_STREQ(plain.commands.c_str(), c.commands);
        EXPECT_FALSE(plain.hidden) << c.commands;
        EXPECT_TRUE(plain.title.empty()) << c.commands;
        EXPECT_TRUE(batchRequest(c.kind, script, false, true).hidden) << c.commands;
        EXPECT_TRUE(batchRequest(c.kind, script, true, false).automatic);

        // Every option bit of every batch set: each batch takes only its own.
        script.ProductFlags = ~0ull & ~c.hiddenBit;
        script.ProductFlags2 = ~0u;
        BatchRequest others = batchRequest(c.kind, script, false, false);
        EXPECT_FALSE(others.hidden) << c.commands;
        EXPECT_STREQ(others.title.c_str(), c.title);
        script.ProductFlags = c.hiddenBit;
        script.ProductFlags2 = c.titleBit;
        BatchRequest own = batchRequest(c.kind, script, false, false);
        EXPECT_TRUE(own.hidden) << c.commands;
        EXPECT_STREQ(own.title.c_str(), c.title);
    }
}

}  // namespace
}  // namespace tessarin
