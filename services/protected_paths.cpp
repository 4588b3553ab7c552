#include "services/protected_paths.h"

#include <string>

#include "core/chars.h"
#include "core/convert.h"
#include "core/format.h"

namespace tessarin {

namespace {

bool isAsciiLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// Where the path begins once the prefixes that pass a path to the system unparsed are dropped;
// "\\?\UNC\x" is read as "\\x" (the "C" of "UNC" becomes the second backslash).
size_t withoutLiteralPrefix(std::u16string& p) {
    for (const char16_t* prefix : {u"\\\\?\\", u"\\??\\", u"\\\\.\\"}) {
        size_t n = std::char_traits<char16_t>::length(prefix);
        if (p.compare(0, n, prefix) != 0) continue;
        if (p.size() >= n + 4 && toLower(p[n]) == u'u' && toLower(p[n + 1]) == u'n' &&
            toLower(p[n + 2]) == u'c' && p[n + 3] == u'\\') {
            p[n + 2] = u'\\';
            return n + 2;
        }
        return n;
    }
    return 0;
}

// The root ("c:" or "\\server\share") of the text from begin, and where the rest begins; false
// when there is none.
bool splitRoot(const std::u16string& p, size_t begin, size_t& rootEnd, size_t& rest) {
    size_t n = p.size() - begin;
    const char16_t* q = p.c_str() + begin;
    if (n >= 3 && isAsciiLetter(q[0]) && q[1] == u':' && q[2] == u'\\') {
        rootEnd = begin + 2;
        rest = begin + 3;
        return true;
    }
    if (n == 2 && isAsciiLetter(q[0]) && q[1] == u':') return false;  // "C:" is relative
    if (n > 2 && q[0] == u'\\' && q[1] == u'\\') {
        size_t server = p.find(u'\\', begin + 2);
        if (server == begin + 2 || server == std::u16string::npos) return false;
        size_t share = p.find(u'\\', server + 1);
        if (share == server + 1) return false;
        if (share == std::u16string::npos) share = p.size();
        rootEnd = rest = share;
        return true;
    }
    return false;
}

String comparable(std::u16string p, bool* isRoot = nullptr) {
    for (char16_t& c : p)
        if (c == u'/') c = u'\\';
    size_t begin = withoutLiteralPrefix(p);
    size_t rootEnd = 0, at = 0;
    if (!splitRoot(p, begin, rootEnd, at)) return String();
    // ".." goes up (never above the root); the system drops trailing dots and spaces of the
    // other components, so "Windows." and "Windows " name "Windows", and "." names nothing.
    std::u16string result(p, begin, rootEnd - begin);
    size_t rootLength = result.size();
    while (at < p.size()) {
        size_t end = p.find(u'\\', at);
        if (end == std::u16string::npos) end = p.size();
        size_t partEnd = end;
        bool up = end - at == 2 && p[at] == u'.' && p[at + 1] == u'.';
        while (partEnd > at && (p[partEnd - 1] == u'.' || p[partEnd - 1] == u' ')) --partEnd;
        if (up) {
            if (result.size() > rootLength) result.resize(result.rfind(u'\\'));
        } else if (partEnd > at) {
            result += u'\\';
            result.append(p, at, partEnd - at);
        }
        at = end + 1;
    }
    if (isRoot) *isRoot = result.size() == rootLength;
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

namespace {

const ProtectedFolders::Comparable& comparableLists(const ProtectedFolders& folders) {
    ProtectedFolders::Comparable& made = folders.comparable;
    int32_t count =
        folders.folders.count() + folders.profiles.count() + folders.profileRoots.count();
    if (made.madeFrom == count) return made;
    made = ProtectedFolders::Comparable();
    for (const String& folder : folders.folders) made.folders.append(comparablePath(folder));
    for (const String& profile : folders.profiles) made.profiles.append(comparablePath(profile));
    for (const String& root : folders.profileRoots) made.profileRoots.append(comparablePath(root));
    made.madeFrom = count;
    return made;
}

}  // namespace

void prepareComparableForms(const ProtectedFolders& folders) {
    comparableLists(folders);
}

const char* protectedPathReason(const String& path, const ProtectedFolders& folders) {
    bool isRoot = false;
    String candidate = comparable(units(path), &isRoot);
    if (candidate.empty()) return "is not a full path";
    if (isRoot) return "is a drive root";
    const ProtectedFolders::Comparable& lists = comparableLists(folders);
    for (const String& folder : lists.folders)
        if (folder == candidate) return "is a system folder";
    int32_t cut = candidate.wideLength();
    while (cut > 0 && candidate.getWide(cut - 1) != u'\\') --cut;
    String parent;
    candidate.substringWide(parent, 0, cut > 0 ? cut - 1 : 0);
    for (const String& profile : lists.profiles)
        if (profile == candidate) return "is a user profile folder";
    for (const String& root : lists.profileRoots) {
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
