// An installation-log body held in memory, for tests that read back what was logged.
#pragma once

#include "core/string.h"
#include "services/install_log.h"

namespace tessarin::testing {

class MemoryBody : public LogBody {
  public:
    bool append(const void* data, int32_t length) override {
        text.append(static_cast<const char*>(data), length);
        return true;
    }
    bool read(String& content) override {
        content = text;
        return true;
    }
    String text;
};

// Sets a memory body for the scope's life and takes it away again.
class BodyScope {
  public:
    BodyScope() { setLogBody(&body); }
    ~BodyScope() { setLogBody(nullptr); }
    MemoryBody body;
};

}  // namespace tessarin::testing
