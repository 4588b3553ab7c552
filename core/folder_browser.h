// The system's folder-browse dialog.
#pragma once

#include <cstdint>

#include "core/string.h"

namespace tessarin {

// Root kinds of a browse request; any other value roots the tree at the desktop.
inline constexpr int32_t kBrowseRootComputer = 1;
inline constexpr int32_t kBrowseRootPrograms = 2;
inline constexpr int32_t kBrowseRootCommonPrograms = 3;

// Options of a browse request.
inline constexpr uint32_t kBrowseNotShareable = 0x20000;
inline constexpr uint32_t kBrowseEditBox = 0x40000;
inline constexpr uint32_t kBrowseInitialBelowRoot = 0x80000;  // initial folder relative to root

struct BrowseRequest {
    void* owner = nullptr;
    String title;          // UTF-16
    String initialFolder;  // UTF-16
    int32_t rootKind = 0;
    uint32_t options = 0;
    String chosen;  // UTF-16, the folder picked
};

// The special-folder id (CSIDL) of a root kind; -1 for the desktop, which needs no root.
int32_t browseRootFolderId(int32_t rootKind);
// The special-folder id whose path an initial folder is relative to.
int32_t browseRootPathFolderId(int32_t rootKind);
// BROWSEINFO flags for the options.
uint32_t browseFlags(uint32_t options);
// The initial folder below a root path: joined with one backslash; the folder alone when the
// root has no path.
String joinBrowsePath(const String& rootPath, const String& folder);

// Shows the dialog; true with request.chosen set when a file-system folder was picked. An
// exception out of the dialog (a faulty shell extension, say) counts as no choice.
bool browseForFolder(BrowseRequest& request);

// The system's dialog (SHBrowseForFolderW) as browseForFolder calls it: takes a BROWSEINFOW,
// returns the chosen item list or null. Tests replace it.
using FolderBrowseCall = void* (*)(void* browseInfo);
FolderBrowseCall& folderBrowseCall();

}  // namespace tessarin
