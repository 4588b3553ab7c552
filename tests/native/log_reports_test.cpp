// The installation log and the error list as the destination of the reporting services.
#include "services/log_reports.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memory_log_body.h"
#include "services/install_log.h"
#include "test_text.h"

namespace tessarin {
namespace {

using testing::bytes;
using testing::MemoryBody;

TEST(LogReports, ServiceLinesReachTheLogBodyAndTheErrorList) {
    MemoryBody body;
    setLogBody(&body);
    errorList().clear();

    InstallLogReporter reporter;
    reporter.log(String(u"Deleted file: C:\\Programme\\\u00dcbung\\a.dll\r\n"));
    reporter.error(String("Failed to register \"|C:\\\xC3\x9C\" for deletion: denied\r\n"));

    std::vector<std::u16string> shown;
    InstallLogBatchReport batch([&](const String& text) { shown.emplace_back(text.w_str()); });
    batch.log(String(u"\r\nRunning Post-Installation Batch...\r\n"));
    batch.logRaw(String("\xFF\x00 raw\r\n", 8));
    batch.showError(String(u"cannot start"));
    InstallLogBatchReport quiet;
    quiet.showError(String(u"nobody sees this"));
    setLogBody(nullptr);

    EXPECT_EQ(bytes(body.text), std::string("Deleted file: C:\\Programme\\\xC3\x9C"
                                            "bung\\a.dll\r\n"
                                            "\r\nRunning Post-Installation Batch...\r\n") +
                                    std::string("\xFF\x00 raw\r\n", 8));
    EXPECT_EQ(bytes(errorList()), "Failed to register \"|C:\\\xC3\x9C\" for deletion: denied\r\n");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], u"cannot start");
    errorList().clear();
}

}  // namespace
}  // namespace tessarin
