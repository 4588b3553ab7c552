#include "core/folder_browser.h"

namespace tessarin {
namespace {

constexpr int32_t kFolderDesktop = 0x0000;         // CSIDL_DESKTOP
constexpr int32_t kFolderPrograms = 0x0002;        // CSIDL_PROGRAMS
constexpr int32_t kFolderDrives = 0x0011;          // CSIDL_DRIVES
constexpr int32_t kFolderCommonPrograms = 0x0017;  // CSIDL_COMMON_PROGRAMS

constexpr uint32_t kReturnOnlyFileSystemFolders = 0x1;  // BIF_RETURNONLYFSDIRS
constexpr uint32_t kEditBox = 0x10;                     // BIF_EDITBOX
constexpr uint32_t kNewDialogStyle = 0x40;              // BIF_NEWDIALOGSTYLE
constexpr uint32_t kShareable = 0x8000;                 // BIF_SHAREABLE

bool isSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

}  // namespace

int32_t browseRootFolderId(int32_t rootKind) {
    switch (rootKind) {
        case kBrowseRootComputer:
            return kFolderDrives;
        case kBrowseRootPrograms:
            return kFolderPrograms;
        case kBrowseRootCommonPrograms:
            return kFolderCommonPrograms;
        default:
            return -1;
    }
}

int32_t browseRootPathFolderId(int32_t rootKind) {
    int32_t id = browseRootFolderId(rootKind);
    return id < 0 ? kFolderDesktop : id;
}

uint32_t browseFlags(uint32_t options) {
    uint32_t flags = kReturnOnlyFileSystemFolders | kNewDialogStyle;
    if (!(options & kBrowseNotShareable)) flags |= kShareable;
    if (options & kBrowseEditBox) flags |= kEditBox;
    return flags;
}

String joinBrowsePath(const String& rootPath, const String& folder) {
    if (rootPath.empty()) return folder;
    String joined(rootPath);
    int32_t start = 0;
    while (start < folder.wideLength() && isSeparator(folder.getWide(start))) ++start;
    if (!isSeparator(joined.getWide(joined.wideLength() - 1))) joined.appendWideChar(u'\\');
    joined.appendWide(folder.w_str() + start, folder.wideLength() - start);
    return joined;
}

}  // namespace tessarin
