// A second process that holds a file open without sharing: the test program started again
// with --hold-file=<path>. It opens <path>, creates <path>.held and waits to be killed (a
// minute at most). The role is taken before GoogleTest sees the command line.
#pragma once

#include <windows.h>

#include <string>

namespace tessarin::testing {

class HeldFile {
  public:
    explicit HeldFile(const std::u16string& path);
    ~HeldFile() { release(); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    void release();
    bool ready() const { return ready_; }

  private:
    PROCESS_INFORMATION process_ = {};
    bool ready_ = false;
};

}  // namespace tessarin::testing
