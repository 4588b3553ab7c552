// Libraries of the system and the functions that only some Windows versions have, looked up by
// name at run time.
//
// A library named without its folder is looked for in the program's own folder first: an
// installer started from a downloads folder would load whatever DLL of that name lies beside
// it. System libraries are therefore taken from the system folder only.
#pragma once

#include <windows.h>

namespace tessarin {

// Loads a system library (a bare file name such as L"dwmapi.dll") from the system folder only:
// with LOAD_LIBRARY_SEARCH_SYSTEM32 where the system understands it, otherwise by its full path
// in the system folder. Null, with the system's error, when it is not there.
HMODULE loadSystemLibrary(const wchar_t* name);
// The older way on its own: the library by its full path in the system folder.
HMODULE loadSystemLibraryByPath(const wchar_t* name);

// At start-up: libraries that the system loads on the program's behalf (the dependencies of
// system libraries, delay-loaded ones) come from the system folder too
// (SetDefaultDllDirectories), or at least no longer from the current folder (SetDllDirectoryW
// with an empty text) on systems that lack it. A library of the product loaded later by its full
// path then needs LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR (or LOAD_WITH_ALTERED_SEARCH_PATH) for the
// libraries beside it.
void restrictLibrarySearch();

// The function, or null where this system lacks the library or the function. A library the
// process has already loaded is used as it is; any other is loaded with loadSystemLibrary and
// stays loaded. Callers keep the result (a function-local static) so that each is looked up
// once.
template <typename Function>
Function systemFunction(const wchar_t* library, const char* name) {
    HMODULE module = GetModuleHandleW(library);
    if (module == nullptr) module = loadSystemLibrary(library);
    FARPROC found = module != nullptr ? GetProcAddress(module, name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(found));
}

}  // namespace tessarin
