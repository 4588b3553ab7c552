#include "core/folder_protection.h"

#include <cstdlib>
#include <cstring>

namespace tessarin {
namespace {

constexpr uint8_t kSidRevision = 1;
constexpr uint8_t kAclRevision = 2;
constexpr uint8_t kAccessAllowed = 0;  // ACCESS_ALLOWED_ACE_TYPE
constexpr size_t kMaxSubAuthorities = 15;
constexpr size_t kAclHeaderBytes = 8;
constexpr size_t kAceHeaderBytes = 8;    // type, flags, size, mask
constexpr size_t kMaxAclBytes = 0xFFFF;  // the size is a 16-bit field

void putLittle(std::vector<uint8_t>& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// One decimal field of a SID text up to the next '-' or the end; false when it is not a number
// or does not fit in max.
bool readNumber(const char*& p, uint64_t max, uint64_t& value) {
    if (*p < '0' || *p > '9') return false;
    value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        if (value > max) return false;
    }
    return *p == '\0' || *p == '-';
}

uint32_t readLittle(const std::vector<uint8_t>& bytes, size_t at, int count) {
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[at + i];
    return value;
}

// Entry types: the allowing ones, plain and with object types, with or without a condition.
constexpr uint8_t kAccessAllowedObject = 5;
constexpr uint8_t kAccessAllowedCallback = 9;
constexpr uint8_t kAccessAllowedCallbackObject = 11;
constexpr uint8_t kInheritOnly = 0x8;

// Rights that change a file or folder: write or append data (add a file or a subfolder), write
// extended attributes, delete what is inside, write attributes, delete, rewrite the list or
// the owner; and the generic rights that include them.
constexpr uint32_t kChangingRights = 0x2 | 0x4 | 0x10 | 0x40 | 0x100 | 0x10000 | 0x40000 | 0x80000 |
                                     0x02000000 | 0x10000000 | 0x40000000;

// The SID that ends an allowing entry at offset at of size bytes: right after the mask, or for
// object entries after their flags and the type identifiers those flags announce. Empty when
// the entry is too short for it.
std::vector<uint8_t> entrySid(const std::vector<uint8_t>& list, size_t at, size_t size,
                              uint8_t type) {
    size_t sid = kAceHeaderBytes;
    if (type == kAccessAllowedObject || type == kAccessAllowedCallbackObject) {
        if (size < sid + 4) return {};
        uint32_t present = readLittle(list, at + sid, 4);
        sid += 4 + ((present & 1) ? 16 : 0) + ((present & 2) ? 16 : 0);
    }
    if (size < sid + 8) return {};
    size_t length = 8 + 4 * size_t(list[at + sid + 1]);
    if (size < sid + length) return {};
    return std::vector<uint8_t>(list.begin() + at + sid, list.begin() + at + sid + length);
}

bool isAllowing(uint8_t type) {
    return type == kAccessAllowed || type == kAccessAllowedObject ||
           type == kAccessAllowedCallback || type == kAccessAllowedCallbackObject;
}

}  // namespace

const std::vector<AccessEntry>& uninstallFolderEntries() {
    static const std::vector<AccessEntry> entries = {
        {"S-1-5-32-544", kFileFullControl, kInheritedByFilesAndFolders},  // Administrators
        {"S-1-5-18", kFileFullControl, kInheritedByFilesAndFolders},      // SYSTEM
        {"S-1-5-32-545", kFileReadExecute, kInheritedByFilesAndFolders},  // Users
    };
    return entries;
}

const std::vector<AccessEntry>& privateFolderEntries() {
    static const std::vector<AccessEntry> entries = {
        {"S-1-5-32-544", kFileFullControl, kInheritedByFilesAndFolders},  // Administrators
        {"S-1-5-18", kFileFullControl, kInheritedByFilesAndFolders},      // SYSTEM
    };
    return entries;
}

// S-R-I-S1-S2...: revision, 48-bit authority (stored big-endian), up to 15 sub-authorities
// (little-endian words).
std::vector<uint8_t> sidBytes(const char* text) {
    if (text == nullptr || std::strncmp(text, "S-1-", 4) != 0) return {};
    const char* p = text + 4;
    uint64_t authority = 0;
    if (!readNumber(p, 0xFFFFFFFFFFFFull, authority)) return {};
    std::vector<uint32_t> parts;
    while (*p == '-') {
        ++p;
        uint64_t part = 0;
        if (parts.size() == kMaxSubAuthorities || !readNumber(p, 0xFFFFFFFFu, part)) return {};
        parts.push_back(static_cast<uint32_t>(part));
    }
    if (parts.empty()) return {};
    std::vector<uint8_t> out = {kSidRevision, static_cast<uint8_t>(parts.size())};
    for (int shift = 40; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(authority >> shift));
    for (uint32_t part : parts) putLittle(out, part, 4);
    return out;
}

std::vector<uint8_t> accessListBytes(const std::vector<AccessEntry>& entries) {
    std::vector<uint8_t> aces;
    for (const AccessEntry& entry : entries) {
        std::vector<uint8_t> sid = sidBytes(entry.sid);
        if (sid.empty()) return {};
        aces.push_back(kAccessAllowed);
        aces.push_back(entry.inheritance);
        putLittle(aces, kAceHeaderBytes + sid.size(), 2);
        putLittle(aces, entry.rights, 4);
        aces.insert(aces.end(), sid.begin(), sid.end());
    }
    if (kAclHeaderBytes + aces.size() > kMaxAclBytes) return {};
    std::vector<uint8_t> acl = {kAclRevision, 0};
    putLittle(acl, kAclHeaderBytes + aces.size(), 2);
    putLittle(acl, entries.size(), 2);
    putLittle(acl, 0, 2);
    acl.insert(acl.end(), aces.begin(), aces.end());
    return acl;
}

bool isTrustedChanger(const std::vector<uint8_t>& sid, const std::vector<uint8_t>& ownSid) {
    static const char* const kTrusted[] = {
        "S-1-5-32-544",                                                    // Administrators
        "S-1-5-18",                                                        // SYSTEM
        "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",  // TrustedInstaller
        "S-1-3-4",  // OWNER RIGHTS: whatever the (trusted) owner may do
    };
    if (sid.empty()) return false;
    if (sid == ownSid) return true;
    for (const char* text : kTrusted)
        if (sid == sidBytes(text)) return true;
    return false;
}

bool changeableOnlyByTrusted(const ObjectSecurity& security, const std::vector<uint8_t>& ownSid) {
    if (!isTrustedChanger(security.owner, ownSid) || !security.hasAccessList) return false;
    const std::vector<uint8_t>& list = security.accessList;
    if (list.size() < kAclHeaderBytes) return false;
    size_t end = readLittle(list, 2, 2);
    size_t count = readLittle(list, 4, 2);
    if (end < kAclHeaderBytes || end > list.size()) return false;
    size_t at = kAclHeaderBytes;
    for (size_t i = 0; i < count; ++i) {
        if (end - at < 4) return false;
        uint8_t type = list[at];
        uint8_t flags = list[at + 1];
        size_t size = readLittle(list, at + 2, 2);
        if (size < 4 || size > end - at) return false;
        if (isAllowing(type) && !(flags & kInheritOnly)) {
            if (size < kAceHeaderBytes) return false;
            uint32_t rights = readLittle(list, at + 4, 4);
            if ((rights & kChangingRights) &&
                !isTrustedChanger(entrySid(list, at, size, type), ownSid))
                return false;
        }
        at += size;
    }
    return true;
}

}  // namespace tessarin
