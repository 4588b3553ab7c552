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

}  // namespace
}  // namespace tessarin
