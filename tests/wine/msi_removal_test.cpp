// Uninstalling MSI packages with the prefix's own MSI library. No tool to build a package is at
// hand, so a successful uninstallation could not be exercised here; the failure path is real:
// the library is loaded, refuses a package that is not there, and its code and the system's
// text for it reach the error list while the line stays for the rewritten uninstall data.
#include "uninstall/msi_removal.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "recording_reporter.h"
#include "scratch_folder.h"

namespace tessarin {
namespace {

using testing::RecordingReporter;
using testing::ScratchFolder;

// The system's text for a code, read independently of the code under test.
std::string systemText(DWORD code) {
    char buffer[1024] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, n);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

TEST(MsiRemovalOnThePrefix, AMissingPackageFailsWithTheSystemTextAndKeepsItsLine) {
    ScratchFolder scratch(u"msi");
    std::string folder;
    for (char16_t c : scratch.path()) folder += static_cast<char>(c);  // ASCII temp path
    std::string line = "\"" + folder + "\\missing.msi\",5";
    Vector<String> lines;
    lines.append(String(line.c_str()));
    RecordingReporter reporter;

    RemoveMsiPackages(lines, true, reporter);

    ASSERT_EQ(lines.count(), 1);
    EXPECT_EQ(std::string(lines[0].c_str()), line);
    const std::string start = "Failed to uninstall missing.msi, code ";
    ASSERT_EQ(reporter.errors.compare(0, start.size(), start), 0) << reporter.errors;
    long code = std::stol(reporter.errors.substr(start.size()));
    EXPECT_NE(code, 0);
    EXPECT_FALSE(systemText(static_cast<DWORD>(code)).empty()) << code;
    EXPECT_EQ(reporter.errors,
              start + std::to_string(code) + ": " + systemText(static_cast<DWORD>(code)) + "\r\n");
}

}  // namespace
}  // namespace tessarin
