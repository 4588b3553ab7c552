// Reading the first bytes of a file (the executable's headers).
#pragma once

#include <cstdint>
#include <vector>

#include "core/string.h"

namespace tessarin {

// Reads at most maxBytes from the start of the file named by a UTF-16 path. False with the
// system error left as last error when the file cannot be opened or read.
bool readFilePrefix(const String& widePath, uint32_t maxBytes, std::vector<uint8_t>& out);

}  // namespace tessarin
