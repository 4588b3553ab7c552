// The installation log on the real file system: the body in a temporary file, Install.log in
// the uninstall folder of an install state read from a script.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "core/os_info.h"
#include "scratch_folder.h"
#include "script_sample.h"
#include "services/install_log.h"
#include "tools/build/script_writer.h"

namespace tessarin {
namespace {

using testing::get;
using testing::present;
using testing::w;

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Every "d" of the form is a digit, every other character stands for itself.
bool hasForm(const std::string& text, const std::string& form) {
    if (text.size() != form.size()) return false;
    for (size_t i = 0; i < form.size(); ++i)
        if (form[i] == 'd' ? !isdigit(static_cast<unsigned char>(text[i])) : text[i] != form[i])
            return false;
    return true;
}

std::u16string u16(const String& s) {
    return std::u16string(s.w_str(), static_cast<size_t>(s.wideLength()));
}

// The rich sample script with a log kept and the message table grown to hold the success
// line (message 43) in both of its languages.
String scriptBytes() {
    InstallScript s = testing::richScript();
    s.ProductFlags |= kFlagsKeepLog;
    int32_t languages = s.Messages.Languages.count();
    while (s.Messages.Texts.count() < 44 * languages) s.Messages.Texts.append(String(u"-"));
    s.Messages.MessageCount = 44;
    s.Messages.Texts[43 * languages + 0] = String(u"<product> ist installiert.");
    s.Messages.Texts[43 * languages + 1] = String(u"<product> is installed.");
    return build::writeInstallScript(s);
}

class InstallLogOnDisk : public ::testing::Test {
  protected:
    void SetUp() override {
        String bytes = scriptBytes();
        testing::FakeScriptEnvironment env;
        ScriptSource source{bytes.bytes(), static_cast<size_t>(bytes.length()), bytes.hash(), 0};
        ASSERT_EQ(ReadInstallScript(source, env, installScript()), 0);
        uninstallDir_ = scratch_ / u"Un\u00efnstall";
        ASSERT_TRUE(CreateDirectoryW(w(uninstallDir_), nullptr));
        installScript().UninstallDir = String(uninstallDir_.c_str());
        errorList().clear();
    }
    void TearDown() override {
        discardLogBody();
        errorList().clear();
        installScript() = InstallScript{};
    }

