#include "services/install_log.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "core/platform_text.h"
#include "memory_log_body.h"
#include "package/script_format.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::BodyScope;
using testing::bytes;
using testing::MemoryBody;

TEST(InstallLogWriters, ConvertEachInputToUtf8) {
    BodyScope scope;
    logText8("caf\xE9 \x80\r\n");  // code page 1252: e acute, euro sign
    logText(String(u"\u00fcber \u4e2d "));
    const char16_t lone[] = {u'a', 0xD800, u'b', 0};
    logWide(lone);
    logRaw("\xFF\x00raw", 5);
    logFormat("%d files in %s\r\n", 3, "C:\\Pro\xE9");
    logFormatWide(u"%s=%d\r\n", u"n\u00e4me", 7);
    logConcat({"one ", "two", nullptr, "never"});
    logConcatWide({u" three", nullptr, u"never"});
    std::string expected =
        "caf\xC3\xA9 \xE2\x82\xAC\r\n"
        "\xC3\xBC"
        "ber \xE4\xB8\xAD "
        "a?b";
    expected += std::string("\xFF\x00raw", 5);
    expected +=
        "3 files in C:\\Pro\xC3\xA9\r\n"
        "n\xC3\xA4me=7\r\n"
        "one two three";
    EXPECT_EQ(bytes(scope.body.text), expected);
}

TEST(InstallLogWriters, LinesBeforeTheBodyGoNowhere) {
    setLogBody(nullptr);
    logText8("lost\r\n");
    logFormat("%s", "lost");
    logRaw("lost", 4);
    BodyScope scope;
    logText8("kept");
    EXPECT_EQ(bytes(scope.body.text), "kept");
}

TEST(InstallLogErrorList, CollectsFailuresInOrder) {
    errorList().clear();
    appendError("Failed to copy a.dll\r\n");
    appendErrorFormat("Failed to register %s (%d)\r\n", "b.ocx", 5);
    EXPECT_EQ(bytes(errorList()), "Failed to copy a.dll\r\nFailed to register b.ocx (5)\r\n");
    errorList().clear();
}

InstallLogHeader sampleHeader() {
    InstallLogHeader h;
    h.productName = String(u"Prod\u00fckt");
    h.installDate.setDate(2024, 3, 5);
    h.installDate.setTime(14, 7, 9);
    h.showInstallType = true;
    h.reinstall = false;
    h.installDir = String(u"C:\\Program Files\\Prod\u00fckt");
    h.version = String(u"2.5.1");
    h.oldVersion = String(u"2.4");
    h.osName = String("Windows 10 Pro");
    return h;
}

const char kFullHeader[] =
    "Installation log for: Prod\xC3\xBCkt\r\n"
    "Install date: 2024/03/05 14:07:09\r\n"
    "Install type: New\r\n"
    "Install location: C:\\Program Files\\Prod\xC3\xBCkt\r\n"
    "Installer version: 37.0.2\r\n"
    "Product version: 2.5.1\r\n"
    "Overwriting version: 2.4\r\n"
    "Operating system: Windows 10 Pro\r\n";

TEST(InstallLogHeader, EveryLabelInOrder) {
    EXPECT_EQ(bytes(installLogHeaderText(sampleHeader())), kFullHeader);
}

TEST(InstallLogHeader, OptionalLinesFollowTheirValues) {
    InstallLogHeader h = sampleHeader();
    h.reinstall = true;
    EXPECT_NE(bytes(installLogHeaderText(h)).find("Install type: Reinstall\r\n"),
              std::string::npos);
    h.showInstallType = false;
    h.version.clear();
    h.oldVersion.clear();
    EXPECT_EQ(bytes(installLogHeaderText(h)),
              "Installation log for: Prod\xC3\xBCkt\r\n"
              "Install date: 2024/03/05 14:07:09\r\n"
              "Install location: C:\\Program Files\\Prod\xC3\xBCkt\r\n"
              "Installer version: 37.0.2\r\n"
              "Operating system: Windows 10 Pro\r\n");
}

TEST(InstallLogHeader, TakesTheScriptValues) {
    InstallScript script;
    script.ProductFlags = kFlagsUninstallEntry;
    script.ProductName = String(u"Name");
    script.InstallDir = String(u"D:\\Name");
    script.Version = String(u"1.0");
    script.OldVersion = String(u"0.9");
    DateTime now;
    now.setDate(2023, 12, 31);
    now.setTime(23, 59, 58);
    InstallLogHeader h = installLogHeader(script, true, now, String("OS"));
    EXPECT_EQ(bytes(installLogHeaderText(h)),
              "Installation log for: Name\r\nInstall date: 2023/12/31 23:59:58\r\n"
              "Install type: Reinstall\r\nInstall location: D:\\Name\r\n"
              "Installer version: 37.0.2\r\nProduct version: 1.0\r\n"
              "Overwriting version: 0.9\r\nOperating system: OS\r\n");
}

TEST(InstallLogBlock, SuccessAndFailureEndings) {
    InstallLogHeader h = sampleHeader();
    String body("Copied a.txt\r\n");
    String success(u"Installation complete \u2713");
    EXPECT_EQ(bytes(installLogBlock(h, body, false, String(), success)),
              std::string("\xEF\xBB\xBF") + kFullHeader +
                  "Copied a.txt\r\n\r\nInstallation complete \xE2\x9C\x93\r\n");
    // The error list is in the system ANSI code page; the e acute below is 1252.
    bool ansi1252 = systemAnsiCodePage() == 1252;
    String errors(ansi1252 ? "Failed to copy \xE9.dll\r\n" : "Failed to copy e.dll\r\n");
    EXPECT_EQ(bytes(installLogBlock(h, body, true, errors, success)),
              std::string("\r\n\r\n**********************************************\r\n") +
                  kFullHeader + "Copied a.txt\r\n\r\n*** FAILURE SUMMARY ***\r\nFailed to copy " +
                  (ansi1252 ? "\xC3\xA9" : "e") + ".dll\r\n");
}

