#include "core/path.h"

#include <string>
#include <string_view>
#include <vector>

#include "core/chars.h"
#include "core/convert.h"

namespace tessarin {
namespace {

// Characters no path may hold; "*" and "?" are decided by the options.
bool isForbidden(char16_t c) {
    switch (c) {
        case u'/':
        case u'"':
        case u'<':
        case u'>':
        case u'|':
        case u';':
            return true;
        default:
            return c < 0x20;  // control characters would split log and data file lines
    }
}

// Applies the blank rule to both ends: trims, or refuses the text.
bool settleEnds(std::u16string& s, uint32_t options) {
    if (options & kPathTrim) {
        s = std::u16string(trimWhiteSpace(s));
        return true;
    }
    return s.empty() || (!isWhiteSpace(s.front()) && !isWhiteSpace(s.back()));
}

bool validCharacters(const std::u16string& s, uint32_t options) {
    bool drive = s.size() >= 2 && s[1] == u':';
    if (drive && !isAsciiLetter(s[0])) return false;
    for (size_t i = 0; i < s.size(); ++i) {
        char16_t c = s[i];
        if (c == u':' && !(drive && i == 1)) return false;
        if (isForbidden(c)) return false;
        if (c == u'*' && !(options & kPathAllowAsterisk)) return false;
        if (c == u'?' && !(options & kPathAllowQuestionMark)) return false;
        // A network path opens with two backslashes; anywhere else a doubled one is a slip.
        if (c == u'\\' && i >= 2 && s[i - 1] == u'\\') return false;
    }
    return true;
}

}  // namespace

int32_t lastSeparator(const String& path) {
    const char16_t* p = path.w_str();
    int32_t limit = 0;
    while (limit < path.wideLength() && p[limit] != u';') ++limit;
    for (int32_t i = limit - 1; i >= 0; --i)
        if (p[i] == u'\\') return i;
    for (int32_t i = 0; i < limit; ++i)
        if (p[i] == u':') return i;
    return -1;
}

String parentFolder(const String& path) {
    int32_t at = lastSeparator(path);
    if (at < 0) return String();
    const char16_t* p = path.w_str();
    bool root = p[at] == u':' || (at > 0 && p[at - 1] == u':');
    return String(p, root ? at + 1 : at);
}

String fileName(const String& path) {
    int32_t at = lastSeparator(path);
    return String(path.w_str() + at + 1, path.wideLength() - at - 1);
}

String changeExtension(const String& path, const String& extension) {
    int32_t nameStart = lastSeparator(path) + 1;
    int32_t end = path.wideLength();
    const char16_t* p = path.w_str();
    for (int32_t i = end - 1; i >= nameStart; --i) {
        if (p[i] == u'.') {
            end = i;
            break;
        }
    }
    String result(p, end);
    if (extension.empty()) return result;
    if (extension.getWide(0) != u'.') result.appendWideChar(u'.');
    result.appendWide(extension.w_str(), extension.wideLength());
    return result;
}

String joinPath(const String& folder, const String& name) {
    if (folder.empty()) return name;
    int32_t end = folder.wideLength();
    while (end > 0 && folder.getWide(end - 1) == u'\\') --end;
    int32_t start = 0;
    while (name.getWide(start) == u'\\') ++start;
    String result(folder.w_str(), end);
    result.appendWideChar(u'\\');
    result.appendWide(name.w_str() + start, name.wideLength() - start);
    return result;
}

bool isAbsolutePath(const String& path) {
    const char16_t* p = path.w_str();
    if (p[0] == u'\\' && p[1] == u'\\') return true;
    return isAsciiLetter(p[0]) && p[1] == u':' && p[2] == u'\\';
}

namespace {

// Resolves "." and ".." in the components after the root and joins them with single
// backslashes; a ".." at the root stays at the root.
std::u16string normalizedComponents(std::u16string_view rest) {
    std::vector<std::u16string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i <= rest.size(); ++i) {
        if (i < rest.size() && rest[i] != u'\\') continue;
        std::u16string_view part = rest.substr(start, i - start);
        start = i + 1;
        if (part.empty() || part == u".") continue;
        if (part == u"..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::u16string joined;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) joined.push_back(u'\\');
        joined.append(parts[i]);
    }
    if (!rest.empty() && rest.back() == u'\\' && !joined.empty()) joined.push_back(u'\\');
    return joined;
}

}  // namespace

String extendedLengthPath(const String& path) {
    if (path.wideLength() < kExtendedPathFrom) return path;
    std::u16string text(path.w_str(), static_cast<size_t>(path.wideLength()));
    for (char16_t& c : text)
        if (c == u'/') c = u'\\';
    if (text.rfind(u"\\\\?\\", 0) == 0 || text.rfind(u"\\\\.\\", 0) == 0) return path;
    std::u16string result;
    if (text.size() >= 3 && isAsciiLetter(text[0]) && text[1] == u':' && text[2] == u'\\') {
        result = u"\\\\?\\" + text.substr(0, 3) +
                 normalizedComponents(std::u16string_view(text).substr(3));
    } else if (text.rfind(u"\\\\", 0) == 0) {
        result = u"\\\\?\\UNC\\" + normalizedComponents(std::u16string_view(text).substr(2));
    } else {
        return path;
    }
    return String(result.c_str(), static_cast<int32_t>(result.size()));
}

bool hasWildcard(const String& path) {
    for (int32_t i = 0; i < path.wideLength(); ++i) {
        char16_t c = path.getWide(i);
        if (c == u'*' || c == u'?') return true;
    }
    return false;
}

bool takeRecursiveMark(String& pattern) {
    int32_t n = pattern.wideLength();
    if (n < 3 || pattern.getWide(n - 3) != u' ' || pattern.getWide(n - 2) != u'/' ||
        toLowerAscii(pattern.getWide(n - 1)) != u's')
        return false;
    n -= 3;
    while (n > 0 && isWhiteSpace(pattern.getWide(n - 1))) --n;
    pattern.setWideLength(n);
    return true;
}

bool validPath(const String& path, uint32_t options) {
    std::u16string s(path.w_str(), static_cast<size_t>(path.wideLength()));
    if (!settleEnds(s, options)) return false;
    if (s.size() >= 2 && s.front() == u'"' && s.back() == u'"') {
        s = s.substr(1, s.size() - 2);
        if (!settleEnds(s, options)) return false;
    }
    if (s.empty() || !validCharacters(s, options)) return false;
    if (s.back() == u'\\' && !(options & kPathAllowTrailingBackslash)) return false;
    if (options & kPathMustBeAbsolute) {
        String settled(s.c_str(), static_cast<int32_t>(s.size()));
        return isAbsolutePath(settled);
    }
    return true;
}

bool validPath8(const char* path, uint32_t options) {
    if (path == nullptr) return false;
    String wide;
    bool converted = (path[0] == '|' && !(options & kPathNoBar))
                         ? pathToWide(path, kWholeLength, wide)
                         : toWide(path, kWholeLength, wide, kCodePageSystem);
    if (!converted && path[0] != 0) return false;
    if (options & kPathSlashIsBackslash) {
        for (int32_t i = 0; i < wide.wideLength(); ++i)
            if (wide.getWide(i) == u'/') wide.setWide(i, u'\\');
    }
    return validPath(wide, options);
}

bool isListableEntryName(const char16_t* name) {
    if (name == nullptr || name[0] == 0) return false;
    if (name[0] == u'.' && (name[1] == 0 || (name[1] == u'.' && name[2] == 0))) return false;
    for (const char16_t* p = name; *p; ++p) {
        switch (*p) {
            case u'/':
            case u'"':
            case u'<':
            case u'>':
            case u'|':
            case u'*':
            case u'?':
            case u';':
                return false;
            default:
                break;
        }
    }
    return true;
}

bool isShellFolderFile(const char16_t* name) {
    return equalsNoCaseAscii(name, u"thumbs.db") || equalsNoCaseAscii(name, u"desktop.ini");
}

// Each unit on its own, except a surrogate pair, which becomes its code point's four bytes.
void PathList::add(const String& path) {
    const char16_t* text = path.w_str();
    int32_t n = path.wideLength();
    std::string bytes;
    bytes.reserve(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00u);
            bytes += static_cast<char>(0xF0 | (c >> 18));
            bytes += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c >= 0x800) {
            bytes += static_cast<char>(0xE0 | (c >> 12));
            bytes += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c >= 0x80) {
            bytes += static_cast<char>(0xC0 | (c >> 6));
            bytes += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            bytes += static_cast<char>(c);
        }
    }
    list_.add(bytes.data(), static_cast<int32_t>(bytes.size()));
}

