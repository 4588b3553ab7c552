#include "services/log_reports.h"

#include "services/install_log.h"

namespace tessarin {

void InstallLogReporter::log(const String& text) {
    logText(text);
}

void InstallLogReporter::error(const String& text) {
    appendError(text.c_str(), text.length());
}

void InstallLogBatchReport::log(const String& text) {
    logText(text);
}

void InstallLogBatchReport::logRaw(const String& bytes) {
    tessarin::logRaw(bytes.bytes(), bytes.length());
}

void InstallLogBatchReport::showError(const String& text) {
    if (showError_) showError_(text);
}

}  // namespace tessarin
