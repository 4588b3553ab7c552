// Helpers shared by the Win32 side of the file-system operations (not a public interface).
#pragma once

#include <windows.h>

#include "core/string.h"

namespace tessarin::fs_detail {

inline const wchar_t* win(const String& s) {
    return reinterpret_cast<const wchar_t*>(s.w_str());
}

// Windows 95, 98 and Me report the top bit of GetVersion.
inline bool isNtFamily() {
    return (GetVersion() & 0x80000000u) == 0;
}

String windowsFolder();  // GetWindowsDirectoryW, without a trailing backslash
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
