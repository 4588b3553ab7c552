#include "uninstall/protected_paths.h"

#include <string>
#include <vector>

#include "core/chars.h"
#include "core/convert.h"
#include "core/format.h"

namespace tessarin {

namespace {

bool isAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// Drops the prefixes that pass a path to the system unparsed; "\\?\UNC\x" is "\\x".
std::u16string withoutLiteralPrefix(std::u16string p) {
    for (const char16_t* prefix : {u"\\\\?\\", u"\\??\\", u"\\\\.\\"}) {
        std::u16string pre(prefix);
        if (p.compare(0, pre.size(), pre) == 0) {
            p.erase(0, pre.size());
            if (p.size() >= 4 && (p[0] == u'U' || p[0] == u'u') && (p[1] == u'N' || p[1] == u'n') &&
                (p[2] == u'C' || p[2] == u'c') && p[3] == u'\\')
                p = u"\\" + p.substr(3);
            break;
        }
    }
    return p;
}

// The root ("c:" or "\\server\share") and where the rest begins; false when there is none.
bool splitRoot(const std::u16string& p, std::u16string& root, size_t& rest) {
    if (p.size() >= 3 && isAsciiLetter(p[0]) && p[1] == u':' && p[2] == u'\\') {
        root = p.substr(0, 2);
        rest = 3;
        return true;
    }
    if (p.size() == 2 && isAsciiLetter(p[0]) && p[1] == u':') return false;  // "C:" is relative
    if (p.size() > 2 && p[0] == u'\\' && p[1] == u'\\') {
        size_t server = p.find(u'\\', 2);
        if (server == 2 || server == std::u16string::npos) return false;
        size_t share = p.find(u'\\', server + 1);
        if (share == server + 1) return false;
        if (share == std::u16string::npos) share = p.size();
        root = p.substr(0, share);
        rest = share;
        return true;
    }
    return false;
}

String comparable(const std::u16string& text, bool* isRoot = nullptr) {
    std::u16string p = text;
    for (char16_t& c : p)
        if (c == u'/') c = u'\\';
    p = withoutLiteralPrefix(p);
    std::u16string root;
    size_t at = 0;
    if (!splitRoot(p, root, at)) return String();
    // ".." goes up (never above the root); the system drops trailing dots and spaces of the
    // other components, so "Windows." and "Windows " name "Windows", and "." names nothing.
    std::vector<std::u16string> parts;
    while (at < p.size()) {
        size_t end = p.find(u'\\', at);
        if (end == std::u16string::npos) end = p.size();
        std::u16string part = p.substr(at, end - at);
        at = end + 1;
        if (part == u"..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        while (!part.empty() && (part.back() == u'.' || part.back() == u' ')) part.pop_back();
        if (!part.empty()) parts.push_back(part);
    }
    if (isRoot) *isRoot = parts.empty();
    std::u16string result = root;
    for (const std::u16string& part : parts) result += u"\\" + part;
    for (char16_t& c : result) c = static_cast<char16_t>(toLower(c));
    return String(result.c_str(), static_cast<int32_t>(result.size()));
}

std::u16string units(const String& s) {
    return std::u16string(s.w_str(), static_cast<size_t>(s.wideLength()));
}

}  // namespace

String comparablePath(const String& path) {
    return comparable(units(path));
}

const char* protectedPathReason(const String& path, const ProtectedFolders& folders) {
    bool isRoot = false;
    String candidate = comparable(units(path), &isRoot);
    if (candidate.empty()) return "is not a full path";
    if (isRoot) return "is a drive root";
    for (const String& folder : folders.folders)
        if (comparablePath(folder) == candidate) return "is a system folder";
    int32_t cut = candidate.wideLength();
    while (cut > 0 && candidate.getWide(cut - 1) != u'\\') --cut;
    String parent;
    candidate.substringWide(parent, 0, cut > 0 ? cut - 1 : 0);
    for (const String& profile : folders.profiles)
        if (comparablePath(profile) == candidate) return "is a user profile folder";
    for (const String& profiles : folders.profileRoots) {
        String root = comparablePath(profiles);
        if (root.empty()) continue;
        if (root == candidate || root == parent) return "is a user profile folder";
    }
    return nullptr;
}

bool refuseProtectedPath(const String& path, const ProtectedFolders& folders, Reporter& reporter) {
    const char* reason = protectedPathReason(path, folders);
    if (!reason) return false;
    reporter.error(format("Not removed: \"%s\" %s.\r\n", pathText(path).c_str(), reason));
    return true;
}

}  // namespace tessarin
