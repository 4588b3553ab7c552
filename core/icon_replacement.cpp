#include "core/icon_replacement.h"

#include <cstring>

#include "core/byte_order.h"
#include "core/format.h"

namespace tessarin {

namespace {

constexpr int32_t kIconHeaderSize = 6;

void appendWord(String& s, uint16_t value) {
    char bytes[2] = {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
    s.append(bytes, 2);
}

}  // namespace

bool readIconFile(const String& file, std::vector<IconImage>& images, String& why) {
    images.clear();
    const uint8_t* bytes = file.bytes();
    const uint64_t size = file.empty() ? 0 : static_cast<uint64_t>(file.length());
    if (size < kIconHeaderSize) {
        why = format("the icon file is %u bytes long, shorter than its header",
                     static_cast<unsigned>(size));
        return false;
    }
    const uint32_t reserved = loadLe16(bytes);
    const uint32_t type = loadLe16(bytes + 2);
    const uint32_t count = loadLe16(bytes + 4);
    if (reserved != 0 || (type != 1 && type != 2)) {
        why = format("the icon file header has reserved field %u and type %u", reserved, type);
        return false;
    }
    if (count > kMaxIconImages) {
        why = format("the icon file lists %u images, more than %d", count, kMaxIconImages);
        return false;
    }
    const uint64_t directoryEnd =
        kIconHeaderSize + static_cast<uint64_t>(count) * kIconDirectoryEntrySize;
    if (directoryEnd > size) {
        why = format("the icon file's directory of %u entries reaches beyond its %u bytes", count,
                     static_cast<unsigned>(size));
        return false;
    }
    images.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* entry = bytes + kIconHeaderSize + i * kIconDirectoryEntrySize;
        const uint64_t imageSize = loadLe32(entry + 8);
        const uint64_t offset = loadLe32(entry + 12);
        if (offset + imageSize > size) {
            why = format("icon image %u (%u bytes at offset %u) reaches beyond the file's %u bytes",
                         i + 1u, static_cast<unsigned>(imageSize), static_cast<unsigned>(offset),
                         static_cast<unsigned>(size));
            images.clear();
            return false;
        }
        std::memcpy(images[i].entry, entry, sizeof images[i].entry);
        images[i].data.assign(file.c_str() + offset, static_cast<int32_t>(imageSize));
    }
    return true;
}

String iconGroup(const std::vector<IconImage>& images, int32_t count) {
    String group;
    appendWord(group, 0);
    appendWord(group, 1);
    appendWord(group, static_cast<uint16_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        group.append(reinterpret_cast<const char*>(images[i].entry), sizeof images[i].entry);
        appendWord(group, static_cast<uint16_t>(i + 1));
    }
    return group;
}

bool replaceIcon(const std::vector<IconImage>& images, ResourceWriter& writer) {
    int32_t written = 0;
    for (const IconImage& image : images) {
        const uint16_t id = static_cast<uint16_t>(written + 1);
        if (!writer.update(kResourceTypeIcon, id, kIconLanguage, image.data.c_str(),
                           static_cast<uint32_t>(image.data.length())))
            return false;
        ++written;
    }
    String group = iconGroup(images, written);
    return writer.update(kResourceTypeGroupIcon, kIconGroupName, kIconLanguage, group.c_str(),
                         static_cast<uint32_t>(group.length()));
}

}  // namespace tessarin
