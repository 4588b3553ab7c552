// A reporter that keeps what it is given, for tests that read back log and error-list lines.
#pragma once

#include <string>

#include "services/reporter.h"
#include "test_text.h"

namespace tessarin::testing {

class RecordingReporter : public Reporter {
  public:
    void log(const String& text) override { logged += utf8(text); }      // UTF-8
    void error(const String& text) override { errors += text.c_str(); }  // as given (8-bit)
    std::string logged;
    std::string errors;
};

}  // namespace tessarin::testing
