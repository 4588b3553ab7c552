// Where the uninstall services send what the installation log and the error list must show.
// The caller decides where the lines go; tests record them.
#pragma once

#include "core/string.h"

namespace tessarin {

class Reporter {
  public:
    virtual ~Reporter() = default;
    // A line for the installation log: UTF-16, with its own CR LF.
    virtual void log(const String& text) = 0;
    // A line for the error list: 8-bit in the system ANSI code page (paths in the narrow path
    // form), with its own CR LF.
    virtual void error(const String& text) = 0;
};

// A reporter that drops everything (for callers that have nowhere to send lines).
class SilentReporter : public Reporter {
  public:
    void log(const String&) override {}
    void error(const String&) override {}
};

}  // namespace tessarin
