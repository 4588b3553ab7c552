#include <windows.h>

#include "core/file_time.h"
#include "core/path.h"
#include "core/wide_win.h"

namespace tessarin {

bool fileLastWriteTime(const String& path, uint64_t& time) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(win(extendedLengthPath(path)), GetFileExInfoStandard, &data)) {
        return false;
    }
    time =
        (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
    return true;
}

bool setFileTimes(const String& path, uint64_t creation, uint64_t lastWrite) {
    HANDLE file =
        CreateFileW(win(extendedLengthPath(path)), FILE_WRITE_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    FILETIME made = {static_cast<DWORD>(creation), static_cast<DWORD>(creation >> 32)};
    FILETIME written = {static_cast<DWORD>(lastWrite), static_cast<DWORD>(lastWrite >> 32)};
    bool ok = SetFileTime(file, &made, nullptr, &written) != 0;
    DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(ok ? ERROR_SUCCESS : error);
    return ok;
}

uint32_t lastSystemError() {
    return GetLastError();
}

void pauseMilliseconds(uint32_t milliseconds) {
    Sleep(milliseconds);
}

}  // namespace tessarin
