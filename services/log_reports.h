// The installation log and the error list as the destination of the services that report
// through an interface: the uninstall services (conditional deletions, pending operations, the
// record's save) and the batch runner.
#pragma once

#include <functional>

#include "core/string.h"
#include "services/batch.h"
#include "services/reporter.h"

namespace tessarin {

// Log lines go to the installation log's body (UTF-16, written as UTF-8), error lines to the
// process-wide error list as they are.
class InstallLogReporter : public Reporter {
  public:
    void log(const String& text) override;
    void error(const String& text) override;
};

// A batch's title line and captured output go to the installation log; a batch that cannot be
// started is shown through showError, which the caller supplies (the wizard's error display, or
// nothing in silent mode).
class InstallLogBatchReport : public BatchReport {
  public:
    explicit InstallLogBatchReport(std::function<void(const String&)> showError = {})
        : showError_(std::move(showError)) {}
    void log(const String& text) override;
    void logRaw(const String& bytes) override;
    void showError(const String& text) override;

  private:
    std::function<void(const String&)> showError_;
};

}  // namespace tessarin
