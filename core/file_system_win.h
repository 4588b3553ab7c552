// Helpers shared by the Win32 side of the file-system operations (not a public interface).
#pragma once

#include <windows.h>

#include "core/path.h"
#include "core/string.h"
#include "core/wide_win.h"

namespace tessarin::fs_detail {

// The path as the Win32 calls take it, in the "\\?\" form where its length needs it (see
// extendedLengthPath). Valid until the end of the full expression that asks for it.
class SystemPath {
  public:
    explicit SystemPath(const String& path) : text_(extendedLengthPath(path)) {}
    operator const wchar_t*() const { return win(text_); }

  private:
    String text_;
};
inline SystemPath systemPath(const String& path) {
    return SystemPath(path);
}

// The path in the ANSI code page, "?" for what it cannot show (for "wininit.ini").
String ansiText(const String& path);

// Keeps the thread's last error across calls that may change it.
class LastErrorKeeper {
  public:
    LastErrorKeeper() : error_(GetLastError()) {}
    ~LastErrorKeeper() { SetLastError(error_); }

  private:
    DWORD error_;
};

}  // namespace tessarin::fs_detail
