// Fonts: creation from a request, and the choice of a face from a list of candidates by
// asking the system which faces are installed (answers cached for the process).
#pragma once

#include <cstdint>

#include "core/containers.h"
#include "core/string.h"
#include "core/unique_handle.h"

namespace tessarin {

// Style bits of a font request.
inline constexpr unsigned kFontBold = 0x1;
inline constexpr unsigned kFontItalic = 0x2;
inline constexpr unsigned kFontUnderline = 0x4;
inline constexpr unsigned kFontStrikeOut = 0x10;

inline constexpr int32_t kFontWeightNormal = 400;  // FW_NORMAL
inline constexpr int32_t kFontWeightBold = 700;    // FW_BOLD
inline constexpr uint8_t kDefaultCharSet = 1;      // DEFAULT_CHARSET

struct FontRequest {
    String face;  // 8-bit
    int32_t height = 0;
    unsigned style = 0;
    uint8_t charSet = kDefaultCharSet;
    int32_t weight = -1;  // -1: bold or normal by the style bits
    int32_t escapement = 0;
    int32_t orientation = 0;
    uint8_t quality = 0;
    uint8_t pitchAndFamily = 0;
    uint8_t clipPrecision = 0;
    uint8_t outputPrecision = 0;
};

// The weight the request asks for.
int32_t fontWeight(const FontRequest& request);

// Owner of a GDI font.
struct FontTraits {
    using Type = void*;  // HFONT
    static void* empty() { return nullptr; }
    static bool valid(void* font) { return font != nullptr; }
    static void close(void* font);  // DeleteObject
};
using Font = UniqueHandle<FontTraits>;

// CreateFontA with width 0; an invalid Font (and the system's error) on failure.
Font createFont(const FontRequest& request);

// The face names of a list such as "Calibri Bold Italic, Verdana Bold Italic, Arial": split at
// commas, blanks around each name dropped, empty names skipped.
void splitFaceList(const char* list, Vector<String>& faces);

// Asks the system whether a face is installed; the face is at most 31 characters long.
using FaceProbe = bool (*)(const char* face, void* context);

// Answers per face name, case-insensitive (names compared on their first 31 characters).
class FaceCache {
  public:
    FaceCache() : faces_(50) {}
    bool installed(const char* name, FaceProbe probe, void* context);
    String firstInstalled(const char* list, FaceProbe probe, void* context);
    int32_t count() const { return faces_.count(); }

  private:
    List<bool, String> faces_;
};

// The process's answers, through the system's font enumeration.
bool faceInstalled(const char* name);
// The first installed face of a list; "Arial" when none of them is installed.
String firstInstalledFace(const char* list);

}  // namespace tessarin
