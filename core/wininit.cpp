#include "core/wininit.h"

#include <cstring>

#include "core/format.h"

namespace tessarin {
namespace {

constexpr char kRenameSection[] = "[rename]";

int32_t findNoCase(const String& text, const char* needle) {
    int32_t n = static_cast<int32_t>(std::strlen(needle));
    for (int32_t at = 0; at + n <= text.length(); ++at) {
        if (compareNoCaseAscii(text.c_str() + at, needle, static_cast<size_t>(n)) == 0) return at;
    }
    return -1;
}

}  // namespace

void addWininitRename(String& text, const char* target, const char* source) {
    int32_t at = findNoCase(text, kRenameSection);
    if (at < 0) {
        char last = text.get(text.length() - 1);
        if (!text.empty() && last != '\n' && last != '\r') text.append("\r\n");
        formatAppend(text, "[rename]\r\n%s=%s", target, source);
        return;
    }
    String entry = format("\r\n%s=%s", target, source);
    int32_t end = at + static_cast<int32_t>(sizeof kRenameSection - 1);
    text.replace(end, 0, entry.c_str(), entry.length());
}

}  // namespace tessarin
