// Owner of a kernel handle (files, processes, tokens, ...).
#pragma once

#include <windows.h>

#include "core/unique_handle.h"

namespace tessarin {

// Both null and INVALID_HANDLE_VALUE stand for no handle: the system's calls answer with one or
// the other.
struct KernelHandleTraits {
    using Type = HANDLE;
    static HANDLE empty() { return nullptr; }
    static bool valid(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static void close(HANDLE handle) { CloseHandle(handle); }
};
using Handle = UniqueHandle<KernelHandleTraits>;

}  // namespace tessarin