    testing::ScratchFolder scratch_{u"tessarin-log"};
    std::u16string uninstallDir_;
};

TEST_F(InstallLogOnDisk, TwoInstallationsMakeTwoBlocks) {
    ASSERT_TRUE(startLogBody());
    std::u16string body = u16(logBodyPath());
    ASSERT_TRUE(present(body));
    logText8("Installed: notes.txt\r\n");
    ASSERT_TRUE(finishInstallLog(false));
    EXPECT_FALSE(present(body)) << "the body file is deleted once the log is written";

    installScript().OldVersion = String(u"2.4");
    ASSERT_TRUE(startLogBody());
    logFormat("Installed: %s\r\n", "guide.txt");
    appendError("Failed to copy settings.ini\r\n");
    ASSERT_TRUE(finishInstallLog(true));

    std::string log = get(uninstallDir_ + u"\\Install.log");
    std::string os = osName(osRecord(), 0).c_str();  // ASCII on every system the tests know
    std::string header =
        "Installation log for: Product \xC3\xA9\r\n"
        "Install date: ";
    std::string rest =
        "Install type: New\r\n"
        "Install location: C:\\Program Files (x86)\\Vendor\\Product\r\n"
        "Installer version: 37.0.2\r\n"
        "Product version: 2.5.1\r\n"
        "Operating system: " +
        os + "\r\nInstalled: notes.txt\r\n\r\nProduct \xC3\xA9 is installed.\r\n";
    ASSERT_EQ(log.rfind("\xEF\xBB\xBF" + header, 0), 0u) << log;
    EXPECT_EQ(count(log, "\xEF\xBB\xBF"), 1u);
    EXPECT_EQ(count(log, "Installation log for: Product \xC3\xA9\r\n"), 2u);
    const std::string separator = "\r\n\r\n**********************************************\r\n";
    ASSERT_EQ(count(log, separator), 1u);
    size_t second = log.find(separator);
    std::string first = log.substr(0, second);
    EXPECT_EQ(first.substr(first.find("Install type: ")), rest);
    std::string next = log.substr(second + separator.size());
    EXPECT_EQ(next.rfind(header, 0), 0u);
    EXPECT_NE(next.find("Install type: Reinstall\r\n"), std::string::npos);
    EXPECT_NE(next.find("Product version: 2.5.1\r\nOverwriting version: 2.4\r\nOperating system: "),
              std::string::npos);
    EXPECT_NE(next.find("Installed: guide.txt\r\n\r\n*** FAILURE SUMMARY ***\r\n"
                        "Failed to copy settings.ini\r\n"),
              std::string::npos);
    // The date has the form yyyy/mm/dd HH:ii:ss.
    EXPECT_TRUE(hasForm(first.substr(header.size() + 3, 21), "dddd/dd/dd dd:dd:dd\r\n")) << first;
}

// A body of many pieces goes across whole and in order; a log left in code page 1252 is
// converted before the block is appended.
TEST_F(InstallLogOnDisk, ALongBodyAfterALegacyLog) {
    testing::put(uninstallDir_ + u"\\Install.log", "Old log \xE9\r\n");
    ASSERT_TRUE(startLogBody());
    std::string lines;
    for (int i = 0; i < 6000; ++i) {
        std::string line = "Installed: file number " + std::to_string(i) + ".dat\r\n";
        logText8(line.c_str());
        lines += line;
    }
    ASSERT_GT(lines.size(), 3u * 64 * 1024);
    ASSERT_TRUE(finishInstallLog(false));
    std::string log = get(uninstallDir_ + u"\\Install.log");
    EXPECT_EQ(log.rfind("\xEF\xBB\xBFOld log \xC3\xA9\r\n\r\n\r\n****", 0), 0u);
    size_t at = log.find("Installed: file number 0.dat\r\n");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(log.substr(at), lines + "\r\nProduct \xC3\xA9 is installed.\r\n");
}

TEST_F(InstallLogOnDisk, NoLogWithoutTheOptionUnlessFailed) {
    installScript().ProductFlags &= ~kFlagsKeepLog;
    ASSERT_TRUE(startLogBody());
    std::u16string body = u16(logBodyPath());
    logText8("line\r\n");
    EXPECT_FALSE(finishInstallLog(false));
    EXPECT_FALSE(present(uninstallDir_ + u"\\Install.log"));
    EXPECT_FALSE(present(body));

    ASSERT_TRUE(startLogBody());
    appendError("Failed\r\n");
    EXPECT_TRUE(finishInstallLog(false));
    EXPECT_NE(get(uninstallDir_ + u"\\Install.log").find("*** FAILURE SUMMARY ***\r\nFailed\r\n"),
              std::string::npos);
}

TEST_F(InstallLogOnDisk, DiscardDeletesTheBodyAndLaterLinesGoNowhere) {
    ASSERT_TRUE(startLogBody());
    std::u16string body = u16(logBodyPath());
    logText8("line\r\n");
    EXPECT_EQ(get(body), "line\r\n");
    discardLogBody();
    EXPECT_FALSE(present(body));
    EXPECT_TRUE(logBodyPath().empty());
    logText8("lost\r\n");  // no body: nothing happens
    ASSERT_TRUE(finishInstallLog(false));
    std::string log = get(uninstallDir_ + u"\\Install.log");
    EXPECT_EQ(log.find("lost"), std::string::npos) << log;
    EXPECT_EQ(log.find("line"), std::string::npos) << log;
}

}  // namespace
}  // namespace tessarin
