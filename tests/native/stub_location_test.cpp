// Where tessarin-build finds the installer stub when none is named: in an installation, beside
// the tool, in the build tree; otherwise an error that says how to name one.
#include "tools/build/stub_location.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace tessarin {
namespace {

namespace fs = std::filesystem;

TEST(StubLocation, InstallationBesideTheToolAndBuildTreeInThatOrder) {
    fs::path root = fs::temp_directory_path() / "tessarin-stub-location";
    fs::remove_all(root);
    struct Case {
        const char* tool;
        std::vector<const char*> stubs;  // files that exist
        const char* found;               // null: none found
    };
    const Case cases[] = {
        {"prefix/bin/tessarin-build",
         {"prefix/share/tessarin/tessarin-setup.exe"},
         "prefix/share/tessarin/tessarin-setup.exe"},
        {"zip/tessarin-build.exe", {"zip/tessarin-setup.exe"}, "zip/tessarin-setup.exe"},
        {"build/native/tessarin-build",
         {"build/cross/tessarin-setup.exe"},
         "build/cross/tessarin-setup.exe"},
        // An installation's own stub wins over any other.
        {"both/bin/tessarin-build",
         {"both/cross/tessarin-setup.exe", "both/bin/tessarin-setup.exe",
          "both/share/tessarin/tessarin-setup.exe"},
         "both/share/tessarin/tessarin-setup.exe"},
        {"bare/bin/tessarin-build", {"bare/share/tessarin/other.exe"}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tool);
        fs::path tool = root / c.tool;
        fs::create_directories(tool.parent_path());
        std::ofstream(tool) << "tool";
        for (const char* stub : c.stubs) {
            fs::create_directories((root / stub).parent_path());
            std::ofstream(root / stub) << "stub";
        }
        if (c.found) {
            EXPECT_TRUE(fs::equivalent(build::findStub(tool), root / c.found));
            continue;
        }
        try {
            build::findStub(tool);
            ADD_FAILURE() << "a stub was found";
        } catch (const std::runtime_error& e) {
            std::string message = e.what();
            EXPECT_NE(message.find("no installer stub"), std::string::npos) << message;
            EXPECT_NE(
                message.find(
                    (root / "bare/share/tessarin/tessarin-setup.exe").lexically_normal().string()),
                std::string::npos)
                << message;
            EXPECT_NE(message.find("--stub"), std::string::npos) << message;
        }
    }
    fs::remove_all(root);
}

}  // namespace
}  // namespace tessarin
