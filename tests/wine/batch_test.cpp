// Batch scripts run by the prefix's command interpreter, with what they report captured.
#include "services/batch.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "scratch_folder.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::S;

using testing::get;
using testing::present;
using testing::ScratchFolder;

using testing::utf8;

std::string utf8(const std::u16string& wide) {
    return utf8(S(wide));
}

// The system's values, with the install folder and the product name chosen by the test.
class TestValues : public PathVariableValues {
  public:
    std::u16string installDir;
    std::u16string productName = u"Test \u03a9 Product";

    String value(PathVariable variable) const override {
        if (variable == PathVariable::InstallDir) return S(installDir);
        if (variable == PathVariable::ProductName) return S(productName);
        return systemPathVariableValues().value(variable);
    }
    bool expandEnvironment(String& text) const override {
        return systemPathVariableValues().expandEnvironment(text);
    }
};

class RecordingReport : public BatchReport {
  public:
    std::string logged;  // UTF-8, raw bytes appended as they are
    std::vector<std::string> errors;

    void log(const String& text) override { logged += utf8(text); }
    void logRaw(const String& bytes) override {
        logged.append(bytes.c_str(), static_cast<size_t>(bytes.length()));
    }
    void showError(const String& text) override { errors.push_back(utf8(text)); }
};

TEST(BatchRun, TitledBatchCapturesItsOutputWithTheValuesSet) {
    ScratchFolder scratch(u"tessarin-batch-");
    TestValues values;
    values.installDir = scratch.path();
    values.productName = u"Say \"Hi\" (TM)";
    BatchRequest request;
    request.title.assign("Post-Installation Batch");
    request.hidden = true;
    request.commands.assign(
        "echo [%InstallDir%]\r\n"
        "echo [%ProductName%]\n"
        "echo \"quoted text\" 100%% done\r"
        "echo ok> \"%InstallDir%\\made by batch.txt\"\r\n"
        "pause\r\n"
        "echo Portable=%Portable% Bits=%Bits%\r\n");
    RecordingReport report;
    ASSERT_TRUE(runBatch(request, values, report));
    EXPECT_TRUE(report.errors.empty());

    std::string bits = utf8(systemPathVariableValues().value(PathVariable::Bits));
    EXPECT_EQ(report.logged, "\r\nRunning Post-Installation Batch...\r\n[" + utf8(scratch.path()) +
                                 "]\r\n[Say \"Hi\" (TM)]\r\n\"quoted text\" 100% done\r\n" +
                                 "Portable=0 Bits=" + bits + "\r\n\r\n");
    EXPECT_EQ(get(scratch / u"made by batch.txt"), "ok\r\n");
    // Nothing of the run stays behind.
    EXPECT_FALSE(present(scratch / u"SETUPBAT.BAT"));
    EXPECT_FALSE(present(scratch / u"cs_batch.log"));
}

// The batch copies the file it runs from, so that the test sees what the interpreter was given.
// (Wine's command interpreter reads batch files in the OEM code page whatever "chcp" says, so
// what non-ASCII commands print there differs from Windows; the file is what this code makes.)
TEST(BatchRun, NonAsciiTextIsWrittenAsUtf8WithItsCodePageLine) {
    ScratchFolder scratch(u"tessarin-batch-\u00e9-");
    TestValues values;
    values.installDir = scratch.path();
    BatchRequest request;
    request.hidden = true;
    request.commands.assign("copy SETUPBAT.BAT ran.bat >nul\r\necho caf\xe9 \x80 \"%%x\"\n");
    RecordingReport report;
    ASSERT_TRUE(runBatch(request, values, report));
    std::string ran = get(scratch / u"ran.bat");
    std::string start =
        "@chcp 65001 >nul\r\n@echo off\r\nSET \"InstallDir=" + utf8(scratch.path()) + "\"\r\n";
    EXPECT_EQ(ran.substr(0, start.size()), start);
    EXPECT_NE(ran.find("\r\nSET \"ProductName=Test \u03a9 Product\"\r\n"), std::string::npos);
    std::string end = "copy SETUPBAT.BAT ran.bat >nul\r\necho café € \"%%x\"\r\n";
    EXPECT_EQ(ran.substr(ran.size() - end.size()), end);
    EXPECT_FALSE(present(scratch / u"SETUPBAT.BAT"));
}

