// The walk from the PE headers to the manifest resource (type 24, name 1, first language), and
// the in-place rewrite of its level attribute.
#include "tools/build/execution_level.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "core/byte_order.h"

namespace tessarin::build {
namespace {

constexpr uint32_t kManifestType = 24;
constexpr uint32_t kApplicationManifest = 1;
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr uint32_t kSubdirectoryFlag = 0x80000000u;

[[noreturn]] void refuse(const std::string& why) {
    throw std::runtime_error("stub: " + why);
}

class Image {
  public:
    explicit Image(const std::vector<uint8_t>& bytes) : bytes_(bytes) {
        if (bytes.size() < 64 || bytes[0] != 'M' || bytes[1] != 'Z') refuse("not an MZ executable");
        pe_ = u32(60);
        if (u32(pe_) != 0x00004550) refuse("no PE header where the MZ header points");
        sections_ = u16(pe_ + 6);
        optional_ = pe_ + 24;
        sectionTable_ = optional_ + u16(pe_ + 20);
    }

    // The resource directory's file offset.
    size_t resourceDirectory() const {
        bool plus = u16(optional_) == 0x20b;
        size_t count = u32(optional_ + (plus ? 108 : 92));
        if (count <= kResourceDirectoryIndex) refuse("no resource directory");
        uint32_t rva = u32(optional_ + (plus ? 112 : 96) + 8 * kResourceDirectoryIndex);
        if (rva == 0) refuse("no resource directory");
        return offsetOf(rva, 16);
    }

    // The file offset of an RVA whose size bytes lie in one section's raw data.
    size_t offsetOf(uint32_t rva, size_t size) const {
        for (size_t i = 0; i < sections_; ++i) {
            size_t entry = sectionTable_ + 40 * i;
            uint32_t virtualAddress = u32(entry + 12);
            uint32_t rawSize = u32(entry + 16);
            uint32_t rawOffset = u32(entry + 20);
            if (rva < virtualAddress || rva - virtualAddress >= rawSize) continue;
            uint64_t within = rva - virtualAddress;
            if (within + size > rawSize || uint64_t(rawOffset) + within + size > bytes_.size())
                break;
            return rawOffset + within;
        }
        refuse("resource data outside the file's sections");
    }

    uint32_t u16(size_t at) const { return loadLe16(view(at, 2)); }
    uint32_t u32(size_t at) const { return loadLe32(view(at, 4)); }

  private:
    const uint8_t* view(size_t at, size_t n) const {
        if (at > bytes_.size() || bytes_.size() - at < n) refuse("headers cut short");
        return bytes_.data() + at;
    }

    const std::vector<uint8_t>& bytes_;
    size_t pe_ = 0;
    size_t sections_ = 0;
    size_t optional_ = 0;
    size_t sectionTable_ = 0;
};

// The entry of a resource directory level with the given id, or (any) its first entry; returns
// the entry's offset field.
uint32_t entryOf(const Image& image, size_t directory, const uint32_t* id) {
    size_t named = image.u16(directory + 12);
    size_t ids = image.u16(directory + 14);
    for (size_t i = named; i < named + ids; ++i) {
        size_t entry = directory + 16 + 8 * i;
        if (!id || image.u32(entry) == *id) return image.u32(entry + 4);
    }
    return UINT32_MAX;
}

}  // namespace

const char* manifestLevelName(ExecutionLevel level) {
    switch (level) {
        case ExecutionLevel::Highest:
            return "highestAvailable";
        case ExecutionLevel::User:
            return "asInvoker";
        default:
            return "requireAdministrator";
    }
}

ByteRange findApplicationManifest(const std::vector<uint8_t>& bytes) {
    Image image(bytes);
    size_t root = image.resourceDirectory();
    // Offsets inside the resource tree count from its root; the root's own section holds them.
    auto level = [&](size_t directory, const uint32_t* id) -> size_t {
        uint32_t offset = entryOf(image, directory, id);
        if (offset == UINT32_MAX || !(offset & kSubdirectoryFlag))
            refuse("no application manifest (resource 24, 1)");
        return root + (offset & ~kSubdirectoryFlag);
    };
    size_t names = level(root, &kManifestType);
    size_t languages = level(names, &kApplicationManifest);
    uint32_t data = entryOf(image, languages, nullptr);
    if (data == UINT32_MAX || (data & kSubdirectoryFlag))
        refuse("no application manifest (resource 24, 1)");
    size_t entry = root + data;
    uint32_t rva = image.u32(entry);
    uint32_t size = image.u32(entry + 4);
    return ByteRange{image.offsetOf(rva, size), size};
}

void setExecutionLevel(std::vector<uint8_t>& image, ExecutionLevel level) {
    ByteRange manifest = findApplicationManifest(image);
    char* begin = reinterpret_cast<char*>(image.data() + manifest.offset);
    char* end = begin + manifest.size;
    const char element[] = "<requestedExecutionLevel";
    const char attribute[] = "level=\"";
    char* start = std::search(begin, end, element, element + sizeof element - 1);
    if (start == end) refuse("the application manifest has no requestedExecutionLevel");
    char* finish = std::find(start, end, '>');
    char* at = std::search(start, finish, attribute, attribute + sizeof attribute - 1);
    char* close = at == finish ? finish : std::find(at + sizeof attribute - 1, finish, '"');
    if (close == finish) refuse("the manifest's requestedExecutionLevel has no level");
    // The room: the attribute with its value, and the blanks that follow it.
    char* room = close + 1;
    while (room != finish && *room == ' ') ++room;
    std::string text = std::string(attribute) + manifestLevelName(level) + "\"";
    if (text.size() > size_t(room - at))
        refuse("no room in the manifest for level=\"" + std::string(manifestLevelName(level)) +
               "\"");
    std::memcpy(at, text.data(), text.size());
    std::fill(at + text.size(), room, ' ');
}

}  // namespace tessarin::build
