// Time stamps of files on disk by name, as FILETIME values (64-bit numbers). Implemented for
// Windows only (file_time_win.cpp); failures leave the Windows error.
#pragma once

#include <cstdint>

#include "core/string.h"

namespace tessarin {

bool fileLastWriteTime(const String& path, uint64_t& time);
// Sets the creation and last-write times of an existing file.
bool setFileTimes(const String& path, uint64_t creation, uint64_t lastWrite);
// The Windows error the last failed call left.
uint32_t lastSystemError();
// Waits without dispatching messages.
void pauseMilliseconds(uint32_t milliseconds);

}  // namespace tessarin
