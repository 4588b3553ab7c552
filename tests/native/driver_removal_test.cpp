#include "uninstall/driver_removal.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "recording_reporter.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::RecordingReporter;
using testing::utf8;

class ScriptedSetupApi : public DriverRemovalSystem {
  public:
    bool available() override { return present; }
    void clearAttributes(const String& path) override { calls.push_back("clear " + utf8(path)); }
    DriverRemovalResult uninstall(const String& infName, uint32_t& error) override {
        calls.push_back("uninstall " + utf8(infName));
        auto found = outcomes.find(utf8(infName));
        if (found == outcomes.end()) return DriverRemovalResult::Removed;
        error = 2;
        return found->second;
    }
    String errorText(uint32_t code) override {
        return code == 2 ? testing::fromUtf8("File not found.") : String();
    }
    bool present = true;
    std::map<std::string, DriverRemovalResult> outcomes;
    std::vector<std::string> calls;
};

Vector<String> paths(std::initializer_list<const char*> list) {
    Vector<String> out;
    for (const char* p : list) out.append(String(p));
    return out;
}

TEST(DriverRemoval, RemovesEachPackageByItsInfNameAndLogsEveryOutcome) {
    ScriptedSetupApi api;
    api.outcomes["oem8.inf"] = DriverRemovalResult::Failed;
    api.outcomes["oem9.inf"] = DriverRemovalResult::Crashed;
    RecordingReporter reporter;
    removeDriverPackages(paths({"C:\\Windows\\INF\\oem7.inf", "", "C:\\Windows\\INF\\oem8.inf",
                                "C:\\Windows\\INF\\oem9.inf", "|C:\\W\xC3\xAF\\oem10.inf"}),
                         api, reporter);

    EXPECT_EQ(api.calls,
              (std::vector<std::string>{"clear C:\\Windows\\INF\\oem7.inf", "uninstall oem7.inf",
                                        "clear C:\\Windows\\INF\\oem8.inf", "uninstall oem8.inf",
                                        "clear C:\\Windows\\INF\\oem9.inf", "uninstall oem9.inf",
                                        "clear C:\\W\xC3\xAF\\oem10.inf", "uninstall oem10.inf"}));
    EXPECT_EQ(reporter.logged,
              "Uninstalling driver \"C:\\Windows\\INF\\oem7.inf\"...OK\r\n"
              "Uninstalling driver \"C:\\Windows\\INF\\oem8.inf\"...FAILED!  Code 0x00000002: "
              "File not found.\r\n"
              "Uninstalling driver \"C:\\Windows\\INF\\oem9.inf\"...CRASHED!\r\n"
              "Uninstalling driver \"C:\\W\xC3\xAF\\oem10.inf\"...OK\r\n");
    EXPECT_EQ(reporter.errors, "");
}

TEST(DriverRemoval, WithoutTheSetupApiNothingIsTouched) {
    ScriptedSetupApi api;
    api.present = false;
    RecordingReporter reporter;
    removeDriverPackages(paths({"C:\\Windows\\INF\\oem7.inf"}), api, reporter);
    EXPECT_TRUE(api.calls.empty());
    EXPECT_EQ(reporter.logged,
              "Cannot uninstall INF files...unable to link to SetupUninstallOEMInf()\r\n");

    // Only empty lines: the setup API is not even asked for.
    RecordingReporter quiet;
    removeDriverPackages(paths({"", ""}), api, quiet);
    EXPECT_EQ(quiet.logged, "");
}

}  // namespace
}  // namespace tessarin
