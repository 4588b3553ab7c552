// JSON text pieces for the build tool's descriptions of installers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "core/convert.h"
#include "core/string.h"

namespace tessarin::build {

inline std::string jsonString(const char* s, size_t n) {
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

inline std::string jsonString(const String& s) {
    return jsonString(s.c_str(), static_cast<size_t>(s.length()));
}

inline std::string jsonWide(const String& wide) {
    String utf8;
    toNarrow(wide.w_str(), wide.wideLength(), utf8, 65001);
    return jsonString(utf8);
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