TEST(InstallLogBlock, WrittenWhenAskedOrWhenFailed) {
    struct Case {
        uint64_t flags;
        const char* errors;
        bool wanted;
    } cases[] = {
        {0, "", false},
        {kFlagsKeepLog, "", true},
        {0, "Failed\r\n", true},
        {kFlagsKeepLog | 0x4, "Failed\r\n", true},
        {~kFlagsKeepLog, "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(installLogWanted(c.flags, String(c.errors)), c.wanted) << c.flags;
}

// Install.log in memory, with a switch that makes it unopenable.
class MemoryLogFile : public LogFile {
  public:
    bool open(const String& path) override {
        opened = path;
        isOpen = openable;
        return openable;
    }
    bool read(String& out) override {
        ++wholeReads;
        out = content;
        return isOpen;
    }
    bool readStart(int32_t n, String& start) override {
        start.assign(content.c_str(), std::min(n, content.length()));
        return isOpen;
    }
    bool replace(const String& c) override {
        content = c;
        return isOpen;
    }
    bool append(const String& b) override {
        content.append(b);
        return isOpen;
    }
    void close() override { isOpen = false; }
    bool openable = true;
    bool isOpen = false;
    int wholeReads = 0;
    String opened;
    String content;
};

TEST(InstallLogFile, SecondInstallationAppendsAfterTheSeparator) {
    MemoryLogFile file;
    String path = installLogPath(String(u"C:\\App\\Uninstall"));
    EXPECT_EQ(path, String(u"C:\\App\\Uninstall\\Install.log"));
    InstallLogHeader h = sampleHeader();
    testing::MemoryBody body;
    body.text = String("first\r\n");
    ASSERT_TRUE(appendInstallLog(file, path, h, &body, String(), String(u"Done")));
    EXPECT_EQ(file.opened, path);
    std::string first = bytes(file.content);
    h.reinstall = true;
    body.text = String("second\r\n");
    ASSERT_TRUE(appendInstallLog(file, path, h, &body, String("Failed x\r\n"), String(u"Done")));
    std::string both = bytes(file.content);
    ASSERT_EQ(both.substr(0, first.size()), first);  // the first block stays as it was
    std::string second = both.substr(first.size());
    EXPECT_EQ(second.rfind(kLogSeparator, 0), 0u);
    EXPECT_EQ(both.find("\xEF\xBB\xBF"), 0u);
    EXPECT_EQ(both.find("\xEF\xBB\xBF", 1), std::string::npos);
    EXPECT_NE(second.find("Install type: Reinstall\r\n"), std::string::npos);
    EXPECT_NE(second.find("second\r\n\r\n*** FAILURE SUMMARY ***\r\nFailed x\r\n"),
              std::string::npos);
    EXPECT_FALSE(file.isOpen);
    EXPECT_EQ(file.wholeReads, 0);  // a UTF-8 log is never read whole
}

// A body read in pieces lands whole, between the header and the success line, exactly as the
// block of the whole body.
class PiecesBody : public testing::MemoryBody {
  public:
    bool readPieces(const std::function<bool(const String& piece)>& take) override {
        for (int32_t at = 0; at < text.length(); at += 5)
            if (!take(String(text.c_str() + at, std::min(5, text.length() - at)))) return false;
        return true;
    }
};

TEST(InstallLogFile, ABodyInPiecesMakesTheSameBlock) {
    MemoryLogFile file;
    PiecesBody body;
    body.text = String("one line\r\nanother line\r\n");
    InstallLogHeader h = sampleHeader();
    ASSERT_TRUE(appendInstallLog(file, String(u"x"), h, &body, String(), String(u"Done")));
    EXPECT_EQ(bytes(file.content),
              bytes(installLogBlock(h, body.text, false, String(), String(u"Done"))));
}

TEST(InstallLogFile, LegacyLogIsConvertedFirst) {
    MemoryLogFile file;
    file.content = String("Old log \xE9\r\n");  // code page 1252, no byte-order mark
    ASSERT_TRUE(
        appendInstallLog(file, String(u"x"), sampleHeader(), nullptr, String(), String(u"Done")));
    std::string all = bytes(file.content);
    EXPECT_EQ(all.rfind(std::string("\xEF\xBB\xBFOld log \xC3\xA9\r\n") + kLogSeparator, 0), 0u);
    EXPECT_EQ(all.find("\xEF\xBB\xBF", 1), std::string::npos);

    String converted;
    EXPECT_FALSE(convertLegacyLog(String(), converted));
    EXPECT_FALSE(convertLegacyLog(String("\xEF\xBB\xBFutf8 \xC3\xA9"), converted));
    EXPECT_TRUE(converted.empty());
    EXPECT_TRUE(convertLegacyLog(String("\xEF\xBB"), converted));  // a cut mark is not one
    EXPECT_EQ(bytes(converted), "\xEF\xBB\xBF\xC3\xAF\xC2\xBB");
}

TEST(InstallLogFile, UnopenableLogIsSkipped) {
    MemoryLogFile file;
    file.openable = false;
    file.content = String("untouched");
    testing::MemoryBody body;
    body.text = String("body");
    EXPECT_FALSE(
        appendInstallLog(file, String(u"x"), sampleHeader(), &body, String(), String(u"Done")));
    EXPECT_EQ(bytes(file.content), "untouched");
}

}  // namespace
}  // namespace tessarin
