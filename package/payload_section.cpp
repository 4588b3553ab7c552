#include "package/payload_section.h"

#include <cstring>

#include "core/byte_order.h"

namespace tessarin {
namespace {

bool read16(const uint8_t* file, size_t size, size_t at, uint32_t& v) {
    if (at > size || size - at < 2) return false;
    v = loadLe16(file + at);
    return true;
}

bool read32(const uint8_t* file, size_t size, size_t at, uint32_t& v) {
    if (at > size || size - at < 4) return false;
    v = loadLe32(file + at);
    return true;
}

SetupSection failure(int code) {
    SetupSection s;
    s.errorCode = code;
    return s;
}

}  // namespace

SetupSection locateSetupSection(const uint8_t* file, size_t size) {
    uint32_t peOffset = 0, sections = 0, optionalSize = 0;
    // Only the low 16 bits of the DOS header's field are used.
    if (!read16(file, size, 60, peOffset) || peOffset < 64 || peOffset > 4096) return failure(43);
    if (!read16(file, size, peOffset + 6, sections) || sections < 4 || sections > 99)
        return failure(44);
    if (!read16(file, size, peOffset + 20, optionalSize)) return failure(44);
    size_t table = size_t(peOffset) + 24 + optionalSize;
    for (uint32_t i = 0; i < sections; ++i) {
        size_t entry = table + size_t(i) * 40;
        if (entry > size || size - entry < 40) break;
        char name[9] = {};
        std::memcpy(name, file + entry, 8);
        if (std::strcmp(name, ".setup") != 0) continue;
        SetupSection s;
        read32(file, size, entry + 8, s.virtualSize);
        read32(file, size, entry + 12, s.virtualAddress);
        read32(file, size, entry + 16, s.rawSize);
        read32(file, size, entry + 20, s.rawOffset);
        s.tableEntryOffset = static_cast<uint32_t>(entry);
        if (s.rawOffset == 0) return failure(9);
        s.found = true;
        return s;
    }
    return SetupSection{};
}

}  // namespace tessarin
