#include <windows.h>

#include "core/file_read.h"
#include "core/handle_win.h"

namespace tessarin {

bool readFilePrefix(const String& widePath, uint32_t maxBytes, std::vector<uint8_t>& out) {
    Handle file(CreateFileW(reinterpret_cast<const wchar_t*>(widePath.w_str()), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    out.resize(maxBytes);
    DWORD got = 0;
    if (!ReadFile(file.get(), out.data(), maxBytes, &got, nullptr)) return false;
    out.resize(got);
    return true;
}

}  // namespace tessarin
