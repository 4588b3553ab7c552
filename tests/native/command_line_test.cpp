#include "services/command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace tessarin {
namespace {

std::string narrow(const String& s) {
    return std::string(s.c_str(), static_cast<size_t>(s.length()));
}

struct Parsed {
    bool ok;
    CommandLineOptions options;
    std::string error;
};

Parsed parse(const char16_t* commandLine) {
    Parsed p;
    String error;
    p.ok = parseCommandLine(commandLine, p.options, error);
    p.error = narrow(error);
    return p;
}

TEST(CommandLineTokenizer, KeepsQuotesInsideTokens) {
    const char16_t* text =
        u"  \"C:\\My Setup.exe\"\t/d:\"C:\\Program Files\\X\" /b1:\"a b\"c \"open end";
    const char16_t* expected[] = {u"\"C:\\My Setup.exe\"", u"/d:\"C:\\Program Files\\X\"",
                                  u"/b1:\"a b\"c", u"\"open end"};
    for (const char16_t* e : expected) EXPECT_TRUE(nextCommandLineToken(text).equalsWide(e));
    EXPECT_TRUE(nextCommandLineToken(text).isNull());
}

TEST(CommandLine, OnlyTheProgramPathIsAnInstallWithDefaults) {
    Parsed p = parse(u"\"C:\\setup.exe\"");
    ASSERT_TRUE(p.ok);
    EXPECT_FALSE(p.options.AutomaticMode || p.options.SilentMode || p.options.UninstallMode ||
                 p.options.StartMinimized || p.options.hasInstallDir || p.options.hasProductName);
}

TEST(CommandLine, OptionTable) {
    Parsed p = parse(
        u"setup.exe /A -min /D:\"C:\\Program Files\\Prod\" /n:\"My Product\" "
        u"/r:\"C:\\app.exe `arg one`\"");
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_TRUE(p.options.AutomaticMode);
    EXPECT_FALSE(p.options.SilentMode);
    EXPECT_TRUE(p.options.StartMinimized);
    EXPECT_TRUE(p.options.InstallDir.equalsWide(u"C:\\Program Files\\Prod"));
    EXPECT_STREQ(p.options.installDirPath.c_str(), "C:\\Program Files\\Prod");
    EXPECT_TRUE(p.options.ProductName.equalsWide(u"My Product"));
    EXPECT_TRUE(p.options.RunAfterInstall.equalsWide(u"C:\\app.exe \"arg one\""));
}

TEST(CommandLine, SilentAndAutomatic) {
    for (const char16_t* line : {u"s.exe /silent", u"s.exe -SILENT", u"s.exe /Silent"}) {
        Parsed p = parse(line);
        ASSERT_TRUE(p.ok);
        EXPECT_TRUE(p.options.SilentMode);
        EXPECT_TRUE(p.options.AutomaticMode);
    }
    Parsed longer = parse(u"s.exe /silently");
    EXPECT_FALSE(longer.ok);
    EXPECT_EQ(longer.error, "Illegal command line atom:\r\n/silently");
}

TEST(CommandLine, NonAsciiFolderGetsTheNarrowPathTwin) {
    Parsed p = parse(u"s.exe /d:\"C:\\\u00dcber\"");
    ASSERT_TRUE(p.ok);
    EXPECT_TRUE(p.options.InstallDir.equalsWide(u"C:\\\u00dcber"));
    EXPECT_STREQ(p.options.installDirPath.c_str(),
                 "|C:\\\xc3\x9c"
                 "ber");
}

TEST(CommandLine, UninstallForms) {
    Parsed named = parse(u"s.exe /u:\"Some Product\"");
    ASSERT_TRUE(named.ok);
    EXPECT_TRUE(named.options.UninstallMode);
    EXPECT_TRUE(named.options.uninstallProductName.equalsWide(u"Some Product"));
    Parsed bare = parse(u"s.exe /u:Plain");
    EXPECT_TRUE(bare.options.uninstallProductName.equalsWide(u"Plain"));
    for (const char16_t* line : {u"s.exe /u", u"s.exe /ux", u"s.exe -uninstall"}) {
        Parsed p = parse(line);
        ASSERT_TRUE(p.ok);
        EXPECT_TRUE(p.options.UninstallMode);
        EXPECT_TRUE(p.options.uninstallProductName.isNull());
    }
}

TEST(CommandLine, BatchOptionsBecomeAnsiLinesWithQuotesFromBackquotes) {
    Parsed p = parse(
        u"s.exe /b1:\"echo one~~echo `two`\" /b2:\"copy caf\u00e9 \u65e5\" "
        u"/b3:\"first\" /b3:\"second\"");
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_STREQ(p.options.ExtraPreInstallCommands.c_str(), "echo one\r\necho \"two\"");
    EXPECT_STREQ(p.options.ExtraPostInstallCommands.c_str(), "copy caf\xe9 ?");
    EXPECT_STREQ(p.options.ExtraExitCommands.c_str(), "second");
}

TEST(CommandLine, UsageErrors) {
    struct Case {
        const char16_t* line;
        const char* error;
    } cases[] = {
        {u"s.exe foo", "Unexpected command line parameter:\r\nfoo"},
        {u"s.exe /a \"/quoted\"", "Unexpected command line parameter:\r\n\"/quoted\""},
        {u"s.exe /x", "Illegal command line atom:\r\n/x"},
        {u"s.exe /r:noquote", "Illegal command line atom:\r\n/r:noquote"},
        {u"s.exe /b1:noquote", "Illegal command line atom:\r\n/b1:noquote"},
        {u"s.exe /d", "Illegal command line atom:\r\n/d"},
        {u"s.exe /\u00e9t\u65e5", "Illegal command line atom:\r\n/\xe9t?"},
    };
    for (const Case& c : cases) {
        Parsed p = parse(c.line);
        EXPECT_FALSE(p.ok);
        EXPECT_EQ(p.error, c.error);
    }
}

TEST(CommandLine, NineteenTokensAreReadAndTheRestIgnored) {
    std::u16string line = u"s.exe";
    for (int i = 0; i < 18; ++i) line += u" /a";
    Parsed nineteen = parse((line + u" /silent /bogus").c_str());
    ASSERT_TRUE(nineteen.ok) << nineteen.error;
    EXPECT_TRUE(nineteen.options.SilentMode);
    Parsed eighteen = parse((line + u" /bogus").c_str());
    EXPECT_FALSE(eighteen.ok);
}

TEST(CommandLine, UsageMessageText) {
    String text = usageMessage(String("Product name required"), String("my setup.exe"));
    EXPECT_STREQ(
        text.c_str(),
        "Product name required\r\n\r\nUsage:\r\nmy setup.exe [/a] [/b1:\"commands\"] "
        "[/b2:\"commands\"] [/b3:\"commands\"] [/d:\"dir\"] [/n:\"name\"] [/u:\"name\"] "
        "[/r:\"program\"] [/silent]\r\n\r\n/a                  \tAutomatic mode.\r\n"
        "/d:\"dir\"        \tOverride installation path.\r\n/b1:\"commands\"\tAdd commands "
        "to the end of the Pre-Installation Batch.\r\n/b2:\"commands\"\tAdd commands to the "
        "end of the Post-Installation Batch.\r\n/b3:\"commands\"\tAdd commands to the end "
        "of the Installation-Exit Batch.\r\n/n:\"name\"\tOverride product name.\r\n"
        "/u:\"name\"\tUninstall product by name.\r\n/r:\"program\"\tRun the specified "
        "program after a successful installation.\r\n/silent\tDisplay no user interface.");
}

}  // namespace
}  // namespace tessarin