TEST(BatchRun, WithoutTitleNothingIsLoggedOrCaptured) {
    ScratchFolder scratch(u"tessarin-batch2-");
    TestValues values;
    values.installDir = scratch.path();
    values.productName = u"Plain";
    BatchRequest request;
    request.commands.assign("echo %ProductName%> out.txt\r\necho visible\r\n");
    request.hidden = true;
    RecordingReport report;
    ASSERT_TRUE(runBatch(request, values, report));
    EXPECT_EQ(report.logged, "");
    // The work folder is the install folder, and the batch's current directory.
    EXPECT_EQ(get(scratch / u"out.txt"), "Plain\r\n");
    EXPECT_FALSE(present(scratch / u"cs_batch.log"));
    EXPECT_FALSE(present(scratch / u"SETUPBAT.BAT"));
}

TEST(BatchRun, EmptyCommandsDoNothing) {
    TestValues values;
    values.installDir = u"C:\\no\\such\\folder";
    BatchRequest request;
    request.title.assign("Upgrade Batch");
    RecordingReport report;
    EXPECT_TRUE(runBatch(request, values, report));
    EXPECT_EQ(report.logged, "");
}

std::u16string longName(const std::u16string& path) {
    wchar_t buffer[MAX_PATH];
    DWORD n = GetLongPathNameW(testing::w(path), buffer, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::u16string(reinterpret_cast<char16_t*>(buffer), n) : path;
}

// Without the install folder the batch runs in a folder of its own in the temporary folder,
// which every user may write to: files of the batch's names that someone put there first are
// neither written nor run nor deleted, and the folder goes with the run.
TEST(BatchRun, MissingInstallFolderRunsInAPrivateFolderOfTheTemporaryFolder) {
    TestValues values;
    values.installDir = u"C:\\no\\such\\folder";
    values.productName = u"Temp Run";
    BatchRequest request;
    request.title.assign("Reinstall Batch");
    request.automatic = true;
    request.commands.assign("@PAUSE\r\ncd\r\n");
    wchar_t buffer[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, buffer);
    std::u16string temp(reinterpret_cast<char16_t*>(buffer), n - 1);  // without "\"
    const std::u16string planted[] = {temp + u"\\SETUPBAT.BAT", temp + u"\\cs_batch.log"};
    for (const std::u16string& file : planted) ASSERT_TRUE(testing::put(file, "echo planted\r\n"));

    RecordingReport report;
    bool ran = runBatch(request, values, report);
    const std::string kept[] = {get(planted[0]), get(planted[1])};
    for (const std::u16string& file : planted) DeleteFileW(testing::w(file));
    ASSERT_TRUE(ran);
    EXPECT_EQ(kept[0], "echo planted\r\n");
    EXPECT_EQ(kept[1], "echo planted\r\n");

    // The batch printed its current directory (ASCII in the test prefix): one folder of a
    // random name, "TSN" and 16 hexadecimal digits, directly in the temporary folder.
    size_t at = report.logged.find("...\r\n");
    ASSERT_NE(at, std::string::npos) << report.logged;
    std::string cwd = report.logged.substr(at + 5);
    ASSERT_GT(cwd.size(), 4u);
    ASSERT_EQ(cwd.substr(cwd.size() - 4), "\r\n\r\n");
    cwd.resize(cwd.size() - 4);
    std::u16string folder(cwd.begin(), cwd.end());
    std::u16string parent = folder.substr(0, folder.rfind(u'\\'));
    EXPECT_TRUE(parent == temp || parent == longName(temp)) << cwd;
    EXPECT_EQ(folder.size() - parent.size(), 1u + 19) << cwd;
    EXPECT_EQ(folder.substr(parent.size(), 4), u"\\TSN") << cwd;
    EXPECT_FALSE(present(folder)) << cwd;
}

}  // namespace
}  // namespace tessarin
