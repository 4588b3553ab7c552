// JSON text pieces for the build tool's descriptions of installers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/convert.h"
#include "core/platform_text.h"
#include "core/string.h"

namespace tessarin::build {

// JSON is UTF-8: every text is converted to UTF-8 first and then only escaped. The raw form
// takes text that is UTF-8 already.
inline std::string jsonUtf8Text(const char* s, size_t n) {
    std::string out = "\"";
    for (size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// UTF-16 text; unpaired surrogates become U+FFFD.
inline std::string jsonWide(const String& wide) {
    String utf8;
    toNarrow(wide.w_str(), wide.wideLength(), utf8, kCodePageUtf8);
    return jsonUtf8Text(utf8.c_str(), static_cast<size_t>(utf8.length()));
}

// 8-bit text as the build tool writes it: Western (1252).
inline std::string jsonAnsi(const String& text) {
    String wide;
    toWide(text.c_str(), text.length(), wide, 1252);
    return jsonWide(wide);
}

// 8-bit text that holds UTF-8; invalid sequences become U+FFFD.
inline std::string jsonUtf8(const String& text) {
    String wide;
    toWide(text.c_str(), text.length(), wide, kCodePageUtf8);
    return jsonWide(wide);
}

// Names stored in the narrow path form are shown as the text they stand for.
inline std::string jsonPath(const String& narrow) {
    String wide;
    pathToWide(narrow.c_str(), narrow.length(), wide, 1252);
    return jsonWide(wide);
}

inline std::string hex32(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "\"0x%08X\"", v);
    return buf;
}

}  // namespace tessarin::build
