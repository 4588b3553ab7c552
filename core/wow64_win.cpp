#include <windows.h>

#include "core/system_function_win.h"
#include "core/wow64.h"

namespace tessarin {
namespace {

using RedirectionCall = BOOL(WINAPI*)(PVOID*);
using RevertCall = BOOL(WINAPI*)(PVOID);

template <class Call>
Call kernelFunction(const char* name) {
    return systemFunction<Call>(L"kernel32.dll", name);
}

}  // namespace

bool disableFileSystemRedirection(void*& oldValue) {
    static const auto call = kernelFunction<RedirectionCall>("Wow64DisableWow64FsRedirection");
    if (!call) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return false;
    }
    return call(&oldValue) != FALSE;
}

bool revertFileSystemRedirection(void* oldValue) {
    static const auto call = kernelFunction<RevertCall>("Wow64RevertWow64FsRedirection");
    if (!call) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return false;
    }
    return call(oldValue) != FALSE;
}

}  // namespace tessarin
