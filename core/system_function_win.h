// Functions that only some Windows versions have, looked up by name at run time. The library
// is loaded when the process has not loaded it yet, and stays loaded.
#pragma once

#include <windows.h>

namespace tessarin {

// The function, or null where this system lacks the library or the function. Callers keep the
// result (a function-local static) so that each is looked up once.
template <typename Function>
Function systemFunction(const wchar_t* library, const char* name) {
    HMODULE module = GetModuleHandleW(library);
    if (module == nullptr) module = LoadLibraryW(library);
    FARPROC found = module != nullptr ? GetProcAddress(module, name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(found));
}

}  // namespace tessarin
