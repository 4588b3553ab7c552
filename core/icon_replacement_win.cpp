#include <windows.h>

#include "core/convert.h"
#include "core/icon_replacement.h"
#include "core/system_function_win.h"
#include "core/wide_win.h"

namespace tessarin {

namespace {

using BeginFunction = HANDLE(WINAPI*)(LPCWSTR, BOOL);
using UpdateFunction = BOOL(WINAPI*)(HANDLE, LPCSTR, LPCSTR, WORD, LPVOID, DWORD);
using EndFunction = BOOL(WINAPI*)(HANDLE, BOOL);

// The three functions are looked up together: a system that lacks one of them gets none, and
// every operation fails with ERROR_INVALID_DLL.
struct ResourceFunctions {
    BeginFunction begin = nullptr;
    UpdateFunction update = nullptr;
    EndFunction end = nullptr;

    ResourceFunctions() {
        begin = systemFunction<BeginFunction>(L"kernel32.dll", "BeginUpdateResourceW");
        update = systemFunction<UpdateFunction>(L"kernel32.dll", "UpdateResourceA");
        end = systemFunction<EndFunction>(L"kernel32.dll", "EndUpdateResourceA");
        if (!begin || !update || !end) *this = ResourceFunctions(nullptr);
    }
    explicit ResourceFunctions(std::nullptr_t) {}
    bool available() const { return begin != nullptr; }
};

const ResourceFunctions& resourceFunctions() {
    static const ResourceFunctions functions;
    return functions;
}

bool functionsMissing() {
    if (resourceFunctions().available()) return false;
    SetLastError(kErrorInvalidDll);
    return true;
}

}  // namespace

ResourceUpdate::~ResourceUpdate() {
    if (handle_ != nullptr) end(true);
}

bool ResourceUpdate::begin(const char16_t* path, bool deleteExisting) {
    if (handle_ != nullptr) end(false);
    if (functionsMissing()) return false;
    handle_ = resourceFunctions().begin(win(path), deleteExisting ? TRUE : FALSE);
    return handle_ != nullptr;
}

bool ResourceUpdate::begin(const char* path, bool deleteExisting) {
    String wide;
    toWide(path, kWholeLength, wide, kCodePageSystem);
    return begin(wide.w_str(), deleteExisting);
}

bool ResourceUpdate::update(uint16_t type, uint16_t name, uint16_t language, const void* data,
                            uint32_t size) {
    if (functionsMissing()) return false;
    if (handle_ == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return resourceFunctions().update(handle_, MAKEINTRESOURCEA(type), MAKEINTRESOURCEA(name),
                                      language, const_cast<void*>(data), size) != FALSE;
}

bool ResourceUpdate::end(bool discard) {
    if (functionsMissing()) return false;
    if (handle_ == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    HANDLE handle = handle_;
    handle_ = nullptr;
    return resourceFunctions().end(handle, discard ? TRUE : FALSE) != FALSE;
}

bool replaceExecutableIcon(const String& executable, const String& iconFile, bool& opened) {
    std::vector<IconImage> images;
    String why;
    const bool readable = readIconFile(iconFile, images, why);
    ResourceUpdate update;
    opened = update.begin(executable.w_str(), false);
    if (!opened) return false;
    if (!readable) {
        update.end(true);
        SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    if (!replaceIcon(images, update)) {
        DWORD error = GetLastError();
        update.end(true);
        SetLastError(error);
        return false;
    }
    return update.end(false);
}

}  // namespace tessarin