// The bytes are the encoder's own: every sequence is whole.
void PathList::decode(const String& bytes, String& path) {
    const uint8_t* b = bytes.bytes();
    int32_t n = bytes.length();
    std::u16string units;
    units.reserve(static_cast<size_t>(n));
    for (int32_t i = 0; i < n;) {
        uint32_t c = b[i];
        if (c >= 0xF0) {
            c = ((c & 0x07) << 18) | (uint32_t(b[i + 1] & 0x3F) << 12) |
                (uint32_t(b[i + 2] & 0x3F) << 6) | (b[i + 3] & 0x3F);
            c -= 0x10000;
            units += static_cast<char16_t>(0xD800 + (c >> 10));
            units += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
            i += 4;
            continue;
        }
        if (c >= 0xE0) {
            c = ((c & 0x0F) << 12) | (uint32_t(b[i + 1] & 0x3F) << 6) | (b[i + 2] & 0x3F);
            i += 3;
        } else if (c >= 0xC0) {
            c = ((c & 0x1F) << 6) | (b[i + 1] & 0x3F);
            i += 2;
        } else {
            i += 1;
        }
        units += static_cast<char16_t>(c);
    }
    path.assignWide(units.data(), static_cast<int32_t>(units.size()));
}

}  // namespace tessarin
