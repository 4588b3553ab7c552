#include <windows.h>

#include "core/font.h"

namespace tessarin {
namespace {

constexpr int kFamilyReported = 53172;

int CALLBACK onFontFamily(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM) {
    return kFamilyReported;
}

bool enumerateFace(const char* face, void*) {
    HDC screen = GetDC(nullptr);
    if (!screen) return false;
    LOGFONTA font = {};
    font.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(font.lfFaceName, face, LF_FACESIZE);
    int result = EnumFontFamiliesExA(screen, &font, onFontFamily, 0, 0);
    ReleaseDC(nullptr, screen);
    return result == kFamilyReported;
}

FaceCache& processFaceCache() {
    static FaceCache cache;
    return cache;
}

}  // namespace

void FontTraits::close(void* font) {
    DeleteObject(static_cast<HFONT>(font));
}

Font createFont(const FontRequest& request) {
    unsigned style = request.style;
    return Font(CreateFontA(
        request.height, 0, request.escapement, request.orientation, fontWeight(request),
        (style & kFontItalic) ? TRUE : FALSE, (style & kFontUnderline) ? TRUE : FALSE,
        (style & kFontStrikeOut) ? TRUE : FALSE, request.charSet, request.outputPrecision,
        request.clipPrecision, request.quality, request.pitchAndFamily, request.face.c_str()));
}

bool faceInstalled(const char* name) {
    return processFaceCache().installed(name, enumerateFace, nullptr);
}

String firstInstalledFace(const char* list) {
    return processFaceCache().firstInstalled(list, enumerateFace, nullptr);
}

}  // namespace tessarin
