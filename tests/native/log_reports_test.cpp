// The installation log and the error list as the destination of the reporting services.
#include "services/log_reports.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "services/install_log.h"

namespace tessarin {
namespace {

class MemoryBody : public LogBody {
  public:
    bool append(const void* data, int32_t length) override {
        text.append(static_cast<const char*>(data), static_cast<size_t>(length));
        return true;
    }
    bool read(String& content) override {
        content.assign(text.data(), static_cast<int32_t>(text.size()));
        return true;
    }
    std::string text;
};

std::string bytes(const String& s) {
    return std::string(s.c_str(), static_cast<size_t>(s.length()));
}

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

    EXPECT_EQ(body.text, std::string("Deleted file: C:\\Programme\\\xC3\x9C"
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
