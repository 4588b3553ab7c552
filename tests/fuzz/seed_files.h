// Helpers of the seed writers: every fuzz target's corpus starts from real installers built by
// tessarin-build (tests/fuzz/make_installers.py), cut into the layer the target reads.
//
// A seed writer is called as  NAME_seeds OUT_DIR INSTALLERS_DIR.
#pragma once

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/inflate.h"
#include "core/payload_cipher.h"
#include "package/payload_reader.h"
#include "package/payload_section.h"
#include "package/script_reader.h"
#include "tests/fuzz/fuzz_layers.h"

namespace tessarin::fuzz {

struct Installer {
    std::string name;  // file name without extension
    Bytes section;     // the ".setup" section's bytes up to the end of the data area
    PayloadHeader header;
    String script;  // unpacked
    bool compressed = false;
    std::vector<Bytes> blocks;  // decoded data blocks, in order
};

inline Bytes readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline bool save(const std::string& dir, const std::string& name, const Bytes& bytes) {
    std::ofstream out(std::filesystem::path(dir) / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

inline bool save(const std::string& dir, const std::string& name, const String& bytes) {
    return save(dir, name, Bytes(bytes.bytes(), bytes.bytes() + bytes.length()));
}

// Decodes the data blocks; false when a block does not decode.
inline bool decodeBlocks(Installer& in) {
    ByteCursor c(in.section.data() + in.header.dataOffset, static_cast<size_t>(in.header.DataSize));
    while (c.remaining() > 0) {
        int32_t length;
        uint32_t check;
        const uint8_t* stored;
        if (!c.readInt32(length) || !c.readUInt32(check) || length <= 0 ||
            !c.readBytes(static_cast<size_t>(length), stored))
            return false;
        String block(reinterpret_cast<const char*>(stored), length);
        if ((in.header.ProductFlags2 & kFlags2Enciphered) &&
            !decipherPayloadBuffer(in.header.CipherKey, block))
            return false;
        // Blocks are zlib streams when the first one starts with a zlib header.
        if (in.blocks.empty() && block.length() >= 2)
            in.compressed = (block.bytes()[0] & 0x0F) == 8 &&
                            ((block.bytes()[0] << 8) | block.bytes()[1]) % 31 == 0;
        if (in.compressed) {
            String inflated;
            if (!inflateBuffer(block.bytes(), static_cast<size_t>(block.length()), inflated))
                return false;
            block = std::move(inflated);
        }
        in.blocks.emplace_back(block.bytes(), block.bytes() + block.length());
    }
    return true;
}

// The installers in dir, opened down to their decoded blocks. One that cannot be read is
// reported and left out.
inline std::vector<Installer> loadInstallers(const std::string& dir) {
    std::vector<Installer> found;
    std::vector<std::filesystem::path> paths;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().extension() == ".exe") paths.push_back(entry.path());
    std::sort(paths.begin(), paths.end());
    for (const auto& path : paths) {
        Bytes file = readFile(path);
        SetupSection place = locateSetupSection(file.data(), file.size());
        Installer in;
        in.name = path.stem().string();
        if (!place.found || place.rawOffset >= file.size()) {
            std::fprintf(stderr, "%s: no .setup section\n", path.c_str());
            continue;
        }
        const uint8_t* base = file.data() + place.rawOffset;
        size_t size = file.size() - place.rawOffset;
        if (!openPayload(base, size, in.header, in.script).ok() ||
            in.header.dataOffset + static_cast<size_t>(in.header.DataSize) > size) {
            std::fprintf(stderr, "%s: unreadable payload\n", path.c_str());
            continue;
        }
        in.section.assign(base,
                          base + in.header.dataOffset + static_cast<size_t>(in.header.DataSize));
        if (!decodeBlocks(in)) {
            std::fprintf(stderr, "%s: data blocks do not decode\n", path.c_str());
            continue;
        }
        found.push_back(std::move(in));
    }
    return found;
}

// The decoded blocks as one flat record stream (length, bytes; repeated), undoing the block
// framing the way the reader does: fewer than four bytes left in a block are never a length.
inline Bytes flatRecords(const Installer& in) {
    Bytes flat;
    size_t block = 0, pos = 0;
    auto take = [&](size_t n, Bytes& out) {
        while (n > 0 && block < in.blocks.size()) {
            size_t piece = std::min(n, in.blocks[block].size() - pos);
            out.insert(out.end(), in.blocks[block].begin() + static_cast<std::ptrdiff_t>(pos),
                       in.blocks[block].begin() + static_cast<std::ptrdiff_t>(pos + piece));
            pos += piece;
            n -= piece;
            if (pos == in.blocks[block].size()) ++block, pos = 0;
        }
        return n == 0;
    };
    for (int32_t i = 0; i < in.header.FileCount; ++i) {
        if (block < in.blocks.size() && in.blocks[block].size() - pos < 4) ++block, pos = 0;
        Bytes length;
        if (!take(4, length)) break;
        flat.insert(flat.end(), length.begin(), length.end());
        if (!take(loadLe32(length.data()), flat)) break;
    }
    return flat;
}

inline int seedMain(int argc, char** argv,
                    bool (*write)(const std::string&, const std::vector<Installer>&)) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s OUT_DIR INSTALLERS_DIR\n", argv[0]);
        return 2;
    }
    std::filesystem::create_directories(argv[1]);
    std::vector<Installer> installers = loadInstallers(argv[2]);
    if (installers.empty()) {
        std::fprintf(stderr, "%s: no readable installers in %s\n", argv[0], argv[2]);
        return 1;
    }
    return write(argv[1], installers) ? 0 : 1;
}

}  // namespace tessarin::fuzz
