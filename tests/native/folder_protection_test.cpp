// The uninstall folder's access list, checked byte by byte against hand-built forms.
#include "core/folder_protection.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tessarin {
namespace {

using Bytes = std::vector<uint8_t>;

// BUILTIN\Administrators, SYSTEM and BUILTIN\Users as Windows stores them.
const Bytes kAdministrators = {1, 2, 0, 0, 0, 0, 0, 5, 0x20, 0, 0, 0, 0x20, 2, 0, 0};
const Bytes kSystem = {1, 1, 0, 0, 0, 0, 0, 5, 0x12, 0, 0, 0};
const Bytes kUsers = {1, 2, 0, 0, 0, 0, 0, 5, 0x20, 0, 0, 0, 0x21, 2, 0, 0};

Bytes allowed(uint8_t flags, Bytes mask, const Bytes& sid) {
    Bytes ace = {0, flags, static_cast<uint8_t>(8 + sid.size()), 0};
    ace.insert(ace.end(), mask.begin(), mask.end());
    ace.insert(ace.end(), sid.begin(), sid.end());
    return ace;
}

TEST(FolderProtection, SidTextsBecomeTheirBinaryForm) {
    EXPECT_EQ(sidBytes("S-1-5-32-544"), kAdministrators);
    EXPECT_EQ(sidBytes("S-1-5-18"), kSystem);
    EXPECT_EQ(sidBytes("S-1-5-32-545"), kUsers);
    // Everyone: authority 1; a large authority is stored big-endian, a large part little-endian.
    EXPECT_EQ(sidBytes("S-1-1-0"), (Bytes{1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0}));
    EXPECT_EQ(sidBytes("S-1-1099511627776-4294967295"),
              (Bytes{1, 1, 1, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(FolderProtection, MalformedSidTextsGiveNothing) {
    for (const char* text : {"", "S-1-5", "S-2-5-18", "s-1-5-18", "S-1-5-", "S-1-5-x", "S-1-5-18-",
                             "S-1--5-18", "S-1-5-4294967296", "S-1-281474976710656-1",
                             "S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16"})
        EXPECT_TRUE(sidBytes(text).empty()) << text;
    EXPECT_TRUE(sidBytes(nullptr).empty());
    EXPECT_EQ(sidBytes("S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15").size(), 8u + 15 * 4);
}

TEST(FolderProtection, UninstallFolderListGivesAdministratorsAndSystemAllAndUsersReading) {
    const Bytes full = {0xFF, 0x01, 0x1F, 0x00}, readExecute = {0xA9, 0x00, 0x12, 0x00};
    Bytes aces;
    for (const Bytes& ace : {allowed(3, full, kAdministrators), allowed(3, full, kSystem),
                             allowed(3, readExecute, kUsers)})
        aces.insert(aces.end(), ace.begin(), ace.end());
    Bytes expected = {2, 0, static_cast<uint8_t>(8 + aces.size()), 0, 3, 0, 0, 0};
    expected.insert(expected.end(), aces.begin(), aces.end());
    EXPECT_EQ(accessListBytes(uninstallFolderEntries()), expected);
    EXPECT_EQ(expected.size(), 8u + 24 + 20 + 24);
    // Nobody else: in particular not Everyone, whatever the install folder gives.
    for (const AccessEntry& entry : uninstallFolderEntries())
        EXPECT_NE(sidBytes(entry.sid), sidBytes("S-1-1-0")) << entry.sid;
}

// A private folder in the shared temporary folder: not even reading for users, who could
// otherwise watch what an elevated process is about to run.
TEST(FolderProtection, PrivateFolderListGivesAdministratorsAndSystemAllAndNobodyElse) {
    const Bytes full = {0xFF, 0x01, 0x1F, 0x00};
    Bytes aces;
    for (const Bytes& ace : {allowed(3, full, kAdministrators), allowed(3, full, kSystem)})
        aces.insert(aces.end(), ace.begin(), ace.end());
    Bytes expected = {2, 0, static_cast<uint8_t>(8 + aces.size()), 0, 2, 0, 0, 0};
    expected.insert(expected.end(), aces.begin(), aces.end());
    EXPECT_EQ(accessListBytes(privateFolderEntries()), expected);
}

TEST(FolderProtection, MalformedOrOversizedListsAreRefusedWhole) {
    EXPECT_TRUE(accessListBytes({{"S-1-5-18", kFileFullControl, 0}, {"BUILTIN", 0, 0}}).empty());
    EXPECT_EQ(accessListBytes({}), (Bytes{2, 0, 8, 0, 0, 0, 0, 0}));
    // The size field has 16 bits: 3276 entries of 20 bytes fit, one more does not.
    std::vector<AccessEntry> many(3276, {"S-1-5-18", kFileFullControl, 0});
    EXPECT_EQ(accessListBytes(many).size(), 8u + 3276 * 20);
    many.push_back(many.back());
    EXPECT_TRUE(accessListBytes(many).empty());
}

// ---- Who may change a file or folder -------------------------------------------------------

// Entries built byte by byte: type, flags, size, mask, then (for object entries) the object
// flags and type identifiers, then the SID.
Bytes entry(uint8_t type, uint8_t flags, uint32_t mask, const Bytes& sid, Bytes objectPart = {}) {
    Bytes ace = {type, flags, 0, 0};
    for (int i = 0; i < 4; ++i) ace.push_back(static_cast<uint8_t>(mask >> (8 * i)));
    ace.insert(ace.end(), objectPart.begin(), objectPart.end());
    ace.insert(ace.end(), sid.begin(), sid.end());
    ace[2] = static_cast<uint8_t>(ace.size());
    return ace;
}

Bytes list(const std::vector<Bytes>& entries) {
    Bytes aces;
    for (const Bytes& e : entries) aces.insert(aces.end(), e.begin(), e.end());
    Bytes acl = {2,
                 0,
                 static_cast<uint8_t>(8 + aces.size()),
                 static_cast<uint8_t>((8 + aces.size()) >> 8),
                 static_cast<uint8_t>(entries.size()),
                 0,
                 0,
                 0};
    acl.insert(acl.end(), aces.begin(), aces.end());
    return acl;
}

const Bytes kEveryone = sidBytes("S-1-1-0");
const Bytes kAuthenticatedUsers = sidBytes("S-1-5-11");
const Bytes kCreatorOwner = sidBytes("S-1-3-0");
const Bytes kOwnerRights = sidBytes("S-1-3-4");
const Bytes kTrustedInstaller =
    sidBytes("S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464");
const Bytes kSelf = sidBytes("S-1-5-21-1-2-3-1000");   // the account the check runs as
const Bytes kOther = sidBytes("S-1-5-21-1-2-3-1001");  // another user of the machine

constexpr uint32_t kModify = 0x1301BF;  // what C:\ gives authenticated users below it
constexpr uint8_t kAllowed = 0, kDenied = 1, kAllowedObject = 5;
constexpr uint8_t kInheritOnly = 0x8 | 0x3;

TEST(FolderProtection, OnlyTrustedOwnersAndWritersLeaveAnObjectClosed) {
    const Bytes full = {0xFF, 0x01, 0x1F, 0x00};
    const Bytes protectedList = accessListBytes(uninstallFolderEntries());
    const Bytes guid(16, 0xAB);
    Bytes oneGuid = {1, 0, 0, 0};
    oneGuid.insert(oneGuid.end(), guid.begin(), guid.end());
    struct Case {
        const char* label;
        Bytes owner;
        Bytes list;
        bool closed;
    } cases[] = {
        {"the uninstall folder's own list", kAdministrators, protectedList, true},
        {"owned by the system", kSystem, protectedList, true},
        {"owned by the installer service", kTrustedInstaller, protectedList, true},
        {"owned by the account that checks", kSelf, protectedList, true},
        {"owned by another user", kOther, protectedList, false},
        {"owned by the users group", kUsers, protectedList, false},
        {"no owner", {}, protectedList, false},
        {"below C:\\ as Windows makes it", kAdministrators,
         list({entry(kAllowed, 0x10, kFileFullControl, kAdministrators),
               entry(kAllowed, 0x10, kModify, kAuthenticatedUsers)}),
         false},
        {"opened to everyone", kAdministrators,
         list({entry(kAllowed, 0, kFileFullControl, kAdministrators),
               entry(kAllowed, 0x3, 0x10000000, kEveryone)}),  // GENERIC_ALL
         false},
        {"generic write for users", kAdministrators, list({entry(kAllowed, 0, 0x40000000, kUsers)}),
         false},
        {"only delete for another user", kAdministrators,
         list({entry(kAllowed, 0, 0x10000, kOther)}), false},
        {"only rewriting the list", kAdministrators, list({entry(kAllowed, 0, 0x40000, kOther)}),
         false},
        {"only deleting what is inside", kAdministrators, list({entry(kAllowed, 0, 0x40, kUsers)}),
         false},
        {"only adding files", kAdministrators, list({entry(kAllowed, 0, 0x2, kUsers)}), false},
        {"a denial narrows and is no grant", kAdministrators,
         list({entry(kDenied, 0, kFileFullControl, kEveryone),
               entry(kAllowed, 0, kFileFullControl, kSystem)}),
         true},
        {"inherit-only entries apply below", kAdministrators,
         list({entry(kAllowed, kInheritOnly, kFileFullControl, kCreatorOwner),
               entry(kAllowed, kInheritOnly, kModify, kUsers)}),
         true},
        {"the owner's rights", kAdministrators,
         list({entry(kAllowed, 0, kFileFullControl, kOwnerRights)}), true},
        {"object entry for users, type given", kAdministrators,
         list({entry(kAllowedObject, 0, kModify, kUsers, oneGuid)}), false},
        {"object entry for the system", kAdministrators,
         list({entry(kAllowedObject, 0, kFileFullControl, kSystem, oneGuid)}), true},
        {"an empty list allows nobody", kAdministrators, list({}), true},
    };
    for (const Case& c : cases) {
        ObjectSecurity security;
        security.owner = c.owner;
        security.hasAccessList = true;
        security.accessList = c.list;
        EXPECT_EQ(changeableOnlyByTrusted(security, kSelf), c.closed) << c.label;
    }
    // Without a list at all every account may do everything.
    ObjectSecurity none;
    none.owner = kAdministrators;
    EXPECT_FALSE(changeableOnlyByTrusted(none, kSelf));
    // Nobody is the checking account when it is not known.
    ObjectSecurity own{kSelf, true, protectedList};
    EXPECT_FALSE(changeableOnlyByTrusted(own, {}));
}

TEST(FolderProtection, DamagedListsCountAsOpen) {
    const Bytes good = list({entry(kAllowed, 0, kFileFullControl, kSystem)});
    auto damaged = [&](auto change) {
        Bytes bytes = good;
        change(bytes);
        return bytes;
    };
    const Bytes cases[] = {
        damaged([](Bytes& b) { b[4] = 2; }),    // one entry more than there are
        damaged([](Bytes& b) { b[2] = 200; }),  // a size beyond the bytes
        damaged([](Bytes& b) { b[2] = 4; }),    // a size below the header
        damaged([](Bytes& b) {
            b[10] = 0;
            b[11] = 0;
        }),                                    // an entry of no size
        damaged([](Bytes& b) { b[10] = 8; }),  // an allowing entry without its SID
        damaged([](Bytes& b) { b[17] = 9; }),  // a SID longer than its entry
        Bytes{2, 0, 8},                        // a header cut short
    };
    for (const Bytes& bytes : cases) {
        ObjectSecurity security{kAdministrators, true, bytes};
        EXPECT_FALSE(changeableOnlyByTrusted(security, kSelf)) << ::testing::PrintToString(bytes);
    }
    ObjectSecurity intact{kAdministrators, true, good};
    EXPECT_TRUE(changeableOnlyByTrusted(intact, kSelf));
}

}  // namespace
}  // namespace tessarin
