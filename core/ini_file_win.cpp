#include <windows.h>

#include "core/ini_file.h"
#include "core/wide_win.h"

namespace tessarin {

bool writeIniValue(const String& file, const char16_t* section, const char16_t* key,
                   const String& value) {
    return WritePrivateProfileStringW(win(section), win(key), win(value), win(file)) != FALSE;
}

}  // namespace tessarin
