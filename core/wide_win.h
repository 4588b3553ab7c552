// Our UTF-16 texts (char16_t) as the wchar_t strings of the Windows API: the same bytes.
#pragma once

#include "core/string.h"

namespace tessarin {

inline const wchar_t* win(const char16_t* s) {
    return reinterpret_cast<const wchar_t*>(s);
}
inline wchar_t* win(char16_t* s) {
    return reinterpret_cast<wchar_t*>(s);
}
inline const wchar_t* win(const String& s) {
    return win(s.w_str());
}

}  // namespace tessarin
