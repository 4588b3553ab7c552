#include "uninstall/firewall_removal.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "recording_reporter.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::fromUtf8;
using testing::RecordingReporter;
using testing::utf8;

class FolderValues : public PathVariableValues {
  public:
    String value(PathVariable variable) const override {
        return variable == PathVariable::SystemDir ? fromUtf8("C:\\Windows\\system32") : String();
    }
    bool expandEnvironment(String&) const override { return false; }
};

// Records every call as text; the refused ones return 14.
class ScriptedFirewall : public FirewallRemovalSystem {
  public:
    int32_t connect() override {
        calls.push_back("connect");
        return connectResult;
    }
    int32_t removePort(int32_t port, bool udp) override {
        std::string call = std::string(udp ? "udp " : "tcp ") + std::to_string(port);
        calls.push_back(call);
        return refused.count(call) ? 14 : 0;
    }
    int32_t removeProgram(const String& path) override {
        std::string call = "program " + utf8(path);
        calls.push_back(call);
        return refused.count(call) ? 14 : 0;
    }
    void release() override { calls.push_back("release"); }

    int32_t connectResult = 0;
    std::set<std::string> refused;
    std::vector<std::string> calls;
};

Vector<String> lines(std::initializer_list<const char*> list) {
    Vector<String> out;
    for (const char* p : list) out.append(String(p));
    return out;
}

TEST(FirewallRemoval, ReadsPortAndProgramLinesAndRefusesOthers) {
    struct Case {
        const char* line;
        bool ok;
        bool port;
        int32_t number;
        uint32_t protocols;
        const char* why;
    } cases[] = {
        {"8080;Web;3;", true, true, 8080, 3, ""},
        {"53;DNS;2;0", true, true, 53, 2, ""},
        {"bin\\app.exe;App;;", true, false, 0, 0, ""},
        {"8080;Web;3", false, false, 0, 0, "3 fields instead of 4"},
        {"8080;Web;3;;", false, false, 0, 0, "5 fields instead of 4"},
        {"0;Web;1;", false, false, 0, 0, "port number out of range"},
        {"65536;Web;1;", false, false, 0, 0, "port number out of range"},
        {"99999999999;Web;1;", false, false, 0, 0, "port number out of range"},
        {"80;Web;tcp;", false, false, 0, 0, "protocol is not a number"},
        {" ;App;;", false, false, 0, 0, "no port or program"},
    };
    for (const Case& c : cases) {
        FirewallException exception;
        String why;
        EXPECT_EQ(parseFirewallLine(String(c.line), exception, why), c.ok) << c.line;
        EXPECT_EQ(utf8(why), c.why) << c.line;
        if (!c.ok) continue;
        EXPECT_EQ(exception.isPort, c.port) << c.line;
        EXPECT_EQ(exception.port, c.number) << c.line;
        EXPECT_EQ(exception.protocols, c.protocols) << c.line;
    }
}

TEST(FirewallRemoval, ProgramPathsAreExpandedAndTakenInTheInstallFolder) {
    FolderValues values;
    String dir = fromUtf8("C:\\Program Files\\App");
    EXPECT_EQ(utf8(firewallProgramPath(fromUtf8("bin\\app.exe"), dir, values)),
              "C:\\Program Files\\App\\bin\\app.exe");
    EXPECT_EQ(utf8(firewallProgramPath(fromUtf8("%SystemDir%\\svc.exe"), dir, values)),
              "C:\\Windows\\system32\\svc.exe");
    EXPECT_EQ(utf8(firewallProgramPath(fromUtf8("\\\\server\\share\\a.exe"), dir, values)),
              "\\\\server\\share\\a.exe");
}

TEST(FirewallRemoval, RemovesEachExceptionLogsResultsAndSkipsMalformedLines) {
    ScriptedFirewall firewall;
    firewall.refused = {"udp 8080"};
    FolderValues values;
    RecordingReporter reporter;
    removeFirewallExceptions(
        lines({"8080;Web;3;", "", "app.exe;App;0;", "21;Ftp;1;x;y", "5000;Cam;2;", "7;Echo;0;"}),
        fromUtf8("C:\\App"), values, firewall, reporter);

    EXPECT_EQ(firewall.calls,
              (std::vector<std::string>{"connect", "tcp 8080", "udp 8080",
                                        "program C:\\App\\app.exe", "udp 5000", "release"}));
    EXPECT_EQ(reporter.logged,
              "Removed firewall exception: TCP port 8080\r\n"
              "Failed to remove firewall exception: UDP port 8080, code 14\r\n"
              "Removed firewall exception: C:\\App\\app.exe\r\n"
              "Skipped firewall line \"21;Ftp;1;x;y\": 5 fields instead of 4\r\n"
              "Removed firewall exception: UDP port 5000\r\n");
    EXPECT_EQ(reporter.errors, "");
}

TEST(FirewallRemoval, AFailedConnectionEndsTheStepAndNoLinesMeansNoConnection) {
    ScriptedFirewall firewall;
    firewall.connectResult = 2;
    FolderValues values;
    RecordingReporter reporter;
    removeFirewallExceptions(lines({"8080;Web;3;"}), fromUtf8("C:\\App"), values, firewall,
                             reporter);
    EXPECT_EQ(firewall.calls, std::vector<std::string>{"connect"});
    EXPECT_EQ(reporter.logged, "Failed to connect to the firewall service: code 2\r\n");

    ScriptedFirewall untouched;
    removeFirewallExceptions(lines({"", ""}), fromUtf8("C:\\App"), values, untouched, reporter);
    EXPECT_TRUE(untouched.calls.empty());
}

}  // namespace
}  // namespace tessarin
