#include <cstddef>

#include "core/registry.h"

namespace tessarin {

const RegistryRootName kRegistryRoots[kRegistryRootCount] = {
    {kHkeyLocalMachine, "HKEY_LOCAL_MACHINE", u"HKEY_LOCAL_MACHINE", "HKLM", u"HKLM", "\\HKLM\\",
     u"\\HKLM\\", u"HKEY_LOCAL_MACHINE\\"},
    {kHkeyCurrentUser, "HKEY_CURRENT_USER", u"HKEY_CURRENT_USER", "HKCU", u"HKCU", "\\HKCU\\",
     u"\\HKCU\\", u"HKEY_CURRENT_USER\\"},
    {kHkeyClassesRoot, "HKEY_CLASSES_ROOT", u"HKEY_CLASSES_ROOT", "HKCR", u"HKCR", "\\HKCR\\",
     u"\\HKCR\\", u"HKEY_CLASSES_ROOT\\"},
    {kHkeyUsers, "HKEY_USERS", u"HKEY_USERS", "HKU", u"HKU", "\\HKU\\", u"\\HKU\\",
     u"HKEY_USERS\\"},
    {kHkeyCurrentConfig, "HKEY_CURRENT_CONFIG", u"HKEY_CURRENT_CONFIG", "HKCC", u"HKCC", "\\HKCC\\",
     u"\\HKCC\\", u"HKEY_CURRENT_CONFIG\\"},
    // Only the 9x family has this root; its keys never had a display prefix.
    {kHkeyDynData, "HKEY_DYN_DATA", u"HKEY_DYN_DATA", "HKDD", u"HKDD", "\\HKDD\\", u"\\HKDD\\",
     u""},
};

const RegistryRootName* findRegistryRoot(RegistryRoot key) {
    for (const RegistryRootName& row : kRegistryRoots)
        if (row.key == key) return &row;
    return nullptr;
}

namespace {

// The 8-bit and UTF-16 forms share one implementation over the character type.
template <typename Char>
struct Text;

template <>
struct Text<char> {
    static const char* empty() { return ""; }
    static size_t length(const char* s) { return narrowTextLength(s); }
    static int compareNoCase(const char* a, const char* b, size_t n) {
        return compareNoCaseAscii(a, b, n);
    }
    static const char* fullName(const RegistryRootName& r) { return r.fullName; }
    static const char* abbreviation(const RegistryRootName& r) { return r.abbreviation; }
    static const char* slashed(const RegistryRootName& r) { return r.slashed; }
    static void assign(String& s, const char* text, size_t n) {
        s.assign(text, static_cast<int32_t>(n));
    }
};

template <>
struct Text<char16_t> {
    static const char16_t* empty() { return u""; }
    static size_t length(const char16_t* s) { return wideTextLength(s); }
    static int compareNoCase(const char16_t* a, const char16_t* b, size_t n) {
        return compareNoCaseWidePrefix(a, b, n);
    }
    static const char16_t* fullName(const RegistryRootName& r) { return r.fullNameWide; }
    static const char16_t* abbreviation(const RegistryRootName& r) { return r.abbreviationWide; }
    static const char16_t* slashed(const RegistryRootName& r) { return r.slashedWide; }
    static void assign(String& s, const char16_t* text, size_t n) {
        s.assignWide(text, static_cast<int32_t>(n));
    }
};

// Whether text begins with name, compared without regard to ASCII case.
template <typename Char>
bool startsWithName(const Char* text, size_t textLength, const Char* name) {
    size_t n = Text<Char>::length(name);
    return n <= textLength && Text<Char>::compareNoCase(text, name, n) == 0;
}

// A root name matches only as a whole element: followed by a backslash or the end.
template <typename Char>
size_t matchElement(const Char* text, size_t textLength, const Char* name) {
    size_t n = Text<Char>::length(name);
    if (!startsWithName(text, textLength, name)) return 0;
    if (n == textLength) return n;
    return text[n] == Char('\\') ? n + 1 : 0;
}

template <typename Char>
RegistryRoot splitRoot(const Char* path, String& rest) {
    if (path == nullptr) path = Text<Char>::empty();
    size_t length = Text<Char>::length(path);
    size_t start = path[0] == Char('\\') ? 1 : 0;
    for (const RegistryRootName& row : kRegistryRoots) {
        size_t used = matchElement(path + start, length - start, Text<Char>::fullName(row));
        if (used == 0)
            used = matchElement(path + start, length - start, Text<Char>::abbreviation(row));
        if (used == 0) continue;
        Text<Char>::assign(rest, path + start + used, length - start - used);
        return row.key;
    }
    Text<Char>::assign(rest, path, length);
    return kRegistryNoRoot;
}

template <typename Char>
uint32_t splitSlashedRoot(const Char* path, RegistryRoot& root, String& rest) {
    root = kRegistryNoRoot;
    rest.clear();
    if (path == nullptr) return kErrorBadPathname;
    size_t length = Text<Char>::length(path);
    for (const RegistryRootName& row : kRegistryRoots) {
        const Char* slashed = Text<Char>::slashed(row);
        size_t n = Text<Char>::length(slashed);
        bool whole = startsWithName(path, length, slashed);
        // "\HKLM" on its own names the root itself.
        bool bare = length == n - 1 && startsWithName(slashed, n, path);
        if (!whole && !bare) continue;
        root = row.key;
        if (whole) Text<Char>::assign(rest, path + n, length - n);
        return 0;
    }
    return kErrorBadPathname;
}

template <typename Char>
void splitValue(const Char* path, String& keyPath, String& valueName) {
    if (path == nullptr) path = Text<Char>::empty();
    size_t length = Text<Char>::length(path);
    size_t slash = length;
    while (slash > 0 && path[slash - 1] != Char('\\')) --slash;
    // slash is now one past the last backslash, or 0 when there is none.
    Text<Char>::assign(keyPath, path, slash > 0 ? slash - 1 : 0);
    Text<Char>::assign(valueName, path + slash, length - slash);
}

}  // namespace

bool isUserHiveName(const char16_t* name) {
    if (name == nullptr) return false;
    const char16_t* defaultHive = u".DEFAULT";
    const char16_t* classes = u"_Classes";
    size_t length = wideTextLength(name), classesLength = wideTextLength(classes);
    bool isDefault =
        length == wideTextLength(defaultHive) && startsWithName(name, length, defaultHive);
    bool isClasses = length >= classesLength &&
                     startsWithName(name + length - classesLength, classesLength, classes);
    return !isDefault && !isClasses;
}

RegistryRoot splitRegistryRoot(const char16_t* path, String& rest) {
    return splitRoot(path, rest);
}
RegistryRoot splitRegistryRoot(const char* path, String& rest) {
    return splitRoot(path, rest);
}

uint32_t splitSlashedRegistryRoot(const char16_t* path, RegistryRoot& root, String& rest) {
    return splitSlashedRoot(path, root, rest);
}
uint32_t splitSlashedRegistryRoot(const char* path, RegistryRoot& root, String& rest) {
    return splitSlashedRoot(path, root, rest);
}

void splitRegistryValue(const char16_t* path, String& keyPath, String& valueName) {
    splitValue(path, keyPath, valueName);
}
void splitRegistryValue(const char* path, String& keyPath, String& valueName) {
    splitValue(path, keyPath, valueName);
}

String registryDisplayPath(const String& parent, const char16_t* subKey) {
    String path = parent;
    if (subKey == nullptr || *subKey == 0) return path;
    path.appendWide(subKey);
    if (path.w_str()[path.wideLength() - 1] != u'\\') path.appendWideChar(u'\\');
    return path;
}

String registryDisplayPath(RegistryRoot root, const char16_t* subKey) {
    const RegistryRootName* row = findRegistryRoot(root);
    return registryDisplayPath(String(row ? row->displayPrefix : u""), subKey);
}

}  // namespace tessarin
