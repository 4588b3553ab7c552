#include "core/wininit.h"

#include "core/format.h"
#include "core/wildcard.h"

namespace tessarin {
namespace {

constexpr char kRenameSection[] = "[rename]";

int32_t findNoCase(const String& text, const char* needle) {
    WildcardA_Occurrence found;
    if (!findWildcard(text.c_str(), text.length(), 0, needle,
                      kWildcardLiteral | kWildcardIgnoreCase, found))
        return -1;
    return found.start;
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
