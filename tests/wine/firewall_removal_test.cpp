// Removing firewall exceptions through the prefix's firewall objects (Wine's hnetcfg). Wine
// connects to the manager, its policy and its current profile, but its collections do not keep
// exceptions, so whether a removal succeeds is Wine's affair: the test checks that every call is
// made and logged for what it is, and that malformed lines are skipped with a note. That the
// exceptions really disappear from the Windows Firewall could not be exercised.
#include "uninstall/firewall_removal.h"

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <objbase.h>

#include <string>

#include "recording_reporter.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::fromUtf8;
using testing::RecordingReporter;

class NoFolders : public PathVariableValues {
  public:
    String value(PathVariable) const override { return String(); }
    bool expandEnvironment(String&) const override { return false; }
};

bool startsWith(const std::string& text, size_t at, const std::string& start) {
    return text.compare(at, start.size(), start) == 0;
}

class FirewallRemovalOnThePrefix : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }
};

TEST_F(FirewallRemovalOnThePrefix, EveryLineIsTriedAndMalformedOnesAreSkipped) {
    Vector<String> lines;
    lines.append(String("8080;Web;3;"));
    lines.append(String("21;Ftp;1"));
    lines.append(String("bin\\app.exe;App;0;"));
    RecordingReporter reporter;
    NoFolders values;

    RemoveFirewallExceptions(lines, fromUtf8("C:\\Program Files\\App"), values, reporter);

    const std::string& log = reporter.logged;
    ASSERT_FALSE(startsWith(log, 0, "Failed to connect")) << log;
    // Each line of the log, in order: TCP, UDP, the note, the program.
    size_t at = 0;
    for (const std::string& expected :
         {std::string("firewall exception: TCP port 8080"),
          std::string("firewall exception: UDP port 8080"),
          std::string("Skipped firewall line \"21;Ftp;1\": 3 fields instead of 4\r\n"),
          std::string("C:\\Program Files\\App\\bin\\app.exe")}) {
        size_t found = log.find(expected, at);
        ASSERT_NE(found, std::string::npos) << expected << " in\n" << log;
        at = found + expected.size();
    }
    EXPECT_EQ(reporter.errors, "");
}

}  // namespace
}  // namespace tessarin
