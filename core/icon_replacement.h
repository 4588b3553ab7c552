// Replacing the icon of an executable on disk with the images of an icon file.
//
// The icon file is read from its bytes and the group resource is built here (portable,
// icon_replacement.cpp); ResourceUpdate holds one update of an executable's resources through
// the system's resource-update functions (icon_replacement_win.cpp).
#pragma once

#include <cstdint>
#include <vector>

#include "core/string.h"

namespace tessarin {

inline constexpr uint16_t kResourceTypeIcon = 3;        // RT_ICON
inline constexpr uint16_t kResourceTypeGroupIcon = 14;  // RT_GROUP_ICON
inline constexpr uint16_t kIconGroupName = 1;
inline constexpr uint16_t kIconLanguage = 1033;  // English (United States)
inline constexpr int32_t kMaxIconImages = 1000;
inline constexpr int32_t kIconDirectoryEntrySize = 16;
inline constexpr int32_t kIconGroupEntrySize = 14;
inline constexpr uint32_t kErrorInvalidDll = 1154;  // ERROR_INVALID_DLL

// One image of an icon (or cursor) file: the first 12 bytes of its directory entry (width
// through image size) and its bytes.
struct IconImage {
    uint8_t entry[12] = {};
    String data;
};

// Reads an icon or cursor file: header (reserved 0, type 1 or 2, at most 1000 images), the
// directory and every image at its offset. False, with why set, for anything else.
bool readIconFile(const String& file, std::vector<IconImage>& images, String& why);

// Receives the resources of an icon replacement. False on failure, with the last error left.
class ResourceWriter {
  public:
    virtual ~ResourceWriter() = default;
    virtual bool update(uint16_t type, uint16_t name, uint16_t language, const void* data,
                        uint32_t size) = 0;
};

// Writes each image as RT_ICON 1, 2, ... and then RT_GROUP_ICON 1 listing them, all in language
// 1033. Stops at the first failure; true when every image and the group were written. The
// caller commits the update on success and discards it otherwise.
bool replaceIcon(const std::vector<IconImage>& images, ResourceWriter& writer);

// The group resource for the first count images, with identifiers from 1.
String iconGroup(const std::vector<IconImage>& images, int32_t count);

// ---- Windows -----------------------------------------------------------------------------

// One resource update of an executable between begin and end.
class ResourceUpdate : public ResourceWriter {
  public:
    ResourceUpdate() = default;
    ResourceUpdate(const ResourceUpdate&) = delete;
    ResourceUpdate& operator=(const ResourceUpdate&) = delete;
    // An update still open is discarded, so that an interrupted replacement leaves the old
    // icon in place.
    ~ResourceUpdate() override;

    // BeginUpdateResourceW; an 8-bit path is converted with the system code page. An update
    // still open is committed first.
    bool begin(const char16_t* path, bool deleteExisting);
    bool begin(const char* path, bool deleteExisting);
    bool update(uint16_t type, uint16_t name, uint16_t language, const void* data,
                uint32_t size) override;
    // EndUpdateResource; the handle is forgotten either way. Without an open update:
    // ERROR_INVALID_HANDLE and false.
    bool end(bool discard);
    bool isOpen() const { return handle_ != nullptr; }

  private:
    void* handle_ = nullptr;
};

// Replaces icon group 1 of the executable with the images of iconFile and commits the update;
// a failure discards it. opened tells whether the update could be begun at all.
bool replaceExecutableIcon(const String& executable, const String& iconFile, bool& opened);

}  // namespace tessarin
