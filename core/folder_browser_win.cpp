#include <shlobj.h>
#include <windows.h>

#include "core/crash_guard.h"
#include "core/folder_browser.h"

namespace tessarin {
namespace {

// An item id list from the shell, freed with the shell's allocator.
class ShellItem {
  public:
    ShellItem() = default;
    explicit ShellItem(LPITEMIDLIST item) : item_(item) {}
    ShellItem(const ShellItem&) = delete;
    ShellItem& operator=(const ShellItem&) = delete;
    ~ShellItem() {
        IMalloc* allocator = nullptr;
        if (item_ && SUCCEEDED(SHGetMalloc(&allocator))) {
            allocator->Free(item_);
            allocator->Release();
        }
    }
    LPITEMIDLIST get() const { return item_; }
    LPITEMIDLIST* out() { return &item_; }

  private:
    LPITEMIDLIST item_ = nullptr;
};

String folderPath(int32_t folderId) {
    wchar_t path[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, path, folderId, FALSE)) return String();
    return String(reinterpret_cast<const char16_t*>(path));
}

String initialFolder(const BrowseRequest& request) {
    if (!(request.options & kBrowseInitialBelowRoot)) return request.initialFolder;
    return joinBrowsePath(folderPath(browseRootPathFolderId(request.rootKind)),
                          request.initialFolder);
}

int CALLBACK onBrowseEvent(HWND dialog, UINT event, LPARAM, LPARAM data) {
    const String* initial = reinterpret_cast<const String*>(data);
    if (event == BFFM_INITIALIZED && initial && !initial->empty())
        SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(initial->w_str()));
    return 0;
}

void* systemFolderBrowse(void* browseInfo) {
    return SHBrowseForFolderW(static_cast<BROWSEINFOW*>(browseInfo));
}

struct BrowseCall {
    BROWSEINFOW* info;
    LPITEMIDLIST chosen;
};

void runBrowse(void* context) {
    BrowseCall& call = *static_cast<BrowseCall*>(context);
    call.chosen = static_cast<LPITEMIDLIST>(folderBrowseCall()(call.info));
}

}  // namespace

FolderBrowseCall& folderBrowseCall() {
    static FolderBrowseCall call = systemFolderBrowse;
    return call;
}

bool browseForFolder(BrowseRequest& request) {
    ShellItem root;
    int32_t rootId = browseRootFolderId(request.rootKind);
    if (rootId >= 0 && FAILED(SHGetSpecialFolderLocation(nullptr, rootId, root.out())))
        *root.out() = nullptr;
    String initial = initialFolder(request);
    BROWSEINFOW info = {};
    info.hwndOwner = static_cast<HWND>(request.owner);
    info.pidlRoot = root.get();
    info.lpszTitle = reinterpret_cast<const wchar_t*>(request.title.w_str());
    info.ulFlags = browseFlags(request.options);
    info.lpfn = onBrowseEvent;
    info.lParam = reinterpret_cast<LPARAM>(&initial);
    BrowseCall call{&info, nullptr};
    if (!runGuarded(runBrowse, &call)) return false;
    ShellItem chosen(call.chosen);
    if (!chosen.get()) return false;
    wchar_t path[MAX_PATH] = {};
    if (!SHGetPathFromIDListW(chosen.get(), path)) return false;
    request.chosen.assignWide(reinterpret_cast<const char16_t*>(path));
    return true;
}

}  // namespace tessarin
