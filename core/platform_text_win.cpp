#include <windows.h>

#include "core/platform_text.h"

namespace tessarin {

int multiByteToWide(int codePage, unsigned flags, const char* src, int srcLength, char16_t* dst,
                    int dstChars) {
    return MultiByteToWideChar(static_cast<UINT>(codePage), flags, src, srcLength,
                               reinterpret_cast<wchar_t*>(dst), dstChars);
}

int wideToMultiByte(int codePage, unsigned flags, const char16_t* src, int srcChars, char* dst,
                    int dstBytes, const char* defaultChar) {
    return WideCharToMultiByte(static_cast<UINT>(codePage), flags,
                               reinterpret_cast<const wchar_t*>(src), srcChars, dst, dstBytes,
                               defaultChar, nullptr);
}

uint32_t lastTextError() {
    return GetLastError();
}

int systemAnsiCodePage() {
    return static_cast<int>(GetACP());
}

int compareInvariantNoCase(const char16_t* a, int aChars, const char16_t* b, int bChars) {
    int r = CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE | SORT_STRINGSORT,
                           reinterpret_cast<const wchar_t*>(a), aChars,
                           reinterpret_cast<const wchar_t*>(b), bChars);
    return r == CSTR_LESS_THAN ? -1 : r == CSTR_GREATER_THAN ? 1 : 0;
}

}  // namespace tessarin
