// zlib streams (RFC 1950) for the payload's data blocks and script. Where the tool is built with
// libdeflate, that library packs them: its streams inflate with zlib like any other and come out
// smaller and faster at every level. Levels run from 1 to kMaxCompressionLevel; the levels above
// 9 search harder still. Without libdeflate (the Windows build of the tool) zlib packs them, and
// a level above 9 packs as 9.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/string.h"

namespace tessarin::build {

inline constexpr int kMaxCompressionLevel = 12;
inline constexpr int kDefaultCompressionLevel = 10;

// Replaces output with the zlib stream of the input. Safe to call from several threads at once.
bool compressBlock(const uint8_t* input, size_t length, String& output, int level);

}  // namespace tessarin::build
