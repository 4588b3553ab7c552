// Text forms for tests: a String's bytes, UTF-16 Strings to and from UTF-8, and to and from the
// narrow path form.
#pragma once

#include <string>

#include "core/convert.h"
#include "core/string.h"

namespace tessarin::testing {

// A String's bytes as they are (8-bit text, or raw bytes with their length).
inline std::string bytes(const String& s) {
    return std::string(s.c_str(), static_cast<size_t>(s.length()));
}

// A UTF-16 literal of a test as a String, and a String's UTF-16 text back.
inline String S(const std::u16string& s) {
    return String(s.c_str(), static_cast<int32_t>(s.size()));
}
inline std::u16string U(const String& s) {
    return std::u16string(s.w_str(), static_cast<size_t>(s.wideLength()));
}

inline std::string utf8(const String& wide) {
    String t;
    toNarrow(wide.w_str(), wide.wideLength(), t, 65001);
    return std::string(t.c_str(), static_cast<size_t>(t.length()));
}

inline String fromUtf8(const std::string& text) {
    String w;
    toWide(text.c_str(), static_cast<int32_t>(text.size()), w, 65001);
    return w;
}

inline std::string pathForm(const String& wide) {
    return pathText(wide).c_str();
}

inline String fromPathForm(const std::string& narrow) {
    String w;
    pathToWide(narrow.c_str(), kWholeLength, w);
    return w;
}

}  // namespace tessarin::testing
