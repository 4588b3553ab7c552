// Writing the ".setup" payload and adding it to the installer stub as a PE section.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/string.h"
#include "tools/build/block_compression.h"

namespace tessarin::build {

struct FileEntry {
    String name;  // 8-bit, narrow path form
    int32_t kind = 0;
    int32_t options = 0;
    int32_t attributes = -1;  // -1: the installer leaves the attributes as written
    uint8_t date[24] = {};
    String label;
    String shortcutIcon;  // written only when options has bit 0x1 or 0x2
    String arguments;
    String targetPath;  // UTF-16
    String auxiliary;
    int32_t uiLevel = 0;  // written only for kind 11
    String data;
};

struct PayloadSpec {
    String script;
    uint32_t productFlags2 = 0;
    bool compressBlocks = true;  // ProductFlags low word 0x20 (must match the script)
    bool checkImage = false;     // ProductFlags high word 0x1 (must match the script)
    bool externalData = false;   // the script's external-data byte (must match the script)
    bool encipher = false;
    std::optional<std::array<uint8_t, 8>> key;  // random per build when not given
    size_t blockSize = 1 << 20;                 // decoded bytes per data block
    int level = kDefaultCompressionLevel;
    // Threads that compress and encipher the data blocks: 0 = one per core, 1 = all of it on
    // the calling thread. The installer's bytes are the same whatever the number.
    unsigned workers = 0;
    std::vector<FileEntry> files;
};

// Builds the installer: the stub with ".setup" added. Throws std::runtime_error with a
// readable reason when the stub is not a usable PE image or the payload exceeds what the
// installer reads (checkPayloadLimits).
std::vector<uint8_t> buildInstaller(const std::vector<uint8_t>& stub, const PayloadSpec& spec);

// The installer reads the packed script's length, DataEnd and DataSize as signed 32-bit values
// and refuses a packed script above kMaxScriptPackedSize; a payload beyond these limits would
// build and then fail at install time. Throws std::runtime_error saying what is too large and
// the limit. dataOffset is the length of the header and the packed script.
void checkPayloadLimits(uint64_t packedScript, uint64_t dataOffset, uint64_t dataArea);

}  // namespace tessarin::build
