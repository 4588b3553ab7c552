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

}  // namespace tessarin
