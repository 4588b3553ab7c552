// Input layouts and check-value fix-ups shared by the payload fuzz targets and their seed
// writers. A mutation almost always breaks a checksum, and a broken checksum stops the reader
// before the layer behind it; so the targets recompute the checksums of the mutated bytes
// before parsing (unless the input asks to keep them), and each layer also gets an input of
// its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/byte_order.h"
#include "core/string.h"
#include "package/payload_reader.h"

namespace tessarin::fuzz {

using Bytes = std::vector<uint8_t>;

// Options byte at the start of the block-stream and record inputs.
inline constexpr uint8_t kInputCompressed = 0x1;  // block stream: zlib blocks
inline constexpr uint8_t kInputEnciphered = 0x2;  // block stream: enciphered blocks
inline constexpr uint8_t kInputSilent = 0x4;      // records read in silent mode
inline constexpr uint8_t kInputKeepChecks = 0x8;  // no fix-ups: the checks see the raw bytes

// Block-stream input: options, 8 key bytes, a file count n (one byte), n int32 stored sizes,
// then the data area as stored.
// Record input: options, a block-size byte, n, n int32 stored sizes, then the record stream
// without block framing (int32 length, bytes; repeated).
struct LayerInput {
    uint8_t options = 0;
    uint8_t key[8] = {};
    uint8_t blockSizeByte = 0;
    std::vector<int32_t> fileSizes;
    const uint8_t* rest = nullptr;
    size_t restSize = 0;
};

inline bool readSizes(const uint8_t*& p, const uint8_t* end, std::vector<int32_t>& sizes) {
    if (p >= end) return false;
    size_t n = *p++;
    if (static_cast<size_t>(end - p) < 4 * n) return false;
    for (size_t i = 0; i < n; ++i, p += 4) sizes.push_back(static_cast<int32_t>(loadLe32(p)));
    return true;
}

inline bool splitBlockInput(const uint8_t* data, size_t size, LayerInput& in) {
    const uint8_t* end = data + size;
    if (size < 9) return false;
    in.options = data[0];
    std::memcpy(in.key, data + 1, 8);
    const uint8_t* p = data + 9;
    if (!readSizes(p, end, in.fileSizes)) return false;
    in.rest = p;
    in.restSize = static_cast<size_t>(end - p);
    return true;
}

inline bool splitRecordInput(const uint8_t* data, size_t size, LayerInput& in) {
    const uint8_t* end = data + size;
    if (size < 2) return false;
    in.options = data[0];
    in.blockSizeByte = data[1];
    const uint8_t* p = data + 2;
    if (!readSizes(p, end, in.fileSizes)) return false;
    in.rest = p;
    in.restSize = static_cast<size_t>(end - p);
    return true;
}

inline void put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline void putSizes(Bytes& b, const std::vector<int32_t>& sizes) {
    b.push_back(static_cast<uint8_t>(sizes.size()));
    for (int32_t s : sizes) put32(b, static_cast<uint32_t>(s));
}

// Sets the checksum of every block whose length fits the area, walking as the reader does.
inline void fixBlockChecks(uint8_t* area, size_t size) {
    size_t pos = 0;
    while (size - pos >= 8) {
        int32_t length = static_cast<int32_t>(loadLe32(area + pos));
        if (length <= 0 || static_cast<size_t>(length) > size - pos - 8) return;
        storeLe32(area + pos + 4, hashBytes(area + pos + 8, length));
        pos += 8 + static_cast<size_t>(length);
    }
}

// Sets the data checksum at the end of each record of a flat record stream, assuming the
// record's fields end where its file data (fileSizes[i] bytes) and checksum begin.
inline void fixRecordChecks(uint8_t* stream, size_t size, const std::vector<int32_t>& fileSizes) {
    size_t pos = 0;
    for (size_t i = 0; i < fileSizes.size() && size - pos >= 4; ++i) {
        int32_t length = static_cast<int32_t>(loadLe32(stream + pos));
        pos += 4;
        if (length < 0 || static_cast<size_t>(length) > size - pos) return;
        int32_t stored = fileSizes[i];
        if (length >= 4 && stored >= 0 && stored <= length - 4) {
            uint8_t* check = stream + pos + static_cast<size_t>(length) - 4;
            storeLe32(check, hashBytes(check - stored, stored));
        }
        pos += static_cast<size_t>(length);
    }
}

// Frames a flat record stream into stored blocks of at most blockSize bytes the way the build
// tool does: a record length never straddles two blocks. A record whose length runs past the
// stream keeps its length and gets the bytes that are there.
inline Bytes frameRecords(const uint8_t* stream, size_t size, size_t blockSize) {
    Bytes area, current;
    auto flush = [&] {
        if (current.empty()) return;
        put32(area, static_cast<uint32_t>(current.size()));
        put32(area, hashBytes(current.data(), static_cast<int32_t>(current.size())));
        area.insert(area.end(), current.begin(), current.end());
        current.clear();
    };
    size_t pos = 0;
    while (size - pos >= 4) {
        if (blockSize - current.size() < 4) flush();
        uint32_t length = loadLe32(stream + pos);
        current.insert(current.end(), stream + pos, stream + pos + 4);
        pos += 4;
        size_t n = length < size - pos ? length : size - pos;
        size_t done = 0;
        while (done < n) {
            if (current.size() == blockSize) flush();
            size_t piece =
                n - done < blockSize - current.size() ? n - done : blockSize - current.size();
            current.insert(current.end(), stream + pos + done, stream + pos + done + piece);
            done += piece;
        }
        pos += n;
    }
    flush();
    return area;
}

// Reads the open record's data in pieces as the installer does. Every other record is started,
// rewound and then read whole, so rewinds are reached too. Data read to its end must be as long
// as the record says.
inline bool readRecordData(DataArea& reader, const FileRecord& record, int32_t index) {
    const uint8_t* piece;
    size_t size;
    if (index % 2) {
        if (!reader.readData(piece, size).ok() || !reader.rewindData().ok()) return false;
    }
    size_t total = 0;
    do {
        if (!reader.readData(piece, size).ok()) return false;
        total += size;
    } while (size > 0);
    if (total != static_cast<size_t>(record.dataSize)) __builtin_trap();
    return true;
}

}  // namespace tessarin::fuzz
