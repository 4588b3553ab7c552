// Stands in for an uninstaller at its end: "self_remover <install folder> <uninstall subfolder>"
// removes its own file and folders as the uninstaller does, then exits with 0.
#include <windows.h>

#include "core/string.h"
#include "uninstall/self_removal.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 2;
    tessarin::RemoveUninstaller(tessarin::String(reinterpret_cast<const char16_t*>(argv[1])),
                                tessarin::String(reinterpret_cast<const char16_t*>(argv[2])));
    return 0;
}
