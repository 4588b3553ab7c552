#include "actions/finishing.h"

#include "core/format.h"

namespace tessarin {

std::vector<TextFile> textFileNames(const Vector<String>& texts, const char16_t* base) {
    std::vector<TextFile> files;
    int32_t count = texts.count();
    int32_t first = -1;
    for (int32_t i = 0; i < count; ++i) {
        if (texts[i].empty()) continue;
        if (first < 0) first = i;
        files.push_back(TextFile{String(), i});
    }
    bool single = first >= 0 && first == count - 1;
    for (size_t n = 0; n < files.size(); ++n) {
        files[n].name = single ? formatWide(u"%s.txt", base)
                               : formatWide(u"%s%d.txt", base, static_cast<int>(n + 1));
    }
    return files;
}

namespace {

uint32_t readLittle32(const uint8_t* b) {
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

void appendLittle32(String& out, uint32_t value) {
    char bytes[4] = {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
    out.append(bytes, 4);
}

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kBitFields = 3;

}  // namespace

String bitmapFileBytes(const String& bitmap) {
    const uint8_t* b = bitmap.bytes();
    uint32_t length = static_cast<uint32_t>(bitmap.length());
    if (length < 4) return String();
    uint32_t headerSize = readLittle32(b);
    if (headerSize > length) return String();
    uint32_t tableSize = 0;
    if (headerSize == kCoreHeaderSize) {
        uint32_t bitCount = uint32_t(b[10]) | uint32_t(b[11]) << 8;
        if (bitCount <= 8) tableSize = 3u << bitCount;
    } else if (headerSize >= kInfoHeaderSize) {
        uint32_t bitCount = uint32_t(b[14]) | uint32_t(b[15]) << 8;
        uint32_t compression = readLittle32(b + 16);
        uint32_t used = readLittle32(b + 32);
        uint32_t colours = used ? used : (bitCount <= 8 ? 1u << bitCount : 0);
        if (colours > 256) colours = 256;
        tableSize = colours * 4;
        if (headerSize == kInfoHeaderSize && compression == kBitFields) tableSize += 12;
    } else {
        return String();
    }
    uint32_t offset = kFileHeaderSize + headerSize + tableSize;
    String file("BM");
    appendLittle32(file, kFileHeaderSize + length);
    appendLittle32(file, 0);
    appendLittle32(file, offset);
    file.append(bitmap.c_str(), bitmap.length());
    return file;
}

RestartChoice restartChoice(bool rebootRequired, bool automatic, uint64_t productFlags) {
    if (!rebootRequired) return RestartChoice::None;
    if (automatic && !(productFlags & kFlagsAskBeforeReboot)) return RestartChoice::Restart;
    return RestartChoice::Ask;
}

bool removableFolder(const String& path) {
    return path.wideLength() > 3;
}

}  // namespace tessarin
