#include "uninstall/msi_removal.h"

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

// Results by package path (UTF-8); every call is recorded as "path level".
class ScriptedMsi : public MsiSystem {
  public:
    uint32_t uninstall(const String& path, int32_t uiLevel) override {
        calls.push_back(utf8(path) + " " + std::to_string(uiLevel));
        auto found = results.find(utf8(path));
        return found == results.end() ? 0 : found->second;
    }
    String errorText(uint32_t code) override {
        return code == 1605 ? String("This action is only valid for installed products.")
                            : String();
    }
    std::map<std::string, uint32_t> results;
    std::vector<std::string> calls;
};

std::vector<std::string> texts(const Vector<String>& lines) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < lines.count(); ++i) out.push_back(lines[i].c_str());
    return out;
}

TEST(MsiRemoval, ReadsPathAndLevelOfALine) {
    struct Case {
        const char* line;
        bool ok;
        const char* path;
        int32_t level;
    } cases[] = {
        {"\"C:\\p\\a.msi\",5", true, "C:\\p\\a.msi", 5},
        {"\"C:\\p,q\\a.msi\",3", true, "C:\\p,q\\a.msi", 3},  // a comma in the path
        {"C:\\p\\a.msi, 2", true, "C:\\p\\a.msi", 2},
        {"\"C:\\p\\a.msi\"", false, "", 0},     // one field
        {"\"C:\\p\\a.msi\",", false, "", 0},    // empty level
        {"\"C:\\p\\a.msi\",x1", false, "", 0},  // not a number
        {"\"C:\\p\\a.msi\",-1", false, "", 0},
        {"\"C:\\p\\a.msi\",9999999999", false, "", 0},  // would overflow
        {"\"\",5", false, "", 0},
    };
    for (const Case& c : cases) {
        MsiPackageLine package;
        EXPECT_EQ(parseMsiLine(String(c.line), package), c.ok) << c.line;
        if (!c.ok) continue;
        EXPECT_STREQ(package.path.c_str(), c.path) << c.line;
        EXPECT_EQ(package.uiLevel, c.level) << c.line;
    }
}

TEST(MsiRemoval, KeepsFailedAndMalformedLinesAndReportsFailures) {
    Vector<String> lines;
    lines.append(String("\"C:\\p\\done.msi\",5"));
    lines.append(String("\"C:\\p\\gone.msi\",3"));
    lines.append(String("garbage"));
    lines.append(String(""));
    lines.append(String("\"|C:\\p\\\xC3\x9C.msi\",4"));
    ScriptedMsi msi;
    msi.results["C:\\p\\gone.msi"] = 1605;
    msi.results["C:\\p\\\xC3\x9C.msi"] = kMsiCrashed;
    RecordingReporter reporter;

    removeMsiPackages(lines, false, msi, reporter);

    EXPECT_EQ(msi.calls, (std::vector<std::string>{"C:\\p\\done.msi 5", "C:\\p\\gone.msi 3",
                                                   "C:\\p\\\xC3\x9C.msi 4"}));
    EXPECT_EQ(texts(lines), (std::vector<std::string>{"\"C:\\p\\gone.msi\",3", "garbage",
                                                      "\"|C:\\p\\\xC3\x9C.msi\",4"}));
    EXPECT_EQ(reporter.errors,
              "Failed to uninstall gone.msi, code 1605: This action is only valid for installed "
              "products.\r\n"
              "Failed to uninstall |\xC3\x9C.msi, code -2147418113: \r\n");
    EXPECT_EQ(reporter.logged,
              "Uninstalling MSI package \"C:\\p\\done.msi\"...OK\r\n"
              "Uninstalling MSI package \"C:\\p\\gone.msi\"...FAILED code 1605: This action is "
              "only valid for installed products.\r\n"
              "Skipped MSI line \"garbage\": not a package path and a level\r\n"
              "Uninstalling MSI package \"C:\\p\\\xC3\x9C.msi\"...FAILED code -2147418113: \r\n");
}

TEST(MsiRemoval, SilentModeShowsNoMsiInterface) {
    Vector<String> lines;
    lines.append(String("\"C:\\p\\a.msi\",5"));
    ScriptedMsi msi;
    RecordingReporter reporter;
    removeMsiPackages(lines, true, msi, reporter);
    EXPECT_EQ(msi.calls, std::vector<std::string>{"C:\\p\\a.msi 2"});
    EXPECT_EQ(lines.count(), 0);
}

}  // namespace
}  // namespace tessarin
