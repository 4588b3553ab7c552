// Finding the ".setup" section through the executable's PE headers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessarin {

struct SetupSection {
    bool found = false;
    int errorCode = 0;  // corruption code when the headers are unusable
    uint32_t virtualSize = 0;
    uint32_t virtualAddress = 0;
    uint32_t rawSize = 0;
    uint32_t rawOffset = 0;
    uint32_t tableEntryOffset = 0;  // file offset of the section's table entry
    // Bytes of the section that the loader maps from the file: the raw size, limited by the
    // virtual size when one is given.
    uint32_t mappedSize() const {
        return virtualSize != 0 && virtualSize < rawSize ? virtualSize : rawSize;
    }
};

// Reads the section table from the head of the executable file. Codes: 43 bad PE header
// offset, 44 section count outside 4..99, 9 raw file offset of 0.
SetupSection locateSetupSection(const uint8_t* file, size_t size);

}  // namespace tessarin
